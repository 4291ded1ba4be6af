#pragma once
// The text of one invoice line: txt shows its Details; cmdSave writes it
// back, cmdClear empties the box, cmdCancel closes.
#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace velmor {
class AppContext;
}

namespace velmor::invoices {

class frmInvoiceEdit : public QDialog {
    Q_OBJECT
public:
    frmInvoiceEdit(AppContext &ctx, qint64 lineId, QWidget *parent = nullptr);
    // cmdSave; true when the line keeps what the box shows.
    bool save();

    QPlainTextEdit *txt;
    QPushButton *cmdSave, *cmdClear, *cmdCancel;

private:
    AppContext &m_ctx;
    qint64 m_lineId;
    QString m_loaded;
    bool m_found = false;
};

} // namespace velmor::invoices
