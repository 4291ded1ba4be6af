#pragma once
// The page surface every printed document is drawn on.  Coordinates are
// twips (1440 to the inch) from the top left corner of the printable area;
// the surface keeps a current position, font, text colour, line width and
// orientation, and turns each operation into QPainter calls on the device.
//
// Position rules the drawing procedures rely on:
//   - printLine draws its texts one after the other from (x, y), top at y,
//     then sets x to 0 and moves y down by one line height of the current
//     font (with no text only y moves);
//   - newPage ends the page; x and y return to 0, the font stays.
// Line widths are device pixels of a 600 dpi printer, scaled to the
// resolution of the device actually drawn on.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

class QPainter;
class QPrinter;

namespace velmor::printing {

constexpr double kTwipsPerInch = 1440.0;
// The resolution the line widths of the documents are meant for.
constexpr double kLineWidthDpi = 600.0;

// The edges of table columns between `left` and `right` (twips), measured
// from the widest text of each column (`needed`) plus `gap`: spare room is
// shared out evenly; missing room is taken from the `shrinkable` columns
// (texts the caller shortens with fitted()), never from the others.
QList<double> columnEdges(const QList<double> &needed, double left, double right, const QList<int> &shrinkable,
                          double gap = 100);

class PrintSurface {
public:
    // Draws on `printer`, which the caller owns and has set up (printer name
    // or PDF file).  The painter is started with the first drawing, so the
    // orientation may be set before it.
    explicit PrintSurface(QPrinter *printer);
    ~PrintSurface();
    PrintSurface(const PrintSurface &) = delete;
    PrintSurface &operator=(const PrintSurface &) = delete;

    // The current position.
    double CurrentX = 0;
    double CurrentY = 0;
    void setPosition(double x, double y)
    {
        CurrentX = x;
        CurrentY = y;
    }

    void printLine(const QStringList &texts = {});
    void printLine(const QString &text) { printLine(QStringList{text}); }
    // Width and height of a text in the current font, in twips.
    double textWidth(const QString &text) const;
    double textHeight() const;
    // The text as far as it fits `width` twips in the current font, ending in
    // "..." when it had to be shortened.
    QString fitted(const QString &text, double width) const;
    // The text in lines no wider than `width` twips in the current font:
    // broken at blanks and line breaks, a word longer than a line cut; an
    // empty paragraph gives an empty line when `emptyLines` is set.
    QStringList wrapped(const QString &text, double width, bool emptyLines = false) const;

    // Takes effect for the following text.
    void setFont(const QString &face, double points, bool bold = false, bool italic = false,
                 bool underline = false, const QColor &colour = Qt::black);
    void setFontSize(double points);
    void setFontBold(bool on);
    void setFontItalic(bool on);
    void setFontUnderline(bool on);
    void setTextColour(const QColor &c) { m_colour = c; }
    QFont font() const { return m_font; }

    void setLineWidth(int pixels) { m_lineWidth = pixels; }
    void drawLine(double x1, double y1, double x2, double y2, const QColor &colour = Qt::black);
    // A filled rectangle between the two corners, without an outline.
    void fillRect(double x1, double y1, double x2, double y2, const QColor &colour);
    // Scales the picture into the box.
    void drawPicture(const QImage &picture, double x, double y, double width, double height);

    // The columns of the table being drawn: the left edge of each column,
    // then the right edge of the last (twips).  A text that starts inside a
    // column is that column's cell and must end before the next column; the
    // cells drawn are kept (cells()) for the layout check of a written file.
    // Empty: no table (headings, summaries, free text).
    void setColumns(const QList<double> &edges) { m_columns = edges; }
    struct Cell {
        int page = 1;
        double left = 0, top = 0, right = 0, bottom = 0; // twips
    };
    const QList<Cell> &cells() const { return m_cells; }
    // The horizontal rules drawn (top and bottom equal), for the same check:
    // no rule runs through a text.
    const QList<Cell> &rules() const { return m_rules; }

    // 1 portrait, 2 landscape; before the first item of the document.
    void setOrientation(int orientation);
    int orientation() const;
    void newPage();
    // Finishes the document and hands it to the device; false when the
    // device could not take it (a file that cannot be written, a printer
    // that refused the job).  Nothing more may be drawn afterwards.
    bool endDocument();
    // Throws the document away (nothing reaches the printer or file).
    void abort();

    // Device pixels per inch, and the width of one device pixel in twips.
    double dpi() const;
    double twipsPerPixel() const { return kTwipsPerInch / dpi(); }
    // The printable area in twips.
    double pageWidth() const;
    double pageHeight() const;
    bool failed() const { return m_failed; }
    int pageCount() const { return m_pages; }

private:
    QPainter *painter();
    double dev(double twips) const { return twips * dpi() / kTwipsPerInch; }

    QPrinter *m_printer;
    std::unique_ptr<QPainter> m_painter;
    QFont m_font;
    QColor m_colour = Qt::black;
    int m_lineWidth = 1;
    bool m_started = false;
    bool m_ended = false;
    bool m_failed = false;
    int m_pages = 0;
    QList<double> m_columns;
    QList<Cell> m_cells;
    QList<Cell> m_rules;
};

} // namespace velmor::printing
