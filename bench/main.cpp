// velmor-bench: creates its own database server, fills it with generated
// dealer data at each size, runs every scenario side by side with its
// baselines and prints one table.
#include "BenchServer.h"
#include "DealerData.h"
#include "Harness.h"
#include "Scenarios.h"
#include "Soak.h"

#include "db/Schema.h"
#include "db/Sql.h"

#include <QCoreApplication>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QSysInfo>
#include <QTextStream>
#include <QThread>

#include <algorithm>
#include <cstdio>

using namespace velmor;
using namespace velmor::bench;

namespace {

void say(const QString &line)
{
    std::fprintf(stderr, "%s\n", qPrintable(line));
    std::fflush(stderr);
}

QString usage()
{
    return QStringLiteral(
        "Usage: velmor-bench [--sizes 1000,10000,100000] [--runs N] [--scenario NAME]...\n"
        "                    [--budget SECONDS] [--literal-limit SECONDS] [--seed N] [--verbose]\n"
        "\n"
        "  --sizes          stone counts to measure at (default 1000,10000,100000)\n"
        "  --runs           runs of each road (default 3; a road stops repeating once\n"
        "                   its runs have taken --budget seconds, default 15)\n"
        "  --scenario       only scenarios whose name contains NAME (may repeat)\n"
        "  --literal-limit  a row-by-row road whose time, projected from a smaller size,\n"
        "                   exceeds this many seconds is estimated instead of run\n"
        "                   (default 30; 0 runs every road in full)\n"
        "  --seed           seed of the generated data (default 20261206)\n"
        "  --verbose        report every run on standard error\n"
        "  --keep           leave the server and its databases running for inspection\n"
        "\n"
        "Usage: velmor-bench --soak [--ops N] [--stations N] [--kills N] [--seed N]\n"
        "  --soak           a dealer's week under faults instead of the scenarios: workstation\n"
        "                   processes run N random operations (default 20000) while one is\n"
        "                   killed now and then (default one kill per 400 operations); then\n"
        "                   the books check and the ledger must agree with the database\n"
        "\nScenarios: %1\n")
        .arg(scenarioNames().join(QStringLiteral(", ")));
}

QString cpuModel()
{
    QFile f(QStringLiteral("/proc/cpuinfo"));
    if (f.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : f.readAll().split('\n'))
            if (line.startsWith("model name"))
                return QString::fromLatin1(line.mid(line.indexOf(':') + 1)).trimmed();
    }
    return QSysInfo::currentCpuArchitecture();
}

QString memory()
{
    QFile f(QStringLiteral("/proc/meminfo"));
    if (f.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> parts = f.readLine().simplified().split(' ');
        if (parts.size() >= 2)
            return QStringLiteral("%1 GB RAM").arg(parts[1].toDouble() / 1024 / 1024, 0, 'f', 0);
    }
    return {};
}

} // namespace

int main(int argc, char **argv)
{
    // Printing draws text: fonts need the GUI application; the stone screen's
    // scenarios need the widgets (no window is shown).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velmor-bench"));

    Options o;
    soak::Options soakOptions;
    bool soakMode = false;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        const QString a = args[i];
        auto value = [&]() -> QString {
            if (i + 1 >= args.size()) {
                say(QStringLiteral("velmor-bench: %1 needs a value\n").arg(a) + usage());
                std::exit(2);
            }
            return args[++i];
        };
        bool ok = true;
        if (a == QLatin1String("--sizes")) {
            o.sizes.clear();
            for (const QString &s : value().split(QLatin1Char(','), Qt::SkipEmptyParts)) {
                const int n = QString(s).remove(QLatin1Char('_')).trimmed().toInt(&ok);
                if (!ok || n <= 0)
                    break;
                o.sizes << n;
            }
        } else if (a == QLatin1String("--runs")) {
            o.runs = value().toInt(&ok);
            ok = ok && o.runs > 0;
        } else if (a == QLatin1String("--scenario")) {
            o.scenarios << value();
        } else if (a == QLatin1String("--budget")) {
            o.budgetSeconds = value().toDouble(&ok);
        } else if (a == QLatin1String("--literal-limit")) {
            o.literalLimit = value().toDouble(&ok);
        } else if (a == QLatin1String("--seed")) {
            o.seed = value().toUInt(&ok);
        } else if (a == QLatin1String("--soak")) {
            soakMode = true;
        } else if (a == QLatin1String("--ops")) {
            soakOptions.ops = value().toInt(&ok);
            ok = ok && soakOptions.ops > 0;
        } else if (a == QLatin1String("--stations")) {
            soakOptions.stations = value().toInt(&ok);
            ok = ok && soakOptions.stations > 0;
        } else if (a == QLatin1String("--kills")) {
            soakOptions.kills = value().toInt(&ok);
            ok = ok && soakOptions.kills >= 0;
        } else if (a == QLatin1String("--keep")) {
            o.keep = true;
        } else if (a == QLatin1String("--verbose") || a == QLatin1String("-v")) {
            o.verbose = true;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            std::printf("%s", qPrintable(usage()));
            return 0;
        } else {
            ok = false;
        }
        if (!ok || o.sizes.isEmpty()) {
            say(QStringLiteral("velmor-bench: bad argument %1\n").arg(a) + usage());
            return 2;
        }
    }
    std::sort(o.sizes.begin(), o.sizes.end());
    o.sizes.erase(std::unique(o.sizes.begin(), o.sizes.end()), o.sizes.end());

    QElapsedTimer total;
    total.start();
    if (soakMode) {
        soakOptions.seed = o.seed;
        BenchServer server;
        try {
            say(QStringLiteral("Starting the benchmark's database server in %1 ...").arg(server.dir()));
            server.start();
            const QString name = QStringLiteral("soak_week");
            soak::prepareDatabase(server.connect(name, true), soakOptions);
            server.close(name);
            say(QStringLiteral("Running %1 operations on %2 workstations ...").arg(soakOptions.ops).arg(soakOptions.stations));
            const soak::Report r = soak::run(server.settings(name), QStringLiteral(VELMOR_SOAKSTATION),
                                             server.dir() + QStringLiteral("/soak"), soakOptions, say);
            QTextStream out(stdout);
            out << soak::reportText(r) << "Total time " << formatSeconds(double(total.elapsed()) / 1000) << ".\n";
            out.flush();
            if (o.keep)
                server.detach();
            server.stop();
            return r.ok() ? 0 : 1;
        } catch (const db::DbError &e) {
            say(QStringLiteral("velmor-bench: %1").arg(e.message()));
            server.stop();
            return 1;
        }
    }
    Bench bench(o);
    BenchServer server;
    QString version;
    try {
        say(QStringLiteral("Starting the benchmark's database server in %1 ...").arg(server.dir()));
        server.start();
        version = server.serverVersion();

        // Last week's grid priced the stones; this week's comes in as files.
        const PriceGrid lastWeek(o.seed ^ 0x0a11u, QDate(2026, 11, 20));
        const PriceGrid thisWeek(o.seed ^ 0x0b22u, QDate(2026, 11, 27));

        for (const int size : std::as_const(o.sizes)) {
            QElapsedTimer prep;
            prep.start();
            const QString base = QStringLiteral("bench_%1").arg(size);
            SizeEnv env{bench, server, size, base, base + QStringLiteral("_pristine"), base + QStringLiteral("_a_pristine"),
                        server.dir() + QStringLiteral("/ws-%1").arg(size), lastWeek, thisWeek};
            QDir().mkpath(env.folder);
            thisWeek.writeFiles(env.folder);

            DealerDataOptions dd;
            dd.stones = size;
            dd.seed = o.seed;
            {
                QSqlDatabase d = server.connect(env.pristine, true);
                db::schema::createNewDatabase(d);
                writeDealerSettings(d);
                insertGrid(d, lastWeek);
                const DealerDataSummary s = fillDealerData(d, dd, lastWeek);
                say(QStringLiteral("%1 stones, %2 customers, %3 suppliers, %4 memo sheets: generated in %5")
                        .arg(QLocale(QLocale::English).toString(s.stones))
                        .arg(s.customers)
                        .arg(s.suppliers)
                        .arg(s.memoSheets)
                        .arg(formatSeconds(double(prep.elapsed()) / 1000)));
            }
            // Only the upgrade of an old database needs the base-tables copy
            // (at a million stones it takes as long again as the data).
            if (bench.wants(QStringLiteral("schema upgrade (group A only)"))) {
                QSqlDatabase d = server.connect(env.groupA, true);
                db::schema::createBaseTables(d);
                writeGradeTable(d);
                writeDealerSettings(d);
                fillDealerData(d, dd, lastWeek);
            }
            server.cloneDatabase(env.pristine, env.work);
            say(QStringLiteral("Databases of %1 stones ready after %2; measuring ...")
                    .arg(QLocale(QLocale::English).toString(size))
                    .arg(formatSeconds(double(prep.elapsed()) / 1000)));

            // A scenario that breaks down outside its timed runs is reported, and the others go on.
            const std::pair<QString, void (*)(SizeEnv &)> groups[] = {
                {QStringLiteral("schema upgrade"), runSchemaScenarios},
                {QStringLiteral("grid import + re-pricing"), runPricingScenarios},
                {QStringLiteral("stone scenarios"), runStoneScenarios},
                {QStringLiteral("launch to home screen"), runLaunchScenarios},
                {QStringLiteral("online"), runOnlineScenarios},
                {QStringLiteral("customer scenarios"), runCustomerScenarios},
                {QStringLiteral("printing"), runPrintingScenarios},
                {QStringLiteral("invoices"), runInvoiceScenarios},
                {QStringLiteral("parcel scenarios"), runParcelScenarios},
                {QStringLiteral("stone search"), runSearchScenarios},
                {QStringLiteral("memo"), runMemoScenarios},
                {QStringLiteral("db check"), runBooksScenarios},
                {QStringLiteral("cluster"), runClusterScenarios},
                {QStringLiteral("backup and restore"), runBackupScenarios},
                {QStringLiteral("stock count"), runCountScenarios},
                {QStringLiteral("files on a stone"), runFileScenarios},
                {QStringLiteral("payments"), runPaymentScenarios}};
            for (const auto &[groupName, run] : groups) {
                try {
                    run(env);
                } catch (const db::DbError &e) {
                    bench.failed(groupName, size, e.message());
                } catch (const std::exception &e) {
                    bench.failed(groupName, size, QString::fromLocal8Bit(e.what()));
                }
            }

            if (!o.keep) {
                for (const QString &d : {env.work, env.pristine, env.groupA})
                    server.drop(d);
                QDir(env.folder).removeRecursively();
            }
        }
    } catch (const db::DbError &e) {
        say(QStringLiteral("velmor-bench: %1").arg(e.message()));
        server.stop();
        return 1;
    }
    if (o.keep)
        say(QStringLiteral("The server keeps running: mariadb --socket=%1 -u root bench_%2 ; stop it with "
                           "kill $(cat %3/mysqld.pid)")
                .arg(server.socket())
                .arg(o.sizes.last())
                .arg(server.dir()));
    if (o.keep)
        server.detach();
    server.stop();

    QTextStream out(stdout);
    out << "Velmor benchmark, " << QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'"))
        << ", " << cpuModel() << ", " << QThread::idealThreadCount() << " cores, " << memory() << ", MariaDB "
        << version.section(QLatin1Char('-'), 0, 0) << ", seed " << o.seed << ", runs " << o.runs << "\n\n";
    out << bench.table() << "\n";
    out << "Ratio: the road's median divided by Velmor's median in the same run (below 1: faster than Velmor).\n";
    const QStringList notes = bench.notes();
    if (!notes.isEmpty()) {
        out << "\nNotes:\n";
        for (const QString &n : notes)
            out << "- " << n << "\n";
    }
    out << "\nTotal time " << formatSeconds(double(total.elapsed()) / 1000) << ".\n";
    out.flush();
    // A failed road, or a literal walk that ends with other figures than
    // Velmor's road, makes the run fail (the smoke test relies on it).
    bool failed = false;
    for (const Result &r : bench.results())
        failed = failed || r.state == Result::State::Failed || (r.differs && r.road == QLatin1String("literal"));
    return failed ? 1 : 0;
}
