// The small shared rules: how long a timed notice stays, how the pause
// counts seconds across the minute, and how a scanned code is routed.
#include "core/Notice.h"
#include "core/Scanner.h"
#include "core/Wait.h"
#include "core/frmMSG.h"
#include "core/widgets/QtPrompt.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

#include <QLabel>
#include <QTimer>
#include <QtTest>

using namespace velmor;

class TestNotices : public QObject {
    Q_OBJECT
private slots:
    void displayTime_data();
    void displayTime();
    void labelHeights_data();
    void labelHeights();
    void noticeClosesItself();
    void pause_data();
    void pause();
    void scanDispatch_data();
    void scanDispatch();
    void portName_data();
    void portName();
    void qtPromptBoxes_data();
    void qtPromptBoxes();
    void busyNotice();
};

void TestNotices::displayTime_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("expectedMs");
    QTest::newRow("100 characters are raised to 3 s") << 100 << 0 << 3000;
    QTest::newRow("450 characters stay 4.5 s") << 450 << 0 << 4500;
    QTest::newRow("an odd length counts ten ms a character") << 451 << 0 << 4510;
    QTest::newRow("empty text") << 0 << 0 << 3000;
    QTest::newRow("a larger minimum wins") << 100 << 6000 << 6000;
    QTest::newRow("a smaller minimum is ignored") << 450 << 1000 << 4500;
}

void TestNotices::displayTime()
{
    QFETCH(int, length);
    QFETCH(int, minimum);
    QFETCH(int, expectedMs);
    QCOMPARE(noticeDisplayMs(QString(length, QLatin1Char('x')), minimum), expectedMs);
}

void TestNotices::labelHeights_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("labelTwips");
    QTest::newRow("45 characters: three lines") << 45 << 3 * 735;
    QTest::newRow("44 characters: two whole lines") << 44 << 2 * 735;
    QTest::newRow("short text still gets one line") << 5 << 735;
}

void TestNotices::labelHeights()
{
    QFETCH(int, length);
    QFETCH(int, labelTwips);
    const NoticeGeometry g = noticeGeometry(QString(length, QLatin1Char('x')));
    QCOMPARE(g.labelHeightTwips, labelTwips);
    QCOMPARE(g.windowHeightTwips, labelTwips + 1250);
}

void TestNotices::noticeClosesItself()
{
    const QString text = QStringLiteral("Stone has been return to Vendor and is not part of your Inventory anymore!");
    ui::frmMSG msg(text, 0);
    auto *timer = msg.findChild<QTimer *>(QStringLiteral("Timer1"));
    QVERIFY(timer);
    QCOMPARE(timer->interval(), 3000);
    auto *l0 = msg.findChild<QLabel *>(QStringLiteral("lblMSGdisplay"));
    auto *l1 = msg.findChild<QLabel *>(QStringLiteral("lblMSGdisplay_1"));
    QVERIFY(l0 && l1);
    QCOMPARE(l0->text(), text);
    QCOMPARE(l1->text(), text);
    QCOMPARE(l1->width(), l0->width());
    QVERIFY(l1->x() > l0->x());
    QVERIFY(l1->y() > l0->y());
    // Shown modally, it returns by itself.
    QCOMPARE(msg.exec(), int(QDialog::Accepted));
    QVERIFY(!ui::frmMSG::anyVisible());
}

void TestNotices::pause_data()
{
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QList<int>>("clock");   // seconds field read in turn
    QTest::addColumn<int>("turns");          // yields until it returns
    QTest::newRow("3 s from second 58 ends at second 1") << 3 << QList<int>{58, 58, 59, 59, 0, 0, 1, 1, 2} << 6;
    QTest::newRow("within the minute") << 2 << QList<int>{10, 10, 11, 12, 13} << 3;
    QTest::newRow("a whole minute is cut to 59 s") << 75 << QList<int>{0, 30, 58, 59, 59} << 3;
    QTest::newRow("no pause") << 0 << QList<int>{5} << 0;
}

void TestNotices::pause()
{
    QFETCH(int, seconds);
    QFETCH(QList<int>, clock);
    QFETCH(int, turns);
    int read = 0;
    WaitClock c{[&] { return clock.at(qMin<int>(read++, clock.size() - 1)); }, [] {}};
    QCOMPARE(WaitModule(seconds, c), turns);
}

void TestNotices::scanDispatch_data()
{
    QTest::addColumn<QString>("screen");
    QTest::addColumn<QString>("data");
    QTest::addColumn<int>("target");
    QTest::addColumn<int>("number");
    const QString stone = QStringLiteral("frmDiamondDetail");
    QTest::newRow("customer card") << stone << "1234509" << int(ScanTarget::Customer) << 12345;
    QTest::newRow("stone label") << stone << "4201" << int(ScanTarget::Stone) << 42;
    QTest::newRow("line end of the scanner") << stone << " 4201\r\n" << int(ScanTarget::Stone) << 42;
    QTest::newRow("no stone screen: store side") << QString() << "4201" << int(ScanTarget::Other) << 42;
    QTest::newRow("customer without the stone screen") << QString() << "709" << int(ScanTarget::Customer) << 7;
    QTest::newRow("type only") << stone << "09" << int(ScanTarget::None) << 0;
    QTest::newRow("letters in the number") << stone << "A1201" << int(ScanTarget::None) << 0;
    QTest::newRow("empty") << stone << "" << int(ScanTarget::None) << 0;
}

void TestNotices::scanDispatch()
{
    QFETCH(QString, screen);
    QFETCH(QString, data);
    QFETCH(int, target);
    QFETCH(int, number);
    const ScanDispatch d = dispatchScan(screen, data);
    QCOMPARE(int(d.target), target);
    if (target != int(ScanTarget::None))
        QCOMPARE(d.number, number);
}

void TestNotices::portName_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("device");
    QTest::newRow("none") << "0" << QString();
    QTest::newRow("empty") << "" << QString();
#ifdef Q_OS_WIN
    QTest::newRow("number") << "3" << "COM3";
#else
    QTest::newRow("number") << "3" << "/dev/ttyS2";
    QTest::newRow("first port") << "1" << "/dev/ttyS0";
#endif
    QTest::newRow("device path") << "/tmp/x/ttyA" << "/tmp/x/ttyA";
}

void TestNotices::portName()
{
    QFETCH(QString, setting);
    QFETCH(QString, device);
    QCOMPARE(scannerPortName(setting), device);
}

namespace {

struct SeenBox {
    QString text, title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
};

// Reads the next message box that opens and presses the given button.
void answerBox(SeenBox *seen, QMessageBox::StandardButton press)
{
    QTimer::singleShot(20, [=] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box) {
            answerBox(seen, press);
            return;
        }
        seen->text = box->text();
        seen->title = box->windowTitle();
        seen->icon = box->icon();
        seen->buttons = int(box->buttons().size());
        box->button(press)->click();
    });
}

} // namespace

void TestNotices::qtPromptBoxes_data()
{
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("boxIcon");
    QTest::newRow("none") << int(Icon::None) << int(QMessageBox::NoIcon);
    QTest::newRow("information") << int(Icon::Information) << int(QMessageBox::Information);
    QTest::newRow("exclamation") << int(Icon::Exclamation) << int(QMessageBox::Warning);
    QTest::newRow("critical") << int(Icon::Critical) << int(QMessageBox::Critical);
}

void TestNotices::qtPromptBoxes()
{
    QFETCH(int, icon);
    QFETCH(int, boxIcon);
    ui::QtPrompt prompt;
    SeenBox seen;
    answerBox(&seen, QMessageBox::Ok);
    prompt.inform(QStringLiteral("No Permission, please login or contact the System Administrator!"),
                  QStringLiteral("Authorization Failure"), Icon(icon));
    QCOMPARE(seen.text, QStringLiteral("No Permission, please login or contact the System Administrator!"));
    QCOMPARE(seen.title, QStringLiteral("Authorization Failure"));
    QCOMPARE(int(seen.icon), boxIcon);
    QCOMPARE(seen.buttons, 1);

    answerBox(&seen, QMessageBox::Yes);
    QVERIFY(prompt.askYesNo(QStringLiteral("Sure?"), QStringLiteral("Question"), Icon(icon)));
    QCOMPARE(seen.buttons, 2);
    answerBox(&seen, QMessageBox::No);
    QVERIFY(!prompt.askYesNo(QStringLiteral("Sure?"), QStringLiteral("Question"), Icon(icon)));
}

void TestNotices::busyNotice()
{
    ui::QtPrompt prompt;
    prompt.busy(QStringLiteral("Receiving Tables from Rapaport"));
    QWidget *busy = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("frmMessage") && w->isVisible())
            busy = w;
    QVERIFY(busy);
    QCOMPARE(busy->findChild<QLabel *>(QStringLiteral("lblMsg"))->text(), QStringLiteral("Receiving Tables from Rapaport"));
    prompt.busy(QString());
    QVERIFY(!busy->isVisible());
}

QTEST_MAIN(TestNotices)
#include "tst_notices.moc"
