#include "shell/widgets/BackupWarning.h"

#include "core/AppContext.h"
#include "core/Backups.h"
#include "db/PrivateServer.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QMainWindow>
#include <QProcess>
#include <QStatusBar>

namespace velmor::ui {

BackupWarning::BackupWarning(AppContext &ctx, QWidget *parent) : QLabel(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("lblBackupWarning"));
    setStyleSheet(QStringLiteral("color: #a00000; font-weight: bold;"));
    // It takes the room the status bar has; the whole text is its tip.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_later.setSingleShot(true);
    m_later.setInterval(1000);
    connect(&m_later, &QTimer::timeout, this, &BackupWarning::refresh);
    connect(&m_watch, &QFileSystemWatcher::directoryChanged, &m_later, qOverload<>(&QTimer::start));
    connect(&m_watch, &QFileSystemWatcher::fileChanged, &m_later, qOverload<>(&QTimer::start));
    // Days pass while the program stays open.
    auto *hourly = new QTimer(this);
    hourly->setInterval(3600 * 1000);
    connect(hourly, &QTimer::timeout, this, &BackupWarning::refresh);
    hourly->start();
    refresh();
}

void BackupWarning::refresh()
{
    if (m_ctx.connection.mode != db::Mode::Private) {
        clear();
        hide();
        return;
    }
    const Workstation &ws = m_ctx.workstation;
    const backups::Settings s = backups::Settings::load(ws);
    const QString folder = s.folderPath(ws);
    if (!m_watch.directories().isEmpty())
        m_watch.removePaths(m_watch.directories());
    if (!m_watch.files().isEmpty())
        m_watch.removePaths(m_watch.files());
    if (QFileInfo(folder).isDir())
        m_watch.addPath(folder);
    if (ws.exists(QStringLiteral("backup.ini")))
        m_watch.addPath(ws.path(QStringLiteral("backup.ini")));
    else
        m_watch.addPath(ws.folder());
    const QString text = backups::staleWarning(backups::listBackups(folder), s.warnDays, QDateTime::currentDateTime());
    setText(text);
    setToolTip(text);
    setVisible(!text.isEmpty());
}

BackupWarning *attachBackupWarning(AppContext &ctx, QMainWindow *home)
{
    if (!home)
        return nullptr;
    if (auto *w = home->findChild<BackupWarning *>(QStringLiteral("lblBackupWarning")))
        return w;
    auto *w = new BackupWarning(ctx, home->statusBar());
    home->statusBar()->addWidget(w, 1);
    return w;
}

bool startAutomaticBackup(const Workstation &ws, bool atExit)
{
    if (!backups::automaticDue(ws))
        return false;
    if (atExit) {
        try {
            // Our own lease is still held: the last one out is the only one left.
            if (db::PrivateServer(ws.connectionSettings().privateDir).clientCount() > 1)
                return false;
        } catch (const db::DbError &) {
            return false;
        }
    }
    QProcess p;
    p.setProgram(QCoreApplication::applicationFilePath());
    p.setArguments({QStringLiteral("db"), QStringLiteral("backup"), QStringLiteral("--automatic")});
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VELMOR_HOME"), ws.folder());
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(ws.folder());
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    return p.startDetached();
}

} // namespace velmor::ui
