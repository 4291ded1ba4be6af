#include "invoices/Invoice.h"

#include "core/Users.h"
#include "core/AppContext.h"
#include "core/KnownRates.h"
#include "db/LineDues.h"
#include "db/PrintedLines.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "db/Transaction.h"
#include "invoices/Posting.h"
#include "pricing/Grades.h"

#include <QLocale>
#include <algorithm>
#include <stdexcept>

namespace velmor::invoices {

namespace {

const QString kCurrencyFile = QStringLiteral("sellcurrency.ini");

qint64 fixedOf(const QVariant &v)
{
    if (v.isNull())
        return 0;
    return parseFixed(v.toString()).value_or(0);
}

QString monthDayYear(const QDateTime &d)
{
    return d.isValid() ? QLocale::c().toString(d.date(), QStringLiteral("MMMM dd, yyyy")) : QString();
}

} // namespace

std::optional<Currency> currencyOf(const QString &word)
{
    const QString w = word.trimmed().toLower();
    if (w == QLatin1String("us"))
        return Currency::US;
    if (w == QLatin1String("cdn"))
        return Currency::CDN;
    if (w == QLatin1String("zar"))
        return Currency::ZAR;
    return std::nullopt;
}

QString currencyWord(Currency c)
{
    switch (c) {
    case Currency::US:
        return QStringLiteral("us");
    case Currency::ZAR:
        return QStringLiteral("zar");
    case Currency::CDN:
        break;
    }
    return QStringLiteral("cdn");
}

Currency printCurrency(const AppContext &ctx)
{
    return currencyOf(ctx.workstation.readFirstLine(kCurrencyFile)).value_or(Currency::CDN);
}

bool setPrintCurrency(const AppContext &ctx, Currency c)
{
    return ctx.workstation.writeLines(kCurrencyFile, {currencyWord(c)});
}

QString colourText(int n)
{
    if (n == 0)
        return {};
    const QString t = pricing::colourCodeText(n);
    return t.isEmpty() ? QString::number(n) : t;
}

QString clarityText(int n)
{
    if (n == 0)
        return {};
    const QString t = pricing::clarityCodeText(n);
    return t.isEmpty() ? QString::number(n) : t;
}

QString invoiceDate(const QDate &d)
{
    return d.isValid() ? QLocale::c().toString(d, QStringLiteral("MMM dd, yyyy")) : QString();
}

qint64 InvoiceLine::amountCents(Currency c) const
{
    switch (c) {
    case Currency::CDN:
        return agreedCDN ? *agreedCDN : convertedCents(amountCents(), rateCDN);
    case Currency::ZAR:
        return agreedZAR ? *agreedZAR : convertedCents(amountCents(), rateZAR);
    case Currency::US:
        break;
    }
    return amountCents();
}

bool InvoiceLine::amountKnown(Currency c) const
{
    switch (c) {
    case Currency::CDN:
        return agreedCDN || rateCDN > 0;
    case Currency::ZAR:
        return agreedZAR || rateZAR > 0;
    case Currency::US:
        break;
    }
    return true;
}

qint64 InvoiceLine::priceCaratCents(Currency c) const
{
    if (c == Currency::US)
        return roundedDiv(priceCarat, 1000);
    if (carat <= 0)
        return fixedTimesRateCents(priceCarat, c == Currency::CDN ? rateCDN : rateZAR);
    return roundedDiv(__int128(amountCents(c)) * kFixedOne, carat);
}

QString taxRateText(qint64 fixedRate)
{
    // Up to three decimals, never fewer than two: 13.00, 9.975.
    const qint64 thousandths = roundedDiv(fixedRate, 100);
    return thousandths % 10 == 0 ? centsText(thousandths / 10)
                                 : Decimal5::fromUnits(thousandths * 100).fixed(3);
}

QString InvoiceLine::description() const
{
    if (kind == Free || !itemFound)
        return {};
    return fixedText(itemCarat) + QStringLiteral("ct. ") + shape + QStringLiteral(" - ") + colourText(colour)
           + QStringLiteral(" / ") + clarityText(clarity);
}

QString InvoiceLine::listPriceText(bool grouped) const
{
    if (listPriceAtSale)
        return fixedText(*listPriceAtSale, grouped);
    return fixedText(rapaportPrice, grouped);
}

QString InvoiceLine::discountText() const
{
    if (listPriceAtSale)
        return discountAtSale ? fixedText(*discountAtSale) + QStringLiteral(" %") : QString();
    return fixedText(sellOffRap) + QStringLiteral(" %");
}

QString Invoice::unknownAmounts(Currency c) const
{
    if (c == Currency::US)
        return {};
    QStringList named;
    for (const InvoiceLine &l : lines)
        if (!l.amountKnown(c))
            named << (l.sku.isEmpty() ? QStringLiteral("line %1").arg(l.id) : l.sku);
    if (named.isEmpty())
        return {};
    const QString word = currencyWord(c).toUpper();
    const QString rate = c == Currency::ZAR ? QStringLiteral("The rand rate (ZAR)")
                                            : QStringLiteral("The exchange rate to %1").arg(word);
    return QStringLiteral("%1 was not known when %2 was sold, so its %3 amounts cannot be printed.\n\n"
                          "Record the rate of the sale on the invoice screen (\"Rate of the sale...\") or with "
                          "velmor invoice rate %4 --%5 RATE, or print this invoice in US$ (the US$ picture on the "
                          "invoice screen, or --currency us).")
        .arg(rate, named.join(QStringLiteral(", ")), word)
        .arg(id)
        .arg(word.toLower());
}

Totals Invoice::totals(Currency c) const
{
    QList<TaxedAmount> amounts;
    for (const InvoiceLine &l : lines)
        amounts.append({l.amountCents(c), l.taxRate});
    return totalsOf(amounts);
}

bool loadInvoice(const QSqlDatabase &db, qint64 id, Invoice &out)
{
    out = Invoice{};
    QSqlQuery h = db::exec(db,
                           QStringLiteral("SELECT i.ID, i.customerid, i.datecreated, i.dateclosed, i.status, "
                                          "c.CompanyName, c.CompanyStreet1, c.CompanyStreet2, c.CompanyCity, "
                                          "c.CompanyProvince, c.CompanyZIP, c.CompanyCountry, c.PhoneNumber1, "
                                          "c.FaxNumber, c.EMail "
                                          "FROM invoice i LEFT JOIN Customer c ON c.ID = i.customerid WHERE i.ID = ?"),
                           {id});
    if (!h.next())
        return false;
    out.id = h.value(0).toLongLong();
    out.customerId = h.value(1).toLongLong();
    out.created = h.value(2).toDateTime();
    out.closed = h.value(3).toDateTime();
    out.status = db::textOf(h.value(4));
    QString *fields[] = {&out.CompanyName, &out.CompanyStreet1, &out.CompanyStreet2, &out.CompanyCity,
                         &out.CompanyProvince, &out.CompanyZIP, &out.CompanyCountry, &out.PhoneNumber1,
                         &out.FaxNumber, &out.EMail};
    for (int i = 0; i < 10; ++i)
        *fields[i] = db::textOf(h.value(5 + i));

    // Figures as text: DECIMAL never passes through a double here.
    QSqlQuery q = db::exec(
        db,
        QStringLiteral(
            "SELECT l.ID, l.diamondid, l.parcelid, CAST(l.carat AS CHAR), l.dateadded, CAST(l.pricecarat AS CHAR), "
            "CAST(l.exchangerateCDN AS CHAR), CAST(l.exchangerateZAR AS CHAR), CAST(l.taxrate AS CHAR), l.details, "
            "s.ID, s.SKU, s.Shape, s.Colour, s.Clarity, CAST(s.Carat AS CHAR), CAST(s.RapaportPrice AS CHAR), "
            "CAST(s.SellOffRap AS CHAR), "
            "p.ID, p.SKU, p.Shape, p.ColourLow, p.ClarityLow, CAST(p.CaratLow AS CHAR), "
            "CAST(l.listprice AS CHAR), CAST(l.discountgiven AS CHAR), CAST(l.amountcdn AS CHAR), "
            "CAST(l.amountzar AS CHAR), l.returned "
            "FROM invoicelist l "
            "LEFT JOIN SingleStone s ON l.diamondid <> 0 AND s.ID = l.diamondid "
            "LEFT JOIN parcel p ON (l.diamondid IS NULL OR l.diamondid = 0) AND l.parcelid <> 0 AND p.ID = l.parcelid "
            "WHERE l.invoiceid = ? ORDER BY l.ID"),
        {id});
    while (q.next()) {
        InvoiceLine l;
        l.id = q.value(0).toLongLong();
        l.diamondId = q.value(1).toLongLong();
        l.parcelId = q.value(2).toLongLong();
        l.kind = l.diamondId != 0 ? InvoiceLine::Stone : l.parcelId != 0 ? InvoiceLine::Parcel : InvoiceLine::Free;
        l.carat = fixedOf(q.value(3));
        l.dateAdded = q.value(4).toDateTime();
        l.priceCarat = fixedOf(q.value(5));
        l.rateCDN = fixedOf(q.value(6));
        l.rateZAR = fixedOf(q.value(7));
        l.taxRate = fixedOf(q.value(8));
        l.details = db::textOf(q.value(9));
        if (!q.value(24).isNull())
            l.listPriceAtSale = parseFixed(q.value(24).toString());
        if (!q.value(25).isNull())
            l.discountAtSale = parseFixed(q.value(25).toString());
        if (!q.value(26).isNull())
            l.agreedCDN = roundedDiv(fixedOf(q.value(26)), 1000);
        if (!q.value(27).isNull())
            l.agreedZAR = roundedDiv(fixedOf(q.value(27)), 1000);
        l.returned = q.value(28).toDateTime();
        if (l.kind == InvoiceLine::Stone && !q.value(10).isNull()) {
            l.itemFound = true;
            l.sku = db::textOf(q.value(11));
            l.shape = db::textOf(q.value(12));
            l.colour = q.value(13).toInt();
            l.clarity = q.value(14).toInt();
            l.itemCarat = fixedOf(q.value(15));
            l.rapaportPrice = fixedOf(q.value(16));
            l.sellOffRap = fixedOf(q.value(17));
        } else if (l.kind == InvoiceLine::Parcel && !q.value(18).isNull()) {
            l.itemFound = true;
            l.sku = db::textOf(q.value(19));
            l.shape = db::textOf(q.value(20));
            l.colour = q.value(21).toInt();
            l.clarity = q.value(22).toInt();
            l.itemCarat = fixedOf(q.value(23));
        }
        out.lines.append(l);
    }
    return true;
}

QStringList gridHeadings()
{
    return {QStringLiteral("SKU"),     QStringLiteral("Carat"), QStringLiteral("Shape"),
            QStringLiteral("Colour"),  QStringLiteral("Clarity"), QStringLiteral("Details"),
            QStringLiteral("RAP"),     QStringLiteral("$/ct"),  QStringLiteral("$/ Stone /Parcel"),
            QStringLiteral("Tax Rate")};
}

QStringList gridRow(const InvoiceLine &l)
{
    const QString na = QStringLiteral("n/a");
    // The weight as stored, without trailing zeros past the second decimal.
    QString carat = QString::number(l.carat / kFixedOne) + QLatin1Char('.')
                    + QString::number(qAbs(l.carat % kFixedOne)).rightJustified(5, QLatin1Char('0'));
    while (carat.endsWith(QLatin1Char('0')) && carat.indexOf(QLatin1Char('.')) < carat.size() - 3)
        carat.chop(1);
    if (l.carat < 0 && l.carat > -kFixedOne)
        carat.prepend(QLatin1Char('-'));
    QStringList r;
    switch (l.kind) {
    case InvoiceLine::Stone:
        // A sale returned into stock says so (the line stays as sold).
        r << l.sku << carat << l.shape << colourText(l.colour) << clarityText(l.clarity)
          << (l.returned.isValid() ? (l.details.isEmpty() ? QString() : l.details + QLatin1Char(' '))
                                         + QStringLiteral("(returned into stock %1)").arg(invoiceDate(l.returned.date()))
                                   : l.details)
          << l.listPriceText();
        break;
    case InvoiceLine::Parcel:
        r << QStringLiteral("PARCEL- ") + l.sku << carat << l.shape << colourText(l.colour) << clarityText(l.clarity)
          << l.details << QString();
        break;
    case InvoiceLine::Free:
        r << na << carat << na << na << na << l.details << na;
        break;
    }
    r << fixedText(l.priceCarat) << centsText(l.amountCents()) << taxRateText(l.taxRate);
    return r;
}

QStringList findHeadings()
{
    return {QStringLiteral("Invoice#"), QStringLiteral("Created"), QStringLiteral("closed/processed"),
            QStringLiteral("Status"), QStringLiteral("Customer")};
}

QList<InvoiceListRow> findInvoices(const QSqlDatabase &db, const InvoiceFilter &f)
{
    QString sql = QStringLiteral("SELECT invoice.id, invoice.datecreated, invoice.dateclosed, invoice.status, "
                                 "customer.companyname FROM invoice LEFT OUTER JOIN customer ON "
                                 "invoice.customerid=customer.id WHERE 1=1 ");
    QVariantList binds;
    if (f.closed && !f.open)
        sql += QStringLiteral(" AND status LIKE 'closed' ");
    else if (f.open && !f.closed)
        sql += QStringLiteral(" AND status LIKE 'open' ");
    if (f.customerId) {
        sql += QStringLiteral(" AND invoice.customerid=?");
        binds << f.customerId;
    }
    if (f.createdOn.isValid()) {
        sql += QStringLiteral(" AND invoice.datecreated >= ? AND invoice.datecreated < ?");
        binds << QDateTime(f.createdOn, QTime(0, 0)) << QDateTime(f.createdOn.addDays(1), QTime(0, 0));
    }
    sql += QStringLiteral(" ORDER BY invoice.id DESC");
    QSqlQuery q = db::exec(db, sql, binds);
    QList<InvoiceListRow> rows;
    while (q.next())
        rows.append({q.value(0).toLongLong(), monthDayYear(q.value(1).toDateTime()),
                     monthDayYear(q.value(2).toDateTime()), db::textOf(q.value(3)), db::textOf(q.value(4))});
    return rows;
}

qint64 addFreeLine(AppContext &ctx, qint64 invoiceId, const QString &details, const QString &carat,
                   const QString &priceCarat)
{
    if (!mayWrite(ctx, rights::Invoices))
        return 0;
    const SaleFigures fig = saleFigures(ctx.db(), carat, priceCarat);
    db::Transaction tx(ctx.db());
    QSqlQuery head = db::exec(ctx.db(), QStringLiteral("SELECT customerid, status FROM invoice WHERE ID = ? FOR UPDATE"),
                              {invoiceId});
    if (!head.next())
        throw std::invalid_argument("There is no invoice number " + std::to_string(invoiceId) + ".");
    if (db::textOf(head.value(1)).compare(QLatin1String("open"), Qt::CaseInsensitive) != 0)
        throw std::invalid_argument(closedInvoiceMessage(invoiceId).toStdString());
    const double tax = taxRateFor(ctx, head.value(0).toLongLong());
    // The line goes in only while the invoice is still open.
    const int added = db::execAffected(
        ctx.db(),
        QStringLiteral("INSERT INTO invoicelist (invoiceid, details, carat, pricecarat, dateadded, exchangerateCDN, "
                       "exchangerateZAR, taxrate) SELECT ID, ?, ?, ?, ?, ?, ?, ? FROM invoice "
                       "WHERE ID = ? AND status LIKE 'open'"),
        {details, fig.carat, fig.priceCarat, QDateTime::currentDateTime(),
         rateValue(ctx.exchangeRateCDN), rateValue(ctx.exchangeRateZAR),
         QString::number(tax, 'f', 5), invoiceId});
    if (added != 1)
        throw std::invalid_argument(closedInvoiceMessage(invoiceId).toStdString());
    const qint64 id = db::scalar(ctx.db(), QStringLiteral("SELECT LAST_INSERT_ID()")).toLongLong();
    tx.commit();
    return id;
}

QString closedInvoiceMessage(qint64 invoiceId)
{
    return QStringLiteral("Invoice #%1 has been printed and closed: no line can be added to it any more.\n\n"
                          "A closed invoice is never reopened; the next sale to this customer opens a new invoice.")
        .arg(invoiceId);
}

RateRecorded recordSaleRate(AppContext &ctx, qint64 invoiceId, Currency c, const QString &typedRate)
{
    RateRecorded r;
    if (c == Currency::US) {
        r.error = QStringLiteral("US$ amounts need no rate.");
        return r;
    }
    if (ctx.user.ID == 0) {
        r.error = QStringLiteral("Please log on first.");
        return r;
    }
    if (!ctx.user.has(QStringLiteral("AllowExchangeRateChanging")) || !ctx.user.has(rights::Invoices)) {
        r.error = QStringLiteral("No Permission, please login or contact the System Administrator!");
        return r;
    }
    const bool zar = c == Currency::ZAR;
    const QString column = zar ? QStringLiteral("exchangerateZAR") : QStringLiteral("exchangerateCDN");
    const QString agreed = zar ? QStringLiteral("amountzar") : QStringLiteral("amountcdn");
    const figures::Reading rate =
        figures::read(typedRate, {zar ? QStringLiteral("rand rate (ZAR)") : QStringLiteral("exchange rate to CDN"),
                                  figures::columnOf(ctx.db(), QStringLiteral("invoicelist"), column),
                                  figures::Need::Positive});
    if (rate.empty) {
        r.error = QStringLiteral("Please type the rate.");
        return r;
    }
    if (!rate.ok()) {
        r.error = rate.error;
        return r;
    }
    try {
        db::Transaction tx(ctx.db());
        const QVariant status =
            db::scalar(ctx.db(), QStringLiteral("SELECT status FROM invoice WHERE ID = ? FOR UPDATE"), {invoiceId});
        if (!status.isValid()) {
            r.error = QStringLiteral("There is no invoice number %1.").arg(invoiceId);
            return r;
        }
        if (db::textOf(status).compare(QLatin1String("open"), Qt::CaseInsensitive) != 0) {
            r.error = QStringLiteral("Invoice #%1 has been printed and closed: its lines keep the rates they were "
                                     "printed with.")
                          .arg(invoiceId);
            return r;
        }
        r.lines = db::execAffected(ctx.db(),
                                   QStringLiteral("UPDATE invoicelist SET %1 = ? WHERE invoiceid = ? AND "
                                                  "(%1 IS NULL OR %1 <= 0) AND %2 IS NULL")
                                       .arg(column, agreed),
                                   {rate.value.toDb(), invoiceId});
        // What a stone priced locally owes was not known before the rate:
        // its paid-off flag follows its payments now.
        if (r.lines > 0 && c == Currency::CDN)
            db::dues::refreshPaidOffFlags(
                ctx.db(), QStringLiteral("s.ID IN (SELECT diamondid FROM invoicelist WHERE invoiceid = %1)").arg(invoiceId));
        tx.commit();
    } catch (const db::DbError &e) {
        r.error = QStringLiteral("The rate could not be recorded: ") + e.message();
        r.lines = 0;
        return r;
    }
    r.ok = true;
    return r;
}

QString lineDetails(const QSqlDatabase &db, qint64 lineId, bool *found)
{
    const QVariant v = db::scalar(db, QStringLiteral("SELECT details FROM invoicelist WHERE ID = ?"), {lineId});
    if (found)
        *found = v.isValid();
    return db::textOf(v);
}

bool saveLineDetails(const QSqlDatabase &db, qint64 lineId, const QString &details)
{
    if (!db::scalar(db, QStringLiteral("SELECT ID FROM invoicelist WHERE ID = ?"), {lineId}).isValid())
        return false;
    db::exec(db, QStringLiteral("UPDATE invoicelist SET details = ? WHERE ID = ?"), {details, lineId});
    return true;
}

CloseResult closeAfterPrint(const QSqlDatabase &db, const Invoice &printed)
{
    db::Transaction tx(db);
    const QVariant status =
        db::scalar(db, QStringLiteral("SELECT status FROM invoice WHERE ID = ? FOR UPDATE"), {printed.id});
    if (!status.isValid())
        return CloseResult::Gone;
    if (db::textOf(status).compare(QLatin1String("open"), Qt::CaseInsensitive) != 0)
        return CloseResult::WasClosed;
    QList<qint64> onPaper;
    for (const InvoiceLine &l : printed.lines)
        onPaper << l.id;
    if (!db::printedLinesAreAll(db, QStringLiteral("invoicelist"), QStringLiteral("invoiceid"), printed.id, onPaper))
        return CloseResult::LinesChanged;
    const db::LinesAsPrinted same =
        db::linesAsPrinted(QStringLiteral("invoicelist"), QStringLiteral("invoiceid"), printed.id, onPaper);
    const int n = db::execAffected(db,
                                   QStringLiteral("UPDATE invoice SET status = 'closed', dateclosed = ? "
                                                  "WHERE ID = ? AND status LIKE 'open' AND ")
                                       + same.condition,
                                   QVariantList{QDateTime::currentDateTime(), printed.id} + same.values);
    if (n != 1)
        return CloseResult::LinesChanged;
    tx.commit();
    return CloseResult::Closed;
}

QString linesChangedMessage(qint64 invoiceId)
{
    return QStringLiteral("Invoice #%1 was not closed: a line was added to it on another Workstation after it was "
                          "read for this print, so the paper does not show every line.\n\nThe invoice stays open. "
                          "Please print it again.")
        .arg(invoiceId);
}

void saveSalesDisclaimer(AppContext &ctx, const QString &text)
{
    db::exec(ctx.db(), QStringLiteral("UPDATE Config SET SalesDisclaimer = ? ORDER BY ID LIMIT 1"), {text});
    ctx.settings.SalesDisclaimer = text;
}

} // namespace velmor::invoices
