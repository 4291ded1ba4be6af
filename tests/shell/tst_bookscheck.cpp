// The books check: a small set of books that agree with themselves, spoilt
// one way per rule; the generated dealer data; the command line's exit codes,
// list and CSV; and that checking changes nothing.
#include "ScriptedPrompt.h"
#include "TestDb.h"
#include "core/AppContext.h"
#include "db/Schema.h"
#include "db/Sql.h"
#include "shell/BooksCheck.h"
#include "shell/frmBooksCheck.h"
#include "shell/frmFront.h"

#ifdef VELMOR_HAVE_BENCHDATA
#include "DealerData.h"
#endif

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QTreeWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace velmor;

namespace {

// Books that agree: stones in stock, on memo, sold directly and from memo,
// returned to the vendor; a parcel received, on memo and partly sold; a
// parcel split in two.
void writeWholeBooks(const QSqlDatabase &db)
{
    const QStringList sql = {
        "INSERT INTO Customer (ID, CompanyName, Customer) VALUES (1, 'Alpha Jewels', -1), (2, 'Beta Rings', -1), "
        "(3, 'Rough Supplier', 0)",
        "INSERT INTO memosheet (ID, Date, CustomerID, closed) VALUES (1, NOW() - INTERVAL 3 HOUR, 1, 0)",
        // 1 in stock; 2 on memo; 3 sold directly (its certificate is also on
        // stone 1: a sold stone does not count); 4 sold from memo; 5 out on
        // memo, back, then returned to its vendor.
        "INSERT INTO SingleStone (ID, SKU, Status, Laboratory, Certificate, Carat, CustomerID, MemoSheetID, "
        "bought_exchangerateCDN) VALUES "
        "(1, 'A1', 'Stock', 'GIA', '111', 1.01, NULL, NULL, 1.3512), "
        "(2, 'A2', 'Memo', 'GIA', '222', 0.9, 1, 1, NULL), "
        "(3, 'A3', 'Sold', 'GIA', '111', 1.5, 2, NULL, 1.36), "
        "(4, 'A4', 'Sold', 'HRD', '444', 0.7, 1, NULL, NULL), "
        "(5, 'A5', 'returned', 'IGI', '555', 0.5, NULL, NULL, NULL)",
        "INSERT INTO Memo (ID, setdate, CustomerID, DiamondID, Quantity, MemoSheetID) VALUES "
        "(1, NOW() - INTERVAL 2 HOUR, 1, 4, 1, 1), (2, NOW() - INTERVAL 2 HOUR, 1, 2, 1, 1), "
        "(3, NOW() - INTERVAL 2 HOUR, 1, 5, 1, 1), (4, NOW() - INTERVAL 1 HOUR, 1, 5, -1, 1)",
        "INSERT INTO invoice (ID, customerid, datecreated, status) VALUES (1, 2, NOW(), 'open'), "
        "(2, 1, NOW(), 'closed'), (3, 1, NOW(), 'open')",
        "INSERT INTO invoicelist (ID, invoiceid, diamondid, parcelid, carat, dateadded, pricecarat, exchangerateCDN, "
        "exchangerateZAR, taxrate) VALUES (1, 1, 3, NULL, 1.5, NOW(), 5000, 1.35, 18.2, 0), "
        "(2, 2, 4, NULL, 0.7, NOW() - INTERVAL 1 HOUR, 3000, 1.35, 18.2, 0), "
        "(3, 3, NULL, 1, 1, NOW(), 250, 1.35, 18.2, 0), "
        "(4, 3, NULL, NULL, 1, NOW(), 80, NULL, NULL, 0)",
        // Parcel 1: 10 ct received, 3 ct out on memo, 1 ct of them sold:
        // 7 on hand + 2 on memo = 10 - 1.
        "INSERT INTO parcel (ID, SKU, Carat) VALUES (1, 'P1', 7), (2, 'P2', 4.25), (3, 'P3', 1.75)",
        "INSERT INTO parceladd (parcelid, Carat, supplierid, costusct, date) VALUES (1, 10, 3, 100, NOW()), "
        "(2, 6, 3, 90, NOW()), (2, -1.75, NULL, 90, NOW()), (3, 1.75, NULL, 90, NOW())",
        "INSERT INTO memoparcel (ID, Date, CustomerID, closed) VALUES (1, NOW(), 1, 0)",
        "INSERT INTO memoparcellist (memoparcelid, parcelid, carat, action, pricecarat, exchangerateCDN, "
        "exchangerateZAR, date) VALUES (1, 1, 3, 'memo-out', 250, 1.35, 18.2, NOW()), "
        "(1, 1, -1, 'sell', 250, 1.35, 18.2, NOW())",
        // Payments: stone 4 paid in full (2,100.00), stone 3 in part with a
        // payment and its reversal; stone 1 consigned in at 1,000.00 with a
        // payment made towards it.
        "INSERT INTO PaymentReceived (ID, Date, PaymentUS, PaymentLocal, StoneID, CustomerID, ReversesID) VALUES "
        "(1, NOW(), 2100, 2835, 4, 1, NULL), (2, NOW(), 1000, 1350, 3, 2, NULL), (3, NOW(), 500, 675, 3, 2, NULL), "
        "(4, NOW(), -500, -675, 3, 2, 3)",
        "UPDATE SingleStone SET StoneIsPaidOff = -1 WHERE ID = 4",
        "UPDATE SingleStone SET ConsignmentInCustomerID = 3, BoughtPriceUS = 1000, BuyingInUS = -1, "
        "MemoInPaymentMade = -1 WHERE ID = 1",
        "INSERT INTO PaymentMade (ID, Date, PaymentUS, PaymentLocal, StoneID, CustomerID) VALUES "
        "(1, NOW(), 0, 0, 1, 3), (2, NOW(), 400, 540, 1, 3)",
    };
    for (const QString &s : sql)
        db::exec(db, s);
}

QStringList rulesFound(const books::Report &r)
{
    QStringList keys;
    for (const books::RuleResult &res : r.results)
        if (!res.clean())
            keys << res.rule.key;
    return keys;
}

const books::RuleResult *resultOf(const books::Report &r, const QString &key)
{
    for (const books::RuleResult &res : r.results)
        if (res.rule.key == key)
            return &res;
    return nullptr;
}

// Every table's checksum: what "changes nothing" compares.
QString checksums(const QSqlDatabase &db)
{
    QString all;
    for (const QString &t : db::tableNames(db)) {
        QSqlQuery q = db::exec(db, QStringLiteral("CHECKSUM TABLE `%1`").arg(t));
        if (q.next())
            all += t + QLatin1Char('=') + q.value(1).toString() + QLatin1Char(';');
    }
    return all;
}

} // namespace

class tst_bookscheck : public QObject {
    Q_OBJECT

private slots:
    void wholeBooksAreClean()
    {
        test::TestDb t;
        writeWholeBooks(t.db());
        const books::Report r = books::checkBooks(t.db());
        QVERIFY2(r.whole() && r.warnings() == 0, qPrintable(books::reportText(r)));
        QCOMPARE(r.results.size(), books::rules().size());
    }

    void eachRuleFindsItsFault_data()
    {
        QTest::addColumn<QStringList>("spoil");
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("firstCell"); // of the row the rule must list
        QTest::addColumn<bool>("error");        // an error (exit 1), not only a warning

        QTest::newRow("memo stone on a sheet that is gone")
            << QStringList{"UPDATE SingleStone SET MemoSheetID = 99 WHERE ID = 2"} << "memo-stone-sheet" << "2" << true;
        QTest::newRow("memo stone with no sheet at all")
            << QStringList{"UPDATE SingleStone SET MemoSheetID = NULL WHERE ID = 2"} << "memo-stone-sheet" << "2"
            << true;
        QTest::newRow("memo stone with another customer")
            << QStringList{"UPDATE SingleStone SET CustomerID = 2 WHERE ID = 2"} << "memo-stone-customer" << "2" << true;
        QTest::newRow("sheet closed with a stone on it")
            << QStringList{"UPDATE memosheet SET closed = -1 WHERE ID = 1"} << "memo-stone-closed-sheet" << "2"
            << false;
        QTest::newRow("memo stone that the journal never sent out")
            << QStringList{"DELETE FROM Memo WHERE DiamondID = 2"} << "memo-stone-journal" << "2" << true;
        QTest::newRow("memo stone whose journal brought it back")
            << QStringList{"INSERT INTO Memo (setdate, CustomerID, DiamondID, Quantity, MemoSheetID) VALUES "
                           "(NOW(), 1, 2, -1, 1)"}
            << "memo-stone-journal" << "2" << true;
        QTest::newRow("back in stock without its return line")
            << QStringList{"UPDATE SingleStone SET Status = 'Stock', CustomerID = NULL, MemoSheetID = NULL WHERE ID = 2"}
            << "memo-journal-open" << "2" << true;
        QTest::newRow("sold from memo without an invoice line")
            << QStringList{"DELETE FROM invoicelist WHERE diamondid = 4"} << "memo-journal-open" << "4" << true;
        QTest::newRow("stone in stock naming a memo sheet")
            << QStringList{"UPDATE SingleStone SET MemoSheetID = 1 WHERE ID = 1"} << "stone-sheet-pointer" << "1"
            << true;
        QTest::newRow("sold stone without an invoice line")
            << QStringList{"DELETE FROM invoicelist WHERE diamondid = 3"} << "sold-stone-invoice" << "3" << true;
        QTest::newRow("sold stone on another customer's invoice")
            << QStringList{"UPDATE SingleStone SET CustomerID = 1 WHERE ID = 3"} << "sold-stone-invoice" << "3" << true;
        QTest::newRow("sold stone on a second line without a return")
            << QStringList{"INSERT INTO invoicelist (ID, invoiceid, diamondid, carat, dateadded, pricecarat) VALUES "
                           "(9, 1, 3, 1.5, NOW(), 5000)"}
            << "stone-sold-twice" << "3" << true;
        QTest::newRow("sold again before the return of the first sale")
            << QStringList{"UPDATE invoicelist SET returned = NOW() + INTERVAL 1 HOUR WHERE ID = 1",
                           "INSERT INTO invoicelist (ID, invoiceid, diamondid, carat, dateadded, pricecarat) VALUES "
                           "(9, 1, 3, 1.5, NOW(), 5000)"}
            << "stone-sold-twice" << "3" << true;
        QTest::newRow("returned stone still naming a sheet")
            << QStringList{"UPDATE SingleStone SET MemoSheetID = 1 WHERE ID = 5"} << "returned-stone-memo" << "5"
            << true;
        QTest::newRow("returned stone that the journal leaves out")
            << QStringList{"INSERT INTO Memo (setdate, CustomerID, DiamondID, Quantity, MemoSheetID) VALUES "
                           "(NOW(), 1, 5, 1, 1)"}
            << "returned-stone-memo" << "5" << true;
        QTest::newRow("parcel off by the last 0.00001 ct")
            << QStringList{"UPDATE parcel SET Carat = Carat + 0.00001 WHERE ID = 1"} << "parcel-balance" << "1" << true;
        QTest::newRow("parcel split without its journal line")
            << QStringList{"DELETE FROM parceladd WHERE parcelid = 3"} << "parcel-balance" << "3" << true;
        QTest::newRow("memo line below zero")
            << QStringList{"INSERT INTO memoparcellist (memoparcelid, parcelid, carat, action, date) VALUES "
                           "(1, 1, -5, 'memo-return', NOW())",
                           "UPDATE parcel SET Carat = Carat + 5 WHERE ID = 1"}
            << "parcel-below-zero" << "on memo" << true;
        QTest::newRow("parcel on hand below zero")
            << QStringList{"UPDATE parcel SET Carat = -1 WHERE ID = 3",
                           "UPDATE parceladd SET Carat = -1 WHERE parcelid = 3"}
            << "parcel-below-zero" << "on hand" << true;
        QTest::newRow("parcel sold from memo, not invoiced")
            << QStringList{"DELETE FROM invoicelist WHERE parcelid = 1"} << "parcel-sold-invoiced" << "1" << true;
        QTest::newRow("second open invoice")
            << QStringList{"INSERT INTO invoice (customerid, datecreated, status) VALUES (2, NOW(), 'open')"}
            << "open-invoices" << "2" << false;
        QTest::newRow("line of a missing invoice")
            << QStringList{"UPDATE invoicelist SET invoiceid = 77 WHERE ID = 4"} << "invoice-line-orphan" << "4" << true;
        QTest::newRow("line of a missing stone")
            << QStringList{"INSERT INTO invoicelist (ID, invoiceid, diamondid, carat, pricecarat) VALUES "
                           "(9, 3, 999, 1, 10)"}
            << "invoice-line-orphan" << "9" << true;
        QTest::newRow("line of a missing parcel")
            << QStringList{"INSERT INTO invoicelist (ID, invoiceid, parcelid, carat, pricecarat) VALUES "
                           "(9, 3, 999, 1, 10)"}
            << "invoice-line-orphan" << "9" << true;
        QTest::newRow("two stones in stock with one SKU")
            << QStringList{"UPDATE SingleStone SET SKU = 'A1' WHERE ID = 2"} << "duplicate-sku" << "A1" << true;
        QTest::newRow("one SKU once with a trailing blank")
            << QStringList{"UPDATE SingleStone SET SKU = ' A1 ' WHERE ID = 2"} << "duplicate-sku" << "A1" << true;
        QTest::newRow("blank row left by a cancelled Add")
            << QStringList{"INSERT INTO SingleStone (ID, SKU) VALUES (77, ' ')"} << "blank-stone" << "77" << false;
        QTest::newRow("one certificate on two live stones")
            << QStringList{"UPDATE SingleStone SET Certificate = '111' WHERE ID = 2"} << "duplicate-certificate"
            << "GIA" << true;
        QTest::newRow("rate 1.0 on a stone line")
            << QStringList{"UPDATE invoicelist SET exchangerateCDN = 1 WHERE ID = 1"} << "stored-rate" << "invoicelist"
            << true;
        QTest::newRow("rate 0 on a parcel memo line")
            << QStringList{"UPDATE memoparcellist SET exchangerateZAR = 0"} << "stored-rate" << "memoparcellist"
            << true;
        QTest::newRow("rate 1.0 on a stone")
            << QStringList{"UPDATE SingleStone SET bought_exchangerateCDN = 1.0 WHERE ID = 1"} << "stored-rate"
            << "singlestone" << true;
        QTest::newRow("marked paid off, paid in part")
            << QStringList{"UPDATE SingleStone SET StoneIsPaidOff = -1 WHERE ID = 3"} << "payment-paid-off-short" << "3"
            << true;
        QTest::newRow("paid in full, not marked")
            << QStringList{"UPDATE SingleStone SET StoneIsPaidOff = 0 WHERE ID = 4"} << "payment-paid-off-flag" << "4"
            << true;
        QTest::newRow("paid above the price, not confirmed")
            << QStringList{"UPDATE PaymentReceived SET PaymentUS = 2100.01 WHERE ID = 1"} << "payment-overpaid" << "4"
            << true;
        QTest::newRow("reversal of a payment that is not there")
            << QStringList{"UPDATE PaymentReceived SET ReversesID = 99 WHERE ID = 4"} << "payment-reversal"
            << "PaymentReceived" << true;
        QTest::newRow("payment below 0 naming no payment")
            << QStringList{"UPDATE PaymentReceived SET ReversesID = NULL WHERE ID = 4"} << "payment-reversal"
            << "PaymentReceived" << true;
        QTest::newRow("reversal of another amount")
            << QStringList{"UPDATE PaymentReceived SET PaymentUS = -400 WHERE ID = 4"} << "payment-reversal"
            << "PaymentReceived" << true;
        QTest::newRow("supplier payment flag without a payment")
            << QStringList{"UPDATE PaymentMade SET PaymentUS = 0, PaymentLocal = 0 WHERE ID = 2"}
            << "payment-made-flags" << "1" << true;
        QTest::newRow("supplier paid off, flags not set")
            << QStringList{"UPDATE PaymentMade SET PaymentUS = 1000 WHERE ID = 2"} << "payment-made-flags" << "1"
            << true;
        QTest::newRow("older schema version")
            << QStringList{"UPDATE Config SET dbVersion = 300"} << "schema-version" << "Config" << true;
        QTest::newRow("column of the version missing")
            << QStringList{"ALTER TABLE parcel DROP COLUMN rnd"} << "schema-version" << "parcel" << true;
    }

    void eachRuleFindsItsFault()
    {
        QFETCH(QStringList, spoil);
        QFETCH(QString, rule);
        QFETCH(QString, firstCell);
        QFETCH(bool, error);
        test::TestDb t;
        writeWholeBooks(t.db());
        for (const QString &s : spoil)
            db::exec(t.db(), s);
        const books::Report r = books::checkBooks(t.db());
        const books::RuleResult *res = resultOf(r, rule);
        QVERIFY(res);
        QVERIFY2(res->failure.isEmpty(), qPrintable(res->failure));
        bool listed = false;
        for (const QStringList &row : res->rows)
            listed = listed || row.value(0).compare(firstCell, Qt::CaseInsensitive) == 0;
        QVERIFY2(listed, qPrintable(books::reportText(r)));
        QCOMPARE(r.whole(), !error);
        QVERIFY(books::reportText(r).contains(res->rule.expects));
    }

    // A sale returned into stock with its record on the line, then sold
    // again: whole books; the same second sale without the record is not.
    void aReturnedSaleSellsAgain()
    {
        test::TestDb t;
        writeWholeBooks(t.db());
        db::exec(t.db(), "UPDATE invoicelist SET returned = NOW() - INTERVAL 1 MINUTE, dateadded = NOW() - INTERVAL 1 "
                         "HOUR WHERE ID = 1");
        db::exec(t.db(), "INSERT INTO invoicelist (ID, invoiceid, diamondid, carat, dateadded, pricecarat) VALUES "
                         "(9, 1, 3, 1.5, NOW(), 5200)");
        books::Report r = books::checkBooks(t.db());
        QVERIFY2(r.whole(), qPrintable(books::reportText(r)));
        db::exec(t.db(), "UPDATE invoicelist SET returned = NULL WHERE ID = 1");
        r = books::checkBooks(t.db());
        QVERIFY(!resultOf(r, "stone-sold-twice")->rows.isEmpty());
    }

    // The generated dealer data of the benchmark is whole books.
    void generatedDataIsClean()
    {
#ifdef VELMOR_HAVE_BENCHDATA
        test::TestDb t;
        const bench::PriceGrid grid(7, QDate(2026, 11, 20));
        bench::writeDealerSettings(t.db());
        bench::insertGrid(t.db(), grid);
        bench::DealerDataOptions o;
        o.stones = 3000;
        bench::fillDealerData(t.db(), o, grid);
        const books::Report r = books::checkBooks(t.db());
        QVERIFY2(r.whole(), qPrintable(books::reportText(r)));
        // The generator closes a few sheets that still hold stones on purpose
        // (the start-up repair's work): warnings of that rule only.
        for (const QString &k : rulesFound(r))
            QCOMPARE(k, QStringLiteral("memo-stone-closed-sheet"));
#else
        QSKIP("built without the benchmark's data generator");
#endif
    }

    // `velmor db check`: the list and exit 1 on spoilt books, exit 0 on whole
    // ones, the CSV, and not one row changed.
    void commandLine()
    {
        test::TestDb t;
        writeWholeBooks(t.db());
        QTemporaryDir home;
        QFile ini(home.filePath("database.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("mode=server\nsocket=%1\nuser=root\ndatabase=%2\n")
                      .arg(test::TestDb::socketPath(), t.name())
                      .toUtf8());
        ini.close();
        auto run = [&](const QStringList &args, QString *out) {
            QProcess proc;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("VELMOR_HOME", home.path());
            proc.setProcessEnvironment(env);
            proc.start(qEnvironmentVariable("VELMOR_BINARY", VELMOR_BINARY), args);
            proc.waitForFinished(60000);
            *out = QString::fromUtf8(proc.readAllStandardOutput() + proc.readAllStandardError());
            return proc.exitStatus() == QProcess::NormalExit ? proc.exitCode() : -1;
        };
        QString out;
        QCOMPARE(run({"db", "check"}, &out), 0);
        QVERIFY2(out.contains("The books are whole"), qPrintable(out));

        db::exec(t.db(), "UPDATE SingleStone SET SKU = 'A1' WHERE ID = 2");
        db::exec(t.db(), "INSERT INTO invoice (customerid, datecreated, status) VALUES (2, NOW(), 'open')");
        const QString before = checksums(t.db());
        const QString csv = home.filePath("books.csv");
        QCOMPARE(run({"db", "check", "--csv", csv}, &out), 1);
        QCOMPARE(checksums(t.db()), before);
        for (const QString &want : {QStringLiteral("SKU used by more than one stone in stock or on memo"),
                                    QStringLiteral("Customer with more than one open invoice"),
                                    QStringLiteral("1 2"), QStringLiteral("1 error(s), 1 warning(s)")})
            QVERIFY2(out.contains(want), qPrintable(out));
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[1], QStringLiteral("open-invoices,warning,Customer with more than one open invoice,Customer=2,"
                                          "Company=Beta Rings,Open invoices=1 4"));
        QCOMPARE(lines[2], QStringLiteral("duplicate-sku,error,SKU used by more than one stone in stock or on memo,"
                                          "SKU=A1,Stones=1 2"));

        QCOMPARE(run({"db", "check", "--bogus"}, &out), 2);
        QCOMPARE(run({"db", "check", "--csv", home.filePath("no/such/folder/x.csv")}, &out), 2);
    }

    // The main menu screen's check: its progress, the findings under their
    // rule with what the rule expects, and the CSV.
    void screen()
    {
        test::TestDb t;
        writeWholeBooks(t.db());
        db::exec(t.db(), "UPDATE SingleStone SET SKU = 'A1' WHERE ID = 2");
        test::ScriptedPrompt prompt;
        QTemporaryDir dir;
        AppContext ctx(Workstation(dir.path(), dir.path()), t.settings(), &prompt);
        ctx.adopt(t.db());
        ui::frmBooksCheck w(ctx);
        auto *bar = w.findChild<QProgressBar *>("prgCheck");
        auto *tree = w.findChild<QTreeWidget *>("tvwFindings");
        auto *summary = w.findChild<QLabel *>("lblSummary");
        QVERIFY(bar && tree && summary);
        QTRY_COMPARE(summary->text(), QStringLiteral("The books disagree: 1 errors, 0 warnings."));
        QCOMPARE(bar->value(), bar->maximum());
        QCOMPARE(tree->topLevelItemCount(), 1);
        const QTreeWidgetItem *rule = tree->topLevelItem(0);
        QCOMPARE(rule->text(0), QStringLiteral("SKU used by more than one stone in stock or on memo (error, 1 rows)"));
        QCOMPARE(rule->childCount(), 2);
        QVERIFY(rule->child(0)->text(0).startsWith("Expected: Each stone"));
        QCOMPARE(rule->child(1)->text(0), QStringLiteral("SKU: A1   Stones: 1 2"));
        QVERIFY(w.saveCsv(dir.filePath("found.csv")));
        QFile f(dir.filePath("found.csv"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll().count('\n'), 2);
        QVERIFY(!w.saveCsv(dir.filePath("missing/found.csv")));
        QCOMPARE(prompt.messages().size(), 1);

        // Mended on the spot, the next check is clean.
        db::exec(t.db(), "UPDATE SingleStone SET SKU = 'A2' WHERE ID = 2");
        w.runCheck();
        QCOMPARE(summary->text(), QStringLiteral("The books are whole."));
        QCOMPARE(tree->topLevelItemCount(), 0);
    }

    // The main menu screen's File menu opens the check; nobody needs to be
    // logged in to read the books.
    void frontMenuOpensIt()
    {
        test::TestDb t;
        writeWholeBooks(t.db());
        test::ScriptedPrompt prompt;
        QTemporaryDir dir;
        AppContext ctx(Workstation(dir.path(), dir.path()), t.settings(), &prompt);
        ctx.adopt(t.db());
        ui::frmFront front(ctx);
        auto *action = front.findChild<QAction *>("mnuCheckBooks");
        QVERIFY(action);
        QVERIFY(action->isEnabled());
        QString summary;
        int ticks = 0;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            ++ticks;
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *dlg = qobject_cast<ui::frmBooksCheck *>(w);
                auto *label = dlg ? dlg->findChild<QLabel *>("lblSummary") : nullptr;
                if (label && !label->text().isEmpty()) {
                    summary = label->text();
                    dlg->accept();
                }
                if (dlg && ticks > 400)
                    dlg->reject();
            }
        });
        poll.start(50);
        action->trigger();
        poll.stop();
        QCOMPARE(summary, QStringLiteral("The books are whole."));
    }
};

QTEST_MAIN(tst_bookscheck)
#include "tst_bookscheck.moc"
