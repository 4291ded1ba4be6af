#include "pricing/Grades.h"

#include "db/ConvertSql.h"
#include "db/Row.h"
#include "db/Sql.h"

namespace velmor::pricing {

const QList<GradeScaleEntry> &colourScale()
{
    static const QList<GradeScaleEntry> scale = {
        {10, "D"},   {15, "D/E"}, {20, "E"},   {25, "E/F"},   {30, "F"},   {35, "F/G"},   {40, "G"},
        {45, "G/H"}, {50, "H"},   {55, "H/I"}, {60, "I"},     {65, "I/J"}, {70, "J"},     {75, "J/K"},
        {80, "K"},   {85, "K/L"}, {90, "L"},   {95, "L/M"},   {100, "M"},  {105, "M/N"},  {110, "N"},
        {115, "N/O"}, {120, "O"}, {125, "O/P"}, {130, "P"},   {135, "P/Q"}, {140, "Q"},   {145, "Q/R"},
        {150, "R"},  {155, "R/S"}, {160, "S"},
    };
    return scale;
}

const QList<GradeScaleEntry> &clarityScale()
{
    static const QList<GradeScaleEntry> scale = {
        {4, "IF"},        {7, "IF/FL"},    {10, "FL"},     {15, "FL/VVS1"}, {20, "VVS1"},
        {25, "VVS1/VVS2"}, {30, "VVS2"},   {35, "VVS2/VS1"}, {40, "VS1"},   {45, "VS1/VS2"},
        {50, "VS2"},      {55, "VS2/SI1"}, {60, "SI1"},    {65, "SI1/SI2"}, {70, "SI2"},
        {75, "SI2/SI3"},  {80, "SI3"},     {85, "SI3/I1"}, {89, "I1+"},     {90, "I1"},
        {91, "I1-"},      {95, "I1/I2"},   {99, "I2+"},    {100, "I2"},     {101, "I2-"},
        {105, "I2/I3"},   {110, "I3"},     {115, "I3/I4"}, {120, "I4"},
    };
    return scale;
}

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
