#pragma once
// The stone search: the filters of the search screen, the WHERE text they
// make (every typed value bound), the order chosen by a grid heading, the
// totals over the same filters, and the rows with their display texts.
#include <QDate>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <optional>

namespace velmor::stones {

struct StoneSearchFilter {
    // Statuses to include; with none ticked nothing matches.
    bool inStock = true;
    bool memo = true;
    bool returned = false;
    bool preSold = false;
    bool sold = false;
    qint64 customerId = 0; // narrows memo and sold stones; 0 = all customers
    bool hereOnMemo = false;
    QString sku;          // prefix, literal
    QString certificate;  // prefix, literal
    QString lot;          // substring, literal
    QString shape, lab, cut, fluorescence; // exact; "*" or empty = any
    QString lowWeight, highWeight;          // as typed; not a number counts as 0
    bool allowRange = false;                // widen the carat range by 15 %
    int lowColour = 0, highColour = 0, lowClarity = 0, highClarity = 0;
    QDate day; // stones created on that day; invalid = any day
    bool canadian = false, notCanadian = false;
    bool labGrown = false, natural = false;
    bool finished = false;
    bool excludeBound = false, onlyBound = false;
    // Not a filter: the selling-price class (1 to 3) the price columns show.
    int priceClass = 1;
};

struct SqlPart {
    QString text;
    QVariantList binds;
};

// " WHERE ..." over SingleStone (columns qualified), with its bound values.
SqlPart searchWhere(const StoneSearchFilter &f);

// A LIKE pattern that matches `text` literally (escape character '!').
QString likeLiteral(const QString &text);

// A weight as typed, in exact decimal form ("" when not a positive number).
QString weightText(const QString &typed);
// The refusal of a typed weight range ("Weight from", "Weight to"): a text
// that is not a figure or is not above 0; empty when both are fine or empty.
QString weightRefusal(const QString &low, const QString &high);

// Sorting by a grid heading: the column behind a heading, and the toggle.
class SearchOrder {
public:
    // Clicking a heading: the same column again switches ascending/descending.
    void click(const QString &heading);
    QString column() const { return m_column; }
    bool descending() const { return m_desc; }
    QString orderBy() const; // " ORDER BY SingleStone.Carat, SingleStone.ID"
    static QString columnFor(const QString &heading);

private:
    QString m_column = QStringLiteral("Carat");
    bool m_desc = false;
};

struct SearchTotals {
    qint64 count = 0;
    double rapSum = 0; // sum of RapaportPrice x Carat
};
// Both totals from one aggregate query over the same filters.
SearchTotals searchTotals(const QSqlDatabase &db, const StoneSearchFilter &f);

// The grid's columns in order.
QStringList searchColumns();

struct SearchRow {
    qint64 id = 0;
    QStringList cells; // in searchColumns() order
    double rapPerStone = 0;
    // The stored values behind the printed reports and the stone lists.
    QString sku, status, lab, certificate, girdle, code, comment;
    double carat = 0, rap = 0, rapThen = 0, boughtUS = 0, sellUS = 0, sellOffRap = 0;
    bool paid = false, canadian = false;
};
// The grid's column numbers.
enum SearchColumn {
    ColSKU, ColType, ColLot, ColHash, ColCustomer, ColShape, ColCert, ColWeight, ColColour, ColClarity, ColCut,
    ColMeasurement, ColDepth, ColTable, ColPolish, ColSymetry, ColFlourescence, ColID, ColRapHistory,
    ColRapStoneHistory, ColBought, ColSell, ColRapPerStone, ColRapPercent
};
// Rows from `offset`, at most `limit` (all when limit < 0).
QList<SearchRow> searchRows(const QSqlDatabase &db, const StoneSearchFilter &f, const SearchOrder &order,
                            int offset = 0, int limit = -1);

// The first screenful of rows, and the totals when that screenful holds the
// whole result (they then cost no more than the rows did).  Otherwise the
// totals are for the caller to read apart: on a large stock they visit every
// matching stone, the rows only a screenful.
struct FirstPage {
    QList<SearchRow> rows;
    std::optional<SearchTotals> totals;
};
FirstPage firstPage(const QSqlDatabase &db, const StoneSearchFilter &f, const SearchOrder &order, int size);
// The totals of rows in hand, exactly those the server's aggregate gives for
// the same stones; nothing when a stored figure cannot be read back exactly
// from the row (a figure of ten or more whole digits).
std::optional<SearchTotals> totalsOfRows(const QList<SearchRow> &rows);

// Runs a prepared row query (the columns of searchRows).
QList<SearchRow> searchRows(const QSqlDatabase &db, const QString &sql, const QVariantList &binds);

// An amount as "###,##0.00" ("5,050.00").
QString moneyText(double v);

QString colourText(int number);
QString clarityText(int number);

} // namespace velmor::stones
