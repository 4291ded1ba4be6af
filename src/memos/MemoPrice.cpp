#include "memos/MemoPrice.h"

#include "core/KnownRates.h"
#include "db/Row.h"
#include "pricing/SellingPrice.h"

#include <QStringList>

namespace velmor::memos {

namespace {
std::optional<Decimal5> optionalOf(const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return std::nullopt;
    return Decimal5::fromDb(v);
}
QVariant column(const QSqlRecord &r, const char *name) { return r.value(QStringLiteral("mp_") + QLatin1String(name)); }
Decimal5 valueOf(const QSqlRecord &m, const char *name) { return Decimal5::fromDb(column(m, name)); }
bool flagOf(const QSqlRecord &m, const char *name) { return db::flagOf(column(m, name)); }
} // namespace

QString memoPriceColumns(const QString &table)
{
    QStringList c;
    for (const char *n : {"MemoUS", "MemoLocal", "currentRAPdiscountFORmemo", "SellPriceUS", "Carat", "RapaportPrice"})
        c << QStringLiteral("CAST(%1%2 AS CHAR) AS mp_%2").arg(table, QLatin1String(n));
    for (const char *n : {"Status", "PaidOffUS", "PaidOffPercentageUS", "PaidOffLocal", "PaidOffPercentageLocal"})
        c << QStringLiteral("%1%2 AS mp_%2").arg(table, QLatin1String(n));
    return c.join(QStringLiteral(", "));
}

MemoPriceFacts memoPriceFacts(const QSqlRecord &m)
{
    MemoPriceFacts f;
    f.onMemo = column(m, "Status").toString().compare(QLatin1String("Memo"), Qt::CaseInsensitive) == 0;
    f.sold = column(m, "Status").toString().compare(QLatin1String("Sold"), Qt::CaseInsensitive) == 0;
    f.memoUS = optionalOf(column(m, "MemoUS"));
    f.memoLocal = optionalOf(column(m, "MemoLocal"));
    f.discount = optionalOf(column(m, "currentRAPdiscountFORmemo"));
    f.sellPriceUS = valueOf(m, "SellPriceUS");
    f.carat = valueOf(m, "Carat");
    f.rap = valueOf(m, "RapaportPrice");
    f.paidOffUS = flagOf(m, "PaidOffUS");
    f.paidOffPercentageUS = flagOf(m, "PaidOffPercentageUS");
    f.paidOffLocal = flagOf(m, "PaidOffLocal");
    f.paidOffPercentageLocal = flagOf(m, "PaidOffPercentageLocal");
    return f;
}

Decimal5 memoPriceUS(const MemoPriceFacts &f, int step)
{
    if (f.memoUS && (f.onMemo || f.sold || f.paidOffUS))
        return f.memoUS->rounded(2);
    if (f.onMemo && f.discount && f.rap > Decimal5() && f.carat > Decimal5())
        return pricing::sellPerStone(f.rap, *f.discount, f.carat, step);
    return f.sellPriceUS.rounded(2);
}

MemoAmount memoPriceByBasis(const MemoPriceFacts &f, double rateCDN, int step)
{
    MemoAmount a;
    const bool localBasis = !f.paidOffUS && !f.paidOffPercentageUS && (f.paidOffLocal || f.paidOffPercentageLocal);
    if (!localBasis) {
        a.amount = memoPriceUS(f, step);
        return a;
    }
    a.local = true;
    if (f.paidOffLocal) {
        a.amount = f.memoLocal.value_or(Decimal5()).rounded(2);
        return a;
    }
    const std::optional<Decimal5> local = convertedAmount(f.sellPriceUS.rounded(2), rateCDN);
    a.known = local.has_value();
    a.amount = local.value_or(Decimal5());
    return a;
}

MemoAmount amountOwed(const MemoPriceFacts &f, const invoices::LineDue *sale, double rateCDN, int step)
{
    MemoAmount byBasis = memoPriceByBasis(f, rateCDN, step);
    if (!sale)
        return byBasis;
    MemoAmount a;
    a.local = byBasis.local;
    const std::optional<Decimal5> due = sale->due(a.local);
    a.known = due.has_value();
    a.amount = due.value_or(Decimal5());
    a.tax = a.known ? sale->tax(a.local).value_or(Decimal5()) : Decimal5();
    return a;
}

} // namespace velmor::memos
