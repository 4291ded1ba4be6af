// Files on a stone: what a file must be to be taken (and that a refused one
// writes nothing), the rights, a 100 MB video and pictures and PDFs read
// back byte for byte on a second workstation, kept once, the main picture,
// removing, thumbnails made once, the certificate look-up's report, the
// export by SKU, the stone lists naming the files, the stone paper and the
// memo sheet with pictures, the books check, and the commands.
#include "PdfLayoutCheck.h"
#include "StoneFileSamples.h"
#include "StoneTestEnv.h"
#include "../printing/PrintTestKit.h"
#include "core/Configuration.h"
#include "db/Sql.h"
#include "memos/MemoPrint.h"
#include "printing/DiamondPaper.h"
#include "printing/PrintJob.h"
#include "shell/BooksCheck.h"
#include "stones/FileContent.h"
#include "stones/StoneFiles.h"
#include "stones/StoneLists.h"
#include "stones/StonePrintout.h"
#include "stones/StoneRecord.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>

using namespace velmor;
using velmor::test::StoneEnv;

namespace {

QString write(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    test::writeBytes(path, bytes);
    return path;
}

int rows(StoneEnv &e, const char *table) { return e.count(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(table))); }

QString readBack(const QSqlDatabase &db, const stones::StoneFile &f, QString *why)
{
    QByteArray bytes;
    QBuffer b(&bytes);
    b.open(QIODevice::WriteOnly);
    if (!stones::readFile(db, f, b, why))
        return {};
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

// A backup of `from` made with the dump tool MariaDB ships, restored into
// the empty database `into` with its client; "" when done, else what failed.
QString backupAndRestore(const test::TestDb &from, const test::TestDb &into)
{
    const QString socket = QStringLiteral("--socket=") + test::TestDb::socketPath();
    QProcess dump, restore;
    dump.setStandardOutputProcess(&restore);
    dump.start(QStringLiteral("mariadb-dump"), {QStringLiteral("--no-defaults"), socket, QStringLiteral("--user=root"),
                                               QStringLiteral("--single-transaction"), QStringLiteral("--hex-blob"),
                                               from.name()});
    restore.start(QStringLiteral("mariadb"), {QStringLiteral("--no-defaults"), socket, QStringLiteral("--user=root"),
                                             QStringLiteral("--max-allowed-packet=64M"), into.name()});
    const bool done = dump.waitForFinished(300000) && restore.waitForFinished(300000);
    if (!done || dump.exitCode() != 0 || restore.exitCode() != 0)
        return QString::fromLocal8Bit(dump.readAllStandardError() + restore.readAllStandardError() + restore.readAll());
    return {};
}

} // namespace

class TestStoneFiles : public QObject {
    Q_OBJECT
private slots:
    void contentChecks_data();
    void contentChecks();
    void refusedFilesWriteNothing();
    void rightsAtTheWrite();
    void largeVideoRoundTripOnASecondWorkstation();
    void mainPictureAndRemoving();
    void thumbnailMadeOnceAndKept();
    void lookupReportIsTheCertificate();
    void exportBySku();
    void listsNameTheFiles();
    void paperAndMemoSheetWithPictures();
    void booksCheckFindsAFileNotWhole();
    void commands();
};

void TestStoneFiles::contentChecks_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("kind"); // empty: refused
    QTest::addColumn<QString>("why");  // part of the reason

    const QByteArray jpeg = test::encodedPicture(test::samplePicture(640, 480), "JPG");
    const QByteArray png = test::encodedPicture(test::samplePicture(64, 48), "PNG");
    const QByteArray pdf = test::samplePdf(2);
    QByteArray movie = test::movieHead(true) + test::box("mdat", QByteArray(5000, 'x'));
    QByteArray mov = test::movieHead(false) + test::box("mdat", QByteArray(500, 'x'));

    QTest::newRow("jpeg") << "stone.JPG" << jpeg << "picture" << "";
    QTest::newRow("png") << "stone.png" << png << "picture" << "";
    QTest::newRow("pdf") << "GIA 123.pdf" << pdf << "document" << "";
    QTest::newRow("mp4") << "turn.mp4" << movie << "video" << "";
    QTest::newRow("mov") << "turn.mov" << mov << "video" << "";
    QTest::newRow("text called .jpg") << "notes.jpg" << QByteArray("just some words\n") << "" << "is not a JPEG";
    QTest::newRow("cut jpeg") << "cut.jpg" << jpeg.left(jpeg.size() * 2 / 3) << "" << "cut short";
    QTest::newRow("png called .jpg") << "wrong.jpg" << png << "" << "is not a JPEG";
    QTest::newRow("cut png") << "cut.png" << png.left(png.size() - 20) << "" << "cut short";
    QTest::newRow("pdf without pages") << "empty.pdf" << test::pdfWithoutPages() << "" << "no pages";
    QTest::newRow("cut pdf") << "cut.pdf" << pdf.left(pdf.size() / 2) << "" << "cut short";
    QTest::newRow("text called .pdf") << "a.pdf" << QByteArray("hello") << "" << "is not a PDF";
    QTest::newRow("cut mp4") << "cut.mp4" << movie.left(movie.size() - 100) << "" << "cut short";
    QTest::newRow("mp4 without moov") << "a.mp4" << test::box("ftyp", QByteArray("isom\0\0\0\0", 8)) + test::box("mdat", "xx")
                                      << "" << "no movie header";
    QTest::newRow("jpeg called .mp4") << "a.mp4" << jpeg << "" << "is not an MP4";
    QTest::newRow("empty file") << "a.png" << QByteArray() << "" << "is empty";
    QTest::newRow("other kind") << "a.docx" << QByteArray("PK") << "" << "is not a picture";
    if (!stones::webpReadable())
        QTest::newRow("webp without its reader") << "a.webp" << QByteArray("RIFF\x04\0\0\0WEBP", 12) << "" << "WebP";
}

void TestStoneFiles::contentChecks()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, kind);
    QFETCH(QString, why);
    QTemporaryDir dir;
    const stones::ContentCheck c = stones::checkFileContent(write(dir, name, bytes));
    if (kind.isEmpty()) {
        QVERIFY2(!c.ok, qPrintable(name));
        QVERIFY2(c.why.contains(why), qPrintable(c.why));
    } else {
        QVERIFY2(c.ok, qPrintable(c.why));
        QCOMPARE(c.kind, kind);
    }
}

void TestStoneFiles::refusedFilesWriteNothing()
{
    StoneEnv e;
    const qint64 stone = e.stone("R100");
    QTemporaryDir dir;
    const QByteArray jpeg = test::encodedPicture(test::samplePicture(300, 200), "JPG");
    struct Case {
        QString name;
        QByteArray bytes;
        QString reason;
        qint64 limit;
        bool certificate;
    };
    const QList<Case> cases = {
        {QStringLiteral("notes.jpg"), QByteArray("words, not a picture"), QStringLiteral("notes.jpg is not a JPEG"), 0, false},
        {QStringLiteral("cut.jpg"), jpeg.left(jpeg.size() / 2), QStringLiteral("cut.jpg is cut short"), 0, false},
        {QStringLiteral("blank.pdf"), test::pdfWithoutPages(), QStringLiteral("blank.pdf is a PDF document with no pages"), 0,
         false},
        // Over the limit is refused before the content is even looked at.
        {QStringLiteral("big.jpg"), QByteArray(3 * 1024 * 1024, 'x'), QStringLiteral("big.jpg is 3.0 MB, above the limit of 2.0 MB"),
         2 * 1024 * 1024, false},
        {QStringLiteral("photo.jpg"), jpeg, QStringLiteral("photo.jpg is not a PDF document: a certificate"), 0, true},
    };
    for (const Case &c : cases) {
        stones::AttachOptions o;
        if (c.limit)
            o.sizeLimit = c.limit;
        o.certificate = c.certificate;
        const stones::AttachResult r = stones::attachFile(e.t.db(), e.ctx.user, stone, write(dir, c.name, c.bytes), o);
        QVERIFY2(!r.ok, qPrintable(c.name));
        QVERIFY2(r.message.startsWith(c.reason), qPrintable(r.message));
    }
    // A folder and a file that is not there are no files either.
    QVERIFY(!stones::attachFile(e.t.db(), e.ctx.user, stone, dir.path(), {}).ok);
    QVERIFY(stones::attachFile(e.t.db(), e.ctx.user, stone, dir.filePath("gone.jpg"), {}).message.contains("was not found"));
    // No stone of that number.
    QVERIFY(stones::attachFile(e.t.db(), e.ctx.user, 999999, write(dir, "ok.jpg", jpeg), {}).message.contains("no stone"));
    QCOMPARE(rows(e, "stonefile"), 0);
    QCOMPARE(rows(e, "stonefilechunk"), 0);
    QCOMPARE(rows(e, "stonefilethumb"), 0);

    // The limit of the settings, 200 MB when not set.
    GetConfigurationModule(e.ctx);
    QCOMPARE(stones::fileSizeLimit(e.ctx.settings), qint64(200) * 1024 * 1024);
    db::exec(e.t.db(), "UPDATE Config SET StoneFileLimitMB = 5");
    GetConfigurationModule(e.ctx);
    QCOMPARE(stones::fileSizeLimit(e.ctx.settings), qint64(5) * 1024 * 1024);

    // Stopped half way: nothing kept.
    const QString video = dir.filePath("stop.mp4");
    QVERIFY(!test::writeVideo(video, 3 * 1024 * 1024).isEmpty());
    const stones::AttachResult stopped = stones::attachFile(e.t.db(), e.ctx.user, stone, video, {},
                                                            [](qint64 done, qint64) { return done < 1024 * 1024; });
    QVERIFY(!stopped.ok);
    QVERIFY2(stopped.message.contains("nothing of it was kept"), qPrintable(stopped.message));
    QCOMPARE(rows(e, "stonefile"), 0);
    QCOMPARE(rows(e, "stonefilechunk"), 0);
}

void TestStoneFiles::rightsAtTheWrite()
{
    StoneEnv e;
    const qint64 stone = e.stone("R101");
    QTemporaryDir dir;
    const QString pic = write(dir, "a.png", test::encodedPicture(test::samplePicture(40, 40), "PNG"));
    const stones::AttachResult ok = stones::attachFile(e.t.db(), e.ctx.user, stone, pic, {});
    QVERIFY2(ok.ok, qPrintable(ok.message));
    QCOMPARE(e.value("SELECT AddedBy FROM stonefile WHERE ID = ?", {ok.fileId}).toInt(), 7);

    UserState nobody;
    UserState viewer;
    viewer.ID = 8;
    viewer.ViewCost = true;
    const QString pic2 = write(dir, "b.png", test::encodedPicture(test::samplePicture(40, 40, Qt::blue), "PNG"));
    for (const auto &[user, why] : {std::pair{nobody, QStringLiteral("Please log on first.")},
                                    std::pair{viewer, QStringLiteral("No Permission")}}) {
        QVERIFY(stones::attachFile(e.t.db(), user, stone, pic2, {}).message.startsWith(why));
        QVERIFY(stones::detachFile(e.t.db(), user, stone, ok.fileId).message.startsWith(why));
        QVERIFY(stones::setMainPicture(e.t.db(), user, stone, ok.fileId).message.startsWith(why));
    }
    QCOMPARE(rows(e, "stonefile"), 1);
    // Looking needs no right.
    QCOMPARE(stones::stoneFiles(e.t.db(), stone).size(), 1);
}

void TestStoneFiles::largeVideoRoundTripOnASecondWorkstation()
{
    StoneEnv e;
    const qint64 stone = e.stone("R102");
    // The big file where a test's files belong: in memory, not on disk.
    QTemporaryDir dir(QFileInfo::exists(QStringLiteral("/dev/shm")) ? QStringLiteral("/dev/shm/velmor-files-XXXXXX")
                                                                : QDir::tempPath() + QStringLiteral("/velmor-files-XXXXXX"));
    QVERIFY(dir.isValid());
    const QString video = dir.filePath("turn.mp4");
    const QString videoSha = test::writeVideo(video, 100 * 1024 * 1024);
    QVERIFY(!videoSha.isEmpty());
    const QString p1 = write(dir, "face.jpg", test::encodedPicture(test::samplePicture(1200, 900), "JPG"));
    const QString p2 = write(dir, "side.png", test::encodedPicture(test::samplePicture(300, 300, Qt::green), "PNG"));
    const QString d1 = write(dir, "GIA2141438176.pdf", test::samplePdf(1, QStringLiteral("GIA")));
    const QString d2 = write(dir, "HRD-99.pdf", test::samplePdf(3, QStringLiteral("HRD")));

    QHash<QString, QString> sha;
    for (const QString &p : {p1, p2, video, d1, d2}) {
        stones::AttachOptions o;
        o.certificate = p == d2;
        o.laboratory = p == d2 ? QStringLiteral("HRD") : QString();
        qint64 lastDone = 0;
        const stones::AttachResult r = stones::attachFile(e.t.db(), e.ctx.user, stone, p, o, [&](qint64 done, qint64) {
            lastDone = done;
            return true;
        });
        QVERIFY2(r.ok && !r.already, qPrintable(r.message));
        QCOMPARE(lastDone, QFileInfo(p).size());
        sha.insert(QFileInfo(p).fileName(), test::sha256OfFile(p));
    }
    QCOMPARE(sha.value("turn.mp4"), videoSha);
    // No part bigger than a quarter of the server's packet limit.
    const qint64 packet = e.value("SELECT @@max_allowed_packet").toLongLong();
    const qint64 biggest = e.value("SELECT MAX(Bytes) FROM stonefilechunk").toLongLong();
    QVERIFY2(biggest <= packet / 4 && biggest == stones::chunkSizeFor(e.t.db()), qPrintable(QString::number(biggest)));
    QVERIFY(e.count("SELECT COUNT(*) FROM stonefilechunk") >= 100);

    // The files on disk go; the database holds them.
    QVERIFY(QFile::remove(video));
    QVERIFY(QFile::remove(p1));

    // A second workstation on the same server reads every byte back.
    QSqlDatabase other = e.t.secondConnection(QStringLiteral("ws2"));
    const QList<stones::StoneFile> files = stones::stoneFiles(other, stone);
    QCOMPARE(files.size(), 5);
    QCOMPARE(files.first().name, QStringLiteral("face.jpg")); // the first picture is the main one
    QVERIFY(files.first().main);
    for (const stones::StoneFile &f : files) {
        QString why;
        QCOMPARE(readBack(other, f, &why), sha.value(f.name));
        QCOMPARE(f.sha256, sha.value(f.name));
        QCOMPARE(f.addedBy, qint64(7));
    }

    // A backup restored elsewhere has every byte too.
    {
        test::TestDb restored(test::TestDb::Shape::Empty);
        const QString failed = backupAndRestore(e.t, restored);
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        const QList<stones::StoneFile> back = stones::stoneFiles(restored.db(), stone);
        QCOMPARE(back.size(), 5);
        for (const stones::StoneFile &f : back) {
            QString why;
            QCOMPARE(readBack(restored.db(), f, &why), sha.value(f.name));
        }
    }
    const stones::StoneFile hrd = *std::find_if(files.begin(), files.end(), [](const auto &f) { return f.name == "HRD-99.pdf"; });
    QVERIFY(hrd.certificate);
    QCOMPARE(hrd.laboratory, QStringLiteral("HRD"));

    // The same bytes again (under another name) are kept once.
    const QString again = write(dir, "copy of side.png", test::encodedPicture(test::samplePicture(300, 300, Qt::green), "PNG"));
    const stones::AttachResult twice = stones::attachFile(other, e.ctx.user, stone, again, {});
    QVERIFY(twice.ok && twice.already);
    QCOMPARE(stones::stoneFiles(other, stone).size(), 5);
    // ... on another stone they are its own.
    const qint64 stone2 = e.stone("R103");
    QVERIFY(!stones::attachFile(other, e.ctx.user, stone2, again, {}).already);

    // A part changed in the database is found on reading, not passed on.
    const stones::StoneFile vid = *std::find_if(files.begin(), files.end(), [](const auto &f) { return f.kind == "video"; });
    db::exec(e.t.db(), "UPDATE stonefilechunk SET Data = CONCAT('x', SUBSTRING(Data, 2)) WHERE FileID = ? AND Seq = 50",
             {vid.id});
    QString why;
    QVERIFY(readBack(other, vid, &why).isEmpty());
    QVERIFY2(why.contains("damaged"), qPrintable(why));
}

void TestStoneFiles::mainPictureAndRemoving()
{
    StoneEnv e;
    const qint64 stone = e.stone("R104");
    QTemporaryDir dir;
    const QString a = write(dir, "a.jpg", test::encodedPicture(test::samplePicture(100, 80), "JPG"));
    const QString b = write(dir, "b.png", test::encodedPicture(test::samplePicture(80, 100, Qt::blue), "PNG"));
    const QString v = dir.filePath("v.mov");
    test::writeVideo(v, 3 * 1024 * 1024, false);
    const qint64 fa = stones::attachFile(e.t.db(), e.ctx.user, stone, a, {}).fileId;
    const qint64 fv = stones::attachFile(e.t.db(), e.ctx.user, stone, v, {}).fileId;
    stones::AttachOptions main;
    main.main = true;
    const qint64 fb = stones::attachFile(e.t.db(), e.ctx.user, stone, b, main).fileId;
    QVERIFY(fa && fb && fv);
    auto mainOf = [&] { return e.value("SELECT GROUP_CONCAT(ID) FROM stonefile WHERE StoneID = ? AND IsMain <> 0", {stone}).toString(); };
    QCOMPARE(mainOf(), QString::number(fb));
    QVERIFY(stones::setMainPicture(e.t.db(), e.ctx.user, stone, fa).ok);
    QCOMPARE(mainOf(), QString::number(fa));
    QVERIFY(stones::setMainPicture(e.t.db(), e.ctx.user, stone, fv).message.contains("not a picture"));
    QCOMPARE(mainOf(), QString::number(fa));
    // A file of another stone is not this stone's to change.
    const qint64 other = e.stone("R105");
    QVERIFY(!stones::detachFile(e.t.db(), e.ctx.user, other, fa).ok);

    // Removing the main picture makes the next picture main; the bytes go too.
    QVERIFY(stones::detachFile(e.t.db(), e.ctx.user, stone, fa).ok);
    QCOMPARE(mainOf(), QString::number(fb));
    QCOMPARE(e.count("SELECT COUNT(*) FROM stonefilechunk WHERE FileID = ?", {fa}), 0);
    QCOMPARE(e.count("SELECT COUNT(*) FROM stonefilethumb WHERE FileID = ?", {fa}), 0);
    QVERIFY(stones::detachFile(e.t.db(), e.ctx.user, stone, fv).ok);
    QCOMPARE(e.count("SELECT COUNT(*) FROM stonefilechunk WHERE FileID = ?", {fv}), 0);
    QCOMPARE(stones::stoneFiles(e.t.db(), stone).size(), 1);

    // What a workstation that went away in the middle left is taken away.
    db::exec(e.t.db(), "INSERT INTO stonefile (StoneID, FileName, Stored, AddedAt) VALUES (?, 'half.mp4', 0, NOW() - INTERVAL 2 DAY)",
             {stone});
    const qint64 half = e.value("SELECT MAX(ID) FROM stonefile").toLongLong();
    db::exec(e.t.db(), "INSERT INTO stonefilechunk (FileID, Seq, Bytes, Data) VALUES (?, 0, 1, 'x'), (999999, 0, 1, 'y')", {half});
    QCOMPARE(stones::removeUnfinished(e.t.db()), 2);
    QCOMPARE(e.count("SELECT COUNT(*) FROM stonefilechunk WHERE FileID IN (?, 999999)", {half}), 0);
    QCOMPARE(stones::stoneFiles(e.t.db(), stone).size(), 1);

    // A stone deleted takes its files with it; their parts go at the next clean-up.
    e.prompt.answer(true);
    QCOMPARE(stones::deleteStone(e.ctx, stone), stones::DeleteResult::Deleted);
    QCOMPARE(e.count("SELECT COUNT(*) FROM stonefile WHERE StoneID = ?", {stone}), 0);
    QCOMPARE(e.count("SELECT COUNT(*) FROM stonefilethumb"), 0);
    stones::removeUnfinished(e.t.db());
    QCOMPARE(e.count("SELECT COUNT(*) FROM stonefilechunk"), 0);
}

void TestStoneFiles::thumbnailMadeOnceAndKept()
{
    StoneEnv e;
    const qint64 stone = e.stone("R106");
    QTemporaryDir dir;
    // A tall picture: the thumbnail keeps its shape within 480 pixels.
    const QString p = write(dir, "tall.jpg", test::encodedPicture(test::samplePicture(1500, 3000), "JPG"));
    const qint64 id = stones::attachFile(e.t.db(), e.ctx.user, stone, p, {}).fileId;
    QCOMPARE(e.count("SELECT COUNT(*) FROM stonefilethumb WHERE FileID = ?", {id}), 1);
    const QImage t = stones::mainThumbnail(e.t.db(), stone);
    QCOMPARE(t.size(), QSize(240, 480));
    QCOMPARE(stones::mainIcons(e.t.db(), {stone, 424242}).value(stone).size(), QSize(32, 64));
    // Gone (a database restored from elsewhere): made again from the stored bytes, and kept.
    db::exec(e.t.db(), "DELETE FROM stonefilethumb");
    QVERIFY(stones::mainIcons(e.t.db(), {stone}).isEmpty());
    QCOMPARE(stones::mainThumbnail(e.t.db(), stone).size(), QSize(240, 480));
    QCOMPARE(e.count("SELECT COUNT(*) FROM stonefilethumb WHERE FileID = ?", {id}), 1);
    const QString madeAt = e.value("SELECT MadeAt FROM stonefilethumb").toString();
    stones::thumbnailOf(e.t.db(), id);
    QCOMPARE(e.value("SELECT MadeAt FROM stonefilethumb").toString(), madeAt);
    QCOMPARE(e.count("SELECT COUNT(*) FROM stonefilethumb"), 1);
}

void TestStoneFiles::lookupReportIsTheCertificate()
{
    StoneEnv e;
    const qint64 stone = e.stone("R107");
    QTemporaryDir dir;
    const QString report = write(dir, "GIA2141438176.pdf", test::samplePdf(1, QStringLiteral("GIA report")));
    stones::AttachOptions o;
    o.laboratory = QStringLiteral("GIA");
    const stones::AttachResult r = stones::attachCertificateReport(e.t.db(), e.ctx.user, stone, report, o);
    QVERIFY2(r.ok, qPrintable(r.message));
    QCOMPARE(e.value("SELECT certfilename1 FROM SingleStone WHERE ID = ?", {stone}).toString(), QStringLiteral("GIA2141438176.pdf"));
    QCOMPARE(e.value("SELECT certfilesize1 FROM SingleStone WHERE ID = ?", {stone}).toLongLong(), QFileInfo(report).size());
    const QList<stones::StoneFile> f = stones::stoneFiles(e.t.db(), stone);
    QCOMPARE(f.size(), 1);
    QVERIFY(f.first().certificate);
    QCOMPARE(f.first().laboratory, QStringLiteral("GIA"));
    // The same report fetched again is kept once.
    QVERIFY(stones::attachCertificateReport(e.t.db(), e.ctx.user, stone, report, o).already);
    QCOMPARE(stones::stoneFiles(e.t.db(), stone).size(), 1);
}

void TestStoneFiles::exportBySku()
{
    StoneEnv e;
    const qint64 s1 = e.stone("R/108");
    const qint64 s2 = e.stone("R109");
    const qint64 s3 = e.stone("R110"); // no files
    QTemporaryDir src, out;
    const QString a = write(src, "face.jpg", test::encodedPicture(test::samplePicture(200, 150), "JPG"));
    QTemporaryDir src2;
    const QString a2 = write(src2, "face.jpg", test::encodedPicture(test::samplePicture(200, 150, Qt::blue), "JPG"));
    const QString c = write(src, "cert.pdf", test::samplePdf(1));
    for (const QString &p : {a, a2, c})
        QVERIFY(stones::attachFile(e.t.db(), e.ctx.user, s1, p, {}).ok);
    QVERIFY(stones::attachFile(e.t.db(), e.ctx.user, s2, c, {}).ok);
    const stones::ExportReport r = stones::exportStoneFiles(e.t.db(), {s1, s2, s3}, out.path());
    QVERIFY2(r.problems.isEmpty(), qPrintable(r.problems.join('\n')));
    QCOMPARE(r.stones, 2);
    QCOMPARE(r.files, 4);
    const QDir d1(out.filePath("R_108"));
    QCOMPARE(d1.entryList(QDir::Files, QDir::Name), (QStringList{"cert.pdf", "face (2).jpg", "face.jpg"}));
    QCOMPARE(test::sha256OfFile(d1.filePath("face.jpg")), test::sha256OfFile(a));
    QCOMPARE(test::sha256OfFile(d1.filePath("face (2).jpg")), test::sha256OfFile(a2));
    QCOMPARE(test::sha256OfFile(out.filePath("R109/cert.pdf")), test::sha256OfFile(c));
    QVERIFY(!QDir(out.filePath("R110")).exists());
}

void TestStoneFiles::listsNameTheFiles()
{
    StoneEnv e;
    const qint64 s1 = e.stone("R111");
    e.stone("R112");
    QTemporaryDir dir;
    QVERIFY(stones::attachFile(e.t.db(), e.ctx.user, s1, write(dir, "a,b.jpg", test::encodedPicture(test::samplePicture(50, 50), "JPG")), {}).ok);
    QVERIFY(stones::attachFile(e.t.db(), e.ctx.user, s1, write(dir, "cert.pdf", test::samplePdf(1)), {}).ok);
    stones::StoneSearchFilter f;
    f.sku = QStringLiteral("R11");
    const QList<stones::SearchRow> rows = stones::searchRows(e.t.db(), f, stones::SearchOrder());
    QCOMPARE(rows.size(), 2);
    const auto files = stones::fileNamesOf(e.t.db(), stones::stoneIdsOf(rows));
    stones::ListOptions o;
    const QStringList lines = stones::stoneListText(rows, o, true, 1, files).split(QStringLiteral("\r\n"));
    QVERIFY2(lines.at(0).contains(QStringLiteral("off RAP, Files, ")), qPrintable(lines.at(0)));
    QVERIFY2(lines.at(1).startsWith("R111") && lines.at(1).endsWith(QStringLiteral("ab.jpg; cert.pdf, ")), qPrintable(lines.at(1)));
    QVERIFY2(lines.at(2).startsWith("R112") && lines.at(2).endsWith(QStringLiteral(", , ")), qPrintable(lines.at(2)));
    o.files = false;
    QVERIFY(!stones::stoneListText(rows, o, true, 1, files).contains(QStringLiteral("cert.pdf")));
}

void TestStoneFiles::paperAndMemoSheetWithPictures()
{
    StoneEnv e;
    const qint64 stone = e.stone("R113");
    QTemporaryDir dir;
    QVERIFY(stones::attachFile(e.t.db(), e.ctx.user, stone,
                               write(dir, "face.png", test::encodedPicture(test::samplePicture(400, 300), "PNG")), {})
                .ok);
    e.ctx.settings.ShowDimension = true;
    printing::DiamondPaper p;
    QVERIFY(stones::stonePaper(e.ctx, stone, p));
    QVERIFY(!p.picture.isNull());
    p.comment = QStringLiteral("A long comment that has to wrap beside the picture on the card, more than once");
    p.measurements = QStringLiteral("6.41x6.45x3.98");
    p.girdle = QStringLiteral("Medium to slightly thick");
    p.fluorescence = QStringLiteral("Faint");
    for (bool flip : {false, true}) {
        const QString pdf = dir.filePath(QStringLiteral("paper%1.pdf").arg(flip));
        const printing::PrintOutcome out = printing::printDocument(printing::PrintTarget::pdf(pdf), [&](printing::PrintSurface &s, QString *err) {
            return printing::PrintDiamondPaperModule(s, p, flip, err);
        });
        QVERIFY2(out.ok, qPrintable(out.error));
        test::LayoutCheck card;
        card.area = test::cardOnPdfPage(p.left, p.top, printing::kPaperWidth, 0, !flip);
        VELMOR_VERIFY_PDF_LAYOUT(pdf, card);
        // The picture (its red, in colour: text is black and grey only) lies
        // on the card and under no word.
        const QString stem = dir.filePath(QStringLiteral("paper%1").arg(flip));
        test::run(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-png"),
                                               QStringLiteral("-singlefile"), pdf, stem});
        const QImage page(stem + QStringLiteral(".png"));
        QVERIFY(!page.isNull());
        QRect red;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x) {
                const QColor c = page.pixelColor(x, y);
                if (c.red() > 200 && c.green() < 70 && c.blue() < 70)
                    red |= QRect(x, y, 1, 1);
            }
        QVERIFY2(red.width() > 20 && red.height() > 15, qPrintable(QStringLiteral("%1x%2").arg(red.width()).arg(red.height())));
        QVERIFY(card.area.contains(QRectF(red)));
        const QList<test::PdfPage> words = test::pdfWords(pdf);
        for (const test::PdfWord &w : words.value(0).words)
            QVERIFY2(!w.box.intersects(QRectF(red).adjusted(2, 2, -2, -2)), qPrintable(w.text));
    }

    // The memo sheet, each stone with its picture, when asked.
    const qint64 customer = e.customer(QStringLiteral("Lumen Jewellers"));
    const qint64 sheet = db::insert(e.t.db(), "INSERT INTO memosheet (Date, CustomerID) VALUES (NOW(), ?)", {customer});
    for (int i = 0; i < 12; ++i) {
        const qint64 s = i ? e.stone(QStringLiteral("M%1").arg(i)) : stone;
        db::exec(e.t.db(), "UPDATE SingleStone SET Status = 'Memo', MemoSheetID = ?, CustomerID = ?, MemoUS = 4000 WHERE ID = ?",
                 {sheet, customer, s});
        if (i % 3 == 1)
            QVERIFY(stones::attachFile(e.t.db(), e.ctx.user, s,
                                       write(dir, QStringLiteral("m%1.jpg").arg(i), test::encodedPicture(test::samplePicture(300 + i, 200), "JPG")), {})
                        .ok);
    }
    for (bool pictures : {false, true}) {
        memos::MemoPrintRequest r;
        r.memoSheetId = sheet;
        r.options.pictures = pictures;
        const QString pdf = dir.filePath(QStringLiteral("memo%1.pdf").arg(pictures));
        const printing::PrintOutcome out = memos::printMemoSheet(e.ctx, r, printing::PrintTarget::pdf(pdf));
        QVERIFY2(out.ok, qPrintable(out.error));
        VELMOR_VERIFY_PDF_LAYOUT(pdf);
        const QString images = test::run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
        // A header of two lines, then one line per picture.
        QCOMPARE(images.split('\n', Qt::SkipEmptyParts).size() - 2, pictures ? 5 : 0);
        QVERIFY(test::pdfWordText(pdf).contains(QStringLiteral("M11")));
    }
}

void TestStoneFiles::booksCheckFindsAFileNotWhole()
{
    StoneEnv e;
    const qint64 stone = e.stone("R114");
    QTemporaryDir dir;
    const QString v = dir.filePath("v.mp4");
    test::writeVideo(v, 3 * 1024 * 1024 + 5);
    const qint64 id = stones::attachFile(e.t.db(), e.ctx.user, stone, v, {}).fileId;
    auto faults = [&] {
        QStringList out;
        for (const auto &r : books::checkBooks(e.t.db()).results)
            if (r.rule.key == QLatin1String("stone-file-whole")) {
                if (!r.failure.isEmpty())
                    out << QStringLiteral("could not be checked: ") + r.failure;
                for (const QStringList &row : r.rows)
                    out << row.join(QLatin1Char('|'));
            }
        return out;
    };
    QVERIFY(faults().isEmpty());
    db::exec(e.t.db(), "DELETE FROM stonefilechunk WHERE FileID = ? AND Seq = 1", {id});
    QCOMPARE(faults().size(), 1);
    QVERIFY2(faults().first().contains("parts"), qPrintable(faults().first()));
    db::exec(e.t.db(), "UPDATE stonefile SET IsMain = -1 WHERE ID = ?", {id});
    db::exec(e.t.db(), "INSERT INTO stonefile (StoneID, FileName, Kind, Size, Chunks, IsMain, Stored) VALUES (?, 'x.jpg', 'picture', 0, 0, -1, -1)",
             {stone});
    QCOMPARE(faults().size(), 2);
    db::exec(e.t.db(), "DELETE FROM SingleStone WHERE ID = ?", {stone});
    QCOMPARE(faults().size(), 4);
}

void TestStoneFiles::commands()
{
    StoneEnv e;
    const qint64 stone = e.stone("C200");
    e.stone("C201");
    db::exec(e.t.db(), "INSERT INTO `user` (UserName, Password, AllowEdit) VALUES ('dealer', 'pw', -1)");
    db::exec(e.t.db(), "INSERT INTO `user` (UserName, Password, AllowEdit) VALUES ('viewer', 'pw', 0)");
    QTemporaryDir home, dir, out;
    const db::ConnectionSettings cs = e.t.settings();
    test::writeBytes(home.filePath("database.ini"),
                     QStringLiteral("mode=server\nsocket=%1\nuser=%2\ndatabase=%3\n").arg(cs.socket, cs.user, cs.database).toUtf8());
    QFile::setPermissions(home.filePath("database.ini"), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    auto velmor = [&](const QStringList &args, const QString &user = QStringLiteral("dealer")) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VELMOR_HOME", home.path());
        env.insert("VELMOR_PASSWORD", "pw");
        env.insert("VELMOR_USER", user);
        p.setProcessEnvironment(env);
        p.start(QString::fromLocal8Bit(VELMOR_BINARY), args);
        p.waitForFinished(120000);
        return std::pair{p.exitCode(), QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError())};
    };
    const QString pic = write(dir, "face.jpg", test::encodedPicture(test::samplePicture(300, 200), "JPG"));
    const QString cert = write(dir, "IGI-5.pdf", test::samplePdf(1));
    const QString bad = write(dir, "notes.jpg", "no picture");
    auto [code, text] = velmor({"stones", "attach", "C200", pic, cert, "--certificate", "--lab", "IGI"});
    QCOMPARE(code, 1); // the picture is no PDF
    QVERIFY2(text.contains("face.jpg is not a PDF"), qPrintable(text));
    std::tie(code, text) = velmor({"stones", "attach", "C200", pic, bad, "--main"});
    QCOMPARE(code, 1);
    QVERIFY2(text.contains("attached: face.jpg") && text.contains("notes.jpg is not a JPEG"), qPrintable(text));
    std::tie(code, text) = velmor({"stones", "attach", QString::number(stone), cert, "--certificate", "--lab", "IGI"});
    QCOMPARE(code, 0);
    std::tie(code, text) = velmor({"stones", "attach", "C200", pic}, QStringLiteral("viewer"));
    QCOMPARE(code, 1);
    QVERIFY2(text.contains("No Permission"), qPrintable(text));
    std::tie(code, text) = velmor({"stones", "files", "C200"});
    QCOMPARE(code, 0);
    QVERIFY2(text.contains("main picture") && text.contains("certificate IGI") && text.contains("2 files"), qPrintable(text));
    std::tie(code, text) = velmor({"stones", "export-files", "--search", "--sku", "C2", out.path()});
    QCOMPARE(code, 0);
    QVERIFY2(text.contains("Wrote 2 files of 1 stone"), qPrintable(text));
    QCOMPARE(test::sha256OfFile(out.filePath("C200/face.jpg")), test::sha256OfFile(pic));
    const qint64 pdfId = e.value("SELECT ID FROM stonefile WHERE FileName = 'IGI-5.pdf'").toLongLong();
    std::tie(code, text) = velmor({"stones", "detach", "C200", QString::number(pdfId)});
    QCOMPARE(code, 0);
    QCOMPARE(stones::stoneFiles(e.t.db(), stone).size(), 1);
    std::tie(code, text) = velmor({"stones", "files", "NOPE"});
    QCOMPARE(code, 1);
}

QTEST_MAIN(TestStoneFiles)
#include "tst_stonefiles.moc"
