// The Debian package as a dealer's machine receives it: what it holds, its
// control fields, lintian's verdict, the programs unpacked into a scratch
// folder (version, help, a private database in a scratch workstation folder,
// nothing written beside the programs) and apt's resolution of every
// dependency.  The package itself is made by the CTest fixture package_build
// (scripts/package); nothing here installs or removes a package.
#include "db/Schema.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#ifndef VELMOR_VERSION
#error "VELMOR_VERSION names the version the package is built for"
#endif

namespace {

struct Run {
    int rc = -1;
    QString out;
    QString err;
};

Run run(const QString &program, const QStringList &args, const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment(),
        int timeoutMs = 180000)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    Run r;
    if (!p.waitForStarted(10000)) {
        r.err = program + QStringLiteral(" did not start");
        return r;
    }
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.err = program + QStringLiteral(" did not finish in time");
        return r;
    }
    r.rc = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

// Path, size and time of every file and link under root: the unpacked
// package must look the same after its programs ran.
QStringList treeState(const QString &root)
{
    QStringList state;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo fi(it.next());
        state << QStringLiteral("%1 %2 %3")
                     .arg(fi.filePath().mid(root.size()))
                     .arg(fi.isSymLink() ? -1 : fi.size())
                     .arg(fi.lastModified().toMSecsSinceEpoch());
    }
    state.sort();
    return state;
}

// Processes whose command line names the folder (a server or its watcher
// left behind).
QStringList processesOn(const QString &folder)
{
    QStringList found;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &pid : pids) {
        bool isPid = false;
        pid.toInt(&isPid);
        if (!isPid)
            continue;
        QFile f(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QByteArray cmd = f.readAll().replace('\0', ' ');
        if (cmd.contains(folder.toLocal8Bit()))
            found << pid + QLatin1Char(' ') + QString::fromLocal8Bit(cmd);
    }
    return found;
}

// The GNU build ID the linker gave a program ("" when none).
QString buildId(const QString &program)
{
    const Run r = run(QStringLiteral("readelf"), {QStringLiteral("-n"), program});
    static const QRegularExpression id(QStringLiteral(R"(Build ID: ([0-9a-f]+))"));
    return id.match(r.out).captured(1);
}

} // namespace

class tst_package : public QObject {
    Q_OBJECT

    QString m_deb;
    QTemporaryDir m_scratch;
    QString m_root;
    QStringList m_unpacked;
    QMap<QString, QString> m_entries; // path -> "mode owner [-> target]"

    QString velmor() const { return m_root + QStringLiteral("/usr/bin/velmor"); }
    // A desktop session's environment: no sbin folders on the path, the
    // programs' own folder unknown to it.
    QProcessEnvironment userEnv(const QString &home) const
    {
        QProcessEnvironment env;
        env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/local/bin:/usr/bin:/bin"));
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
        const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
        if (!runtime.isEmpty())
            env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        return env;
    }

private slots:
    void initTestCase()
    {
        m_deb = QStringLiteral(VELMOR_PACKAGE_DIR "/velmor_" VELMOR_VERSION "_amd64.deb");
        QVERIFY2(QFileInfo::exists(m_deb), qPrintable(m_deb + QStringLiteral(" is missing: scripts/package did not make it")));
        QVERIFY(m_scratch.isValid());
        m_root = m_scratch.filePath(QStringLiteral("root"));
        const Run x = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), m_deb, m_root});
        QVERIFY2(x.rc == 0, qPrintable(x.err));
        m_unpacked = treeState(m_root);

        const Run c = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), m_deb});
        QVERIFY2(c.rc == 0, qPrintable(c.err));
        // drwxr-xr-x root/root 0 2026-12-06 19:00 ./usr/bin/
        // lrwxrwxrwx root/root 0 2026-12-06 19:00 ./usr/bin/velmor -> ../lib/velmor/velmor
        static const QRegularExpression line(QStringLiteral(R"(^(\S+)\s+(\S+)\s+\d+\s+\S+\s+\S+\s+\./(\S*?)/?(?: -> (\S+))?$)"));
        for (const QString &l : c.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QRegularExpressionMatch m = line.match(l);
            QVERIFY2(m.hasMatch(), qPrintable(l));
            QString entry = m.captured(1) + QLatin1Char(' ') + m.captured(2);
            if (!m.captured(4).isEmpty())
                entry += QStringLiteral(" -> ") + m.captured(4);
            m_entries.insert(m.captured(3), entry);
        }
    }

    void contents_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("entry");
        QTest::newRow("program") << "usr/lib/velmor/velmor" << "-rwxr-xr-x root/root";
        QTest::newRow("certificate agent beside it") << "usr/lib/velmor/velmor-certfetch" << "-rwxr-xr-x root/root";
        QTest::newRow("command on the path") << "usr/bin/velmor" << "lrwxrwxrwx root/root -> ../lib/velmor/velmor";
        QTest::newRow("menu entry") << "usr/share/applications/velmor.desktop" << "-rw-r--r-- root/root";
        QTest::newRow("icon drawing") << "usr/share/icons/hicolor/scalable/apps/velmor.svg" << "-rw-r--r-- root/root";
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
            const QByteArray name = "icon " + QByteArray::number(size);
            QTest::newRow(name.constData()) << QStringLiteral("usr/share/icons/hicolor/%1x%1/apps/velmor.png").arg(size)
                                            << "-rw-r--r-- root/root";
        }
        QTest::newRow("manual page") << "usr/share/man/man1/velmor.1.gz" << "-rw-r--r-- root/root";
        QTest::newRow("README") << "usr/share/doc/velmor/README.md.gz" << "-rw-r--r-- root/root";
        QTest::newRow("copyright") << "usr/share/doc/velmor/copyright" << "-rw-r--r-- root/root";
        QTest::newRow("changelog") << "usr/share/doc/velmor/changelog.gz" << "-rw-r--r-- root/root";
    }

    void contents()
    {
        QFETCH(QString, path);
        QFETCH(QString, entry);
        QVERIFY2(m_entries.contains(path), qPrintable(path + QStringLiteral(" is not in the package")));
        QCOMPARE(m_entries.value(path), entry);
    }

    void nothingOutsideUsrAndEveryFileKnown()
    {
        // Everything the package holds goes under /usr, is owned by root,
        // and is one of the files above or a folder on their way.
        QStringList files;
        for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it) {
            if (it.key().isEmpty())
                continue;
            QVERIFY2(it.key() == QLatin1String("usr") || it.key().startsWith(QLatin1String("usr/")), qPrintable(it.key()));
            QVERIFY2(it.value().contains(QLatin1String(" root/root")), qPrintable(it.key() + QLatin1Char(' ') + it.value()));
            if (!it.value().startsWith(QLatin1Char('d')))
                files << it.key();
        }
        // The two programs and their link, the menu entry, nine icons, the
        // manual page and three documents.
        QCOMPARE(files.size(), 17);
    }

    void programsFromTheTestedBuild_data()
    {
        QTest::addColumn<QString>("packaged");
        QTest::addColumn<QString>("built");
        QTest::newRow("velmor") << "usr/lib/velmor/velmor" << VELMOR_BUILT_VELMOR;
        QTest::newRow("velmor-certfetch") << "usr/lib/velmor/velmor-certfetch" << VELMOR_BUILT_CERTFETCH;
    }

    void programsFromTheTestedBuild()
    {
        // The package holds the very programs the tests ran, stripped (the
        // linker's build ID survives stripping), not a second compile of
        // the sources.
        QFETCH(QString, packaged);
        QFETCH(QString, built);
        const QString inPackage = m_root + QLatin1Char('/') + packaged;
        const QString id = buildId(inPackage);
        QVERIFY2(!id.isEmpty(), qPrintable(inPackage + QStringLiteral(" has no build ID")));
        QCOMPARE(id, buildId(built));
        // Stripped: no symbol table and no debug information left.
        const Run sections = run(QStringLiteral("readelf"), {QStringLiteral("-S"), QStringLiteral("-W"), inPackage});
        QCOMPARE(sections.rc, 0);
        QVERIFY2(!sections.out.contains(QLatin1String(".symtab")), qPrintable(packaged));
        QVERIFY2(!sections.out.contains(QLatin1String(".debug_")), qPrintable(packaged));
        QVERIFY(QFileInfo(inPackage).size() < QFileInfo(built).size());
    }

    void iconSizes()
    {
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
            const QImage icon(m_root + QStringLiteral("/usr/share/icons/hicolor/%1x%1/apps/velmor.png").arg(size));
            QVERIFY2(!icon.isNull(), qPrintable(QString::number(size)));
            QCOMPARE(icon.size(), QSize(size, size));
            // Drawn, not blank: the corners are clear, the middle is not.
            QCOMPARE(qAlpha(icon.pixel(0, 0)), 0);
            QVERIFY(qAlpha(icon.pixel(size / 2, size / 2)) > 200);
        }
    }

    void desktopEntry()
    {
        const QString desktop = m_root + QStringLiteral("/usr/share/applications/velmor.desktop");
        const Run v = run(QStringLiteral("desktop-file-validate"), {desktop});
        QVERIFY2(v.rc == 0 && v.out.trimmed().isEmpty(), qPrintable(v.out + v.err));
        QFile f(desktop);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        // What the menu starts and shows is in the package.
        QVERIFY(text.contains(QLatin1String("\nExec=velmor\n")));
        QVERIFY(text.contains(QLatin1String("\nIcon=velmor\n")));
        QVERIFY(text.contains(QLatin1String("\nTerminal=false\n")));
    }

    void controlFields_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("pattern");
        QTest::newRow("name") << "Package" << "^velmor$";
        QTest::newRow("version from the build") << "Version" << QStringLiteral("^%1$").arg(QRegularExpression::escape(QStringLiteral(VELMOR_VERSION)));
        QTest::newRow("architecture") << "Architecture" << "^amd64$";
        QTest::newRow("maintainer") << "Maintainer" << "^[^<>]+ <[^@<>]+@[^@<>]+>$";
        QTest::newRow("section") << "Section" << "^misc$";
        QTest::newRow("priority") << "Priority" << "^optional$";
        QTest::newRow("description with a body") << "Description" << "^stock, memos and invoices for diamond dealers\\n .+";
        // dpkg-shlibdeps' libraries with their versions...
        QTest::newRow("C library") << "Depends" << "(^|, )libc6 \\(>= [0-9.]+\\)";
        QTest::newRow("Qt core") << "Depends" << "(^|, )libqt6core6 \\(>= 6\\.";
        QTest::newRow("Qt widgets") << "Depends" << "(^|, )libqt6widgets6 \\(>= 6\\.";
        QTest::newRow("Qt SQL") << "Depends" << "(^|, )libqt6sql6 \\(>= 6\\.";
        QTest::newRow("Qt serial port") << "Depends" << "(^|, )libqt6serialport6 \\(>= 6\\.";
        QTest::newRow("backups' compression") << "Depends" << "(^|, )libzstd1 \\(>= [0-9.]+\\)";
        QTest::newRow("backups' SHA-256") << "Depends" << "(^|, )libssl3 \\(>= [0-9.]+\\)";
        // ...and what the programs load or start at run time.
        QTest::newRow("MySQL driver") << "Depends" << "(^|, )libqt6sql6-mysql(,|$)";
        QTest::newRow("server programs") << "Depends" << "(^|, )mariadb-server-core(,|$)";
        QTest::newRow("backup tools") << "Depends" << "(^|, )mariadb-client(,|$)";
        QTest::newRow("ODBC driver recommended") << "Recommends" << "(^|, )odbc-mariadb(,|$)";
        QTest::newRow("Qt ODBC driver recommended") << "Recommends" << "(^|, )libqt6sql6-odbc(,|$)";
    }

    void controlFields()
    {
        QFETCH(QString, field);
        QFETCH(QString, pattern);
        const Run f = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), m_deb, field});
        QVERIFY2(f.rc == 0, qPrintable(f.err));
        const QString value = f.out.trimmed();
        QVERIFY2(QRegularExpression(pattern, QRegularExpression::DotMatchesEverythingOption).match(value).hasMatch(),
                 qPrintable(field + QStringLiteral(": ") + value));
    }

    void odbcOnlyRecommended()
    {
        const Run f = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), m_deb, QStringLiteral("Depends")});
        QVERIFY(!f.out.contains(QLatin1String("odbc")));
    }

    void lintian()
    {
        // No error and no warning is kept: a warning here is either put
        // right or added to this list with the reason it stays.
        static const QStringList kept = {};
        const Run l = run(QStringLiteral("lintian"), {m_deb}, QProcessEnvironment::systemEnvironment(), 600000);
        QVERIFY2(l.rc >= 0, qPrintable(l.err));
        static const QRegularExpression tag(QStringLiteral(R"(^([EWIXPO]): velmor[^:]*: (\S+))"));
        QStringList errors;
        QStringList warnings;
        for (const QString &line : l.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QRegularExpressionMatch m = tag.match(line);
            if (!m.hasMatch())
                continue;
            if (m.captured(1) == QLatin1String("E"))
                errors << line;
            else if (m.captured(1) == QLatin1String("W") && !kept.contains(m.captured(2)))
                warnings << line;
        }
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join(QLatin1Char('\n'))));
        QVERIFY2(warnings.isEmpty(), qPrintable(QStringLiteral("warnings not accounted for:\n") + warnings.join(QLatin1Char('\n'))));
        QVERIFY2(l.rc == 0, qPrintable(l.out + l.err));
    }

    void version()
    {
        const Run v = run(velmor(), {QStringLiteral("--version")}, userEnv(m_scratch.filePath(QStringLiteral("home-v"))));
        QCOMPARE(v.rc, 0);
        QCOMPARE(v.out, QStringLiteral("Velmor %1 (schema version %2)\n").arg(QStringLiteral(VELMOR_VERSION)).arg(velmor::db::schema::kSchemaVersion));
    }

    void helpCommandsInManualPage()
    {
        // Every command `velmor --help` lists is in the manual page (made
        // from README.md), so the two cannot drift apart unseen.
        const Run h = run(velmor(), {QStringLiteral("--help")}, userEnv(m_scratch.filePath(QStringLiteral("home-h"))));
        QCOMPARE(h.rc, 0);
        const Run man = run(QStringLiteral("zcat"), {m_root + QStringLiteral("/usr/share/man/man1/velmor.1.gz")});
        QCOMPARE(man.rc, 0);
        QString page = man.out;
        page.remove(QStringLiteral("\\fB")).remove(QStringLiteral("\\fR")).remove(QStringLiteral("\\fI"));
        page.replace(QStringLiteral("\\-"), QStringLiteral("-"));
        // A row for alternatives ("velmor http get|head|post") documents each.
        static const QRegularExpression alternatives(QStringLiteral(R"(velmor((?: [a-z][a-z-]*)*) ([a-z][a-z-]*(?:\|[a-z][a-z-]*)+))"));
        for (auto it = alternatives.globalMatch(page); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            for (const QString &alt : m.captured(2).split(QLatin1Char('|')))
                page += QStringLiteral("\nvelmor") + m.captured(1) + QLatin1Char(' ') + alt + QLatin1Char('\n');
        }
        static const QRegularExpression words(QStringLiteral(R"(^  ((?:[a-z][a-z-]*)(?: [a-z][a-z-]*)*)(?= |$))"));
        int commands = 0;
        for (const QString &line : h.out.split(QLatin1Char('\n'))) {
            const QRegularExpressionMatch m = words.match(line);
            if (!m.hasMatch())
                continue;
            ++commands;
            const QString command = QStringLiteral("velmor ") + m.captured(1);
            QVERIFY2(page.contains(command), qPrintable(command + QStringLiteral(" is in --help but not in README.md's command tables")));
        }
        QVERIFY2(commands >= 20, qPrintable(h.out));
        // The manual page is well-formed roff.
        const Run w = run(QStringLiteral("man"), {QStringLiteral("--warnings"), QStringLiteral("-E"), QStringLiteral("UTF-8"),
                                                  QStringLiteral("-l"), QStringLiteral("-Tutf8"), QStringLiteral("-Z"),
                                                  m_root + QStringLiteral("/usr/share/man/man1/velmor.1.gz")});
        QVERIFY2(w.rc == 0 && w.err.trimmed().isEmpty(), qPrintable(w.err));
    }

    void privateDatabase_data()
    {
        QTest::addColumn<bool>("velmorHome");
        QTest::newRow("VELMOR_HOME") << true;
        QTest::newRow("the home folder") << false;
    }

    void privateDatabase()
    {
        QFETCH(bool, velmorHome);
        const QString home = m_scratch.filePath(velmorHome ? QStringLiteral("home-a") : QStringLiteral("home-b"));
        const QString ws = velmorHome ? m_scratch.filePath(QStringLiteral("ws")) : home + QStringLiteral("/.velmor");
        QVERIFY(QDir().mkpath(home));
        QProcessEnvironment env = userEnv(home);
        if (velmorHome)
            env.insert(QStringLiteral("VELMOR_HOME"), ws);
        const Run s = run(velmor(), {QStringLiteral("db"), QStringLiteral("status")}, env);
        QVERIFY2(s.rc == 0, qPrintable(s.out + s.err));
        QVERIFY2(s.out.startsWith(QLatin1String("Connection: private")), qPrintable(s.out));
        const QString schema = QString::number(velmor::db::schema::kSchemaVersion);
        QVERIFY2(s.out.contains(QStringLiteral("Schema version: %1 (program %1)\n").arg(schema)), qPrintable(s.out));
        QVERIFY(QFileInfo::exists(ws + QStringLiteral("/mariadb/data/mysql")));
        if (velmorHome) {
            // Nothing of Velmor's in the home folder when VELMOR_HOME names another.
            QVERIFY(!QFileInfo::exists(home + QStringLiteral("/.velmor")));
        }
        // The last Velmor out stopped the server, and its watcher went with it.
        QStringList left;
        for (int i = 0; i < 100; ++i) {
            left = processesOn(ws);
            if (left.isEmpty())
                break;
            QThread::msleep(100);
        }
        QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char('\n'))));
    }

    void nothingWrittenBesideThePrograms()
    {
        QCOMPARE(treeState(m_root), m_unpacked);
    }

    void aptResolvesEveryDependency()
    {
        const Run a = run(QStringLiteral("apt-get"), {QStringLiteral("install"), QStringLiteral("--simulate"),
                                                       m_deb});
        QVERIFY2(a.rc == 0, qPrintable(a.out + a.err));
        QVERIFY2(!a.err.contains(QLatin1String("E: ")), qPrintable(a.err));
        // Either it would be installed, or this very version already is.
        QVERIFY2(a.out.contains(QRegularExpression(QStringLiteral("^Inst velmor "), QRegularExpression::MultilineOption))
                     || a.out.contains(QLatin1String("velmor is already the newest version")),
                 qPrintable(a.out));
    }
};

QTEST_GUILESS_MAIN(tst_package)
#include "tst_package.moc"
