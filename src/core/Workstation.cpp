#include "core/Workstation.h"

#include "core/LocalFiles.h"
#include "db/PrivateServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmor {

QString Workstation::defaultFolder()
{
    const QString env = qEnvironmentVariable("VELMOR_HOME");
    if (!env.isEmpty())
        return QDir::cleanPath(env);
#ifdef Q_OS_WIN
    return QStringLiteral("C:/velmor");
#else
    return QDir::homePath() + QStringLiteral("/.velmor");
#endif
}

QString Workstation::defaultProgramFolder()
{
    const QString env = qEnvironmentVariable("VELMOR_PROGRAM_DIR");
    if (!env.isEmpty())
        return QDir::cleanPath(env);
#ifdef Q_OS_WIN
    return QStringLiteral("C:/Program Files/Velmor");
#else
    return QDir::homePath() + QStringLiteral("/.config/velmor");
#endif
}

Workstation::Workstation(const QString &folder, const QString &programFolder)
    : m_folder(QDir::cleanPath(folder)), m_programFolder(QDir::cleanPath(programFolder))
{
}

QString Workstation::path(const QString &fileName) const
{
    if (QFileInfo(fileName).isAbsolute())
        return fileName;
    return m_folder + QLatin1Char('/') + fileName;
}

QString Workstation::programPath(const QString &fileName) const
{
    return m_programFolder + QLatin1Char('/') + fileName;
}

bool Workstation::exists(const QString &fileName) const
{
    return QFileInfo::exists(path(fileName));
}

namespace {
// The workstation files that hold passwords: this account's only.
bool holdsPasswords(const QString &fileName)
{
    static const QStringList names = {QStringLiteral("database.ini"), QStringLiteral("listing.ini"),
                                      QStringLiteral("online.ini")};
    return names.contains(QFileInfo(fileName).fileName(), Qt::CaseInsensitive);
}
} // namespace

bool Workstation::ensureFolder() const
{
#ifdef Q_OS_WIN
    return QDir().mkpath(m_folder);
#else
    // The folder holds the database settings and the private server: it is
    // the workstation account's alone, and is narrowed when found wider.
    // The folder is the account's choice ($VELMOR_HOME, ~/.velmor), so a
    // link naming it is taken to the folder it stands for.
    const QString real = QFileInfo(m_folder).canonicalFilePath();
    if (!db::makeOwnFolder(real.isEmpty() ? m_folder : real))
        return false;
    for (const QString &name : QDir(m_folder).entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (!holdsPasswords(name))
            continue;
        // A link is never followed to narrow a mode: one that leads out of
        // the folder is refused, one inside narrows the file it names.
        const QString refusal = outsideRefusal(name);
        if (!refusal.isEmpty()) {
            qWarning("velmor: %s", qPrintable(refusal));
            continue;
        }
        const QString target = QFileInfo(path(name)).canonicalFilePath();
        if (!target.isEmpty())
            db::keepToOwner(target, false);
    }
    return true;
#endif
}

QString Workstation::outsideRefusal(const QString &fileName) const
{
    // Only a file of the folder is held to it.
    const QString p = QDir::cleanPath(path(fileName));
    if (!p.startsWith(m_folder + QLatin1Char('/')))
        return {};
    const QString folder = QFileInfo(m_folder).canonicalFilePath();
    if (folder.isEmpty())
        return {};
    const QFileInfo fi(p);
    QString resolved = fi.canonicalFilePath();
    if (resolved.isEmpty()) {
        if (!fi.isSymLink())
            return {}; // missing: it would be made inside
        resolved = QDir::cleanPath(QDir(fi.absolutePath()).absoluteFilePath(fi.symLinkTarget()));
    }
    if (resolved.startsWith(folder + QLatin1Char('/')))
        return {};
    return QStringLiteral("%1 is a link to %2, outside the workstation folder %3; Velmor does not use it. "
                          "Put the file itself in the folder.")
        .arg(QDir::toNativeSeparators(p), QDir::toNativeSeparators(resolved), QDir::toNativeSeparators(m_folder));
}

Workstation::FileState Workstation::readFile(const QString &fileName, QStringList *lines, QString *why) const
{
    if (lines)
        lines->clear();
    const QString p = path(fileName);
    const QString refusal = outsideRefusal(fileName);
    if (!refusal.isEmpty()) {
        if (why)
            *why = refusal;
        return FileState::Refused;
    }
    // The files of the folder are a few lines each; a FIFO, a device or a
    // file of megabytes in their place is not one of them.
    constexpr qint64 kLimit = 8 * 1024 * 1024;
    QByteArray bytes;
    QString reason;
    bool missing = false;
    if (!files::readRegular(p, kLimit, &bytes, &reason, &missing)) {
        if (missing && !QFileInfo(p).isSymLink())
            return FileState::Missing;
        if (why)
            *why = QStringLiteral("%1 cannot be read: %2").arg(QDir::toNativeSeparators(p), reason);
        return FileState::Refused;
    }
    if (lines) {
        const QString all = QString::fromUtf8(bytes);
        for (QString line : all.split(QLatin1Char('\n'))) {
            if (line.endsWith(QLatin1Char('\r')))
                line.chop(1);
            *lines << line;
        }
        if (!lines->isEmpty() && lines->last().isEmpty())
            lines->removeLast();
    }
    return FileState::Read;
}

QStringList Workstation::readLines(const QString &fileName) const
{
    QStringList lines;
    QString why;
    if (readFile(fileName, &lines, &why) == FileState::Refused)
        qWarning("velmor: %s", qPrintable(why));
    return lines;
}

QString Workstation::readFirstLine(const QString &fileName, const QString &fallback) const
{
    const QStringList lines = readLines(fileName);
    if (lines.isEmpty() && !exists(fileName))
        return fallback;
    return lines.isEmpty() ? QString() : lines.first();
}

bool Workstation::writeLines(const QString &fileName, const QStringList &lines) const
{
    QString text;
    for (const QString &l : lines)
        text += l + QStringLiteral("\r\n");
    return writeText(fileName, text);
}

bool Workstation::writeText(const QString &fileName, const QString &text) const
{
    const QString p = path(fileName);
    if (!QFileInfo::exists(m_folder))
        ensureFolder();
    const QString refusal = outsideRefusal(fileName);
    if (!refusal.isEmpty()) {
        qWarning("velmor: %s", qPrintable(refusal));
        return false;
    }
    QDir().mkpath(QFileInfo(p).absolutePath());
    QSaveFile f(p);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    if (holdsPasswords(fileName))
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    f.write(text.toUtf8());
    return f.commit();
}

void Workstation::checkpoint(const QString &tag) const
{
    // Opened for output each time, so the file holds exactly the last tag.
    if (!QFileInfo::exists(m_folder))
        ensureFolder();
    const QString file = QStringLiteral("errrotrap.txt");
    if (!outsideRefusal(file).isEmpty())
        return;
    // Never waits for a reader of a FIFO left in its place.
    const int fd = ::open(QFile::encodeName(path(file)).constData(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        const QByteArray line = tag.toLatin1() + "\r\n";
        [[maybe_unused]] const ssize_t n = ::write(fd, line.constData(), size_t(line.size()));
    }
    ::close(fd);
}

db::ConnectionSettings Workstation::connectionSettings() const
{
    // Only a missing file means Velmor's own private database: a file that
    // is there but cannot be read or understood is refused, naming it, so
    // that a shop never posts its sales into a new, empty database.
    const QString file = QStringLiteral("database.ini");
    QStringList lines;
    QString why;
    switch (readFile(file, &lines, &why)) {
    case FileState::Missing:
        return db::ConnectionSettings::fromLines({}, path(file), QDir(m_folder));
    case FileState::Refused:
        return db::ConnectionSettings::unreadable(path(file), why);
    case FileState::Read:
        break;
    }
    return db::ConnectionSettings::fromLines(lines, path(file), QDir(m_folder), {}, true);
}

} // namespace velmor
