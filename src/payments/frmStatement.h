#pragma once
// Statements and what is owed: a customer's statement over a date range
// (shown, printed or written to PDF), and the receivables or payables as of
// a day, aged, with totals per currency, printed or exported as CSV.  Needs
// AllowStatementView (payables also ViewCost).
#include "payments/Ledger.h"

#include <QWidget>

class QComboBox;
class QDateEdit;
class QLabel;
class QRadioButton;
class QTableWidget;

namespace velmor {
class AppContext;
}

namespace velmor::payments {

class frmStatement : public QWidget {
    Q_OBJECT
public:
    explicit frmStatement(AppContext &ctx, QWidget *parent = nullptr);
    // Shows the statement of this customer (the combo set to him).
    void showCustomer(qint64 customerId);

private:
    void fillCustomers();
    void showStatement();
    void printStatement();
    void showBalances();
    void exportBalances();
    void printBalances();

    AppContext &m_ctx;
    std::optional<Statement> m_statement;
    Balances m_balances;
    QComboBox *cboCustomer, *cboPrinter, *cboBalancesPrinter;
    QDateEdit *dtFrom, *dtTo, *dtAsOf;
    QTableWidget *grdStatement, *grdBalances;
    QLabel *lblAged, *lblTotals;
    QRadioButton *optReceivables, *optPayables;
};

} // namespace velmor::payments
