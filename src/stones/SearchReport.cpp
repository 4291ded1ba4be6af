#include "stones/SearchReport.h"

#include "core/KnownRates.h"
#include "core/Settings.h"
#include "core/Workstation.h"
#include "printing/PrintSurface.h"

#include <QHash>
#include <QLocale>
#include <algorithm>
#include <functional>

namespace velmor::stones {

const QString kReportFooter = QStringLiteral("Report prepared by VELMOR - diamond stock for the trade");

// searchtable.ini ---------------------------------------------------------------

SavedSearch readSavedSearch(const Workstation &ws)
{
    SavedSearch s;
    if (!ws.exists(QStringLiteral("searchtable.ini")))
        return s;
    QStringList l = ws.readLines(QStringLiteral("searchtable.ini"));
    while (l.size() < 16)
        l << QString();
    auto flag = [&](int i) { return l.at(i).contains(QLatin1String("True")); };
    s.sku = l.at(0);
    s.shape = l.at(1);
    s.day = l.at(2);
    s.lab = l.at(3);
    s.highWeight = l.at(4);
    s.lowWeight = l.at(5);
    s.highColour = l.at(6);
    s.lowColour = l.at(7);
    s.highClarity = l.at(8);
    s.lowClarity = l.at(9);
    s.allowRange = flag(10);
    s.inStock = flag(11);
    s.memo = flag(12);
    s.preSold = flag(13);
    s.sold = flag(14);
    s.certificate = l.at(15);
    return s;
}

bool writeSavedSearch(const Workstation &ws, const SavedSearch &s)
{
    auto flag = [](const char *name, bool on) {
        return QString::fromLatin1(name) + (on ? QStringLiteral("True") : QStringLiteral("False"));
    };
    // One value a line: a line break typed into a filter would shift the rest.
    auto one = [](QString t) { return t.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' ')); };
    return ws.writeLines(QStringLiteral("searchtable.ini"),
                         {one(s.sku), one(s.shape), one(s.day), one(s.lab), one(s.highWeight), one(s.lowWeight),
                          one(s.highColour), one(s.lowColour), one(s.highClarity), one(s.lowClarity),
                          flag("AllowRange", s.allowRange), flag("InStock", s.inStock), flag("Memo", s.memo),
                          flag("PreSold", s.preSold), flag("Sold", s.sold), one(s.certificate)});
}

PrintPreferences readPrintPreferences(const Workstation &ws)
{
    QStringList l = ws.readLines(QStringLiteral("printpreferences.ini"));
    while (l.size() < 4)
        l << QString();
    auto on = [&](int i) { return l.at(i).contains(QLatin1String("True")); };
    return {on(0), on(1), on(2), on(3)};
}

bool writePrintPreferences(const Workstation &ws, const PrintPreferences &p)
{
    auto flag = [](const char *name, bool on) {
        return QString::fromLatin1(name) + (on ? QStringLiteral("True") : QStringLiteral("False"));
    };
    return ws.writeLines(QStringLiteral("printpreferences.ini"),
                         {flag("Status", p.status), flag("Rap", p.rap), flag("Cost", p.cost),
                          flag("Pricing", p.pricing)});
}

// The report ---------------------------------------------------------------------

namespace {

using printing::PrintSurface;

const QString kFont = QStringLiteral("Arial");
constexpr double kRight = 11000;

QString money(double v) { return moneyText(v); }

void footer(PrintSurface &s, double y)
{
    s.setFont(kFont, 6);
    s.setPosition(500, y);
    s.printLine(kReportFooter);
}

// Under the last row: how many stones, and their list total.
void totalsLine(PrintSurface &s, const SearchReport &r, double right, double points)
{
    s.setFont(kFont, points, true);
    s.CurrentY += s.textHeight() / 2;
    const QString t = reportTotalsLine(r.rows);
    s.setPosition(right - s.textWidth(t), s.CurrentY);
    s.printLine(t);
}

// The page header; leaves y below the column headings.
void header(PrintSurface &s, const Settings &c, const SearchReport &r)
{
    double logoWidth = 0;
    if (!r.logo.isNull()) {
        const QSizeF fit = QSizeF(r.logo.size()).scaled(QSizeF(4000, 1500), Qt::KeepAspectRatio);
        s.drawPicture(r.logo, 500, 500, fit.width(), fit.height());
        logoWidth = fit.width();
    }
    const double left = 500 + logoWidth + 200;
    // The dealer's lines end before the widest text of the criteria block.
    const QStringList criteria = QStringList{QString(), QStringLiteral("Search Criteria:")} + criteriaLines(r.criteria);
    s.setFont(kFont, 20);
    double rightBlock = s.textWidth(QStringLiteral("Diamond Search Report"));
    s.setFont(kFont, 8);
    for (const QString &t : criteria)
        rightBlock = std::max(rightBlock, s.textWidth(t));
    const double leftWidth = std::max(1000.0, kRight - rightBlock - 200 - left);
    s.setPosition(left, 500);
    QString city = c.CompanyCity;
    if (!c.CompanyProvince.isEmpty())
        city += (city.isEmpty() ? QString() : QStringLiteral(", ")) + c.CompanyProvince;
    for (const QString &line :
         {c.CompanyName, c.CompanyStreet1, c.CompanyStreet2, city, QString(), QStringLiteral("Phone:  ") + c.CompanyPhone,
          QStringLiteral("Fax:    ") + c.CompanyFax, QStringLiteral("E-Mail: ") + c.CompanyEMail,
          QStringLiteral("WWW:    ") + c.CompanyWWW, QString()}) {
        s.CurrentX = left;
        s.printLine(s.fitted(line, leftWidth));
    }
    double y = std::max(s.CurrentY, 500 + (r.logo.isNull() ? 0.0 : 1500.0));

    // The criteria on the right.
    auto right = [&](const QString &t) {
        s.CurrentX = kRight - s.textWidth(t);
        s.printLine(t);
    };
    s.setFont(kFont, 20);
    s.CurrentY = 500;
    right(QStringLiteral("Diamond Search Report"));
    s.setFont(kFont, 8);
    for (const QString &t : criteria)
        right(t);
    // The rule under both blocks, whichever is longer.
    y = std::max(y, s.CurrentY);
    s.setLineWidth(10);
    s.drawLine(500, y, kRight, y);
    s.setPosition(0, y);
    s.printLine(QString()); // the empty line under the rule
}

constexpr double kSimpleGap = 80; // free space before the next column
const int kSimpleCols[] = {ColSKU, ColShape, ColCert, ColWeight, ColColour, ColClarity, ColCut, ColMeasurement};
const char *const kSimpleHeads[] = {"SKU#", "Shape", "Certificate", "Weight", "Colour", "Clarity", "Cut", "Measurement"};

// The simple report's columns, each as wide as its heading and widest value;
// the free texts (SKU, shape, colour) give up room when the page is too
// narrow and go on in the column's next line; a figure, a number or a grade
// is whole.
QList<double> simpleColumns(PrintSurface &s, const SearchReport &r, double right)
{
    QList<double> needed;
    for (int i = 0; i < 8; ++i) {
        s.setFont(kFont, 10, false, true);
        double w = s.textWidth(QString::fromLatin1(kSimpleHeads[i]));
        s.setFont(kFont, 10, false, false);
        for (const SearchRow &row : r.rows)
            w = std::max(w, s.textWidth(row.cells.value(kSimpleCols[i])));
        needed << w;
    }
    return printing::columnEdges(needed, 500, right, {0, 1, 4}, kSimpleGap);
}

void simpleHeadings(PrintSurface &s, const QList<double> &x)
{
    s.setFont(kFont, 10, false, true);
    s.setColumns(x);
    const double y = s.CurrentY;
    for (int i = 0; i < 8; ++i) {
        s.setPosition(x.at(i), y);
        s.printLine(QString::fromLatin1(kSimpleHeads[i]));
    }
}

bool drawSimple(PrintSurface &s, const Settings &c, const SearchReport &r)
{
    const double right = s.pageWidth() > 0 ? std::min(kRight, s.pageWidth() - 100) : kRight;
    const QList<double> x = simpleColumns(s, r, right);
    auto newPage = [&] {
        s.setColumns({});
        footer(s, 14000);
        s.newPage();
        header(s, c, r);
    };
    if (r.rows.isEmpty()) {
        header(s, c, r);
        simpleHeadings(s, x);
    }
    for (int n = 0; n < r.rows.size(); ++n) {
        const SearchRow &row = r.rows.at(n);
        // A text wider than its column goes on in the column's next line
        // (a Canadian SKU's ">CANADIAN<" under the SKU).
        s.setFont(kFont, 10, false, false);
        QList<QStringList> cells;
        qsizetype lines = 1;
        for (int i = 0; i < 8; ++i) {
            cells << s.wrapped(row.cells.value(kSimpleCols[i]), x.at(i + 1) - x.at(i) - kSimpleGap);
            lines = std::max(lines, cells.last().size());
        }
        if (n == 0) {
            header(s, c, r);
            simpleHeadings(s, x);
        } else if (s.CurrentY >= 13500 || s.CurrentY + lines * s.textHeight() > 13900) {
            newPage();
            simpleHeadings(s, x);
        }
        s.setFont(kFont, 10, false, false);
        const double y = s.CurrentY;
        double rowBottom = y + s.textHeight();
        for (int i = 0; i < 8; ++i) {
            double ly = y;
            for (const QString &line : cells.at(i)) {
                s.setPosition(x.at(i), ly);
                s.printLine(line);
                ly = s.CurrentY;
            }
            rowBottom = std::max(rowBottom, ly);
        }
        s.setPosition(0, rowBottom);
        if ((n + 1) % 2 == 0) {
            s.setLineWidth(3);
            s.drawLine(500, s.CurrentY, right, s.CurrentY);
        }
    }
    s.setColumns({});
    s.setFont(kFont, 10, true);
    if (s.CurrentY + 2 * s.textHeight() > 13900)
        newPage();
    totalsLine(s, r, right, 10);
    footer(s, 14000);
    return true;
}

struct FullColumn {
    QString title;
    bool text; // free text that may be shortened when the page is too narrow
    std::function<QString(const SearchRow &)> value;
};

// The price columns the settings leave out: a per-stone column unless its
// Hide flag is set, a per-carat cost or selling price only with its Show flag.
bool columnShown(const Settings &st, const QString &title)
{
    static const QHash<QString, bool Settings::*> hiddenBy = {
        {QStringLiteral("rap $/ct"), &Settings::HideRapUS_CT},
        {QStringLiteral("rap us$"), &Settings::HideRapUS_Stone},
        {QStringLiteral("cost us$/st"), &Settings::HideCostUS_ST},
        {QStringLiteral("cost my$/st"), &Settings::HideCostMY_ST},
        {QStringLiteral("sell us$"), &Settings::HideSellPriceUS_ST},
        {QStringLiteral("sell my$"), &Settings::HideSellPriceMY_ST},
    };
    static const QHash<QString, bool Settings::*> shownBy = {
        {QStringLiteral("cost us$/ct"), &Settings::ShowCostUS_CT},
        {QStringLiteral("cost my$/ct"), &Settings::ShowCostMY_CT},
        {QStringLiteral("sell us$/ct"), &Settings::ShowSellPriceUS_CT},
        {QStringLiteral("sell my$/ct"), &Settings::ShowSellPriceMY_CT},
    };
    if (const auto h = hiddenBy.constFind(title); h != hiddenBy.constEnd())
        return !(st.*(*h));
    if (const auto w = shownBy.constFind(title); w != shownBy.constEnd())
        return st.*(*w);
    return true;
}

// A US amount in the local currency (the one conversion), and per carat
// from it; "???" at an unknown rate (the report is refused before).
QString localAmount(double us, double rate)
{
    const std::optional<Decimal5> l = convertedAmount(Decimal5::fromDouble(us).rounded(2), rate);
    return l ? l->grouped2() : QStringLiteral("???");
}
QString localPerCarat(double us, double carat, double rate)
{
    if (carat == 0)
        return QString();
    const std::optional<Decimal5> l = convertedAmount(Decimal5::fromDouble(us).rounded(2), rate);
    return l ? l->dividedBy(Decimal5::fromDouble(carat), 2).grouped2() : QStringLiteral("???");
}

QList<FullColumn> fullColumns(const PrintPreferences &p, const Settings &st, double rate)
{
    auto cell = [](int c) { return [c](const SearchRow &r) { return r.cells.value(c); }; };
    auto perCt = [](double v, double carat) { return carat != 0 ? money(v / carat) : QString(); };
    QList<FullColumn> cols;
    cols << FullColumn{QStringLiteral("SKU"), true, cell(ColSKU)};
    if (p.status)
        cols << FullColumn{QStringLiteral("#"), true, cell(ColHash)}
             << FullColumn{QStringLiteral("Paid"), false, [](const SearchRow &r) {
                                return r.paid ? QStringLiteral("Yes") : QStringLiteral("No");
                            }};
    cols << FullColumn{QStringLiteral("Shape"), true, cell(ColShape)}
         << FullColumn{QStringLiteral("Cert#"), true, cell(ColCert)}
         << FullColumn{QStringLiteral("Weight"), false, cell(ColWeight)}
         << FullColumn{QStringLiteral("Colour"), false, cell(ColColour)}
         << FullColumn{QStringLiteral("Clarity"), false, cell(ColClarity)}
         << FullColumn{QStringLiteral("Cut"), true, cell(ColCut)}
         << FullColumn{QStringLiteral("Measurement"), true, cell(ColMeasurement)};
    if (p.rap)
        cols << FullColumn{QStringLiteral("rap $/ct"), false, [](const SearchRow &r) { return money(r.rap); }}
             << FullColumn{QStringLiteral("rap us$"), false, [](const SearchRow &r) { return money(r.rapPerStone); }};
    if (p.cost)
        cols << FullColumn{QStringLiteral("rap buy"), false,
                           [](const SearchRow &r) {
                               const double list = r.rapThen * r.carat;
                               return list != 0 ? money(100 - 100 * r.boughtUS / list) : QString();
                           }}
             << FullColumn{QStringLiteral("cost us$/ct"), false,
                           [perCt](const SearchRow &r) { return perCt(r.boughtUS, r.carat); }}
             << FullColumn{QStringLiteral("cost us$/st"), false, [](const SearchRow &r) { return money(r.boughtUS); }}
             << FullColumn{QStringLiteral("cost my$/ct"), false,
                           [rate](const SearchRow &r) { return localPerCarat(r.boughtUS, r.carat, rate); }}
             << FullColumn{QStringLiteral("cost my$/st"), false,
                           [rate](const SearchRow &r) { return localAmount(r.boughtUS, rate); }};
    if (p.pricing)
        cols << FullColumn{QStringLiteral("rap sell"), false, [](const SearchRow &r) { return money(r.sellOffRap); }}
             << FullColumn{QStringLiteral("sell us$/ct"), false,
                           [perCt](const SearchRow &r) { return perCt(r.sellUS, r.carat); }}
             << FullColumn{QStringLiteral("sell us$"), false, [](const SearchRow &r) { return money(r.sellUS); }}
             << FullColumn{QStringLiteral("sell my$/ct"), false,
                           [rate](const SearchRow &r) { return localPerCarat(r.sellUS, r.carat, rate); }}
             << FullColumn{QStringLiteral("sell my$"), false, [rate](const SearchRow &r) { return localAmount(r.sellUS, rate); }};
    cols.removeIf([&st](const FullColumn &c) { return !columnShown(st, c.title); });
    return cols;
}

// The full report's column positions from the widths of their texts: each
// column as wide as its heading and its widest value, the space left over
// shared out between the columns.  When the page is too narrow the font gets
// smaller, down to 5 pt, and then the free-text columns are shortened.
struct FullLayout {
    double points = 6.5;
    QList<double> x, width;
};

FullLayout layOut(PrintSurface &s, const QList<FullColumn> &cols, const QList<SearchRow> &rows, double available)
{
    constexpr double gap = 120;
    FullLayout l;
    auto measure = [&](double points) {
        l.points = points;
        l.width.clear();
        for (const FullColumn &c : cols) {
            s.setFont(kFont, points, true);
            double w = s.textWidth(c.title);
            s.setFont(kFont, points);
            for (const SearchRow &row : rows)
                w = std::max(w, s.textWidth(c.value(row)));
            l.width << w;
        }
        double total = 0;
        for (double w : l.width)
            total += w + gap;
        return total;
    };
    double total = measure(6.5);
    for (double pt = 6.25; total > available && pt >= 5; pt -= 0.25)
        total = measure(pt);
    if (total > available) {
        // The free-text columns give up their excess in equal shares, the
        // fixed ones keep their width.
        double fixed = 0;
        int shared = 0;
        for (int i = 0; i < cols.size(); ++i) {
            if (cols.at(i).text)
                ++shared;
            else
                fixed += l.width.at(i) + gap;
        }
        const double each = shared ? (available - fixed) / shared - gap : 0;
        for (int i = 0; i < cols.size(); ++i) {
            if (cols.at(i).text) {
                s.setFont(kFont, l.points, true);
                l.width[i] = std::max(std::min(l.width.at(i), each), s.textWidth(cols.at(i).title));
            }
        }
        total = 0;
        for (double w : l.width)
            total += w + gap;
    }
    const double extra = cols.isEmpty() ? 0 : std::max(0.0, (available - total) / cols.size());
    double at = 500;
    for (int i = 0; i < cols.size(); ++i) {
        l.x << at;
        at += l.width.at(i) + gap + extra;
    }
    return l;
}

bool drawFull(PrintSurface &s, const Settings &c, const SearchReport &r)
{
    s.setOrientation(2);
    const QList<FullColumn> cols = fullColumns(r.options, c, r.localRate);
    const double right = s.pageWidth() > 0 ? s.pageWidth() - 500 : 14500;
    const FullLayout l = layOut(s, cols, r.rows, right - 500);
    const QList<double> &x = l.x;
    const double bottom = s.pageHeight() - 900;
    QList<double> edges = x;
    edges << right;
    auto headings = [&] {
        s.setFont(kFont, l.points, true);
        s.setColumns(edges);
        const double y = s.CurrentY;
        for (int i = 0; i < cols.size(); ++i) {
            s.setPosition(x.at(i), y);
            s.printLine(cols.at(i).title);
        }
        s.setFont(kFont, l.points);
    };
    // The filters the list was made with, under the title of every page.
    const QString criteria = QStringLiteral("Search Criteria: ") + criteriaLines(r.criteria).join(QStringLiteral("; "));
    auto top = [&] {
        s.setColumns({});
        s.setFont(kFont, 14);
        s.setPosition(500, 500);
        s.printLine(QStringLiteral("Diamond Search Report"));
        s.setFont(kFont, 8);
        s.CurrentX = 500;
        s.printLine(c.CompanyName);
        for (const QString &line : s.wrapped(criteria, right - 500)) {
            s.CurrentX = 500;
            s.printLine(line);
        }
        s.printLine(QString());
        headings();
    };
    top();
    for (const SearchRow &row : r.rows) {
        // A free text wider than its column goes on in the column's next
        // line (a Canadian SKU's ">CANADIAN<"); a figure is never cut.
        QList<QStringList> cells;
        qsizetype lines = 1;
        for (int i = 0; i < cols.size(); ++i) {
            const QString v = cols.at(i).value(row);
            cells << (cols.at(i).text ? s.wrapped(v, l.width.at(i)) : QStringList{s.fitted(v, l.width.at(i))});
            lines = std::max(lines, cells.last().size());
        }
        if (s.CurrentY >= bottom - 400 || s.CurrentY + lines * s.textHeight() > bottom - 200) {
            s.setColumns({});
            footer(s, bottom);
            s.newPage();
            top();
        }
        const double y = s.CurrentY;
        double next = y + s.textHeight();
        for (int i = 0; i < cols.size(); ++i) {
            s.setPosition(x.at(i), y);
            for (const QString &t : cells.at(i)) {
                s.CurrentX = x.at(i);
                s.printLine(t);
            }
            next = std::max(next, s.CurrentY);
        }
        s.setPosition(0, next);
    }
    s.setColumns({});
    s.setLineWidth(3);
    s.drawLine(500, s.CurrentY, right, s.CurrentY);
    s.setFont(kFont, 8, true);
    if (s.CurrentY + 2 * s.textHeight() > bottom - 200) {
        footer(s, bottom);
        s.newPage();
        top();
    }
    totalsLine(s, r, right, 8);
    footer(s, bottom);
    return true;
}

} // namespace

QStringList criteriaLines(const SearchCriteria &k)
{
    return QStringList{QStringLiteral("Shape: ") + k.shape, QStringLiteral("Laboratory: ") + k.lab,
                       QStringLiteral("Weight: ") + k.lowWeight + QStringLiteral(" - ") + k.highWeight
                           + (k.widened ? QStringLiteral(" (+/- 15%)") : QString()),
                       QStringLiteral("Colour: ") + k.lowColour + QStringLiteral(" - ") + k.highColour,
                       QStringLiteral("Clarity: ") + k.lowClarity + QStringLiteral(" - ") + k.highClarity}
           + k.others;
}

QString reportTotalsLine(const QList<SearchRow> &rows)
{
    // The screen's figures: the server's sums, which totalsOfRows gives
    // exactly for the rows in hand.
    double rap = 0;
    if (const auto t = totalsOfRows(rows))
        rap = t->rapSum;
    else
        for (const SearchRow &r : rows)
            rap += r.rapPerStone;
    return QStringLiteral("%1 %2, Total RAP US$ %3")
        .arg(rows.size())
        .arg(rows.size() == 1 ? QStringLiteral("stone") : QStringLiteral("stones"), moneyText(rap));
}

QStringList fullReportColumns(const PrintPreferences &p, const Settings &settings)
{
    QStringList t;
    for (const FullColumn &c : fullColumns(p, settings, 1))
        t << c.title;
    return t;
}

bool drawSearchReport(PrintSurface &s, const Settings &company, const SearchReport &r, QString *error)
{
    // Local columns at a rate nobody knows are never printed (as 0.00 or
    // at all): the report is refused, naming the rate.
    if (!r.simple && !rateFigure(r.localRate)) {
        for (const FullColumn &c : fullColumns(r.options, company, 0))
            if (c.title.contains(QLatin1String("my$"))) {
                if (error)
                    *error = QStringLiteral("The exchange rate to %1 is not known, and the report has %1 columns.\n\n"
                                            "Please set it on the rate screen (Exchange and Metal Rates) or under "
                                            "Configuration, \"Working exchange rates\", or print the report without "
                                            "cost and price columns.")
                                 .arg(company.currencyName());
                return false;
            }
    }
    return r.simple ? drawSimple(s, company, r) : drawFull(s, company, r);
}

} // namespace velmor::stones
