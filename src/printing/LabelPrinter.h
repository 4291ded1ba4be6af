#pragma once
// The thermal label printer on a serial port: the dumbbell-shaped jewellery
// label as a Datamax DPL command stream, sent at 9600,N,8,1.
#include <QByteArray>
#include <QString>
#include <array>

namespace velmor {
class Prompt;
}

namespace velmor::printing {

// The seven texts of a label: t1 is the bar code, t2 to t7 printer-font lines.
using LabelTexts = std::array<QString, 7>;

// The command stream of one label, every line ended by a carriage return.
// The columns are the label's two halves (dots from the left edge).  With
// the present-distance flag the stream begins with the "Kf" line.
// Control characters in the texts become blanks (they would end the record).
QByteArray dumbellStream(int firstColumn, int secondColumn, const LabelTexts &texts, bool presentDistance);

// The device of a port setting: a number n is COMn on Windows and
// /dev/ttyS(n-1) elsewhere, anything else a device path; "0" or empty is none.
QString labelPortName(const QString &setting);

struct LabelResult {
    bool printed = false;
    QString error; // shown to the user already
};

// PrintDumbellModule: opens the port, sends the label, closes the port.  A
// port that cannot be opened gives "There was a problem opening the Printer
// Port." and prints nothing; a port that does not take the whole label is
// reported too, never as printed.
LabelResult PrintDumbellModule(Prompt &prompt, const QString &portSetting, double firstColumn, double secondColumn,
                               const LabelTexts &texts, bool presentDistance);

// The stone label: t1 = id + "01"; t2 = SKU|weight clarity colour; t3 =
// code|list price "0000" Rap; t4 = "off  RAP %" + discount "0.00".
LabelTexts stoneLabelTexts(qint64 stoneId, const QString &sku, const QString &weight, const QString &clarity,
                           const QString &colour, const QString &code, double listPrice, double sellOffRap);

// The sample label of the label-printer settings screen.
LabelTexts sampleLabelTexts(const QString &contact1, const QString &contact2);

} // namespace velmor::printing
