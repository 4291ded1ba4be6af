// Files on a stone on the three-node cluster: pictures, a 100 MB video and
// two PDFs attached through one node are read back byte for byte through
// another; the same file attached at once through two nodes is kept once.
#include "ClusterDb.h"
#include "StoneFileSamples.h"
#include "core/AppContext.h"
#include "db/Sql.h"
#include "stones/StoneFiles.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <thread>

using namespace velmor;
using test::ClusterDb;

class TestStoneFilesCluster : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!ClusterDb::available())
            QSKIP("no cluster: run through ctest");
    }

    void attachedOnOneNodeReadOnAnother()
    {
        ClusterDb c;
        const qint64 stone = db::insert(c.db(), "INSERT INTO SingleStone (SKU, Status, Canadian) VALUES ('CL1', 'Stock', 0)");
        UserState user;
        user.ID = 3;
        user.AllowEdit = true;
        QTemporaryDir dir(QFileInfo::exists("/dev/shm") ? QStringLiteral("/dev/shm/velmor-files-XXXXXX")
                                                    : QDir::tempPath() + QStringLiteral("/velmor-files-XXXXXX"));
        const QString video = dir.filePath("turn.mp4");
        QVERIFY(!test::writeVideo(video, 100 * 1024 * 1024).isEmpty());
        QStringList paths{video};
        for (const auto &[name, bytes] : {std::pair{"face.jpg", test::encodedPicture(test::samplePicture(1000, 800), "JPG")},
                                          std::pair{"top.png", test::encodedPicture(test::samplePicture(200, 200, Qt::blue), "PNG")},
                                          std::pair{"GIA1.pdf", test::samplePdf(1)},
                                          std::pair{"IGI2.pdf", test::samplePdf(2)}}) {
            paths << dir.filePath(QString::fromLatin1(name));
            QVERIFY(test::writeBytes(paths.last(), bytes));
        }
        QHash<QString, QString> sha;
        {
            QSqlDatabase n1 = db::openConnection(c.node(1), QStringLiteral("files-n1"));
            for (const QString &p : paths) {
                const stones::AttachResult r = stones::attachFile(n1, user, stone, p, {});
                QVERIFY2(r.ok, qPrintable(r.message));
                sha.insert(QFileInfo(p).fileName(), test::sha256OfFile(p));
            }
            n1.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("files-n1"));
        QSqlDatabase n2 = db::openConnection(c.node(2), QStringLiteral("files-n2"));
        const QList<stones::StoneFile> files = stones::stoneFiles(n2, stone);
        QCOMPARE(files.size(), 5);
        for (const stones::StoneFile &f : files) {
            QTemporaryDir out(dir.path() + QStringLiteral("/out-XXXXXX"));
            QString why;
            const QString written = stones::exportFile(n2, f, out.path(), &why);
            QVERIFY2(!written.isEmpty(), qPrintable(why));
            QCOMPARE(test::sha256OfFile(written), sha.value(f.name));
        }
        // The thumbnail made on node 1 is there on node 2.
        QCOMPARE(stones::mainThumbnail(n2, stone).width(), stones::kThumbSide);

        // One picture attached through two nodes at once: kept once.
        const QString same = dir.filePath("same.png");
        QVERIFY(test::writeBytes(same, test::encodedPicture(test::samplePicture(120, 90, Qt::green), "PNG")));
        stones::AttachResult r1, r3;
        std::thread t([&] {
            QSqlDatabase n3 = db::openConnection(c.node(3), QStringLiteral("files-n3"));
            r3 = stones::attachFile(n3, user, stone, same, {});
            n3.close();
        });
        r1 = stones::attachFile(n2, user, stone, same, {});
        t.join();
        QSqlDatabase::removeDatabase(QStringLiteral("files-n3"));
        QVERIFY2(r1.ok && r3.ok, qPrintable(r1.message + " / " + r3.message));
        QVERIFY(r1.already != r3.already);
        QCOMPARE(db::scalar(n2, "SELECT COUNT(*) FROM stonefile WHERE StoneID = ? AND Stored <> 0", {stone}).toInt(), 6);
        n2.close();
    }
};

QTEST_MAIN(TestStoneFilesCluster)
#include "tst_stonefilescluster.moc"
