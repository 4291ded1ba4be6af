// Every printed document with the longest values a dealer really has, read
// back word by word from the PDF: no two words on top of each other, none
// off the page, none off the stone paper's card.
#include "../stones/StoneTestEnv.h"
#include "FileSizeLimit.h"
#include "PdfLayoutCheck.h"
#include "PrintTestKit.h"
#include "core/Settings.h"
#include "invoices/InvoicePrint.h"
#include "memos/MemoPrint.h"
#include "memos/MemoReport.h"
#include "parcels/ParcelMemoPrint.h"
#include "printing/DiamondPaper.h"
#include "printing/PrintJob.h"
#include "stones/SearchReport.h"
#include "stones/StockCountReport.h"
#include "stones/StoneHistory.h"

#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace velmor;
using velmor::test::StoneEnv;

namespace {

const QString kLongShape = QStringLiteral("Cushion Modified Brilliant [CMB]");
const QString kCanadianSku = QStringLiteral("CA2026-004711  >CANADIAN<");
const QString kLongCompany = QStringLiteral("Lumen & Fils Joaillerie Internationale Ltée (Montréal)");
const QString kLongStreet = QStringLiteral("Suite 1400, First Canadian Place, 100 King Street West");

// The dealer as the longest settings have it.
Settings longDealer()
{
    Settings d;
    // Every price column of the search report printed: its widest layout.
    d.ShowCostMY_CT = d.ShowCostUS_CT = d.ShowSellPriceMY_CT = d.ShowSellPriceUS_CT = true;
    d.CompanyName = QStringLiteral("Velmor Diamond & Precious Stone Trading Company Inc.");
    d.CompanyStreet1 = kLongStreet;
    d.CompanyStreet2 = QStringLiteral("Diamond Exchange District, Mezzanine Level, Office 12B");
    d.CompanyCity = QStringLiteral("Saint-Jean-sur-Richelieu");
    d.CompanyProvince = QStringLiteral("Quebec");
    d.CompanyZIP = QStringLiteral("J3B 7B8");
    d.CompanyCountry = QStringLiteral("Canada");
    d.CompanyPhone = QStringLiteral("+1 (450) 555-0100 ext. 2345");
    d.CompanyFax = QStringLiteral("+1 (450) 555-0101");
    d.CompanyEMail = QStringLiteral("accounts.receivable@velmor-diamond-and-precious-stones.example.com");
    d.CompanyWWW = QStringLiteral("https://www.velmor-diamond-trading.example.com/wholesale");
    QStringList paragraphs;
    for (int i = 1; i <= 16; ++i)
        paragraphs << QStringLiteral("%1. Goods remain ours until paid in full; claims in 7 days.").arg(i, 2);
    d.SalesDisclaimer = paragraphs.join(QLatin1Char('\n')).left(1000);
    d.MemoDisclaimer = QString(d.SalesDisclaimer).replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return d;
}

invoices::Invoice longInvoice(int lines)
{
    invoices::Invoice inv;
    inv.id = 123456;
    inv.created = QDateTime(QDate(2026, 3, 5), QTime(10, 0));
    inv.status = QStringLiteral("open");
    inv.CompanyName = kLongCompany;
    inv.CompanyStreet1 = kLongStreet;
    inv.CompanyStreet2 = QStringLiteral("Attention: Purchasing Department, Second Floor");
    inv.CompanyCity = QStringLiteral("Saint-Jean-sur-Richelieu");
    inv.CompanyProvince = QStringLiteral("Quebec");
    inv.CompanyZIP = QStringLiteral("J3B 7B8");
    inv.CompanyCountry = QStringLiteral("Canada");
    inv.PhoneNumber1 = QStringLiteral("+1 (450) 555-0199");
    inv.FaxNumber = QStringLiteral("+1 (450) 555-0198");
    for (int i = 0; i < lines; ++i) {
        invoices::InvoiceLine l;
        l.kind = i % 10 == 9 ? invoices::InvoiceLine::Free : invoices::InvoiceLine::Stone;
        l.id = i + 1;
        l.diamondId = l.kind == invoices::InvoiceLine::Stone ? 1000 + i : 0;
        l.carat = 1234000;        // 12.34 ct
        l.priceCarat = 12345678000; // 123,456.78 per carat
        l.rateCDN = 137000;
        l.rateZAR = 1850000;
        l.taxRate = 1497500;
        l.dateAdded = QDateTime(QDate(2026, 12, 6), QTime(11, 0));
        l.details = i % 3 == 0 ? QStringLiteral("GIA 2141438171, laser inscribed, eye clean, with the original box")
                               : QString();
        l.itemFound = true;
        l.sku = i % 2 ? kCanadianSku : QStringLiteral("CA2026-%1").arg(4700 + i, 6, 10, QLatin1Char('0'));
        l.shape = kLongShape;
        l.colour = 20;
        l.clarity = 40;
        l.itemCarat = 1234000;
        l.rapaportPrice = 13456700000;
        l.sellOffRap = 825000;
        if (i % 2)
            l.listPriceAtSale = 13456700000, l.discountAtSale = -9999999;
        inv.lines << l;
    }
    return inv;
}

stones::SearchRow searchRow(int i)
{
    stones::SearchRow r;
    r.id = 9000 + i;
    QStringList cells;
    for (int c = 0; c <= stones::ColRapPercent; ++c)
        cells << QString();
    cells[stones::ColSKU] = i % 2 ? kCanadianSku : QStringLiteral("R%1").arg(100200 + i);
    cells[stones::ColHash] = QStringLiteral("INV# 123456");
    cells[stones::ColShape] = kLongShape;
    cells[stones::ColCert] = QStringLiteral("GIA 2141438171");
    cells[stones::ColWeight] = QStringLiteral("12.34");
    cells[stones::ColColour] = QStringLiteral("Fancy Intense Yellow");
    cells[stones::ColClarity] = QStringLiteral("VS1");
    cells[stones::ColCut] = QStringLiteral("Excellent");
    cells[stones::ColMeasurement] = QStringLiteral("10.25x10.31x6.45");
    r.cells = cells;
    r.carat = 12.34;
    r.rap = 123456.78;
    r.rapPerStone = 1523456.67;
    r.rapThen = 120000;
    r.boughtUS = 987654.32;
    r.sellUS = 1234567.89;
    r.sellOffRap = -12.5;
    r.paid = true;
    r.canadian = i % 2;
    return r;
}

printing::DiamondPaper longPaper()
{
    printing::DiamondPaper p;
    p.id = 1234567;
    p.heading = QStringLiteral("Cushion Modified Brilliant");
    p.weight = QStringLiteral("12.34");
    p.colour = QStringLiteral("Fancy Intense Yellow");
    p.clarity = QStringLiteral("VS1");
    p.cut = QStringLiteral("Excellent");
    p.certificate = QStringLiteral("2141438171");
    p.measurements = QStringLiteral("10.25x10.31x6.45");
    p.girdle = QStringLiteral("Thin to Slightly Thick, Faceted");
    p.fluorescence = QStringLiteral("Very Strong Blue");
    p.comment = QStringLiteral("Laser inscribed, eye clean, with the original box and a second opinion report");
    p.depth = QStringLiteral("61.7");
    p.table = QStringLiteral("57");
    p.polish = QStringLiteral("Excellent");
    p.symmetry = QStringLiteral("Very Good");
    p.listPrice = QStringLiteral("123456.78");
    p.listPriceDate = QDate(2026, 11, 27);
    p.left = 200;
    p.top = 200;
    return p;
}

parcels::ParcelMemoDocument parcelMemo(const Settings &d)
{
    parcels::ParcelMemoDocument m;
    m.header.id = 654321;
    m.header.customerId = 1;
    m.header.companyName = kLongCompany;
    m.header.street1 = kLongStreet;
    m.header.street2 = QStringLiteral("Attention: Purchasing Department, Second Floor");
    m.header.city = QStringLiteral("Saint-Jean-sur-Richelieu");
    m.header.province = QStringLiteral("Quebec");
    m.header.zip = QStringLiteral("J3B 7B8");
    m.header.phone = QStringLiteral("4505550199");
    m.header.reference = QStringLiteral("Show stock for the Montreal trade fair, booth 1217");
    m.header.date = QDateTime(QDate(2026, 12, 6), QTime(14, 5));
    for (int i = 0; i < 60; ++i) {
        parcels::ParcelMemoLine l;
        l.parcelId = i + 1;
        l.sku = QStringLiteral("PCL-2026-%1").arg(i, 5, 10, QLatin1Char('0'));
        l.shape = kLongShape;
        l.action = i % 3 ? QStringLiteral("out") : QStringLiteral("returned");
        l.carat = *parcels::Decimal5::parse(QStringLiteral("123.45"));
        l.priceCarat = *parcels::Decimal5::parse(QStringLiteral("123456.78"));
        l.caratLow = *parcels::Decimal5::parse(QStringLiteral("0.01"));
        l.caratHigh = *parcels::Decimal5::parse(QStringLiteral("0.25"));
        l.colourLow = 20;
        l.colourHigh = 45;
        l.clarityLow = 40;
        l.clarityHigh = 70;
        l.rateCDN = *parcels::Decimal5::parse(QStringLiteral("1.37"));
        l.rateZAR = *parcels::Decimal5::parse(QStringLiteral("18.5"));
        l.date = QDateTime(QDate(2026, 12, 6), QTime(14, 5));
        m.rows << l;
    }
    m.name = d.CompanyName;
    m.street1 = d.CompanyStreet1;
    m.street2 = d.CompanyStreet2;
    m.cityProvince = d.CompanyCity + QStringLiteral(", ") + d.CompanyProvince;
    m.zip = d.CompanyZIP;
    m.phone = d.CompanyPhone;
    m.fax = d.CompanyFax;
    m.email = d.CompanyEMail;
    m.www = d.CompanyWWW;
    m.disclaimer = d.MemoDisclaimer;
    return m;
}

QList<stones::MemoOutCustomer> memoOutList()
{
    QList<stones::MemoOutCustomer> list;
    for (int c = 0; c < 12; ++c) {
        stones::MemoOutCustomer m;
        m.customerId = c + 1;
        m.company = kLongCompany + QStringLiteral(" %1").arg(c);
        m.phone = QStringLiteral("450-555-0199");
        for (int i = 0; i < 8; ++i) {
            m.lines << stones::MemoOutLine{QStringLiteral("Dec 06, 2026"), QStringLiteral("123456"),
                                           i % 2 ? kCanadianSku : QStringLiteral("R100234"), kLongShape,
                                           QStringLiteral("12.34"), QStringLiteral("Fancy Intense Yellow / VS1"),
                                           QStringLiteral("-12.50"), QStringLiteral("123,456.78"),
                                           QStringLiteral("1,523,456.67")};
            m.rapSum += 1523456.67;
        }
        list << m;
    }
    return list;
}

// A count of a shop with long names, a large missing value and every table.
stones::CountReport countReport()
{
    stones::CountReport r;
    r.header.id = 123456;
    r.header.name = QStringLiteral("Année-end count, Saint-Jean-sur-Richelieu showroom and safe");
    r.header.location = QStringLiteral("Safe 2, drawer 14 (Présentoir)");
    r.header.closed = true;
    r.header.tolerance = Decimal5::fromDouble(0.01);
    r.header.startedAt = QDateTime(QDate(2026, 12, 6), QTime(8, 5));
    r.header.closedAt = QDateTime(QDate(2026, 12, 6), QTime(17, 45));
    r.header.startedBy = r.header.closedBy = QStringLiteral("Geneviève Lemieux-Beauchamp");
    r.withCost = true;
    r.figures.expected = 100000;
    r.figures.found = 99880;
    r.figures.scans = 100340;
    for (int i = 0; i < 120; ++i) {
        stones::MissingStone m;
        m.stoneId = 1000000 + i;
        m.sku = i % 2 ? kCanadianSku : QStringLiteral("R%1").arg(100200 + i);
        m.shape = kLongShape;
        m.location = QStringLiteral("Safe 2, drawer 14 (Présentoir)");
        m.carat = Decimal5::fromDouble(12.34);
        m.listValue = Decimal5::fromDouble(1523456.67);
        m.cost = Decimal5::fromDouble(1234567.89);
        r.missing << m;
        r.missingValue += m.listValue;
        r.missingCost += m.cost;
        r.leftStock << stones::LeftStone{m.stoneId, m.sku, QStringLiteral("Memo"), kLongCompany};
        r.unexpected << stones::UnexpectedStone{m.stoneId + 500, m.sku, QStringLiteral("Sold"), kLongCompany,
                                                QStringLiteral("1000%1").arg(m.stoneId), 3};
        r.twice << stones::TwiceStone{m.stoneId, m.sku, 12};
        r.unknown << stones::UnknownCode{QStringLiteral("CODE128-%1-UNREADABLE-LABEL").arg(i), 2};
        stones::ParcelLine p;
        p.parcelId = i + 1;
        p.sku = QStringLiteral("PCL-2026-%1 Mêlée").arg(i, 5, 10, QLatin1Char('0'));
        p.atStart = Decimal5::fromDouble(12345.67);
        p.onHand = Decimal5::fromDouble(12345.67);
        p.weighed = true;
        p.weighedCarats = Decimal5::fromDouble(12340.01);
        r.parcels << p;
    }
    return r;
}

} // namespace

class TestPageLayout : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!test::haveTool(QStringLiteral("pdftotext")))
            QSKIP("pdftotext is not installed");
    }

    // The check itself: words printed over each other and words off the
    // page or card are found, a clean page passes.
    void checkFindsFaults_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("fault");
        QTest::newRow("clean") << 0 << QString();
        QTest::newRow("overlap") << 1 << QStringLiteral("overlaps");
        QTest::newRow("off the page") << 2 << QStringLiteral("outside the printable margins");
        QTest::newRow("off the card") << 3 << QStringLiteral("outside the card");
        // Two cells that touch read as one word, which starts in the first
        // column and ends in the second.
        QTest::newRow("into the next column") << 4 << QStringLiteral("runs out of its column");
        QTest::newRow("past the table's right edge") << 5 << QStringLiteral("runs out of its column");
        QTest::newRow("inside the page, outside the margins") << 6 << QStringLiteral("outside the printable margins");
        QTest::newRow("a rule through a word") << 7 << QStringLiteral("crossed by a rule");
    }
    void checkFindsFaults()
    {
        QFETCH(int, kind);
        QFETCH(QString, fault);
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("check.pdf"));
        const printing::PrintOutcome out = printing::printDocument(
            printing::PrintTarget::pdf(pdf),
            [&](printing::PrintSurface &s, QString *) {
                s.setFont(QStringLiteral("Arial"), 10);
                s.setPosition(500, 500);
                s.printLine(QStringLiteral("Round Brilliant"));
                if (kind == 1) {
                    s.setPosition(500 + s.textWidth(QStringLiteral("Round ")), 500);
                    s.printLine(QStringLiteral("1234567"));
                } else if (kind == 2) {
                    // Runs on past the printable area and the page's edge.
                    s.setPosition(s.pageWidth() - 300, 2000);
                    s.printLine(QStringLiteral("Cushion Modified Brilliant Cushion Modified Brilliant Cushion"));
                } else if (kind == 3) {
                    s.setPosition(500, 1000);
                    s.printLine(QStringLiteral("Cushion Modified Brilliant Cushion Modified Brilliant"));
                } else if (kind == 4 || kind == 5) {
                    const QString shape = QStringLiteral("Round Brilliant [BR]");
                    const double end = 500 + s.textWidth(shape);
                    s.setColumns(kind == 4 ? QList<double>{500, end - 200, end + 3000}
                                           : QList<double>{500, end + 200, end + 1000});
                    s.setPosition(500, 1000);
                    s.printLine(shape);
                    s.setPosition(kind == 4 ? end : end + 200, 1000);
                    s.printLine(kind == 4 ? QStringLiteral("GIA 2141438171") : QStringLiteral("~ZAR 2,569,444.28 /ct"));
                    s.setColumns({});
                } else if (kind == 7) {
                    s.setPosition(500, 1000);
                    s.printLine(QStringLiteral("---fold---"));
                    s.drawLine(400, 1000 + s.textHeight() / 2, 3000, 1000 + s.textHeight() / 2);
                } else if (kind == 6) {
                    // Ends between the printable area's edge and the page's.
                    const QString t = QStringLiteral("~ZAR 2,569,444.28");
                    s.setPosition(s.pageWidth() - s.textWidth(t) + 100, 1000);
                    s.printLine(t);
                }
                return true;
            },
            QStringLiteral("check"));
        QVERIFY2(out.ok, qPrintable(out.error));
        test::LayoutCheck check;
        if (kind == 3)
            check.area = test::cardOnPdfPage(500, 400, printing::kQuillPaperWidth, 0, false);
        const QStringList faults = test::pdfLayoutFaults(pdf, check);
        if (fault.isEmpty())
            QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
        else
            QVERIFY2(!faults.isEmpty() && faults.first().contains(fault), qPrintable(faults.join('\n')));
        QVERIFY(!test::pdfLayoutFaults(dir.filePath(QStringLiteral("missing.pdf"))).isEmpty());
    }

    // The invoice's fold mark stays clear of the rule under the addresses,
    // whatever the height of the customer's block.
    void invoiceFoldMark()
    {
        const Settings dealer = longDealer();
        QTemporaryDir dir;
        for (int lines = 0; lines <= 6; ++lines) {
            invoices::Invoice inv = longInvoice(3);
            inv.CompanyStreet2 = QStringList(lines, QStringLiteral("Attention: Purchasing Department, Floor 2")).join(' ');
            const QString pdf = dir.filePath(QStringLiteral("fold%1.pdf").arg(lines));
            const printing::PrintOutcome out = printing::printDocument(
                printing::PrintTarget::pdf(pdf),
                [&](printing::PrintSurface &s, QString *e) {
                    return PrintInvoiceNEWModule(s, inv, dealer, invoices::InvoicePrintOptions{}, e);
                },
                QStringLiteral("fold"));
            QVERIFY2(out.ok, qPrintable(out.error));
            VELMOR_VERIFY_PDF_LAYOUT(pdf);
        }
    }

    // A PDF is written whole or not at all, with the mode the account's
    // umask gives a new file (an existing one keeps its own).  Run as root
    // and, through this program again, as another account.
    void pdfWholeWithTheUmask()
    {
        QTemporaryDir dir;
        auto print = [&](const QString &name) {
            return printing::printDocument(
                printing::PrintTarget::pdf(dir.filePath(name)),
                [](printing::PrintSurface &s, QString *) {
                    s.setFont(QStringLiteral("Arial"), 10);
                    for (int i = 0; i < 200; ++i) {
                        if (s.CurrentY + s.textHeight() > s.pageHeight())
                            s.newPage();
                        s.printLine(QStringLiteral("Round Brilliant %1 ct G VS1 GIA 2141438171").arg(i));
                    }
                    return true;
                },
                QStringLiteral("umask"));
        };
        auto modeOf = [&](const QString &name) {
            struct stat st {};
            return ::stat(QFile::encodeName(dir.filePath(name)).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
        };
        // m18.pdf, m63.pdf and m23.pdf: the masks 022, 077 and 027.
        for (const int mask : {022, 077, 027}) {
            const mode_t old = ::umask(mode_t(mask));
            const printing::PrintOutcome out = print(QStringLiteral("m%1.pdf").arg(mask));
            ::umask(old);
            QVERIFY2(out.ok, qPrintable(out.error));
            QCOMPARE(modeOf(QStringLiteral("m%1.pdf").arg(mask)), 0666 & ~mask);
        }
        QVERIFY(::chmod(QFile::encodeName(dir.filePath("m63.pdf")).constData(), 0604) == 0);
        QVERIFY(print(QStringLiteral("m63.pdf")).ok);
        QCOMPARE(modeOf(QStringLiteral("m63.pdf")), 0604);

        // A full disk: the print fails, the old file of that name stays, and
        // no part is left behind.
        const QByteArray old = [&] {
            QFile f(dir.filePath("m18.pdf"));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        printing::PrintOutcome out;
        {
            const test::FileSizeLimit full(4 * 1024);
            out = print(QStringLiteral("m18.pdf"));
        }
        QVERIFY(!out.ok);
        QVERIFY2(out.error.contains(QStringLiteral("could not be written whole")), qPrintable(out.error));
        QFile f(dir.filePath("m18.pdf"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);

        // The same as another account.
        if (::geteuid() == 0 && !QStandardPaths::findExecutable(QStringLiteral("runuser"),
                                                                {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")})
                                       .isEmpty()) {
            QProcess p;
            p.start(QStringLiteral("runuser"), {QStringLiteral("-u"), QStringLiteral("nobody"), QStringLiteral("--"),
                                                QCoreApplication::applicationFilePath(), QStringLiteral("pdfWholeWithTheUmask")});
            QVERIFY(p.waitForFinished(120000));
            QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0,
                     qPrintable(QString::fromLocal8Bit(p.readAll())));
        }
    }

    // A count's long missing list: a dearer stone far down it is printed
    // whole, its column as wide as it needs; a location too long for the
    // page gives way, the figures do not.
    void countReportFiguresFarDownTheList()
    {
        stones::CountReport r;
        r.header.id = 7;
        r.header.name = QStringLiteral("Year-end count");
        r.header.closed = true;
        r.withCost = true;
        for (int i = 0; i < 3200; ++i) {
            stones::MissingStone m;
            m.stoneId = 100000 + i;
            m.sku = QStringLiteral("R%1").arg(100000 + i);
            m.shape = QStringLiteral("Round Brilliant [BR]");
            // A location note as long as a dealer may type it.
            m.location = QStringLiteral("Showroom safe 2, drawer 14, tray B (Présentoir de la rue Sainte-Catherine "
                                        "Ouest, Montréal), taken out for the client viewing on Thursday and put back "
                                        "by Geneviève after the insurance photographs were made for the new catalogue");
            m.carat = Decimal5::fromDouble(1.01);
            const bool dear = i == 3199;
            m.listValue = Decimal5::fromDouble(dear ? 12345678.90 : 1234.56);
            m.cost = Decimal5::fromDouble(dear ? 9876543.21 : 987.65);
            r.missing << m;
            r.missingValue += m.listValue;
            r.missingCost += m.cost;
        }
        r.figures.expected = 3200;
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("count.pdf"));
        const printing::PrintOutcome out = printing::printDocument(
            printing::PrintTarget::pdf(pdf),
            [&](printing::PrintSurface &s, QString *e) { return stones::drawCountReport(s, r, e); }, "count");
        QVERIFY2(out.ok, qPrintable(out.error));
        const QString text = test::pdfWordText(pdf);
        QVERIFY2(text.contains(QLatin1String("12,345,678.90")) && text.contains(QLatin1String("9,876,543.21")),
                 qPrintable(text.right(2000)));
        VELMOR_VERIFY_PDF_LAYOUT(pdf);
    }

    void documents_data()
    {
        QTest::addColumn<QString>("document");
        QTest::addColumn<int>("minPages");
        QTest::addColumn<QStringList>("words"); // must be on the paper
        QTest::newRow("invoice, 200 lines, ZAR, RAP and discount")
            << "invoice zar" << 2 << QStringList{"(continued)", "ZAR", "Brilliant", "123,456.78", "-100.00 %", "16."};
        QTest::newRow("invoice, 200 lines, US") << "invoice us" << 2 << QStringList{"Summary:", "US$"};
        QTest::newRow("memo sheet, 300 stones") << "memo" << 3 << QStringList{"SKU#", "MEMO", "(continued)", "Summary"};
        QTest::newRow("full search report, every option")
            << "full" << 2 << QStringList{"rap", "sell", "Paid", "Measurement", ">CANADIAN<"};
        QTest::newRow("simple search report") << "simple" << 2 << QStringList{">CANADIAN<", "Measurement", "Modified"};
        QTest::newRow("stone paper, landscape") << "paper" << 1 << QStringList{"RLPD:", "Nov", "Dim.:"};
        QTest::newRow("stone paper, portrait") << "paper flip" << 1 << QStringList{"RLPD:", "Nov"};
        QTest::newRow("compact paper, landscape") << "quill" << 1 << QStringList{"RLPD:", "Cushion", "Brilliant"};
        QTest::newRow("compact paper, portrait") << "quill flip" << 1 << QStringList{"RLPD:", "Brilliant"};
        QTest::newRow("parcel memo") << "parcel memo" << 2 << QStringList{"PCL-2026-00059"};
        QTest::newRow("memo-out list") << "memo out" << 1 << QStringList{">CANADIAN<"};
        QTest::newRow("memo report") << "memo report" << 1 << QStringList{"Brilliant", "2141438171", "1,523,456.67"};
        QTest::newRow("stock count report")
            << "count" << 3 << QStringList{"Missing", "1,523,456.67", ">CANADIAN<", "Mêlée", "Geneviève"};
    }
    void documents()
    {
        QFETCH(QString, document);
        QFETCH(int, minPages);
        QFETCH(QStringList, words);
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("document.pdf"));
        const Settings dealer = longDealer();
        test::LayoutCheck check;
        printing::PrintOutcome out;
        auto draw = [&](const printing::DrawDocument &d) {
            out = printing::printDocument(printing::PrintTarget::pdf(pdf), d, document);
        };
        if (document.startsWith(QLatin1String("invoice"))) {
            const invoices::Invoice inv = longInvoice(200);
            invoices::InvoicePrintOptions o;
            o.rap = o.rapDiscount = true;
            o.currency = document.endsWith(QLatin1String("zar")) ? invoices::Currency::ZAR : invoices::Currency::US;
            draw([&](printing::PrintSurface &s, QString *e) { return PrintInvoiceNEWModule(s, inv, dealer, o, e); });
        } else if (document == QLatin1String("memo")) {
            StoneEnv e;
            e.ctx.settings = dealer;
            const qint64 c = e.customer(kLongCompany);
            db::exec(e.t.db(), "UPDATE Customer SET CompanyStreet1=?, CompanyCity=?, CompanyZIP=?, PhoneNumber1=? "
                               "WHERE ID=?",
                     {kLongStreet, QStringLiteral("Saint-Jean-sur-Richelieu"), QStringLiteral("J3B 7B8"),
                      QStringLiteral("4505550199"), c});
            const qint64 sheet = db::insert(e.t.db(), "INSERT INTO memosheet (CustomerID, Reference, Date) VALUES "
                                                      "(?, 'Show stock for the Montreal trade fair, booth 1217', NOW())",
                                            {c});
            for (int i = 0; i < 300; ++i)
                e.stone(i % 2 ? QStringLiteral("CA2026-%1").arg(4700 + i) : QStringLiteral("R%1").arg(100200 + i));
            db::exec(e.t.db(), "UPDATE SingleStone SET Shape=?, Carat=12.34, RapaportPrice=123456.78, "
                               "currentRAPdiscountFORmemo=-12.5, Laboratory='GIA', Certificate='2141438171', "
                               "Status='Memo', MemoSheetID=?",
                     {kLongShape, sheet});
            memos::MemoPrintRequest r;
            r.memoSheetId = sheet;
            r.cdn = r.zar = true;
            r.options.usDollar = r.options.printRap = true;
            out = memos::printMemoSheet(e.ctx, r, printing::PrintTarget::pdf(pdf));
        } else if (document == QLatin1String("full") || document == QLatin1String("simple")) {
            stones::SearchReport r;
            for (int i = 0; i < 120; ++i)
                r.rows << searchRow(i);
            r.simple = document == QLatin1String("simple");
            r.options = {true, true, true, true};
            r.localRate = 1.37;
            r.criteria = {kLongShape, QStringLiteral("GIA"), QStringLiteral("0.30"), QStringLiteral("12.99"),
                          QStringLiteral("D"), QStringLiteral("Fancy Intense Yellow"), QStringLiteral("FL"),
                          QStringLiteral("I3"), true};
            draw([&](printing::PrintSurface &s, QString *e) { return stones::drawSearchReport(s, dealer, r, e); });
        } else if (document.startsWith(QLatin1String("paper")) || document.startsWith(QLatin1String("quill"))) {
            const bool quill = document.startsWith(QLatin1String("quill"));
            const bool flip = document.endsWith(QLatin1String("flip"));
            const printing::DiamondPaper p = longPaper();
            check.area = test::cardOnPdfPage(p.left, p.top, quill ? printing::kQuillPaperWidth : printing::kPaperWidth,
                                             0, !flip);
            draw([&](printing::PrintSurface &s, QString *e) {
                return quill ? printing::PrintDiamondPaperQuillModule(s, p, flip, e)
                             : printing::PrintDiamondPaperModule(s, p, flip, e);
            });
        } else if (document == QLatin1String("parcel memo")) {
            const parcels::ParcelMemoDocument m = parcelMemo(dealer);
            draw([&](printing::PrintSurface &s, QString *e) { return parcels::PrintMemoSheetParcel(s, m, true, true, e); });
        } else if (document == QLatin1String("memo report")) {
            StoneEnv e;
            e.ctx.settings = dealer;
            memos::Report r;
            r.title = QStringLiteral("Memo/Consignment Report");
            r.headers = memos::reportHeaders(QStringLiteral("CDN$"));
            for (int i = 0; i < 40; ++i) {
                memos::ReportRow row;
                row.cells = QList<QString>(r.headers.size(), QStringLiteral("1,523,456.67"));
                row.cells[0] = kLongCompany;
                row.cells[1] = QStringLiteral("Memo");
                row.cells[5] = i % 2 ? kCanadianSku : QStringLiteral("R100234");
                row.cells[6] = QStringLiteral("Round Brilliant [BR]");
                row.cells[7] = QStringLiteral("GIA 2141438171");
                row.cells[8] = QStringLiteral("12.34");
                row.cells[9] = QStringLiteral("Fancy Intense Yellow");
                row.cells[10] = QStringLiteral("VS1");
                r.rows << row;
            }
            out = memos::printReport(e.ctx, r, printing::PrintTarget::pdf(pdf));
        } else if (document == QLatin1String("memo out")) {
            const QList<stones::MemoOutCustomer> list = memoOutList();
            draw([&](printing::PrintSurface &s, QString *e) {
                return stones::drawMemoOutList(s, list, QDate(2026, 12, 6), e);
            });
        } else if (document == QLatin1String("count")) {
            const stones::CountReport r = countReport();
            draw([&](printing::PrintSurface &s, QString *e) { return stones::drawCountReport(s, r, e); });
        } else {
            QFAIL("unknown document");
        }
        QVERIFY2(out.ok, qPrintable(out.error));
        QVERIFY2(out.pages >= minPages, qPrintable(QString::number(out.pages)));
        const QString text = test::pdfWordText(pdf);
        for (const QString &w : words)
            QVERIFY2(text.contains(w), qPrintable(w + QStringLiteral(" missing in:\n") + text.left(3000) + text.right(1500)));
        if (document.startsWith(QLatin1String("invoice"))) {
            // The dealer's long e-mail address wraps after one of its dots,
            // dashes or its @, not in the middle of a name.
            const qsizetype from = text.indexOf(QLatin1String("email: ")) + 7;
            const QString mail = text.mid(from, text.indexOf(QLatin1String(" Invoice#"), from) - from);
            QCOMPARE(QString(mail).remove(QLatin1Char(' ')), dealer.CompanyEMail);
            static const QRegularExpression midWord(QStringLiteral("[^@.\\-/_] "));
            QVERIFY2(mail.contains(QLatin1Char(' ')) && !mail.contains(midWord), qPrintable(mail));
        }
        VELMOR_VERIFY_PDF_LAYOUT(pdf, check);
    }
};

QTEST_MAIN(TestPageLayout)
#include "tst_pagelayout.moc"
