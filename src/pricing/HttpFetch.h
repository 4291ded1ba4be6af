#pragma once
// One HTTP request with a time limit.  The call waits in a local event loop,
// so the windows keep repainting and timers keep running while it waits;
// a request that has not finished in time is aborted.
#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>

namespace velmor::pricing {

struct HttpResult {
    bool ok = false;      // finished with a 2xx answer
    bool timedOut = false;
    int status = 0;       // HTTP status, 0 when none came
    QByteArray body;
    QString error;        // what went wrong, for the user
};

using HttpHeaders = QList<QPair<QByteArray, QByteArray>>;

HttpResult httpGet(const QUrl &url, const HttpHeaders &headers, int timeoutMs);
HttpResult httpPost(const QUrl &url, const QByteArray &body, const HttpHeaders &headers, int timeoutMs);

} // namespace velmor::pricing
