#include "stones/StockCountReport.h"

#include "core/AppContext.h"
#include "core/SpreadsheetCells.h"
#include "db/Sql.h"
#include "printing/PrintSurface.h"

#include <QHash>
#include <QLocale>
#include <QSaveFile>
#include <QSqlQuery>
#include <QTextStream>

#include <algorithm>

namespace velmor::stones {

namespace {

QString when(const QDateTime &t)
{
    return t.isValid() ? QLocale(QLocale::English, QLocale::UnitedStates).toString(t, QStringLiteral("MMM dd, yyyy HH:mm"))
                       : QString();
}

QString signedCarats(Decimal5 d)
{
    return (d > Decimal5() ? QStringLiteral("+") : QString()) + d.fixed(2);
}

// One section of the report as a table of texts.
struct Table {
    QString title;
    QStringList heads;
    QList<bool> right; // right-aligned columns (figures)
    QList<QStringList> rows;
    QString empty;     // said when there are no rows
};

QList<Table> tablesOf(const CountReport &r)
{
    QList<Table> t;
    Table missing{QStringLiteral("Missing stones (%1)").arg(r.missing.size()),
                  {QStringLiteral("SKU"), QStringLiteral("ID"), QStringLiteral("Shape"), QStringLiteral("Carat"),
                   QStringLiteral("Location"), QStringLiteral("List value US$")},
                  {false, true, false, true, false, true},
                  {},
                  QStringLiteral("None: every stone expected was found.")};
    if (r.withCost) {
        missing.heads << QStringLiteral("Cost US$");
        missing.right << true;
    }
    for (const MissingStone &m : r.missing) {
        QStringList row{m.sku, QString::number(m.stoneId), m.shape, m.carat.fixed(2), m.location, m.listValue.grouped2()};
        if (r.withCost)
            row << m.cost.grouped2();
        missing.rows << row;
    }
    t << missing;

    Table left{QStringLiteral("Left stock while the count ran (%1)").arg(r.leftStock.size()),
               {QStringLiteral("SKU"), QStringLiteral("ID"), QStringLiteral("Status"), QStringLiteral("Where")},
               {false, true, false, false},
               {},
               QStringLiteral("None.")};
    for (const LeftStone &l : r.leftStock)
        left.rows << QStringList{l.sku, QString::number(l.stoneId), l.status, l.place};
    t << left;

    Table unexpected{QStringLiteral("Scanned but not expected (%1)").arg(r.unexpected.size()),
                     {QStringLiteral("SKU"), QStringLiteral("ID"), QStringLiteral("Status"), QStringLiteral("Where"),
                      QStringLiteral("Scans")},
                     {false, true, false, false, true},
                     {},
                     QStringLiteral("None.")};
    for (const UnexpectedStone &u : r.unexpected)
        unexpected.rows << QStringList{u.sku, QString::number(u.stoneId), u.status, u.place, QString::number(u.scans)};
    t << unexpected;

    Table twice{QStringLiteral("Scanned more than once, counted once (%1)").arg(r.twice.size()),
                {QStringLiteral("SKU"), QStringLiteral("ID"), QStringLiteral("Scans")},
                {false, true, true},
                {},
                QStringLiteral("None.")};
    for (const TwiceStone &w : r.twice)
        twice.rows << QStringList{w.sku, QString::number(w.stoneId), QString::number(w.scans)};
    t << twice;

    Table unknown{QStringLiteral("Codes that are no stone (%1)").arg(r.unknown.size()),
                  {QStringLiteral("Code"), QStringLiteral("Scans")},
                  {false, true},
                  {},
                  QStringLiteral("None.")};
    for (const UnknownCode &u : r.unknown)
        unknown.rows << QStringList{u.code, QString::number(u.scans)};
    t << unknown;

    Table parcels{QStringLiteral("Parcels (tolerance %1 ct)").arg(r.header.tolerance.fixed(2)),
                  {QStringLiteral("SKU"), QStringLiteral("At start ct"), QStringLiteral("On hand ct"),
                   QStringLiteral("Weighed ct"), QStringLiteral("Difference ct"), QString()},
                  {false, true, true, true, true, false},
                  {},
                  QStringLiteral("No parcel was on hand.")};
    for (const ParcelLine &p : r.parcels)
        parcels.rows << QStringList{p.sku,
                                    p.atStart.fixed(2),
                                    p.onHand.fixed(2),
                                    p.weighed ? p.weighedCarats.fixed(2) : QStringLiteral("-"),
                                    p.weighed ? signedCarats(p.difference()) : QString(),
                                    !p.weighed                        ? QStringLiteral("not weighed")
                                    : p.beyond(r.header.tolerance) ? QStringLiteral("beyond tolerance")
                                                                      : QString()};
    t << parcels;
    return t;
}

QString csvText(const QString &s)
{
    // A cell a spreadsheet would run as a formula is kept as text.
    QString v = spreadsheetSafe(s);
    if (v.contains(QLatin1Char(',')) || v.contains(QLatin1Char('"')) || v.contains(QLatin1Char('\n'))
        || v.contains(QLatin1Char('\'')))
        return QLatin1Char('"') + v.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    return v;
}

} // namespace

QList<ParcelLine> CountReport::parcelsBeyond() const
{
    QList<ParcelLine> out;
    for (const ParcelLine &p : parcels)
        if (p.beyond(header.tolerance))
            out << p;
    return out;
}

CountReport countReport(AppContext &ctx, qint64 countId)
{
    CountReport r;
    const QSqlDatabase db = ctx.db();
    const auto header = loadCount(db, countId);
    if (!header)
        return r;
    r.header = *header;
    r.withCost = ctx.user.ID > 0 && ctx.user.has(QStringLiteral("ViewCost"));
    r.figures = countFigures(db, countId);
    const bool closed = r.header.closed;

    // The stones expected and not found: missing while still in stock, else
    // gone out of stock while the count ran.  A closed count has kept the
    // status of those that had left stock at its closing (the others were in
    // stock then); an open one reads the stones' status now.  The SKU, shape,
    // weight, place, list value and cost are those the count kept when it
    // took each stone.
    const QString taken = QStringLiteral("c.StoneID, c.SKU, c.Shape, CAST(c.Carat AS CHAR), c.Location, "
                                         "CAST(c.ListValue AS CHAR), CAST(c.Cost AS CHAR)");
    // The count's number is the program's own: written into the statement,
    // which then travels as text (a long list reads faster that way).
    QSqlQuery m = db::exec(
        db, closed ? QStringLiteral("SELECT %1, IFNULL(c.ClosingStatus, 'Stock'), c.ClosingPlace FROM stockcountstone c "
                                    "WHERE c.CountID = %2 AND c.ScanID IS NULL ORDER BY c.SKU, c.StoneID")
                         .arg(taken)
                         .arg(countId)
                   : QStringLiteral("SELECT %1, IF(s.ID IS NULL, '(deleted)', IFNULL(s.Status, '')), '' FROM "
                                    "stockcountstone c LEFT JOIN SingleStone s ON s.ID = c.StoneID WHERE c.CountID = %2 "
                                    "AND c.ScanID IS NULL ORDER BY c.SKU, c.StoneID")
                         .arg(taken)
                         .arg(countId));
    QList<qint64> goneIds;
    while (m.next()) {
        const QString st = m.value(7).toString().trimmed();
        if (st.compare(QLatin1String("Stock"), Qt::CaseInsensitive) == 0) {
            MissingStone s;
            s.stoneId = m.value(0).toLongLong();
            s.sku = m.value(1).toString();
            s.shape = m.value(2).toString();
            s.carat = Decimal5::fromDb(m.value(3));
            s.location = m.value(4).toString().trimmed();
            s.listValue = Decimal5::fromDb(m.value(5));
            s.cost = Decimal5::fromDb(m.value(6));
            r.missingValue += s.listValue;
            r.missingCost += s.cost;
            r.missing << s;
        } else {
            LeftStone l;
            l.stoneId = m.value(0).toLongLong();
            l.sku = m.value(1).toString();
            l.status = st;
            l.place = m.value(8).toString();
            if (!closed)
                goneIds << l.stoneId;
            r.leftStock << l;
        }
    }
    if (!closed && !goneIds.isEmpty()) {
        // Where they are now, in the words a scan uses.
        QHash<qint64, QString> places;
        for (qsizetype i = 0; i < goneIds.size(); i += 500) {
            QStringList marks;
            QVariantList binds;
            for (qint64 id : goneIds.mid(i, 500)) {
                marks << QStringLiteral("?");
                binds << id;
            }
            QSqlQuery p = db::exec(db,
                                   QStringLiteral("SELECT s.ID, s.Status, s.Location, cu.CompanyName, s.MemoSheetID, "
                                                  "sup.CompanyName FROM SingleStone s LEFT JOIN Customer cu ON cu.ID = "
                                                  "s.CustomerID LEFT JOIN Customer sup ON sup.ID = s.SupplierID "
                                                  "WHERE s.ID IN (%1)")
                                       .arg(marks.join(QLatin1Char(','))),
                                   binds);
            while (p.next())
                places.insert(p.value(0).toLongLong(),
                              placeText(p.value(1).toString(), p.value(2).toString().trimmed(), p.value(3).toString(),
                                        p.value(4).toLongLong(), p.value(5).toString()));
        }
        for (LeftStone &l : r.leftStock)
            l.place = places.value(l.stoneId, QStringLiteral("the stone was deleted"));
    }

    // Scans: the unexpected stones (what the latest scan of each said), the
    // stones scanned more than once, the codes that are no stone.
    QSqlQuery u = db::exec(db,
                           QStringLiteral("SELECT x.StoneID, IFNULL(s.SKU, ''), x.StoneStatus, x.Place, x.Code FROM "
                                          "stockcountscan x LEFT JOIN SingleStone s ON s.ID = x.StoneID WHERE "
                                          "x.CountID = ? AND x.Result = 'unexpected' ORDER BY x.ID"),
                           {countId});
    QHash<qint64, qsizetype> at;
    while (u.next()) {
        const qint64 id = u.value(0).toLongLong();
        auto it = at.constFind(id);
        if (it == at.constEnd()) {
            at.insert(id, r.unexpected.size());
            r.unexpected << UnexpectedStone{id, u.value(1).toString(), {}, {}, u.value(4).toString(), 0};
            it = at.constFind(id);
        }
        UnexpectedStone &e = r.unexpected[*it];
        e.status = u.value(2).toString();
        e.place = u.value(3).toString();
        ++e.scans;
    }
    std::sort(r.unexpected.begin(), r.unexpected.end(),
              [](const UnexpectedStone &a, const UnexpectedStone &b) { return a.sku < b.sku; });
    QSqlQuery t = db::exec(db,
                           QStringLiteral("SELECT x.StoneID, IFNULL(s.SKU, ''), COUNT(*) FROM stockcountscan x "
                                          "LEFT JOIN SingleStone s ON s.ID = x.StoneID WHERE x.CountID = ? AND "
                                          "x.Result = 'twice' GROUP BY x.StoneID, s.SKU ORDER BY 2, 1"),
                           {countId});
    while (t.next())
        r.twice << TwiceStone{t.value(0).toLongLong(), t.value(1).toString(), t.value(2).toInt() + 1};
    QSqlQuery k = db::exec(db,
                           QStringLiteral("SELECT MIN(Code), COUNT(*) FROM stockcountscan WHERE CountID = ? AND "
                                          "Result = 'unknown' GROUP BY Code ORDER BY 1"),
                           {countId});
    while (k.next())
        r.unknown << UnknownCode{k.value(0).toString(), k.value(1).toInt()};

    r.parcels = countParcels(db, countId, closed);
    for (const ParcelLine &p : r.parcels) {
        if (!p.weighed) {
            ++r.parcelsNotWeighed;
            continue;
        }
        r.parcelDifferenceTotal += p.difference();
        if (p.beyond(r.header.tolerance))
            ++r.parcelDifferences;
    }
    return r;
}

QStringList reportSummary(const CountReport &r)
{
    QStringList l;
    const CountFigures &f = r.figures;
    l << QStringLiteral("Found: %1 of %2 stones expected").arg(f.found).arg(f.expected);
    QString missing = QStringLiteral("Missing: %1 stones, list value US$ %2").arg(r.missing.size()).arg(r.missingValue.grouped2());
    if (r.withCost)
        missing += QStringLiteral(", cost US$ %1").arg(r.missingCost.grouped2());
    l << missing;
    l << QStringLiteral("Left stock while the count ran: %1 stones").arg(r.leftStock.size());
    l << QStringLiteral("Scanned but not expected: %1 stones").arg(r.unexpected.size());
    l << QStringLiteral("Scanned more than once: %1 stones (counted once)").arg(r.twice.size());
    l << QStringLiteral("Codes that are no stone: %1").arg(r.unknown.size());
    l << QStringLiteral("Parcels: %1 weighed of %2, %3 beyond the tolerance of %4 ct, difference %5 ct")
             .arg(f.weighed)
             .arg(r.parcels.size())
             .arg(r.parcelDifferences)
             .arg(r.header.tolerance.fixed(2), signedCarats(r.parcelDifferenceTotal));
    l << QStringLiteral("Scans written: %1").arg(f.scans);
    return l;
}

namespace {

QString headline(const CountReport &r)
{
    QString h = QStringLiteral("Stock count %1: %2").arg(r.header.id).arg(r.header.name);
    h += r.header.location.isEmpty() ? QStringLiteral(" (every location)")
                                     : QStringLiteral(" (location %1)").arg(r.header.location);
    return h;
}

QString stateLine(const CountReport &r)
{
    QString s = QStringLiteral("Started %1 by %2").arg(when(r.header.startedAt), r.header.startedBy);
    if (r.header.closed)
        s += QStringLiteral("; closed %1 by %2").arg(when(r.header.closedAt), r.header.closedBy);
    else
        s += QStringLiteral("; open (as the books stand now)");
    return s;
}

} // namespace

QString reportText(const CountReport &r)
{
    QString text;
    QTextStream out(&text);
    out << headline(r) << "\n" << stateLine(r) << "\n\n";
    for (const QString &line : reportSummary(r))
        out << "  " << line << "\n";
    for (const Table &t : tablesOf(r)) {
        out << "\n" << t.title << "\n";
        if (t.rows.isEmpty()) {
            out << "  " << t.empty << "\n";
            continue;
        }
        QList<int> widths;
        for (const QString &h : t.heads)
            widths << int(h.size());
        for (const QStringList &row : t.rows)
            for (int i = 0; i < row.size() && i < widths.size(); ++i)
                widths[i] = std::max(widths[i], int(row[i].size()));
        auto line = [&](const QStringList &cells) {
            QString l = QStringLiteral("  ");
            for (int i = 0; i < cells.size(); ++i)
                l += (t.right.value(i) ? cells[i].rightJustified(widths[i]) : cells[i].leftJustified(widths[i]))
                     + QStringLiteral("  ");
            out << l.trimmed().prepend(QStringLiteral("  ")) << "\n";
        };
        line(t.heads);
        for (const QStringList &row : t.rows)
            line(row);
    }
    out.flush();
    return text;
}

bool writeCountCsv(const CountReport &r, const QString &path, QString *error)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text)) {
        if (error)
            *error = f.errorString();
        return false;
    }
    QTextStream out(&f);
    out << "Section,Stone ID,SKU or code,Shape,Carat,Location,Status,Where,List value US$";
    if (r.withCost)
        out << ",Cost US$";
    out << ",Scans,At start ct,On hand ct,Weighed ct,Difference ct\n";
    auto row = [&](const QString &section, const QList<QString> &cells) {
        // cells: id, sku/code, shape, carat, location, status, where, value, cost, scans, start, onhand, weighed, diff
        out << csvText(section);
        for (int i = 0; i < cells.size(); ++i) {
            if (i == 8 && !r.withCost)
                continue;
            out << ',' << (i == 1 || i == 2 || i == 4 || i == 5 || i == 6 ? csvText(cells.at(i)) : cells.at(i));
        }
        out << '\n';
    };
    auto blank = [](int n) { return QList<QString>(n); };
    for (const MissingStone &m : r.missing) {
        QList<QString> c = blank(14);
        c[0] = QString::number(m.stoneId);
        c[1] = m.sku;
        c[2] = m.shape;
        c[3] = m.carat.fixed(2);
        c[4] = m.location;
        c[5] = QStringLiteral("Stock");
        c[7] = m.listValue.fixed(2);
        c[8] = m.cost.fixed(2);
        row(QStringLiteral("missing"), c);
    }
    for (const LeftStone &l : r.leftStock) {
        QList<QString> c = blank(14);
        c[0] = QString::number(l.stoneId);
        c[1] = l.sku;
        c[5] = l.status;
        c[6] = l.place;
        row(QStringLiteral("left stock"), c);
    }
    for (const UnexpectedStone &u : r.unexpected) {
        QList<QString> c = blank(14);
        c[0] = QString::number(u.stoneId);
        c[1] = u.sku;
        c[5] = u.status;
        c[6] = u.place;
        c[9] = QString::number(u.scans);
        row(QStringLiteral("unexpected"), c);
    }
    for (const TwiceStone &w : r.twice) {
        QList<QString> c = blank(14);
        c[0] = QString::number(w.stoneId);
        c[1] = w.sku;
        c[9] = QString::number(w.scans);
        row(QStringLiteral("scanned twice"), c);
    }
    for (const UnknownCode &u : r.unknown) {
        QList<QString> c = blank(14);
        c[1] = u.code;
        c[9] = QString::number(u.scans);
        row(QStringLiteral("unknown code"), c);
    }
    for (const ParcelLine &p : r.parcels) {
        QList<QString> c = blank(14);
        c[0] = QString::number(p.parcelId);
        c[1] = p.sku;
        c[6] = !p.weighed ? QStringLiteral("not weighed")
                          : (p.beyond(r.header.tolerance) ? QStringLiteral("beyond tolerance") : QString());
        c[10] = p.atStart.fixed(5);
        c[11] = p.onHand.fixed(5);
        c[12] = p.weighed ? p.weighedCarats.fixed(5) : QString();
        c[13] = p.weighed ? p.difference().fixed(5) : QString();
        row(QStringLiteral("parcel"), c);
    }
    for (const QString &line : reportSummary(r)) {
        QList<QString> c = blank(14);
        c[6] = line;
        row(QStringLiteral("total"), c);
    }
    out.flush();
    if (!f.commit()) {
        if (error)
            *error = f.errorString();
        return false;
    }
    return true;
}

// The printed report -----------------------------------------------------------------

namespace {

using printing::PrintSurface;

const QString kFont = QStringLiteral("Arial");
constexpr double kMargin = 500;
constexpr double kGap = 150;

struct Page {
    PrintSurface &s;
    const CountReport &r;
    double left = kMargin, right = 0, bottom = 0;
    int number = 0;

    void start()
    {
        if (number > 0) {
            footer();
            s.newPage();
        }
        ++number;
        s.setFont(kFont, 11, true);
        s.setPosition(left, kMargin);
        s.printLine(s.fitted(headline(r), right - left));
        s.setFont(kFont, 7.5);
        s.CurrentX = left;
        s.printLine(s.fitted(stateLine(r), right - left));
        s.setLineWidth(3);
        s.drawLine(left, s.CurrentY + 40, right, s.CurrentY + 40);
        s.CurrentY += 120;
    }
    void footer()
    {
        s.setFont(kFont, 6.5);
        const QString t = QStringLiteral("page %1").arg(number);
        s.setPosition(right - s.textWidth(t), bottom + 100);
        s.printLine(t);
    }
    // Room for `height` more twips on this page, else a new page.
    bool room(double height) const { return s.CurrentY + height <= bottom; }
};

void drawTable(Page &pg, const Table &t)
{
    PrintSurface &s = pg.s;
    const double width = pg.right - pg.left;
    // Column widths from the heading and the values (the first rows of a
    // long list choose the font size); the font gives way before the texts do.
    double points = 8;
    QList<double> w;
    const qsizetype sample = std::min<qsizetype>(t.rows.size(), 3000);
    // The widths of the headings and of the first `rows` rows.
    auto measure = [&](qsizetype rows) {
        w.clear();
        for (int i = 0; i < t.heads.size(); ++i) {
            s.setFont(kFont, points, true);
            double cw = s.textWidth(t.heads.at(i));
            s.setFont(kFont, points);
            for (qsizetype n = 0; n < rows; ++n)
                cw = std::max(cw, s.textWidth(t.rows.at(n).value(i)));
            w << cw;
        }
        double total = 0;
        for (double x : w)
            total += x + kGap;
        return total;
    };
    double total = measure(sample);
    while (total > width && points > 6) {
        points -= 0.5;
        total = measure(sample);
    }
    // Then every row at that size: a wider value further down (a dearer
    // stone far down the list) widens its column rather than being cut.
    if (sample < t.rows.size())
        total = measure(t.rows.size());
    if (total > width) {
        // The widest text columns give up what is too much, down to one
        // width they share; the figures (right-aligned) keep theirs while
        // there are texts.
        QList<int> giving;
        for (int i = 0; i < w.size(); ++i)
            if (!t.right.value(i))
                giving << i;
        if (giving.isEmpty())
            for (int i = 0; i < w.size(); ++i)
                giving << i;
        double room = width - total;
        QList<double> given;
        for (int i : giving) {
            room += w.at(i);
            given << w.at(i);
        }
        std::sort(given.begin(), given.end());
        double cap = 0;
        for (qsizetype k = 0; k < given.size(); ++k) {
            cap = room / double(given.size() - k);
            if (given.at(k) > cap)
                break;
            room -= given.at(k);
        }
        for (int i : giving)
            w[i] = std::max(200.0, std::min(w.at(i), cap));
    }
    QList<double> x;
    double at = pg.left;
    for (double cw : w) {
        x << at;
        at += cw + kGap;
    }
    QList<double> edges = x;
    edges << at;

    s.setFont(kFont, 10, true);
    const double titleHeight = s.textHeight();
    s.setFont(kFont, points);
    const double rowHeight = s.textHeight();
    auto heads = [&] {
        s.setFont(kFont, points, true);
        s.setColumns(edges);
        const double y = s.CurrentY;
        for (int i = 0; i < t.heads.size(); ++i) {
            const QString h = s.fitted(t.heads.at(i), w.at(i));
            s.setPosition(t.right.value(i) ? x.at(i) + w.at(i) - s.textWidth(h) : x.at(i), y);
            s.printLine(h);
        }
        s.setPosition(pg.left, y + rowHeight);
        s.setLineWidth(1);
        s.drawLine(pg.left, s.CurrentY, pg.right, s.CurrentY);
        s.CurrentY += 30;
    };
    if (!pg.room(titleHeight + 3 * rowHeight))
        pg.start();
    s.setFont(kFont, 10, true);
    s.setPosition(pg.left, s.CurrentY + 80);
    s.printLine(s.fitted(t.title, width));
    if (t.rows.isEmpty()) {
        s.setFont(kFont, points, false, true);
        s.CurrentX = pg.left;
        s.printLine(s.fitted(t.empty, width));
        return;
    }
    heads();
    for (const QStringList &row : t.rows) {
        if (!pg.room(rowHeight)) {
            s.setColumns({});
            pg.start();
            s.setFont(kFont, 8, true, true);
            s.CurrentX = pg.left;
            s.printLine(s.fitted(t.title + QStringLiteral(" (continued)"), width));
            heads();
        }
        s.setFont(kFont, points);
        const double y = s.CurrentY;
        for (int i = 0; i < t.heads.size(); ++i) {
            const QString v = s.fitted(row.value(i), w.at(i));
            s.setPosition(t.right.value(i) ? x.at(i) + w.at(i) - s.textWidth(v) : x.at(i), y);
            s.printLine(v);
        }
        s.setPosition(pg.left, y + rowHeight);
    }
    s.setColumns({});
}

} // namespace

bool drawCountReport(PrintSurface &s, const CountReport &r, QString *error)
{
    Q_UNUSED(error);
    s.setOrientation(1);
    Page pg{s, r};
    pg.right = s.pageWidth() - kMargin;
    pg.bottom = s.pageHeight() - kMargin - 300;
    pg.start();
    s.setFont(kFont, 9, true);
    s.CurrentX = pg.left;
    s.printLine(QStringLiteral("Totals"));
    s.setFont(kFont, 8.5);
    for (const QString &line : reportSummary(r)) {
        s.CurrentX = pg.left + 150;
        s.printLine(s.fitted(line, pg.right - pg.left - 150));
    }
    for (const Table &t : tablesOf(r))
        drawTable(pg, t);
    pg.footer();
    return true;
}

} // namespace velmor::stones
