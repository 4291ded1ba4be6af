// The stone screen: the data repair that runs when it opens (first open of a
// database that has no history yet, and the everyday open of a repaired one),
// and the load and save of one stone.
#include "Scenarios.h"

#include "db/RepairMarks.h"
#include "db/Sql.h"
#include "stones/StoneRecord.h"
#include "stones/StoneRepair.h"

#include <QRandomGenerator>
#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>

#include <memory>

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

// The least an open of a repaired database needs: one scan of each table
// for the rows any step would touch, finding none.
void repairCheckOnly(const QSqlDatabase &db)
{
    const char *scans[] = {
        "SELECT COUNT(*) FROM SingleStone WHERE (RapaportPrice <> 0 AND SellOffRap <> 0 AND (SellPriceUS IS NULL OR SellPriceUS <= 0))"
        " OR (RapaportPrice <> 0 AND SellPriceUS <> 0 AND SellOffRap IS NULL) OR Status LIKE 'DEL' OR Certificate IS NULL"
        " OR (ConsignmentInCustomerID IS NOT NULL AND SupplierID IS NULL) OR (BuyingInUS = 0 AND BuyingInLocal = 0)"
        " OR ((LockPercent = 0 OR LockPercentlx = 0) AND SellPriceUS IS NULL) OR (LockPercent <> 0 AND SellPriceUS IS NULL)"
        " OR (LockPercent <> 0 AND SellPriceUS2 IS NULL AND Carat IS NOT NULL AND RapaportPrice IS NOT NULL AND SellOffRap2 IS NOT NULL)"
        " OR (LockPercent <> 0 AND SellPriceUS3 IS NULL AND Carat IS NOT NULL AND RapaportPrice IS NOT NULL AND SellOffRap3 IS NOT NULL)"
        " OR ((currentRAPdiscountFORmemo IS NOT NULL OR DateOnMemo IS NOT NULL) AND Status LIKE 'stock')",
        "SELECT COUNT(*) FROM SingleStone WHERE ID NOT IN (SELECT StoneID FROM StoneChange WHERE StoneID IS NOT NULL)",
        "SELECT COUNT(*) FROM Customer WHERE PriceClass IS NULL OR Terms IS NULL",
        "SELECT * FROM Config",
        "SELECT COUNT(*) FROM memosheet m JOIN (SELECT DISTINCT MemoSheetID FROM SingleStone) s ON s.MemoSheetID = m.ID"
        " WHERE m.closed <> 0",
    };
    for (const char *scan : scans) {
        QSqlQuery q = db::exec(db, QString::fromLatin1(scan));
        while (q.next()) {
        }
    }
}

// The figures the repair roads must agree on.
QList<double> repairDigest(const QSqlDatabase &db)
{
    QSqlQuery q = db::exec(db, QStringLiteral(
        "SELECT COUNT(*), SUM(SellPriceUS), SUM(SellOffRap), SUM(SellPriceUS2), SUM(SellPriceUS3), SUM(Certificate IS NULL),"
        " SUM(SupplierID IS NULL), SUM(BuyingInUS <> 0), SUM(LockPercent <> 0), SUM(DateOnMemo IS NOT NULL),"
        " (SELECT COUNT(*) FROM StoneChange), (SELECT COUNT(DISTINCT StoneID) FROM StoneChange),"
        " (SELECT SUM(PriceClass IS NULL) + SUM(Terms IS NULL) FROM Customer), (SELECT SUM(closed <> 0) FROM memosheet)"
        " FROM SingleStone"));
    QList<double> out;
    if (q.next())
        for (int i = 0; i < q.record().count(); ++i)
            out << q.value(i).toDouble();
    return out;
}

// One UPDATE of every column of a stone by its key, from a record read
// before (the random change marker drawn anew).
class RecordWriter {
public:
    explicit RecordWriter(const QSqlDatabase &db) : m_db(db) {}
    // The key and the column the database computes are not written.
    static bool written(const QString &field)
    {
        return field.compare(QLatin1String("ID"), Qt::CaseInsensitive) != 0
            && field.compare(QLatin1String(db::schema::kRepairDueColumn), Qt::CaseInsensitive) != 0;
    }
    void write(const QSqlRecord &rec, qint64 id)
    {
        if (m_update.isEmpty()) {
            QStringList sets;
            for (int i = 0; i < rec.count(); ++i)
                if (written(rec.fieldName(i)))
                    sets << rec.fieldName(i) + QStringLiteral(" = ?");
            m_update = QStringLiteral("UPDATE SingleStone SET %1 WHERE ID = ?").arg(sets.join(QStringLiteral(", ")));
        }
        QVariantList binds;
        for (int i = 0; i < rec.count(); ++i) {
            if (!written(rec.fieldName(i)))
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

// The least a load and a save of one stone need: the row by its key, and one
// UPDATE of every column by its key.
QSqlRecord plainLoad(const QSqlDatabase &db, qint64 id)
{
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT * FROM SingleStone WHERE ID = ?"), {id});
    if (!q.next())
        throw db::DbError(QStringLiteral("Stone %1 is missing.").arg(id));
    return q.record();
}

// Loading and saving a stone walked literally: the screen's
// combos refilled, the row, its grade words and payments read; then the
// save's checks, the history row, the row re-read, the shape words and the
// write of every field.
class LiteralStone {
public:
    explicit LiteralStone(const QSqlDatabase &db) : m_db(db), m_writer(db) {}

    QSqlRecord load(qint64 id)
    {
        // PopulateCBOsModule
        for (const char *column : {"Laboratory", "Cut", "Flourescence", "FancyColour", "FinishPolish", "FinishSymetry",
                                   "Girdle", "Culet"})
            drain(QStringLiteral("SELECT DISTINCT(%1) FROM SingleStone ORDER BY %1").arg(QString::fromLatin1(column)));
        drain(QStringLiteral("SELECT DISTINCT(Shape) FROM SingleStone"));
        drain(QStringLiteral("SELECT * FROM DiamondGrades WHERE Clarity<>0 AND Colour=0 ORDER BY Number"));
        drain(QStringLiteral("SELECT * FROM DiamondGrades WHERE Clarity=0 AND Colour<>0 ORDER BY Number"));
        drain(QStringLiteral("SELECT DISTINCT(Lot) AS L FROM SingleStone ORDER BY Lot"));

        // RefreshfrmDiamondDetailModule
        QSqlQuery q = db::exec(m_db, QStringLiteral("SELECT * FROM SingleStone WHERE ID = ") + QString::number(id));
        if (!q.next())
            throw db::DbError(QStringLiteral("Stone %1 is missing.").arg(id));
        const QSqlRecord rec = q.record();
        auto value = [&](const char *name) { return rec.value(QString::fromLatin1(name)); };
        drain(QStringLiteral("SELECT * FROM DiamondGrades WHERE Number=%1 AND Colour<>0 and Clarity=0").arg(value("Colour").toInt()));
        drain(QStringLiteral("SELECT * FROM DiamondGrades WHERE Number=%1 AND Colour=0 and Clarity<>0").arg(value("Clarity").toInt()));
        drain(QStringLiteral("SELECT SUM(PaymentUS) AS a, SUM(PaymentLocal) AS b FROM PaymentReceived WHERE StoneID = %1").arg(id));
        for (const char *party : {"CustomerID", "SupplierID", "ConsignmentInCustomerID", "OnHoldForCustomerID"})
            if (value(party).toLongLong() > 0)
                drain(QStringLiteral("SELECT * FROM Customer WHERE ID = %1").arg(value(party).toLongLong()));
        if (value("MemoSheetID").toLongLong() > 0)
            drain(QStringLiteral("SELECT * FROM MemoSheet WHERE ID = %1").arg(value("MemoSheetID").toLongLong()));
        return rec;
    }

    void save(const QSqlRecord &rec, qint64 id)
    {
        auto value = [&](const char *name) { return rec.value(QString::fromLatin1(name)); };
        // cmdUpdate: the checks
        drain(QStringLiteral("SELECT * FROM SingleStone WHERE SKU LIKE ? AND ID <> ?"), {value("SKU"), id});
        if (!value("Laboratory").toString().isEmpty() && value("Certificate").toString() != QLatin1String(" "))
            drain(QStringLiteral("SELECT * FROM SingleStone WHERE Laboratory LIKE ? AND Certificate LIKE ? AND ID <> ?"),
                  {value("Laboratory"), value("Certificate"), id});
        // the history row
        if (m_snapshot.isEmpty()) {
            QSet<QString> stoneColumns;
            for (int i = 0; i < rec.count(); ++i)
                stoneColumns.insert(rec.fieldName(i).toLower());
            for (const QString &c : columnsOf(m_db, QStringLiteral("StoneChange"))) {
                const QString l = c.toLower();
                if (l != QLatin1String("id") && l != QLatin1String("stoneid") && l != QLatin1String("date")
                    && l != QLatin1String("employeeid") && stoneColumns.contains(l))
                    m_shared << c;
            }
            m_snapshot = QStringLiteral("INSERT INTO StoneChange (StoneID, EmployeeID, Date, %1) VALUES (?, 0, NOW()%2)")
                             .arg(m_shared.join(QStringLiteral(", ")), QStringLiteral(", ?").repeated(int(m_shared.size())));
        }
        QVariantList snap{id};
        for (const QString &c : std::as_const(m_shared))
            snap << rec.value(c);
        db::exec(m_db, m_snapshot, snap);
        if (value("ConsignmentInCustomerID").toLongLong() > 0)
            drain(QStringLiteral("SELECT * FROM PaymentMade WHERE  StoneID = %1 AND CustomerID = %2")
                      .arg(id)
                      .arg(value("ConsignmentInCustomerID").toLongLong()));
        // the record re-read, the shape looked up among the shape words, every field written
        drain(QStringLiteral("SELECT * FROM SingleStone WHERE ID=") + QString::number(id));
        const QString shape = value("Shape").toString();
        drain(QStringLiteral("SELECT * FROM shapewords WHERE 1=0  OR w1 LIKE ?  OR w2 LIKE ?  OR w3 LIKE ?  OR w4 LIKE ?"
                             "  OR w5 LIKE ?  OR w6 LIKE ? "),
              {shape, shape, shape, shape, shape, shape});
        m_writer.write(rec, id);
    }

private:
    void drain(const QString &sql, const QVariantList &binds = {})
    {
        QSqlQuery q = db::exec(m_db, sql, binds);
        while (q.next()) {
        }
    }

    QSqlDatabase m_db;
    RecordWriter m_writer;
    QString m_snapshot;
    QStringList m_shared;
};

// Stones a dealer opens: a fixed, seeded sample of stones in stock whose
// price passes the save's checks.
QList<qint64> sampleStones(const QSqlDatabase &db, int count, quint32 seed)
{
    QList<qint64> all;
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT ID FROM SingleStone WHERE Status = 'Stock' AND SellOffRap <> 0"
                                              " AND SellPriceUS > 0 ORDER BY ID"));
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

    BenchContext ctx(env);
    auto velmorRepair = [&ctx] {
        stones::RepairReport r = stones::repairOnOpen(*ctx);
        r.failedSteps += stones::repairOnActivate(*ctx).failedSteps;
        if (!r.failedSteps.isEmpty())
            throw db::DbError(QStringLiteral("failed steps: ") + r.failedSteps.join(QStringLiteral("; ")));
    };
    auto literalRepair = [&ctx] {
        stones::RepairReport r = stones::repairLiteral(*ctx);
        r.failedSteps += stones::repairOnActivateLiteral(*ctx).failedSteps;
        if (!r.failedSteps.isEmpty())
            throw db::DbError(QStringLiteral("failed steps: ") + r.failedSteps.join(QStringLiteral("; ")));
    };
    auto digest = [&env] { return repairDigest(env.workDb()); };

    const QString first = QStringLiteral("stone repair at start (first open)");
    if (env.bench.wants(first)) {
        env.bench.measure(first, env.size,
                          {Road{QStringLiteral("velmor"), restore, velmorRepair, false, 1, digest},
                           Road{QStringLiteral("literal"), restore, literalRepair, true, 1, digest},
                           Road{QStringLiteral("floor"), restore, [&env] { repairSetBased(env.workDb()); }, false, 1, digest}});
    }

    // The everyday open: the database was repaired by an earlier start.
    const QString everyday = QStringLiteral("stone repair at start (everyday)");
    if (env.bench.wants(everyday)) {
        restore();
        velmorRepair();
        env.bench.measure(everyday, env.size,
                          {Road{QStringLiteral("velmor"), {}, velmorRepair},
                           Road{QStringLiteral("literal"), {}, literalRepair, true},
                           Road{QStringLiteral("floor"), {}, [&env] { repairCheckOnly(env.workDb()); }}});
    }

    constexpr int kStones = 20;
    const QList<qint64> ids = sampleStones(env.workDb(), kStones, env.bench.options().seed);

    const QString load = QStringLiteral("stone load (per stone)");
    if (env.bench.wants(load)) {
        env.bench.measure(
            load, env.size,
            {Road{QStringLiteral("velmor"), {},
                  [&ctx, ids] {
                      for (qint64 id : ids) {
                          stones::StoneForm form;
                          if (!stones::loadStone(*ctx, id, form))
                              throw db::DbError(QStringLiteral("Stone %1 did not load.").arg(id));
                      }
                  },
                  false, kStones},
             Road{QStringLiteral("literal"), {},
                  [&env, ids] {
                      LiteralStone literal(env.workDb());
                      for (qint64 id : ids)
                          literal.load(id);
                  },
                  true, kStones},
             Road{QStringLiteral("floor"), {},
                  [&env, ids] {
                      for (qint64 id : ids)
                          plainLoad(env.workDb(), id);
                  },
                  false, kStones}});
    }

    // The save of a stone loaded and put in editing mode beforehand, nothing changed.
    const QString save = QStringLiteral("stone save (per stone)");
    if (env.bench.wants(save)) {
        auto forms = std::make_shared<QList<std::pair<stones::StoneForm, stones::EditState>>>();
        auto records = std::make_shared<QList<QSqlRecord>>();
        auto loadForms = [&ctx, ids, forms] {
            forms->clear();
            for (qint64 id : ids) {
                stones::StoneForm form;
                stones::EditState state;
                if (!stones::loadStone(*ctx, id, form) || !stones::beginEdit(*ctx, form, state))
                    throw db::DbError(QStringLiteral("Stone %1 did not load: %2").arg(id).arg(ctx.prompt().last));
                forms->append({form, state});
            }
        };
        auto loadRecords = [&env, ids, records] {
            records->clear();
            for (qint64 id : ids)
                records->append(plainLoad(env.workDb(), id));
        };
        env.bench.measure(
            save, env.size,
            {Road{QStringLiteral("velmor"), loadForms,
                  [&ctx, forms] {
                      for (auto &[form, state] : *forms)
                          if (stones::saveStone(*ctx, form, state) != stones::SaveResult::Saved)
                              throw db::DbError(QStringLiteral("Stone %1 was not saved: %2").arg(form.id).arg(ctx.prompt().last));
                  },
                  false, kStones},
             Road{QStringLiteral("literal"), loadRecords,
                  [&env, ids, records] {
                      LiteralStone literal(env.workDb());
                      for (qsizetype i = 0; i < ids.size(); ++i)
                          literal.save(records->at(i), ids.at(i));
                  },
                  true, kStones},
             Road{QStringLiteral("floor"), loadRecords,
                  [&env, ids, records] {
                      RecordWriter writer(env.workDb());
                      for (qsizetype i = 0; i < ids.size(); ++i)
                          writer.write(records->at(i), ids.at(i));
                  },
                  false, kStones}});
    }
    restore();
}

} // namespace velmor::bench
