#include "customers/CustomerSearch.h"

#include "db/Row.h"
#include "db/Sql.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSaveFile>
#include <QTextStream>

namespace velmor::customers {

namespace {

constexpr int kMaxWords = 20;

QString likeLiteral(const QString &text)
{
    QString out = text;
    out.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    out.replace(QLatin1Char('%'), QStringLiteral("\\%"));
    out.replace(QLatin1Char('_'), QStringLiteral("\\_"));
    return out;
}

} // namespace

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

CustomerGrid searchCustomers(const QSqlDatabase &db, const CustomerFilter &f)
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
    QSqlQuery q = db::exec(db,
                           QStringLiteral("SELECT CompanyName, CompanyStreet1, CompanyCity, ContactName, PhoneNumber1 "
                                          "FROM Customer WHERE ID=?"),
                           {customerId});
    if (!q.next())
        return {};
    QStringList lines;
    for (int i = 0; i < 4; ++i)
        if (!q.value(i).isNull())
            lines << q.value(i).toString();
    if (!q.value(4).isNull())
        lines << QStringLiteral("Phone: ") + q.value(4).toString();
    return lines.join(QStringLiteral("\r\n"));
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
