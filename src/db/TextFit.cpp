#include "db/TextFit.h"

#include "db/ConvertSql.h"
#include "db/Sql.h"

#include <QHash>
#include <QSqlQuery>

namespace velmor::db {

TooLong firstTooLong(const QSqlDatabase &db, const QString &table, const QList<QPair<QString, QString>> &values)
{
    QHash<QString, int> limits;
    QSqlQuery q = exec(db,
                       QStringLiteral("SELECT COLUMN_NAME, CHARACTER_MAXIMUM_LENGTH FROM information_schema.COLUMNS "
                                      "WHERE TABLE_SCHEMA = DATABASE() AND LOWER(TABLE_NAME) = LOWER(?) "
                                      "AND DATA_TYPE IN ('varchar', 'char')"),
                       {table});
    while (q.next())
        limits.insert(q.value(0).toString().toLower(), q.value(1).toInt());
    for (const auto &v : values) {
        const auto it = limits.constFind(v.first.toLower());
        if (it == limits.constEnd() || *it <= 0)
            continue;
        // The server counts characters; a character outside the basic plane
        // is one character there and two here.
        const int length = int(v.second.toUcs4().size());
        if (length > *it)
            return {v.first, length, *it};
    }
    return {};
}

QStringList unstorableInBlob(const QString &text)
{
    QStringList out;
    auto add = [&](const QString &what) {
        if (!out.contains(what))
            out << what;
    };
    const QList<uint> chars = text.toUcs4();
    for (int i = 0; i < chars.size(); ++i) {
        const uint c = chars[i];
        if (c == '\r') {
            if (i + 1 >= chars.size() || chars[i + 1] != '\n')
                add(QStringLiteral("a carriage return without a line feed"));
            continue;
        }
        const QString one = QString::fromUcs4(reinterpret_cast<const char32_t *>(&c), 1);
        if (c == 0xDA) { // the byte that marks a line break
            add(QStringLiteral("\"%1\"").arg(one));
            continue;
        }
        if (c == '\n')
            continue;
        const QByteArray stored = textToBlob(one);
        if (stored.size() != 1 || blobToText(QVariant(stored)) != one)
            add(QStringLiteral("\"%1\"").arg(one));
    }
    return out;
}

} // namespace velmor::db
