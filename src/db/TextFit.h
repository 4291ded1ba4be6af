#pragma once
// Text checked against what the database can hold before it is written:
// a text longer than its column (a strict server refuses the whole write, one
// without strict mode cuts the text without a word), and long free text kept
// in the single-byte form the store-side program reads.
#include <QList>
#include <QPair>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace velmor::db {

struct TooLong {
    QString column;
    int length = 0; // characters typed
    int limit = 0;  // characters the column holds
};

// The first of `values` (column, text) longer than its text column of
// `table` allows, or an empty column when all fit.  Columns that are not
// text of a fixed length are not checked.
TooLong firstTooLong(const QSqlDatabase &db, const QString &table, const QList<QPair<QString, QString>> &values);

// The characters of `text` that the single-byte form of long free text
// (textToBlob) cannot give back as they were: characters outside the code
// page, the byte that marks a line break there, and a carriage return not
// followed by a line feed.  Each is listed once, as the user would name it.
QStringList unstorableInBlob(const QString &text);

} // namespace velmor::db
