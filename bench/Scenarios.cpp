// What the scenarios share: their names and the context they run in.
#include "Scenarios.h"

#include "core/Configuration.h"
#include "core/Users.h"

namespace velmor::bench {

QStringList scenarioNames()
{
    return {QStringLiteral("schema upgrade (group A only)"), QStringLiteral("schema upgrade (current database)"),
            QStringLiteral("grid import + re-pricing"),      QStringLiteral("stone repair at start (first open)"),
            QStringLiteral("stone repair at start (everyday)"), QStringLiteral("stone load (per stone)"),
            QStringLiteral("stone save (per stone)"),
            QStringLiteral("launch to home screen"),
            QStringLiteral("download through clsHTTP (vs curl)"), QStringLiteral("certificate look-up to filled fields"),
            QStringLiteral("customer search (2 words, per keystroke)"), QStringLiteral("customer open (per customer)"),
            QStringLiteral("customer next/previous (per step)"),
            QStringLiteral("stone paper to PDF (per paper)"), QStringLiteral("label streams (per label)"),
            QStringLiteral("label stream build (per label)"),
            QStringLiteral("sale posting to an invoice (per sale)"), QStringLiteral("invoice open, 200 lines"),
            QStringLiteral("invoice to PDF, 200 lines"),
            QStringLiteral("parcel load (per parcel)"), QStringLiteral("parcel search (per keystroke)"),
            QStringLiteral("parcel put on memo (per movement)"),
            QStringLiteral("stone search: status+shape+weight+grades"), QStringLiteral("stone search: SKU prefix"),
            QStringLiteral("stone search: all statuses"), QStringLiteral("stone search: a customer's memo stones"),
            QStringLiteral("search report to PDF (1,000 rows)"),
            QStringLiteral("memo sheet open (300 stones)"), QStringLiteral("put on memo (per stone)"),
            QStringLiteral("memo bulk return (300 stones)"), QStringLiteral("memo-out report (all stones out)"),
            QStringLiteral("memo-out report (every memo with its zero payment row)"),
            QStringLiteral("db check (whole books)"),
            QStringLiteral("sale posting, one server vs cluster (per sale)"),
            QStringLiteral("put on memo, one server vs cluster (per stone)"),
            QStringLiteral("backup (vs the dump tool alone)"), QStringLiteral("restore (vs the client alone)"),
            QStringLiteral("stock count: scan (per scan)"), QStringLiteral("stock count: closing with its report"),
            QStringLiteral("stone open with and without files (stone screen)"),
            QStringLiteral("main picture on the stone screen (24 MP JPEG)")};
}

BenchContext::BenchContext(SizeEnv &env)
{
    m_ctx = std::make_unique<AppContext>(Workstation(env.folder, env.folder), env.server.settings(env.work), &m_prompt);
    m_ctx->adopt(env.workDb());
    GetConfigurationModule(*m_ctx);
    // The dealer works logged in (the generated administrator).
    QString user = QStringLiteral("admin"), password = QStringLiteral("secret");
    if (!login(*m_ctx, user, password))
        throw db::DbError(QStringLiteral("The generated user \"admin\" could not log in: %1").arg(m_prompt.last));
}

} // namespace velmor::bench
