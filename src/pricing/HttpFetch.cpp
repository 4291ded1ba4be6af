#include "pricing/HttpFetch.h"

#include "core/LocalFiles.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QTimer>

namespace velmor::pricing {

namespace {

HttpResult run(const QUrl &url, const QByteArray &method, const QByteArray &body, const HttpHeaders &headers,
               const HttpLimits &limits)
{
    HttpResult r;
    // The network only: a file: (or any other) address would read this
    // machine's own files.
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) {
        r.error = QStringLiteral("the address \"%1\" is not an http or https address").arg(url.toString());
        return r;
    }
    if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty()) {
        r.error = QStringLiteral("the address \"%1\" is not a web address").arg(url.toString());
        return r;
    }
    // VELMOR_LOCAL_NETWORK_ONLY keeps a run (the tests, the benchmark) on
    // this machine: any other host fails at once, as an unreachable one would.
    if (qEnvironmentVariableIsSet("VELMOR_LOCAL_NETWORK_ONLY")) {
        const QString host = url.host().toLower();
        if (host != QLatin1String("localhost") && !host.startsWith(QLatin1String("127."))
            && host != QLatin1String("::1")) {
            r.error = QStringLiteral("%1 is not reachable (only this machine may be reached)").arg(url.host());
            return r;
        }
    }
    std::unique_ptr<QSaveFile> file;
    if (!limits.saveAs.isEmpty()) {
        file = std::make_unique<QSaveFile>(limits.saveAs);
        if (!file->open(QIODevice::WriteOnly)) {
            r.error = QStringLiteral("%1 cannot be written: %2").arg(limits.saveAs, file->errorString());
            return r;
        }
    }
    QNetworkAccessManager nam;
    QNetworkRequest req(url);
    req.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    for (const auto &h : headers)
        req.setRawHeader(h.first, h.second);
    QNetworkReply *reply = method == "POST" ? nam.post(req, body) : nam.get(req);
    // Qt holds no more than this of the answer; the rest waits on the socket
    // until it is taken.
    reply->setReadBufferSize(256 * 1024);

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    bool timedOut = false, tooLarge = false, writeFailed = false;
    qint64 received = 0;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        reply->abort();
    });
    auto take = [&] {
        while (reply->bytesAvailable() > 0 && !tooLarge && !writeFailed) {
            const QByteArray block = reply->read(64 * 1024);
            if (block.isEmpty())
                break;
            received += block.size();
            if (received > limits.maxBytes) {
                tooLarge = true;
                reply->abort();
                return;
            }
            if (file) {
                if (file->write(block) != block.size()) {
                    writeFailed = true;
                    reply->abort();
                    return;
                }
            } else {
                r.body += block;
            }
        }
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, &loop, [&] {
        // An answer that announces more than the limit is not waited for.
        bool known = false;
        const qint64 length = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
        if (known && length > limits.maxBytes && !tooLarge) {
            tooLarge = true;
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, take);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    timer.start(limits.timeoutMs);
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    timer.stop();
    if (!timedOut && !tooLarge && !writeFailed)
        take();

    r.timedOut = timedOut;
    r.tooLarge = tooLarge;
    r.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (timedOut) {
        r.error = received > 0 ? QStringLiteral("%1 did not finish its answer within %2 seconds (the time limit of "
                                                "this download)")
                                     .arg(url.host())
                                     .arg(limits.timeoutMs / 1000.0)
                               : QStringLiteral("%1 did not answer within %2 seconds").arg(url.host()).arg(limits.timeoutMs / 1000.0);
    } else if (tooLarge) {
        r.error = QStringLiteral("the answer of %1 is larger than %2, the limit of this download; it was not kept")
                      .arg(url.host(), files::sizeText(limits.maxBytes));
    } else if (writeFailed) {
        r.error = QStringLiteral("%1 cannot be written: %2").arg(limits.saveAs, file->errorString());
    } else if (reply->error() != QNetworkReply::NoError) {
        r.error = r.status ? QStringLiteral("%1 answered %2 %3")
                                 .arg(url.host())
                                 .arg(r.status)
                                 .arg(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString())
                           : QStringLiteral("%1: %2").arg(url.host(), reply->errorString());
    } else if (file && !file->commit()) {
        r.error = QStringLiteral("%1 cannot be written: %2").arg(limits.saveAs, file->errorString());
    } else {
        r.ok = true;
    }
    if (timedOut || tooLarge || writeFailed)
        r.body.clear(); // a part of an answer is no answer
    if (file && !r.ok)
        file->cancelWriting();
    delete reply;
    return r;
}

HttpLimits within(int timeoutMs)
{
    HttpLimits l;
    l.timeoutMs = timeoutMs;
    return l;
}

} // namespace

HttpResult httpGet(const QUrl &url, const HttpHeaders &headers, int timeoutMs)
{
    return run(url, "GET", {}, headers, within(timeoutMs));
}

HttpResult httpPost(const QUrl &url, const QByteArray &body, const HttpHeaders &headers, int timeoutMs)
{
    return run(url, "POST", body, headers, within(timeoutMs));
}

HttpResult httpGet(const QUrl &url, const HttpHeaders &headers, const HttpLimits &limits)
{
    return run(url, "GET", {}, headers, limits);
}

HttpResult httpPost(const QUrl &url, const QByteArray &body, const HttpHeaders &headers, const HttpLimits &limits)
{
    return run(url, "POST", body, headers, limits);
}

} // namespace velmor::pricing
