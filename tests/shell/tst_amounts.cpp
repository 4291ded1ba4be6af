// One amount per thing, on every road: every document printed once with
// every rate known and once with each rate unknown (no converted amount of
// 0.00 anywhere, every refusal names the rate, nothing refused is closed);
// and the same stones priced on every road that works out a selling price.
#include "../printing/PrintTestKit.h"
#include "../stones/StoneTestEnv.h"
#include "PdfLayoutCheck.h"
#include "db/Sql.h"
#include "invoices/InvoicePrint.h"
#include "invoices/Posting.h"
#include "invoices/frmDiamondSell.h"
#include "memos/MemoMoves.h"
#include "memos/MemoPrint.h"
#include "memos/MemoReport.h"
#include "memos/MemoSheetView.h"
#include "parcels/ParcelMemo.h"
#include "parcels/ParcelMemoPrint.h"
#include "pricing/Repricing.h"
#include "stones/StoneRecord.h"
#include "stones/StoneRepair.h"
#include "stones/frmDiamondDetail.h"
#include "stones/frmItemDiamondSearch.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

using namespace velmor;
using velmor::test::StoneEnv;

namespace {

enum class Rates { Known, NoCDN, NoZAR };

// A dealer's books with one of everything, made while the rates were as
// given: a stone in stock, a memo sheet (one stone priced in the local
// currency by its price basis), an invoice of two sales, a parcel memo.
struct Books : StoneEnv {
    qint64 buyer = 0, sheet = 0, invoice = 0, parcelMemo = 0;
    bool made = true;
    explicit Books(Rates r)
    {
        ctx.settings.CompanyName = "Lumen Diamonds";
        ctx.user.ViewCost = true;
        ctx.user.set("AllowInvoiceView", true); // the print closes the open invoice
        ctx.exchangeRateCDN = r == Rates::NoCDN ? 0 : 1.38;
        ctx.exchangeRateZAR = r == Rates::NoZAR ? 0 : 18.5;
        buyer = customer("Brilliant & Co");
        // A taxed customer: no total on paper is a true 0.00.
        ctx.settings._tax[0] = 13;
        db::exec(t.db(), "UPDATE Customer SET _tax1=-1 WHERE ID=?", {buyer});
        stone("S1");
        sheet = db::insert(t.db(), "INSERT INTO memosheet (Date, CustomerID) VALUES (NOW(), ?)", {buyer});
        const qint64 m1 = stone("M1"), m2 = stone("M2");
        made = memos::putOnMemo(ctx, sheet, m1, "30", 7).ok() && memos::putOnMemo(ctx, sheet, m2, "30", 7).ok();
        db::exec(t.db(), "UPDATE SingleStone SET PaidOffPercentageLocal=-1, PaidOffUS=0, PaidOffPercentageUS=0, "
                         "MemoUS=NULL WHERE ID=?", {m2});
        for (const char *sku : {"V1", "V2"})
            made = made
                && invoices::sellStoneOnInvoice(ctx, stone(sku), buyer, "1.01", "3500").result
                       == invoices::SellResult::Done;
        invoice = value("SELECT MAX(ID) FROM invoice").toLongLong();
        const qint64 parcel = db::insert(t.db(), "INSERT INTO parcel (SKU, Shape, Carat, CaratLow, CaratHigh) VALUES "
                                                 "('P1', 'Round Brilliant [BR]', 10, 0.1, 0.2)");
        parcelMemo = parcels::putOnMemo(ctx, {parcel, buyer, "2", "400", parcels::LineChoice::NewLine}).id;
        made = made && parcelMemo > 0;
        prompt.clear();
    }
};

struct Printed {
    bool ok = false;
    QString said; // the refusal
    QString text; // the document's words
};

QString pdfWords(const QString &pdf) { return QFile::exists(pdf) ? test::pdfText(pdf).simplified() : QString(); }

} // namespace

class tst_amounts : public QObject {
    Q_OBJECT

private slots:
    void everyDocumentAtEveryRate_data();
    void everyDocumentAtEveryRate();
    void onePricePerStoneOnEveryRoad();
};

void tst_amounts::everyDocumentAtEveryRate_data()
{
    QTest::addColumn<int>("rates");
    QTest::addColumn<QString>("refusedWords"); // empty: every document prints
    QTest::addColumn<QStringList>("refused");   // the documents refused
    QTest::newRow("every rate known") << int(Rates::Known) << QString() << QStringList{};
    QTest::newRow("no CDN rate") << int(Rates::NoCDN) << "exchange rate to CDN"
                                 << QStringList{"invoice cdn", "memo sheet cdn", "parcel memo cdn", "search report",
                                                "fax list", "memo report", "memo report export"};
    QTest::newRow("no rand rate") << int(Rates::NoZAR) << "rand rate (ZAR)"
                                  << QStringList{"invoice zar", "memo sheet zar", "parcel memo zar"};
}

void tst_amounts::everyDocumentAtEveryRate()
{
    if (!test::haveTool("pdftotext"))
        QSKIP("pdftotext is not installed");
    QFETCH(int, rates);
    QFETCH(QString, refusedWords);
    QFETCH(QStringList, refused);
    Books b{Rates(rates)};
    QVERIFY2(b.made, qPrintable(b.prompt.messages().join('\n')));
    QMap<QString, Printed> docs;
    auto pdf = [&](const QString &name) { return b.dir.filePath(QString(name).replace(' ', '-') + ".pdf"); };
    auto lastSaid = [&] { return b.prompt.messages().isEmpty() ? QString() : b.prompt.messages().last(); };

    for (auto c : {invoices::Currency::US, invoices::Currency::CDN, invoices::Currency::ZAR}) {
        const QString name = "invoice " + invoices::currencyWord(c);
        invoices::InvoicePrintOptions o;
        o.currency = c;
        const invoices::InvoicePrinted r = invoices::printInvoice(b.ctx, b.invoice, printing::PrintTarget::pdf(pdf(name)), o);
        docs[name] = {r.printed, r.error, pdfWords(pdf(name))};
        // A refused print leaves the invoice open; the first print closes it.
        QCOMPARE(b.value("SELECT status FROM invoice WHERE ID=?", {b.invoice}).toString(),
                 r.printed || docs.value("invoice us").ok ? QString("closed") : QString("open"));
    }
    for (const bool zar : {false, true}) {
        const QString name = zar ? "memo sheet zar" : "memo sheet cdn";
        memos::MemoPrintRequest r;
        r.memoSheetId = b.sheet;
        r.cdn = !zar;
        r.zar = zar;
        const printing::PrintOutcome o = memos::printMemoSheet(b.ctx, r, printing::PrintTarget::pdf(pdf(name)));
        docs[name] = {o.ok, o.error, pdfWords(pdf(name))};
    }
    for (const bool zar : {false, true}) {
        const QString name = zar ? "parcel memo zar" : "parcel memo cdn";
        const printing::PrintOutcome o =
            parcels::printParcelMemo(b.ctx, b.parcelMemo, printing::PrintTarget::pdf(pdf(name)), !zar, zar);
        docs[name] = {o.ok, o.error, pdfWords(pdf(name))};
        QCOMPARE(parcels::loadParcelMemo(b.t.db(), b.parcelMemo)->closed, o.ok || docs.value("parcel memo cdn").ok);
    }
    {
        ui::frmItemDiamondSearch s(b.ctx);
        s.search();
        b.prompt.clear();
        const bool ok = s.printReport(false, stones::PrintPreferences{true, true, true, true},
                                      printing::PrintTarget::pdf(pdf("search report")));
        docs["search report"] = {ok, ok ? QString() : lastSaid(), pdfWords(pdf("search report"))};
        b.prompt.clear();
        QFile::remove(b.ctx.workstation.path("fax.txt"));
        const bool faxed = s.writeFaxList();
        QFile fax(b.ctx.workstation.path("fax.txt"));
        docs["fax list"] = {faxed, faxed ? QString() : lastSaid(),
                            fax.open(QIODevice::ReadOnly) ? QString::fromUtf8(fax.readAll()).simplified() : QString()};
    }
    {
        const memos::Report r = memos::runReport(b.ctx, {});
        b.prompt.clear();
        const printing::PrintOutcome o = memos::printReport(b.ctx, r, printing::PrintTarget::pdf(pdf("memo report")));
        docs["memo report"] = {o.ok, o.error, pdfWords(pdf("memo report"))};
        const QString error = memos::exportReport(r, b.dir.filePath("report.csv"));
        QFile csv(b.dir.filePath("report.csv"));
        docs["memo report export"] = {error.isEmpty(), error,
                                      csv.open(QIODevice::ReadOnly) ? QString::fromUtf8(csv.readAll()) : QString()};
    }

    // A converted amount of 0.00 is printed nowhere, in any currency word.
    static const QRegularExpression zero(QStringLiteral("(CDN|ZAR|\\$)\\s*(/ct:|/Stone:)?\\s*0\\.00\\b"));
    for (auto it = docs.cbegin(); it != docs.cend(); ++it) {
        const QString &name = it.key();
        const Printed &p = it.value();
        if (refused.contains(name)) {
            QVERIFY2(!p.ok, qPrintable(name + " was printed"));
            QVERIFY2(p.said.contains(refusedWords), qPrintable(name + ": " + p.said));
            QVERIFY2(!QFile::exists(pdf(name)), qPrintable(name + ": a file was left"));
            continue;
        }
        QVERIFY2(p.ok, qPrintable(name + ": " + p.said));
        QVERIFY2(!zero.match(p.text).hasMatch(), qPrintable(name + ": " + zero.match(p.text).captured(0)));
        if (QFile::exists(pdf(name)))
            VELMOR_VERIFY_PDF_LAYOUT(pdf(name));
    }
    if (Rates(rates) == Rates::Known) {
        // At known rates the converted amounts are there, to the cent.
        QVERIFY2(docs["invoice cdn"].text.contains("4,878.30") && docs["invoice cdn"].text.contains("CDN 9,756.60"), qPrintable(docs["invoice cdn"].text));
        QVERIFY2(docs["parcel memo zar"].text.contains("~ZAR 14,800.00"), qPrintable(docs["parcel memo zar"].text));
        QVERIFY2(docs["fax list"].text.contains("CDN /Stone: 4,878.30"), qPrintable(docs["fax list"].text));
    }
}

// List price 4,150 at 33 % off a 1.01 ct stone: 2,780.50 per carat and
// 2,808.31 per stone, whichever road works the price out, the setting "Round
// selling prices to 5" unticked (then 2,780.00 and 2,807.80 ticked).
void tst_amounts::onePricePerStoneOnEveryRoad()
{
    for (const bool fives : {false, true}) {
        StoneEnv e;
        e.ctx.settings.PriceRound = fives ? 5 : 1;
        const QString perStone = fives ? "2807.80" : "2808.31";
        const qint64 c = e.customer("Road Test");
        QMap<QString, QString> price;
        auto stored = [&](qint64 id) {
            return Decimal5::fromDb(e.value("SELECT CAST(SellPriceUS AS CHAR) FROM SingleStone WHERE ID=?", {id})).fixed(2);
        };
        auto fresh = [&](const QString &sku) {
            return db::insert(e.t.db(),
                              "INSERT INTO SingleStone (SKU, Shape, Carat, Colour, Clarity, RapaportPrice, SellOffRap, "
                              "LockPercent, LockPercentlx, Status) VALUES (?, 'Round Brilliant [BR]', 1.01, 20, 40, "
                              "4150, 33, -1, -1, 'Stock')",
                              {sku});
        };
        // The stone screen: the discount typed, the stone saved.
        {
            ui::frmDiamondDetail s(e.ctx);
            s.show();
            QTRY_VERIFY(s.startUpDone());
            const qint64 id = fresh("SCREEN");
            s.loadStone(int(id));
            QTest::mouseClick(s.findChild<QPushButton *>("cmdEditDiamond"), Qt::LeftButton);
            auto *off = s.findChild<QLineEdit *>("txtSellOffRap");
            off->selectAll();
            QTest::keyClicks(off, "33");
            price["screen"] = s.findChild<QLineEdit *>("txtSellPrice")->text();
            e.prompt.answers({true, true, true});
            QTest::mouseClick(s.findChild<QPushButton *>("cmdUpdate"), Qt::LeftButton);
            price["screen, saved"] = stored(id);
        }
        // The opening repair, both ways.
        const qint64 repaired = fresh("REPAIR"), literal = fresh("LITERAL");
        stones::repairOnOpen(e.ctx);
        price["repair"] = stored(repaired);
        db::exec(e.t.db(), "UPDATE SingleStone SET SellPriceUS=NULL WHERE ID=?", {literal});
        stones::repairLiteral(e.ctx);
        price["repair, row by row"] = stored(literal);
        // The re-pricing of the grid import, set-based and row by row, with
        // the grid's list price of the stone.
        db::exec(e.t.db(), "INSERT INTO raplist (Shape, Colour, Clarity, LowCarat, HighCarat, Price, `Date`) "
                           "VALUES ('BR', 'E', 'VS1', 1.00, 1.49, 4150, '2026-11-27')");
        const qint64 repriced = fresh("REPRICE");
        pricing::repriceAll(e.ctx);
        price["re-pricing"] = stored(repriced);
        db::exec(e.t.db(), "UPDATE SingleStone SET SellPriceUS=NULL WHERE ID=?", {repriced});
        pricing::repriceAllLiteral(e.ctx);
        price["re-pricing, row by row"] = stored(repriced);
        // The sell dialog, the discount typed.
        {
            invoices::frmDiamondSell d(e.ctx, fresh("SELL"));
            auto *off = d.findChild<QLineEdit *>("txtRapDiscount");
            off->selectAll();
            QTest::keyClicks(off, "33");
            price["sell dialog"] = d.txtUSstone->text();
        }
        // The memo screens: a stone put on memo at the discount, its price on
        // the sheet, on the paper's row and on the invoice of the sale.
        const qint64 sheet = db::insert(e.t.db(), "INSERT INTO memosheet (Date, CustomerID) VALUES (NOW(), ?)", {c});
        const qint64 onMemo = fresh("MEMO");
        QVERIFY(memos::putOnMemo(e.ctx, sheet, onMemo, "33", 7).ok());
        price["memo sheet"] = memos::loadMemoSheet(e.ctx, sheet).lines.value(0).stonePrice.remove(',');
        QVERIFY(memos::sellAll(e.ctx, sheet).ok());
        price["memo sale, invoiced"] =
            e.value("SELECT CAST(ROUND(pricecarat * carat, 2) AS CHAR) FROM invoicelist WHERE diamondid=?", {onMemo})
                .toString();

        for (auto it = price.cbegin(); it != price.cend(); ++it)
            QVERIFY2(it.value() == perStone,
                     qPrintable(QString("%1 %2: %3, not %4").arg(fives ? "fives" : "cents", it.key(), it.value(), perStone)));
    }
}

QTEST_MAIN(tst_amounts)
#include "tst_amounts.moc"
