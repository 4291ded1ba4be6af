#include "db/ConvertSql.h"

#include "db/Row.h"

namespace velmor::db {

namespace {

void replaceAll(QString &s, const char *from, const char *to)
{
    s.replace(QLatin1String(from), QLatin1String(to), Qt::CaseSensitive);
}

bool containsAny(const QString &s, std::initializer_list<const char *> words)
{
    for (const char *w : words)
        if (s.contains(QLatin1String(w), Qt::CaseSensitive))
            return true;
    return false;
}

// Windows-1252 code points of the bytes 0x80..0x9F (0 where undefined).
const char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

QChar fromAnsi(uchar b)
{
    if (b >= 0x80 && b < 0xA0 && kCp1252High[b - 0x80])
        return QChar(kCp1252High[b - 0x80]);
    return QChar(b);
}

char toAnsi(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80 || (u >= 0xA0 && u < 0x100))
        return char(u);
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] && kCp1252High[i] == u)
            return char(0x80 + i);
    return '?';
}

} // namespace

void ConvertSQLModule(const QString &statement, QString &result)
{
    QString s = statement;

    // 1. Keep the shape codes out of the bracket rules.
    replaceAll(s, "[BR]", "******BR*****");
    replaceAll(s, "[PS]", "******PS*****");
    replaceAll(s, "[MQ]", "******MQ*****");
    replaceAll(s, "[PR]", "******PR*****");

    // 2. A bracketed alias after AS becomes a quoted alias.
    QString out;
    out.reserve(s.size() + 16);
    bool pendingAlias = false;
    for (const QChar c : s) {
        out += c;
        if (pendingAlias && out.endsWith(QLatin1Char(']'))) {
            out[out.size() - 1] = QLatin1Char('\'');
            pendingAlias = false;
        }
        if (containsAny(out, {"AS [", "as [", "AS[", "as["})) {
            replaceAll(out, "AS [", "AS '");
            replaceAll(out, "as [", "AS '");
            replaceAll(out, "AS[", "AS '");
            replaceAll(out, "as[", "AS '");
            pendingAlias = true;
        }
    }
    s = out;

    // 3. Other bracketed names become back-quoted names.
    replaceAll(s, "[", "`");
    replaceAll(s, "]", "`");

    // 4. Functions and Boolean literals.
    replaceAll(s, "IIF", "IF");
    replaceAll(s, "str(", "QUOTE(");
    replaceAll(s, "Str(", "QUOTE(");
    replaceAll(s, "inQUOTE", "instr");
    replaceAll(s, "len(", "LENGTH(");
    replaceAll(s, "chr(", "CHAR(");
    replaceAll(s, "Day(", "DAYOFMONTH(");
    replaceAll(s, "DAY(", "DAYOFMONTH(");
    replaceAll(s, "day(", "DAYOFMONTH(");
    for (const char *t : {"= TRUE", "= true", "= True", "=TRUE", "=true", "=True"})
        replaceAll(s, t, "<> 0");
    for (const char *f : {"FALSE", "false", "False"})
        replaceAll(s, f, "0");
    replaceAll(s, "int(", "(");

    // 5. A two-decimal format becomes the decimal-places argument.
    if (containsAny(s, {"format", "Format", "FORMAT"}))
        replaceAll(s, "'0.00'", "2");

    // 6. Day differences take two arguments.
    if (containsAny(s, {"DATEDIFF", "Datediff", "datediff"}))
        replaceAll(s, "'d',", "");

    // 7. now is a function call.
    if (s.contains(QLatin1String("now")) && !s.contains(QLatin1String("now()")))
        replaceAll(s, "now", "now()");

    // 8. Currency prefixes.
    for (const char *p : {"'$'&", "'$ '&", "'$' &", "'$ ' &", "'$'& ", "'$' & ", "'$ ' & ", "'$ '& "})
        replaceAll(s, p, "");

    // 9. Shape codes back.
    replaceAll(s, "******BR*****", "[BR]");
    replaceAll(s, "******PS*****", "[PS]");
    replaceAll(s, "******MQ*****", "[MQ]");
    replaceAll(s, "******PR*****", "[PR]");

    result = s;
}

QString convertSql(const QString &statement)
{
    QString r;
    ConvertSQLModule(statement, r);
    return r;
}

void BlobConvertModule(const QVariant &value, QString &text)
{
    QString out;
    if (value.isNull() || !value.isValid()) {
        text = out;
        return;
    }
    if (value.typeId() == QMetaType::QByteArray) {
        const QByteArray bytes = value.toByteArray();
        out.reserve(bytes.size());
        for (const char b : bytes) {
            if (uchar(b) == 218)
                out += QStringLiteral("\r\n");
            else
                out += fromAnsi(uchar(b));
        }
    } else {
        // A driver that already hands back text: the same rule on U+00DA.
        const QString s = value.toString();
        for (const QChar c : s) {
            if (c.unicode() == 218)
                out += QStringLiteral("\r\n");
            else
                out += c;
        }
    }
    text = out;
}

QString blobToText(const QVariant &value)
{
    QString t;
    BlobConvertModule(value, t);
    return t;
}

QByteArray textToBlob(const QString &text)
{
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QString(QChar(218)));
    t.replace(QLatin1Char('\n'), QChar(218));
    t.remove(QLatin1Char('\r'));
    QByteArray out;
    out.reserve(t.size());
    for (const QChar c : t)
        out += toAnsi(c);
    return out;
}

void GetIDModule(const QString &entry, QVariant &id)
{
    if (entry.isEmpty())
        return;
    const int pos = entry.indexOf(kIdMarker);
    if (pos < 0) {
        id = 0.0;
        return;
    }
    id = leadingNumber(entry.mid(pos + kIdMarker.size()));
}

double idFromEntry(const QString &entry)
{
    QVariant v = 0.0;
    GetIDModule(entry, v);
    return v.toDouble();
}

QString entryWithId(const QString &text, qint64 id)
{
    return text + kIdMarker + QString::number(id);
}

} // namespace velmor::db
