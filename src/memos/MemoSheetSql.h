#pragma once
// The lines of a memo sheet for the older memo sheet screen's grid: its
// stones and its parcels, as the current view (net weights) or the history
// view (every journal row).  The parcel half of that screen builds on
// SUBSQLParcel.
#include <QString>

namespace velmor {
class AppContext;
}

namespace velmor::memos {

// Columns of both: [consigned to], [rap], [SKU], [Shape], [Cert#], [Weight],
// [Colour], [Clarity], [Cut], [ID], [Price /ct], [Stone/Parcel Price],
// [Type] ('S' or 'P'), [a] (us), [b] (local).  `localSign` prefixes local
// prices, `rate` converts US to local.
void SUBSQLStone(QString &out, qint64 memoSheetId, bool current, bool history, const QString &localSign, double rate);
void SUBSQLParcel(QString &out, qint64 memoSheetId, bool current, const QString &localSign, double rate);
// The grid's query: stones UNION parcels, ordered by weight.
QString memoSheetLinesSql(qint64 memoSheetId, bool current, const QString &localSign, double rate);

} // namespace velmor::memos
