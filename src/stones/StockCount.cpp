#include "stones/StockCount.h"

#include "core/AppContext.h"
#include "db/Cluster.h"
#include "db/FaultPoint.h"
#include "db/Retry.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "db/Transaction.h"
#include "stones/StoneChangeLog.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <tuple>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

namespace velmor::stones {

namespace {

const QString kOpen = QStringLiteral("open");
const QString kClosed = QStringLiteral("closed");
constexpr int kNameLength = 100;
constexpr int kLocationLength = 255;
constexpr int kDuplicateKey = 1062;

int drawRnd() { return int(QRandomGenerator::global()->generateDouble() * 1000000.0) + 1; }

QVariant nullIfEmpty(const QString &s) { return s.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(s); }

QString dec(const QString &column) { return QStringLiteral("CAST(%1 AS CHAR)").arg(column); }

// A single server that went away: the connection is opened again (a
// cluster's connection moves to another node by itself).  True when it is
// open again.
bool reconnect(AppContext &ctx)
{
    QSqlDatabase db = ctx.db();
    if (db::hasNodes(db))
        return false;
    db.close();
    if (!db.open())
        return false;
    QSqlQuery q(db);
    q.exec(QStringLiteral("SET NAMES utf8mb4"));
    // A connection that chose its database after opening chooses it again.
    const QString name = ctx.connection.database;
    if (!db::isOdbc(db) && !name.isEmpty() && !name.contains(QLatin1Char('`'))
        && !q.exec(QStringLiteral("USE `%1`").arg(name)))
        return false;
    return true;
}

// An insert that another workstation may have made first (a unique key):
// false when the row was there already.
bool insertUnlessThere(const QSqlDatabase &db, const QString &sql, const QVariantList &binds)
{
    try {
        db::exec(db, sql, binds);
        return true;
    } catch (const db::DbError &e) {
        if (e.nativeCode() != kDuplicateKey)
            throw;
        return false;
    }
}

// What a count keeps of a stone when it takes it: its SKU, place, shape and
// weight, its list value and its cost, as they stand then.
const QString kTakenColumns =
    QStringLiteral("CountID, StoneID, SKU, Location, Shape, Carat, ListValue, Cost, AddedLate");
QString takenValues()
{
    return QStringLiteral("s.ID, s.SKU, s.Location, LEFT(s.Shape, 50), s.Carat, %1, s.BoughtPriceUS").arg(listValueSql());
}

bool connectionLost(const db::DbError &e)
{
    return db::isNodeLost(e.nativeCode()) || e.nativeCode() == db::kOutcomeUnknown
        || e.nativeCode() == db::kNodeChanged || e.nativeCode() == 2002 || e.nativeCode() == 2003;
}

// Runs `work` (a whole transaction) with the retries of a lock conflict; a
// lost connection is reopened once and the work made again.  Only work that
// is safe to make twice (a scan with its token) may ask for that.
template <typename Work>
auto runWithRetry(AppContext &ctx, Work &&work, bool againAfterLoss) -> decltype(work())
{
    for (int attempt = 0;; ++attempt) {
        try {
            return db::retryOnLockConflict(work);
        } catch (const db::DbError &e) {
            if (!againAfterLoss || attempt > 0 || !connectionLost(e))
                throw;
            if (e.nativeCode() != db::kOutcomeUnknown && e.nativeCode() != db::kNodeChanged && !reconnect(ctx))
                throw;
        }
    }
}

QString userName(const QSqlDatabase &db, int id)
{
    if (id <= 0)
        return {};
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT UserName, FirstName, LastName FROM `user` WHERE ID = ?"), {id});
    if (!q.next())
        return QStringLiteral("user %1").arg(id);
    return q.value(0).toString();
}

CountHeader headerOf(const QSqlDatabase &db, const db::Row &r)
{
    CountHeader h;
    h.id = r.integer(QStringLiteral("ID"));
    h.name = r.text(QStringLiteral("Name"));
    h.location = r.text(QStringLiteral("Location"));
    h.closed = r.text(QStringLiteral("Status")).compare(kClosed, Qt::CaseInsensitive) == 0;
    h.tolerance = Decimal5::fromDb(r.raw(QStringLiteral("Tol")));
    h.startedAt = r.dateTime(QStringLiteral("StartedAt"));
    h.closedAt = r.dateTime(QStringLiteral("ClosedAt"));
    h.startedById = int(r.integer(QStringLiteral("StartedBy")));
    h.closedById = int(r.integer(QStringLiteral("ClosedBy")));
    h.startedBy = userName(db, h.startedById);
    h.closedBy = userName(db, h.closedById);
    return h;
}

const QString kHeaderColumns = QStringLiteral(
    "ID, Name, Location, Status, CAST(Tolerance AS CHAR) AS Tol, StartedAt, ClosedAt, StartedBy, ClosedBy");

// A stone a scanned code may name.
struct Candidate {
    qint64 id = 0;
    QString sku, status, location, company, supplier;
    qint64 memoSheetId = 0;
    qint64 expectedRow = 0; // its row among the count's expected stones
    bool found = false;     // that row is marked found
    bool atCountPlace = false;
    bool byLabel = false;   // named by its label number, not its SKU
    bool inStock() const { return status.compare(QLatin1String("Stock"), Qt::CaseInsensitive) == 0; }
    int rank() const
    {
        if (expectedRow && !found && inStock())
            return 0;
        if (expectedRow && inStock())
            return 1;
        if (inStock())
            return 2;
        if (status.compare(QLatin1String("Memo"), Qt::CaseInsensitive) == 0)
            return 3;
        return 4;
    }
};

// The stone number a label or stone paper carries: the stone's ID followed
// by "01".
std::optional<qint64> labelNumber(const QString &code)
{
    static const QRegularExpression label(QStringLiteral("^0*([1-9][0-9]{0,9})01$"));
    const auto m = label.match(code);
    if (!m.hasMatch())
        return std::nullopt;
    bool ok = false;
    const qint64 id = m.captured(1).toLongLong(&ok);
    if (!ok || id <= 0 || id > 2147483647)
        return std::nullopt;
    return id;
}

// The stone a code names: the label's number first, then the SKU; of
// several, the one the count expects and has not found yet, then one in
// stock, then the label's.
std::optional<Candidate> resolve(const QSqlDatabase &db, const Desk &desk, const QString &code)
{
    const std::optional<qint64> byLabel = labelNumber(code);
    QSqlQuery q = db::exec(
        db,
        QStringLiteral("SELECT s.ID, s.SKU, s.Status, s.Location, s.MemoSheetID, c.ID, c.ScanID, "
                       "cu.CompanyName, sup.CompanyName, (s.Location = ?) "
                       "FROM SingleStone s LEFT JOIN stockcountstone c ON c.CountID = ? AND c.StoneID = s.ID "
                       "LEFT JOIN Customer cu ON cu.ID = s.CustomerID "
                       "LEFT JOIN Customer sup ON sup.ID = s.SupplierID "
                       "WHERE s.ID = ? OR s.SKU = ? ORDER BY s.ID LIMIT 20"),
        {desk.countLocation, desk.countId, byLabel.value_or(-1), code});
    std::optional<Candidate> best;
    while (q.next()) {
        Candidate c;
        c.id = q.value(0).toLongLong();
        c.sku = q.value(1).toString();
        c.status = q.value(2).toString().trimmed();
        c.location = q.value(3).toString().trimmed();
        c.memoSheetId = q.value(4).toLongLong();
        c.expectedRow = q.value(5).toLongLong();
        c.found = !q.value(6).isNull();
        c.company = q.value(7).toString();
        c.supplier = q.value(8).toString();
        c.atCountPlace = desk.countLocation.isEmpty() || q.value(9).toInt() != 0;
        c.byLabel = byLabel && *byLabel == c.id;
        if (!best || c.rank() < best->rank() || (c.rank() == best->rank() && c.byLabel && !best->byLabel))
            best = c;
    }
    return best;
}

ScanOutcome outcomeOfRow(const QSqlQuery &q)
{
    ScanOutcome o;
    o.state = ScanOutcome::AlreadyWritten;
    o.result = scanResultOf(q.value(0).toString()).value_or(ScanResult::Unknown);
    o.stoneId = q.value(1).toLongLong();
    o.status = q.value(2).toString();
    o.place = q.value(3).toString();
    o.code = q.value(4).toString();
    o.sku = q.value(5).toString();
    return o;
}

std::optional<ScanOutcome> writtenBefore(const QSqlDatabase &db, const QString &token)
{
    QSqlQuery q = db::exec(db,
                           QStringLiteral("SELECT x.Result, x.StoneID, x.StoneStatus, x.Place, x.Code, s.SKU FROM "
                                          "stockcountscan x LEFT JOIN SingleStone s ON s.ID = x.StoneID "
                                          "WHERE x.Token = ?"),
                           {token});
    if (!q.next())
        return std::nullopt;
    return outcomeOfRow(q);
}

// Bumps the count's own row in an open count: what joining and weighing
// write, and the closing too, so that neither passes a closing made at the
// same moment on another server.
bool touchOpenCount(const QSqlDatabase &db, qint64 countId)
{
    return db::execAffected(db,
                            QStringLiteral("UPDATE stockcount SET Changes = IFNULL(Changes, 0) + 1 WHERE ID = ? AND "
                                           "Status = 'open'"),
                            {countId})
        > 0;
}

QString closedOrMissing(const QSqlDatabase &db, qint64 countId)
{
    const QVariant status = db::scalar(db, QStringLiteral("SELECT Status FROM stockcount WHERE ID = ?"), {countId});
    if (!status.isValid())
        return QStringLiteral("There is no stock count %1.").arg(countId);
    return QStringLiteral("Stock count %1 is closed; nothing more can be written to it.").arg(countId);
}

} // namespace

QString countRight() { return QStringLiteral("AllowEdit"); }

QString countWriteRefusal(const AppContext &ctx)
{
    if (ctx.user.ID <= 0)
        return QStringLiteral("Please log on first.");
    if (!ctx.user.has(countRight()))
        return QStringLiteral("No Permission, please login or contact the System Administrator!");
    return {};
}

QString scanResultWord(ScanResult r)
{
    switch (r) {
    case ScanResult::Found:
        return QStringLiteral("found");
    case ScanResult::Twice:
        return QStringLiteral("twice");
    case ScanResult::Unexpected:
        return QStringLiteral("unexpected");
    case ScanResult::Unknown:
        break;
    }
    return QStringLiteral("unknown");
}

std::optional<ScanResult> scanResultOf(const QString &word)
{
    for (ScanResult r : {ScanResult::Found, ScanResult::Twice, ScanResult::Unexpected, ScanResult::Unknown})
        if (word.compare(scanResultWord(r), Qt::CaseInsensitive) == 0)
            return r;
    return std::nullopt;
}

QString defaultCountName(const QDateTime &when)
{
    return QStringLiteral("Stock count ") + when.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QString listValueSql() { return QStringLiteral("ROUND(IFNULL(s.RapaportPrice, 0) * IFNULL(s.Carat, 0), 2)"); }

QString placeText(const QString &status, const QString &location, const QString &company, qint64 memoSheetId,
                  const QString &supplier)
{
    const QString st = status.trimmed();
    if (st.compare(QLatin1String("Memo"), Qt::CaseInsensitive) == 0) {
        QString t = QStringLiteral("on memo with ") + (company.isEmpty() ? QStringLiteral("a customer") : company);
        if (memoSheetId > 0)
            t += QStringLiteral(" (memo sheet %1)").arg(memoSheetId);
        return t;
    }
    if (st.compare(QLatin1String("Sold"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("sold to ") + (company.isEmpty() ? QStringLiteral("a customer") : company);
    if (st.compare(QLatin1String("returned"), Qt::CaseInsensitive) == 0)
        return supplier.isEmpty() ? QStringLiteral("returned to the vendor")
                                  : QStringLiteral("returned to the vendor ") + supplier;
    if (st.compare(QLatin1String("Stock"), Qt::CaseInsensitive) == 0)
        return location.isEmpty() ? QStringLiteral("in stock, no location") : QStringLiteral("in stock at ") + location;
    if (st.isEmpty())
        return QStringLiteral("no status");
    return QStringLiteral("status ") + st;
}

QString newScanToken() { return QUuid::createUuid().toString(QUuid::WithoutBraces); }

QString cleanCode(const QString &raw)
{
    QString out;
    out.reserve(raw.size());
    for (const QChar c : raw)
        if (c.category() != QChar::Other_Control && c.category() != QChar::Other_Format)
            out += c;
    return out.trimmed();
}

bool ParcelLine::beyond(Decimal5 tolerance) const
{
    if (!weighed)
        return false;
    const Decimal5 d = difference();
    return (d < Decimal5() ? -d : d) > tolerance;
}

// Starting -----------------------------------------------------------------------

CountOutcome startCount(AppContext &ctx, const QString &nameTyped, const QString &locationTyped,
                        const QString &toleranceText)
{
    CountOutcome out;
    out.error = countWriteRefusal(ctx);
    if (!out.error.isEmpty())
        return out;
    QString name = nameTyped.simplified();
    const QString location = locationTyped.trimmed();
    if (name.isEmpty())
        name = defaultCountName(QDateTime::currentDateTime());
    if (name.size() > kNameLength) {
        out.error = QStringLiteral("The name of the count is %1 characters long; it may have %2 at most.")
                        .arg(name.size())
                        .arg(kNameLength);
        return out;
    }
    if (location.size() > kLocationLength) {
        out.error = QStringLiteral("The location is %1 characters long; it may have %2 at most.")
                        .arg(location.size())
                        .arg(kLocationLength);
        return out;
    }
    Decimal5 tolerance = *Decimal5::parse(QStringLiteral("0.01"));
    if (!toleranceText.trimmed().isEmpty()) {
        const figures::Reading r = figures::read(
            toleranceText, {QStringLiteral("Tolerance"), figures::Column{10, 5}, figures::Need::NotNegative});
        if (!r.ok()) {
            out.error = r.error;
            return out;
        }
        tolerance = r.value;
    }
    const QSqlDatabase db = ctx.db();
    try {
        out.id = runWithRetry(
            ctx,
            [&] {
                db::Transaction tx(db);
                const qint64 id = db::insert(
                    db,
                    QStringLiteral("INSERT INTO stockcount (Name, Location, Status, Tolerance, StartedAt, StartedBy, "
                                   "Changes) VALUES (?, ?, 'open', ?, NOW(), ?, 0)"),
                    {name, nullIfEmpty(location), tolerance.toDb(), ctx.user.ID});
                QString stones = QStringLiteral("INSERT INTO stockcountstone (%1) SELECT ?, %2, 0 FROM SingleStone s "
                                                "WHERE s.Status = 'Stock'")
                                     .arg(kTakenColumns, takenValues());
                QVariantList binds{id};
                if (!location.isEmpty()) {
                    stones += QStringLiteral(" AND s.Location = ?");
                    binds << location;
                }
                db::exec(db, stones, binds);
                db::exec(db,
                         QStringLiteral("INSERT INTO stockcountparcel (CountID, ParcelID, SKU, CaratsAtStart, AddedLate) "
                                        "SELECT ?, ID, SKU, Carat, 0 FROM parcel WHERE Carat > 0"),
                         {id});
                tx.commit();
                return id;
            },
            false);
        out.figures = countFigures(db, out.id);
    } catch (const db::DbError &e) {
        out.error = QStringLiteral("The count could not be started; nothing was written. ") + e.message();
        out.id = 0;
        return out;
    }
    out.ok = true;
    return out;
}

std::optional<CountHeader> loadCount(const QSqlDatabase &db, qint64 id)
{
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT %1 FROM stockcount WHERE ID = ?").arg(kHeaderColumns), {id});
    if (!q.next())
        return std::nullopt;
    return headerOf(db, db::Row(q));
}

QList<CountHeader> listCounts(const QSqlDatabase &db, bool openOnly)
{
    QList<CountHeader> out;
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT %1 FROM stockcount %2 ORDER BY ID DESC")
                                   .arg(kHeaderColumns, openOnly ? QStringLiteral("WHERE Status = 'open'") : QString()));
    QList<db::Row> rows;
    while (q.next())
        rows << db::Row(q);
    for (const db::Row &r : rows)
        out << headerOf(db, r);
    return out;
}

CountFigures countFigures(const QSqlDatabase &db, qint64 id)
{
    CountFigures f;
    QSqlQuery e = db::exec(db, QStringLiteral("SELECT COUNT(*), COUNT(ScanID) FROM stockcountstone WHERE CountID = ?"),
                           {id});
    if (e.next()) {
        f.expected = e.value(0).toInt();
        f.found = e.value(1).toInt();
    }
    QSqlQuery s = db::exec(db,
                           QStringLiteral("SELECT Result, COUNT(*), COUNT(DISTINCT StoneID), COUNT(DISTINCT Code) "
                                          "FROM stockcountscan WHERE CountID = ? GROUP BY Result"),
                           {id});
    while (s.next()) {
        const auto r = scanResultOf(s.value(0).toString());
        f.scans += s.value(1).toInt();
        if (r == ScanResult::Unexpected)
            f.unexpected = s.value(2).toInt();
        else if (r == ScanResult::Unknown)
            f.unknown = s.value(3).toInt();
        else if (r == ScanResult::Twice)
            f.twice = s.value(2).toInt();
    }
    QSqlQuery p = db::exec(db, QStringLiteral("SELECT COUNT(*), COUNT(Weighed) FROM stockcountparcel WHERE CountID = ?"),
                           {id});
    if (p.next()) {
        f.parcels = p.value(0).toInt();
        f.weighed = p.value(1).toInt();
    }
    return f;
}

// Scanning -----------------------------------------------------------------------

std::optional<Desk> joinCount(AppContext &ctx, qint64 countId, const QString &label, QString *error)
{
    const QString refusal = countWriteRefusal(ctx);
    if (!refusal.isEmpty()) {
        if (error)
            *error = refusal;
        return std::nullopt;
    }
    const QSqlDatabase db = ctx.db();
    Desk d;
    d.countId = countId;
    d.key = newScanToken();
    try {
        const bool open = runWithRetry(
            ctx,
            [&] {
                db::Transaction tx(db);
                if (!touchOpenCount(db, countId))
                    return false;
                d.id = db::insert(db,
                                  QStringLiteral("INSERT INTO stockcountdesk (CountID, Desk, Label, UserID, IsOpen, Scans, "
                                                 "JoinedAt) VALUES (?, ?, ?, ?, -1, 0, NOW())"),
                                  {countId, d.key, label.left(100), ctx.user.ID});
                tx.commit();
                return true;
            },
            true);
        if (!open) {
            if (error)
                *error = closedOrMissing(db, countId);
            return std::nullopt;
        }
        d.countLocation = db::textOf(db::scalar(db, QStringLiteral("SELECT Location FROM stockcount WHERE ID = ?"),
                                                {countId}))
                              .trimmed();
    } catch (const db::DbError &e) {
        if (error)
            *error = QStringLiteral("The count could not be joined: ") + e.message();
        return std::nullopt;
    }
    return d;
}

ScanOutcome recordScan(AppContext &ctx, const Desk &desk, const ScanInput &scan)
{
    ScanOutcome out;
    out.code = cleanCode(scan.code);
    if (out.code.isEmpty()) {
        out.state = ScanOutcome::Refused;
        out.message = QStringLiteral("An empty code is no scan.");
        return out;
    }
    if (out.code.size() > kMaxCodeLength) {
        out.state = ScanOutcome::Refused;
        out.message = QStringLiteral("The code \"%1...\" is %2 characters long; a label's code has %3 at most. "
                                     "It was not written.")
                          .arg(out.code.left(20))
                          .arg(out.code.size())
                          .arg(kMaxCodeLength);
        return out;
    }
    const QString refusal = countWriteRefusal(ctx);
    if (!refusal.isEmpty()) {
        out.state = ScanOutcome::Refused;
        out.message = refusal;
        return out;
    }
    const QSqlDatabase db = ctx.db();
    const QDateTime told = scan.toldAt.isValid() ? scan.toldAt : QDateTime::currentDateTime();
    try {
        return runWithRetry(
            ctx,
            [&]() -> ScanOutcome {
                db::Transaction tx(db);
                ScanOutcome o;
                o.code = out.code;
                if (db::execAffected(db,
                                     QStringLiteral("UPDATE stockcountdesk SET Scans = Scans + 1, LastScanAt = NOW() "
                                                    "WHERE ID = ? AND IsOpen <> 0"),
                                     {desk.id})
                    == 0) {
                    tx.rollback();
                    // A scan written before the closing, told again now.
                    if (auto before = writtenBefore(db, scan.token))
                        return *before;
                    o.state = ScanOutcome::Refused;
                    o.message = closedOrMissing(db, desk.countId);
                    return o;
                }
                if (auto before = writtenBefore(db, scan.token)) {
                    tx.rollback();
                    return *before;
                }
                const std::optional<Candidate> c = resolve(db, desk, o.code);
                auto insertScan = [&](ScanResult r) {
                    return db::insert(
                        db,
                        QStringLiteral("INSERT INTO stockcountscan (CountID, DeskID, Token, Code, StoneID, Result, "
                                       "StoneStatus, Place, Source, ScannedAt, WrittenAt, UserID) "
                                       "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, NOW(), ?)"),
                        {desk.countId, desk.id, scan.token, o.code,
                         c ? QVariant(c->id) : QVariant(QMetaType::fromType<qint64>()), scanResultWord(r),
                         c ? nullIfEmpty(c->status) : QVariant(QMetaType::fromType<QString>()),
                         nullIfEmpty(o.place), scan.source.left(10), told, ctx.user.ID});
                };
                if (!c) {
                    o.result = ScanResult::Unknown;
                    insertScan(o.result);
                } else {
                    o.stoneId = c->id;
                    o.sku = c->sku;
                    o.status = c->status;
                    qint64 expectedRow = c->expectedRow;
                    if (!expectedRow && c->inStock() && c->atCountPlace) {
                        // In stock here, but not when the count started (back
                        // from memo or the vendor, or newly entered): expected now.
                        insertUnlessThere(db,
                                          QStringLiteral("INSERT INTO stockcountstone (%1) SELECT ?, %2, -1 FROM "
                                                         "SingleStone s WHERE s.ID = ?")
                                              .arg(kTakenColumns, takenValues()),
                                          {desk.countId, c->id});
                        expectedRow = db::scalar(db,
                                                 QStringLiteral("SELECT ID FROM stockcountstone WHERE CountID = ? AND "
                                                                "StoneID = ?"),
                                                 {desk.countId, c->id})
                                          .toLongLong();
                    }
                    if (!c->inStock() || !c->atCountPlace)
                        o.place = placeText(c->status, c->location, c->company, c->memoSheetId, c->supplier);
                    if (expectedRow && c->inStock()) {
                        const qint64 scanId = insertScan(ScanResult::Found);
                        if (db::execAffected(db,
                                             QStringLiteral("UPDATE stockcountstone SET ScanID = ? WHERE ID = ? AND "
                                                            "ScanID IS NULL"),
                                             {scanId, expectedRow})
                            > 0) {
                            o.result = ScanResult::Found;
                        } else {
                            o.result = ScanResult::Twice;
                            db::exec(db, QStringLiteral("UPDATE stockcountscan SET Result = 'twice' WHERE ID = ?"),
                                     {scanId});
                        }
                    } else {
                        o.result = ScanResult::Unexpected;
                        insertScan(o.result);
                    }
                }
                tx.commit();
                // In the count, not yet told back (tests kill the process here).
                db::faultPoint("count-scan-written");
                o.state = ScanOutcome::Written;
                return o;
            },
            true);
    } catch (const db::DbError &e) {
        out.state = ScanOutcome::Failed;
        out.message = QStringLiteral("The scan could not be written (it is kept and sent again): ") + e.message();
        return out;
    }
}

QList<ScanLine> lastScans(const QSqlDatabase &db, qint64 countId, int limit)
{
    QList<ScanLine> out;
    QSqlQuery q = db::exec(db,
                           QStringLiteral("SELECT x.ID, x.ScannedAt, x.Code, x.Result, x.StoneID, s.SKU, x.StoneStatus, "
                                          "x.Place, u.UserName FROM stockcountscan x "
                                          "LEFT JOIN SingleStone s ON s.ID = x.StoneID "
                                          "LEFT JOIN `user` u ON u.ID = x.UserID "
                                          "WHERE x.CountID = ? ORDER BY x.ID DESC LIMIT %1")
                               .arg(qBound(1, limit, 10000)),
                           {countId});
    while (q.next()) {
        ScanLine l;
        l.id = q.value(0).toLongLong();
        l.at = q.value(1).toDateTime();
        l.code = q.value(2).toString();
        l.result = scanResultOf(q.value(3).toString()).value_or(ScanResult::Unknown);
        l.stoneId = q.value(4).toLongLong();
        l.sku = q.value(5).toString();
        l.status = q.value(6).toString();
        l.place = q.value(7).toString();
        l.user = q.value(8).toString();
        out << l;
    }
    return out;
}

// Parcels ------------------------------------------------------------------------

QList<ParcelLine> countParcels(const QSqlDatabase &db, qint64 countId, bool closed)
{
    QList<ParcelLine> out;
    // An open count shows the carats on hand now for a parcel not weighed yet;
    // a closed one those kept at its closing.
    const QString onHand = closed ? QStringLiteral("c.OnHand") : QStringLiteral("IF(c.Weighed IS NULL, p.Carat, c.OnHand)");
    QSqlQuery q = db::exec(db,
                           QStringLiteral("SELECT c.ParcelID, IFNULL(p.SKU, c.SKU), %1, %2, %3, c.WeighedAt, u.UserName, "
                                          "c.AddedLate FROM stockcountparcel c LEFT JOIN parcel p ON p.ID = c.ParcelID "
                                          "LEFT JOIN `user` u ON u.ID = c.WeighedBy WHERE c.CountID = ? "
                                          "ORDER BY IFNULL(p.SKU, c.SKU), c.ParcelID")
                               .arg(dec(QStringLiteral("c.CaratsAtStart")), dec(onHand), dec(QStringLiteral("c.Weighed"))),
                           {countId});
    while (q.next()) {
        ParcelLine l;
        l.parcelId = q.value(0).toLongLong();
        l.sku = q.value(1).toString();
        l.atStart = Decimal5::fromDb(q.value(2));
        l.onHand = Decimal5::fromDb(q.value(3));
        l.weighed = !q.value(4).isNull();
        l.weighedCarats = Decimal5::fromDb(q.value(4));
        l.weighedAt = q.value(5).toDateTime();
        l.weighedBy = q.value(6).toString();
        l.addedLate = db::flagOf(q.value(7));
        out << l;
    }
    return out;
}

WeighOutcome weighParcel(AppContext &ctx, qint64 countId, const QString &skuOrId, const QString &caratsText)
{
    WeighOutcome out;
    out.error = countWriteRefusal(ctx);
    if (!out.error.isEmpty())
        return out;
    const figures::Reading r = figures::read(
        caratsText, {QStringLiteral("Weighed carats"), figures::Column{10, 5}, figures::Need::NotNegative});
    if (!r.ok()) {
        out.error = r.error;
        return out;
    }
    if (r.empty) {
        out.error = QStringLiteral("Type the carats weighed.");
        return out;
    }
    const QString key = skuOrId.trimmed();
    if (key.isEmpty()) {
        out.error = QStringLiteral("Give the parcel's SKU.");
        return out;
    }
    const QSqlDatabase db = ctx.db();
    try {
        // The parcel: by its SKU, else by its ID.
        QList<qint64> ids;
        QSqlQuery bySku = db::exec(db, QStringLiteral("SELECT ID FROM parcel WHERE SKU = ? ORDER BY ID"), {key});
        while (bySku.next())
            ids << bySku.value(0).toLongLong();
        if (ids.size() > 1) {
            // Several parcels share the SKU: the one the count took, when only one was.
            QList<qint64> inCount;
            for (qint64 id : ids)
                if (db::scalar(db, QStringLiteral("SELECT ID FROM stockcountparcel WHERE CountID = ? AND ParcelID = ?"),
                               {countId, id})
                        .isValid())
                    inCount << id;
            if (inCount.size() != 1) {
                QStringList names;
                for (qint64 id : ids)
                    names << QString::number(id);
                out.error = QStringLiteral("Several parcels carry the SKU \"%1\" (IDs %2): give the parcel's ID.")
                                .arg(key, names.join(QStringLiteral(", ")));
                return out;
            }
            ids = inCount;
        }
        if (ids.isEmpty()) {
            bool ok = false;
            const qint64 id = key.toLongLong(&ok);
            if (ok && id > 0 && db::scalar(db, QStringLiteral("SELECT ID FROM parcel WHERE ID = ?"), {id}).isValid())
                ids << id;
        }
        if (ids.isEmpty()) {
            out.error = QStringLiteral("There is no parcel \"%1\".").arg(key);
            return out;
        }
        const qint64 parcelId = ids.first();
        const bool open = runWithRetry(
            ctx,
            [&] {
                db::Transaction tx(db);
                if (!touchOpenCount(db, countId))
                    return false;
                QSqlQuery p = db::exec(db, QStringLiteral("SELECT SKU, CAST(IFNULL(Carat, 0) AS CHAR) FROM parcel WHERE "
                                                          "ID = ?"),
                                       {parcelId});
                if (!p.next())
                    throw db::DbError(QStringLiteral("the parcel is gone"));
                const QString sku = p.value(0).toString();
                const QString onHand = p.value(1).toString();
                if (!db::scalar(db, QStringLiteral("SELECT ID FROM stockcountparcel WHERE CountID = ? AND ParcelID = ?"),
                                {countId, parcelId})
                         .isValid())
                    insertUnlessThere(db,
                                      QStringLiteral("INSERT INTO stockcountparcel (CountID, ParcelID, SKU, "
                                                     "CaratsAtStart, AddedLate) VALUES (?, ?, ?, ?, -1)"),
                                      {countId, parcelId, sku, onHand});
                db::exec(db,
                         QStringLiteral("UPDATE stockcountparcel SET Weighed = ?, OnHand = ?, WeighedAt = NOW(), "
                                        "WeighedBy = ? WHERE CountID = ? AND ParcelID = ?"),
                         {r.value.toDb(), onHand, ctx.user.ID, countId, parcelId});
                tx.commit();
                return true;
            },
            false);
        if (!open) {
            out.error = closedOrMissing(db, countId);
            return out;
        }
        const auto header = loadCount(db, countId);
        for (const ParcelLine &l : countParcels(db, countId, false))
            if (l.parcelId == parcelId)
                out.line = l;
        out.beyond = header && out.line.beyond(header->tolerance);
    } catch (const db::DbError &e) {
        out.error = QStringLiteral("The weighing could not be written; nothing was changed. ") + e.message();
        return out;
    }
    out.ok = true;
    return out;
}

// Closing ------------------------------------------------------------------------

CountOutcome closeCount(AppContext &ctx, qint64 countId)
{
    CountOutcome out;
    out.id = countId;
    out.error = countWriteRefusal(ctx);
    if (!out.error.isEmpty())
        return out;
    const QSqlDatabase db = ctx.db();
    try {
        const bool closed = runWithRetry(
            ctx,
            [&] {
                db::Transaction tx(db);
                if (db::execAffected(db,
                                     QStringLiteral("UPDATE stockcount SET Status = 'closed', ClosedAt = NOW(), "
                                                    "ClosedBy = ?, Changes = IFNULL(Changes, 0) + 1 WHERE ID = ? AND "
                                                    "Status = 'open'"),
                                     {ctx.user.ID, countId})
                    == 0)
                    return false;
                // Every workstation's row: a scan under way elsewhere meets this write.
                db::exec(db, QStringLiteral("UPDATE stockcountdesk SET IsOpen = 0 WHERE CountID = ?"), {countId});
                db::exec(db,
                         QStringLiteral("UPDATE stockcount SET ScansAtClose = (SELECT COUNT(*) FROM stockcountscan "
                                        "WHERE CountID = ?) WHERE ID = ?"),
                         {countId, countId});
                // The stones not found that are no longer in stock (few): their
                // status and where they are, in the words a scan uses.  The
                // others stay as in stock at the closing (no status kept); their
                // value and cost are those kept when the count took them.
                // One pass over the stones not found: those gone from the books
                // and those no longer in stock.
                QSqlQuery gone = db::exec(
                    db,
                    QStringLiteral("SELECT c.ID, s.ID, s.Status, s.Location, cu.CompanyName, s.MemoSheetID, "
                                   "sup.CompanyName FROM stockcountstone c LEFT JOIN SingleStone s ON s.ID = c.StoneID "
                                   "LEFT JOIN Customer cu ON cu.ID = s.CustomerID "
                                   "LEFT JOIN Customer sup ON sup.ID = s.SupplierID "
                                   "WHERE c.CountID = ? AND c.ScanID IS NULL AND "
                                   "(s.ID IS NULL OR s.Status <> 'Stock' OR s.Status IS NULL)"),
                    {countId});
                QList<std::tuple<qint64, QString, QString>> left;
                while (gone.next()) {
                    if (gone.value(1).isNull()) {
                        left.append({gone.value(0).toLongLong(), QStringLiteral("(deleted)"),
                                     QStringLiteral("the stone was deleted")});
                        continue;
                    }
                    const QString status = gone.value(2).toString().trimmed();
                    left.append({gone.value(0).toLongLong(), status.isEmpty() ? QStringLiteral("(no status)") : status,
                                 placeText(status, gone.value(3).toString().trimmed(), gone.value(4).toString(),
                                           gone.value(5).toLongLong(), gone.value(6).toString())});
                }
                for (const auto &[row, status, place] : left)
                    db::exec(db,
                             QStringLiteral("UPDATE stockcountstone SET ClosingStatus = ?, ClosingPlace = ? WHERE ID = ?"),
                             {status.left(50), place.left(255), row});
                db::exec(db,
                         QStringLiteral("UPDATE stockcountparcel c LEFT JOIN parcel p ON p.ID = c.ParcelID "
                                        "SET c.OnHand = IFNULL(p.Carat, 0) WHERE c.CountID = ? AND c.Weighed IS NULL"),
                         {countId});
                tx.commit();
                return true;
            },
            false);
        if (!closed) {
            out.error = closedOrMissing(db, countId);
            return out;
        }
        out.figures = countFigures(db, countId);
    } catch (const db::DbError &e) {
        out.error = QStringLiteral("The count could not be closed; it stays open. ") + e.message();
        return out;
    }
    out.ok = true;
    return out;
}

QList<FoundStone> foundStones(const QSqlDatabase &db, qint64 countId)
{
    QList<FoundStone> out;
    QSqlQuery q = db::exec(
        db,
        QStringLiteral("SELECT s.ID, s.SKU, s.Location, 1 FROM stockcountstone c JOIN SingleStone s ON s.ID = c.StoneID "
                       "WHERE c.CountID = ? AND c.ScanID IS NOT NULL AND s.Status = 'Stock' "
                       "UNION SELECT s.ID, s.SKU, s.Location, 0 FROM stockcountscan x JOIN SingleStone s ON s.ID = "
                       "x.StoneID WHERE x.CountID = ? AND x.Result = 'unexpected' AND s.Status = 'Stock' "
                       "ORDER BY 2, 1"),
        {countId, countId});
    QSet<qint64> seen;
    while (q.next()) {
        FoundStone f;
        f.stoneId = q.value(0).toLongLong();
        if (seen.contains(f.stoneId))
            continue;
        seen.insert(f.stoneId);
        f.sku = q.value(1).toString();
        f.location = q.value(2).toString();
        f.expected = q.value(3).toInt() != 0;
        out << f;
    }
    return out;
}

int setStoneLocation(AppContext &ctx, const QList<qint64> &stoneIds, const QString &locationTyped, QString *error)
{
    const QString refusal = countWriteRefusal(ctx);
    if (!refusal.isEmpty()) {
        if (error)
            *error = refusal;
        return -1;
    }
    const QString location = locationTyped.trimmed();
    if (location.size() > kLocationLength) {
        if (error)
            *error = QStringLiteral("The location is %1 characters long; it may have %2 at most.")
                         .arg(location.size())
                         .arg(kLocationLength);
        return -1;
    }
    const QSqlDatabase db = ctx.db();
    try {
        return runWithRetry(
            ctx,
            [&] {
                db::Transaction tx(db);
                int changed = 0;
                for (qint64 id : stoneIds) {
                    // Only a stone still in stock, and only when it moves.
                    const int n = db::execAffected(
                        db,
                        QStringLiteral("UPDATE SingleStone SET Location = ?, RND = ? WHERE ID = ? AND Status = 'Stock' "
                                       "AND NOT (IFNULL(Location, '') = ?)"),
                        {nullIfEmpty(location), drawRnd(), id, location});
                    if (n > 0) {
                        ++changed;
                        if (ctx.settings.StoneChange)
                            SaveDeleteChangeStatus(ctx, QStringLiteral("save"), id);
                    }
                }
                tx.commit();
                return changed;
            },
            false);
    } catch (const db::DbError &e) {
        if (error)
            *error = QStringLiteral("The location could not be set; no stone was changed. ") + e.message();
        return -1;
    }
}

} // namespace velmor::stones
