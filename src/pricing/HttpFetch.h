#pragma once
// One HTTP request with a time limit and a size limit.  The call waits in a
// local event loop, so the windows keep repainting and timers keep running
// while it waits; a request that has not finished in time, or whose answer
// grows past its limit, is aborted with a message naming the limit.
// Only http and https addresses are fetched (never file: or others).
#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>

namespace velmor::pricing {

struct HttpResult {
    bool ok = false;      // finished with a 2xx answer
    bool timedOut = false;
    bool tooLarge = false; // the answer went past the size limit (nothing kept)
    int status = 0;       // HTTP status, 0 when none came
    QByteArray body;      // empty when the body went to a file
    QString error;        // what went wrong, for the user
};

using HttpHeaders = QList<QPair<QByteArray, QByteArray>>;

// What one request may take.
struct HttpLimits {
    int timeoutMs = 30000;               // the whole request, from start to last byte
    qint64 maxBytes = 8 * 1024 * 1024;   // the body; more aborts the request
    // When set, the body streams into this file (under a temporary name,
    // renamed when whole) instead of memory; on failure the file is left as
    // it was.
    QString saveAs;
};

HttpResult httpGet(const QUrl &url, const HttpHeaders &headers, int timeoutMs);
HttpResult httpPost(const QUrl &url, const QByteArray &body, const HttpHeaders &headers, int timeoutMs);
HttpResult httpGet(const QUrl &url, const HttpHeaders &headers, const HttpLimits &limits);
HttpResult httpPost(const QUrl &url, const QByteArray &body, const HttpHeaders &headers, const HttpLimits &limits);

} // namespace velmor::pricing
