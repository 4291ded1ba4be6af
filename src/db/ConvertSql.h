#pragma once
// The three shared helpers of data access: the dialect conversion of the
// program's larger queries, the conversion of long-text bytes, and the record
// number carried at the end of a combo entry.
#include <QByteArray>
#include <QString>
#include <QVariant>

namespace velmor::db {

// Rewrites a statement written in the desktop-database dialect into the
// server's dialect.
void ConvertSQLModule(const QString &statement, QString &result);
QString convertSql(const QString &statement);

// Long free text arrives as bytes in the workstation's ANSI code page; the
// byte 218 stands for a line break.
void BlobConvertModule(const QVariant &value, QString &text);
QString blobToText(const QVariant &value);
// The reverse, for writing a comment: line breaks become byte 218.
QByteArray textToBlob(const QString &text);

// The marker that ends a combo entry carrying a record number.
inline const QString kIdMarker = QStringLiteral("   --- ID");
// Reads the record number after the marker: 0 when the marker is absent;
// `id` is left untouched when the entry is empty.
void GetIDModule(const QString &entry, QVariant &id);
double idFromEntry(const QString &entry); // 0 when absent or empty
QString entryWithId(const QString &text, qint64 id);

} // namespace velmor::db
