#pragma once
// The memo lists read without widgets: the memo sheets found by frmMemoLoad,
// a customer's memo history (frmMemoHistory) and the stones a customer has
// on memo now (frmDiamondsOnMemo).
#include <QList>
#include <QString>
#include <QStringList>

namespace velmor {
class AppContext;
}

namespace velmor::memos {

struct Table {
    QStringList headers;
    QList<QStringList> rows;
    QList<qint64> ids; // the record each row stands for
};

struct MemoSheetFilter {
    bool onlyOpen = false;  // chkOnlyOpen
    qint64 customerId = 0;  // optThisCustomer with cboCustomer; 0: all
    QString memoId;         // txtMemoID: used when it holds a number
    QString ref;            // txtRef: sheets whose ref starts with it
};
// Columns "Memo #", "Ref#", "Customer", "Memo Date", "CustomerID",
// "Status"; newest first.  Throws db::DbError.
Table findMemoSheets(AppContext &ctx, const MemoSheetFilter &f);
// cboCustomer of frmMemoLoad: customers only, "CompanyName   --- ID".
QStringList memoCustomerEntries(AppContext &ctx);

// frmMemoHistory, stones: one row per journal row, oldest first.
Table memoHistoryStones(AppContext &ctx, qint64 customerId);
// frmMemoHistory, parcels: from the parcel memo tables (empty when the
// database has none).
Table memoHistoryParcels(AppContext &ctx, qint64 customerId);
// frmDiamondsOnMemo: ids are the stones.  A "Days" column after "Memo Date".
Table diamondsOnMemo(AppContext &ctx, qint64 customerId);

} // namespace velmor::memos
