// A new dealer's first hour: the "Getting started" list on the home screen
// of a new database, from an empty workstation folder.  Each line is done
// on the screens it opens, as a user would, and must then be ticked (the
// database says so, not a note of the click); a line begun and not finished
// stays unticked.  Then the list is hidden and brought back from the Help
// menu, and at the next start it shows only while something is left to do,
// on the main menu in the wholesale set-up.
#include "../pricing/PricingTestKit.h"
#include "ScriptedPrompt.h"
#include "TestDb.h"
#include "TestUsers.h"

#include "core/AppContext.h"
#include "core/Users.h"
#include "db/Sql.h"
#include "shell/GettingStarted.h"
#include "shell/widgets/StartupFlow.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDockWidget>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

using namespace velmor;
using velmor::test::ScriptedPrompt;
using velmor::test::TestDb;

namespace {

const QString kTick = QStringLiteral("\u2714");

QWidget *window(const QString &name)
{
    QCoreApplication::processEvents();
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->objectName() == name)
            return w;
    return nullptr;
}

// Runs `answer` on the window named `name` once it shows (a modal dialog
// runs its own loop, so the answer is scheduled before the click).
void whenShown(const QString &name, std::function<void(QWidget *)> answer, int tries = 400)
{
    QTimer::singleShot(10, [=] {
        if (QWidget *w = window(name))
            answer(w);
        else if (tries > 0)
            whenShown(name, answer, tries - 1);
        else
            qWarning("%s never showed", qPrintable(name));
    });
}

void click(QWidget *screen, const char *name)
{
    auto *b = screen ? screen->findChild<QAbstractButton *>(QString::fromLatin1(name)) : nullptr;
    QVERIFY2(b && b->isEnabled() && b->isVisibleTo(screen->window()), name);
    QTest::mouseClick(b, Qt::LeftButton);
}

void type(QWidget *screen, const char *field, const QString &text)
{
    auto *le = screen ? screen->findChild<QLineEdit *>(QString::fromLatin1(field)) : nullptr;
    QVERIFY2(le && le->isEnabled() && !le->isReadOnly(), field);
    le->setFocus();
    le->selectAll();
    QTest::keyClicks(le, text);
}

void choose(QWidget *screen, const char *combo, const QString &part)
{
    auto *c = screen->findChild<QComboBox *>(QString::fromLatin1(combo));
    QVERIFY2(c, combo);
    for (int i = 0; i < c->count(); ++i)
        if (c->itemText(i).startsWith(part) || c->itemText(i).endsWith(part)) {
            c->setCurrentIndex(i);
            emit c->activated(i);
            emit c->textActivated(c->itemText(i));
            return;
        }
    QFAIL(qPrintable(QStringLiteral("no entry %1 in %2").arg(part, QString::fromLatin1(combo))));
}

} // namespace

class TestGettingStarted : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void shownOnANewDatabase();
    void company();
    void exchangeRates();
    void priceGrid();
    void firstCustomer();
    void firstStone();
    void hiddenAndBroughtBack();
    void nextStart();
    void whatCountsAsDone_data();
    void whatCountsAsDone();

private:
    QWidget *stone() const { return m_flow->stone(); }
    QDockWidget *dock() const { return m_flow->gettingStarted(); }
    QString tick(const char *name) const
    {
        auto *l = dock() ? dock()->findChild<QLabel *>(QString::fromLatin1(name)) : nullptr;
        return l ? l->text() : QStringLiteral("(no %1)").arg(QString::fromLatin1(name));
    }
    // Every tick, in the list's order ("+" ticked, "-" not).
    QString ticks() const
    {
        QString out;
        for (const char *n : {"lblStartCompany", "lblStartRates", "lblStartPriceGrid", "lblStartCustomer", "lblStartStone"})
            out += tick(n) == kTick ? QLatin1Char('+') : QLatin1Char('-');
        return out;
    }
    void start();
    // The user comes back to the home screen from another window.
    void backHome(QWidget *home);

    std::unique_ptr<TestDb> m_db;
    QTemporaryDir m_home;
    ScriptedPrompt m_prompt;
    std::unique_ptr<AppContext> m_ctx;
    std::unique_ptr<ui::StartupFlow> m_flow;
    bool m_failedBefore = false;
};

void TestGettingStarted::initTestCase()
{
    qputenv("VELMOR_NO_SPLASH_PAUSE", "1");
    m_db = std::make_unique<TestDb>();
    QVERIFY(QDir(m_home.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
    m_ctx = std::make_unique<AppContext>(Workstation(m_home.filePath("ws"), m_home.filePath("program")),
                                         m_db->settings(), &m_prompt);
    m_ctx->adopt(m_db->db());
    // The administrator the first log-on's question would have made.
    test::addAdministrator(m_db->db());
    start();
}

void TestGettingStarted::start()
{
    m_flow.reset();
    m_flow = std::make_unique<ui::StartupFlow>(*m_ctx);
    QSignalSpy done(m_flow.get(), &ui::StartupFlow::finished);
    m_flow->start();
    QVERIFY(done.count() > 0 || done.wait(30000));
    QTRY_VERIFY(m_flow->stone()->startUpDone());
}

void TestGettingStarted::cleanupTestCase()
{
    m_flow.reset();
    m_ctx.reset();
    m_db.reset();
}

void TestGettingStarted::init()
{
    // One road: a step after a failed one has nothing to stand on.
    if (m_failedBefore)
        QSKIP("an earlier step failed");
    m_prompt.clear();
}

void TestGettingStarted::cleanup()
{
    m_failedBefore = m_failedBefore || QTest::currentTestFailed();
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible() && w != stone() && w != m_flow->front())
            w->close();
}

void TestGettingStarted::backHome(QWidget *home)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible() && w != stone() && w != m_flow->front())
            w->close();
    home->activateWindow();
    QApplication::setActiveWindow(home);
}

void TestGettingStarted::shownOnANewDatabase()
{
    QVERIFY(dock());
    QCOMPARE(dock()->parentWidget(), stone());
    QVERIFY(dock()->isVisible());
    QCOMPARE(ticks(), QStringLiteral("-----"));
    auto *note = dock()->findChild<QLabel *>("lblGettingStartedNote");
    QCOMPARE(note->text(), QStringLiteral("Log on first."));

    // Nobody logged in: a line gives the refusal its menu command gives and
    // opens nothing.
    click(dock(), "cmdStartCompany");
    QCOMPARE(m_prompt.messages(), QStringList{"Authorization Failure: No Permission, please login or contact the System "
                                              "Administrator!"});
    QVERIFY(!window("frmConfiguration"));

    whenShown("frmLogin", [](QWidget *w) {
        w->findChild<QLineEdit *>("txtUserName")->setText("user");
        w->findChild<QLineEdit *>("txtPassword")->setText(test::kAdminPassword);
        QTest::mouseClick(w->findChild<QPushButton *>("cmdOK"), Qt::LeftButton);
    });
    stone()->findChild<QAction *>("mnuLogOn")->trigger();
    QVERIFY(m_ctx->user.ID > 0);
    QTRY_VERIFY(note->isHidden());
}

void TestGettingStarted::company()
{
    click(dock(), "cmdStartCompany");
    QWidget *config = window("frmConfiguration");
    QVERIFY(config);
    // The name alone: the address is still the new database's placeholder.
    type(config, "txtCompanyName", "Lumen Diamonds Ltd.");
    click(config, "cmdRapSettings");
    backHome(stone());
    QTest::qWait(50);
    QCOMPARE(ticks(), QStringLiteral("-----"));

    click(dock(), "cmdStartCompany");
    config = window("frmConfiguration");
    QVERIFY(config);
    type(config, "txtCompanyStreet1", "21 Bay Street");
    type(config, "txtCompanyCity", "Toronto");
    // The logo, a picture of the dealer's, becomes logo.jpg of the shared folder.
    const QString picture = m_home.filePath("lumen.png");
    QImage logo(300, 100, QImage::Format_RGB32);
    logo.fill(Qt::darkBlue);
    QVERIFY(logo.save(picture));
    whenShown("dlgCompanyLogo", [picture](QWidget *w) {
        // The path typed into the file name box, then Open.
        auto *name = w->findChild<QLineEdit *>("fileNameEdit");
        QVERIFY(name);
        name->setText(picture);
        static_cast<QDialog *>(w)->accept();
    });
    click(config, "cmdCompanyLogo");
    QVERIFY(!config->findChild<QLabel *>("imgCompanyLogo")->pixmap().isNull());
    QVERIFY(!QFileInfo::exists(m_ctx->workstation.path("logo.jpg"))); // not before the save
    click(config, "cmdRapSettings");
    QVERIFY2(m_prompt.messages().isEmpty(), qPrintable(m_prompt.messages().join('|')));
    const QImage written(m_ctx->workstation.path("logo.jpg"), "JPG");
    QCOMPARE(written.size(), QSize(300, 100));
    backHome(stone());
    QTRY_COMPARE(ticks(), QStringLiteral("+----"));
}

void TestGettingStarted::exchangeRates()
{
    click(dock(), "cmdStartRates");
    QWidget *rates = window("frmConfigExchangeRate");
    QVERIFY(rates);
    type(rates, "txtExchangeRate", "1.3725");
    click(rates, "cmdRapSettings");
    QVERIFY2(m_prompt.messages().isEmpty(), qPrintable(m_prompt.messages().join('|')));
    QCOMPARE(db::scalar(m_db->db(), "SELECT ExchangeRate FROM Config").toDouble(), 1.3725);
    // The saved rate ticks the line without a trip back to the home screen.
    QTRY_COMPARE(ticks(), QStringLiteral("++---"));
}

void TestGettingStarted::priceGrid()
{
    // A folder without the provider's files: refused, the grid stays empty.
    const QString empty = m_home.filePath("no-files");
    QVERIFY(QDir().mkpath(empty));
    whenShown("dlgPriceFiles", [empty](QWidget *w) {
        static_cast<QFileDialog *>(w)->setDirectory(empty);
        static_cast<QDialog *>(w)->accept();
    });
    click(dock(), "cmdStartPriceGrid");
    QCOMPARE(m_prompt.messages().size(), 1);
    QVERIFY2(m_prompt.messages().constFirst().startsWith("Import price files: The price grid was not imported: ")
                 && m_prompt.messages().constFirst().contains("round.csv"),
             qPrintable(m_prompt.messages().constFirst()));
    QCOMPARE(db::scalar(m_db->db(), "SELECT COUNT(*) FROM raplist").toInt(), 0);
    QTest::qWait(50);
    QCOMPARE(ticks(), QStringLiteral("++---"));

    // This week's files.
    m_prompt.clear();
    const QString week = m_home.filePath("week49");
    test::writeGridFiles(week, "BR,VS1,G,1.00,1.49,12000,12/4/26\nBR,VS2,G,1.00,1.49,10500,12/4/26\n",
                         "PS,VS1,G,1.00,1.49,8000,12/4/26\n");
    whenShown("dlgPriceFiles", [week](QWidget *w) {
        static_cast<QFileDialog *>(w)->setDirectory(week);
        static_cast<QDialog *>(w)->accept();
    });
    click(dock(), "cmdStartPriceGrid");
    QCOMPARE(m_prompt.messages().size(), 1);
    QVERIFY2(m_prompt.messages().constFirst().startsWith("Import price files: ")
                 && m_prompt.messages().constFirst().contains("Imported 5 grid rows from"),
             qPrintable(m_prompt.messages().constFirst()));
    QCOMPARE(db::scalar(m_db->db(), "SELECT COUNT(*) FROM raplist").toInt(), 5);
    QTRY_COMPARE(ticks(), QStringLiteral("+++--"));
}

void TestGettingStarted::firstCustomer()
{
    click(dock(), "cmdStartCustomer");
    QWidget *c = window("frmCustomer");
    QVERIFY(c);
    type(c, "txtSupplierName", "Maple Leaf Jewellers");
    type(c, "txtSupplierCity", "Toronto");
    click(c, "cmdUpdateChanges");
    QVERIFY2(m_prompt.messages().isEmpty(), qPrintable(m_prompt.messages().join('|')));
    QTRY_COMPARE(ticks(), QStringLiteral("++++-"));
}

void TestGettingStarted::firstStone()
{
    // Adding starts with the laboratory's look-up; the dealer types instead.
    whenShown("frmGIA", [](QWidget *d) { click(d, "Image2"); });
    click(dock(), "cmdStartStone");
    QVERIFY(!window("frmGIA"));
    // Begun, not saved: the new stone has no row yet, nothing is ticked.
    QCOMPARE(db::scalar(m_db->db(), "SELECT COUNT(*) FROM SingleStone").toInt(), 0);
    backHome(stone());
    QTest::qWait(50);
    QCOMPARE(ticks(), QStringLiteral("++++-"));

    QWidget *s = stone();
    type(s, "txtSKU", "LD-1");
    choose(s, "cboShape", "Round Brilliant [BR]");
    type(s, "txtWeight", "1.01");
    choose(s, "cboColour", " - G");
    choose(s, "cboClarity", " - VS1");
    click(s, "optLockDollar");
    type(s, "txtSellPrice", "9,500");
    click(s, "cmdUpdate");
    QVERIFY2(m_prompt.messages().isEmpty(), qPrintable(m_prompt.messages().join('|')));
    QTRY_COMPARE(ticks(), QStringLiteral("+++++"));
    QCOMPARE(dock()->findChild<QLabel *>("lblGettingStartedNote")->text(), QStringLiteral("All done."));
}

void TestGettingStarted::hiddenAndBroughtBack()
{
    click(dock(), "cmdHideGettingStarted");
    QVERIFY(!dock()->isVisible());
    QCOMPARE(m_ctx->workstation.readFirstLine("gettingstarted.txt"), QStringLiteral("hidden"));
    auto *help = stone()->findChild<QAction *>("mnuGettingStarted");
    QVERIFY(help && help->isEnabled());
    help->trigger();
    QVERIFY(dock()->isVisible());
    QCOMPARE(ticks(), QStringLiteral("+++++"));
    QCOMPARE(m_ctx->workstation.readFirstLine("gettingstarted.txt"), QStringLiteral("shown"));
}

void TestGettingStarted::nextStart()
{
    // Everything done: the list stays away, Help brings it.
    start();
    QVERIFY(dock() && !dock()->isVisible());

    // The wholesale set-up, and a stored rate gone: the list is on the main
    // menu, the one line left unticked.
    db::exec(m_db->db(), "UPDATE Config SET VelmorWholeSale = -1, ExchangeRate = NULL");
    start();
    QVERIFY(m_flow->front() && m_flow->front()->isVisible());
    QCOMPARE(dock()->parentWidget(), m_flow->front());
    QVERIFY(dock()->isVisible());
    QCOMPARE(ticks(), QStringLiteral("+-+++"));
    QVERIFY(!stone()->findChild<QDockWidget *>("dckGettingStarted"));
    QVERIFY(m_flow->front()->findChild<QAction *>("mnuGettingStarted"));

    // Hidden on this workstation: not shown at the next start either.
    click(dock(), "cmdHideGettingStarted");
    start();
    QVERIFY(!dock()->isVisible());
}

// The rows a line is read from, at their edges: what looks nearly done is
// not done.
void TestGettingStarted::whatCountsAsDone_data()
{
    QTest::addColumn<QStringList>("statements");
    QTest::addColumn<QString>("done");
    const QString everything = QStringLiteral(
        "UPDATE Config SET CompanyName = 'Lumen', CompanyStreet1 = '21 Bay Street', CompanyCity = 'Toronto', "
        "ExchangeRate = 1.37|INSERT INTO raplist (Shape, Colour, Clarity, LowCarat, HighCarat, Price) "
        "VALUES ('BR', 'G', 'VS1', 1, 1.49, 12000)|INSERT INTO Customer (CompanyName, Customer, Supplier) "
        "VALUES ('Maple', -1, 0)|INSERT INTO SingleStone (SKU) VALUES ('LD-1')");
    QTest::newRow("new database") << QStringList() << "-----";
    QTest::newRow("everything") << everything.split('|') << "+++++";
    QTest::newRow("a placeholder left, a rate of 0")
        << QStringList{"UPDATE Config SET CompanyName = 'Lumen', CompanyCity = 'Toronto', ExchangeRate = 0"} << "-----";
    QTest::newRow("blank street") << QStringList{"UPDATE Config SET CompanyName = 'Lumen', CompanyStreet1 = '  ', "
                                                 "CompanyCity = 'Toronto'"}
                                  << "-----";
    QTest::newRow("suppliers only, a stone being added")
        << QStringList{"INSERT INTO Customer (CompanyName, Customer, Supplier) VALUES ('Antwerp Rough', 0, -1)",
                       "INSERT INTO SingleStone (SKU) VALUES (' ')"}
        << "-----";
    QTest::newRow("no Config row") << QStringList{"DELETE FROM Config"} << "-----";
}

void TestGettingStarted::whatCountsAsDone()
{
    QFETCH(QStringList, statements);
    QFETCH(QString, done);
    TestDb t;
    for (const QString &sql : statements)
        db::exec(t.db(), sql);
    const shell::StartProgress p = shell::readStartProgress(t.db());
    QString seen;
    for (bool d : p.done)
        seen += d ? QLatin1Char('+') : QLatin1Char('-');
    QCOMPARE(seen, done);
    QCOMPARE(p.allDone(), done == QLatin1String("+++++"));
}

QTEST_MAIN(TestGettingStarted)
#include "tst_gettingstarted.moc"
