#pragma once
// Parcel carats on memo (`memoparcel`, `memoparcellist`): putting carats on
// a customer's open parcel memo, returning them into stock, selling them onto
// the customer's open invoice, the closing check, and what the parcel memo
// screens and the finder list.  Every movement is one transaction that
// states in its statements the carats it expects: the parcel's UPDATE takes
// carats only while at least that many are on hand, and a return or sale
// holds the memo's row while it checks the carats still out, so that two
// workstations cannot both take the last carats.
#include "parcels/ParcelRecord.h"

namespace velmor::parcels {

// What a parcel memo's screen learns of the memo itself.
struct ParcelMemoHeader {
    qint64 id = 0;
    qint64 customerId = 0;
    QString companyName, street1, street2, city, province, zip, phone;
    QString reference;
    QDateTime date;
    bool closed = false;
    QDateTime closedDate;
};
std::optional<ParcelMemoHeader> loadParcelMemo(const QSqlDatabase &db, qint64 memoId);
// "created: Dec 06, 2026 14:05" and, for a closed memo, "Status: CLOSED! ...".
QString createdCaption(const ParcelMemoHeader &h);
QString statusCaption(const ParcelMemoHeader &h);

// One line of the memo screen: in the current view one per parcel with its
// net carats; in the history view one per movement with its action.
struct ParcelMemoLine {
    qint64 lineId = 0; // history view only
    qint64 parcelId = 0;
    QString sku, shape, action;
    Decimal5 carat, priceCarat, caratLow, caratHigh;
    int colourLow = 0, colourHigh = 0, clarityLow = 0, clarityHigh = 0;
    Decimal5 rateCDN, rateZAR;
    QDateTime date;
};
QList<ParcelMemoLine> parcelMemoLines(const QSqlDatabase &db, qint64 memoId, bool history);

// Carats of a parcel still out on one memo.
Decimal5 caratsOut(const QSqlDatabase &db, qint64 memoId, qint64 parcelId);

// The memo-out lines of a parcel on a memo that still hold carats, oldest
// first, each with the carats still out on it: a return or sale takes its
// carats from the line they were put out on (outlineid); those written
// before lines were named are taken from the oldest lines first.
struct OutLine {
    qint64 id = 0;
    QDateTime date;
    Decimal5 carat; // still out on this line
    Decimal5 priceCarat;
};
QList<OutLine> outLines(const QSqlDatabase &db, qint64 memoId, qint64 parcelId);

// The customer's newest open parcel memo, 0 when there is none.
qint64 openParcelMemo(const QSqlDatabase &db, qint64 customerId);
// The memo-out line of a parcel on a memo that a second put-on-memo may add
// to, 0 when there is none.
qint64 memoOutLine(const QSqlDatabase &db, qint64 memoId, qint64 parcelId);

enum class LineChoice { Ask, ExistingLine, NewLine };

struct MemoOut {
    qint64 parcelId = 0;
    qint64 customerId = 0;
    QString carat;
    QString priceUS; // per carat
    LineChoice line = LineChoice::Ask;
};

// The put-on-memo command of frmParcelPutOnMemo: 0 < carats <= on hand.
// With LineChoice::Ask and the parcel already on the customer's open memo,
// the user chooses the existing line (Yes) or a new one (No) before anything
// is written.  Done: id = the parcel memo; the notice "Parcel has been added
// to Memo-Sheet #P12" was shown.
Outcome putOnMemo(AppContext &ctx, const MemoOut &m);

// cmdRemove: 0 < carats <= carats still out on that memo; the carats go back
// on hand.  Then the closing check.  The carats leave the memo-out line
// `outLineId` (at most what is still out on it), or with 0 the oldest lines
// first; each line's carats at its own price.
Outcome returnFromMemo(AppContext &ctx, qint64 memoId, qint64 parcelId, const QString &carat, qint64 outLineId = 0);
// cmdSell: 0 < carats <= carats still out; a "sell" line on the memo and the
// carats at their line's price per carat on the customer's open invoice
// (invoicelist; one invoice line per memo-out line they came from), one
// transaction.  Then the closing check.
Outcome sellFromMemo(AppContext &ctx, qint64 memoId, qint64 parcelId, const QString &carat, qint64 outLineId = 0);

// Closes the memo (closed, closeddate when still empty).  `onlyWhenEmpty`:
// the closing check, which closes only when nothing is out any more.  True
// when the memo is closed afterwards and was open before.
bool closeParcelMemo(const QSqlDatabase &db, qint64 memoId, bool onlyWhenEmpty);
// After a print of the movements `printed` (their lineId): the memo is closed
// only while those are still all its movements, checked under the memo's row
// lock and stated in the UPDATE, so a movement written on another workstation
// after the memo was read for the print leaves it open.  Throws db::DbError.
enum class PrintedClose { Closed, WasClosed, LinesChanged, Gone };
PrintedClose closeParcelMemoAfterPrint(const QSqlDatabase &db, qint64 memoId, const QList<qint64> &printed);
QString parcelMemoLinesChangedMessage(qint64 memoId);

// frmMemoLoadParcel's grid.
struct ParcelMemoListRow {
    qint64 memoId = 0;
    QString customer;
    QString memoDate; // "Dec 06 2026"
    qint64 customerId = 0;
    QString status; // "active" or "closed"
};
QList<ParcelMemoListRow> parcelMemoList(const QSqlDatabase &db, bool onlyOpen, qint64 customerId = 0);

// The workstation's remembered customer entry (lastcustomerparcelmemo.ini).
inline const QString kLastCustomerFile = QStringLiteral("lastcustomerparcelmemo.ini");

} // namespace velmor::parcels
