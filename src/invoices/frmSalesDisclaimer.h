#pragma once
// The sales disclaimer printed on invoices: txtSalesDisclaimer shows the
// configuration's text, cmdSave stores it in the Config row and closes.
#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace velmor {
class AppContext;
}

namespace velmor::invoices {

class frmSalesDisclaimer : public QDialog {
    Q_OBJECT
public:
    explicit frmSalesDisclaimer(AppContext &ctx, QWidget *parent = nullptr);
    bool save();

    QPlainTextEdit *txtSalesDisclaimer;
    QPushButton *cmdSave, *cmdCancel;

private:
    AppContext &m_ctx;
    QString m_loaded;
};

} // namespace velmor::invoices
