#include "printing/DiamondPaper.h"

#include "printing/Barcode39.h"
#include "printing/PrintSurface.h"

#include <QLocale>
#include <algorithm>

namespace velmor::printing {

namespace {

const QString kArial = QStringLiteral("Arial");
constexpr double kBarcodeHeight = 420;
constexpr double kLowerPart = 1850; // the barcode never starts higher on the card
constexpr double kPictureWidth = 1150; // the room of the stone's picture on the standard card

QString noSpaces(QString s) { return s.remove(QLatin1Char(' ')); }

// Prints `text` at the current row from x, wrapping at the card's right edge;
// the row ends after it.
void printWrapped(PrintSurface &s, const QString &text, double left, double width)
{
    for (const QString &line : s.wrapped(text, width)) {
        s.CurrentX = left;
        s.printLine(line);
    }
}

// Items side by side on rows, each after the previous one as far as it fits
// the card; the row ends after the last.
class Flow {
public:
    Flow(PrintSurface &s, double left, double width) : m_s(s), m_left(left), m_right(left + width), m_x(left)
    {
        m_y = s.CurrentY;
    }
    void add(const QString &given, double spacing)
    {
        // An item wider than the card on its own is shortened to the card.
        const QString text = m_s.fitted(given, m_right - m_left);
        const double w = m_s.textWidth(text);
        if (m_x > m_left && m_x + spacing + w > m_right) {
            m_y += m_s.textHeight();
            m_x = m_left;
        } else if (m_x > m_left) {
            m_x += spacing;
        }
        m_s.setPosition(m_x, m_y);
        m_s.printLine(text);
        m_x += w;
        m_used = true;
    }
    void end()
    {
        m_s.setPosition(0, m_used ? m_y + m_s.textHeight() : m_y);
    }

private:
    PrintSurface &m_s;
    double m_left, m_right, m_x, m_y = 0;
    bool m_used = false;
};

// Sets the font size from `points` down in steps of 0.25 pt until the text
// fits the card's width (not below 4 pt).
void shrinkToFit(PrintSurface &s, const QString &text, double points, double width)
{
    s.setFontSize(points);
    while (points > 4 && s.textWidth(text) > width) {
        points -= 0.25;
        s.setFontSize(points);
    }
}

// The card is the one column of the paper: every text stays on it.
void opening(PrintSurface &s, const DiamondPaper &p, bool flip, double width)
{
    s.setOrientation(flip ? 1 : 2);
    s.setColumns({p.left, p.left + width});
    s.setFont(kArial, 8, false, false);
    s.setPosition(p.left, p.top);
    s.setFont(kArial, 11.5, true, true);
    shrinkToFit(s, p.heading, 11.5, width);
    s.CurrentX = p.left;
    s.printLine(s.fitted(p.heading, width));
}

QString gradingLine(const DiamondPaper &p)
{
    QStringList parts{format00(p.weight) + QStringLiteral(" ct")};
    for (const QString &v : {p.colour, p.clarity, p.cut})
        parts << noSpaces(v);
    return parts.join(QStringLiteral("  "));
}

void rule(PrintSurface &s, const DiamondPaper &p, double width)
{
    const double y = s.CurrentY + 20;
    s.setLineWidth(3);
    s.drawLine(p.left, y, p.left + width, y);
    s.setPosition(0, y + 40);
}

bool barcode(PrintSurface &s, const DiamondPaper &p, double width, QString *error)
{
    const double top = std::max(s.CurrentY + 60, p.top + kLowerPart);
    const double barWidth = width - 200;
    if (!GenerateBarCodeStringModule(paperBarcodeText(p.id), s, p.left, top, barWidth, top + kBarcodeHeight, error))
        return false;
    s.setFont(kArial, 4.5, false, false);
    const QString number = paperNumberText(p.id);
    s.setPosition(p.left + (barWidth - s.textWidth(number)) / 2, top + kBarcodeHeight + 20);
    s.printLine(number);
    return true;
}

QString dateText(const QDate &d) { return QLocale(QLocale::English).toString(d, QStringLiteral("MMM dd, yyyy")); }

bool checkBarcode(PrintSurface &s, const DiamondPaper &p, double width, QString *error)
{
    return code39Readable(paperBarcodeText(p.id), width - 200, s.twipsPerPixel(), error);
}

} // namespace

QString paperBarcodeText(qint64 id) { return QString::number(id) + QStringLiteral("01"); }
QString paperNumberText(qint64 id) { return QString::number(id) + QStringLiteral("-01"); }

QString format00(const QString &number)
{
    bool ok = false;
    const double v = number.trimmed().toDouble(&ok);
    return ok ? QString::number(v, 'f', 2) : number;
}

bool PrintDiamondPaperModule(PrintSurface &s, const DiamondPaper &p, bool flip, QString *error)
{
    double W = kPaperWidth;
    if (!checkBarcode(s, p, W, error))
        return false;
    opening(s, p, flip, W);

    s.setFontItalic(false);
    const QString grading = gradingLine(p);
    shrinkToFit(s, grading, 9.5, W);
    s.CurrentX = p.left;
    s.printLine(s.fitted(grading, W));

    rule(s, p, W);
    s.setFontSize(7);
    // The picture takes the right of the card from under the rule down to
    // the barcode; the lines beside it wrap within what is left.
    if (!p.picture.isNull()) {
        const double top = s.CurrentY;
        const double bottom = p.top + kLowerPart - 80;
        const double side = std::min(kPictureWidth, bottom - top);
        if (side > 300) {
            double w = side, h = side * p.picture.height() / std::max(1, p.picture.width());
            if (h > side) {
                w = side * p.picture.width() / std::max(1, p.picture.height());
                h = side;
            }
            s.drawPicture(p.picture, p.left + W - w, top, w, h);
            W -= kPictureWidth + 100;
            // The texts beside the picture stay clear of it.
            s.setColumns({p.left, p.left + W});
        }
    }

    s.setFontBold(true);
    Flow cert(s, p.left, W);
    cert.add(QStringLiteral("# ") + p.certificate, 0);
    s.setFontBold(false);
    if (!p.measurements.isEmpty())
        cert.add(QStringLiteral("Dim.: ") + p.measurements, 120);
    if (!p.girdle.isEmpty())
        cert.add(QStringLiteral("Gir.: ") + p.girdle, 120);
    if (!p.fluorescence.isEmpty())
        cert.add(QStringLiteral("Fluor.: ") + p.fluorescence, 120);
    cert.end();

    if (!p.comment.trimmed().isEmpty()) {
        s.setFontItalic(true);
        printWrapped(s, p.comment.simplified(), p.left, W);
        s.setFontItalic(false);
    }

    Flow finish(s, p.left, W);
    finish.add(QStringLiteral("Dep: ") + format00(p.depth), 0);
    finish.add(QStringLiteral("Tbl: ") + format00(p.table), 160);
    finish.add(QStringLiteral("Pol: ") + p.polish, 160);
    finish.add(QStringLiteral("Sym: ") + p.symmetry, 160);
    finish.end();

    if (p.listPriceShown) {
        Flow price(s, p.left, W);
        price.add(QStringLiteral("RLP: ") + p.listPrice, 0);
        if (p.listPriceDate.isValid())
            price.add(QStringLiteral("RLPD: ") + dateText(p.listPriceDate), 160);
        price.end();
    }

    s.setColumns({p.left, p.left + kPaperWidth});
    const bool drawn = barcode(s, p, kPaperWidth, error);
    s.setColumns({});
    return drawn;
}

bool PrintDiamondPaperQuillModule(PrintSurface &s, const DiamondPaper &p, bool flip, QString *error)
{
    const double W = kQuillPaperWidth;
    if (!checkBarcode(s, p, W, error))
        return false;
    opening(s, p, flip, W);

    s.setFontItalic(false);
    const QString grading = gradingLine(p);
    shrinkToFit(s, grading, 10, W);
    s.CurrentX = p.left;
    s.printLine(s.fitted(grading, W));

    rule(s, p, W);
    if (p.listPriceShown) {
        s.setFontSize(11);
        s.CurrentX = p.left;
        s.printLine(s.fitted(QStringLiteral("RLP: ") + p.listPrice, W));
    }

    s.setFontSize(7);
    if (p.listPriceShown && p.listPriceDate.isValid()) {
        s.CurrentX = p.left;
        s.printLine(QStringLiteral("RLPD: ") + dateText(p.listPriceDate));
    }
    auto line = [&](const QString &caption, const QString &value) {
        if (value.isEmpty())
            return;
        s.CurrentX = p.left;
        s.printLine(s.fitted(caption + value, W));
    };
    if (!p.certificate.isEmpty()) {
        s.setFontBold(true);
        line(QStringLiteral("# "), p.certificate);
        s.setFontBold(false);
    }
    s.setFontBold(false);
    line(QStringLiteral("Dim.: "), p.measurements);
    line(QStringLiteral("Pol.: "), p.polish);
    line(QStringLiteral("Sym.: "), p.symmetry);
    if (!p.comment.trimmed().isEmpty()) {
        s.setFontItalic(true);
        printWrapped(s, p.comment.simplified(), p.left, W);
        s.setFontItalic(false);
    }
    auto pair = [&](const QString &c1, const QString &v1, const QString &c2, const QString &v2) {
        Flow f(s, p.left, W);
        if (!v1.isEmpty())
            f.add(c1 + v1, 0);
        if (!v2.isEmpty())
            f.add(c2 + v2, 160);
        f.end();
    };
    pair(QStringLiteral("Cut: "), p.cut, QStringLiteral("Flo: "), p.fluorescence);
    pair(QStringLiteral("Dep: "), p.depth.isEmpty() ? QString() : format00(p.depth), QStringLiteral("Tab: "),
         p.table.isEmpty() ? QString() : format00(p.table));

    const bool drawn = barcode(s, p, W, error);
    s.setColumns({});
    return drawn;
}

} // namespace velmor::printing
