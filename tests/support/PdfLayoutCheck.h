#pragma once
// Reads the box of every word of a PDF (pdftotext -bbox) and finds what a
// reader would see as a fault on paper: two words printed over each other,
// or a word cut off at the page's edge or running past a card's edge.
#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>

namespace velmor::test {

struct PdfWord {
    int page = 0; // 1-based
    QRectF box;   // points, from the top left corner of the page
    QString text;
};

struct PdfPage {
    QSizeF size; // points
    QList<PdfWord> words;
};

// The pages of the file with their words; empty, with the reason, when the
// tool is missing or the file cannot be read.
QList<PdfPage> pdfWords(const QString &pdf, QString *error = nullptr);

struct LayoutCheck {
    // Where every word must lie, in points on the page (for a stone paper:
    // the card).  Empty: the page.
    QRectF area;
    // How far two boxes may run into each other before they count as
    // overlapping (the boxes pdftotext reports are the font's full height).
    double tolerance = 0.6;
};

// One line per fault ("page 1: "Round" overlaps "1234567""); empty when
// the pages read cleanly.  A file that cannot be read is a fault too.
QStringList pdfLayoutFaults(const QString &pdf, const LayoutCheck &check = {});

// Every PDF the program writes while a test process runs (through the print
// path, in the process or in a command it starts) is checked: by
// pdfLayoutFaults above, or else here, each writing once ("FILE: page 1:
// ..."), from a copy kept as it was written.  The process runs this as it
// ends and fails when a fault is left.
QStringList writtenPdfFaults();

// The card of a stone paper on the page of a PDF written by the program
// (printable area of a PDF printer of that orientation), in points.  A
// height of 0 leaves the card open downwards to the page's edge.
QRectF cardOnPdfPage(double leftTwips, double topTwips, double widthTwips, double heightTwips, bool landscape);

// The words of all pages joined with blanks, in reading order per page.
QString pdfWordText(const QString &pdf);

} // namespace velmor::test

// Fails the running test with the faults found.
#define VELMOR_VERIFY_PDF_LAYOUT(pdf, ...)                                                                        \
    do {                                                                                                           \
        const QStringList velmorFaults_ = velmor::test::pdfLayoutFaults((pdf), ##__VA_ARGS__);                    \
        QVERIFY2(velmorFaults_.isEmpty(),                                                                          \
                 qPrintable(QStringLiteral("%1:\n").arg(pdf) + velmorFaults_.mid(0, 20).join(QLatin1Char('\n')))); \
    } while (false)

// Fails the running test with the faults of the PDFs written since the last
// check that no check has read (the files of a command the test ran).
#define VELMOR_VERIFY_WRITTEN_PDFS()                                                                               \
    do {                                                                                                           \
        const QStringList velmorFaults_ = velmor::test::writtenPdfFaults();                                        \
        QVERIFY2(velmorFaults_.isEmpty(), qPrintable(velmorFaults_.mid(0, 20).join(QLatin1Char('\n'))));          \
    } while (false)
