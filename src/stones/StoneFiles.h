#pragma once
// Pictures, videos and documents (certificates) kept with a stone, in the
// database itself so that every workstation, every node of a cluster and
// every backup has them.
//
// A file is one row of `stonefile` (name, kind, size, SHA-256, who added it
// and when, main picture, certificate) and its bytes are rows of
// `stonefilechunk`, each well below the server's packet limit: a 100 MB video
// never travels in one statement, and it is written and read a chunk at a
// time, never held whole.  The chunks are written first under a row that is
// not yet `Stored`; the file appears on the stone only once every chunk is
// in and its SHA-256 is checked, in one small transaction that also keeps
// the same file from being stored twice on one stone (two workstations
// included).  A picture's thumbnail is made once and kept in
// `stonefilethumb`.
#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QIODevice;

namespace velmor {
struct UserState;
struct Settings;
}

namespace velmor::stones {

struct StoneFile {
    qint64 id = 0;
    qint64 stoneId = 0;
    QString name;     // the file's name when it was attached
    QString kind;     // "picture", "video" or "document"
    QString mimeType;
    qint64 size = 0;  // bytes
    QString sha256;   // hex, lower case
    bool main = false;        // the stone's main picture
    bool certificate = false; // a laboratory's certificate
    QString laboratory;       // of a certificate, when known
    int width = 0, height = 0;
    qint64 addedBy = 0;
    QString addedByName;
    QDateTime addedAt;
};

// The largest file a stone takes: the settings' `StoneFileLimitMB` (MB of
// 1,048,576 bytes), 200 MB when not set.
constexpr qint64 kDefaultFileLimitMB = 200;
qint64 fileSizeLimit(const Settings &s);

// The bytes of one chunk on this connection: a quarter of the server's
// max_allowed_packet, at most 1 MB and at least 16 KB.
int chunkSizeFor(const QSqlDatabase &db);

// Why this user may not add or remove files ("" when they may): nobody
// logged on, or no edit right (AllowEdit).
QString fileWriteRefusal(const UserState &user);

// "1.5 MB", "820 KB", "12 bytes".
QString sizeText(qint64 bytes);

struct AttachOptions {
    bool main = false;        // make it the main picture
    bool certificate = false; // attach it as a certificate (PDF only)
    QString laboratory;       // the certificate's laboratory
    qint64 sizeLimit = kDefaultFileLimitMB * 1024 * 1024;
    QString storedName;       // the name kept (default: the file's own name)
};
struct AttachResult {
    bool ok = false;
    bool already = false; // the same bytes were on the stone already: kept once
    qint64 fileId = 0;
    QString message;      // for the user: what was done or why not
};
// Called after each chunk with the bytes written so far; returning false
// stops the attaching (nothing is kept).
using Progress = std::function<bool(qint64 done, qint64 total)>;

// Attaches the file at `path` to the stone.  The user's right, the size
// limit and the file's content are checked before anything is written; a
// file refused leaves every row as it was.  Works on any connection (a
// screen runs it on a connection of its own in a worker thread).  A picture
// gets its thumbnail at once; the first picture of a stone becomes its main
// picture.
AttachResult attachFile(const QSqlDatabase &db, const UserState &user, qint64 stoneId, const QString &path,
                        const AttachOptions &options, const Progress &progress = {});

// The certificate look-up's report (`options.certificate` is taken as set):
// attached as the stone's certificate, and its name and size kept in
// `certfilename1` and `certfilesize1` as the look-up has always kept them.
AttachResult attachCertificateReport(const QSqlDatabase &db, const UserState &user, qint64 stoneId,
                                     const QString &path, const AttachOptions &options);

struct FileChange {
    bool ok = false;
    QString message;
};
// Removes a file from the stone (its chunks and thumbnail with it).
FileChange detachFile(const QSqlDatabase &db, const UserState &user, qint64 stoneId, qint64 fileId);
// Makes a picture the stone's main picture (the others are no longer main).
FileChange setMainPicture(const QSqlDatabase &db, const UserState &user, qint64 stoneId, qint64 fileId);
// Marks a PDF as a certificate of `laboratory`, or no longer one.
FileChange setCertificate(const QSqlDatabase &db, const UserState &user, qint64 stoneId, qint64 fileId, bool on,
                          const QString &laboratory = {});

// The stone's files: the main picture first, then pictures, videos and
// documents, each in the order they were added.  Throws db::DbError.
QList<StoneFile> stoneFiles(const QSqlDatabase &db, qint64 stoneId);
std::optional<StoneFile> stoneFile(const QSqlDatabase &db, qint64 fileId);

// Streams the stored bytes into `out` a chunk at a time and checks their
// size and SHA-256 against what was stored; false, with the reason, when a
// chunk is missing or the bytes differ (then `out` holds a part only).
bool readFile(const QSqlDatabase &db, const StoneFile &file, QIODevice &out, QString *why);
// Writes the file into `folder` under its name (a second file of the same
// name gets " (2)"), through a temporary name renamed when whole.  Returns
// the path written, empty with the reason on failure.
QString exportFile(const QSqlDatabase &db, const StoneFile &file, const QString &folder, QString *why,
                   QStringList *taken = nullptr);

struct ExportReport {
    int stones = 0;       // stones with files
    int files = 0;        // files written
    QStringList folders;  // one per stone written to
    QStringList problems; // what could not be written, and why
};
// Every file of each stone into FOLDER/<SKU> (the stone's number when it has
// no SKU).
ExportReport exportStoneFiles(const QSqlDatabase &db, const QList<qint64> &stoneIds, const QString &folder);
// The folder name of a stone's files: its SKU with characters that a file
// name cannot hold made "_", or "stone-ID".
QString stoneFolderName(const QString &sku, qint64 stoneId);

// Thumbnails -------------------------------------------------------------------------

constexpr int kThumbSide = 480; // the stone screen's picture and the printed ones
constexpr int kIconSide = 64;   // the search grid's column
struct Thumbnail {
    QImage picture; // at most kThumbSide on its longer side
    QImage icon;    // at most kIconSide
};
// A picture's thumbnail from its bytes (read scaled where the format allows).
Thumbnail makeThumbnail(QIODevice &picture);
// The thumbnail of a stored picture: the kept one, or made now from its
// stored bytes and kept.  Null for a file that is not a picture or cannot be
// read.  Throws db::DbError.
QImage thumbnailOf(const QSqlDatabase &db, qint64 fileId);
// The thumbnail of the stone's main picture (made and kept when missing);
// null when the stone has none.
QImage mainThumbnail(const QSqlDatabase &db, qint64 stoneId);
// The kept icons / thumbnails of the main pictures of these stones, by stone
// (stones without one, or whose thumbnail was never made, are left out).
QHash<qint64, QImage> mainIcons(const QSqlDatabase &db, const QList<qint64> &stoneIds);
QHash<qint64, QImage> mainThumbnails(const QSqlDatabase &db, const QList<qint64> &stoneIds);

// The names of the files of these stones, by stone, in stoneFiles() order.
QHash<qint64, QStringList> fileNamesOf(const QSqlDatabase &db, const QList<qint64> &stoneIds);

// In the open transaction that deletes a stone: its files go with it (their
// rows and thumbnails; their parts, no longer anyone's, are taken away by
// removeUnfinished, so the deleting stays one small transaction).  Throws
// db::DbError.
void dropFilesOfStone(const QSqlDatabase &db, qint64 stoneId);

// Takes away what an attaching that never finished left (a workstation that
// went away in the middle), older than `minutes`, and chunks whose file is
// gone.  Returns the number of files taken away.
int removeUnfinished(const QSqlDatabase &db, int minutes = 24 * 60);

} // namespace velmor::stones
