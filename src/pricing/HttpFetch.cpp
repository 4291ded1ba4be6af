#include "pricing/HttpFetch.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace velmor::pricing {

namespace {

HttpResult run(const QUrl &url, const QByteArray &method, const QByteArray &body, const HttpHeaders &headers,
               int timeoutMs)
{
    HttpResult r;
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
    QNetworkAccessManager nam;
    QNetworkRequest req(url);
    req.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    for (const auto &h : headers)
        req.setRawHeader(h.first, h.second);
    QNetworkReply *reply = method == "POST" ? nam.post(req, body) : nam.get(req);

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    bool timedOut = false;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    timer.start(timeoutMs);
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    timer.stop();

    r.timedOut = timedOut;
    r.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (!timedOut)
        r.body = reply->readAll();
    if (timedOut) {
        r.error = QStringLiteral("%1 did not answer within %2 seconds").arg(url.host()).arg(timeoutMs / 1000.0);
    } else if (reply->error() != QNetworkReply::NoError) {
        r.error = r.status ? QStringLiteral("%1 answered %2 %3")
                                 .arg(url.host())
                                 .arg(r.status)
                                 .arg(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString())
                           : QStringLiteral("%1: %2").arg(url.host(), reply->errorString());
    } else {
        r.ok = true;
    }
    delete reply;
    return r;
}

} // namespace

HttpResult httpGet(const QUrl &url, const HttpHeaders &headers, int timeoutMs)
{
    return run(url, "GET", {}, headers, timeoutMs);
}

HttpResult httpPost(const QUrl &url, const QByteArray &body, const HttpHeaders &headers, int timeoutMs)
{
    return run(url, "POST", body, headers, timeoutMs);
}

} // namespace velmor::pricing
