#pragma once
// File > "Restore..." on the main menu screen (administrators only): a backup
// file, where it goes (this workstation's books, a new workstation folder or
// another database), the restore with its progress and what it found.
#include "core/Backups.h"

#include <QDialog>
#include <functional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class frmRestore : public QDialog {
    Q_OBJECT
public:
    explicit frmRestore(AppContext &ctx, QWidget *parent = nullptr);

    // Shows what the chosen file is (or why it cannot be restored).
    void fileChosen();
    // cmdRestore.  Replacing this workstation's private books closes the
    // program's own connection first; `restartNeeded` is then called once
    // the restored books are in place.
    backups::Outcome restoreNow();
    std::function<void()> restartNeeded;

private:
    void progress(const QString &text, qint64 done, qint64 total);
    void setBusy(bool busy);

    AppContext &m_ctx;
    QLineEdit *txtFile = nullptr;
    QPushButton *cmdBrowseFile = nullptr;
    QLabel *lblFileInfo = nullptr;
    QRadioButton *optReplaceHere = nullptr;
    QRadioButton *optElsewhere = nullptr;
    QLineEdit *txtTarget = nullptr; // a new workstation folder (private) or a database name (server)
    QPushButton *cmdBrowseTarget = nullptr;
    QLabel *lblProgress = nullptr;
    QProgressBar *prgRestore = nullptr;
    QPlainTextEdit *txtResult = nullptr;
    QPushButton *cmdRestore = nullptr;
    QPushButton *cmdClose = nullptr;
};

} // namespace velmor::ui
