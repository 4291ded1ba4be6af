// A year-end count on the screens: 500 stones in the safe and 20 parcels.
// The stone papers are printed by Velmor and their Code 39 barcodes read
// back from the PDF (pdftoppm + zbarimg); half the codes come through the
// serial scanner of the main menu (a pseudo-terminal), half through the
// count's box as a keyboard-wedge scanner types them.  Seven stones are
// missing, three stones on memo are scanned by mistake, two are scanned
// twice and one foreign code is scanned; the closing lists exactly those,
// on the screen, in the PDF and in the CSV.
#include "../printing/PrintTestKit.h"
#include "PdfLayoutCheck.h"
#include "ScriptedPrompt.h"
#include "TestDb.h"

#include "TestUsers.h"
#include "core/AppContext.h"
#include "core/Users.h"
#include "db/Sql.h"
#include "printing/DiamondPaper.h"
#include "printing/PrintJob.h"
#include "shell/widgets/StartupFlow.h"
#include "stones/ScanJournal.h"
#include "stones/StockCount.h"
#include "stones/StonePrintout.h"
#include "stones/frmStockCount.h"
#include "stones/frmStockCountReport.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <set>

using namespace velmor;
using velmor::test::ScriptedPrompt;
using velmor::test::TestDb;

namespace {

constexpr int kStones = 500;
constexpr int kParcels = 20;

QString sku(int i) { return QStringLiteral("YE-%1").arg(i, 4, 10, QLatin1Char('0')); }

template <typename T> T *ctl(QObject *w, const char *name)
{
    T *c = w ? w->findChild<T *>(QLatin1String(name)) : nullptr;
    if (!c)
        qWarning("no control %s", name);
    return c;
}

} // namespace

class TestStockCountDay : public QObject {
    Q_OBJECT
private slots:
    void countTheSafe();
    void screenTakesUpWhatWaits();
};

void TestStockCountDay::countTheSafe()
{
    for (const char *tool : {"pdftoppm", "zbarimg", "pdftotext", "socat"})
        if (!test::haveTool(QString::fromLatin1(tool)))
            QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(QLatin1String(tool))));
    qputenv("VELMOR_NO_SPLASH_PAUSE", "1");
    test::PtyPair pty;
    QVERIFY(pty.start());
    TestDb t;
    QTemporaryDir home, work;
    // The scanner on the pseudo-terminal, as the label printer's set-up writes it.
    {
        QFile ini(QDir(home.path()).filePath("labelprinter.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("0\r\n0\r\n0\r\n%1\r\n").arg(pty.a).toUtf8());
    }
    ScriptedPrompt prompt;
    AppContext ctx(Workstation(home.path(), home.path()), t.settings(), &prompt);
    ctx.adopt(t.db());

    // The books: 500 stones in the safe, 3 on memo, 2 sold, 20 parcels.
    const QSqlDatabase db = t.db();
    const qint64 lumen = db::insert(db, "INSERT INTO Customer (CompanyName, Customer, Supplier) VALUES ('Lumen Jewellers', -1, 0)");
    const qint64 sheet = db::insert(db, "INSERT INTO memosheet (Date, CustomerID) VALUES (NOW(), ?)", {lumen});
    QStringList values;
    for (int i = 1; i <= kStones; ++i)
        values << QStringLiteral("('%1', 'Round Brilliant [BR]', %2, 20, 40, 'GIA', 'C%1', %3, 30, 1000, -1, 'Stock', 'Safe', "
                                 "%4, 0)")
                      .arg(sku(i))
                      .arg(0.30 + (i % 50) * 0.01, 0, 'f', 2)
                      .arg(4000 + i)
                      .arg(1500 + i);
    for (int i = 1; i <= 3; ++i)
        values << QStringLiteral("('YM-%1', 'Pear [PS]', 0.50, 30, 50, 'GIA', 'M%1', 3000, 30, 1000, -1, 'Memo', 'Safe', 800, 0)")
                      .arg(i);
    for (int i = 1; i <= 2; ++i)
        values << QStringLiteral("('YS-%1', 'Pear [PS]', 0.50, 30, 50, 'GIA', 'S%1', 3000, 30, 1000, -1, 'Sold', 'Safe', 800, 0)")
                      .arg(i);
    db::exec(db, "INSERT INTO SingleStone (SKU, Shape, Carat, Colour, Clarity, Laboratory, Certificate, RapaportPrice, "
                 "SellOffRap, SellPriceUS, LockPercent, Status, Location, BoughtPriceUS, Canadian) VALUES "
                 + values.join(", "));
    db::exec(db, "UPDATE SingleStone SET CustomerID = ?, MemoSheetID = ? WHERE SKU LIKE 'YM-%'", {lumen, sheet});
    QMap<QString, qint64> ids;
    QSqlQuery q = db::exec(db, "SELECT SKU, ID FROM SingleStone");
    while (q.next())
        ids.insert(q.value(0).toString(), q.value(1).toLongLong());
    for (int i = 1; i <= kParcels; ++i)
        db::exec(db, "INSERT INTO parcel (SKU, Shape, Carat) VALUES (?, 'Round Brilliant [BR]', ?)",
                 {QStringLiteral("PY-%1").arg(i, 2, 10, QLatin1Char('0')), QStringLiteral("%1.25").arg(10 + i)});

    const std::set<int> missing = {7, 77, 154, 231, 308, 385, 462};
    const QStringList memoScanned = {"YM-1", "YM-2", "YM-3"};
    const QStringList twice = {sku(10), sku(300)};
    const QString foreign = QStringLiteral("FOREIGN-7781");

    // The program as the dealer starts it, logged on.
    ui::StartupFlow flow(ctx);
    QSignalSpy done(&flow, &ui::StartupFlow::finished);
    flow.start();
    QVERIFY(done.count() > 0 || done.wait(30000));
    QVERIFY(flow.front());
    QTRY_VERIFY(flow.front()->scannerOpen());
    QString user = "user", password = test::kAdminPassword;
    if (noUserYet(ctx.db()))
        test::addAdministrator(ctx.db());
    QVERIFY(login(ctx, user, password));

    // The stone papers of every stone that will be scanned, twelve to a page.
    QList<printing::DiamondPaper> papers;
    for (int i = 1; i <= kStones; ++i)
        if (!missing.count(i)) {
            printing::DiamondPaper p;
            QVERIFY(stones::stonePaper(ctx, ids.value(sku(i)), p));
            papers << p;
        }
    for (const QString &m : memoScanned) {
        printing::DiamondPaper p;
        QVERIFY(stones::stonePaper(ctx, ids.value(m), p));
        papers << p;
    }
    const QString papersPdf = work.filePath("papers.pdf");
    const printing::PrintOutcome printed = printing::printDocument(
        printing::PrintTarget::pdf(papersPdf), [&](printing::PrintSurface &s, QString *error) {
            for (int i = 0; i < papers.size(); ++i) {
                if (i > 0 && i % 12 == 0)
                    s.newPage();
                printing::DiamondPaper p = papers.at(i);
                p.left = 300 + (i % 3) * 4900;
                p.top = 300 + ((i % 12) / 3) * 2750;
                if (!printing::PrintDiamondPaperModule(s, p, false, error))
                    return false;
            }
            return true;
        });
    QVERIFY2(printed.ok, qPrintable(printed.error));
    // Read back as a scanner would: the pages as pictures, the symbols found
    // on them (two processes of each tool, one per half of the pages).
    const int pageCount = (int(papers.size()) + 11) / 12;
    QList<QProcess *> raster;
    for (int half = 0; half < 2; ++half) {
        auto *p = new QProcess(this);
        p->start("pdftoppm", {"-r", "100", "-gray", "-png", "-f", QString::number(half ? pageCount / 2 + 1 : 1), "-l",
                              QString::number(half ? pageCount : pageCount / 2), papersPdf,
                              work.filePath(half ? "b" : "a")});
        raster << p;
    }
    for (QProcess *p : raster)
        QVERIFY(p->waitForFinished(120000) && p->exitCode() == 0);
    QStringList decoded;
    QList<QProcess *> readers;
    for (const char *half : {"a*.png", "b*.png"}) {
        QStringList files = QDir(work.path()).entryList({QString::fromLatin1(half)}, QDir::Files, QDir::Name);
        for (QString &f : files)
            f = work.filePath(f);
        QVERIFY(!files.isEmpty());
        auto *p = new QProcess(this);
        p->start("zbarimg", QStringList{"--raw", "-q", "-Sdisable", "-Scode39.enable", "-Scode39.min-length=1"} + files);
        readers << p;
    }
    for (QProcess *p : readers) {
        QVERIFY(p->waitForFinished(120000));
        decoded << QString::fromUtf8(p->readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    }
    QStringList wanted;
    for (const printing::DiamondPaper &p : papers)
        wanted << printing::paperBarcodeText(p.id);
    QStringList sortedDecoded = decoded, sortedWanted = wanted;
    sortedDecoded.sort();
    sortedWanted.sort();
    QCOMPARE(sortedDecoded, sortedWanted);

    // The count screen from the main menu; a new count of the safe.
    QTest::mouseClick(ctl<QPushButton>(flow.front(), "cmdStockCount"), Qt::LeftButton);
    auto *count = qobject_cast<ui::frmStockCount *>(flow.stockCountScreen());
    QVERIFY(count && count->isVisible());
    QTest::keyClicks(count->txtName, "Year end");
    QTest::keyClicks(count->txtLocation, "Safe");
    QTest::mouseClick(count->cmdStart, Qt::LeftButton);
    QVERIFY2(prompt.messages().isEmpty(), qPrintable(prompt.messages().join("|")));
    QVERIFY(count->countId() > 0);
    QTRY_COMPARE(count->lblExpected->text(), QString::number(kStones));

    // Half the labels through the serial scanner, in bursts as a scanner
    // sends them; while the screen is open a scan opens no stone.
    QSerialPort scanner;
    scanner.setPortName(pty.b);
    scanner.setBaudRate(QSerialPort::Baud9600);
    QVERIFY(scanner.open(QIODevice::WriteOnly));
    const int half = int(decoded.size()) / 2;
    QByteArray burst;
    for (int i = 0; i < half; ++i) {
        burst += decoded.at(i).toLatin1() + "\r\n";
        if (i % 25 == 24 || i == half - 1) {
            scanner.write(burst);
            QVERIFY(scanner.waitForBytesWritten(5000));
            burst.clear();
            QTest::qWait(50);
        }
    }
    scanner.write(QByteArray::number(ids.value(twice.at(0))) + "01\r\n");
    QVERIFY(scanner.waitForBytesWritten(5000));
    QTRY_COMPARE_WITH_TIMEOUT(db::scalar(db, "SELECT COUNT(*) FROM stockcountscan").toInt(), half + 1, 30000);
    QCOMPARE(ctl<QLineEdit>(flow.stone(), "txtID")->text(), QString());
    // The other half typed by a keyboard-wedge scanner into the box, Enter after each.
    for (int i = half; i < decoded.size(); ++i) {
        QTest::keyClicks(count->txtScan, decoded.at(i));
        QTest::keyClick(count->txtScan, Qt::Key_Return);
    }
    QTest::keyClicks(count->txtScan, QString::number(ids.value(twice.at(1))) + "01");
    QTest::keyClick(count->txtScan, Qt::Key_Return);
    QTest::keyClicks(count->txtScan, foreign);
    QTest::keyClick(count->txtScan, Qt::Key_Return);
    QTRY_COMPARE(count->lblFound->text(), QString::number(kStones - 7));
    QTRY_COMPARE(count->lblUnexpected->text(), "3");
    QTRY_COMPARE(count->lblTwice->text(), "2");
    QTRY_COMPARE(count->lblUnknown->text(), "1");
    QCOMPARE(count->grdScans->item(0, 1)->text(), foreign);
    QCOMPARE(count->waitingScans(), 0);

    // The parcels weighed: two beyond the tolerance, one just within.
    for (int i = 1; i <= kParcels; ++i) {
        QString weighed = QStringLiteral("%1.25").arg(10 + i);
        if (i == 4)
            weighed = "14.20";
        else if (i == 9)
            weighed = "19.35";
        else if (i == 15)
            weighed = "25.255";
        count->txtParcelSKU->setText(QStringLiteral("PY-%1").arg(i, 2, 10, QLatin1Char('0')));
        count->txtWeighed->setText(weighed);
        QTest::mouseClick(count->cmdWeigh, Qt::LeftButton);
    }
    QVERIFY2(prompt.messages().isEmpty(), qPrintable(prompt.messages().join("|")));

    // Closing: the report screen lists exactly what is wrong.
    prompt.answer(true);
    QTest::mouseClick(count->cmdCloseCount, Qt::LeftButton);
    ui::frmStockCountReport *report = nullptr;
    QTRY_VERIFY((report = count->findChild<ui::frmStockCountReport *>()) != nullptr);
    QStringList missingSkus;
    for (int i : missing)
        missingSkus << sku(i);
    auto column = [](const QList<QStringList> &rows, int c) {
        QStringList out;
        for (const QStringList &r : rows)
            out << r.value(c);
        return out;
    };
    QCOMPARE(column(report->rowsOf("grdMissing"), 0), missingSkus);
    QCOMPARE(column(report->rowsOf("grdUnexpected"), 0), memoScanned);
    for (const QStringList &r : report->rowsOf("grdUnexpected"))
        QCOMPARE(r.value(3), QStringLiteral("on memo with Lumen Jewellers (memo sheet %1)").arg(sheet));
    QCOMPARE(column(report->rowsOf("grdTwice"), 0), twice);
    QCOMPARE(column(report->rowsOf("grdUnknown"), 0), QStringList{foreign});
    QVERIFY(report->rowsOf("grdLeft").isEmpty());
    QStringList beyond;
    for (const QStringList &r : report->rowsOf("grdParcels"))
        if (r.value(5) == QLatin1String("beyond tolerance"))
            beyond << r.value(0) + " " + r.value(4);
    QCOMPARE(beyond, (QStringList{"PY-04 -0.05", "PY-09 0.10"}));
    // The missing stones' list value and cost (the first user may see costs).
    Decimal5 value, cost;
    for (int i : missing) {
        value += Decimal5::whole(4000 + i).times(*Decimal5::parse(QString::number(0.30 + (i % 50) * 0.01, 'f', 2))).rounded(2);
        cost += Decimal5::whole(1500 + i);
    }
    QCOMPARE(cost.grouped2(), QStringLiteral("12,124.00"));
    QVERIFY2(report->lblSummary->text().contains(
                 QStringLiteral("Missing: 7 stones, list value US$ %1, cost US$ %2").arg(value.grouped2(), cost.grouped2())),
             qPrintable(report->lblSummary->text()));

    // The same on paper and in the spreadsheet.
    report->txtFile->setText(work.filePath("count.pdf"));
    QTest::mouseClick(report->cmdPdf, Qt::LeftButton);
    VELMOR_VERIFY_PDF_LAYOUT(work.filePath("count.pdf"));
    const QString words = test::pdfWordText(work.filePath("count.pdf"));
    for (const QString &s : missingSkus + memoScanned + twice + QStringList{foreign, "PY-04", "PY-09"})
        QVERIFY2(words.contains(s), qPrintable(s));
    for (int i : {1, 250, 499})
        QVERIFY2(!words.contains(sku(i)), qPrintable(sku(i) + " was found and is not listed"));
    report->txtFile->setText(work.filePath("count.csv"));
    QTest::mouseClick(report->cmdCsv, Qt::LeftButton);
    QFile csv(work.filePath("count.csv"));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    QMap<QString, QStringList> sections;
    for (const QByteArray &line : csv.readAll().split('\n').mid(1)) {
        const QStringList cells = QString::fromUtf8(line).split(',');
        if (cells.size() > 2)
            sections[cells.at(0)] << cells.at(2);
    }
    QCOMPARE(sections.value("missing"), missingSkus);
    QCOMPARE(sections.value("unexpected"), memoScanned);
    QCOMPARE(sections.value("scanned twice"), twice);
    QCOMPARE(sections.value("unknown code"), QStringList{foreign});
    QCOMPARE(sections.value("parcel").size(), kParcels);
    QVERIFY(!sections.contains("left stock"));

    // The closed count reads the same on the command line's road, and no
    // stone was changed by the closing.
    QCOMPARE(db::scalar(db, "SELECT COUNT(*) FROM SingleStone WHERE Status = 'Stock'").toInt(), kStones);
    report->close();
    count->close();
    // With the count screen closed a scan opens the stone again.
    QTRY_VERIFY(!flow.stockCountScreen());
    scanner.write(QByteArray::number(ids.value(sku(1))) + "01\r\n");
    QVERIFY(scanner.waitForBytesWritten(5000));
    QTRY_COMPARE(ctl<QLineEdit>(flow.stone(), "txtID")->text(), QString::number(ids.value(sku(1))));
    QCOMPARE(db::scalar(db, "SELECT COUNT(*) FROM stockcountscan").toInt(), kStones - 7 + 3 + 2 + 1);
}

// A workstation killed with scans told and not written: the count screen,
// opened again, takes up the count and sends them; logged off, it takes no
// scan.
void TestStockCountDay::screenTakesUpWhatWaits()
{
    TestDb t;
    QTemporaryDir home;
    ScriptedPrompt prompt;
    AppContext ctx(Workstation(home.path(), home.path()), t.settings(), &prompt);
    ctx.adopt(t.db());
    ctx.user.ID = 3;
    ctx.user.AllowEdit = true;
    QList<qint64> ids;
    for (const char *s : {"W-1", "W-2", "W-3"})
        ids << db::insert(t.db(), "INSERT INTO SingleStone (SKU, Shape, Carat, Status) VALUES (?, 'Pear [PS]', 1, 'Stock')",
                          {QString::fromLatin1(s)});
    const stones::CountOutcome c = stones::startCount(ctx, "Left open", {});
    QVERIFY(c.ok);
    QVERIFY(ctx.workstation.writeLines("stockcount.ini", {QString::number(c.id)}));
    stones::ScanJournal journal(ctx.workstation);
    journal.tell(c.id, QString::number(ids.at(0)) + "01", "serial");
    journal.tell(c.id, "W-2", "keyboard");

    ui::frmStockCount w(ctx);
    QCOMPARE(w.countId(), c.id);
    QTRY_COMPARE(w.lblFound->text(), QStringLiteral("2"));
    QCOMPARE(w.waitingScans(), 0);
    QCOMPARE(db::scalar(t.db(), "SELECT COUNT(*) FROM stockcountscan WHERE UserID = 3").toInt(), 2);

    ResetUserRightsModule(ctx);
    QVERIFY(!w.txtScan->isEnabled());
    QVERIFY(!w.cmdCloseCount->isEnabled());
    w.scanned("W-3", "serial");
    QCOMPARE(w.lblLastScan->text(), QStringLiteral("Please log on first. W-3 was not written."));
    QCOMPARE(w.waitingScans(), 0);
    QCOMPARE(db::scalar(t.db(), "SELECT COUNT(*) FROM stockcountscan").toInt(), 2);
}

QTEST_MAIN(TestStockCountDay)
#include "tst_stockcountday.moc"
