#pragma once
// The stone paper: a small card for one stone with a heading, the grading in
// short labelled lines, the list price with its date and a Code 39 barcode of
// the stone number (id + "01") with "id-01" printed under it.  Two layouts:
// the standard card and the compact one (the "Quill" label option).
#include <QDate>
#include <QImage>
#include <QString>

namespace velmor::printing {

class PrintSurface;

// What the stone screen hands over, as texts.
struct DiamondPaper {
    QString heading;
    QString weight; // carats
    QString colour, clarity, cut;
    QString certificate;
    QString measurements; // the three dimensions joined by "x"
    QString girdle, fluorescence;
    QString comment;
    QString depth, table, polish, symmetry;
    QString listPrice;
    QDate listPriceDate;
    bool listPriceShown = true; // false: no "RLP:" and no "RLPD:" on the card
    qint64 id = 0;
    // The stone's main picture: the standard card prints it at its right,
    // beside the grading lines and above the barcode (the compact card has
    // no room for it).  Null: none.
    QImage picture;
    // Position of the card on the page, in twips.
    double left = 0, top = 0;
};

// Card sizes (twips).
constexpr double kPaperWidth = 4320;       // 3 inches
constexpr double kQuillPaperWidth = 2880;  // 2 inches

// The text of the barcode and the number printed under it.
QString paperBarcodeText(qint64 id);
QString paperNumberText(qint64 id);

// Draw the card (orientation by the flip flag: landscape without it,
// portrait with it).  False, with the reason, when the barcode would be
// unreadable on this printer; then nothing should be printed.
bool PrintDiamondPaperModule(PrintSurface &s, const DiamondPaper &p, bool flip, QString *error = nullptr);
bool PrintDiamondPaperQuillModule(PrintSurface &s, const DiamondPaper &p, bool flip, QString *error = nullptr);

// "0.00" of a number text; a text that is not a number is kept as it is.
QString format00(const QString &number);

} // namespace velmor::printing
