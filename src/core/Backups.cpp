#include "core/Backups.h"

#include "db/Connection.h"
#include "db/PrivateServer.h"
#include "db/Schema.h"
#include "db/Sql.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QLockFile>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QSqlQuery>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <map>
#include <set>
#include <thread>

namespace velmor::backups {

using db::backup::Check;
using db::backup::Header;

namespace {

QAtomicInt g_connections;

const QString kSettingsFile = QStringLiteral("backup.ini");

QString shown(const QString &path) { return QDir::toNativeSeparators(path); }

} // namespace

QString sizeText(qint64 bytes)
{
    const QLocale en(QLocale::English);
    if (bytes >= 1024 * 1024)
        return QStringLiteral("%1 MB").arg(en.toString(double(bytes) / (1024 * 1024), 'f', 1));
    if (bytes >= 1024)
        return QStringLiteral("%1 KB").arg(en.toString(double(bytes) / 1024, 'f', 1));
    return QStringLiteral("%1 bytes").arg(bytes);
}

namespace {

QString versionText(double v) { return QString::number(v, 'g', 10); }

qint64 totalRows(const Header &h)
{
    qint64 n = 0;
    for (const auto &t : h.tables)
        n += t.rows;
    return n;
}

bool processAlive(qint64 pid) { return pid > 0 && ::kill(pid_t(pid), 0) == 0; }

// A connection of its own to run `fn` on; throws DbError.
template <typename F>
void withDatabase(const db::ConnectionSettings &s, F fn)
{
    const QString name = QStringLiteral("velmor-backups-%1-%2").arg(QCoreApplication::applicationPid()).arg(g_connections.fetchAndAddRelaxed(1));
    {
        QSqlDatabase db = db::openConnection(s, name, false);
        try {
            fn(db);
        } catch (...) {
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            throw;
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

// Settings that reach one database of a private server (as its root).
db::ConnectionSettings onPrivateServer(const db::PrivateServer &server, const QString &database)
{
    db::ConnectionSettings s;
    s.mode = db::Mode::Server;
    s.socket = server.socketPath();
    s.user = QStringLiteral("root");
    s.password = server.rootPassword();
    s.database = database;
    s.sourceFile = QStringLiteral("(restore)");
    return s;
}

QString verifiedFile(const QString &file) { return file + QStringLiteral(".verified"); }

// The scratch database a verification restores into: named after the
// database (so that an account's rights on it and its like cover it), this
// process and a random number.
QString scratchName(const QString &database)
{
    return QStringLiteral("%1_verify_%2_%3")
        .arg(database.left(32))
        .arg(QCoreApplication::applicationPid())
        .arg(QRandomGenerator::global()->bounded(0x10000), 4, 16, QLatin1Char('0'));
}

// Scratch databases of verifications that were killed on this machine.
void dropDeadScratch(const db::ConnectionSettings &s)
{
    if (s.socket.isEmpty())
        return; // a shared server: their owners may run on other machines
    const QString prefix = s.database.left(32) + QStringLiteral("_verify_");
    QStringList dead;
    db::ConnectionSettings info = s;
    info.database = QStringLiteral("information_schema");
    try {
        withDatabase(info, [&](const QSqlDatabase &db) {
            QSqlQuery q = db::exec(db, QStringLiteral("SELECT SCHEMA_NAME FROM information_schema.SCHEMATA WHERE "
                                                      "LEFT(SCHEMA_NAME, ?) = ?"),
                                   {prefix.size(), prefix});
            while (q.next()) {
                const QString name = q.value(0).toString();
                if (!processAlive(name.mid(prefix.size()).section(QLatin1Char('_'), 0, 0).toLongLong()))
                    dead << name;
            }
        });
        for (const QString &d : dead)
            db::backup::dropDatabase(s, d);
    } catch (const db::DbError &) {
        // Left for the next time.
    }
}

// The hint for a refusal by the server's rights.
QString rightsHint(const QString &why)
{
    return why.contains(QLatin1String("denied"))
               ? QStringLiteral(" The account lacks a right the backup needs (the README's backup section lists them).")
               : QString();
}

} // namespace

// Settings.

Settings Settings::load(const Workstation &ws)
{
    Settings s;
    for (const QString &line : ws.readLines(kSettingsFile)) {
        const QString t = line.trimmed();
        if (t.isEmpty() || t.startsWith(QLatin1Char('#')))
            continue;
        const int eq = t.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString key = t.left(eq).trimmed().toLower();
        const QString value = t.mid(eq + 1).trimmed();
        bool ok = false;
        const int n = value.toInt(&ok);
        if (key == QLatin1String("folder"))
            s.folder = value;
        else if (key == QLatin1String("automatic"))
            s.automatic = !QStringList{QStringLiteral("no"), QStringLiteral("off"), QStringLiteral("false"),
                                       QStringLiteral("0")}
                               .contains(value.toLower());
        else if (key == QLatin1String("keepdaily") && ok && n >= 1)
            s.keepDaily = n;
        else if (key == QLatin1String("keepweekly") && ok && n >= 0)
            s.keepWeekly = n;
        else if (key == QLatin1String("warndays") && ok && n >= 1)
            s.warnDays = n;
    }
    return s;
}

bool Settings::save(const Workstation &ws, QString *why) const
{
    const QStringList lines{
        QStringLiteral("# Velmor's backups of this workstation (velmor db backup, the daily automatic one)."),
        QStringLiteral("# folder: where they go (empty: backups in the workstation folder)"),
        QStringLiteral("folder=%1").arg(folder),
        QStringLiteral("automatic=%1").arg(automatic ? QStringLiteral("yes") : QStringLiteral("no")),
        QStringLiteral("keepdaily=%1").arg(keepDaily),
        QStringLiteral("keepweekly=%1").arg(keepWeekly),
        QStringLiteral("warndays=%1").arg(warnDays)};
    if (!ws.writeLines(kSettingsFile, lines)) {
        *why = QStringLiteral("%1 cannot be written").arg(shown(ws.path(kSettingsFile)));
        return false;
    }
    return true;
}

QString Settings::folderPath(const Workstation &ws) const
{
    if (folder.trimmed().isEmpty())
        return ws.path(QStringLiteral("backups"));
    QString f = folder.trimmed();
    if (f.startsWith(QLatin1String("~/")))
        f = QDir::homePath() + f.mid(1);
    return QDir::cleanPath(QDir(ws.folder()).absoluteFilePath(f));
}

// Finding and keeping.

QList<Found> listBackups(const QString &folder)
{
    QList<Found> out;
    QStringList patterns;
    for (const QString &suffix : db::backup::backupSuffixes())
        patterns << QStringLiteral("*") + suffix;
    const QFileInfoList files = QDir(folder).entryInfoList(patterns, QDir::Files | QDir::Hidden, QDir::Name);
    for (const QFileInfo &fi : files) {
        Found f;
        f.file = fi.absoluteFilePath();
        f.bytes = fi.size();
        const Check c = db::backup::checkFile(f.file, false);
        f.whole = c.ok;
        f.problem = c.problem;
        if (c.headerRead) {
            f.made = c.header.made;
            f.schemaVersion = c.header.schemaVersion;
            f.kind = c.header.kind;
            f.verified = c.ok && isVerified(f.file, c.header, &f.verifiedAt);
        } else {
            f.made = fi.lastModified();
        }
        out << f;
    }
    std::sort(out.begin(), out.end(), [](const Found &a, const Found &b) { return a.made > b.made; });
    return out;
}

const Found *lastGood(const QList<Found> &found)
{
    for (const Found &f : found)
        if (f.whole)
            return &f;
    return nullptr;
}

QStringList expired(const QList<Found> &found, int keepDaily, int keepWeekly)
{
    QList<const Found *> daily;
    for (const Found &f : found)
        if (f.whole && f.kind == QLatin1String("daily"))
            daily << &f;
    std::sort(daily.begin(), daily.end(), [](const Found *a, const Found *b) { return a->made > b->made; });
    std::set<const Found *> keep;
    std::set<QDate> days;
    std::set<std::pair<int, int>> weeks;
    for (const Found *f : daily) {
        const QDate d = f->made.date();
        if (!days.count(d) && int(days.size()) < keepDaily) {
            days.insert(d);
            keep.insert(f);
        }
        int year = 0;
        const int week = d.weekNumber(&year);
        if (!weeks.count({year, week}) && int(weeks.size()) < keepWeekly) {
            weeks.insert({year, week});
            keep.insert(f);
        }
    }
    QStringList out;
    for (const Found *f : daily)
        if (!keep.count(f))
            out << f->file;
    return out;
}

bool madeOn(const QList<Found> &found, const QDate &day)
{
    for (const Found &f : found)
        if (f.whole && f.made.date() == day)
            return true;
    return false;
}

QString staleWarning(const QList<Found> &found, int warnDays, const QDateTime &now)
{
    static const QString how = QStringLiteral(" Make one now: File > Back up now... on the main menu, or "
                                              "velmor db backup.");
    const Found *last = lastGood(found);
    if (!last)
        return QStringLiteral("There is no backup of these books yet.") + how;
    const qint64 days = last->made.date().daysTo(now.date());
    if (days <= warnDays)
        return {};
    return QStringLiteral("The last good backup is %1 days old (%2).")
               .arg(days)
               .arg(last->made.toString(QStringLiteral("yyyy-MM-dd HH:mm")))
        + how;
}

QString newFileName(const QString &folder, const QDateTime &when, const QString &kind)
{
    QString name = QStringLiteral("velmor-%1").arg(when.toString(QStringLiteral("yyyy-MM-dd-HHmmss")));
    if (kind != QLatin1String("manual"))
        name += QLatin1Char('-') + kind;
    const QString suffix = db::backup::backupSuffix();
    QString path = QDir(folder).filePath(name + suffix);
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = QDir(folder).filePath(QStringLiteral("%1-%2").arg(name).arg(n) + suffix);
    return path;
}

bool markVerified(const QString &file, const Header &h)
{
    QSaveFile f(verifiedFile(file));
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(QStringLiteral("verified %1 sha256 %2\n")
                .arg(QDateTime::currentDateTime().toString(Qt::ISODate), QString::fromLatin1(h.bodySha256))
                .toUtf8());
    return f.commit();
}

bool isVerified(const QString &file, const Header &h, QDateTime *when)
{
    QFile f(verifiedFile(file));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QStringList w = QString::fromUtf8(f.readLine()).trimmed().split(QLatin1Char(' '));
    if (w.size() != 4 || w[0] != QLatin1String("verified") || w[3].toLatin1() != h.bodySha256)
        return false;
    if (when)
        *when = QDateTime::fromString(w[1], Qt::ISODate);
    return true;
}

// Reaching the database.

Reach::Reach(const db::ConnectionSettings &cs) : m_settings(cs)
{
    if (cs.mode == db::Mode::Private) {
        m_server = std::make_unique<db::PrivateServer>(cs.privateDir);
        m_server->acquire();
        m_settings.socket = m_server->socketPath();
        m_settings.user = QStringLiteral("root");
        m_settings.password = m_server->rootPassword();
    }
}

Reach::~Reach()
{
    if (m_server)
        m_server->release();
}

// Backing up and verifying.

namespace {

Outcome verifyReached(const db::ConnectionSettings &s, const QString &file, const Common &c)
{
    Outcome o;
    o.file = file;
    const Check check = db::backup::checkFile(file, true);
    if (!check.ok) {
        o.error = check.problem + QLatin1Char('.');
        return o;
    }
    dropDeadScratch(s);
    const QString scratch = scratchName(s.database);
    db::ConnectionSettings target = s;
    target.database = scratch;
    try {
        db::backup::createDatabase(s, scratch);
    } catch (const db::DbError &e) {
        o.error = QStringLiteral("A scratch database to verify the backup in could not be made: %1.%2")
                      .arg(e.message(), rightsHint(e.message()));
        return o;
    }
    QString why;
    QList<db::backup::TableSum> sums;
    const bool fed = db::backup::feedBackup(target, file, check, c.tools, c.progress, &why)
                     && db::backup::currentSums(target, c.tools, &sums, &why);
    try {
        db::backup::dropDatabase(s, scratch);
    } catch (const db::DbError &) {
    }
    if (!fed) {
        o.error = QStringLiteral("The backup could not be verified: %1").arg(why);
        return o;
    }
    const QStringList diff = db::backup::compareSums(check.header.tables, sums);
    if (!diff.isEmpty()) {
        o.code = 1;
        o.lines << QStringLiteral("NOT verified: restored into a scratch database, %1 of %2 tables differ from the "
                                  "backup's checksums:")
                       .arg(diff.size())
                       .arg(check.header.tables.size());
        for (const QString &d : diff)
            o.lines << QStringLiteral("  ") + d;
        return o;
    }
    markVerified(file, check.header);
    o.code = 0;
    o.lines << QStringLiteral("Verified: restored into a scratch database, every table's checksum equals the "
                              "backup's (%1 tables, %2 rows).")
                   .arg(check.header.tables.size())
                   .arg(totalRows(check.header));
    return o;
}

Outcome backUpReached(const Workstation &ws, const db::ConnectionSettings &s, const QString &file, bool verifyIt,
                      const Common &c, const QString &kind)
{
    Outcome o;
    db::backup::SourceInfo info;
    try {
        info = db::backup::readSourceInfo(s);
    } catch (const db::DbError &e) {
        o.error = QStringLiteral("The database could not be read for the backup: %1").arg(e.message());
        return o;
    }
    const Settings st = Settings::load(ws);
    const QString target = file.isEmpty() ? newFileName(st.folderPath(ws), QDateTime::currentDateTime(), kind)
                                          : QFileInfo(file).absoluteFilePath();
    QElapsedTimer t;
    t.start();
    db::backup::MakeRequest req;
    req.settings = s;
    req.source = info;
    req.file = target;
    req.kind = kind;
    req.program = c.program;
    req.tools = c.tools;
    req.progress = c.progress;
    const db::backup::MakeResult r = db::backup::makeBackup(req);
    o.file = target;
    if (!r.ok) {
        o.error = QStringLiteral("The backup could not be made: %1. Nothing was written under %2; the backups made "
                                 "before are as they were.")
                      .arg(r.error, shown(target));
        return o;
    }
    o.code = 0;
    o.lines << QStringLiteral("Backed up %1 tables (%2 rows) of %3, schema version %4, to %5 (%6) in %7 s.")
                   .arg(r.header.tables.size())
                   .arg(totalRows(r.header))
                   .arg(info.description, versionText(info.schemaVersion), shown(target), sizeText(r.fileBytes))
                   .arg(double(t.elapsed()) / 1000, 0, 'f', 1);
    if (verifyIt) {
        const Outcome v = verifyReached(s, target, c);
        o.lines += v.lines;
        if (v.code != 0) {
            o.code = 1;
            if (!v.error.isEmpty())
                o.lines << v.error;
        }
    }
    return o;
}

} // namespace

Outcome backUp(const Workstation &ws, const db::ConnectionSettings &cs, const QString &file, bool verifyIt,
               const Common &c, const QString &kind)
{
    Outcome o;
    std::unique_ptr<Reach> reach;
    try {
        reach = std::make_unique<Reach>(cs);
    } catch (const db::DbError &e) {
        o.error = e.message();
        return o;
    }
    QString why;
    db::backup::ToolConnection::from(reach->settings(), &why);
    if (!why.isEmpty()) {
        o.error = QStringLiteral("The backup cannot be made: %1.").arg(why);
        return o;
    }
    return backUpReached(ws, reach->settings(), file, verifyIt, c, kind);
}

Outcome verify(const db::ConnectionSettings &cs, const QString &file, const Common &c)
{
    Outcome o;
    const Check check = db::backup::checkFile(file, true);
    if (!check.ok) {
        o.file = file;
        o.error = check.problem + QLatin1Char('.');
        return o;
    }
    std::unique_ptr<Reach> reach;
    try {
        reach = std::make_unique<Reach>(cs);
    } catch (const db::DbError &e) {
        o.error = e.message();
        return o;
    }
    return verifyReached(reach->settings(), file, c);
}

// Restoring.

namespace {

class Restorer {
public:
    explicit Restorer(const RestoreRequest &r) : m_r(r) {}

    Outcome run()
    {
        m_o.file = m_r.file;
        m_check = db::backup::checkFile(m_r.file, true);
        if (!m_check.ok)
            return refuse(m_check.problem + QLatin1Char('.'));
        const Header &h = m_check.header;
        if (h.schemaVersion > db::schema::kSchemaVersion)
            return refuse(QStringLiteral("%1 was made by a newer Velmor (schema version %2; this program knows %3). "
                                         "Install that version of Velmor to restore it.")
                              .arg(shown(m_r.file), versionText(h.schemaVersion))
                              .arg(db::schema::kSchemaVersion));
        m_o.lines << QStringLiteral("%1: made %2%3, schema version %4, %5 tables, %6 rows.")
                         .arg(shown(m_r.file), h.made.toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                              h.program.isEmpty() ? QString() : QStringLiteral(" by ") + h.program,
                              versionText(h.schemaVersion))
                         .arg(h.tables.size())
                         .arg(totalRows(h));
        m_ws = Workstation(m_r.home.isEmpty() ? Workstation::defaultFolder() : QDir(m_r.home).absolutePath());
        try {
            m_cs = m_r.connection ? *m_r.connection : m_ws.connectionSettings();
        } catch (const db::DbError &e) {
            return refuse(e.message());
        }
        if (!m_r.database.isEmpty())
            m_cs.database = m_r.database;
        if (m_cs.mode == db::Mode::Odbc) {
            QString why;
            db::backup::ToolConnection::from(m_cs, &why);
            return refuse(QStringLiteral("The backup cannot be restored: %1.").arg(why));
        }
        return m_cs.mode == db::Mode::Private ? intoPrivate() : intoServer();
    }

private:
    Outcome refuse(const QString &why)
    {
        m_o.code = 2;
        m_o.error = why + QStringLiteral(" Nothing was changed.");
        return m_o;
    }

    // A backup of what the target holds, before anything is replaced; false
    // (with m_o.error) when the user may not replace it or the backup fails.
    bool backUpFirst(const db::ConnectionSettings &reachable, const QStringList &rows)
    {
        QString why;
        if (m_r.mayReplace && !m_r.mayReplace(reachable, &why)) {
            m_o.error = why;
            return false;
        }
        m_o.lines << QStringLiteral("%1 holds data (%2); it is backed up first.")
                         .arg(m_cs.describe(), rows.mid(0, 3).join(QStringLiteral(", "))
                                                   + (rows.size() > 3 ? QStringLiteral(", ...") : QString()));
        const Outcome b = backUpReached(m_ws, reachable, {}, false, m_r.common, QStringLiteral("before-restore"));
        if (b.code != 0) {
            m_o.error = QStringLiteral("The database could not be backed up before the restore: %1").arg(b.error);
            return false;
        }
        m_o.lines += b.lines;
        return true;
    }

    QString heldDataRefusal(const QStringList &rows) const
    {
        return QStringLiteral("%1 already holds data (%2). Restore with --replace to replace it (what it holds is "
                              "backed up first), or restore into a new workstation folder (--home DIR) or an empty "
                              "database (--database NAME).")
            .arg(m_cs.describe(), rows.mid(0, 3).join(QStringLiteral(", ")) + (rows.size() > 3 ? QStringLiteral(", ...") : QString()));
    }

    // Feeds the file into `target`, compares, brings an older schema up to
    // date and checks the books; false (with m_o.error) when the restore
    // itself failed.
    bool fill(const db::ConnectionSettings &target)
    {
        QElapsedTimer t;
        t.start();
        QString why;
        if (!db::backup::feedBackup(target, m_r.file, m_check, m_r.common.tools, m_r.common.progress, &why)) {
            m_o.error = QStringLiteral("The restore failed: %1.").arg(why);
            return false;
        }
        m_o.lines << QStringLiteral("Restored %1 tables in %2 s.")
                         .arg(m_check.header.tables.size())
                         .arg(double(t.elapsed()) / 1000, 0, 'f', 1);
        // The tables read back and the books checked: at the same time when
        // the schema is current (two readers of the same finished tables);
        // an older schema is compared first, then brought up to date and
        // then checked.
        const bool current = m_check.header.schemaVersion >= db::schema::kSchemaVersion;
        auto checkBooks = [this, &target] {
            try {
                withDatabase(target, [&](const QSqlDatabase &db) {
                    if (m_r.booksCheck)
                        m_faults = m_r.booksCheck(db);
                });
            } catch (const db::DbError &e) {
                m_faults << QStringLiteral("The restored books could not be checked: %1").arg(e.message());
            }
        };
        std::thread books;
        if (current)
            books = std::thread(checkBooks);
        QList<db::backup::TableSum> sums;
        const bool readBack = db::backup::currentSums(target, m_r.common.tools, &sums, &why);
        if (books.joinable())
            books.join();
        if (!readBack) {
            m_o.error = QStringLiteral("The restored tables could not be read back: %1.").arg(why);
            return false;
        }
        m_differences = db::backup::compareSums(m_check.header.tables, sums);
        if (m_differences.isEmpty()) {
            m_o.lines << QStringLiteral("Every table's checksum equals the backup's (%1 tables).").arg(sums.size());
        } else {
            m_o.lines << QStringLiteral("%1 tables differ from the backup's checksums:").arg(m_differences.size());
            for (const QString &d : m_differences)
                m_o.lines << QStringLiteral("  ") + d;
        }
        if (!current) {
            try {
                withDatabase(target, [&](const QSqlDatabase &db) {
                    db::schema::bringUpToDate(db);
                    m_o.lines << QStringLiteral("The schema was brought up from version %1 to %2.")
                                     .arg(versionText(m_check.header.schemaVersion))
                                     .arg(db::schema::kSchemaVersion);
                });
            } catch (const db::DbError &e) {
                m_faults << QStringLiteral("The restored schema could not be brought up to date: %1").arg(e.message());
            }
            checkBooks();
        }
        if (m_faults.isEmpty()) {
            m_o.lines << QStringLiteral("The books check finds nothing wrong.");
        } else {
            m_o.lines << QStringLiteral("The books check finds:");
            for (const QString &f : m_faults)
                m_o.lines << QStringLiteral("  ") + f;
        }
        return true;
    }

    Outcome finished()
    {
        m_o.code = m_differences.isEmpty() && m_faults.isEmpty() ? 0 : 1;
        return m_o;
    }

    Outcome intoPrivate()
    {
        const QString dir = QDir::cleanPath(m_cs.privateDir);
        const QString staging = dir + QStringLiteral(".restoring");
        db::PrivateServer existing(dir);
        const bool hasFolder = QFileInfo::exists(dir + QStringLiteral("/data/mysql"));
        if (hasFolder) {
            if (existing.clientCount() > 0)
                return refuse(QStringLiteral("Velmor is running on %1 (%2 programs). Close it there first.")
                                  .arg(shown(m_ws.folder()))
                                  .arg(existing.clientCount()));
            try {
                Reach reach(m_cs);
                const QStringList rows = db::backup::databaseExists(reach.settings(), m_cs.database)
                                             ? db::backup::tablesWithRows(reach.settings(), m_cs.database)
                                             : QStringList();
                if (!rows.isEmpty()) {
                    if (!m_r.replace)
                        return refuse(heldDataRefusal(rows));
                    if (!backUpFirst(reach.settings(), rows))
                        return refuse(m_o.error);
                }
            } catch (const db::DbError &e) {
                return refuse(QStringLiteral("The database in %1 cannot be opened to see what it holds (%2). Move the "
                                             "folder %1 aside to restore into its place.")
                                  .arg(shown(dir), e.message()));
            }
        }
        // A folder without a server's data (its making was cut short) holds
        // nothing to keep: the restore takes its place.
        // The restore is built beside, under a name no Velmor opens, and
        // takes the database folder's place only when whole.
        db::PrivateServer(staging).stop();
        QDir(staging).removeRecursively();
        if (!db::makeOwnFolder(m_ws.folder()))
            return refuse(QStringLiteral("The workstation folder %1 cannot be made.").arg(shown(m_ws.folder())));
        db::PrivateServer server(staging);
        try {
            server.acquire();
            const db::ConnectionSettings target = onPrivateServer(server, m_cs.database);
            db::backup::createDatabase(target, m_cs.database);
            if (!fill(target)) {
                server.release();
                server.stop();
                QDir(staging).removeRecursively();
                return refuse(m_o.error);
            }
        } catch (const db::DbError &e) {
            server.release();
            server.stop();
            QDir(staging).removeRecursively();
            return refuse(QStringLiteral("The restore failed: %1").arg(e.message()));
        }
        server.release();
        server.stop();
        // In place: swapped with the old folder in one step (never a moment
        // without a database folder), or renamed into an empty place.
        if (existing.clientCount() > 0) {
            QDir(staging).removeRecursively();
            return refuse(QStringLiteral("Velmor was started on %1 while the backup was restored; close it and "
                                         "restore again.")
                              .arg(shown(m_ws.folder())));
        }
        const QByteArray from = QFile::encodeName(staging), to = QFile::encodeName(dir);
        if (QFileInfo::exists(dir)) {
            if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE) != 0) {
                const QString err = QString::fromLocal8Bit(std::strerror(errno));
                QDir(staging).removeRecursively();
                return refuse(QStringLiteral("The restored database could not be put in place of %1: %2.")
                                  .arg(shown(dir), err));
            }
            QDir(staging).removeRecursively(); // the old database, backed up before
        } else if (::rename(from.constData(), to.constData()) != 0) {
            const QString err = QString::fromLocal8Bit(std::strerror(errno));
            QDir(staging).removeRecursively();
            return refuse(QStringLiteral("The restored database could not be put in place at %1: %2.").arg(shown(dir), err));
        }
        m_o.lines << QStringLiteral("The workstation folder %1 now holds the restored books.").arg(shown(m_ws.folder()));
        return finished();
    }

    Outcome intoServer()
    {
        const db::ConnectionSettings &s = m_cs;
        const QString name = s.database;
        const QString scratch = (name + QStringLiteral("_restoring")).left(64);
        const QString aside = (name + QStringLiteral("_replaced")).left(64);
        QString node;
        try {
            const bool exists = db::backup::databaseExists(s, name);
            const QStringList rows = exists ? db::backup::tablesWithRows(s, name) : QStringList();
            if (!rows.isEmpty()) {
                if (!m_r.replace)
                    return refuse(heldDataRefusal(rows));
                if (!backUpFirst(s, rows))
                    return refuse(m_o.error);
            }
            db::backup::dropDatabase(s, scratch);
            db::backup::createDatabase(s, scratch);
        } catch (const db::DbError &e) {
            return refuse(QStringLiteral("The server refused the restore's first steps: %1").arg(e.message()));
        }
        db::ConnectionSettings target = s;
        target.database = scratch;
        if (!fill(target)) {
            try {
                db::backup::dropDatabase(s, scratch);
            } catch (const db::DbError &) {
            }
            return refuse(m_o.error);
        }
        try {
            if (!db::backup::databaseExists(s, name))
                db::backup::createDatabase(s, name);
            db::backup::dropDatabase(s, aside);
            db::backup::swapTables(s, scratch, name, aside);
            db::backup::dropDatabase(s, aside);
        } catch (const db::DbError &e) {
            m_o.code = 2;
            m_o.error = QStringLiteral("The restored tables could not be put in place of %1: %2. The restore stays "
                                       "in the database %3; what %1 held is unchanged.")
                            .arg(name, e.message(), scratch);
            return m_o;
        }
        // Only tables move between databases: what else the backup held (the
        // store side's views or stored routines) stays where it was restored,
        // for the administrator to take across.
        QStringList left;
        try {
            left = db::backup::otherObjects(s, scratch);
            if (left.isEmpty())
                db::backup::dropDatabase(s, scratch);
        } catch (const db::DbError &e) {
            left << QStringLiteral("whatever else it held (it could not be read: %1)").arg(e.message());
        }
        QString where = s.describe();
        where[0] = where[0].toUpper();
        m_o.lines << QStringLiteral("%1 now holds the restored books.").arg(where);
        if (!left.isEmpty()) {
            m_differences << left;
            m_o.lines << QStringLiteral("Not carried over into %1: %2. They are restored in the database %3; make them "
                                        "again in %1 from there.")
                             .arg(name, left.join(QStringLiteral(", ")), scratch);
        }
        return finished();
    }

    const RestoreRequest &m_r;
    Outcome m_o;
    Check m_check;
    Workstation m_ws;
    db::ConnectionSettings m_cs;
    QStringList m_differences, m_faults;
};

} // namespace

Outcome restore(const RestoreRequest &r) { return Restorer(r).run(); }

// The automatic backup.

bool automaticDue(const Workstation &ws)
{
    const Settings st = Settings::load(ws);
    if (!st.automatic)
        return false;
    try {
        if (ws.connectionSettings().mode != db::Mode::Private)
            return false;
    } catch (const db::DbError &) {
        return false;
    }
    return !madeOn(listBackups(st.folderPath(ws)), QDate::currentDate());
}

namespace {

// What the automatic backups did, for the dealer who wonders (the last few
// hundred lines).
void appendLog(const QString &folder, const Outcome &o)
{
    QFile f(QDir(folder).filePath(QStringLiteral("automatic.log")));
    QStringList lines;
    if (f.open(QIODevice::ReadOnly))
        lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    f.close();
    const QString when = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    for (const QString &l : o.lines)
        lines << when + QLatin1Char(' ') + l;
    if (!o.error.isEmpty())
        lines << when + QStringLiteral(" FAILED: ") + o.error;
    QSaveFile out(f.fileName());
    if (out.open(QIODevice::WriteOnly)) {
        out.write((lines.mid(std::max<qsizetype>(0, lines.size() - 500)).join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
        out.commit();
    }
}

// What backups killed half way left in the folder: a .part file that no
// backup holds locked any more.
void removeStaleParts(const QString &folder)
{
    for (const QFileInfo &fi : QDir(folder).entryInfoList({QStringLiteral("*.part")}, QDir::Files | QDir::Hidden)) {
        const int fd = ::open(QFile::encodeName(fi.filePath()).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            QFile::remove(fi.filePath());
        ::close(fd);
    }
}

Outcome automaticIn(const Workstation &ws, const Settings &st, const db::ConnectionSettings &cs, const Common &c);

} // namespace

Outcome automatic(const Workstation &ws, const Common &c)
{
    Outcome o;
    const Settings st = Settings::load(ws);
    db::ConnectionSettings cs;
    try {
        cs = ws.connectionSettings();
    } catch (const db::DbError &e) {
        o.error = e.message();
        return o;
    }
    if (!st.automatic || cs.mode != db::Mode::Private) {
        o.code = 0;
        o.lines << (st.automatic ? QStringLiteral("Automatic backups are made in private mode only.")
                                 : QStringLiteral("Automatic backups are switched off (automatic=no in backup.ini)."));
        return o;
    }
    const QString folder = st.folderPath(ws);
    if (!QDir().mkpath(folder)) {
        o.error = QStringLiteral("The backup folder %1 cannot be made.").arg(shown(folder));
        return o;
    }
    QLockFile lock(QDir(folder).filePath(QStringLiteral(".automatic.lock")));
    lock.setStaleLockTime(0);
    if (!lock.tryLock(0)) {
        o.code = 0;
        o.lines << QStringLiteral("Another automatic backup runs at this moment.");
        return o;
    }
    o = automaticIn(ws, st, cs, c);
    appendLog(folder, o);
    return o;
}

namespace {

Outcome automaticIn(const Workstation &ws, const Settings &st, const db::ConnectionSettings &cs, const Common &c)
{
    Outcome o;
    const QString folder = st.folderPath(ws);
    removeStaleParts(folder);
    std::unique_ptr<Reach> reach;
    QList<Found> found = listBackups(folder);
    o.code = 0;
    if (!madeOn(found, QDate::currentDate())) {
        try {
            reach = std::make_unique<Reach>(cs);
        } catch (const db::DbError &e) {
            o.code = 2;
            o.error = e.message();
            return o;
        }
        const Outcome b = backUpReached(ws, reach->settings(), {}, false, c, QStringLiteral("daily"));
        if (b.code != 0) {
            o.code = 2;
            o.error = b.error;
            return o;
        }
        o.lines += b.lines;
        found = listBackups(folder);
    } else {
        o.lines << QStringLiteral("Today's backup was made already.");
    }
    for (const QString &f : expired(found, st.keepDaily, st.keepWeekly)) {
        QFile::remove(f);
        QFile::remove(verifiedFile(f));
        o.lines << QStringLiteral("Removed %1 (older than the backups kept).").arg(shown(f));
    }
    found = listBackups(folder);
    // The newest one is verified once a week.
    const Found *newest = lastGood(found);
    bool verifiedThisWeek = false;
    for (const Found &f : found)
        verifiedThisWeek = verifiedThisWeek || (f.verified && f.verifiedAt.daysTo(QDateTime::currentDateTime()) < 7);
    if (newest && !newest->verified && !verifiedThisWeek) {
        try {
            if (!reach)
                reach = std::make_unique<Reach>(cs);
            const Outcome v = verifyReached(reach->settings(), newest->file, c);
            o.lines += v.lines;
            if (v.code != 0) {
                o.code = 1;
                if (!v.error.isEmpty())
                    o.lines << v.error;
            }
        } catch (const db::DbError &e) {
            o.code = 1;
            o.lines << QStringLiteral("The newest backup could not be verified: %1").arg(e.message());
        }
    }
    return o;
}

} // namespace

} // namespace velmor::backups
