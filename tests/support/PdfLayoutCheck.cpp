#include "PdfLayoutCheck.h"

#include "printing/PrintJob.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

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
// table cells, measured where they were drawn, and a copy of the file.  The
// process that made the folder checks, as it ends, every copy that no check
// of the test looked at (writtenPdfFaults) and fails when one has a fault.
void checkWrittenPdfsAtExit();

struct LayoutRecordDir {
    QTemporaryDir dir;
    bool own = false;
    LayoutRecordDir()
    {
        if (qEnvironmentVariableIsEmpty("VELMOR_LAYOUT_RECORD") && dir.isValid()) {
            qputenv("VELMOR_LAYOUT_RECORD", dir.path().toLocal8Bit());
            own = true;
            qAddPostRoutine(checkWrittenPdfsAtExit);
        }
    }
};
const LayoutRecordDir recordDir;

struct RecordedLayout {
    bool found = false;
    QRectF area; // the printable area, points
    QList<PdfWord> cells; // page and box of each table cell (no text)
    QList<PdfWord> rules; // page and line of each horizontal rule
    QString file; // the file written (the copies' records)
};

RecordedLayout readLayout(const QString &record)
{
    RecordedLayout r;
    QFile f(record);
    if (!f.open(QIODevice::ReadOnly))
        return r;
    QTextStream in(&f);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (line.startsWith(QLatin1String("file "))) {
            r.file = line.mid(5);
            continue;
        }
        const QStringList v = line.split(QLatin1Char(' '));
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

RecordedLayout recordedLayout(const QString &pdf)
{
    const QString dir = qEnvironmentVariable("VELMOR_LAYOUT_RECORD");
    if (dir.isEmpty())
        return {};
    const QString record = printing::layoutRecordFile(dir, pdf);
    // Written after the PDF: a record older than the file is not its own.
    if (!QFileInfo::exists(record) || QFileInfo(record).lastModified() < QFileInfo(pdf).lastModified())
        return {};
    return readLayout(record);
}

// The copies of written PDFs whose layout a check has read already (by the
// name of their record).
QSet<QString> &checkedCopies()
{
    static QSet<QString> names;
    return names;
}

// The records of copies not checked yet, oldest first.
QStringList uncheckedRecords()
{
    const QString dir = qEnvironmentVariable("VELMOR_LAYOUT_RECORD");
    if (dir.isEmpty())
        return {};
    static const QRegularExpression copy(QStringLiteral("^(\\d+)-(\\d+)\\.layout$"));
    QList<std::pair<std::pair<qint64, qint64>, QString>> found;
    for (const QString &name : QDir(dir).entryList({QStringLiteral("*.layout")}, QDir::Files)) {
        const QRegularExpressionMatch m = copy.match(name);
        if (m.hasMatch() && !checkedCopies().contains(name))
            found.append({{m.captured(1).toLongLong(), m.captured(2).toLongLong()}, name});
    }
    std::sort(found.begin(), found.end());
    QStringList out;
    for (const auto &f : found)
        out << QDir(dir).filePath(f.second);
    return out;
}

QByteArray contentOf(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A check of `pdf` counts for the copy of its writing that it read.
void markChecked(const QString &pdf)
{
    const QString path = QFileInfo(pdf).absoluteFilePath();
    QByteArray content;
    for (const QString &record : uncheckedRecords()) {
        if (readLayout(record).file != path)
            continue;
        if (content.isNull())
            content = contentOf(pdf);
        const QString copy = record.left(record.size() - 7) + QStringLiteral(".pdf");
        if (contentOf(copy) == content)
            checkedCopies().insert(QFileInfo(record).fileName());
    }
}

QStringList faultsOf(const QString &pdf, const RecordedLayout &layout, const LayoutCheck &check);

void checkWrittenPdfsAtExit()
{
    if (!recordDir.own || QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        return;
    const QStringList faults = writtenPdfFaults();
    if (faults.isEmpty())
        return;
    QTextStream out(stdout);
    out << "FAIL!  : PDFs written without a layout check have faults:\n";
    for (const QString &f : faults.mid(0, 40))
        out << "   " << f << '\n';
    out.flush();
    std::fflush(stdout);
    std::_Exit(1);
}

} // namespace

QStringList writtenPdfFaults()
{
    QStringList faults;
    for (const QString &record : uncheckedRecords()) {
        checkedCopies().insert(QFileInfo(record).fileName());
        const RecordedLayout layout = readLayout(record);
        const QString copy = record.left(record.size() - 7) + QStringLiteral(".pdf");
        for (const QString &f : faultsOf(copy, layout, {}))
            faults << layout.file + QStringLiteral(": ") + f;
    }
    return faults;
}

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
    // The program's own record of the file: its printable margins and the
    // cells of its tables.
    const QStringList faults = faultsOf(pdf, recordedLayout(pdf), check);
    markChecked(pdf);
    return faults;
}

namespace {

QStringList faultsOf(const QString &pdf, const RecordedLayout &layout, const LayoutCheck &check)
{
    QString why;
    const QList<PdfPage> pages = pdfWords(pdf, &why);
    if (pages.isEmpty())
        return {why};
    QStringList faults;
    const double tol = check.tolerance;
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

} // namespace

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
