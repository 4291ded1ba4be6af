#pragma once
// A workstation's backups: where they go (backup.ini), which are kept, the
// daily automatic one, and the three operations a dealer runs -- back up,
// verify, restore -- on the workstation's database in any mode (the private
// server is started for them when no Velmor runs).
#include "core/Workstation.h"
#include "db/Backup.h"

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace velmor::db {
class PrivateServer;
}

namespace velmor::backups {

// The workstation file backup.ini (`key=value` lines, `#` comments; a
// missing key means its default).  A workstation file rather than the
// shared settings row: the folder is this machine's (another disk, a synced
// folder), and a restore must find it when the database is gone.
struct Settings {
    QString folder;       // as written; empty: backups/ of the workstation folder
    bool automatic = true;
    int keepDaily = 7;
    int keepWeekly = 4;
    int warnDays = 3;

    static Settings load(const Workstation &ws);
    bool save(const Workstation &ws, QString *why) const;
    // The folder backups go to (absolute).
    QString folderPath(const Workstation &ws) const;
};

// A backup found in a folder.
struct Found {
    QString file;
    QDateTime made;       // from its header (the file's time when unreadable)
    qint64 bytes = 0;
    double schemaVersion = 0;
    QString kind;
    bool whole = false;   // its header reads and its size is what was written
    QString problem;      // why not
    bool verified = false;
    QDateTime verifiedAt;
};

// Every file of the folder that is or claims to be a backup (*.sql.zst, *.sql.gz),
// newest first; a quick look only (header and size).
QList<Found> listBackups(const QString &folder);
// The newest whole backup, or nullptr.
const Found *lastGood(const QList<Found> &found);
// Daily backups beyond the last `keepDaily` days and `keepWeekly` weeks
// (the newest of each day and of each week kept).  Backups made by hand
// or before a restore are never removed.
QStringList expired(const QList<Found> &found, int keepDaily, int keepWeekly);
// Whether a whole backup was made on `day`.
bool madeOn(const QList<Found> &found, const QDate &day);
// The home screen's warning (empty when the last good backup is recent).
QString staleWarning(const QList<Found> &found, int warnDays, const QDateTime &now);

// "4.2 MB", "812.0 KB", "96 bytes".
QString sizeText(qint64 bytes);

// The file name of a new backup in the folder.
QString newFileName(const QString &folder, const QDateTime &when, const QString &kind);

// The verification mark beside a backup (FILE.verified), kept only for the
// file it was made for.
bool markVerified(const QString &file, const db::backup::Header &h);
bool isVerified(const QString &file, const db::backup::Header &h, QDateTime *when = nullptr);

// What an operation did: 0 done, 1 done with differences or faults
// (listed), 2 refused or failed with nothing changed.
struct Outcome {
    int code = 2;
    QStringList lines;   // what was done, one line each
    QString error;       // code 2: why
    QString file;        // the backup made or read
};

// The books check the restore runs on the restored database: the lines of
// its findings (empty when whole).  Given by the shell, which owns it.
using BooksCheck = std::function<QStringList(const QSqlDatabase &)>;

// The tools reach the workstation's database: in private mode the server
// is started (or shared) for as long as this lives.
class Reach {
public:
    explicit Reach(const db::ConnectionSettings &cs); // throws db::ConnectError
    ~Reach();
    const db::ConnectionSettings &settings() const { return m_settings; }

private:
    db::ConnectionSettings m_settings;
    std::unique_ptr<db::PrivateServer> m_server;
};

struct Common {
    QString program;                 // "Velmor 1.0.308"
    db::backup::Progress progress;
    db::backup::ToolStarter tools = db::backup::installedTools();
};

// A backup of the workstation's database into `file` (empty: a new file in
// the backup folder); verified when asked.
Outcome backUp(const Workstation &ws, const db::ConnectionSettings &cs, const QString &file, bool verify,
               const Common &c, const QString &kind = QStringLiteral("manual"));
// Restores a backup into a scratch database of the same server, compares
// every table's checksum with the file's and drops it; marks the file
// verified when they agree.
Outcome verify(const db::ConnectionSettings &reachable, const QString &file, const Common &c);

struct RestoreRequest {
    QString file;
    QString home;       // the workstation folder restored into (empty: the current one)
    QString database;   // another database name (server mode)
    // The target's connection when it is not the one of the folder's
    // database.ini (the program's own, as it was opened).
    std::optional<db::ConnectionSettings> connection;
    bool replace = false;
    // Asked before a database that holds data is replaced, with settings
    // that reach it: whether the user may (an administrator of those books);
    // false with the reason.  Unset: the caller checked already.
    std::function<bool(const db::ConnectionSettings &reachable, QString *why)> mayReplace;
    BooksCheck booksCheck;
    Common common;
};
// Restores into the workstation's database: a new private database folder,
// or an empty database on the server.  A database that holds data is
// refused unless `replace`, which backs it up first.  The restore is built
// apart (a folder or database of its own) and put in place only when whole;
// then its tables are compared with the file's checksums and the books
// checked.
Outcome restore(const RestoreRequest &r);

// The daily automatic backup of private mode: today's backup unless one was
// made, old daily ones removed, the newest verified when none was this
// week.  Nothing happens when another one runs, in another mode, or when
// switched off.
Outcome automatic(const Workstation &ws, const Common &c);
// Whether the automatic backup has work today (private mode, switched on,
// no backup made today).
bool automaticDue(const Workstation &ws);

} // namespace velmor::backups
