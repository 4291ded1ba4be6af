#pragma once
// Helpers of the printing tests: run the poppler and zbar tools on a PDF.
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

namespace velmor::test {

inline bool haveTool(const QString &name) { return !QStandardPaths::findExecutable(name).isEmpty(); }

inline QString run(const QString &program, const QStringList &args, int *exitCode = nullptr)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(120000);
    if (exitCode)
        *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromUtf8(p.readAllStandardOutput());
}

inline QString pdfText(const QString &pdf)
{
    return run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
}

// Rasterises every page (PNG at `dpi`) into `dir`; the files, in page order.
inline QStringList rasterise(const QString &pdf, const QString &dir, int dpi)
{
    run(QStringLiteral("pdftoppm"),
        {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-png"), QStringLiteral("-gray"), pdf,
         QDir(dir).filePath(QStringLiteral("page"))});
    QStringList files = QDir(dir).entryList({QStringLiteral("page*.png")}, QDir::Files, QDir::Name);
    for (QString &f : files)
        f = QDir(dir).filePath(f);
    return files;
}

// The Code 39 symbols zbar finds in a picture, as decoded texts.
inline QStringList decodeCode39(const QString &png)
{
    const QString out = run(QStringLiteral("zbarimg"), {QStringLiteral("--raw"), QStringLiteral("-q"),
                                                        QStringLiteral("-Sdisable"), QStringLiteral("-Scode39.enable"),
                                                        QStringLiteral("-Scode39.min-length=1"),
                                                        png});
    return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace velmor::test

#include <QElapsedTimer>
#include <QFile>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QFileInfo>
#include <QThread>
#include <QCoreApplication>

namespace velmor::test {

// A linked pair of pseudo-terminals (socat): what is written to one end is
// read at the other.
class PtyPair {
public:
    bool start()
    {
        const QString socat = QStandardPaths::findExecutable(QStringLiteral("socat"));
        if (socat.isEmpty())
            return false;
        a = m_dir.filePath(QStringLiteral("ttyA"));
        b = m_dir.filePath(QStringLiteral("ttyB"));
        m_socat.start(socat, {QStringLiteral("-d"), QStringLiteral("-d"),
                              QStringLiteral("pty,raw,echo=0,link=%1").arg(a),
                              QStringLiteral("pty,raw,echo=0,link=%1").arg(b)});
        if (!m_socat.waitForStarted())
            return false;
        QElapsedTimer t;
        t.start();
        while (!(QFile::exists(a) && QFile::exists(b)) && t.elapsed() < 5000)
            QThread::msleep(20);
        return QFile::exists(a) && QFile::exists(b);
    }
    ~PtyPair()
    {
        m_socat.terminate();
        m_socat.waitForFinished(2000);
    }
    QString a, b;

private:
    QTemporaryDir m_dir;
    QProcess m_socat;
};

// Reads from an open port until `size` bytes came or nothing more comes
// within the time.
inline QByteArray readPort(QSerialPort &port, int size, int ms = 5000)
{
    QByteArray got;
    QElapsedTimer t;
    t.start();
    while (got.size() < size && t.elapsed() < ms) {
        if (port.waitForReadyRead(100))
            got += port.readAll();
        QCoreApplication::processEvents();
    }
    got += port.readAll();
    return got;
}

inline bool openReader(QSerialPort &port, const QString &device)
{
    port.setPortName(device);
    port.setBaudRate(QSerialPort::Baud9600);
    return port.open(QIODevice::ReadOnly);
}

} // namespace velmor::test

#include <csignal>
#include <unistd.h>

namespace velmor::test {

// A print scheduler of our own (cupsd on a socket in a temporary folder)
// whose queues write PDF files.  Needs root (cupsd drops to lp for jobs).
class PrivateCups {
public:
    // Starts the scheduler; false with the reason when it cannot run here.
    bool start(QString *why)
    {
        const QString cupsd = QStandardPaths::findExecutable(QStringLiteral("cupsd"), {QStringLiteral("/usr/sbin")});
        const QString lpadmin = QStandardPaths::findExecutable(QStringLiteral("lpadmin"), {QStringLiteral("/usr/sbin")});
        if (cupsd.isEmpty() || lpadmin.isEmpty()) {
            *why = QStringLiteral("cupsd is not installed (scripts/test installs it)");
            return false;
        }
        if (::geteuid() != 0) {
            *why = QStringLiteral("the private print scheduler needs root");
            return false;
        }
        // The jobs run as lp and write their files here.
        QFile::setPermissions(m_dir.path(), QFileDevice::Permissions(0x7777));
        const QString d = m_dir.path();
        for (const char *sub : {"root", "spool", "cache", "state"})
            QDir(d).mkpath(QLatin1String(sub));
        socket = d + QStringLiteral("/cups.sock");
        writeConf(QStringLiteral("cups-files.conf"),
                  QStringLiteral("ServerRoot %1/root\nRequestRoot %1/spool\nCacheDir %1/cache\nStateDir %1/state\n"
                                 "ErrorLog %1/error_log\nAccessLog %1/access_log\nPageLog %1/page_log\n"
                                 "Printcap %1/printcap\nUser lp\nGroup lp\nSystemGroup root\nPeerCred on\n"
                                 "FileDevice Yes\n")
                      .arg(d));
        writeConf(QStringLiteral("cupsd.conf"),
                  QStringLiteral("Listen %1\nBrowsing Off\nBrowseLocalProtocols none\nDefaultShared No\n"
                                 "WebInterface No\nLogLevel warn\n<Location />\nOrder allow,deny\nAllow all\n"
                                 "</Location>\n")
                      .arg(socket));
        m_cupsd.start(cupsd, {QStringLiteral("-f"), QStringLiteral("-c"), d + QStringLiteral("/cupsd.conf"),
                              QStringLiteral("-s"), d + QStringLiteral("/cups-files.conf")});
        if (!m_cupsd.waitForStarted()) {
            *why = QStringLiteral("cupsd did not start");
            return false;
        }
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 10000) {
            if (run(QStringLiteral("lpstat"), {QStringLiteral("-h"), socket, QStringLiteral("-r")})
                    .contains(QStringLiteral("is running")))
                return true;
            QThread::msleep(100);
        }
        *why = QStringLiteral("cupsd did not answer");
        return false;
    }

    // A queue that writes each job into `file` as PDF.
    bool addQueue(const QString &name, const QString &file)
    {
        int rc = -1;
        run(QStandardPaths::findExecutable(QStringLiteral("lpadmin"), {QStringLiteral("/usr/sbin")}),
            {QStringLiteral("-h"), socket, QStringLiteral("-p"), name, QStringLiteral("-v"),
             QStringLiteral("file://") + file, QStringLiteral("-P"),
             QStringLiteral("/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd"), QStringLiteral("-o"),
             QStringLiteral("printer-error-policy=abort-job"), QStringLiteral("-E")},
            &rc);
        return rc == 0;
    }
    bool setDefault(const QString &name)
    {
        int rc = -1;
        run(QStandardPaths::findExecutable(QStringLiteral("lpadmin"), {QStringLiteral("/usr/sbin")}),
            {QStringLiteral("-h"), socket, QStringLiteral("-d"), name}, &rc);
        return rc == 0;
    }
    QString path(const QString &name) const { return m_dir.filePath(name); }

    ~PrivateCups()
    {
        if (m_cupsd.state() != QProcess::NotRunning) {
            ::kill(pid_t(m_cupsd.processId()), SIGTERM);
            m_cupsd.waitForFinished(5000);
        }
    }

    QString socket;

private:
    void writeConf(const QString &name, const QString &text)
    {
        QFile f(m_dir.filePath(name));
        if (f.open(QIODevice::WriteOnly))
            f.write(text.toUtf8());
    }
    QTemporaryDir m_dir;
    QProcess m_cupsd;
};

// Waits until a file exists and has stopped growing.
inline bool waitForFile(const QString &path, int ms = 30000)
{
    QElapsedTimer t;
    t.start();
    qint64 last = -1;
    while (t.elapsed() < ms) {
        const qint64 size = QFileInfo(path).size();
        if (QFileInfo::exists(path) && size > 0 && size == last)
            return true;
        last = QFileInfo::exists(path) ? size : -1;
        QThread::msleep(300);
    }
    return false;
}

} // namespace velmor::test
