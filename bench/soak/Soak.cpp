#include "Soak.h"

#include "DealerData.h"

#include "db/Row.h"
#include "db/Schema.h"
#include "db/Sql.h"
#include "shell/BooksCheck.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTimer>

#include <array>
#include <map>
#include <memory>
#include <set>

namespace velmor::soak {

namespace {

// What one operation said it would change: "kind:entity" -> amount.
struct Op {
    qint64 id = 0;
    int station = 0;
    QString kind;
    QList<QPair<QString, qint64>> effects;
    enum State { Sent, Begun, Done, Refused, Failed, InDoubt } state = Sent;
};

// The measured side of the ledger: every key class, read in bulk.
using Measure = std::map<QString, qint64>;

void readInto(Measure &m, const QSqlDatabase &db, const QString &prefix, const QString &sql)
{
    QSqlQuery q = db::exec(db, sql);
    while (q.next()) {
        const QString entity = q.value(0).toString();
        if (entity.trimmed().isEmpty())
            continue;
        m[prefix + entity] += q.value(1).toLongLong();
    }
}

Measure measure(const QSqlDatabase &db)
{
    Measure m;
    readInto(m, db, QStringLiteral("stone:"), QStringLiteral("SELECT SKU, COUNT(*) FROM SingleStone GROUP BY SKU"));
    readInto(m, db, QStringLiteral("memo-out:"),
             QStringLiteral("SELECT DiamondID, COUNT(*) FROM Memo WHERE Quantity = 1 AND DiamondID > 0 GROUP BY DiamondID"));
    readInto(m, db, QStringLiteral("memo-back:"),
             QStringLiteral("SELECT DiamondID, COUNT(*) FROM Memo WHERE Quantity = -1 AND DiamondID > 0 GROUP BY DiamondID"));
    readInto(m, db, QStringLiteral("sale:"),
             QStringLiteral("SELECT diamondid, COUNT(*) FROM invoicelist WHERE diamondid > 0 GROUP BY diamondid"));
    readInto(m, db, QStringLiteral("memosheets:"),
             QStringLiteral("SELECT CustomerID, COUNT(*) FROM memosheet GROUP BY CustomerID"));
    readInto(m, db, QStringLiteral("parcel:"), QStringLiteral("SELECT SKU, COUNT(*) FROM parcel GROUP BY SKU"));
    // Carats in units of 0.00001 ct.
    readInto(m, db, QStringLiteral("pj:"),
             QStringLiteral("SELECT p.SKU, CAST(SUM(a.Carat) * 100000 AS SIGNED) FROM parceladd a JOIN parcel p ON "
                            "p.ID = a.parcelid GROUP BY p.SKU"));
    readInto(m, db, QStringLiteral("pm:"),
             QStringLiteral("SELECT p.SKU, CAST(SUM(l.carat) * 100000 AS SIGNED) FROM memoparcellist l JOIN parcel p ON "
                            "p.ID = l.parcelid GROUP BY p.SKU"));
    readInto(m, db, QStringLiteral("ps:"),
             QStringLiteral("SELECT p.SKU, CAST(SUM(l.carat) * 100000 AS SIGNED) FROM invoicelist l JOIN parcel p ON "
                            "p.ID = l.parcelid WHERE IFNULL(l.diamondid, 0) = 0 GROUP BY p.SKU"));
    // Payments received: the US amounts in cents, and the rows that carry an
    // amount (a memo line's opening row carries none).
    readInto(m, db, QStringLiteral("paid:"),
             QStringLiteral("SELECT StoneID, CAST(ROUND(SUM(PaymentUS) * 100) AS SIGNED) FROM PaymentReceived GROUP BY "
                            "StoneID"));
    readInto(m, db, QStringLiteral("payments:"),
             QStringLiteral("SELECT StoneID, COUNT(*) FROM PaymentReceived WHERE IFNULL(PaymentUS, 0) <> 0 OR "
                            "IFNULL(PaymentLocal, 0) <> 0 GROUP BY StoneID"));
    readInto(m, db, QStringLiteral("closed-invoice:"),
             QStringLiteral("SELECT ID, IF(status = 'closed', 1, 0) FROM invoice"));
    readInto(m, db, QStringLiteral("closed-pmemo:"),
             QStringLiteral("SELECT ID, IF(IFNULL(closed, 0) <> 0, 1, 0) FROM memoparcel"));
    return m;
}

// Whether `rest` is the sum of some of `doubts` (a handful at most).
bool subsetSum(qint64 rest, const QList<qint64> &doubts)
{
    if (rest == 0)
        return true;
    if (doubts.size() > 16)
        return true; // too many to tell apart: not expected with a handful of kills
    const int n = int(doubts.size());
    for (int mask = 1; mask < (1 << n); ++mask) {
        qint64 s = 0;
        for (int i = 0; i < n; ++i)
            if (mask & (1 << i))
                s += doubts[i];
        if (s == rest)
            return true;
    }
    return false;
}

class Driver {
public:
    Driver(const db::ConnectionSettings &settings, const QString &binary, const QString &folder, const Options &o,
           const std::function<void(const QString &)> &log)
        : m_settings(settings), m_binary(binary), m_folder(folder), m_o(o), m_log(log), m_rnd(o.seed)
    {
        const int kills = o.kills >= 0 ? o.kills : std::max(3, o.ops / 400);
        // Kill points: operations during which a workstation is killed.
        while (int(m_killAt.size()) < std::min(kills, o.ops))
            m_killAt.insert(qint64(m_rnd.bounded(o.ops)) + 1);
    }

    void run(Report &r)
    {
        QElapsedTimer t;
        t.start();
        m_slots.resize(size_t(m_o.stations));
        for (int i = 0; i < m_o.stations; ++i)
            start(i);
        if (!m_stopping)
            m_loop.exec();
        r.seconds = double(t.elapsed()) / 1000;
        for (auto &s : m_slots)
            if (s.proc) {
                s.proc->write("quit\n");
                s.proc->closeWriteChannel();
                if (!s.proc->waitForFinished(30000))
                    s.proc->kill();
                s.proc->waitForFinished();
            }
        r.ops = int(m_sent);
        r.kills = m_kills;
        r.restarts = m_restarts;
        r.stationFaults = m_faults;
    }

    const std::map<qint64, Op> &ops() const { return m_ops; }

private:
    struct Slot {
        std::unique_ptr<QProcess> proc;
        QByteArray buffer;
        qint64 current = 0; // the operation in flight, 0 when idle
        bool ready = false;
        int starts = 0;
    };

    void start(int i)
    {
        Slot &s = m_slots[size_t(i)];
        s.proc = std::make_unique<QProcess>();
        s.buffer.clear();
        s.current = 0;
        s.ready = false;
        ++s.starts;
        QProcess *p = s.proc.get();
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(p, &QProcess::readyReadStandardOutput, p, [this, i] { read(i); });
        QObject::connect(p, &QProcess::finished, p, [this, i, p](int code, QProcess::ExitStatus st) {
            if (m_slots[size_t(i)].proc.get() != p || m_stopping)
                return;
            if (st == QProcess::NormalExit)
                fault(QStringLiteral("workstation %1 ended by itself (exit %2)").arg(i + 1).arg(code));
        });
        p->start(m_binary, {QStringLiteral("--socket"), m_settings.socket, QStringLiteral("--database"),
                            m_settings.database, QStringLiteral("--station"), QString::number(i + 1),
                            QStringLiteral("--home"), QDir(m_folder).filePath(QStringLiteral("ws%1").arg(i + 1))});
        if (!p->waitForStarted(10000))
            fault(QStringLiteral("workstation %1 could not be started: %2").arg(i + 1).arg(p->errorString()));
    }

    void fault(const QString &why)
    {
        m_faults << why;
        if (m_log)
            m_log(why);
        m_stopping = true;
        m_loop.quit();
    }

    void read(int i)
    {
        Slot &s = m_slots[size_t(i)];
        s.buffer += s.proc->readAllStandardOutput();
        int nl;
        while ((nl = s.buffer.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(s.buffer.left(nl));
            s.buffer.remove(0, nl + 1);
            handle(i, line);
        }
    }

    void handle(int i, const QString &line)
    {
        Slot &s = m_slots[size_t(i)];
        const QStringList w = line.split(QLatin1Char(' '));
        const QString tag = w.value(0);
        if (tag == QLatin1String("ready")) {
            s.ready = true;
            next(i);
            return;
        }
        if (tag == QLatin1String("X")) {
            fault(QStringLiteral("workstation %1: %2").arg(i + 1).arg(line.mid(2)));
            return;
        }
        const qint64 id = w.value(1).toLongLong();
        auto it = m_ops.find(id);
        if (it == m_ops.end() || id != s.current)
            return;
        Op &op = it->second;
        if (tag == QLatin1String("B")) {
            op.state = Op::Begun;
            op.kind = w.value(2);
            for (const QString &e : w.value(3).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
                const int eq = e.lastIndexOf(QLatin1Char('='));
                op.effects << qMakePair(e.left(eq), e.mid(eq + 1).toLongLong());
            }
            return;
        }
        if (tag == QLatin1String("D"))
            op.state = Op::Done;
        else if (tag == QLatin1String("R"))
            op.state = Op::Refused;
        else if (tag == QLatin1String("F")) {
            op.state = Op::Failed;
            if (m_log && m_o.ops <= 2000)
                m_log(QStringLiteral("op %1 (%2) failed: %3").arg(id).arg(op.kind, line.section(QLatin1Char(' '), 2)));
        } else
            return;
        if (op.kind.isEmpty())
            op.kind = QStringLiteral("(nothing to do)");
        s.current = 0;
        next(i);
    }

    void next(int i)
    {
        if (m_stopping || m_draining)
            return;
        Slot &s = m_slots[size_t(i)];
        if (m_sent >= m_o.ops) {
            bool idle = true;
            for (const Slot &o : m_slots)
                idle = idle && o.current == 0;
            if (idle) {
                m_stopping = true;
                m_loop.quit();
            }
            return;
        }
        const qint64 id = ++m_sent;
        Op op;
        op.id = id;
        op.station = i + 1;
        m_ops[id] = op;
        s.current = id;
        s.proc->write(QStringLiteral("op %1 %2\n").arg(id).arg(m_rnd.generate()).toUtf8());
        if (m_killAt.count(id))
            QTimer::singleShot(m_rnd.bounded(60), s.proc.get(), [this, i, id] { kill(i, id); });
        if (m_log && id % 1000 == 0)
            m_log(QStringLiteral("%1 operations ...").arg(id));
    }

    // kill -9, then a new process on the same workstation folder.
    void kill(int i, qint64 id)
    {
        Slot &s = m_slots[size_t(i)];
        if (m_stopping)
            return;
        Q_UNUSED(id); // when that operation has ended, whatever runs now is cut short
        ++m_kills;
        QProcess *p = s.proc.get();
        p->kill();
        p->waitForFinished(10000);
        // What it wrote before it died still counts.
        m_draining = true;
        read(i);
        m_draining = false;
        if (s.current != 0) {
            Op &op = m_ops[s.current];
            // Killed before it said how it ended: there once, or not at all.
            // Before its "B" line it had written nothing.
            op.state = op.state == Op::Sent ? Op::Refused : Op::InDoubt;
            if (op.kind.isEmpty())
                op.kind = QStringLiteral("(killed before it began)");
            s.current = 0;
        }
        s.proc.release()->deleteLater();
        ++m_restarts;
        start(i);
    }

    db::ConnectionSettings m_settings;
    QString m_binary, m_folder;
    Options m_o;
    std::function<void(const QString &)> m_log;
    QRandomGenerator m_rnd;
    std::set<qint64> m_killAt;
    std::vector<Slot> m_slots;
    std::map<qint64, Op> m_ops;
    qint64 m_sent = 0;
    int m_kills = 0, m_restarts = 0;
    bool m_stopping = false;
    bool m_draining = false;
    QStringList m_faults;
    QEventLoop m_loop;
};

// The database against the ledger.
QStringList compare(const QSqlDatabase &db, const Measure &before, const Measure &after,
                    const std::map<qint64, Op> &ops)
{
    QStringList faults;
    struct Expect {
        qint64 done = 0;
        QList<qint64> doubts;
        int doneCount = 0;
    };
    std::map<QString, Expect> ledger;
    // Edits: the comment a stone must end with.
    std::map<qint64, std::pair<qint64, QList<qint64>>> comments; // stone -> (last done op, later doubts)
    for (const auto &[id, op] : ops) {
        if (op.state != Op::Done && op.state != Op::InDoubt)
            continue;
        for (const auto &[key, amount] : op.effects) {
            if (key.startsWith(QLatin1String("comment:"))) {
                auto &c = comments[key.mid(8).toLongLong()];
                if (op.state == Op::Done) {
                    c.first = id;
                    c.second.clear();
                } else {
                    c.second << id;
                }
                continue;
            }
            Expect &e = ledger[key];
            if (op.state == Op::Done) {
                e.done += amount;
                ++e.doneCount;
            } else {
                e.doubts << amount;
            }
        }
    }
    auto valueOf = [](const Measure &m, const QString &k) {
        const auto it = m.find(k);
        return it == m.end() ? qint64(0) : it->second;
    };
    std::set<QString> keys;
    for (const auto &[k, e] : ledger)
        keys.insert(k);
    for (const auto &[k, v] : after)
        if (valueOf(before, k) != v)
            keys.insert(k);
    for (const auto &[k, v] : before)
        if (valueOf(after, k) != v)
            keys.insert(k);
    for (const QString &key : keys) {
        const Expect e = ledger.count(key) ? ledger.at(key) : Expect{};
        const qint64 change = valueOf(after, key) - valueOf(before, key);
        if (key.startsWith(QLatin1String("file:"))) {
            if (e.doneCount > 0 && !QFileInfo(key.mid(5)).size())
                faults << QStringLiteral("%1: printed, but the file is not there").arg(key);
            continue;
        }
        if (key.startsWith(QLatin1String("closed-"))) {
            // Printing closes; a parcel memo also closes itself when its
            // carats are back.  Reprinting a closed one changes nothing.
            if (e.doneCount > 0 && valueOf(after, key) != 1)
                faults << QStringLiteral("%1: printed, but still open").arg(key);
            if (key.startsWith(QLatin1String("closed-invoice:")) && change != 0 && e.doneCount == 0 && e.doubts.isEmpty())
                faults << QStringLiteral("%1: closed without a print").arg(key);
            continue;
        }
        if (!subsetSum(change - e.done, e.doubts))
            faults << QStringLiteral("%1: the database changed it by %2, the ledger says %3%4")
                          .arg(key)
                          .arg(change)
                          .arg(e.done)
                          .arg(e.doubts.isEmpty() ? QString()
                                                  : QStringLiteral(" (and %1 operations cut short)").arg(e.doubts.size()));
    }
    for (const auto &[stone, c] : comments) {
        const QString now = db::textOf(db::scalar(db, QStringLiteral("SELECT Comment FROM SingleStone WHERE ID = ?"), {stone}));
        QStringList allowed;
        if (c.first)
            allowed << QStringLiteral("soak edit %1").arg(c.first);
        for (qint64 d : c.second)
            allowed << QStringLiteral("soak edit %1").arg(d);
        if (!c.first && !c.second.isEmpty())
            allowed << QString() << now; // the stone's own comment may still stand
        if (!allowed.contains(now.trimmed()))
            faults << QStringLiteral("stone %1: comment \"%2\", the ledger expects %3").arg(stone).arg(now, allowed.join(QStringLiteral(" or ")));
    }
    return faults;
}

} // namespace

void prepareDatabase(const QSqlDatabase &db, const Options &o)
{
    db::schema::createNewDatabase(db);
    bench::writeDealerSettings(db);
    const bench::PriceGrid grid(o.seed ^ 0x0a11u, QDate(2026, 11, 20));
    bench::insertGrid(db, grid);
    bench::DealerDataOptions dd;
    dd.stones = o.stones;
    dd.seed = o.seed;
    dd.repairShare = 0; // the week starts from books that need no repair
    bench::fillDealerData(db, dd, grid);
    // The dealer at the workstations enters payments too.
    db::exec(db, QStringLiteral("UPDATE user SET AllowApplyPayment = -1, AllowStatementView = -1 WHERE UserName = 'admin'"));
    // A few parcels, received from a supplier (the journal explains the carats).
    const qint64 supplier = db::scalar(db, QStringLiteral("SELECT ID FROM Customer WHERE IFNULL(Supplier, 0) <> 0 "
                                                          "ORDER BY ID LIMIT 1"))
                                .toLongLong();
    for (int i = 1; i <= 8; ++i) {
        const QString carat = QString::number(20 + i * 3) + QStringLiteral(".00000");
        const qint64 id = db::insert(db,
                                     QStringLiteral("INSERT INTO parcel (SKU, Shape, Carat, CaratLow, CaratHigh, ColourLow, "
                                                    "ColourHigh, ClarityLow, ClarityHigh, CostPerCarat, SellPerCarat, "
                                                    "datecreated) VALUES (?, 'Round Brilliant [BR]', ?, 0.05, 0.1, 20, "
                                                    "40, 30, 50, 150, 300, NOW())"),
                                     {QStringLiteral("PCL-%1").arg(i), carat});
        db::exec(db,
                 QStringLiteral("INSERT INTO parceladd (parcelid, Carat, userid, supplierid, costusct, date) VALUES "
                                "(?, ?, 1, ?, 150, NOW())"),
                 {id, carat, supplier});
    }
}

Report run(const db::ConnectionSettings &settings, const QString &stationBinary, const QString &folder,
           const Options &o, const std::function<void(const QString &)> &log)
{
    Report r;
    QSqlDatabase db = db::openConnection(settings, QStringLiteral("soak-driver"), false);
    const Measure before = measure(db);
    Driver d(settings, stationBinary, folder, o, log);
    d.run(r);
    std::map<QString, std::array<int, 4>> byKind; // done, refused, failed, in doubt
    for (const auto &[id, op] : d.ops()) {
        auto &k = byKind[op.kind.isEmpty() ? QStringLiteral("(no answer)") : op.kind];
        switch (op.state) {
        case Op::Done: ++r.done; ++k[0]; break;
        case Op::Refused: ++r.refused; ++k[1]; break;
        case Op::Failed: ++r.failed; ++k[2]; break;
        case Op::InDoubt: ++r.inDoubt; ++k[3]; break;
        default: break;
        }
    }
    for (const auto &[kind, k] : byKind)
        r.kinds << QStringLiteral("%1: %2 done, %3 refused, %4 failed, %5 cut short")
                       .arg(kind)
                       .arg(k[0])
                       .arg(k[1])
                       .arg(k[2])
                       .arg(k[3]);
    const Measure after = measure(db);
    r.ledgerFaults = compare(db, before, after, d.ops());
    const books::Report books = books::checkBooks(db);
    r.booksWhole = books.whole();
    r.booksText = books::reportText(books);
    db.close();
    return r;
}

QString reportText(const Report &r)
{
    QString t;
    t += QStringLiteral("Soak: %1 operations on workstations in %2 s (%3 operations per second); %4 done, %5 refused, "
                        "%6 failed, %7 cut short by %8 kills (%9 restarts).\n")
             .arg(r.ops)
             .arg(r.seconds, 0, 'f', 1)
             .arg(r.seconds > 0 ? r.ops / r.seconds : 0, 0, 'f', 1)
             .arg(r.done)
             .arg(r.refused)
             .arg(r.failed)
             .arg(r.inDoubt)
             .arg(r.kills)
             .arg(r.restarts);
    for (const QString &k : r.kinds)
        t += QStringLiteral("  ") + k + QLatin1Char('\n');
    t += QStringLiteral("Books check: ") + r.booksText;
    if (r.ledgerFaults.isEmpty())
        t += QStringLiteral("Ledger: the database agrees with every operation reported.\n");
    else
        t += QStringLiteral("Ledger: %1 disagreements:\n  ").arg(r.ledgerFaults.size())
             + r.ledgerFaults.mid(0, 50).join(QStringLiteral("\n  ")) + QLatin1Char('\n');
    for (const QString &f : r.stationFaults)
        t += QStringLiteral("Workstation: ") + f + QLatin1Char('\n');
    t += r.ok() ? QStringLiteral("Soak passed.\n") : QStringLiteral("Soak FAILED.\n");
    return t;
}

} // namespace velmor::soak
