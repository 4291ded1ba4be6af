// Every screen within reach: an administrator walks the home screen's menus,
// buttons and lists (the first row opened) in both set-ups, following the
// windows each command opens a few steps deep, with a stone, a memo sheet, an
// invoice and a parcel memo to work on, and the screens reached are compared
// with every screen class of the program.  A class that no walk reaches must stand on the
// short list below with the reason.
#include "TestDb.h"
#include "TestUsers.h"
#include "ScriptedPrompt.h"

#include "core/AppContext.h"
#include "core/Users.h"
#include "db/Sql.h"
#include "shell/widgets/StartupFlow.h"
#include "stones/frmDiamondDetail.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDirIterator>
#include <QLineEdit>
#include <QPushButton>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <map>
#include <memory>
#include <set>

using namespace velmor;
using velmor::test::ScriptedPrompt;
using velmor::test::TestDb;
using namespace velmor::test;

namespace {

// Screens no walk from the home screen reaches, and why.
const std::map<QString, QString> &notWalked()
{
    static const std::map<QString, QString> list = {
        {QStringLiteral("frmSplash"), QStringLiteral("the start-up's own window, gone before the home screen")},
        {QStringLiteral("frmMSG"), QStringLiteral("the timed notice that operations show")},
        {QStringLiteral("frmMessage"), QStringLiteral("the busy notice that long operations show")},
        {QStringLiteral("frmSplashWelcome"), QStringLiteral("the rates welcome window of the start-up's rate fetch")},
        {QStringLiteral("frmWordTable"), QStringLiteral("the common base of frmShapes and frmLabs")},
        // Screens for one line or record, opened from the screen that shows
        // it by a choice the walk does not make.
        {QStringLiteral("frmNewMemo"), QStringLiteral("the customer of a new memo sheet when none is chosen")},
        {QStringLiteral("frmMemoParcelRemove"), QStringLiteral("a line of the parcel memo sheet shown")},
        {QStringLiteral("frmMemoParcelSell"), QStringLiteral("a line of the parcel memo sheet shown")},
        {QStringLiteral("frmDiamondDetailParcel"), QStringLiteral("an older parcel, from a line of the older memo sheet")},
        {QStringLiteral("frmAddParcel"), QStringLiteral("stock received into the older parcel shown")},
        {QStringLiteral("frmSplitOlderParcel"), QStringLiteral("the split of the older parcel shown")},
        {QStringLiteral("frmDiamondSearchPrinting"),
         QStringLiteral("the stone search's print choice; the walk leaves printing alone")},
    };
    return list;
}

// Commands the walk leaves alone: they end the program or the session, go to
// the network or a printer without asking, or delete.
bool leftAlone(const QString &name)
{
    static const QSet<QString> names = {
        QStringLiteral("mnuExit"),       QStringLiteral("cmdLogOff"),     QStringLiteral("cmdDelete"),
        QStringLiteral("mnuDownloadAndUpgrade"),
        QStringLiteral("cmdGetGIA"),     QStringLiteral("cmdEMail"),      QStringLiteral("cmdSubmit"),
        QStringLiteral("cmdPrint"),      QStringLiteral("cmdSample"),     QStringLiteral("imgClear"),
    };
    return names.contains(name);
}

QString classOf(const QObject *o)
{
    return QString::fromLatin1(o->metaObject()->className()).section(QStringLiteral("::"), -1);
}

// Every screen class of the program, read from its headers.
std::set<QString> screenClasses()
{
    std::set<QString> out;
    static const QRegularExpression decl(QStringLiteral(R"(^class\s+(frm\w+)\s*:)"),
                                         QRegularExpression::MultilineOption);
    QDirIterator it(QStringLiteral(VELMOR_SOURCE_DIR "/src"), {QStringLiteral("*.h")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile f(it.next());
        if (!f.open(QIODevice::ReadOnly))
            continue;
        auto m = decl.globalMatch(QString::fromUtf8(f.readAll()));
        while (m.hasNext())
            out.insert(m.next().captured(1));
    }
    return out;
}

// The commands of a window: its menu bar's items (submenus opened) and its
// push and tool buttons, by control name.
QStringList commandsOf(QWidget *w)
{
    QStringList out;
    std::function<void(const QList<QAction *> &)> actions = [&](const QList<QAction *> &list) {
        for (QAction *a : list) {
            if (a->menu())
                actions(a->menu()->actions());
            else if (!a->isSeparator() && !a->objectName().isEmpty())
                out << a->objectName();
        }
    };
    for (QMenuBar *bar : w->findChildren<QMenuBar *>())
        actions(bar->actions());
    for (QAbstractButton *b : w->findChildren<QAbstractButton *>()) {
        if (qobject_cast<QCheckBox *>(b) || qobject_cast<QRadioButton *>(b) || b->objectName().isEmpty())
            continue;
        if (b->window() == w)
            out << b->objectName();
    }
    out.removeDuplicates();
    return out;
}

// The lists of a window (grids, tables), by control name.
QList<QPointer<QAbstractItemView>> listsOf(QWidget *w)
{
    QList<QPointer<QAbstractItemView>> out;
    for (QAbstractItemView *v : w->findChildren<QAbstractItemView *>())
        if (v->window() == w && !v->objectName().isEmpty() && v->isVisibleTo(w)
            && !qobject_cast<QComboBox *>(v->parentWidget()) && v->objectName() != QLatin1String("qt_scrollarea_viewport"))
            out << QPointer<QAbstractItemView>(v);
    return out;
}

class Walker {
public:
    explicit Walker(int maxDepth) : m_maxDepth(maxDepth)
    {
        // A modal window is noted and closed, so that the walk goes on.
        m_closer.setInterval(15);
        QObject::connect(&m_closer, &QTimer::timeout, [this] {
            if (QWidget *m = QApplication::activeModalWidget()) {
                reached.insert(classOf(m));
                if (auto *d = qobject_cast<QDialog *>(m))
                    d->reject();
                else
                    m->close();
            }
        });
        m_closer.start();
    }

    void walk(QWidget *home)
    {
        note(home, 0);
        while (!m_queue.empty()) {
            auto [w, depth] = m_queue.front();
            m_queue.erase(m_queue.begin());
            if (!w)
                continue;
            auto followUp = [&] {
                settle();
                if (afterEach)
                    afterEach();
                for (QWidget *top : QApplication::topLevelWidgets())
                    if (top->isVisible())
                        note(top, depth + 1);
            };
            // The first row of each list is opened, as a double-click does
            // (before the commands: one of them may close the window).
            for (const QPointer<QAbstractItemView> &view : listsOf(w)) {
                if (!w || !view || !view->isEnabled() || !view->model() || view->model()->rowCount() == 0)
                    continue;
                const QModelIndex first = view->model()->index(0, 0);
                view->setCurrentIndex(first);
                emit view->doubleClicked(first);
                followUp();
            }
            for (const QString &name : w ? commandsOf(w) : QStringList()) {
                if (!w || leftAlone(name))
                    continue;
                run(w, name);
                followUp();
                // Put on memo ends with the customer chosen in cboConsignedTo.
                if (w && name == QLatin1String("cmdConsignedTo"))
                    if (auto *c = w->findChild<QComboBox *>(QStringLiteral("cboConsignedTo")); c && c->count() > 0) {
                        c->setCurrentIndex(0);
                        emit c->activated(0);
                        followUp();
                    }
            }
        }
    }

    std::set<QString> reached;
    // Run after each command: puts the home screen back as the walk found it.
    std::function<void()> afterEach;

private:
    void note(QWidget *w, int depth)
    {
        const QString c = classOf(w);
        if (!c.startsWith(QLatin1String("frm")))
            return;
        reached.insert(c);
        if (m_walked.insert(c).second && depth < m_maxDepth)
            m_queue.push_back({QPointer<QWidget>(w), depth});
    }
    static void run(QWidget *w, const QString &name)
    {
        for (QAction *a : w->findChildren<QAction *>(name))
            if (a->isEnabled() && a->isVisible()) {
                a->trigger();
                return;
            }
        for (QAbstractButton *b : w->findChildren<QAbstractButton *>(name))
            if (b->isEnabled() && b->isVisibleTo(w)) {
                b->click();
                return;
            }
    }
    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

    int m_maxDepth;
    QTimer m_closer;
    std::set<QString> m_walked;
    std::vector<std::pair<QPointer<QWidget>, int>> m_queue;
};

} // namespace

class TestScreenWalk : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qputenv("VELMOR_NO_SPLASH_PAUSE", "1"); }
    void everyScreenWithinReach();
};

void TestScreenWalk::everyScreenWithinReach()
{
    std::set<QString> reached;
    for (const bool wholesale : {false, true}) {
        TestDb t;
        db::exec(t.db(), QStringLiteral("UPDATE Config SET VelmorWholeSale = ?"), {wholesale ? 1 : 0});
        // A customer with a memo sheet, a stone in stock and a parcel of each
        // kind, so that the commands that need one are open.
        const qint64 customer = db::insert(
            t.db(), QStringLiteral("INSERT INTO Customer (CompanyName, Customer, Supplier) VALUES ('Walk & Co', -1, -1)"));
        const qint64 stoneId = db::insert(
            t.db(), QStringLiteral("INSERT INTO SingleStone (SKU, Shape, Carat, Colour, Clarity, Laboratory, "
                                   "Certificate, RapaportPrice, SellOffRap, SellPriceUS, LockPercent, Status, Canadian) "
                                   "VALUES ('W-1', 'Round Brilliant [BR]', 1.01, 20, 40, 'GIA', 'C1', 5000, 30, 3535, "
                                   "-1, 'Stock', 0)"));
        const qint64 sheet = db::insert(
            t.db(), QStringLiteral("INSERT INTO memosheet (CustomerID, Date) VALUES (?, NOW())"), {customer});
        db::insert(t.db(), QStringLiteral("INSERT INTO ParcelStock (SKU, Shape, Carat, Quantity) VALUES ('OP-1', 'Oval', 5, 9)"));
        // An open invoice with a line, and a parcel with carats out on a parcel memo.
        const qint64 invoice = db::insert(
            t.db(), QStringLiteral("INSERT INTO invoice (customerid, datecreated, status) VALUES (?, NOW(), 'open')"),
            {customer});
        db::insert(t.db(),
                   QStringLiteral("INSERT INTO invoicelist (invoiceid, carat, dateadded, pricecarat, exchangerateCDN, "
                                  "exchangerateZAR, taxrate, details) VALUES (?, 1, NOW(), 250, 1.25, 14, 0, 'Walk line')"),
                   {invoice});
        const qint64 parcel =
            db::insert(t.db(), QStringLiteral("INSERT INTO parcel (SKU, Shape, Carat) VALUES ('WP-1', 'Pear [PS]', 5)"));
        const qint64 parcelMemo = db::insert(
            t.db(), QStringLiteral("INSERT INTO memoparcel (Date, CustomerID, closed) VALUES (NOW(), ?, 0)"), {customer});
        db::insert(t.db(),
                   QStringLiteral("INSERT INTO memoparcellist (memoparcelid, parcelid, carat, action, pricecarat, "
                                  "exchangerateCDN, exchangerateZAR, date) VALUES (?, ?, 1, 'memo-out', 250, 1.25, 14, NOW())"),
                   {parcelMemo, parcel});
        QTemporaryDir home;
        ScriptedPrompt prompt;
        AppContext ctx(Workstation(home.path(), home.path() + QStringLiteral("/program")), t.settings(), &prompt);
        ctx.adopt(t.db());
        auto flow = std::make_unique<ui::StartupFlow>(ctx);
        QSignalSpy done(flow.get(), &ui::StartupFlow::finished);
        flow->start();
        QVERIFY(done.count() > 0 || done.wait(20000));
        addAdministrator(t.db());
        QVERIFY(logOn(ctx));

        flow->setCurrentMemoSheet(sheet);
        flow->stone()->loadStone(int(stoneId));
        // The stone screen shows the open memo sheet once it is active again.
        flow->showStoneScreen();
        QTRY_VERIFY(flow->stone()->isActiveWindow());
        if (wholesale)
            flow->showMainMenu();
        QWidget *homeScreen = wholesale ? static_cast<QWidget *>(flow->front()) : flow->stone();
        QVERIFY(homeScreen && homeScreen->isVisible());
        // The default set-up reaches the main menu's commands one step later.
        Walker walker(wholesale ? 3 : 4);
        // The stone stays on the stone screen, shown and in stock, so that the
        // commands for one stone (sell, put on memo, ...) have it.
        walker.afterEach = [&] {
            ui::frmDiamondDetail *stone = flow->stone();
            if (!stone)
                return;
            if (stone->editState().mode != stones::EditState::Displayed)
                stone->findChild<QPushButton *>(QStringLiteral("cmdCancel"))->click();
            if (stone->findChild<QLineEdit *>(QStringLiteral("txtID"))->text() != QString::number(stoneId))
                stone->loadStone(int(stoneId));
        };
        walker.walk(homeScreen);
        QVERIFY2(walker.reached.count(QStringLiteral("frmFront")), wholesale ? "wholesale" : "ordinary");
        QVERIFY2(walker.reached.count(QStringLiteral("frmCustomer")), wholesale ? "wholesale" : "ordinary");
        reached.insert(walker.reached.begin(), walker.reached.end());
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->isVisible() && w != flow->front() && w != flow->stone())
                w->close();
        flow.reset();
    }

    QStringList missing, listedButReached;
    for (const QString &c : screenClasses()) {
        const bool listed = notWalked().count(c) > 0;
        if (!reached.count(c) && !listed)
            missing << c;
        if (reached.count(c) && listed)
            listedButReached << c;
    }
    QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("not reached: ") + missing.join(QStringLiteral(", "))));
    QVERIFY2(listedButReached.isEmpty(),
             qPrintable(QStringLiteral("reached, take off the list: ") + listedButReached.join(QStringLiteral(", "))));
}

QTEST_MAIN(TestScreenWalk)
#include "tst_screenwalk.moc"
