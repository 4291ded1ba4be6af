#include "pricing/ClassTables.h"

#include "core/AppContext.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "db/Transaction.h"
#include "pricing/Grades.h"

namespace velmor::pricing {

namespace {
QString fmt4(const QVariant &v) { return QString::number(db::numOf(v), 'f', 4); }
} // namespace

qint64 saveQualityClass(const QSqlDatabase &db, const QualityClass &c)
{
    db::Transaction tx(db);
    qint64 id = c.id;
    if (id <= 0 || !db::scalar(db, QStringLiteral("SELECT ID FROM Qs WHERE ID=?"), {id}).isValid())
        id = db::insert(db, QStringLiteral("INSERT INTO Qs (Class) VALUES ('CLASS')"));
    db::exec(db,
             QStringLiteral("UPDATE Qs SET Class=?, ColourHigh=?, ColourLow=?, ClarityHigh=?, ClarityLow=? WHERE ID=?"),
             {c.name.toUpper(), std::min(c.colourA, c.colourB), std::max(c.colourA, c.colourB),
              std::min(c.clarityA, c.clarityB), std::max(c.clarityA, c.clarityB), id});
    db::exec(db, QStringLiteral("DELETE FROM Qs WHERE class LIKE '' "));
    tx.commit();
    return id;
}

QList<QStringList> qualityClassGrid(const QSqlDatabase &db, bool orderByColour)
{
    QList<QStringList> out;
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT * FROM Qs ")
                                   + (orderByColour ? QStringLiteral(" ORDER BY ColourHigh ")
                                                    : QStringLiteral(" ORDER BY class ")));
    while (q.next()) {
        const db::Row r(q);
        QString ch = r.text(QStringLiteral("ColourHigh")), cl = r.text(QStringLiteral("ColourLow"));
        QString qh = r.text(QStringLiteral("ClarityHigh")), ql = r.text(QStringLiteral("ClarityLow"));
        ConvertColourCodeModule(ch, ch);
        ConvertColourCodeModule(cl, cl);
        ConvertClarityCodeModule(qh, qh);
        ConvertClarityCodeModule(ql, ql);
        out << QStringList{r.text(QStringLiteral("ID")), r.text(QStringLiteral("Class")), ch, cl, qh, ql};
    }
    return out;
}

QualityClass loadQualityClass(const QSqlDatabase &db, qint64 id)
{
    QualityClass c;
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT * FROM Qs WHERE ID=?"), {id});
    if (q.next()) {
        const db::Row r(q);
        c.id = id;
        c.name = r.text(QStringLiteral("Class"));
        c.colourA = int(r.integer(QStringLiteral("ColourHigh")));
        c.colourB = int(r.integer(QStringLiteral("ColourLow")));
        c.clarityA = int(r.integer(QStringLiteral("ClarityHigh")));
        c.clarityB = int(r.integer(QStringLiteral("ClarityLow")));
    }
    return c;
}

qint64 saveSizeRange(const QSqlDatabase &db, const SizeRange &r)
{
    db::Transaction tx(db);
    qint64 id = r.id;
    if (id <= 0 || !db::scalar(db, QStringLiteral("SELECT ID FROM DRange WHERE ID=?"), {id}).isValid())
        id = db::insert(db, QStringLiteral("INSERT INTO DRange (Class) VALUES ('CLASS')"));
    db::exec(db, QStringLiteral("UPDATE DRange SET Class=?, Markup=?, CaratLow=?, CaratHigh=? WHERE ID=?"),
             {r.name.toUpper(), r.markup, std::min(r.caratA, r.caratB), std::max(r.caratA, r.caratB), id});
    db::exec(db, QStringLiteral("DELETE FROM DRange WHERE class LIKE '' "));
    tx.commit();
    return id;
}

QList<QStringList> sizeRangeGrid(const QSqlDatabase &db, bool orderByCaratLow)
{
    QList<QStringList> out;
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT * FROM DRange ")
                                   + (orderByCaratLow ? QStringLiteral(" ORDER BY CaratLow ")
                                                      : QStringLiteral(" ORDER BY class ")));
    while (q.next()) {
        const db::Row r(q);
        out << QStringList{r.text(QStringLiteral("ID")), r.text(QStringLiteral("Class")),
                           fmt4(r.raw(QStringLiteral("CaratLow"))), fmt4(r.raw(QStringLiteral("CaratHigh"))),
                           fmt4(r.raw(QStringLiteral("Markup")))};
    }
    return out;
}

SizeRange loadSizeRange(const QSqlDatabase &db, qint64 id)
{
    SizeRange s;
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT * FROM DRange WHERE ID=?"), {id});
    if (q.next()) {
        const db::Row r(q);
        s.id = id;
        s.name = r.text(QStringLiteral("Class"));
        s.caratA = r.num(QStringLiteral("CaratLow"));
        s.caratB = r.num(QStringLiteral("CaratHigh"));
        s.markup = r.num(QStringLiteral("Markup"));
    }
    return s;
}

int pushMarkupsToParcels(const QSqlDatabase &db, const QDateTime &now)
{
    db::Transaction tx(db);
    int n = 0;
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT Class, Markup FROM DRange ORDER BY ID"));
    QList<QPair<QVariant, QVariant>> ranges;
    while (q.next())
        ranges.append({q.value(0), q.value(1)});
    for (const auto &r : ranges) {
        if (r.first.isNull())
            continue;
        n += db::execAffected(db,
                              QStringLiteral("UPDATE parcelstock SET dmarkup=?, costmarkup=?, LastUpdated=? "
                                             "WHERE dclass LIKE ?"),
                              {r.second, r.second, now, db::textOf(r.first)});
    }
    tx.commit();
    return n;
}

QList<WordRow> loadWordTable(const QSqlDatabase &db, WordTable t)
{
    QList<WordRow> out;
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT * FROM %1 ORDER BY row ").arg(wordTableName(t)));
    while (q.next()) {
        const db::Row r(q);
        WordRow w;
        w.master = r.text(QStringLiteral("master"));
        for (int i = 0; i < 6; ++i)
            w.words[i] = r.text(QStringLiteral("w%1").arg(i + 1));
        out << w;
    }
    return out;
}

void saveWordTable(const QSqlDatabase &db, WordTable t, const QList<WordRow> &rows)
{
    const QString table = wordTableName(t);
    db::Transaction tx(db);
    for (int n = 1; n <= rows.size(); ++n) {
        const WordRow &w = rows[n - 1];
        QVariant id = db::scalar(db, QStringLiteral("SELECT ID FROM %1 WHERE row=? ORDER BY ID LIMIT 1").arg(table), {n});
        if (!id.isValid())
            id = db::insert(db, QStringLiteral("INSERT INTO %1 (row) VALUES (?)").arg(table), {n});
        QVariantList b{n, t == WordTable::Shapes ? w.master.toUpper() : w.master};
        for (const QString &x : w.words)
            b << x;
        b << id;
        db::exec(db,
                 QStringLiteral("UPDATE %1 SET row=?, master=?, w1=?, w2=?, w3=?, w4=?, w5=?, w6=? WHERE ID=?").arg(table),
                 b);
    }
    // Rows below the last one kept were cleared on the screen: they go, or
    // their words would come back at the next load.
    db::exec(db, QStringLiteral("DELETE FROM %1 WHERE row > ? OR row IS NULL").arg(table), {int(rows.size())});
    tx.commit();
}

void saveRoundStoneName(AppContext &ctx, const QString &name)
{
    const QString upper = name.toUpper();
    db::exec(ctx.db(), QStringLiteral("UPDATE Config SET roundstonename=?"), {upper});
    ctx.settings.roundstonename = upper;
}

} // namespace velmor::pricing
