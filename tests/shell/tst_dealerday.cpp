// A dealer's first day at the counter, on the screens only: from an empty
// workstation folder in the default set-up, every step is done by finding
// controls by name and clicking and typing as a user would.  After each
// step the test reads what the user sees (the figures on the screen, the
// words of the notice, the printed PDF) against figures worked out by hand,
// and every window opened on the way must fit a 1366x768 screen with every
// control within reach.
#include "LaptopScreen.h"
#include "../printing/PrintTestKit.h"
#include "PdfLayoutCheck.h"
#include "ScriptedPrompt.h"
#include "TestDb.h"

#include "core/AppContext.h"
#include "core/Users.h"
#include "core/widgets/WindowPlacement.h"
#include "db/Sql.h"
#include "printing/PrintJob.h"
#include "shell/widgets/StartupFlow.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSqlQuery>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>
#include <utility>
#include <set>

using namespace velmor;
using velmor::test::PromptEvent;
using velmor::test::ScriptedPrompt;
using velmor::test::TestDb;

namespace {

const QSize kLaptop(1366, 768);

template <typename T>
T *ctl(QObject *screen, const QString &name)
{
    T *c = screen ? screen->findChild<T *>(name) : nullptr;
    if (!c)
        qWarning("no control %s in %s", qPrintable(name), screen ? qPrintable(screen->objectName()) : "(none)");
    return c;
}

// Types into a box as a user does: click into it, select what is there,
// type over it.
void type(QWidget *screen, const QString &field, const QString &text)
{
    auto *le = ctl<QLineEdit>(screen, field);
    QVERIFY2(le && le->isEnabled() && !le->isReadOnly(), qPrintable(field));
    le->setFocus();
    le->selectAll();
    QTest::keyClicks(le, text);
}

void fill(QWidget *screen, std::initializer_list<std::pair<const char *, QString>> fields)
{
    for (const auto &[field, value] : fields)
        type(screen, QString::fromLatin1(field), value);
}

void click(QWidget *screen, const QString &name)
{
    auto *b = ctl<QAbstractButton>(screen, name);
    QVERIFY2(b, qPrintable(name));
    QVERIFY2(b->isEnabled(), qPrintable(name + " is disabled"));
    QVERIFY2(b->isVisibleTo(screen->window()), qPrintable(name + " is hidden"));
    QTest::mouseClick(b, Qt::LeftButton);
}

// A menu command of a window, as the user picks it.
void pick(QWidget *screen, const QString &name)
{
    QAction *a = nullptr;
    for (QAction *each : screen->findChildren<QAction *>(name))
        if (each->isVisible())
            a = each;
    QVERIFY2(a && a->isEnabled(), qPrintable(name));
    a->trigger();
}

// Chooses the combo's entry that starts (or ends) with `part`, as a click
// on it does.
void choose(QWidget *screen, const QString &combo, const QString &part)
{
    auto *c = ctl<QComboBox>(screen, combo);
    QVERIFY(c);
    for (int i = 0; i < c->count(); ++i)
        if (c->itemText(i).startsWith(part) || c->itemText(i).endsWith(part)) {
            c->setCurrentIndex(i);
            emit c->activated(i);
            emit c->textActivated(c->itemText(i));
            return;
        }
    QFAIL(qPrintable(QString("no entry %1 in %2").arg(part, combo)));
}

// A word typed into an editable combo.
void typeCombo(QWidget *screen, const QString &combo, const QString &text)
{
    auto *c = ctl<QComboBox>(screen, combo);
    QVERIFY2(c && c->isEditable(), qPrintable(combo));
    c->lineEdit()->setFocus();
    c->lineEdit()->selectAll();
    QTest::keyClicks(c->lineEdit(), text);
}

QString text(QWidget *screen, const QString &name)
{
    if (auto *le = screen->findChild<QLineEdit *>(name))
        return le->text();
    if (auto *l = screen->findChild<QLabel *>(name))
        return l->text();
    if (auto *c = screen->findChild<QComboBox *>(name))
        return c->currentText();
    qWarning("no text control %s", qPrintable(name));
    return {};
}

// Windows the day opened, and what did not fit a 1366x768 screen.
std::set<QString> g_windowsSeen;
QStringList g_fitFaults;

// The window fits the screen, frame included, and every control is inside
// it or inside a scroll area that brings it into view.
void checkFit(QWidget *w)
{
    g_windowsSeen.insert(w->objectName());
    const QRect frame = w->frameGeometry();
    if (frame.width() > kLaptop.width() || frame.height() > kLaptop.height())
        g_fitFaults << QString("%1 is %2x%3").arg(w->objectName()).arg(frame.width()).arg(frame.height());
    for (QWidget *c : w->findChildren<QWidget *>()) {
        if (!c->isVisibleTo(w) || c->window() != w
            || !(qobject_cast<QAbstractButton *>(c) || qobject_cast<QLineEdit *>(c) || qobject_cast<QComboBox *>(c)))
            continue;
        bool scrolled = false;
        for (QWidget *p = c->parentWidget(); p && p != w; p = p->parentWidget())
            scrolled = scrolled || qobject_cast<QAbstractScrollArea *>(p);
        const QRect in(c->mapTo(w, QPoint(0, 0)), c->size());
        if (!scrolled && !w->rect().contains(in))
            g_fitFaults << QString("%1 of %2 is out of reach").arg(c->objectName(), w->objectName());
    }
}

QWidget *window(const QString &name)
{
    // A window fitted to the screen shows its moved controls from the
    // event loop.
    QCoreApplication::processEvents();
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->objectName() == name) {
            checkFit(w);
            return w;
        }
    return nullptr;
}

// Runs `answer` on the window named `name` as soon as it shows (a modal
// dialog runs its own loop, so the answer is scheduled before the click).
void whenShown(const QString &name, std::function<void(QWidget *)> answer, int tries = 400)
{
    QTimer::singleShot(10, [=] {
        if (QWidget *w = window(name)) {
            answer(w);
            return;
        }
        if (tries > 0)
            whenShown(name, answer, tries - 1);
        else
            qWarning("%s never showed", qPrintable(name));
    });
}

// The printer choice answered with a PDF file, as soon as it shows.
void printToPdfWhenShown(const QString &dialog, const QString &pdf)
{
    whenShown(dialog, [pdf](QWidget *d) {
        choose(d, "cboPrinter", printing::kPdfEntry);
        type(d, "txtPdfFile", pdf);
        click(d, "cmdPrint");
    });
}

QStringList gridRows(QTableWidget *grid, const QList<int> &columns)
{
    QStringList out;
    for (int r = 0; grid && r < grid->rowCount(); ++r) {
        QStringList cells;
        for (int c : columns)
            cells << (grid->item(r, c) ? grid->item(r, c)->text() : QString());
        out << cells.join(QStringLiteral(" | "));
    }
    return out;
}

} // namespace

class TestDealerDay : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void logIn();
    void setRates();
    void addCustomerAndSupplier();
    void addThreeStones();
    void memoTwoStonesAtTypedPrices();
    void printMemoToPdf();
    void returnOneSellTheOther();
    void printInvoiceToPdf();
    void receiveParcelAndMemoCarats();
    void searchByWeightAndColour();
    void printPaperAndLabel();
    void stoneHistory();
    void logOff();

private:
    QWidget *stone() const { return m_flow ? m_flow->stone() : nullptr; }
    QWidget *mainMenu();
    // A button of the main menu and the window it opens.
    QWidget *fromMainMenu(const char *command, const QString &opens);
    // Every visible window fits the screen with its controls in reach.
    void checkWindowsFit();
    QStringList notices() const { return m_prompt.texts(PromptEvent::Notice); }

    std::unique_ptr<TestDb> m_db;
    QTemporaryDir m_home;
    ScriptedPrompt m_prompt;
    std::unique_ptr<AppContext> m_ctx;
    std::unique_ptr<ui::StartupFlow> m_flow;
    bool m_failedBefore = false;
    QPointer<QDialog> m_lastStuck;
    QStringList m_unanswered;
    qint64 m_customerId = 0, m_invoiceId = 0;
};

void TestDealerDay::initTestCase()
{
    qputenv("VELMOR_NO_SPLASH_PAUSE", "1");
    QCOMPARE(QApplication::primaryScreen()->size(), kLaptop);
    qApp->installEventFilter(new ui::ScreenFitter(qApp));
    // A new database as the first start makes it; nothing in the folder.
    m_db = std::make_unique<TestDb>();
    QVERIFY(QDir(m_home.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
    m_ctx = std::make_unique<AppContext>(Workstation(m_home.path(), m_home.path() + QStringLiteral("/program")),
                                         m_db->settings(), &m_prompt);
    m_ctx->adopt(m_db->db());
    QCOMPARE(db::scalar(m_db->db(), QStringLiteral("SELECT VelmorWholeSale FROM Config")).toInt(), 0);
    m_flow = std::make_unique<ui::StartupFlow>(*m_ctx);
    QSignalSpy done(m_flow.get(), &ui::StartupFlow::finished);
    m_flow->start();
    QVERIFY(done.count() > 0 || done.wait(30000));
    QVERIFY(stone() && stone()->isVisible());
    QTRY_VERIFY(m_flow->stone()->startUpDone());
    checkWindowsFit();
    // A dialog the walk does not answer would stop the day: it is named,
    // closed and counted as a failure of the step.
    auto *stuck = new QTimer(this);
    stuck->setInterval(3000);
    connect(stuck, &QTimer::timeout, this, [this] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *d = qobject_cast<QDialog *>(w);
            if (!d || !d->isVisible() || !d->isModal())
                continue;
            if (m_lastStuck == d) {
                QStringList words;
                for (QLabel *l : d->findChildren<QLabel *>())
                    words << l->text();
                qWarning("unanswered dialog %s %s: %s", d->metaObject()->className(), qPrintable(d->objectName()),
                         qPrintable(words.join(" / ")));
                m_unanswered << d->objectName() + QLatin1Char(' ') + words.join(QStringLiteral(" / "));
                d->reject();
            }
            m_lastStuck = d;
        }
    });
    stuck->start();
}

void TestDealerDay::cleanupTestCase()
{
    qInfo("windows of the day: %s", qPrintable(QStringList(g_windowsSeen.begin(), g_windowsSeen.end()).join(", ")));
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible())
            w->close();
    m_flow.reset();
    m_ctx.reset();
    m_db.reset();
}

void TestDealerDay::init()
{
    // The day is one road: a step after a failed one has nothing to stand on.
    if (m_failedBefore)
        QSKIP("an earlier step of the day failed");
    m_prompt.clear();
}

void TestDealerDay::cleanup()
{
    QCoreApplication::processEvents();
    const QStringList unanswered = std::exchange(m_unanswered, {});
    m_failedBefore = m_failedBefore || QTest::currentTestFailed() || !unanswered.isEmpty();
    QVERIFY2(unanswered.isEmpty(), qPrintable(unanswered.join("\n")));
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible() && !w->objectName().isEmpty() && !qobject_cast<QMenu *>(w))
            checkFit(w);
    const QStringList faults = std::exchange(g_fitFaults, {});
    m_failedBefore = m_failedBefore || !faults.isEmpty();
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join("\n")));
}

QWidget *TestDealerDay::mainMenu()
{
    pick(stone(), QStringLiteral("mnuMainMenu"));
    QWidget *front = window(QStringLiteral("frmFront"));
    if (!front)
        qWarning("the main menu did not show");
    return front;
}

QWidget *TestDealerDay::fromMainMenu(const char *command, const QString &opens)
{
    QWidget *front = mainMenu();
    if (!front)
        return nullptr;
    auto *b = ctl<QAbstractButton>(front, command);
    if (!b || !b->isEnabled())
        return nullptr;
    QTest::mouseClick(b, Qt::LeftButton);
    return window(opens);
}

void TestDealerDay::checkWindowsFit()
{
    QCoreApplication::processEvents();
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible() && !w->objectName().isEmpty() && !qobject_cast<QMenu *>(w))
            checkFit(w);
    QVERIFY2(g_fitFaults.isEmpty(), qPrintable(g_fitFaults.join("\n")));
}

// The first user logs in on the stone screen: every right, the name shown.
void TestDealerDay::logIn()
{
    // Nobody is logged in: the main menu's commands are closed.
    QWidget *front = mainMenu();
    QVERIFY(front);
    QVERIFY(!ctl<QWidget>(front, "cmdAddCustomer")->isEnabled());
    front->hide();
    // A new database has no user: the log-on screen makes the first administrator.
    whenShown(QStringLiteral("frmLogin"), [](QWidget *w) {
        QVERIFY(w->findChild<QLabel *>(QStringLiteral("lblFirstUser"))->isVisible());
        w->findChild<QLineEdit *>(QStringLiteral("txtUserName"))->setText(QStringLiteral("Dana"));
        w->findChild<QLineEdit *>(QStringLiteral("txtPassword"))->setText(QStringLiteral("Day-1 pass"));
        w->findChild<QLineEdit *>(QStringLiteral("txtPasswordConfirm"))->setText(QStringLiteral("Day-1 pass"));
        QTest::mouseClick(w->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
    });
    pick(stone(), QStringLiteral("mnuLogOn"));
    QVERIFY2(m_prompt.messages().isEmpty(), qPrintable(m_prompt.messages().join("|")));
    QVERIFY(m_ctx->user.ID > 0);
    QVERIFY2(text(stone(), "lblLoggedIn") == "Logged in: Dana", qPrintable(text(stone(), "lblLoggedIn")));
    front = mainMenu();
    QVERIFY(front);
    for (const char *name : {"cmdAddCustomer", "cmdFindCustomer", "cmdMemo", "cmdLoadInvoice", "cmdDiamondParcel"})
        QVERIFY2(ctl<QWidget>(front, name)->isEnabled(), name);
}

// The working rates typed on the stone screen's settings menu: the title
// of the stone screen shows them at once.
void TestDealerDay::setRates()
{
    whenShown(QStringLiteral("frmConfigMenu"), [](QWidget *w) {
        for (auto [field, value] : {std::pair{"txtCDN", "1.35"}, std::pair{"txtZAR", "18.5"}}) {
            auto *le = w->findChild<QLineEdit *>(QString::fromLatin1(field));
            le->setFocus();
            le->selectAll();
            QTest::keyClicks(le, QString::fromLatin1(value));
        }
        static_cast<QDialog *>(w)->reject();
    });
    pick(stone(), QStringLiteral("mnuConfiguration"));
    QTRY_VERIFY2(stone()->windowTitle().startsWith("Diamond Details US$/CDN$ 1/1.3500 US$/ZAR 1/18.5000"),
                 qPrintable(stone()->windowTitle()));
    QCOMPARE(m_ctx->exchangeRateCDN, 1.35);
    QCOMPARE(m_ctx->exchangeRateZAR, 18.5);
}

// A customer and a supplier, added on the customer screen from the main menu.
void TestDealerDay::addCustomerAndSupplier()
{
    QWidget *c = fromMainMenu("cmdAddCustomer", QStringLiteral("frmCustomer"));
    QVERIFY(c);
    QVERIFY(ctl<QCheckBox>(c, "chkCustomer")->isChecked());
    fill(c, {{"txtSupplierName", "Maple Leaf Jewellers"},
             {"txtSupplierStreet1", "12 King Street West"},
             {"txtSupplierCity", "Toronto"},
             {"txtSupplierProvince", "ON"},
             {"txtSupplierZIP", "M5H 1A1"},
             {"txtPhone1", "416-555-0101"}});
    click(c, "cmdUpdateChanges");
    QVERIFY2(m_prompt.messages().isEmpty(), qPrintable(m_prompt.messages().join("|")));
    m_customerId = text(c, "txtID").toLongLong();
    QVERIFY(m_customerId > 0);
    QCOMPARE(text(c, "txtSupplierName"), QString("Maple Leaf Jewellers"));
    QVERIFY(ctl<QLineEdit>(c, "txtSupplierName")->isReadOnly() || !ctl<QLineEdit>(c, "txtSupplierName")->isEnabled());

    click(c, "cmdAddSupplier");
    QVERIFY(ctl<QCheckBox>(c, "chkSupplier")->isChecked());
    type(c, "txtSupplierName", "Antwerp Rough Trading");
    type(c, "txtSupplierCity", "Antwerp");
    click(c, "cmdUpdateChanges");
    QVERIFY2(m_prompt.messages().isEmpty(), qPrintable(m_prompt.messages().join("|")));
    QVERIFY(text(c, "txtID").toLongLong() > m_customerId);
    c->close();
}

// Three stones with their full grading and a selling price per stone; no
// price grid on a new workstation.
void TestDealerDay::addThreeStones()
{
    struct Stone {
        QString sku, shape, weight, colour, clarity, cut, polish, symmetry, fluorescence, girdle, culet, cert;
        QString dims[3], table, depth, crownHeight, pavilionDepth, crownAngle, pavilionAngle;
        QString cost, price, perCarat;
    };
    const Stone stones[] = {
        {"DW-1", "Round Brilliant [BR]", "1.01", " - G", " - VS1", "EX", "EX", "VG", "None", "Medium", "None",
         "2141438171", {"6.45", "6.49", "3.98"}, "57", "61.5", "15", "43", "34.5", "40.8", "4,200", "6,000", "5940.59"},
        {"DW-2", "Pear [PS]", "0.72", " - F", " - VS2", "VG", "VG", "G", "Faint", "Thin", "None", "5182736450",
         {"7.91", "5.12", "3.11"}, "58", "60.7", "14", "44", "33.0", "41.0", "1,900", "3,100", "4305.56"},
        {"DW-3", "Princess [PR]", "1.50", " - H", " - SI1", "VG", "EX", "EX", "Medium Blue", "Thick", "None",
         "6290017734", {"6.21", "6.18", "4.55"}, "70", "73.4", "9", "0", "0", "0", "3,000", "5,400", "3600.00"},
    };
    QWidget *s = stone();
    for (const Stone &st : stones) {
        m_prompt.clear();
        // Adding starts with the laboratory's look-up; this dealer types
        // the grading from the certificate instead.
        whenShown(QStringLiteral("frmGIA"), [](QWidget *d) { click(d, "Image2"); });
        click(s, "cmdAddDiamond");
        QVERIFY(!window(QStringLiteral("frmGIA")));
        type(s, "txtSKU", st.sku);
        choose(s, "cboShape", st.shape);
        type(s, "txtWeight", st.weight);
        choose(s, "cboColour", st.colour);
        choose(s, "cboClarity", st.clarity);
        typeCombo(s, "cboCut", st.cut);
        typeCombo(s, "cboFinishPolish", st.polish);
        typeCombo(s, "cboFinishSymetry", st.symmetry);
        typeCombo(s, "cboFlourescence", st.fluorescence);
        typeCombo(s, "cboGirdle", st.girdle);
        typeCombo(s, "cboCulet", st.culet);
        typeCombo(s, "cboLaboratory", "GIA");
        fill(s, {{"txtCertificate", st.cert},
                 {"txtDim1", st.dims[0]},
                 {"txtDim2", st.dims[1]},
                 {"txtDim3", st.dims[2]},
                 {"txtTableSize", st.table},
                 {"txtTotalDepth", st.depth},
                 {"txtCrownHeight", st.crownHeight},
                 {"txtPavillionDepth", st.pavilionDepth},
                 {"txtCrownAngle", st.crownAngle},
                 {"txtPavillionAngle", st.pavilionAngle},
                 {"txtBoughtPriceUS", st.cost}});
        // No list price: the price per stone is what is held.
        click(s, "optLockDollar");
        type(s, "txtSellPrice", st.price);
        QCOMPARE(text(s, "txtSellPriceCT").remove(','), st.perCarat);
        click(s, "cmdUpdate");
        QVERIFY2(m_prompt.messages().isEmpty(), qPrintable(st.sku + ": " + m_prompt.messages().join("|")));
        QCOMPARE(text(s, "txtSKU"), st.sku);
        QCOMPARE(text(s, "lblStatus"), QString("STOCK"));
        QCOMPARE(text(s, "txtSellPrice").remove(','), QString(st.price).remove(',') + ".00");
        QCOMPARE(text(s, "txtCertificate"), st.cert);
        QVERIFY2(text(s, "cboColour").endsWith(st.colour), qPrintable(text(s, "cboColour")));
        QVERIFY2(text(s, "cboClarity").endsWith(st.clarity), qPrintable(text(s, "cboClarity")));
        QCOMPARE(text(s, "cboFinishPolish"), st.polish);
        QCOMPARE(text(s, "txtTotalDepth"), st.depth);
    }
    QCOMPARE(db::scalar(m_db->db(), "SELECT COUNT(*) FROM SingleStone WHERE Status='Stock'").toInt(), 3);
}

// A memo sheet for the customer, opened on the stone screen; two stones go
// on it at the prices typed (US$ per stone).
void TestDealerDay::memoTwoStonesAtTypedPrices()
{
    QWidget *s = stone();
    choose(s, "cboCustomer", "Maple Leaf Jewellers");
    click(s, "cmdNewMemo");
    QCOMPARE(notices().value(0), QString("A new Memo-Sheet \n#1\n has been created for customer \nMaple Leaf Jewellers"));
    QCOMPARE(text(s, "lblMemoIDIS"), QString("1"));
    click(s, "cmdConsignedTo");
    QVERIFY2(m_prompt.messages().isEmpty(), qPrintable(m_prompt.messages().join("|")));
    choose(s, "cboConsignedTo", QString::number(m_customerId) + " - Maple Leaf Jewellers");
    QWidget *memo = window(QStringLiteral("frmMemoAddNewDiamondToIt"));
    QVERIFY(memo);
    QCOMPARE(text(memo, "txtCompanyName"), QString("Maple Leaf Jewellers"));
    // The stone shown on the stone screen is chosen; the dealer scans the
    // ones the customer takes.
    const struct {
        const char *sku, *typed, *perCarat, *grid;
    } lines[] = {{"DW-1", "7,500", "7425.74", "7,500.00"}, {"DW-2", "2950", "4097.22", "2,950.00"}};
    for (const auto &l : lines) {
        m_prompt.clear();
        type(memo, "txtScanData", l.sku);
        QTest::keyClick(ctl<QLineEdit>(memo, "txtScanData"), Qt::Key_Return);
        QCOMPARE(text(memo, "lblSKU"), QString(l.sku));
        type(memo, "txtDiscountDollar", l.typed);
        QCOMPARE(text(memo, "txtPriceCarat"), QString(l.perCarat));
        click(memo, "cmdAdd");
        QVERIFY2(m_prompt.messages().isEmpty(), qPrintable(m_prompt.messages().join("|")));
    }
    auto *grid = ctl<QTableWidget>(memo, "Flex");
    QStringList shown = gridRows(grid, {0, 8});
    shown.sort();
    QCOMPARE(shown, (QStringList{QString("DW-1 | ") + lines[0].grid, QString("DW-2 | ") + lines[1].grid}));
    // The stone screen still shows DW-3, in stock.
    QCOMPARE(text(s, "txtSKU"), QString("DW-3"));
    QCOMPARE(text(s, "lblStatus"), QString("STOCK"));
}

// The memo sheet to a PDF file: the two stones, their prices and the sum.
void TestDealerDay::printMemoToPdf()
{
    if (!test::haveTool("pdftotext"))
        QSKIP("pdftotext (poppler-utils) is not installed");
    QWidget *memo = window(QStringLiteral("frmMemoAddNewDiamondToIt"));
    QVERIFY(memo);
    choose(memo, "cboPrinter", printing::kPdfEntry);
    const QString pdf = m_home.filePath("memo-1.pdf");
    type(memo, "txtPdfFile", pdf);
    click(memo, "Command5");
    QCOMPARE(m_prompt.messages(), QStringList{"Memo Printing: The Memo Sheet has been sent to the Printer!"});
    const QString words = test::pdfText(pdf).simplified();
    // In the default set-up (no currency ticked) the lines carry the memo
    // price in US dollars: 7,500 / 1.01 and 2,950 / 0.72 per carat.
    for (const char *expected : {"Memo#: 1", "Maple Leaf Jewellers", "12 King Street West",
                                 "DW-1 Round Brilliant [BR] 1.01 ct. | G | VS1 GIA 2141438171",
                                 "DW-2 Pear [PS] 0.72 ct. | F | VS2 GIA 5182736450", "7,425.74 /ct", "4,097.22 /ct",
                                 "Summary US$ 10,450.00"})
        QVERIFY2(words.contains(QLatin1String(expected)), expected);
    VELMOR_VERIFY_PDF_LAYOUT(pdf);
}

// DW-2 comes back into stock; DW-1 is sold from the memo at its memo
// price, onto a new invoice whose number the notice gives.
void TestDealerDay::returnOneSellTheOther()
{
    QWidget *memo = window(QStringLiteral("frmMemoAddNewDiamondToIt"));
    QVERIFY(memo);
    auto *grid = ctl<QTableWidget>(memo, "Flex");
    auto lineOf = [&](const QString &sku) {
        for (int r = 0; r < grid->rowCount(); ++r)
            if (grid->item(r, 0)->text() == sku)
                return r;
        return -1;
    };
    auto clickLine = [&](const QString &sku) {
        const int r = lineOf(sku);
        QVERIFY2(r >= 0, qPrintable(sku));
        const QRect cell = grid->visualItemRect(grid->item(r, 0));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    };
    clickLine("DW-2");
    click(memo, "cmdRemove");
    QVERIFY2(m_prompt.messages().isEmpty(), qPrintable(m_prompt.messages().join("|")));
    QCOMPARE(gridRows(grid, {0, 8}), QStringList{"DW-1 | 7,500.00"});

    m_prompt.clear();
    clickLine("DW-1");
    m_prompt.answer(true); // "Are you sure you want to sell this Stone to ..."
    click(memo, "cmdSell");
    QCOMPARE(notices(), QStringList{"Added DW-1 to a new Invoice #1"});
    // Asked first with the memo price; the last stone gone, the memo is closed.
    QCOMPARE(m_prompt.messages(),
             (QStringList{"Selling Diamond: Are you sure you want to sell this Stone to\n\nMaple Leaf "
                          "Jewellers\n\nDW-1 at US$ 7,500.00?",
                          "Memo: This Memo has been closed now!"}));
    QCOMPARE(grid->rowCount(), 0);
    m_invoiceId = 1;
}

// The invoice, opened by its number on the main menu: the line at the memo
// price, then printed to a PDF file and thereby closed.
void TestDealerDay::printInvoiceToPdf()
{
    QWidget *front = mainMenu();
    QVERIFY(front);
    type(front, "txtInvoiceID", QString::number(m_invoiceId));
    click(front, "cmdLoadInvoice");
    QWidget *inv = window(QStringLiteral("frmInvoice"));
    QVERIFY(inv);
    QCOMPARE(text(inv, "lblInvoiceID"), QString("1"));
    QCOMPARE(text(inv, "lblCompanyName"), QString("Maple Leaf Jewellers"));
    auto *grid = ctl<QTableWidget>(inv, "grdInvoice");
    // 7,500 US$ for 1.01 ct: 7,425.74 per carat; no tax for this customer.
    QCOMPARE(gridRows(grid, {0, 1, 2, 3, 4, 7, 8}),
             QStringList{"DW-1 | 1.01 | Round Brilliant [BR] | G | VS1 | 7425.74 | 7500.00"});
    QCOMPARE(text(inv, "lblSubTotal"), QString("7,500.00"));
    QCOMPARE(text(inv, "lblTax"), QString("0.00"));
    QCOMPARE(text(inv, "lblSummary"), QString("7,500.00"));

    if (!test::haveTool("pdftotext"))
        QSKIP("pdftotext (poppler-utils) is not installed");
    const QString pdf = m_home.filePath("invoice-1.pdf");
    printToPdfWhenShown(QStringLiteral("frmPrintInvoice"), pdf);
    click(inv, "Command2");
    QCOMPARE(m_prompt.messages(), QStringList{"Print Invoice: Invoice has been printed"});
    // The line in US dollars and at the day's 1.35: 7,425.74 x 1.35 =
    // 10,024.75 per carat, 7,500 x 1.35 = 10,125.00 for the stone.
    const QString words = test::pdfText(pdf).simplified();
    for (const char *expected : {"Maple Leaf Jewellers", "12 King Street West", "Invoice# 000001",
                                 "DW-1", "1.01ct. Round Brilliant [BR] - G / VS1 7,425.74 7,500.00",
                                 "CDN 10,024.75 10,125.00", "Sub Total: US$ 7,500.00 CDN 10,125.00",
                                 "Summary: US$ 7,500.00 CDN 10,125.00"})
        QVERIFY2(words.contains(QLatin1String(expected)), qPrintable(QString(expected) + " in " + words));
    VELMOR_VERIFY_PDF_LAYOUT(pdf);
    QTRY_VERIFY(text(inv, "lblStatus").compare("open", Qt::CaseInsensitive) != 0);
    inv->close();
}

// A parcel is made and receives 25 ct from the supplier; 5 ct go to the
// customer on a parcel memo.
void TestDealerDay::receiveParcelAndMemoCarats()
{
    QWidget *p = fromMainMenu("cmdDiamondParcel", QStringLiteral("frmParcel"));
    QVERIFY(p);
    click(p, "cmdAddDiamond");
    choose(p, "cboShape", "Round Brilliant [BR]");
    fill(p, {{"txtSKU", "PR-25"}, {"txtLowCarat", "0.10"}, {"txtHighCarat", "0.20"}, {"txtSellPerCarat", "450"}});
    choose(p, "cboColourLow", " - G");
    choose(p, "cboColourHigh", " - H");
    choose(p, "cboClarityLow", " - VS1");
    choose(p, "cboClarityHigh", " - SI1");
    click(p, "cmdUpdate");
    QVERIFY2(m_prompt.messages().isEmpty(), qPrintable(m_prompt.messages().join("|")));
    QCOMPARE(text(p, "txtSKU"), QString("PR-25"));
    QCOMPARE(text(p, "txtCarat"), QString("0.00"));

    click(p, "cmdReceive");
    QWidget *add = window(QStringLiteral("frmParcelAdd"));
    QVERIFY(add);
    choose(add, "cboSupplier", "Antwerp Rough Trading");
    type(add, "txtCarat", "25");
    type(add, "txtUS", "200");
    // 200 US$/ct at 1.35 and 18.5.
    QCOMPARE(text(add, "txtCDN").remove(','), QString("270.00"));
    QCOMPARE(text(add, "txtZAR").remove(','), QString("3700.00"));
    click(add, "cmdFill");
    QVERIFY2(m_prompt.messages().isEmpty(), qPrintable(m_prompt.messages().join("|")));
    QCOMPARE(text(p, "txtCarat"), QString("25.00"));
    QCOMPARE(text(p, "txtAVRUSCost"), QString("200.00"));
    auto *grid = ctl<QTableWidget>(p, "grdParcels");
    QTRY_VERIFY2(gridRows(grid, {0, 1}).contains("PR-25 | 25.00"), qPrintable(gridRows(grid, {0, 1}).join("/")));

    m_prompt.clear();
    click(p, "Command3");
    QWidget *put = window(QStringLiteral("frmParcelPutOnMemo"));
    QVERIFY(put);
    QCOMPARE(text(put, "txtOnHand"), QString("25.00"));
    choose(put, "cboCustomer", "Maple Leaf Jewellers");
    type(put, "txtCarat", "5");
    type(put, "txtUScarat", "350");
    QCOMPARE(text(put, "txtCDNcarat").remove(','), QString("472.50"));
    QCOMPARE(text(put, "txtZARcarat").remove(','), QString("6475.00"));
    click(put, "cmdPutOnMemo");
    QCOMPARE(notices(), QStringList{"Parcel has been added to Memo-Sheet #P1"});
    QVERIFY2(m_prompt.messages().isEmpty(), qPrintable(m_prompt.messages().join("|")));
    QTRY_COMPARE(text(p, "txtCarat"), QString("20.00"));
    QCOMPARE(text(p, "txtCaratonMEMO"), QString("5.00"));
    QTRY_VERIFY2(gridRows(grid, {0, 1}).contains("PR-25 | 20.00"), qPrintable(gridRows(grid, {0, 1}).join("/")));

    // The parcel memo, found on the parcel screen.
    click(p, "Command4");
    QWidget *list = window(QStringLiteral("frmMemoLoadParcel"));
    QVERIFY(list);
    auto *memos = ctl<QTableWidget>(list, "grdMemos");
    QCOMPARE(gridRows(memos, {0, 1}), QStringList{"1 | Maple Leaf Jewellers"});
    QTest::mouseDClick(memos->viewport(), Qt::LeftButton, {}, memos->visualItemRect(memos->item(0, 0)).center());
    QWidget *sheet = window(QStringLiteral("frmMemoParcelSheet"));
    QVERIFY(sheet);
    QCOMPARE(gridRows(ctl<QTableWidget>(sheet, "grdMemo"), {0, 1, 7}), QStringList{"PR-25 | 5.00 ct | 350.00 US$/ct"});
    checkWindowsFit();
    for (QWidget *w : {sheet, list, p})
        w->close();
}

// The stone search by weight and colour finds the two stones of that size
// and colour still here; the dealer opens DW-2 on the stone screen.
void TestDealerDay::searchByWeightAndColour()
{
    click(stone(), "cmdSearch");
    QWidget *f = window(QStringLiteral("frmItemDiamondSearch"));
    QVERIFY(f);
    ctl<QCheckBox>(f, "chkInStock")->setChecked(true);
    type(f, "txtLowWeight", "0.70");
    type(f, "txtHighWeight", "1.10");
    typeCombo(f, "cboLowColour", "F");
    typeCombo(f, "cboHighColour", "G");
    auto *grid = ctl<QTableView>(f, "grdResult");
    auto rows = [&] {
        QStringList out;
        for (int r = 0; r < grid->model()->rowCount(); ++r)
            out << grid->model()->index(r, 0).data().toString();
        return out;
    };
    // In stock: DW-2 (0.72 ct F) and DW-3 (1.50 ct H); DW-1 is sold.
    QTRY_COMPARE(rows(), QStringList{"DW-2"});
    QCOMPARE(text(f, "txtQTY"), QString("1"));
    const QRect cell = grid->visualRect(grid->model()->index(0, 0));
    QVERIFY2(grid->viewport()->rect().contains(cell.center()), "the found stone is out of view");
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    QTRY_COMPARE(text(stone(), "txtSKU"), QString("DW-2"));
    QCOMPARE(text(stone(), "txtWeight"), QString("0.72"));
    QCOMPARE(text(stone(), "lblStatus"), QString("STOCK"));
    f->close();
}

// A stone paper to a PDF file, and a label on the label printer's serial
// port (set up on the main menu).
void TestDealerDay::printPaperAndLabel()
{
    if (!test::haveTool("pdftotext"))
        QSKIP("pdftotext (poppler-utils) is not installed");
    const QString pdf = m_home.filePath("stone-DW-2.pdf");
    printToPdfWhenShown(QStringLiteral("frmPrintTo"), pdf);
    click(stone(), "cmdPrintPaper");
    QCOMPARE(notices(), QStringList{"Document was sent to the Printer"});
    // The grading as typed when DW-2 was added.
    const QString words = test::pdfText(pdf).simplified();
    QVERIFY2(words.contains("Pear 0.72 ct F VS2 VG # 5182736450 Dim.: 7.91x5.12x3.11 Gir.: Thin Fluor.: Faint "
                            "Dep: 60.70 Tbl: 58.00 Pol: VG Sym: G"),
             qPrintable(words));
    VELMOR_VERIFY_PDF_LAYOUT(pdf);

    test::PtyPair pty;
    QVERIFY(pty.start());
    QSerialPort reader;
    QVERIFY(test::openReader(reader, pty.b));
    QWidget *front = mainMenu();
    QVERIFY(front);
    pick(front, "mnuSetupLabelPrinter");
    QWidget *setup = window(QStringLiteral("frmConfigLabelPrinter"));
    QVERIFY(setup);
    type(setup, "txtCOMPort", pty.a);
    click(setup, "cmdSave");
    QVERIFY2(m_prompt.messages().isEmpty(), qPrintable(m_prompt.messages().join("|")));
    setup->close();
    m_prompt.clear();
    click(stone(), "cmdPrintLabel");
    QCOMPARE(notices(), QStringList{"Label was printed"});
    // The stream ends with its end-of-label command; the stone's line names
    // the stone, its weight and grades.
    const QByteArray sent = test::readPort(reader, 200);
    QVERIFY2(sent.endsWith("E\r"), sent.constData());
    QVERIFY2(sent.contains("DW-2|0.72 VS2 F\r"), sent.constData());
}

// The history of DW-2: put on memo for the customer, then returned.
void TestDealerDay::stoneHistory()
{
    auto *history = ctl<QTabWidget>(stone(), "TabStrip1");
    QVERIFY(history);
    QTabBar *tabs = history->tabBar();
    int tab = -1;
    for (int i = 0; i < tabs->count(); ++i)
        if (tabs->tabText(i) == QLatin1String("History"))
            tab = i;
    QVERIFY(tab >= 0);
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(tab).center());
    auto *grid = ctl<QTableWidget>(stone(), "DataGrid1");
    QVERIFY(grid->isVisibleTo(stone()));
    QStringList rows;
    for (int r = 0; r < grid->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < grid->columnCount(); ++c)
            cells << (grid->item(r, c) ? grid->item(r, c)->text() : QString());
        rows << cells.join(" | ");
    }
    const QString today = QLocale(QLocale::English, QLocale::UnitedStates).toString(QDate::currentDate(), "MMM dd, yyyy");
    QCOMPARE(rows, (QStringList{today + " | Maple Leaf Jewellers |  | sent to Customer | 1 |  | Dana",
                                today + " | Maple Leaf Jewellers |  | returned from Customer | 1 |  | Dana"}));
}

// Log off: the rights go, the costs are hidden, the main menu is closed.
void TestDealerDay::logOff()
{
    QVERIFY(ctl<QWidget>(stone(), "txtBoughtPriceUS")->isVisible());
    pick(stone(), QStringLiteral("cmdLogOff"));
    QCOMPARE(m_ctx->user.ID, 0);
    QVERIFY(!text(stone(), "lblLoggedIn").contains("Dana"));
    QVERIFY(!ctl<QWidget>(stone(), "txtBoughtPriceUS")->isVisible());
    QVERIFY(ctl<QAction>(stone(), "mnuLogOn")->isVisible());
    QWidget *front = mainMenu();
    QVERIFY(front);
    for (const char *name : {"cmdAddCustomer", "cmdFindCustomer", "cmdMemo", "cmdLoadInvoice", "cmdDiamondParcel"})
        QVERIFY2(!ctl<QWidget>(front, name)->isEnabled(), name);
}

VELMOR_LAPTOP_TEST_MAIN(TestDealerDay)

#include "tst_dealerday.moc"
