#pragma once
// The stone change log (StoneChange): full snapshots written when a stone is
// saved, deleted or changes status, the short movement rows of memo moves,
// the first snapshots of stones that have none, and the list the change-log
// screen shows.
#include <QDate>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace velmor {
class AppContext;
}

namespace velmor::stones {

// The SingleStone columns a snapshot copies, in their order.
const QStringList &snapshotColumns();

// SaveDeleteChangeStatus: one snapshot row of the stone; action "delete"
// writes the status "DEL".  Runs in the caller's transaction.
void SaveDeleteChangeStatus(AppContext &ctx, const QString &action, qint64 stoneId);
// The same on an explicit connection and employee (used by the repair).
void writeSnapshot(const QSqlDatabase &db, int employeeId, const QString &action, qint64 stoneId);

// A movement row: "out " or "in " and the customer's company name, cut to 20
// characters.  `direction` is "out" or "in".
void writeMovement(AppContext &ctx, qint64 stoneId, const QString &direction, qint64 customerId);
QString movementStatus(const QString &direction, const QString &companyName);

// First snapshots for every stone without a log row; returns how many were
// written.  Set-based (one statement).  `among`, when given, is a further
// condition on SingleStone that holds for every such stone.
int writeFirstSnapshots(AppContext &ctx, const QString &among = {});
// The progress text of the first snapshots.
QString firstSnapshotsProgress();
// The same one stone at a time with the running progress text, as the
// literal walk does it.
int writeFirstSnapshotsLiteral(AppContext &ctx);

// The change-log screen's list ------------------------------------------------

struct ChangeLogFilter {
    qint64 stoneId = 0; // 0: all stones
    bool dateRange = false;
    QDate from, to;
};

struct ChangeLogGrid {
    QStringList headers;
    QList<int> widths; // twips
    QList<QStringList> rows;
};

// The stone picker's entries: "All - complete Report", then one per stone.
QStringList stonePickerEntries(AppContext &ctx);
// The stone ID of a picker entry (the text after "ID#"), 0 for the first.
qint64 stoneIdOfPickerEntry(const QString &entry);

ChangeLogGrid loadChangeLog(AppContext &ctx, const ChangeLogFilter &filter);
// The column indexes hidden by the basic view (Inscription 1 .. Location).
QList<int> basicViewHiddenColumns();
// Writes the grid as CSV (cells joined by ","; a cell holding a comma, a
// quote or a line break is quoted; one a spreadsheet would take for a
// formula gets an apostrophe) to the file as named.  Returns the name
// written, empty on failure with the reason in `why`.
QString exportChangeLog(const ChangeLogGrid &grid, const QString &fileName, QString *why = nullptr);

} // namespace velmor::stones
