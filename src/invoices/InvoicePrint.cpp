#include "invoices/InvoicePrint.h"

#include "core/TextJoin.h"

#include "core/AppContext.h"
#include "core/Settings.h"
#include "core/Users.h"
#include "db/Sql.h"

namespace velmor::invoices {

namespace {

using printing::PrintSurface;

QString localPrefix(Currency c)
{
    return c == Currency::ZAR ? QStringLiteral("ZAR ") : QStringLiteral("CDN ");
}

// The layout is drawn for a Letter page (12240 twips wide); a narrower
// printable area (A4, wide margins) draws the columns closer together so
// that nothing is cut off at the right edge.
thread_local double t_across = 1.0;

double across(double x)
{
    return x * t_across;
}

void at(PrintSurface &s, double x, double y, const QString &text)
{
    s.setPosition(across(x), y);
    s.printLine(text);
}

// The table of the lines: SKU, date added, details, RAP and RAP discount
// (when printed), price per carat, price per stone, tax rate.  Each column
// is as wide as its widest text; the details give up room (they wrap) when
// the figures need it, a figure or a SKU is printed whole.
struct LineTable {
    enum Column { Sku, Date, Details, Rap, Discount, PerCarat, PerStone, Tax, Count };
    QList<double> edges; // twips, Count + 1 values (a column left out has no width)
    double left(Column c) const { return edges.at(c); }
    double width(Column c) const { return edges.at(c + 1) - edges.at(c) - kGap; }
    static constexpr double kGap = 100;
};

const char *const kHeadings[] = {"SKU", "Date added", "Details", "RAP", "RAP Discount", "$/Carat", "$/Stone", "Tax %"};

void columnHeadings(PrintSurface &s, const InvoicePrintOptions &o, const LineTable &t)
{
    s.printLine();
    s.setFontItalic(true);
    s.setColumns(t.edges);
    const double y = s.CurrentY;
    for (int c = 0; c < LineTable::Count; ++c) {
        if ((c == LineTable::Rap && !o.rap) || (c == LineTable::Discount && !o.rapDiscount))
            continue;
        s.setPosition(t.left(LineTable::Column(c)), y);
        s.printLine(QString::fromLatin1(kHeadings[c]));
    }
    s.setFontItalic(false);
    s.printLine();
}

void rule(PrintSurface &s, double y)
{
    s.drawLine(across(500), y, across(12000), y);
    s.setPosition(0, y);
}

// A new page headed "Invoice# 000012 (continued)" and a rule; the position
// is under the rule, in 8 pt.
void continuedPage(PrintSurface &s, const Invoice &inv)
{
    s.setColumns({});
    s.newPage();
    s.setFont(QStringLiteral("Arial"), 8, true);
    at(s, 500, 500,
       QStringLiteral("Invoice# ") + QString::number(inv.id).rightJustified(6, QLatin1Char('0'))
           + QStringLiteral(" (continued)"));
    s.setFont(QStringLiteral("Arial"), 8);
    rule(s, s.CurrentY + 100);
}

} // namespace

bool PrintInvoiceNEWModule(PrintSurface &s, const Invoice &inv, const Settings &dealer, const InvoicePrintOptions &o,
                           QString *error)
{
    const Currency cur = o.currency;
    // An amount at a rate nobody knew is never printed (as 0.00 or at all).
    if (const QString why = inv.unknownAmounts(cur); !why.isEmpty()) {
        if (error)
            *error = why;
        return false;
    }
    const bool local = cur != Currency::US;
    const double width = s.pageWidth();
    t_across = width > 0 ? qMin(1.0, width / 12240.0) : 1.0;

    // Fold mark (at the right edge when the page is narrower).
    constexpr double kFoldY = 5300;
    s.setFont(QStringLiteral("Arial"), 5);
    const double foldBottom = kFoldY + s.textHeight();
    at(s, qMin(11500.0, (width - s.textWidth(QStringLiteral("---fold---"))) / t_across), kFoldY,
       QStringLiteral("---fold---"));

    // Customer block.
    s.setFont(QStringLiteral("Arial"), 10, true);
    s.setPosition(across(1000), 2850);
    // Long names and streets wrap within the address window.
    auto customerLine = [&](const QString &t) {
        const QStringList lines = s.wrapped(t, across(5400));
        for (const QString &line : lines.isEmpty() ? QStringList{QString()} : lines) {
            s.CurrentX = across(1000);
            s.printLine(line);
        }
    };
    for (const QString &t : {inv.CompanyName, inv.CompanyStreet1, inv.CompanyStreet2})
        if (!t.isEmpty())
            customerLine(t);
    customerLine(joinFilled({inv.CompanyCity, inv.CompanyProvince}));
    customerLine(joinFilled({inv.CompanyZIP, inv.CompanyCountry}));
    customerLine(QStringLiteral("Phone: ") + inv.PhoneNumber1);
    customerLine(QStringLiteral("Fax: ") + inv.FaxNumber);
    const double afterCustomer = s.CurrentY;

    // Dealer heading.
    s.setFont(QStringLiteral("Arial"), 12, true);
    s.setPosition(across(6500), 500);
    auto headingLine = [&](const QString &t) {
        const QStringList lines = s.wrapped(t, width - across(6500) - 50);
        for (const QString &line : lines.isEmpty() ? QStringList{QString()} : lines) {
            s.CurrentX = across(6500);
            s.printLine(line);
        }
    };
    const QString zipCountry = (dealer.CompanyZIP + QStringLiteral("  ") + dealer.CompanyCountry).trimmed();
    for (const QString &t : {dealer.CompanyName, dealer.CompanyStreet1, dealer.CompanyStreet2,
                             joinFilled({dealer.CompanyCity, dealer.CompanyProvince}), zipCountry})
        headingLine(t);
    s.setFont(QStringLiteral("Arial"), 10, true);
    headingLine({});
    headingLine(QStringLiteral("ph: ") + dealer.CompanyPhone);
    headingLine(QStringLiteral("fx: ") + dealer.CompanyFax);
    headingLine(QStringLiteral("email: ") + dealer.CompanyEMail);
    headingLine({});

    // Invoice data.
    s.setFontItalic(true);
    auto dataLine = [&](const QString &t) {
        s.CurrentX = across(8500);
        s.printLine(t);
    };
    dataLine(QStringLiteral("Invoice# ") + QString::number(inv.id).rightJustified(6, QLatin1Char('0')));
    dataLine(QStringLiteral("Invoice Date: ") + invoiceDate(inv.created.date()));
    dataLine(QStringLiteral("Print Date: ") + invoiceDate(o.printDate));
    const double afterHeading = s.CurrentY;
    s.setFont(QStringLiteral("Arial"), 8, false, false);

    // Rule and column headings (below a heading that wrapped, too).
    // The fold mark stays where the paper folds: a rule that would run
    // through it goes just below it.
    double ruleY = qMax(afterCustomer + 800, afterHeading + 100);
    if (ruleY > kFoldY - 60 && ruleY < foldBottom + 60)
        ruleY = foldBottom + 60;
    rule(s, ruleY);

    // The texts of each line's cells, then the columns measured from them.
    struct Cells {
        QString sku, date, rap, discount, perCarat, perStone, tax, localPerCarat, localPerStone;
        QStringList desc;
    };
    LineTable table;
    QList<double> needed(LineTable::Count, 0.0);
    s.setFont(QStringLiteral("Arial"), 8, false, true);
    for (int c = 0; c < LineTable::Count; ++c)
        needed[c] = s.textWidth(QString::fromLatin1(kHeadings[c]));
    s.setFont(QStringLiteral("Arial"), 8);
    QList<Cells> cells;
    for (const InvoiceLine &l : inv.lines) {
        Cells c;
        if (l.kind != InvoiceLine::Free)
            c.sku = l.sku;
        c.date = invoiceDate(l.dateAdded.date());
        if (l.kind == InvoiceLine::Stone) {
            c.rap = l.listPriceText(true);
            c.discount = l.discountText();
        }
        // Grouped as the totals are.
        c.perCarat = fixedText(l.priceCarat, true);
        c.perStone = centsText(l.amountCents(), true);
        if (local) {
            c.localPerCarat = localPrefix(cur) + centsText(l.priceCaratCents(cur), true);
            c.localPerStone = centsText(l.amountCents(cur), true);
        }
        c.tax = taxRateText(l.taxRate) + QStringLiteral("%");
        auto widest = [&](int column, const QStringList &texts) {
            for (const QString &t : texts)
                needed[column] = qMax(needed[column], s.textWidth(t));
        };
        widest(LineTable::Sku, {c.sku});
        widest(LineTable::Date, {c.date});
        widest(LineTable::Rap, {c.rap});
        widest(LineTable::Discount, {c.discount});
        widest(LineTable::PerCarat, {c.perCarat, c.localPerCarat});
        widest(LineTable::PerStone, {c.perStone, c.localPerStone});
        widest(LineTable::Tax, {c.tax});
        cells << c;
    }
    // The figures as wide as they need, the details the rest (they wrap);
    // the strip of the fold mark at the right edge stays free.
    const double tableLeft = across(500), tableRight = across(11400);
    QList<int> printed;
    QList<double> printedNeeds;
    double others = 0;
    for (int c = 0; c < LineTable::Count; ++c) {
        if ((c == LineTable::Rap && !o.rap) || (c == LineTable::Discount && !o.rapDiscount))
            continue;
        printed << c;
        printedNeeds << needed.at(c);
        if (c != LineTable::Details)
            others += needed.at(c) + LineTable::kGap;
    }
    const int details = int(printed.indexOf(LineTable::Details));
    printedNeeds[details] = qMax(printedNeeds.at(details), tableRight - tableLeft - others - LineTable::kGap);
    const QList<double> edges =
        printing::columnEdges(printedNeeds, tableLeft, tableRight, {details}, LineTable::kGap);
    // A column left out has no width: it starts and ends where the next one starts.
    table.edges = QList<double>(LineTable::Count + 1, 0.0);
    for (int c = 0, k = 0; c <= LineTable::Count; ++c) {
        table.edges[c] = edges.at(k);
        if (printed.contains(c))
            ++k;
    }
    columnHeadings(s, o, table);

    const double lineHeight = s.textHeight();
    const double descWidth = table.width(LineTable::Details);
    // The totals need their three rows (and the gap above them) free.
    const double lastRowBottom = kTotalsY - lineHeight;
    for (int n = 0; n < inv.lines.size(); ++n) {
        const InvoiceLine &l = inv.lines.at(n);
        Cells &c = cells[n];
        if (l.kind != InvoiceLine::Free)
            c.desc << s.wrapped(l.description(), descWidth);
        if (!l.details.isEmpty())
            c.desc << s.wrapped(l.details, descWidth);
        const int rows = qMax<int>(qMax<int>(c.desc.size(), local ? 2 : 1), 1);
        if (s.CurrentY + rows * lineHeight > lastRowBottom) {
            continuedPage(s, inv);
            columnHeadings(s, o, table);
        }
        const double y = s.CurrentY;
        auto cell = [&](LineTable::Column column, double cy, const QString &text) {
            if (text.isEmpty())
                return;
            s.setPosition(table.left(column), cy);
            s.printLine(text);
        };
        cell(LineTable::Sku, y, c.sku);
        cell(LineTable::Date, y, c.date);
        for (int i = 0; i < c.desc.size(); ++i)
            cell(LineTable::Details, y + i * lineHeight, c.desc.at(i));
        if (o.rap)
            cell(LineTable::Rap, y, c.rap);
        if (o.rapDiscount)
            cell(LineTable::Discount, y, c.discount);
        cell(LineTable::PerCarat, y, c.perCarat);
        cell(LineTable::PerStone, y, c.perStone);
        if (local) {
            cell(LineTable::PerCarat, y + lineHeight, c.localPerCarat);
            cell(LineTable::PerStone, y + lineHeight, c.localPerStone);
        }
        cell(LineTable::Tax, y, c.tax);
        s.setPosition(0, y + rows * lineHeight);
        s.printLine(); // the empty line after each row
    }
    s.setColumns({});

    // Totals: the columns move left as far as their widest figure needs.
    const Totals us = inv.totals(Currency::US);
    const Totals lt = inv.totals(cur);
    s.setFontBold(true);
    const QStringList labels{QStringLiteral("Sub Total: "), QStringLiteral("Tax: "), QStringLiteral("Summary: ")};
    QStringList usTexts{QStringLiteral("US$ ") + centsText(us.subTotal, true),
                        local ? QString() : QStringLiteral("US$ ") + centsText(us.tax, true),
                        QStringLiteral("US$ ") + centsText(us.summary(), true)};
    QStringList localTexts;
    if (local)
        localTexts << localPrefix(cur) + centsText(lt.subTotal, true) << localPrefix(cur) + centsText(lt.tax, true)
                   << localPrefix(cur) + centsText(lt.summary(), true);
    auto widest = [&](const QStringList &texts) {
        double w = 0;
        for (const QString &t : texts)
            w = qMax(w, s.textWidth(t));
        return w;
    };
    const double right = width > 0 ? width - 50 : across(12000);
    const double localX = qMin(across(10500), right - widest(localTexts));
    const double usX = qMin(across(9000), (local ? localX - 150 : right) - widest(usTexts));
    const double labelX = qMin(across(8000), usX - 100 - widest(labels));
    s.setColumns(local ? QList<double>{labelX, usX, localX, right} : QList<double>{labelX, usX, right});
    double y = kTotalsY;
    for (int i = 0; i < 3; ++i) {
        if (i > 0)
            y = s.CurrentY + 50;
        s.setPosition(labelX, y);
        s.printLine(labels.at(i));
        if (!usTexts.at(i).isEmpty()) {
            s.setPosition(usX, y);
            s.printLine(usTexts.at(i));
        }
        if (local) {
            s.setPosition(localX, y);
            s.printLine(localTexts.at(i));
        }
    }
    s.setColumns({});
    s.setFontBold(false);

    // The sales disclaimer, beside the totals; what does not fit above the
    // foot of the page goes on to a new page.
    if (!dealer.SalesDisclaimer.trimmed().isEmpty()) {
        s.setFont(QStringLiteral("Arial"), 7);
        const double bottom = s.pageHeight() > 0 ? s.pageHeight() : 15000;
        double dy = kTotalsY;
        for (const QString &t : s.wrapped(dealer.SalesDisclaimer, qMin(across(7300), labelX - across(500) - 200))) {
            if (dy + s.textHeight() > bottom) {
                continuedPage(s, inv);
                s.setFont(QStringLiteral("Arial"), 7);
                dy = s.CurrentY;
            }
            at(s, 500, dy, t);
            dy = s.CurrentY;
        }
    }
    return true;
}

QString notPrintedMessage(const QString &why)
{
    return QStringLiteral("The invoice was not printed") + (why.isEmpty() ? QString() : QStringLiteral(": ") + why)
           + QStringLiteral("\n\nIt stays open.");
}

InvoicePrinted printInvoice(AppContext &ctx, qint64 invoiceId, const printing::PrintTarget &target,
                            const InvoicePrintOptions &options)
{
    InvoicePrinted r;
    Invoice inv;
    try {
        if (!loadInvoice(ctx.db(), invoiceId, inv)) {
            r.error = QStringLiteral("There is no invoice number %1.").arg(invoiceId);
            return r;
        }
    } catch (const db::DbError &e) {
        r.error = QStringLiteral("The invoice could not be read: ") + e.message();
        return r;
    }
    r.found = true;
    r.wasOpen = inv.isOpen();
    // Printing closes an open invoice: a change of the books, made by a
    // logged-on user with the invoice right.  A closed one only prints.
    if (r.wasOpen) {
        if (const QString why = writeRefusal(ctx.user, rights::Invoices); !why.isEmpty()) {
            r.error = why;
            return r;
        }
    }
    if (const QString why = inv.unknownAmounts(options.currency); !why.isEmpty()) {
        r.error = why;
        return r;
    }
    const Settings &dealer = ctx.settings;
    const printing::PrintOutcome out = printing::printDocument(
        target, [&](printing::PrintSurface &s, QString *error) { return PrintInvoiceNEWModule(s, inv, dealer, options, error); },
        QStringLiteral("Invoice %1").arg(invoiceId));
    r.where = out.where;
    r.pages = out.pages;
    if (!out.ok) {
        r.error = out.error;
        return r;
    }
    r.printed = true;
    try {
        const CloseResult c = closeAfterPrint(ctx.db(), inv);
        r.closed = c == CloseResult::Closed;
        r.linesChanged = c == CloseResult::LinesChanged;
        if (r.linesChanged)
            r.error = linesChangedMessage(invoiceId);
    } catch (const db::DbError &e) {
        r.error = QStringLiteral("The invoice was printed but could not be closed: ") + e.message();
    }
    return r;
}

} // namespace velmor::invoices
