// The stone screen: the data repair that runs when it opens (first open of a
// database that has no history yet, and the everyday open of a repaired one),
// and the load and save of one stone.
#include "Scenarios.h"

#include "db/Sql.h"

#include <QRandomGenerator>
#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>

namespace velmor::bench {

namespace {

QStringList columnsOf(const QSqlDatabase &db, const QString &table)
{
    QSqlQuery q = db::exec(db,
                           QStringLiteral("SELECT COLUMN_NAME FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE() "
                                          "AND TABLE_NAME = ? ORDER BY ORDINAL_POSITION"),
                           {table.toLower()});
    QStringList out;
    while (q.next())
        out << q.value(0).toString();
    return out;
}

// The repair as set-based statements, one per step: what the database
// itself can do with the same rows.
void repairSetBased(const QSqlDatabase &db)
{
    const char *steps[] = {
        "UPDATE SingleStone SET SellPriceUS = (100 - SellOffRap) * (RapaportPrice * Carat / 100), RND = FLOOR(RAND() * 1000000 + 1)"
        " WHERE RapaportPrice <> 0 AND SellOffRap <> 0 AND (SellPriceUS IS NULL OR SellPriceUS <= 0)",
        "UPDATE SingleStone SET SellOffRap = 100 - SellPriceUS / (RapaportPrice * Carat) * 100, RND = FLOOR(RAND() * 1000000 + 1)"
        " WHERE RapaportPrice <> 0 AND SellPriceUS <> 0 AND SellOffRap IS NULL",
        "DELETE FROM SingleStone WHERE Status LIKE 'DEL'",
        "UPDATE SingleStone SET Certificate = ' ' WHERE Certificate IS NULL",
        "UPDATE Customer SET PriceClass = 1 WHERE PriceClass IS NULL",
        "UPDATE Config SET BuyUS = -1 WHERE BuyUS = 0 AND BuyLocal = 0",
        "UPDATE Config SET SellLocal = -1 WHERE SellUS = 0 AND SellLocal = 0",
        "UPDATE Config SET SellFixedValue = -1 WHERE SellOffRap = 0 AND SellFixedValue = 0",
        "UPDATE Config SET FloatValue = -1 WHERE LockMemo = 0 AND FloatValue = 0",
        "UPDATE SingleStone SET SupplierID = ConsignmentInCustomerID WHERE ConsignmentInCustomerID IS NOT NULL AND SupplierID IS NULL",
        "UPDATE SingleStone SET BuyingInUS = -1 WHERE BuyingInUS = 0 AND BuyingInLocal = 0",
        "UPDATE SingleStone SET LockPercent = -1, LockPercentlx = -1, SellOffRap = 0"
        " WHERE (LockPercent = 0 OR LockPercentlx = 0) AND SellPriceUS IS NULL",
        "UPDATE SingleStone SET SellPriceUS = (100 - SellOffRap) * (RapaportPrice * Carat / 100)"
        " WHERE LockPercent <> 0 AND SellPriceUS IS NULL",
        "UPDATE SingleStone SET SellPriceUS2 = (100 - SellOffRap2) * (RapaportPrice * Carat / 100)"
        " WHERE LockPercent <> 0 AND SellPriceUS2 IS NULL AND Carat IS NOT NULL AND RapaportPrice IS NOT NULL"
        " AND SellOffRap2 IS NOT NULL ORDER BY ID LIMIT 50",
        "UPDATE SingleStone SET SellPriceUS3 = (100 - SellOffRap3) * (RapaportPrice * Carat / 100)"
        " WHERE LockPercent <> 0 AND SellPriceUS3 IS NULL AND Carat IS NOT NULL AND RapaportPrice IS NOT NULL"
        " AND SellOffRap3 IS NOT NULL ORDER BY ID LIMIT 50",
        nullptr, // first history snapshots (below)
        "UPDATE Customer SET Terms = '30' WHERE Terms IS NULL",
        "UPDATE memosheet m JOIN (SELECT DISTINCT MemoSheetID FROM SingleStone) s ON s.MemoSheetID = m.ID"
        " SET m.closed = 0 WHERE m.closed <> 0",
        "UPDATE SingleStone SET currentRAPdiscountFORmemo = NULL, DateOnMemo = NULL"
        " WHERE (currentRAPdiscountFORmemo IS NOT NULL OR DateOnMemo IS NOT NULL) AND Status LIKE 'stock'",
    };
    static QString snapshot;
    if (snapshot.isEmpty()) {
        QSet<QString> stoneColumns;
        for (const QString &c : columnsOf(db, QStringLiteral("SingleStone")))
            stoneColumns.insert(c.toLower());
        QStringList shared;
        for (const QString &c : columnsOf(db, QStringLiteral("StoneChange"))) {
            const QString l = c.toLower();
            if (l != QLatin1String("id") && l != QLatin1String("stoneid") && l != QLatin1String("date")
                && l != QLatin1String("employeeid") && stoneColumns.contains(l))
                shared << c;
        }
        snapshot = QStringLiteral("INSERT INTO StoneChange (StoneID, EmployeeID, Date, %1) SELECT s.ID, 0, NOW(), %2"
                                  " FROM bench_first f JOIN SingleStone s ON s.ID = f.ID ORDER BY s.ID")
                       .arg(shared.join(QStringLiteral(", ")), QStringLiteral("s.") + shared.join(QStringLiteral(", s.")));
    }
    for (const char *step : steps) {
        if (step) {
            db::exec(db, QString::fromLatin1(step));
            continue;
        }
        // The stones without history first, so that the insert does not read its own table.
        db::exec(db, QStringLiteral("DROP TEMPORARY TABLE IF EXISTS bench_first"));
        db::exec(db, QStringLiteral("CREATE TEMPORARY TABLE bench_first (PRIMARY KEY (ID)) SELECT ID FROM SingleStone"
                                    " WHERE ID NOT IN (SELECT StoneID FROM StoneChange WHERE StoneID IS NOT NULL)"));
        db::exec(db, snapshot);
        db::exec(db, QStringLiteral("DROP TEMPORARY TABLE bench_first"));
    }
}

// The least a load and a save of one stone need: the row by its key, and one
// UPDATE of every column by its key.
class PlainLoadSave {
public:
    explicit PlainLoadSave(const QSqlDatabase &db) : m_db(db) {}
    void operator()(qint64 id)
    {
        QSqlQuery q = db::exec(m_db, QStringLiteral("SELECT * FROM SingleStone WHERE ID = ?"), {id});
        if (!q.next())
            throw db::DbError(QStringLiteral("Stone %1 is missing.").arg(id));
        const QSqlRecord rec = q.record();
        if (m_update.isEmpty()) {
            QStringList sets;
            for (int i = 0; i < rec.count(); ++i)
                if (rec.fieldName(i).compare(QLatin1String("ID"), Qt::CaseInsensitive) != 0)
                    sets << rec.fieldName(i) + QStringLiteral(" = ?");
            m_update = QStringLiteral("UPDATE SingleStone SET %1 WHERE ID = ?").arg(sets.join(QStringLiteral(", ")));
        }
        QVariantList binds;
        for (int i = 0; i < rec.count(); ++i) {
            if (rec.fieldName(i).compare(QLatin1String("ID"), Qt::CaseInsensitive) == 0)
                continue;
            if (rec.fieldName(i).compare(QLatin1String("RND"), Qt::CaseInsensitive) == 0)
                binds << int(QRandomGenerator::global()->bounded(1000000) + 1);
            else
                binds << rec.value(i);
        }
        binds << id;
        db::exec(m_db, m_update, binds);
    }

private:
    QSqlDatabase m_db;
    QString m_update;
};

// Stones a dealer opens: a fixed, seeded sample of IDs present in the table.
QList<qint64> sampleStones(const QSqlDatabase &db, int count, quint32 seed)
{
    QList<qint64> all;
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT ID FROM SingleStone ORDER BY ID"));
    while (q.next())
        all << q.value(0).toLongLong();
    QRandomGenerator rng(seed);
    QList<qint64> out;
    for (int i = 0; i < count && !all.isEmpty(); ++i)
        out << all.at(qsizetype(rng.bounded(quint32(all.size()))));
    return out;
}

} // namespace

void runStoneScenarios(SizeEnv &env)
{
    const QStringList repaired{QStringLiteral("SingleStone"), QStringLiteral("StoneChange"), QStringLiteral("Customer"),
                               QStringLiteral("Config"), QStringLiteral("memosheet")};
    auto restore = [&env, repaired] { env.restoreWork(repaired); };

    const QString first = QStringLiteral("stone repair at start (first open)");
    if (env.bench.wants(first)) {
        env.bench.measure(
            first, env.size,
            {Road{QStringLiteral("velmor"), restore,
                  [] { throw NotAvailable(QStringLiteral("the stone data repair has not landed yet")); }},
             Road{QStringLiteral("literal"), restore,
                  [] { throw NotAvailable(QStringLiteral("the row-by-row stone data repair has not landed yet")); }, true},
             Road{QStringLiteral("floor"), restore, [&env] { repairSetBased(env.workDb()); }}});
    }

    // The everyday open: the database was repaired by an earlier start.
    const QString everyday = QStringLiteral("stone repair at start (everyday)");
    if (env.bench.wants(everyday)) {
        restore();
        repairSetBased(env.workDb());
        env.bench.measure(
            everyday, env.size,
            {Road{QStringLiteral("velmor"), {},
                  [] { throw NotAvailable(QStringLiteral("the stone data repair has not landed yet")); }},
             Road{QStringLiteral("literal"), {},
                  [] { throw NotAvailable(QStringLiteral("the row-by-row stone data repair has not landed yet")); }, true},
             Road{QStringLiteral("floor"), {}, [&env] { repairSetBased(env.workDb()); }}});
    }

    const QString loadSave = QStringLiteral("stone load + save (per stone)");
    if (env.bench.wants(loadSave)) {
        constexpr int kStones = 20;
        const QList<qint64> ids = sampleStones(env.workDb(), kStones, env.bench.options().seed);
        env.bench.measure(
            loadSave, env.size,
            {Road{QStringLiteral("velmor"), {},
                  [] { throw NotAvailable(QStringLiteral("stone load and save have not landed yet")); }, false, kStones},
             Road{QStringLiteral("literal"), {},
                  [] { throw NotAvailable(QStringLiteral("stone load and save have not landed yet")); }, true, kStones},
             Road{QStringLiteral("floor"), {},
                  [&env, ids] {
                      PlainLoadSave plain(env.workDb());
                      for (qint64 id : ids)
                          plain(id);
                  },
                  false, kStones}});
    }
    restore();
}

} // namespace velmor::bench
