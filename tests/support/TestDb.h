#pragma once
// A fresh database of its own for a test, on the private server that the
// CTest fixture started for the run (VELMOR_TEST_SERVER_DIR).  The database
// is dropped when the object goes.
#include "db/Connection.h"

#include <QSqlDatabase>
#include <QString>

namespace velmor::test {

class TestDb {
public:
    enum class Shape { Empty, BaseTables, Full };
    explicit TestDb(Shape shape = Shape::Full);
    ~TestDb();

    QSqlDatabase db() const { return m_db; }
    QString name() const { return m_name; }
    // Settings that reach this database (server mode on the fixture's socket).
    db::ConnectionSettings settings() const { return m_settings; }
    // Another connection to the same database (a second workstation).
    QSqlDatabase secondConnection(const QString &tag = QStringLiteral("second"));

    static QString serverDir();
    static QString socketPath();

private:
    QString m_name;
    QString m_connName;
    QStringList m_extra;
    db::ConnectionSettings m_settings;
    QSqlDatabase m_db;
};

// Drops a test's database through its connection (when open) and removes
// the connection: what every test database does when it goes.
void dropTestDatabase(QSqlDatabase &db, const QString &name, const QString &connectionName);

} // namespace velmor::test
