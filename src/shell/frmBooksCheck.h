#pragma once
// The books check on the main menu screen: runs the check with a progress
// bar, shows what each rule found (the rule, what it expects, the rows) and
// saves the list as CSV.
#include "shell/BooksCheck.h"

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class frmBooksCheck : public QDialog {
    Q_OBJECT
public:
    explicit frmBooksCheck(AppContext &ctx, QWidget *parent = nullptr);

    // cmdCheck: runs the whole check again.
    void runCheck();
    // cmdSaveCsv after its file dialog; false with a message when it cannot.
    bool saveCsv(const QString &path);
    const books::Report &report() const { return m_report; }

private:
    void showReport(const books::Report &r);

    AppContext &m_ctx;
    books::Report m_report;
    QLabel *lblProgress = nullptr;
    QProgressBar *prgCheck = nullptr;
    QTreeWidget *tvwFindings = nullptr;
    QLabel *lblSummary = nullptr;
    QPushButton *cmdCheck = nullptr;
    QPushButton *cmdSaveCsv = nullptr;
    QPushButton *cmdClose = nullptr;
};

} // namespace velmor::ui
