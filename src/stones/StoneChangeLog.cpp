#include "stones/StoneChangeLog.h"

#include "core/AppContext.h"
#include "core/LocalFiles.h"
#include "core/SpreadsheetCells.h"
#include "db/ConvertSql.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "stones/PricingBridge.h"

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QTextStream>

namespace velmor::stones {

const QStringList &snapshotColumns()
{
    static const QStringList cols = {
        "Colour",         "Clarity",       "SKU",           "Shape",         "Cut",          "Carat",
        "RapPriceOnDateBought", "Flourescence", "FancyColour", "FinishPolish", "FinishSymetry", "CODE",
        "Laboratory",     "Certificate",   "Inscription1",  "Inscription2",  "Culet",        "Girdle",
        "Comment",        "TotalDepth",    "TableSize",     "CrownHeight",   "PavillionDepth", "CrownAngle",
        "PavillionAngle", "GirdleDimension", "Dim1",        "Dim2",          "Dim3",         "BoughtPriceUS",
        "BoughtPriceLocal", "LockPercent", "SellOffRap",    "SellOffRap2",   "SellOffRap3",  "SellPriceUS",
        "SellPriceUS2",   "SellPriceUS3",  "Location",      "SupplierID",    "ConsignmentInCustomerID", "Canadian"};
    return cols;
}

namespace {
QString snapshotInsert(const QString &where)
{
    const QString cols = snapshotColumns().join(QStringLiteral(", "));
    return QStringLiteral("INSERT INTO StoneChange (Date, EmployeeID, StoneID, Status, ") + cols
        + QStringLiteral(") SELECT ?, ?, SingleStone.ID, IF(?, 'DEL', SingleStone.Status), ") + cols
        + QStringLiteral(" FROM SingleStone ") + where;
}

QDateTime now()
{
    // Whole seconds, as the DATETIME column keeps them.
    QDateTime t = QDateTime::currentDateTime();
    t.setTime(QTime(t.time().hour(), t.time().minute(), t.time().second()));
    return t;
}
} // namespace

void writeSnapshot(const QSqlDatabase &db, int employeeId, const QString &action, qint64 stoneId)
{
    const bool del = action == QLatin1String("delete");
    const int n = db::execAffected(db, snapshotInsert(QStringLiteral("WHERE SingleStone.ID = ?")),
                                   {now(), employeeId, del ? 1 : 0, stoneId});
    if (n == 0) {
        // No such stone: the row holds what the writer knows.
        db::exec(db, QStringLiteral("INSERT INTO StoneChange (Date, EmployeeID, StoneID, Status) VALUES (?, ?, ?, ?)"),
                 {now(), employeeId, stoneId, del ? QVariant(QStringLiteral("DEL")) : QVariant(QMetaType::fromType<QString>())});
    }
}

void SaveDeleteChangeStatus(AppContext &ctx, const QString &action, qint64 stoneId)
{
    writeSnapshot(ctx.db(), ctx.user.ID, action, stoneId);
}

QString movementStatus(const QString &direction, const QString &companyName)
{
    return (direction + QLatin1Char(' ') + companyName).left(20);
}

void writeMovement(AppContext &ctx, qint64 stoneId, const QString &direction, qint64 customerId)
{
    const QString company =
        db::textOf(db::scalar(ctx.db(), QStringLiteral("SELECT CompanyName FROM Customer WHERE ID = ?"), {customerId}));
    const QString sku =
        db::textOf(db::scalar(ctx.db(), QStringLiteral("SELECT SKU FROM SingleStone WHERE ID = ?"), {stoneId}));
    db::exec(ctx.db(),
             QStringLiteral("INSERT INTO StoneChange (SKU, StoneID, Date, Status, EmployeeID, LockPercent, Canadian) "
                            "VALUES (?, ?, ?, ?, ?, 0, 0)"),
             {sku, stoneId, now(), movementStatus(direction, company), ctx.user.ID});
}

namespace {
// Stones without a log row.  A log row without a stone number must not hide
// every stone from the NOT IN test, so such rows are left out of the list.
const char *kWithoutLog = " WHERE NOT(SingleStone.ID IN (SELECT DISTINCT StoneChange.StoneID FROM StoneChange "
                          "WHERE StoneChange.StoneID IS NOT NULL)) ";
} // namespace

QString firstSnapshotsProgress() { return QStringLiteral("Write Stones into StoneChange History for the first Time"); }

int writeFirstSnapshots(AppContext &ctx, const QString &among)
{
    ctx.prompt().progress(firstSnapshotsProgress());
    if (among.isEmpty())
        return db::execAffected(ctx.db(), snapshotInsert(QString::fromLatin1(kWithoutLog)), {now(), ctx.user.ID, 0});
    // The few stones the condition names, each looked up in the log by key
    // (the same stones as the NOT IN above: a stone's ID is never Null).
    return db::execAffected(ctx.db(),
                            snapshotInsert(QStringLiteral(" WHERE ") + among
                                           + QStringLiteral(" AND NOT EXISTS (SELECT 1 FROM StoneChange WHERE "
                                                            "StoneChange.StoneID = SingleStone.ID) ORDER BY SingleStone.ID")),
                            {now(), ctx.user.ID, 0});
}

int writeFirstSnapshotsLiteral(AppContext &ctx)
{
    const QString text = firstSnapshotsProgress();
    ctx.prompt().progress(text);
    QList<qint64> ids;
    {
        QSqlQuery q = db::exec(ctx.db(), QStringLiteral("SELECT ID FROM SingleStone ") + QString::fromLatin1(kWithoutLog)
                                             + QStringLiteral(" ORDER BY SingleStone.ID"));
        while (q.next())
            ids << q.value(0).toLongLong();
    }
    int i = 0;
    for (qint64 id : ids) {
        ++i;
        ctx.prompt().progress(text + QStringLiteral(" %1/%2").arg(i).arg(ids.size()));
        writeSnapshot(ctx.db(), ctx.user.ID, QStringLiteral("first"), id);
    }
    return ids.size();
}

// The change-log screen -------------------------------------------------------------

QStringList stonePickerEntries(AppContext &ctx)
{
    QStringList out{QStringLiteral("All - complete Report")};
    QSqlQuery q = db::exec(ctx.db(), QStringLiteral("SELECT SKU, Carat, Status, ID FROM SingleStone ORDER BY SKU"));
    while (q.next()) {
        out << db::textOf(q.value(0)) + QStringLiteral("      | ") + db::textOf(q.value(1))
                + QStringLiteral("ct.      | ") + db::textOf(q.value(2)) + QStringLiteral("    ID#")
                + q.value(3).toString();
    }
    return out;
}

qint64 stoneIdOfPickerEntry(const QString &entry)
{
    const int at = entry.lastIndexOf(QLatin1String("ID#"));
    if (at < 0)
        return 0;
    return qint64(db::leadingNumber(entry.mid(at + 3)));
}

QList<int> basicViewHiddenColumns()
{
    QList<int> out;
    for (int i = 11; i <= 40; ++i) // "Inscription 1" .. "Location"
        out << i;
    return out;
}

ChangeLogGrid loadChangeLog(AppContext &ctx, const ChangeLogFilter &filter)
{
    ChangeLogGrid grid;
    grid.headers = {"Employee", "Date & Time", "SKU#", "Status", "Lab & Cert", "Shape", "Carat", "Colour",
                    "Clarity", "Cut", "Dimension", "Inscription 1", "Inscription 2", "Flourescence",
                    "Fancy Colour", "Finish Polish", "Finish Symetry", "Culet", "Girdle", "Comment", "Table Size",
                    "Total Depth", "Girdle Dim", "Crown Angle", "Crown Height", "Pav Angle", "Pav Depth",
                    "Bought US$", "Bought my$", "Sell off Rap [%] 1", "Sell US$ 1", "Sell off Rap [%] 2",
                    "Sell US$ 2", "Sell off Rap [%] 3", "Sell US$ 3", "Lock %", "Rap US$ on Date bought",
                    "Supplier Memo-IN", "Supplier", "Code", "Location", "Cdn"};
    grid.widths = {1000, 1000, 800, 1400, 1200, 1200, 500, 600, 600, 1000, 1000};
    for (int i = 0; i < 16; ++i)
        grid.widths << 1000;
    grid.widths << 800 << 800 << 1200 << 800 << 1200 << 800 << 1200 << 800 << 600 << 1200 << 1200 << 1200 << 1200
                << 1200 << 400;
    QString dateCond = QStringLiteral(" 1=1 ");
    QVariantList binds;
    if (filter.dateRange) {
        // Whole days, both ends included.
        dateCond = QStringLiteral(" (StoneChange.Date >= ? AND StoneChange.Date < ?) ");
        binds << QDateTime(filter.from, QTime(0, 0)) << QDateTime(filter.to.addDays(1), QTime(0, 0));
    }
    QString stoneCond = QStringLiteral(" 1=1 ");
    if (filter.stoneId != 0) {
        stoneCond = QStringLiteral(" StoneID=?");
        binds.prepend(filter.stoneId);
    }
    const QString sql = QStringLiteral(
        "SELECT  CONCAT(User.FirstName,' ',User.LastName) AS [Employee], StoneChange.Date, StoneChange.Status, "
        "StoneChange.SKU, Laboratory, Certificate, Shape, Carat, Colour, Clarity, Cut, Dim1, Dim2, Dim3, "
        "Inscription1, Inscription2, Flourescence, FancyColour, FinishPolish, FinishSymetry, Culet, Girdle, "
        "Comment, TableSize, TotalDepth, GirdleDimension, CrownAngle, CrownHeight, PavillionAngle, PavillionDepth, "
        "BoughtPriceUS, BoughtPriceLocal, SellOffRap, SellPriceUS, SellOffRap2, SellPriceUS2, SellOffRap3, "
        "SellPriceUS3, LockPercent, RapPriceOnDateBought, Customer.CompanyName AS [SupplierMemoIN], "
        "Customer1.CompanyName AS [SupplierName], Code, Location, StoneChange.Canadian, StoneChange.StoneID "
        "FROM (((StoneChange  LEFT OUTER JOIN `User`     ON StoneChange.EmployeeID=`User`.ID) "
        " LEFT OUTER JOIN Customer ON StoneChange.ConsignmentInCustomerID=Customer.ID) "
        " LEFT OUTER JOIN Customer AS Customer1 ON StoneChange.SupplierID=Customer1.ID) "
        " WHERE isnull(StoneChange.SKU)=false AND StoneChange.SKU<>'' AND ")
        + stoneCond + QStringLiteral(" AND ") + dateCond + QStringLiteral(" ORDER BY StoneChange.SKU, StoneChange.Date, StoneChange.ID ");
    QSqlQuery q = db::exec(ctx.db(), db::convertSql(sql), binds);
    struct Raw {
        qint64 stone;
        QStringList cells;
    };
    QList<Raw> raw;
    QHash<qint64, int> perStone;
    auto d2 = [](const QVariant &v) { return v.isNull() ? QString() : QString::number(db::numOf(v), 'f', 2); };
    auto num = [](const QVariant &v) { return v.isNull() ? QString() : QString::number(db::numOf(v), 'g', 12); };
    while (q.next()) {
        const db::Row r(q.record());
        QStringList c;
        c << r.text("Employee") << r.dateTime("Date").toString(QStringLiteral("MMM dd, yyyy hh:mm:ss"))
          << r.text("SKU") << r.text("Status") << r.text("Laboratory") + QLatin1Char(' ') + r.text("Certificate")
          << r.text("Shape") << d2(r.raw("Carat"))
          << (r.isNull("Colour") ? QString() : pricing_bridge::colourCode(QString::number(r.integer("Colour"))))
          << (r.isNull("Clarity") ? QString() : pricing_bridge::clarityCode(QString::number(r.integer("Clarity"))))
          << r.text("Cut")
          << num(r.raw("Dim1")) + QLatin1Char('x') + num(r.raw("Dim2")) + QLatin1Char('x') + num(r.raw("Dim3"))
          << r.text("Inscription1") << r.text("Inscription2") << r.text("Flourescence") << r.text("FancyColour")
          << r.text("FinishPolish") << r.text("FinishSymetry") << r.text("Culet") << r.text("Girdle")
          << db::blobToText(r.raw("Comment")) << num(r.raw("TableSize")) << num(r.raw("TotalDepth"))
          << num(r.raw("GirdleDimension")) << num(r.raw("CrownAngle")) << num(r.raw("CrownHeight"))
          << num(r.raw("PavillionAngle")) << num(r.raw("PavillionDepth")) << d2(r.raw("BoughtPriceUS"))
          << d2(r.raw("BoughtPriceLocal")) << d2(r.raw("SellOffRap")) << d2(r.raw("SellPriceUS"))
          << d2(r.raw("SellOffRap2")) << d2(r.raw("SellPriceUS2")) << d2(r.raw("SellOffRap3"))
          << d2(r.raw("SellPriceUS3")) << (r.flag("LockPercent") ? QStringLiteral("YES") : QString())
          << d2(r.raw("RapPriceOnDateBought")) << r.text("SupplierMemoIN") << r.text("SupplierName")
          << r.text("Code") << r.text("Location") << (r.flag("Canadian") ? QStringLiteral("YES") : QString());
        const qint64 stone = r.integer("StoneID");
        raw.append({stone, c});
        perStone[stone] += 1;
    }
    for (const Raw &r : raw) {
        if (!filter.dateRange && perStone.value(r.stone) < 2)
            continue; // a stone never changed since its first row
        grid.rows << r.cells;
    }
    return grid;
}

namespace {

// A cell that holds a comma, a quote or a line break (dates such as
// "Mar 01, 2026" do) is quoted, so that every row keeps its columns.
QString csvCell(const QString &text)
{
    const QString cell = spreadsheetSafe(text);
    if (!cell.contains(QLatin1Char(',')) && !cell.contains(QLatin1Char('"')) && !cell.contains(QLatin1Char('\n'))
        && !cell.contains(QLatin1Char('\r')))
        return cell;
    QString q = cell;
    q.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

} // namespace

QString exportChangeLog(const ChangeLogGrid &grid, const QString &fileName, QString *why)
{
    QString text;
    for (const QStringList &row : grid.rows) {
        QStringList cells;
        for (const QString &c : row)
            cells << csvCell(c);
        text += cells.join(QLatin1Char(',')) + QLatin1Char('\n');
    }
    if (!files::writeUserFile(fileName, text.toUtf8(), why))
        return {};
    return fileName;
}

} // namespace velmor::stones
