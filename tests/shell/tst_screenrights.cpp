// Screens that save hold their right: nobody logged in, a log-off and a
// failed login each close the screen (the rep screen, which anybody may
// look at, turns read-only instead), and a save reached after the right went
// writes nothing.  An administrator's save of the same edit does write,
// so each row proves its edit is one that would be stored.
#include "TestDb.h"
#include "ScriptedPrompt.h"

#include "core/AppContext.h"
#include "core/Users.h"
#include "core/frmConfigMenu.h"
#include "core/frmConfigUsers.h"
#include "core/frmConfiguration.h"
#include "customers/frmRep.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "invoices/frmSalesDisclaimer.h"
#include "memos/frmMEMOsetup.h"
#include "pricing/frmConfigD_Range.h"
#include "pricing/frmConfigExchangeRate.h"
#include "pricing/frmConfigQs.h"
#include "pricing/frmShapes.h"
#include "printing/frmConfigLabelPrinter.h"
#include "printing/frmConfigPrinter.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

using namespace velmor;
using velmor::test::ScriptedPrompt;
using velmor::test::TestDb;

namespace {

const QString kNoPermission =
    QStringLiteral("Authorization Failure: No Permission, please login or contact the System Administrator!");

struct Env {
    QTemporaryDir dir;
    TestDb t;
    ScriptedPrompt prompt;
    AppContext ctx{Workstation(dir.path(), dir.path() + QStringLiteral("/program")), t.settings(), &prompt};
    Env()
    {
        ctx.adopt(t.db());
        ensureFirstUser(ctx);
    }
    QString sql(const QString &query) const { return db::scalar(t.db(), query).toString(); }
    QString file(const QString &path) const
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QStringLiteral("(none)");
    }
    bool logIn(const QString &password)
    {
        QString name = QStringLiteral("user"), pw = password;
        return velmor::login(ctx, name, pw);
    }
};

template <class T> T *child(QWidget *w, const char *name)
{
    T *c = w->findChild<T *>(QString::fromLatin1(name));
    if (!c)
        qFatal("no control %s", name);
    return c;
}

// One screen that saves: how it is made, edited and saved, and what it stores.
struct SavingScreen {
    const char *name;
    std::function<QWidget *(Env &)> make;
    std::function<void(QWidget *)> edit;
    std::function<void(QWidget *)> save;
    std::function<QString(Env &)> stored;
    // Empty for a screen that closes when its right goes; else tells that
    // the screen turned read-only.
    std::function<bool(QWidget *)> readOnly = {};
};

void click(QWidget *w, const char *button)
{
    // Emitted, not clicked: a command reached after the screen was disabled.
    emit child<QAbstractButton>(w, button)->clicked();
}

const std::vector<SavingScreen> &screens()
{
    static const std::vector<SavingScreen> list = {
        {"shape words", [](Env &e) -> QWidget * { return new pricing::frmShapes(e.ctx); },
         [](QWidget *w) { child<QTableWidget>(w, "Flex")->setItem(0, 0, new QTableWidgetItem(QStringLiteral("RBX"))); },
         [](QWidget *w) { static_cast<pricing::frmShapes *>(w)->save(); },
         [](Env &e) { return e.sql(QStringLiteral("SELECT GROUP_CONCAT(master ORDER BY ID) FROM shapewords")); }},
        {"laboratory words", [](Env &e) -> QWidget * { return new pricing::frmLabs(e.ctx); },
         [](QWidget *w) { child<QTableWidget>(w, "Flex")->setItem(0, 0, new QTableWidgetItem(QStringLiteral("XLAB"))); },
         [](QWidget *w) { static_cast<pricing::frmLabs *>(w)->save(); },
         [](Env &e) { return e.sql(QStringLiteral("SELECT GROUP_CONCAT(master ORDER BY ID) FROM labwords")); }},
        {"quality classes", [](Env &e) -> QWidget * { return new pricing::frmConfigQs(e.ctx); },
         [](QWidget *w) { child<QLineEdit>(w, "txtClass")->setText(QStringLiteral("Z9")); },
         [](QWidget *w) { static_cast<pricing::frmConfigQs *>(w)->update(); },
         [](Env &e) { return e.sql(QStringLiteral("SELECT GROUP_CONCAT(Class ORDER BY ID) FROM Qs")); }},
        {"diameter ranges", [](Env &e) -> QWidget * { return new pricing::frmConfigD_Range(e.ctx); },
         [](QWidget *w) {
             child<QLineEdit>(w, "txtClass")->setText(QStringLiteral("Z9"));
             child<QLineEdit>(w, "txtCaratLow")->setText(QStringLiteral("0.10"));
             child<QLineEdit>(w, "txtCaratHigh")->setText(QStringLiteral("0.20"));
         },
         [](QWidget *w) { static_cast<pricing::frmConfigD_Range *>(w)->update(); },
         [](Env &e) { return e.sql(QStringLiteral("SELECT GROUP_CONCAT(Class ORDER BY ID) FROM DRange")); }},
        {"exchange rate", [](Env &e) -> QWidget * { return new pricing::frmConfigExchangeRate(e.ctx); },
         [](QWidget *w) { child<QLineEdit>(w, "txtExchangeRate")->setText(QStringLiteral("2.5")); },
         [](QWidget *w) { static_cast<pricing::frmConfigExchangeRate *>(w)->save(); },
         [](Env &e) { return e.sql(QStringLiteral("SELECT CONCAT_WS('|', ExchangeRate, PlatinumRate) FROM Config")); }},
        {"label printer", [](Env &e) -> QWidget * { return new printing::frmConfigLabelPrinter(e.ctx); },
         [](QWidget *w) { child<QLineEdit>(w, "txtLeftOffset")->setText(QStringLiteral("7")); },
         [](QWidget *w) { static_cast<printing::frmConfigLabelPrinter *>(w)->save(); },
         [](Env &e) { return e.file(e.ctx.workstation.path(QStringLiteral("labelprinter.ini"))); }},
        {"printers", [](Env &e) -> QWidget * { return new printing::frmConfigPrinter(e.ctx); },
         [](QWidget *) {},
         [](QWidget *w) { static_cast<printing::frmConfigPrinter *>(w)->ok(); },
         [](Env &e) { return e.file(e.ctx.workstation.programPath(QStringLiteral("printers.ini"))); }},
        {"memo set-up", [](Env &e) -> QWidget * { return new ui::frmMEMOsetup(e.ctx); },
         [](QWidget *w) {
             auto *c = child<QCheckBox>(w, "chkUSdollar");
             c->setChecked(!c->isChecked());
         },
         [](QWidget *w) { static_cast<ui::frmMEMOsetup *>(w)->save(); },
         [](Env &e) { return e.file(e.ctx.workstation.path(QStringLiteral("memosheetsetup.txt"))); }},
        {"memo disclaimer", [](Env &e) -> QWidget * { return new ui::frmMemoDisclaimer(e.ctx); },
         [](QWidget *w) { child<QPlainTextEdit>(w, "txtDisclaimer")->setPlainText(QStringLiteral("Ours until paid.")); },
         [](QWidget *w) { static_cast<ui::frmMemoDisclaimer *>(w)->save(); },
         [](Env &e) { return e.sql(QStringLiteral("SELECT MemoDisclaimer FROM Config")); }},
        {"sales disclaimer", [](Env &e) -> QWidget * { return new invoices::frmSalesDisclaimer(e.ctx); },
         [](QWidget *w) {
             child<QPlainTextEdit>(w, "txtSalesDisclaimer")->setPlainText(QStringLiteral("No returns."));
         },
         [](QWidget *w) { static_cast<invoices::frmSalesDisclaimer *>(w)->save(); },
         [](Env &e) { return e.sql(QStringLiteral("SELECT SalesDisclaimer FROM Config")); }},
        {"configuration", [](Env &e) -> QWidget * { return new ui::frmConfiguration(e.ctx); },
         [](QWidget *w) { child<QLineEdit>(w, "txtCompanyName")->setText(QStringLiteral("Other & Co")); },
         [](QWidget *w) { static_cast<ui::frmConfiguration *>(w)->save(); },
         [](Env &e) { return e.sql(QStringLiteral("SELECT CompanyName FROM Config")); }},
        {"settings menu", [](Env &e) -> QWidget * { return new ui::frmConfigMenu(e.ctx, nullptr); },
         [](QWidget *w) {
             auto *c = child<QCheckBox>(w, "chkLabelQuill");
             c->setChecked(!c->isChecked());
         },
         [](QWidget *w) { click(w, "Image2"); },
         [](Env &e) { return e.file(e.ctx.workstation.path(QStringLiteral("chklabelquill.txt"))); }},
        {"users", [](Env &e) -> QWidget * { return new ui::frmConfigUsers(e.ctx); },
         [](QWidget *w) {
             click(w, "cmdEditDiamond");
             child<QLineEdit>(w, "txtFirstName")->setText(QStringLiteral("Changed"));
         },
         [](QWidget *w) { click(w, "cmdUpdate"); },
         [](Env &e) { return e.sql(QStringLiteral("SELECT GROUP_CONCAT(FirstName ORDER BY ID) FROM user")); }},
        {"rep", [](Env &e) -> QWidget * { return new ui::frmRep(e.ctx); },
         [](QWidget *w) {
             auto *rep = static_cast<ui::frmRep *>(w);
             if (!rep->busy())
                 rep->addRep();
             child<QLineEdit>(w, "txtCompanyName")->setText(QStringLiteral("Rep & Sons"));
         },
         [](QWidget *w) { static_cast<ui::frmRep *>(w)->update(); },
         [](Env &e) { return e.sql(QStringLiteral("SELECT COUNT(*) FROM Rep")); },
         [](QWidget *w) {
             return child<QLineEdit>(w, "txtCompanyName")->isReadOnly()
                 && !child<QPushButton>(w, "cmdUpdate")->isEnabled();
         }},
    };
    return list;
}

enum class Way { Administrator, Nobody, LogOff, FailedLogin };

} // namespace

Q_DECLARE_METATYPE(Way)

class TestScreenRights : public QObject {
    Q_OBJECT
private slots:
    void rightHeldAtTheScreen_data();
    void rightHeldAtTheScreen();
};

void TestScreenRights::rightHeldAtTheScreen_data()
{
    QTest::addColumn<int>("screen");
    QTest::addColumn<Way>("way");
    for (int i = 0; i < int(screens().size()); ++i) {
        const char *n = screens()[i].name;
        QTest::addRow("%s, administrator saves", n) << i << Way::Administrator;
        QTest::addRow("%s, nobody logged in", n) << i << Way::Nobody;
        QTest::addRow("%s, after a log-off", n) << i << Way::LogOff;
        QTest::addRow("%s, after a failed login", n) << i << Way::FailedLogin;
    }
}

void TestScreenRights::rightHeldAtTheScreen()
{
    QFETCH(int, screen);
    QFETCH(Way, way);
    const SavingScreen &s = screens()[screen];
    Env e;
    const QString before = s.stored(e);
    if (way != Way::Nobody)
        QVERIFY(e.logIn(QString::fromLatin1(kFirstUserPassword)));
    std::unique_ptr<QWidget> w(s.make(e));
    w->show();
    QCoreApplication::processEvents();

    if (way == Way::Administrator) {
        QVERIFY(w->isVisible());
        s.edit(w.get());
        s.save(w.get());
        QVERIFY2(!e.prompt.messages().contains(kNoPermission), qPrintable(e.prompt.messages().join('|')));
        QVERIFY2(s.stored(e) != before, qPrintable(before));
        return;
    }
    if (way == Way::Nobody) {
        QCOMPARE(e.prompt.messages(), s.readOnly ? QStringList() : QStringList{kNoPermission});
    } else {
        QVERIFY(w->isVisible());
        s.edit(w.get());
        if (way == Way::LogOff)
            ResetUserRightsModule(e.ctx);
        else
            QVERIFY(!e.logIn(QStringLiteral("wrong")));
    }
    // The screen goes (or turns read-only), and a save that still reaches it
    // writes nothing.
    if (s.readOnly) {
        QVERIFY(w->isVisible());
        QTRY_VERIFY(s.readOnly(w.get()));
    } else {
        QTRY_VERIFY(!w->isVisible());
    }
    e.prompt.clear();
    s.edit(w.get());
    s.save(w.get());
    QVERIFY(e.prompt.messages().contains(kNoPermission));
    QCOMPARE(s.stored(e), before);
}

QTEST_MAIN(TestScreenRights)
#include "tst_screenrights.moc"
