#pragma once
// A write that every workstation makes before one kind of check-then-write,
// so that two of them cannot both pass the check before either writes.  It
// bumps one row of RowGuard in the caller's transaction: on one server the
// second workstation waits for the row until the first commits (like a
// locking read); on a cluster, where a lock holds on one node only, the
// second of two such transactions on two nodes fails at commit with a
// deadlock error and is run again (retryOnLockConflict), now seeing the
// first one's rows.  The row's number means nothing beyond that.
#include <QSqlDatabase>

namespace velmor::db {

enum class GuardKind {
    StoneSku = 1,        // the SKU and certificate checks of a stone's save (key 0)
    CustomerInvoice = 2, // one open invoice per customer (key: customer)
    CustomerParcelMemo = 3, // one open parcel memo per customer (key: customer)
    ParcelSku = 4,       // a new parcel's number (key 0)
    FirstUser = 5,       // the first administrator of a database without users (key 0)
    StoneFiles = 15,     // a stone's files: stored once, one main picture (key: stone)
    InvoiceLinePayment = 16, // payments for a parcel or free line of an invoice (key: the line)
};

// Writes the guard row of (kind, key) in the open transaction.  Throws DbError.
void claimGuard(const QSqlDatabase &db, GuardKind kind, qint64 key);

} // namespace velmor::db
