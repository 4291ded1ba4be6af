#include "shell/StartupSteps.h"

#include "core/AppContext.h"
#include "db/Row.h"
#include "db/Schema.h"
#include "db/Sql.h"

#include <QSqlQuery>
#include <QSqlRecord>

#ifndef VELMOR_REVISION
#define VELMOR_REVISION 0
#endif
#ifndef VELMOR_VERSION
#define VELMOR_VERSION "0.0.0"
#endif

namespace velmor {

int programRevision() { return VELMOR_REVISION; }

QString programVersion() { return QStringLiteral(VELMOR_VERSION); }

QString progressText(const db::schema::Progress &p)
{
    if (p.work == db::schema::Progress::Making)
        return QStringLiteral("Making the database ...");
    if (p.step <= 0 || p.of <= 0)
        return QStringLiteral("Upgrading the database ...");
    return QStringLiteral("Upgrading the database: step %1 of %2").arg(p.step).arg(p.of);
}

SchemaCheck checkSchemaAtStartup(AppContext &ctx, const db::schema::ProgressReport &progress)
{
    SchemaCheck result;
    QString name;
    try {
        QSqlDatabase conn = ctx.newConnection(QStringLiteral("upgrade"));
        name = conn.connectionName();
        try {
            const db::schema::BringUpReport r = db::schema::bringUpToDate(conn, progress);
            result.storedBefore = r.before;
            result.upgraded = r.road != db::schema::BringUpReport::UpToDate;
            if (!r.versionStored())
                result.error = QStringLiteral("These tables could not be made: %1\n%2")
                                   .arg(r.missingTables.join(QStringLiteral(", ")),
                                        (r.refusedCreates + r.upgrade.refusedStatements).join(QLatin1Char('\n')));
        } catch (const db::DbError &e) {
            result.error = e.message();
        }
        conn.close();
    } catch (const db::DbError &e) {
        result.error = e.message();
    }
    if (!name.isEmpty())
        QSqlDatabase::removeDatabase(name);
    return result;
}

bool wholesaleSetUp(const QSqlDatabase &db)
{
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT * FROM config ORDER BY ID LIMIT 1"));
    if (!q.next())
        return false;
    return db::Row(q).flag(QStringLiteral("VelmorWholeSale"));
}

void setHomeScreenFlags(AppContext &ctx, bool wholesale)
{
    ctx.WholeSaleMode = wholesale;
    ctx.DiamondMode = !wholesale;
}

int frontScreenLoadRepairs(AppContext &ctx)
{
    const QSqlDatabase db = ctx.db();
    struct Grade {
        int number;
        const char *wording;
    };
    static const Grade grades[] = {{89, "I1+"}, {91, "I1-"}, {99, "I2+"}, {101, "I2-"}};
    int added = 0;
    for (const Grade &g : grades) {
        const QString wording = QString::fromLatin1(g.wording);
        const QVariant found = db::scalar(
            db, QStringLiteral("SELECT ID FROM diamondgrades WHERE Clarity <> 0 AND Wording LIKE ? LIMIT 1"),
            {wording});
        if (found.isValid())
            continue;
        db::insert(db, QStringLiteral("INSERT INTO diamondgrades (Number, Wording, Clarity, Colour) VALUES (?, ?, ?, ?)"),
                   {g.number, wording, db::flagValue(true), db::flagValue(false)});
        ++added;
    }
    return added;
}

int cleanDiameterRanges(const QSqlDatabase &db)
{
    return db::execAffected(db, QStringLiteral("DELETE FROM drange WHERE caratlow = 0 AND carathigh = 0"));
}

QString frontCaption(const AppContext &ctx)
{
    QString caption = QStringLiteral("Velmor - Software for the Jewellery Industry - Build%1 - %2")
                          .arg(programRevision())
                          .arg(ctx.settings.CompanyName);
    caption += ctx.WholeSaleMode ? QStringLiteral(" tE") : QStringLiteral(" fE");
    caption += ctx.DiamondMode ? QStringLiteral(" tD") : QStringLiteral(" fD");
    return caption;
}

bool skipSplashPause()
{
    const QByteArray v = qgetenv("VELMOR_NO_SPLASH_PAUSE");
    return !v.isEmpty() && v != "0";
}

} // namespace velmor
