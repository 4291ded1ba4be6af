// The HTTP client against servers on this machine: a plain one, one that
// closes without a length, one that never answers, and a Basic-auth proxy.
#include "LocalHttpServer.h"
#include "online/clsHTTP.h"
#include "online/frmMain.h"
#include "pricing/HttpFetch.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QFileInfo>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using namespace velmor;
using namespace velmor::online;
using namespace velmor::test;

namespace {

struct Outcome {
    bool complete = false;
    int error = 0;
    QString headers, file;
    int stateChanges = 0;
    QByteArray body() const
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

Outcome run(clsHTTP &h, int guardMs = 15000, const std::function<void()> &meanwhile = {})
{
    Outcome o;
    QEventLoop loop;
    QObject ctx;
    QObject::connect(&h, &clsHTTP::Complete, &ctx, [&](const QString &headers, const QString &file) {
        o.complete = true;
        o.headers = headers;
        o.file = file;
        loop.quit();
    });
    QObject::connect(&h, &clsHTTP::Error, &ctx, [&](int code) {
        o.error = code;
        loop.quit();
    });
    QObject::connect(&h, &clsHTTP::StateChange, &ctx, [&] { ++o.stateChanges; });
    QTimer::singleShot(guardMs, &loop, &QEventLoop::quit);
    h.Submit();
    if (meanwhile)
        meanwhile();
    loop.exec();
    return o;
}

QByteArray b64(const char *s)
{
    return QByteArray(s).toBase64();
}

// A server whose answer never ends: headers without a length, then `block`
// bytes every `everyMs` for as long as the client reads.
void answerWithoutEnd(QTcpSocket *s, int block, int everyMs, const QByteArray &extraHeaders = {})
{
    s->write("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n" + extraHeaders + "\r\n");
    auto *timer = new QTimer(s);
    QObject::connect(timer, &QTimer::timeout, s, [s, block] {
        if (s->bytesToWrite() < 4 * 1024 * 1024)
            s->write(QByteArray(block, 'x'));
    });
    timer->start(everyMs);
}

struct Run {
    int code = -1;
    QString out, err;
    qint64 ms = 0;
};

// The velmor program while this process's servers keep answering.
Run runVelmor(const QStringList &args, const QByteArray &input = {}, int guardMs = 30000)
{
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(qEnvironmentVariable("VELMOR_BINARY", VELMOR_BINARY), args);
    p.waitForStarted();
    p.write(input);
    p.closeWriteChannel();
    while (p.state() != QProcess::NotRunning && t.elapsed() < guardMs)
        QTest::qWait(20);
    Run r;
    r.ms = t.elapsed();
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace

class TestHttp : public QObject {
    Q_OBJECT
private slots:
    void urlEncoding_data();
    void urlEncoding();
    void elementsAndHeaders();
    void contentTypes();
    void getRequestOnTheWire();
    void postBodies();
    void bodyEnds_data();
    void bodyEnds();
    void closeWithoutLengthCompletesOnlyAtClose();
    void cutOffAnswersFail_data();
    void cutOffAnswersFail();
    void credentialsStayWithTheirRequest();
    void interimAnswersAndRedirects_data();
    void interimAnswersAndRedirects();
    void errorCodes();
    void proxyWithBasicAuth();
    void proxyCredentialsOutOfSight();
    void progressText();
    void limitsStopEndlessAnswers();
    void commandLineStopsAtItsLimits();
    void fetchLimits();
};

void TestHttp::urlEncoding_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("encoded");
    QTest::newRow("space is plus") << "a b" << QByteArray("a+b");
    QTest::newRow("ampersand") << "a&b" << QByteArray("a%26b");
    QTest::newRow("kept as they are") << "Az09_@/.-*" << QByteArray("Az09_@/.-*");
    QTest::newRow("plus is encoded") << "1+1" << QByteArray("1%2B1");
    QTest::newRow("equals and quote") << "x=\"y\"" << QByteArray("x%3D%22y%22");
    QTest::newRow("utf-8 bytes") << QString::fromUtf8("é") << QByteArray("%C3%A9");
    QTest::newRow("line break") << "a\r\nb" << QByteArray("a%0D%0Ab");
}

void TestHttp::urlEncoding()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, encoded);
    QCOMPARE(clsHTTP::URLEncode(text), encoded);
}

void TestHttp::elementsAndHeaders()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("a.txt");
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("x");
    f.close();

    clsHTTP h;
    // The defaults, in order; empty ones are kept but not sent.
    QStringList names;
    for (const auto &p : h.requestHeaders())
        names << p.first;
    QCOMPARE(names, (QStringList{"Accept", "Authorization", "Content-Length", "Content-Type", "Connection", "Cookie",
                                 "Host", "Pragma", "Proxy-Authorization", "Proxy-Connection", "Referer", "User-Agent"}));
    QCOMPARE(h.requestHeader("Connection"), QString("Keep-Alive"));
    QCOMPARE(h.Timeout, 30);
    QCOMPARE(h.Protocol, 1);

    QVERIFY(!h.AddElement("", "v", 0));
    QVERIFY(!h.AddElement("f", dir.filePath("missing.txt"), 1));
    QVERIFY(!h.AddElement("f", dir.path(), 1)); // a folder
    QVERIFY(!h.AddElement("bad\nname", "v", 0));
    QVERIFY(h.AddElement("f", file, 1));
    QVERIFY(h.AddElement("t", "v", 0));
    QVERIFY(!h.AddElement("", "raw", 2)); // a raw value only on an empty list
    h.Reset();
    QVERIFY(h.AddElement("", "raw", 2));
    QVERIFY(!h.AddElement("t", "v", 0)); // ... and then it stands alone

    QVERIFY(!h.AddRequestHeader("X-Test", "a\nInjected: yes"));
    QVERIFY(!h.AddRequestHeader("X-Test\r", "a"));
    QVERIFY(!h.AddRequestHeader("", "a"));
    QVERIFY(h.AddRequestHeader("accept", "text/html"));
    QCOMPARE(h.requestHeaders().first(), qMakePair(QString("Accept"), QString("text/html")));
    QVERIFY(h.AddRequestHeader("X-Test", "1"));
    QCOMPARE(h.requestHeaders().last().first, QString("X-Test"));

    h.setProxyServer("proxy.example:3128");
    h.setProxyAuth("me:se:cret");
    QCOMPARE(h.proxyServer(), QString("proxy.example:3128"));
    QCOMPARE(h.proxyAuth(), QString("me:se:cret"));
    h.Reset();
    QCOMPARE(h.proxyServer(), QString());
    QCOMPARE(h.requestHeader("Accept"), QString("*/*"));
    QCOMPARE(h.requestHeader("X-Test"), QString());
}

void TestHttp::contentTypes()
{
    QCOMPARE(clsHTTP::ContentType("C:\\reports.2024\\GIA123.pdf"), QString("application/pdf"));
    QCOMPARE(clsHTTP::ContentType("/tmp/photo.JPG"), QString("image/jpeg"));
    QCOMPARE(clsHTTP::ContentType("/tmp/notes.txt"), QString("text/plain"));
    QCOMPARE(clsHTTP::ContentType("C:\\dir.d\\noextension"), QString("text/plain"));
    QCOMPARE(clsHTTP::ContentType("/tmp/x.zzqqunknown"), QString("text/plain"));
}

void TestHttp::getRequestOnTheWire()
{
    LocalHttpServer server([](QTcpSocket *s, const HttpRequest &) { LocalHttpServer::answer(s, "<html>ok</html>"); });
    QTemporaryDir dir;
    clsHTTP h;
    h.Action = QStringLiteral("http://dealer:s%40fe:pw@127.0.0.1:%1/stock/list?shape=BR").arg(server.serverPort());
    h.SaveAs = dir.filePath("body.html");
    QVERIFY(h.AddElement("colour", "G H", 0));
    QVERIFY(h.AddElement("note", "a&b", 0));
    const Outcome o = run(h);
    QVERIFY(o.complete);
    QCOMPARE(server.requests.size(), 1);
    const HttpRequest &r = server.requests.first();
    // The URL's own query stays and the elements follow it.
    QCOMPARE(r.line, QByteArray("GET /stock/list?shape=BR&colour=G+H&note=a%26b HTTP/1.1"));
    QCOMPARE(r.header("Host"), QByteArray("127.0.0.1:") + QByteArray::number(server.serverPort()));
    QCOMPARE(r.header("Authorization"), QByteArray("Basic ") + b64("dealer:s@fe:pw"));
    QCOMPARE(r.header("User-Agent"), QByteArray("Mozilla/4.0 (compatible; MSIE 5.5; Windows NT 5.0)"));
    QCOMPARE(r.header("Accept"), QByteArray("*/*"));
    QVERIFY(!r.hasHeader("Content-Type"));
    QVERIFY(!r.hasHeader("Content-Length"));
    QVERIFY(!r.hasHeader("Cookie")); // empty values are not sent
    QVERIFY(!r.hasHeader("Proxy-Authorization"));
    QCOMPARE(o.file, dir.filePath("body.html"));
    QCOMPARE(o.body(), QByteArray("<html>ok</html>"));
    QVERIFY(o.headers.startsWith("HTTP/1.1 200 OK\r\n"));
    QVERIFY(o.headers.endsWith("\r\n\r\n"));
    QCOMPARE(h.contentLength(), qint64(15));
}

void TestHttp::postBodies()
{
    LocalHttpServer server([](QTcpSocket *s, const HttpRequest &) { LocalHttpServer::answer(s, "done"); });
    QTemporaryDir dir;
    // URL-encoded
    {
        clsHTTP h;
        h.Method = clsHTTP::POST;
        h.Action = server.url("/form?x=1");
        QVERIFY(h.AddElement("name", "O'Neil & Sons", 0));
        QVERIFY(h.AddElement("carat", "1+", 0));
        QVERIFY(run(h).complete);
        const HttpRequest &r = server.requests.last();
        QCOMPARE(r.line, QByteArray("POST /form?x=1 HTTP/1.1"));
        QCOMPARE(r.header("Content-Type"), QByteArray("application/x-www-form-urlencoded"));
        QCOMPARE(r.body, QByteArray("name=O%27Neil+%26+Sons&carat=1%2B"));
        QCOMPARE(r.header("Content-Length").toInt(), r.body.size());
    }
    // Multipart with a file of several 1,024-byte blocks
    {
        QByteArray bytes(3000, Qt::Uninitialized);
        for (char &c : bytes)
            c = char(QRandomGenerator::global()->bounded(256));
        const QString path = dir.filePath("report.pdf");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        clsHTTP h;
        h.Method = clsHTTP::POST;
        h.EncType = 1;
        h.Action = server.url("/upload");
        QVERIFY(h.AddElement("stone", "R0100", 0));
        QVERIFY(h.AddElement("cert", path, 1));
        QVERIFY(run(h).complete);
        const HttpRequest &r = server.requests.last();
        QCOMPARE(r.header("Content-Type"),
                 QByteArray("multipart/form-data; boundary=---------------------------7d3370064c"));
        const QByteArray part = "-----------------------------7d3370064c\r\n";
        const QByteArray expected = part + "Content-Disposition: form-data; name=\"stone\"\r\n\r\nR0100\r\n" + part
            + "Content-Disposition: form-data; name=\"cert\"; filename=\"" + path.toUtf8()
            + "\"\r\nContent-Type: application/pdf\r\n\r\n" + bytes + "\r\n"
            + "-----------------------------7d3370064c--\r\n";
        QCOMPARE(r.header("Content-Length").toInt(), expected.size());
        QVERIFY(r.body == expected);
        QVERIFY(h.bytesSent() >= expected.size());
    }
}

void TestHttp::bodyEnds_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces"); // written 50 ms apart; the connection stays open
    QTest::addColumn<int>("method");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("length") << QList<QByteArray>{"HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\n01234", "56789"}
                            << int(clsHTTP::GET) << QByteArray("0123456789");
    QTest::newRow("closing tag across two blocks")
        << QList<QByteArray>{"HTTP/1.0 200 OK\r\n\r\n<html>x</HT", "ML>"} << int(clsHTTP::GET)
        << QByteArray("<html>x</HTML>");
    QTest::newRow("LF LF ends the headers") << QList<QByteArray>{"HTTP/1.0 200 OK\nContent-Length: 2\n\nok"}
                                            << int(clsHTTP::GET) << QByteArray("ok");
    QTest::newRow("chunked") << QList<QByteArray>{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhel",
                                                  "lo\r\n6;x=1\r\n world\r\n0\r\n\r\n"}
                             << int(clsHTTP::GET) << QByteArray("hello world");
    QTest::newRow("empty body") << QList<QByteArray>{"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"}
                                << int(clsHTTP::GET) << QByteArray();
    QTest::newRow("head") << QList<QByteArray>{"HTTP/1.1 200 OK\r\nContent-Length: 999\r\n\r\n"}
                          << int(clsHTTP::HEAD) << QByteArray();
}

void TestHttp::bodyEnds()
{
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(int, method);
    QFETCH(QByteArray, body);
    LocalHttpServer server([pieces](QTcpSocket *s, const HttpRequest &) {
        for (int i = 0; i < pieces.size(); ++i)
            QTimer::singleShot(50 * i, s, [s, p = pieces.at(i)] { s->write(p); });
    });
    clsHTTP h;
    h.Method = method;
    h.Action = server.url("/x");
    const Outcome o = run(h, 5000);
    QVERIFY(o.complete);
    QCOMPARE(o.body(), body);
    QFile::remove(o.file); // the server never closed: the answer itself ended it
}

void TestHttp::closeWithoutLengthCompletesOnlyAtClose()
{
    QPointer<QTcpSocket> client;
    LocalHttpServer server([&](QTcpSocket *s, const HttpRequest &) {
        client = s;
        s->write("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nline one\n");
    });
    clsHTTP h;
    h.Action = server.url("/plain");
    bool closed = false;
    const Outcome o = run(h, 10000, [&] {
        QTimer::singleShot(1500, &server, [&] {
            closed = true;
            client->write("line two\n");
            client->disconnectFromHost();
        });
    });
    QVERIFY(closed);
    QVERIFY(o.complete);
    QCOMPARE(o.body(), QByteArray("line one\nline two\n"));
    QVERIFY(o.stateChanges >= 1); // the once-a-second progress ran while it waited
    QFile::remove(o.file);
}

void TestHttp::cutOffAnswersFail_data()
{
    // What the server writes before it closes the connection.
    QTest::addColumn<QByteArray>("sent");
    QTest::newRow("short of its length")
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n") + QByteArray(500, 'x');
    QTest::newRow("inside a chunk")
        << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\n0123456");
    QTest::newRow("before the last chunk")
        << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n");
    QTest::newRow("inside the headers") << QByteArray("HTTP/1.1 200 OK\r\nContent-Le");
    QTest::newRow("nothing at all") << QByteArray();
}

void TestHttp::cutOffAnswersFail()
{
    QFETCH(QByteArray, sent);
    LocalHttpServer server([sent](QTcpSocket *s, const HttpRequest &) {
        s->write(sent);
        s->disconnectFromHost();
    });
    QTemporaryDir dir;
    // A named target, and one that was there before: neither gets a part.
    for (const bool existed : {false, true}) {
        const QString target = dir.filePath(existed ? "old.bin" : "new.bin");
        if (existed) {
            QFile f(target);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("earlier answer");
        }
        clsHTTP h;
        h.Action = server.url("/cut");
        h.SaveAs = target;
        const Outcome o = run(h, 5000);
        QVERIFY(!o.complete);
        QCOMPARE(o.error, int(clsHTTP::SocketError));
        QVERIFY(!h.socketErrorText().isEmpty());
        if (existed) {
            QFile f(target);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), QByteArray("earlier answer"));
        } else {
            QVERIFY(!QFileInfo::exists(target));
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), existed ? QStringList{"old.bin"} : QStringList{});
    }
    // Without a target the temporary file made for the answer goes too.
    clsHTTP h;
    h.Action = server.url("/cut");
    const Outcome o = run(h, 5000);
    QCOMPARE(o.error, int(clsHTTP::SocketError));
    QVERIFY(h.SaveAs.isEmpty());
}

void TestHttp::credentialsStayWithTheirRequest()
{
    LocalHttpServer proxy([](QTcpSocket *s, const HttpRequest &) { LocalHttpServer::answer(s, "via proxy"); });
    LocalHttpServer first([](QTcpSocket *s, const HttpRequest &) { LocalHttpServer::answer(s, "first"); });
    LocalHttpServer second([](QTcpSocket *s, const HttpRequest &) { LocalHttpServer::answer(s, "second"); });
    QTemporaryDir dir;

    clsHTTP h;
    h.SaveAs = dir.filePath("a");
    h.Action = QStringLiteral("http://dealer:pw@127.0.0.1:%1/a").arg(first.serverPort());
    h.setProxyServer(QStringLiteral("127.0.0.1:%1").arg(proxy.serverPort()));
    h.setProxyAuth("buyer:secret");
    QVERIFY(run(h).complete);
    QCOMPARE(proxy.requests.last().header("Proxy-Authorization"), "Basic " + b64("buyer:secret"));
    QCOMPARE(proxy.requests.last().header("Authorization"), "Basic " + b64("dealer:pw"));

    // The same object, the proxy cleared: the origin is asked directly.
    h.setProxyServer({});
    QVERIFY(run(h).complete);
    const HttpRequest &direct = first.requests.last();
    QVERIFY(!direct.hasHeader("Proxy-Authorization"));
    QVERIFY(!direct.hasHeader("Proxy-Connection"));
    QCOMPARE(direct.header("Authorization"), "Basic " + b64("dealer:pw"));

    // Another host without a user in its address gets no password.
    h.Action = second.url("/b");
    QVERIFY(run(h).complete);
    QVERIFY(!second.requests.last().hasHeader("Authorization"));
    QVERIFY(!second.requests.last().hasHeader("Proxy-Authorization"));

    // A header the caller set stays the caller's.
    QVERIFY(h.AddRequestHeader("Authorization", "Bearer token-1"));
    QVERIFY(run(h).complete);
    QCOMPARE(second.requests.last().header("Authorization"), QByteArray("Bearer token-1"));
    QCOMPARE(h.requestHeader("Host"), QString());
}

// What the server answers to each path it is asked for, and what the client
// makes of it in the end.
void TestHttp::interimAnswersAndRedirects_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("error");       // 0: complete
    QTest::addColumn<QByteArray>("body"); // complete: the body; error: words of socketErrorText
    QTest::addColumn<QByteArray>("asked"); // the requests the server saw, "METHOD target|..."
    QTest::newRow("100 Continue, then the answer")
        << int(clsHTTP::GET) << "/continue" << 0 << QByteArray("real answer") << QByteArray("GET /continue");
    QTest::newRow("two interim answers in one block")
        << int(clsHTTP::GET) << "/early" << 0 << QByteArray("real answer") << QByteArray("GET /early");
    QTest::newRow("302 on the same server") << int(clsHTTP::GET) << "/hop/1" << 0 << QByteArray("landed")
                                            << QByteArray("GET /hop/1|GET /land");
    QTest::newRow("five redirects are followed") << int(clsHTTP::GET) << "/hop/5" << 0 << QByteArray("landed")
                                                 << QByteArray("GET /hop/5|GET /hop/4|GET /hop/3|GET /hop/2|GET /hop/1|GET /land");
    QTest::newRow("a sixth is not") << int(clsHTTP::GET) << "/hop/6" << int(clsHTTP::RedirectError)
                                    << QByteArray("more than 5 times (last to http://127.0.0.1:")
                                    << QByteArray("GET /hop/6|GET /hop/5|GET /hop/4|GET /hop/3|GET /hop/2|GET /hop/1");
    QTest::newRow("another scheme is named, not followed")
        << int(clsHTTP::GET) << "/secure" << int(clsHTTP::RedirectError)
        << QByteArray("https://127.0.0.1/login, which is not a plain http address") << QByteArray("GET /secure");
    QTest::newRow("303 after a POST asks with GET") << int(clsHTTP::POST) << "/see-other" << 0
                                                    << QByteArray("landed") << QByteArray("POST /see-other|GET /land");
    QTest::newRow("307 keeps the POST") << int(clsHTTP::POST) << "/temporary" << 0 << QByteArray("POST a=1")
                                        << QByteArray("POST /temporary|POST /echo");
}

void TestHttp::interimAnswersAndRedirects()
{
    QFETCH(int, method);
    QFETCH(QString, path);
    QFETCH(int, error);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, asked);
    LocalHttpServer server([](QTcpSocket *s, const HttpRequest &r) {
        const QByteArray t = r.target().split('?').first();
        auto moved = [s](const QByteArray &status, const QByteArray &to) {
            s->write("HTTP/1.1 " + status + "\r\nLocation: " + to + "\r\nContent-Length: 5\r\n\r\nMoved");
            s->disconnectFromHost();
        };
        if (t == "/continue") {
            s->write("HTTP/1.1 100 Continue\r\n\r\n");
            QTimer::singleShot(100, s, [s] { LocalHttpServer::answer(s, "real answer"); });
        } else if (t == "/early") {
            s->write("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 103 Early Hints\r\nLink: </a.css>\r\n\r\n"
                     "HTTP/1.1 200 OK\r\nContent-Length: 11\r\n\r\nreal answer");
        } else if (t.startsWith("/hop/")) {
            const int n = t.mid(5).toInt();
            moved("302 Found", n > 1 ? "/hop/" + QByteArray::number(n - 1) : QByteArray("/land"));
        } else if (t == "/secure") {
            moved("301 Moved Permanently", "https://127.0.0.1/login");
        } else if (t == "/see-other") {
            moved("303 See Other", "/land");
        } else if (t == "/temporary") {
            moved("307 Temporary Redirect", "/echo");
        } else if (t == "/echo") {
            LocalHttpServer::answer(s, r.method() + " " + r.body);
        } else {
            LocalHttpServer::answer(s, "landed");
        }
    });
    QTemporaryDir dir;
    clsHTTP h;
    h.Method = method;
    QVERIFY(h.AddElement("a", "1"));
    h.Action = server.url(path);
    h.SaveAs = dir.filePath("answer");
    const Outcome o = run(h, 10000);
    QByteArrayList seen;
    for (const HttpRequest &r : server.requests)
        seen << r.method() + " " + r.target().split('?').first();
    QCOMPARE(seen.join('|'), asked);
    if (error == 0) {
        QVERIFY2(o.complete, qPrintable(h.socketErrorText()));
        QVERIFY2(o.headers.startsWith("HTTP/1.1 200 OK\r\n"), qPrintable(o.headers));
        QCOMPARE(o.body(), body);
    } else {
        QCOMPARE(o.error, error);
        QVERIFY2(h.socketErrorText().toUtf8().contains(body), qPrintable(h.socketErrorText()));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
    }
}

void TestHttp::errorCodes()
{
    // 3: no usable Action
    for (const QString &action : {QString(), QString("not a url"), QString("ftp://127.0.0.1/x"),
                                  QString("https://127.0.0.1/secure"), QString("http://127.0.0.1:99999/")}) {
        clsHTTP h;
        h.Action = action;
        QCOMPARE(run(h).error, 3);
    }
    // 1: nobody listens
    {
        quint16 port;
        {
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost, 0);
            port = probe.serverPort();
        }
        clsHTTP h;
        h.Action = QStringLiteral("http://127.0.0.1:%1/").arg(port);
        QCOMPARE(run(h).error, 1);
    }
    // 2: a server that never answers
    {
        LocalHttpServer silent;
        clsHTTP h;
        h.Timeout = 1;
        h.Action = silent.url("/slow");
        QElapsedTimer t;
        t.start();
        const Outcome o = run(h);
        QCOMPARE(o.error, 2);
        QVERIFY(t.elapsed() < 5000);
        QVERIFY(!h.busy());
    }
    // 4: the body file cannot be written
    {
        QTemporaryDir dir;
        LocalHttpServer server([](QTcpSocket *s, const HttpRequest &) { LocalHttpServer::answer(s, "x"); });
        clsHTTP h;
        h.Action = server.url("/");
        h.SaveAs = dir.path(); // a folder
        QCOMPARE(run(h).error, 4);
    }
}

void TestHttp::proxyWithBasicAuth()
{
    // The proxy answers for the target itself: 407 without the right credentials.
    LocalHttpServer proxy([](QTcpSocket *s, const HttpRequest &r) {
        if (r.header("Proxy-Authorization") != "Basic " + b64("buyer:pa:ss"))
            LocalHttpServer::answer(s, "", "407 Proxy Authentication Required");
        else
            LocalHttpServer::answer(s, "<html>via proxy</html>");
    });
    LocalHttpServer origin([](QTcpSocket *s, const HttpRequest &) { LocalHttpServer::answer(s, "direct"); });
    const QString target = QStringLiteral("http://127.0.0.1:%1/rates?d=1").arg(origin.serverPort());

    clsHTTP h;
    h.Action = target;
    h.setProxyServer(QStringLiteral("127.0.0.1:%1").arg(proxy.serverPort()));
    h.setProxyAuth("buyer:pa:ss");
    Outcome o = run(h);
    QVERIFY(o.complete);
    QCOMPARE(o.body(), QByteArray("<html>via proxy</html>"));
    const HttpRequest &r = proxy.requests.last();
    QCOMPARE(r.line, ("GET " + target + " HTTP/1.1").toUtf8());
    QCOMPARE(r.header("Proxy-Connection"), QByteArray("Keep-Alive"));
    QCOMPARE(r.header("Host"), QByteArray("127.0.0.1:") + QByteArray::number(origin.serverPort()));
    QFile::remove(o.file);

    h.setProxyAuth("buyer:wrong");
    o = run(h);
    QVERIFY(o.complete);
    QVERIFY(o.headers.startsWith("HTTP/1.1 407"));

    // Without a usable proxy its credentials are not sent to the server.
    clsHTTP direct;
    direct.Action = target;
    direct.setProxyServer("127.0.0.1:0");
    direct.setProxyAuth("buyer:pa:ss");
    o = run(direct);
    QVERIFY(o.complete);
    QCOMPARE(o.body(), QByteArray("direct"));
    QVERIFY(!origin.requests.last().hasHeader("Proxy-Authorization"));
    QCOMPARE(origin.requests.last().line, QByteArray("GET /rates?d=1 HTTP/1.1"));
    QFile::remove(o.file);
}

void TestHttp::progressText()
{
    QCOMPARE(frmMain::progressText(1234567, 2469134, 2.0), QString("1,234,567 / 2,469,134 (50.0 %) [602.82 kb/s]"));
    QCOMPARE(frmMain::progressText(0, 0, 0), QString("0 / 0 (0.0 %) [0.00 kb/s]"));
    QCOMPARE(frmMain::errorText(1), QString("A Socket-Error occured!"));
    QCOMPARE(frmMain::errorText(2), QString("A Timeout occured!"));
    QCOMPARE(frmMain::errorText(3), QString("The Action Property is invalid!"));
    QCOMPARE(frmMain::errorText(4), QString("A Write-Error occured!"));
    QCOMPARE(frmMain::errorText(9), QString("An unknown Error occured!"));
}

// Credentials given on the command line are there for every account to
// read (ps); from a file or standard input they are not.
void TestHttp::proxyCredentialsOutOfSight()
{
    LocalHttpServer proxy([](QTcpSocket *s, const HttpRequest &r) {
        if (r.header("Proxy-Authorization") != "Basic " + b64("buyer:pa:ss"))
            LocalHttpServer::answer(s, "", "407 Proxy Authentication Required");
        else
            LocalHttpServer::answer(s, "<html>via proxy</html>");
    });
    QTemporaryDir dir;
    const QString file = dir.filePath("proxy-auth");
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("buyer:pa:ss\n");
    f.close();
    const QStringList common{"http", "get", "http://127.0.0.1:9/rates", "--proxy",
                             QStringLiteral("127.0.0.1:%1").arg(proxy.serverPort()), "--save", dir.filePath("out")};
    Run r = runVelmor(common + QStringList{"--proxy-auth-file", file});
    QVERIFY2(r.code == 0 && r.out.startsWith("HTTP/1.1 200"), qPrintable(r.out + r.err));
    r = runVelmor(common + QStringList{"--proxy-auth-file", "-"}, "buyer:pa:ss\r\n");
    QVERIFY2(r.code == 0 && r.out.startsWith("HTTP/1.1 200"), qPrintable(r.out + r.err));
    // On the command line they still work, with a word about who sees them.
    r = runVelmor(common + QStringList{"--proxy-auth", "buyer:pa:ss"});
    QVERIFY2(r.code == 0 && r.err.contains("--proxy-auth-file"), qPrintable(r.out + r.err));
    r = runVelmor(common + QStringList{"--proxy-auth-file", dir.filePath("missing")});
    QVERIFY2(r.code == 2 && r.err.contains(dir.filePath("missing")), qPrintable(r.err));
}

// Whatever a server sends, a transfer ends: at its size limit when the
// answer grows without end, at its time limit when it trickles.
void TestHttp::limitsStopEndlessAnswers()
{
    LocalHttpServer fast([](QTcpSocket *s, const HttpRequest &) { answerWithoutEnd(s, 256 * 1024, 1); });
    LocalHttpServer slow([](QTcpSocket *s, const HttpRequest &) { answerWithoutEnd(s, 1, 100); });
    QTemporaryDir dir;
    {
        clsHTTP h;
        h.Action = fast.url("/big");
        h.SaveAs = dir.filePath("big");
        h.MaxBytes = 2 * 1024 * 1024;
        const Outcome o = run(h, 30000);
        QCOMPARE(o.error, int(clsHTTP::LimitError));
        QVERIFY2(h.limitText().contains(QString::number(2 * 1024 * 1024)), qPrintable(h.limitText()));
        QVERIFY(h.bodyBytes() <= 2 * 1024 * 1024);
        QVERIFY(!QFileInfo::exists(dir.filePath("big")) && !QFileInfo::exists(dir.filePath("big.part")));
    }
    {
        clsHTTP h;
        h.Action = slow.url("/trickle");
        h.MaxSeconds = 2;
        QElapsedTimer t;
        t.start();
        const Outcome o = run(h, 30000);
        QCOMPARE(o.error, int(clsHTTP::TimeoutError));
        QVERIFY2(t.elapsed() < 6000, qPrintable(QString::number(t.elapsed())));
        QVERIFY2(h.limitText().contains("longer than 2 s"), qPrintable(h.limitText()));
    }
    QCOMPARE(clsHTTP::errorText(clsHTTP::LimitError), QString("The answer went past its size limit!"));
}

void TestHttp::commandLineStopsAtItsLimits()
{
    LocalHttpServer fast([](QTcpSocket *s, const HttpRequest &) { answerWithoutEnd(s, 256 * 1024, 1); });
    LocalHttpServer slow([](QTcpSocket *s, const HttpRequest &) { answerWithoutEnd(s, 1, 100); });
    QTemporaryDir dir;
    // --timeout 2 is the whole transfer's time too.
    Run r = runVelmor({"http", "get", slow.url("/"), "--timeout", "2", "--save", dir.filePath("a")});
    QVERIFY2(r.code == 1 && r.ms < 10000, qPrintable(QString::number(r.ms) + r.err));
    QVERIFY2(r.err.contains("longer than 2 s"), qPrintable(r.err));
    QVERIFY(!QFileInfo::exists(dir.filePath("a")));
    r = runVelmor({"http", "get", fast.url("/"), "--max-size", "3", "--save", dir.filePath("b")});
    QVERIFY2(r.code == 1 && r.err.contains("--max-size"), qPrintable(r.err));
    QVERIFY(!QFileInfo::exists(dir.filePath("b")));
    r = runVelmor({"http", "get", fast.url("/"), "--max-size", "lots"});
    QVERIFY2(r.code == 2 && r.err.contains("\"lots\""), qPrintable(r.err));
}

// The road the rates, the price grid and the certificate agent share.
void TestHttp::fetchLimits()
{
    using namespace velmor::pricing;
    LocalHttpServer server([](QTcpSocket *s, const HttpRequest &r) {
        if (r.target() == "/endless")
            answerWithoutEnd(s, 256 * 1024, 1);
        else if (r.target() == "/trickle")
            answerWithoutEnd(s, 1, 100);
        else if (r.target() == "/announced")
            answerWithoutEnd(s, 1, 1000, "Content-Length: 10737418240\r\n");
        else
            LocalHttpServer::answer(s, QByteArray(3 * 1024 * 1024, 'r'), "200 OK", "application/pdf");
    });
    HttpLimits limits;
    limits.timeoutMs = 20000;
    limits.maxBytes = 4 * 1024 * 1024;
    QElapsedTimer t;
    t.start();
    HttpResult r = httpGet(QUrl(server.url("/endless")), {}, limits);
    QVERIFY2(r.tooLarge && !r.ok && r.body.isEmpty() && t.elapsed() < 15000, qPrintable(r.error));
    QVERIFY2(r.error.contains("larger than 4 MB"), qPrintable(r.error));
    t.restart();
    r = httpGet(QUrl(server.url("/announced")), {}, limits);
    QVERIFY2(r.tooLarge && t.elapsed() < 5000, qPrintable(r.error));
    limits.timeoutMs = 1500;
    r = httpGet(QUrl(server.url("/trickle")), {}, limits);
    QVERIFY2(r.timedOut && r.error.contains("did not finish its answer within 1.5 seconds"), qPrintable(r.error));

    // Into a file: the body never sits in memory, and the file is whole or not there.
    QTemporaryDir dir;
    limits.timeoutMs = 20000;
    limits.saveAs = dir.filePath("report.pdf");
    r = httpGet(QUrl(server.url("/report")), {}, limits);
    QVERIFY2(r.ok && r.body.isEmpty(), qPrintable(r.error));
    QCOMPARE(QFileInfo(limits.saveAs).size(), qint64(3 * 1024 * 1024));
    limits.saveAs = dir.filePath("endless.pdf");
    r = httpGet(QUrl(server.url("/endless")), {}, limits);
    QVERIFY(r.tooLarge);
    QVERIFY(!QFileInfo::exists(limits.saveAs));

    // Only the network: a file of this machine is not "fetched".
    QFile secret(dir.filePath("secret.pdf"));
    QVERIFY(secret.open(QIODevice::WriteOnly));
    secret.write("%PDF-1.4 the dealer's own file");
    secret.close();
    r = httpGet(QUrl::fromLocalFile(secret.fileName()), {}, 5000);
    QVERIFY2(!r.ok && r.body.isEmpty() && r.error.contains("not an http or https address"), qPrintable(r.error));
}

QTEST_MAIN(TestHttp)
#include "tst_http.moc"
