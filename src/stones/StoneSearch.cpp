#include "stones/StoneSearch.h"

#include "core/Figures.h"

#include "db/GradeScales.h"
#include "db/Sql.h"

#include <QLocale>
#include <QRegularExpression>
#include <QSqlRecord>
#include <algorithm>
#include <cmath>

namespace velmor::stones {

namespace {

const QString kFrom = QStringLiteral(
    " FROM SingleStone LEFT JOIN MemoSheet ON SingleStone.MemoSheetID = MemoSheet.ID "
    "LEFT JOIN Customer ON SingleStone.CustomerID = Customer.ID ");

bool anyValue(const QString &listText)
{
    const QString t = listText.trimmed();
    return t.isEmpty() || t == QLatin1String("*");
}

// Carat conditions on the exact decimal values.
void addWeight(const StoneSearchFilter &f, SqlPart &w)
{
    QString low = weightText(f.lowWeight);
    QString high = weightText(f.highWeight);
    if (low.isEmpty() && high.isEmpty())
        return;
    if (low.isEmpty() || high.isEmpty()) {
        low = high = low.isEmpty() ? high : low;
        if (!f.allowRange) {
            w.text += QStringLiteral(" AND SingleStone.Carat = CAST(? AS DECIMAL(30,10)) ");
            w.binds << low;
            return;
        }
    } else if (low.toDouble() > high.toDouble()) {
        std::swap(low, high);
    }
    if (f.allowRange)
        w.text += QStringLiteral(" AND SingleStone.Carat * 1.15 >= CAST(? AS DECIMAL(30,10)) "
                                 "AND SingleStone.Carat * 0.85 <= CAST(? AS DECIMAL(30,10)) ");
    else
        w.text += QStringLiteral(" AND SingleStone.Carat >= CAST(? AS DECIMAL(30,10)) "
                                 "AND SingleStone.Carat <= CAST(? AS DECIMAL(30,10)) ");
    w.binds << low << high;
}

void addGrade(const QString &column, int a, int b, SqlPart &w)
{
    if (a > 0 && b > 0) {
        w.text += QStringLiteral(" AND SingleStone.%1 >= ? AND SingleStone.%1 <= ? ").arg(column);
        w.binds << std::min(a, b) << std::max(a, b);
    } else if (a > 0 || b > 0) {
        w.text += QStringLiteral(" AND SingleStone.%1 = ? ").arg(column);
        w.binds << std::max(a, b);
    }
}

QString two(const QVariant &v)
{
    return v.isNull() ? QString() : QString::number(v.toDouble(), 'f', 2);
}

// "%b %e, %y" / "%b %e, %Y": month abbreviation and the day padded with a blank.
QString shortDate(const QDateTime &d, bool fullYear)
{
    if (!d.isValid())
        return {};
    const QLocale c = QLocale::c();
    return c.toString(d.date(), QStringLiteral("MMM")) + QLatin1Char(' ')
           + QStringLiteral("%1").arg(d.date().day(), 2, 10, QLatin1Char(' ')) + QStringLiteral(", ")
           + (fullYear ? QString::number(d.date().year())
                       : QStringLiteral("%1").arg(d.date().year() % 100, 2, 10, QLatin1Char('0')));
}

QString gradeText(const QList<db::GradeScaleEntry> &scale, int n)
{
    if (n == 0)
        return {};
    for (const auto &e : scale)
        if (e.number == n)
            return QString::fromLatin1(e.text);
    return QString::number(n);
}

} // namespace

QString likeLiteral(const QString &text)
{
    QString out;
    out.reserve(text.size() + 4);
    for (const QChar c : text) {
        if (c == QLatin1Char('!') || c == QLatin1Char('%') || c == QLatin1Char('_'))
            out += QLatin1Char('!');
        out += c;
    }
    return out;
}

QString weightText(const QString &typed)
{
    // Exact decimal form, so that the comparison is exact.
    const std::optional<Decimal5> w = figures::parseTyped(typed);
    if (!w || *w <= Decimal5())
        return {};
    return w->toDb();
}

QString weightRefusal(const QString &low, const QString &high)
{
    const std::pair<QString, QString> fields[] = {{QStringLiteral("Weight from"), low}, {QStringLiteral("Weight to"), high}};
    for (const auto &[name, text] : fields) {
        if (text.trimmed().isEmpty())
            continue;
        const figures::Reading r = figures::read(text, {name, figures::Column{19, 5}, figures::Need::Positive});
        if (!r.ok())
            return r.error;
    }
    return {};
}

SqlPart searchWhere(const StoneSearchFilter &f)
{
    SqlPart w;
    QStringList status;
    const bool forCustomer = f.customerId > 0;
    status << (f.returned ? QStringLiteral("(SingleStone.Status = 'returned')") : QStringLiteral("(1=0)"));
    status << (f.inStock ? QStringLiteral("(SingleStone.Status = 'Stock')") : QStringLiteral("(1=0)"));
    if (f.memo && forCustomer) {
        status << QStringLiteral("(SingleStone.Status = 'Memo' AND SingleStone.CustomerID = ?)");
        w.binds << f.customerId;
    } else {
        status << (f.memo ? QStringLiteral("(SingleStone.Status = 'Memo')") : QStringLiteral("(1=0)"));
    }
    status << (f.preSold ? QStringLiteral("(SingleStone.Status = 'Sold' AND SingleStone.StoneIsPaidOff = 0)")
                         : QStringLiteral("(1=0)"));
    if (f.sold && forCustomer) {
        status << QStringLiteral("(SingleStone.Status LIKE 'Sold' AND SingleStone.CustomerID = ?)");
        w.binds << f.customerId;
    } else {
        status << (f.sold ? QStringLiteral("(SingleStone.Status LIKE 'Sold')") : QStringLiteral("(1=0)"));
    }
    w.text = QStringLiteral(" WHERE (") + status.join(QStringLiteral(" OR ")) + QStringLiteral(") ");

    if (!f.sku.isEmpty()) {
        w.text += QStringLiteral(" AND SingleStone.SKU LIKE ? ESCAPE '!' ");
        w.binds << likeLiteral(f.sku) + QLatin1Char('%');
    }
    if (!f.certificate.isEmpty()) {
        w.text += QStringLiteral(" AND SingleStone.Certificate LIKE ? ESCAPE '!' ");
        w.binds << likeLiteral(f.certificate) + QLatin1Char('%');
    }
    if (!f.lot.isEmpty()) {
        w.text += QStringLiteral(" AND SingleStone.Lot LIKE ? ESCAPE '!' ");
        w.binds << QLatin1Char('%') + likeLiteral(f.lot) + QLatin1Char('%');
    }
    if (f.hereOnMemo)
        w.text += QStringLiteral(" AND SingleStone.hereonmemo <> 0 ");
    const struct {
        const QString *value;
        const char *column;
    } lists[] = {{&f.cut, "Cut"}, {&f.fluorescence, "Flourescence"}, {&f.shape, "Shape"}, {&f.lab, "Laboratory"}};
    for (const auto &l : lists)
        if (!anyValue(*l.value)) {
            w.text += QStringLiteral(" AND SingleStone.%1 LIKE ? ESCAPE '!' ").arg(QLatin1String(l.column));
            w.binds << likeLiteral(*l.value);
        }
    if (f.day.isValid()) {
        // A range, so that an index on DateCreated serves.
        w.text += QStringLiteral(" AND SingleStone.DateCreated >= ? AND SingleStone.DateCreated < ? ");
        w.binds << f.day.toString(Qt::ISODate) << f.day.addDays(1).toString(Qt::ISODate);
    }
    if (f.canadian)
        w.text += QStringLiteral(" AND SingleStone.Canadian <> 0 ");
    if (f.notCanadian)
        w.text += QStringLiteral(" AND SingleStone.Canadian = 0 ");
    if (f.labGrown)
        w.text += QStringLiteral(" AND SingleStone.lab_dia <> 0 ");
    if (f.natural)
        w.text += QStringLiteral(" AND (SingleStone.lab_dia = 0 OR SingleStone.lab_dia IS NULL) ");
    if (f.finished)
        w.text += QStringLiteral(" AND SingleStone.finishedpiece <> 0 ");
    if (f.excludeBound)
        w.text += QStringLiteral(" AND SingleStone.ItemID IS NULL ");
    if (f.onlyBound)
        w.text += QStringLiteral(" AND SingleStone.ItemID IS NOT NULL ");
    addWeight(f, w);
    addGrade(QStringLiteral("Clarity"), f.lowClarity, f.highClarity, w);
    addGrade(QStringLiteral("Colour"), f.lowColour, f.highColour, w);
    return w;
}

QString SearchOrder::columnFor(const QString &heading)
{
    static const QList<QPair<QString, QString>> map = {
        {QStringLiteral("SKU"), QStringLiteral("SKU")},       {QStringLiteral("Shape"), QStringLiteral("Shape")},
        {QStringLiteral("Cert#"), QStringLiteral("SKU")},     {QStringLiteral("Weight"), QStringLiteral("Carat")},
        {QStringLiteral("Colour"), QStringLiteral("Colour")}, {QStringLiteral("Clarity"), QStringLiteral("Clarity")},
        {QStringLiteral("Cut"), QStringLiteral("Cut")},
    };
    for (const auto &p : map)
        if (p.first.compare(heading, Qt::CaseInsensitive) == 0)
            return p.second;
    return QStringLiteral("RapaportPrice");
}

void SearchOrder::click(const QString &heading)
{
    const QString c = columnFor(heading);
    if (c == m_column) {
        m_desc = !m_desc;
    } else {
        m_column = c;
        m_desc = false;
    }
}

QString SearchOrder::orderBy() const
{
    const QString dir = m_desc ? QStringLiteral(" DESC") : QString();
    return QStringLiteral(" ORDER BY SingleStone.%1%2, SingleStone.ID%2 ").arg(m_column, dir);
}

SearchTotals searchTotals(const QSqlDatabase &db, const StoneSearchFilter &f)
{
    const SqlPart w = searchWhere(f);
    QSqlQuery q = db::exec(db,
                           QStringLiteral("SELECT COUNT(*), SUM(SingleStone.RapaportPrice * SingleStone.Carat) "
                                          "FROM SingleStone")
                               + w.text,
                           w.binds);
    SearchTotals t;
    if (q.next()) {
        t.count = q.value(0).toLongLong();
        t.rapSum = q.value(1).toDouble();
    }
    return t;
}

namespace {

// A DECIMAL(19,5) value as the driver hands it over (a double), back as the
// stored decimal.  Below 2^33 neighbouring five-decimal numbers are more
// than two steps of a double apart, so the one decimal whose nearest double
// is `v` is the stored one; a larger figure cannot be told for sure.
std::optional<Decimal5> storedDecimal(double v)
{
    if (!std::isfinite(v) || std::fabs(v) >= 8e9)
        return std::nullopt;
    const Decimal5 d = Decimal5::fromDouble(v);
    if (d.toDouble() != v)
        return std::nullopt;
    return d;
}

} // namespace

std::optional<SearchTotals> totalsOfRows(const QList<SearchRow> &rows)
{
    // The server's SUM(RapaportPrice * Carat) is exact (ten decimals) and
    // read as a double; the same exact sum here, read the same way.
    __int128 sum = 0; // units of 10^-10
    for (const SearchRow &r : rows) {
        const std::optional<Decimal5> rap = storedDecimal(r.rap), carat = storedDecimal(r.carat);
        if (!rap || !carat)
            return std::nullopt;
        sum += __int128(rap->units()) * carat->units();
    }
    const bool negative = sum < 0;
    __int128 a = negative ? -sum : sum;
    QByteArray digits;
    for (int i = 0; i < 11 || a != 0; ++i) {
        digits.prepend(char('0' + int(a % 10)));
        a /= 10;
    }
    digits.insert(digits.size() - 10, '.');
    if (negative)
        digits.prepend('-');
    SearchTotals t;
    t.count = rows.size();
    t.rapSum = QString::fromLatin1(digits).toDouble();
    return t;
}

FirstPage firstPage(const QSqlDatabase &db, const StoneSearchFilter &f, const SearchOrder &order, int size)
{
    FirstPage p;
    p.rows = searchRows(db, f, order, 0, size);
    if (p.rows.size() < size) {
        // The whole result is in hand: its totals from the same rows, unless
        // a figure cannot be read back exactly (then the server sums).
        p.totals = totalsOfRows(p.rows);
        if (!p.totals)
            p.totals = searchTotals(db, f);
    }
    return p;
}

QStringList searchColumns()
{
    return {QStringLiteral("SKU"),          QStringLiteral("Type"),
            QStringLiteral("Lot"),          QStringLiteral("#"),
            QStringLiteral("Customer"),     QStringLiteral("Shape"),
            QStringLiteral("Cert#"),        QStringLiteral("Weight"),
            QStringLiteral("Colour"),       QStringLiteral("Clarity"),
            QStringLiteral("Cut"),          QStringLiteral("Measurement"),
            QStringLiteral("Total Depth"),  QStringLiteral("Table Size"),
            QStringLiteral("Polish"),       QStringLiteral("Symetry"),
            QStringLiteral("Flourescence"), QStringLiteral("ID"),
            QStringLiteral("RAP then | current"), QStringLiteral("RAP /Stone then | current"),
            QStringLiteral("bought | off-RAP"),   QStringLiteral("sell / Stone"),
            QStringLiteral("RapPerStone"),  QStringLiteral("% Rap")};
}

QString moneyText(double v)
{
    // Halves away from zero, as on every page.
    return Decimal5::fromDouble(v).grouped2();
}

QString colourText(int number) { return gradeText(db::colourScale(), number); }
QString clarityText(int number) { return gradeText(db::clarityScale(), number); }

QList<SearchRow> searchRows(const QSqlDatabase &db, const StoneSearchFilter &f, const SearchOrder &order,
                            int offset, int limit)
{
    const SqlPart w = searchWhere(f);
    // The price columns of the chosen class (a fixed suffix, never typed).
    const QString tier = f.priceClass == 2 ? QStringLiteral("2") : f.priceClass == 3 ? QStringLiteral("3") : QString();
    QString sql = QStringLiteral(
                      "SELECT SingleStone.ID, SingleStone.SKU, SingleStone.Canadian, SingleStone.finishedpiece, "
                      "SingleStone.Lot, SingleStone.Status, SingleStone.DateOnMemo, SingleStone.datewassold, "
                      "Customer.CompanyName, SingleStone.Shape, SingleStone.Laboratory, SingleStone.Certificate, "
                      "SingleStone.Carat, SingleStone.Colour, SingleStone.Clarity, SingleStone.Cut, SingleStone.Dim1, "
                      "SingleStone.Dim2, SingleStone.Dim3, SingleStone.TotalDepth, SingleStone.TableSize, "
                      "SingleStone.FinishPolish, SingleStone.FinishSymetry, SingleStone.Flourescence, "
                      "SingleStone.RapPriceOnDateBought, SingleStone.RapaportPrice, SingleStone.BoughtPriceUS, "
                      "SingleStone.SellPriceUS%1, SingleStone.SellOffRap%1, SingleStone.currentRAPdiscountFORmemo, "
                      "SingleStone.Girdle, SingleStone.CODE, SingleStone.Comment, SingleStone.StoneIsPaidOff")
                      .arg(tier)
                  + kFrom + w.text + order.orderBy();
    if (limit >= 0) {
        sql += QStringLiteral(" LIMIT ? OFFSET ? ");
        QVariantList b = w.binds;
        b << limit << offset;
        return searchRows(db, sql, b);
    }
    return searchRows(db, sql, w.binds);
}

QList<SearchRow> searchRows(const QSqlDatabase &db, const QString &sql, const QVariantList &binds)
{
    QSqlQuery q = db::exec(db, sql, binds);
    QList<SearchRow> rows;
    while (q.next()) {
        auto v = [&](int i) { return q.value(i); };
        SearchRow r;
        r.id = v(0).toLongLong();
        const bool canadian = v(2).toInt() != 0;
        const QString status = v(5).toString();
        QString hash;
        if (status.compare(QLatin1String("Stock"), Qt::CaseInsensitive) == 0)
            hash = QStringLiteral("STOCK");
        else if (status.compare(QLatin1String("Memo"), Qt::CaseInsensitive) == 0)
            hash = v(6).isNull() ? QStringLiteral("MEMO") : QStringLiteral("MEMO ") + shortDate(v(6).toDateTime(), false);
        else if (status.compare(QLatin1String("Sold"), Qt::CaseInsensitive) == 0)
            hash = v(7).isNull() ? QStringLiteral("SOLD") : QStringLiteral("SOLD ") + shortDate(v(7).toDateTime(), false);
        else
            hash = status;
        const double carat = v(12).toDouble();
        QString measure;
        if (!v(16).isNull() || !v(17).isNull() || !v(18).isNull())
            measure = two(v(16)) + QLatin1Char('x') + two(v(17)) + QLatin1Char('x') + two(v(18));
        const QVariant rapThen = v(24), rapNow = v(25), bought = v(26);
        QString boughtText = QLatin1Char('$') + two(bought);
        const double rapBought = rapThen.toDouble() * carat;
        // Without a list price at purchase there is no discount to show.
        if (rapBought != 0)
            boughtText += QStringLiteral(" at ") + QString::number(100 - 100 * bought.toDouble() / rapBought, 'f', 2)
                          + QStringLiteral("% off");
        QString sell = QLatin1Char('$') + two(v(27)) + QStringLiteral(" at ") + two(v(28)) + QStringLiteral("% off RAP");
        if (!v(29).isNull())
            sell += QLatin1Char(' ') + two(v(29)) + QStringLiteral("% (MEMOed)");
        if (!v(6).isNull())
            sell += QLatin1Char(' ') + shortDate(v(6).toDateTime(), true);
        r.rapPerStone = rapNow.toDouble() * carat;
        r.cells << v(1).toString() + (canadian ? QStringLiteral("  >CANADIAN<") : QString())
                << (v(3).toInt() != 0 ? QStringLiteral("F") : QStringLiteral("D")) << v(4).toString() << hash
                << v(8).toString() << v(9).toString() << v(10).toString() + QLatin1Char(' ') + v(11).toString()
                << two(v(12)) << colourText(v(13).toInt()) << clarityText(v(14).toInt()) << v(15).toString()
                << measure << two(v(19)) << two(v(20)) << v(21).toString() << v(22).toString() << v(23).toString()
                << QString::number(r.id) << two(rapThen) + QStringLiteral(" ||| ") + two(rapNow)
                << QString::number(rapThen.toDouble() * carat, 'f', 2) + QStringLiteral(" ||| ")
                       + QString::number(r.rapPerStone, 'f', 2)
                << boughtText << sell << QString::number(r.rapPerStone, 'f', 2) << two(v(28));
        r.sku = v(1).toString();
        r.status = status;
        r.lab = v(10).toString();
        r.certificate = v(11).toString();
        r.girdle = v(30).toString();
        r.code = v(31).toString();
        r.comment = v(32).toString();
        r.carat = carat;
        r.rap = rapNow.toDouble();
        r.rapThen = rapThen.toDouble();
        r.boughtUS = bought.toDouble();
        r.sellUS = v(27).toDouble();
        r.sellOffRap = v(28).toDouble();
        r.paid = v(33).toInt() != 0;
        r.canadian = canadian;
        rows << r;
    }
    return rows;
}

} // namespace velmor::stones
