#include "pricing/GridImport.h"

#include "core/AppContext.h"
#include "core/Users.h"
#include "db/FaultPoint.h"
#include "db/Sql.h"
#include "db/Transaction.h"
#include "pricing/HttpFetch.h"
#include "pricing/PricingSources.h"

#include <QDir>
#include <QFile>
#include <QUrl>

namespace velmor::pricing {

QString gridCheckpointTag(Grid g)
{
    switch (g) {
    case Grid::Round: return QStringLiteral("w4nh455h");
    case Grid::Pear: return QStringLiteral("s ner4t");
    case Grid::Marquise: return QStringLiteral("52435h345");
    case Grid::Princess: return QStringLiteral("35h35h3");
    }
    return {};
}

namespace {

// A text from a grid file as an SQL literal: hexadecimal, so that no quote
// or backslash in it can end it, whatever the server's SQL mode.
void appendText(QByteArray &sql, const QString &text)
{
    if (text.isNull()) {
        sql.append("NULL");
        return;
    }
    sql.append("_utf8mb4 X'").append(text.toUtf8().toHex()).append('\'');
}

void insertRows(const QSqlDatabase &db, const QList<GridRow> &rows)
{
    // Literals rather than bound values: the server reads a long statement
    // of them in half the time of as many parameters.
    const int batch = 1000;
    for (int start = 0; start < rows.size(); start += batch) {
        const int n = std::min<int>(batch, rows.size() - start);
        QByteArray sql = "INSERT INTO raplist (`Date`, Shape, Colour, Clarity, LowCarat, HighCarat, Price) VALUES ";
        sql.reserve(sql.size() + n * 200);
        for (int i = 0; i < n; ++i) {
            const GridRow &r = rows[start + i];
            sql.append(i ? ",(" : "(");
            if (r.date.isValid())
                sql.append('\'').append(r.date.toString(QStringLiteral("yyyy-MM-dd")).toLatin1()).append(" 00:00:00'");
            else
                sql.append("NULL");
            for (const QString *t : {&r.shape, &r.colour, &r.clarity, &r.lowText, &r.highText, &r.priceText}) {
                sql.append(',');
                appendText(sql, *t);
            }
            sql.append(')');
        }
        db::exec(db, QString::fromLatin1(sql));
    }
}

} // namespace

namespace {

// The four files read whole, or the result naming the bad file and line.
GridImportResult readGridFiles(AppContext &ctx, const QString &folder, std::array<GridFile, 4> &files)
{
    GridImportResult result;
    const QString dir = folder.isEmpty() ? ctx.workstation.folder() : folder;
    for (Grid g : kAllGrids) {
        ctx.workstation.checkpoint(gridCheckpointTag(g));
        GridFile f = readGridFile(QDir(dir).filePath(gridFileName(g)));
        if (!f.ok) {
            result.fileName = gridFileName(g);
            result.line = f.errorLine;
            result.detail = f.error;
            result.error = result.fileName + (f.errorLine ? QStringLiteral(" ") : QStringLiteral(": ")) + f.error;
            return result;
        }
        files[int(g)] = std::move(f);
    }
    result.ok = true;
    return result;
}

// The rows of raplist replaced, in the caller's transaction.
void storeGrid(AppContext &ctx, const std::array<GridFile, 4> &files, GridImportResult &result)
{
    const QSqlDatabase db = ctx.db();
    ctx.prompt().busy(QStringLiteral("Deleting previous Database"));
    db::exec(db, QStringLiteral("DELETE FROM raplist;"));
    for (Grid g : kAllGrids) {
        ctx.workstation.checkpoint(gridCheckpointTag(g));
        ctx.prompt().busy(QStringLiteral("Saving %1 Table Rapaport").arg(gridName(g)));
        insertRows(db, files[int(g)].rows);
        result.rows[int(g)] = files[int(g)].rows.size();
    }
}

} // namespace

GridImportResult importGrid(AppContext &ctx, const QString &folder)
{
    std::array<GridFile, 4> files;
    GridImportResult result = readGridFiles(ctx, folder, files);
    if (!result.ok)
        return result;
    result.ok = false;
    db::Transaction tx(ctx.db());
    storeGrid(ctx, files, result);
    tx.commit();
    result.ok = true;
    return result;
}

GridImportRun importGridAndReprice(AppContext &ctx, const QString &folder)
{
    GridImportRun run;
    std::array<GridFile, 4> files;
    run.grid = readGridFiles(ctx, folder, files);
    if (!run.grid.ok)
        return run;
    run.grid.ok = false;
    // The new grid and the prices made from it are one change: a run that
    // fails or is killed half-way leaves the old grid with the old prices.
    try {
        db::Transaction tx(ctx.db());
        run.stage = GridImportRun::StoringGrid;
        storeGrid(ctx, files, run.grid);
        db::faultPoint("grid-stored");
        run.stage = GridImportRun::Repricing;
        run.repricing = repriceAll(ctx, false);
        db::faultPoint("grid-repriced");
        run.stage = GridImportRun::Committing;
        tx.commit();
    } catch (const db::DbError &e) {
        run.grid.rows = {};
        run.repricing = {};
        run.dbError = e.message();
        return run;
    }
    run.stage = GridImportRun::Done;
    run.grid.ok = true;
    return run;
}

QString GridImportRun::failureText() const
{
    switch (stage) {
    case StoringGrid:
        return QStringLiteral("the database refused the new price grid: %1").arg(dbError);
    case Repricing:
        return QStringLiteral("the stones could not be re-priced on the new price grid: %1").arg(dbError);
    case Committing:
        return QStringLiteral("the database did not keep the new price grid and prices: %1").arg(dbError);
    case Reading:
    case Done:
        break;
    }
    return grid.error;
}

DownloadResult downloadPriceList(AppContext &ctx, const PricingSources &sources)
{
    DownloadResult result;
    const Workstation &ws = ctx.workstation;
    ws.ensureFolder();
    for (Grid g : kAllGrids)
        QFile::remove(ws.path(gridFileName(g)));

    ctx.prompt().busy(QStringLiteral("Receiving Tables from Rapaport"));
    // The account travels form-encoded; a '&' or '=' in a password stays part of it.
    const QByteArray body = "username=" + QUrl::toPercentEncoding(ctx.settings.RapUserName) + "&password="
        + QUrl::toPercentEncoding(ctx.settings.RapPassword);
    const HttpHeaders headers{{"Content-Type", "application/x-www-form-urlencoded"}};
    const QList<QPair<Grid, QString>> fetches{{Grid::Round, QStringLiteral("/HTTP/Prices/CSV2_Round.aspx")},
                                              {Grid::Pear, QStringLiteral("/HTTP/Prices/CSV2_Pear.aspx")}};
    for (const auto &f : fetches) {
        HttpLimits limits;
        limits.timeoutMs = sources.timeoutMs;
        limits.maxBytes = kGridFileLimit;
        const HttpResult r = httpPost(QUrl(sources.priceListHost + f.second), body, headers, limits);
        if (!r.ok) {
            result.error = r.error;
            return result;
        }
        // The files were removed above (a link among them as a link), so
        // these are new files of the folder.
        QFile out(ws.path(gridFileName(f.first)));
        if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly) || out.write(r.body + "\r\n") < 0 || !out.flush()) {
            result.error = QStringLiteral("%1 cannot be written: %2").arg(out.fileName(), out.errorString());
            return result;
        }
    }
    for (Grid g : {Grid::Marquise, Grid::Princess}) {
        if (!QFile::copy(ws.path(gridFileName(Grid::Pear)), ws.path(gridFileName(g)))) {
            result.error = QStringLiteral("%1 cannot be written").arg(ws.path(gridFileName(g)));
            return result;
        }
    }
    result.ok = true;
    return result;
}

namespace {

// Tells the user how an import went (the busy notice ends first); true when
// the new grid is in.
bool tellImport(AppContext &ctx, const GridImportRun &run, const std::function<void()> &reloadStone)
{
    Prompt &prompt = ctx.prompt();
    prompt.busy({});
    if (!run.grid.ok && run.stage == GridImportRun::Reading) {
        prompt.inform(QStringLiteral("The price list was not imported: %1.\nThe price list in use is kept.")
                          .arg(run.grid.error),
                      QStringLiteral("Rapaport"), Icon::Exclamation);
        return false;
    }
    if (!run.ok()) {
        prompt.inform(QStringLiteral("The price list was not imported: %1.\n"
                                     "The price list and the prices of the stones are as they were.")
                          .arg(run.failureText()),
                      QStringLiteral("Rapaport"), Icon::Exclamation);
        return false;
    }
    prompt.inform(QStringLiteral("The Rapaport for all Diamonds has been imported."), QStringLiteral("Rapaport"),
                  Icon::Information);
    if (reloadStone)
        reloadStone();
    return true;
}

} // namespace

bool DownloadAndUpgrade(AppContext &ctx, const std::function<void()> &reloadStone)
{
    // The new grid re-prices every stone: a change of the stones.
    if (!mayWrite(ctx, QStringLiteral("AllowEdit")))
        return false;
    Prompt &prompt = ctx.prompt();
    if (!prompt.askYesNo(QStringLiteral("Do you want to update the Rap Price List now?"), QStringLiteral("Rapaport"),
                         Icon::Question))
        return false;
    const DownloadResult dl = downloadPriceList(ctx, PricingSources::fromWorkstation(ctx.workstation));
    if (!dl.ok) {
        prompt.busy({});
        prompt.inform(QStringLiteral("The price list could not be downloaded: %1.\nThe price list in use is kept.")
                          .arg(dl.error),
                      QStringLiteral("Rapaport"), Icon::Exclamation);
        return false;
    }
    return tellImport(ctx, importGridAndReprice(ctx), reloadStone);
}

bool ImportPriceFiles(AppContext &ctx, const QString &folder, const std::function<void()> &reloadStone)
{
    // The new grid re-prices every stone: a change of the stones.
    if (!mayWrite(ctx, QStringLiteral("AllowEdit")))
        return false;
    Prompt &prompt = ctx.prompt();
    const QString title = QStringLiteral("Import price files");
    const QString where = QDir::toNativeSeparators(QDir(folder).absolutePath());
    prompt.busy(QStringLiteral("Importing the price files of %1 and re-pricing every stone...").arg(where));
    const GridImportRun run = importGridAndReprice(ctx, QDir(folder).absolutePath());
    prompt.busy({});
    if (!run.ok() && run.stage != GridImportRun::Reading) {
        prompt.inform(QStringLiteral("The price grid was not imported: %1.\n\nNothing was changed: the price grid in "
                                     "use and the stones' prices are as they were.")
                          .arg(run.failureText()),
                      title, Icon::Exclamation);
        return false;
    }
    if (!run.ok()) {
        prompt.inform(QStringLiteral("The price grid was not imported: %1%2%3\n\nThe price grid in use is kept.")
                          .arg(QDir::toNativeSeparators(QDir(folder).filePath(run.grid.fileName)),
                               run.grid.line ? QStringLiteral(" ") : QStringLiteral(": "), run.grid.detail),
                      title, Icon::Exclamation);
        return false;
    }
    QStringList lines;
    for (Grid g : kAllGrids)
        lines << QStringLiteral("%1: %2 rows imported").arg(gridFileName(g)).arg(run.grid.rows[int(g)]);
    lines << QStringLiteral("Imported %1 grid rows from %2").arg(run.grid.totalRows()).arg(where)
          << QStringLiteral("Stones updated: %1").arg(run.repricing.stonesWritten);
    prompt.inform(lines.join(QLatin1Char('\n')), title, Icon::Information);
    if (reloadStone)
        reloadStone();
    return true;
}

} // namespace velmor::pricing
