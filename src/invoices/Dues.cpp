#include "invoices/Dues.h"

#include "db/LineDues.h"
#include "db/Sql.h"

#include <QSqlQuery>

namespace velmor::invoices {

namespace {

namespace dues = db::dues;

// The columns read, for lines `il` with their stone `s`, parcel `pc` and
// invoice `i`, the tax shares given as the two expressions.
QString columns(const QString &taxUS, const QString &taxCDN)
{
    const QString il = QStringLiteral("il");
    return QStringLiteral("il.ID, il.invoiceid, i.customerid, IFNULL(il.diamondid, 0), IFNULL(il.parcelid, 0), s.ID IS NOT "
                          "NULL, IF(IFNULL(il.diamondid, 0) <> 0, s.SKU, %1), IF(s.ID IS NULL, FALSE, %2), il.returned IS "
                          "NOT NULL, DATE(i.datecreated), CAST(il.exchangerateCDN AS CHAR), CAST(%3 AS CHAR), CAST(%4 AS "
                          "CHAR), CAST(%5 AS CHAR), CAST(%6 AS CHAR)")
        .arg(dues::lineLabel(il, QStringLiteral("pc")), dues::localBasis(QStringLiteral("s")), dues::amountUS(il), taxUS,
             dues::amountCDN(il), taxCDN);
}

const QString kJoins = QStringLiteral(
    " FROM invoicelist il LEFT JOIN invoice i ON i.ID = il.invoiceid LEFT JOIN SingleStone s ON il.diamondid <> 0 AND "
    "s.ID = il.diamondid LEFT JOIN parcel pc ON (il.diamondid IS NULL OR il.diamondid = 0) AND pc.ID = il.parcelid");

LineDue read(const QSqlQuery &q)
{
    LineDue d;
    d.lineId = q.value(0).toLongLong();
    d.invoiceId = q.value(1).toLongLong();
    d.customerId = q.value(2).toLongLong();
    d.stoneId = q.value(3).toLongLong();
    d.parcelId = q.value(4).toLongLong();
    d.stoneFound = q.value(5).toInt() != 0;
    d.label = q.value(6).toString();
    d.local = q.value(7).toInt() != 0;
    d.returned = q.value(8).toInt() != 0;
    d.invoiceDate = q.value(9).toDate();
    d.rateCDN = q.value(10).isNull() ? 0 : q.value(10).toString().toDouble();
    d.amountUS = Decimal5::fromDb(q.value(11));
    d.taxUS = Decimal5::fromDb(q.value(12));
    if (!q.value(13).isNull())
        d.amountCDN = Decimal5::fromDb(q.value(13));
    if (!q.value(14).isNull())
        d.taxCDN = Decimal5::fromDb(q.value(14));
    return d;
}

std::optional<LineDue> oneLine(const QSqlDatabase &db, const QString &where, qint64 id)
{
    const QString il = QStringLiteral("il");
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT ") + columns(dues::taxUSOf(il), dues::taxCDNOf(il)) + kJoins + where,
                           {id});
    if (!q.next())
        return std::nullopt;
    return read(q);
}

} // namespace

QList<LineDue> lineDues(const QSqlDatabase &db, const QString &invoices)
{
    QSqlQuery q = db::exec(
        db, QStringLiteral("SELECT ") + columns(QStringLiteral("IFNULL(t.taxUS, 0)"), QStringLiteral("IF(t.ID IS NULL, 0, t.taxCDN)"))
                + kJoins + QStringLiteral(" LEFT JOIN ")
                + dues::taxTable(QStringLiteral("tl.invoiceid IN (%1)").arg(invoices))
                + QStringLiteral(" t ON t.ID = il.ID WHERE il.invoiceid IN (%1) ORDER BY il.invoiceid, il.ID").arg(invoices));
    QList<LineDue> out;
    while (q.next())
        out << read(q);
    return out;
}

QList<LineDue> lineDues(const QSqlDatabase &db, const QList<qint64> &invoiceIds)
{
    if (invoiceIds.isEmpty())
        return {};
    QStringList ids;
    ids.reserve(invoiceIds.size());
    for (qint64 id : invoiceIds)
        ids << QString::number(id);
    ids.removeDuplicates();
    return lineDues(db, ids.join(QLatin1Char(',')));
}

std::optional<LineDue> lineDue(const QSqlDatabase &db, qint64 lineId)
{
    return oneLine(db, QStringLiteral(" WHERE il.ID = ?"), lineId);
}

std::optional<LineDue> stoneSaleDue(const QSqlDatabase &db, qint64 stoneId)
{
    return oneLine(db, QStringLiteral(" WHERE il.diamondid = ? ORDER BY il.ID DESC LIMIT 1"), stoneId);
}

} // namespace velmor::invoices
