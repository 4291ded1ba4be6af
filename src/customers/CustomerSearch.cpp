#include "customers/CustomerSearch.h"

#include "core/SpreadsheetCells.h"
#include "customers/CustomerRecord.h"

#include "db/Row.h"
#include "db/Sql.h"

#include <QRegularExpression>
#include <QSaveFile>
#include <QTextStream>

namespace velmor::customers {

namespace {

constexpr int kMaxWords = 20;

} // namespace

QString likeLiteral(const QString &text)
{
    QString out = text;
    out.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    out.replace(QLatin1Char('%'), QStringLiteral("\\%"));
    out.replace(QLatin1Char('_'), QStringLiteral("\\_"));
    return out;
}

const QStringList &searchColumns()
{
    static const QStringList c = {QStringLiteral("Company Name"), QStringLiteral("City"),    QStringLiteral("State/Prov"),
                                  QStringLiteral("Contact"),      QStringLiteral("Street"),  QStringLiteral("Phone 1"),
                                  QStringLiteral("Phone 2"),      QStringLiteral("Fax"),     QStringLiteral("e-mail"),
                                  QStringLiteral("Web"),          QStringLiteral("ID")};
    return c;
}
int emailColumn() { return 8; }
int webColumn() { return 9; }
int idColumn() { return 10; }

QString foundText(qint64 n)
{
    return QStringLiteral("Found ") + QString::number(n) + QStringLiteral(" Customers");
}

QString CustomerGrid::countText() const { return foundText(rows.size()); }

QStringList apostropheForms(const QString &word)
{
    const QChar typographic(kApostrophe);
    if (!word.contains(QLatin1Char('\'')) && !word.contains(typographic))
        return {word};
    QString plain = word, curly = word;
    plain.replace(typographic, QLatin1Char('\''));
    curly.replace(QLatin1Char('\''), typographic);
    return {plain, curly};
}

QStringList searchWords(const QString &text)
{
    static const QRegularExpression blanks(QStringLiteral(" +"));
    return text.split(blanks, Qt::SkipEmptyParts).mid(0, kMaxWords);
}

namespace {

constexpr const char *kSelect = "SELECT CompanyName, CompanyCity, CompanyProvince, ContactName, CompanyStreet1, "
                                "PhoneNumber1, PhoneNumber2, FaxNumber, Email, WWW, ID FROM Customer %1";
constexpr const char *kOrder = " ORDER BY CompanyName, ID";

struct Condition {
    QString sql; // "WHERE ..."
    QVariantList binds;
};

Condition whereOf(const CustomerFilter &f)
{
    Condition c;
    c.sql = QStringLiteral("WHERE 1=1 AND ");
    // Flags are written as -1 by this program and 1 by others: any non-zero
    // value is true, and Null counts as not ticked.
    if (f.onHold)
        c.sql += QStringLiteral(" (COALESCE(Hold,0)<>0) AND ");
    if (f.customers)
        c.sql += QStringLiteral(" (COALESCE(Customer,0)<>0 OR (COALESCE(Customer,0)=0 AND COALESCE(Supplier,0)=0)) AND ");
    if (f.suppliers)
        c.sql += QStringLiteral(" (COALESCE(Supplier,0)<>0 OR (COALESCE(Customer,0)=0 AND COALESCE(Supplier,0)=0)) AND ");
    if (f.repId) {
        c.sql += QStringLiteral(" RepID=? AND ");
        c.binds << f.repId;
    }
    if (f.id) {
        c.sql += QStringLiteral(" ID=? AND ");
        c.binds << f.id;
    }
    for (const QString &word : searchWords(f.words)) {
        // ' and the typographic apostrophe names are stored with count alike.
        QStringList forms;
        for (const QString &w : apostropheForms(word)) {
            const QString inside = QLatin1Char('%') + likeLiteral(w) + QLatin1Char('%');
            forms << QStringLiteral("(CompanyName LIKE ? OR ContactName LIKE ? OR CompanyStreet1 LIKE ? "
                                    "OR CompanyCity LIKE ? OR PhoneNumber1 LIKE ? OR PhoneNumber2 LIKE ?)");
            c.binds << inside << inside << inside << likeLiteral(w) + QLatin1Char('%') << inside << inside;
        }
        c.sql += QStringLiteral(" (") + forms.join(QStringLiteral(" OR ")) + QStringLiteral(") AND ");
    }
    c.sql += QStringLiteral(" 1=1");
    return c;
}

QStringList rowOf(const QSqlQuery &q, int columns)
{
    QStringList row;
    row.reserve(columns);
    for (int i = 0; i < columns; ++i)
        row << db::textOf(q.value(i));
    return row;
}

} // namespace

CustomerGrid searchCustomers(const QSqlDatabase &db, const CustomerFilter &f)
{
    const Condition c = whereOf(f);
    CustomerGrid g;
    g.header = searchColumns();
    QSqlQuery q = db::exec(db, QLatin1String(kSelect).arg(QString()) + c.sql + QLatin1String(kOrder), c.binds);
    while (q.next())
        g.rows.append(rowOf(q, int(g.header.size())));
    return g;
}

namespace {

// Rows the ordered walk of a page looks at before it gives way to a scan.
constexpr int kWalkRows = 1000;

CustomerPage readPage(QSqlQuery &q, int limit)
{
    CustomerPage page;
    const int n = int(searchColumns().size());
    while (q.next()) {
        if (page.rows.size() >= limit) {
            page.more = true;
            break;
        }
        page.rows.append(rowOf(q, n));
        page.last.noName = q.value(0).isNull();
        page.last.name = page.rows.last().at(0);
        page.last.id = q.value(idColumn()).toLongLong();
    }
    return page;
}

} // namespace

CustomerPage searchPage(const QSqlDatabase &db, const CustomerFilter &f, int limit,
                        const std::optional<CustomerKey> &after, bool sparse)
{
    Condition c = whereOf(f);
    if (after) {
        // The rows after the given one in the order of ORDER BY CompanyName,
        // ID (Null names first), compared by the server in the column's own
        // collation, as it sorts.
        if (after->noName) {
            c.sql += QStringLiteral(" AND ((CompanyName IS NULL AND ID > ?) OR CompanyName IS NOT NULL)");
            c.binds << after->id;
        } else {
            c.sql += QStringLiteral(" AND CompanyName >= ? AND (CompanyName > ? OR ID > ?)");
            c.binds << after->name << after->name << after->id;
        }
    }
    limit = std::max(limit, 1);
    // One row more than asked tells whether more follow.
    const QString rows = QStringLiteral(" LIMIT ") + QString::number(limit + 1);
    const QString select = QLatin1String(kSelect).arg(QString()) + c.sql;
    if (!sparse) {
        // Where many rows match, walking the name index in its order finds
        // a screenful after a few rows; the walk stops after a few thousand.
        try {
            // The server would sometimes rather sort, and a sort stopped
            // by ROWS EXAMINED gives nothing: the walk is asked for by name.
            QSqlQuery q = db::exec(db,
                              QLatin1String(kSelect).arg(QStringLiteral("FORCE INDEX FOR ORDER BY (ix_customer_companyname) "))
                                  + c.sql + QLatin1String(kOrder) + rows + QStringLiteral(" ROWS EXAMINED ")
                                  + QString::number(kWalkRows),
                              c.binds);
            CustomerPage page = readPage(q, limit);
            if (page.more)
                return page;
        } catch (const db::DbError &) {
            // The walk stopped inside a sort (the server chose to sort), or
            // a MySQL server, which knows no ROWS EXAMINED: the scan below
            // serves, and says so when it fails as well.
        }
    }
    // Few rows among many: one pass over the table and the few sorted (the
    // ID as an expression keeps the server off the name index's walk, which
    // would look every row up by its key); the order is the same.
    QSqlQuery q = db::exec(db, select + QStringLiteral(" ORDER BY CompanyName, ID+0") + rows, c.binds);
    return readPage(q, limit);
}

bool narrowerSearch(const CustomerFilter &before, const CustomerFilter &now)
{
    if (before.onHold != now.onHold || before.customers != now.customers || before.suppliers != now.suppliers
        || before.repId != now.repId || before.id != now.id)
        return false;
    const QStringList was = searchWords(before.words);
    const QStringList is = searchWords(now.words);
    if (is.size() < was.size())
        return false;
    for (int i = 0; i < was.size(); ++i)
        if (!is.at(i).startsWith(was.at(i), Qt::CaseInsensitive))
            return false;
    return true;
}

qint64 countCustomers(const QSqlDatabase &db, const CustomerFilter &f)
{
    const Condition c = whereOf(f);
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT COUNT(*) FROM Customer ") + c.sql, c.binds);
    return q.next() ? q.value(0).toLongLong() : 0;
}

QString exportCell(const QString &text)
{
    QString c = text;
    c.replace(QLatin1Char(','), QLatin1Char(';'));
    c.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    // A lone line break would split the row as well.
    c.replace(QLatin1Char('\r'), QLatin1Char(' '));
    c.replace(QLatin1Char('\n'), QLatin1Char(' '));
    c.replace(QLatin1Char('\''), QStringLiteral("''"));
    return spreadsheetSafe(c);
}

bool exportGrid(const CustomerGrid &g, const QString &fileName, QString *why)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        if (why)
            *why = file.errorString();
        return false;
    }
    QTextStream out(&file);
    auto line = [&out](const QStringList &cells) {
        QStringList c;
        c.reserve(cells.size());
        for (const QString &s : cells)
            c << exportCell(s);
        out << c.join(QLatin1Char(',')) << '\n';
    };
    line(g.header);
    for (const QStringList &r : g.rows)
        line(r);
    out.flush();
    if (!file.commit()) {
        if (why)
            *why = file.errorString();
        return false;
    }
    return true;
}

QString pickAddressBlock(const QSqlDatabase &db, qint64 customerId)
{
    // The customer's address block without the line break after its last line.
    QString block = addressBlockOf(db, customerId);
    if (block.endsWith(QStringLiteral("\r\n")))
        block.chop(2);
    return block;
}

void CustomerGridModel::setPageSizes(int first, int next)
{
    m_firstPage = std::max(first, 1);
    m_nextPage = std::max(next, 1);
}

void CustomerGridModel::search(const QSqlDatabase &db, const CustomerFilter &f)
{
    beginResetModel();
    m_grid = CustomerGrid{searchColumns(), {}};
    m_more = false;
    m_db = db;
    // A search narrower than one that did not fill a screenful finds fewer
    // rows still: it goes straight to the scan that suits few rows.
    const bool sparse = m_fewFound && narrowerSearch(m_filter, f);
    m_filter = f;
    m_fewFound = false;
    try {
        CustomerPage page = searchPage(db, f, m_firstPage, std::nullopt, sparse);
        m_grid.rows = std::move(page.rows);
        m_last = page.last;
        m_more = page.more;
        m_fewFound = !page.more;
    } catch (const db::DbError &) {
        endResetModel();
        throw;
    }
    endResetModel();
}

bool CustomerGridModel::canFetchMore(const QModelIndex &parent) const { return !parent.isValid() && m_more; }

void CustomerGridModel::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
    CustomerPage page;
    try {
        page = searchPage(m_db, m_filter, m_nextPage, m_last);
    } catch (const db::DbError &e) {
        m_more = false;
        emit fetchFailed(e.message());
        return;
    }
    m_more = page.more;
    if (page.rows.isEmpty())
        return;
    const int first = int(m_grid.rows.size());
    beginInsertRows({}, first, first + int(page.rows.size()) - 1);
    m_grid.rows.append(std::move(page.rows));
    m_last = page.last;
    endInsertRows();
}

int CustomerGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_grid.rows.size());
}

int CustomerGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_grid.header.size());
}

QVariant CustomerGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole) || index.row() >= m_grid.rows.size())
        return {};
    return m_grid.rows.at(index.row()).value(index.column());
}

QVariant CustomerGridModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (o != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, o, role);
    return m_grid.header.value(section);
}

} // namespace velmor::customers
