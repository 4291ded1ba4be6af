// The backup file without a server: the table checksums read from the dump
// tool's SQL (recorded from the real tool), the header and its padding, a
// file cut, changed or of another program told apart, in both kinds of file
// (zstd, and gzip as the older backups are), a backup stored by an earlier
// Velmor read as it was, and the backup's steps fed by recorded tool output
// (a failing tool leaves nothing behind).
#include "RecordedTools.h"

#include "db/Backup.h"
#include "db/BackupFile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <set>
#include <thread>


using namespace velmor;
using namespace velmor::db::backup;
using velmor::test::RecordedTools;
using velmor::test::Recording;

namespace {

QByteArray recordedDump() { return RecordedTools::dataFile(QStringLiteral("dump-shop.sql")); }

// The same rows in the shapes a dump tool may give them.
QByteArray reshape(const QByteArray &sql, const QString &shape)
{
    if (shape == QLatin1String("as written"))
        return sql;
    const QList<QByteArray> lines = sql.split('\n');
    QByteArray out;
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray &l = lines[i];
        if (!(l.startsWith("INSERT INTO") && l.endsWith("VALUES"))) {
            out += l + '\n';
            continue;
        }
        QList<QByteArray> rows;
        while (++i < lines.size()) {
            QByteArray r = lines[i];
            const bool last = r.endsWith(';');
            r.chop(1); // the comma or the semicolon
            rows << r;
            if (last)
                break;
        }
        QByteArray head = l;
        if (shape == QLatin1String("column list") && l.contains("`stone`"))
            head.replace("VALUES", "(`ID`, `SKU`, `Carat`, `Comment`, `Note`, `Price`, `Seen`, `Flag`, `Due`) VALUES");
        if (shape == QLatin1String("rows reversed"))
            std::reverse(rows.begin(), rows.end());
        if (shape == QLatin1String("one statement a line"))
            out += head + ' ' + rows.join(',') + ";\n";
        else if (shape == QLatin1String("one statement a row"))
            for (const QByteArray &r : rows)
                out += head + ' ' + r + ";\n";
        else
            out += head + '\n' + rows.join(",\n") + ";\n";
    }
    return out;
}

std::map<QString, TableSum> digestOf(const QByteArray &sql, int piece)
{
    DumpDigest d;
    for (qsizetype at = 0; at < sql.size(); at += piece)
        d.feed(sql.constData() + at, std::min<qsizetype>(piece, sql.size() - at));
    d.finish();
    return d.tables();
}

SourceInfo shopSource()
{
    SourceInfo s;
    s.database = QStringLiteral("shop");
    s.description = QStringLiteral("the test shop");
    s.server = QStringLiteral("10.11.19-MariaDB");
    s.schemaVersion = 311;
    s.tables = {QStringLiteral("empty_one"), QStringLiteral("odd `name`"), QStringLiteral("stone")};
    return s;
}

db::ConnectionSettings someServer()
{
    db::ConnectionSettings s;
    s.mode = db::Mode::Server;
    s.host = QStringLiteral("127.0.0.1");
    s.user = QStringLiteral("velmor");
    s.password = QStringLiteral("pa\"ss");
    s.database = QStringLiteral("shop");
    return s;
}

// A backup of the recorded dump, made through the steps of a real one.
MakeResult makeFrom(RecordedTools &tools, const QString &file)
{
    Recording dump;
    dump.output = recordedDump();
    tools.set(QStringLiteral("mariadb-dump"), dump);
    MakeRequest r;
    r.settings = someServer();
    r.source = shopSource();
    r.file = file;
    r.program = QStringLiteral("Velmor 9.9.9");
    r.tools = tools.starter();
    return makeBackup(r);
}

QByteArray readAll(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString &file, const QByteArray &data)
{
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

// `program -c` of the text (gzip, zstd).
QByteArray compressedBy(const QString &program, const QByteArray &text)
{
    QTemporaryDir d;
    writeAll(d.filePath(QStringLiteral("x")), text);
    QProcess p;
    p.start(program, {QStringLiteral("-q"), QStringLiteral("-c"), d.filePath(QStringLiteral("x"))});
    p.waitForFinished();
    return p.readAllStandardOutput();
}

// What a plain reader of the kind (zstdcat, zcat) makes of a file.
QByteArray plainReading(const QString &file)
{
    QProcess z;
    z.start(file.endsWith(QLatin1String(".gz")) ? QStringLiteral("zcat") : QStringLiteral("zstdcat"), {file});
    z.waitForFinished();
    return z.exitCode() == 0 ? z.readAllStandardOutput() : QByteArray("failed: ") + z.readAllStandardError();
}

} // namespace

class TestBackupFile : public QObject {
    Q_OBJECT
private slots:
    void sumsFollowTheRowsNotTheStatements_data();
    void sumsFollowTheRowsNotTheStatements();
    void headerFillsItsReservedPlace();
    void writerFallenBehindKeepsTheOrder();
    void backupOfRecordedDump();
    void damagedFilesAreToldApart_data();
    void damagedFilesAreToldApart();
    void failingToolsLeaveNothing_data();
    void failingToolsLeaveNothing();
    void clientThatStopsIsReported();
};

void TestBackupFile::sumsFollowTheRowsNotTheStatements_data()
{
    QTest::addColumn<QString>("shape");
    QTest::addColumn<QString>("change");      // "", or what is changed in the rows
    QTest::addColumn<QStringList>("differs"); // tables whose sums must differ from the dump's
    for (const char *shape : {"as written", "one statement a line", "one statement a row", "rows reversed", "column list"})
        QTest::newRow(shape) << QString::fromLatin1(shape) << QString() << QStringList();
    QTest::newRow("one accent changed") << "as written" << "Montréal>Montreal" << QStringList{"stone"};
    QTest::newRow("a byte of a binary value") << "one statement a row" << "0x00FF27295C0A>0x00FF27295C0B"
                                              << QStringList{"odd `name`"};
    QTest::newRow("a row left out") << "as written" << "(4,NULL,NULL,NULL,NULL,NULL,NULL,NULL,2),\n>"
                                    << QStringList{"stone"};
    QTest::newRow("Null becomes an empty text") << "rows reversed" << "(4,NULL,>(4,'',"
                                                << QStringList{"stone"};
}

void TestBackupFile::sumsFollowTheRowsNotTheStatements()
{
    QFETCH(QString, shape);
    QFETCH(QString, change);
    QFETCH(QStringList, differs);
    const QByteArray original = recordedDump();
    const std::map<QString, TableSum> expected = digestOf(original, 1 << 20);
    // Every table, rows counted through quotes, escapes, "), (" in a value,
    // NUL bytes and line breaks written as escapes.
    QCOMPARE(int(expected.size()), 3);
    QCOMPARE(expected.at(QStringLiteral("stone")).rows, 6);
    QCOMPARE(expected.at(QStringLiteral("odd `name`")).rows, 2);
    QCOMPARE(expected.at(QStringLiteral("empty_one")).rows, 0);

    QByteArray sql = original;
    if (!change.isEmpty()) {
        const QStringList c = change.split(QLatin1Char('>'));
        QVERIFY(sql.contains(c[0].toUtf8()));
        sql.replace(c[0].toUtf8(), c[1].toUtf8());
    }
    sql = reshape(sql, shape);
    // However the pipe cuts the text.
    for (const int piece : {1, 7, 4096, 1 << 20}) {
        const std::map<QString, TableSum> got = digestOf(sql, piece);
        QCOMPARE(got.size(), expected.size());
        for (const auto &[name, sum] : expected) {
            QVERIFY2(got.count(name), qPrintable(name));
            const bool same = got.at(name) == sum;
            QVERIFY2(same != differs.contains(name),
                     qPrintable(QStringLiteral("%1 in pieces of %2: %3 rows %4, dump %5 rows %6")
                                    .arg(name)
                                    .arg(piece)
                                    .arg(got.at(name).rows)
                                    .arg(got.at(name).checksumText())
                                    .arg(sum.rows)
                                    .arg(sum.checksumText())));
        }
    }
}

// The header is written into a place reserved before the dump: whatever room
// is left (none, one byte, two, a line and a bit), the file reads back whole.
void TestBackupFile::headerFillsItsReservedPlace()
{
    QTemporaryDir dir;
    const QByteArray body = recordedDump();
    Header h;
    h.program = QStringLiteral("Velmor 9.9.9");
    h.schemaVersion = 311;
    h.made = QDateTime(QDate(2026, 12, 7), QTime(9, 30, 12)).toOffsetFromUtc(3600);
    h.kind = QStringLiteral("manual");
    h.database = QStringLiteral("shop");
    DumpDigest d;
    d.feed(body.constData(), body.size());
    d.finish();
    h.tables = d.tableList();
    // The text's length once the body's figures are in.
    Header sized = h;
    {
        Writer w;
        const QString f = dir.filePath(QStringLiteral("probe.sql.gz"));
        QVERIFY(w.open(f, 1 << 16));
        QVERIFY(w.write(body.constData(), body.size()));
        QVERIFY(w.finish(sized));
    }
    const int textSize = int(sized.text().size());
    QList<int> rooms;
    for (int room = -2; room <= 104; ++room)
        rooms << room;
    rooms << 300000; // a header of several blocks
    for (const QString &suffix : {QStringLiteral(".sql.zst"), QStringLiteral(".sql.gz")}) {
        int written = 0;
        for (const int room : std::as_const(rooms)) {
            const QString f = dir.filePath(QStringLiteral("b%1").arg(room + 10) + suffix);
            Header hh = h;
            Writer w;
            QVERIFY(w.open(f, textSize + room));
            QVERIFY(w.write(body.constData(), body.size()));
            const bool ok = w.finish(hh);
            QCOMPARE(ok, room >= 0);
            QVERIFY(!QFileInfo::exists(f + QStringLiteral(".part")));
            if (!ok) {
                QVERIFY(w.error().contains(QStringLiteral("gained tables")));
                QVERIFY(!QFileInfo::exists(f));
                continue;
            }
            ++written;
            const Check c = checkFile(f, true);
            QVERIFY2(c.ok, qPrintable(QStringLiteral("%1: %2").arg(f, c.problem)));
            QCOMPARE(c.packing, suffix == QLatin1String(".sql.gz") ? Packing::Gzip : Packing::Zstd);
            QCOMPARE(c.header.text(), hh.text());
            QCOMPARE(c.header.made, h.made);
            BodyReader r;
            QVERIFY(r.open(f, c));
            QByteArray back;
            char buf[3000];
            for (qsizetype n; (n = r.read(buf, sizeof buf)) > 0;)
                back.append(buf, n);
            QVERIFY2(r.error().isEmpty(), qPrintable(r.error()));
            QCOMPARE(back, body);
            // A plain reader of its kind sees one SQL text: header comments,
            // then the dump (and checks what the header's frame says of itself).
            if (room == 0 || room == 1 || room == 2 || room == 103 || room == 300000) {
                const QByteArray all = plainReading(f);
                QVERIFY2(all.size() == textSize + room + body.size(), all.left(200).constData());
                QVERIFY(all.startsWith("-- Velmor backup, format 1\n-- Program: Velmor 9.9.9"));
                QVERIFY(all.endsWith(body));
            }
        }
        QCOMPARE(written, 106);
    }
}

// The compressing thread runs at the idle priority, hands over to one at the
// normal priority when it falls far behind, and the writing thread works off
// the rest: three threads work the one stream, and every piece must still be
// summed and written in its order.
void TestBackupFile::writerFallenBehindKeepsTheOrder()
{
    QTemporaryDir dir;
    const auto writer = std::this_thread::get_id();
    for (const QString &suffix : {QStringLiteral(".sql.zst"), QStringLiteral(".sql.gz")}) {
        const QString f = dir.filePath(QStringLiteral("slow") + suffix);
        QByteArray seen;
        std::set<std::thread::id> workers;
        QByteArray body;
        {
            Writer w;
            QVERIFY(w.open(f, 8192, [&](const char *data, qsizetype size) {
                // A slow disk or a busy machine.
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                seen.append(data, size);
                workers.insert(std::this_thread::get_id());
            }));
            for (qint32 i = 0; i < 60; ++i) {
                QByteArray piece(1024 * 1024 - 7 * i, char('a' + i % 26));
                qToLittleEndian(i, piece.data());
                piece += "\n-- " + QByteArray::number(i) + "\n";
                body += piece;
                QVERIFY(w.write(piece));
            }
            QVERIFY(w.drain());
            Header h;
            h.program = QStringLiteral("Velmor 9.9.9");
            h.schemaVersion = 318;
            h.made = QDateTime(QDate(2026, 12, 8), QTime(20, 0)).toOffsetFromUtc(0);
            QVERIFY2(w.finish(h), qPrintable(w.error()));
        }
        QVERIFY(seen == body);
        QCOMPARE(workers.size(), size_t(3));
        QVERIFY(workers.count(writer));
        const Check c = checkFile(f, true);
        QVERIFY2(c.ok, qPrintable(c.problem));
        BodyReader r;
        QVERIFY(r.open(f, c));
        QByteArray back;
        QByteArray buf(1 << 20, Qt::Uninitialized);
        for (qsizetype n; (n = r.read(buf.data(), buf.size())) > 0;)
            back.append(buf.constData(), n);
        QVERIFY2(r.error().isEmpty(), qPrintable(r.error()));
        QVERIFY(back == body);
    }
}

void TestBackupFile::backupOfRecordedDump()
{
    QTemporaryDir dir;
    RecordedTools tools;
    const QString file = dir.filePath(QStringLiteral("shop.sql.zst"));
    const MakeResult r = makeFrom(tools, file);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(r.fileBytes, QFileInfo(file).size());
    QVERIFY(!QFileInfo::exists(file + QStringLiteral(".part")));
    QCOMPARE(QFileInfo(file).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup), QFileDevice::Permissions());

    const Check c = checkFile(file, true);
    QVERIFY2(c.ok, qPrintable(c.problem));
    QCOMPARE(c.header.program, QStringLiteral("Velmor 9.9.9"));
    QCOMPARE(c.header.schemaVersion, 311.0);
    QCOMPARE(c.header.tool, QStringLiteral("MariaDB dump 10.19 Distrib 10.11.19-MariaDB, for debian-linux-gnu (x86_64)"));
    QCOMPARE(c.header.tables.size(), 3);
    QList<TableSum> sums;
    for (const auto &[name, sum] : digestOf(recordedDump(), 1 << 20))
        sums << sum;
    QCOMPARE(c.header.tables, sums);
    QCOMPARE(c.header.bodyTextBytes, qint64(recordedDump().size()));
    QVERIFY(qAbs(c.header.made.secsTo(QDateTime::currentDateTime())) < 60);

    // The dump tool ran with the connection in its option file only (no
    // password on its command line) and the consistent-snapshot options.
    const QStringList call = tools.calls.last();
    QCOMPARE(call.first(), QStringLiteral("mariadb-dump"));
    QVERIFY(call.at(1).startsWith(QStringLiteral("--defaults-file=")));
    QVERIFY(call.contains(QStringLiteral("--single-transaction")));
    QVERIFY(call.contains(QStringLiteral("--hex-blob")));
    QCOMPARE(call.last(), QStringLiteral("shop"));
    QVERIFY(!call.join(QLatin1Char(' ')).contains(QStringLiteral("pa\"ss")));

    // What the client is fed on restore is the dump, byte for byte.
    QString why;
    db::ConnectionSettings target = someServer();
    target.database = QStringLiteral("shop_copy");
    QVERIFY2(feedBackup(target, file, c, tools.starter(), {}, &why), qPrintable(why));
    QCOMPARE(tools.input, recordedDump());
    QCOMPARE(tools.calls.last().first(), QStringLiteral("mariadb"));
    QVERIFY(tools.calls.last().contains(QStringLiteral("--database=shop_copy")));

    // A backup of the same dump stored by an earlier Velmor (gzip): read
    // whole, its checksums those the rows give today, fed as it was.
    const QString older = dir.filePath(QStringLiteral("older.sql.gz"));
    writeAll(older, RecordedTools::dataFile(QStringLiteral("backup-1.0.308.sql.gz")));
    const Check o = checkFile(older, true);
    QVERIFY2(o.ok, qPrintable(o.problem));
    QCOMPARE(o.packing, Packing::Gzip);
    QCOMPARE(o.header.program, QStringLiteral("Velmor 9.9.9"));
    QCOMPARE(o.header.tables, sums);
    tools.input.clear();
    QVERIFY2(feedBackup(target, older, o, tools.starter(), {}, &why), qPrintable(why));
    QCOMPARE(tools.input, recordedDump());
}

void TestBackupFile::damagedFilesAreToldApart_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("reason"); // a regular expression
    for (const char *suffix : {".sql.zst", ".sql.gz"}) {
        const bool gz = QByteArray(suffix) == ".sql.gz";
        auto row = [&](const char *name) -> QTestData & {
            return QTest::newRow(qPrintable(QStringLiteral("%1 (%2)").arg(QLatin1String(name), QLatin1String(suffix))))
                   << QString::fromLatin1(suffix);
        };
        row("cut inside the dump") << "cut 60%" << "is cut short: it holds \\d+ bytes where the backup wrote \\d+";
        row("last byte missing") << "cut -1" << "is cut short";
        row("cut inside the header") << "cut 200" << "is damaged: it is cut short inside its header";
        row("a byte changed in the dump") << "flip 80%" << "is damaged: its contents differ from the checksum";
        row("a byte changed in the header") << "flip 300"
                                            << (gz ? "is damaged: its header does not read \\(incorrect data check\\)"
                                                   : "is damaged: its header does not read \\(Restored data doesn't match checksum\\)");
        row("bytes appended") << "append" << "is damaged: it holds 5 bytes more than the backup wrote";
        row("a picture") << "jpeg" << "is not a Velmor backup: it is not a compressed backup file";
        row("another program's SQL dump") << "plain dump" << "is not a Velmor backup: it is a plain SQL dump made by another program";
        row("another program's compressed file") << (gz ? "other gzip" : "other zstd")
                                                 << "is not a Velmor backup: it is a compressed file of another kind";
        row("an empty file") << "empty" << "is not a Velmor backup: it is empty";
        row("no such file") << "missing" << "does not exist";
    }
}

void TestBackupFile::damagedFilesAreToldApart()
{
    QFETCH(QString, suffix);
    QFETCH(QString, damage);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    RecordedTools tools;
    const QString file = dir.filePath(QStringLiteral("shop") + suffix);
    QVERIFY(makeFrom(tools, file).ok);
    QByteArray bytes = readAll(file);
    // A share of the dump, or bytes from the file's start or end.
    const Check whole = checkFile(file, true);
    QVERIFY(whole.ok);
    auto at = [&](const QString &where) {
        return where.endsWith(QLatin1Char('%'))
                   ? qsizetype(whole.headerBytes + whole.header.bodyBytes * where.chopped(1).toInt() / 100)
               : where.toInt() < 0           ? bytes.size() + where.toInt()
                                             : qsizetype(where.toInt());
    };
    const QString how = damage.section(QLatin1Char(' '), 0, 0), where = damage.section(QLatin1Char(' '), 1);
    if (how == QLatin1String("cut"))
        bytes.truncate(at(where));
    else if (how == QLatin1String("flip"))
        bytes[at(where)] = char(bytes[at(where)] ^ 0x10);
    else if (how == QLatin1String("append"))
        bytes += "extra";
    else if (how == QLatin1String("jpeg"))
        bytes = QByteArray("\xff\xd8\xff\xe0\x00\x10JFIF\x00", 11) + QByteArray(500, 'x');
    else if (damage == QLatin1String("plain dump"))
        bytes = recordedDump().mid(recordedDump().indexOf("-- MariaDB dump"));
    else if (how == QLatin1String("other"))
        bytes = compressedBy(where, "-- Velmor was never here\nSELECT 1;\n");
    else if (how == QLatin1String("empty"))
        bytes.clear();
    if (how == QLatin1String("missing"))
        QFile::remove(file);
    else
        writeAll(file, bytes);

    const Check c = checkFile(file, true);
    QVERIFY(!c.ok);
    QVERIFY2(QRegularExpression(reason).match(c.problem).hasMatch(), qPrintable(c.problem));
    QVERIFY(c.problem.startsWith(QDir::toNativeSeparators(file)));
    // The quick look (listing) sees all but a changed byte in the dump.
    const Check quick = checkFile(file, false);
    QCOMPARE(quick.ok, damage == QLatin1String("flip 80%"));
}

void TestBackupFile::failingToolsLeaveNothing_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("reason");
    QTest::newRow("account without the right") << "denied"
                                               << "mariadb-dump failed: mariadb-dump: Got error: 1044: \"Access denied for "
                                                  "user 'weak'@'localhost' to database 'velmor'\" when selecting the "
                                                  "database. The account lacks a right the backup needs";
    QTest::newRow("no such database") << "unknown" << "Unknown database 'nosuchdb'";
    QTest::newRow("tool not installed") << "missing" << "the MariaDB program mariadb-dump is not installed";
    QTest::newRow("tool stopped half way") << "cut" << "mariadb-dump failed: it ended with code 2";
    QTest::newRow("a table left out") << "ghost" << "the dump left out tables: ghost";
}

void TestBackupFile::failingToolsLeaveNothing()
{
    QFETCH(QString, failure);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("shop.sql.gz"));
    writeAll(file, "the backup made before"); // under the same name
    RecordedTools tools;
    Recording dump;
    if (failure == QLatin1String("denied")) {
        dump.errors = RecordedTools::dataFile(QStringLiteral("dump-access-denied.txt"));
        dump.exitCode = 2;
    } else if (failure == QLatin1String("unknown")) {
        dump.errors = RecordedTools::dataFile(QStringLiteral("dump-unknown-database.txt"));
        dump.exitCode = 2;
    } else if (failure == QLatin1String("cut")) {
        dump.output = recordedDump().left(recordedDump().size() / 2);
        dump.exitCode = 2;
    } else {
        dump.output = recordedDump();
    }
    tools.set(QStringLiteral("mariadb-dump"), dump);
    if (failure == QLatin1String("missing"))
        tools.missing(QStringLiteral("mariadb-dump"),
                      QStringLiteral("the MariaDB program mariadb-dump is not installed (package mariadb-client)"));
    MakeRequest r;
    r.settings = someServer();
    r.source = shopSource();
    if (failure == QLatin1String("ghost"))
        r.source.tables << QStringLiteral("ghost");
    r.file = file;
    r.tools = tools.starter();
    const MakeResult res = makeBackup(r);
    QVERIFY(!res.ok);
    QVERIFY2(res.error.contains(reason), qPrintable(res.error));
    QCOMPARE(readAll(file), QByteArray("the backup made before"));
    QVERIFY(!QFileInfo::exists(file + QStringLiteral(".part")));
}

void TestBackupFile::clientThatStopsIsReported()
{
    QTemporaryDir dir;
    RecordedTools tools;
    const QString file = dir.filePath(QStringLiteral("shop.sql.gz"));
    QVERIFY(makeFrom(tools, file).ok);
    Recording client;
    client.errors = "ERROR 1142 (42000) at line 25: CREATE command denied to user 'weak'@'localhost' for table "
                    "`shop_restoring`.`empty_one`\n";
    client.exitCode = 1;
    client.stopAfterInput = 2000;
    tools.set(QStringLiteral("mariadb"), client);
    QString why;
    const Check c = checkFile(file, true);
    QVERIFY(!feedBackup(someServer(), file, c, tools.starter(), {}, &why));
    QVERIFY2(why.startsWith(QStringLiteral("mariadb failed: ERROR 1142 (42000) at line 25: CREATE command denied")),
             qPrintable(why));
    QVERIFY(why.endsWith(QStringLiteral("The account lacks a right the backup needs (the README's backup section lists them).")));
}

QTEST_GUILESS_MAIN(TestBackupFile)
#include "tst_backupfile.moc"
