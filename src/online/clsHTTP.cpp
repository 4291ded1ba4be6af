#include "online/clsHTTP.h"

#include <QDir>
#include <cctype>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QTcpSocket>
#include <QTemporaryFile>
#include <QTimer>
#include <QUrl>

namespace velmor::online {

namespace {

const QByteArray kCrLf = "\r\n";
constexpr qint64 kMaxHeaderBytes = 1 << 20;
constexpr qint64 kSendWindow = 64 * 1024;

// VELMOR_LOCAL_NETWORK_ONLY keeps a run (the tests, the benchmark) on this
// machine: any other host fails at once, as an unreachable one would.
bool hostAllowed(const QString &host)
{
    if (!qEnvironmentVariableIsSet("VELMOR_LOCAL_NETWORK_ONLY"))
        return true;
    const QString h = host.toLower();
    return h == QLatin1String("localhost") || h.startsWith(QLatin1String("127.")) || h == QLatin1String("::1");
}

bool hasLineBreak(const QString &s)
{
    return s.contains(QLatin1Char('\r')) || s.contains(QLatin1Char('\n'));
}

QByteArray basic(const QString &user, const QString &password)
{
    return "Basic " + (user + QLatin1Char(':') + password).toUtf8().toBase64();
}

QByteArray quoted(const QString &s)
{
    return '"' + s.toUtf8() + '"';
}

// The value of the header line `name:` (case ignored); null when absent.
QByteArray headerValue(const QByteArray &headers, const QByteArray &name)
{
    const QByteArray lower = headers.toLower();
    const QByteArray key = name.toLower() + ':';
    qsizetype from = 0;
    while (from < lower.size()) {
        qsizetype end = lower.indexOf('\n', from);
        if (end < 0)
            end = lower.size();
        const QByteArray line = lower.mid(from, end - from);
        if (line.startsWith(key))
            return headers.mid(from + key.size(), end - from - key.size()).trimmed();
        from = end + 1;
    }
    return {};
}

} // namespace

clsHTTP::clsHTTP(QObject *parent) : QObject(parent)
{
    m_timer = new QTimer(this);
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &clsHTTP::tick);
    Reset();
}

clsHTTP::~clsHTTP()
{
    Cancel();
}

void clsHTTP::setProxyServer(const QString &serverPort)
{
    const QString s = serverPort.trimmed();
    const int colon = s.lastIndexOf(QLatin1Char(':'));
    m_proxyHost = colon < 0 ? s : s.left(colon);
    m_proxyPort = colon < 0 ? 0 : s.mid(colon + 1).toInt();
}

QString clsHTTP::proxyServer() const
{
    if (m_proxyHost.isEmpty())
        return {};
    return m_proxyHost + QLatin1Char(':') + QString::number(m_proxyPort);
}

void clsHTTP::setProxyAuth(const QString &userPassword)
{
    const int colon = userPassword.indexOf(QLatin1Char(':'));
    m_proxyUser = colon < 0 ? userPassword : userPassword.left(colon);
    m_proxyPassword = colon < 0 ? QString() : userPassword.mid(colon + 1);
}

QString clsHTTP::proxyAuth() const
{
    if (m_proxyUser.isEmpty() && m_proxyPassword.isEmpty())
        return {};
    return m_proxyUser + QLatin1Char(':') + m_proxyPassword;
}

void clsHTTP::Reset()
{
    Cancel();
    Action.clear();
    EncType = 0;
    Method = GET;
    Protocol = 1;
    setProxyServer({});
    setProxyAuth({});
    SaveAs.clear();
    Timeout = 30;
    MaxSeconds = 600;
    MaxBytes = qint64(256) * 1024 * 1024;
    m_elements.clear();
    m_headers.clear();
    const std::pair<const char *, const char *> defaults[] = {
        {"Accept", "*/*"},
        {"Authorization", ""},
        {"Content-Length", ""},
        {"Content-Type", ""},
        {"Connection", "Keep-Alive"},
        {"Cookie", ""},
        {"Host", ""},
        {"Pragma", "no-cache"},
        {"Proxy-Authorization", ""},
        {"Proxy-Connection", ""},
        {"Referer", ""},
        {"User-Agent", "Mozilla/4.0 (compatible; MSIE 5.5; Windows NT 5.0)"},
    };
    for (const auto &[name, value] : defaults)
        m_headers.append({QString::fromLatin1(name), QString::fromLatin1(value)});
}

bool clsHTTP::AddElement(const QString &name, const QString &value, int type)
{
    // A raw value stands alone: nothing may join it.
    if (!m_elements.isEmpty() && m_elements.first().type == RawValue)
        return false;
    // Names (and uploaded file names) go into a part's header line.
    if (hasLineBreak(name) || name.contains(QLatin1Char('"')))
        return false;
    switch (type) {
    case TextField:
        if (name.isEmpty())
            return false;
        break;
    case FileField: {
        if (name.isEmpty() || hasLineBreak(value) || value.contains(QLatin1Char('"')))
            return false;
        const QFileInfo fi(value);
        if (value.isEmpty() || !fi.exists() || fi.isDir())
            return false;
        break;
    }
    case RawValue:
        if (!m_elements.isEmpty())
            return false;
        break;
    default:
        return false;
    }
    m_elements.append({type, name, value});
    return true;
}

bool clsHTTP::AddRequestHeader(const QString &name, const QString &value)
{
    if (name.isEmpty() || hasLineBreak(name) || hasLineBreak(value))
        return false;
    setHeader(name, value);
    return true;
}

void clsHTTP::setHeader(const QString &name, const QString &value)
{
    setIn(m_headers, name, value);
}

void clsHTTP::setIn(QList<QPair<QString, QString>> &headers, const QString &name, const QString &value)
{
    for (auto &h : headers)
        if (h.first.compare(name, Qt::CaseInsensitive) == 0) {
            h.second = value;
            return;
        }
    headers.append({name, value});
}

QString clsHTTP::requestHeader(const QString &name) const
{
    for (const auto &h : m_headers)
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    return {};
}

bool clsHTTP::busy() const
{
    return m_running;
}

QByteArray clsHTTP::URLEncode(const QString &text)
{
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    const QByteArray bytes = text.toUtf8();
    out.reserve(bytes.size() * 3);
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '@'
            || c == '/' || c == '.' || c == '-' || c == '*') {
            out += char(c);
        } else if (c == ' ') {
            out += '+';
        } else {
            // "+" too: left as it is, a server reads it back as a space.
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

QString clsHTTP::ContentType(const QString &fileName)
{
    QString name = fileName;
    name = name.mid(name.lastIndexOf(QLatin1Char('\\')) + 1);
    name = name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
    if (!name.contains(QLatin1Char('.')))
        return QStringLiteral("text/plain");
    static const QMimeDatabase db;
    const QList<QMimeType> types = db.mimeTypesForFileName(name);
    if (types.isEmpty() || !types.first().isValid())
        return QStringLiteral("text/plain");
    return types.first().name();
}

bool clsHTTP::crack(const QString &url, Target &t) const
{
    const QUrl u(url.trimmed(), QUrl::StrictMode);
    if (!u.isValid() || u.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) != 0 || u.host().isEmpty())
        return false;
    const int port = u.port(80);
    if (port < 1 || port > 65535)
        return false;
    t = Target();
    t.host = u.host(QUrl::FullyEncoded);
    t.user = u.userName(QUrl::FullyDecoded);
    t.password = u.password(QUrl::FullyDecoded);
    t.path = u.path(QUrl::FullyEncoded);
    if (t.path.isEmpty())
        t.path = QStringLiteral("/");
    t.extra = u.hasQuery() ? QLatin1Char('?') + u.query(QUrl::FullyEncoded) : QString();
    t.port = port;
    return true;
}

bool clsHTTP::proxyUsable() const
{
    return !m_proxyHost.isEmpty() && m_proxyPort >= 1 && m_proxyPort <= 65535;
}

void clsHTTP::Submit()
{
    Cancel();
    m_received = m_sent = m_written = m_expected = 0;
    m_headerText.clear();
    m_tail.clear();
    m_state = 0;
    m_chunked = false;
    m_chunkBuffer.clear();
    m_chunkLeft = -1;
    m_chunkTrailer = false;
    m_socketError.clear();
    m_limitText.clear();
    m_madeSaveAs = false;

    m_redirects = 0;
    m_asGet = false;
    m_otherHost = false;
    Target t;
    if (Action.trimmed().isEmpty() || !crack(Action, t)) {
        QTimer::singleShot(0, this, [this] { emit Error(InvalidAction); });
        return;
    }
    m_target = t;
    m_url = Action.trimmed();
    open();
}

// Connects to the target (or the proxy) of m_target.
void clsHTTP::open()
{
    const Target &t = m_target;
    const QString host = proxyUsable() ? m_proxyHost : t.host;
    const int port = proxyUsable() ? m_proxyPort : t.port;
    if (!hostAllowed(host)) {
        Cancel();
        m_socketError = QStringLiteral("%1 is not reachable (only this machine may be reached)").arg(host);
        QTimer::singleShot(0, this, [this] { emit Error(SocketError); });
        return;
    }
    if (!m_start.isValid() || m_redirects == 0)
        m_start.start();
    m_activity.start();
    m_timer->start();
    m_running = true;
    m_socket = new QTcpSocket(this);
    // What arrives faster than it is written waits on the socket, not in memory.
    m_socket->setReadBufferSize(1024 * 1024);
    connect(m_socket, &QTcpSocket::connected, this, &clsHTTP::connected);
    connect(m_socket, &QTcpSocket::readyRead, this, &clsHTTP::readyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &clsHTTP::disconnected);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &clsHTTP::socketError);
    connect(m_socket, &QTcpSocket::bytesWritten, this, [this](qint64 n) {
        m_sent += n;
        m_activity.restart();
        pump();
    });
    m_socket->connectToHost(host, quint16(port));
}

// A 3xx answer with a Location: the request goes there instead, on plain
// HTTP only, at most kMaxRedirects times.  False when the answer is not a
// redirect to follow (it is then the answer).
bool clsHTTP::redirect(int status)
{
    if (status != 301 && status != 302 && status != 303 && status != 307 && status != 308)
        return false;
    const QByteArray location = headerValue(m_headerText, "location");
    if (location.isEmpty())
        return false;
    const QUrl next = QUrl(m_url).resolved(QUrl(QString::fromUtf8(location)));
    Target t;
    if (!crack(next.toString(), t)) {
        m_socketError = QStringLiteral("the server sends the request on to %1, which is not a plain http address; "
                                       "it was not followed")
                            .arg(next.toString());
        fail(RedirectError);
        return true;
    }
    if (m_redirects >= kMaxRedirects) {
        m_socketError =
            QStringLiteral("the server sent the request on more than %1 times (last to %2)").arg(kMaxRedirects).arg(next.toString());
        fail(RedirectError);
        return true;
    }
    // Tear down this answer's connection, keep the counters of the whole request.
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        m_socket->deleteLater();
        m_socket = nullptr;
    }
    m_pieces.clear();
    if (m_upload.isOpen())
        m_upload.close();
    ++m_redirects;
    // As browsers do: a 303, and a 301 or 302 after a POST, asks with GET.
    if (status == 303 || ((status == 301 || status == 302) && Method == POST))
        m_asGet = true;
    if (t.host.compare(m_target.host, Qt::CaseInsensitive) != 0 || t.port != m_target.port)
        m_otherHost = true;
    m_target = t;
    m_url = next.toString();
    m_headerText.clear();
    m_expected = 0;
    m_state = 0;
    open();
    return true;
}

void clsHTTP::connected()
{
    const Target &t = m_target;
    QString hostPort = t.host.contains(QLatin1Char(':')) ? QLatin1Char('[') + t.host + QLatin1Char(']') : t.host;
    if (t.port != 80)
        hostPort += QLatin1Char(':') + QString::number(t.port);
    // This request's headers: the caller's, with what follows from this
    // request's own address and proxy.  Nothing of it stays for the next
    // request, so credentials never travel on to another server.
    QList<QPair<QString, QString>> headers = m_headers;
    auto set = [&headers](const QString &name, const QString &value) { setIn(headers, name, value); };
    // Another host reached by a redirect gets none of the caller's credentials.
    if (m_otherHost) {
        set(QStringLiteral("Authorization"), {});
        set(QStringLiteral("Cookie"), {});
    }
    const int method = m_asGet ? int(GET) : Method;
    const QList<Element> elements = m_asGet ? QList<Element>() : m_elements;
    set(QStringLiteral("Host"), hostPort);
    QString prefix = QStringLiteral("http://") + hostPort;
    if (!t.user.isEmpty() || !t.password.isEmpty())
        set(QStringLiteral("Authorization"), QString::fromLatin1(basic(t.user, t.password)));
    if (proxyUsable()) {
        // The proxy's credentials go to the proxy only, never to the server itself.
        if (!m_proxyUser.isEmpty() || !m_proxyPassword.isEmpty())
            set(QStringLiteral("Proxy-Authorization"), QString::fromLatin1(basic(m_proxyUser, m_proxyPassword)));
        set(QStringLiteral("Proxy-Connection"), QStringLiteral("Keep-Alive"));
    } else {
        set(QStringLiteral("Proxy-Authorization"), {});
        set(QStringLiteral("Proxy-Connection"), {});
        prefix.clear();
    }
    const QByteArray version = " HTTP/1." + QByteArray::number(Protocol);

    QByteArray line;
    m_pieces.clear();
    if (method == POST && EncType != 1) {
        QByteArray body;
        for (const Element &e : elements) {
            if (!body.isEmpty())
                body += '&';
            body += e.type == RawValue ? URLEncode(e.value) : URLEncode(e.name) + '=' + URLEncode(e.value);
        }
        set(QStringLiteral("Content-Type"), QStringLiteral("application/x-www-form-urlencoded"));
        set(QStringLiteral("Content-Length"), QString::number(body.size()));
        line = "POST " + (prefix + t.path + t.extra).toUtf8() + version;
        m_pieces.append({body, {}});
    } else if (method == POST) {
        const QByteArray partLine = QByteArray("--") + kBoundary + kCrLf;
        qint64 length = 0;
        for (const Element &e : elements) {
            QByteArray head = partLine + "Content-Disposition: form-data; name=" + quoted(e.name);
            if (e.type == FileField) {
                head += "; filename=" + quoted(e.value) + kCrLf + "Content-Type: " + ContentType(e.value).toUtf8()
                    + kCrLf + kCrLf;
                m_pieces.append({head, {}});
                m_pieces.append({{}, e.value});
                m_pieces.append({kCrLf, {}});
                length += head.size() + QFileInfo(e.value).size() + kCrLf.size();
            } else {
                head += kCrLf + kCrLf + e.value.toUtf8() + kCrLf;
                m_pieces.append({head, {}});
                length += head.size();
            }
        }
        const QByteArray end = QByteArray("--") + kBoundary + "--" + kCrLf;
        m_pieces.append({end, {}});
        length += end.size();
        set(QStringLiteral("Content-Type"), QStringLiteral("multipart/form-data; boundary=") + QLatin1String(kBoundary));
        set(QStringLiteral("Content-Length"), QString::number(length));
        line = "POST " + (prefix + t.path + t.extra).toUtf8() + version;
    } else {
        set(QStringLiteral("Content-Type"), {});
        set(QStringLiteral("Content-Length"), {});
        // The URL's own query stays; the elements follow it.
        QByteArray query = t.extra.toUtf8();
        for (const Element &e : elements) {
            query += query.isEmpty() ? '?' : '&';
            query += e.type == RawValue ? URLEncode(e.value) : URLEncode(e.name) + '=' + URLEncode(e.value);
        }
        line = (method == HEAD ? "HEAD " : "GET ") + (prefix + t.path).toUtf8() + query + version;
    }

    QByteArray head = line + kCrLf;
    for (const auto &h : headers)
        if (!h.second.isEmpty())
            head += h.first.toUtf8() + ": " + h.second.toUtf8() + kCrLf;
    head += kCrLf;
    m_pieces.prepend({head, {}});
    pump();
}

void clsHTTP::pump()
{
    while (m_socket && m_running && !m_pieces.isEmpty() && m_socket->bytesToWrite() < kSendWindow) {
        Piece &p = m_pieces.first();
        if (p.file.isEmpty()) {
            m_socket->write(p.bytes);
            m_pieces.removeFirst();
            continue;
        }
        if (!m_upload.isOpen()) {
            m_upload.setFileName(p.file);
            if (!m_upload.open(QIODevice::ReadOnly)) {
                m_socketError = QStringLiteral("%1 cannot be read").arg(p.file);
                fail(SocketError);
                return;
            }
        }
        const QByteArray block = m_upload.read(1024);
        if (block.isEmpty()) {
            m_upload.close();
            m_pieces.removeFirst();
            continue;
        }
        m_socket->write(block);
    }
}

void clsHTTP::readyRead()
{
    if (!m_socket || !m_running)
        return;
    const QByteArray data = m_socket->readAll();
    if (data.isEmpty())
        return;
    m_received += data.size();
    m_activity.restart();
    if (m_state == 0)
        headerData(data);
    else if (m_state == 1)
        bodyData(data);
}

void clsHTTP::headerData(const QByteArray &data)
{
    m_headerText += data;
    qsizetype at = -1;
    int sepLength = 0;
    for (;;) {
        at = -1;
        for (const auto &[sep, length] : {std::pair<const char *, int>{"\r\n\r\n", 4}, {"\n\n", 2}, {"\r\r", 2}}) {
            const qsizetype i = m_headerText.indexOf(sep);
            if (i >= 0 && (at < 0 || i < at)) {
                at = i;
                sepLength = length;
            }
        }
        if (at < 0) {
            if (m_headerText.size() > kMaxHeaderBytes) {
                m_socketError = QStringLiteral("the answer's headers do not end");
                fail(SocketError);
            }
            return;
        }
        // An interim answer ("100 Continue", "102 Processing", "103 Early
        // Hints") is not the answer: the real one follows it.
        const int status = m_headerText.mid(m_headerText.indexOf(' ') + 1, 3).toInt();
        if (status < 100 || status >= 200 || status == 101)
            break;
        m_headerText.remove(0, at + sepLength);
    }
    if (redirect(m_headerText.mid(m_headerText.indexOf(' ') + 1, 3).toInt()))
        return;
    if (SaveAs.isEmpty()) {
        QTemporaryFile tmp(QDir::tempPath() + QStringLiteral("/velmor-http-XXXXXX"));
        tmp.setAutoRemove(false);
        if (tmp.open()) {
            SaveAs = tmp.fileName();
            m_madeSaveAs = true;
        }
    }
    // The body arrives in a file beside the target and takes the target's
    // name only once it is whole: a transfer cut short leaves nothing there.
    m_body.setFileName(SaveAs + QStringLiteral(".part"));
    if (SaveAs.isEmpty() || QFileInfo(SaveAs).isDir() || !m_body.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        Cancel();
        emit Error(WriteError);
        return;
    }
    const QByteArray rest = m_headerText.mid(at + sepLength);
    m_headerText = m_headerText.left(at) + "\r\n\r\n";

    const QByteArray length = headerValue(m_headerText, "content-length");
    bool hasLength = false;
    if (!length.isNull()) {
        qsizetype digits = 0;
        while (digits < length.size() && std::isdigit(static_cast<unsigned char>(length.at(digits))))
            ++digits;
        m_expected = length.left(digits).toLongLong(&hasLength);
    }
    const int status = m_headerText.mid(m_headerText.indexOf(' ') + 1, 3).toInt();
    m_chunked = headerValue(m_headerText, "transfer-encoding").toLower().contains("chunked");
    const bool noBody = Method == HEAD || status == 204 || status == 304 || (status >= 100 && status < 200)
        || (hasLength && m_expected == 0 && !m_chunked);
    m_state = noBody ? 2 : 1;
    if (m_state == 2) {
        finish();
        return;
    }
    if (m_chunked)
        m_expected = 0;
    if (!rest.isEmpty())
        bodyData(rest);
}

bool clsHTTP::writeBody(const QByteArray &data)
{
    if (data.isEmpty())
        return true;
    if (MaxBytes > 0 && m_written + data.size() > MaxBytes) {
        m_limitText = QStringLiteral("the answer is larger than %1 bytes, the limit of this transfer").arg(MaxBytes);
        fail(LimitError);
        return false;
    }
    if (m_body.write(data) != data.size()) {
        Cancel();
        emit Error(WriteError);
        return false;
    }
    m_written += data.size();
    return true;
}

void clsHTTP::bodyData(const QByteArray &data)
{
    if (m_chunked) {
        chunkedData(data);
        return;
    }
    if (m_expected >= 1) {
        if (!writeBody(data.left(m_expected - m_written)))
            return;
        if (m_written >= m_expected)
            finish();
        return;
    }
    if (!writeBody(data))
        return;
    // Without a length the page is whole at its closing tag (which may
    // straddle two blocks).
    if ((m_tail + data).toLower().contains("</html>")) {
        finish();
        return;
    }
    m_tail = data.right(6);
}

// A chunked body: hexadecimal size line, that many bytes, a line end; a
// size of 0 and the trailer lines end it.
void clsHTTP::chunkedData(const QByteArray &data)
{
    m_chunkBuffer += data;
    while (m_running) {
        if (m_chunkLeft > 0) {
            const qint64 n = qMin<qint64>(m_chunkLeft, m_chunkBuffer.size());
            if (n == 0)
                return;
            if (!writeBody(m_chunkBuffer.left(n)))
                return;
            m_chunkBuffer.remove(0, n);
            m_chunkLeft -= n;
            if (m_chunkLeft == 0)
                m_chunkLeft = -2; // the line end after the data
            continue;
        }
        const qsizetype eol = m_chunkBuffer.indexOf('\n');
        if (eol < 0) {
            if (m_chunkBuffer.size() > 4096) {
                m_socketError = QStringLiteral("the answer's chunked body is malformed");
                fail(SocketError);
            }
            return;
        }
        const QByteArray line = m_chunkBuffer.left(eol).trimmed();
        m_chunkBuffer.remove(0, eol + 1);
        if (m_chunkLeft == -2) {
            m_chunkLeft = -1;
            continue;
        }
        if (m_chunkTrailer) {
            if (line.isEmpty()) {
                finish();
                return;
            }
            continue;
        }
        bool ok = false;
        const qint64 size = line.split(';').first().trimmed().toLongLong(&ok, 16);
        if (!ok || size < 0) {
            m_socketError = QStringLiteral("the answer's chunked body is malformed");
            fail(SocketError);
            return;
        }
        if (size == 0)
            m_chunkTrailer = true;
        else
            m_chunkLeft = size;
    }
}

void clsHTTP::finish()
{
    m_state = 2;
    const QString headers = QString::fromLatin1(m_headerText);
    const QString file = SaveAs;
    if (m_body.isOpen()) {
        const QString part = m_body.fileName();
        const bool flushed = m_body.flush();
        m_body.close();
        QFile::remove(file);
        if (!flushed || !QFile::rename(part, file)) {
            QFile::remove(part);
            fail(WriteError);
            return;
        }
    }
    m_madeSaveAs = false;
    Cancel();
    emit Complete(headers, file);
}

// A transfer that did not finish keeps no file: neither the part received
// nor the temporary file made to hold it.
void clsHTTP::discardBody()
{
    if (m_body.isOpen()) {
        m_body.close();
        QFile::remove(m_body.fileName());
    }
    if (m_madeSaveAs) {
        QFile::remove(SaveAs);
        SaveAs.clear();
        m_madeSaveAs = false;
    }
}

void clsHTTP::fail(int code)
{
    Cancel();
    emit Error(code);
}

void clsHTTP::disconnected()
{
    if (!m_running)
        return;
    if (m_socket && m_socket->bytesAvailable() > 0)
        readyRead();
    if (!m_running)
        return;
    // The server closed.  An answer that stated its end (a length, chunks)
    // and did not reach it is cut off; one that stated none ends here.
    if (m_state == 0) {
        m_socketError = m_headerText.isEmpty()
            ? QStringLiteral("the server closed the connection without an answer")
            : QStringLiteral("the connection closed inside the answer's headers");
        fail(SocketError);
    } else if (m_chunked) {
        m_socketError = QStringLiteral("the connection closed before the answer's last chunk (%1 bytes received)")
                            .arg(m_written);
        fail(SocketError);
    } else if (m_expected >= 1 && m_written < m_expected) {
        m_socketError = QStringLiteral("the connection closed after %1 of %2 bytes").arg(m_written).arg(m_expected);
        fail(SocketError);
    } else {
        finish();
    }
}

void clsHTTP::socketError()
{
    if (!m_socket || !m_running)
        return;
    if (m_socket->error() == QAbstractSocket::RemoteHostClosedError) {
        disconnected();
        return;
    }
    m_socketError = m_socket->errorString();
    fail(SocketError);
}

void clsHTTP::tick()
{
    if (!m_running)
        return;
    emit StateChange(m_received, m_expected, m_start.elapsed() / 1000.0);
    // Counted from the start of the connection attempt, so a host that never
    // accepts the connection times out too.
    if (m_running && m_socket && m_activity.elapsed() >= qint64(Timeout) * 1000) {
        fail(TimeoutError);
        return;
    }
    // A server that keeps sending slowly, or without end, is stopped all the same.
    if (m_running && MaxSeconds > 0 && m_start.elapsed() >= qint64(MaxSeconds) * 1000) {
        m_limitText = QStringLiteral("the transfer took longer than %1 s, the limit of this transfer").arg(MaxSeconds);
        fail(TimeoutError);
    }
}

void clsHTTP::Cancel()
{
    if (m_timer)
        m_timer->stop();
    m_running = false;
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        m_socket->deleteLater();
        m_socket = nullptr;
    }
    discardBody();
    if (m_upload.isOpen())
        m_upload.close();
    m_pieces.clear();
}

QString clsHTTP::errorText(int code)
{
    switch (code) {
    case clsHTTP::SocketError:
        return QStringLiteral("A Socket-Error occured!");
    case clsHTTP::TimeoutError:
        return QStringLiteral("A Timeout occured!");
    case clsHTTP::InvalidAction:
        return QStringLiteral("The Action Property is invalid!");
    case clsHTTP::WriteError:
        return QStringLiteral("A Write-Error occured!");
    case clsHTTP::RedirectError:
        return QStringLiteral("A Redirect could not be followed!");
    case clsHTTP::LimitError:
        return QStringLiteral("The answer went past its size limit!");
    default:
        return QStringLiteral("An unknown Error occured!");
    }
}

} // namespace velmor::online
