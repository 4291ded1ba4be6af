#include "shell/GettingStarted.h"

#include "core/KnownRates.h"
#include "core/Workstation.h"
#include "db/Row.h"
#include "db/Sql.h"

namespace velmor::shell {

namespace {

// True when the statement's first value is a row found; a table that cannot
// be read (an older database) is a step not done.
bool found(const QSqlDatabase &db, const QString &sql)
{
    try {
        return db::scalar(db, sql).isValid();
    } catch (const db::DbError &) {
        return false;
    }
}

bool filled(const db::Row &row, const char *column, const char *placeholder)
{
    const QString value = row.text(QString::fromLatin1(column)).trimmed();
    return !value.isEmpty() && value != QLatin1String(placeholder);
}

} // namespace

bool StartProgress::allDone() const
{
    for (bool d : done)
        if (!d)
            return false;
    return true;
}

StartProgress readStartProgress(const QSqlDatabase &db)
{
    StartProgress p;
    try {
        QSqlQuery q = db::exec(db, QStringLiteral("SELECT * FROM Config ORDER BY ID LIMIT 1"));
        if (q.next()) {
            const db::Row config(q);
            p.done[int(StartStep::Company)] = filled(config, "CompanyName", "Company Name")
                && filled(config, "CompanyStreet1", "Company Street1") && filled(config, "CompanyCity", "Company City");
            p.done[int(StartStep::Rates)] = rateKnown(config.num(QStringLiteral("ExchangeRate")));
        }
    } catch (const db::DbError &) {
    }
    p.done[int(StartStep::PriceGrid)] = found(db, QStringLiteral("SELECT 1 FROM raplist LIMIT 1"));
    p.done[int(StartStep::Customer)] = found(db, QStringLiteral("SELECT 1 FROM Customer WHERE Customer <> 0 LIMIT 1"));
    // A stone being added is a row with a blank SKU until its first save,
    // which refuses a stone without one.
    p.done[int(StartStep::Stone)] = found(db, QStringLiteral("SELECT 1 FROM SingleStone WHERE TRIM(SKU) <> '' LIMIT 1"));
    return p;
}

bool gettingStartedHidden(const Workstation &ws)
{
    return ws.readFirstLine(QString::fromLatin1(kGettingStartedFile)).trimmed().compare(QLatin1String("hidden"),
                                                                                        Qt::CaseInsensitive)
        == 0;
}

void setGettingStartedHidden(const Workstation &ws, bool hidden)
{
    ws.writeLines(QString::fromLatin1(kGettingStartedFile), {hidden ? QStringLiteral("hidden") : QStringLiteral("shown")});
}

bool showGettingStartedAtStart(const QSqlDatabase &db, const Workstation &ws)
{
    return !gettingStartedHidden(ws) && !readStartProgress(db).allDone();
}

} // namespace velmor::shell
