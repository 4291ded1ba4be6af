#pragma once
// The home screen's line about backups, and the start of the daily
// automatic backup.  Both concern private mode, where the books live in the
// workstation folder and nobody else backs them up.
#include "core/Workstation.h"

#include <QFileSystemWatcher>
#include <QLabel>
#include <QTimer>

class QMainWindow;

namespace velmor {
class AppContext;
}

namespace velmor::ui {

// Shown in a home screen's status bar when the last good backup is older
// than backup.ini allows (or there is none), with the command to make one;
// hidden otherwise.  It looks again when the backup folder changes.
class BackupWarning : public QLabel {
    Q_OBJECT
public:
    BackupWarning(AppContext &ctx, QWidget *parent = nullptr);
    void refresh();

private:
    AppContext &m_ctx;
    QFileSystemWatcher m_watch;
    QTimer m_later;
};

// Adds the line to the window's status bar.
BackupWarning *attachBackupWarning(AppContext &ctx, QMainWindow *home);

// Starts `velmor db backup --automatic` in the background (its own process,
// which outlives this one) when today's backup is due; `atExit`: only when
// this is the last Velmor on the workstation.  True when one was started.
bool startAutomaticBackup(const Workstation &ws, bool atExit);

} // namespace velmor::ui
