#include "printing/PrintSurface.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <algorithm>

namespace velmor::printing {

QList<double> columnEdges(const QList<double> &needed, double left, double right, const QList<int> &shrinkable,
                          double gap)
{
    QList<double> widths;
    double total = 0;
    for (double n : needed) {
        widths << n + gap;
        total += n + gap;
    }
    const double room = right - left;
    if (!widths.isEmpty() && total <= room) {
        for (double &w : widths)
            w += (room - total) / widths.size();
    } else {
        double spare = 0; // what the shrinkable columns can give, down to a minimum each
        constexpr double least = 600;
        for (int i : shrinkable)
            if (i >= 0 && i < widths.size())
                spare += std::max(0.0, widths.at(i) - least);
        const double cut = std::min(total - room, spare);
        for (int i : shrinkable)
            if (i >= 0 && i < widths.size() && spare > 0)
                widths[i] -= cut * std::max(0.0, widths.at(i) - least) / spare;
    }
    QList<double> edges{left};
    for (double w : widths)
        edges << edges.last() + w;
    return edges;
}

PrintSurface::PrintSurface(QPrinter *printer) : m_printer(printer)
{
    m_font.setFamily(QStringLiteral("Arial"));
    m_font.setPointSizeF(8);
}

PrintSurface::~PrintSurface()
{
    if (m_painter && m_painter->isActive())
        m_painter->end();
}

QPainter *PrintSurface::painter()
{
    if (!m_started) {
        m_started = true;
        m_painter = std::make_unique<QPainter>();
        if (!m_painter->begin(m_printer))
            m_failed = true;
        else
            m_pages = 1;
    }
    if (m_failed || m_ended)
        return nullptr;
    return m_painter.get();
}

double PrintSurface::dpi() const { return m_printer->resolution(); }

double PrintSurface::pageWidth() const
{
    return m_printer->pageRect(QPrinter::Inch).width() * kTwipsPerInch;
}

double PrintSurface::pageHeight() const
{
    return m_printer->pageRect(QPrinter::Inch).height() * kTwipsPerInch;
}

void PrintSurface::printLine(const QStringList &texts)
{
    if (!texts.isEmpty()) {
        if (QPainter *p = painter()) {
            p->setFont(m_font);
            p->setPen(m_colour);
            const QFontMetricsF fm(m_font, m_printer);
            double x = CurrentX;
            for (const QString &t : texts) {
                p->drawText(QPointF(dev(x), dev(CurrentY) + fm.ascent()), t);
                // The cell of the column the text starts in (a twip of
                // slack for positions worked out from widths).
                for (int i = 0; i + 1 < m_columns.size(); ++i)
                    if (!t.trimmed().isEmpty() && x >= m_columns.at(i) - 1 && x < m_columns.at(i + 1) - 1) {
                        m_cells.append({m_pages, m_columns.at(i), CurrentY, m_columns.at(i + 1), CurrentY + textHeight()});
                        break;
                    }
                x += textWidth(t);
            }
        }
    }
    CurrentX = 0;
    CurrentY += textHeight();
}

double PrintSurface::textWidth(const QString &text) const
{
    const QFontMetricsF fm(m_font, m_printer);
    return fm.horizontalAdvance(text) * twipsPerPixel();
}

double PrintSurface::textHeight() const
{
    const QFontMetricsF fm(m_font, m_printer);
    return fm.height() * twipsPerPixel();
}

// Half a twip of slack when a text is measured against a width: a column's
// width worked out from its edges may come out a hair narrower than the
// widest text it was measured from.
constexpr double kSlack = 0.5;

QString PrintSurface::fitted(const QString &text, double width) const
{
    width += kSlack;
    if (textWidth(text) <= width)
        return text;
    const QString dots = QStringLiteral("...");
    int n = int(text.size());
    while (n > 0 && textWidth(text.left(n).trimmed() + dots) > width)
        --n;
    return n > 0 ? text.left(n).trimmed() + dots : QString();
}

QStringList PrintSurface::wrapped(const QString &text, double width, bool emptyLines) const
{
    width += kSlack;
    QStringList lines;
    for (const QString &paragraph : QString(text).remove(QLatin1Char('\r')).split(QLatin1Char('\n'))) {
        if (emptyLines && paragraph.trimmed().isEmpty()) {
            lines << QString();
            continue;
        }
        QString line;
        for (const QString &word : paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QString candidate = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
            if (textWidth(candidate) <= width || line.isEmpty()) {
                line = candidate;
            } else {
                lines << line;
                line = word;
            }
            // A word wider than the line (an e-mail address, a web address)
            // breaks after its last @ . - / _ that fits, in the line's later
            // half, else where the line is full.
            while (textWidth(line) > width && line.size() > 1) {
                int n = int(line.size()) - 1;
                while (n > 1 && textWidth(line.left(n)) > width)
                    --n;
                for (int k = n; k > n / 2; --k)
                    if (QStringView(u"@.-/_").contains(line.at(k - 1))) {
                        n = k;
                        break;
                    }
                lines << line.left(n);
                line = line.mid(n);
            }
        }
        if (!line.isEmpty())
            lines << line;
    }
    return lines;
}

void PrintSurface::setFont(const QString &face, double points, bool bold, bool italic, bool underline,
                           const QColor &colour)
{
    m_font.setFamily(face);
    m_font.setPointSizeF(points);
    m_font.setBold(bold);
    m_font.setItalic(italic);
    m_font.setUnderline(underline);
    m_colour = colour;
}

void PrintSurface::setFontSize(double points) { m_font.setPointSizeF(points); }
void PrintSurface::setFontBold(bool on) { m_font.setBold(on); }
void PrintSurface::setFontItalic(bool on) { m_font.setItalic(on); }
void PrintSurface::setFontUnderline(bool on) { m_font.setUnderline(on); }

void PrintSurface::drawLine(double x1, double y1, double x2, double y2, const QColor &colour)
{
    QPainter *p = painter();
    if (!p)
        return;
    QPen pen(colour);
    pen.setWidthF(std::max(1.0, m_lineWidth * dpi() / kLineWidthDpi));
    pen.setCapStyle(Qt::FlatCap);
    p->setPen(pen);
    p->drawLine(QPointF(dev(x1), dev(y1)), QPointF(dev(x2), dev(y2)));
    if (y1 == y2)
        m_rules.append({m_pages, std::min(x1, x2), y1, std::max(x1, x2), y1});
}

void PrintSurface::fillRect(double x1, double y1, double x2, double y2, const QColor &colour)
{
    QPainter *p = painter();
    if (!p)
        return;
    p->fillRect(QRectF(QPointF(dev(x1), dev(y1)), QPointF(dev(x2), dev(y2))).normalized(), colour);
}

void PrintSurface::drawPicture(const QImage &picture, double x, double y, double width, double height)
{
    QPainter *p = painter();
    if (!p || picture.isNull())
        return;
    p->drawImage(QRectF(dev(x), dev(y), dev(width), dev(height)), picture);
}

void PrintSurface::setOrientation(int orientation)
{
    // Only before the first item: the page is already laid out afterwards.
    if (m_started)
        return;
    m_printer->setPageOrientation(orientation == 2 ? QPageLayout::Landscape : QPageLayout::Portrait);
}

int PrintSurface::orientation() const
{
    return m_printer->pageLayout().orientation() == QPageLayout::Landscape ? 2 : 1;
}

void PrintSurface::newPage()
{
    if (painter()) {
        if (m_printer->newPage())
            ++m_pages;
        else
            m_failed = true;
    }
    CurrentX = 0;
    CurrentY = 0;
}

bool PrintSurface::endDocument()
{
    painter(); // an empty document is still one (blank) page
    if (m_ended)
        return !m_failed;
    m_ended = true;
    if (m_painter && m_painter->isActive() && !m_painter->end())
        m_failed = true;
    if (m_printer->printerState() == QPrinter::Error || m_printer->printerState() == QPrinter::Aborted)
        m_failed = true;
    return !m_failed;
}

void PrintSurface::abort()
{
    if (m_ended)
        return;
    m_ended = true;
    m_failed = true;
    if (m_painter && m_painter->isActive()) {
        m_printer->abort();
        m_painter->end();
    }
}

} // namespace velmor::printing
