#pragma once
// File > "Back up now..." on the main menu screen (administrators only): the
// backups found, "Back up now" with its progress, and the settings of
// backup.ini (folder, automatic backups, the days and weeks kept, the
// warning).
#include "core/Backups.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTreeWidget;

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class frmBackup : public QDialog {
    Q_OBJECT
public:
    explicit frmBackup(AppContext &ctx, QWidget *parent = nullptr);

    // cmdBackup: makes a backup into the folder (verified when ticked);
    // the outcome is told and the list shown anew.
    backups::Outcome backUpNow();
    // cmdSaveSettings; false with a message when refused.
    bool saveSettings();
    void showBackups();

private:
    void progress(const QString &text, qint64 done, qint64 total);
    void setBusy(bool busy);

    AppContext &m_ctx;
    QTreeWidget *tvwBackups = nullptr;
    QLabel *lblFolder = nullptr;
    QCheckBox *chkVerify = nullptr;
    QPushButton *cmdBackup = nullptr;
    QLabel *lblProgress = nullptr;
    QProgressBar *prgBackup = nullptr;
    QLineEdit *txtFolder = nullptr;
    QPushButton *cmdBrowse = nullptr;
    QCheckBox *chkAutomatic = nullptr;
    QSpinBox *spnKeepDaily = nullptr;
    QSpinBox *spnKeepWeekly = nullptr;
    QSpinBox *spnWarnDays = nullptr;
    QPushButton *cmdSaveSettings = nullptr;
    QPushButton *cmdClose = nullptr;
};

} // namespace velmor::ui
