#include "pricing/PriceGrid.h"

#include "core/LocalFiles.h"
#include "core/Settings.h"
#include "db/Row.h"
#include "db/Sql.h"

#include <QFile>

#include <cmath>
#include <QSqlQuery>

namespace velmor::pricing {

QString gridCode(Grid g)
{
    switch (g) {
    case Grid::Round: return QStringLiteral("BR");
    case Grid::Pear: return QStringLiteral("PS");
    case Grid::Marquise: return QStringLiteral("MQ");
    case Grid::Princess: return QStringLiteral("PR");
    }
    return {};
}

QString gridName(Grid g)
{
    switch (g) {
    case Grid::Round: return QStringLiteral("Round");
    case Grid::Pear: return QStringLiteral("Pear");
    case Grid::Marquise: return QStringLiteral("Marquise");
    case Grid::Princess: return QStringLiteral("Princess");
    }
    return {};
}

QString gridFileName(Grid g) { return gridName(g).toLower() + QStringLiteral(".csv"); }

double lookupWeight(double weight) { return (weight >= 6 && weight < 10) ? 5.5 : weight; }

QString foldForCompare(const QString &s)
{
    bool plain = true;
    for (QChar c : s)
        if (c.unicode() >= 128) {
            plain = false;
            break;
        }
    if (plain)
        return s.toUpper();
    // Compatibility forms as the collation weighs them: a superscript or
    // full-width digit or letter is the plain one.
    const QString d = s.normalized(QString::NormalizationForm_KD);
    QString out;
    out.reserve(d.size());
    for (QChar c : d)
        if (c.category() != QChar::Mark_NonSpacing)
            out += c;
    return out.toUpper();
}

namespace {

bool likeAt(const QString &v, int i, const QString &p, int j)
{
    while (j < p.size()) {
        const QChar c = p[j];
        if (c == QLatin1Char('%')) {
            while (j < p.size() && p[j] == QLatin1Char('%'))
                ++j;
            if (j == p.size())
                return true;
            for (int k = i; k <= v.size(); ++k)
                if (likeAt(v, k, p, j))
                    return true;
            return false;
        }
        if (i >= v.size())
            return false;
        if (c == QLatin1Char('_')) {
            ++i;
            ++j;
            continue;
        }
        QChar lit = c;
        if (c == QLatin1Char('\\') && j + 1 < p.size())
            lit = p[++j];
        if (v[i] != lit)
            return false;
        ++i;
        ++j;
    }
    return i == v.size();
}

QString rtrimmed(const QString &s)
{
    int n = s.size();
    while (n > 0 && s[n - 1] == QLatin1Char(' '))
        --n;
    return s.left(n);
}

// The shape condition of each grid: LIKE 'BR' for round, = for the others
// (= ignores trailing blanks, LIKE does not).
bool shapeMatches(Grid g, const QString &foldedShape)
{
    if (g == Grid::Round)
        return foldedShape == QLatin1String("BR");
    return rtrimmed(foldedShape) == gridCode(g);
}

void splitGrade(const QString &g, QString &first, QString &second)
{
    const int slash = g.indexOf(QLatin1Char('/'));
    if (slash < 0) {
        first = second = g;
    } else {
        first = g.left(slash);
        second = g.mid(slash + 1);
    }
}

} // namespace

bool sqlLike(const QString &value, const QString &pattern)
{
    return likeAt(foldForCompare(value), 0, foldForCompare(pattern), 0);
}

double PriceSource::price(Grid g, double weight, const QString &colour, const QString &clarity,
                          bool lowerQuality) const
{
    const double w = lookupWeight(weight);
    QString c1, c2, q1, q2;
    splitGrade(colour, c1, c2);
    splitGrade(clarity, q1, q2);
    if (lowerQuality) {
        c1 = c2;
        q1 = q2;
    }
    const double p[4] = {cell(g, w, c1, q1), cell(g, w, c2, q1), cell(g, w, c1, q2), cell(g, w, c2, q2)};
    double sum = 0;
    int n = 0;
    for (double v : p)
        if (v != 0) {
            sum += v;
            ++n;
        }
    return n ? sum / n : 0.0;
}

double SqlPriceSource::cell(Grid g, double weight, const QString &colour, const QString &clarity) const
{
    // No grid row holds a weight that is no number.
    if (!std::isfinite(weight))
        return 0.0;
    const QString shapeCondition = g == Grid::Round ? QStringLiteral("Shape LIKE 'BR'")
                                                    : QStringLiteral("Shape='%1'").arg(gridCode(g));
    // The weight travels as a decimal text, bound like the grades.
    const QString w = QString::number(weight, 'f', 10);
    const QString sql = QStringLiteral("SELECT * FROM raplist WHERE Clarity LIKE ? AND Colour LIKE ? AND "
                                       "LowCarat <= CAST(? AS DECIMAL(30,10)) AND HighCarat >= CAST(? AS DECIMAL(30,10)) "
                                       "AND %1 ORDER BY ID LIMIT 1")
                            .arg(shapeCondition);
    // Grades are compared as they are: their own % and _ are no wildcards.
    QSqlQuery q = db::exec(m_db, sql, {db::likeLiteral(clarity), db::likeLiteral(colour), w, w});
    if (!q.next())
        return 0.0;
    const db::Row row(q);
    const double price = row.num(QStringLiteral("Price"));
    const QDate date = row.dateTime(QStringLiteral("Date")).date();
    if (price != 0 && date.isValid() && (!m_latest.isValid() || date > m_latest))
        m_latest = date;
    return price;
}

void GridCache::load(const QSqlDatabase &db)
{
    for (auto &h : m_cells)
        h.clear();
    m_count = 0;
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT Shape, Colour, Clarity, LowCarat, HighCarat, Price "
                                              "FROM raplist ORDER BY ID"));
    while (q.next()) {
        ++m_count;
        const QString shape = foldForCompare(db::textOf(q.value(0)));
        // A Null column matches no LIKE.
        if (q.value(1).isNull() || q.value(2).isNull() || q.value(3).isNull() || q.value(4).isNull())
            continue;
        const QString colour = foldForCompare(db::textOf(q.value(1)));
        const QString clarity = foldForCompare(db::textOf(q.value(2)));
        const double low = q.value(3).toDouble(), high = q.value(4).toDouble(), price = db::numOf(q.value(5));
        for (Grid g : kAllGrids) {
            if (!shapeMatches(g, shape))
                continue;
            const int gi = int(g);
            m_cells[gi][colour + QLatin1Char('\n') + clarity].push_back({low, high, price});
        }
    }
}

double GridCache::cell(Grid g, double weight, const QString &colour, const QString &clarity) const
{
    const int gi = int(g);
    if (!std::isfinite(weight))
        return 0.0;
    const auto it = m_cells[gi].constFind(foldForCompare(colour) + QLatin1Char('\n') + foldForCompare(clarity));
    if (it == m_cells[gi].constEnd())
        return 0.0;
    for (const Cell &c : *it)
        if (c.low <= weight && c.high >= weight)
            return c.price;
    return 0.0;
}

namespace {
double sqlLookup(Grid g, const QSqlDatabase &db, const Settings &s, double w, const QString &c, const QString &q)
{
    return SqlPriceSource(db).price(g, w, c, q, s.LowerQuality);
}
} // namespace

double GetRapPriceRoundModule(const QSqlDatabase &db, const Settings &s, double w, const QString &c, const QString &q)
{
    return sqlLookup(Grid::Round, db, s, w, c, q);
}
double GetRapPricePearModule(const QSqlDatabase &db, const Settings &s, double w, const QString &c, const QString &q)
{
    return sqlLookup(Grid::Pear, db, s, w, c, q);
}
double GetRapPriceMarquiseModule(const QSqlDatabase &db, const Settings &s, double w, const QString &c,
                                 const QString &q)
{
    return sqlLookup(Grid::Marquise, db, s, w, c, q);
}
double GetRapPricePrincessModule(const QSqlDatabase &db, const Settings &s, double w, const QString &c,
                                 const QString &q)
{
    return sqlLookup(Grid::Princess, db, s, w, c, q);
}

// ---------------------------------------------------------------- grid files

QStringList splitGridLine(const QString &line, bool *ok)
{
    QStringList fields;
    bool good = true;
    int i = 0;
    const int n = line.size();
    while (true) {
        while (i < n && (line[i] == QLatin1Char(' ') || line[i] == QLatin1Char('\t')))
            ++i;
        QString f;
        if (i < n && line[i] == QLatin1Char('"')) {
            ++i;
            bool closed = false;
            while (i < n) {
                if (line[i] == QLatin1Char('"')) {
                    if (i + 1 < n && line[i + 1] == QLatin1Char('"')) {
                        f += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                f += line[i++];
            }
            if (!closed)
                good = false;
            while (i < n && line[i] != QLatin1Char(','))
                if (line[i++] != QLatin1Char(' ') && line[i - 1] != QLatin1Char('\t'))
                    good = false;
            f = f.trimmed();
        } else {
            const int start = i;
            while (i < n && line[i] != QLatin1Char(','))
                ++i;
            f = line.mid(start, i - start).trimmed();
        }
        fields << f;
        if (i >= n)
            break;
        ++i; // the comma
    }
    if (ok)
        *ok = good;
    return fields;
}

namespace {

constexpr double kGridNumberLimit = 1e14;

bool parseNumber(const QString &s, double &out)
{
    if (s.isEmpty())
        return false;
    for (QChar c : s)
        if (!(c.isDigit() || c == QLatin1Char('.') || c == QLatin1Char('-') || c == QLatin1Char('+')))
            return false;
    bool ok = false;
    out = s.toDouble(&ok);
    return ok;
}

bool parseGridDate(const QString &s, QDate &out)
{
    const QStringList parts = s.split(QLatin1Char('/'));
    if (parts.size() != 3)
        return false;
    bool okM = false, okD = false, okY = false;
    const int m = parts[0].trimmed().toInt(&okM);
    const int d = parts[1].trimmed().toInt(&okD);
    const QString y2 = s.right(2);
    const int y = y2.toInt(&okY);
    if (!okM || !okD || !okY || !y2[0].isDigit())
        return false;
    out = QDate(2000 + y, m, d);
    return out.isValid();
}

} // namespace

GridFile parseGridText(const QString &text, const QString &path)
{
    GridFile f;
    f.path = path;
    const QStringList lines = text.split(QLatin1Char('\n'));
    auto fail = [&](int line, const QString &what) {
        f.ok = false;
        f.errorLine = line;
        f.error = line > 0 ? QStringLiteral("line %1: %2").arg(line).arg(what) : what;
        f.rows.clear();
        return f;
    };
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (i == 0 && line.startsWith(QChar(0xFEFF)))
            line.remove(0, 1);
        bool quotesOk = true;
        const QStringList fields = splitGridLine(line, &quotesOk);
        const int lineNo = i + 1;
        // A line cut inside a quoted field (even right after its opening
        // quote) is a damaged file, never its end.
        if (!quotesOk)
            return fail(lineNo, QStringLiteral("a quoted field is not closed properly"));
        if (fields.first().isEmpty()) {
            // An empty first field ends the file; rows after it would be lost
            // without a word, so such a file is refused (blank lines at the
            // very end are fine).
            for (int k = i + 1; k < lines.size(); ++k)
                if (!lines[k].trimmed().isEmpty())
                    return fail(lineNo, QStringLiteral("the line is empty (its first field is), but more rows follow "
                                                       "from line %1")
                                            .arg(k + 1));
            break;
        }
        int count = fields.size();
        while (count > 7 && fields[count - 1].isEmpty())
            --count; // a trailing comma
        if (count != 7)
            return fail(lineNo, QStringLiteral("%1 fields where 7 are expected (shape, clarity, colour, low weight, "
                                               "high weight, price, date)")
                                    .arg(count));
        GridRow r;
        r.shape = fields[0];
        r.clarity = fields[1];
        r.colour = fields[2];
        static const char *const names[] = {"low weight", "high weight", "price"};
        double *targets[] = {&r.low, &r.high, &r.price};
        for (int k = 0; k < 3; ++k)
            if (!parseNumber(fields[3 + k], *targets[k]))
                return fail(lineNo, QStringLiteral("the %1 \"%2\" is not a number").arg(QLatin1String(names[k]), fields[3 + k]));
        r.lowText = fields[3];
        r.highText = fields[4];
        r.priceText = fields[5];
        // The grid's columns hold 14 digits before the decimal point.
        for (int k = 0; k < 3; ++k)
            if (std::fabs(*targets[k]) >= kGridNumberLimit)
                return fail(lineNo, QStringLiteral("the %1 \"%2\" is too large (at most 99999999999999.99999)")
                                        .arg(QLatin1String(names[k]), fields[3 + k]));
        if (r.low < 0 || r.high < r.low)
            return fail(lineNo, QStringLiteral("the weights %1 to %2 are not a range").arg(fields[3], fields[4]));
        if (r.price < 0)
            return fail(lineNo, QStringLiteral("the price \"%1\" is negative").arg(fields[5]));
        if (!parseGridDate(fields[6], r.date))
            return fail(lineNo, QStringLiteral("the date \"%1\" is not a month/day/year date").arg(fields[6]));
        if (r.shape.size() > 50 || r.clarity.size() > 50 || r.colour.size() > 50)
            return fail(lineNo, QStringLiteral("a grade or shape text is longer than 50 characters"));
        f.rows << r;
    }
    if (f.rows.isEmpty())
        return fail(0, QStringLiteral("the file holds no price rows"));
    f.ok = true;
    return f;
}

GridFile readGridFile(const QString &path)
{
    // Only a regular file, and only as large as a grid can be: a FIFO in
    // its place would hold the import for ever, a huge file the memory.
    QByteArray bytes;
    QString why;
    bool missing = false;
    if (!files::readRegular(path, kGridFileLimit, &bytes, &why, &missing)) {
        GridFile f;
        f.path = path;
        f.error = missing ? QStringLiteral("the file is missing") : QStringLiteral("the file cannot be read: %1").arg(why);
        return f;
    }
    return parseGridText(QString::fromUtf8(bytes), path);
}

} // namespace velmor::pricing
