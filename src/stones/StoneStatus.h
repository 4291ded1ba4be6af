#pragma once
// Status changes of a single stone on the stone screen: sell, return from a
// customer, return to and receive from the vendor, return from memo, hold,
// consignment in, supplier, binding into a jewellery item.  Each states the
// status it expects in its UPDATE and refuses, with a message, when another
// workstation changed the stone first; each writes its rows (journal,
// change log, vendor rows) in one transaction.
#include <QDate>
#include <QString>

namespace velmor {
class AppContext;
}

namespace velmor::stones {

// The right every status change of the stone screen needs (a stone back
// from memo needs the memo right, AllowMemoAssigning), checked at the write:
// with nobody logged in, or without it, the change is refused and nothing is
// written.
inline const QString kStatusRight = QStringLiteral("AllowEdit");

enum class StatusResult {
    Done,
    Refused,  // a check failed; its message was shown
    Declined, // the user answered No
    Conflict, // another workstation changed the stone first; message shown
    Failed    // a database error
};

// cmdSold.  customerId 0: no customer chosen; stoneId 0: no stone loaded.
StatusResult sellStone(AppContext &ctx, qint64 stoneId, qint64 customerId);
// cmdReturn: a sold stone back into stock (no reverse invoice).
StatusResult returnFromCustomer(AppContext &ctx, qint64 stoneId);
// cmdReturnVendor: RETURN for a stone in stock, RECEIVE for a returned one;
// the direction follows the status the screen shows.
StatusResult returnToVendor(AppContext &ctx, qint64 stoneId);
StatusResult receiveFromVendor(AppContext &ctx, qint64 stoneId);
// Dropping the stone on imgSafe: a stone on memo back into stock.
StatusResult returnFromMemo(AppContext &ctx, qint64 stoneId);

// cboOnHoldFor: written at once (0 clears the hold).
StatusResult setHold(AppContext &ctx, qint64 stoneId, qint64 customerId);
// cmdEditHold's save: the note and date of the hold.
StatusResult saveHoldNote(AppContext &ctx, qint64 stoneId, const QString &note, const QDate &date);
// The question of cboConsignmentInCustomer ("You are changing the
// 'Consignment-IN' Property to ..."); true for Yes.  A stone being added asks
// it and its save writes the supplier.
bool confirmConsignmentIn(AppContext &ctx, qint64 supplierId);
// cboConsignmentInCustomer: asks, then writes the supplier and the opening
// PaymentMade row.
StatusResult setConsignmentIn(AppContext &ctx, qint64 stoneId, qint64 supplierId, bool alsoSupplier = true);
// cboSupplier: written at once.
StatusResult setSupplier(AppContext &ctx, qint64 stoneId, qint64 supplierId);
// cmdMergeWithItem.
StatusResult bindIntoItem(AppContext &ctx, qint64 stoneId, qint64 itemId);
// cmdNewPaymentMade's check: false with its message when the stone is not
// here on consignment.
bool canEnterPaymentMade(AppContext &ctx, qint64 stoneId, qint64 consignmentInId);

// The captions the status gives the screen.
struct StatusDisplay {
    QString statusText;     // "STOCK", "RETURNED", "SOLD", else the status
    bool sellEnabled = false;
    bool stockPicture = false;
    QString vendorCaption;  // cmdReturnVendor
    bool vendorEnabled = false;
};
StatusDisplay statusDisplay(const QString &status);

} // namespace velmor::stones
