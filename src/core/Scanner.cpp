#include "core/Scanner.h"

#include <QRegularExpression>
#include <QSerialPort>
#include <QTimer>

namespace velmor {

QString scannerPortName(const QString &setting)
{
    const QString s = setting.trimmed();
    if (s.isEmpty())
        return {};
    bool isNumber = false;
    const int n = s.toInt(&isNumber);
    if (isNumber) {
        if (n <= 0)
            return {};
#ifdef Q_OS_WIN
        return QStringLiteral("COM%1").arg(n);
#else
        return QStringLiteral("/dev/ttyS%1").arg(n - 1);
#endif
    }
    return s;
}

ScanDispatch dispatchScan(const QString &currentScreen, const QString &data)
{
    ScanDispatch d;
    const QString code = data.trimmed();
    if (code.size() < 3)
        return d;
    d.type = code.right(2);
    const QString number = code.left(code.size() - 2);
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    if (!digits.match(number).hasMatch())
        return d;
    bool ok = false;
    d.number = number.toInt(&ok);
    if (!ok)
        return d;
    if (d.type == QLatin1String("09"))
        d.target = ScanTarget::Customer;
    else if (currentScreen == QLatin1String("frmDiamondDetail"))
        d.target = ScanTarget::Stone;
    else
        d.target = ScanTarget::Other;
    return d;
}

ScannerPort::ScannerPort(QObject *parent)
    : QObject(parent), m_port(new QSerialPort(this)), m_check(new QTimer(this)), m_get(new QTimer(this))
{
    m_port->setObjectName(QStringLiteral("MSComm1"));
    m_check->setObjectName(QStringLiteral("tmrCheckScannerPort"));
    m_get->setObjectName(QStringLiteral("tmrGetScannerData"));
    m_check->setInterval(100);
    m_get->setInterval(150); // lets the scanner finish sending its code
    connect(m_check, &QTimer::timeout, this, &ScannerPort::checkPort);
    connect(m_get, &QTimer::timeout, this, &ScannerPort::getData);
}

ScannerPort::~ScannerPort() { close(); }

bool ScannerPort::open(const QString &setting, QString *error)
{
    close();
    const QString name = scannerPortName(setting);
    if (name.isEmpty()) {
        if (error)
            *error = QStringLiteral("no scanner port is set");
        return false;
    }
    m_port->setPortName(name);
    m_port->setBaudRate(QSerialPort::Baud9600);
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setStopBits(QSerialPort::OneStop);
    m_port->setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port->open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("the scanner port %1 could not be opened: %2").arg(name, m_port->errorString());
        return false;
    }
    m_device = name;
    m_check->start();
    return true;
}

void ScannerPort::close()
{
    m_check->stop();
    m_get->stop();
    if (m_port->isOpen())
        m_port->close();
}

bool ScannerPort::isOpen() const { return m_port->isOpen(); }

QString ScannerPort::portName() const { return m_port->isOpen() ? m_device : QString(); }

void ScannerPort::checkPort()
{
    if (m_port->isOpen() && m_port->bytesAvailable() > 0) {
        m_check->stop();
        m_get->start();
    }
}

void ScannerPort::getData()
{
    m_get->stop();
    if (m_port->isOpen()) {
        const QByteArray bytes = m_port->readAll();
        if (!bytes.isEmpty())
            emit received(QString::fromLatin1(bytes));
    }
    if (m_port->isOpen())
        m_check->start();
}

} // namespace velmor
