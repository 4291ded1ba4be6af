#pragma once
// The certificate agent's answer file xmlResponse.xml: the laboratory's
// grading as tags (<COLOR>G</COLOR> ...).  Read as XML, so entities and CDATA
// come out right; a tag that is not in the answer is simply absent, and the
// field it fills stays as it was.  An answer may carry <ERROR> instead (the
// agent's words for why there is no grading).
#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

namespace velmor::online {

class GiaAnswer {
public:
    // The grading tags, in the order they are read.
    static const QStringList &tags();

    bool has(const QString &tag) const { return m_values.contains(tag); }
    QString value(const QString &tag) const { return m_values.value(tag); }
    void set(const QString &tag, const QString &value) { m_values.insert(tag, value); }
    bool isEmpty() const { return m_values.isEmpty(); }
    const QMap<QString, QString> &values() const { return m_values; }

    // The agent's error text, empty when the answer is a grading.
    QString error;
    // The report number the answer is for (<REPORT_NO>), when given.
    QString reportNumber;

    // Parses the file's bytes.  On malformed XML returns false and says where
    // in *why; `incomplete` is set when the document just ends early (a file
    // still being written).
    static bool parse(const QByteArray &xml, GiaAnswer &out, QString *why = nullptr, bool *incomplete = nullptr);
    // The plain reading: each value is the text after "<TAG>" up to the next
    // "<".  Kept to compare with parse() on plain answers.
    static GiaAnswer parseLiteral(const QByteArray &text);

    // The file the agent writes (UTF-8, escaped).
    QByteArray toXml() const;

private:
    QMap<QString, QString> m_values;
};

// The grade-entry rule: the entry whose wording is the grade, else the first
// entry whose last four characters equal the last four of " - " + grade; -1
// when none does (the caller then leaves its choice unchanged).
int matchGradeEntry(const QStringList &entries, const QString &grade);

} // namespace velmor::online
