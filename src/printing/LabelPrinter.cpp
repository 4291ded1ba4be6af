#include "printing/LabelPrinter.h"

#include "core/Prompt.h"
#include "core/Scanner.h"

#include <QSerialPort>
#include <cmath>

namespace velmor::printing {

namespace {

constexpr char STX = 2;
constexpr char CR = 13;

QByteArray dataOf(const QString &text)
{
    QByteArray b = text.toLatin1();
    for (char &c : b)
        if (static_cast<unsigned char>(c) < 32 || c == 127)
            c = ' ';
    return b;
}

QByteArray column(int value) { return QByteArray::number(value).rightJustified(4, '0'); }

} // namespace

QByteArray dumbellStream(int firstColumn, int secondColumn, const LabelTexts &t, bool presentDistance)
{
    QByteArray s;
    auto line = [&s](const QByteArray &l) {
        s += l;
        s += CR;
    };
    if (presentDistance)
        line(QByteArray(1, STX) + "Kf" + "0100");
    line(QByteArray(1, STX) + "L");
    line(QByteArray(1, STX) + "m");
    line(QByteArray(1, STX) + "O0559");
    line("D11");
    line("PA");
    line("SA");
    line("H30");
    struct Record {
        const char *font;
        const char *size;
        const char *row;
        bool second;
    };
    static const Record records[7] = {
        {"o", "030", "0060", false}, {"9", "001", "0020", false}, {"9", "001", "0000", false},
        {"9", "001", "0060", true},  {"9", "001", "0040", true},  {"9", "001", "0020", true},
        {"9", "001", "0000", true},
    };
    for (int i = 0; i < 7; ++i) {
        const Record &r = records[i];
        line(QByteArray("1") + r.font + "1" + "1" + r.size + r.row + column(r.second ? secondColumn : firstColumn)
             + dataOf(t[i]));
    }
    line("E");
    return s;
}

QString labelPortName(const QString &setting) { return scannerPortName(setting); }

LabelResult PrintDumbellModule(Prompt &prompt, const QString &portSetting, double firstColumn, double secondColumn,
                               const LabelTexts &texts, bool presentDistance)
{
    LabelResult r;
    const int first = int(std::lround(firstColumn));
    const int second = int(std::lround(secondColumn));
    if (first < 0 || first > 9999 || second < 0 || second > 9999) {
        r.error = QStringLiteral("The label offsets must be whole numbers from 0 to 9999.\n"
                                 "Please use the Configuration Screen to correct them.");
        prompt.inform(r.error, QStringLiteral("Label printer"), Icon::Critical);
        return r;
    }
    const QByteArray stream = dumbellStream(first, second, texts, presentDistance);

    QSerialPort port;
    port.setPortName(labelPortName(portSetting));
    port.setBaudRate(QSerialPort::Baud9600);
    port.setParity(QSerialPort::NoParity);
    port.setDataBits(QSerialPort::Data8);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    if (port.portName().isEmpty() || !port.open(QIODevice::WriteOnly)) {
        r.error = QStringLiteral("There was a problem opening the Printer Port.\n"
                                 "Please use the Configuration Screen for trouble shooting.");
        prompt.inform(r.error, QStringLiteral("Error opening Printer Port"), Icon::Critical);
        return r;
    }
    // 960 bytes a second: a label of a few hundred bytes takes well under
    // a second; allow generously before calling the port stuck.
    qint64 written = port.write(stream);
    bool ok = written == stream.size();
    while (ok && port.bytesToWrite() > 0)
        ok = port.waitForBytesWritten(5000);
    port.close();
    if (!ok) {
        r.error = QStringLiteral("The label could not be sent to the Printer Port %1. Nothing was printed.\n"
                                 "Please use the Configuration Screen for trouble shooting.")
                      .arg(labelPortName(portSetting));
        prompt.inform(r.error, QStringLiteral("Error writing to Printer Port"), Icon::Critical);
        return r;
    }
    r.printed = true;
    return r;
}

LabelTexts stoneLabelTexts(qint64 stoneId, const QString &sku, const QString &weight, const QString &clarity,
                           const QString &colour, const QString &code, double listPrice, double sellOffRap)
{
    LabelTexts t;
    t[0] = QString::number(stoneId) + QStringLiteral("01");
    t[1] = sku + QLatin1Char('|') + weight + QLatin1Char(' ') + clarity + QLatin1Char(' ') + colour;
    // A stone without a list price gets none on its label (never "0000 Rap").
    t[2] = listPrice > 0 ? code + QLatin1Char('|')
                               + QString::number(std::llround(listPrice)).rightJustified(4, QLatin1Char('0'))
                               + QStringLiteral(" Rap")
                         : code;
    t[3] = QStringLiteral("off  RAP %") + QString::number(sellOffRap, 'f', 2);
    return t;
}

LabelTexts sampleLabelTexts(const QString &contact1, const QString &contact2)
{
    return {QStringLiteral("1234567890"), QStringLiteral("SKU"), QStringLiteral("$1234.56"), contact1, contact2,
            QStringLiteral("Software"), QStringLiteral("Velmor")};
}

} // namespace velmor::printing
