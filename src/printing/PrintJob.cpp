#include "printing/PrintJob.h"

#include "core/LocalFiles.h"
#include "core/Workstation.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QCryptographicHash>
#include <QTextStream>
#include <QPrinterInfo>
#include <QTemporaryFile>

namespace velmor::printing {

PrintTarget PrintTarget::fromEntry(const QString &entry, const QString &pdfPath)
{
    if (entry == kPdfEntry)
        return pdf(pdfPath);
    if (entry.isEmpty() || entry == kDefaultPrinterEntry)
        return defaultPrinter();
    return printer(entry);
}

bool TargetArgs::take(const QStringList &args, int &i)
{
    const QString &a = args.at(i);
    if (a != QLatin1String("--pdf") && a != QLatin1String("--printer"))
        return false;
    const QString value = i + 1 < args.size() ? args.at(++i) : QString();
    if (a == QLatin1String("--pdf")) {
        pdfGiven = true;
        pdf = value;
    } else {
        printerGiven = true;
        printer = value;
    }
    return true;
}

bool TargetArgs::complete() const
{
    return pdfGiven != printerGiven && (pdfGiven ? !pdf.isEmpty() : !printer.isEmpty());
}

QStringList installedPrinters() { return QPrinterInfo::availablePrinterNames(); }

QStringList printerChoices(bool withPdf)
{
    QStringList list{kDefaultPrinterEntry};
    list << installedPrinters();
    if (withPdf)
        list << kPdfEntry;
    return list;
}

int choiceIndex(const QStringList &choices, const QString &remembered)
{
    const int i = choices.indexOf(remembered);
    return i < 0 ? 0 : i;
}

QString readPrinterChoice(const Workstation &ws, const QString &file)
{
    return ws.readFirstLine(file);
}

bool writePrinterChoice(const Workstation &ws, const QString &file, const QString &entry)
{
    return ws.writeLines(file, {entry});
}

bool readFlagFile(const Workstation &ws, const QString &file)
{
    return ws.readFirstLine(file).trimmed().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

bool writeFlagFile(const Workstation &ws, const QString &file, bool on)
{
    return ws.writeLines(file, {on ? QStringLiteral("true") : QStringLiteral("false")});
}

bool preparePrinter(QPrinter &printer, const PrintTarget &target, QString *error)
{
    switch (target.kind) {
    case PrintTarget::PdfFile:
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(target.name);
        return true;
    case PrintTarget::DefaultPrinter: {
        const QPrinterInfo info = QPrinterInfo::defaultPrinter();
        if (info.isNull()) {
            if (error)
                *error = QStringLiteral("There is no default printer on this workstation. Nothing was printed.");
            return false;
        }
        printer.setPrinterName(info.printerName());
        return true;
    }
    case PrintTarget::Printer:
        // The installed printer whose device name is exactly the entry.
        for (const QPrinterInfo &info : QPrinterInfo::availablePrinters()) {
            if (info.printerName() == target.name) {
                printer.setPrinterName(info.printerName());
                if (printer.printerName() == target.name)
                    return true;
                if (error)
                    *error = QStringLiteral("The printer \"%1\" could not be selected. Nothing was printed.")
                                 .arg(target.name);
                return false;
            }
        }
        if (error)
            *error = QStringLiteral("The printer \"%1\" is not installed on this workstation. Nothing was printed.")
                         .arg(target.name);
        return false;
    }
    return false;
}

namespace {

// Where a written PDF's layout goes when VELMOR_LAYOUT_RECORD names a folder
// (the layout check of the tests sets it): the printable area, every table
// cell and every horizontal rule drawn, in points from the page's top left
// corner, so that the check measures the columns from the layout rather than
// from the words.  The layout of the file's last writing goes under the
// file's name (layoutRecordFile); every writing also leaves a copy of the file
// with its layout ("<pid>-<n>.pdf", "<pid>-<n>.layout", naming the file), so
// that each one can be checked, also when the file was written again or
// removed since.
void recordLayout(const PrintSurface &surface, const QPrinter &printer, const QString &pdf)
{
    const QString dir = qEnvironmentVariable("VELMOR_LAYOUT_RECORD");
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        return;
    QString text;
    {
        const QRectF area = printer.pageLayout().paintRectPoints();
        QTextStream out(&text);
        out << "area " << area.left() << ' ' << area.top() << ' ' << area.right() << ' ' << area.bottom() << '\n';
        for (const PrintSurface::Cell &c : surface.cells())
            out << "cell " << c.page << ' ' << area.left() + c.left / 20.0 << ' ' << area.top() + c.top / 20.0 << ' '
                << area.left() + c.right / 20.0 << ' ' << area.top() + c.bottom / 20.0 << '\n';
        for (const PrintSurface::Cell &c : surface.rules())
            out << "rule " << c.page << ' ' << area.left() + c.left / 20.0 << ' ' << area.top() + c.top / 20.0 << ' '
                << area.left() + c.right / 20.0 << ' ' << area.top() + c.bottom / 20.0 << '\n';
    }
    auto write = [](const QString &file, const QByteArray &bytes) {
        QFile f(file);
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
    };
    write(layoutRecordFile(dir, pdf), text.toUtf8());
    static QAtomicInt written;
    const QString copy = dir + QStringLiteral("/%1-%2").arg(QCoreApplication::applicationPid()).arg(written.fetchAndAddRelaxed(1));
    // The layout last: a record is complete once its layout is there.
    if (QFile::copy(pdf, copy + QStringLiteral(".pdf")))
        write(copy + QStringLiteral(".layout"),
              (text + QStringLiteral("file ") + QFileInfo(pdf).absoluteFilePath() + QLatin1Char('\n')).toUtf8());
}

// The PDF writer does not report a failed write (a full disk, a file-size
// limit): a written file is taken as whole only when it reads as one, its
// cross-reference table where its trailer says and the end marker last.
bool pdfIsWhole(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = f.size();
    if (size < 64 || f.read(5) != "%PDF-")
        return false;
    const qint64 tailSize = qMin<qint64>(size, 1024);
    f.seek(size - tailSize);
    const QByteArray tail = f.read(tailSize);
    const qsizetype start = tail.lastIndexOf("startxref");
    if (start < 0 || !tail.mid(start).trimmed().endsWith("%%EOF"))
        return false;
    bool ok = false;
    const qint64 xref = tail.mid(start + 9).trimmed().split('\n').value(0).trimmed().toLongLong(&ok);
    if (!ok || xref <= 0 || xref >= size - tailSize + start)
        return false;
    f.seek(xref);
    return f.read(4) == "xref";
}

} // namespace

QString layoutRecordFile(const QString &dir, const QString &pdf)
{
    const QByteArray key =
        QCryptographicHash::hash(QFileInfo(pdf).absoluteFilePath().toUtf8(), QCryptographicHash::Sha1).toHex();
    return dir + QLatin1Char('/') + QString::fromLatin1(key) + QStringLiteral(".layout");
}

PrintOutcome printDocument(const PrintTarget &target, const DrawDocument &draw, const QString &documentName)
{
    PrintOutcome out;
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(documentName);
    printer.setCreator(QStringLiteral("Velmor"));

    std::unique_ptr<QTemporaryFile> part;
    if (target.kind == PrintTarget::PdfFile) {
        const QFileInfo fi(target.name);
        const QString cannot = QStringLiteral("The file \"%1\" could not be written. Nothing was printed.")
                                   .arg(QDir::toNativeSeparators(target.name));
        if (target.name.trimmed().isEmpty() || fi.isDir()) {
            out.error = QStringLiteral("Please give the name of the PDF file. Nothing was printed.");
            return out;
        }
        part = std::make_unique<QTemporaryFile>(fi.absolutePath() + QStringLiteral("/.velmor-print-XXXXXX.pdf"));
        if (!part->open()) {
            out.error = cannot;
            return out;
        }
        part->close();
        if (!preparePrinter(printer, PrintTarget::pdf(part->fileName()), &out.error))
            return out;
        out.where = fi.absoluteFilePath();
    } else {
        if (!preparePrinter(printer, target, &out.error))
            return out;
        out.where = printer.printerName();
    }

    PrintSurface surface(&printer);
    QString refusal;
    if (!draw(surface, &refusal)) {
        surface.abort();
        out.error = refusal.isEmpty() ? QStringLiteral("The document could not be drawn. Nothing was printed.")
                                      : refusal;
        return out;
    }
    if (!surface.endDocument()) {
        out.error = target.kind == PrintTarget::PdfFile
            ? QStringLiteral("The file \"%1\" could not be written. Nothing was printed.")
                  .arg(QDir::toNativeSeparators(target.name))
            : QStringLiteral("The document could not be sent to the printer \"%1\".").arg(out.where);
        return out;
    }
    out.pages = surface.pageCount();

    if (part) {
        if (!pdfIsWhole(part->fileName())) {
            out.error = QStringLiteral("The file \"%1\" could not be written whole (is the disk full?). Nothing "
                                       "was printed.")
                            .arg(QDir::toNativeSeparators(target.name));
            out.pages = 0;
            return out;
        }
        // The finished file takes the chosen name, with the mode a file made
        // anew gets on this account (its umask), or the one it had.
        const QString final = out.where;
        const QFileDevice::Permissions mode =
            QFileInfo::exists(final) ? QFile::permissions(final) : files::newFilePermissions();
        if (QFileInfo::exists(final) && !QFile::remove(final)) {
            out.error = QStringLiteral("The file \"%1\" could not be replaced. Nothing was printed.")
                            .arg(QDir::toNativeSeparators(final));
            return out;
        }
        if (!QFile::rename(part->fileName(), final)) {
            out.error = QStringLiteral("The file \"%1\" could not be written. Nothing was printed.")
                            .arg(QDir::toNativeSeparators(final));
            return out;
        }
        part->setAutoRemove(false);
        QFile::setPermissions(final, mode);
    }
    if (part)
        recordLayout(surface, printer, out.where);
    out.ok = true;
    return out;
}

} // namespace velmor::printing
