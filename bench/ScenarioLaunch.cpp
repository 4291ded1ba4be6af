// Launch to the home screen: the velmor program started on the size's
// database, timed from the start of the process until it has shown its home
// screen and exited (splash pause off, offscreen platform).
#include "Scenarios.h"


#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>

#ifndef VELMOR_BINARY
#define VELMOR_BINARY ""
#endif

namespace velmor::bench {

namespace {

constexpr int kLaunchTimeoutMs = 120000;

QString velmorBinary()
{
    const QString fromEnv = qEnvironmentVariable("VELMOR_BINARY");
    return fromEnv.isEmpty() ? QStringLiteral(VELMOR_BINARY) : fromEnv;
}

// A workstation folder whose database.ini reaches the benchmark's database.
void writeDatabaseIni(const SizeEnv &env)
{
    QFile f(QDir(env.folder).filePath(QStringLiteral("database.ini")));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw db::DbError(QStringLiteral("Cannot write %1").arg(f.fileName()));
    f.write(QStringLiteral("mode=server\nsocket=%1\nuser=root\ndatabase=%2\n")
                .arg(env.server.socket(), env.work)
                .toUtf8());
    // No network in the timings: the day's rates come from a port that refuses at once.
    QFile sources(QDir(env.folder).filePath(QStringLiteral("pricing.ini")));
    if (!sources.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw db::DbError(QStringLiteral("Cannot write %1").arg(sources.fileName()));
    sources.write("pricelist=http://127.0.0.1:9\nexchangerates=http://127.0.0.1:9\nmetals=http://127.0.0.1:9\ntimeout=2\n");
}

QProcessEnvironment launchEnvironment(const SizeEnv &env)
{
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert(QStringLiteral("VELMOR_HOME"), env.folder);
    e.insert(QStringLiteral("VELMOR_PROGRAM_DIR"), env.folder);
    e.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    const QString runtime = env.server.dir() + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    e.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    return e;
}

// Runs velmor with these arguments and returns what it wrote; throws when it
// fails or hangs.
QString runVelmor(const SizeEnv &env, const QStringList &args, const QProcessEnvironment &extra = {})
{
    const QString program = velmorBinary();
    if (program.isEmpty() || !QFile::exists(program))
        throw NotAvailable(QStringLiteral("the velmor program was not found (%1)").arg(program));
    QProcessEnvironment e = launchEnvironment(env);
    for (const QString &k : extra.keys())
        e.insert(k, extra.value(k));
    QProcess p;
    p.setProcessEnvironment(e);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForStarted(10000))
        throw db::DbError(QStringLiteral("velmor did not start: %1").arg(p.errorString()));
    if (!p.waitForFinished(kLaunchTimeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
        throw NotAvailable(QStringLiteral("velmor did not exit on its own within %1 s").arg(kLaunchTimeoutMs / 1000));
    }
    const QString all = QString::fromLocal8Bit(p.readAll());
    const QString output = all.trimmed().right(300);
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        if (output.contains(QLatin1String("unknown command")))
            throw NotAvailable(QStringLiteral("velmor %1 does not exist yet").arg(args.join(QLatin1Char(' '))));
        throw db::DbError(QStringLiteral("velmor %1 ended with code %2: %3")
                              .arg(args.join(QLatin1Char(' ')))
                              .arg(p.exitCode())
                              .arg(output));
    }
    return all;
}

// Velmor's resident memory once the home screen is shown, in MB (from its
// start-up times; 0 when it did not say).
double residentAtHome(const SizeEnv &env, QProcessEnvironment e)
{
    e.insert(QStringLiteral("VELMOR_STARTUP_TIMES"), QStringLiteral("1"));
    static const QRegularExpression line(QStringLiteral("([0-9.]+) MB  home screen shown"));
    const QRegularExpressionMatch m = line.match(runVelmor(env, {}, e));
    return m.hasMatch() ? m.captured(1).toDouble() : 0;
}

} // namespace

void runLaunchScenarios(SizeEnv &env)
{
    const QString name = QStringLiteral("launch to home screen");
    if (!env.bench.wants(name))
        return;
    writeDatabaseIni(env);
    QProcessEnvironment home;
    home.insert(QStringLiteral("VELMOR_NO_SPLASH_PAUSE"), QStringLiteral("1"));
    home.insert(QStringLiteral("VELMOR_EXIT_WHEN_HOME"), QStringLiteral("1"));
    // The first start after the data was made runs the first-open repairs:
    // start once untimed so that the runs show the everyday launch.  When
    // that start does not come back, the timed runs would not either.
    QList<Road> roads;
    try {
        runVelmor(env, {}, home);
        roads << Road{QStringLiteral("velmor"), {}, [&env, home] { runVelmor(env, {}, home); }};
    } catch (const NotAvailable &e) {
        env.bench.notAvailable(name, env.size, QStringLiteral("velmor"), e.reason);
    } catch (const db::DbError &e) {
        env.bench.failed(name, env.size, e.message());
    }
    // The floor: the same process start, connection and schema check, without a window.
    roads << Road{QStringLiteral("floor"), {}, [&env] { runVelmor(env, {QStringLiteral("db"), QStringLiteral("status")}); }};
    env.bench.measure(name, env.size, roads);
    if (roads.size() > 1) {
        try {
            if (const double mb = residentAtHome(env, home); mb > 0)
                env.bench.addNote(name, env.size, QStringLiteral("velmor"),
                                  QStringLiteral("resident memory at the home screen %1 MB").arg(mb, 0, 'f', 1));
        } catch (const std::exception &) {
            // Only the note is lost.
        }
    }
}

} // namespace velmor::bench
