// The start-up sequence from the splash screen to the home screen, the
// front screen's rights, activation and scanner, on a real database and a
// real serial pseudo-terminal.
#include "TestDb.h"
#include "TestUsers.h"
#include "ScriptedPrompt.h"
#include "../pricing/PricingTestKit.h"

#include "core/AppContext.h"
#include "core/Configuration.h"
#include "core/frmConfiguration.h"
#include "shell/StartupSteps.h"
#include "core/Users.h"
#include "shell/frmFront.h"
#include "core/frmMSG.h"
#include "shell/frmSplash.h"
#include "shell/widgets/StartupFlow.h"
#include "db/Schema.h"
#include "db/SchemaTables.h"
#include "db/Sql.h"
#include "stones/frmDiamondDetail.h"
#include "core/widgets/StoneScreenRights.h"
#include "memos/MemoPrint.h"
#include "printing/PrintJob.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

using namespace velmor;
using velmor::test::ScriptedPrompt;
using velmor::test::TestDb;
using namespace velmor::test;

namespace {

struct Start {
    TestDb &t;
    QTemporaryDir home;
    ScriptedPrompt prompt;
    AppContext ctx;
    std::unique_ptr<ui::StartupFlow> flow;
    explicit Start(TestDb &db, bool withAdministrator = true)
        : t(db), ctx(Workstation(home.path(), home.path()), db.settings(), &prompt)
    {
        ctx.adopt(db.db());
        // The administrator the first log-on's question would have made.
        if (withAdministrator && db::tableExists(db.db(), QStringLiteral("user")))
            addAdministrator(db.db());
    }
    // Runs the sequence until the home screen is up.
    bool run()
    {
        flow = std::make_unique<ui::StartupFlow>(ctx);
        QSignalSpy done(flow.get(), &ui::StartupFlow::finished);
        flow->start();
        return done.count() > 0 || done.wait(20000);
    }
};

const char *const kRightCommands[] = {"cmdSingleDiamonds", "cmdDiamondParcel", "cmdAddCustomer",  "mnuAddCustomer",
                                      "cmdFindCustomer",   "mnuHoldCust",      "cmdAddRep",       "mnuAddRep",
                                      "cmdFindRep",        "cmdInvoiceLookUp", "cmdLoadInvoice",  "cmdOverDue",
                                      "cmdShowMemo",       "cmdMemo",          "cmdInvoiceLookUpToday"};

bool enabled(QObject *screen, const QString &name)
{
    if (auto *a = screen->findChild<QAction *>(name))
        return a->isEnabled();
    if (auto *m = screen->findChild<QMenu *>(name))
        return m->menuAction()->isEnabled();
    if (auto *w = screen->findChild<QWidget *>(name))
        return w->isEnabled();
    qWarning("no control %s", qPrintable(name));
    return false;
}

// Answers the modal login screen as soon as it shows.
void answerLogin(const QString &name, const QString &password, bool cancelAfter = false)
{
    QTimer::singleShot(50, [=] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->objectName() != QLatin1String("frmLogin") || !w->isVisible())
                continue;
            w->findChild<QLineEdit *>(QStringLiteral("txtUserName"))->setText(name);
            w->findChild<QLineEdit *>(QStringLiteral("txtPassword"))->setText(password);
            QTest::mouseClick(w->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
            if (cancelAfter && w->isVisible())
                QTest::mouseClick(w->findChild<QPushButton *>(QStringLiteral("cmdCancel")), Qt::LeftButton);
            return;
        }
        answerLogin(name, password, cancelAfter); // not shown yet
    });
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void schemaCheck_data();
    void schemaCheck();
    void emptySharedDatabaseIsMadeAtStart();
    void firstStartMakesThePrivateDatabaseBehindTheSplash();
    void oneRateRefreshAtATime();
    void homeScreen_data();
    void homeScreen();
    void startWithoutNetwork_data();
    void startWithoutNetwork();
    void waitsForTimedNotice();
    void rightsOnTheFrontScreen();
    void frontScreenActivation();
    void stoneScreenRoadToTheMainMenu();
    void closingTheLastWindow();
    void stoneScreenHidesPriceColumns_data();
    void stoneScreenHidesPriceColumns();
    void plusMinusGradesRepaired();
    void scannerOverSerialPort();
};

void TestStartup::initTestCase() { qputenv("VELMOR_NO_SPLASH_PAUSE", "1"); }

void TestStartup::schemaCheck_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<bool>("upgrades");
    QTest::addColumn<int>("after");
    const int current = db::schema::kSchemaVersion;
    QTest::newRow("307 is upgraded") << 307 << true << current;
    QTest::newRow("308 is upgraded") << 308 << true << current;
    QTest::newRow("309 is upgraded") << 309 << true << current;
    QTest::newRow("310 is upgraded") << 310 << true << current;
    QTest::newRow("311 is upgraded") << 311 << true << current;
    QTest::newRow("the current version") << current << false << current;
    QTest::newRow("400 is left alone") << 400 << false << 400;
}

void TestStartup::schemaCheck()
{
    QFETCH(int, stored);
    QFETCH(bool, upgrades);
    QFETCH(int, after);
    TestDb t;
    db::schema::storeVersion(t.db(), stored);
    {
        Start s(t);
        QVERIFY(s.run());
        QCOMPARE(s.flow->storedVersionBefore(), double(stored));
        QCOMPARE(s.flow->upgraded(), upgrades);
        QCOMPARE(db::schema::storedVersion(t.db()), double(after));
    }
    // The next start finds nothing to do.
    Start again(t);
    QVERIFY(again.run());
    QVERIFY(!again.flow->upgraded());
    QCOMPARE(db::schema::storedVersion(t.db()), double(after));
}

// In server mode nothing makes the database before the start-up's check: an
// empty one (or one an earlier start left with the upgrade list's tables
// only) is made whole there, an old one upgraded step by step; the splash
// screen says so all along.
void TestStartup::emptySharedDatabaseIsMadeAtStart()
{
    // What the splash screen's line says on each tick of a timer of the
    // window thread (many ticks: the loop turns while the work runs).
    struct Watch {
        QStringList said;
        QTimer timer;
        explicit Watch(std::function<ui::frmSplash *()> splash)
        {
            timer.setInterval(2);
            QObject::connect(&timer, &QTimer::timeout, [this, splash] {
                if (ui::frmSplash *s = splash())
                    if (auto *m = s->findChild<QLabel *>(QStringLiteral("lblMsg")))
                        said << m->text();
            });
            timer.start();
        }
    };
    for (const bool leftovers : {false, true}) {
        TestDb t(TestDb::Shape::Empty);
        if (leftovers)
            db::schema::UpgradeDataBaseModule(t.db());
        Start s(t);
        Watch watch([&s] { return s.flow ? s.flow->splash() : nullptr; });
        QVERIFY(s.run());
        watch.timer.stop();
        QVERIFY2(watch.said.count(QStringLiteral("Making the database ...")) >= 3, qPrintable(watch.said.join('|')));
        QVERIFY(s.flow->upgraded());
        QCOMPARE(db::schema::storedVersion(t.db()), double(db::schema::kSchemaVersion));
        QCOMPARE(db::tableNames(t.db()).size(), int(db::schema::finalTables().size()));
        QCOMPARE(db::scalar(t.db(), "SELECT COUNT(*) FROM Config").toInt(), 1);
        QVERIFY(db::scalar(t.db(), "SELECT COUNT(*) FROM DiamondGrades").toInt() > 20);
        QVERIFY2(!s.prompt.messages().join("|").contains("could not be brought up to date"),
                 qPrintable(s.prompt.messages().join("|")));
    }

    // An old database (its base tables and settings row): each step of the
    // upgrade with the count, the count the same throughout.
    TestDb t(TestDb::Shape::BaseTables);
    db::exec(t.db(), "INSERT INTO Config (CompanyName) VALUES ('Old shop')");
    ScriptedPrompt prompt;
    QTemporaryDir home;
    AppContext ctx(Workstation(home.path(), home.path()), t.settings(), &prompt);
    ctx.adopt(t.db());
    ui::frmSplash splash(ctx);
    Watch watch([&splash] { return &splash; });
    splash.start();
    watch.timer.stop();
    QVERIFY(splash.schemaCheck().upgraded);
    QVERIFY2(splash.schemaCheck().error.isEmpty(), qPrintable(splash.schemaCheck().error));
    static const QRegularExpression step(QStringLiteral("^Upgrading the database: step (\\d+) of (\\d+)$"));
    QSet<int> steps, counts;
    for (const QString &text : watch.said)
        if (const QRegularExpressionMatch m = step.match(text); m.hasMatch()) {
            steps << m.captured(1).toInt();
            counts << m.captured(2).toInt();
            QVERIFY2(m.captured(1).toInt() <= m.captured(2).toInt(), qPrintable(text));
        }
    QVERIFY2(steps.size() >= 3, qPrintable(watch.said.join('|')));
    QCOMPARE(counts.size(), 1);
    QVERIFY(*counts.begin() > 20);
    QCOMPARE(db::schema::storedVersion(t.db()), double(db::schema::kSchemaVersion));
}

// A first start on an empty workstation folder: the splash screen is painted
// before the private server and its database are made, and stays painted,
// saying so, while they are made off the window thread.
void TestStartup::firstStartMakesThePrivateDatabaseBehindTheSplash()
{
    QTemporaryDir home(QStringLiteral("/dev/shm/vh-XXXXXX"));
    QVERIFY(home.isValid());
    Workstation ws(home.path());
    ScriptedPrompt prompt;
    AppContext ctx(ws, ws.connectionSettings(), &prompt);
    QCOMPARE(ctx.connection.mode, db::Mode::Private);
    const QString made = ctx.connection.privateDir + QStringLiteral("/data/mysql");

    // The message as painted, and whether the database was there then.
    struct Painted : QObject {
        QLabel *label = nullptr;
        QString made;
        QList<std::pair<QString, bool>> paints;
        bool eventFilter(QObject *o, QEvent *e) override
        {
            if (o == label && e->type() == QEvent::Paint)
                paints.append({label->text(), QFileInfo::exists(made)});
            return false;
        }
    } painted;
    ui::frmSplash splash(ctx);
    painted.label = splash.findChild<QLabel *>(QStringLiteral("lblMsg"));
    painted.made = made;
    painted.label->installEventFilter(&painted);
    int ticks = 0;
    QTimer watch;
    watch.setInterval(2);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (painted.label->text() == QLatin1String("Making the database ..."))
            ++ticks;
    });
    watch.start();
    QElapsedTimer took;
    took.start();
    splash.openDatabase();
    watch.stop();
    QVERIFY(splash.isVisible());
    // Painted saying so before the database was there, and the loop turned
    // all along (a tick every few milliseconds of the making).
    int before = 0;
    for (const auto &[text, there] : painted.paints)
        before += text == QLatin1String("Making the database ...") && !there;
    QVERIFY2(before >= 1, qPrintable(QString::number(painted.paints.size())));
    QVERIFY2(ticks >= std::min<qint64>(took.elapsed() / 20, 20), qPrintable(QStringLiteral("%1 ticks in %2 ms")
                                                                        .arg(ticks)
                                                                        .arg(took.elapsed())));
    QCOMPARE(db::schema::storedVersion(ctx.db()), double(db::schema::kSchemaVersion));
    ctx.close();
}

// The stone screen's timer ticks every second; a fetch waits for the pages
// in an event loop of its own, where the next ticks arrive.
void TestStartup::oneRateRefreshAtATime()
{
    TestDb t;
    QTemporaryDir home;
    ScriptedPrompt prompt;
    AppContext ctx(Workstation(home.path(), home.path()), t.settings(), &prompt);
    ctx.adopt(t.db());
    test::LocalHttpServer server;
    QFile start(QStringLiteral(VELMOR_TEST_DATA "/pricing/exchange_start.html"));
    QVERIFY(start.open(QIODevice::ReadOnly));
    server.set("/", start.readAll());
    server.delay("/", 1500);
    server.set("/table/?from=USD&amount=1", "<html>gone</html>", 404); // no welcome window
    test::pointSourcesAt(home.path(), server.base());

    ui::StartupFlow flow(ctx);
    int ticks = 0;
    QTimer tick;
    tick.setInterval(200);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        ++ticks;
        flow.refreshRates(nullptr);
    });
    tick.start();
    flow.refreshRates(nullptr);
    tick.stop();
    QVERIFY(ticks >= 3);
    QCOMPARE(server.hits.value("/"), 1);
    // A tick in the same due second after the fetch has ended: no second one.
    flow.refreshRates(nullptr);
    QCOMPARE(server.hits.value("/"), 1);
}

// A start that cannot fetch the day's rates works with the last good ones
// stored and writes no rate of 1.0 anywhere; with no rand rate stored, the
// rand rate stays unknown: parcel memo lines keep no rand rate and a memo
// sheet in rand is refused, naming the rate and where to set it.
void TestStartup::startWithoutNetwork_data()
{
    QTest::addColumn<QVariant>("storedRand");
    QTest::newRow("rand rate stored") << QVariant(17.9);
    QTest::newRow("no rand rate stored") << QVariant();
}

void TestStartup::startWithoutNetwork()
{
    QFETCH(QVariant, storedRand);
    TestDb t;
    db::exec(t.db(), QStringLiteral("UPDATE Config SET ExchangeRate = 1.31, ExchangeRateZAR = ?"), {storedRand});
    db::exec(t.db(), QStringLiteral("INSERT INTO parcel (SKU, SellPerCarat) VALUES ('P1', 300)"));
    db::exec(t.db(), QStringLiteral("INSERT INTO memoparcellist (memoparcelid, parcelid, carat) VALUES (1, 1, 2)"));
    const qint64 customer = db::insert(t.db(), QStringLiteral("INSERT INTO Customer (CompanyName) VALUES ('Rand Buyer')"));
    const qint64 sheet = db::insert(t.db(), QStringLiteral("INSERT INTO memosheet (CustomerID, Date) VALUES (?, NOW())"),
                                    {customer});
    db::exec(t.db(),
             QStringLiteral("INSERT INTO SingleStone (SKU, Shape, Carat, RapaportPrice, SellOffRap, SellPriceUS, Status, "
                            "MemoSheetID, CustomerID) VALUES ('R1', 'Round Brilliant [BR]', 1, 3000, 0, 3000, 'Memo', ?, ?)"),
             {sheet, customer});
    Start s(t);
    QVERIFY(s.run());
    QCOMPARE(s.ctx.exchangeRateCDN, 1.31);
    const bool rand = storedRand.isValid();
    QCOMPARE(s.ctx.exchangeRateZAR, rand ? 17.9 : 0.0);
    auto count = [&](const char *sql) { return db::scalar(t.db(), QString::fromLatin1(sql)).toInt(); };
    QCOMPARE(count("SELECT COUNT(*) FROM memoparcellist WHERE exchangerateCDN = 1 OR exchangerateZAR = 1"), 0);
    QCOMPARE(count("SELECT COUNT(*) FROM memoparcellist WHERE exchangerateCDN = 1.31"), 1);
    QCOMPARE(count("SELECT COUNT(*) FROM memoparcellist WHERE exchangerateZAR IS NULL"), rand ? 0 : 1);
    QCOMPARE(count("SELECT COUNT(*) FROM Config WHERE ExchangeRate = 1 OR ExchangeRateZAR = 1"), 0);

    QTemporaryDir out;
    memos::MemoPrintRequest r;
    r.memoSheetId = sheet;
    r.zar = true;
    s.prompt.clear();
    const printing::PrintOutcome printed =
        memos::printMemoSheet(s.ctx, r, printing::PrintTarget::pdf(out.filePath(QStringLiteral("memo.pdf"))));
    QCOMPARE(printed.ok, rand);
    if (!rand) {
        QVERIFY2(printed.error.contains(QStringLiteral("The rand rate (ZAR) is not known")), qPrintable(printed.error));
        QVERIFY(printed.error.contains(QStringLiteral("Working exchange rates")));
        QVERIFY(!QFile::exists(out.filePath(QStringLiteral("memo.pdf"))));
    }
}

void TestStartup::homeScreen_data()
{
    QTest::addColumn<QVariant>("velmorWholeSale");
    QTest::addColumn<bool>("wholesale");
    QTest::newRow("Null: ordinary") << QVariant() << false;
    QTest::newRow("0: ordinary") << QVariant(0) << false;
    QTest::newRow("1: wholesale") << QVariant(1) << true;
}

void TestStartup::homeScreen()
{
    QFETCH(QVariant, velmorWholeSale);
    QFETCH(bool, wholesale);
    TestDb t;
    db::exec(t.db(), QStringLiteral("UPDATE Config SET VelmorWholeSale = ?, ExchangeRate = 1.31"), {velmorWholeSale});
    Start s(t, false);
    QVERIFY(s.run());
    // No rate site can be reached from a test: the stored exchange rate is the working one.
    QCOMPARE(s.ctx.exchangeRateCDN, 1.31);
    QVERIFY(s.flow->stone()->windowTitle().contains(QStringLiteral("US$/CDN$ 1/1.3100 ")));
    QCOMPARE(s.ctx.WholeSaleMode, wholesale);
    QCOMPARE(s.ctx.DiamondMode, !wholesale);
    QVERIFY(s.flow->front());                 // loaded in both set-ups
    QCOMPARE(s.flow->front()->isVisible(), wholesale);
    QVERIFY(s.flow->stone() && s.flow->stone()->isVisible());
    QTRY_VERIFY(!s.flow->splash());           // gone
    QTRY_COMPARE(s.ctx.currentScreen, QStringLiteral("frmDiamondDetail"));
    // The start makes no user (and asks nothing): the log-on screen makes
    // the first administrator, and the status bar says so.
    QCOMPARE(db::scalar(t.db(), QStringLiteral("SELECT COUNT(*) FROM `user`")).toInt(), 0);
    QCOMPARE(s.flow->stone()->findChild<QLabel *>(QStringLiteral("lblLoggedIn"))->text(),
             QStringLiteral("Not logged in (no user yet: Log on makes the first administrator)"));
    QCOMPARE(s.prompt.messages(), QStringList());
    // Nobody is logged in.
    QVERIFY(!s.ctx.user.Administrator);
    QCOMPARE(s.ctx.user.ID, 0);

    // Closing the stone screen ends the program, or returns to the front screen.
    QSignalSpy quit(s.flow.get(), &ui::StartupFlow::quitRequested);
    s.flow->stone()->close();
    QCOMPARE(quit.count(), wholesale ? 0 : 1);
    if (wholesale)
        QVERIFY(s.flow->front()->isVisible());
}

void TestStartup::waitsForTimedNotice()
{
    TestDb t;
    ui::frmMSG notice(QStringLiteral("Welcome"), 60000);
    notice.show();
    Start s(t);
    s.flow = std::make_unique<ui::StartupFlow>(s.ctx);
    s.flow->start();
    QTest::qWait(400);
    QVERIFY(!s.flow->front()); // Timer2 holds the sequence while the notice shows
    notice.close();
    QTRY_VERIFY(s.flow->front());
    QTRY_COMPARE(s.ctx.currentScreen, QStringLiteral("frmDiamondDetail"));
}

void TestStartup::rightsOnTheFrontScreen()
{
    TestDb t;
    Start s(t);
    QVERIFY(s.run());
    ui::frmFront *front = s.flow->front();
    ui::frmDiamondDetail *stone = s.flow->stone();
    // Install every screen, so that only the rights decide.
    for (const char *c : kRightCommands)
        front->setOpener(QString::fromLatin1(c), [] {});
    for (const char *c : {"mnuExchangeAndGold", "mnuAddDiamondParcel"})
        front->setOpener(QString::fromLatin1(c), [] {});
    front->show();
    front->activated();

    for (const char *c : kRightCommands)
        QVERIFY2(!enabled(front, QString::fromLatin1(c)), c);
    QVERIFY(!enabled(front, QStringLiteral("mnuConfig")));
    QVERIFY(enabled(front, QStringLiteral("cmdLogIn")));
    // mnuAddDiamondSingle stays available and refuses.
    QVERIFY(enabled(front, QStringLiteral("mnuAddDiamondSingle")));
    front->findChild<QAction *>(QStringLiteral("mnuAddDiamondSingle"))->trigger();
    QCOMPARE(s.prompt.messages(),
             QStringList{QStringLiteral(
                 "Authorization Failure: No Permission, please login or contact the System Administrator!")});
    QCOMPARE(s.prompt.events.last().icon, Icon::Information);
    s.prompt.clear();
    front->findChild<QAction *>(QStringLiteral("mnuExchangeAndGold"))->trigger();
    QCOMPARE(s.prompt.messages().size(), 1);
    s.prompt.clear();

    // A wrong password: the login screen says so and nothing opens up.
    answerLogin(QStringLiteral("user"), QStringLiteral("wrong"), true);
    QTest::mouseClick(front->findChild<QPushButton *>(QStringLiteral("cmdLogIn")), Qt::LeftButton);
    QCOMPARE(s.prompt.messages(), QStringList{QStringLiteral("Login: Invalid Password, try again!")});
    QVERIFY(!enabled(front, QStringLiteral("mnuConfig")));

    // The first user is an administrator who may see costs.
    answerLogin(QStringLiteral("USER"), kAdminPassword);
    QTest::mouseClick(front->findChild<QPushButton *>(QStringLiteral("cmdLogIn")), Qt::LeftButton);
    QVERIFY(s.ctx.user.Administrator);
    QVERIFY(enabled(front, QStringLiteral("mnuConfig")));
    QVERIFY(enabled(front, QStringLiteral("mnuConfigSoftware")));
    QVERIFY(enabled(front, QStringLiteral("mnuSetupUsers")));
    QVERIFY(!enabled(front, QStringLiteral("mnuSetpAdBanner"))); // its screen is not installed
    // The printer set-up screens open from the front screen.
    for (const QString &command : {QStringLiteral("mnuConfigPrinters"), QStringLiteral("mnuSetupLabelPrinter")}) {
        QVERIFY(enabled(front, command));
        front->findChild<QAction *>(command)->trigger();
    }
    for (const char *screen : {"frmConfigPrinter", "frmConfigLabelPrinter"}) {
        QWidget *w = front->findChild<QWidget *>(QLatin1String(screen));
        QVERIFY2(w && w->isVisible(), screen);
        w->close();
    }
    // The first user holds every right: every command with an installed screen is open.
    for (const char *c : kRightCommands)
        QVERIFY2(enabled(front, QString::fromLatin1(c)), c);
    QVERIFY(enabled(stone, QStringLiteral("mnuConfiguration")));
    QVERIFY(enabled(stone, QStringLiteral("txtSellPriceLocalCT2")));
    QVERIFY(stone->findChild<QAction *>(QStringLiteral("cmdLogOff"))->isVisible());
    QVERIFY(stone->findChild<QWidget *>(QStringLiteral("txtBoughtPriceUSCT"))->isVisible());
    QVERIFY(stone->findChild<QWidget *>(QStringLiteral("lblCode"))->isVisible());
    QVERIFY(enabled(stone, QStringLiteral("cmdAddDiamond")));
    for (QWidget *screen : {static_cast<QWidget *>(front), static_cast<QWidget *>(stone)})
        QCOMPARE(screen->findChild<QLabel *>(QStringLiteral("lblLoggedIn"))->text(),
                 QStringLiteral("Logged in: user (Firstname Lastname)"));
    // The word tables open from the configuration menu.
    for (const char *menu : {"mnuShapeWords", "mnuLabWords"}) {
        QVERIFY2(enabled(front, QString::fromLatin1(menu)), menu);
        front->findChild<QAction *>(QString::fromLatin1(menu))->trigger();
    }
    QVERIFY(front->findChild<QWidget *>(QStringLiteral("frmShapes")));
    QVERIFY(front->findChild<QWidget *>(QStringLiteral("frmLabs")));

    // A failed login after the administrator's closes everything again, on
    // both screens: nobody is logged in any more.
    answerLogin(QStringLiteral("user"), QStringLiteral("wrong"), true);
    stone->findChild<QAction *>(QStringLiteral("mnuLogOn"))->trigger();
    QCOMPARE(s.ctx.user.ID, 0);
    QVERIFY(!enabled(front, QStringLiteral("mnuConfig")));
    QVERIFY(!enabled(front, QStringLiteral("mnuSetupUsers")));
    QVERIFY(!enabled(stone, QStringLiteral("mnuConfiguration")));
    QVERIFY(!enabled(stone, QStringLiteral("txtSellPriceLocalCT2")));
    QVERIFY(!stone->findChild<QAction *>(QStringLiteral("cmdLogOff"))->isVisible());
    QVERIFY(!stone->findChild<QWidget *>(QStringLiteral("txtBoughtPriceUSCT"))->isVisible());
    QVERIFY(!enabled(stone, QStringLiteral("cmdAddDiamond")));
    QVERIFY(!enabled(front, QStringLiteral("mnuShapeWords")));
    for (QWidget *screen : {static_cast<QWidget *>(front), static_cast<QWidget *>(stone)})
        QCOMPARE(screen->findChild<QLabel *>(QStringLiteral("lblLoggedIn"))->text(), QStringLiteral("Not logged in"));
    s.prompt.clear();
    answerLogin(QStringLiteral("USER"), kAdminPassword);
    QTest::mouseClick(front->findChild<QPushButton *>(QStringLiteral("cmdLogIn")), Qt::LeftButton);
    QVERIFY(enabled(stone, QStringLiteral("mnuConfiguration")));

    // The front screen's log-off hides the stone screen's cost fields too.
    QTest::mouseClick(front->findChild<QPushButton *>(QStringLiteral("cmdLogOff")), Qt::LeftButton);
    QVERIFY(!enabled(front, QStringLiteral("mnuConfig")));
    QVERIFY(!enabled(stone, QStringLiteral("mnuConfiguration")));
    QVERIFY(!enabled(stone, QStringLiteral("txtSellPriceLocalCT2")));
    QVERIFY(!stone->findChild<QWidget *>(QStringLiteral("txtBoughtPriceUSCT"))->isVisible());
    QVERIFY(!stone->findChild<QAction *>(QStringLiteral("cmdLogOff"))->isVisible());
    QVERIFY(!enabled(stone, QStringLiteral("cmdAddDiamond")));
    QCOMPARE(stone->findChild<QLabel *>(QStringLiteral("lblLoggedIn"))->text(), QStringLiteral("Not logged in"));
    QVERIFY(!s.ctx.user.ViewCost);

    // A clerk who may add customers, and the stone screen's own log-on and log-off.
    db::exec(t.db(),
             QStringLiteral("INSERT INTO `user` (UserName, Password, AllowCustomerAdd, AllowDiamondView) "
                            "VALUES ('clerk', 'pw', -1, -1)"));
    answerLogin(QStringLiteral("clerk"), QStringLiteral("pw"));
    stone->findChild<QAction *>(QStringLiteral("mnuLogOn"))->trigger();
    front->applyRights();
    QVERIFY(enabled(front, QStringLiteral("cmdAddCustomer")));
    QVERIFY(enabled(front, QStringLiteral("mnuAddCustomer")));
    QVERIFY(enabled(front, QStringLiteral("cmdSingleDiamonds")));
    QVERIFY(!enabled(front, QStringLiteral("cmdFindCustomer")));
    QVERIFY(!enabled(front, QStringLiteral("mnuConfig")));
    QVERIFY(!enabled(stone, QStringLiteral("mnuConfiguration")));
    QVERIFY(!stone->findChild<QWidget *>(QStringLiteral("txtBoughtPriceUSCT"))->isVisible());
    stone->findChild<QAction *>(QStringLiteral("cmdLogOff"))->trigger();
    front->applyRights();
    QVERIFY(!enabled(front, QStringLiteral("cmdAddCustomer")));
    QVERIFY(!stone->findChild<QAction *>(QStringLiteral("cmdLogOff"))->isVisible());
    QCOMPARE(s.ctx.user.ID, 0);
}

void TestStartup::frontScreenActivation()
{
    TestDb t;
    db::exec(t.db(), QStringLiteral("UPDATE Config SET CompanyName = 'Rapp & Sons', VelmorWholeSale = 1"));
    db::exec(t.db(), QStringLiteral("DELETE FROM drange"));
    db::exec(t.db(), QStringLiteral("INSERT INTO drange (Class, CaratLow, CaratHigh) VALUES "
                                    "('a', 0, 0), ('b', 0, 0.5), ('c', 0.5, 1), ('d', NULL, NULL)"));
    Start s(t);
    QImage logo(40, 20, QImage::Format_RGB32);
    logo.fill(Qt::blue);
    QVERIFY(logo.save(s.ctx.workstation.path(QStringLiteral("logo.jpg"))));
    QVERIFY(s.run());
    ui::frmFront *front = s.flow->front();
    front->activated();
    QCOMPARE(front->windowTitle(),
             QStringLiteral("Velmor - Software for the Jewellery Industry - Build%1 - Rapp & Sons tE fD")
                 .arg(programRevision()));
    QCOMPARE(s.ctx.workstation.readFirstLine(QStringLiteral("errrotrap.txt")), QStringLiteral("35y4by13"));
    QCOMPARE(db::scalar(t.db(), QStringLiteral("SELECT GROUP_CONCAT(Class ORDER BY Class) FROM drange")).toString(),
             QStringLiteral("b,c,d"));
    auto *img = front->findChild<QLabel *>(QStringLiteral("imgLogo"));
    QVERIFY(!img->pixmap().isNull());

    // The ordinary set-up's flags.
    s.ctx.WholeSaleMode = false;
    s.ctx.DiamondMode = true;
    QVERIFY(frontCaption(s.ctx).endsWith(QStringLiteral("Rapp & Sons fE tD")));
}

// In the default set-up the stone screen's menu bar leads to the main menu
// screen (its commands under the same rights); the stone screen shows the
// company logo; the settings menu opens the memo disclaimer; the
// configuration switches the wholesale set-up on for the next start.
void TestStartup::stoneScreenRoadToTheMainMenu()
{
    TestDb t;
    Start s(t);
    QImage logo(40, 20, QImage::Format_RGB32);
    logo.fill(Qt::red);
    QVERIFY(logo.save(s.ctx.workstation.path(QStringLiteral("logo.jpg"))));
    QVERIFY(s.run());
    ui::frmDiamondDetail *stone = s.flow->stone();
    ui::frmFront *front = s.flow->front();
    QVERIFY(!front->isVisible());
    QVERIFY(!stone->findChild<QLabel *>(QStringLiteral("imgLogo"))->pixmap().isNull());

    QAction *road = stone->findChild<QAction *>(QStringLiteral("mnuMainMenu"));
    QVERIFY(road && road->isEnabled() && road->isVisible());
    road->trigger();
    QVERIFY(front->isVisible());
    // Nobody logged in: the main menu's commands stay shut.
    QVERIFY(!enabled(front, QStringLiteral("cmdAddCustomer")));
    QVERIFY(!enabled(front, QStringLiteral("mnuConfig")));
    QString name = QStringLiteral("user"), password = kAdminPassword;
    QVERIFY(velmor::login(s.ctx, name, password));
    for (const char *c : {"cmdAddCustomer", "cmdFindCustomer", "cmdFindRep", "mnuExchangeAndGold", "mnuConfigQs",
                          "mnuConfigD_Range", "mnuShapeWords", "mnuLabWords", "mnuMemoDisclaimer",
                          "mnuSalesDisclaimer", "mnuHttpTest"})
        QVERIFY2(enabled(front, QString::fromLatin1(c)), c);
    // The HTTP client's test screen has its menu entry.
    front->findChild<QAction *>(QStringLiteral("mnuHttpTest"))->trigger();
    QVERIFY(front->findChild<QWidget *>(QStringLiteral("frmMain")));

    // The settings menu's memo disclaimer button opens its screen.
    bool sawDisclaimer = false;
    QTimer::singleShot(50, [&] {
        if (QWidget *menu = QApplication::activeModalWidget()) {
            auto *b = menu->findChild<QPushButton *>(QStringLiteral("Command2"));
            QVERIFY(b && b->isEnabled());
            QTimer::singleShot(50, [&] {
                if (QWidget *d = QApplication::activeModalWidget()) {
                    sawDisclaimer = d->objectName() == QLatin1String("frmMemoDisclaimer");
                    d->close();
                }
            });
            b->click();
        }
    });
    stone->findChild<QAction *>(QStringLiteral("mnuConfiguration"))->trigger();
    QVERIFY(sawDisclaimer);

    // The configuration's switch for the wholesale set-up, and the change
    // tracking caption.
    {
        ui::frmConfiguration config(s.ctx);
        config.show();
        auto *change = config.findChild<QCheckBox *>(QStringLiteral("chkStoneChange"));
        QCOMPARE(change->text(), QStringLiteral("enable the Tracking of Changes that were done to a Stone"));
        auto *wholesale = config.findChild<QCheckBox *>(QStringLiteral("chkVelmorWholeSale"));
        QVERIFY(wholesale && !wholesale->isChecked());
        wholesale->setChecked(true);
        config.save();
    }
    QVERIFY(db::scalar(t.db(), QStringLiteral("SELECT VelmorWholeSale FROM Config")).toInt() != 0);
    Start next(t);
    QVERIFY(next.run());
    QVERIFY(next.ctx.WholeSaleMode);
    QVERIFY(next.flow->front()->isVisible());
}

// In the ordinary set-up the main menu is a window over the stone screen:
// closing it ends nothing.  Closing the stone screen ends the program, but a
// stone being added is not lost without a question, and no row is left.
void TestStartup::closingTheLastWindow()
{
    TestDb t;
    Start s(t);
    QVERIFY(s.run());
    QVERIFY(logOn(s.ctx));
    QSignalSpy quit(s.flow.get(), &ui::StartupFlow::quitRequested);
    ui::frmDiamondDetail *stone = s.flow->stone();
    s.flow->showMainMenu();
    QVERIFY(s.flow->front()->isVisible());
    QVERIFY(s.flow->front()->close());
    QCOMPARE(quit.count(), 0);
    QVERIFY(stone->isVisible());

    const int stones = db::scalar(t.db(), QStringLiteral("SELECT COUNT(*) FROM SingleStone")).toInt();
    stone->certificateLookup = nullptr;
    stone->addDiamond();
    stone->findChild<QLineEdit *>(QStringLiteral("txtSKU"))->setText(QStringLiteral("NEW-1"));
    s.prompt.clear();
    s.prompt.answer(false);
    QVERIFY(!stone->close());
    QCOMPARE(quit.count(), 0);
    QVERIFY(stone->isVisible());
    QCOMPARE(s.prompt.texts(PromptEvent::Ask).size(), 1);
    s.prompt.answer(true);
    QVERIFY(stone->close());
    QCOMPARE(quit.count(), 1);
    QCOMPARE(db::scalar(t.db(), QStringLiteral("SELECT COUNT(*) FROM SingleStone")).toInt(), stones);
}

void TestStartup::stoneScreenHidesPriceColumns_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<int>("value"); // the setting's value that hides
    QTest::addColumn<QStringList>("hidden");
    QTest::newRow("list price per carat") << "HideRapUS_CT" << -1 << QStringList{"txtOriginalRapPrice", "txtLatestRapPrice"};
    QTest::newRow("list price per stone") << "HideRapUS_Stone" << -1 << QStringList{"txtOriginalRapPriceUS", "txtUSRap"};
    QTest::newRow("cost per stone") << "HideCostUS_ST" << -1 << QStringList{"txtBoughtPriceUS"};
    QTest::newRow("cost per carat") << "ShowCostUS_CT" << 0 << QStringList{"txtBoughtPriceUSCT"};
    QTest::newRow("selling price per stone")
        << "HideSellPriceUS_ST" << -1 << QStringList{"txtSellPrice", "txtSellPriceLX", "txtSellPrice2", "txtSellPrice3"};
    QTest::newRow("selling price per carat")
        << "ShowSellPriceUS_CT" << 0 << QStringList{"txtSellPriceCT", "txtSellPriceCTLX", "txtSellPriceCT2", "txtSellPriceCT3"};
    QTest::newRow("local selling price per stone")
        << "HideSellPriceMY_ST" << -1 << QStringList{"txtSellPriceLocal2", "txtSellPriceLocal3"};
    QTest::newRow("local selling price per carat")
        << "ShowSellPriceMY_CT" << 0 << QStringList{"txtSellPriceLocalCT2", "txtSellPriceLocalCT3"};
    QTest::newRow("lot") << "ShowLot" << 0 << QStringList{"cboLot"};
    QTest::newRow("measurements") << "ShowDimension" << 0 << QStringList{"txtDim1", "txtDim2", "txtDim3"};
    QTest::newRow("memo number") << "ShowMemoID" << 0 << QStringList{"lblMEMOid"};
    QTest::newRow("hidden as nobody set it") << "ShowLot" << int(QMetaType::UnknownType) << QStringList{"cboLot"};
}

void TestStartup::stoneScreenHidesPriceColumns()
{
    QFETCH(QString, column);
    QFETCH(int, value);
    QFETCH(QStringList, hidden);
    TestDb t;
    Start s(t);
    QVERIFY(s.run());
    ui::frmDiamondDetail *stone = s.flow->stone();
    // Costs are shown only to a user who may see them.
    s.ctx.user.ViewCost = true;
    ui::DiamondCostShowModule(stone);
    QStringList all = {"txtOriginalRapPrice", "txtLatestRapPrice", "txtOriginalRapPriceUS", "txtUSRap",
                       "txtBoughtPriceUS", "txtBoughtPriceUSCT", "txtSellPrice", "txtSellPriceLX", "txtSellPrice2",
                       "txtSellPrice3", "txtSellPriceCT", "txtSellPriceCTLX", "txtSellPriceCT2", "txtSellPriceCT3",
                       "txtSellPriceLocal2", "txtSellPriceLocal3", "txtSellPriceLocalCT2", "txtSellPriceLocalCT3",
                       "cboLot", "txtDim1", "txtDim2", "txtDim3", "lblMEMOid"};
    auto shown = [&] {
        QStringList out;
        for (const QString &n : all)
            if (stone->findChild<QWidget *>(n)->isVisibleTo(stone))
                out << n;
        return out;
    };
    auto setTo = [&](const QVariant &v) {
        db::exec(t.db(), QStringLiteral("UPDATE Config SET %1 = ?").arg(column), {v});
        GetConfigurationModule(s.ctx);
        s.flow->showMainMenu();
        s.flow->showStoneScreen();
        QTRY_VERIFY(stone->isActiveWindow());
    };
    // A new set-up shows every column.
    QCOMPARE(shown(), all);
    setTo(value == int(QMetaType::UnknownType) ? QVariant() : QVariant(value));
    QStringList expected = all;
    for (const QString &h : hidden)
        expected.removeAll(h);
    QTRY_COMPARE(shown(), expected);
    // Set the other way again, they come back.
    setTo(value == -1 ? 0 : -1);
    QTRY_COMPARE(shown(), all);
    if (column == QLatin1String("ShowCostUS_CT")) {
        // A user who may not see costs does not see them, whatever the settings say.
        s.ctx.user.ViewCost = false;
        ui::DiamondCostHideModule(stone);
        setTo(0);
        setTo(-1);
        QVERIFY(!stone->findChild<QWidget *>("txtBoughtPriceUSCT")->isVisibleTo(stone));
    }
    if (column == QLatin1String("ShowDimension")) {
        // Measurements the settings require stay on the screen.
        db::exec(t.db(), QStringLiteral("UPDATE Config SET ForceDimension = -1"));
        setTo(0);
        QVERIFY(stone->findChild<QWidget *>("txtDim1")->isVisibleTo(stone));
    }
}

void TestStartup::plusMinusGradesRepaired()
{
    TestDb t;
    db::exec(t.db(), QStringLiteral("DELETE FROM DiamondGrades WHERE Wording IN ('I1+', 'I2-')"));
    for (int round = 0; round < 2; ++round) {
        QTemporaryDir home;
        AppContext ctx(Workstation(home.path(), home.path()), t.settings());
        ctx.adopt(t.db());
        ui::frmFront front(ctx);
        for (const char *w : {"I1+", "I1-", "I2+", "I2-"})
            QCOMPARE(db::scalar(t.db(), QStringLiteral("SELECT COUNT(*) FROM DiamondGrades WHERE Clarity <> 0 AND "
                                                       "Wording = ?"),
                                {QString::fromLatin1(w)})
                         .toInt(),
                     1);
    }
    QCOMPARE(db::scalar(t.db(), QStringLiteral("SELECT Number FROM DiamondGrades WHERE Wording = 'I2-'")).toInt(), 101);
    QCOMPARE(db::scalar(t.db(), QStringLiteral("SELECT Colour FROM DiamondGrades WHERE Wording = 'I2-'")).toInt(), 0);
}

void TestStartup::scannerOverSerialPort()
{
    const QString socat = QStandardPaths::findExecutable(QStringLiteral("socat"));
    if (socat.isEmpty())
        QSKIP("socat is not installed");
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("ttyA")), b = dir.filePath(QStringLiteral("ttyB"));
    QProcess pair;
    pair.start(socat, {QStringLiteral("-d"), QStringLiteral("-d"),
                       QStringLiteral("pty,raw,echo=0,link=%1").arg(a),
                       QStringLiteral("pty,raw,echo=0,link=%1").arg(b)});
    QVERIFY(pair.waitForStarted());
    QTRY_VERIFY(QFile::exists(a) && QFile::exists(b));

    TestDb t;
    Start s(t);
    QVERIFY(s.ctx.workstation.writeLines(QStringLiteral("labelprinter.ini"),
                                         {QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"), a}));
    QVERIFY(s.run());
    ui::frmFront *front = s.flow->front();
    QVERIFY(front->scannerOpen());
    QTRY_COMPARE(s.ctx.currentScreen, QStringLiteral("frmDiamondDetail"));

    QFile scanner(b);
    QVERIFY(scanner.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    auto scan = [&](const QByteArray &code) { QCOMPARE(scanner.write(code), qint64(code.size())); };

    QSignalSpy customers(front, &ui::frmFront::customerRequested);
    scan("1234509\r");
    QTRY_COMPARE(customers.count(), 1);
    QCOMPARE(customers.first().first().toInt(), 12345);
    QCOMPARE(front->lastCustomerRequest(), 12345);
    // The customer screen opens on that customer.
    QTRY_VERIFY(s.flow->customerScreen(false) && s.flow->customerScreen(false)->isVisible());

    auto *txtID = s.flow->stone()->findChild<QLineEdit *>(QStringLiteral("txtID"));
    auto *txtItemID = s.flow->stone()->findChild<QLineEdit *>(QStringLiteral("txtItemID"));
    scan("4201\r\n");
    QTRY_COMPARE(txtID->text(), QStringLiteral("42"));
    QCOMPARE(txtItemID->text(), QStringLiteral("42"));
    // The same label again, after the user typed elsewhere, still loads it.
    txtID->setText(QStringLiteral("7"));
    scan("4201\r");
    QTRY_COMPARE(txtID->text(), QStringLiteral("42"));
    // Two codes in one burst are both taken.
    scan("7701\r5509\r");
    QTRY_COMPARE(customers.count(), 2);
    QCOMPARE(customers.last().first().toInt(), 55);
    QCOMPARE(txtID->text(), QStringLiteral("77"));
    // An activation keeps the open port; a setting of 0 closes it.
    front->activated();
    scan("8801\r");
    QTRY_COMPARE(txtID->text(), QStringLiteral("88"));
    s.ctx.settings.scannerPort = QStringLiteral("0");
    front->reopenScanner();
    QVERIFY(!front->scannerOpen());
    scanner.close();

    // The port is busy now: a second workstation program starts anyway, without scanner.
    QTemporaryDir home2;
    AppContext ctx2(Workstation(home2.path(), home2.path()), t.settings());
    ctx2.adopt(t.db());
    ctx2.workstation.writeLines(QStringLiteral("labelprinter.ini"),
                                {QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"), dir.filePath("nope")});
    ui::frmFront other(ctx2);
    QVERIFY(!other.scannerOpen());

    pair.terminate();
    pair.waitForFinished(3000);
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
