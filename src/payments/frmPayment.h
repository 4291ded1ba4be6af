#pragma once
// The payment windows: a payment received for a stone (the stone screen's
// cmdNewPayment, a row of the memo report) or for an invoice spread over its
// lines (each with its share of the tax), and a payment made to a stone's
// supplier or consignor (cmdNewPaymentMade).  They show the stone's price (a cost only with
// ViewCost), what was paid before and the balance, take the date, the
// reference and the amount in US$ and/or the local currency, ask before an
// overpayment, and reverse a payment chosen in the list.
#include "payments/Payments.h"

#include <QDialog>

class QDateEdit;
class QLabel;
class QLineEdit;
class QTableWidget;

namespace velmor {
class AppContext;
}

namespace velmor::payments {

class frmPayment : public QDialog {
    Q_OBJECT
public:
    enum class Mode { Stone, Invoice };
    frmPayment(AppContext &ctx, Side side, Mode mode, qint64 id, QWidget *parent = nullptr);

    // False when the stone or invoice is not there (the window is not shown).
    bool loaded() const { return m_loaded; }
    // A payment or a reversal was written while the window was open.
    bool wrote() const { return m_wrote; }

private:
    void load();
    void save();
    void reverseChosen();
    QString title() const;

    AppContext &m_ctx;
    Side m_side;
    Mode m_mode;
    qint64 m_id;
    bool m_loaded = false;
    bool m_wrote = false;
    QList<qint64> m_lineIds; // invoice mode: the rows of grdLines
    QLabel *lblStone, *lblParty, *lblPrice, *lblPaid, *lblBalance;
    QDateEdit *dtDate;
    QLineEdit *txtReference, *txtAmountUS, *txtAmountLocal;
    QTableWidget *grdLines, *grdPayments;
};

} // namespace velmor::payments
