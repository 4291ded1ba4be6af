#pragma once
// Code 39 drawn as filled rectangles on the page surface.  The symbol is
// "*" + the text in capitals + "*", filling exactly the width it is given:
// a unit u = width / ((n + 2) x 320), narrow elements 20 u, wide 55 u and a
// gap of 35 u after each character.  No quiet zone is drawn and no check
// character is added.  The text is encoded as given (a stone paper's
// id + "01" scans back as id + "01", which the scanner dispatch opens as
// that stone).
#include <QList>
#include <QString>

namespace velmor::printing {

class PrintSurface;

// The nine-digit pattern of a character (bar, space, bar, ... bar; "1" wide,
// "0" narrow); empty for a character that is not one of the 44 of Code 39.
QString MD_Barcode39Module(QChar c);

// One element of a drawn symbol, in the units of the surface.
struct Code39Element {
    double x = 0;
    double width = 0;
    bool black = false;
};

struct Code39Layout {
    QString encoded; // "*TEXT*"
    double unit = 0;
    QList<Code39Element> elements; // bars, spaces and gaps from left to right
};

// Where the symbol of `text` puts its elements between leftX and
// leftX + totalWidth.  Lower-case letters are drawn as capitals; a
// character without a pattern gets only its gap.
Code39Layout code39Layout(const QString &text, double leftX, double totalWidth);

// False, with the reason, when the narrow element of the symbol would be
// thinner than one device pixel (twipsPerPixel twips): no scanner could read it.
bool code39Readable(const QString &text, double totalWidth, double twipsPerPixel, QString *error = nullptr);

// Draws `text` as Code 39 between leftX and leftX + totalWidth and between
// topY and bottomY.  Refuses (draws nothing, returns false with the reason)
// when the symbol would be unreadable at the surface's resolution.
bool GenerateBarCodeStringModule(const QString &text, PrintSurface &surface, double leftX, double topY,
                                 double totalWidth, double bottomY, QString *error = nullptr);

} // namespace velmor::printing
