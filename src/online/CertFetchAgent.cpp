#include "online/CertFetchAgent.h"

#include "core/Workstation.h"
#include "online/GiaReportService.h"
#include "online/OnlineSettings.h"
#include "pricing/HttpFetch.h"

#include <QFile>
#include <QSaveFile>
#include <QUrl>
#include <cmath>

namespace velmor::online {

namespace {

bool writeWhole(const QString &path, const QByteArray &bytes)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(bytes);
    return f.commit();
}

} // namespace

int runCertFetchAgent(const QString &folder, QTextStream &out, QTextStream &err)
{
    const Workstation ws(folder);
    const QStringList request = ws.readLines(QStringLiteral("requestgia.ini"));
    const QString number = request.value(2).trimmed().remove(QLatin1Char(' '));
    const QString weightText = request.value(1).trimmed();
    if (number.isEmpty()) {
        err << "velmor-certfetch: no certificate number in " << ws.path(QStringLiteral("requestgia.ini")) << Qt::endl;
        return 2;
    }
    const QString xmlPath = ws.path(QStringLiteral("xmlResponse.xml"));
    const OnlineSettings s = OnlineSettings::fromWorkstation(ws);

    gia_service::ServiceAnswer got;
    got.answer.reportNumber = number;
    if (s.key.isEmpty()) {
        got.answer.error = QStringLiteral("No key for the laboratory's service: add key=... to %1.")
                               .arg(ws.path(OnlineSettings::fileName()));
    } else {
        const pricing::HttpResult r = pricing::httpPost(QUrl(s.service), gia_service::requestBody(number),
                                                        gia_service::requestHeaders(s.key), s.serviceTimeoutMs);
        if (r.timedOut)
            got.answer.error = QStringLiteral("The laboratory's service did not answer within %1 seconds.")
                                   .arg(s.serviceTimeoutMs / 1000);
        else if (r.status == 0)
            got.answer.error = QStringLiteral("The laboratory's service cannot be reached: %1").arg(r.error);
        else
            got = gia_service::readAnswer(number, r.status, r.body);
    }
    // The weight the dealer gave confirms the stone: a report for another
    // weight is another stone (or a mistyped number).
    bool weightGiven = false;
    const double weight = weightText.toDouble(&weightGiven);
    if (got.answer.error.isEmpty() && weightGiven && weight > 0 && got.weight > 0
        && std::fabs(weight - got.weight) > 0.005) {
        got.answer = GiaAnswer();
        got.answer.reportNumber = number;
        got.answer.error = QStringLiteral("Report %1 is for a stone of %2 ct, not %3 ct.")
                               .arg(number, QString::number(got.weight, 'f', 2), QString::number(weight, 'f', 2));
        got.pdfLink.clear();
    }
    if (!writeWhole(xmlPath, got.answer.toXml())) {
        err << "velmor-certfetch: cannot write " << xmlPath << Qt::endl;
        return 2;
    }
    if (!got.answer.error.isEmpty()) {
        err << "velmor-certfetch: " << got.answer.error << Qt::endl;
        return 1;
    }
    out << "velmor-certfetch: report " << number << " written to " << xmlPath << Qt::endl;
    if (!got.pdfLink.isEmpty()) {
        const pricing::HttpResult pdf = pricing::httpGet(QUrl(got.pdfLink), {}, s.serviceTimeoutMs);
        if (pdf.ok && pdf.body.startsWith("%PDF")) {
            if (writeWhole(ws.path(QStringLiteral("pdfResponse.pdf")), pdf.body))
                out << "velmor-certfetch: report PDF written" << Qt::endl;
        } else {
            err << "velmor-certfetch: the report PDF was not fetched ("
                << (pdf.ok ? QStringLiteral("not a PDF") : pdf.error) << ")" << Qt::endl;
        }
    }
    return 0;
}

} // namespace velmor::online
