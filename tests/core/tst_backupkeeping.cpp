// Which backups are kept (the last daily ones and one a week), when the
// home screen warns, and the backup settings file.
#include "core/Backups.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace velmor;
using velmor::backups::Found;

namespace {

// "d" daily, "m" by hand, "r" before a restore, "x" damaged daily; each with
// a day offset from 2026-12-07 (a Monday) and an hour.
QList<Found> backupsOf(const QStringList &names)
{
    QList<Found> out;
    for (const QString &s : names) {
        const QStringList w = s.split(QLatin1Char(' '));
        Found f;
        f.made = QDateTime(QDate(2026, 12, 7).addDays(w[1].toInt()), QTime(w.value(2, QStringLiteral("9")).toInt(), 0));
        f.kind = w[0] == QLatin1String("m") ? QStringLiteral("manual")
                 : w[0] == QLatin1String("r") ? QStringLiteral("before-restore")
                                               : QStringLiteral("daily");
        f.whole = w[0] != QLatin1String("x");
        f.file = s;
        out << f;
    }
    std::sort(out.begin(), out.end(), [](const Found &a, const Found &b) { return a.made > b.made; });
    return out;
}

} // namespace

class TestBackupKeeping : public QObject {
    Q_OBJECT
private slots:
    void expired_data();
    void expired();
    void warning_data();
    void warning();
    void settingsFile();
};

void TestBackupKeeping::expired_data()
{
    QTest::addColumn<QStringList>("backups");
    QTest::addColumn<int>("daily");
    QTest::addColumn<int>("weekly");
    QTest::addColumn<QStringList>("removed");
    QStringList month;
    for (int d = 0; d >= -30; --d)
        month << QStringLiteral("d %1").arg(d);
    // Kept: the last 7 days (Tue 1 Dec .. Mon 7 Dec) and the newest of the
    // 4 newest weeks: Mon 7 Dec (this week), Sun 6 Dec, Sun 29 Nov, Sun 22 Nov.
    QStringList removed;
    for (int d = -7; d >= -30; --d)
        if (d != -8 && d != -15)
            removed << QStringLiteral("d %1").arg(d);
    QTest::newRow("a month of daily backups") << month << 7 << 4 << removed;
    QTest::newRow("two in one day: the older goes") << QStringList{"d 0 18", "d 0 9", "d -1"} << 7 << 4
                                                    << QStringList{"d 0 9"};
    QTest::newRow("by hand and before a restore: never") << QStringList{"m -400", "r -300", "d -200", "d 0"} << 1 << 0
                                                         << QStringList{"d -200"};
    QTest::newRow("a damaged one is neither kept nor counted") << QStringList{"x 0", "d -1", "d -2"} << 1 << 0
                                                               << QStringList{"d -2"};
    QTest::newRow("gaps: days with a backup count") << QStringList{"d 0", "d -10", "d -20", "d -40"} << 3 << 0
                                                    << QStringList{"d -40"};
    QTest::newRow("weeks reach further than days") << QStringList{"d 0", "d -1", "d -9", "d -16", "d -23", "d -30"} << 2
                                                   << 4 << QStringList{"d -23", "d -30"};
}

void TestBackupKeeping::expired()
{
    QFETCH(QStringList, backups);
    QFETCH(int, daily);
    QFETCH(int, weekly);
    QFETCH(QStringList, removed);
    QStringList got = backups::expired(backupsOf(backups), daily, weekly);
    got.sort();
    removed.sort();
    QCOMPARE(got, removed);
}

void TestBackupKeeping::warning_data()
{
    QTest::addColumn<QStringList>("backups");
    QTest::addColumn<int>("warnDays");
    QTest::addColumn<QString>("warning"); // the start of it; "" none
    QTest::newRow("none yet") << QStringList() << 3 << "There is no backup of these books yet.";
    QTest::newRow("only a damaged one") << QStringList{"x 0"} << 3 << "There is no backup of these books yet.";
    QTest::newRow("three days old is allowed") << QStringList{"d -3 23"} << 3 << "";
    QTest::newRow("four days old") << QStringList{"d -4"} << 3 << "The last good backup is 4 days old (2026-12-03 09:00).";
    QTest::newRow("newest damaged, older one counts") << QStringList{"x 0", "m -5"} << 3
                                                      << "The last good backup is 5 days old";
    QTest::newRow("a longer allowance") << QStringList{"d -5"} << 7 << "";
}

void TestBackupKeeping::warning()
{
    QFETCH(QStringList, backups);
    QFETCH(int, warnDays);
    QFETCH(QString, warning);
    const QString got = backups::staleWarning(backupsOf(backups), warnDays, QDateTime(QDate(2026, 12, 7), QTime(8, 0)));
    if (warning.isEmpty()) {
        QCOMPARE(got, QString());
    } else {
        QVERIFY2(got.startsWith(warning), qPrintable(got));
        QVERIFY(got.endsWith(QStringLiteral("Make one now: File > Back up now... on the main menu, or velmor db backup.")));
    }
}

void TestBackupKeeping::settingsFile()
{
    QTemporaryDir dir;
    const Workstation ws(dir.path(), dir.path());
    // Missing file: the defaults, backups in the workstation folder.
    backups::Settings s = backups::Settings::load(ws);
    QCOMPARE(s.folderPath(ws), dir.filePath(QStringLiteral("backups")));
    QVERIFY(s.automatic);
    QCOMPARE(s.keepDaily, 7);
    QCOMPARE(s.keepWeekly, 4);
    QCOMPARE(s.warnDays, 3);

    s.folder = QStringLiteral("/mnt/other disk/velmor");
    s.automatic = false;
    s.keepDaily = 14;
    s.keepWeekly = 0;
    s.warnDays = 2;
    QString why;
    QVERIFY(s.save(ws, &why));
    const backups::Settings back = backups::Settings::load(ws);
    QCOMPARE(back.folderPath(ws), QStringLiteral("/mnt/other disk/velmor"));
    QVERIFY(!back.automatic);
    QCOMPARE(back.keepDaily, 14);
    QCOMPARE(back.keepWeekly, 0);
    QCOMPARE(back.warnDays, 2);

    // Hand-written: a relative folder is the workstation folder's; numbers
    // that make no sense keep their defaults.
    QVERIFY(ws.writeLines(QStringLiteral("backup.ini"),
                          {QStringLiteral("# by hand"), QStringLiteral("folder = usb/backups"),
                           QStringLiteral("keepdaily=0"), QStringLiteral("warndays=three"), QStringLiteral("automatic=off")}));
    const backups::Settings hand = backups::Settings::load(ws);
    QCOMPARE(hand.folderPath(ws), dir.filePath(QStringLiteral("usb/backups")));
    QCOMPARE(hand.keepDaily, 7);
    QCOMPARE(hand.warnDays, 3);
    QVERIFY(!hand.automatic);
}

QTEST_GUILESS_MAIN(TestBackupKeeping)
#include "tst_backupkeeping.moc"
