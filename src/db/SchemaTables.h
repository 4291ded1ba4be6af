#pragma once
// Table definitions behind the schema: the base tables and the final shape
// that the upgrade list gives them.  Used by Schema.cpp and its tests.
#include "db/Schema.h"

#include <QString>
#include <vector>

namespace velmor::db::schema {

struct ColumnDef {
    QString name;
    QString type; // as written in SQL: "DECIMAL(15,5)", "INT AUTO_INCREMENT PRIMARY KEY" for ID
};

struct TableDef {
    QString name;
    std::vector<ColumnDef> columns; // ID first
    bool storeSide = false;

    ColumnDef *column(const QString &columnName);
    const ColumnDef *column(const QString &columnName) const;
};

// The key column every table starts with.
inline constexpr const char *kIdColumnType = "INT AUTO_INCREMENT PRIMARY KEY";

// The tables an old database is expected to have before any upgrade.
const std::vector<TableDef> &baseTables();

// The base tables with the whole upgrade list applied, the way the engine
// applies it: a CREATE of an existing table, an ADD of an existing column and
// a statement on a missing table or column change nothing; MODIFY keeps the
// column's place and takes the statement's spelling of the name.
std::vector<TableDef> finalTables();

// The COLUMN_TYPE the server reports for a type written in SQL
// ("INT" -> "int(11)", "DECIMAL(15,5)" -> "decimal(15,5)").
QString reportedType(const QString &sqlType);

// Whether a reported COLUMN_TYPE already is the type a statement asks for.
// Servers that no longer report integer display widths ("int") match any width.
bool sameType(const QString &reported, const QString &sqlType);

// CREATE TABLE text for one table with all its columns.
QString createTableSql(const TableDef &t);

} // namespace velmor::db::schema
