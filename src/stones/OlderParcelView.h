#pragma once
// The older parcel record (`ParcelStock`) as the stone screen shows it in
// its parcel mode, with its receipts (`AddParcel`), and the choices of its
// combos.  Shared with the parcel subsystem's receipt screen.
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <optional>

namespace velmor::stones {

struct OlderParcelView {
    qint64 id = 0;
    QString sku, lot, shape, comment, qclass;
    QString carat, quantity, caratLow, caratHigh, dim1, dim2;
    // "number - wording" as the combos list them; empty for none.
    QString colourLow, colourHigh, clarityLow, clarityHigh;
    QString costUS, costLocal, priceUS, priceLocal, markup;
    bool sellUS = false;
};

// RefreshfrmDiamondDetailParcel's read; nothing when the row is gone.
std::optional<OlderParcelView> readOlderParcel(const QSqlDatabase &db, qint64 id);

// PopulateParcelCBOs: the fixed shapes first, then every other shape the
// older parcels use; grade entries "number - wording" with an empty first.
QStringList olderParcelShapes(const QSqlDatabase &db);
QStringList olderParcelGrades(const QSqlDatabase &db, bool colour);

// cmdUpdateParcel of the parcel mode: writes what the user changed of the
// older parcel (SKU, lot, shape, weight range, dimensions, grade ranges,
// cost, price, comment, selling currency) in one statement; its carats and
// number of stones stay as the receipts, memos and splits leave them.  Every
// typed figure is checked first ("1,234.56" is a number, "0,75" is not); the
// SKU must be given and not be another parcel's.  An untouched save writes
// nothing.  `message` says why nothing was written; it is empty on success.
struct OlderParcelSave {
    bool ok = false;
    bool changed = false;
    QString message;
};
OlderParcelSave saveOlderParcel(const QSqlDatabase &db, const OlderParcelView &loaded, const OlderParcelView &edited);

// One receipt of an older parcel, oldest first; a receipt whose supplier
// was deleted is still listed (without a name): it explains carats.
struct OlderReceiptLine {
    QString supplier, date, invoice, carat, quantity, pricePerCarat;
};
QList<OlderReceiptLine> olderReceipts(const QSqlDatabase &db, qint64 parcelId);

} // namespace velmor::stones
