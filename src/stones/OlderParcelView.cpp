#include "stones/OlderParcelView.h"

#include "db/Row.h"
#include "db/Sql.h"

#include <QSqlQuery>

namespace velmor::stones {

namespace {

// Decimal columns as the screen shows them: two places, more only where the
// row holds them ("0.00##").
QString shown(const QVariant &v)
{
    if (v.isNull())
        return {};
    QString t = v.toString();
    const int dot = t.indexOf(QLatin1Char('.'));
    if (dot < 0)
        return t + QStringLiteral(".00");
    while (t.size() > dot + 3 && t.endsWith(QLatin1Char('0')))
        t.chop(1);
    while (t.size() < dot + 3)
        t += QLatin1Char('0');
    return t;
}

QString gradeOf(const QSqlDatabase &db, const QVariant &v, bool colour)
{
    const int n = v.toInt();
    if (n == 0)
        return {};
    const QVariant w = db::scalar(db,
                                  colour ? QStringLiteral("SELECT Wording FROM DiamondGrades WHERE Number=? AND "
                                                          "Colour<>0 AND Clarity=0 LIMIT 1")
                                         : QStringLiteral("SELECT Wording FROM DiamondGrades WHERE Number=? AND "
                                                          "Colour=0 AND Clarity<>0 LIMIT 1"),
                                  {n});
    return w.isValid() ? QStringLiteral("%1 - %2").arg(n).arg(db::textOf(w)) : QString::number(n);
}

} // namespace

std::optional<OlderParcelView> readOlderParcel(const QSqlDatabase &db, qint64 id)
{
    QSqlQuery q = db::exec(db,
                           QStringLiteral("SELECT SKU, Lot, Shape, Comment, QClass, CAST(Carat AS CHAR), Quantity, "
                                          "CAST(CaratLow AS CHAR), CAST(CaratHigh AS CHAR), CAST(Dim1 AS CHAR), "
                                          "CAST(Dim2 AS CHAR), ColourLow, ColourHigh, ClarityLow, ClarityHigh, "
                                          "CAST(CostUSPerCarat AS CHAR), CAST(CostLocalPerCarat AS CHAR), "
                                          "CAST(PriceUSPerCarat AS CHAR), CAST(PriceLocalPerCarat AS CHAR), "
                                          "CAST(DMarkup AS CHAR), SellUS FROM ParcelStock WHERE ID = ?"),
                           {id});
    if (!q.next())
        return std::nullopt;
    OlderParcelView v;
    v.id = id;
    v.sku = db::textOf(q.value(0));
    v.lot = db::textOf(q.value(1));
    v.shape = db::textOf(q.value(2));
    v.comment = db::textOf(q.value(3));
    v.qclass = db::textOf(q.value(4));
    v.carat = shown(q.value(5));
    v.quantity = q.value(6).isNull() ? QString() : q.value(6).toString();
    v.caratLow = shown(q.value(7));
    v.caratHigh = shown(q.value(8));
    v.dim1 = shown(q.value(9));
    v.dim2 = shown(q.value(10));
    v.colourLow = gradeOf(db, q.value(11), true);
    v.colourHigh = gradeOf(db, q.value(12), true);
    v.clarityLow = gradeOf(db, q.value(13), false);
    v.clarityHigh = gradeOf(db, q.value(14), false);
    v.costUS = shown(q.value(15));
    v.costLocal = shown(q.value(16));
    v.priceUS = shown(q.value(17));
    v.priceLocal = shown(q.value(18));
    v.markup = q.value(19).isNull() ? QString() : q.value(19).toString();
    v.sellUS = q.value(20).toInt() != 0;
    return v;
}

QStringList olderParcelShapes(const QSqlDatabase &db)
{
    QStringList out{QStringLiteral("Round Brilliant [BR]"), QStringLiteral("Pear [PS]"), QStringLiteral("Marquise [MQ]"),
                    QStringLiteral("Princess [PR]"),        QStringLiteral("Cushion"),   QStringLiteral("Emerald"),
                    QStringLiteral("Heart"),                QStringLiteral("Radiant"),   QStringLiteral("Triangle"),
                    QStringLiteral("rec Brilliant"),        QStringLiteral("sq Brilliant")};
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT DISTINCT Shape FROM ParcelStock WHERE Shape IS NOT NULL "
                                              "AND Shape <> '' ORDER BY Shape"));
    while (q.next()) {
        const QString s = db::textOf(q.value(0));
        if (!out.contains(s, Qt::CaseInsensitive))
            out << s;
    }
    return out;
}

QStringList olderParcelGrades(const QSqlDatabase &db, bool colour)
{
    QStringList out{QString()};
    QSqlQuery q = db::exec(db, colour ? QStringLiteral("SELECT Number, Wording FROM DiamondGrades WHERE Clarity=0 "
                                                       "AND Colour<>0 ORDER BY Number")
                                      : QStringLiteral("SELECT Number, Wording FROM DiamondGrades WHERE Clarity<>0 "
                                                       "AND Colour=0 ORDER BY Number"));
    while (q.next())
        out << QStringLiteral("%1 - %2").arg(q.value(0).toInt()).arg(db::textOf(q.value(1)));
    return out;
}

QList<OlderReceiptLine> olderReceipts(const QSqlDatabase &db, qint64 parcelId)
{
    QList<OlderReceiptLine> out;
    QSqlQuery q = db::exec(db,
                           QStringLiteral("SELECT c.CompanyName, DATE_FORMAT(a.Date, '%Y-%m-%d %H:%i'), a.Invoice, "
                                          "CAST(a.Carat AS CHAR), a.Quantity, CAST(a.PricePerCarat AS CHAR) "
                                          "FROM AddParcel a LEFT JOIN Customer c ON a.SupplierID = c.ID "
                                          "WHERE a.ParcelID = ? ORDER BY a.ID"),
                           {parcelId});
    while (q.next())
        out.append({db::textOf(q.value(0)), q.value(1).toString(), db::textOf(q.value(2)), q.value(3).toString(),
                    q.value(4).toString(), q.value(5).toString()});
    return out;
}

} // namespace velmor::stones
