#pragma once
// The customer search (SearchCustomerStringModule): free words and filters
// to a grid of customers and suppliers, and its CSV export.
#include <QAbstractTableModel>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

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

// The grid as a table model for the screen: the rows as they came, no copy
// per cell, so that a search of many thousand rows fills its grid at once.
class CustomerGridModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;
    void setGrid(CustomerGrid g);
    const CustomerGrid &grid() const { return m_grid; }
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation o, int role = Qt::DisplayRole) const override;

private:
    CustomerGrid m_grid;
};

// The words of the search text: split at blanks, at most 20.
QStringList searchWords(const QString &text);
// A word as a LIKE pattern that matches itself only (%, _ and \ escaped).
QString likeLiteral(const QString &text);

// Every word must be found in the name, contact, street or a phone number,
// or be the beginning of the city; each word matches itself literally
// (a %, _, ' or \ in it is no pattern).
CustomerGrid searchCustomers(const QSqlDatabase &db, const CustomerFilter &f);

// The search as the screen runs it after each keystroke.  While the user
// types on (every earlier word the beginning of the new one, the filters
// unchanged, the last search a few seconds old), the rows found a moment ago
// are narrowed down in memory instead of scanning the table again; words or
// rows outside plain printable ASCII always go to the database, whose
// comparison of other letters (accents, expansions) the program does not
// imitate.
class CustomerSearcher {
public:
    CustomerGrid search(const QSqlDatabase &db, const CustomerFilter &f);
    // Forget the last rows (after a save, or to force a fresh read).
    void reset() { m_valid = false; }
    bool lastFromMemory() const { return m_fromMemory; }
    int maxAgeMs = 10000;

private:
    bool m_valid = false;
    bool m_fromMemory = false;
    CustomerFilter m_filter;
    CustomerGrid m_grid;
    qint64 m_when = 0;
};

// One cell of the export: "," becomes ";", a line break a blank, an
// apostrophe is doubled.
QString exportCell(const QString &text);
// cmdExport: the header and every row, cells separated by ",".  Returns
// false with the reason when the file cannot be written (nothing is left
// half written: the file is replaced only when complete).
bool exportGrid(const CustomerGrid &g, const QString &fileName, QString *why = nullptr);

// The address block a pick hands to the stone screen: name, street, city,
// contact, "Phone: " phone 1, each on a line of its own, empty parts left out.
QString pickAddressBlock(const QSqlDatabase &db, qint64 customerId);

} // namespace velmor::customers
