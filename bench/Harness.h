#pragma once
// Runs the roads of a scenario side by side and keeps their timings: Velmor's
// own road, the literal row-by-row road (one query per step), and the floor (what the
// database itself can do).  Prints one table at the end.
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <stdexcept>

namespace velmor::bench {

struct Options {
    QList<int> sizes{1000, 10000, 100000};
    int runs = 3;
    QStringList scenarios;     // empty: all
    double budgetSeconds = 15; // a road stops repeating once its runs have used this much
    double literalLimit = 30;  // a slow road projected beyond this is estimated from a smaller size
    quint32 seed = 20261206;
    bool verbose = false;
    bool keep = false;         // leave the server and the databases for inspection
};

// Thrown by a road whose code is not there yet (or cannot run here).
class NotAvailable : public std::runtime_error {
public:
    explicit NotAvailable(const QString &why) : std::runtime_error(why.toStdString()), reason(why) {}
    QString reason;
};

struct Road {
    QString name{};                // "velmor", "literal", "floor"
    std::function<void()> prepare{}; // before each run, not timed (may be empty)
    std::function<void()> run{};     // timed
    bool slow = false;             // may be estimated from a smaller size instead of run
    int ops = 1;                   // operations a run does: times are shown per operation
    // Figures of the result, read after each run (not timed); roads whose
    // figures differ from Velmor's are named in the notes.
    std::function<QList<double>()> digest{};
};

struct Result {
    enum class State { Measured, Estimated, NotAvailable, Failed };
    QString scenario;
    QString road;
    int size = 0;
    QList<double> seconds; // one per run (per operation when ops > 1)
    State state = State::Measured;
    QString note;
    bool differs = false; // its figures differ from Velmor's

    double median() const;
    double minimum() const;
    double maximum() const;
};

class Bench {
public:
    explicit Bench(Options o) : m_o(std::move(o)) {}
    const Options &options() const { return m_o; }

    // Whether the scenario was asked for (--scenario matches a part of its key).
    bool wants(const QString &key) const;

    // Runs the roads, runs interleaved, and records the results.
    void measure(const QString &scenario, int size, const QList<Road> &roads);
    // Records a scenario that broke down outside its runs.
    void failed(const QString &scenario, int size, const QString &reason);
    // Records a road that cannot run at all.
    void notAvailable(const QString &scenario, int size, const QString &road, const QString &reason);
    // Adds a note to a road's result measured before.
    void addNote(const QString &scenario, int size, const QString &road, const QString &note);

    const QList<Result> &results() const { return m_results; }
    // The table (pipe-separated, so that it pastes into Markdown as it stands).
    QString table() const;
    QStringList notes() const;

    void log(const QString &line) const;

private:
    const Result *earlier(const QString &scenario, const QString &road, int size) const;

    Options m_o;
    QList<Result> m_results;
};

QString formatSeconds(double s);

} // namespace velmor::bench
