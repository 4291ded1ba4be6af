#pragma once
// The list-price grid (table raplist): the look-up of one list price, an
// in-memory copy of the grid for bulk work, and the reading of the four
// grid files.
#include <QDate>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <array>
#include <vector>

namespace velmor {
struct Settings;
}

namespace velmor::pricing {

enum class Grid { Round, Pear, Marquise, Princess };
constexpr std::array<Grid, 4> kAllGrids{Grid::Round, Grid::Pear, Grid::Marquise, Grid::Princess};

// "BR", "PS", "MQ", "PR".
QString gridCode(Grid g);
// "Round", "Pear", "Marquise", "Princess".
QString gridName(Grid g);
// "round.csv", "pear.csv", "marquise.csv", "princess.csv".
QString gridFileName(Grid g);

// Stones of 6.00 to 9.99 carats are priced on the 5-carat row.
double lookupWeight(double weight);

// Text comparison as the database makes it for the grid and shape queries
// (utf8mb4_unicode_ci: letter case and accents do not count).
QString foldForCompare(const QString &s);
// SQL LIKE on folded text, with % and _ as wildcards and \ as escape.
bool sqlLike(const QString &value, const QString &pattern);

// Where list prices come from.  The four look-ups of one list price and the
// averaging over split grades are the same for every source; a source only
// answers single cells.
class PriceSource {
public:
    virtual ~PriceSource() = default;
    // The price of the first grid row (by ID) for that cell and weight, 0 when none.
    virtual double cell(Grid g, double weight, const QString &colour, const QString &clarity) const = 0;
    // The list price per carat for weight, colour and clarity texts: the 5.5
    // carat rule, split grades, the lower-quality rule and the averaging of
    // the cells that are not 0.
    double price(Grid g, double weight, const QString &colour, const QString &clarity, bool lowerQuality) const;
};

// One query per cell on raplist, as the stone screen runs it.  Grades are
// compared as they are (letter case aside): % and _ in them are no wildcards.
class SqlPriceSource : public PriceSource {
public:
    explicit SqlPriceSource(QSqlDatabase db) : m_db(std::move(db)) {}
    double cell(Grid g, double weight, const QString &colour, const QString &clarity) const override;
    // The newest Date of the grid rows that gave a price so far (the date
    // of the list price printed with it); invalid when none had one.
    QDate latestDate() const { return m_latest; }

private:
    QSqlDatabase m_db;
    mutable QDate m_latest;
};

// The whole grid read once into memory (a few thousand rows).
class GridCache : public PriceSource {
public:
    void load(const QSqlDatabase &db);
    double cell(Grid g, double weight, const QString &colour, const QString &clarity) const override;
    int size() const { return m_count; }

private:
    struct Cell {
        double low, high, price;
    };
    // Per grid: folded colour + '\n' + folded clarity -> rows in ID order.
    std::array<QHash<QString, std::vector<Cell>>, 4> m_cells;
    int m_count = 0;
};

// The four look-up modules: (weight, colour text, clarity text) in, list
// price per carat out, 0 when no grid row applies.
double GetRapPriceRoundModule(const QSqlDatabase &db, const Settings &s, double weight, const QString &colour,
                              const QString &clarity);
double GetRapPricePearModule(const QSqlDatabase &db, const Settings &s, double weight, const QString &colour,
                             const QString &clarity);
double GetRapPriceMarquiseModule(const QSqlDatabase &db, const Settings &s, double weight, const QString &colour,
                                 const QString &clarity);
double GetRapPricePrincessModule(const QSqlDatabase &db, const Settings &s, double weight, const QString &colour,
                                 const QString &clarity);

// One row of a grid file.
struct GridRow {
    QString shape, clarity, colour;
    double low = 0, high = 0, price = 0;
    QString lowText, highText, priceText; // as the file gives them (stored exactly)
    QDate date;
};

// A grid file read whole, or what was wrong with it.
struct GridFile {
    QString path;
    QList<GridRow> rows;
    bool ok = false;
    int errorLine = 0;   // 1-based; 0 when the fault is not on one line
    QString error;       // "line 12: the price \"12a0\" is not a number"
};

// The largest grid file read or downloaded: the provider's largest grid is
// under 1 MB.
constexpr qint64 kGridFileLimit = 4 * 1024 * 1024;

// Reads one grid file (a regular file of at most kGridFileLimit): seven comma-separated fields a line (shape, clarity,
// colour, low weight, high weight, price, m/d/yy date), optional double
// quotes, blanks around fields ignored, point decimals; a line whose first
// field is empty ends the file.  Anything else that is not a grid row makes
// the file bad.
GridFile readGridFile(const QString &path);
// The same on text already in memory (tests, downloads).
GridFile parseGridText(const QString &text, const QString &path = {});
// The fields of one line, quotes removed and blanks trimmed.
QStringList splitGridLine(const QString &line, bool *ok = nullptr);

} // namespace velmor::pricing
