#include "db/Sql.h"

#include "db/Cluster.h"

#include <QSqlDriver>
#include <QRegularExpression>
#include <QSqlError>

namespace velmor::db {

DbError::DbError(const QString &what, const QString &sql, int nativeCode)
    : std::runtime_error(what.toStdString()), m_message(what), m_sql(sql), m_code(nativeCode)
{
}

int nativeErrorCode(const QSqlQuery &q)
{
    const QString code = q.lastError().nativeErrorCode();
    bool ok = false;
    int n = code.toInt(&ok);
    if (ok)
        return n;
    // QODBC reports "[SQLSTATE]" texts; the engine's own number is in the message.
    const QString text = q.lastError().databaseText();
    static const QRegularExpression re(QStringLiteral("\\b(1\\d{3}|2\\d{3})\\b"));
    auto m = re.match(text);
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

namespace {

// Under QODBC with MariaDB Connector/ODBC a bound QString reaches the server
// with a NUL character on its end, so "abc" compares unequal to 'abc' and is
// stored as four characters.  Text is therefore sent as UTF-8 bytes and turned
// back into text on the server, with the collation of Velmor's tables so that
// comparisons still ignore letter case.
QString odbcTextParameters(const QString &sql, QVariantList &binds)
{
    QString out;
    out.reserve(sql.size() + 48 * binds.size());
    int n = 0;
    QChar quote;
    for (int i = 0; i < sql.size(); ++i) {
        const QChar c = sql.at(i);
        if (!quote.isNull()) {
            out += c;
            if (c == QLatin1Char('\\') && i + 1 < sql.size()) {
                out += sql.at(++i);
            } else if (c == quote) {
                quote = QChar();
            }
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`')) {
            quote = c;
            out += c;
            continue;
        }
        if (c == QLatin1Char('?') && n < binds.size()) {
            QVariant &v = binds[n++];
            if (!v.isNull() && v.typeId() == QMetaType::QString) {
                v = v.toString().toUtf8();
                out += QStringLiteral("CONVERT(? USING utf8mb4) COLLATE utf8mb4_unicode_ci");
                continue;
            }
        }
        out += c;
    }
    return out;
}

} // namespace

namespace {

// What exec does when a connection's node of a cluster went away: moves it
// to the next node, then makes a lone read again or throws (kNodeChanged when
// a transaction was open, kOutcomeUnknown otherwise; see Cluster.h).
QSqlQuery afterNodeLost(const QSqlDatabase &db, const QString &sql, const QVariantList &binds, const QString &error)
{
    const bool transaction = inTransaction(db);
    if (!moveToNextNode(db))
        throw DbError(error, sql, 2013);
    static const QRegularExpression reading(QStringLiteral("^\\s*(SELECT|SHOW)\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
    const bool read = reading.match(sql).hasMatch() && !sql.contains(QLatin1String("FOR UPDATE"), Qt::CaseInsensitive);
    // A read of its own is made again on the new node; a transaction that was
    // open never committed, and the operation starts again from the top.
    if (read && !transaction)
        return exec(db, sql, binds);
    if (transaction)
        throw DbError(QStringLiteral("The connection to the database server was lost before the change was saved; "
                                     "nothing of it was saved. ") + error,
                      sql, kNodeChanged);
    throw DbError(QStringLiteral("The connection to the database server was lost while a change was being saved: "
                                 "whether it was saved is not known. Please check it before making it again."),
                  sql, kOutcomeUnknown);
}

} // namespace

QSqlQuery exec(const QSqlDatabase &db, const QString &sql, const QVariantList &bindValues)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    bool ok;
    if (bindValues.isEmpty()) {
        ok = q.exec(sql);
    } else {
        QVariantList binds = bindValues;
        const QString text = isOdbc(db) ? odbcTextParameters(sql, binds) : sql;
        ok = q.prepare(text);
        if (ok) {
            for (const QVariant &v : binds)
                q.addBindValue(v);
            ok = q.exec();
        }
    }
    if (!ok) {
        const int code = nativeErrorCode(q);
        if (isNodeLost(code) && hasNodes(db))
            return afterNodeLost(db, sql, bindValues, q.lastError().text());
        throw DbError(q.lastError().text(), sql, code);
    }
    return q;
}


QVariant scalar(const QSqlDatabase &db, const QString &sql, const QVariantList &binds)
{
    QSqlQuery q = exec(db, sql, binds);
    if (q.next())
        return q.value(0);
    return {};
}

qint64 insert(const QSqlDatabase &db, const QString &sql, const QVariantList &binds)
{
    QSqlQuery q = exec(db, sql, binds);
    QVariant id = q.lastInsertId();
    if (!id.isValid() || isOdbc(db))
        id = scalar(db, QStringLiteral("SELECT LAST_INSERT_ID()"));
    return id.toLongLong();
}

int execAffected(const QSqlDatabase &db, const QString &sql, const QVariantList &binds)
{
    QSqlQuery q = exec(db, sql, binds);
    return q.numRowsAffected();
}

bool isOdbc(const QSqlDatabase &db)
{
    return db.driverName().startsWith(QLatin1String("QODBC"));
}

QStringList tableNames(const QSqlDatabase &db)
{
    QStringList out;
    QSqlQuery q = exec(db, QStringLiteral("SELECT TABLE_NAME FROM information_schema.TABLES "
                                          "WHERE TABLE_SCHEMA = DATABASE() ORDER BY TABLE_NAME"));
    while (q.next())
        out << q.value(0).toString();
    return out;
}

bool tableExists(const QSqlDatabase &db, const QString &table)
{
    return scalar(db,
                  QStringLiteral("SELECT COUNT(*) FROM information_schema.TABLES "
                                 "WHERE TABLE_SCHEMA = DATABASE() AND LOWER(TABLE_NAME) = LOWER(?)"),
                  {table})
               .toInt()
        > 0;
}

QString columnType(const QSqlDatabase &db, const QString &table, const QString &column)
{
    return scalar(db,
                  QStringLiteral("SELECT COLUMN_TYPE FROM information_schema.COLUMNS "
                                 "WHERE TABLE_SCHEMA = DATABASE() AND LOWER(TABLE_NAME) = LOWER(?) "
                                 "AND LOWER(COLUMN_NAME) = LOWER(?)"),
                  {table, column})
        .toString()
        .toLower();
}

bool columnExists(const QSqlDatabase &db, const QString &table, const QString &column)
{
    return !columnType(db, table, column).isEmpty();
}

QString likeLiteral(const QString &text)
{
    QString out = text;
    out.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    out.replace(QLatin1Char('%'), QStringLiteral("\\%"));
    out.replace(QLatin1Char('_'), QStringLiteral("\\_"));
    return out;
}

} // namespace velmor::db
