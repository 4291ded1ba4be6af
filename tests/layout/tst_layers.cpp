// The layers of src/, low to high: db -> core -> the subsystems -> shell.
// A file includes its own folder and lower layers only; a subsystem includes
// another subsystem's logic headers only where it builds on it (the table
// below), and never another subsystem's screens (frm* files, widgets/).
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Folder -> layer.
const QMap<QString, int> kLayers = {
    {QStringLiteral("db"), 0},        {QStringLiteral("core"), 1},    {QStringLiteral("pricing"), 2},
    {QStringLiteral("printing"), 2},  {QStringLiteral("online"), 2},  {QStringLiteral("customers"), 2},
    {QStringLiteral("stones"), 2},    {QStringLiteral("invoices"), 2}, {QStringLiteral("memos"), 2},
    {QStringLiteral("parcels"), 2},   {QStringLiteral("payments"), 2}, {QStringLiteral("shell"), 3},
};

// Which subsystems a subsystem builds on (their logic headers only).
const QMap<QString, QStringList> kBuildsOn = {
    {QStringLiteral("pricing"), {}},
    {QStringLiteral("printing"), {}},
    {QStringLiteral("online"), {QStringLiteral("pricing")}},
    {QStringLiteral("customers"), {QStringLiteral("printing")}},
    {QStringLiteral("stones"), {QStringLiteral("pricing"), QStringLiteral("printing"), QStringLiteral("online")}},
    {QStringLiteral("invoices"),
     {QStringLiteral("pricing"), QStringLiteral("printing"), QStringLiteral("stones"), QStringLiteral("customers"),
      QStringLiteral("online")}},
    {QStringLiteral("memos"),
     {QStringLiteral("pricing"), QStringLiteral("printing"), QStringLiteral("stones"), QStringLiteral("customers"),
      QStringLiteral("invoices"), QStringLiteral("online")}},
    {QStringLiteral("parcels"),
     {QStringLiteral("pricing"), QStringLiteral("printing"), QStringLiteral("stones"), QStringLiteral("customers"),
      QStringLiteral("invoices"), QStringLiteral("memos")}},
    {QStringLiteral("payments"),
     {QStringLiteral("pricing"), QStringLiteral("printing"), QStringLiteral("stones"), QStringLiteral("customers"),
      QStringLiteral("invoices"), QStringLiteral("memos")}},
};

bool isScreen(const QString &path)
{
    return path.contains(QLatin1String("/widgets/")) || path.section(QLatin1Char('/'), -1).startsWith(QLatin1String("frm"));
}

// Why `from` (a path under src/) may not include `to`; empty when it may.
QString violation(const QString &from, const QString &to)
{
    const QString a = from.section(QLatin1Char('/'), 0, 0);
    const QString b = to.section(QLatin1Char('/'), 0, 0);
    if (!kLayers.contains(a))
        return QStringLiteral("is in a folder that has no layer (add it to the table)");
    if (!kLayers.contains(b))
        return QStringLiteral("includes %1, a folder that has no layer").arg(to);
    if (a == b)
        return {};
    if (kLayers[b] > kLayers[a])
        return QStringLiteral("includes %1 of a higher layer").arg(to);
    if (kLayers[b] < kLayers[a])
        return {};
    // Two subsystems.
    if (isScreen(to))
        return QStringLiteral("includes %1, another subsystem's screen (open it through ctx.screens())").arg(to);
    if (!kBuildsOn.value(a).contains(b))
        return QStringLiteral("includes %1, but %2 does not build on %3").arg(to, a, b);
    return {};
}

// Every violation under `srcRoot`, one "file:line: why" each.
QStringList check(const QString &srcRoot)
{
    static const QRegularExpression include(QStringLiteral("^\\s*#\\s*include\\s+\"([^\"]+)\""));
    QStringList found;
    QDir root(srcRoot);
    QDirIterator it(srcRoot, {QStringLiteral("*.h"), QStringLiteral("*.cpp")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString rel = root.relativeFilePath(file);
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            continue;
        int lineNo = 0;
        while (!f.atEnd()) {
            const QString line = QString::fromUtf8(f.readLine());
            ++lineNo;
            const auto m = include.match(line);
            if (!m.hasMatch() || !m.captured(1).contains(QLatin1Char('/')))
                continue;
            const QString why = violation(rel, m.captured(1));
            if (!why.isEmpty())
                found << QStringLiteral("src/%1:%2: %3").arg(rel).arg(lineNo).arg(why);
        }
    }
    found.sort();
    return found;
}

} // namespace

class tst_layers : public QObject {
    Q_OBJECT
private slots:
    void sourceTreeKeepsItsLayers()
    {
        const QStringList found = check(QStringLiteral(VELMOR_SOURCE_DIR "/src"));
        if (!found.isEmpty())
            QFAIL(qPrintable(QStringLiteral("\n") + found.join(QLatin1Char('\n'))));
    }

    void upwardAndSidewaysIncludesAreCaught_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("include");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("pricing includes the stone screen") << "pricing/Shapes.cpp" << "stones/frmDiamondDetail.h" << false;
        QTest::newRow("db includes core") << "db/Connection.cpp" << "core/Workstation.h" << false;
        QTest::newRow("core includes a subsystem") << "core/Users.cpp" << "pricing/Grades.h" << false;
        QTest::newRow("subsystem includes the shell") << "stones/StoneRecord.cpp" << "shell/frmFront.h" << false;
        QTest::newRow("pricing builds on no stones") << "pricing/Repricing.cpp" << "stones/StoneRecord.h" << false;
        QTest::newRow("a subsystem's widget is a screen") << "memos/frmNewMemo.cpp" << "stones/widgets/Grid.h" << false;
        QTest::newRow("unknown folder") << "misc/X.cpp" << "db/Sql.h" << false;
        QTest::newRow("stones uses pricing logic") << "stones/StoneRecord.cpp" << "pricing/Grades.h" << true;
        QTest::newRow("screen of its own subsystem") << "stones/StoneCommands.cpp" << "stones/frmDiamondDetail.h" << true;
        QTest::newRow("core uses db") << "core/Users.cpp" << "db/Sql.h" << true;
        QTest::newRow("the shell knows every screen") << "shell/frmFront.cpp" << "stones/frmDiamondDetail.h" << true;
    }
    void upwardAndSidewaysIncludesAreCaught()
    {
        QFETCH(QString, file);
        QFETCH(QString, include);
        QFETCH(bool, allowed);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QDir(dir.path()).mkpath(file.section(QLatin1Char('/'), 0, -2));
        QFile f(dir.filePath(file));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("#include <QString>\n\n#include \"" + include.toUtf8() + "\"\n");
        f.close();
        const QStringList found = check(dir.path());
        if (allowed) {
            QVERIFY2(found.isEmpty(), qPrintable(found.join(QLatin1Char('\n'))));
        } else {
            QCOMPARE(found.size(), 1);
            QVERIFY2(found.first().startsWith(QStringLiteral("src/%1:3: ").arg(file)), qPrintable(found.first()));
        }
    }
};

QTEST_APPLESS_MAIN(tst_layers)
#include "tst_layers.moc"
