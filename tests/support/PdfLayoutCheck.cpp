#include "PdfLayoutCheck.h"

#include "printing/PrintJob.h"

#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>

namespace velmor::test {

namespace {

QString unescape(const QString &html)
{
    QString t = html;
    t.replace(QLatin1String("&lt;"), QLatin1String("<"));
    t.replace(QLatin1String("&gt;"), QLatin1String(">"));
    t.replace(QLatin1String("&quot;"), QLatin1String("\""));
    t.replace(QLatin1String("&#39;"), QLatin1String("'"));
    t.replace(QLatin1String("&apos;"), QLatin1String("'"));
    t.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return t;
}

QString describe(const PdfWord &w)
{
    return QStringLiteral("\"%1\" (%2,%3 - %4,%5)")
        .arg(w.text)
        .arg(w.box.left(), 0, 'f', 1)
        .arg(w.box.top(), 0, 'f', 1)
        .arg(w.box.right(), 0, 'f', 1)
        .arg(w.box.bottom(), 0, 'f', 1);
}

// Every PDF the program writes while a test runs (in this process or in a
// command it starts) leaves its layout here: the printable area and the
// table cells, measured where they were drawn.
struct LayoutRecordDir {
    QTemporaryDir dir;
    LayoutRecordDir()
    {
        if (qEnvironmentVariableIsEmpty("VELMOR_LAYOUT_RECORD") && dir.isValid())
            qputenv("VELMOR_LAYOUT_RECORD", dir.path().toLocal8Bit());
    }
};
const LayoutRecordDir recordDir;

struct RecordedLayout {
    bool found = false;
    QRectF area; // the printable area, points
    QList<PdfWord> cells; // page and box of each table cell (no text)
    QList<PdfWord> rules; // page and line of each horizontal rule
};

RecordedLayout recordedLayout(const QString &pdf)
{
    RecordedLayout r;
    const QString dir = qEnvironmentVariable("VELMOR_LAYOUT_RECORD");
    if (dir.isEmpty())
        return r;
    QFile f(printing::layoutRecordFile(dir, pdf));
    if (!f.open(QIODevice::ReadOnly))
        return r;
    // Written after the PDF: a record older than the file is not its own.
    if (QFileInfo(f).lastModified() < QFileInfo(pdf).lastModified())
        return r;
    QTextStream in(&f);
    while (!in.atEnd()) {
        const QStringList v = in.readLine().split(QLatin1Char(' '));
        if (v.value(0) == QLatin1String("area") && v.size() == 5) {
            r.found = true;
            r.area = QRectF(QPointF(v[1].toDouble(), v[2].toDouble()), QPointF(v[3].toDouble(), v[4].toDouble()));
        } else if ((v.value(0) == QLatin1String("cell") || v.value(0) == QLatin1String("rule")) && v.size() == 6) {
            PdfWord c;
            c.page = v[1].toInt();
            c.box = QRectF(QPointF(v[2].toDouble(), v[3].toDouble()), QPointF(v[4].toDouble(), v[5].toDouble()));
            (v[0] == QLatin1String("cell") ? r.cells : r.rules) << c;
        }
    }
    return r;
}

} // namespace

QList<PdfPage> pdfWords(const QString &pdf, QString *error)
{
    QList<PdfPage> pages;
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (tool.isEmpty()) {
        if (error)
            *error = QStringLiteral("pdftotext is not installed");
        return pages;
    }
    QProcess p;
    p.start(tool, {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    p.waitForFinished(120000);
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        if (error)
            *error = QStringLiteral("pdftotext could not read %1: %2")
                         .arg(pdf, QString::fromUtf8(p.readAllStandardError()).trimmed());
        return pages;
    }
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    static const QRegularExpression item(
        QStringLiteral("<page width=\"([\\d.]+)\" height=\"([\\d.]+)\">|"
                       "<word xMin=\"([-\\d.]+)\" yMin=\"([-\\d.]+)\" xMax=\"([-\\d.]+)\" yMax=\"([-\\d.]+)\">(.*?)</word>"));
    for (auto it = item.globalMatch(out); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (!m.captured(1).isEmpty()) {
            pages.append({QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()), {}});
            continue;
        }
        if (pages.isEmpty())
            continue;
        PdfWord w;
        w.page = int(pages.size());
        w.box = QRectF(QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()),
                       QPointF(m.captured(5).toDouble(), m.captured(6).toDouble()));
        w.text = unescape(m.captured(7));
        pages.last().words.append(w);
    }
    if (pages.isEmpty() && error)
        *error = QStringLiteral("%1 has no pages").arg(pdf);
    return pages;
}

QStringList pdfLayoutFaults(const QString &pdf, const LayoutCheck &check)
{
    QString why;
    const QList<PdfPage> pages = pdfWords(pdf, &why);
    if (pages.isEmpty())
        return {why};
    QStringList faults;
    const double tol = check.tolerance;
    // The program's own record of the file: its printable margins and the
    // cells of its tables.
    const RecordedLayout layout = recordedLayout(pdf);
    for (int n = 0; n < pages.size(); ++n) {
        const PdfPage &page = pages.at(n);
        const QRectF area = !check.area.isEmpty() ? check.area
                            : layout.found        ? layout.area
                                                  : QRectF(QPointF(0, 0), page.size);
        const QString outside = !check.area.isEmpty() ? QStringLiteral(" lies outside the card")
                                : layout.found        ? QStringLiteral(" lies outside the printable margins")
                                                      : QStringLiteral(" lies outside the page");
        const QString where = QStringLiteral("page %1: ").arg(n + 1);
        for (const PdfWord &w : page.words) {
            if (w.box.left() < area.left() - tol || w.box.right() > area.right() + tol
                || w.box.top() < area.top() - tol || w.box.bottom() > area.bottom() + tol)
                faults << where + describe(w) + outside;
        }
        // Each word that starts in a table cell ends inside it: a text that
        // runs into the next column (and so into its neighbour's word) or past
        // the table's right edge is a fault even where no box overlaps.
        for (const PdfWord &c : layout.cells) {
            if (c.page != n + 1)
                continue;
            for (const PdfWord &w : page.words) {
                const double down = qMin(w.box.bottom(), c.box.bottom()) - qMax(w.box.top(), c.box.top());
                if (down <= c.box.height() / 2 || w.box.left() < c.box.left() - tol || w.box.left() >= c.box.right() - tol)
                    continue;
                if (w.box.right() > c.box.right() + tol) {
                    const QString fault = where + describe(w)
                                          + QStringLiteral(" runs out of its column (%1 - %2)")
                                                .arg(c.box.left(), 0, 'f', 1)
                                                .arg(c.box.right(), 0, 'f', 1);
                    if (!faults.contains(fault))
                        faults << fault;
                }
            }
        }
        // A rule drawn through a word (not just under or over it).
        for (const PdfWord &rl : layout.rules) {
            if (rl.page != n + 1)
                continue;
            for (const PdfWord &w : page.words) {
                const double margin = w.box.height() / 4;
                const double across = qMin(w.box.right(), rl.box.right()) - qMax(w.box.left(), rl.box.left());
                if (across > tol && rl.box.top() > w.box.top() + margin && rl.box.top() < w.box.bottom() - margin)
                    faults << where + describe(w) + QStringLiteral(" is crossed by a rule at %1").arg(rl.box.top(), 0, 'f', 1);
            }
        }
        // Sorted by their left edge, each word is compared with those that
        // start before it ends.
        QList<PdfWord> words = page.words;
        std::sort(words.begin(), words.end(),
                  [](const PdfWord &a, const PdfWord &b) { return a.box.left() < b.box.left(); });
        for (int i = 0; i < words.size(); ++i) {
            const QRectF a = words.at(i).box;
            for (int j = i + 1; j < words.size() && words.at(j).box.left() < a.right() - tol; ++j) {
                const QRectF b = words.at(j).box;
                const double across = qMin(a.right(), b.right()) - qMax(a.left(), b.left());
                const double down = qMin(a.bottom(), b.bottom()) - qMax(a.top(), b.top());
                if (across > tol && down > tol)
                    faults << where + describe(words.at(i)) + QStringLiteral(" overlaps ") + describe(words.at(j));
            }
        }
    }
    return faults;
}

QRectF cardOnPdfPage(double leftTwips, double topTwips, double widthTwips, double heightTwips, bool landscape)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    const QPageLayout layout = printer.pageLayout();
    const QRectF paint = layout.paintRectPoints();
    const QRectF full = layout.fullRectPoints();
    const QPointF origin = paint.topLeft() + QPointF(leftTwips / 20.0, topTwips / 20.0);
    const double height = heightTwips > 0 ? heightTwips / 20.0 : full.bottom() - origin.y();
    return QRectF(origin, QSizeF(widthTwips / 20.0, height));
}

QString pdfWordText(const QString &pdf)
{
    QStringList all;
    for (const PdfPage &p : pdfWords(pdf))
        for (const PdfWord &w : p.words)
            all << w.text;
    return all.join(QLatin1Char(' '));
}

} // namespace velmor::test
