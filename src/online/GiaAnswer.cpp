#include "online/GiaAnswer.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace velmor::online {

const QStringList &GiaAnswer::tags()
{
    static const QStringList t = {
        QStringLiteral("LENGTH"),           QStringLiteral("WIDTH"),         QStringLiteral("DEPTH"),
        QStringLiteral("WEIGHT"),           QStringLiteral("COLOR"),         QStringLiteral("CLARITY"),
        QStringLiteral("FINAL_CUT"),        QStringLiteral("DEPTH_PCT"),     QStringLiteral("TABLE_PCT"),
        QStringLiteral("CRN_AG"),           QStringLiteral("CRN_HT"),        QStringLiteral("PAV_AG"),
        QStringLiteral("PAV_DP"),           QStringLiteral("STR_LN"),        QStringLiteral("LR_HALF"),
        QStringLiteral("GIRDLE"),           QStringLiteral("GIRDLE_CONDITION"), QStringLiteral("GIRDLE_PCT"),
        QStringLiteral("CULET_SIZE"),       QStringLiteral("POLISH"),        QStringLiteral("SYMMETRY"),
        QStringLiteral("FLUORESCENCE_INTENSITY"), QStringLiteral("SHAPE"), QStringLiteral("REPORT_COMMENTS"),
        QStringLiteral("INSCRIPTION"),
    };
    return t;
}

bool GiaAnswer::parse(const QByteArray &xml, GiaAnswer &out, QString *why, bool *incomplete)
{
    out = GiaAnswer();
    if (incomplete)
        *incomplete = false;
    QXmlStreamReader r(xml);
    bool sawElement = false;
    while (!r.atEnd()) {
        if (r.readNext() != QXmlStreamReader::StartElement)
            continue;
        sawElement = true;
        const QString name = r.name().toString().toUpper();
        const bool grading = tags().contains(name);
        if (!grading && name != QLatin1String("ERROR") && name != QLatin1String("REPORT_NO"))
            continue;
        // The first occurrence counts, as in the plain reading.
        const QString text = r.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
        if (r.hasError())
            break;
        if (name == QLatin1String("ERROR")) {
            if (out.error.isEmpty())
                out.error = text.isEmpty() ? QStringLiteral("(no reason given)") : text;
        } else if (name == QLatin1String("REPORT_NO")) {
            if (out.reportNumber.isEmpty())
                out.reportNumber = text;
        } else if (!out.has(name)) {
            out.set(name, text);
        }
    }
    if (r.hasError() || !sawElement) {
        if (incomplete)
            *incomplete = r.error() == QXmlStreamReader::PrematureEndOfDocumentError || !sawElement;
        if (why)
            *why = sawElement ? QStringLiteral("line %1: %2").arg(r.lineNumber()).arg(r.errorString())
                              : QStringLiteral("no XML element in it");
        out = GiaAnswer();
        return false;
    }
    return true;
}

GiaAnswer GiaAnswer::parseLiteral(const QByteArray &bytes)
{
    GiaAnswer a;
    const QString text = QString::fromUtf8(bytes);
    for (const QString &tag : tags()) {
        const QString open = QLatin1Char('<') + tag + QLatin1Char('>');
        const int at = text.indexOf(open);
        if (at < 0)
            continue;
        const int from = at + open.size();
        const int to = text.indexOf(QLatin1Char('<'), from);
        a.set(tag, (to < 0 ? text.mid(from) : text.mid(from, to - from)).trimmed());
    }
    return a;
}

QByteArray GiaAnswer::toXml() const
{
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.setAutoFormatting(true);
    w.writeStartDocument();
    w.writeStartElement(QStringLiteral("REPORT_CHECK_RESPONSE"));
    if (!reportNumber.isEmpty())
        w.writeTextElement(QStringLiteral("REPORT_NO"), reportNumber);
    if (!error.isEmpty())
        w.writeTextElement(QStringLiteral("ERROR"), error);
    for (const QString &tag : tags())
        if (has(tag))
            w.writeTextElement(tag, value(tag));
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

int matchGradeEntry(const QStringList &entries, const QString &grade)
{
    // The grade's own entry first: by the last four characters alone "VVS1"
    // would pick the split grade "FL/VVS1" listed before it.
    for (int i = 0; i < entries.size(); ++i) {
        const int dash = entries.at(i).indexOf(QStringLiteral(" - "));
        if (dash >= 0 && !grade.trimmed().isEmpty()
            && entries.at(i).mid(dash + 3).trimmed().compare(grade.trimmed(), Qt::CaseInsensitive) == 0)
            return i;
    }
    const QString wanted = (QStringLiteral(" - ") + grade.trimmed()).right(4);
    for (int i = 0; i < entries.size(); ++i)
        if (entries.at(i).size() >= 4 && entries.at(i).right(4).compare(wanted, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

} // namespace velmor::online
