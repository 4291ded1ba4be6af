#include "payments/Ledger.h"

#include "core/AppContext.h"
#include "db/LineDues.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "invoices/Dues.h"
#include "invoices/Invoice.h"
#include "invoices/Money.h"
#include "payments/Payments.h"

#include <QHash>
#include <QMap>
#include <QSaveFile>
#include <QSqlRecord>
#include <QTextStream>

namespace velmor::payments {

namespace {

// The day after, as SQL text: rows dated before it are of that day or earlier.
QString dayAfter(const QDate &d) { return QLatin1Char('\'') + d.addDays(1).toString(Qt::ISODate) + QLatin1Char('\''); }

// A stone bought in the local currency.
const QString kBoughtLocal = QStringLiteral("(IFNULL(s.BuyingInUS, 0) = 0 AND IFNULL(s.BuyingInLocal, 0) <> 0)");

Decimal5 dec(const QVariant &v) { return Decimal5::fromDb(v); }

} // namespace

int bucketOf(const QDate &from, const QDate &asOf)
{
    const qint64 days = from.isValid() ? from.daysTo(asOf) : 0;
    if (days <= 30)
        return Current;
    if (days <= 60)
        return Days31to60;
    if (days <= 90)
        return Days61to90;
    return Over90;
}

QStringList bucketHeadings()
{
    return {QStringLiteral("0-30"), QStringLiteral("31-60"), QStringLiteral("61-90"), QStringLiteral("over 90")};
}

Decimal5 Aged::total() const
{
    Decimal5 t;
    for (const Decimal5 &b : buckets)
        t += b;
    return t;
}

void Aged::add(const Aged &o)
{
    for (int i = 0; i < kBuckets; ++i)
        buckets[i] += o.buckets[i];
}

QString viewRefusal(const AppContext &ctx, bool payables)
{
    if (ctx.user.ID <= 0)
        return QStringLiteral("Please log on first.");
    if (!ctx.user.has(statementRight()) || (payables && !ctx.user.ViewCost))
        return QStringLiteral("No Permission, please login or contact the System Administrator!");
    return {};
}

QString soldAccountsSql(const QDate &asOf) { return db::dues::accountsSql(asOf); }

// Statement -------------------------------------------------------------------------

std::optional<Statement> statementOf(AppContext &ctx, qint64 customerId, const QDate &from, const QDate &to)
{
    QSqlQuery c = db::exec(ctx.db(),
                           QStringLiteral("SELECT CompanyName, CompanyStreet1, CompanyStreet2, CompanyCity, "
                                          "CompanyProvince, CompanyZIP, CompanyCountry FROM Customer WHERE ID = ?"),
                           {customerId});
    if (!c.next())
        return std::nullopt;
    Statement st;
    st.customerId = customerId;
    st.localName = ctx.settings.currencyName();
    {
        const db::Row r(c.record());
        st.customer = r.text(QStringLiteral("CompanyName"));
        for (const char *f : {"CompanyStreet1", "CompanyStreet2"})
            if (!r.text(QLatin1String(f)).trimmed().isEmpty())
                st.address << r.text(QLatin1String(f)).trimmed();
        QStringList city;
        for (const char *f : {"CompanyCity", "CompanyProvince", "CompanyZIP", "CompanyCountry"})
            if (!r.text(QLatin1String(f)).trimmed().isEmpty())
                city << r.text(QLatin1String(f)).trimmed();
        if (!city.isEmpty())
            st.address << city.join(QStringLiteral(", "));
    }
    st.to = to.isValid() ? to : QDate::currentDate();
    st.from = from;

    // The charges: the lines not returned (stones, parcels and free lines),
    // each what it asks with its share of the tax, per invoice and currency.
    struct Charge {
        qint64 invoiceId = 0;
        QDate date;
        std::array<Decimal5, 2> amount{};
        std::array<bool, 2> any{};
    };
    QList<Charge> charges;
    // Each account charged (a stone, or a parcel or free line: -line).
    struct Owed {
        QDate invoiceDate;
        bool local = false;
        Decimal5 owed;
    };
    QMap<qint64, Owed> accounts;
    for (const invoices::LineDue &d :
         invoices::lineDues(ctx.db(), QStringLiteral("SELECT ID FROM invoice WHERE customerid = %1").arg(customerId))) {
        if (d.returned || (d.isStone() && !d.stoneFound) || d.invoiceDate > st.to)
            continue;
        const std::optional<Decimal5> owed = d.due();
        if (!owed) {
            st.unknownRate << d.label;
            continue;
        }
        if (charges.isEmpty() || charges.last().invoiceId != d.invoiceId)
            charges << Charge{d.invoiceId, d.invoiceDate, {}, {}};
        const int cur = d.local ? 1 : 0;
        charges.last().amount[cur] += *owed;
        charges.last().any[cur] = true;
        accounts.insert(d.isStone() ? d.stoneId : -d.lineId, Owed{d.invoiceDate, d.local, *owed});
    }
    std::stable_sort(charges.begin(), charges.end(), [](const Charge &a, const Charge &b) {
        return a.date != b.date ? a.date < b.date : a.invoiceId < b.invoiceId;
    });

    // The payments and reversals of the customer.
    struct Paid {
        qint64 id = 0, reverses = 0, account = 0; // the stone, or -line for a parcel or free line
        QDate date;
        QString reference, sku;
        bool local = false;
        Decimal5 amount;
    };
    QList<Paid> paid;
    QSqlQuery q = db::exec(
        ctx.db(),
        QStringLiteral("SELECT p.ID, DATE(p.Date), p.Reference, p.ReversesID, CAST(p.PaymentUS AS CHAR), CAST(p.PaymentLocal "
                       "AS CHAR), IF(IFNULL(p.StoneID, 0) = 0 AND il.ID IS NOT NULL, -il.ID, p.StoneID), IF(IFNULL(p.StoneID, "
                       "0) = 0 AND il.ID IS NOT NULL, %1, s.SKU), %2 FROM PaymentReceived p LEFT JOIN SingleStone s ON "
                       "s.ID = p.StoneID LEFT JOIN invoicelist il ON il.ID = p.InvoiceListID LEFT JOIN parcel pc ON pc.ID "
                       "= il.parcelid WHERE p.CustomerID = ? AND NOT (IFNULL(p.PaymentUS, 0) = 0 AND "
                       "IFNULL(p.PaymentLocal, 0) = 0) ORDER BY p.Date, p.ID")
            .arg(db::dues::lineLabel(QStringLiteral("il"), QStringLiteral("pc")), db::dues::localBasis(QStringLiteral("s"))),
        {customerId});
    while (q.next()) {
        Paid p;
        p.id = q.value(0).toLongLong();
        p.date = q.value(1).toDate();
        if (p.date > st.to)
            continue;
        p.reference = db::textOf(q.value(2));
        p.reverses = q.value(3).toLongLong();
        p.account = q.value(6).toLongLong();
        p.sku = db::textOf(q.value(7));
        p.local = db::flagOf(q.value(8));
        p.amount = dec(q.value(p.local ? 5 : 4));
        paid << p;
    }

    // One list by date: the invoices of a day before its payments.
    std::array<Decimal5, 2> running{};
    qsizetype ci = 0, pi = 0;
    auto post = [&](StatementEntry e, int cur) {
        st.used[cur] = true;
        if (st.from.isValid() && e.date < st.from) {
            st.opening[cur] += e.amount;
            running[cur] += e.amount;
            return;
        }
        running[cur] += e.amount;
        e.balance = running[cur];
        st.entries << e;
    };
    while (ci < charges.size() || pi < paid.size()) {
        const bool chargeNext = ci < charges.size() && (pi >= paid.size() || charges[ci].date <= paid[pi].date);
        if (chargeNext) {
            const Charge &c = charges[ci++];
            for (int cur = 0; cur < 2; ++cur) {
                if (!c.any[cur])
                    continue;
                StatementEntry e;
                e.kind = StatementEntry::Invoice;
                e.date = c.date;
                e.what = QStringLiteral("Invoice# %1").arg(c.invoiceId, 6, 10, QLatin1Char('0'));
                e.local = cur == 1;
                e.amount = c.amount[cur];
                post(e, cur);
            }
        } else {
            const Paid &p = paid[pi++];
            StatementEntry e;
            e.kind = p.reverses ? StatementEntry::Reversal : StatementEntry::Payment;
            e.date = p.date;
            e.what = p.reverses ? QStringLiteral("Reversal of payment %1: %2").arg(p.reverses).arg(p.sku)
                                : QStringLiteral("Payment %1%2: %3")
                                      .arg(p.id)
                                      .arg(p.reference.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(p.reference))
                                      .arg(p.sku);
            e.local = p.local;
            e.amount = -p.amount;
            post(e, p.local ? 1 : 0);
        }
    }
    st.closing = running;

    // Aged at the end of the range: each charged stone's or line's balance
    // from its invoice's date; what is left (payments on stones not charged
    // to him, on memo or returned) counts as current.
    std::array<Decimal5, 2> placed{};
    QHash<qint64, Decimal5> receivedFor;
    for (const Paid &p : paid)
        receivedFor[p.account] += p.amount;
    for (auto it = accounts.cbegin(); it != accounts.cend(); ++it) {
        const Decimal5 received = receivedFor.value(it.key());
        const int cur = it->local ? 1 : 0;
        const Decimal5 balance = it->owed - received;
        st.aged[cur].add(Bucket(bucketOf(it->invoiceDate, st.to)), balance);
        placed[cur] += balance;
    }
    for (int cur = 0; cur < 2; ++cur)
        st.aged[cur].add(Current, st.closing[cur] - placed[cur]);
    return st;
}

// The paper ---------------------------------------------------------------------------

namespace {

using printing::PrintSurface;
const QString kFont = QStringLiteral("Arial");
constexpr double kMargin = 700;

QString money(const AppContext &ctx, bool local, const Decimal5 &v) { return amountText(ctx, v, local); }

// "page N" at the foot of the page.
void pageFooter(PrintSurface &s, int page, double right, double bottom)
{
    s.setColumns({});
    s.setFont(kFont, 6.5);
    const QString t = QStringLiteral("page %1").arg(page);
    s.setPosition(right - s.textWidth(t), bottom + 100);
    s.printLine(t);
}

// Ends the page there is (its footer) and begins the next one with the
// company's name at the top (no table until the caller's headings).
void nextPage(PrintSurface &s, const AppContext &ctx, int &page, double left, double right, double bottom)
{
    if (page > 0) {
        pageFooter(s, page, right, bottom);
        s.newPage();
    }
    s.setColumns({});
    ++page;
    s.setPosition(left, kMargin);
    s.setFont(kFont, 12, true);
    s.printLine(s.fitted(ctx.settings.CompanyName, right - left));
}

} // namespace

bool drawStatement(PrintSurface &s, const AppContext &ctx, const Statement &st, QString *error)
{
    Q_UNUSED(error);
    s.setOrientation(1);
    const double left = kMargin, right = s.pageWidth() - kMargin, bottom = s.pageHeight() - kMargin - 300;
    const double width = right - left;
    int page = 0;
    // Columns: date, what, amount, balance (amounts right-aligned), as wide
    // as their widest figure in the bold of the closing lines.
    s.setFont(kFont, 8.5, true);
    const double dateW = s.textWidth(QStringLiteral("Mmm 00, 0000")) + 150;
    double amountW = s.textWidth(QStringLiteral("CDN -00,000,000.00")) + 150;
    auto wider = [&](bool local, const Decimal5 &v) { amountW = std::max(amountW, s.textWidth(money(ctx, local, v)) + 150); };
    for (const StatementEntry &e : st.entries) {
        wider(e.local, e.amount);
        wider(e.local, e.balance);
    }
    for (int cur = 0; cur < 2; ++cur) {
        wider(cur == 1, st.opening[cur]);
        wider(cur == 1, st.closing[cur]);
    }
    const double balanceX = right - amountW;
    const double amountX = balanceX - amountW;
    const double whatX = left + dateW;
    const double whatW = amountX - whatX - 150;
    const QList<double> columns{left, whatX, amountX, balanceX, right};

    auto heads = [&] {
        s.setFont(kFont, 8.5, true);
        s.setColumns(columns);
        const double y = s.CurrentY;
        s.setPosition(left, y);
        s.printLine(QStringLiteral("Date"));
        s.setPosition(whatX, y);
        s.printLine(QStringLiteral("Details"));
        const QString a = QStringLiteral("Amount"), b = QStringLiteral("Balance");
        s.setPosition(amountX + amountW - 150 - s.textWidth(a), y);
        s.printLine(a);
        s.setPosition(right - s.textWidth(b), y);
        s.printLine(b);
        s.setLineWidth(1);
        s.drawLine(left, s.CurrentY, right, s.CurrentY);
        s.CurrentY += 40;
    };
    auto start = [&] {
        nextPage(s, ctx, page, left, right, bottom);
        s.setFont(kFont, 8);
        for (const QString &l : {ctx.settings.CompanyStreet1, ctx.settings.CompanyCity}) {
            if (l.trimmed().isEmpty())
                continue;
            s.CurrentX = left;
            s.printLine(s.fitted(l, width));
        }
        s.CurrentY += 120;
        s.setFont(kFont, 11, true);
        s.CurrentX = left;
        s.printLine(s.fitted(QStringLiteral("Statement"), width));
        s.setFont(kFont, 9, true);
        s.CurrentX = left;
        s.printLine(s.fitted(st.customer, width));
        s.setFont(kFont, 8);
        for (const QString &l : st.address) {
            s.CurrentX = left;
            s.printLine(s.fitted(l, width));
        }
        s.CurrentX = left;
        s.printLine(s.fitted(QStringLiteral("From %1 to %2")
                                 .arg(st.from.isValid() ? invoices::invoiceDate(st.from) : QStringLiteral("the first entry"),
                                      invoices::invoiceDate(st.to)),
                             width));
        s.CurrentY += 120;
        heads();
    };
    start();
    s.setFont(kFont, 8.5);
    const double rowHeight = s.textHeight();
    auto row = [&](const QString &date, const QString &what, const QString &amount, const QString &balance,
                   bool bold = false) {
        if (s.CurrentY + rowHeight > bottom)
            start();
        s.setFont(kFont, 8.5, bold);
        const double y = s.CurrentY;
        s.setPosition(left, y);
        s.printLine(s.fitted(date, dateW - 150));
        s.setPosition(whatX, y);
        s.printLine(s.fitted(what, whatW));
        if (!amount.isEmpty()) {
            s.setPosition(amountX + amountW - 150 - s.textWidth(amount), y);
            s.printLine(amount);
        }
        s.setPosition(right - s.textWidth(balance), y);
        s.printLine(balance);
        s.setPosition(left, y + rowHeight);
    };
    for (int cur = 0; cur < 2; ++cur)
        if (st.used[cur] && st.from.isValid())
            row(invoices::invoiceDate(st.from), QStringLiteral("Balance brought forward"), QString(),
                money(ctx, cur == 1, st.opening[cur]));
    for (const StatementEntry &e : st.entries)
        row(invoices::invoiceDate(e.date), e.what, money(ctx, e.local, e.amount), money(ctx, e.local, e.balance));
    s.CurrentY += 80;
    for (int cur = 0; cur < 2; ++cur)
        if (st.used[cur] || (cur == 0 && !st.used[1]))
            row(invoices::invoiceDate(st.to), QStringLiteral("Balance due"), QString(),
                money(ctx, cur == 1, st.closing[cur]), true);

    // The aging of the balance due.
    s.CurrentY += 160;
    if (s.CurrentY + 4 * rowHeight > bottom)
        start();
    const QStringList h = QStringList{QString()} << bucketHeadings() << QStringLiteral("Total");
    const double colW = width / h.size();
    QList<double> ageColumns;
    for (int i = 0; i <= h.size(); ++i)
        ageColumns << left + colW * i;
    s.setColumns(ageColumns);
    auto ageRow = [&](const QStringList &cells, bool bold) {
        s.setFont(kFont, 8.5, bold);
        const double y = s.CurrentY;
        for (int i = 0; i < cells.size(); ++i) {
            const QString v = s.fitted(cells.at(i), colW - 150);
            s.setPosition(i == 0 ? left : left + colW * (i + 1) - 150 - s.textWidth(v), y);
            s.printLine(v);
        }
        s.setPosition(left, y + rowHeight);
    };
    ageRow(h, true);
    for (int cur = 0; cur < 2; ++cur) {
        if (!st.used[cur] && !(cur == 0 && !st.used[1]))
            continue;
        QStringList cells{cur == 1 ? st.localName : QStringLiteral("US$")};
        for (const Decimal5 &b : st.aged[cur].buckets)
            cells << b.grouped2();
        cells << st.aged[cur].total().grouped2();
        ageRow(cells, false);
    }
    s.setColumns({});
    if (!st.unknownRate.isEmpty()) {
        s.CurrentY += 120;
        s.setFont(kFont, 7.5, false, true);
        for (const QString &l : s.wrapped(QStringLiteral("Not charged here (priced in %1 at a rate not known): %2")
                                              .arg(st.localName, st.unknownRate.join(QStringLiteral(", "))),
                                          width)) {
            if (s.CurrentY + rowHeight > bottom) {
                start();
                s.setColumns({});
            }
            s.CurrentX = left;
            s.printLine(l);
        }
    }
    pageFooter(s, page, right, bottom);
    return true;
}

printing::PrintOutcome printStatement(AppContext &ctx, const Statement &st, const printing::PrintTarget &target)
{
    return printing::printDocument(
        target, [&](PrintSurface &s, QString *e) { return drawStatement(s, ctx, st, e); },
        QStringLiteral("Statement %1").arg(st.customer));
}

// The receivables or payables on paper: one line per party and currency,
// aged, the totals per currency at the end; the headings on every page.
bool drawBalances(PrintSurface &s, const AppContext &ctx, const Balances &b, QString *error)
{
    Q_UNUSED(error);
    s.setOrientation(2);
    const double left = kMargin, right = s.pageWidth() - kMargin, bottom = s.pageHeight() - kMargin - 300;
    const double width = right - left;
    int page = 0;
    const QString currencyUS = QStringLiteral("US$");
    auto currency = [&](bool local) { return local ? b.localName : currencyUS; };
    auto figures = [](const Aged &a) {
        QStringList c;
        for (const Decimal5 &x : a.buckets)
            c << x.grouped2();
        c << a.total().grouped2();
        return c;
    };
    const QStringList amountHeads = bucketHeadings() << QStringLiteral("Balance");
    // Columns: party, currency, stones, the four ages and the balance (the
    // figures right-aligned, as wide as the widest of them).
    s.setFont(kFont, 8.5, true);
    double amountW = s.textWidth(QStringLiteral("-00,000,000.00"));
    for (const QString &h : amountHeads)
        amountW = std::max(amountW, s.textWidth(h));
    for (const Aged &t : b.totals)
        for (const QString &c : figures(t))
            amountW = std::max(amountW, s.textWidth(c));
    double currencyW = s.textWidth(QStringLiteral("Currency"));
    s.setFont(kFont, 8.5);
    for (const PartyBalance &r : b.rows) {
        for (const QString &c : figures(r.aged))
            amountW = std::max(amountW, s.textWidth(c));
        currencyW = std::max(currencyW, s.textWidth(currency(r.local)));
    }
    amountW += 200;
    currencyW += 200;
    const double stonesW = s.textWidth(QStringLiteral("Stones 00000")) + 200;
    const double amountsX = right - amountW * amountHeads.size();
    const double stonesX = amountsX - stonesW;
    const double currencyX = stonesX - currencyW;
    const double nameW = currencyX - left - 200;
    QList<double> columns{left, currencyX, stonesX};
    for (qsizetype i = 0; i < amountHeads.size(); ++i)
        columns << amountsX + amountW * i;
    columns << right;
    const QString who = b.payables ? QStringLiteral("Supplier or consignor") : QStringLiteral("Customer");
    const QString title = QStringLiteral("%1 as of %2")
                              .arg(b.payables ? QStringLiteral("Payables") : QStringLiteral("Receivables"),
                                   invoices::invoiceDate(b.asOf));

    auto line = [&](const QString &name, const QString &cur, const QString &stones, const QStringList &amounts, bool bold) {
        s.setFont(kFont, 8.5, bold);
        const double y = s.CurrentY;
        s.setPosition(left, y);
        s.printLine(s.fitted(name, nameW));
        s.setPosition(currencyX, y);
        s.printLine(s.fitted(cur, currencyW - 200));
        if (!stones.isEmpty()) {
            s.setPosition(stonesX + stonesW - 200 - s.textWidth(stones), y);
            s.printLine(stones);
        }
        for (int i = 0; i < amounts.size(); ++i) {
            const QString v = s.fitted(amounts.at(i), amountW - 200);
            s.setPosition(amountsX + amountW * (i + 1) - s.textWidth(v), y);
            s.printLine(v);
        }
        s.setPosition(left, y + s.textHeight());
    };
    auto start = [&] {
        nextPage(s, ctx, page, left, right, bottom);
        s.CurrentY += 80;
        s.setFont(kFont, 11, true);
        s.CurrentX = left;
        s.printLine(s.fitted(title, width));
        s.CurrentY += 120;
        s.setColumns(columns);
        line(who, QStringLiteral("Currency"), QStringLiteral("Stones"), amountHeads, true);
        s.setLineWidth(1);
        s.drawLine(left, s.CurrentY, right, s.CurrentY);
        s.CurrentY += 40;
    };
    start();
    s.setFont(kFont, 8.5);
    const double rowHeight = s.textHeight();
    for (const PartyBalance &r : b.rows) {
        if (s.CurrentY + rowHeight > bottom)
            start();
        line(r.name.isEmpty() ? QStringLiteral("#%1").arg(r.partyId) : r.name, currency(r.local),
             QString::number(r.stones), figures(r.aged), false);
    }
    if (b.rows.isEmpty()) {
        s.setColumns({});
        s.setFont(kFont, 8.5, false, true);
        s.CurrentX = left;
        s.printLine(s.fitted(b.payables ? QStringLiteral("Nothing is owed to a supplier or consignor.")
                                        : QStringLiteral("No customer owes anything."),
                             width));
        s.setColumns(columns);
    }
    s.CurrentY += 80;
    if (s.CurrentY + 3 * rowHeight > bottom)
        start();
    s.setLineWidth(1);
    s.drawLine(amountsX, s.CurrentY, right, s.CurrentY);
    s.CurrentY += 40;
    for (int cur = 0; cur < 2; ++cur)
        line(QStringLiteral("Total"), currency(cur == 1), QString(), figures(b.totals[cur]), true);
    pageFooter(s, page, right, bottom);
    return true;
}

printing::PrintOutcome printBalances(AppContext &ctx, const Balances &b, const printing::PrintTarget &target)
{
    return printing::printDocument(
        target, [&](PrintSurface &s, QString *e) { return drawBalances(s, ctx, b, e); },
        b.payables ? QStringLiteral("Payables") : QStringLiteral("Receivables"));
}

// Receivables and payables ------------------------------------------------------------

namespace {

Balances balancesFrom(AppContext &ctx, const QString &sql, bool payables, const QDate &asOf)
{
    Balances b;
    b.payables = payables;
    b.asOf = asOf;
    b.localName = ctx.settings.currencyName();
    QSqlQuery q = db::exec(ctx.db(), sql);
    while (q.next()) {
        PartyBalance r;
        r.partyId = q.value(0).toLongLong();
        r.name = db::textOf(q.value(1));
        r.local = db::flagOf(q.value(2));
        r.stones = q.value(3).toInt();
        for (int i = 0; i < kBuckets; ++i)
            r.aged.buckets[i] = dec(q.value(4 + i));
        if (r.aged.total().isZero())
            continue;
        b.totals[r.local ? 1 : 0].add(r.aged);
        b.rows << r;
    }
    return b;
}

// The aged sums of `balance` by the days from `since` to the date.
QString agedColumns(const QString &balance, const QString &since, const QDate &asOf)
{
    const QString d = QLatin1Char('\'') + asOf.toString(Qt::ISODate) + QLatin1Char('\'');
    const QString days = QStringLiteral("DATEDIFF(%1, %2)").arg(d, since);
    return QStringLiteral("SUM(IF(%1 <= 30 OR %2 IS NULL, %3, 0)) AS age0, SUM(IF(%1 BETWEEN 31 AND 60, %3, 0)) AS "
                          "age1, SUM(IF(%1 BETWEEN 61 AND 90, %3, 0)) AS age2, SUM(IF(%1 > 90, %3, 0)) AS age3")
        .arg(days, since, balance);
}

} // namespace

Balances receivables(AppContext &ctx, const QDate &asOfIn)
{
    const QDate asOf = asOfIn.isValid() ? asOfIn : QDate::currentDate();
    // Grouped by customer first, the names joined to the groups after; the
    // sold stones and the parcel and free lines are grouped apart and their
    // groups added up (a union of the rows themselves reads slower).
    auto grouped = [&](const QString &accounts) {
        return QStringLiteral("SELECT a.CustomerID, a.loc, SUM(a.ID <> 0) AS n, ")
               + agedColumns(QStringLiteral("(a.owed - a.paid)"), QStringLiteral("a.InvoiceDate"), asOf)
               + QStringLiteral(" FROM ") + accounts
               + QStringLiteral(" a WHERE a.owed IS NOT NULL AND a.owed <> a.paid GROUP BY a.CustomerID, a.loc");
    };
    const QString sql =
        QStringLiteral("SELECT g.CustomerID, c.CompanyName, g.loc, g.n, g.age0, g.age1, g.age2, g.age3 FROM (SELECT "
                       "u.CustomerID, u.loc, SUM(u.n) AS n, SUM(u.age0) AS age0, SUM(u.age1) AS age1, SUM(u.age2) AS "
                       "age2, SUM(u.age3) AS age3 FROM (")
        + grouped(db::dues::stoneAccountsSql(asOf)) + QStringLiteral(" UNION ALL ")
        + grouped(db::dues::lineAccountsSql(asOf))
        + QStringLiteral(") u GROUP BY u.CustomerID, u.loc) g LEFT JOIN Customer c ON c.ID = g.CustomerID ORDER BY "
                         "c.CompanyName, g.CustomerID, g.loc");
    return balancesFrom(ctx, sql, false, asOf);
}

Balances payables(AppContext &ctx, const QDate &asOfIn)
{
    const QDate asOf = asOfIn.isValid() ? asOfIn : QDate::currentDate();
    // The stones whose account with a supplier or consignor is open: bought
    // from a supplier, or consigned in and sold (or paid towards), not
    // returned to the vendor; from the day sold, else the day entered.
    const QString inner =
        QStringLiteral("SELECT IF(IFNULL(s.ConsignmentInCustomerID, 0) <> 0, s.ConsignmentInCustomerID, s.SupplierID) "
                       "AS party, ")
        + kBoughtLocal + QStringLiteral(" AS loc, ROUND(IFNULL(IF(") + kBoughtLocal
        + QStringLiteral(", s.BoughtPriceLocal, s.BoughtPriceUS), 0), 2) - IF(") + kBoughtLocal
        + QStringLiteral(", IFNULL(m.lo, 0), IFNULL(m.us, 0)) AS balance, DATE(IF(s.Status = 'Sold', "
                         "IFNULL(s.DateStatusChange, s.DateCreated), s.DateCreated)) AS since FROM SingleStone s JOIN "
                         "(SELECT StoneID, SUM(PaymentUS) AS us, SUM(PaymentLocal) AS lo FROM PaymentMade WHERE Date < ")
        + dayAfter(asOf)
        + QStringLiteral(" GROUP BY StoneID) m ON m.StoneID = s.ID WHERE IFNULL(s.Status, '') <> 'returned' AND "
                         "(IFNULL(s.ConsignmentInCustomerID, 0) = 0 OR s.Status = 'Sold' OR IFNULL(m.us, 0) <> 0 OR "
                         "IFNULL(m.lo, 0) <> 0)");
    const QString sql = QStringLiteral("SELECT x.party, c.CompanyName, x.loc, COUNT(*), ")
                        + agedColumns(QStringLiteral("x.balance"), QStringLiteral("x.since"), asOf)
                        + QStringLiteral(" FROM (") + inner
                        + QStringLiteral(") x LEFT JOIN Customer c ON c.ID = x.party WHERE IFNULL(x.party, 0) <> 0 AND "
                                         "x.balance <> 0 GROUP BY x.party, c.CompanyName, x.loc ORDER BY "
                                         "c.CompanyName, x.party, x.loc");
    return balancesFrom(ctx, sql, true, asOf);
}

QStringList balancesText(const Balances &b)
{
    QStringList out;
    const QString who = b.payables ? QStringLiteral("Supplier") : QStringLiteral("Customer");
    out << QStringLiteral("%1 as of %2").arg(b.payables ? QStringLiteral("Payables") : QStringLiteral("Receivables"),
                                             b.asOf.toString(Qt::ISODate));
    out << (QStringList{QStringLiteral("ID"), who, QStringLiteral("Currency"), QStringLiteral("Stones")}
            + bucketHeadings() + QStringList{QStringLiteral("Balance")})
               .join(QLatin1Char('\t'));
    auto cells = [](const Aged &a) {
        QStringList c;
        for (const Decimal5 &x : a.buckets)
            c << x.grouped2();
        c << a.total().grouped2();
        return c;
    };
    for (const PartyBalance &r : b.rows)
        out << (QStringList{QString::number(r.partyId), r.name, r.local ? b.localName : QStringLiteral("US$"),
                            QString::number(r.stones)}
                + cells(r.aged))
                   .join(QLatin1Char('\t'));
    for (int cur = 0; cur < 2; ++cur)
        out << (QStringList{QString(), QStringLiteral("Total"), cur == 1 ? b.localName : QStringLiteral("US$"), QString()}
                + cells(b.totals[cur]))
                   .join(QLatin1Char('\t'));
    return out;
}

bool writeBalancesCsv(const Balances &b, const QString &path, QString *error)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        if (error)
            *error = f.errorString();
        return false;
    }
    QTextStream out(&f);
    auto field = [](QString v) {
        // A text a spreadsheet would take for a formula is kept as text.
        if (!v.isEmpty() && QStringLiteral("=+-@").contains(v.at(0)) && !(v.at(0) == QLatin1Char('-') && v.size() > 1 && v.at(1).isDigit()))
            v.prepend(QLatin1Char('\''));
        v.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        return QLatin1Char('"') + v + QLatin1Char('"');
    };
    const QStringList lines = balancesText(b);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        QStringList cells = lines.at(i).split(QLatin1Char('\t'));
        for (QString &c : cells)
            c = field(i == 1 ? c : c.remove(QLatin1Char(',')));
        out << cells.join(QLatin1Char(',')) << "\r\n";
    }
    out.flush();
    if (!f.commit()) {
        if (error)
            *error = f.errorString();
        return false;
    }
    return true;
}

} // namespace velmor::payments
