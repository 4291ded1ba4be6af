#pragma once
// The customer search (SearchCustomerStringModule): free words and filters
// to a grid of customers and suppliers, and its CSV export.
#include <QAbstractTableModel>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <optional>

namespace velmor::customers {

struct CustomerFilter {
    QString words;          // txtSearchField
    bool onHold = false;    // chkOnHold
    bool customers = false; // chkCustomer
    bool suppliers = false; // chkSupplier
    qint64 repId = 0;       // cboRep; 0 for any
    qint64 id = 0;          // an ID passed by the caller; 0 for any
};

// The grid's columns in their order; the last is the ID.
const QStringList &searchColumns();
int emailColumn();
int webColumn();
int idColumn();

struct CustomerGrid {
    QStringList header; // searchColumns()
    QList<QStringList> rows;
    QString countText() const; // "Found n Customers"
};

// "Found n Customers"
QString foundText(qint64 n);

// The words of the search text: split at blanks, at most 20.
QStringList searchWords(const QString &text);
// A word as a LIKE pattern that matches itself only (%, _ and \ escaped).
QString likeLiteral(const QString &text);
// The typographic apostrophe that names are stored with where ' was typed.
inline constexpr char16_t kApostrophe = u'\u2019';
// The forms of a word that a search treats alike: itself, and for a word
// with an apostrophe (' or the typographic one) the word with every
// apostrophe as ' and as the typographic one.
QStringList apostropheForms(const QString &word);

// Every word must be found in the name, contact, street or a phone number,
// or be the beginning of the city; each word matches itself literally
// (a %, _, ' or \ in it is no pattern).  Every row, by name and ID.
CustomerGrid searchCustomers(const QSqlDatabase &db, const CustomerFilter &f);

// A row's place in the grid's order: by name (customers without a name
// first), then by ID.
struct CustomerKey {
    bool noName = false;
    QString name;
    qint64 id = 0;
};

// Rows of the search in the grid's order, read a screenful at a time: at
// most `limit` rows, from the first or from the row after `after`.  Each
// read starts where the last row shown stands, so a row that stays as it
// was is shown exactly once however many rows other workstations add or
// remove between two reads.
struct CustomerPage {
    QList<QStringList> rows;
    CustomerKey last; // the key of the last row (when there are rows)
    bool more = false; // rows follow the last one
};
// `sparse` says that few rows are expected (the read then skips the walk by
// name that suits many); the rows are the same either way.
CustomerPage searchPage(const QSqlDatabase &db, const CustomerFilter &f, int limit,
                        const std::optional<CustomerKey> &after = std::nullopt, bool sparse = false);

// Whether every row `now` finds is also found by `before` (the same boxes,
// each earlier word the beginning of the word in its place, maybe more words).
bool narrowerSearch(const CustomerFilter &before, const CustomerFilter &now);

// How many rows the search finds, without reading them.
qint64 countCustomers(const QSqlDatabase &db, const CustomerFilter &f);

// The grid as a table model for the screen.  A search reads the first
// screenful only; the view asks for further rows as the user scrolls
// (canFetchMore/fetchMore), each read from the database when it is asked for.
class CustomerGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kFirstPage = 50;
    static constexpr int kNextPage = 500;

    using QAbstractTableModel::QAbstractTableModel;
    // The first screenful of the search; throws DbError (the grid is then
    // empty and nothing more is fetched).
    void search(const QSqlDatabase &db, const CustomerFilter &f);
    // The rows read so far.
    const CustomerGrid &grid() const { return m_grid; }
    // Every row of the search has been read.
    bool complete() const { return !m_more; }
    void setPageSizes(int first, int next);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation o, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

signals:
    // Further rows could not be read; the grid keeps what it shows.
    void fetchFailed(const QString &why);

private:
    CustomerGrid m_grid;
    QSqlDatabase m_db;
    CustomerFilter m_filter;
    CustomerKey m_last;
    bool m_more = false;
    bool m_fewFound = false; // the last search's first read held every row
    int m_firstPage = kFirstPage;
    int m_nextPage = kNextPage;
};

// One cell of the export: "," becomes ";", a line break a blank, an
// apostrophe is doubled; a text a spreadsheet would take for a formula gets
// an apostrophe in front.
QString exportCell(const QString &text);
// cmdExport: the header and every row, cells separated by ",".  Returns
// false with the reason when the file cannot be written (nothing is left
// half written: the file is replaced only when complete).
bool exportGrid(const CustomerGrid &g, const QString &fileName, QString *why = nullptr);

// The address block a pick hands to the stone screen: name, street, city,
// contact, "Phone: " phone 1, each on a line of its own, empty parts left out.
QString pickAddressBlock(const QSqlDatabase &db, qint64 customerId);

} // namespace velmor::customers
