#include "customers/CustomerSearch.h"

#include "customers/CustomerRecord.h"

#include "db/Row.h"
#include "db/Sql.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QSqlError>
#include <QSaveFile>
#include <QSet>
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

QString CustomerGrid::countText() const
{
    return QStringLiteral("Found ") + QString::number(rows.size()) + QStringLiteral(" Customers");
}

QStringList searchWords(const QString &text)
{
    static const QRegularExpression blanks(QStringLiteral(" +"));
    return text.split(blanks, Qt::SkipEmptyParts).mid(0, kMaxWords);
}

namespace {
CustomerGrid searchRows(const QSqlDatabase &db, const CustomerFilter &f, const QList<qint64> &onlyIds);
}

CustomerGrid searchCustomers(const QSqlDatabase &db, const CustomerFilter &f)
{
    return searchRows(db, f, {});
}

namespace {

// The search, limited to the given IDs when there are any.
CustomerGrid searchRows(const QSqlDatabase &db, const CustomerFilter &f, const QList<qint64> &onlyIds)
{
    QString sql = QStringLiteral(
        "SELECT CompanyName, CompanyCity, CompanyProvince, ContactName, CompanyStreet1, PhoneNumber1, "
        "PhoneNumber2, FaxNumber, Email, WWW, ID FROM Customer WHERE 1=1 AND ");
    QVariantList binds;
    // Flags are written as -1 by this program and 1 by others: any non-zero
    // value is true, and Null counts as not ticked.
    if (f.onHold)
        sql += QStringLiteral(" (COALESCE(Hold,0)<>0) AND ");
    if (f.customers)
        sql += QStringLiteral(" (COALESCE(Customer,0)<>0 OR (COALESCE(Customer,0)=0 AND COALESCE(Supplier,0)=0)) AND ");
    if (f.suppliers)
        sql += QStringLiteral(" (COALESCE(Supplier,0)<>0 OR (COALESCE(Customer,0)=0 AND COALESCE(Supplier,0)=0)) AND ");
    if (f.repId) {
        sql += QStringLiteral(" RepID=? AND ");
        binds << f.repId;
    }
    if (f.id) {
        sql += QStringLiteral(" ID=? AND ");
        binds << f.id;
    }
    if (!onlyIds.isEmpty()) {
        QStringList marks;
        for (qint64 id : onlyIds) {
            marks << QStringLiteral("?");
            binds << id;
        }
        sql += QStringLiteral(" ID IN (%1) AND ").arg(marks.join(QLatin1Char(',')));
    }
    for (const QString &w : searchWords(f.words)) {
        const QString inside = QLatin1Char('%') + likeLiteral(w) + QLatin1Char('%');
        sql += QStringLiteral(" (CompanyName LIKE ? OR ContactName LIKE ? OR CompanyStreet1 LIKE ? "
                              "OR CompanyCity LIKE ? OR PhoneNumber1 LIKE ? OR PhoneNumber2 LIKE ?) AND ");
        binds << inside << inside << inside << likeLiteral(w) + QLatin1Char('%') << inside << inside;
    }
    sql += QStringLiteral(" 1=1 ORDER BY CompanyName, ID");

    CustomerGrid g;
    g.header = searchColumns();
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        throw db::DbError(q.lastError().text(), sql);
    for (const QVariant &b : binds)
        q.addBindValue(b);
    if (!q.exec())
        throw db::DbError(q.lastError().text(), sql);
    const int n = g.header.size();
    while (q.next()) {
        QStringList row;
        row.reserve(n);
        for (int i = 0; i < n; ++i)
            row << db::textOf(q.value(i));
        g.rows.append(row);
    }
    return g;
}

} // namespace

namespace {

bool plainAscii(const QString &s)
{
    for (const QChar c : s)
        if (c.unicode() < 0x20 || c.unicode() > 0x7e)
            return false;
    return true;
}

// The grid columns a word is looked for in: name, contact, street, phones
// contain it; the city begins with it.
constexpr int kName = 0, kCity = 1, kContact = 3, kStreet = 4, kPhone1 = 5, kPhone2 = 6;

bool rowMatches(const QStringList &row, const QStringList &words)
{
    for (const QString &w : words) {
        const bool found = row.at(kName).contains(w, Qt::CaseInsensitive)
                           || row.at(kContact).contains(w, Qt::CaseInsensitive)
                           || row.at(kStreet).contains(w, Qt::CaseInsensitive)
                           || row.at(kCity).startsWith(w, Qt::CaseInsensitive)
                           || row.at(kPhone1).contains(w, Qt::CaseInsensitive)
                           || row.at(kPhone2).contains(w, Qt::CaseInsensitive);
        if (!found)
            return false;
    }
    return true;
}

} // namespace

CustomerGrid CustomerSearcher::search(const QSqlDatabase &db, const CustomerFilter &f)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const QStringList before = searchWords(m_filter.words);
    const QStringList words = searchWords(f.words);
    bool narrower = m_valid && now - m_when <= maxAgeMs && f.onHold == m_filter.onHold
                    && f.customers == m_filter.customers && f.suppliers == m_filter.suppliers
                    && f.repId == m_filter.repId && f.id == m_filter.id && words.size() >= before.size();
    for (int i = 0; narrower && i < before.size(); ++i)
        narrower = words.at(i).startsWith(before.at(i), Qt::CaseInsensitive);
    for (int i = 0; narrower && i < words.size(); ++i)
        narrower = plainAscii(words.at(i));
    if (narrower) {
        // Rows in plain ASCII are decided here; the others (few) by the
        // database, by their IDs.
        CustomerGrid g;
        g.header = m_grid.header;
        QList<qint64> ask;
        QList<int> asked; // where in g.rows each asked row would stand
        for (const QStringList &row : m_grid.rows) {
            bool plain = true;
            for (int c : {kName, kCity, kContact, kStreet, kPhone1, kPhone2})
                plain = plain && plainAscii(row.at(c));
            if (plain) {
                if (rowMatches(row, words))
                    g.rows.append(row);
            } else {
                ask << row.at(idColumn()).toLongLong();
                asked << int(g.rows.size());
                g.rows.append(row);
            }
        }
        if (ask.size() > 500) {
            narrower = false;
        } else if (!ask.isEmpty()) {
            QSet<qint64> keep;
            for (const QStringList &r : searchRows(db, f, ask).rows)
                keep.insert(r.at(idColumn()).toLongLong());
            for (int i = int(asked.size()) - 1; i >= 0; --i)
                if (!keep.contains(ask.at(i)))
                    g.rows.removeAt(asked.at(i));
        }
        if (narrower) {
            m_filter = f;
            m_grid = g;
            m_fromMemory = true;
            return g;
        }
    }
    m_grid = searchCustomers(db, f);
    m_filter = f;
    m_when = now;
    m_valid = true;
    m_fromMemory = false;
    return m_grid;
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
    return c;
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

void CustomerGridModel::setGrid(CustomerGrid g)
{
    beginResetModel();
    m_grid = std::move(g);
    endResetModel();
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
