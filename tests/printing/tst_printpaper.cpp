// The page surface and the stone papers: PDF output read back with
// pdftotext, pdftoppm and zbarimg; printers chosen by name on a private print
// scheduler; the stone screen's paper command; the print subcommands.
#include "../stones/StoneTestEnv.h"
#include "PdfLayoutCheck.h"
#include "PrintTestKit.h"
#include "core/Scanner.h"
#include "printing/Barcode39.h"
#include "printing/DiamondPaper.h"
#include "printing/PrintJob.h"
#include "printing/frmPrintTo.h"
#include "shell/widgets/StartupFlow.h"
#include "stones/StonePrintout.h"
#include "stones/frmDiamondDetail.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>

using namespace velmor;
using namespace velmor::printing;
using velmor::test::PromptEvent;
using velmor::test::StoneEnv;

class TestPrintPaper : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void positionRules();
    void lineWidthsFollowTheDevice();
    void pdfThatCannotBeWritten();
    void printerByExactName();
    void paperTexts_data();
    void paperTexts();
    void paperLooksAsReviewed();
    void paperFromTheStoneScreen();
    void paperFollowsTheSettings_data();
    void paperFollowsTheSettings();
    void listPriceDateOfTheGridRow();
    void previewShowsThePages();
    void printSubcommands();

private:
    test::PrivateCups m_cups;
    QString m_cupsWhy;
    bool m_cupsUp = false;
};

namespace {

printing::DiamondPaper samplePaper(qint64 id)
{
    printing::DiamondPaper p;
    p.id = id;
    p.heading = QStringLiteral("Round Brilliant");
    p.weight = QStringLiteral("1.01");
    p.colour = QStringLiteral("E");
    p.clarity = QStringLiteral("VS 1");
    p.cut = QStringLiteral("Excellent");
    p.certificate = QStringLiteral("2141438176");
    p.measurements = QStringLiteral("6.41x6.45x3.98");
    p.girdle = QStringLiteral("Medium");
    p.fluorescence = QStringLiteral("None");
    p.comment = QStringLiteral("Eye clean");
    p.depth = QStringLiteral("61.7");
    p.table = QStringLiteral("57");
    p.polish = QStringLiteral("EX");
    p.symmetry = QStringLiteral("VG");
    p.listPrice = QStringLiteral("5000.00");
    p.listPriceDate = QDate(2026, 11, 27);
    return p;
}

PrintOutcome printPaper(const QString &pdf, const printing::DiamondPaper &p, bool quill, bool flip)
{
    return printDocument(PrintTarget::pdf(pdf), [&](PrintSurface &s, QString *error) {
        return quill ? PrintDiamondPaperQuillModule(s, p, flip, error) : PrintDiamondPaperModule(s, p, flip, error);
    });
}

// The words of a paper must all lie on its card, none over another.
test::LayoutCheck onCardOf(const printing::DiamondPaper &p, bool quill, bool flip)
{
    test::LayoutCheck c;
    c.area = test::cardOnPdfPage(p.left, p.top, quill ? kQuillPaperWidth : kPaperWidth, 0, !flip);
    return c;
}

QSizeF pageSizePoints(const QString &pdf)
{
    const QString info = test::run(QStringLiteral("pdfinfo"), {pdf});
    const QRegularExpression re(QStringLiteral("Page size:\\s+([0-9.]+) x ([0-9.]+) pts"));
    const auto m = re.match(info);
    return m.hasMatch() ? QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) : QSizeF();
}

QStringList decodedCodes(const QString &pdf, const QString &dir)
{
    QStringList all;
    for (const QString &png : test::rasterise(pdf, dir, 300))
        all << test::decodeCode39(png);
    return all;
}

} // namespace

void TestPrintPaper::initTestCase()
{
    // Printing in this process talks to our own scheduler only (or to none).
    m_cupsUp = m_cups.start(&m_cupsWhy);
    qputenv("CUPS_SERVER", m_cups.socket.isEmpty() ? QByteArray("/nonexistent/cups.sock") : m_cups.socket.toUtf8());
    if (m_cupsUp) {
        QVERIFY(m_cups.addQueue(QStringLiteral("Velmor-File"), m_cups.path(QStringLiteral("file.pdf"))));
        QVERIFY(m_cups.addQueue(QStringLiteral("Velmor-Other"), m_cups.path(QStringLiteral("other.pdf"))));
        QVERIFY(m_cups.setDefault(QStringLiteral("Velmor-Other")));
    }
}

void TestPrintPaper::positionRules()
{
    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer, PrintTarget::pdf(dir.filePath(QStringLiteral("p.pdf"))), nullptr);
    PrintSurface s(&printer);
    s.setFont(QStringLiteral("Arial"), 10);
    const double h = s.textHeight();
    // A 10 pt line is a little more than 10/72 inch.
    QVERIFY2(h > 200 && h < 300, qPrintable(QString::number(h)));

    s.printLine(QStringLiteral("first"));
    QCOMPARE(s.CurrentX, 0.0);
    QCOMPARE(s.CurrentY, h);
    s.setPosition(500, 1000);
    s.printLine({QStringLiteral("two "), QStringLiteral("texts")});
    QCOMPARE(s.CurrentX, 0.0);
    QCOMPARE(s.CurrentY, 1000 + h);
    s.printLine();
    QCOMPARE(s.CurrentY, 1000 + 2 * h);
    // Widths are twips whatever the device: a right-aligned text ends at the edge.
    const double w = s.textWidth(QStringLiteral("WWWW"));
    QVERIFY(qAbs(w - 4 * s.textWidth(QStringLiteral("W"))) < 2);
    QPrinter low(QPrinter::ScreenResolution);
    low.setOutputFormat(QPrinter::PdfFormat);
    low.setResolution(300);
    PrintSurface lowSurface(&low);
    lowSurface.setFont(QStringLiteral("Arial"), 10);
    QVERIFY2(qAbs(lowSurface.textWidth(QStringLiteral("WWWW")) - w) / w < 0.05,
             qPrintable(QStringLiteral("%1 / %2").arg(lowSurface.textWidth(QStringLiteral("WWWW"))).arg(w)));

    s.setFontBold(true);
    s.newPage();
    QCOMPARE(s.CurrentX, 0.0);
    QCOMPARE(s.CurrentY, 0.0);
    QVERIFY(s.font().bold());
    QCOMPARE(s.font().pointSizeF(), 10.0);
    QVERIFY(s.endDocument());
    QCOMPARE(s.pageCount(), 2);
}

void TestPrintPaper::lineWidthsFollowTheDevice()
{
    // A rule of width 10 is 10 pixels of a 600 dpi printer (1/60 inch) on any
    // device: 5 pixel rows when the page is read at 300 dpi.
    for (const int dpi : {1200, 300}) {
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("rule.pdf"));
        QPrinter printer(QPrinter::HighResolution);
        preparePrinter(printer, PrintTarget::pdf(pdf), nullptr);
        printer.setResolution(dpi);
        {
            PrintSurface s(&printer);
            s.setLineWidth(10);
            s.drawLine(0, 1440, 7200, 1440);
            QVERIFY(s.endDocument());
        }
        VELMOR_VERIFY_PDF_LAYOUT(pdf);
        const QStringList pages = test::rasterise(pdf, dir.path(), 300);
        QCOMPARE(pages.size(), 1);
        const QImage img(pages.first());
        int dark = 0;
        for (int y = 0; y < img.height(); ++y)
            if (qGray(img.pixel(600, y)) < 128)
                ++dark;
        QVERIFY2(dark >= 4 && dark <= 6, qPrintable(QStringLiteral("%1 dpi: %2 rows").arg(dpi).arg(dark)));
    }
}

void TestPrintPaper::pdfThatCannotBeWritten()
{
    QTemporaryDir dir;
    const printing::DiamondPaper p = samplePaper(42);
    // A folder that does not exist.
    const QString missing = dir.filePath(QStringLiteral("no/such/folder/paper.pdf"));
    PrintOutcome out = printPaper(missing, p, false, false);
    QVERIFY(!out.ok);
    QVERIFY2(out.error.contains(QStringLiteral("could not be written")), qPrintable(out.error));
    QVERIFY(!QFile::exists(missing));
    // A read-only folder (root may write anywhere: then the file is simply written).
    QDir(dir.path()).mkdir(QStringLiteral("locked"));
    QFile::setPermissions(dir.filePath(QStringLiteral("locked")), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    out = printPaper(dir.filePath(QStringLiteral("locked/paper.pdf")), p, false, false);
    if (::geteuid() != 0)
        QVERIFY(!out.ok);
    // An existing file is replaced whole.
    const QString existing = dir.filePath(QStringLiteral("paper.pdf"));
    QFile f(existing);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("old contents");
    f.close();
    out = printPaper(existing, p, false, false);
    QVERIFY2(out.ok, qPrintable(out.error));
    QCOMPARE(out.where, QFileInfo(existing).absoluteFilePath());
    QVERIFY(test::pdfText(existing).contains(QStringLiteral("42-01")));
    VELMOR_VERIFY_PDF_LAYOUT(existing, onCardOf(p, false, false));
    // No half-written files are left beside it.
    QCOMPARE(QDir(dir.path()).entryList({QStringLiteral(".velmor-print-*")}, QDir::Files | QDir::Hidden).size(), 0);
}

void TestPrintPaper::printerByExactName()
{
    if (!m_cupsUp)
        QSKIP(qPrintable(m_cupsWhy));
    const QString filePdf = m_cups.path(QStringLiteral("file.pdf"));
    const QString otherPdf = m_cups.path(QStringLiteral("other.pdf"));

    // The list of a printing screen and its remembered entry.
    QCOMPARE(printerChoices(), (QStringList{kDefaultPrinterEntry, QStringLiteral("Velmor-File"),
                                            QStringLiteral("Velmor-Other"), kPdfEntry}));
    QTemporaryDir ws;
    const Workstation station(ws.path(), ws.path());
    QCOMPARE(choiceIndex(printerChoices(), readPrinterChoice(station, QStringLiteral("lastprinterforlabel.ini"))), 0);
    QVERIFY(writePrinterChoice(station, QStringLiteral("lastprinterforlabel.ini"), QStringLiteral("Velmor-Other")));
    QCOMPARE(choiceIndex(printerChoices(), readPrinterChoice(station, QStringLiteral("lastprinterforlabel.ini"))), 2);
    QCOMPARE(choiceIndex(printerChoices(), QStringLiteral("velmor-other")), 0);

    // The chosen device name is the one printed to.
    PrintOutcome out = printDocument(PrintTarget::printer(QStringLiteral("Velmor-File")),
                                     [](PrintSurface &s, QString *) {
                                         s.setFont(QStringLiteral("Arial"), 20);
                                         s.printLine(QStringLiteral("Printed by name"));
                                         return true;
                                     });
    QVERIFY2(out.ok, qPrintable(out.error));
    QCOMPARE(out.where, QStringLiteral("Velmor-File"));
    QVERIFY(test::waitForFile(filePdf));
    QVERIFY(test::pdfText(filePdf).contains(QStringLiteral("Printed by name")));
    VELMOR_VERIFY_PDF_LAYOUT(filePdf);
    QVERIFY(!QFile::exists(otherPdf));

    // "use Default Printer" goes to the scheduler's default.
    out = printDocument(PrintTarget::fromEntry(kDefaultPrinterEntry), [](PrintSurface &s, QString *) {
        s.printLine(QStringLiteral("Printed on the default"));
        return true;
    });
    QVERIFY2(out.ok, qPrintable(out.error));
    QCOMPARE(out.where, QStringLiteral("Velmor-Other"));
    QVERIFY(test::waitForFile(otherPdf));
    QVERIFY(test::pdfText(otherPdf).contains(QStringLiteral("Printed on the default")));
    VELMOR_VERIFY_PDF_LAYOUT(otherPdf);

    // A name that matches no printer exactly prints nothing anywhere.
    QFile::remove(filePdf);
    QFile::remove(otherPdf);
    bool drawn = false;
    out = printDocument(PrintTarget::printer(QStringLiteral("velmor-file")), [&](PrintSurface &, QString *) {
        drawn = true;
        return true;
    });
    QVERIFY(!out.ok);
    QCOMPARE(out.error,
             QStringLiteral("The printer \"velmor-file\" is not installed on this workstation. Nothing was printed."));
    QVERIFY(!drawn);
    QTest::qWait(1500);
    QVERIFY(!QFile::exists(filePdf));
    QVERIFY(!QFile::exists(otherPdf));
}

void TestPrintPaper::paperTexts_data()
{
    QTest::addColumn<bool>("quill");
    QTest::addColumn<bool>("flip");
    QTest::addColumn<QString>("girdle");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");
    const QStringList common{QStringLiteral("Round Brilliant"), QStringLiteral("# 2141438176"),
                             QStringLiteral("Eye clean"), QStringLiteral("4207-01")};
    QTest::newRow("standard") << false << false << "Medium"
                              << (common + QStringList{"1.01 ct  E  VS1  Excellent", "Dim.: 6.41x6.45x3.98",
                                                       "Gir.: Medium", "Fluor.: None", "Dep: 61.70", "Tbl: 57.00",
                                                       "Pol: EX", "Sym: VG", "RLP: 5000.00", "RLPD: Nov 27, 2026"})
                              << QStringList{"Cut:"};
    QTest::newRow("standard, empty girdle") << false << true << ""
                                            << (common + QStringList{"Dim.: 6.41x6.45x3.98", "Fluor.: None"})
                                            << QStringList{"Gir.:", "Gir"};
    QTest::newRow("compact") << true << false << "Medium"
                             << (common + QStringList{"1.01 ct  E  VS1  Excellent", "RLP: 5000.00",
                                                      "RLPD: Nov 27, 2026", "Dim.: 6.41x6.45x3.98", "Pol.: EX",
                                                      "Sym.: VG", "Cut: Excellent", "Flo: None", "Dep: 61.70",
                                                      "Tab: 57.00"})
                             << QStringList{"Gir.:"};
    QTest::newRow("compact, portrait") << true << true << "Medium"
                                       << (common + QStringList{"RLP: 5000.00", "RLPD: Nov 27, 2026"})
                                       << QStringList{"Gir.:"};
}

void TestPrintPaper::paperTexts()
{
    QFETCH(bool, quill);
    QFETCH(bool, flip);
    QFETCH(QString, girdle);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("paper.pdf"));
    printing::DiamondPaper p = samplePaper(4207);
    p.girdle = girdle;
    const PrintOutcome out = printPaper(pdf, p, quill, flip);
    QVERIFY2(out.ok, qPrintable(out.error));
    QCOMPARE(out.pages, 1);

    // pdftotext places words by their positions: compare with single blanks.
    const QString text = test::pdfText(pdf).simplified();
    for (const QString &t : present)
        QVERIFY2(text.contains(t.simplified()), qPrintable(t + QStringLiteral(" missing in:\n") + text));
    for (const QString &t : absent)
        QVERIFY2(!text.contains(t), qPrintable(t + QStringLiteral(" found in:\n") + text));

    // Every word on the card, none over another.
    VELMOR_VERIFY_PDF_LAYOUT(pdf, onCardOf(p, quill, flip));

    // Landscape without the flip, portrait with it.
    const QSizeF page = pageSizePoints(pdf);
    QVERIFY(!page.isEmpty());
    QCOMPARE(page.width() > page.height(), !flip);

    // The barcode reads back as the stone, through the scanner dispatch.
    const QStringList codes = decodedCodes(pdf, dir.path());
    QCOMPARE(codes, QStringList{QStringLiteral("420701")});
    const ScanDispatch d = dispatchScan(QStringLiteral("frmDiamondDetail"), codes.first());
    QCOMPARE(d.target, ScanTarget::Stone);
    QCOMPARE(d.number, 4207);
}

void TestPrintPaper::paperLooksAsReviewed()
{
    // The card at 60 dpi against the reviewed picture in tests/data/printing.
    const QString reference = QStringLiteral(VELMOR_TEST_DATA "/printing/paper-standard.png");
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("paper.pdf"));
    QVERIFY(printPaper(pdf, samplePaper(4207), false, false).ok);
    VELMOR_VERIFY_PDF_LAYOUT(pdf, onCardOf(samplePaper(4207), false, false));
    // The card's corner of the page: 3.2 x 2.2 inches.
    test::run(QStringLiteral("pdftoppm"),
              {QStringLiteral("-r"), QStringLiteral("60"), QStringLiteral("-gray"), QStringLiteral("-png"),
               QStringLiteral("-singlefile"), QStringLiteral("-x"), QStringLiteral("0"), QStringLiteral("-y"),
               QStringLiteral("0"), QStringLiteral("-W"), QStringLiteral("192"), QStringLiteral("-H"),
               QStringLiteral("132"), pdf, dir.filePath(QStringLiteral("card"))});
    QImage card(dir.filePath(QStringLiteral("card.png")));
    QVERIFY(!card.isNull());
    if (qEnvironmentVariableIsSet("VELMOR_UPDATE_REFERENCES")) {
        QDir().mkpath(QFileInfo(reference).absolutePath());
        QVERIFY(card.save(reference));
        QSKIP("reference picture written; review it");
    }
    QImage ref(reference);
    QVERIFY2(!ref.isNull(), qPrintable(reference));
    card = card.convertToFormat(QImage::Format_Grayscale8);
    ref = ref.convertToFormat(QImage::Format_Grayscale8);
    QCOMPARE(card.size(), ref.size());
    // Font rendering may differ a little from machine to machine; the layout may not.
    double diff = 0;
    int inkCard = 0, inkRef = 0;
    for (int y = 0; y < card.height(); ++y)
        for (int x = 0; x < card.width(); ++x) {
            const int a = qGray(card.pixel(x, y)), b = qGray(ref.pixel(x, y));
            diff += qAbs(a - b);
            inkCard += a < 128;
            inkRef += b < 128;
        }
    diff /= double(card.width() * card.height()) * 255.0;
    QVERIFY2(diff < 0.04, qPrintable(QStringLiteral("mean difference %1").arg(diff)));
    QVERIFY2(qAbs(inkCard - inkRef) < inkRef / 5, qPrintable(QStringLiteral("%1 / %2").arg(inkCard).arg(inkRef)));
}

// The stone paper's "RLPD: " date is the date of the grid row that gives the
// stone its list price; a list price the grid does not give has no date.
void TestPrintPaper::listPriceDateOfTheGridRow()
{
    StoneEnv e;
    const qint64 id = e.stone(QStringLiteral("R-18")); // 1.01 ct E VS1, listed at 5000
    db::exec(e.t.db(), QStringLiteral("INSERT INTO raplist (Shape, Colour, Clarity, LowCarat, HighCarat, Price, Date) "
                                      "VALUES ('BR', 'E', 'VS1', 1, 1.49, 5000, '2026-11-27')"));
    printing::DiamondPaper p;
    QVERIFY(stones::stonePaper(e.ctx, id, p));
    QCOMPARE(p.listPrice, QStringLiteral("5000.00"));
    QCOMPARE(p.listPriceDate, QDate(2026, 11, 27));
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("dated.pdf"));
    QVERIFY(printPaper(pdf, p, true, false).ok);
    QVERIFY(test::pdfText(pdf).simplified().contains(QStringLiteral("RLPD: Nov 27, 2026")));
    VELMOR_VERIFY_PDF_LAYOUT(pdf, onCardOf(p, true, false));
    db::exec(e.t.db(), QStringLiteral("UPDATE SingleStone SET RapaportPrice = 4800 WHERE ID = ?"), {id});
    QVERIFY(stones::stonePaper(e.ctx, id, p));
    QVERIFY(!p.listPriceDate.isValid());
}

void TestPrintPaper::paperFromTheStoneScreen()
{
    StoneEnv e;
    const qint64 id = e.stone(QStringLiteral("R-17"));
    db::exec(e.t.db(),
             QStringLiteral("UPDATE SingleStone SET Cut='Excellent', Girdle='', Flourescence='Faint', "
                            "Dim1=6.41, Dim2=6.45, Dim3=3.98, TotalDepth=61.7, TableSize=57, FinishPolish='EX', "
                            "FinishSymetry='VG', Comment='Eye clean' WHERE ID = ?"),
             {id});
    e.ctx.settings.printDiamondComment = false;
    ui::StartupFlow flow(e.ctx); // the program's Screens
    ui::frmDiamondDetail s(e.ctx);
    s.show();
    QTRY_VERIFY(s.startUpDone());
    auto *cmd = s.findChild<QPushButton *>(QStringLiteral("cmdPrintPaper"));
    QVERIFY(!cmd->isEnabled());
    s.loadStone(int(id));
    QVERIFY(cmd->isEnabled());
    e.prompt.clear();

    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("stone paper.pdf"));
    // Drives the printer choice once it is up.
    auto choose = [&](const QString &entry, const QString &file, bool flip, bool cancel) {
        QTimer::singleShot(0, [=] {
            auto *dlg = qobject_cast<frmPrintTo *>(QApplication::activeModalWidget());
            QVERIFY(dlg);
            auto *cbo = dlg->findChild<QComboBox *>(QStringLiteral("cboPrinter"));
            QCOMPARE(cbo->itemText(0), kDefaultPrinterEntry);
            QCOMPARE(cbo->itemText(cbo->count() - 1), kPdfEntry);
            cbo->setCurrentIndex(cbo->findText(entry));
            dlg->findChild<QLineEdit *>(QStringLiteral("txtPdfFile"))->setText(file);
            dlg->findChild<QCheckBox *>(QStringLiteral("chk90Flip"))->setChecked(flip);
            QTest::mouseClick(dlg->findChild<QPushButton *>(cancel ? "Image2" : "cmdPrint"), Qt::LeftButton);
        });
    };
    choose(kPdfEntry, pdf, false, false);
    QTest::mouseClick(cmd, Qt::LeftButton);
    QCOMPARE(e.prompt.texts(PromptEvent::Notice), QStringList{QStringLiteral("Document was sent to the Printer")});
    QVERIFY(e.prompt.messages().isEmpty());
    QCOMPARE(e.ctx.workstation.readFirstLine(QStringLiteral("lastprinterforlabel.ini")), kPdfEntry);
    QCOMPARE(e.ctx.workstation.readFirstLine(QStringLiteral("lastprinterforlabelturn.ini")), QStringLiteral("false"));
    const QString text = test::pdfText(pdf).simplified();
    QVERIFY2(text.contains(QStringLiteral("1.01 ct E VS1 Excellent")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("Round Brilliant")));
    QVERIFY(text.contains(QStringLiteral("Fluor.: Faint")));
    QVERIFY(!text.contains(QStringLiteral("Gir.:")));
    QVERIFY(!text.contains(QStringLiteral("Eye clean"))); // the comment option is off
    QVERIFY(text.contains(QString::number(id) + QStringLiteral("-01")));
    QCOMPARE(decodedCodes(pdf, dir.path()), QStringList{QString::number(id) + QStringLiteral("01")});
    VELMOR_VERIFY_PDF_LAYOUT(pdf, onCardOf(printing::DiamondPaper(), false, false));

    // Next time the choice is preselected; the flip and the compact layout
    // with the comment; cancelling prints nothing.
    e.prompt.clear();
    e.ctx.settings.labelQuill = true;
    e.ctx.settings.printDiamondComment = true;
    const QString second = dir.filePath(QStringLiteral("second.pdf"));
    QTimer::singleShot(0, [&] {
        auto *dlg = qobject_cast<frmPrintTo *>(QApplication::activeModalWidget());
        QVERIFY(dlg);
        QCOMPARE(dlg->cboPrinter->currentText(), kPdfEntry);
        QVERIFY(!dlg->chk90Flip->isChecked());
        dlg->txtPdfFile->setText(second);
        dlg->chk90Flip->setChecked(true);
        QTest::mouseClick(dlg->cmdPrint, Qt::LeftButton);
    });
    QTest::mouseClick(cmd, Qt::LeftButton);
    QCOMPARE(e.prompt.texts(PromptEvent::Notice), QStringList{QStringLiteral("Document was sent to the Printer")});
    QCOMPARE(e.ctx.workstation.readFirstLine(QStringLiteral("lastprinterforlabelturn.ini")), QStringLiteral("true"));
    const QString compact = test::pdfText(second);
    QVERIFY2(compact.contains(QStringLiteral("Eye clean")) && compact.contains(QStringLiteral("Cut: Excellent")),
             qPrintable(compact));
    QVERIFY(pageSizePoints(second).width() < pageSizePoints(second).height());
    VELMOR_VERIFY_PDF_LAYOUT(second, onCardOf(printing::DiamondPaper(), true, true));

    e.prompt.clear();
    const QString third = dir.filePath(QStringLiteral("third.pdf"));
    choose(kPdfEntry, third, false, true);
    QTest::mouseClick(cmd, Qt::LeftButton);
    QVERIFY(!QFile::exists(third));
    QVERIFY(e.prompt.events.isEmpty());

    // A file that cannot be written: the reason, and the choice stays open.
    const QString bad = dir.filePath(QStringLiteral("missing/folder/x.pdf"));
    QTimer::singleShot(0, [&] {
        auto *dlg = qobject_cast<frmPrintTo *>(QApplication::activeModalWidget());
        QVERIFY(dlg);
        dlg->txtPdfFile->setText(bad);
        QTest::mouseClick(dlg->cmdPrint, Qt::LeftButton);
        QVERIFY(dlg->isVisible());
        QTest::mouseClick(dlg->Image2, Qt::LeftButton);
    });
    QTest::mouseClick(cmd, Qt::LeftButton);
    QCOMPARE(e.prompt.messages().size(), 1);
    QVERIFY(e.prompt.messages().first().startsWith(QStringLiteral("Printing: The file")));
    QVERIFY(e.prompt.texts(PromptEvent::Notice).isEmpty());
}

void TestPrintPaper::paperFollowsTheSettings_data()
{
    QTest::addColumn<bool>("quill");
    QTest::addColumn<bool>("showDimension");
    QTest::addColumn<bool>("hideListPrice");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");
    const QStringList dims{QStringLiteral("Dim.: 6.41x6.45x3.98")};
    const QStringList rap{QStringLiteral("RLP: 5000.00")};
    QTest::newRow("standard, both shown") << false << true << false << (dims + rap) << QStringList();
    QTest::newRow("standard, no measurements") << false << false << false << rap << QStringList{"Dim.", "6.41"};
    QTest::newRow("standard, no list price") << false << true << true << dims << QStringList{"RLP", "5000"};
    QTest::newRow("compact, both shown") << true << true << false << (dims + rap) << QStringList();
    QTest::newRow("compact, neither") << true << false << true << QStringList{"Round Brilliant"}
                                      << QStringList{"Dim.", "RLP", "5000"};
}

void TestPrintPaper::paperFollowsTheSettings()
{
    QFETCH(bool, quill);
    QFETCH(bool, showDimension);
    QFETCH(bool, hideListPrice);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    StoneEnv e;
    const qint64 id = e.stone(QStringLiteral("R-18"));
    db::exec(e.t.db(), QStringLiteral("UPDATE SingleStone SET Dim1=6.41, Dim2=6.45, Dim3=3.98, RapaportPrice=5000 WHERE ID = ?"),
             {id});
    e.ctx.settings.ShowDimension = showDimension;
    e.ctx.settings.HideRapUS_CT = hideListPrice;
    printing::DiamondPaper p;
    QVERIFY(stones::stonePaper(e.ctx, id, p));
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("paper.pdf"));
    const PrintOutcome out = printPaper(pdf, p, quill, false);
    QVERIFY2(out.ok, qPrintable(out.error));
    const QString text = test::pdfText(pdf).simplified();
    for (const QString &t : present)
        QVERIFY2(text.contains(t), qPrintable(t + QStringLiteral(" missing in:\n") + text));
    for (const QString &t : absent)
        QVERIFY2(!text.contains(t), qPrintable(t + QStringLiteral(" found in:\n") + text));
    VELMOR_VERIFY_PDF_LAYOUT(pdf, onCardOf(p, quill, false));
}

void TestPrintPaper::previewShowsThePages()
{
    StoneEnv e;
    frmPrintTo dlg(e.ctx, QStringLiteral("Stone paper 42"), QStringLiteral("lastprinterforlabel.ini"),
                   QStringLiteral("lastprinterforlabelturn.ini"));
    int drawn = 0;
    bool flipped = false;
    const printing::DiamondPaper paper = samplePaper(42);
    dlg.draw = [&](PrintSurface &s, bool flip, QString *error) {
        ++drawn;
        flipped = flip;
        return PrintDiamondPaperModule(s, paper, flip, error);
    };
    dlg.chk90Flip->setChecked(true);
    bool shown = false;
    QTimer::singleShot(0, [&] {
        QWidget *preview = QApplication::activeModalWidget();
        shown = preview && preview->objectName() == QLatin1String("dlgPreview");
        if (preview)
            preview->close();
    });
    QTest::mouseClick(dlg.cmdPreview, Qt::LeftButton);
    QVERIFY(shown);
    QVERIFY(drawn >= 1);
    QVERIFY(flipped);
    // A preview prints nothing and remembers nothing.
    QVERIFY(e.prompt.events.isEmpty());
    QVERIFY(!e.ctx.workstation.exists(QStringLiteral("lastprinterforlabel.ini")));
}

void TestPrintPaper::printSubcommands()
{
    StoneEnv e;
    const qint64 id = e.stone(QStringLiteral("R-17"));
    QFile ini(e.ctx.workstation.path(QStringLiteral("database.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(QStringLiteral("mode=server\nsocket=%1\nuser=root\ndatabase=%2\n")
                  .arg(test::TestDb::socketPath(), e.t.name())
                  .toUtf8());
    ini.close();
    auto run = [&](const QStringList &args, QString *out, QString *err) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VELMOR_HOME"), e.dir.path());
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.remove(QStringLiteral("DISPLAY"));
        env.insert(QStringLiteral("CUPS_SERVER"), qEnvironmentVariable("CUPS_SERVER"));
        p.setProcessEnvironment(env);
        p.start(qEnvironmentVariable("VELMOR_BINARY", VELMOR_BINARY), args);
        p.waitForFinished(60000);
        *out = QString::fromUtf8(p.readAllStandardOutput());
        *err = QString::fromUtf8(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    };
    QString out, err;
    const QString pdf = e.dir.filePath(QStringLiteral("cli.pdf"));
    QCOMPARE(run({QStringLiteral("print"), QStringLiteral("paper"), QString::number(id), QStringLiteral("--quill"),
                  QStringLiteral("--pdf"), pdf},
                 &out, &err),
             0);
    QVERIFY2(out.contains(QStringLiteral("Document was sent to the Printer")), qPrintable(out + err));
    QVERIFY(test::pdfText(pdf).contains(QString::number(id) + QStringLiteral("-01")));
    VELMOR_VERIFY_PDF_LAYOUT(pdf, onCardOf(printing::DiamondPaper(), true, false));

    // Bad input: a clear message and a failure code.
    QCOMPARE(run({QStringLiteral("print"), QStringLiteral("paper"), QStringLiteral("12x"), QStringLiteral("--pdf"),
                  pdf},
                 &out, &err),
             2);
    QVERIFY(err.contains(QStringLiteral("is not a stone number")));
    QCOMPARE(run({QStringLiteral("print"), QStringLiteral("paper"), QString::number(id)}, &out, &err), 2);
    QCOMPARE(run({QStringLiteral("print"), QStringLiteral("paper"), QStringLiteral("999999"), QStringLiteral("--pdf"),
                  pdf},
                 &out, &err),
             1);
    QVERIFY(err.contains(QStringLiteral("there is no stone number 999999")));
    QCOMPARE(run({QStringLiteral("print"), QStringLiteral("paper"), QString::number(id), QStringLiteral("--printer"),
                  QStringLiteral("No Such Printer")},
                 &out, &err),
             1);
    QVERIFY2(err.contains(QStringLiteral("\"No Such Printer\" is not installed")), qPrintable(err));

    // The label to a pseudo-terminal given on the command line.
    test::PtyPair pty;
    QVERIFY(pty.start());
    QSerialPort reader;
    QVERIFY(test::openReader(reader, pty.b));
    QCOMPARE(run({QStringLiteral("print"), QStringLiteral("label"), QString::number(id), QStringLiteral("--port"),
                  pty.a},
                 &out, &err),
             0);
    printing::LabelTexts t;
    QVERIFY(stones::stoneLabel(e.ctx, id, t));
    const QByteArray expected = dumbellStream(0, 0, t, true);
    QCOMPARE(test::readPort(reader, int(expected.size())), expected);
    QCOMPARE(run({QStringLiteral("print"), QStringLiteral("label"), QString::number(id), QStringLiteral("--port"),
                  QStringLiteral("/nonexistent/tty")},
                 &out, &err),
             1);
    QVERIFY2(err.contains(QStringLiteral("There was a problem opening the Printer Port.")), qPrintable(err));
}

QTEST_MAIN(TestPrintPaper)
#include "tst_printpaper.moc"
