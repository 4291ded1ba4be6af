// Online: a large download through Velmor's HTTP client next to curl on the
// same local server (the floor), with the client's peak memory; and the
// certificate look-up from the request to the filled fields, the agent
// asking a local service that answers with a recorded grading.  Both run
// once, at the smallest size (they do not depend on the inventory).
#include "Scenarios.h"

#include "online/CertLookup.h"
#include "online/clsHTTP.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#ifndef VELMOR_BINARY
#define VELMOR_BINARY ""
#endif

namespace velmor::bench {

namespace {

const QByteArray kGrading = R"({"data":{"getReport":{"report_number":"5182736455","report_type":"Diamond Grading",
"results":{"__typename":"DiamondGradingReportResults","shape_and_cutting_style":"Round Brilliant",
"measurements":"6.45 - 6.48 x 3.99 mm","carat_weight":"1.01 carat","color_grade":"G","clarity_grade":"VS1",
"cut_grade":"Excellent","polish":"Excellent","symmetry":"Very Good","fluorescence":"None",
"proportions":{"depth_pct":"61.7","table_pct":"57","girdle":"Medium","culet":"None"}},"links":{"pdf":null}}}})";

// Serves, from a thread of its own, one large file at /big (with its length)
// and the recorded grading at /graphql, so that a client in the bench's
// thread and curl outside the process are served alike.
class LocalServer : public QThread {
public:
    explicit LocalServer(QString bigFile) : m_big(std::move(bigFile)) {}
    quint16 port() const { return m_port; }
    void startServing()
    {
        start();
        m_ready.acquire();
    }
    void stopServing()
    {
        quit();
        wait();
    }

protected:
    void run() override
    {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost, 0);
        m_port = server.serverPort();
        QObject::connect(&server, &QTcpServer::newConnection, &server, [&] {
            while (QTcpSocket *s = server.nextPendingConnection()) {
                auto *request = new QByteArray;
                auto *file = new QFile(m_big);
                QObject::connect(s, &QObject::destroyed, [request, file] {
                    delete request;
                    delete file;
                });
                auto feed = [s, file] {
                    while (file->isOpen() && s->bytesToWrite() < (1 << 20)) {
                        const QByteArray block = file->read(256 * 1024);
                        if (block.isEmpty()) {
                            file->close();
                            s->disconnectFromHost();
                            return;
                        }
                        s->write(block);
                    }
                };
                QObject::connect(s, &QTcpSocket::bytesWritten, s, feed);
                QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
                QObject::connect(s, &QTcpSocket::readyRead, s, [s, request, file, feed] {
                    *request += s->readAll();
                    const qsizetype end = request->indexOf("\r\n\r\n");
                    if (end < 0)
                        return;
                    if (request->startsWith("POST")) {
                        const qsizetype i = request->toLower().indexOf("content-length:");
                        const qint64 length = i < 0 ? 0 : request->mid(i + 15, request->indexOf('\r', i) - i - 15).trimmed().toLongLong();
                        if (request->size() - end - 4 < length)
                            return;
                        s->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: "
                                 + QByteArray::number(kGrading.size()) + "\r\n\r\n" + kGrading);
                        s->disconnectFromHost();
                        return;
                    }
                    request->clear();
                    if (!file->open(QIODevice::ReadOnly)) {
                        s->abort();
                        return;
                    }
                    s->write("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: "
                             + QByteArray::number(file->size()) + "\r\n\r\n");
                    feed();
                });
            }
        });
        m_ready.release();
        exec();
    }

private:
    QString m_big;
    quint16 m_port = 0;
    QSemaphore m_ready;
};

// The process's peak resident memory in kB, after clearing it when asked.
qint64 peakKb(bool reset)
{
    if (reset) {
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        if (clear.open(QIODevice::WriteOnly))
            clear.write("5");
    }
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return 0;
}

void download(const QString &url, const QString &to)
{
    online::clsHTTP h;
    h.Action = url;
    h.SaveAs = to;
    QEventLoop loop;
    int error = 0;
    QObject::connect(&h, &online::clsHTTP::Complete, &loop, &QEventLoop::quit);
    QObject::connect(&h, &online::clsHTTP::Error, &loop, [&](int code) {
        error = code;
        loop.quit();
    });
    h.Submit();
    loop.exec();
    if (error)
        throw db::DbError(QStringLiteral("the download through clsHTTP failed with error %1").arg(error));
}

} // namespace

void runOnlineScenarios(SizeEnv &env)
{
    if (env.size != env.bench.options().sizes.first())
        return;
    const QString downloadName = QStringLiteral("download through clsHTTP (vs curl)");
    const QString lookupName = QStringLiteral("certificate look-up to filled fields");
    const QString folder = env.folder + QStringLiteral("/online");
    QDir().mkpath(folder);

    // A 200 MB file (16 MB for the small smoke runs).
    const qint64 megabytes = env.size >= 1000 ? 200 : 16;
    const QString big = folder + QStringLiteral("/big.bin");
    {
        QFile f(big);
        if (!f.open(QIODevice::WriteOnly))
            throw db::DbError(QStringLiteral("Cannot write %1").arg(big));
        QByteArray block(1 << 20, '\0');
        for (int i = 0; i < block.size(); ++i)
            block[i] = char((i * 131) ^ (i >> 7));
        for (qint64 i = 0; i < megabytes; ++i)
            f.write(block);
    }
    LocalServer server(big);
    server.startServing();
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(server.port());
    const QString target = folder + QStringLiteral("/got.bin");
    auto size = [target] { return QList<double>{double(QFileInfo(target).size())}; };

    if (env.bench.wants(downloadName)) {
        QList<Road> roads;
        roads << Road{QStringLiteral("velmor"), [target] { QFile::remove(target); },
                      [base, target] {
                          const qint64 before = peakKb(true);
                          download(base + QStringLiteral("/big"), target);
                          const qint64 peak = peakKb(false);
                          static bool said = false;
                          if (!said) {
                              said = true;
                              qInfo("clsHTTP download: resident memory %lld kB before, peak %lld kB during",
                                    before, peak);
                          }
                      },
                      false, 1, size};
        if (QFileInfo::exists(QStringLiteral("/usr/bin/curl")))
            roads << Road{QStringLiteral("floor"), [target] { QFile::remove(target); },
                          [base, target] {
                              QProcess curl;
                              curl.start(QStringLiteral("/usr/bin/curl"),
                                         {QStringLiteral("-s"), QStringLiteral("-o"), target, base + QStringLiteral("/big")});
                              if (!curl.waitForFinished(600000) || curl.exitCode() != 0)
                                  throw db::DbError(QStringLiteral("curl failed"));
                          },
                          false, 1, size};
        else
            env.bench.notAvailable(downloadName, env.size, QStringLiteral("floor"), QStringLiteral("curl is not installed"));
        env.bench.measure(downloadName, env.size, roads);
        QFile::remove(target);
    }

    if (env.bench.wants(lookupName)) {
        const Workstation ws(folder, folder);
        const QString velmor = qEnvironmentVariable("VELMOR_BINARY", QStringLiteral(VELMOR_BINARY));
        const QString agent = QFileInfo(velmor).absolutePath() + QStringLiteral("/velmor-certfetch");
        ws.writeLines(QStringLiteral("online.ini"), {QStringLiteral("service=") + base + QStringLiteral("/graphql"),
                                                     QStringLiteral("key=BENCH"), QStringLiteral("agent=") + agent,
                                                     QStringLiteral("documents=") + folder});
        if (!QFileInfo(agent).isExecutable()) {
            env.bench.notAvailable(lookupName, env.size, QStringLiteral("velmor"), QStringLiteral("no agent at ") + agent);
        } else {
            QList<Road> roads;
            // The button: request file, the 100 ms pause, the agent, the answer read and matched.
            roads << Road{QStringLiteral("velmor"), {},
                          [ws] {
                              online::writeRequestFile(ws, {QString(), QStringLiteral("1.01"), QStringLiteral("5182736455")});
                              online::waitFor([] { return false; }, 100);
                              online::GiaLookup lookup(ws, online::OnlineSettings::fromWorkstation(ws));
                              const online::GiaLookup::Result r = lookup.fetch();
                              if (r.outcome != online::GiaLookup::Found
                                  || online::matchGradeEntry({QStringLiteral("40 - G")}, r.answer.value(QStringLiteral("COLOR"))) != 0)
                                  throw db::DbError(QStringLiteral("the look-up failed: ") + r.message);
                          }};
            // The floor: the agent alone.
            roads << Road{QStringLiteral("floor"), {},
                          [agent, folder] {
                              QProcess p;
                              p.start(agent, {folder});
                              if (!p.waitForFinished(60000) || p.exitCode() != 0)
                                  throw db::DbError(QStringLiteral("the agent failed"));
                          }};
            env.bench.measure(lookupName, env.size, roads);
        }
    }
    server.stopServing();
    QFile::remove(big);
}

} // namespace velmor::bench
