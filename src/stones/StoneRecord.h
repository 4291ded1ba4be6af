#pragma once
// The stone record (SingleStone) as the stone screen holds it, and the
// operations of its life on that screen: load, add, save with its checks,
// delete and the auto-number of SKUs.  The screen maps its controls to a
// StoneForm and calls these; they talk to the user only through Prompt.
#include "stones/StonePrices.h"

#include <QDate>
#include <QString>
#include <array>

namespace velmor {
class AppContext;
}

namespace velmor::stones {

// What the stone screen shows and the user types, one member per control.
struct StoneForm {
    qint64 id = 0; // txtID

    // Identity and housekeeping
    QString SKU, Lot, Code, Location, Description, Comment;
    QDate DateCreated;

    // Grading
    QString Shape, Carat;                      // cboShape, txtWeight
    QString colourEntry, clarityEntry;         // cboColour, cboClarity: "20 - E"
    QString Cut, Flourescence, FancyColour, FinishPolish, FinishSymetry, Girdle, Culet;
    QString Dim1, Dim2, Dim3, TableSize, TotalDepth, CrownHeight, PavillionDepth, CrownAngle, PavillionAngle,
        GirdleDimension;
    QString Laboratory, Certificate, Inscription1, Inscription2;
    bool Canadian = false, labGrown = false, finished = false, hereOnMemo = false;

    // Online listing check boxes (the stored "Dont" flags are their opposites)
    bool publishPrice = false, publishListing = true, publishPriceLocal = false, publishListingLocal = true;

    // Prices: the price model's field texts (txtWeight is kept in Carat)
    std::array<QString, StonePriceModel::FieldCount> prices{};
    QString boughtPriceLocal;                  // from the price window
    double boughtRateCDN = 0, boughtRateZAR = 0; // rates at purchase, 0 when none
    bool lockPercent = true, lockPercentLX = true;
    bool buyInUS = false, buyInLocal = false;
    bool paidOffUS = false, paidOffUSPercentage = false, paidOffLocal = false, paidOffLocalPercentage = false;

    // Parties (record numbers, 0 when none)
    qint64 supplierId = 0, consignmentInId = 0, onHoldForId = 0;
    QString onHoldNote;
    QDate onHoldDate;

    // Shown only; changed by the status operations
    QString Status;
    qint64 customerId = 0, memoSheetId = 0, itemId = 0;
    QString memoUS, memoLocal;
    QString paymentsUS = QStringLiteral("0.00"), paymentsLocal = QStringLiteral("0.00");

    QString price(StonePriceModel::Field f) const { return prices[f]; }
    void setPrice(StonePriceModel::Field f, const QString &t) { prices[f] = t; }
};

// The screen's two modes for the record in hand, and the grading remembered
// when editing began.
struct EditState {
    enum Mode { Displayed, Adding, Editing } mode = Displayed;
    QString shapeAtStart, caratAtStart, colourAtStart, clarityAtStart;
    // The status the stone had when it was loaded (the form's Status when
    // editing began): a save refuses when another workstation has changed it.
    QString statusAtLoad;
    // The whole form as editing began: a save of an edited stone writes only
    // the columns whose values differ from it (and the change marker RND).
    StoneForm atStart;
};

// Loads a stone (RefreshfrmDiamondDetailModule without the widgets); false when
// there is no stone with that ID.
bool loadStone(AppContext &ctx, qint64 id, StoneForm &form);
StoneForm loadStone(AppContext &ctx, qint64 id); // id 0 in the result when not found

// Grade wording for a number ("" when unknown or 0) and the combo entry
// "20 - E" built from it.
QString gradeEntry(AppContext &ctx, int number, bool colour);
// The grade number of a combo entry (its leading number).
int gradeNumber(const QString &entry);

// cmdAddDiamond, steps 2-4: a new row with the defaults of a new stone; its ID.
qint64 addStoneRow(AppContext &ctx);
// The form of a stone just added (step 5): today's date, defaults of the options.
StoneForm newStoneForm(qint64 id);

// The placeholder SKU shown when AutoSku is on and a shape is picked.
QString autoSkuPlaceholder(AppContext &ctx, const QString &shape);
// The auto-number for the prefix in `sku` (imgAuto).  Returns true and sets
// `sku` to the prefix and the next number; otherwise shows its message and
// leaves `sku` alone.  With `firstOfPrefix` (the save of a new stone with
// automatic SKUs) a prefix that no stone has yet starts at 1 instead of
// being refused.
bool autoNumberSku(AppContext &ctx, QString &sku, bool firstOfPrefix = false);

enum class SaveResult { Saved, Refused, Declined, Failed };
// cmdUpdate: the checks in their order, the questions, then the writes in one
// transaction.  A new stone gets every column; an edited one only the columns
// the user changed, so a save without edits leaves the row as it was.  On Saved the form's ID/SKU/Shape hold what was written and
// the state is back to Displayed.
SaveResult saveStone(AppContext &ctx, StoneForm &form, EditState &state);

// cmdEditDiamond: false (with its message) when no stone is loaded or the
// logged-in user may not edit.
bool beginEdit(AppContext &ctx, const StoneForm &form, EditState &state);

enum class DeleteResult { Deleted, Refused, Declined, Failed };
// cmdDelete: the right, the status, the question, then the row and its log row.
DeleteResult deleteStone(AppContext &ctx, qint64 id);

} // namespace velmor::stones
