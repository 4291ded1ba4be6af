#pragma once
// The sell dialog of the stone screen: the customer (preselected from
// lastcustomersell.ini), the agreed price by discount off the list price or
// per carat / per stone in US dollars, Canadian dollars or rand, and imgSell,
// which sells the stone onto the customer's open invoice.  Image2 closes
// without selling.
#include "invoices/SellPrices.h"

#include <QDialog>
#include <QMap>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace velmor {
class AppContext;
}

namespace velmor::invoices {

class frmDiamondSell : public QDialog {
    Q_OBJECT
public:
    frmDiamondSell(AppContext &ctx, qint64 stoneId, QWidget *parent = nullptr);

    // False when the stone is not there (the dialog has nothing to sell).
    bool loaded() const { return m_loaded; }
    // imgSell; true when the stone was sold (the dialog then closes).
    bool sell();
    qint64 invoiceId() const { return m_invoiceId; }

    QComboBox *cboCust;
    QLineEdit *txtCarat, *txtRap, *txtRapDiscount, *txtUScarat, *txtUSstone, *txtCDNcarat, *txtCDNstone,
        *txtZARcarat, *txtZARstone;
    QLabel *lblCDN, *lblZAR, *lblStone;
    QPushButton *imgSell, *Image2;

private:
    void edited(SellPrices::Field f, const QString &text);
    void showPrices(SellPrices::Field except = SellPrices::FieldCount);

    AppContext &m_ctx;
    qint64 m_stoneId;
    bool m_loaded = false;
    qint64 m_invoiceId = 0;
    SellPrices m_prices;
    QMap<SellPrices::Field, QLineEdit *> m_fields;
};

} // namespace velmor::invoices
