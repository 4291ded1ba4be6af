#include "core/Workstation.h"

#include "db/PrivateServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

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
    if (!db::makeOwnFolder(m_folder))
        return false;
    for (const QString &name : QDir(m_folder).entryList(QDir::Files | QDir::Hidden))
        if (holdsPasswords(name))
            db::keepToOwner(path(name), false);
    return true;
#endif
}

QStringList Workstation::readLines(const QString &fileName) const
{
    QFile f(path(fileName));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList lines;
    const QString all = QString::fromUtf8(f.readAll());
    for (QString line : all.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        lines << line;
    }
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
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
    QFile f(path(QStringLiteral("errrotrap.txt")));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        f.write(tag.toLatin1());
        f.write("\r\n");
    }
}

db::ConnectionSettings Workstation::connectionSettings() const
{
    const QString file = QStringLiteral("database.ini");
    return db::ConnectionSettings::fromLines(readLines(file), path(file), QDir(m_folder));
}

} // namespace velmor
