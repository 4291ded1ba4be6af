#include "online/GiaReportService.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace velmor::online::gia_service {

namespace {

const char *kQuery = R"(query ReportQuery($ReportNumber: String!) {
  getReport(report_number: $ReportNumber) {
    report_number
    report_type
    results {
      __typename
      ... on DiamondGradingReportResults {
        shape_and_cutting_style measurements carat_weight color_grade clarity_grade cut_grade
        polish symmetry fluorescence inscriptions report_comments
        proportions { depth_pct table_pct crown_angle crown_height pavilion_angle pavilion_depth
                      star_length lower_half girdle culet }
        data { ...Data }
      }
      ... on LabGrownDiamondGradingReportResults {
        shape_and_cutting_style measurements carat_weight color_grade clarity_grade cut_grade
        polish symmetry fluorescence inscriptions report_comments
        proportions { depth_pct table_pct crown_angle crown_height pavilion_angle pavilion_depth
                      star_length lower_half girdle culet }
        data { ...Data }
      }
    }
    links { pdf }
  }
}
fragment Data on DiamondData {
  measurements { ... on RoundMeasurements { min_diam max_diam depth } ... on FancyMeasurements { length width depth } }
  weight { weight weight_unit }
  color { color_grade_code }
  clarity
  fluorescence { fluorescence_intensity }
  girdle { girdle_condition girdle_pct }
})";

// A JSON value as text; null and missing give a null string.
QString text(const QJsonValue &v)
{
    if (v.isString())
        return v.toString().trimmed();
    if (v.isDouble())
        return QString::number(v.toDouble(), 'g', 12);
    return {};
}

// "61.5%", "34.5°" -> "61.5"; other text as it is.
QString number(const QString &s)
{
    static const QRegularExpression re(QStringLiteral("^\\s*(-?[0-9]+(?:\\.[0-9]+)?)\\s*(?:%|°|deg)?\\s*$"));
    const auto m = re.match(s);
    return m.hasMatch() ? m.captured(1) : s;
}

QString clarityCode(const QString &s)
{
    if (s.compare(QLatin1String("Internally Flawless"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("IF");
    if (s.compare(QLatin1String("Flawless"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("FL");
    return s;
}

void put(GiaAnswer &a, const char *tag, const QString &value)
{
    if (!value.isNull())
        a.set(QString::fromLatin1(tag), value);
}

} // namespace

QByteArray requestBody(const QString &reportNumber)
{
    QJsonObject variables;
    variables.insert(QStringLiteral("ReportNumber"), reportNumber);
    QJsonObject body;
    body.insert(QStringLiteral("query"), QString::fromUtf8(kQuery));
    body.insert(QStringLiteral("variables"), variables);
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

QList<QPair<QByteArray, QByteArray>> requestHeaders(const QString &key)
{
    return {{"Authorization", key.toUtf8()}, {"Content-Type", "application/json"}};
}

ServiceAnswer readAnswer(const QString &reportNumber, int httpStatus, const QByteArray &body)
{
    ServiceAnswer out;
    GiaAnswer &a = out.answer;
    a.reportNumber = reportNumber;
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &pe);
    const QJsonObject root = doc.object();
    if (httpStatus == 401 || httpStatus == 403) {
        const QString why = text(root.value(QStringLiteral("message")));
        a.error = QStringLiteral("The laboratory refused the key (HTTP %1%2). Check key= in online.ini.")
                      .arg(httpStatus)
                      .arg(why.isEmpty() ? QString() : QStringLiteral(": ") + why);
        return out;
    }
    if (httpStatus == 429) {
        a.error = QStringLiteral("The laboratory asks to wait before the next request (HTTP 429); try again shortly.");
        return out;
    }
    if (httpStatus != 200) {
        a.error = QStringLiteral("The laboratory's service answered HTTP %1.").arg(httpStatus);
        return out;
    }
    if (pe.error != QJsonParseError::NoError || !doc.isObject()) {
        a.error = QStringLiteral("The laboratory's answer is not readable (%1).")
                      .arg(pe.error != QJsonParseError::NoError ? pe.errorString() : QStringLiteral("not a JSON object"));
        return out;
    }
    const QJsonObject report = root.value(QStringLiteral("data")).toObject().value(QStringLiteral("getReport")).toObject();
    const QJsonArray errors = root.value(QStringLiteral("errors")).toArray();
    if (report.isEmpty()) {
        QString why;
        if (!errors.isEmpty()) {
            const QJsonObject e = errors.first().toObject();
            why = text(e.value(QStringLiteral("message")));
            const QString info = text(e.value(QStringLiteral("errorInfo")));
            if (!info.isEmpty())
                why = info + QStringLiteral(": ") + why;
        }
        a.error = QStringLiteral("No report %1 at the laboratory%2")
                      .arg(reportNumber, why.isEmpty() ? QStringLiteral(".") : QStringLiteral(" (") + why + QStringLiteral(")."));
        return out;
    }
    const QJsonObject r = report.value(QStringLiteral("results")).toObject();
    const QString type = text(r.value(QStringLiteral("__typename")));
    if (r.isEmpty() || (type != QLatin1String("DiamondGradingReportResults")
                        && type != QLatin1String("LabGrownDiamondGradingReportResults"))) {
        a.error = QStringLiteral("Report %1 is not a diamond grading report (%2).")
                      .arg(reportNumber, text(report.value(QStringLiteral("report_type"))));
        return out;
    }
    const QJsonObject data = r.value(QStringLiteral("data")).toObject();
    const QJsonObject p = r.value(QStringLiteral("proportions")).toObject();

    // Measurements: length x width x depth (a round stone: the larger
    // diameter as the length); from the parts when given, else the text.
    const QJsonObject m = data.value(QStringLiteral("measurements")).toObject();
    QString length = text(m.value(QStringLiteral("length"))), width = text(m.value(QStringLiteral("width")));
    QString depth = text(m.value(QStringLiteral("depth")));
    if (length.isNull() && m.contains(QStringLiteral("max_diam"))) {
        length = text(m.value(QStringLiteral("max_diam")));
        width = text(m.value(QStringLiteral("min_diam")));
    }
    if (length.isNull()) {
        static const QRegularExpression fancy(QStringLiteral(
            "([0-9.]+)\\s*(-|x)\\s*([0-9.]+)\\s*x\\s*([0-9.]+)"));
        const auto mm = fancy.match(text(r.value(QStringLiteral("measurements"))));
        if (mm.hasMatch()) {
            const bool round = mm.captured(2) == QLatin1String("-");
            length = round ? mm.captured(3) : mm.captured(1);
            width = round ? mm.captured(1) : mm.captured(3);
            depth = mm.captured(4);
        }
    }
    put(a, "LENGTH", length);
    put(a, "WIDTH", width);
    put(a, "DEPTH", depth);

    QString weight = text(data.value(QStringLiteral("weight")).toObject().value(QStringLiteral("weight")));
    if (weight.isNull()) {
        static const QRegularExpression carat(QStringLiteral("^\\s*([0-9]+(?:\\.[0-9]+)?)"));
        const auto cm = carat.match(text(r.value(QStringLiteral("carat_weight"))));
        if (cm.hasMatch())
            weight = cm.captured(1);
    }
    put(a, "WEIGHT", weight);
    out.weight = weight.toDouble();

    QString colour = text(data.value(QStringLiteral("color")).toObject().value(QStringLiteral("color_grade_code")));
    put(a, "COLOR", colour.isNull() ? text(r.value(QStringLiteral("color_grade"))) : colour);
    QString clarity = text(data.value(QStringLiteral("clarity")));
    put(a, "CLARITY", clarityCode(clarity.isNull() ? text(r.value(QStringLiteral("clarity_grade"))) : clarity));
    put(a, "FINAL_CUT", text(r.value(QStringLiteral("cut_grade"))));
    const std::pair<const char *, const char *> proportions[] = {
        {"DEPTH_PCT", "depth_pct"},    {"TABLE_PCT", "table_pct"},   {"CRN_AG", "crown_angle"},
        {"CRN_HT", "crown_height"},    {"PAV_AG", "pavilion_angle"}, {"PAV_DP", "pavilion_depth"},
        {"STR_LN", "star_length"},     {"LR_HALF", "lower_half"},
    };
    for (const auto &[tag, field] : proportions) {
        const QString v = text(p.value(QLatin1String(field)));
        put(a, tag, v.isNull() ? v : number(v));
    }
    put(a, "GIRDLE", text(p.value(QStringLiteral("girdle"))));
    const QJsonObject girdle = data.value(QStringLiteral("girdle")).toObject();
    put(a, "GIRDLE_CONDITION", text(girdle.value(QStringLiteral("girdle_condition"))));
    const QString girdlePct = text(girdle.value(QStringLiteral("girdle_pct")));
    put(a, "GIRDLE_PCT", girdlePct.isNull() ? girdlePct : number(girdlePct));
    put(a, "CULET_SIZE", text(p.value(QStringLiteral("culet"))));
    put(a, "POLISH", text(r.value(QStringLiteral("polish"))));
    put(a, "SYMMETRY", text(r.value(QStringLiteral("symmetry"))));
    const QString fluo = text(data.value(QStringLiteral("fluorescence")).toObject().value(QStringLiteral("fluorescence_intensity")));
    put(a, "FLUORESCENCE_INTENSITY", fluo.isNull() ? text(r.value(QStringLiteral("fluorescence"))) : fluo);
    put(a, "SHAPE", text(r.value(QStringLiteral("shape_and_cutting_style"))));
    put(a, "REPORT_COMMENTS", text(r.value(QStringLiteral("report_comments"))));
    put(a, "INSCRIPTION", text(r.value(QStringLiteral("inscriptions"))));
    out.pdfLink = text(report.value(QStringLiteral("links")).toObject().value(QStringLiteral("pdf")));
    return out;
}

} // namespace velmor::online::gia_service
