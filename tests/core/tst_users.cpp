// Login, rights, the first user and the user set-up, on a real database.
#include "TestDb.h"
#include "ScriptedPrompt.h"

#include "core/AppContext.h"
#include "core/Users.h"
#include "core/frmConfigUsers.h"
#include "core/frmLogin.h"
#include "db/Row.h"
#include "db/Sql.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

using namespace velmor;
using velmor::test::PromptEvent;
using velmor::test::ScriptedPrompt;
using velmor::test::TestDb;

namespace {

int addUser(const QSqlDatabase &db, const QString &name, const QString &password, const QStringList &rights = {})
{
    QStringList cols = {QStringLiteral("UserName"), QStringLiteral("Password"), QStringLiteral("FirstName"),
                        QStringLiteral("LastName")};
    QVariantList binds = {name, password, QStringLiteral("F"), QStringLiteral("L")};
    QStringList marks = {QStringLiteral("?"), QStringLiteral("?"), QStringLiteral("?"), QStringLiteral("?")};
    for (const QString &r : rights) {
        cols << r;
        binds << -1;
        marks << QStringLiteral("?");
    }
    return int(db::insert(db,
                          QStringLiteral("INSERT INTO `user` (%1) VALUES (%2)")
                              .arg(cols.join(QLatin1Char(',')), marks.join(QLatin1Char(','))),
                          binds));
}

int userCount(const QSqlDatabase &db) { return db::scalar(db, QStringLiteral("SELECT COUNT(*) FROM `user`")).toInt(); }

} // namespace

class TestUsers : public QObject {
    Q_OBJECT
private slots:
    void login_data();
    void login();
    void rightsFollowTheRow();
    void failedLoginLogsOut();
    void firstUser();
    void firstAdministratorOnTheLogOnScreen();
    void firstAdministratorOnTheCommandLine();
    void saveUserOperation();
    void setupScreenEnablesUpdate();
    void setupScreenForAdministratorsOnly();
    void setupScreenAddsAndRefusesMismatch();
};

void TestUsers::login_data()
{
    QTest::addColumn<QString>("typedName");
    QTest::addColumn<QString>("typedPassword");
    QTest::addColumn<bool>("loggedIn");
    QTest::addColumn<QString>("cleanedName");
    QTest::newRow("exact") << "admin" << "s3cret" << true << "admin";
    QTest::newRow("any letter case") << "ADMIN" << "S3CRET" << true << "ADMIN";
    QTest::newRow("quote removed from the name") << "O'Neil" << "pw" << true << "ONeil";
    QTest::newRow("quote removed from the password") << "admin" << "s3'cret" << true << "admin";
    QTest::newRow("wrong password") << "admin" << "nope" << false << "admin";
    QTest::newRow("backslash ends a quoted string") << "\\" << " OR 1=1 -- " << false << "\\";
    QTest::newRow("backslash in the password") << "admin" << "\\' OR ''='" << false << "admin";
    QTest::newRow("backslash then or-true") << "x\\" << "OR UserName<>'' OR 'a'='a" << false << "x\\";
    QTest::newRow("comment trick") << "admin'-- " << "" << false << "admin-- ";
    QTest::newRow("empty") << "" << "" << false << "";
    // The server's collation calls these equal; the login does not.
    QTest::newRow("trailing blank on the password") << "admin" << "s3cret " << false << "admin";
    QTest::newRow("trailing blank on the name") << "admin " << "s3cret" << false << "admin ";
    QTest::newRow("accent") << "admin" << QString::fromUtf8("s3cr\u00e9t") << false << "admin";
    QTest::newRow("accent in the name") << QString::fromUtf8("\u00e1dmin") << "s3cret" << false
                                        << QString::fromUtf8("\u00e1dmin");
    QTest::newRow("full-width letter") << "admin" << QString::fromUtf8("\uff53" "3cret") << false << "admin";
    QTest::newRow("control character") << "admin" << QString::fromUtf8("s3c\u0007ret") << false << "admin";
    QTest::newRow("4-byte password") << "lock" << QString::fromUtf8("pw\U0001F512") << true << "lock";
    QTest::newRow("another 4-byte character") << "lock" << QString::fromUtf8("pw\U0001F600") << false
                                              << "lock";
}

void TestUsers::login()
{
    QFETCH(QString, typedName);
    QFETCH(QString, typedPassword);
    QFETCH(bool, loggedIn);
    QFETCH(QString, cleanedName);

    TestDb t;
    const int admin = addUser(t.db(), QStringLiteral("admin"), QStringLiteral("s3cret"), {QStringLiteral("Administrator")});
    addUser(t.db(), QStringLiteral("ONeil"), QStringLiteral("pw"));
    addUser(t.db(), QStringLiteral("lock"), QString::fromUtf8("pw\U0001F512"));
    QTemporaryDir dir;
    ScriptedPrompt prompt;
    AppContext ctx(Workstation(dir.path()), t.settings(), &prompt);
    ctx.adopt(t.db());

    QString name = typedName, password = typedPassword;
    QCOMPARE(velmor::login(ctx, name, password), loggedIn);
    QCOMPARE(name, cleanedName);
    QVERIFY(!password.contains(QLatin1Char('\'')));
    if (loggedIn) {
        QVERIFY(ctx.user.ID != 0);
        QVERIFY(prompt.messages().isEmpty());
        if (cleanedName.compare(QLatin1String("admin"), Qt::CaseInsensitive) == 0) {
            QCOMPARE(ctx.user.ID, admin);
            QVERIFY(ctx.user.Administrator);
        }
    } else {
        QCOMPARE(ctx.user.ID, 0);
        QVERIFY(!ctx.user.Administrator);
        QCOMPARE(prompt.messages(), QStringList{QStringLiteral("Login: Invalid Password, try again!")});
        QCOMPARE(prompt.events.first().icon, Icon::None);
    }
}

void TestUsers::rightsFollowTheRow()
{
    TestDb t;
    const int id = addUser(t.db(), QStringLiteral("clerk"), QStringLiteral("pw"),
                           {QStringLiteral("ViewCost"), QStringLiteral("AllowCustomerView"),
                            QStringLiteral("AllowDiamondView"), QStringLiteral("AllowParcelPriceView")});
    // A right column holding 2 counts as on, Null as off.
    db::exec(t.db(), QStringLiteral("UPDATE `user` SET AllowRepAdd = 2, AllowEdit = NULL WHERE ID = ?"), {id});
    QTemporaryDir dir;
    ScriptedPrompt prompt;
    AppContext ctx(Workstation(dir.path()), t.settings(), &prompt);
    ctx.adopt(t.db());
    QString n = QStringLiteral("clerk"), p = QStringLiteral("pw");
    QVERIFY(velmor::login(ctx, n, p));
    QCOMPARE(ctx.user.ID, id);
    QStringList on;
    for (const QString &c : allRightColumns())
        if (ctx.user.has(c))
            on << c;
    QCOMPARE(on, (QStringList{QStringLiteral("ViewCost"), QStringLiteral("AllowCustomerView"),
                              QStringLiteral("AllowRepAdd"), QStringLiteral("AllowDiamondView"),
                              QStringLiteral("AllowParcelPriceView")}));
    // Logging off turns every one off.
    ResetUserRightsModule(ctx);
    for (const QString &c : allRightColumns())
        QVERIFY2(!ctx.user.has(c), qPrintable(c));
    QCOMPARE(ctx.user.ID, 0);
}

void TestUsers::failedLoginLogsOut()
{
    TestDb t;
    addUser(t.db(), QStringLiteral("admin"), QStringLiteral("pw"), {QStringLiteral("Administrator")});
    QTemporaryDir dir;
    ScriptedPrompt prompt;
    AppContext ctx(Workstation(dir.path()), t.settings(), &prompt);
    ctx.adopt(t.db());
    QString n = QStringLiteral("admin"), p = QStringLiteral("pw");
    QVERIFY(velmor::login(ctx, n, p));
    QVERIFY(ctx.user.Administrator);
    QString n2 = QStringLiteral("admin"), p2 = QStringLiteral("wrong");
    QVERIFY(!velmor::login(ctx, n2, p2));
    QVERIFY(!ctx.user.Administrator);
}

// No default user and no default password: a database without users makes
// its first administrator on the log-on screen (or `velmor user add`); a
// database with users keeps them.
void TestUsers::firstUser()
{
    TestDb t;
    QTemporaryDir dir;
    ScriptedPrompt prompt;
    AppContext ctx(Workstation(dir.path()), t.settings(), &prompt);
    ctx.adopt(t.db());
    // Every start (the stone screen's first activation) adds nobody.
    keepOldestUserAdministrator(ctx);
    QCOMPARE(userCount(t.db()), 0);
    QVERIFY(noUserYet(t.db()));

    struct Refusal {
        QString name, password, confirm, message;
    };
    const QList<Refusal> refusals = {
        {"", "pw", "pw", "First administrator: Please type the administrator's user name."},
        {" ' ", "pw", "pw", "First administrator: Please type the administrator's user name."},
        {"anna", "", "", "First administrator: Please type a password for anna (an empty password is not allowed)."},
        {"anna", "''", "''", "First administrator: Please type a password for anna (an empty password is not allowed)."},
        {"anna", "Secret-1", "Secret-2", "Password mismatch: The two Passwords do not match!"},
    };
    for (const Refusal &r : refusals) {
        prompt.clear();
        QCOMPARE(addFirstAdministrator(ctx, r.name, r.password, r.confirm), FirstAdministrator::Refused);
        QCOMPARE(prompt.messages(), QStringList{r.message});
        QCOMPARE(userCount(t.db()), 0);
        QCOMPARE(ctx.user.ID, 0);
    }
    prompt.clear();
    QCOMPARE(addFirstAdministrator(ctx, " O'Hara ", "Secret-1", "Secret-1"), FirstAdministrator::Made);
    QCOMPARE(prompt.messages(), QStringList());
    QSqlQuery q = db::exec(t.db(), QStringLiteral("SELECT * FROM `user`"));
    QVERIFY(q.next());
    const db::Row r(q);
    QCOMPARE(r.text(QStringLiteral("UserName")), QStringLiteral("OHara"));
    QCOMPARE(r.text(QStringLiteral("Password")), QStringLiteral("Secret-1"));
    for (const QString &c : allRightColumns())
        QVERIFY2(r.flag(c), qPrintable(c));
    // Logged on with every right.
    QCOMPARE(ctx.user.ID, int(r.integer(QStringLiteral("ID"))));
    QVERIFY(ctx.user.Administrator && ctx.user.has(QStringLiteral("AllowRestockParcel")));
    // Only while there is no user: a second answer (another workstation's) makes nobody.
    prompt.clear();
    QCOMPARE(addFirstAdministrator(ctx, "bert", "pw", "pw"), FirstAdministrator::UsersExist);
    QCOMPARE(userCount(t.db()), 1);
    QVERIFY(prompt.messages().first().contains("made on another workstation meanwhile"));

    // Next start: nobody added; the oldest user gets the four rights back.
    db::exec(t.db(), QStringLiteral("UPDATE `user` SET Administrator = 0, ViewCost = NULL"));
    addUser(t.db(), QStringLiteral("second"), QStringLiteral("pw"));
    keepOldestUserAdministrator(ctx);
    QCOMPARE(userCount(t.db()), 2);
    QCOMPARE(db::scalar(t.db(), QStringLiteral("SELECT COUNT(*) FROM `user` WHERE Administrator <> 0 AND ViewCost <> 0"))
                 .toInt(),
             1);
    QCOMPARE(db::scalar(t.db(), QStringLiteral("SELECT UserName FROM `user` WHERE Administrator <> 0")).toString(),
             QStringLiteral("OHara"));
}

// The log-on screen of a database without users asks for the first
// administrator; once there is a user it is the ordinary log-on.
void TestUsers::firstAdministratorOnTheLogOnScreen()
{
    TestDb t;
    QTemporaryDir dir;
    ScriptedPrompt prompt;
    AppContext ctx(Workstation(dir.path()), t.settings(), &prompt);
    ctx.adopt(t.db());
    {
        ui::frmLogin w(ctx);
        w.show();
        QVERIFY(w.firstAdministrator());
        QCOMPARE(w.windowTitle(), QStringLiteral("First administrator"));
        QVERIFY(w.findChild<QLabel *>(QStringLiteral("lblFirstUser"))->text().startsWith("There is no user yet."));
        auto *confirm = w.findChild<QLineEdit *>(QStringLiteral("txtPasswordConfirm"));
        QVERIFY(confirm->isVisible());
        w.findChild<QLineEdit *>(QStringLiteral("txtUserName"))->setText(QStringLiteral("anna"));
        w.findChild<QLineEdit *>(QStringLiteral("txtPassword"))->setText(QStringLiteral("Pw-1"));
        confirm->setText(QStringLiteral("Pw-2"));
        QTest::mouseClick(w.findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
        QVERIFY(w.isVisible());
        QCOMPARE(userCount(t.db()), 0);
        confirm->setText(QStringLiteral("Pw-1"));
        QTest::mouseClick(w.findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
        QCOMPARE(w.result(), int(QDialog::Accepted));
        QVERIFY(ctx.user.ID != 0 && ctx.user.Administrator);
    }
    ResetUserRightsModule(ctx);
    ui::frmLogin w(ctx);
    w.show();
    QVERIFY(!w.firstAdministrator());
    QCOMPARE(w.windowTitle(), QStringLiteral("Login"));
    QVERIFY(!w.findChild<QLineEdit *>(QStringLiteral("txtPasswordConfirm"))->isVisible());
    QVERIFY(!w.findChild<QLabel *>(QStringLiteral("lblFirstUser"))->isVisible());
    w.findChild<QLineEdit *>(QStringLiteral("txtUserName"))->setText(QStringLiteral("ANNA"));
    w.findChild<QLineEdit *>(QStringLiteral("txtPassword"))->setText(QStringLiteral("pw-1"));
    QTest::mouseClick(w.findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
    QCOMPARE(w.result(), int(QDialog::Accepted));
    QCOMPARE(userCount(t.db()), 1);
}

// `velmor user add NAME --administrator`: the password from standard input,
// never from an argument; only while there is no user.
void TestUsers::firstAdministratorOnTheCommandLine()
{
    TestDb t;
    QTemporaryDir home;
    QFile ini(home.filePath(QStringLiteral("database.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(QStringLiteral("mode=server\nsocket=%1\ndatabase=%2\nuser=root\n")
                  .arg(TestDb::socketPath(), t.name())
                  .toUtf8());
    ini.close();
    auto velmor = [&](const QStringList &args, const QByteArray &input = {}) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VELMOR_HOME"), home.path());
        p.setProcessEnvironment(env);
        p.start(qEnvironmentVariable("VELMOR_BINARY", QStringLiteral(VELMOR_BINARY)), args);
        p.write(input);
        p.closeWriteChannel();
        p.waitForFinished(60000);
        return std::make_tuple(p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                               QString::fromUtf8(p.readAllStandardError()));
    };
    auto [code, out, err] = velmor({"user", "list"});
    QCOMPARE(code, 0);
    QVERIFY2(out.contains("There is no user yet."), qPrintable(out));
    QCOMPARE(userCount(t.db()), 0);
    // A password is never an argument; an empty one is refused.
    std::tie(code, out, err) = velmor({"user", "add", "anna", "--administrator", "Secret-1"});
    QCOMPARE(code, 2);
    std::tie(code, out, err) = velmor({"user", "add", "anna", "--administrator"}, "\n");
    QCOMPARE(code, 1);
    QVERIFY2(err.contains("an empty password is not allowed"), qPrintable(err));
    QCOMPARE(userCount(t.db()), 0);
    std::tie(code, out, err) = velmor({"user", "add", "anna", "--administrator"}, "Secret-1\n");
    QVERIFY2(code == 0, qPrintable(err));
    QVERIFY2(out.contains("Made the first administrator \"anna\" with every right."), qPrintable(out));
    QCOMPARE(db::scalar(t.db(), QStringLiteral("SELECT Password FROM `user` WHERE UserName = 'anna'")).toString(),
             QStringLiteral("Secret-1"));
    QCOMPARE(db::scalar(t.db(), QStringLiteral("SELECT AllowRestockParcel FROM `user`")).toInt(), -1);
    // A database with users keeps them.
    std::tie(code, out, err) = velmor({"user", "add", "bert", "--administrator"}, "pw\n");
    QCOMPARE(code, 1);
    QVERIFY2(err.contains("has users already"), qPrintable(err));
    QCOMPARE(userCount(t.db()), 1);
    std::tie(code, out, err) = velmor({"user", "list"});
    QVERIFY2(out.contains("anna") && out.contains("yes"), qPrintable(out));
}

void TestUsers::saveUserOperation()
{
    TestDb t;
    QTemporaryDir dir;
    ScriptedPrompt prompt;
    AppContext ctx(Workstation(dir.path()), t.settings(), &prompt);
    ctx.adopt(t.db());

    UserRecord u;
    u.UserName = QStringLiteral("o\\'brien");
    u.Password = QStringLiteral("p\\w");
    u.FirstName = QStringLiteral("Ann");
    u.LastName = QStringLiteral("O'Brien");
    u.rights[QStringLiteral("AllowCustomerHold")] = true;
    QCOMPARE(saveUser(ctx, u, QStringLiteral("other"), true), SaveUserResult::PasswordMismatch);
    QCOMPARE(prompt.messages(), QStringList{QStringLiteral("Password mismatch: The two Passwords do not match!")});
    QCOMPARE(prompt.events.first().icon, Icon::Information);
    QCOMPARE(userCount(t.db()), 0);

    QCOMPARE(saveUser(ctx, u, u.Password, true), SaveUserResult::Saved);
    QVERIFY(u.ID > 0);
    UserRecord back = loadUser(t.db(), u.ID);
    // Stored as typed, less the single quotes the login removes, so that
    // the same typing logs in.
    QCOMPARE(back.UserName, QStringLiteral("o\\brien"));
    QCOMPARE(back.Password, QStringLiteral("p\\w"));
    QString typedName = QStringLiteral("O\\'Brien"), typedPassword = QStringLiteral("p\\w");
    QVERIFY(velmor::login(ctx, typedName, typedPassword));
    QCOMPARE(ctx.user.ID, u.ID);
    QCOMPARE(back.LastName, u.LastName);
    QVERIFY(back.right(QStringLiteral("AllowCustomerHold")));
    QVERIFY(!back.right(QStringLiteral("Administrator")));

    back.rights[QStringLiteral("Administrator")] = true;
    back.FirstName = QStringLiteral("Anne");
    QCOMPARE(saveUser(ctx, back, back.Password, false), SaveUserResult::Saved);
    QCOMPARE(userCount(t.db()), 1);
    const UserRecord again = loadUser(t.db(), u.ID);
    QCOMPARE(again.FirstName, QStringLiteral("Anne"));
    QVERIFY(again.right(QStringLiteral("Administrator")));
    QCOMPARE(db::scalar(t.db(), QStringLiteral("SELECT Administrator FROM `user`")).toInt(), -1);
}

void TestUsers::setupScreenEnablesUpdate()
{
    TestDb t;
    addUser(t.db(), QStringLiteral("admin"), QStringLiteral("pw"), {QStringLiteral("Administrator")});
    QTemporaryDir dir;
    ScriptedPrompt prompt;
    AppContext ctx(Workstation(dir.path()), t.settings(), &prompt);
    ctx.adopt(t.db());
    ctx.user.Administrator = true;
    ui::frmConfigUsers w(ctx);
    w.show();
    auto *grid = w.findChild<QTableWidget *>(QStringLiteral("DataGrid1"));
    QCOMPARE(grid->rowCount(), 1);
    auto *cmdUpdate = w.findChild<QPushButton *>(QStringLiteral("cmdUpdate"));
    auto *cmdAdd = w.findChild<QPushButton *>(QStringLiteral("cmdAdd"));
    auto *cmdEdit = w.findChild<QPushButton *>(QStringLiteral("cmdEditDiamond"));
    QVERIFY(!cmdUpdate->isEnabled());
    QTest::mouseClick(cmdAdd, Qt::LeftButton);
    QVERIFY(!cmdAdd->isEnabled());
    QVERIFY(!cmdEdit->isEnabled());
    QCOMPARE(w.findChild<QLineEdit *>(QStringLiteral("txtUserName"))->text(), QString());
    QVERIFY(!w.findChild<QCheckBox *>(QStringLiteral("chkAdministrator"))->isChecked());

    const QStringList boxes = {QStringLiteral("txtFirstName"), QStringLiteral("txtLastName"),
                               QStringLiteral("txtUserName"), QStringLiteral("txtPassword")};
    for (int i = 0; i < boxes.size(); ++i) {
        QVERIFY2(!cmdUpdate->isEnabled(), qPrintable(boxes[i]));
        QTest::keyClicks(w.findChild<QLineEdit *>(boxes[i]), QStringLiteral("x"));
    }
    QVERIFY(cmdUpdate->isEnabled());
    w.findChild<QLineEdit *>(QStringLiteral("txtLastName"))->clear();
    QVERIFY(!cmdUpdate->isEnabled());
}

void TestUsers::setupScreenForAdministratorsOnly()
{
    TestDb t;
    addUser(t.db(), QStringLiteral("admin"), QStringLiteral("pw"), {QStringLiteral("Administrator")});
    addUser(t.db(), QStringLiteral("clerk"), QStringLiteral("pw2"), {});
    QTemporaryDir dir;
    ScriptedPrompt prompt;
    AppContext ctx(Workstation(dir.path()), t.settings(), &prompt);
    ctx.adopt(t.db());
    const QString refused =
        QStringLiteral("Authorization Failure: No Permission, please login or contact the System Administrator!");
    // Opened by somebody else (a menu left enabled, a failed login since):
    // refused, nothing of the users shown, and it closes.
    for (const QString &who : {QString(), QStringLiteral("clerk")}) {
        prompt.clear();
        if (!who.isEmpty()) {
            QString n = who, p = QStringLiteral("pw2");
            QVERIFY(velmor::login(ctx, n, p));
        }
        ui::frmConfigUsers w(ctx);
        w.show();
        QCOMPARE(prompt.messages(), QStringList{refused});
        QCOMPARE(w.findChild<QTableWidget *>(QStringLiteral("DataGrid1"))->rowCount(), 0);
        QVERIFY(!w.isEnabled());
        QTRY_VERIFY(!w.isVisible());
    }
    // An administrator's screen closes when the rights go (a log-off anywhere).
    QString n = QStringLiteral("admin"), p = QStringLiteral("pw");
    QVERIFY(velmor::login(ctx, n, p));
    prompt.clear();
    ui::frmConfigUsers w(ctx);
    w.show();
    QCOMPARE(w.findChild<QTableWidget *>(QStringLiteral("DataGrid1"))->rowCount(), 2);
    QCOMPARE(prompt.messages(), QStringList{});
    ResetUserRightsModule(ctx);
    QVERIFY(!w.isVisible());
}

void TestUsers::setupScreenAddsAndRefusesMismatch()
{
    TestDb t;
    const int admin = addUser(t.db(), QStringLiteral("admin"), QStringLiteral("pw"), {QStringLiteral("Administrator")});
    QTemporaryDir dir;
    ScriptedPrompt prompt;
    AppContext ctx(Workstation(dir.path()), t.settings(), &prompt);
    ctx.adopt(t.db());
    ctx.user.Administrator = true;
    ui::frmConfigUsers w(ctx);
    w.show();
    auto edit = [&](const char *name) { return w.findChild<QLineEdit *>(QString::fromLatin1(name)); };
    auto click = [&](const char *name) {
        QTest::mouseClick(w.findChild<QPushButton *>(QString::fromLatin1(name)), Qt::LeftButton);
    };

    // Editing with two different passwords changes nothing.
    click("cmdEditDiamond");
    edit("txtFirstName")->setText(QStringLiteral("Changed"));
    edit("txtPassword")->setText(QStringLiteral("one"));
    edit("txtPasswordConfirm")->setText(QStringLiteral("two"));
    click("cmdUpdate");
    QCOMPARE(prompt.messages(), QStringList{QStringLiteral("Password mismatch: The two Passwords do not match!")});
    const UserRecord unchanged = loadUser(t.db(), admin);
    QCOMPARE(unchanged.FirstName, QStringLiteral("F"));
    QCOMPARE(unchanged.Password, QStringLiteral("pw"));
    click("cmdCancel");
    QCOMPARE(edit("txtFirstName")->text(), QStringLiteral("F"));

    // Adding a clerk with two rights.
    click("cmdAdd");
    QTest::keyClicks(edit("txtFirstName"), QStringLiteral("Mia"));
    QTest::keyClicks(edit("txtLastName"), QStringLiteral("Stone"));
    QTest::keyClicks(edit("txtUserName"), QStringLiteral("mia"));
    QTest::keyClicks(edit("txtPassword"), QStringLiteral("abc"));
    QTest::keyClicks(edit("txtPasswordConfirm"), QStringLiteral("abc"));
    w.findChild<QCheckBox *>(QStringLiteral("chkAllowCustHold"))->setChecked(true);
    w.findChild<QCheckBox *>(QStringLiteral("chkAllowDiamondView"))->setChecked(true);
    click("cmdUpdate");
    QCOMPARE(userCount(t.db()), 2);
    QCOMPARE(w.findChild<QTableWidget *>(QStringLiteral("DataGrid1"))->rowCount(), 2);
    QSqlQuery q = db::exec(t.db(), QStringLiteral("SELECT * FROM `user` WHERE UserName = 'mia'"));
    QVERIFY(q.next());
    const db::Row r(q);
    QCOMPARE(r.text(QStringLiteral("Password")), QStringLiteral("abc"));
    QVERIFY(r.flag(QStringLiteral("AllowCustomerHold")));
    QVERIFY(r.flag(QStringLiteral("AllowDiamondView")));
    QVERIFY(!r.flag(QStringLiteral("Administrator")));
    QCOMPARE(w.mode(), ui::frmConfigUsers::Mode::Viewing);
}

QTEST_MAIN(TestUsers)
#include "tst_users.moc"
