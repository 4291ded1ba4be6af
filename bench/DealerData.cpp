#include "DealerData.h"

#include "core/Figures.h"
#include "db/Sql.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>
#include <QSqlQuery>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>
#include <vector>

namespace velmor::bench {

namespace {

// ---------------------------------------------------------------- grades

struct Grade {
    int number;
    const char *text;
};

const Grade kColours[] = {
    {10, "D"},   {15, "D/E"}, {20, "E"},   {25, "E/F"}, {30, "F"},   {35, "F/G"}, {40, "G"},   {45, "G/H"},
    {50, "H"},   {55, "H/I"}, {60, "I"},   {65, "I/J"}, {70, "J"},   {75, "J/K"}, {80, "K"},   {85, "K/L"},
    {90, "L"},   {95, "L/M"}, {100, "M"},  {105, "M/N"}, {110, "N"}, {115, "N/O"}, {120, "O"}, {125, "O/P"},
    {130, "P"},  {135, "P/Q"}, {140, "Q"}, {145, "Q/R"}, {150, "R"}, {155, "R/S"}, {160, "S"}};

const Grade kClarities[] = {
    {4, "IF"},       {7, "IF/FL"},    {10, "FL"},     {15, "FL/VVS1"}, {20, "VVS1"},  {25, "VVS1/VVS2"},
    {30, "VVS2"},    {35, "VVS2/VS1"}, {40, "VS1"},   {45, "VS1/VS2"}, {50, "VS2"},   {55, "VS2/SI1"},
    {60, "SI1"},     {65, "SI1/SI2"}, {70, "SI2"},    {75, "SI2/SI3"}, {80, "SI3"},   {85, "SI3/I1"},
    {89, "I1+"},     {90, "I1"},      {91, "I1-"},    {95, "I1/I2"},   {99, "I2+"},   {100, "I2"},
    {101, "I2-"},    {105, "I2/I3"},  {110, "I3"},    {115, "I3/I4"},  {120, "I4"}};

template <size_t N>
QString gradeText(const Grade (&scale)[N], int number)
{
    for (const Grade &g : scale)
        if (g.number == number)
            return QString::fromLatin1(g.text);
    return {};
}

// ---------------------------------------------------------------- random

class Dice {
public:
    explicit Dice(quint32 seed) : m_rng(seed) {}
    double real() { return m_rng.generateDouble(); }
    double uniform(double a, double b) { return a + (b - a) * real(); }
    int between(int lo, int hiInclusive) { return lo + int(m_rng.bounded(quint32(hiInclusive - lo + 1))); }
    bool chance(double p) { return real() < p; }
    double normal()
    {
        const double u1 = std::max(real(), 1e-12);
        const double u2 = real();
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * M_PI * u2);
    }
    template <typename T>
    const T &pick(const std::vector<std::pair<T, double>> &weighted)
    {
        double total = 0;
        for (const auto &w : weighted)
            total += w.second;
        double r = real() * total;
        for (const auto &w : weighted) {
            if (r < w.second)
                return w.first;
            r -= w.second;
        }
        return weighted.back().first;
    }
    template <typename T>
    const T &pick(const std::vector<T> &items)
    {
        return items[size_t(m_rng.bounded(quint32(items.size())))];
    }

private:
    QRandomGenerator m_rng;
};

// ---------------------------------------------------------------- SQL literals

QString nullValue() { return QStringLiteral("NULL"); }

QString text(const QString &s)
{
    QString t = s;
    t.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    t.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + t + QLatin1Char('\'');
}
QString number(double v, int decimals = 5) { return QString::number(v, 'f', decimals); }
QString integer(qint64 v) { return QString::number(v); }
QString flag(bool on) { return on ? QStringLiteral("-1") : QStringLiteral("0"); }
QString dateTime(const QDateTime &d) { return text(d.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))); }
QString date(const QDate &d) { return text(d.toString(QStringLiteral("yyyy-MM-dd"))); }

using Fields = std::vector<std::pair<const char *, QString>>;

// Multi-row INSERTs into one table.  The first row fixes the column order;
// columns the table does not have are left out.
class BulkInsert {
public:
    BulkInsert(const QSqlDatabase &db, const QString &table) : m_db(db), m_table(table)
    {
        QSqlQuery q = db::exec(db,
                               QStringLiteral("SELECT LOWER(COLUMN_NAME) FROM information_schema.COLUMNS "
                                              "WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = ?"),
                               {table.toLower()});
        while (q.next())
            m_present.insert(q.value(0).toString());
        if (m_present.isEmpty())
            throw db::DbError(QStringLiteral("The table %1 does not exist.").arg(table));
    }
    ~BulkInsert() noexcept(false) { flush(); }

    void add(const Fields &row)
    {
        if (m_keep.empty()) {
            QStringList names;
            for (const auto &f : row) {
                const bool keep = m_present.contains(QString::fromLatin1(f.first).toLower());
                m_keep.push_back(keep);
                if (keep)
                    names << QString::fromLatin1(f.first);
            }
            m_head = QStringLiteral("INSERT INTO %1 (%2) VALUES ").arg(m_table, names.join(QLatin1Char(',')));
        }
        Q_ASSERT(row.size() == m_keep.size());
        m_sql += m_rows == 0 ? m_head : QStringLiteral(",");
        m_sql += QLatin1Char('(');
        bool first = true;
        for (size_t i = 0; i < row.size(); ++i) {
            if (!m_keep[i])
                continue;
            if (!first)
                m_sql += QLatin1Char(',');
            m_sql += row[i].second;
            first = false;
        }
        m_sql += QLatin1Char(')');
        if (++m_rows >= 1000 || m_sql.size() > 2'000'000)
            flush();
    }

    void flush()
    {
        if (m_rows == 0)
            return;
        db::exec(m_db, m_sql);
        m_sql.clear();
        m_rows = 0;
    }

private:
    QSqlDatabase m_db;
    QString m_table;
    QSet<QString> m_present;
    std::vector<bool> m_keep;
    QString m_head;
    QString m_sql;
    int m_rows = 0;
};

// ---------------------------------------------------------------- grid

struct WeightRange {
    double low, high, basePrice; // D-IF price per carat on the round grid
};

const WeightRange kRanges[] = {
    {0.01, 0.03, 1300},   {0.04, 0.07, 1500},   {0.08, 0.14, 1800},   {0.15, 0.17, 2300},
    {0.18, 0.22, 2800},   {0.23, 0.29, 3100},   {0.30, 0.39, 4600},   {0.40, 0.49, 5400},
    {0.50, 0.69, 8600},   {0.70, 0.89, 11500},  {0.90, 0.99, 15500},  {1.00, 1.49, 24500},
    {1.50, 1.99, 31000},  {2.00, 2.99, 48000},  {3.00, 3.99, 81000},  {4.00, 4.99, 102000},
    {5.00, 5.99, 131000}, {10.00, 10.99, 205000}};

double shapeFactor(const QString &code)
{
    if (code == QLatin1String("BR"))
        return 1.0;
    if (code == QLatin1String("PR"))
        return 0.80;
    return 0.86; // pear and marquise
}

QString shapeFileName(const QString &code)
{
    if (code == QLatin1String("BR"))
        return QStringLiteral("round.csv");
    if (code == QLatin1String("PS"))
        return QStringLiteral("pear.csv");
    if (code == QLatin1String("MQ"))
        return QStringLiteral("marquise.csv");
    return QStringLiteral("princess.csv");
}

} // namespace

QString colourText(int n) { return gradeText(kColours, n); }
QString clarityText(int n) { return gradeText(kClarities, n); }

const QStringList &PriceGrid::shapeCodes()
{
    static const QStringList codes{QStringLiteral("BR"), QStringLiteral("PS"), QStringLiteral("MQ"),
                                   QStringLiteral("PR")};
    return codes;
}

QString PriceGrid::fileName(const QString &shapeCode) { return shapeFileName(shapeCode); }

const QStringList &PriceGrid::colours()
{
    static const QStringList c{"D", "E", "F", "G", "H", "I", "J", "K", "L", "M", "N"};
    return c;
}

const QStringList &PriceGrid::clarities()
{
    static const QStringList c{"IF", "VVS1", "VVS2", "VS1", "VS2", "SI1", "SI2", "SI3", "I1", "I2", "I3"};
    return c;
}

PriceGrid::PriceGrid(quint32 seed, const QDate &listDate) : m_date(listDate)
{
    Dice dice(seed);
    for (const QString &code : shapeCodes()) {
        for (const WeightRange &r : kRanges) {
            for (int q = 0; q < clarities().size(); ++q) {
                for (int c = 0; c < colours().size(); ++c) {
                    // Whiter and cleaner is dearer; the steps flatten towards the low grades.
                    const double colourFactor = std::pow(0.91, c) * (c > 6 ? 1.03 : 1.0);
                    const double clarityFactor = std::pow(0.89, q);
                    double p = r.basePrice * shapeFactor(code) * colourFactor * clarityFactor
                        * dice.uniform(0.985, 1.015);
                    p = p >= 10000 ? std::round(p / 100) * 100 : std::round(p / 10) * 10;
                    m_rows.append({code, clarities().at(q), colours().at(c), r.low, r.high, p});
                }
            }
        }
    }
}

int PriceGrid::rowsOf(const QString &shapeCode) const
{
    return int(std::count_if(m_rows.cbegin(), m_rows.cend(),
                             [&](const GridRow &r) { return r.shape == shapeCode; }));
}

double PriceGrid::cell(const QString &shapeCode, const QString &colour, const QString &clarity,
                       double weight) const
{
    const int s = int(shapeCodes().indexOf(shapeCode));
    const int c = int(colours().indexOf(colour));
    const int q = int(clarities().indexOf(clarity));
    if (s < 0 || c < 0 || q < 0)
        return 0;
    constexpr int nRanges = int(std::size(kRanges));
    for (int r = 0; r < nRanges; ++r) {
        if (kRanges[r].low <= weight + 1e-9 && kRanges[r].high >= weight - 1e-9) {
            const int perShape = nRanges * int(clarities().size()) * int(colours().size());
            const int index = s * perShape + (r * int(clarities().size()) + q) * int(colours().size()) + c;
            return m_rows.at(index).price;
        }
    }
    return 0;
}

double PriceGrid::listPrice(const QString &shapeCode, int colourNumber, int clarityNumber, double weight) const
{
    if (weight >= 6 && weight < 10)
        weight = 5.5;
    const QString c = colourText(colourNumber);
    const QString q = clarityText(clarityNumber);
    const QString c1 = c.section(QLatin1Char('/'), 0, 0), c2 = c.contains(QLatin1Char('/')) ? c.section(QLatin1Char('/'), 1) : c1;
    const QString q1 = q.section(QLatin1Char('/'), 0, 0), q2 = q.contains(QLatin1Char('/')) ? q.section(QLatin1Char('/'), 1) : q1;
    double sum = 0;
    int n = 0;
    for (const QString &qq : {q1, q2})
        for (const QString &cc : {c1, c2}) {
            const double p = cell(shapeCode, cc, qq, weight);
            if (p != 0) {
                sum += p;
                ++n;
            }
        }
    return n ? sum / n : 0;
}

int PriceGrid::writeFiles(const QString &folder) const
{
    QDir().mkpath(folder);
    const QString dateText = QStringLiteral("%1/%2/%3")
                                 .arg(m_date.month())
                                 .arg(m_date.day())
                                 .arg(m_date.year() % 100, 2, 10, QLatin1Char('0'));
    int lines = 0;
    for (const QString &code : shapeCodes()) {
        QFile f(QDir(folder).filePath(fileName(code)));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw db::DbError(QStringLiteral("Cannot write %1").arg(f.fileName()));
        QTextStream out(&f);
        for (const GridRow &r : m_rows) {
            if (r.shape != code)
                continue;
            out << r.shape << ',' << r.clarity << ',' << r.colour << ',' << QString::number(r.low, 'f', 2) << ','
                << QString::number(r.high, 'f', 2) << ',' << QString::number(r.price, 'f', 2) << ',' << dateText
                << "\r\n";
            ++lines;
        }
    }
    return lines;
}

QString gridCodeForShape(const QString &shape)
{
    const QString up = shape.toUpper();
    if (shape.contains(QLatin1String("[BR]")) || up.contains(QLatin1String("ROUND")) || up == QLatin1String("RBC")
        || up.contains(QLatin1String("SQ BRILLIANT")) || up.contains(QLatin1String("REC BRILLIANT")))
        return QStringLiteral("BR");
    if (shape.contains(QLatin1String("[PR]")) || up.contains(QLatin1String("PRINCESS")))
        return QStringLiteral("PR");
    if (shape.contains(QLatin1String("[MQ]")) || up.contains(QLatin1String("MARQUISE")))
        return QStringLiteral("MQ");
    for (const char *pearPriced :
         {"[PS]", "PEAR", "EMERALD", "CUSHION", "RADIANT", "TRIANGLE", "HEART", "OVAL", "ASSCHER"})
        if (up.contains(QLatin1String(pearPriced)))
            return QStringLiteral("PS");
    return {};
}

void insertGrid(const QSqlDatabase &db, const PriceGrid &grid)
{
    BulkInsert ins(db, QStringLiteral("raplist"));
    const QString when = dateTime(QDateTime(grid.date(), QTime(0, 0)));
    for (const GridRow &r : grid.rows())
        ins.add({{"Shape", text(r.shape)},
                 {"Colour", text(r.colour)},
                 {"Clarity", text(r.clarity)},
                 {"LowCarat", number(r.low)},
                 {"HighCarat", number(r.high)},
                 {"Price", number(r.price)},
                 {"Date", when}});
    ins.flush();
}

void writeGradeTable(const QSqlDatabase &db)
{
    if (db::scalar(db, QStringLiteral("SELECT COUNT(*) FROM DiamondGrades")).toInt() > 0)
        return;
    BulkInsert ins(db, QStringLiteral("DiamondGrades"));
    for (const Grade &g : kColours)
        ins.add({{"Number", integer(g.number)}, {"Wording", text(QString::fromLatin1(g.text))}, {"Colour", flag(true)}, {"Clarity", flag(false)}});
    for (const Grade &g : kClarities)
        ins.add({{"Number", integer(g.number)}, {"Wording", text(QString::fromLatin1(g.text))}, {"Colour", flag(false)}, {"Clarity", flag(true)}});
}

void writeDealerSettings(const QSqlDatabase &db)
{
    const std::vector<std::pair<const char *, QString>> values{
        {"CompanyName", text(QStringLiteral("Northern Lights Diamonds Inc."))},
        {"CompanyCity", text(QStringLiteral("Toronto"))},
        {"CompanyProvince", text(QStringLiteral("ON"))},
        {"CompanyCountry", text(QStringLiteral("Canada"))},
        {"SKURound", text(QStringLiteral("R"))},
        {"SKUOther", text(QStringLiteral("F"))},
        {"AutoSku", flag(false)},
        {"StoneChange", flag(true)},
        {"PrincessEQPear", flag(false)},
        {"MarquiseEQPear", flag(false)},
        {"EmeraldEQPear", flag(true)},
        {"CushionEQPear", flag(true)},
        {"RadiantEQPear", flag(true)},
        {"TriangleEQPear", flag(true)},
        {"HeartEQPear", flag(true)},
        {"OvalEQPear", flag(true)},
        {"AsserEQPear", flag(true)},
        {"SquareBrilliantEQRound", flag(true)},
        {"RectangleBrilliantEQRound", flag(true)},
        {"GIAanythingelse", flag(false)},
        {"LowerQuality", flag(false)},
        {"AverageQuality", flag(true)},
        {"roundstonename", text(QStringLiteral("RBC"))},
        {"BuyUS", flag(true)},
        {"SellUS", flag(true)},
        {"SellOffRap", flag(true)},
        {"LockMemo", flag(false)},
        {"FloatValue", flag(true)},
        {"MyCurrencyName", text(QStringLiteral("CDN"))},
    };
    QSet<QString> present;
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT LOWER(COLUMN_NAME) FROM information_schema.COLUMNS "
                                              "WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = 'config'"));
    while (q.next())
        present.insert(q.value(0).toString());
    QStringList sets;
    for (const auto &v : values)
        if (present.contains(QString::fromLatin1(v.first).toLower()))
            sets << QStringLiteral("%1 = %2").arg(QString::fromLatin1(v.first), v.second);
    if (db::scalar(db, QStringLiteral("SELECT COUNT(*) FROM Config")).toInt() == 0)
        db::exec(db, QStringLiteral("INSERT INTO Config (CompanyName) VALUES ('')"));
    if (!sets.isEmpty())
        db::exec(db, QStringLiteral("UPDATE Config SET %1 ORDER BY ID LIMIT 1").arg(sets.join(QStringLiteral(", "))));
}

// ---------------------------------------------------------------- dealer data

namespace {

const QDate kToday(2026, 11, 27);

const std::vector<std::pair<QString, double>> kShapes{
    {QStringLiteral("Round Brilliant [BR]"), 50},
    {QStringLiteral("Pear [PS]"), 7},
    {QStringLiteral("Marquise [MQ]"), 4},
    {QStringLiteral("Princess [PR]"), 8},
    {QStringLiteral("Cushion"), 6},
    {QStringLiteral("Emerald"), 5},
    {QStringLiteral("Heart"), 2},
    {QStringLiteral("Radiant"), 3},
    {QStringLiteral("Triangle"), 0.5},
    {QStringLiteral("rec Brilliant"), 0.5},
    {QStringLiteral("sq Brilliant"), 0.5},
    {QStringLiteral("Oval"), 6},
    {QStringLiteral("Asscher"), 2},
    // Suppliers' and laboratories' own words.
    {QStringLiteral("ROUND"), 2},
    {QStringLiteral("RBC"), 1},
    {QStringLiteral("Oval Brilliant"), 1},
    {QStringLiteral("Cushion Modified Brilliant"), 1},
    {QStringLiteral("Old European"), 0.3},
};

const std::vector<std::pair<int, double>> kColourMix{
    {10, 4}, {20, 7}, {30, 10}, {40, 14}, {50, 14}, {60, 11}, {70, 9}, {80, 6}, {90, 3}, {100, 2}, {110, 1.5},
    {15, 0.5}, {25, 0.7}, {35, 1}, {45, 1.4}, {55, 1.2}, {65, 1}, {75, 0.8}, {85, 0.5}, {95, 0.3}, {105, 0.2},
    {120, 0.4}, {130, 0.3}, {140, 0.2}, {150, 0.1}, {160, 0.1}};

const std::vector<std::pair<int, double>> kClarityMix{
    {4, 3}, {10, 0.5}, {20, 6}, {30, 9}, {40, 14}, {50, 15}, {60, 16}, {70, 12}, {80, 3}, {90, 5}, {100, 2},
    {110, 1}, {7, 0.1}, {15, 0.2}, {25, 0.8}, {35, 1}, {45, 1.5}, {55, 1.5}, {65, 1.5}, {75, 0.6}, {85, 0.4},
    {89, 0.5}, {91, 0.5}, {95, 0.3}, {99, 0.3}, {101, 0.3}, {105, 0.2}, {115, 0.1}, {120, 0.1}};

const std::vector<std::pair<QString, double>> kLabs{
    {QStringLiteral("GIA"), 65}, {QStringLiteral("AGS"), 7}, {QStringLiteral("HRD"), 7},
    {QStringLiteral("IGI"), 12}, {QStringLiteral("EGL"), 6}, {QStringLiteral("GCAL"), 3}};

const std::vector<std::pair<QString, double>> kStatus{
    {QStringLiteral("Stock"), 70}, {QStringLiteral("Memo"), 10}, {QStringLiteral("Sold"), 18},
    {QStringLiteral("returned"), 2}};

const std::vector<std::pair<QString, double>> kCut{{QStringLiteral("Excellent"), 45}, {QStringLiteral("Very Good"), 30},
                                                   {QStringLiteral("Good"), 14}, {QStringLiteral("Fair"), 4},
                                                   {QStringLiteral("Ideal"), 7}};
const std::vector<std::pair<QString, double>> kFluor{{QStringLiteral("None"), 60}, {QStringLiteral("Faint"), 15},
                                                     {QStringLiteral("Medium"), 12}, {QStringLiteral("Strong"), 10},
                                                     {QStringLiteral("Very Strong"), 3}};
const std::vector<std::pair<QString, double>> kFinish{{QStringLiteral("Excellent"), 50},
                                                      {QStringLiteral("Very Good"), 35},
                                                      {QStringLiteral("Good"), 13}, {QStringLiteral("Fair"), 2}};
const std::vector<QString> kGirdle{QStringLiteral("Medium"), QStringLiteral("Thin to Medium"),
                                   QStringLiteral("Medium to Slightly Thick"), QStringLiteral("Thin to Slightly Thick"),
                                   QStringLiteral("Slightly Thick"), QStringLiteral("Very Thin to Thick")};
const std::vector<std::pair<QString, double>> kCulet{{QStringLiteral("None"), 90}, {QStringLiteral("Very Small"), 7},
                                                     {QStringLiteral("Small"), 3}};
const std::vector<QString> kFancy{QStringLiteral("Fancy Yellow"), QStringLiteral("Fancy Light Yellow"),
                                  QStringLiteral("Fancy Intense Yellow"), QStringLiteral("Fancy Light Pink"),
                                  QStringLiteral("Fancy Brown")};
const std::vector<QString> kLocations{QStringLiteral("Safe A"), QStringLiteral("Safe B"), QStringLiteral("Safe C"),
                                      QStringLiteral("Window"), QStringLiteral("Office"), QStringLiteral("Setter")};
const std::vector<QString> kComments{
    QStringLiteral("Eye clean, nice make."), QStringLiteral("Small feather at girdle, not visible face up."),
    QStringLiteral("Bought at the Antwerp tender."), QStringLiteral("Client asked for a matching pair."),
    QStringLiteral("Recut from 1.12 ct."), QStringLiteral("Crystal under table; price firm."),
    QStringLiteral("Laser inscription verified."), QStringLiteral("Memo terms: 14 days.")};

const std::vector<QString> kNameA{
    QStringLiteral("Northern"), QStringLiteral("Maple"),   QStringLiteral("Golden"),  QStringLiteral("Royal"),
    QStringLiteral("Brilliant"), QStringLiteral("Lakeshore"), QStringLiteral("Heritage"), QStringLiteral("Crown"),
    QStringLiteral("Silverline"), QStringLiteral("Harbour"), QStringLiteral("Prairie"), QStringLiteral("Summit"),
    QStringLiteral("Atlantic"), QStringLiteral("Pacific"),  QStringLiteral("Laurentian"), QStringLiteral("O'Brien &"),
    QStringLiteral("Goldfarb"), QStringLiteral("Rosen"),   QStringLiteral("Dubois"),  QStringLiteral("Tremblay")};
const std::vector<QString> kNameB{QStringLiteral("Jewellers"), QStringLiteral("Diamonds"), QStringLiteral("Gems"),
                                  QStringLiteral("Fine Jewellery"), QStringLiteral("Goldsmiths"),
                                  QStringLiteral("Trading"), QStringLiteral("Diamond Cutters"),
                                  QStringLiteral("Bijouterie")};
const std::vector<QString> kNameC{QStringLiteral("Ltd."), QStringLiteral("Inc."), QStringLiteral("Co."),
                                  QStringLiteral("& Sons"), QStringLiteral("BVBA"), QStringLiteral("")};
const std::vector<QString> kFirst{QStringLiteral("Anne"), QStringLiteral("David"), QStringLiteral("Marie"),
                                  QStringLiteral("Yossi"), QStringLiteral("Priya"), QStringLiteral("Jean-Luc"),
                                  QStringLiteral("Sarah"), QStringLiteral("Michael"), QStringLiteral("Lena"),
                                  QStringLiteral("Raj")};
const std::vector<QString> kLast{QStringLiteral("Cohen"), QStringLiteral("Gagnon"), QStringLiteral("Smith"),
                                 QStringLiteral("Patel"), QStringLiteral("Roy"), QStringLiteral("Nguyen"),
                                 QStringLiteral("Schwartz"), QStringLiteral("MacDonald"), QStringLiteral("Levi"),
                                 QStringLiteral("Wong")};
const std::vector<std::pair<QString, QString>> kCities{
    {QStringLiteral("Toronto"), QStringLiteral("ON")},     {QStringLiteral("Montreal"), QStringLiteral("QC")},
    {QStringLiteral("Vancouver"), QStringLiteral("BC")},   {QStringLiteral("Calgary"), QStringLiteral("AB")},
    {QStringLiteral("Ottawa"), QStringLiteral("ON")},      {QStringLiteral("Halifax"), QStringLiteral("NS")},
    {QStringLiteral("Winnipeg"), QStringLiteral("MB")},    {QStringLiteral("Quebec City"), QStringLiteral("QC")}};

QString certificateFor(const QString &lab, int stone, Dice &dice)
{
    // Each stone owns a block of numbers, so certificates never repeat.
    const qint64 n = qint64(stone) * 37 + dice.between(0, 36);
    if (lab == QLatin1String("GIA"))
        return QString::number(1100000000LL + n);
    if (lab == QLatin1String("AGS"))
        return QStringLiteral("104%1").arg(n, 9, 10, QLatin1Char('0'));
    if (lab == QLatin1String("HRD"))
        return QStringLiteral("%1").arg(160000000000LL + n);
    if (lab == QLatin1String("IGI"))
        return QStringLiteral("LG%1").arg(500000000LL + n);
    if (lab == QLatin1String("EGL"))
        return QStringLiteral("US%1D").arg(300000000LL + n);
    return QStringLiteral("GC-%1").arg(n, 8, 10, QLatin1Char('0'));
}

double roundTo(double v, int decimals)
{
    const double f = std::pow(10.0, decimals);
    return std::round(v * f) / f;
}

double caratWeight(Dice &dice)
{
    double w;
    if (dice.chance(0.85))
        w = std::exp(std::log(0.7) + 0.6 * dice.normal());
    else
        w = std::exp(dice.uniform(std::log(0.18), std::log(10.0)));
    return std::clamp(roundTo(w, 2), 0.18, 10.0);
}

// Measurements in mm from weight and shape.
void dimensions(const QString &shape, double carat, Dice &dice, double &d1, double &d2, double &d3)
{
    const double round = 6.45 * std::cbrt(carat);
    const QString up = shape.toUpper();
    if (up.contains(QLatin1String("ROUND")) || shape.contains(QLatin1String("[BR]")) || up == QLatin1String("RBC")) {
        d1 = round * dice.uniform(0.995, 1.0);
        d2 = round * dice.uniform(1.0, 1.008);
    } else if (up.contains(QLatin1String("PEAR")) || up.contains(QLatin1String("[PS]")) || up.contains(QLatin1String("OVAL"))) {
        d1 = round * 1.2;
        d2 = round * 0.8;
    } else if (up.contains(QLatin1String("MARQUISE")) || up.contains(QLatin1String("[MQ]"))) {
        d1 = round * 1.55;
        d2 = round * 0.72;
    } else if (up.contains(QLatin1String("EMERALD")) || up.contains(QLatin1String("REC"))) {
        d1 = round * 1.12;
        d2 = round * 0.8;
    } else {
        d1 = round * 0.9;
        d2 = round * 0.9 * dice.uniform(0.97, 1.0);
    }
    d3 = std::min(d1, d2) * dice.uniform(0.6, 0.68);
    d1 = roundTo(d1, 2);
    d2 = roundTo(d2, 2);
    d3 = roundTo(d3, 2);
}

QDateTime someTimeBetween(Dice &dice, const QDate &from, const QDate &to)
{
    const qint64 days = from.daysTo(to);
    const QDate d = from.addDays(qint64(dice.real() * double(days)));
    return QDateTime(d, QTime(dice.between(9, 17), dice.between(0, 59), dice.between(0, 59)));
}

} // namespace

DealerDataSummary fillDealerData(const QSqlDatabase &db, const DealerDataOptions &o, const PriceGrid &prices)
{
    DealerDataSummary sum;
    sum.stones = o.stones;
    sum.customers = std::max(40, o.stones / 40);
    sum.suppliers = std::max(10, o.stones / 400);
    const int parties = sum.customers + sum.suppliers;

    // Customers first (IDs 1..customers), then suppliers; a new database has
    // no customer rows, so IDs follow the insert order.
    {
        Dice dice(o.seed ^ 0x5eed0001u);
        BulkInsert ins(db, QStringLiteral("Customer"));
        for (int i = 1; i <= parties; ++i) {
            const bool supplier = i > sum.customers;
            const auto &city = dice.pick(kCities);
            const QString contact = dice.pick(kFirst) + QLatin1Char(' ') + dice.pick(kLast);
            QString company = QStringLiteral("%1 %2 %3").arg(dice.pick(kNameA), dice.pick(kNameB), dice.pick(kNameC)).trimmed();
            company += QStringLiteral(" #%1").arg(i); // names stay unique
            const QString phone = QStringLiteral("(%1) %2-%3").arg(dice.between(200, 999)).arg(dice.between(200, 999)).arg(dice.between(1000, 9999));
            ins.add({{"CompanyName", text(company)},
                     {"ContactName", text(contact)},
                     {"CompanyStreet1", text(QStringLiteral("%1 %2 Street").arg(dice.between(1, 999)).arg(dice.pick(kLast)))},
                     {"CompanyStreet2", dice.chance(0.2) ? text(QStringLiteral("Suite %1").arg(dice.between(100, 2500))) : nullValue()},
                     {"CompanyCity", text(city.first)},
                     {"CompanyProvince", text(city.second)},
                     {"CompanyZIP", text(QStringLiteral("M%1A %2B%3").arg(dice.between(1, 9)).arg(dice.between(1, 9)).arg(dice.between(1, 9)))},
                     {"CompanyCountry", text(QStringLiteral("Canada"))},
                     {"PhoneNumber1", text(phone)},
                     {"PhoneName1", text(QStringLiteral("Office"))},
                     {"PhoneNumber2", dice.chance(0.5) ? text(phone.left(10) + QStringLiteral("0000")) : nullValue()},
                     {"PhoneName2", text(QStringLiteral("Cell"))},
                     {"FaxNumber", dice.chance(0.3) ? text(phone) : nullValue()},
                     {"EMail", text(QStringLiteral("%1@example-%2.ca").arg(contact.section(QLatin1Char(' '), 0, 0).toLower()).arg(i))},
                     {"Customer", flag(!supplier)},
                     {"Supplier", flag(supplier)},
                     {"Terms", dice.chance(o.repairShare * 5) ? nullValue() : text(QStringLiteral("30"))},
                     {"PriceClass", dice.chance(o.repairShare * 5) ? nullValue() : integer(dice.between(1, 4))},
                     {"CreditLimit", number(dice.between(5, 200) * 1000.0, 2)},
                     {"RepID", integer(dice.between(1, 5))},
                     {"Hold", flag(dice.chance(0.02))}});
        }
    }

    // Memo sheets: a dealer has a few hundred open at a time.
    sum.memoSheets = std::max(10, o.stones / 100);
    std::vector<int> sheetCustomer(size_t(sum.memoSheets) + 1);
    {
        Dice dice(o.seed ^ 0x5eed0002u);
        BulkInsert ins(db, QStringLiteral("memosheet"));
        for (int i = 1; i <= sum.memoSheets; ++i) {
            sheetCustomer[size_t(i)] = dice.between(1, sum.customers);
            ins.add({{"CustomerID", integer(sheetCustomer[size_t(i)])},
                     {"Date", dateTime(someTimeBetween(dice, kToday.addDays(-120), kToday))},
                     {"Reference", text(QStringLiteral("M-%1").arg(i, 6, 10, QLatin1Char('0')))},
                     {"ref", text(QStringLiteral("M-%1").arg(i, 6, 10, QLatin1Char('0')))},
                     // A few sheets were closed while still holding stones (repaired at start).
                     {"closed", flag(dice.chance(o.repairShare))}});
        }
    }

    Dice dice(o.seed);
    BulkInsert stones(db, QStringLiteral("SingleStone"));
    BulkInsert memoLines(db, QStringLiteral("Memo"));
    BulkInsert received(db, QStringLiteral("PaymentReceived"));
    BulkInsert made(db, QStringLiteral("PaymentMade"));
    // Each sold stone is on a line of a closed invoice of its buyer (an old
    // database may not have the invoice tables yet).
    std::unique_ptr<BulkInsert> invoices, invoiceLines;
    if (db::tableExists(db, QStringLiteral("invoice")) && db::tableExists(db, QStringLiteral("invoicelist"))) {
        invoices = std::make_unique<BulkInsert>(db, QStringLiteral("invoice"));
        invoiceLines = std::make_unique<BulkInsert>(db, QStringLiteral("invoicelist"));
    }
    int invoiceId = 0;
    int skuRound = 0, skuOther = 0;
    const double r = o.repairShare;

    for (int id = 1; id <= o.stones; ++id) {
        const QString shape = dice.pick(kShapes);
        const QString grid = gridCodeForShape(shape);
        const double carat = caratWeight(dice);
        const int colour = dice.pick(kColourMix);
        const int clarity = dice.pick(kClarityMix);
        const QString lab = dice.pick(kLabs);
        const bool labGrown = lab == QLatin1String("IGI") && dice.chance(0.3);
        QString status = dice.pick(kStatus);
        if (dice.chance(r * 0.1))
            status = QStringLiteral("DEL"); // marked for deletion, removed at start
        const QString certificate = dice.chance(r * 0.5) ? QString() : certificateFor(lab, id, dice);
        const bool certNull = certificate.isEmpty();

        const QDateTime created = someTimeBetween(dice, kToday.addYears(-8), kToday.addDays(-1));
        const QDateTime changed = someTimeBetween(dice, created.date(), kToday);

        // Prices: the list price of last week's grid, held as a discount for most stones.
        const double rap = grid.isEmpty() ? 0 : prices.listPrice(grid, colour, clarity, carat);
        const bool lockPercent = dice.chance(0.85);
        double off = roundTo(dice.uniform(8, 45), 2);
        if (dice.chance(0.02))
            off = -roundTo(dice.uniform(1, 10), 2); // a premium over the list
        double sell = rap > 0 ? carat * (100 - off) * rap / 100 : roundTo(carat * dice.uniform(800, 6000), 0);
        const double cost = sell * dice.uniform(0.70, 0.9);
        const double exCdn = roundTo(dice.uniform(1.24, 1.41), 4);
        const double exZar = roundTo(dice.uniform(13.5, 19.2), 4);
        const bool hasTiers = dice.chance(0.6);
        const double off2 = off + 3, off3 = off + 6;
        const bool hasLx = dice.chance(0.3);
        const double offLx = off - 2;

        // Stones that need the start-up repairs.
        const bool noSellPrice = rap > 0 && dice.chance(r);
        const bool noDiscount = !noSellPrice && rap > 0 && dice.chance(r * 0.5);
        const bool noBuyCurrency = dice.chance(r * 2);
        const bool noTier2 = lockPercent && hasTiers && dice.chance(r);

        const bool memo = status == QLatin1String("Memo");
        const bool sold = status == QLatin1String("Sold");
        int customer = 0, sheet = 0;
        if (memo) {
            sheet = dice.between(1, sum.memoSheets);
            customer = sheetCustomer[size_t(sheet)];
        } else if (sold) {
            customer = dice.between(1, sum.customers);
        }
        const bool consignmentIn = dice.chance(0.08);
        const int supplier = sum.customers + dice.between(1, sum.suppliers);
        const bool held = status == QLatin1String("Stock") && dice.chance(0.03);

        double d1, d2, d3;
        dimensions(shape, carat, dice, d1, d2, d3);
        const bool roundCut = shape.contains(QLatin1String("[BR]")) || shape.toUpper().contains(QLatin1String("ROUND"))
            || shape == QLatin1String("RBC");
        const QString sku = roundCut ? QStringLiteral("R%1").arg(++skuRound, 4, 10, QLatin1Char('0'))
                                     : QStringLiteral("F%1").arg(++skuOther, 4, 10, QLatin1Char('0'));
        const QString description = QStringLiteral("%1 ct %2 %3 %4")
                                        .arg(QString::number(carat, 'f', 2), shape, colourText(colour), clarityText(clarity));

        // Sold and paid in full (the payment is the invoice line's amount).
        const bool paidInFull = sold && dice.chance(0.6);
        const QString priceCarat = number(std::min(roundTo(sell / carat, 2), 99999.0));
        stones.add({
            {"SKU", text(sku)},
            {"Shape", text(shape)},
            {"Lot", dice.chance(0.4) ? text(QStringLiteral("LOT-%1").arg(dice.between(1, 400), 3, 10, QLatin1Char('0'))) : nullValue()},
            {"Cut", roundCut || dice.chance(0.3) ? text(dice.pick(kCut)) : nullValue()},
            {"Flourescence", text(dice.pick(kFluor))},
            {"FancyColour", colour >= 120 || dice.chance(0.005) ? text(dice.pick(kFancy)) : nullValue()},
            {"FinishPolish", text(dice.pick(kFinish))},
            {"FinishSymetry", text(dice.pick(kFinish))},
            {"Girdle", text(dice.pick(kGirdle))},
            {"Culet", text(dice.pick(kCulet))},
            {"Laboratory", text(lab)},
            {"Certificate", certNull ? nullValue() : text(certificate)},
            {"Inscription1", !certNull && dice.chance(0.4) ? text(lab + QLatin1Char(' ') + certificate) : nullValue()},
            {"Inscription2", nullValue()},
            {"CODE", text(QStringLiteral("%1%2.%3").arg(QChar(u'A' + dice.between(0, 25))).arg(QChar(u'A' + dice.between(0, 25))).arg(dice.between(10, 99)))},
            {"Location", text(dice.pick(kLocations))},
            {"Status", text(status)},
            {"certfilename1", !certNull && dice.chance(0.3) ? text(QStringLiteral("%1_%2.pdf").arg(lab, certificate)) : nullValue()},
            {"certfilename2", nullValue()},
            {"Colour", integer(colour)},
            {"Clarity", integer(clarity)},
            {"CustomerID", customer ? integer(customer) : nullValue()},
            {"MemoSheetID", sheet ? integer(sheet) : nullValue()},
            {"OnHoldForCustomerID", held ? integer(dice.between(1, sum.customers)) : integer(0)},
            {"OnHoldDate", held ? date(kToday.addDays(-dice.between(0, 30))) : nullValue()},
            {"OnHoldNote", held ? text(QStringLiteral("Holding for the client's wife to see")) : nullValue()},
            {"ConsignmentInCustomerID", consignmentIn ? integer(supplier) : integer(0)},
            {"SupplierID", consignmentIn && dice.chance(0.3) ? nullValue() : integer(supplier)},
            {"hereonmemo", flag(consignmentIn)},
            {"TableSize", number(roundTo(dice.uniform(53, 63), 1))},
            {"TotalDepth", number(roundTo(dice.uniform(58, 64.5), 1))},
            {"CrownHeight", number(roundTo(dice.uniform(13, 16.5), 1))},
            {"PavillionDepth", number(roundTo(dice.uniform(42, 44.5), 1))},
            {"CrownAngle", number(roundTo(dice.uniform(32.5, 36), 1))},
            {"PavillionAngle", number(roundTo(dice.uniform(40.4, 41.4), 1))},
            {"GirdleDimension", number(roundTo(dice.uniform(2.5, 4.5), 1))},
            {"Dim1", number(d1)},
            {"Dim2", number(d2)},
            {"Dim3", number(d3)},
            {"Carat", number(carat)},
            {"BoughtPriceUS", number(roundTo(cost, 2))},
            {"BoughtPriceLocal", number(roundTo(cost * exCdn, 2))},
            {"bought_exchangerateCDN", number(exCdn)},
            {"bought_exchangerateZAR", number(exZar)},
            {"RapPriceOnDateBought", number(roundTo(rap * dice.uniform(0.92, 1.02), 2))},
            {"RapaportPrice", rap > 0 ? number(rap) : nullValue()},
            {"SellOffRap", noDiscount ? nullValue() : number(lockPercent || rap > 0 ? off : 0)},
            {"SellOffRap2", hasTiers ? number(off2) : nullValue()},
            {"SellOffRap3", hasTiers ? number(off3) : nullValue()},
            {"SellOffRaplx", hasLx ? number(offLx) : nullValue()},
            {"SellPriceUS", noSellPrice ? nullValue() : number(roundTo(sell, 4), 4)},
            {"SellPriceUS2", hasTiers && rap > 0 && !noTier2 ? number(roundTo(carat * (100 - off2) * rap / 100, 4), 4) : nullValue()},
            {"SellPriceUS3", hasTiers && rap > 0 ? number(roundTo(carat * (100 - off3) * rap / 100, 4), 4) : nullValue()},
            {"SellPriceUSlx", hasLx && rap > 0 ? number(roundTo(carat * (100 - offLx) * rap / 100, 4), 4) : nullValue()},
            {"LockPercent", flag(lockPercent)},
            {"LockPercentlx", flag(hasLx)},
            {"PaidOffPercentageUS", number(consignmentIn ? 0 : 100)},
            {"PaidOffPercentageLocal", number(0)},
            {"PaidOffUS", number(consignmentIn ? 0 : roundTo(cost, 2))},
            {"PaidOffLocal", number(0)},
            {"MemoUS", memo ? number(roundTo(sell, 2)) : nullValue()},
            {"MemoLocal", memo ? number(roundTo(sell * exCdn, 2)) : nullValue()},
            {"currentRAPdiscountFORmemo", memo ? number(off, 2) : nullValue()},
            {"DateOnMemo", memo ? dateTime(changed) : nullValue()},
            {"datewassold", sold ? dateTime(changed) : nullValue()},
            {"Canadian", flag(dice.chance(0.03))},
            {"lab_dia", flag(labGrown)},
            {"finishedpiece", flag(dice.chance(0.01))},
            {"BuyingInUS", flag(!noBuyCurrency)},
            {"BuyingInLocal", flag(false)},
            {"StoneIsPaidOff", flag(paidInFull)},
            {"StoneIsPaidOffMemoIn", flag(false)},
            {"MemoInPaymentMade", flag(false)},
            {"MemoInPaidOff", flag(false)},
            {"PublishPriceOnLustrabay", flag(dice.chance(0.5))},
            {"DontPublishOnLustrabay", flag(dice.chance(0.2))},
            {"PublishPriceOnLustrabayLocal", flag(false)},
            {"DontPublishOnLustrabayLocal", flag(true)},
            {"DateCreated", dateTime(created)},
            {"DateStatusChange", status == QLatin1String("Stock") ? nullValue() : dateTime(changed)},
            {"RND", integer(dice.between(1, 1000000))},
            {"description", dice.chance(0.5) ? text(description) : nullValue()},
            {"ItemID", integer(0)},
            {"Comment", dice.chance(0.2) ? text(dice.pick(kComments)) : nullValue()},
        });

        if (memo) {
            memoLines.add({{"MemoSheetID", integer(sheet)},
                           {"DiamondID", integer(id)},
                           {"ParcelID", integer(0)},
                           {"CustomerID", integer(customer)},
                           {"Date", dateTime(changed)},
                           {"setdate", dateTime(changed)},
                           {"Quantity", integer(1)},
                           {"Carat", number(carat)},
                           {"US", number(roundTo(sell, 2))},
                           {"Local", number(roundTo(sell * exCdn, 2))},
                           {"userid", integer(1)},
                           {"outonmemorapdiscount", number(off, 4)}});
            ++sum.memoLines;
        }
        if (sold && invoices) {
            ++invoiceId;
            invoices->add({{"ID", integer(invoiceId)},
                           {"customerid", integer(customer)},
                           {"datecreated", dateTime(changed)},
                           {"dateclosed", dateTime(changed)},
                           {"status", text(QStringLiteral("closed"))}});
            invoiceLines->add({{"invoiceid", integer(invoiceId)},
                               {"diamondid", integer(id)},
                               {"carat", number(carat)},
                               {"dateadded", dateTime(changed)},
                               {"pricecarat", priceCarat},
                               {"exchangerateCDN", number(exCdn)},
                               {"exchangerateZAR", number(exZar)},
                               {"taxrate", number(0)}});
        }
        if (paidInFull) {
            const Decimal5 amount =
                Decimal5::parse(priceCarat).value_or(Decimal5()).times(Decimal5::parse(number(carat)).value_or(Decimal5()), 2);
            const Decimal5 local = amount.times(Decimal5::parse(number(exCdn)).value_or(Decimal5()), 2);
            received.add({{"StoneID", integer(id)},
                          {"CustomerID", integer(customer)},
                          {"Date", dateTime(changed)},
                          {"Reference", text(QStringLiteral("CHQ %1").arg(dice.between(1000, 99999)))},
                          {"PaymentUS", amount.fixed(2)},
                          {"PaymentLocal", local.fixed(2)}});
            ++sum.payments;
        }
        if (consignmentIn) {
            made.add({{"StoneID", integer(id)},
                      {"CustomerID", integer(supplier)},
                      {"Date", dateTime(created)},
                      {"Reference", nullValue()},
                      {"PaymentUS", number(0)},
                      {"PaymentLocal", number(0)},
                      {"EmployeeID", integer(1)}});
            ++sum.payments;
        }
    }
    stones.flush();
    memoLines.flush();
    received.flush();
    made.flush();
    if (invoices) {
        invoices->flush();
        invoiceLines->flush();
    }

    // A few users and the synonym tables a working shop has.
    if (db::tableExists(db, QStringLiteral("user"))) {
        BulkInsert users(db, QStringLiteral("user"));
        const char *names[][3] = {{"admin", "Anne", "Cohen"}, {"david", "David", "Gagnon"}, {"priya", "Priya", "Patel"}};
        for (const auto &n : names)
            users.add({{"UserName", text(QString::fromLatin1(n[0]))},
                       {"Password", text(QStringLiteral("secret"))},
                       {"FirstName", text(QString::fromLatin1(n[1]))},
                       {"LastName", text(QString::fromLatin1(n[2]))},
                       {"Administrator", flag(QLatin1String(n[0]) == QLatin1String("admin"))},
                       {"ViewCost", flag(true)},
                       {"AllowExchangeRateChanging", flag(true)},
                       {"AllowMemoAssigning", flag(true)},
                       {"AllowEdit", flag(true)},
                       {"AllowDelete", flag(false)},
                       {"AllowDiamond2Create", flag(true)},
                       {"AllowDiamond1Create", flag(true)},
                       {"AllowRestockParcel", flag(true)},
                       {"AllowInvoiceView", flag(true)}});
    }
    if (db::tableExists(db, QStringLiteral("shapewords"))) {
        BulkInsert words(db, QStringLiteral("shapewords"));
        const char *rows[][3] = {{"ROUND BRILLIANT [BR]", "RBC", "ROUND"},
                                 {"PEAR [PS]", "PS", "PB"},
                                 {"MARQUISE [MQ]", "MQ", "MB"},
                                 {"PRINCESS [PR]", "PR", "PMB"},
                                 {"CUSHION", "CMB", "CB"}};
        int n = 0;
        for (const auto &w : rows)
            words.add({{"row", integer(++n)},
                       {"master", text(QString::fromLatin1(w[0]))},
                       {"w1", text(QString::fromLatin1(w[1]))},
                       {"w2", text(QString::fromLatin1(w[2]))}});
    }
    return sum;
}

} // namespace velmor::bench
