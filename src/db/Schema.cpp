#include "db/Schema.h"

#include "db/FaultPoint.h"
#include "db/SchemaTables.h"
#include "db/Sql.h"
#include "db/Transaction.h"
#include "db/GradeScales.h"
#include "db/LineDues.h"

#include <QHash>
#include <QSet>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

namespace velmor::db::schema {

// ---------------------------------------------------------------------------
// Table definitions

ColumnDef *TableDef::column(const QString &columnName)
{
    for (ColumnDef &c : columns)
        if (c.name.compare(columnName, Qt::CaseInsensitive) == 0)
            return &c;
    return nullptr;
}

const ColumnDef *TableDef::column(const QString &columnName) const
{
    return const_cast<TableDef *>(this)->column(columnName);
}

namespace {

TableDef *findTable(std::vector<TableDef> &tables, const QString &name)
{
    for (TableDef &t : tables)
        if (t.name.compare(name, Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

bool isIntegerType(const QString &base)
{
    return base == QLatin1String("int") || base == QLatin1String("tinyint")
        || base == QLatin1String("smallint") || base == QLatin1String("mediumint")
        || base == QLatin1String("bigint");
}

} // namespace

std::vector<TableDef> finalTables()
{
    std::vector<TableDef> tables = baseTables();
    for (const UpgradeStatement &s : upgradeList()) {
        TableDef *t = findTable(tables, s.table);
        switch (s.kind) {
        case StatementKind::CreateTable:
            if (!t) {
                TableDef n;
                n.name = s.table;
                n.storeSide = s.storeSide;
                n.columns.push_back({QStringLiteral("ID"), QString::fromLatin1(kIdColumnType)});
                tables.push_back(std::move(n));
            }
            break;
        case StatementKind::AddColumn:
        case StatementKind::Add:
            if (t && !t->column(s.column))
                t->columns.push_back({s.column, s.type});
            break;
        case StatementKind::Modify:
            if (t) {
                if (ColumnDef *c = t->column(s.column)) {
                    c->name = s.column; // the engine keeps the spelling of the MODIFY
                    c->type = s.type;
                }
            }
            break;
        }
    }
    return tables;
}

QString reportedType(const QString &sqlType)
{
    QString t = sqlType.trimmed().toLower();
    t.remove(QLatin1Char(' '));
    if (t.startsWith(QLatin1String("intauto_increment")))
        t = QStringLiteral("int");
    static const QHash<QString, QString> defaults = {
        {QStringLiteral("int"), QStringLiteral("int(11)")},
        {QStringLiteral("integer"), QStringLiteral("int(11)")},
        {QStringLiteral("tinyint"), QStringLiteral("tinyint(4)")},
        {QStringLiteral("smallint"), QStringLiteral("smallint(6)")},
        {QStringLiteral("mediumint"), QStringLiteral("mediumint(9)")},
        {QStringLiteral("bigint"), QStringLiteral("bigint(20)")},
        {QStringLiteral("decimal"), QStringLiteral("decimal(10,0)")},
    };
    return defaults.value(t, t);
}

bool sameType(const QString &reported, const QString &sqlType)
{
    const QString r = reported.trimmed().toLower();
    const QString w = reportedType(sqlType);
    if (r == w)
        return true;
    // A server that reports "int" for every width.
    if (!r.contains(QLatin1Char('(')) && isIntegerType(r))
        return w.startsWith(r + QLatin1Char('('));
    return false;
}

QString createTableSql(const TableDef &t)
{
    QStringList cols;
    for (const ColumnDef &c : t.columns)
        cols << QStringLiteral("`%1` %2").arg(c.name, c.type);
    return QStringLiteral("CREATE TABLE `%1` (%2)").arg(t.name, cols.join(QStringLiteral(", ")));
}

// ---------------------------------------------------------------------------
// The upgrade

namespace {

// The tables and columns of the current database, read once and then kept
// up to date with what the upgrade itself changes.
class LiveSchema {
public:
    explicit LiveSchema(const QSqlDatabase &db) : m_db(db) { reload(); }

    void reload()
    {
        m_tables.clear();
        QSqlQuery t = exec(m_db, QStringLiteral("SELECT TABLE_NAME FROM information_schema.TABLES "
                                                "WHERE TABLE_SCHEMA = DATABASE()"));
        while (t.next())
            m_tables.insert(t.value(0).toString().toLower(), {});
        QSqlQuery c = exec(m_db, QStringLiteral("SELECT TABLE_NAME, COLUMN_NAME, COLUMN_TYPE "
                                                "FROM information_schema.COLUMNS "
                                                "WHERE TABLE_SCHEMA = DATABASE()"));
        while (c.next())
            m_tables[c.value(0).toString().toLower()].insert(c.value(1).toString().toLower(),
                                                             c.value(2).toString().toLower());
    }

    bool hasTable(const QString &table) const { return m_tables.contains(table.toLower()); }
    bool hasColumn(const QString &table, const QString &column) const
    {
        auto it = m_tables.constFind(table.toLower());
        return it != m_tables.constEnd() && it->contains(column.toLower());
    }
    QString type(const QString &table, const QString &column) const
    {
        return m_tables.value(table.toLower()).value(column.toLower());
    }

    // Records the effect of a statement that the engine accepted.
    void apply(const UpgradeStatement &s)
    {
        const QString t = s.table.toLower();
        if (s.kind == StatementKind::CreateTable)
            m_tables[t].insert(QStringLiteral("id"), QStringLiteral("int(11)"));
        else
            m_tables[t].insert(s.column.toLower(), reportedType(s.type));
    }

private:
    QSqlDatabase m_db;
    QHash<QString, QHash<QString, QString>> m_tables; // lower-case names
};

// The engine's error numbers that mean "already there".
constexpr int kTableExists = 1050;
constexpr int kDuplicateColumn = 1060;

// A MODIFY that would cut a stored value (text into a number, a number
// outside the new precision) must be refused rather than silently change the
// row; a server running without strict mode would do the latter.  The session
// mode is put back afterwards.
class StrictSession {
public:
    explicit StrictSession(const QSqlDatabase &db) : m_db(db)
    {
        m_saved = scalar(m_db, QStringLiteral("SELECT @@SESSION.sql_mode")).toString();
        static const QRegularExpression safe(QStringLiteral("^[A-Z_,]*$"));
        if (!safe.match(m_saved).hasMatch()
            || m_saved.split(QLatin1Char(','), Qt::SkipEmptyParts)
                   .contains(QLatin1String("STRICT_ALL_TABLES"))) {
            return;
        }
        QString strict = m_saved;
        if (!strict.isEmpty())
            strict += QLatin1Char(',');
        strict += QLatin1String("STRICT_ALL_TABLES");
        exec(m_db, QStringLiteral("SET SESSION sql_mode = '%1'").arg(strict));
        m_changed = true;
    }
    ~StrictSession()
    {
        if (!m_changed)
            return;
        QSqlQuery q(m_db);
        q.exec(QStringLiteral("SET SESSION sql_mode = '%1'").arg(m_saved));
    }
    StrictSession(const StrictSession &) = delete;
    StrictSession &operator=(const StrictSession &) = delete;

private:
    QSqlDatabase m_db;
    QString m_saved;
    bool m_changed = false;
};

QString columnKey(const QString &table, const QString &column)
{
    return table.toLower() + QLatin1Char('.') + column.toLower();
}

} // namespace

UpgradeReport UpgradeDataBaseModule(const QSqlDatabase &db, const ProgressReport &progress)
{
    UpgradeReport report;
    StrictSession strict(db);
    LiveSchema live(db);

    const std::vector<UpgradeStatement> &list = upgradeList();

    // Where each table is created and each column added for the last time, so
    // that a statement that a later one makes unnecessary is recognised.
    QHash<QString, int> lastCreate;
    QHash<QString, int> lastAdd;
    for (int i = 0; i < int(list.size()); ++i) {
        const UpgradeStatement &s = list[i];
        if (s.kind == StatementKind::CreateTable)
            lastCreate[s.table.toLower()] = i;
        else if (s.kind != StatementKind::Modify)
            lastAdd[columnKey(s.table, s.column)] = i;
    }

    // Whether statement i still has work to do on the schema as it stands.
    auto needsRun = [&](int i) {
        const UpgradeStatement &s = list[i];
        const bool tableThere = live.hasTable(s.table);
        const bool createdLater = lastCreate.value(s.table.toLower(), -1) > i;
        bool skip = false;
        switch (s.kind) {
        case StatementKind::CreateTable:
            skip = tableThere;
            break;
        case StatementKind::AddColumn:
        case StatementKind::Add:
            skip = tableThere ? live.hasColumn(s.table, s.column) : createdLater;
            break;
        case StatementKind::Modify:
            if (!tableThere)
                skip = createdLater;
            else if (!live.hasColumn(s.table, s.column))
                skip = lastAdd.value(columnKey(s.table, s.column), -1) > i;
            else
                skip = sameType(live.type(s.table, s.column), s.type);
            break;
        }
        return !skip;
    };

    // The steps: the statements with work to do as the schema stands now
    // (one that an earlier step makes unnecessary still counts).
    Progress step{Progress::Upgrading, 0, 0};
    if (progress)
        for (int i = 0; i < int(list.size()); ++i)
            step.of += needsRun(i) ? 1 : 0;

    for (int i = 0; i < int(list.size()); ++i) {
        const UpgradeStatement &s = list[i];
        if (!needsRun(i)) {
            ++report.skipped;
            continue;
        }
        if (progress) {
            step.of = std::max(step.of, ++step.step);
            progress(step);
        }

        // A change of a column's type copies the whole table; the changes that
        // follow one another for one table are made in one pass, so that a
        // large stock is copied once instead of once per column.  Should the
        // engine refuse the combined statement, they run one by one as listed.
        if (s.kind == StatementKind::Modify) {
            QStringList clauses{QStringLiteral("MODIFY COLUMN %1 %2").arg(s.column, s.type)};
            QStringList columns{s.column.toLower()};
            int last = i;
            while (last + 1 < int(list.size())) {
                const UpgradeStatement &n = list[last + 1];
                if (n.kind != StatementKind::Modify || n.table.compare(s.table, Qt::CaseInsensitive) != 0
                    || columns.contains(n.column.toLower()) || !needsRun(last + 1))
                    break;
                clauses << QStringLiteral("MODIFY COLUMN %1 %2").arg(n.column, n.type);
                columns << n.column.toLower();
                ++last;
            }
            if (last > i) {
                QSqlQuery batch(db);
                if (batch.exec(QStringLiteral("ALTER TABLE %1 %2;").arg(s.table, clauses.join(QStringLiteral(", "))))) {
                    for (int k = i; k <= last; ++k)
                        live.apply(list[k]);
                    report.ran += last - i + 1;
                    i = last;
                    continue;
                }
            }
        }

        const QString sql = s.sql();
        QSqlQuery q(db);
        if (q.exec(sql)) {
            ++report.ran;
            live.apply(s);
            continue;
        }
        // Someone else may have got there first (another workstation
        // upgrading at the same time): then the effect is present.
        if (s.kind != StatementKind::Modify) {
            bool present = nativeErrorCode(q) == kTableExists
                || nativeErrorCode(q) == kDuplicateColumn;
            try {
                live.reload();
                present = present
                    || (s.kind == StatementKind::CreateTable ? live.hasTable(s.table)
                                                             : live.hasColumn(s.table, s.column));
            } catch (const DbError &) {
                // Keep going on what is known; the next statements say the rest.
            }
            if (present) {
                ++report.skipped;
                continue;
            }
        }
        ++report.refused;
        QString reason = q.lastError().databaseText().trimmed();
        if (reason.isEmpty())
            reason = q.lastError().text().trimmed();
        report.refusedStatements << sql + QStringLiteral(" -- ") + reason;
    }
    ensureIndexes(db);
    return report;
}

void ensureIndexes(const QSqlDatabase &db)
{
    // Look-ups that every save, load and start-up repair makes; without them
    // each is a full scan of a table that grows with the stock and its history.
    static const char *const indexes[][3] = {
        {"SingleStone", "ix_singlestone_sku", "SKU"},
        {"SingleStone", "ix_singlestone_certificate", "Certificate"},
        {"SingleStone", "ix_singlestone_memosheetid", "MemoSheetID"},
        {"StoneChange", "ix_stonechange_stoneid", "StoneID"},
        // A stone's payments, their sums read from the index alone.
        {"PaymentMade", "ix_paymentmade_stone_sums", "StoneID, PaymentUS, PaymentLocal"},
        {"PaymentReceived", "ix_paymentreceived_stone_sums", "StoneID, PaymentUS, PaymentLocal"},
        {"Memo", "ix_memo_diamondid", "DiamondID"},
        {"raplist", "ix_raplist_grid", "Shape, Colour, Clarity"},
        {"Customer", "ix_customer_companyname", "CompanyName"},
        {"expectedpays", "ix_expectedpays_invoicetoid", "InvoiceToID"},
        // A sale's look-up (and lock) of the customer's open invoice; an invoice's lines.
        {"invoice", "ix_invoice_customerid", "customerid"},
        {"invoicelist", "ix_invoicelist_invoiceid", "invoiceid"},
        {"parcel", "ix_parcel_sku", "SKU"},
        {"parceladd", "ix_parceladd_parcelid", "parcelid"},
        {"memoparcellist", "ix_memoparcellist_parcel", "parcelid, memoparcelid"},
        {"memoparcellist", "ix_memoparcellist_memo", "memoparcelid"},
        {"memoparcel", "ix_memoparcel_customerid", "CustomerID"},
        // The stone search: status with weight (its usual filter and order)
        // and the other columns of its usual filters, so that a search and
        // its count are decided in the index before any row is read; a
        // customer's stones, the day filter, and the history's look-ups.
        // The list price stays out of it: a new price grid moves every
        // priced stone's entry of an index that holds it, in one
        // transaction (three times the cost of the import's update).
        {"SingleStone", "ix_singlestone_filter", "Status, Carat, StoneIsPaidOff, CustomerID, Shape, Colour, Clarity"},
        {"SingleStone", "ix_singlestone_carat", "Carat"},
        // The stones out: on memo, and sold but not paid off (the memo-out
        // report's choice, a range of the index however many stones are sold).
        {"SingleStone", "ix_singlestone_out", "Status, StoneIsPaidOff"},
        {"SingleStone", "ix_singlestone_customer_status", "CustomerID, Status"},
        {"SingleStone", "ix_singlestone_datecreated", "DateCreated"},
        {"invoicelist", "ix_invoicelist_diamondid", "DiamondID"},
        {"returntovendor", "ix_returntovendor_diamondid", "DiamondID"},
        // The opening repair's rows (RepairMarks.h) and customers.
        {"SingleStone", "ix_singlestone_repairdue", "RepairDue"},
        {"Customer", "ix_customer_priceclass", "PriceClass"},
        {"Customer", "ix_customer_terms", "Terms"},
        // A stock count's last scans and its scans of one stone.
        {"stockcountscan", "ix_stockcountscan_count", "CountID, ID"},
        {"stockcountscan", "ix_stockcountscan_stone", "CountID, StoneID, Result"},
        {"stockcountstone", "ix_stockcountstone_found", "CountID, ScanID, StoneID"},
        // A stone's files, and its main picture.
        {"stonefile", "ix_stonefile_stone", "StoneID, Stored, IsMain"},
        {"stonefile", "ix_stonefile_sha", "StoneID, Sha256"},
        // A customer's payments (statements, receivables); a line's payments.
        {"PaymentReceived", "ix_paymentreceived_customer", "CustomerID, Date"},
        {"PaymentReceived", "ix_paymentreceived_line", "InvoiceListID"},
    };
    // Keys that make a write of two workstations (or one written twice) meet
    // in the row: a stone is expected once per count, a parcel once, a
    // workstation joins once, and a scan told once is written once.
    static const char *const uniques[][3] = {
        {"stockcountstone", "ux_stockcountstone_stone", "CountID, StoneID"},
        {"stockcountparcel", "ux_stockcountparcel_parcel", "CountID, ParcelID"},
        {"stockcountdesk", "ux_stockcountdesk_desk", "CountID, Desk"},
        {"stockcountscan", "ux_stockcountscan_token", "Token"},
        // A file's parts are numbered once; a picture has one thumbnail.
        {"stonefilechunk", "ux_stonefilechunk_part", "FileID, Seq"},
        {"stonefilethumb", "ux_stonefilethumb_file", "FileID"},
        // A payment is reversed once.
        {"PaymentReceived", "ux_paymentreceived_reverses", "ReversesID"},
        {"PaymentMade", "ux_paymentmade_reverses", "ReversesID"},
    };
    // The indexes there already, looked up first: MySQL knows no CREATE
    // INDEX IF NOT EXISTS.
    QSet<QString> present;
    {
        QSqlQuery q(db);
        if (q.exec(QStringLiteral("SELECT DISTINCT LOWER(INDEX_NAME) FROM information_schema.STATISTICS "
                                  "WHERE TABLE_SCHEMA = DATABASE()")))
            while (q.next())
                present.insert(q.value(0).toString());
    }
    for (const auto &ix : indexes) {
        if (present.contains(QString::fromLatin1(ix[1])))
            continue;
        QSqlQuery q(db);
        // A table or column that is missing (an odd old database) only costs
        // its index; the program works without it.
        if (q.exec(QStringLiteral("CREATE INDEX %1 ON %2 (%3)")
                       .arg(QLatin1String(ix[1]), QLatin1String(ix[0]), QLatin1String(ix[2]))))
            present.insert(QString::fromLatin1(ix[1]));
    }
    for (const auto &ix : uniques) {
        if (present.contains(QString::fromLatin1(ix[1])))
            continue;
        QSqlQuery q(db);
        if (q.exec(QStringLiteral("CREATE UNIQUE INDEX %1 ON %2 (%3)")
                       .arg(QLatin1String(ix[1]), QLatin1String(ix[0]), QLatin1String(ix[2]))))
            present.insert(QString::fromLatin1(ix[1]));
    }
    // Indexes that one above now serves (a leading part of it, or an older
    // form of it): dropped once it is there, so that every write keeps one
    // index to update instead of two.
    static const char *const superseded[][3] = {
        {"SingleStone", "ix_singlestone_status", "ix_singlestone_filter"},
        {"SingleStone", "ix_singlestone_status_carat", "ix_singlestone_filter"},
        {"SingleStone", "ix_singlestone_search", "ix_singlestone_filter"},
        // Two indexes of one column: every memo move updated both.
        {"SingleStone", "ix_singlestone_memosheet", "ix_singlestone_memosheetid"},
        {"PaymentMade", "ix_paymentmade_stoneid", "ix_paymentmade_stone_sums"},
        {"PaymentReceived", "ix_paymentreceived_stoneid", "ix_paymentreceived_stone_sums"},
    };
    for (const auto &ix : superseded) {
        if (!present.contains(QString::fromLatin1(ix[1])) || !present.contains(QString::fromLatin1(ix[2])))
            continue;
        QSqlQuery q(db);
        q.exec(QStringLiteral("DROP INDEX %1 ON %2").arg(QLatin1String(ix[1]), QLatin1String(ix[0])));
    }
}

// ---------------------------------------------------------------------------
// New databases

void createBaseTables(const QSqlDatabase &db)
{
    for (const TableDef &t : baseTables())
        exec(db, createTableSql(t));
}

namespace {

// A constant of the program as an SQL text literal.  Used for the fixed rows
// written here, which are the program's own words, never the user's.
QString sqlText(const QString &text)
{
    QString t = text;
    t.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    t.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + t + QLatin1Char('\'');
}


} // namespace

void insertDefaultConfigRow(const QSqlDatabase &db, int version)
{
    // The defaults the configuration screens assume; a new set-up shows the
    // lot, the measurements, the memo and reference numbers and the per-carat
    // price columns until the settings say otherwise.
    exec(db,
         QStringLiteral("INSERT INTO Config (CompanyName, CompanyStreet1, CompanyCity, InvoiceTemplate, "
                        "Class1Label, Class2Label, Class3Label, Class4Label, PriceRound, ShowLot, ShowDimension, "
                        "ShowMemoID, ShowReferenceNumber, ShowCostMY_CT, ShowCostUS_CT, ShowSellPriceMY_CT, "
                        "ShowSellPriceUS_CT, dbVersion) "
                        "VALUES ('Company Name', 'Company Street1', 'Company City', 'DEFAULT', "
                        "'Class 1', 'Class 2', 'Class 3', 'Class 4', 1, -1, -1, -1, -1, -1, -1, -1, -1, %1)")
             .arg(version > 0 ? QString::number(version) : QStringLiteral("NULL")));
}

namespace {

void insertGradeRows(const QSqlDatabase &db)
{
    // The screens look grades up with "Colour=True" as well as "Colour<>0";
    // the server's TRUE is 1, so these rows carry 1 to answer both.
    QStringList rows;
    auto addGrade = [&](int number, const QString &wording, bool colour) {
        rows << QStringLiteral("(%1, %2, %3, %4)")
                    .arg(QString::number(number), sqlText(wording),
                         QString::number(colour ? 1 : 0), QString::number(colour ? 0 : 1));
    };
    for (const GradeScaleEntry &g : colourScale())
        addGrade(g.number, QString::fromLatin1(g.text), true);
    for (const GradeScaleEntry &g : clarityScale())
        addGrade(g.number, QString::fromLatin1(g.text), false);
    exec(db, QStringLiteral("INSERT INTO DiamondGrades (Number, Wording, Colour, Clarity) VALUES ")
                 + rows.join(QStringLiteral(", ")));
}

// The grades (when the table has none) and the settings row carrying the
// version, in one transaction: a database is marked made only with its rows.
void seedWithVersion(const QSqlDatabase &db, int version)
{
    Transaction tx(db);
    if (scalar(db, QStringLiteral("SELECT COUNT(*) FROM DiamondGrades")).toInt() == 0)
        insertGradeRows(db);
    insertDefaultConfigRow(db, version);
    tx.commit();
}

// The program's tables present in this database (lower-case names).
QSet<QString> presentProgramTables(const QSqlDatabase &db)
{
    QSet<QString> present;
    QSqlQuery t = exec(db, QStringLiteral("SELECT TABLE_NAME FROM information_schema.TABLES "
                                          "WHERE TABLE_SCHEMA = DATABASE()"));
    while (t.next())
        present.insert(t.value(0).toString().toLower());
    QSet<QString> ours;
    for (const TableDef &d : finalTables())
        if (present.contains(d.name.toLower()))
            ours.insert(d.name.toLower());
    return ours;
}

bool hasSettingsRow(const QSqlDatabase &db, const QSet<QString> &present)
{
    return present.contains(QStringLiteral("config"))
        && scalar(db, QStringLiteral("SELECT COUNT(*) FROM Config")).toInt() > 0;
}

// Makes the missing tables in their final shape; returns how many.
int createMissingTables(const QSqlDatabase &db, const QSet<QString> &present)
{
    int made = 0;
    for (const TableDef &t : finalTables()) {
        if (present.contains(t.name.toLower()))
            continue;
        QSqlQuery q(db);
        if (!q.exec(createTableSql(t)) && nativeErrorCode(q) != kTableExists)
            throw DbError(q.lastError().text(), createTableSql(t), nativeErrorCode(q));
        ++made;
        faultPoint("schema-table-created");
    }
    return made;
}

// Makes the missing tables that no statement of the upgrade list creates
// (the ones an old database is expected to have); a refusal is listed in
// `refused` and the others are still made.  Returns the tables made
// (lower-case names).
QStringList createTablesTheListDoesNotMake(const QSqlDatabase &db, const QSet<QString> &present, QStringList &refused)
{
    QSet<QString> listed;
    for (const UpgradeStatement &s : upgradeList())
        if (s.kind == StatementKind::CreateTable)
            listed.insert(s.table.toLower());
    QStringList made;
    for (const TableDef &t : finalTables()) {
        const QString name = t.name.toLower();
        if (present.contains(name) || listed.contains(name))
            continue;
        QSqlQuery q(db);
        const QString sql = createTableSql(t);
        if (q.exec(sql) || nativeErrorCode(q) == kTableExists) {
            made << name;
            continue;
        }
        QString reason = q.lastError().databaseText().trimmed();
        if (reason.isEmpty())
            reason = q.lastError().text().trimmed();
        refused << QStringLiteral("CREATE TABLE %1 -- %2").arg(t.name, reason);
    }
    return made;
}

// Adds the columns of the final shape that tables present lack (a table the
// upgrade list made on a database that never had its base tables).
int addMissingColumns(const QSqlDatabase &db)
{
    LiveSchema live(db);
    int added = 0;
    for (const TableDef &t : finalTables()) {
        if (!live.hasTable(t.name))
            continue;
        for (const ColumnDef &c : t.columns) {
            if (live.hasColumn(t.name, c.name))
                continue;
            exec(db, QStringLiteral("ALTER TABLE `%1` ADD COLUMN `%2` %3").arg(t.name, c.name, c.type));
            ++added;
        }
    }
    return added;
}

} // namespace

void seedNewDatabase(const QSqlDatabase &db)
{
    Transaction tx(db);
    insertGradeRows(db);
    insertDefaultConfigRow(db);
    tx.commit();
}

void createNewDatabase(const QSqlDatabase &db)
{
    // The tables first, the rows and the version last: a creation cut short
    // at any point is recognised and finished by bringUpToDate().
    createMissingTables(db, presentProgramTables(db));
    ensureIndexes(db);
    seedWithVersion(db, kSchemaVersion);
}

namespace {

// What a version changed in the meaning of stored rows, brought about once
// when a database of an older version is upgraded.
void runDataSteps(const QSqlDatabase &db, double before)
{
    // 318: a sold stone is paid off when its payments reach what its invoice
    // line asks with its share of the invoice's tax (before: its amount
    // without tax); the flags follow the rule.
    if (before < 318)
        dues::refreshPaidOffFlags(db, QStringLiteral("TRUE"));
}

} // namespace

BringUpReport bringUpToDate(const QSqlDatabase &db, const ProgressReport &progress)
{
    BringUpReport r;
    r.before = storedVersion(db);
    if (r.before >= kSchemaVersion) {
        // Indexes added since this version was stored (the search's among
        // them): one look-up when they are all there.
        ensureIndexes(db);
        return r;
    }
    const QSet<QString> present = presentProgramTables(db);
    // Making a database (also finishing one made in part) is one piece of
    // work, whatever it runs.
    const ProgressReport making = [&progress](const Progress &p) {
        if (progress)
            progress({Progress::Making, p.step, p.of});
    };
    if (present.isEmpty()) {
        making({});
        createNewDatabase(db);
        r.road = BringUpReport::Created;
        r.tablesCreated = int(finalTables().size());
        return r;
    }
    if (r.before == 0 && !hasSettingsRow(db, present)) {
        r.road = BringUpReport::Finished;
        making({});
        r.tablesCreated = createMissingTables(db, present);
        addMissingColumns(db);
        r.upgrade = UpgradeDataBaseModule(db, making);
        if (r.upgrade.refused > 0)
            throw DbError(QStringLiteral("The database could not be completed: ")
                          + r.upgrade.refusedStatements.join(QStringLiteral("; ")));
        runDataSteps(db, r.before);
        seedWithVersion(db, kSchemaVersion);
        return r;
    }
    r.road = BringUpReport::Upgraded;
    // A shared database that the other program made holds its own tables and
    // may lack Velmor's: those the upgrade list does not make are made here,
    // in their final shape, as for an empty database.
    if (progress)
        progress({Progress::Upgrading, 0, 0});
    const QStringList made = createTablesTheListDoesNotMake(db, present, r.refusedCreates);
    r.tablesCreated = int(made.size());
    if (made.contains(QStringLiteral("diamondgrades")))
        insertGradeRows(db);
    r.upgrade = UpgradeDataBaseModule(db, progress);
    if (r.tablesCreated > 0)
        addMissingColumns(db);
    // The version says the schema is whole: never while a table is missing.
    const QSet<QString> after = presentProgramTables(db);
    for (const TableDef &t : finalTables())
        if (!after.contains(t.name.toLower()))
            r.missingTables << t.name;
    if (!r.missingTables.isEmpty())
        return r;
    runDataSteps(db, r.before);
    storeVersion(db, kSchemaVersion);
    return r;
}

void finishCreation(const QSqlDatabase &db, const ProgressReport &progress)
{
    if (storedVersion(db) > 0)
        return;
    const QSet<QString> present = presentProgramTables(db);
    if (present.isEmpty() || !hasSettingsRow(db, present))
        bringUpToDate(db, progress);
}

// ---------------------------------------------------------------------------
// Version

double storedVersion(const QSqlDatabase &db)
{
    const int hasColumn =
        scalar(db, QStringLiteral("SELECT COUNT(*) FROM information_schema.COLUMNS "
                                  "WHERE TABLE_SCHEMA = DATABASE() AND LOWER(TABLE_NAME) = 'config' "
                                  "AND LOWER(COLUMN_NAME) = 'dbversion'"))
            .toInt();
    if (hasColumn == 0)
        return 0;
    const QVariant v = scalar(db, QStringLiteral("SELECT dbVersion FROM Config ORDER BY ID LIMIT 1"));
    return v.isNull() ? 0 : v.toDouble();
}

void storeVersion(const QSqlDatabase &db, int version)
{
    const QVariant id = scalar(db, QStringLiteral("SELECT ID FROM Config ORDER BY ID LIMIT 1"));
    if (id.isValid()) {
        exec(db, QStringLiteral("UPDATE Config SET dbVersion = %1 WHERE ID = %2")
                     .arg(version)
                     .arg(id.toLongLong()));
        return;
    }
    // No settings row yet: make the one the configuration load would make,
    // so that the version is not lost and the upgrade does not run again.
    insertDefaultConfigRow(db, version);
}

} // namespace velmor::db::schema
