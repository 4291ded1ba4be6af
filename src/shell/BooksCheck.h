#pragma once
// The books check: reads the whole database and lists every place where the
// books disagree with themselves (stones against memo sheets, the memo
// journal and invoices; parcels against their journal, memos and invoice
// lines; invoices; duplicate numbers; rates; the schema), grouped by rule.
// Each rule is one set-based query; the whole check runs in one read-only
// transaction, so that it sees one moment of a database that other
// workstations keep changing, and it changes nothing.
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <functional>

namespace velmor::books {

enum class Severity {
    Error,  // the books are not whole
    Warning // tolerated by the program's rules, but Velmor itself never makes it
};

struct Rule {
    QString key;     // "memo-stone-journal": names the rule in the CSV and the README
    QString title;   // one line
    QString expects; // what the books should show
    Severity severity = Severity::Error;
};

// Every rule, in the order the check runs and reports them.
const QList<Rule> &rules();

struct RuleResult {
    Rule rule;
    QStringList columns;     // the heads of the rows
    QList<QStringList> rows; // one per place where the books disagree
    QString failure;         // the rule could not be checked (counts as an error)
    bool clean() const { return rows.isEmpty() && failure.isEmpty(); }
};

struct Report {
    QList<RuleResult> results; // one per rule
    int errors() const;        // rows and failures of error rules
    int warnings() const;      // rows of warning rules
    bool whole() const { return errors() == 0; }
};

// Called before each rule: (rules done, rules in all, the rule's title).
using Progress = std::function<void(int done, int total, const QString &title)>;

// Runs every rule.  Throws db::DbError only when the database cannot be read
// at all; a rule whose query fails is reported with its failure.
Report checkBooks(const QSqlDatabase &db, const Progress &progress = {});

// The report as the command line prints it: per rule with findings its
// title, what it expects and its rows; then a summary line.
QString reportText(const Report &r);

// One line per finding: rule, severity, the rule's title, then the row's
// columns as "Head=value".  False with the reason when the file cannot be
// written.
bool writeCsv(const Report &r, const QString &path, QString *error);

} // namespace velmor::books
