#pragma once
// A context on a fresh test database with a scripted prompt, and the rows the
// parcel tests start from.
#include "ScriptedPrompt.h"
#include "TestDb.h"
#include "core/AppContext.h"
#include "db/Sql.h"
#include "parcels/ParcelRecord.h"

#include <QSqlRecord>
#include <QTemporaryDir>

namespace velmor::test {

struct ParcelEnv {
    TestDb t;
    ScriptedPrompt prompt;
    QTemporaryDir dir;
    AppContext ctx;

    ParcelEnv() : ctx(Workstation(dir.path(), dir.path()), t.settings(), &prompt)
    {
        ctx.adopt(t.db());
        ctx.user.ID = 7;
        // The rights the parcel screens write with.
        for (const char *r : {"AllowRestockParcel", "AllowDiamond1Create", "AllowMemoAssigning"})
            ctx.user.set(QString::fromLatin1(r), true);
        ctx.exchangeRateCDN = 1.25;
        ctx.exchangeRateZAR = 10.0;
    }

    qint64 customer(const QString &name, bool supplier = false)
    {
        return db::insert(t.db(), "INSERT INTO Customer (CompanyName, Customer, Supplier) VALUES (?, ?, ?)",
                          {name, supplier ? 0 : -1, supplier ? -1 : 0});
    }

    // A parcel with `carat` on hand received from a supplier at `cost` (a
    // journal row explains the carats).
    qint64 parcel(const QString &sku, const QString &carat = "10", const QString &cost = "200")
    {
        const qint64 id = db::insert(t.db(),
                                     "INSERT INTO parcel (SKU, Shape, Carat, CaratLow, CaratHigh, ColourLow, ColourHigh, "
                                     "ClarityLow, ClarityHigh, SellPerCarat) "
                                     "VALUES (?, 'Round Brilliant [BR]', 0, 0.1, 0.2, 20, 40, 30, 50, 400)",
                                     {sku});
        if (parcels::Decimal5::parse(carat)->units() > 0) {
            if (!supplierId)
                supplierId = customer(QStringLiteral("Antwerp Rough"), true);
            parcels::Receipt r{id, supplierId, carat, cost};
            const auto o = parcels::receiveStock(ctx, r);
            Q_ASSERT(o.result == parcels::Result::Done);
        }
        return id;
    }

    QVariant value(const QString &sql, const QVariantList &binds = {}) { return db::scalar(t.db(), sql, binds); }
    QString text(const QString &sql, const QVariantList &binds = {}) { return value(sql, binds).toString(); }
    int count(const QString &sql, const QVariantList &binds = {}) { return value(sql, binds).toInt(); }
    // A whole row as text, for before/after comparisons.
    QString row(const QString &table, qint64 id)
    {
        QSqlQuery q = db::exec(t.db(), QStringLiteral("SELECT * FROM %1 WHERE ID = ?").arg(table), {id});
        QStringList out;
        if (q.next())
            for (int i = 0; i < q.record().count(); ++i)
                out << q.record().fieldName(i) + QLatin1Char('=')
                           + (q.value(i).isNull() ? QStringLiteral("NULL") : q.value(i).toString());
        return out.join(QLatin1Char('|'));
    }

    qint64 supplierId = 0;
};

} // namespace velmor::test
