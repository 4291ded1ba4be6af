#pragma once
// A context on a fresh test database with a scripted prompt, and a few rows
// the stone tests start from.
#include "ScriptedPrompt.h"
#include "TestDb.h"
#include "core/AppContext.h"
#include "db/Sql.h"

#include <QTemporaryDir>

namespace velmor::test {

struct StoneEnv {
    TestDb t;
    ScriptedPrompt prompt;
    QTemporaryDir dir;
    AppContext ctx;

    StoneEnv() : ctx(Workstation(dir.path(), dir.path()), t.settings(), &prompt)
    {
        ctx.adopt(t.db());
        ctx.user.ID = 7;
        ctx.user.AllowDelete = true;
        ctx.user.AllowEdit = true;
        ctx.user.AllowMemoAssigning = true;
        ctx.user.set("AllowDiamond2Create", true);
        ctx.exchangeRateCDN = 1.25;
        ctx.exchangeRateZAR = 14.0;
    }

    qint64 customer(const QString &name, bool supplier = false)
    {
        return db::insert(t.db(), "INSERT INTO Customer (CompanyName, Customer, Supplier) VALUES (?, ?, ?)",
                          {name, supplier ? 0 : -1, supplier ? -1 : 0});
    }

    // A stone in stock with a few grading and price values.
    qint64 stone(const QString &sku, const QString &status = "Stock", qint64 customerId = 0)
    {
        return db::insert(t.db(),
                          "INSERT INTO SingleStone (SKU, Shape, Carat, Colour, Clarity, Laboratory, Certificate, "
                          "RapaportPrice, SellOffRap, SellPriceUS, LockPercent, Status, CustomerID, Canadian) "
                          "VALUES (?, 'Round Brilliant [BR]', 1.01, 20, 40, 'GIA', ?, 5000, 30, 3535, -1, ?, ?, 0)",
                          {sku, "C" + sku, status, customerId ? QVariant(customerId) : QVariant()});
    }

    QVariant value(const QString &sql, const QVariantList &binds = {})
    {
        return db::scalar(t.db(), sql, binds);
    }
    int count(const QString &sql, const QVariantList &binds = {}) { return value(sql, binds).toInt(); }
};

} // namespace velmor::test
