// velmor-soakstation: one workstation of the soak.  It connects on its own,
// logs in like a dealer and waits for the driver: each line "op ID SEED" on
// standard input runs one operation picked at random from what the books
// offer at that moment, through the same functions the screens call.
// Before the operation it writes "B ID KIND EFFECTS" (what the operation
// will have changed when it is done), afterwards "D ID", "R ID why" (refused,
// nothing written) or "F ID why" (failed, rolled back).  "quit" ends it.
#include "DealerData.h"

#include "core/AppContext.h"
#include "core/Configuration.h"
#include "core/Prompt.h"
#include "core/Users.h"
#include "core/Workstation.h"
#include "customers/CustomerRecord.h"
#include "db/Connection.h"
#include "db/LineDues.h"
#include "db/Sql.h"
#include "invoices/InvoicePrint.h"
#include "invoices/Posting.h"
#include "memos/MemoMoves.h"
#include "memos/MemoPrint.h"
#include "parcels/Decimal5.h"
#include "parcels/ParcelMemo.h"
#include "parcels/ParcelMemoPrint.h"
#include "parcels/ParcelRecord.h"
#include "parcels/ParcelSplit.h"
#include "payments/Payments.h"
#include "pricing/GridImport.h"
#include "printing/PrintJob.h"
#include "stones/StoneRecord.h"

#include <QDir>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QSqlRecord>

#include <cstdio>
#include <iostream>
#include <string>

using namespace velmor;
using parcels::Decimal5;

namespace {

// The dealer in front of the screen answers Yes and reads every message.
class StationPrompt : public Prompt {
public:
    void inform(const QString &text, const QString &, Icon) override { last = text; }
    bool askYesNo(const QString &, const QString &, Icon) override { return true; }
    void notice(const QString &text, int) override { last = text; }
    void busy(const QString &) override {}
    void progress(const QString &) override {}
    QString last;
};

// One line to the driver.  A message may quote a customer's name with a NUL
// byte in it: written whole, with the NUL as a blank, so the line still ends.
void say(const QString &line)
{
    QByteArray bytes = (line + QLatin1Char('\n')).toUtf8();
    bytes.replace('\0', ' ');
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

enum class Code { Done, Refused, Failed };

struct Station {
    AppContext &ctx;
    StationPrompt &prompt;
    int number = 0;
    QString home;
    QRandomGenerator rnd;
    qint64 op = 0;

    QSqlDatabase db() const { return ctx.db(); }

    // One row of a query (empty when there is none).
    QVariantList pick(const QString &sql, const QVariantList &binds = {})
    {
        QSqlQuery q = db::exec(db(), sql, binds);
        QVariantList row;
        if (q.next())
            for (int i = 0; i < q.record().count(); ++i)
                row << q.value(i);
        return row;
    }
    QString order() { return QStringLiteral(" ORDER BY RAND(%1) LIMIT 1").arg(rnd.bounded(1 << 30)); }
    qint64 units(qint64 max) { return max <= 1 ? 1 : qint64(rnd.bounded(quint64(max))) + 1; }
    static QString carats(qint64 u) { return Decimal5::fromUnits(u).toDb(); }

    void begin(const QString &kind, const QStringList &effects)
    {
        say(QStringLiteral("B %1 %2 %3").arg(op).arg(kind, effects.join(QLatin1Char(';'))));
    }
    Code refused(const QString &why)
    {
        reason = why;
        return Code::Refused;
    }
    QString reason;

    qint64 customer() { return pick(QStringLiteral("SELECT ID FROM Customer WHERE IFNULL(Customer, 0) <> 0") + order()).value(0).toLongLong(); }

    Code addStone()
    {
        const QString sku = QStringLiteral("W%1-%2").arg(number).arg(op);
        begin(QStringLiteral("add-stone"), {QStringLiteral("stone:") + sku + QStringLiteral("=1")});
        const qint64 id = stones::addStoneRow(ctx);
        stones::StoneForm f = stones::newStoneForm(id);
        const double carat = 0.3 + rnd.bounded(220) / 100.0;
        const double rap = 3000 + rnd.bounded(5000);
        const double off = 10 + rnd.bounded(30);
        f.SKU = sku;
        f.Shape = QStringLiteral("Round Brilliant [BR]");
        f.Carat = QString::number(carat, 'f', 2);
        f.colourEntry = QStringLiteral("30 - F");
        f.clarityEntry = QStringLiteral("50 - VS2");
        f.Cut = QStringLiteral("EX");
        f.Laboratory = QStringLiteral("GIA");
        f.Certificate = QStringLiteral("9%1%2").arg(number).arg(op, 8, 10, QLatin1Char('0'));
        f.Dim1 = QStringLiteral("6.1");
        f.boughtRateCDN = ctx.exchangeRateCDN;
        f.boughtRateZAR = ctx.exchangeRateZAR;
        f.setPrice(stones::StonePriceModel::LatestRapPrice, QString::number(rap, 'f', 0));
        f.setPrice(stones::StonePriceModel::SellOffRap, QString::number(off, 'f', 0));
        f.setPrice(stones::StonePriceModel::SellPrice, QString::number(rap * carat * (100 - off) / 100, 'f', 2));
        stones::EditState st;
        st.mode = stones::EditState::Adding;
        const stones::SaveResult r = stones::saveStone(ctx, f, st);
        return r == stones::SaveResult::Saved ? Code::Done
               : r == stones::SaveResult::Failed ? Code::Failed
                                                 : refused(prompt.last);
    }

    Code editStone()
    {
        const QVariantList s = pick(QStringLiteral("SELECT ID FROM SingleStone WHERE SKU LIKE ? AND Status IS NOT NULL")
                                        + order(),
                                    {QStringLiteral("W%1-%").arg(number)});
        if (s.isEmpty())
            return refused(QStringLiteral("no stone of this workstation yet"));
        const qint64 id = s[0].toLongLong();
        begin(QStringLiteral("edit-stone"), {QStringLiteral("comment:%1=%2").arg(id).arg(op)});
        stones::StoneForm f = stones::loadStone(ctx, id);
        stones::EditState st;
        if (!stones::beginEdit(ctx, f, st))
            return refused(prompt.last);
        f.Comment = QStringLiteral("soak edit %1").arg(op);
        const stones::SaveResult r = stones::saveStone(ctx, f, st);
        return r == stones::SaveResult::Saved ? Code::Done
               : r == stones::SaveResult::Failed ? Code::Failed
                                                 : refused(prompt.last);
    }

    Code newMemoSheet()
    {
        const qint64 c = customer();
        begin(QStringLiteral("new-memo-sheet"), {QStringLiteral("memosheets:%1=1").arg(c)});
        return customers::createMemoSheet(ctx, c) > 0 ? Code::Done : Code::Failed;
    }

    static Code of(const memos::MoveOutcome &o)
    {
        return o.result == memos::MoveResult::Done ? Code::Done
               : o.result == memos::MoveResult::Failed ? Code::Failed
                                                       : Code::Refused;
    }
    static Code of(const parcels::Outcome &o)
    {
        return o.result == parcels::Result::Done ? Code::Done
               : o.result == parcels::Result::Failed ? Code::Failed
                                                     : Code::Refused;
    }

    Code putOnMemo()
    {
        const QVariantList s = pick(QStringLiteral("SELECT ID FROM SingleStone WHERE Status = 'Stock'") + order());
        const QVariantList m = pick(QStringLiteral("SELECT ID FROM memosheet WHERE IFNULL(closed, 0) = 0") + order());
        if (s.isEmpty() || m.isEmpty())
            return refused(QStringLiteral("no stone in stock or no open memo sheet"));
        const qint64 stone = s[0].toLongLong();
        begin(QStringLiteral("put-on-memo"), {QStringLiteral("memo-out:%1=1").arg(stone)});
        const auto o = memos::putOnMemo(ctx, m[0].toLongLong(), stone, QString::number(15 + rnd.bounded(20)), ctx.user.ID);
        reason = prompt.last;
        return of(o);
    }

    Code returnFromMemo()
    {
        const QVariantList s = pick(QStringLiteral("SELECT ID, MemoSheetID FROM SingleStone WHERE Status = 'Memo'") + order());
        if (s.isEmpty())
            return refused(QStringLiteral("no stone on memo"));
        const qint64 stone = s[0].toLongLong();
        begin(QStringLiteral("return-from-memo"), {QStringLiteral("memo-back:%1=1").arg(stone)});
        const auto o = memos::returnToStock(ctx, s[1].toLongLong(), stone, ctx.user.ID);
        reason = prompt.last;
        return of(o);
    }

    Code sellFromMemo()
    {
        const QVariantList s = pick(QStringLiteral("SELECT ID, MemoSheetID FROM SingleStone WHERE Status = 'Memo' AND Carat > 0")
                                    + order());
        if (s.isEmpty())
            return refused(QStringLiteral("no stone on memo"));
        const qint64 stone = s[0].toLongLong();
        begin(QStringLiteral("sell-from-memo"), {QStringLiteral("sale:%1=1").arg(stone)});
        const auto o = memos::sellFromMemo(ctx, s[1].toLongLong(), stone, QString::number(1000 + rnd.bounded(9000)) + QStringLiteral(".00"));
        reason = prompt.last;
        return of(o);
    }

    Code sellDirect()
    {
        const QVariantList s = pick(QStringLiteral("SELECT ID, CAST(Carat AS CHAR) FROM SingleStone WHERE Status = 'Stock' AND Carat > 0")
                                    + order());
        if (s.isEmpty())
            return refused(QStringLiteral("no stone in stock"));
        const qint64 stone = s[0].toLongLong();
        const qint64 c = customer();
        begin(QStringLiteral("sell-direct"), {QStringLiteral("sale:%1=1").arg(stone)});
        const auto o = invoices::sellStoneOnInvoice(ctx, stone, c, s[1].toString(),
                                                    QString::number(2000 + rnd.bounded(6000)) + QStringLiteral(".00"));
        reason = o.message;
        return o.result == invoices::SellResult::Done ? Code::Done
               : o.result == invoices::SellResult::Failed ? Code::Failed
                                                          : Code::Refused;
    }

    QString pdf(const QString &what) const { return QDir(home).filePath(QStringLiteral("%1-%2.pdf").arg(what).arg(op)); }

    Code printInvoice()
    {
        const QVariantList i = pick(QStringLiteral("SELECT ID FROM invoice i WHERE status = 'open' AND EXISTS "
                                                   "(SELECT 1 FROM invoicelist l WHERE l.invoiceid = i.ID)")
                                    + order());
        if (i.isEmpty())
            return refused(QStringLiteral("no open invoice"));
        const qint64 id = i[0].toLongLong();
        begin(QStringLiteral("print-invoice"), {QStringLiteral("closed-invoice:%1=1").arg(id)});
        const auto r = invoices::printInvoice(ctx, id, printing::PrintTarget::pdf(pdf(QStringLiteral("invoice"))), {});
        reason = r.error;
        // A sale posted by another workstation between the read and the
        // close keeps the invoice open: printed, but not the close asked for.
        if (r.printed && r.linesChanged) {
            reason = QStringLiteral("a line came in while printing; the invoice stays open");
            return Code::Refused;
        }
        return r.printed ? Code::Done : Code::Refused;
    }

    Code printMemoSheet()
    {
        const QVariantList m = pick(QStringLiteral("SELECT DISTINCT MemoSheetID FROM SingleStone WHERE Status = 'Memo'") + order());
        if (m.isEmpty())
            return refused(QStringLiteral("no memo sheet with stones"));
        const QString path = pdf(QStringLiteral("memo"));
        begin(QStringLiteral("print-memo-sheet"), {QStringLiteral("file:%1=1").arg(path)});
        memos::MemoPrintRequest r;
        r.memoSheetId = m[0].toLongLong();
        const auto o = memos::printMemoSheet(ctx, r, printing::PrintTarget::pdf(path));
        reason = o.error;
        return o.ok ? Code::Done : Code::Refused;
    }

    Code receiveParcel()
    {
        const QVariantList p = pick(QStringLiteral("SELECT ID, SKU FROM parcel") + order());
        const QVariantList s = pick(QStringLiteral("SELECT ID FROM Customer WHERE IFNULL(Supplier, 0) <> 0") + order());
        if (p.isEmpty() || s.isEmpty())
            return refused(QStringLiteral("no parcel or no supplier"));
        const qint64 u = units(500000);
        begin(QStringLiteral("receive-parcel"), {QStringLiteral("pj:%1=%2").arg(p[1].toString()).arg(u)});
        const auto o = parcels::receiveStock(ctx, {p[0].toLongLong(), s[0].toLongLong(), carats(u), QStringLiteral("123.45")});
        reason = o.message;
        return of(o);
    }

    Code parcelOut()
    {
        const QVariantList p = pick(QStringLiteral("SELECT ID, SKU, CAST(Carat AS CHAR) FROM parcel WHERE Carat > 0") + order());
        if (p.isEmpty())
            return refused(QStringLiteral("no parcel with carats"));
        const qint64 onHand = Decimal5::fromDb(p[2]).units();
        // Now and then more than is on hand: the operation must refuse it.
        const qint64 u = rnd.bounded(12) == 0 ? onHand + 1 : units(std::min<qint64>(onHand, 400000));
        begin(QStringLiteral("parcel-memo-out"), {QStringLiteral("pm:%1=%2").arg(p[1].toString()).arg(u)});
        const auto o = parcels::putOnMemo(ctx, {p[0].toLongLong(), customer(), carats(u), QStringLiteral("250"),
                                                rnd.bounded(2) ? parcels::LineChoice::ExistingLine
                                                               : parcels::LineChoice::NewLine});
        reason = o.message;
        return of(o);
    }

    Code parcelBack(bool sell)
    {
        const QVariantList l = pick(QStringLiteral("SELECT l.memoparcelid, l.parcelid, p.SKU, CAST(SUM(l.carat) AS CHAR) "
                                                   "FROM memoparcellist l JOIN parcel p ON p.ID = l.parcelid "
                                                   "GROUP BY l.memoparcelid, l.parcelid, p.SKU HAVING SUM(l.carat) > 0")
                                    + order());
        if (l.isEmpty())
            return refused(QStringLiteral("no parcel carats out on memo"));
        const qint64 out = Decimal5::fromDb(l[3]).units();
        const qint64 u = rnd.bounded(12) == 0 ? out + 1 : units(out);
        const QString sku = l[2].toString();
        QStringList effects{QStringLiteral("pm:%1=%2").arg(sku).arg(-u)};
        if (sell)
            effects << QStringLiteral("ps:%1=%2").arg(sku).arg(u);
        begin(sell ? QStringLiteral("parcel-memo-sell") : QStringLiteral("parcel-memo-return"), effects);
        const auto o = sell ? parcels::sellFromMemo(ctx, l[0].toLongLong(), l[1].toLongLong(), carats(u))
                            : parcels::returnFromMemo(ctx, l[0].toLongLong(), l[1].toLongLong(), carats(u));
        reason = o.message;
        return of(o);
    }

    Code split()
    {
        const QVariantList p = pick(QStringLiteral("SELECT ID, SKU, CAST(Carat AS CHAR) FROM parcel WHERE Carat > 0.01") + order());
        if (p.isEmpty())
            return refused(QStringLiteral("no parcel to split"));
        const qint64 onHand = Decimal5::fromDb(p[2]).units();
        const qint64 u = units(std::min<qint64>(onHand - 1, 300000));
        const QString sku = QStringLiteral("S%1-%2").arg(number).arg(op);
        begin(QStringLiteral("split-parcel"), {QStringLiteral("pj:%1=%2").arg(p[1].toString()).arg(-u),
                                               QStringLiteral("pj:%1=%2").arg(sku).arg(u),
                                               QStringLiteral("parcel:%1=1").arg(sku)});
        const auto o = parcels::splitParcel(ctx, {p[0].toLongLong(), sku, carats(u), QString(), QString()});
        reason = o.message;
        return of(o);
    }

    Code printParcelMemo()
    {
        const QVariantList m = pick(QStringLiteral("SELECT ID FROM memoparcel WHERE IFNULL(closed, 0) = 0") + order());
        if (m.isEmpty())
            return refused(QStringLiteral("no open parcel memo"));
        const qint64 id = m[0].toLongLong();
        begin(QStringLiteral("print-parcel-memo"), {QStringLiteral("closed-pmemo:%1=1").arg(id)});
        const auto o = parcels::printParcelMemo(ctx, id, printing::PrintTarget::pdf(pdf(QStringLiteral("pmemo"))), false, false);
        reason = o.error;
        // Lines written by another workstation after the print's read keep
        // the memo open (the paper does not show them): its closing refused.
        return o.ok && o.error.isEmpty() ? Code::Done : Code::Refused;
    }

    static Code of(const payments::Outcome &o)
    {
        return o.state == payments::Outcome::Done     ? Code::Done
               : o.state == payments::Outcome::Failed ? Code::Failed
                                                      : Code::Refused;
    }
    static QString money(qint64 cents)
    {
        return QStringLiteral("%1%2.%3")
            .arg(cents < 0 ? QStringLiteral("-") : QString())
            .arg(std::abs(cents) / 100)
            .arg(std::abs(cents) % 100, 2, 10, QLatin1Char('0'));
    }

    // A payment received for a sold stone not paid off: part of what it
    // owes, now and then all of it, now and then more than it owes (asked
    // to be confirmed, which nobody does here: nothing is written).
    Code receivePayment()
    {
        // What it owes: its line's amount with its share of the tax.
        const QVariantList s = pick(QStringLiteral("SELECT s.ID, CAST(%1 + %2 - IFNULL((SELECT SUM(p.PaymentUS) FROM "
                                                   "PaymentReceived p WHERE p.StoneID = s.ID), 0) AS CHAR) FROM SingleStone "
                                                   "s JOIN invoicelist il ON il.diamondid = s.ID AND il.returned IS NULL "
                                                   "WHERE s.Status = 'Sold' AND IFNULL(s.StoneIsPaidOff, 0) = 0")
                                        .arg(db::dues::amountUS(QStringLiteral("il")), db::dues::taxUSOf(QStringLiteral("il")))
                                    + order());
        if (s.isEmpty())
            return refused(QStringLiteral("no sold stone left to pay"));
        const qint64 stone = s[0].toLongLong();
        const qint64 owed = Decimal5::fromDb(s[1]).units() / (Decimal5::kScale / 100);
        qint64 cents = owed <= 0 ? 100 : rnd.bounded(4) == 0 ? owed : units(owed);
        if (rnd.bounded(10) == 0)
            cents = std::max<qint64>(owed, 0) + 100;
        begin(QStringLiteral("receive-payment"),
              {QStringLiteral("paid:%1=%2").arg(stone).arg(cents), QStringLiteral("payments:%1=1").arg(stone)});
        payments::PaymentInput in;
        in.us = money(cents);
        in.reference = QStringLiteral("soak %1").arg(op);
        const payments::Outcome o = payments::receiveForStone(ctx, stone, in);
        reason = o.message;
        return of(o);
    }

    // A payment received reversed by its reversing row (a payment is
    // reversed once: a second workstation at the same moment is refused).
    Code reversePayment()
    {
        const QVariantList p = pick(QStringLiteral("SELECT p.ID, p.StoneID, CAST(p.PaymentUS AS CHAR) FROM PaymentReceived "
                                                   "p WHERE p.PaymentUS > 0 AND p.ReversesID IS NULL AND NOT EXISTS "
                                                   "(SELECT 1 FROM PaymentReceived r WHERE r.ReversesID = p.ID)")
                                    + order());
        if (p.isEmpty())
            return refused(QStringLiteral("no payment to reverse"));
        const qint64 stone = p[1].toLongLong();
        const qint64 cents = Decimal5::fromDb(p[2]).units() / (Decimal5::kScale / 100);
        begin(QStringLiteral("reverse-payment"),
              {QStringLiteral("paid:%1=%2").arg(stone).arg(-cents), QStringLiteral("payments:%1=1").arg(stone)});
        const payments::Outcome o = payments::reversePayment(ctx, payments::Side::Received, p[0].toLongLong());
        reason = o.message;
        return of(o);
    }

    Code gridImport()
    {
        begin(QStringLiteral("grid-import"), {});
        const pricing::GridImportRun r = pricing::importGridAndReprice(ctx, home);
        reason = r.ok() ? QString() : r.failureText();
        return r.ok() && r.stage == pricing::GridImportRun::Done ? Code::Done : Code::Failed;
    }

    Code runOne()
    {
        reason.clear();
        prompt.last.clear();
        struct Choice {
            int weight;
            Code (Station::*run)();
        };
        static const Choice choices[] = {
            {12, &Station::addStone},      {8, &Station::editStone},        {3, &Station::newMemoSheet},
            {14, &Station::putOnMemo},     {8, &Station::returnFromMemo},   {7, &Station::sellFromMemo},
            {6, &Station::sellDirect},     {4, &Station::printInvoice},     {2, &Station::printMemoSheet},
            {8, &Station::receiveParcel},  {8, &Station::parcelOut},        {5, &Station::parcelReturn},
            {4, &Station::parcelSell},     {3, &Station::split},            {2, &Station::printParcelMemo},
            {1, &Station::gridImport},     {5, &Station::receivePayment},   {2, &Station::reversePayment},
        };
        int total = 0;
        for (const Choice &c : choices)
            total += c.weight;
        int r = rnd.bounded(total);
        for (const Choice &c : choices) {
            if (r < c.weight)
                return (this->*c.run)();
            r -= c.weight;
        }
        return Code::Refused;
    }
    Code parcelReturn() { return parcelBack(false); }
    Code parcelSell() { return parcelBack(true); }
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QString socket, database, home;
    int number = 0;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--socket"))
            socket = args[i + 1];
        else if (args[i] == QLatin1String("--database"))
            database = args[i + 1];
        else if (args[i] == QLatin1String("--station"))
            number = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--home"))
            home = args[i + 1];
    }
    if (socket.isEmpty() || database.isEmpty() || home.isEmpty()) {
        std::fprintf(stderr, "usage: velmor-soakstation --socket S --database D --station N --home DIR\n");
        return 2;
    }
    QDir().mkpath(home);
    db::ConnectionSettings cs;
    cs.mode = db::Mode::Server;
    cs.socket = socket;
    cs.database = database;
    cs.sourceFile = QStringLiteral("(soak)");
    StationPrompt prompt;
    try {
        QSqlDatabase conn = db::openConnection(cs, QStringLiteral("soak"), false);
        AppContext ctx(Workstation(home, home), cs, &prompt);
        ctx.adopt(conn);
        GetConfigurationModule(ctx);
        QString user = QStringLiteral("admin"), password = QStringLiteral("secret");
        if (!login(ctx, user, password)) {
            say(QStringLiteral("X could not log in: ") + prompt.last);
            return 1;
        }
        ctx.exchangeRateCDN = 1.3571;
        ctx.exchangeRateZAR = 18.2213;
        // This week's grid, for the import.
        bench::PriceGrid(20261206u + quint32(number), QDate(2026, 11, 27)).writeFiles(home);
        Station st{ctx, prompt, number, home, QRandomGenerator(quint32(number)), 0, QString()};
        say(QStringLiteral("ready"));
        std::string line;
        while (std::getline(std::cin, line)) {
            const QStringList w = QString::fromStdString(line).split(QLatin1Char(' '), Qt::SkipEmptyParts);
            if (w.value(0) == QLatin1String("quit"))
                break;
            if (w.value(0) != QLatin1String("op") || w.size() < 3)
                continue;
            st.op = w[1].toLongLong();
            st.rnd.seed(w[2].toUInt());
            Code c = Code::Failed;
            try {
                c = st.runOne();
            } catch (const db::DbError &e) {
                st.reason = e.message();
            } catch (const std::exception &e) {
                st.reason = QString::fromLocal8Bit(e.what());
            }
            const QString why = QString(st.reason.isEmpty() ? prompt.last : st.reason).simplified();
            say(QStringLiteral("%1 %2 %3")
                    .arg(c == Code::Done ? QLatin1Char('D') : c == Code::Refused ? QLatin1Char('R') : QLatin1Char('F'))
                    .arg(st.op)
                    .arg(c == Code::Done ? QString() : why));
        }
    } catch (const db::DbError &e) {
        say(QStringLiteral("X ") + e.message().simplified());
        return 1;
    }
    return 0;
}
