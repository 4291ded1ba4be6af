#pragma once
// A small HTTP server on 127.0.0.1 for the online tests: it collects each
// request (line, headers, body by Content-Length) and hands it with its
// socket to `respond`, which writes whatever answer the test needs (now, in
// pieces, later or never).
#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <functional>

namespace velmor::test {

struct HttpRequest {
    QByteArray line, headers, body;
    QByteArray method() const { return line.split(' ').value(0); }
    QByteArray target() const { return line.split(' ').value(1); }
    // The value of a header (name compared without regard to case); null when absent.
    QByteArray header(const QByteArray &name) const
    {
        for (const QByteArray &l : headers.split('\n')) {
            const int colon = l.indexOf(':');
            if (colon > 0 && l.left(colon).trimmed().toLower() == name.toLower())
                return l.mid(colon + 1).trimmed();
        }
        return {};
    }
    bool hasHeader(const QByteArray &name) const { return !header(name).isNull(); }
};

class LocalHttpServer : public QTcpServer {
public:
    using Responder = std::function<void(QTcpSocket *, const HttpRequest &)>;

    explicit LocalHttpServer(Responder r = {}) : respond(std::move(r))
    {
        listen(QHostAddress::LocalHost, 0);
        QObject::connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = nextPendingConnection()) {
                sockets << s;
                auto *buffer = new QByteArray;
                QObject::connect(s, &QObject::destroyed, [buffer] { delete buffer; });
                QObject::connect(s, &QTcpSocket::readyRead, this, [this, s, buffer] {
                    *buffer += s->readAll();
                    const int end = buffer->indexOf("\r\n\r\n");
                    if (end < 0)
                        return;
                    HttpRequest r;
                    const QByteArray head = buffer->left(end);
                    const int eol = head.indexOf("\r\n");
                    r.line = eol < 0 ? head : head.left(eol);
                    r.headers = eol < 0 ? QByteArray() : head.mid(eol + 2);
                    const qint64 length = r.header("Content-Length").toLongLong();
                    if (buffer->size() - end - 4 < length)
                        return;
                    r.body = buffer->mid(end + 4, length);
                    buffer->remove(0, end + 4 + length);
                    requests << r;
                    if (respond)
                        respond(s, r);
                });
            }
        });
    }
    QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(serverPort()); }
    QString url(const QString &path) const { return base() + path; }

    // A whole answer with a Content-Length; the connection closes afterwards.
    static void answer(QTcpSocket *s, const QByteArray &body, const QByteArray &status = "200 OK",
                       const QByteArray &type = "text/html", bool close = true)
    {
        s->write("HTTP/1.1 " + status + "\r\nContent-Type: " + type + "\r\nContent-Length: "
                 + QByteArray::number(body.size()) + "\r\n\r\n" + body);
        if (close)
            s->disconnectFromHost();
    }

    Responder respond;
    QList<HttpRequest> requests;
    QList<QPointer<QTcpSocket>> sockets;
};

} // namespace velmor::test
