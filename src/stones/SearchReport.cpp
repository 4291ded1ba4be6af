#include "stones/SearchReport.h"

#include "core/Settings.h"
#include "core/Workstation.h"
#include "printing/PrintSurface.h"

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
    s.setFont(kFont, 8);
    s.setPosition(left, 500);
    QString city = c.CompanyCity;
    if (!c.CompanyProvince.isEmpty())
        city += (city.isEmpty() ? QString() : QStringLiteral(", ")) + c.CompanyProvince;
    for (const QString &line :
         {c.CompanyName, c.CompanyStreet1, c.CompanyStreet2, city, QString(), QStringLiteral("Phone:  ") + c.CompanyPhone,
          QStringLiteral("Fax:    ") + c.CompanyFax, QStringLiteral("E-Mail: ") + c.CompanyEMail,
          QStringLiteral("WWW:    ") + c.CompanyWWW, QString()}) {
        s.CurrentX = left;
        s.printLine(line);
    }
    double y = std::max(s.CurrentY, 500 + (r.logo.isNull() ? 0.0 : 1500.0));
    s.setLineWidth(10);
    s.drawLine(500, y, kRight, y);

    // The criteria on the right.
    auto right = [&](const QString &t) {
        s.CurrentX = kRight - s.textWidth(t);
        s.printLine(t);
    };
    s.setFont(kFont, 20);
    s.CurrentY = 500;
    right(QStringLiteral("Diamond Search Report"));
    s.setFont(kFont, 8);
    const SearchCriteria &k = r.criteria;
    right(QString());
    right(QStringLiteral("Search Criteria:"));
    right(QStringLiteral("Shape: ") + k.shape);
    right(QStringLiteral("Laboratory: ") + k.lab);
    right(QStringLiteral("Weight: ") + k.lowWeight + QStringLiteral(" - ") + k.highWeight
          + (k.widened ? QStringLiteral(" (+/- 15%)") : QString()));
    right(QStringLiteral("Colour: ") + k.lowColour + QStringLiteral(" - ") + k.highColour);
    right(QStringLiteral("Clarity: ") + k.lowClarity + QStringLiteral(" - ") + k.highClarity);
    s.setPosition(0, std::max(y, s.CurrentY));
    s.printLine(QString()); // the empty line under the rule
}

const double kSimpleX[] = {500, 1900, 3900, 5900, 6900, 7600, 8800, 9800};

void simpleHeadings(PrintSurface &s)
{
    s.setFont(kFont, 10, false, true);
    const QStringList h = {QStringLiteral("SKU#"),   QStringLiteral("Shape"),  QStringLiteral("Certificate"),
                           QStringLiteral("Weight"), QStringLiteral("Colour"), QStringLiteral("Clarity"),
                           QStringLiteral("Cut"),    QStringLiteral("Measurement")};
    const double y = s.CurrentY;
    for (int i = 0; i < h.size(); ++i) {
        s.setPosition(kSimpleX[i], y);
        s.printLine(h.at(i));
    }
}

bool drawSimple(PrintSurface &s, const Settings &c, const SearchReport &r)
{
    if (r.rows.isEmpty()) {
        header(s, c, r);
        simpleHeadings(s);
    }
    for (int n = 0; n < r.rows.size(); ++n) {
        if (n == 0) {
            header(s, c, r);
            simpleHeadings(s);
        } else if (s.CurrentY >= 13500) {
            footer(s, 14000);
            s.newPage();
            header(s, c, r);
            simpleHeadings(s);
        }
        const SearchRow &row = r.rows.at(n);
        s.setFont(kFont, 10, false, false);
        const int cols[] = {ColSKU, ColShape, ColCert, ColWeight, ColColour, ColClarity, ColCut, ColMeasurement};
        const double y = s.CurrentY;
        for (int i = 0; i < 8; ++i) {
            s.setPosition(kSimpleX[i], y);
            s.printLine(row.cells.value(cols[i]));
        }
        if ((n + 1) % 2 == 0) {
            s.setLineWidth(3);
            s.drawLine(500, s.CurrentY, kRight, s.CurrentY);
        }
    }
    footer(s, 14000);
    return true;
}

struct FullColumn {
    QString title;
    double width;
    std::function<QString(const SearchRow &)> value;
};

QList<FullColumn> fullColumns(const PrintPreferences &p, double rate)
{
    auto cell = [](int c) { return [c](const SearchRow &r) { return r.cells.value(c); }; };
    auto perCt = [](double v, double carat) { return carat != 0 ? money(v / carat) : QString(); };
    QList<FullColumn> cols;
    cols << FullColumn{QStringLiteral("SKU"), 1300, cell(ColSKU)};
    if (p.status)
        cols << FullColumn{QStringLiteral("#"), 1100, cell(ColHash)}
             << FullColumn{QStringLiteral("Paid"), 400, [](const SearchRow &r) {
                                return r.paid ? QStringLiteral("Yes") : QStringLiteral("No");
                            }};
    cols << FullColumn{QStringLiteral("Shape"), 1000, cell(ColShape)}
         << FullColumn{QStringLiteral("Cert#"), 1200, cell(ColCert)}
         << FullColumn{QStringLiteral("Weight"), 550, cell(ColWeight)}
         << FullColumn{QStringLiteral("Colour"), 500, cell(ColColour)}
         << FullColumn{QStringLiteral("Clarity"), 500, cell(ColClarity)}
         << FullColumn{QStringLiteral("Cut"), 600, cell(ColCut)}
         << FullColumn{QStringLiteral("Measurement"), 1200, cell(ColMeasurement)};
    if (p.rap)
        cols << FullColumn{QStringLiteral("rap $/ct"), 750, [](const SearchRow &r) { return money(r.rap); }}
             << FullColumn{QStringLiteral("rap us$"), 800, [](const SearchRow &r) { return money(r.rapPerStone); }};
    if (p.cost)
        cols << FullColumn{QStringLiteral("rap buy"), 500,
                           [](const SearchRow &r) {
                               const double list = r.rapThen * r.carat;
                               return list != 0 ? money(100 - 100 * r.boughtUS / list) : QString();
                           }}
             << FullColumn{QStringLiteral("cost us$/ct"), 750,
                           [perCt](const SearchRow &r) { return perCt(r.boughtUS, r.carat); }}
             << FullColumn{QStringLiteral("cost us$/st"), 800, [](const SearchRow &r) { return money(r.boughtUS); }}
             << FullColumn{QStringLiteral("cost my$/ct"), 750,
                           [perCt, rate](const SearchRow &r) { return perCt(r.boughtUS * rate, r.carat); }}
             << FullColumn{QStringLiteral("cost my$/st"), 800,
                           [rate](const SearchRow &r) { return money(r.boughtUS * rate); }};
    if (p.pricing)
        cols << FullColumn{QStringLiteral("rap sell"), 500, [](const SearchRow &r) { return money(r.sellOffRap); }}
             << FullColumn{QStringLiteral("sell us$/ct"), 750,
                           [perCt](const SearchRow &r) { return perCt(r.sellUS, r.carat); }}
             << FullColumn{QStringLiteral("sell us$"), 800, [](const SearchRow &r) { return money(r.sellUS); }}
             << FullColumn{QStringLiteral("sell my$/ct"), 750,
                           [perCt, rate](const SearchRow &r) { return perCt(r.sellUS * rate, r.carat); }}
             << FullColumn{QStringLiteral("sell my$"), 800, [rate](const SearchRow &r) { return money(r.sellUS * rate); }};
    return cols;
}

bool drawFull(PrintSurface &s, const Settings &c, const SearchReport &r)
{
    s.setOrientation(2);
    const QList<FullColumn> cols = fullColumns(r.options, r.localRate);
    double total = 0;
    for (const FullColumn &f : cols)
        total += f.width;
    // The columns spread over the width from 500 to 14500.
    const double scale = std::min(1.5, 14000.0 / total);
    QList<double> x;
    double at = 500;
    for (const FullColumn &f : cols) {
        x << at;
        at += f.width * scale;
    }
    const double bottom = s.pageHeight() - 900;
    auto headings = [&] {
        s.setFont(kFont, 6.5, true);
        const double y = s.CurrentY;
        for (int i = 0; i < cols.size(); ++i) {
            s.setPosition(x.at(i), y);
            s.printLine(cols.at(i).title);
        }
        s.setFont(kFont, 6.5);
    };
    auto top = [&] {
        s.setFont(kFont, 14);
        s.setPosition(500, 500);
        s.printLine(QStringLiteral("Diamond Search Report"));
        s.setFont(kFont, 8);
        s.CurrentX = 500;
        s.printLine(c.CompanyName);
        s.printLine(QString());
        headings();
    };
    top();
    for (const SearchRow &row : r.rows) {
        if (s.CurrentY >= bottom - 400) {
            footer(s, bottom);
            s.newPage();
            top();
        }
        const double y = s.CurrentY;
        for (int i = 0; i < cols.size(); ++i) {
            s.setPosition(x.at(i), y);
            s.printLine(cols.at(i).value(row));
        }
    }
    s.setLineWidth(3);
    s.drawLine(500, s.CurrentY, 14500, s.CurrentY);
    footer(s, bottom);
    return true;
}

} // namespace

QStringList fullReportColumns(const PrintPreferences &p)
{
    QStringList t;
    for (const FullColumn &c : fullColumns(p, 1))
        t << c.title;
    return t;
}

bool drawSearchReport(PrintSurface &s, const Settings &company, const SearchReport &r, QString *)
{
    return r.simple ? drawSimple(s, company, r) : drawFull(s, company, r);
}

} // namespace velmor::stones
