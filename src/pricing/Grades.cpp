#include "pricing/Grades.h"

#include "db/ConvertSql.h"
#include "db/Row.h"
#include "db/Sql.h"

namespace velmor::pricing {

namespace {

QString textOn(const QList<GradeScaleEntry> &scale, int number)
{
    for (const GradeScaleEntry &e : scale)
        if (e.number == number)
            return QString::fromLatin1(e.text);
    return {};
}

int numberOn(const QList<GradeScaleEntry> &scale, const QString &text)
{
    const QString t = text.trimmed();
    for (const GradeScaleEntry &e : scale)
        if (t.compare(QLatin1String(e.text), Qt::CaseInsensitive) == 0)
            return e.number;
    return 0;
}

void convert(const QList<GradeScaleEntry> &scale, const QString &number, QString &out)
{
    bool ok = false;
    const int n = number.trimmed().toInt(&ok);
    if (!ok)
        return;
    const QString t = textOn(scale, n);
    if (!t.isEmpty())
        out = t;
}

QString wording(const QSqlDatabase &db, const QString &sql, int number)
{
    // The statement is written the way the screens write it; the dialect
    // conversion turns "=true" into "<> 0", since flags are stored as -1.
    QSqlQuery q = db::exec(db, db::convertSql(sql) + QStringLiteral(" ORDER BY ID LIMIT 1"), {number});
    return q.next() ? db::textOf(q.value(0)) : QString();
}

} // namespace

void ConvertColourCodeModule(const QString &number, QString &out) { convert(colourScale(), number, out); }
void ConvertClarityCodeModule(const QString &number, QString &out) { convert(clarityScale(), number, out); }
QString colourCodeText(int number) { return textOn(colourScale(), number); }
QString clarityCodeText(int number) { return textOn(clarityScale(), number); }
int colourNumberOf(const QString &text) { return numberOn(colourScale(), text); }
int clarityNumberOf(const QString &text) { return numberOn(clarityScale(), text); }

QString GetDiamondGradeColourModule(const QSqlDatabase &db, int number)
{
    return wording(db, QStringLiteral("SELECT Wording FROM DiamondGrades WHERE Colour<>0 AND number=?"), number);
}

QString GetDiamondGradeClarityModule(const QSqlDatabase &db, int number)
{
    return wording(db, QStringLiteral("SELECT Wording FROM DiamondGrades WHERE Clarity<>0 AND number=?"), number);
}

QStringList gradeComboEntries(const QSqlDatabase &db, GradeKind kind, bool dontUseSplits)
{
    const QString sql = kind == GradeKind::Clarity
        ? QStringLiteral("SELECT * FROM DiamondGrades WHERE Clarity=true AND Colour=false ORDER BY Number")
        : QStringLiteral("SELECT * FROM DiamondGrades WHERE Clarity=false AND Colour=true ORDER BY Number");
    QStringList out{QString()};
    QSqlQuery q = db::exec(db, db::convertSql(sql));
    while (q.next()) {
        const db::Row r(q);
        const qint64 n = r.integer(QStringLiteral("Number"));
        if (dontUseSplits && n % 10 == 5)
            continue;
        out << QStringLiteral("%1 - %2").arg(n).arg(r.text(QStringLiteral("Wording")));
    }
    return out;
}

QString gradeTextOfEntry(const QString &entry)
{
    const int dash = entry.indexOf(QLatin1Char('-'));
    if (dash < 0)
        return {};
    return entry.mid(dash + 2);
}

int gradeNumberOfEntry(const QString &entry) { return int(db::leadingNumber(entry)); }

} // namespace velmor::pricing
