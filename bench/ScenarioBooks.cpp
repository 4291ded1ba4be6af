// The books check on the generated books: Velmor's set-based rules next to
// a row-by-row walk of the same rules (one query per stone, parcel and line
// for what each rule needs), on the pristine database of the size.
#include "Scenarios.h"

#include "db/Schema.h"
#include "db/SchemaTables.h"
#include "db/Sql.h"
#include "shell/BooksCheck.h"

#include <QHash>
#include <QSet>
#include <QSqlQuery>

#include <map>

namespace velmor::bench {

namespace {

QList<double> digestOf(const books::Report &r)
{
    QList<double> d;
    for (const books::RuleResult &res : r.results)
        d << double(res.failure.isEmpty() ? res.rows.size() : -1);
    return d;
}

bool isRate01(const QVariant &v)
{
    if (v.isNull())
        return false;
    const double x = v.toDouble();
    return x == 0 || x == 1;
}

// The same rules, row by row; the number of findings of each rule in the
// order of books::rules().
QList<double> literalCheck(const QSqlDatabase &db)
{
    std::map<QString, double> n;
    auto one = [&](const QString &sql, const QVariantList &binds) { return db::scalar(db, sql, binds).isValid(); };
    QSqlQuery stones = db::exec(db, QStringLiteral("SELECT ID, SKU, Status, MemoSheetID, CustomerID, Laboratory, "
                                                   "Certificate, bought_exchangerateCDN, bought_exchangerateZAR "
                                                   "FROM SingleStone ORDER BY ID"));
    QHash<QString, int> skus, certificates;
    QSet<qint64> seen;
    while (stones.next()) {
        const qint64 id = stones.value(0).toLongLong();
        seen.insert(id);
        const QString status = stones.value(2).toString();
        const bool memo = status.compare(QLatin1String("Memo"), Qt::CaseInsensitive) == 0;
        const qint64 sheet = stones.value(3).toLongLong();
        const QVariant customer = stones.value(4);
        if (memo) {
            QSqlQuery m = db::exec(db, QStringLiteral("SELECT CustomerID, closed FROM memosheet WHERE ID = ?"),
                                   {stones.value(3)});
            if (stones.value(3).isNull() || !m.next()) {
                ++n["memo-stone-sheet"];
            } else {
                if (m.value(0).isNull() != customer.isNull() || m.value(0).toLongLong() != customer.toLongLong())
                    ++n["memo-stone-customer"];
                if (m.value(1).toInt() != 0)
                    ++n["memo-stone-closed-sheet"];
            }
        }
        QSqlQuery last = db::exec(db, QStringLiteral("SELECT MemoSheetID, CustomerID, Quantity, setdate FROM Memo WHERE "
                                                     "DiamondID = ? ORDER BY ID DESC LIMIT 1"),
                                  {id});
        const bool hasLast = last.next();
        const bool lastOut = hasLast && last.value(2).toInt() > 0;
        const qint64 lastSheet = hasLast ? last.value(0).toLongLong() : 0;
        if (memo && (!hasLast || last.value(2).toInt() != 1 || last.value(0).isNull() != stones.value(3).isNull()
                     || lastSheet != sheet))
            ++n["memo-journal"];
        if (lastOut && !(memo && lastSheet == sheet && !stones.value(3).isNull())
            && !one(QStringLiteral("SELECT 1 FROM invoicelist il JOIN invoice i ON i.ID = il.invoiceid WHERE "
                                   "il.diamondid = ? AND i.customerid <=> ? AND il.dateadded >= ? LIMIT 1"),
                    {id, last.value(1), last.value(3)}))
            ++n["memo-journal-open"];
        if (!memo && sheet != 0)
            ++n["stone-sheet-pointer"];
        if (status.compare(QLatin1String("Sold"), Qt::CaseInsensitive) == 0
            && !one(QStringLiteral("SELECT 1 FROM invoicelist il JOIN invoice i ON i.ID = il.invoiceid WHERE "
                                   "il.diamondid = ? AND i.customerid <=> ? LIMIT 1"),
                    {id, customer}))
            ++n["sold-stone-invoice"];
        if (status.compare(QLatin1String("returned"), Qt::CaseInsensitive) == 0) {
            bool open = false;
            if (lastOut)
                open = db::scalar(db, QStringLiteral("SELECT IFNULL(closed, 0) FROM memosheet WHERE ID = ?"), {lastSheet})
                           .toInt()
                       == 0;
            if (sheet != 0 || open)
                ++n["returned-stone-memo"];
        }
        const bool live = status.compare(QLatin1String("Sold"), Qt::CaseInsensitive) != 0
                          && status.compare(QLatin1String("returned"), Qt::CaseInsensitive) != 0
                          && status.compare(QLatin1String("DEL"), Qt::CaseInsensitive) != 0;
        if (live) {
            const QString sku = stones.value(1).toString().trimmed().toLower();
            if (!sku.isEmpty() && ++skus[sku] == 2)
                ++n["duplicate-sku"];
            const QString cert = stones.value(6).toString().trimmed().toLower();
            if (!cert.isEmpty() && ++certificates[stones.value(5).toString().trimmed().toLower() + QLatin1Char('|') + cert] == 2)
                ++n["duplicate-certificate"];
        }
        n["stored-rate"] += int(isRate01(stones.value(7))) + int(isRate01(stones.value(8)));
    }
    // Journal lines of stones that are gone.
    QSqlQuery gone = db::exec(db, QStringLiteral("SELECT DISTINCT DiamondID FROM Memo WHERE DiamondID > 0"));
    while (gone.next()) {
        const qint64 id = gone.value(0).toLongLong();
        if (seen.contains(id))
            continue;
        QSqlQuery last = db::exec(db, QStringLiteral("SELECT Quantity FROM Memo WHERE DiamondID = ? ORDER BY ID DESC LIMIT 1"),
                                  {id});
        if (last.next() && last.value(0).toInt() > 0)
            ++n["memo-journal-open"];
    }

    QSqlQuery parcels = db::exec(db, QStringLiteral("SELECT ID, Carat FROM parcel ORDER BY ID"));
    while (parcels.next()) {
        const QVariant id = parcels.value(0);
        auto sum = [&](const QString &sql) { return db::scalar(db, sql, {id}).toDouble(); };
        const double onMemo = sum(QStringLiteral("SELECT SUM(carat) FROM memoparcellist WHERE parcelid = ?"));
        const double sold = -sum(QStringLiteral("SELECT SUM(carat) FROM memoparcellist WHERE parcelid = ? AND action = 'sell'"));
        const double journal = sum(QStringLiteral("SELECT SUM(Carat) FROM parceladd WHERE parcelid = ?"));
        const double invoiced = sum(QStringLiteral("SELECT SUM(carat) FROM invoicelist WHERE parcelid = ? AND "
                                                   "IFNULL(diamondid, 0) = 0"));
        const double onHand = parcels.value(1).toDouble();
        if (std::abs(onHand + onMemo - journal + sold) >= 0.000005)
            ++n["parcel-balance"];
        if (std::abs(sold - invoiced) >= 0.000005)
            ++n["parcel-sold-invoiced"];
        if (onHand < 0)
            ++n["parcel-below-zero"];
        QSqlQuery memos = db::exec(db, QStringLiteral("SELECT SUM(carat) FROM memoparcellist WHERE parcelid = ? GROUP BY "
                                                      "memoparcelid"),
                                   {id});
        while (memos.next())
            if (memos.value(0).toDouble() < 0)
                ++n["parcel-below-zero"];
    }

    QHash<qint64, int> open;
    QSqlQuery invoices = db::exec(db, QStringLiteral("SELECT customerid, status FROM invoice"));
    while (invoices.next())
        if (invoices.value(1).toString().compare(QLatin1String("open"), Qt::CaseInsensitive) == 0
            && ++open[invoices.value(0).toLongLong()] == 2)
            ++n["open-invoices"];
    QSqlQuery lines = db::exec(db, QStringLiteral("SELECT invoiceid, diamondid, parcelid, exchangerateCDN, exchangerateZAR "
                                                  "FROM invoicelist"));
    while (lines.next()) {
        const qint64 stone = lines.value(1).toLongLong(), parcel = lines.value(2).toLongLong();
        if (!one(QStringLiteral("SELECT 1 FROM invoice WHERE ID = ?"), {lines.value(0)})
            || (stone != 0 && !one(QStringLiteral("SELECT 1 FROM SingleStone WHERE ID = ?"), {stone}))
            || (stone == 0 && parcel != 0 && !one(QStringLiteral("SELECT 1 FROM parcel WHERE ID = ?"), {parcel})))
            ++n["invoice-line-orphan"];
        n["stored-rate"] += int(isRate01(lines.value(3))) + int(isRate01(lines.value(4)));
    }
    QSqlQuery memoLines = db::exec(db, QStringLiteral("SELECT exchangerateCDN, exchangerateZAR FROM memoparcellist"));
    while (memoLines.next())
        n["stored-rate"] += int(isRate01(memoLines.value(0))) + int(isRate01(memoLines.value(1)));

    // The schema: the version, then each table's columns.
    const double stored = db::schema::storedVersion(db);
    if (stored != db::schema::kSchemaVersion)
        ++n["schema-version"];
    if (stored >= db::schema::kSchemaVersion)
        for (const db::schema::TableDef &t : db::schema::finalTables()) {
            QSet<QString> columns;
            QSqlQuery q = db::exec(db, QStringLiteral("SELECT LOWER(COLUMN_NAME) FROM information_schema.COLUMNS WHERE "
                                                      "TABLE_SCHEMA = DATABASE() AND TABLE_NAME = ?"),
                                   {t.name.toLower()});
            while (q.next())
                columns.insert(q.value(0).toString());
            if (columns.isEmpty()) {
                ++n["schema-version"];
                continue;
            }
            for (const db::schema::ColumnDef &c : t.columns)
                if (!columns.contains(c.name.toLower()))
                    ++n["schema-version"];
        }

    // The journal rule's key in the report.
    n["memo-stone-journal"] = n["memo-journal"];
    QList<double> d;
    for (const books::Rule &r : books::rules())
        d << n[r.key];
    return d;
}

} // namespace

void runBooksScenarios(SizeEnv &env)
{
    const QString name = QStringLiteral("db check (whole books)");
    if (!env.bench.wants(name))
        return;
    // The generated books as they are, never touched by the other scenarios.
    QSqlDatabase db = env.server.connect(env.pristine);
    QList<double> velmorDigest, literalDigest;
    env.bench.measure(name, env.size,
                      {Road{QStringLiteral("velmor"), {}, [&] { velmorDigest = digestOf(books::checkBooks(db)); }, false,
                            1, [&] { return velmorDigest; }},
                       Road{QStringLiteral("literal"), {}, [&] { literalDigest = literalCheck(db); }, true, 1,
                            [&] { return literalDigest; }}});
}

} // namespace velmor::bench
