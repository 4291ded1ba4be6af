#pragma once
// The invoice list: chkOpen / chkClosed, optAllCustomers / optThisCustomer
// with cboCustomer; choosing a row opens its invoice and closes the list;
// Command2 prints the chosen row's invoice at once (chkPRINTrap,
// chkPrintRAPDiscount, the currency pictures).
#include "invoices/Invoice.h"

#include <QDate>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace velmor {
class AppContext;
}

namespace velmor::invoices {

class CurrencyPictures;

class frmInvoiceFind : public QWidget {
    Q_OBJECT
public:
    explicit frmInvoiceFind(AppContext &ctx, QWidget *parent = nullptr);

    // Only the invoices created that day (the front screen's "today's
    // invoices"); an invalid date lists every day.
    void setCreatedOn(const QDate &day);
    void refresh();
    void choose(int row);
    void printChosen();

    QCheckBox *chkOpen, *chkClosed, *chkPRINTrap, *chkPrintRAPDiscount;
    QRadioButton *optAllCustomers, *optThisCustomer;
    QComboBox *cboCustomer;
    QTableWidget *grdInvoices;
    QPushButton *Command2, *Image1;
    CurrencyPictures *currency;

private:
    qint64 rowInvoice(int row) const;
    AppContext &m_ctx;
    QDate m_createdOn;
};

} // namespace velmor::invoices
