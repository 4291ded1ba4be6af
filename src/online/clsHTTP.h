#pragma once
// A small asynchronous HTTP/1.x client written directly on a TCP socket: a
// URL and a list of form elements become a GET, HEAD or POST request
// (URL-encoded or multipart/form-data with file upload), optionally through a
// proxy with Basic authorisation; the response body streams into a file.
// Progress, completion and errors come as signals.  One request at a time.
//
// Beyond the plain HTTP/1.0 behaviour it reads a chunked body (HTTP/1.1
// servers send one when they do not know the length) and keeps the URL's own
// query on a GET.
#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>

class QTcpSocket;
class QTimer;

namespace velmor::online {

class clsHTTP : public QObject {
    Q_OBJECT
public:
    enum Methods { GET = 0, POST = 1, HEAD = 2 };
    enum ElementType { TextField = 0, FileField = 1, RawValue = 2 };
    // RedirectError: the server sends the request on to an address this
    // client does not go to (another scheme), or more than kMaxRedirects times;
    // socketErrorText() names the address.  LimitError: the answer went past
    // MaxBytes.
    enum ErrorCode { SocketError = 1, TimeoutError = 2, InvalidAction = 3, WriteError = 4, RedirectError = 5,
                     LimitError = 6 };
    static constexpr int kMaxRedirects = 5;
    // The multipart boundary (the part lines carry two more dashes).
    static constexpr const char *kBoundary = "---------------------------7d3370064c";

    explicit clsHTTP(QObject *parent = nullptr);
    ~clsHTTP() override;

    // Properties (read and write); Reset() puts back the defaults.
    QString Action;      // target URL
    int EncType = 0;     // POST body: 1 multipart/form-data; 0 or 2 URL-encoded
    int Method = GET;    // 0 GET, 1 POST, 2 HEAD
    int Protocol = 1;    // minor version written after " HTTP/1."
    QString SaveAs;      // receives the body; a temporary file when empty
    int Timeout = 30;    // seconds without data after which the request fails
    // Caps of one transfer, whatever the server does: the whole time from
    // the start (0: none) and the bytes of the body.  Reaching one stops
    // the transfer with TimeoutError or LimitError; limitText() says which.
    int MaxSeconds = 600;
    qint64 MaxBytes = qint64(256) * 1024 * 1024;

    // "server:port"; kept as server name and port number.
    void setProxyServer(const QString &serverPort);
    QString proxyServer() const;
    // "user:password" for the proxy.
    void setProxyAuth(const QString &userPassword);
    QString proxyAuth() const;

    void Reset();
    bool AddElement(const QString &name, const QString &value, int type = TextField);
    bool AddRequestHeader(const QString &name, const QString &value);
    void Submit();
    void Cancel();

    // The request headers in sending order (empty values are not sent).
    const QList<QPair<QString, QString>> &requestHeaders() const { return m_headers; }
    QString requestHeader(const QString &name) const;
    qint64 bytesReceived() const { return m_received; }
    qint64 bytesSent() const { return m_sent; }
    qint64 contentLength() const { return m_expected; }
    qint64 bodyBytes() const { return m_written; }
    bool busy() const;
    double elapsedSeconds() const { return m_start.isValid() ? m_start.elapsed() / 1000.0 : 0.0; }
    // What the socket layer said about the last socket error (and where a
    // redirect that was not followed pointed).
    QString socketErrorText() const { return m_socketError; }
    // The limit the last transfer stopped at ("the transfer took longer
    // than 5 s"), empty when it stopped at none.
    QString limitText() const { return m_limitText; }
    // Redirects followed by the last request.
    int redirects() const { return m_redirects; }

    // letters, digits and _ @ / . - * stay; a space becomes +; everything else
    // (the UTF-8 bytes of it) %XX with upper-case hex digits.
    static QByteArray URLEncode(const QString &text);
    // The content type of an upload by the file's extension; "text/plain"
    // when the system knows none.
    static QString ContentType(const QString &fileName);
    // The words shown for an Error event's code ("A Timeout occured!").
    static QString errorText(int code);

signals:
    void Complete(const QString &headers, const QString &bodyFile);
    void Error(int code);
    void StateChange(qint64 bytesReceived, qint64 contentLength, double seconds);

private:
    struct Element {
        int type;
        QString name;
        QString value;
    };
    struct Target {
        QString host, user, password, path, extra;
        int port = 80;
    };
    // One piece of the request body: bytes, or a file sent in 1,024-byte blocks.
    struct Piece {
        QByteArray bytes;
        QString file;
    };

    bool crack(const QString &url, Target &t) const;
    bool proxyUsable() const;
    void open();
    bool redirect(int status);
    void connected();
    void readyRead();
    void disconnected();
    void socketError();
    void tick();
    void pump();
    void headerData(const QByteArray &data);
    void bodyData(const QByteArray &data);
    bool writeBody(const QByteArray &data);
    void chunkedData(const QByteArray &data);
    void finish();
    void fail(int code);
    void setHeader(const QString &name, const QString &value);
    static void setIn(QList<QPair<QString, QString>> &headers, const QString &name, const QString &value);
    void discardBody();

    QList<Element> m_elements;
    QList<QPair<QString, QString>> m_headers;
    QString m_proxyHost;
    int m_proxyPort = 0;
    QString m_proxyUser, m_proxyPassword;

    Target m_target;
    QString m_url;           // the address asked now (Action, or where a redirect led)
    int m_redirects = 0;
    bool m_asGet = false;    // a redirect turned the POST into a GET without a body
    bool m_otherHost = false; // a redirect left the first host: the caller's credentials stay behind
    QTcpSocket *m_socket = nullptr;
    QTimer *m_timer = nullptr;
    QElapsedTimer m_start, m_activity;
    qint64 m_received = 0, m_sent = 0, m_written = 0, m_expected = 0;
    QByteArray m_headerText;
    QFile m_body;            // the part received, beside SaveAs until it is whole
    bool m_madeSaveAs = false; // SaveAs is a temporary file made for this transfer
    int m_state = 0;  // 0 reading headers, 1 reading the body, 2 complete
    bool m_running = false;
    bool m_chunked = false;
    QByteArray m_chunkBuffer;
    qint64 m_chunkLeft = -1; // bytes left in the current chunk; -1 reading a size line
    bool m_chunkTrailer = false;
    QByteArray m_tail;       // the last bytes of the previous block, for "</html>" across blocks
    QList<Piece> m_pieces;
    QFile m_upload;
    QString m_socketError;
    QString m_limitText;
};

} // namespace velmor::online
