#include "stones/StoneLists.h"

#include "core/KnownRates.h"
#include "core/SpreadsheetCells.h"
#include "stones/SearchReport.h"

#include <QDir>
#include <algorithm>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSaveFile>

namespace velmor::stones {

namespace {

const QString kSep = QStringLiteral(";* ");
const QString kEnd = QStringLiteral("\r\n");

QString two(double v) { return QString::number(v, 'f', 2); }

// The SKU without the grid's Canadian mark.
QString plainSku(const SearchRow &r)
{
    QString s = r.cells.value(ColSKU);
    if (s.endsWith(QLatin1String("  >CANADIAN<")))
        s.chop(12);
    return s;
}

struct ListColumn {
    QString title;
    bool ListOptions::*option; // nullptr: always
    std::function<QString(const SearchRow &)> value;
};

QList<ListColumn> listColumns(int layout)
{
    auto cell = [](int c) { return [c](const SearchRow &r) { return r.cells.value(c); }; };
    const ListColumn sku{QStringLiteral("SKU"), nullptr, plainSku};
    const ListColumn cert{QStringLiteral("Cert#"), &ListOptions::cert, cell(ColCert)};
    const ListColumn lab{QStringLiteral("Laboratory"), &ListOptions::cert, [](const SearchRow &r) { return r.lab; }};
    const ListColumn certificate{QStringLiteral("Certificate"), &ListOptions::cert,
                                 [](const SearchRow &r) { return r.certificate; }};
    const ListColumn shape{QStringLiteral("Shape"), &ListOptions::shape, cell(ColShape)};
    const ListColumn weight{QStringLiteral("Weight"), nullptr, cell(ColWeight)};
    const ListColumn colour{QStringLiteral("Colour"), &ListOptions::colour, cell(ColColour)};
    const ListColumn clarity{QStringLiteral("Clarity"), &ListOptions::clarity, cell(ColClarity)};
    const ListColumn cut{QStringLiteral("Cut"), &ListOptions::cut, cell(ColCut)};
    const ListColumn measure{QStringLiteral("Measurement"), &ListOptions::measurement, cell(ColMeasurement)};
    const ListColumn depth{QStringLiteral("Total Depth [%]"), nullptr, cell(ColDepth)};
    const ListColumn table{QStringLiteral("Table Size [%]"), nullptr, cell(ColTable)};
    const ListColumn girdle{QStringLiteral("Girdle"), nullptr, [](const SearchRow &r) { return r.girdle; }};
    const ListColumn polish{QStringLiteral("Polish"), nullptr, cell(ColPolish)};
    const ListColumn sym{QStringLiteral("Symetry"), nullptr, cell(ColSymetry)};
    const ListColumn fluo{QStringLiteral("Flourescence"), nullptr, cell(ColFlourescence)};
    const ListColumn rapCt{QStringLiteral("Rap US$/ct"), &ListOptions::rapCt, [](const SearchRow &r) { return two(r.rap); }};
    const ListColumn off{QStringLiteral("off RAP"), &ListOptions::rapOff, cell(ColRapPercent)};
    const ListColumn code{QStringLiteral("CODE"), &ListOptions::code, [](const SearchRow &r) { return r.code; }};
    if (layout == 2)
        return {sku, shape, weight, colour, clarity, measure, depth, table, girdle, cut, polish, sym, fluo, rapCt,
                lab, cert, off};
    return {sku, cert, lab, certificate, shape, weight, colour, clarity, cut, measure, depth, table, polish, sym,
            fluo, rapCt, off, code};
}

} // namespace

QList<qint64> stoneIdsOf(const QList<SearchRow> &rows)
{
    QList<qint64> ids;
    for (const SearchRow &r : rows)
        ids << r.id;
    return ids;
}

QString stoneListText(const QList<SearchRow> &rows, const ListOptions &o, bool fileMode, int layout,
                      const QHash<qint64, QStringList> &files)
{
    QList<ListColumn> cols;
    for (const ListColumn &c : listColumns(layout))
        if (!c.option || o.*(c.option))
            cols << c;
    if (o.files && !files.isEmpty())
        cols << ListColumn{QStringLiteral("Files"), nullptr,
                           [&files](const SearchRow &r) { return files.value(r.id).join(QStringLiteral("; ")); }};
    QString text;
    if (fileMode) {
        // The header names the columns the lines hold.
        for (const ListColumn &c : cols)
            text += c.title + kSep;
        text += QStringLiteral("  ") + kEnd;
    }
    for (const SearchRow &r : rows) {
        for (const ListColumn &c : cols)
            text += spreadsheetSafe(c.value(r)) + kSep;
        text += kEnd;
    }
    text += fileMode ? kEnd : kEnd + kEnd;
    text += kReportFooter;
    text.remove(QLatin1Char(','));
    text.replace(kSep, QStringLiteral(", "));
    return text;
}

bool faxNeedsLocalRate(const QList<SearchRow> &rows)
{
    return std::any_of(rows.cbegin(), rows.cend(), [](const SearchRow &r) { return r.sellUS != 0; });
}

QString faxText(const QList<SearchRow> &rows, const QString &currencyName, double localRate)
{
    QString t;
    for (const SearchRow &r : rows) {
        t += QStringList{r.cells.value(ColSKU), r.cells.value(ColCert), r.cells.value(ColShape),
                         r.cells.value(ColWeight), r.cells.value(ColColour), r.cells.value(ColClarity),
                         r.cells.value(ColCut)}
                 .join(QStringLiteral(", "))
             + kEnd;
        if (r.sellUS != 0) {
            const Decimal5 us = Decimal5::fromDouble(r.sellUS).rounded(2);
            const Decimal5 carat = Decimal5::fromDouble(r.carat);
            if (r.carat != 0)
                t += QStringLiteral("US$ /ct: ") + us.dividedBy(carat, 2).grouped2() + kEnd;
            t += QStringLiteral("US$ /Stone: ") + us.grouped2() + kEnd;
            // The local prices only at a known rate (the screen refuses the
            // list before); per carat from the price per stone.
            if (const std::optional<Decimal5> local = convertedAmount(us, localRate)) {
                if (r.carat != 0)
                    t += currencyName + QStringLiteral(" /ct: ") + local->dividedBy(carat, 2).grouped2() + kEnd;
                t += currencyName + QStringLiteral(" /Stone: ") + local->grouped2() + kEnd;
            }
        }
        t += kEnd;
    }
    t += kReportFooter + kEnd;
    t += QStringLiteral("--- END OF FAX ---") + kEnd;
    return t;
}

QStringList tradeNetworkColumns()
{
    // The field names the stone networks' upload formats accept (README names the sources).
    return {QStringLiteral("Shape"),        QStringLiteral("Size"),
            QStringLiteral("Color"),        QStringLiteral("Clarity"),
            QStringLiteral("Cut"),          QStringLiteral("Polish"),
            QStringLiteral("Symmetry"),     QStringLiteral("Fluorescence Intensity"),
            QStringLiteral("Measurements"), QStringLiteral("Depth %"),
            QStringLiteral("Table %"),      QStringLiteral("Lab"),
            QStringLiteral("Certificate #"), QStringLiteral("Stock #"),
            QStringLiteral("Discount %"),   QStringLiteral("Price Per Carat")};
}

QString tradeNetworkCsv(const QList<SearchRow> &rows)
{
    auto field = [](QString v) {
        v = spreadsheetSafe(v);
        if (v.contains(QLatin1Char('"')) || v.contains(QLatin1Char(',')) || v.contains(QLatin1Char('\n'))
            || v.contains(QLatin1Char('\r')))
            v = QLatin1Char('"') + v.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
        return v;
    };
    static const QRegularExpression code(QStringLiteral("\\s*\\[[^\\]]*\\]\\s*$"));
    QStringList lines;
    lines << tradeNetworkColumns().join(QLatin1Char(','));
    for (const SearchRow &r : rows) {
        QString shape = r.cells.value(ColShape);
        shape.remove(code);
        QString measure = r.cells.value(ColMeasurement);
        measure.replace(QLatin1Char('x'), QStringLiteral(" x "));
        const QStringList v = {shape,
                               r.cells.value(ColWeight),
                               r.cells.value(ColColour),
                               r.cells.value(ColClarity),
                               r.cells.value(ColCut),
                               r.cells.value(ColPolish),
                               r.cells.value(ColSymetry),
                               r.cells.value(ColFlourescence),
                               measure,
                               r.cells.value(ColDepth),
                               r.cells.value(ColTable),
                               r.lab,
                               r.certificate,
                               plainSku(r),
                               // The networks give the discount off the list as a negative percentage.
                               r.sellOffRap != 0 ? two(-r.sellOffRap) : QString(),
                               r.carat != 0 && r.sellUS != 0 ? two(r.sellUS / r.carat) : QString()};
        QStringList out;
        for (const QString &s : v)
            out << field(s);
        lines << out.join(QLatin1Char(','));
    }
    return lines.join(kEnd) + kEnd;
}

bool writeTextFile(const QString &path, const QString &text, QString *error)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        if (error)
            *error = f.errorString();
        return false;
    }
    f.write(text.toUtf8());
    if (!f.commit()) {
        if (error)
            *error = f.errorString();
        return false;
    }
    return true;
}

} // namespace velmor::stones
