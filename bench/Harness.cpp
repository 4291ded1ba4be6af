#include "Harness.h"

#include "db/Sql.h"

#include <QElapsedTimer>
#include <QLocale>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>

namespace velmor::bench {

namespace {

double medianOf(QList<double> v)
{
    if (v.isEmpty())
        return 0;
    std::sort(v.begin(), v.end());
    const qsizetype n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

QString withThousands(int n) { return QLocale(QLocale::English).toString(n); }

QString ratioText(double r)
{
    if (r >= 100)
        return QString::number(r, 'f', 0);
    if (r >= 10)
        return QString::number(r, 'f', 1);
    if (r < 0.01)
        return QString::number(r, 'f', 3);
    return QString::number(r, 'f', 2);
}

} // namespace

double Result::median() const { return medianOf(seconds); }
double Result::minimum() const { return seconds.isEmpty() ? 0 : *std::min_element(seconds.begin(), seconds.end()); }
double Result::maximum() const { return seconds.isEmpty() ? 0 : *std::max_element(seconds.begin(), seconds.end()); }

QString formatSeconds(double s)
{
    if (s < 0.001)
        return QStringLiteral("%1 µs").arg(s * 1e6, 0, 'f', s < 1e-5 ? 1 : 0);
    if (s < 1)
        return QStringLiteral("%1 ms").arg(s * 1e3, 0, 'f', s < 0.01 ? 2 : (s < 0.1 ? 1 : 0));
    return QStringLiteral("%1 s").arg(s, 0, 'f', s < 10 ? 2 : 1);
}

bool Bench::wants(const QString &key) const
{
    if (m_o.scenarios.isEmpty())
        return true;
    for (const QString &s : m_o.scenarios)
        if (key.contains(s, Qt::CaseInsensitive))
            return true;
    return false;
}

void Bench::log(const QString &line) const
{
    if (m_o.verbose) {
        std::fprintf(stderr, "%s\n", qPrintable(line));
        std::fflush(stderr);
    }
}

const Result *Bench::earlier(const QString &scenario, const QString &road, int size) const
{
    const Result *best = nullptr;
    for (const Result &r : m_results)
        if (r.scenario == scenario && r.road == road && r.size < size && r.state == Result::State::Measured
            && (!best || r.size > best->size))
            best = &r;
    return best;
}

void Bench::notAvailable(const QString &scenario, int size, const QString &road, const QString &reason)
{
    Result r;
    r.scenario = scenario;
    r.road = road;
    r.size = size;
    r.state = Result::State::NotAvailable;
    r.note = reason;
    m_results << r;
}

void Bench::failed(const QString &scenario, int size, const QString &reason)
{
    Result r;
    r.scenario = scenario;
    r.road = QStringLiteral("-");
    r.size = size;
    r.state = Result::State::Failed;
    r.note = reason;
    m_results << r;
}

void Bench::measure(const QString &scenario, int size, const QList<Road> &roads)
{
    struct Track {
        Result result;
        double used = 0;
        bool done = false;
        QList<double> digest;
    };
    QList<Track> tracks;
    for (const Road &road : roads) {
        Track t;
        t.result.scenario = scenario;
        t.result.road = road.name;
        t.result.size = size;
        if (road.slow && m_o.literalLimit > 0) {
            if (const Result *e = earlier(scenario, road.name, size)) {
                // Row by row: the time grows in proportion to the stones.
                const double perOp = e->median() * double(size) / double(e->size);
                const double projected = perOp * std::max(1, road.ops);
                if (projected > m_o.literalLimit) {
                    t.result.state = Result::State::Estimated;
                    t.result.seconds = {perOp};
                    t.result.note = QStringLiteral("estimated in proportion from %1 stones").arg(withThousands(e->size));
                    t.done = true;
                }
            }
        }
        tracks << t;
    }

    for (int run = 0; run < std::max(1, m_o.runs); ++run) {
        for (int i = 0; i < roads.size(); ++i) {
            Track &t = tracks[i];
            const Road &road = roads[i];
            if (t.done)
                continue;
            if (run > 0 && t.used >= m_o.budgetSeconds) {
                t.done = true;
                continue;
            }
            try {
                if (road.prepare)
                    road.prepare();
                log(QStringLiteral("  %1 / %2 / %3 stones, run %4 ...").arg(scenario, road.name).arg(size).arg(run + 1));
                QElapsedTimer clock;
                clock.start();
                road.run();
                const double s = double(clock.nsecsElapsed()) / 1e9;
                t.used += s;
                t.result.seconds << s / std::max(1, road.ops);
                log(QStringLiteral("    %1").arg(formatSeconds(s)));
                if (road.digest)
                    t.digest = road.digest();
            } catch (const NotAvailable &e) {
                t.result.state = Result::State::NotAvailable;
                t.result.note = e.reason;
                t.result.seconds.clear();
                t.done = true;
            } catch (const db::DbError &e) {
                t.result.state = Result::State::Failed;
                t.result.note = e.message();
                t.result.seconds.clear();
                t.done = true;
            } catch (const std::exception &e) {
                t.result.state = Result::State::Failed;
                t.result.note = QString::fromLocal8Bit(e.what());
                t.result.seconds.clear();
                t.done = true;
            }
        }
    }
    // A faster road is worth nothing if it gives other figures.
    const Track *velmor = nullptr;
    for (const Track &t : tracks)
        if (t.result.road == QLatin1String("velmor") && !t.digest.isEmpty())
            velmor = &t;
    for (Track &t : tracks) {
        if (!velmor || &t == velmor || t.digest.isEmpty())
            continue;
        bool same = t.digest.size() == velmor->digest.size();
        for (qsizetype i = 0; same && i < t.digest.size(); ++i) {
            const double a = t.digest[i], b = velmor->digest[i];
            same = std::abs(a - b) <= 1e-6 * std::max({1.0, std::abs(a), std::abs(b)});
        }
        if (!same) {
            QStringList a, b;
            for (double v : std::as_const(t.digest))
                a << QString::number(v, 'f', 2);
            for (double v : std::as_const(velmor->digest))
                b << QString::number(v, 'f', 2);
            const QString note = QStringLiteral("result differs from Velmor's (%1 against %2)")
                                     .arg(a.join(QStringLiteral(", ")), b.join(QStringLiteral(", ")));
            t.result.note = t.result.note.isEmpty() ? note : t.result.note + QStringLiteral("; ") + note;
            t.result.differs = true;
        }
    }
    for (const Track &t : tracks)
        m_results << t.result;
}

void Bench::addNote(const QString &scenario, int size, const QString &road, const QString &note)
{
    for (Result &r : m_results)
        if (r.scenario == scenario && r.size == size && r.road == road) {
            r.note = r.note.isEmpty() ? note : r.note + QStringLiteral("; ") + note;
            return;
        }
}

QStringList Bench::notes() const
{
    QStringList out;
    for (const Result &r : m_results) {
        if (r.note.isEmpty())
            continue;
        const QString line = QStringLiteral("%1, %2, %3 stones: %4").arg(r.scenario, r.road, withThousands(r.size), r.note);
        out << line;
    }
    return out;
}

QString Bench::table() const
{
    const QStringList head{QStringLiteral("Scenario"), QStringLiteral("Road"), QStringLiteral("Stones"),
                           QStringLiteral("Runs"), QStringLiteral("Median"), QStringLiteral("Min"),
                           QStringLiteral("Max"), QStringLiteral("Ratio")};
    QList<QStringList> rows;
    QString lastScenario;
    for (const Result &r : m_results) {
        // The Velmor road of the same scenario and size is the measure of the others.
        double velmor = 0;
        for (const Result &v : m_results)
            if (v.scenario == r.scenario && v.size == r.size && v.road == QLatin1String("velmor")
                && (v.state == Result::State::Measured || v.state == Result::State::Estimated))
                velmor = v.median();
        QStringList row;
        row << (r.scenario == lastScenario ? QString() : r.scenario) << r.road << withThousands(r.size);
        lastScenario = r.scenario;
        switch (r.state) {
        case Result::State::Measured:
        case Result::State::Estimated: {
            const bool est = r.state == Result::State::Estimated;
            const QString tilde = est ? QStringLiteral("~") : QString();
            row << (est ? QStringLiteral("est.") : QString::number(r.seconds.size()))
                << tilde + formatSeconds(r.median()) << (est ? QString() : formatSeconds(r.minimum()))
                << (est ? QString() : formatSeconds(r.maximum()))
                << (velmor > 0 ? tilde + ratioText(r.median() / velmor) : QString());
            break;
        }
        case Result::State::NotAvailable:
            row << QString() << QStringLiteral("n/a") << QString() << QString() << QString();
            break;
        case Result::State::Failed:
            row << QString() << QStringLiteral("failed") << QString() << QString() << QString();
            break;
        }
        rows << row;
    }

    QList<int> width;
    for (const QString &h : head)
        width << int(h.size());
    for (const QStringList &row : rows)
        for (int i = 0; i < row.size(); ++i)
            width[i] = std::max(width[i], int(row[i].size()));
    auto line = [&](const QStringList &cells) {
        QString s = QStringLiteral("|");
        for (int i = 0; i < cells.size(); ++i) {
            const bool right = i >= 2;
            s += QLatin1Char(' ') + (right ? cells[i].rightJustified(width[i]) : cells[i].leftJustified(width[i]))
                + QStringLiteral(" |");
        }
        return s + QLatin1Char('\n');
    };
    QString out = line(head);
    QString rule = QStringLiteral("|");
    for (int i = 0; i < head.size(); ++i)
        rule += (i >= 2 ? QString(width[i] + 1, QLatin1Char('-')) + QLatin1Char(':')
                        : QString(width[i] + 2, QLatin1Char('-')))
            + QLatin1Char('|');
    out += rule + QLatin1Char('\n');
    for (const QStringList &row : rows)
        out += line(row);
    return out;
}

} // namespace velmor::bench
