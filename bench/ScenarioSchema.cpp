// Schema upgrade: an old database that has the base tables only (with the
// dealer's rows in them), and a current database that needs nothing.
#include "Scenarios.h"

#include "db/Schema.h"
#include "db/Sql.h"

#include <QHash>
#include <QSet>
#include <QSqlQuery>

namespace velmor::bench {

namespace {

// The literal road: every statement of the list, one at a time, each
// failure ignored.
void upgradeLiterally(const QSqlDatabase &db)
{
    for (const db::schema::UpgradeStatement &st : db::schema::upgradeList()) {
        QSqlQuery q(db);
        q.exec(st.sql());
    }
}

// The floor: what the engine needs at the least, one statement per table:
// CREATE TABLE IF NOT EXISTS, then one ALTER TABLE adding the missing
// columns and bringing the modified ones to their last type; then the
// program's indexes.
QStringList combinedStatements()
{
    struct Table {
        QString name;
        bool create = false;
        QStringList order;             // column names, first seen first
        QHash<QString, QString> added; // lower-case name -> last type of an ADD
        QHash<QString, QString> last;  // lower-case name -> last type of any statement
        QHash<QString, QString> spelled;
        QSet<QString> modified;
    };
    QList<Table> tables;
    QHash<QString, int> index;
    for (const db::schema::UpgradeStatement &st : db::schema::upgradeList()) {
        const QString key = st.table.toLower();
        if (!index.contains(key)) {
            index.insert(key, int(tables.size()));
            Table t;
            t.name = st.table;
            tables.append(t);
        }
        Table &t = tables[index.value(key)];
        if (st.kind == db::schema::StatementKind::CreateTable) {
            t.create = true;
            continue;
        }
        const QString c = st.column.toLower();
        if (!t.last.contains(c))
            t.order << c;
        t.last.insert(c, st.type);
        t.spelled.insert(c, st.column);
        if (st.kind == db::schema::StatementKind::Modify)
            t.modified.insert(c);
        else
            t.added.insert(c, st.type);
    }
    QStringList out;
    for (const Table &t : std::as_const(tables)) {
        if (t.create)
            out << QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (ID INT AUTO_INCREMENT PRIMARY KEY)").arg(t.name);
        QStringList clauses;
        for (const QString &c : t.order) {
            if (c == QLatin1String("id"))
                continue;
            const QString name = t.spelled.value(c);
            const QString type = t.last.value(c);
            if (t.added.contains(c))
                clauses << QStringLiteral("ADD COLUMN IF NOT EXISTS %1 %2").arg(name, type);
            if (t.modified.contains(c))
                clauses << QStringLiteral("MODIFY COLUMN IF EXISTS %1 %2").arg(name, type);
        }
        if (!clauses.isEmpty())
            out << QStringLiteral("ALTER TABLE %1 %2").arg(t.name, clauses.join(QStringLiteral(", ")));
    }
    return out;
}

void upgradeCombined(const QSqlDatabase &db)
{
    static const QStringList statements = combinedStatements();
    for (const QString &s : statements) {
        QSqlQuery q(db);
        q.exec(s); // a table the engine refuses (a store-side oddity) is skipped like in the upgrade
    }
    db::schema::ensureIndexes(db); // the same indexes as the upgrade leaves
}

// The least a check-first upgrade needs on a current database: one read of
// the whole schema.
void readSchemaOnce(const QSqlDatabase &db)
{
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT TABLE_NAME, COLUMN_NAME, COLUMN_TYPE FROM information_schema.COLUMNS "
                                              "WHERE TABLE_SCHEMA = DATABASE()"));
    int n = 0;
    while (q.next())
        ++n;
    if (n == 0)
        throw db::DbError(QStringLiteral("The schema read found no column."));
}

} // namespace

void runSchemaScenarios(SizeEnv &env)
{
    const QString old = QStringLiteral("schema upgrade (group A only)");
    if (env.bench.wants(old)) {
        const QString db = env.work + QStringLiteral("_a");
        auto fresh = [&env, db] { env.server.cloneDatabase(env.groupA, db); };
        env.bench.measure(old, env.size,
                          {Road{QStringLiteral("velmor"), fresh,
                                [&env, db] { db::schema::UpgradeDataBaseModule(env.server.connect(db)); }},
                           Road{QStringLiteral("literal"), fresh, [&env, db] { upgradeLiterally(env.server.connect(db)); }},
                           Road{QStringLiteral("floor"), fresh, [&env, db] { upgradeCombined(env.server.connect(db)); }}});
        env.server.drop(db);
    }

    const QString current = QStringLiteral("schema upgrade (current database)");
    if (env.bench.wants(current)) {
        const QString db = env.work + QStringLiteral("_c");
        env.server.cloneDatabase(env.pristine, db);
        env.bench.measure(current, env.size,
                          {Road{QStringLiteral("velmor"), {},
                                [&env, db] { db::schema::UpgradeDataBaseModule(env.server.connect(db)); }},
                           Road{QStringLiteral("literal"), {}, [&env, db] { upgradeLiterally(env.server.connect(db)); }},
                           Road{QStringLiteral("floor"), {}, [&env, db] { readSchemaOnce(env.server.connect(db)); }}});
        env.server.drop(db);
    }
}

} // namespace velmor::bench
