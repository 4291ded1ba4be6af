#pragma once
// The barcode scanner on a serial port (MSComm1 of the front screen) and
// the dispatch of a scanned code.  A code ends with two characters naming
// the record type; the characters before them are the record number.
#include <QObject>
#include <QString>

class QSerialPort;
class QTimer;

namespace velmor {

// The device of a port setting: a number n is COMn on Windows and
// /dev/ttyS(n-1) elsewhere; anything else is taken as a device path.
// "0" or empty means no port (empty result).
QString scannerPortName(const QString &setting);

enum class ScanTarget { None, Stone, Customer, Other };

struct ScanDispatch {
    ScanTarget target = ScanTarget::None;
    int number = 0;
    QString type;
};

// Where a scanned code goes: type "09" opens that customer; any other
// type loads the stone when the stone screen receives scans; otherwise it
// belongs to the store side (Other).  Blanks and line ends around the code
// are ignored; a code without a whole record number goes nowhere.
ScanDispatch dispatchScan(const QString &currentScreen, const QString &data);

// Polls the port with two timers: tmrCheckScannerPort watches the input
// buffer; when data waits it hands over to tmrGetScannerData, which takes
// everything received and switches back.  Runs on the UI thread.
class ScannerPort : public QObject {
    Q_OBJECT
public:
    explicit ScannerPort(QObject *parent = nullptr);
    ~ScannerPort() override;

    // Opens the port at 9600,N,8,1.  Returns false (with the reason) when
    // the setting names no port or the port cannot be opened.
    bool open(const QString &setting, QString *error = nullptr);
    void close();
    bool isOpen() const;
    QString portName() const; // the device opened (scannerPortName of the setting)

signals:
    void received(const QString &data);

private:
    void checkPort();
    void getData();

    QSerialPort *m_port;
    QString m_device;
    QTimer *m_check;
    QTimer *m_get;
};

} // namespace velmor
