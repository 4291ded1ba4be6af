// The settings record: loading rules, workstation files, the configuration
// screen's save, the settings menu and the printer list.
#include <QSqlRecord>
#include <QSqlQuery>

#include "TestDb.h"
#include "ScriptedPrompt.h"
#include "TestUsers.h"

#include "core/AppContext.h"
#include "core/Configuration.h"
#include "core/SettingsFields.h"
#include "core/frmConfigMenu.h"
#include "core/frmConfiguration.h"
#include "core/Users.h"
#include "core/widgets/StoneScreenRights.h"
#include "db/Row.h"
#include "db/Sql.h"

#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

using namespace velmor;
using velmor::test::ScriptedPrompt;
using velmor::test::TestDb;

namespace {

QVariant configValue(const QSqlDatabase &db, const QString &column)
{
    return db::scalar(db, QStringLiteral("SELECT `%1` FROM Config ORDER BY ID LIMIT 1").arg(column));
}

struct Fixture {
    TestDb t;
    QTemporaryDir home;
    QTemporaryDir program;
    ScriptedPrompt prompt;
    AppContext ctx;
    Fixture() : ctx(Workstation(home.path(), program.path()), t.settings(), &prompt)
    {
        ctx.adopt(t.db());
        ctx.user.Administrator = true; // the screens are an administrator's
    }
};

} // namespace

class TestConfiguration : public QObject {
    Q_OBJECT
private slots:
    void nullRules_data();
    void nullRules();
    void emptyConfigGetsDefaultRow();
    void wholesaleFlagSetsHomeScreen_data();
    void wholesaleFlagSetsHomeScreen();
    void workstationFiles();
    void printersFile();
    void saveFromScreen();
    void saveTwiceAlternatesLogo();
    void untouchedSaveKeepsTheRow();
    void refusedSaveChangesNothing();
    void retiredTab();
    void settingsMenu();
    void administratorsOnly();
    void commandLine();
};

void TestConfiguration::nullRules_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("shown"); // as `config show` prints it
    QTest::newRow("flag 2 is true") << "StoneChange" << QVariant(2) << "true";
    QTest::newRow("flag -1 is true") << "AutoSku" << QVariant(-1) << "true";
    QTest::newRow("flag 0 is false") << "AutoSku" << QVariant(0) << "false";
    QTest::newRow("flag Null is false") << "OvalEQPear" << QVariant() << "false";
    QTest::newRow("number Null is 0") << "Tax1" << QVariant() << "0";
    QTest::newRow("number") << "ExciseTax" << QVariant(1.5) << "1.5";
    QTest::newRow("text Null is empty") << "CompanyFax" << QVariant() << "";
    QTest::newRow("invoice template Null is DEFAULT") << "InvoiceTemplate" << QVariant() << "DEFAULT";
    QTest::newRow("class label Null has its default") << "Class3Label" << QVariant() << "Class 3";
    QTest::newRow("class label as stored") << "Class3Label" << QVariant(QStringLiteral("Gold")) << "Gold";
    QTest::newRow("station flag") << "Deactivate20" << QVariant(1) << "true";
}

void TestConfiguration::nullRules()
{
    QFETCH(QString, column);
    QFETCH(QVariant, stored);
    QFETCH(QString, shown);
    Fixture f;
    db::exec(f.t.db(), QStringLiteral("UPDATE Config SET `%1` = ?").arg(column), {stored});
    GetConfigurationModule(f.ctx);
    const SettingsField *field = settingsField(column);
    QVERIFY(field);
    QCOMPARE(field->display(f.ctx.settings), shown);
}

void TestConfiguration::emptyConfigGetsDefaultRow()
{
    Fixture f;
    db::exec(f.t.db(), QStringLiteral("DELETE FROM Config"));
    GetConfigurationModule(f.ctx);
    QCOMPARE(db::scalar(f.t.db(), QStringLiteral("SELECT COUNT(*) FROM Config")).toInt(), 1);
    QCOMPARE(configValue(f.t.db(), QStringLiteral("CompanyName")).toString(), QStringLiteral("Company Name"));
    QCOMPARE(configValue(f.t.db(), QStringLiteral("CompanyStreet1")).toString(), QStringLiteral("Company Street1"));
    QCOMPARE(configValue(f.t.db(), QStringLiteral("CompanyCity")).toString(), QStringLiteral("Company City"));
    QVERIFY(configValue(f.t.db(), QStringLiteral("CompanyStreet2")).isNull());
    QCOMPARE(f.ctx.settings.CompanyName, QStringLiteral("Company Name"));
    // A second load adds nothing.
    GetConfigurationModule(f.ctx);
    QCOMPARE(db::scalar(f.t.db(), QStringLiteral("SELECT COUNT(*) FROM Config")).toInt(), 1);
}

void TestConfiguration::wholesaleFlagSetsHomeScreen_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<bool>("wholesale");
    QTest::newRow("Null") << QVariant() << false;
    QTest::newRow("0") << QVariant(0) << false;
    QTest::newRow("1") << QVariant(1) << true;
}

void TestConfiguration::wholesaleFlagSetsHomeScreen()
{
    QFETCH(QVariant, stored);
    QFETCH(bool, wholesale);
    Fixture f;
    db::exec(f.t.db(), QStringLiteral("UPDATE Config SET VelmorWholeSale = ?"), {stored});
    GetConfigurationModule(f.ctx);
    QCOMPARE(f.ctx.WholeSaleMode, wholesale);
    QCOMPARE(f.ctx.DiamondMode, !wholesale);
}

void TestConfiguration::workstationFiles()
{
    Fixture f;
    db::exec(f.t.db(), QStringLiteral("UPDATE Config SET MyCurrencyName = 'EUR', serialscanning = -1"));
    Workstation &ws = f.ctx.workstation;

    // Nothing there: defaults, and the logo is looked for in the workstation folder.
    GetConfigurationModule(f.ctx);
    QCOMPARE(f.ctx.settings.localCurrencyName, QStringLiteral("CDN"));
    QCOMPARE(f.ctx.settings.MyCurrencyName, QStringLiteral("EUR"));
    QCOMPARE(f.ctx.settings.scanningTable, QStringLiteral("track"));
    QCOMPARE(f.ctx.settings.sharedFolder, ws.folder());
    QCOMPARE(f.ctx.settings.logoPath, QString());
    QCOMPARE(f.ctx.settings.scannerPort, QString());
    QCOMPARE(ws.readFirstLine(QStringLiteral("errrotrap.txt")), QStringLiteral("35u35h35"));
    QImage logo(20, 10, QImage::Format_RGB32);
    logo.fill(Qt::red);
    QVERIFY(logo.save(ws.path(QStringLiteral("logo.jpg"))));
    GetConfigurationModule(f.ctx);
    QCOMPARE(f.ctx.settings.logoPath, ws.path(QStringLiteral("logo.jpg")));

    // server.ini names the shared folder; labelprinter.ini the ports.
    QTemporaryDir shared;
    QVERIFY(ws.writeLines(QStringLiteral("server.ini"), {shared.path()}));
    QVERIFY(ws.writeLines(QStringLiteral("labelprinter.ini"),
                          {QStringLiteral("2"), QStringLiteral("15"), QStringLiteral("7.5"), QStringLiteral("4")}));
    QVERIFY(ws.writeLines(QStringLiteral("chklabelquill.txt"), {QStringLiteral("true")}));
    GetConfigurationModule(f.ctx);
    QCOMPARE(f.ctx.settings.sharedFolder, shared.path());
    QCOMPARE(f.ctx.settings.logoPath, QString()); // no logo.jpg there
    QCOMPARE(f.ctx.settings.labelPrinterPort, QStringLiteral("2"));
    QCOMPARE(f.ctx.settings.labelLeftOffset, 15.0);
    QCOMPARE(f.ctx.settings.labelRightOffset, 7.5);
    QCOMPARE(f.ctx.settings.scannerPort, QStringLiteral("4"));
    QVERIFY(f.ctx.settings.labelQuill);
    QVERIFY(!f.ctx.settings.printDiamondComment);
}

void TestConfiguration::printersFile()
{
    Fixture f;
    f.ctx.settings.printers[0] = QStringLiteral("kept");
    GetPrintersModule(f.ctx); // no file: names stay
    QCOMPARE(f.ctx.settings.printers[0], QStringLiteral("kept"));
    QVERIFY(f.ctx.workstation.writeLines(f.ctx.workstation.programPath(QStringLiteral("printers.ini")),
                                         {QStringLiteral("Invoices HP"), QStringLiteral("default"),
                                          QStringLiteral("Ship"), QStringLiteral("Statements"),
                                          QStringLiteral("Consign")}));
    GetPrintersModule(f.ctx);
    QCOMPARE(f.ctx.settings.printers[0], QStringLiteral("Invoices HP"));
    QCOMPARE(f.ctx.settings.printers[1], QStringLiteral("default"));
    QCOMPARE(f.ctx.settings.printers[4], QStringLiteral("Consign"));
}

void TestConfiguration::saveFromScreen()
{
    Fixture f;
    db::exec(f.t.db(), QStringLiteral("DELETE FROM Colours"));
    db::exec(f.t.db(), QStringLiteral("UPDATE Config SET BuyOffRap = -1, LowerQuality = 2, Tax2 = 13"));
    ui::frmConfiguration w(f.ctx);
    w.show();
    auto line = [&](const char *n) { return w.findChild<QLineEdit *>(QString::fromLatin1(n)); };
    auto check = [&](const char *n) { return w.findChild<QCheckBox *>(QString::fromLatin1(n)); };
    auto option = [&](const char *n) { return w.findChild<QRadioButton *>(QString::fromLatin1(n)); };

    // Loaded from the row.
    QCOMPARE(line("txtCompanyName")->text(), QStringLiteral("Company Name"));
    QVERIFY(option("optBuyOffRap")->isChecked());
    QVERIFY(!option("optBuyFixedValue")->isChecked());
    QVERIFY(option("optLower")->isChecked());
    QCOMPARE(line("txtTax2")->text(), QStringLiteral("13"));

    line("txtCompanyName")->setText(QStringLiteral("Rue d'Or \\ Diamonds"));
    line("txtTax1")->setText(QStringLiteral("12"));
    line("txtTax2")->setText(QString());
    line("txtExciseTax")->setText(QStringLiteral("2.75"));
    line("txtColour3")->setText(QStringLiteral("Rose"));
    check("chkRound5")->setChecked(true);
    check("chkOvalEQPear")->setChecked(true);
    check("chkShowReference")->setChecked(true);
    option("optBuyFixedValue")->setChecked(true);
    option("optSellOffRap")->setChecked(true);
    option("optInvoiceBH")->setChecked(true);
    QTest::mouseClick(w.findChild<QPushButton *>(QStringLiteral("cmdRapSettings")), Qt::LeftButton);
    for (const QString &m : f.prompt.messages())
        QVERIFY2(m.contains(QStringLiteral("has been saved")), qPrintable(m));

    const QSqlDatabase db = f.t.db();
    QCOMPARE(configValue(db, QStringLiteral("CompanyName")).toString(), QStringLiteral("Rue d'Or \\ Diamonds"));
    QCOMPARE(configValue(db, QStringLiteral("Tax1")).toDouble(), 12.0);
    QCOMPARE(configValue(db, QStringLiteral("Tax2")).toDouble(), 0.0);
    QCOMPARE(configValue(db, QStringLiteral("ExciseTax")).toDouble(), 2.75);
    QCOMPARE(configValue(db, QStringLiteral("PriceRound")).toDouble(), 5.0);
    QCOMPARE(configValue(db, QStringLiteral("InvoiceTemplate")).toString(), QStringLiteral("BH"));
    QCOMPARE(configValue(db, QStringLiteral("OvalEQPear")).toInt(), -1);
    QCOMPARE(configValue(db, QStringLiteral("ShowReferenceNumber")).toInt(), -1);
    QCOMPARE(configValue(db, QStringLiteral("BuyOffRap")).toInt(), 0);
    QCOMPARE(configValue(db, QStringLiteral("BuyUS")).toInt(), 0);
    QCOMPARE(configValue(db, QStringLiteral("SellOffRap")).toInt(), -1);
    // Left as it was (2 reads as set): only what the user changed is written.
    QCOMPARE(configValue(db, QStringLiteral("LowerQuality")).toInt(), 2);
    // Colours gets its row, with the boxes' names.
    QCOMPARE(db::scalar(db, QStringLiteral("SELECT COUNT(*) FROM Colours")).toInt(), 1);
    QCOMPARE(db::scalar(db, QStringLiteral("SELECT Colour3 FROM Colours")).toString(), QStringLiteral("Rose"));
    // The running program has the new values, and the screen shows them.
    QCOMPARE(f.ctx.settings.CompanyName, QStringLiteral("Rue d'Or \\ Diamonds"));
    QCOMPARE(f.ctx.settings.PriceRound, 5.0);
    QVERIFY(f.ctx.settings.OvalEQPear);
    QCOMPARE(f.ctx.settings.Colour[2], QStringLiteral("Rose"));
    QCOMPARE(line("txtTax1")->text(), QStringLiteral("12"));

    check("chkRound5")->setChecked(false);
    option("optInvoice1")->setChecked(true);
    w.save();
    QCOMPARE(configValue(db, QStringLiteral("PriceRound")).toDouble(), 1.0);
    QCOMPARE(configValue(db, QStringLiteral("InvoiceTemplate")).toString(), QStringLiteral("DEFAULT"));
}

void TestConfiguration::saveTwiceAlternatesLogo()
{
    Fixture f;
    db::exec(f.t.db(), QStringLiteral("UPDATE Config SET CompanyLogo = 'LOGO'"));
    ui::frmConfiguration w(f.ctx);
    w.show();
    auto *save = w.findChild<QPushButton *>(QStringLiteral("cmdRapSettings"));
    QTest::mouseClick(save, Qt::LeftButton);
    QCOMPARE(configValue(f.t.db(), QStringLiteral("CompanyLogo")).toString(), QStringLiteral("LOGO1"));
    QTest::mouseClick(save, Qt::LeftButton);
    QCOMPARE(configValue(f.t.db(), QStringLiteral("CompanyLogo")).toString(), QStringLiteral("LOGO"));
    QCOMPARE(db::scalar(f.t.db(), QStringLiteral("SELECT COUNT(*) FROM Config")).toInt(), 1);
}

// Loading the settings and saving them untouched changes no stored value;
// only the logo name alternates at every save, as the screen always did.
void TestConfiguration::untouchedSaveKeepsTheRow()
{
    Fixture f;
    const QSqlDatabase db = f.t.db();
    db::exec(db, QStringLiteral("UPDATE Config SET Tax1 = 7.5, CompanyStreet2 = 'Pelikaanstraat 62', "
                                "CompanyLogo = 'LOGO'"));
    auto row = [&](const QString &table) {
        QSqlQuery q = db::exec(db, QStringLiteral("SELECT * FROM %1 ORDER BY ID LIMIT 1").arg(table));
        QStringList cells;
        if (q.next())
            for (int i = 0; i < q.record().count(); ++i)
                if (q.record().fieldName(i).compare(QLatin1String("CompanyLogo"), Qt::CaseInsensitive) != 0)
                    cells << q.record().fieldName(i) + QLatin1Char('=')
                            + (q.value(i).isNull() ? QStringLiteral("NULL") : q.value(i).toString());
        return cells;
    };
    const QStringList config = row(QStringLiteral("Config"));
    const QStringList colours = row(QStringLiteral("Colours"));
    ui::frmConfiguration w(f.ctx);
    w.show();
    w.save();
    QVERIFY(f.prompt.messages().isEmpty());
    QCOMPARE(row(QStringLiteral("Config")), config);
    QCOMPARE(row(QStringLiteral("Colours")), colours);
}

void TestConfiguration::refusedSaveChangesNothing()
{
    Fixture f;
    db::exec(f.t.db(), QStringLiteral("DELETE FROM Colours"));
    ui::frmConfiguration w(f.ctx);
    w.show();
    // A company postcode longer than its column: the server refuses the row.
    w.findChild<QLineEdit *>(QStringLiteral("txtColour1"))->setText(QStringLiteral("Yellow"));
    w.findChild<QLineEdit *>(QStringLiteral("txtCompanyCity"))->setText(QStringLiteral("Antwerp"));
    w.findChild<QLineEdit *>(QStringLiteral("txtCompanyZIP"))->setText(QString(300, QLatin1Char('9')));
    w.save();
    QCOMPARE(f.prompt.messages().size(), 1);
    QVERIFY(f.prompt.messages().first().startsWith(QStringLiteral("Configuration: The settings could not be saved")));
    QCOMPARE(configValue(f.t.db(), QStringLiteral("CompanyCity")).toString(), QStringLiteral("Company City"));
    QCOMPARE(db::scalar(f.t.db(), QStringLiteral("SELECT COUNT(*) FROM Colours")).toInt(), 0);
}

void TestConfiguration::retiredTab()
{
    Fixture f;
    ui::frmConfiguration w(f.ctx);
    w.show();
    auto *tabs = w.findChild<QTabBar *>(QStringLiteral("tsDiamond"));
    QVERIFY(tabs);
    QCOMPARE(tabs->count(), 7);
    tabs->setCurrentIndex(6);
    tabs->setCurrentIndex(1);
    QCOMPARE(f.prompt.messages(), QStringList{QStringLiteral(": Function retired, unavailable")});
    QCOMPARE(f.prompt.events.first().icon, Icon::Information);
    QCOMPARE(tabs->currentIndex(), 6);
    QVERIFY(w.findChild<QWidget *>(QStringLiteral("fraTaxes"))->isVisible());
}

void TestConfiguration::settingsMenu()
{
    Fixture f;
    f.ctx.exchangeRateCDN = 1.3625;
    f.ctx.exchangeRateZAR = 18.2;
    {
        ui::frmConfigMenu menu(f.ctx, nullptr);
        QCOMPARE(menu.findChild<QLineEdit *>(QStringLiteral("txtCDN"))->text(), QStringLiteral("1.3625"));
        menu.findChild<QCheckBox *>(QStringLiteral("chkLabelQuill"))->setChecked(true);
        QTest::mouseClick(menu.findChild<QToolButton *>(QStringLiteral("Image2")), Qt::LeftButton);
        auto *zar = menu.findChild<QLineEdit *>(QStringLiteral("txtZAR"));
        zar->clear(); // a box being retyped does not zero the working rate
        QCOMPARE(f.ctx.exchangeRateZAR, 18.2);
        QTest::keyClicks(zar, QStringLiteral("17.9"));
        QCOMPARE(f.ctx.exchangeRateZAR, 18.2); // taken when the menu closes, not key by key
        QTest::mouseClick(menu.findChild<QPushButton *>(QStringLiteral("Command4")), Qt::LeftButton);
        QCOMPARE(menu.choice(), 4);
        QCOMPARE(f.ctx.exchangeRateZAR, 17.9);
    }
    // The rand rate typed is kept: the next start without a fetch has it.
    QCOMPARE(db::scalar(f.t.db(), "SELECT CAST(ExchangeRateZAR AS CHAR) FROM Config").toString(), QString("17.90000"));
    const Workstation &ws = f.ctx.workstation;
    QCOMPARE(ws.readLines(QStringLiteral("chklabelquill.txt")), QStringList{QStringLiteral("true")});
    QCOMPARE(ws.readLines(QStringLiteral("printDIAMONDcomment.txt")), QStringList{QStringLiteral("false")});
    QVERIFY(f.ctx.settings.labelQuill);

    // Opened and saved untouched: the options and the working rates stay.
    {
        ui::frmConfigMenu menu(f.ctx, nullptr);
        QTest::mouseClick(menu.findChild<QToolButton *>(QStringLiteral("Image2")), Qt::LeftButton);
        menu.done(0);
    }
    QCOMPARE(ws.readLines(QStringLiteral("chklabelquill.txt")), QStringList{QStringLiteral("true")});
    QCOMPARE(ws.readLines(QStringLiteral("printDIAMONDcomment.txt")), QStringList{QStringLiteral("false")});
    QVERIFY(f.ctx.settings.labelQuill && !f.ctx.settings.printDiamondComment);
    QCOMPARE(f.ctx.exchangeRateCDN, 1.3625);
    QCOMPARE(f.ctx.exchangeRateZAR, 17.9);
    QVERIFY(f.prompt.messages().isEmpty());

    // The disclaimer and labour screens are not built: their buttons are off.
    const QList<QPair<const char *, int>> choices = {
        {"Command1", 1}, {"Command2", 0}, {"Command3", 0}, {"cmdConfigLabour", 0}};
    for (const auto &[name, n] : choices) {
        ui::frmConfigMenu menu(f.ctx, nullptr);
        QVERIFY(menu.findChild<QCheckBox *>(QStringLiteral("chkLabelQuill"))->isChecked());
        auto *b = menu.findChild<QPushButton *>(QString::fromLatin1(name));
        QCOMPARE(b->isEnabled(), n != 0);
        QTest::mouseClick(b, Qt::LeftButton);
        QCOMPARE(menu.choice(), n);
        QCOMPARE(b->isDefault(), n == 1);
    }
}

void TestConfiguration::administratorsOnly()
{
    const QString refused =
        QStringLiteral("Authorization Failure: No Permission, please login or contact the System Administrator!");
    Fixture f;
    f.ctx.user.Administrator = false;
    // The stone screen's settings menu refuses before it opens.
    QCOMPARE(ui::runConfigMenu(f.ctx, nullptr), 0);
    QCOMPARE(f.prompt.messages(), QStringList{refused});
    f.prompt.clear();
    // The configuration screen, however it was reached, shows nothing and closes.
    {
        ui::frmConfiguration w(f.ctx);
        w.show();
        QCOMPARE(f.prompt.messages(), QStringList{refused});
        QCOMPARE(w.findChild<QLineEdit *>(QStringLiteral("txtCompanyName"))->text(), QString());
        QVERIFY(!w.isEnabled());
        QTRY_VERIFY(!w.isVisible());
        // A save reached anyway changes nothing.
        f.prompt.clear();
        w.save();
        QCOMPARE(f.prompt.messages(), QStringList{refused});
        QCOMPARE(configValue(f.t.db(), QStringLiteral("CompanyName")).toString(), QStringLiteral("Company Name"));
    }
    // An administrator's screen closes at a log-off.
    f.ctx.user.Administrator = true;
    f.prompt.clear();
    ui::frmConfiguration w(f.ctx);
    w.show();
    QCOMPARE(w.findChild<QLineEdit *>(QStringLiteral("txtCompanyName"))->text(), QStringLiteral("Company Name"));
    QVERIFY(w.findChild<QPushButton *>(QStringLiteral("cmdRapSettings"))->isDefault());
    ResetUserRightsModule(f.ctx);
    QVERIFY(!w.isVisible());
    QCOMPARE(f.prompt.messages(), QStringList{});
}

void TestConfiguration::commandLine()
{
    // `config show` and `user list` through the program, on this test's database.
    TestDb t;
    db::exec(t.db(), QStringLiteral("UPDATE Config SET CompanyName = 'Velmor Test Co', StoneChange = 2, "
                                    "RapPassword = 'Grid-Secret-9'"));
    QTemporaryDir home;
    Workstation ws(home.path());
    QVERIFY(ws.writeLines(QStringLiteral("database.ini"),
                          {QStringLiteral("mode=server"), QStringLiteral("socket=") + TestDb::socketPath(),
                           QStringLiteral("user=root"), QStringLiteral("database=") + t.name()}));
    auto run = [&](const QStringList &args, QString *out) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VELMOR_HOME"), home.path());
        p.setProcessEnvironment(env);
        p.start(qEnvironmentVariable("VELMOR_BINARY"), args);
        if (!p.waitForFinished(60000))
            return -1;
        *out = QString::fromUtf8(p.readAllStandardOutput());
        return p.exitCode();
    };
    QString out;
    QCOMPARE(run({QStringLiteral("config"), QStringLiteral("show")}, &out), 0);
    const QStringList lines = out.split(QLatin1Char('\n'));
    QVERIFY2(lines.contains(QStringLiteral("CompanyName = Velmor Test Co")), qPrintable(out));
    QVERIFY(lines.contains(QStringLiteral("StoneChange = true")));
    QVERIFY(lines.contains(QStringLiteral("localCurrencyName = CDN")));
    QVERIFY(lines.contains(QStringLiteral("InvoiceTemplate = DEFAULT")));
    // Anyone may run it: the price list's password is told as set, never shown.
    QVERIFY2(lines.contains(QStringLiteral("RapPassword = (set)")), qPrintable(out));
    QVERIFY(!out.contains(QStringLiteral("Grid-Secret-9")));
    db::exec(t.db(), QStringLiteral("UPDATE Config SET RapPassword = NULL"));
    QCOMPARE(run({QStringLiteral("config"), QStringLiteral("show")}, &out), 0);
    QVERIFY2(out.split(QLatin1Char('\n')).contains(QStringLiteral("RapPassword = (not set)")), qPrintable(out));

    QCOMPARE(run({QStringLiteral("user"), QStringLiteral("list")}, &out), 0);
    QVERIFY2(out.contains(QStringLiteral("There is no user yet.")), qPrintable(out));
    velmor::test::addAdministrator(t.db());
    QCOMPARE(run({QStringLiteral("user"), QStringLiteral("list")}, &out), 0);
    QVERIFY2(out.contains(QRegularExpression(QStringLiteral("\\n\\s+1\\s+user\\s+Firstname Lastname\\s+yes"))),
             qPrintable(out));
}

QTEST_MAIN(TestConfiguration)
#include "tst_configuration.moc"
