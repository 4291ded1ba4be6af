#pragma once
// Splitting an older parcel (ParcelStock): the source as it is, as it will be
// (the fields ending in Old) and the new parcel (ending in New), each with
// its weight range, grade combos, cost and price.  The new carats and the new
// part's US value fill the remaining source's carats, value and cost; a
// pane's ticked markup box keeps the source's price-to-cost ratio on that
// pane's price.  US and local figures follow each other through the working
// rate.
#include "parcels/Decimal5.h"
#include "stones/OlderParcelView.h"

#include <QDialog>

#include <optional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class frmSplitOlderParcel : public QDialog {
    Q_OBJECT
public:
    frmSplitOlderParcel(AppContext &ctx, const stones::OlderParcelView &source, QWidget *parent = nullptr);
    bool update(); // cmdUpdate
    qint64 newParcelId() const { return m_newId; }

    struct Pane {
        QLineEdit *id, *sku, *shape, *carat, *weightLow, *weightHigh;
        QComboBox *colourLow, *colourHigh, *clarityLow, *clarityHigh;
        QLineEdit *costUS, *costLocal, *priceUS, *priceLocal, *value;
        QCheckBox *useMarkup;
    };
    // The source's fields.
    QLineEdit *txtID, *txtSKU, *txtShape, *txtCarat, *txtWeightLow, *txtWeightHigh, *txtColourLow, *txtColourHigh,
        *txtClarityLow, *txtClarityHigh, *txtCostUS, *txtCostLocal, *txtPriceUS, *txtPriceLocal,
        *txtUSParcelValue;
    Pane old, neu;
    QPushButton *cmdUpdate, *cmdCancel;
    QPushButton *imgAuto = nullptr;
    // imgAuto: the new parcel's SKU numbered on from the letters typed into it.
    void autoSku();

private:
    Pane buildPane(const char *suffix, bool isNew);
    void set(QLineEdit *e, const parcels::Decimal5 &v);
    void caratNewChanged();
    void valueNewChanged();
    // A pane's US cost: the markup price, the local figures and (unless kept) the value.
    void costChanged(Pane &p, bool setValue = true, bool setLocal = true);
    void markupToggled(Pane &p);
    // The local figure of a US one, and back, at the working rate; while
    // the rate is not known nothing is converted and the local box is
    // emptied (stored as not known).
    void toLocal(QLineEdit *local, const parcels::Decimal5 &us);
    void toUS(QLineEdit *us, const QLineEdit *local);

    AppContext &m_ctx;
    std::optional<parcels::Decimal5> m_rate; // nothing: not known
    qint64 m_newId = 0;
    bool m_sellUS = false;
};

} // namespace velmor::ui
