#include "memos/MemoLists.h"

#include "core/AppContext.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "memos/MemoSheetView.h"

#include <QLocale>

namespace velmor::memos {

namespace {
QString stamp(const QDateTime &d)
{
    return d.isValid() ? QLocale(QLocale::English).toString(d, QStringLiteral("MMM dd, yyyy _ HH:mm")) : QString();
}
QString f2(double v) { return QString::number(v, 'f', 2); }
} // namespace

Table findMemoSheets(AppContext &ctx, const MemoSheetFilter &f)
{
    Table t;
    t.headers = {QStringLiteral("Memo #"), QStringLiteral("Ref#"), QStringLiteral("Customer"),
                 QStringLiteral("Memo Date"), QStringLiteral("CustomerID"), QStringLiteral("Status")};
    QString sql = QStringLiteral(
        "SELECT MemoSheet.ID, MemoSheet.ref, Customer.CompanyName, MemoSheet.Date, Customer.ID, "
        "IF(closed IS NULL, 'active', IF(closed<>0, 'closed', 'active')) "
        " FROM Customer INNER JOIN MemoSheet ON Customer.ID=MemoSheet.CustomerID  WHERE 1=1 ");
    QVariantList binds;
    if (f.onlyOpen)
        sql += QStringLiteral(" AND  (closed=0 OR closed IS NULL) ");
    if (f.customerId) {
        sql += QStringLiteral(" AND  MemoSheet.CustomerID=?");
        binds << f.customerId;
    }
    bool isNumber = false;
    const qint64 memo = f.memoId.trimmed().toLongLong(&isNumber);
    if (isNumber) {
        sql += QStringLiteral(" AND  MemoSheet.ID=?");
        binds << memo;
    }
    if (!f.ref.isEmpty()) {
        // The typed text is a prefix, matched literally.
        QString like = f.ref;
        like.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
            .replace(QLatin1Char('%'), QStringLiteral("\\%"))
            .replace(QLatin1Char('_'), QStringLiteral("\\_"));
        sql += QStringLiteral(" AND  MemoSheet.ref LIKE ? ");
        binds << like + QLatin1Char('%');
    }
    sql += QStringLiteral(" ORDER BY MemoSheet.ID DESC");
    QSqlQuery q = db::exec(ctx.db(), sql, binds);
    const QLocale en(QLocale::English);
    while (q.next()) {
        t.ids << q.value(0).toLongLong();
        t.rows << QStringList{q.value(0).toString(), db::textOf(q.value(1)), db::textOf(q.value(2)),
                              q.value(3).toDateTime().isValid()
                                  ? en.toString(q.value(3).toDateTime(), QStringLiteral("MMM dd yyyy"))
                                  : QString(),
                              q.value(4).toString(), q.value(5).toString()};
    }
    return t;
}

QStringList memoCustomerEntries(AppContext &ctx)
{
    QStringList out;
    QSqlQuery q = db::exec(ctx.db(), QStringLiteral("SELECT ID, CompanyName FROM Customer WHERE Customer<>0 ORDER BY CompanyName"));
    while (q.next())
        out << db::textOf(q.value(1)) + QStringLiteral("   --- ID") + q.value(0).toString();
    return out;
}

Table memoHistoryStones(AppContext &ctx, qint64 customerId)
{
    Table t;
    t.headers = {QStringLiteral("Date"), QStringLiteral("Action"), QStringLiteral("SKU"), QStringLiteral("Weight"),
                 QStringLiteral("Colour / Clarity"), QStringLiteral("Certificate"), QStringLiteral("Discount")};
    const GradeWords grades(ctx.db());
    QSqlQuery q = db::exec(ctx.db(),
                           QStringLiteral("SELECT memo.setdate, memo.Quantity, memo.outonmemorapdiscount, singlestone.ID, "
                                          "singlestone.SKU, singlestone.Carat, singlestone.Colour, singlestone.Clarity, "
                                          "singlestone.Laboratory, singlestone.Certificate FROM memo INNER JOIN "
                                          "singlestone ON memo.diamondid=singlestone.id WHERE memo.customerid=? "
                                          "ORDER BY setdate, memo.ID"),
                           {customerId});
    while (q.next()) {
        const db::Row r(q);
        t.ids << r.integer("ID");
        t.rows << QStringList{stamp(r.dateTime("setdate")),
                              r.num("Quantity") > 0 ? QStringLiteral("OUT ->") : QStringLiteral("<- return"),
                              QStringLiteral("SKU# ") + r.text("SKU"),
                              f2(r.num("Carat")) + QStringLiteral(" ct."),
                              grades.colour(int(r.integer("Colour"))) + QStringLiteral(" / ")
                                  + grades.clarity(int(r.integer("Clarity"))),
                              r.text("Laboratory") + QLatin1Char(' ') + r.text("Certificate"),
                              r.isNull("outonmemorapdiscount")
                                  ? QString()
                                  : f2(r.num("outonmemorapdiscount")) + QStringLiteral("% off RAP")};
    }
    return t;
}

Table memoHistoryParcels(AppContext &ctx, qint64 customerId)
{
    Table t;
    t.headers = {QStringLiteral("Date"), QStringLiteral("Action"), QStringLiteral("SKU"), QStringLiteral("Carat"),
                 QStringLiteral("Size"), QStringLiteral("Colour"), QStringLiteral("Clarity")};
    if (!db::tableExists(ctx.db(), QStringLiteral("memoparcellist")) || !db::tableExists(ctx.db(), QStringLiteral("parcel")))
        return t;
    const GradeWords grades(ctx.db());
    QSqlQuery q = db::exec(ctx.db(),
                           QStringLiteral("SELECT memoparcellist.carat AS ct, ColourLow, ColourHigh, CaratLow, CaratHigh, "
                                          "ClarityLow, ClarityHigh, memoparcellist.date AS dt, SKU, Action FROM "
                                          "memoparcel INNER JOIN memoparcellist ON "
                                          "memoparcel.id=memoparcellist.memoparcelid INNER JOIN parcel ON "
                                          "memoparcellist.parcelid=parcel.id WHERE memoparcel.customerid=? ORDER BY "
                                          "memoparcellist.date"),
                           {customerId});
    while (q.next()) {
        const db::Row r(q);
        t.ids << 0;
        t.rows << QStringList{stamp(r.dateTime("dt")), r.text("Action"), QStringLiteral("SKU# ") + r.text("SKU"),
                              f2(r.num("ct")) + QStringLiteral(" ct."),
                              f2(r.num("CaratLow")) + QLatin1Char('-') + f2(r.num("CaratHigh")) + QStringLiteral(" ct."),
                              grades.colour(int(r.integer("ColourLow"))) + QStringLiteral(" / ")
                                  + grades.colour(int(r.integer("ColourHigh"))),
                              grades.clarity(int(r.integer("ClarityLow"))) + QStringLiteral(" / ")
                                  + grades.clarity(int(r.integer("ClarityHigh")))};
    }
    return t;
}

Table diamondsOnMemo(AppContext &ctx, qint64 customerId)
{
    Table t;
    t.headers = {QStringLiteral("Customer"), QStringLiteral("Memo Date"), QStringLiteral("Days"), QStringLiteral("Memo ID"),
                 QStringLiteral("SKU#"),     QStringLiteral("Weight"),    QStringLiteral("Colour"),
                 QStringLiteral("Clarity"),  QStringLiteral("RAP /ct"),   QStringLiteral("RAP /Stone")};
    const GradeWords grades(ctx.db());
    const QDateTime now = QDateTime::currentDateTime();
    QSqlQuery q = db::exec(ctx.db(),
                           QStringLiteral("SELECT SingleStone.ID AS stoneid, customer.CompanyName, SingleStone.DateOnMemo, "
                                          "SingleStone.MemoSheetID, SingleStone.SKU, SingleStone.Carat, "
                                          "SingleStone.Colour, SingleStone.Clarity, SingleStone.RapaportPrice FROM "
                                          "customer RIGHT OUTER JOIN (MemoSheet RIGHT OUTER JOIN SingleStone ON "
                                          "SingleStone.MemoSheetID=MemoSheet.ID) ON SingleStone.CustomerID=Customer.ID "
                                          "WHERE SingleStone.status LIKE 'memo' AND SingleStone.CustomerID=? ORDER BY "
                                          "customer.CompanyName, SingleStone.DateOnMemo ASC"),
                           {customerId});
    while (q.next()) {
        const db::Row r(q);
        t.ids << r.integer("stoneid");
        t.rows << QStringList{r.text("CompanyName"),
                              memoDate(r.dateTime("DateOnMemo")),
                              QString::number(daysOnMemo(r.dateTime("DateOnMemo"), now)),
                              r.text("MemoSheetID"),
                              r.text("SKU"),
                              f2(r.num("Carat")),
                              grades.colour(int(r.integer("Colour"))),
                              grades.clarity(int(r.integer("Clarity"))),
                              money(r.num("RapaportPrice")),
                              money(r.num("RapaportPrice") * r.num("Carat"))};
    }
    return t;
}

} // namespace velmor::memos
