#pragma once
// One place for the Null rules of reading a row: a text column that is Null
// reads as "", a number as 0, a flag is true when it is not Null and not 0
// (QODBC hands back -1 in a TINYINT as 4294967295, which is still non-zero).
// Flags are written as -1 and 0 (flagValue()).
#include <QDate>
#include <QDateTime>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QVariant>

namespace velmor::db {

class Row {
public:
    Row() = default;
    explicit Row(const QSqlRecord &rec) : m_rec(rec) {}
    explicit Row(const QSqlQuery &q) : m_rec(q.record()) {}

    bool has(const QString &name) const { return m_rec.indexOf(name) >= 0; }
    bool isNull(const QString &name) const;
    QVariant raw(const QString &name) const;

    QString text(const QString &name) const;
    double num(const QString &name) const;
    qint64 integer(const QString &name) const;
    bool flag(const QString &name) const;
    QDate date(const QString &name) const;
    QDateTime dateTime(const QString &name) const;

    const QSqlRecord &record() const { return m_rec; }

private:
    QSqlRecord m_rec;
};

// The value written into a flag column.
inline int flagValue(bool on) { return on ? -1 : 0; }

// Null rules on a bare value, for callers that hold a QVariant.
QString textOf(const QVariant &v);
double numOf(const QVariant &v);
bool flagOf(const QVariant &v);

// The numeric conversion of text the screens use on typed numbers: the
// leading number of the text ("12abc" is 12, "abc" is 0, " 3.5" is 3.5).
double leadingNumber(const QString &text);

} // namespace velmor::db
