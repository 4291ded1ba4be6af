#pragma once
// The laboratory's report-results web service as its public documentation
// describes it (README, "Certificate look-up"): a GraphQL query POSTed as
// JSON {"query", "variables": {"ReportNumber"}} with the dealer's key in the
// Authorization header; the answer is JSON, "data.getReport" with the
// grading, or "errors" (report not found, quota reached), or HTTP 403
// {"message": "Authorization denied."} for a bad key.
//
// This file is the one place that knows the request's and the answer's
// shape; it turns the answer into the tags of xmlResponse.xml.
#include "online/GiaAnswer.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

namespace velmor::online::gia_service {

// The POST body for one report number.
QByteArray requestBody(const QString &reportNumber);
// Authorization (the key as given) and Content-Type: application/json.
QList<QPair<QByteArray, QByteArray>> requestHeaders(const QString &key);

struct ServiceAnswer {
    GiaAnswer answer;  // the tags; answer.error says why there are none
    QString pdfLink;   // the report's PDF facsimile, when offered
    double weight = 0; // the report's carat weight, 0 when not given
};

// Reads the service's answer: the HTTP status (0 when none came) and body.
ServiceAnswer readAnswer(const QString &reportNumber, int httpStatus, const QByteArray &body);

} // namespace velmor::online::gia_service
