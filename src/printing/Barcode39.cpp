#include "printing/Barcode39.h"

#include "printing/PrintSurface.h"

namespace velmor::printing {

namespace {

struct Pattern {
    char c;
    const char *digits;
};

// The 44 characters of Code 39.
constexpr Pattern kPatterns[] = {
    {' ', "011000100"}, {'$', "010101000"}, {'%', "000101010"}, {'*', "010010100"}, {'+', "010001010"},
    {'-', "010000101"}, {'.', "110000100"}, {'/', "010100010"}, {'0', "000110100"}, {'1', "100100001"},
    {'2', "001100001"}, {'3', "101100000"}, {'4', "000110001"}, {'5', "100110000"}, {'6', "001110000"},
    {'7', "000100101"}, {'8', "100100100"}, {'9', "001100100"}, {'A', "100001001"}, {'B', "001001001"},
    {'C', "101001000"}, {'D', "000011001"}, {'E', "100011000"}, {'F', "001011000"}, {'G', "000001101"},
    {'H', "100001100"}, {'I', "001001100"}, {'J', "000011100"}, {'K', "100000011"}, {'L', "001000011"},
    {'M', "101000010"}, {'N', "000010011"}, {'O', "100010010"}, {'P', "001010010"}, {'Q', "000000111"},
    {'R', "100000110"}, {'S', "001000110"}, {'T', "000010110"}, {'U', "110000001"}, {'V', "011000001"},
    {'W', "111000000"}, {'X', "010010001"}, {'Y', "110010000"}, {'Z', "011010000"},
};

constexpr double kNarrow = 20, kWide = 55, kGap = 35, kPerCharacter = 320;

// Capitals of the basic Latin letters only: the symbol's width is reckoned
// on the length of the text, which must not change.
QString upper(const QString &text)
{
    QString s = text;
    for (QChar &c : s)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');
    return s;
}

double unitFor(const QString &text, double totalWidth)
{
    return totalWidth / ((text.size() + 2) * kPerCharacter);
}

} // namespace

QString MD_Barcode39Module(QChar c)
{
    if (c.unicode() > 127)
        return {};
    for (const Pattern &p : kPatterns)
        if (p.c == char(c.unicode()))
            return QString::fromLatin1(p.digits);
    return {};
}

Code39Layout code39Layout(const QString &text, double leftX, double totalWidth)
{
    Code39Layout l;
    l.encoded = QLatin1Char('*') + upper(text) + QLatin1Char('*');
    l.unit = unitFor(text, totalWidth);
    double x = leftX;
    for (const QChar c : l.encoded) {
        const QString pattern = MD_Barcode39Module(c);
        bool black = false;
        for (const QChar d : pattern) {
            black = !black; // every character starts with a bar
            double w = 0;
            if (d == QLatin1Char('1'))
                w = kWide * l.unit;
            else if (d == QLatin1Char('0'))
                w = kNarrow * l.unit;
            else
                continue;
            l.elements.append({x, w, black});
            x += w;
        }
        // The gap between characters is always a space, also after a
        // character that has no pattern.
        l.elements.append({x, kGap * l.unit, false});
        x += kGap * l.unit;
    }
    return l;
}

bool code39Readable(const QString &text, double totalWidth, double twipsPerPixel, QString *error)
{
    const double narrow = kNarrow * unitFor(text, totalWidth);
    if (narrow + 1e-9 >= twipsPerPixel)
        return true;
    if (error)
        *error = QStringLiteral("The barcode \"%1\" is too long for its space on this printer: its thinnest bars "
                                "would be narrower than the printer can draw, and no scanner could read it. "
                                "Nothing was printed.")
                     .arg(text);
    return false;
}

bool GenerateBarCodeStringModule(const QString &text, PrintSurface &surface, double leftX, double topY,
                                 double totalWidth, double bottomY, QString *error)
{
    if (!code39Readable(text, totalWidth, surface.twipsPerPixel(), error))
        return false;
    const Code39Layout l = code39Layout(text, leftX, totalWidth);
    for (const Code39Element &e : l.elements)
        surface.fillRect(e.x, topY, e.x + e.width, bottomY, e.black ? Qt::black : Qt::white);
    return true;
}

} // namespace velmor::printing
