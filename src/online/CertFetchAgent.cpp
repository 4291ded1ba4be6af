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

// A file of the workstation folder, written whole; never through a link to
// a place outside the folder.
bool writeWhole(const Workstation &ws, const QString &name, const QByteArray &bytes)
{
    if (!ws.outsideRefusal(name).isEmpty())
        return false;
    QSaveFile f(ws.path(name));
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(bytes);
    return f.commit();
}

// What the laboratory's answer and its report may take: an answer is a few
// kilobytes, a report PDF well under a few megabytes.
constexpr qint64 kAnswerLimit = 4 * 1024 * 1024;
constexpr qint64 kReportLimit = 32 * 1024 * 1024;

// The report of a link in the answer, into pdfResponse.pdf: https only
// (plain http where online.ini allows it), never a file of this machine.
// Streamed to disk, taking its name only when whole and a PDF.  Empty when
// written, else why not.
QString fetchReportPdf(const Workstation &ws, const OnlineSettings &s, const QUrl &link)
{
    const QString scheme = link.scheme().toLower();
    if (scheme != QLatin1String("https") && !(s.allowHttp && scheme == QLatin1String("http")))
        return QStringLiteral("the link \"%1\" is not an https address%2")
            .arg(link.toString(), scheme == QLatin1String("http") ? QStringLiteral(" (allowhttp=yes in online.ini "
                                                                                   "allows plain http)")
                                                                  : QString());
    for (const char *name : {"pdfResponse.pdf", "pdfResponse.pdf.part"}) {
        const QString refusal = ws.outsideRefusal(QLatin1String(name));
        if (!refusal.isEmpty())
            return refusal;
    }
    const QString target = ws.path(QStringLiteral("pdfResponse.pdf"));
    const QString part = target + QStringLiteral(".part");
    pricing::HttpLimits limits;
    limits.timeoutMs = s.serviceTimeoutMs;
    limits.maxBytes = kReportLimit;
    limits.saveAs = part;
    const pricing::HttpResult pdf = pricing::httpGet(link, {}, limits);
    if (!pdf.ok) {
        QFile::remove(part);
        return pdf.error;
    }
    QFile f(part);
    const bool isPdf = f.open(QIODevice::ReadOnly) && f.read(4) == "%PDF";
    f.close();
    if (!isPdf) {
        QFile::remove(part);
        return QStringLiteral("not a PDF");
    }
    QFile::remove(target);
    if (!QFile::rename(part, target)) {
        QFile::remove(part);
        return QStringLiteral("%1 cannot be written").arg(target);
    }
    return {};
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
        pricing::HttpLimits limits;
        limits.timeoutMs = s.serviceTimeoutMs;
        limits.maxBytes = kAnswerLimit;
        const pricing::HttpResult r = pricing::httpPost(QUrl(s.service), gia_service::requestBody(number),
                                                        gia_service::requestHeaders(s.key), limits);
        if (r.timedOut)
            got.answer.error = QStringLiteral("The laboratory's service did not answer within %1 seconds.")
                                   .arg(s.serviceTimeoutMs / 1000);
        else if (r.tooLarge)
            got.answer.error = QStringLiteral("The laboratory's service gave no usable answer: %1.").arg(r.error);
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
    if (!writeWhole(ws, QStringLiteral("xmlResponse.xml"), got.answer.toXml())) {
        err << "velmor-certfetch: cannot write " << xmlPath << Qt::endl;
        return 2;
    }
    if (!got.answer.error.isEmpty()) {
        err << "velmor-certfetch: " << got.answer.error << Qt::endl;
        return 1;
    }
    out << "velmor-certfetch: report " << number << " written to " << xmlPath << Qt::endl;
    if (!got.pdfLink.isEmpty()) {
        const QString why = fetchReportPdf(ws, s, QUrl(got.pdfLink));
        if (why.isEmpty())
            out << "velmor-certfetch: report PDF written" << Qt::endl;
        else
            err << "velmor-certfetch: the report PDF was not fetched (" << why << ")" << Qt::endl;
    }
    return 0;
}

} // namespace velmor::online
