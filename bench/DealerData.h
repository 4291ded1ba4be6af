#pragma once
// Generated dealer data: a large, realistic inventory for the benchmark (and
// for any test that needs one).  Stones with the shapes, weights, grades,
// laboratories and prices a dealer holds, customers and suppliers, memo
// sheets and payments, and the weekly price grid in the provider's CSV
// layout.  Everything follows from the seed: the same seed and size give the
// same rows.
#include <QDate>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace velmor::bench {

// Grade numbers and their texts (the two scales of DiamondGrades).
QString colourText(int number);  // 45 -> "G/H"; "" when not on the scale
QString clarityText(int number); // 40 -> "VS1"; "" when not on the scale

struct GridRow {
    QString shape;   // "BR", "PS", "MQ", "PR"
    QString clarity; // "IF" .. "I3"
    QString colour;  // "D" .. "N"
    double low = 0;
    double high = 0;
    double price = 0; // US dollars per carat
};

// One week's price grid: four shapes, 18 weight ranges, 11 colours and 11
// clarities each (2,178 rows a shape).
class PriceGrid {
public:
    PriceGrid(quint32 seed, const QDate &listDate);

    static const QStringList &shapeCodes();  // BR, PS, MQ, PR
    static QString fileName(const QString &shapeCode); // round.csv, pear.csv, ...
    static const QStringList &colours();     // D .. N
    static const QStringList &clarities();   // IF .. I3

    QDate date() const { return m_date; }
    const QList<GridRow> &rows() const { return m_rows; }
    int rowsOf(const QString &shapeCode) const;

    // The grid price of one cell, 0 when there is none.
    double cell(const QString &shapeCode, const QString &colour, const QString &clarity,
                double weight) const;
    // The list price of a stone the way the look-up works: 6 to 9.99 ct on
    // the 5-carat row, split grades averaged over the cells that have a price.
    double listPrice(const QString &shapeCode, int colourNumber, int clarityNumber, double weight) const;

    // Writes round.csv, pear.csv, marquise.csv and princess.csv into the
    // folder in the provider's layout (shape, clarity, colour, low, high,
    // price, m/d/yy); returns the number of lines written.
    int writeFiles(const QString &folder) const;

private:
    QDate m_date;
    QList<GridRow> m_rows;
};

// Which grid prices a shape in the generated data (the dealer's settings
// price fancy shapes on the pear grid); "" when none.
QString gridCodeForShape(const QString &shape);

struct DealerDataOptions {
    int stones = 1000;
    quint32 seed = 20261206;
    // Stones needing the start-up repairs (missing prices, DEL rows, Null
    // certificates ...), as a share of the stones.
    double repairShare = 0.02;
};

struct DealerDataSummary {
    int stones = 0;
    int customers = 0;
    int suppliers = 0;
    int memoSheets = 0;
    int memoLines = 0;
    int payments = 0;
};

// Fills a database that has the tables but no rows of its own yet (a new
// database, or the base tables of an old one): columns a table lacks are
// left out.  `prices` is the grid the stones were priced on (last week's).
// Multi-row INSERTs; 100,000 stones take a few seconds.
DealerDataSummary fillDealerData(const QSqlDatabase &db, const DealerDataOptions &options,
                                 const PriceGrid &prices);

// The dealer's settings in the Config row (grid options, company, SKU
// prefixes): the columns the table has.
void writeDealerSettings(const QSqlDatabase &db);

// The rows of DiamondGrades, both scales (when the table is empty): an old
// database has them from the shared database's start.
void writeGradeTable(const QSqlDatabase &db);

// The grid rows into raplist in one go (what the database itself can do).
void insertGrid(const QSqlDatabase &db, const PriceGrid &grid);

} // namespace velmor::bench
