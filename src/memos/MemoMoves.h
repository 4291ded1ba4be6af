#pragma once
// The movements of single stones on a memo sheet: putting a stone on memo,
// returning it to stock, selling it from the memo onto the customer's open
// invoice, the bulk return and sale of a whole sheet, and the closing check.
//
// Each movement is one transaction: the stone's UPDATE (which states the
// status and, for a return or sale, the sheet it expects), the `Memo`
// journal row, the change-log movement row, the zero `PaymentReceived` row,
// the invoice line of a sale and the closing of an emptied sheet are written
// together or not at all.  A stone moved on another workstation meanwhile is
// refused with a message and nothing is written.  The online listing is
// brought up to date after the commit; when it cannot be reached the user
// is told once and the movement stands.
#include "invoices/Posting.h"

#include <QString>
#include <QVariant>

namespace velmor {
class AppContext;
}

namespace velmor::memos {

enum class MoveResult {
    Done,
    Refused,  // a check failed; its message was shown
    Conflict, // another workstation moved the stone first; message shown
    Failed    // a database error; nothing was written
};

struct MoveOutcome {
    MoveResult result = MoveResult::Failed;
    int moved = 0;            // stones moved (bulk commands)
    bool sheetClosed = false; // the closing check closed the sheet
    invoices::Posted posted;  // the (last) invoice line of a sale
    QString listingFailure;   // shown once when the listing could not be reached
    bool ok() const { return result == MoveResult::Done; }
};

// cmdAdd: the stone goes on the sheet at the price per stone the dealer
// agreed (the text of txtDiscountDollar, US dollars), kept in MemoUS and the
// journal's US; the discount off the list is derived from it where the stone
// has a list price (Null where not).  Without a typed price the price
// follows from `discount` (txtDiscount) and the list price.  A price of 0 or
// less, or none at all, is refused naming the stone.  `employeeId` is the
// user chosen in cboUser.
MoveOutcome putOnMemo(AppContext &ctx, qint64 memoSheetId, qint64 stoneId, const QString &discount,
                      qint64 employeeId, const QString &stonePrice = QString());

// The older memo sheet screen's add: the stone goes on the sheet at the
// typed US and local prices (MemoUS/MemoLocal and the journal's us/Local),
// the movement written by the logged-in user.  Refuses an unknown, sold,
// held (for another customer) or already consigned stone with that screen's
// messages.  `fixPrice`: the user changed the proposed price, so a floating
// stone's price basis becomes the fixed amount (said once it is done).
MoveOutcome putOnMemoAtPrice(AppContext &ctx, qint64 memoSheetId, qint64 stoneId, const QString &us,
                             const QString &local, bool fixPrice);

// cmdRemove: the stone comes back into stock from this sheet.
MoveOutcome returnToStock(AppContext &ctx, qint64 memoSheetId, qint64 stoneId, qint64 employeeId);

// cmdSell: the stone is sold to the sheet's customer at `stonePrice` (the
// grid's "Stone Price" text, thousands commas allowed) and posted to the
// customer's open invoice.
MoveOutcome sellFromMemo(AppContext &ctx, qint64 memoSheetId, qint64 stoneId, const QString &stonePrice);

// cmdExecute with chkAllStock / chkAllSold: every stone of the sheet, in one
// transaction.  The sale posts each stone at its memo price (MemoPrice.h),
// the price the sheet and its paper show.
MoveOutcome returnAll(AppContext &ctx, qint64 memoSheetId, qint64 employeeId);
MoveOutcome sellAll(AppContext &ctx, qint64 memoSheetId);

// The closing check, inside the caller's transaction: a sheet with neither
// stones nor carats of a parcel out on it any more is closed (a closed sheet
// stays closed).  True when nothing is out.
bool closeSheetIfEmpty(AppContext &ctx, qint64 memoSheetId);

// The change-log status of a movement ("out " / "in " and the company name,
// 20 characters at most).
QString movementText(bool out, const QString &companyName);

// The stone price of a discount off the list: the one selling-price rule
// (pricing/SellingPrice.h) at the rounding step.
double memoStonePrice(double carat, double rapPerCarat, double discount, int step = 0);

// The memo price of a stone: the agreed price per stone (to the cent) and
// the discount off the list it comes to, Null (invalid) without a list price.
struct MemoPrice {
    double stonePrice = 0;
    QVariant discount = QVariant(QMetaType(QMetaType::Double));
};
MemoPrice memoPrice(double carat, double rapPerCarat, bool priceTyped, double stonePrice, double discount, int step = 0);

} // namespace velmor::memos
