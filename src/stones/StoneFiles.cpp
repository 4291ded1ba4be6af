#include "stones/StoneFiles.h"

#include "core/Settings.h"
#include "core/UserState.h"
#include "db/Guard.h"
#include "db/Retry.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "db/Transaction.h"
#include "stones/FileContent.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QLocale>
#include <QSaveFile>
#include <QSqlError>
#include <algorithm>

namespace velmor::stones {

namespace {

const QString kFileColumns = QStringLiteral(
    "f.ID, f.StoneID, f.FileName, f.Kind, f.MimeType, f.Size, f.Sha256, f.IsMain, f.IsCertificate, f.Laboratory, "
    "f.Width, f.Height, f.AddedBy, f.AddedAt, u.UserName, u.FirstName, u.LastName");
const QString kFileFrom = QStringLiteral(" FROM stonefile f LEFT JOIN `user` u ON u.ID = f.AddedBy ");
const QString kFileOrder =
    QStringLiteral(" ORDER BY f.IsMain <> 0 DESC, FIELD(f.Kind, 'picture', 'video', 'document'), f.ID");

StoneFile fileFrom(const QSqlQuery &q)
{
    const db::Row r(q);
    StoneFile f;
    f.id = r.integer("ID");
    f.stoneId = r.integer("StoneID");
    f.name = r.text("FileName");
    f.kind = r.text("Kind");
    f.mimeType = r.text("MimeType");
    f.size = q.value(5).toLongLong();
    f.sha256 = r.text("Sha256");
    f.main = r.flag("IsMain");
    f.certificate = r.flag("IsCertificate");
    f.laboratory = r.text("Laboratory");
    f.width = int(r.integer("Width"));
    f.height = int(r.integer("Height"));
    f.addedBy = r.integer("AddedBy");
    f.addedAt = q.value(13).toDateTime();
    const QString full = (r.text("FirstName") + QLatin1Char(' ') + r.text("LastName")).trimmed();
    f.addedByName = r.text("UserName");
    if (!full.isEmpty())
        f.addedByName += QStringLiteral(" (") + full + QLatin1Char(')');
    return f;
}

QString idList(const QList<qint64> &ids)
{
    QStringList s;
    for (qint64 id : ids)
        s << QString::number(id);
    return s.join(QLatin1Char(','));
}

// Removes a file's rows: its chunks a few at a time (each statement stays
// small, also on a cluster), its thumbnail, its row.
void discard(const QSqlDatabase &db, qint64 fileId)
{
    while (db::execAffected(db, QStringLiteral("DELETE FROM stonefilechunk WHERE FileID = ? ORDER BY Seq LIMIT 8"),
                            {fileId})
           > 0) {
    }
    db::exec(db, QStringLiteral("DELETE FROM stonefilethumb WHERE FileID = ?"), {fileId});
    db::exec(db, QStringLiteral("DELETE FROM stonefile WHERE ID = ?"), {fileId});
}

void discardQuietly(const QSqlDatabase &db, qint64 fileId)
{
    try {
        discard(db, fileId);
    } catch (const db::DbError &) {
        // What is left is not on the stone (not stored); removeUnfinished
        // takes it away later.
    }
}

QString sha256Of(QIODevice &in, qint64 *bytes)
{
    QCryptographicHash h(QCryptographicHash::Sha256);
    QByteArray buf;
    qint64 n = 0;
    for (;;) {
        buf = in.read(1 << 20);
        if (buf.isEmpty())
            break;
        h.addData(buf);
        n += buf.size();
    }
    if (bytes)
        *bytes = n;
    return QString::fromLatin1(h.result().toHex());
}

QByteArray encoded(const QImage &img)
{
    QByteArray out;
    QBuffer b(&out);
    b.open(QIODevice::WriteOnly);
    QImageWriter w(&b, img.hasAlphaChannel() ? "png" : "jpeg");
    if (!img.hasAlphaChannel())
        w.setQuality(85);
    w.write(img);
    return out;
}

void storeThumbnail(const QSqlDatabase &db, qint64 fileId, const Thumbnail &t)
{
    if (t.picture.isNull())
        return;
    // Two workstations that make it at once keep the first.
    db::exec(db,
             QStringLiteral("INSERT IGNORE INTO stonefilethumb (FileID, Width, Height, Thumb, Icon, MadeAt) "
                            "VALUES (?, ?, ?, ?, ?, NOW())"),
             {fileId, t.picture.width(), t.picture.height(), encoded(t.picture), encoded(t.icon)});
}

QImage imageOf(const QVariant &v)
{
    QImage img;
    const QByteArray b = v.toByteArray();
    if (!b.isEmpty())
        img.loadFromData(b);
    return img;
}

// Runs one change of a stored file in a transaction, after the checks every
// change makes; `work` returns the message of a refusal, empty when done.
FileChange change(const QSqlDatabase &db, const UserState &user, qint64 stoneId, qint64 fileId,
                  const std::function<QString(const StoneFile &)> &work)
{
    FileChange out;
    if (const QString why = fileWriteRefusal(user); !why.isEmpty()) {
        out.message = why;
        return out;
    }
    try {
        out.message = db::retryOnLockConflict([&]() -> QString {
            db::Transaction t(db);
            db::claimGuard(db, db::GuardKind::StoneFiles, stoneId);
            QSqlQuery q = db::exec(db,
                                   QStringLiteral("SELECT ") + kFileColumns + kFileFrom
                                       + QStringLiteral("WHERE f.ID = ? AND f.StoneID = ? AND f.Stored <> 0"),
                                   {fileId, stoneId});
            if (!q.next())
                return QStringLiteral("File %1 is not on stone %2 (removed on another workstation?).")
                    .arg(fileId)
                    .arg(stoneId);
            const StoneFile f = fileFrom(q);
            const QString refused = work(f);
            if (!refused.isEmpty())
                return refused;
            t.commit();
            return {};
        });
    } catch (const db::DbError &e) {
        out.message = QStringLiteral("The change was not made: ") + e.message();
        return out;
    }
    out.ok = out.message.isEmpty();
    return out;
}

} // namespace

qint64 fileSizeLimit(const Settings &s)
{
    const qint64 mb = s.StoneFileLimitMB > 0 ? qint64(s.StoneFileLimitMB) : kDefaultFileLimitMB;
    return mb * 1024 * 1024;
}

int chunkSizeFor(const QSqlDatabase &db)
{
    qint64 packet = 0;
    try {
        packet = db::scalar(db, QStringLiteral("SELECT @@max_allowed_packet")).toLongLong();
    } catch (const db::DbError &) {
    }
    if (packet <= 0)
        packet = 1024 * 1024; // the smallest a server is ever set to by default
    return int(std::clamp<qint64>(packet / 4, 16 * 1024, 1024 * 1024));
}

QString fileWriteRefusal(const UserState &user)
{
    if (user.ID <= 0)
        return QStringLiteral("Please log on first.");
    if (!user.has(QStringLiteral("AllowEdit")))
        return QStringLiteral("No Permission, please login or contact the System Administrator!");
    return {};
}

QString sizeText(qint64 bytes)
{
    const QLocale en(QLocale::English);
    if (bytes >= 1024 * 1024)
        return en.toString(double(bytes) / (1024.0 * 1024.0), 'f', 1) + QStringLiteral(" MB");
    if (bytes >= 1024)
        return en.toString(double(bytes) / 1024.0, 'f', 0) + QStringLiteral(" KB");
    return en.toString(bytes) + QStringLiteral(" bytes");
}

AttachResult attachFile(const QSqlDatabase &db, const UserState &user, qint64 stoneId, const QString &path,
                        const AttachOptions &o, const Progress &progress)
{
    AttachResult r;
    const QFileInfo fi(path);
    const QString name = o.storedName.isEmpty() ? fi.fileName() : o.storedName;
    auto refuse = [&](const QString &why) {
        r.message = why;
        return r;
    };
    if (const QString why = fileWriteRefusal(user); !why.isEmpty())
        return refuse(why);
    // Only a plain file is read: a folder, a device or a pipe is no picture.
    if (!fi.exists())
        return refuse(QStringLiteral("%1 was not found.").arg(QDir::toNativeSeparators(path)));
    if (!fi.isFile())
        return refuse(QStringLiteral("%1 is not a file.").arg(QDir::toNativeSeparators(path)));
    if (fi.size() > o.sizeLimit)
        return refuse(QStringLiteral("%1 is %2, above the limit of %3 for a file (Configuration, \"Largest file on "
                                     "a stone\"). Nothing was attached.")
                          .arg(name, sizeText(fi.size()), sizeText(o.sizeLimit)));
    const ContentCheck c = checkFileContent(path);
    if (!c.ok)
        return refuse(QStringLiteral("%1 %2. Nothing was attached.").arg(name, c.why));
    if (o.certificate && c.kind != QLatin1String("document"))
        return refuse(QStringLiteral("%1 is not a PDF document: a certificate is attached as a PDF.").arg(name));
    if (name.size() > 255)
        return refuse(QStringLiteral("The file name is too long: %1 characters where at most 255 can be stored.")
                          .arg(name.size()));

    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return refuse(QStringLiteral("%1 cannot be read (%2).").arg(name, in.errorString()));
    qint64 total = 0;
    const QString sha = sha256Of(in, &total);
    try {
        if (!db::scalar(db, QStringLiteral("SELECT ID FROM SingleStone WHERE ID = ?"), {stoneId}).isValid())
            return refuse(QStringLiteral("There is no stone number %1.").arg(stoneId));
        removeUnfinished(db);
    } catch (const db::DbError &e) {
        return refuse(QStringLiteral("%1 was not attached: %2").arg(name, e.message()));
    }

    // The same bytes on the stone already: kept once (what was asked of it
    // is applied to the one there).
    auto existing = [&]() -> qint64 {
        return db::scalar(db,
                          QStringLiteral("SELECT ID FROM stonefile WHERE StoneID = ? AND Sha256 = ? AND Stored <> 0 "
                                         "ORDER BY ID LIMIT 1"),
                          {stoneId, sha})
            .toLongLong();
    };
    auto keptOnce = [&](qint64 id) {
        r.ok = true;
        r.already = true;
        r.fileId = id;
        r.message = QStringLiteral("%1 is on this stone already; it is kept once.").arg(name);
        if (o.main && c.kind == QLatin1String("picture"))
            setMainPicture(db, user, stoneId, id);
        if (o.certificate)
            setCertificate(db, user, stoneId, id, true, o.laboratory);
        return r;
    };
    try {
        if (const qint64 id = existing())
            return keptOnce(id);
    } catch (const db::DbError &e) {
        return refuse(QStringLiteral("%1 was not attached: %2").arg(name, e.message()));
    }

    const int chunk = chunkSizeFor(db);
    const qint64 chunks = (total + chunk - 1) / chunk;
    qint64 fileId = 0;
    try {
        fileId = db::insert(db,
                            QStringLiteral("INSERT INTO stonefile (StoneID, FileName, Kind, MimeType, Size, Sha256, "
                                           "ChunkSize, Chunks, IsMain, IsCertificate, Laboratory, Width, Height, "
                                           "AddedBy, AddedAt, Stored) "
                                           "VALUES (?, ?, ?, ?, ?, ?, ?, ?, 0, ?, ?, ?, ?, ?, NOW(), 0)"),
                            {stoneId, name, c.kind, c.mimeType, total, sha, chunk, chunks, o.certificate ? -1 : 0,
                             o.laboratory.isEmpty() ? QVariant() : QVariant(o.laboratory.left(50)), c.width, c.height,
                             user.ID});
        // The bytes, a chunk a statement, each its own small commit.
        in.seek(0);
        QCryptographicHash h(QCryptographicHash::Sha256);
        QSqlQuery ins(db);
        if (!ins.prepare(QStringLiteral("INSERT INTO stonefilechunk (FileID, Seq, Bytes, Data) VALUES (?, ?, ?, ?)")))
            throw db::DbError(ins.lastError().text());
        qint64 done = 0;
        for (qint64 seq = 0; seq < chunks; ++seq) {
            const QByteArray part = in.read(chunk);
            if (part.isEmpty() || (part.size() != chunk && seq + 1 < chunks))
                throw db::DbError(QStringLiteral("%1 changed while it was read (it is shorter now)").arg(name));
            h.addData(part);
            ins.bindValue(0, fileId);
            ins.bindValue(1, seq);
            ins.bindValue(2, qint64(part.size()));
            ins.bindValue(3, part);
            if (!ins.exec())
                throw db::DbError(ins.lastError().databaseText().isEmpty() ? ins.lastError().text()
                                                                           : ins.lastError().databaseText(),
                                  ins.lastQuery(), db::nativeErrorCode(ins));
            done += part.size();
            if (progress && !progress(done, total)) {
                discardQuietly(db, fileId);
                return refuse(QStringLiteral("Attaching %1 was stopped; nothing of it was kept.").arg(name));
            }
        }
        if (!in.atEnd() || QString::fromLatin1(h.result().toHex()) != sha) {
            discardQuietly(db, fileId);
            return refuse(QStringLiteral("%1 changed while it was read; nothing of it was kept. Please attach it "
                                         "again.")
                              .arg(name));
        }

        // Stored: one small transaction, in which the stone's files meet.
        const QString finished = db::retryOnLockConflict([&]() -> QString {
            db::Transaction t(db);
            db::claimGuard(db, db::GuardKind::StoneFiles, stoneId);
            if (!db::scalar(db, QStringLiteral("SELECT ID FROM SingleStone WHERE ID = ?"), {stoneId}).isValid())
                return QStringLiteral("gone");
            if (existing())
                return QStringLiteral("twice");
            const bool hasMain =
                db::scalar(db,
                           QStringLiteral("SELECT COUNT(*) FROM stonefile WHERE StoneID = ? AND Stored <> 0 AND "
                                          "IsMain <> 0"),
                           {stoneId})
                    .toInt()
                > 0;
            const bool makeMain = c.kind == QLatin1String("picture") && (o.main || !hasMain);
            if (makeMain)
                db::exec(db, QStringLiteral("UPDATE stonefile SET IsMain = 0 WHERE StoneID = ? AND IsMain <> 0"),
                         {stoneId});
            if (db::execAffected(db,
                                 QStringLiteral("UPDATE stonefile SET Stored = -1, IsMain = ? WHERE ID = ? AND "
                                                "Stored = 0"),
                                 {makeMain ? -1 : 0, fileId})
                != 1)
                return QStringLiteral("lost");
            t.commit();
            return {};
        });
        if (finished == QLatin1String("twice")) {
            discardQuietly(db, fileId);
            return keptOnce(existing());
        }
        if (!finished.isEmpty()) {
            discardQuietly(db, fileId);
            return refuse(finished == QLatin1String("gone")
                              ? QStringLiteral("Stone %1 was deleted meanwhile; %2 was not attached.").arg(stoneId).arg(name)
                              : QStringLiteral("%1 was not attached: its rows were taken away meanwhile.").arg(name));
        }
    } catch (const db::DbError &e) {
        if (fileId)
            discardQuietly(db, fileId);
        return refuse(QStringLiteral("%1 was not attached: %2. Nothing of it was kept.").arg(name, e.message()));
    }

    // The thumbnail, from the file in hand; when this fails it is made the
    // first time it is shown.
    if (c.kind == QLatin1String("picture")) {
        try {
            in.seek(0);
            storeThumbnail(db, fileId, makeThumbnail(in));
        } catch (const db::DbError &) {
        }
    }
    r.ok = true;
    r.fileId = fileId;
    r.message = QStringLiteral("%1 (%2) was attached to the stone.").arg(name, sizeText(total));
    return r;
}

AttachResult attachCertificateReport(const QSqlDatabase &db, const UserState &user, qint64 stoneId,
                                     const QString &path, const AttachOptions &options)
{
    AttachOptions o = options;
    o.certificate = true;
    AttachResult r = attachFile(db, user, stoneId, path, o);
    if (!r.ok)
        return r;
    try {
        db::exec(db, QStringLiteral("UPDATE SingleStone SET certfilename1 = ?, certfilesize1 = ? WHERE ID = ?"),
                 {QFileInfo(path).fileName(), QFileInfo(path).size(), stoneId});
    } catch (const db::DbError &e) {
        r.message += QStringLiteral(" (its name was not noted on the stone: %1)").arg(e.message());
    }
    return r;
}

FileChange detachFile(const QSqlDatabase &db, const UserState &user, qint64 stoneId, qint64 fileId)
{
    FileChange out = change(db, user, stoneId, fileId, [&](const StoneFile &f) -> QString {
        db::exec(db, QStringLiteral("DELETE FROM stonefile WHERE ID = ?"), {fileId});
        // The next picture takes the place of a main picture removed.
        if (f.main) {
            const qint64 next = db::scalar(db,
                                           QStringLiteral("SELECT ID FROM stonefile WHERE StoneID = ? AND Stored <> 0 "
                                                          "AND Kind = 'picture' ORDER BY ID LIMIT 1"),
                                           {stoneId})
                                    .toLongLong();
            if (next)
                db::exec(db, QStringLiteral("UPDATE stonefile SET IsMain = -1 WHERE ID = ?"), {next});
        }
        return {};
    });
    if (out.ok) {
        // The row is gone, so the file is off the stone; the bytes follow.
        discardQuietly(db, fileId);
        out.message = QStringLiteral("The file was removed from the stone.");
    }
    return out;
}

FileChange setMainPicture(const QSqlDatabase &db, const UserState &user, qint64 stoneId, qint64 fileId)
{
    return change(db, user, stoneId, fileId, [&](const StoneFile &f) -> QString {
        if (f.kind != QLatin1String("picture"))
            return QStringLiteral("%1 is not a picture; only a picture can be the main picture.").arg(f.name);
        db::exec(db, QStringLiteral("UPDATE stonefile SET IsMain = 0 WHERE StoneID = ? AND IsMain <> 0 AND ID <> ?"),
                 {stoneId, fileId});
        db::exec(db, QStringLiteral("UPDATE stonefile SET IsMain = -1 WHERE ID = ?"), {fileId});
        return {};
    });
}

FileChange setCertificate(const QSqlDatabase &db, const UserState &user, qint64 stoneId, qint64 fileId, bool on,
                          const QString &laboratory)
{
    return change(db, user, stoneId, fileId, [&](const StoneFile &f) -> QString {
        if (on && f.kind != QLatin1String("document"))
            return QStringLiteral("%1 is not a PDF document: a certificate is attached as a PDF.").arg(f.name);
        // A laboratory named replaces the one kept; none keeps it.
        const QString lab = laboratory.trimmed().isEmpty() ? f.laboratory : laboratory.trimmed().left(50);
        db::exec(db, QStringLiteral("UPDATE stonefile SET IsCertificate = ?, Laboratory = ? WHERE ID = ?"),
                 {on ? -1 : 0, on && !lab.isEmpty() ? QVariant(lab) : QVariant(), fileId});
        return {};
    });
}

QList<StoneFile> stoneFiles(const QSqlDatabase &db, qint64 stoneId)
{
    QList<StoneFile> out;
    QSqlQuery q = db::exec(db,
                           QStringLiteral("SELECT ") + kFileColumns + kFileFrom
                               + QStringLiteral("WHERE f.StoneID = ? AND f.Stored <> 0") + kFileOrder,
                           {stoneId});
    while (q.next())
        out << fileFrom(q);
    return out;
}

std::optional<StoneFile> stoneFile(const QSqlDatabase &db, qint64 fileId)
{
    QSqlQuery q = db::exec(db,
                           QStringLiteral("SELECT ") + kFileColumns + kFileFrom
                               + QStringLiteral("WHERE f.ID = ? AND f.Stored <> 0"),
                           {fileId});
    if (!q.next())
        return std::nullopt;
    return fileFrom(q);
}

bool readFile(const QSqlDatabase &db, const StoneFile &file, QIODevice &out, QString *why)
{
    auto fail = [&](const QString &w) {
        if (why)
            *why = w;
        return false;
    };
    try {
        const qint64 chunks =
            db::scalar(db, QStringLiteral("SELECT Chunks FROM stonefile WHERE ID = ?"), {file.id}).toLongLong();
        QCryptographicHash h(QCryptographicHash::Sha256);
        qint64 total = 0;
        // One chunk a query: only one chunk is ever in memory.
        for (qint64 seq = 0; seq < chunks; ++seq) {
            QSqlQuery q(db);
            q.setForwardOnly(true);
            if (!q.exec(QStringLiteral("SELECT Data FROM stonefilechunk WHERE FileID = %1 AND Seq = %2")
                            .arg(file.id)
                            .arg(seq)))
                return fail(QStringLiteral("%1 could not be read: %2").arg(file.name, q.lastError().text()));
            if (!q.next())
                return fail(QStringLiteral("%1 is damaged in the database: part %2 of %3 is missing.")
                                .arg(file.name)
                                .arg(seq + 1)
                                .arg(chunks));
            const QByteArray part = q.value(0).toByteArray();
            h.addData(part);
            total += part.size();
            if (out.write(part) != part.size())
                return fail(QStringLiteral("%1 could not be written: %2").arg(file.name, out.errorString()));
        }
        if (total != file.size || QString::fromLatin1(h.result().toHex()) != file.sha256)
            return fail(QStringLiteral("%1 is damaged in the database: its bytes are not the ones attached "
                                       "(size or SHA-256 differ).")
                            .arg(file.name));
    } catch (const db::DbError &e) {
        return fail(QStringLiteral("%1 could not be read: %2").arg(file.name, e.message()));
    }
    return true;
}

QString exportFile(const QSqlDatabase &db, const StoneFile &file, const QString &folder, QString *why,
                   QStringList *taken)
{
    if (!QDir().mkpath(folder)) {
        if (why)
            *why = QStringLiteral("The folder %1 cannot be made.").arg(QDir::toNativeSeparators(folder));
        return {};
    }
    // A name of its own within the folder ("a.jpg", "a (2).jpg").
    QString name = QFileInfo(file.name).fileName();
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        name = QStringLiteral("file-%1").arg(file.id);
    const QFileInfo parts(name);
    QString candidate = name;
    for (int n = 2; taken && taken->contains(candidate, Qt::CaseInsensitive); ++n)
        candidate = parts.completeBaseName() + QStringLiteral(" (%1)").arg(n)
                    + (parts.suffix().isEmpty() ? QString() : QLatin1Char('.') + parts.suffix());
    if (taken)
        *taken << candidate;
    const QString target = QDir(folder).filePath(candidate);
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly)) {
        if (why)
            *why = QStringLiteral("%1 cannot be written: %2").arg(QDir::toNativeSeparators(target), out.errorString());
        return {};
    }
    if (!readFile(db, file, out, why)) {
        out.cancelWriting();
        return {};
    }
    if (!out.commit()) {
        if (why)
            *why = QStringLiteral("%1 cannot be written: %2").arg(QDir::toNativeSeparators(target), out.errorString());
        return {};
    }
    return target;
}

QString stoneFolderName(const QString &sku, qint64 stoneId)
{
    QString n = sku.trimmed();
    for (QChar &ch : n)
        if (ch.unicode() < 32 || QStringLiteral("/\\:*?\"<>|").contains(ch))
            ch = QLatin1Char('_');
    if (n.isEmpty() || n == QLatin1String(".") || n == QLatin1String(".."))
        n = QStringLiteral("stone-%1").arg(stoneId);
    return n;
}

ExportReport exportStoneFiles(const QSqlDatabase &db, const QList<qint64> &stoneIds, const QString &folder)
{
    ExportReport rep;
    QSet<QString> used;
    for (qint64 id : stoneIds) {
        QList<StoneFile> files;
        QString sku;
        try {
            files = stoneFiles(db, id);
            if (files.isEmpty())
                continue;
            sku = db::textOf(db::scalar(db, QStringLiteral("SELECT SKU FROM SingleStone WHERE ID = ?"), {id}));
        } catch (const db::DbError &e) {
            rep.problems << QStringLiteral("Stone %1: %2").arg(id).arg(e.message());
            continue;
        }
        // Two stones of one SKU get folders of their own.
        QString name = stoneFolderName(sku, id);
        if (used.contains(name.toLower()))
            name += QStringLiteral(" (stone %1)").arg(id);
        used.insert(name.toLower());
        const QString dir = QDir(folder).filePath(name);
        QStringList taken;
        int written = 0;
        for (const StoneFile &f : files) {
            QString why;
            if (exportFile(db, f, dir, &why, &taken).isEmpty())
                rep.problems << why;
            else
                ++written;
        }
        if (written) {
            ++rep.stones;
            rep.files += written;
            rep.folders << dir;
        }
    }
    return rep;
}

Thumbnail makeThumbnail(QIODevice &picture)
{
    Thumbnail t;
    QImageReader r(&picture);
    r.setAutoTransform(true);
    const QSize full = r.size();
    // A large picture is read scaled (JPEG scales while it decodes).
    if (full.isValid() && (full.width() > 2 * kThumbSide || full.height() > 2 * kThumbSide))
        r.setScaledSize(full.scaled(2 * kThumbSide, 2 * kThumbSide, Qt::KeepAspectRatio));
    QImage img = r.read();
    if (img.isNull())
        return t;
    t.picture = img.width() > kThumbSide || img.height() > kThumbSide
                    ? img.scaled(kThumbSide, kThumbSide, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                    : img;
    t.icon = t.picture.scaled(kIconSide, kIconSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return t;
}

QImage thumbnailOf(const QSqlDatabase &db, qint64 fileId)
{
    const QVariant kept =
        db::scalar(db, QStringLiteral("SELECT Thumb FROM stonefilethumb WHERE FileID = ?"), {fileId});
    if (kept.isValid())
        return imageOf(kept);
    const std::optional<StoneFile> f = stoneFile(db, fileId);
    if (!f || f->kind != QLatin1String("picture"))
        return {};
    QByteArray bytes;
    QBuffer b(&bytes);
    b.open(QIODevice::WriteOnly);
    if (!readFile(db, *f, b, nullptr))
        return {};
    b.close();
    b.open(QIODevice::ReadOnly);
    const Thumbnail t = makeThumbnail(b);
    storeThumbnail(db, fileId, t);
    return t.picture;
}

QImage mainThumbnail(const QSqlDatabase &db, qint64 stoneId)
{
    QSqlQuery q = db::exec(db,
                           QStringLiteral("SELECT f.ID, t.Thumb FROM stonefile f LEFT JOIN stonefilethumb t ON "
                                          "t.FileID = f.ID WHERE f.StoneID = ? AND f.Stored <> 0 AND f.IsMain <> 0 "
                                          "ORDER BY f.ID LIMIT 1"),
                           {stoneId});
    if (!q.next())
        return {};
    if (!q.value(1).isNull())
        return imageOf(q.value(1));
    return thumbnailOf(db, q.value(0).toLongLong());
}

namespace {

QHash<qint64, QImage> mainImages(const QSqlDatabase &db, const QList<qint64> &stoneIds, const char *column)
{
    QHash<qint64, QImage> out;
    if (stoneIds.isEmpty())
        return out;
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT f.StoneID, t.%1 FROM stonefile f JOIN stonefilethumb t ON "
                                              "t.FileID = f.ID WHERE f.Stored <> 0 AND f.IsMain <> 0 AND f.StoneID IN (%2)")
                                   .arg(QLatin1String(column), idList(stoneIds)));
    while (q.next()) {
        const QImage img = imageOf(q.value(1));
        if (!img.isNull())
            out.insert(q.value(0).toLongLong(), img);
    }
    return out;
}

} // namespace

QHash<qint64, QImage> mainIcons(const QSqlDatabase &db, const QList<qint64> &stoneIds)
{
    return mainImages(db, stoneIds, "Icon");
}

QHash<qint64, QImage> mainThumbnails(const QSqlDatabase &db, const QList<qint64> &stoneIds)
{
    return mainImages(db, stoneIds, "Thumb");
}

QHash<qint64, QStringList> fileNamesOf(const QSqlDatabase &db, const QList<qint64> &stoneIds)
{
    QHash<qint64, QStringList> out;
    if (stoneIds.isEmpty())
        return out;
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT f.StoneID, f.FileName FROM stonefile f WHERE f.Stored <> 0 AND "
                                              "f.StoneID IN (%1)")
                                   .arg(idList(stoneIds))
                                   + kFileOrder);
    while (q.next())
        out[q.value(0).toLongLong()] << db::textOf(q.value(1));
    return out;
}

void dropFilesOfStone(const QSqlDatabase &db, qint64 stoneId)
{
    db::exec(db,
             QStringLiteral("DELETE t FROM stonefilethumb t JOIN stonefile f ON f.ID = t.FileID WHERE f.StoneID = ?"),
             {stoneId});
    db::exec(db, QStringLiteral("DELETE FROM stonefile WHERE StoneID = ?"), {stoneId});
}

int removeUnfinished(const QSqlDatabase &db, int minutes)
{
    QList<qint64> ids;
    QSqlQuery q = db::exec(db,
                           QStringLiteral("SELECT ID FROM stonefile WHERE Stored = 0 AND AddedAt < NOW() - INTERVAL ? "
                                          "MINUTE"),
                           {minutes});
    while (q.next())
        ids << q.value(0).toLongLong();
    QSqlQuery orphans = db::exec(db, QStringLiteral("SELECT DISTINCT c.FileID FROM stonefilechunk c LEFT JOIN "
                                                    "stonefile f ON f.ID = c.FileID WHERE f.ID IS NULL"));
    while (orphans.next())
        ids << orphans.value(0).toLongLong();
    for (qint64 id : std::as_const(ids))
        discard(db, id);
    return int(ids.size());
}

} // namespace velmor::stones
