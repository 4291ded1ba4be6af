// The backup screens on the main menu: administrators only; "Back up now"
// with its verification and progress, the settings it saves; "Restore..."
// into another database, refused for a damaged file, and over the books in
// use; the home screen's warning in private mode.
#include "ScriptedPrompt.h"
#include "TestDb.h"

#include "core/AppContext.h"
#include "core/Backups.h"
#include "core/Users.h"
#include "db/BackupFile.h"
#include "db/Sql.h"
#include "shell/frmBackup.h"
#include "shell/frmFront.h"
#include "shell/frmRestore.h"
#include "shell/widgets/BackupWarning.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

using namespace velmor;
using velmor::test::PromptEvent;
using velmor::test::ScriptedPrompt;
using velmor::test::TestDb;

namespace {

template <class T>
T *child(QWidget *w, const char *name)
{
    T *c = w->findChild<T *>(QString::fromLatin1(name));
    if (!c)
        qFatal("no control %s", name);
    return c;
}

struct Env {
    QTemporaryDir dir{QStringLiteral("/dev/shm/vbs-XXXXXX")};
    TestDb t;
    ScriptedPrompt prompt;
    AppContext ctx{Workstation(dir.path(), dir.path() + QStringLiteral("/program")), t.settings(), &prompt};
    Env()
    {
        ctx.adopt(t.db());
        db::exec(t.db(), QStringLiteral("INSERT INTO user (UserName, Password, FirstName, Administrator) VALUES "
                                        "('boss', 'Boss-1', 'Boss', -1), ('clerk', 'Clerk-1', 'Clerk', 0)"));
    }
    bool logIn(const QString &who)
    {
        QString name = who, pw = who == QLatin1String("boss") ? QStringLiteral("Boss-1") : QStringLiteral("Clerk-1");
        return velmor::login(ctx, name, pw);
    }
};

// A backup file made at `made`, of a tiny dump.
QString backupMadeAt(const QString &folder, const QDateTime &made)
{
    QDir().mkpath(folder);
    const QString file = backups::newFileName(folder, made, QStringLiteral("daily"));
    const QByteArray sql = "CREATE TABLE `t` (\n  `ID` int(11) NOT NULL\n);\nINSERT INTO `t` VALUES (1);\n";
    db::backup::Header h;
    h.program = QStringLiteral("Velmor test");
    h.schemaVersion = 311;
    h.made = made;
    h.kind = QStringLiteral("daily");
    db::backup::DumpDigest d;
    d.feed(sql.constData(), sql.size());
    d.finish();
    h.tables = d.tableList();
    db::backup::Writer w;
    if (!w.open(file, db::backup::headerReserve(1)) || !w.write(sql.constData(), sql.size()) || !w.finish(h))
        qFatal("%s", qPrintable(w.error()));
    return file;
}

} // namespace

class TestBackupScreens : public QObject {
    Q_OBJECT
private slots:
    void administratorsOnly();
    void backUpNowWithSettings();
    void restoreIntoAnotherDatabase();
    void restoreOverTheBooksInUse();
    void homeScreenWarning();
};

void TestBackupScreens::administratorsOnly()
{
    Env e;
    ui::frmFront front(e.ctx);
    auto *backup = front.findChild<QAction *>(QStringLiteral("mnuBackupNow"));
    auto *restore = front.findChild<QAction *>(QStringLiteral("mnuRestore"));
    QVERIFY(backup && restore);
    QCOMPARE(backup->text(), QStringLiteral("Back up now..."));
    QCOMPARE(restore->text(), QStringLiteral("Restore..."));
    QVERIFY(!backup->isEnabled() && !restore->isEnabled());
    QVERIFY(e.logIn(QStringLiteral("clerk")));
    front.applyRights();
    QVERIFY(!backup->isEnabled() && !restore->isEnabled());
    QVERIFY(e.logIn(QStringLiteral("boss")));
    front.applyRights();
    QVERIFY(backup->isEnabled() && restore->isEnabled());

    // Opened by someone else all the same (a stale menu): refused and closed.
    ResetUserRightsModule(e.ctx);
    e.prompt.clear();
    ui::frmBackup screen(e.ctx);
    QVERIFY(!screen.isEnabled());
    QVERIFY(e.prompt.messages().join(QString()).contains(QStringLiteral("No Permission")));
    QCOMPARE(screen.backUpNow().code, 2);
    QVERIFY(backups::listBackups(e.dir.filePath(QStringLiteral("backups"))).isEmpty());
}

void TestBackupScreens::backUpNowWithSettings()
{
    Env e;
    QVERIFY(e.logIn(QStringLiteral("boss")));
    ui::frmBackup screen(e.ctx);
    const QString folder = e.dir.filePath(QStringLiteral("usb disk/velmor"));
    child<QLineEdit>(&screen, "txtFolder")->setText(folder);
    child<QCheckBox>(&screen, "chkAutomatic")->setChecked(false);
    child<QSpinBox>(&screen, "spnKeepDaily")->setValue(10);
    child<QSpinBox>(&screen, "spnKeepWeekly")->setValue(8);
    child<QSpinBox>(&screen, "spnWarnDays")->setValue(5);
    QTest::mouseClick(child<QPushButton>(&screen, "cmdSaveSettings"), Qt::LeftButton);
    const backups::Settings s = backups::Settings::load(e.ctx.workstation);
    QCOMPARE(s.folderPath(e.ctx.workstation), folder);
    QVERIFY(!s.automatic);
    QCOMPARE(s.keepDaily, 10);
    QCOMPARE(s.keepWeekly, 8);
    QCOMPARE(s.warnDays, 5);
    QVERIFY(child<QLabel>(&screen, "lblFolder")->text().endsWith(folder));

    child<QCheckBox>(&screen, "chkVerify")->setChecked(true);
    e.prompt.clear();
    QTest::mouseClick(child<QPushButton>(&screen, "cmdBackup"), Qt::LeftButton);
    const QStringList told = e.prompt.messages();
    QCOMPARE(told.size(), 1);
    QVERIFY2(told.first().startsWith(QStringLiteral("Back up now: Backed up ")) && told.first().contains(QStringLiteral("\nVerified:")),
             qPrintable(told.first()));
    QCOMPARE(child<QProgressBar>(&screen, "prgBackup")->value(), child<QProgressBar>(&screen, "prgBackup")->maximum());
    auto *list = child<QTreeWidget>(&screen, "tvwBackups");
    QCOMPARE(list->topLevelItemCount(), 1);
    QVERIFY(list->topLevelItem(0)->text(4).startsWith(QStringLiteral("verified ")));
    QCOMPARE(list->topLevelItem(0)->text(3), QStringLiteral("manual"));
    QVERIFY(child<QPushButton>(&screen, "cmdBackup")->isEnabled());
}

void TestBackupScreens::restoreIntoAnotherDatabase()
{
    Env e;
    QVERIFY(e.logIn(QStringLiteral("boss")));
    db::exec(e.t.db(), QStringLiteral("INSERT INTO Customer (CompanyName) VALUES ('Zürich Gems')"));
    const QString file = e.dir.filePath(QStringLiteral("books.sql.zst"));
    QCOMPARE(backups::backUp(e.ctx.workstation, e.ctx.connection, file, false, {}).code, 0);

    ui::frmRestore screen(e.ctx);
    auto *txtFile = child<QLineEdit>(&screen, "txtFile");
    // A damaged file says why and restores nothing.
    const QString damaged = e.dir.filePath(QStringLiteral("damaged.sql.zst"));
    QFile::copy(file, damaged);
    QFile f(damaged);
    QVERIFY(f.open(QIODevice::ReadWrite));
    f.resize(f.size() - 1);
    f.close();
    txtFile->setText(damaged);
    screen.fileChosen();
    QVERIFY2(child<QLabel>(&screen, "lblFileInfo")->text().contains(QStringLiteral("is cut short")),
             qPrintable(child<QLabel>(&screen, "lblFileInfo")->text()));
    const QString target = e.t.name() + QStringLiteral("_copy");
    child<QRadioButton>(&screen, "optElsewhere")->setChecked(true);
    child<QLineEdit>(&screen, "txtTarget")->setText(target);
    e.prompt.clear();
    QTest::mouseClick(child<QPushButton>(&screen, "cmdRestore"), Qt::LeftButton);
    QVERIFY(e.prompt.messages().join(QString()).contains(QStringLiteral("is cut short")));
    QVERIFY(!db::scalar(e.t.db(), QStringLiteral("SELECT 1 FROM information_schema.SCHEMATA WHERE SCHEMA_NAME = ?"), {target}).isValid());

    txtFile->setText(file);
    screen.fileChosen();
    QVERIFY2(child<QLabel>(&screen, "lblFileInfo")->text().startsWith(QStringLiteral("Made ")), qPrintable(child<QLabel>(&screen, "lblFileInfo")->text()));
    e.prompt.clear();
    QTest::mouseClick(child<QPushButton>(&screen, "cmdRestore"), Qt::LeftButton);
    const QString result = child<QPlainTextEdit>(&screen, "txtResult")->toPlainText();
    const auto dropTarget = qScopeGuard([&] { db::exec(e.t.db(), QStringLiteral("DROP DATABASE IF EXISTS `%1`").arg(target)); });
    QVERIFY2(result.contains(QStringLiteral("Every table's checksum equals the backup's")) && result.contains(QStringLiteral("The books check finds nothing wrong.")),
             qPrintable(result));
    QCOMPARE(child<QLabel>(&screen, "lblProgress")->text(), QStringLiteral("Restored; the books are whole."));
    QCOMPARE(db::scalar(e.t.db(), QStringLiteral("SELECT CompanyName FROM `%1`.Customer").arg(target)).toString(), QStringLiteral("Zürich Gems"));
    QVERIFY(e.prompt.messages().isEmpty()); // the program goes on: nothing of its own was replaced
}

void TestBackupScreens::restoreOverTheBooksInUse()
{
    Env e;
    QVERIFY(e.logIn(QStringLiteral("boss")));
    const QString file = e.dir.filePath(QStringLiteral("books.sql.zst"));
    QCOMPARE(backups::backUp(e.ctx.workstation, e.ctx.connection, file, false, {}).code, 0);
    db::exec(e.t.db(), QStringLiteral("INSERT INTO Customer (CompanyName) VALUES ('Made after the backup')"));
    // The workstation's database.ini names the database in use.
    QFile ini(e.ctx.workstation.path(QStringLiteral("database.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(QStringLiteral("mode=server\nsocket=%1\nuser=root\ndatabase=%2\n").arg(TestDb::socketPath(), e.t.name()).toUtf8());
    ini.close();

    ui::frmRestore screen(e.ctx);
    bool restart = false;
    screen.restartNeeded = [&] { restart = true; };
    child<QLineEdit>(&screen, "txtFile")->setText(file);
    child<QRadioButton>(&screen, "optReplaceHere")->setChecked(true);
    e.prompt.clear();
    e.prompt.answer(false); // not this time
    QTest::mouseClick(child<QPushButton>(&screen, "cmdRestore"), Qt::LeftButton);
    QVERIFY(!restart);
    QCOMPARE(db::scalar(e.t.db(), QStringLiteral("SELECT COUNT(*) FROM Customer")).toInt(), 1);

    e.prompt.clear();
    e.prompt.answer(true);
    QTest::mouseClick(child<QPushButton>(&screen, "cmdRestore"), Qt::LeftButton);
    QVERIFY2(restart, qPrintable(child<QPlainTextEdit>(&screen, "txtResult")->toPlainText()));
    QCOMPARE(db::scalar(e.t.db(), QStringLiteral("SELECT COUNT(*) FROM Customer")).toInt(), 0);
    const QStringList told = e.prompt.messages();
    QVERIFY2(told.last().endsWith(QStringLiteral("Velmor closes now; start it again to work on the restored books.")),
             qPrintable(told.join(QLatin1Char('\n'))));
    // What the books held went into a backup first.
    const QList<backups::Found> before = backups::listBackups(e.dir.filePath(QStringLiteral("backups")));
    QCOMPARE(before.size(), 1);
    QCOMPARE(before.first().kind, QStringLiteral("before-restore"));
}

void TestBackupScreens::homeScreenWarning()
{
    QTemporaryDir dir;
    db::ConnectionSettings cs;
    cs.mode = db::Mode::Private;
    cs.privateDir = dir.filePath(QStringLiteral("mariadb"));
    AppContext ctx(Workstation(dir.path(), dir.path()), cs);
    QMainWindow home;
    ui::BackupWarning *w = ui::attachBackupWarning(ctx, &home);
    QVERIFY(w);
    QCOMPARE(home.statusBar()->findChild<ui::BackupWarning *>(), w);
    QVERIFY(!w->isHidden());
    QCOMPARE(w->text(), QStringLiteral("There is no backup of these books yet. Make one now: File > Back up now... on the "
                                       "main menu, or velmor db backup."));
    const QString folder = dir.filePath(QStringLiteral("backups"));
    const QString old = backupMadeAt(folder, QDateTime::currentDateTime().addDays(-5));
    w->refresh();
    QVERIFY2(w->text().startsWith(QStringLiteral("The last good backup is 5 days old")), qPrintable(w->text()));
    // A new one in the folder: the warning goes by itself.
    backupMadeAt(folder, QDateTime::currentDateTime());
    QTRY_VERIFY_WITH_TIMEOUT(w->isHidden(), 10000);
    // The allowance of the settings counts.
    QDir(folder).removeRecursively();
    backupMadeAt(folder, QDateTime::currentDateTime().addDays(-5));
    QFile::remove(old);
    backups::Settings s;
    s.warnDays = 6;
    QString why;
    QVERIFY(s.save(ctx.workstation, &why));
    w->refresh();
    QVERIFY(w->isHidden());
    // Shared server: its backups are made on the server's side.
    ctx.connection.mode = db::Mode::Server;
    s.warnDays = 1;
    QVERIFY(s.save(ctx.workstation, &why));
    w->refresh();
    QVERIFY(w->isHidden());
}

QTEST_MAIN(TestBackupScreens)
#include "tst_backupscreens.moc"
