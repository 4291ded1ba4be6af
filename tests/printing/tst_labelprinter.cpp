// The label printer: the DPL stream byte for byte, read back from the other
// end of a pseudo-terminal; the stone screen's label command; the label
// printer and document printer set-up screens.
#include "../stones/StoneTestEnv.h"
#include "PrintTestKit.h"
#include "core/Configuration.h"
#include "db/Row.h"
#include "printing/LabelPrinter.h"
#include "printing/frmConfigLabelPrinter.h"
#include "printing/frmConfigPrinter.h"
#include "stones/StonePrintout.h"
#include "stones/frmDiamondDetail.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

using namespace velmor;
using namespace velmor::printing;
using velmor::test::PromptEvent;
using velmor::test::StoneEnv;

class TestLabelPrinter : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void stream_data();
    void stream();
    void stoneLabelReachesThePort();
    void portThatCannotBeOpened_data();
    void portThatCannotBeOpened();
    void labelPrinterSetupRoundTrip_data();
    void labelPrinterSetupRoundTrip();
    void labelPrinterSetupSavesEdits();
    void sampleLabelUsesTheTypedPort();
    void documentPrintersRoundTrip();
};

namespace {

const QString kOpenFailure = QStringLiteral("Error opening Printer Port: There was a problem opening the Printer "
                                            "Port.\nPlease use the Configuration Screen for trouble shooting.");

QVariantList configRow(const QSqlDatabase &db)
{
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT * FROM Config ORDER BY ID"));
    QVariantList all;
    while (q.next())
        for (int i = 0; i < q.record().count(); ++i)
            all << q.value(i);
    return all;
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

void TestLabelPrinter::initTestCase()
{
    static QTemporaryDir cups;
    qputenv("CUPS_SERVER", QDir(cups.path()).filePath(QStringLiteral("none.sock")).toUtf8());
}

void TestLabelPrinter::stream_data()
{
    QTest::addColumn<bool>("presentDistance");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray body = QByteArray("\x02L\r\x02m\r\x02O0559\rD11\rPA\rSA\rH30\r")
        + "1o110300060" "0025" "420701\r"
        + "19110010020" "0025" "R-17|1.01 VS1 E\r"
        + "19110010000" "0025" "BX|5000 Rap\r"
        + "19110010060" "0230" "off  RAP %30.00\r"
        + "19110010040" "0230" "\r"
        + "19110010020" "0230" "a b\r" // a line end inside a text would end the record
        + "19110010000" "0230" "\r"
        + "E\r";
    QTest::newRow("with the present distance") << true << (QByteArray("\x02Kf0100\r") + body);
    QTest::newRow("without it only the Kf line goes") << false << body;
}

void TestLabelPrinter::stream()
{
    QFETCH(bool, presentDistance);
    QFETCH(QByteArray, expected);
    LabelTexts t = stoneLabelTexts(4207, QStringLiteral("R-17"), QStringLiteral("1.01"), QStringLiteral("VS1"),
                                   QStringLiteral("E"), QStringLiteral("BX"), 4999.6, 30);
    t[5] = QStringLiteral("a\rb");
    QCOMPARE(dumbellStream(25, 230, t, presentDistance), expected);
    // A list price under a thousand keeps four digits.
    QCOMPARE(stoneLabelTexts(1, {}, {}, {}, {}, QStringLiteral("C"), 850, 12.5)[2], QStringLiteral("C|0850 Rap"));
    QCOMPARE(stoneLabelTexts(1, {}, {}, {}, {}, {}, 850, 12.5)[3], QStringLiteral("off  RAP %12.50"));
    // Without a list price the label names none.
    QCOMPARE(stoneLabelTexts(1, {}, {}, {}, {}, QStringLiteral("C"), 0, 0)[2], QStringLiteral("C"));
}

void TestLabelPrinter::stoneLabelReachesThePort()
{
    test::PtyPair pty;
    QVERIFY(pty.start());
    StoneEnv e;
    const qint64 id = e.stone(QStringLiteral("R-17"));
    db::exec(e.t.db(), QStringLiteral("UPDATE SingleStone SET CODE = 'BX' WHERE ID = ?"), {id});
    e.ctx.settings.labelPrinterPort = pty.a;
    e.ctx.settings.labelLeftOffset = 25;
    e.ctx.settings.labelRightOffset = 230;

    QSerialPort reader;
    QVERIFY(test::openReader(reader, pty.b));

    // From the stone screen: the command is there for a loaded stone only.
    ui::frmDiamondDetail s(e.ctx);
    s.show();
    QTRY_VERIFY(s.startUpDone());
    auto *cmd = s.findChild<QPushButton *>(QStringLiteral("cmdPrintLabel"));
    QVERIFY(!cmd->isEnabled());
    s.loadStone(int(id));
    QVERIFY(cmd->isEnabled());
    e.prompt.clear();
    QTest::mouseClick(cmd, Qt::LeftButton);

    const LabelTexts t = stoneLabelTexts(id, QStringLiteral("R-17"), QStringLiteral("1.01"), QStringLiteral("VS1"),
                                         QStringLiteral("E"), QStringLiteral("BX"), 5000, 30);
    const QByteArray expected = dumbellStream(25, 230, t, true);
    QVERIFY(expected.contains(QString::number(id).toLatin1() + "01\r"));
    QVERIFY(expected.contains("R-17|1.01 VS1 E\r"));
    QCOMPARE(test::readPort(reader, int(expected.size())), expected);
    QCOMPARE(e.prompt.texts(PromptEvent::Notice), QStringList{QStringLiteral("Label was printed")});
    QVERIFY(e.prompt.messages().isEmpty());

    // The port is closed again afterwards: a second label goes the same way.
    QVERIFY(stones::printStoneLabel(e.ctx, id));
    QCOMPARE(test::readPort(reader, int(expected.size())), expected);
}

void TestLabelPrinter::portThatCannotBeOpened_data()
{
    QTest::addColumn<QString>("port");
    QTest::newRow("no such device") << "/nonexistent/ttyLabel";
    QTest::newRow("no port set") << "0";
    QTest::newRow("empty setting") << "";
}

void TestLabelPrinter::portThatCannotBeOpened()
{
    QFETCH(QString, port);
    StoneEnv e;
    const qint64 id = e.stone(QStringLiteral("R-18"));
    e.ctx.settings.labelPrinterPort = port;
    QVERIFY(!stones::printStoneLabel(e.ctx, id));
    QCOMPARE(e.prompt.messages(), QStringList{kOpenFailure});
    QCOMPARE(e.prompt.events.first().icon, Icon::Critical);
    QVERIFY(e.prompt.texts(PromptEvent::Notice).isEmpty());

    // Offsets the printer cannot take print nothing either.
    test::PtyPair pty;
    QVERIFY(pty.start());
    e.prompt.clear();
    const LabelResult r = PrintDumbellModule(e.prompt, pty.a, -5, 20, sampleLabelTexts({}, {}), true);
    QVERIFY(!r.printed);
    QCOMPARE(e.prompt.messages().size(), 1);
}

void TestLabelPrinter::labelPrinterSetupRoundTrip_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QVariant>("markup");
    QTest::newRow("device path, CR LF, markup") << QByteArray("2\r\n25\r\n230.5\r\n/dev/ttyUSB7\r\n") << QVariant(2.5);
    QTest::newRow("line feeds only, no markup") << QByteArray("3\n0\n12\n0\n") << QVariant();
    QTest::newRow("text after a number") << QByteArray("1\r\n10abc\r\n0\r\n4\r\n") << QVariant(0);
}

void TestLabelPrinter::labelPrinterSetupRoundTrip()
{
    QFETCH(QByteArray, file);
    QFETCH(QVariant, markup);
    StoneEnv e;
    e.ctx.user.Administrator = true;
    const QString path = e.ctx.workstation.path(QStringLiteral("labelprinter.ini"));
    writeBytes(path, file);
    db::exec(e.t.db(), QStringLiteral("UPDATE Config SET DefaultMarkup = ?"),
             {markup.isValid() ? markup : QVariant(QMetaType::fromType<double>())});
    GetConfigurationModule(e.ctx);
    const QVariantList before = configRow(e.t.db());

    frmConfigLabelPrinter w(e.ctx);
    w.show();
    const QStringList lines = QString::fromLatin1(file).split(QRegularExpression(QStringLiteral("\r?\n")),
                                                             Qt::SkipEmptyParts);
    QCOMPARE(w.txtCOMPort->text(), lines.at(0));
    QCOMPARE(w.txtScannerCOMPort->text(), lines.at(3));
    QCOMPARE(w.txtLeftOffset->text(), QString::number(db::leadingNumber(lines.at(1))));
    QTest::mouseClick(w.cmdSave, Qt::LeftButton);
    QCOMPARE(fileBytes(path), file);
    QCOMPARE(configRow(e.t.db()), before);
    QVERIFY(e.prompt.messages().isEmpty());
}

void TestLabelPrinter::labelPrinterSetupSavesEdits()
{
    StoneEnv e;
    const QString path = e.ctx.workstation.path(QStringLiteral("labelprinter.ini"));
    writeBytes(path, "2\r\n25\r\n230\r\n0\r\n");
    GetConfigurationModule(e.ctx);
    const QVariantList before = configRow(e.t.db());

    // Without the administrator right nothing is written.
    {
        frmConfigLabelPrinter w(e.ctx);
        w.txtLeftOffset->setText(QStringLiteral("40"));
        QTest::mouseClick(w.cmdSave, Qt::LeftButton);
        QCOMPARE(e.prompt.messages(),
                 QStringList{QStringLiteral("Authorization Failure: No Permission, please login or contact the System "
                                            "Administrator!")});
        QCOMPARE(fileBytes(path), QByteArray("2\r\n25\r\n230\r\n0\r\n"));
    }

    e.prompt.clear();
    e.ctx.user.Administrator = true;
    frmConfigLabelPrinter w(e.ctx);
    int saved = 0;
    w.saved = [&saved] { ++saved; };
    w.txtCOMPort->setText(QStringLiteral("/dev/ttyUSB3"));
    w.txtLeftOffset->setText(QStringLiteral(" 40 "));
    w.txtScannerCOMPort->setText(QStringLiteral(" 5 "));
    w.txtDefaultMarkup->setText(QStringLiteral("3.75"));
    QTest::mouseClick(w.cmdSave, Qt::LeftButton);
    QVERIFY2(e.prompt.messages().isEmpty(), qPrintable(e.prompt.messages().join('\n')));
    QCOMPARE(fileBytes(path), QByteArray("/dev/ttyUSB3\r\n40\r\n230\r\n5\r\n"));
    QCOMPARE(db::scalar(e.t.db(), QStringLiteral("SELECT DefaultMarkup FROM Config")).toDouble(), 3.75);
    QCOMPARE(saved, 1);
    // The settings are loaded again.
    QCOMPARE(e.ctx.settings.labelPrinterPort, QStringLiteral("/dev/ttyUSB3"));
    QCOMPARE(e.ctx.settings.labelLeftOffset, 40.0);
    QCOMPARE(e.ctx.settings.scannerPort, QStringLiteral("5"));
    QCOMPARE(e.ctx.settings.DefaultMarkup, 3.75);
    // Nothing else of the row moved.
    QVariantList after = configRow(e.t.db());
    QCOMPARE(after.size(), before.size());
}

void TestLabelPrinter::sampleLabelUsesTheTypedPort()
{
    test::PtyPair pty;
    QVERIFY(pty.start());
    StoneEnv e;
    e.ctx.settings.CompanyName = QStringLiteral("Lumen Diamonds");
    e.ctx.settings.CompanyPhone = QStringLiteral("416 555 0199");
    QSerialPort reader;
    QVERIFY(test::openReader(reader, pty.b));

    e.ctx.user.Administrator = true;
    frmConfigLabelPrinter w(e.ctx);
    w.txtCOMPort->setText(pty.a);
    w.txtLeftOffset->setText(QStringLiteral("12"));
    w.txtRightOffset->setText(QStringLiteral("300"));
    QTest::mouseClick(w.cmdSample, Qt::LeftButton);
    const QByteArray expected = dumbellStream(
        12, 300,
        {QStringLiteral("1234567890"), QStringLiteral("SKU"), QStringLiteral("$1234.56"),
         QStringLiteral("Lumen Diamonds"), QStringLiteral("416 555 0199"), QStringLiteral("Software"),
         QStringLiteral("Velmor")},
        true);
    QCOMPARE(test::readPort(reader, int(expected.size())), expected);
    QCOMPARE(e.prompt.texts(PromptEvent::Notice), QStringList{QStringLiteral("Label was printed")});
    // A sample saves nothing.
    QVERIFY(!e.ctx.workstation.exists(QStringLiteral("labelprinter.ini")));
}

void TestLabelPrinter::documentPrintersRoundTrip()
{
    StoneEnv e;
    e.ctx.user.Administrator = true;
    const QString path = e.ctx.workstation.programPath(QStringLiteral("printers.ini"));
    // A printer that is not installed here stays chosen.
    const QByteArray file("default\r\nBack Office HP\r\ndefault\r\ndefault\r\nShipping Zebra\r\n");
    writeBytes(path, file);
    GetPrintersModule(e.ctx);

    {
        frmConfigPrinter w(e.ctx);
        QCOMPARE(w.cboProductionSheetPrinter->currentText(), QStringLiteral("Back Office HP"));
        QCOMPARE(w.cboConsignmentFormPrinter->currentText(), QStringLiteral("Shipping Zebra"));
        QCOMPARE(w.cboInvoicePrinter->itemText(0), QStringLiteral("default"));
        QTest::mouseClick(w.cmdOK, Qt::LeftButton);
        QCOMPARE(fileBytes(path), file);
    }
    {
        frmConfigPrinter w(e.ctx);
        w.cboProductionSheetPrinter->setCurrentIndex(0);
        QTest::mouseClick(w.cmdCancel, Qt::LeftButton);
        QCOMPARE(fileBytes(path), file);
    }
    frmConfigPrinter w(e.ctx);
    w.cboProductionSheetPrinter->setCurrentIndex(0);
    QTest::mouseClick(w.cmdOK, Qt::LeftButton);
    QCOMPARE(fileBytes(path), QByteArray("default\r\ndefault\r\ndefault\r\ndefault\r\nShipping Zebra\r\n"));
    QCOMPARE(e.ctx.settings.printers[1], QStringLiteral("default"));
}

QTEST_MAIN(TestLabelPrinter)
#include "tst_labelprinter.moc"
