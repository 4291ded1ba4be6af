#pragma once
// Small helpers over QSqlQuery: every statement that fails throws DbError,
// values typed by a user travel as bound parameters, and a new row's ID is
// read from its own insert (QMYSQL reports it; QODBC needs LAST_INSERT_ID()
// on the same connection).
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <stdexcept>

namespace velmor::db {

class DbError : public std::runtime_error {
public:
    DbError(const QString &what, const QString &sql = {}, int nativeCode = 0);
    QString message() const { return m_message; }
    QString sql() const { return m_sql; }
    int nativeCode() const { return m_code; }

private:
    QString m_message;
    QString m_sql;
    int m_code = 0;
};

// Runs a statement with positional '?' parameters; throws DbError on failure.
QSqlQuery exec(const QSqlDatabase &db, const QString &sql, const QVariantList &binds = {});
// The first column of the first row, or an invalid QVariant when there is no row.
QVariant scalar(const QSqlDatabase &db, const QString &sql, const QVariantList &binds = {});
// Runs an INSERT and returns the ID given to the new row.
qint64 insert(const QSqlDatabase &db, const QString &sql, const QVariantList &binds = {});
// Rows affected by an UPDATE/DELETE.
int execAffected(const QSqlDatabase &db, const QString &sql, const QVariantList &binds = {});

bool isOdbc(const QSqlDatabase &db);

// Schema look-ups through information_schema of the current database; names
// are compared without regard to case.
QStringList tableNames(const QSqlDatabase &db);
bool tableExists(const QSqlDatabase &db, const QString &table);
bool columnExists(const QSqlDatabase &db, const QString &table, const QString &column);
// Lower-case COLUMN_TYPE ("decimal(15,5)"), empty when the column does not exist.
QString columnType(const QSqlDatabase &db, const QString &table, const QString &column);

// The MariaDB/MySQL error number of the last error of a query.
int nativeErrorCode(const QSqlQuery &q);

// A text for LIKE that matches itself only: its %, _ and \ escaped, so that
// LIKE compares it as it is (letter case aside).
QString likeLiteral(const QString &text);

} // namespace velmor::db
