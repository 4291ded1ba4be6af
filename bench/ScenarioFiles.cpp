// Files on a stone, on the stone screen itself: a stone carrying a 100 MB
// video, a 24-megapixel JPEG (its main picture) and a PDF opened next to a
// stone without files, in the same run (the ratio is the point: within
// 1.1x), each open timed until the screen shows the stone and the list of
// its files (the main picture follows on its own; its time is noted); and
// the time from opening the stone to its main picture on the screen, with
// the thumbnail kept and with it made anew from the 24 MP picture stored in
// the database.
#include "Scenarios.h"

#include "db/Sql.h"
#include "stones/StoneFiles.h"
#include "stones/frmDiamondDetail.h"
#include "stones/widgets/StoneFilesTab.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QTemporaryDir>
#include <QtEndian>

#include <algorithm>

namespace velmor::bench {

namespace {

double medianOf(QList<double> v)
{
    if (v.isEmpty())
        return 0;
    std::sort(v.begin(), v.end());
    return v.at(v.size() / 2);
}

// A video file of `bytes` made-up media bytes with the boxes of an MP4.
bool writeVideo(const QString &path, qint64 bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    auto box = [](const char *type, qint64 size) {
        QByteArray b(8, '\0');
        qToBigEndian<quint32>(quint32(size), b.data());
        memcpy(b.data() + 4, type, 4);
        return b;
    };
    QByteArray head = box("ftyp", 20) + QByteArray("isom\0\0\x02\0isom", 12);
    head += box("moov", 8 + 108) + box("mvhd", 108) + QByteArray(100, '\0');
    head += box("mdat", 8 + bytes);
    f.write(head);
    QByteArray block(1 << 20, '\0');
    quint64 x = 88172645463325252ull;
    for (qint64 left = bytes; left > 0; left -= block.size()) {
        auto *w = reinterpret_cast<quint64 *>(block.data());
        for (int i = 0; i < block.size() / 8; ++i) {
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            w[i] = x;
        }
        f.write(block.constData(), std::min<qint64>(left, block.size()));
    }
    return f.error() == QFile::NoError;
}

// A 24-megapixel photograph's worth of JPEG (6000 x 4000).
bool writePicture(const QString &path)
{
    QImage img(6000, 4000, QImage::Format_RGB32);
    img.fill(QColor(240, 240, 240));
    QPainter p(&img);
    for (int i = 0; i < 60; ++i) {
        p.setBrush(QColor::fromHsv(i * 6, 200, 200));
        p.drawEllipse(QPoint(500 + i * 85, 400 + (i % 7) * 450), 380, 300);
    }
    p.end();
    return img.save(path, "JPG", 92);
}

} // namespace

void runFileScenarios(SizeEnv &env)
{
    const QString openName = QStringLiteral("stone open with and without files (stone screen)");
    const QString thumbName = QStringLiteral("main picture on the stone screen (24 MP JPEG)");
    if (!env.bench.wants(openName) && !env.bench.wants(thumbName))
        return;
    // The stones' number changes nothing here: measured at the first size only.
    if (env.size != env.bench.options().sizes.first())
        return;
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        env.bench.notAvailable(openName, env.size, QStringLiteral("velmor"), QStringLiteral("needs the widgets"));
        return;
    }
    BenchContext ctx(env);
    const QSqlDatabase db = env.workDb();
    const QStringList tables = {QStringLiteral("stonefile"), QStringLiteral("stonefilechunk"),
                                QStringLiteral("stonefilethumb")};
    QTemporaryDir dir(QFileInfo::exists(QStringLiteral("/dev/shm")) ? QStringLiteral("/dev/shm/velmor-bench-files-XXXXXX")
                                                                : QDir::tempPath() + QStringLiteral("/velmor-bench-files-XXXXXX"));
    const QString video = dir.filePath(QStringLiteral("turn.mp4"));
    const QString picture = dir.filePath(QStringLiteral("face.jpg"));
    const QString pdf = dir.filePath(QStringLiteral("cert.pdf"));
    // The smoke pass (a few hundred stones) keeps to a small video.
    const qint64 videoMB = env.size < 1000 ? 8 : 100;
    if (!writeVideo(video, videoMB * 1024 * 1024) || !writePicture(picture))
        throw db::DbError(QStringLiteral("the sample files could not be written in %1").arg(dir.path()));
    {
        QFile f(pdf);
        f.open(QIODevice::WriteOnly);
        f.write("%PDF-1.4\n1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n2 0 obj\n<< /Type /Pages /Kids [3 0 R] "
                "/Count 1 >>\nendobj\n3 0 obj\n<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>\nendobj\n"
                "trailer\n<< /Root 1 0 R /Size 4 >>\n%%EOF\n");
    }
    // Two stones alike in everything but their files, so that the ratio is
    // the files' alone.
    auto twin = [&](const QString &sku) {
        return db::insert(db,
                          QStringLiteral("INSERT INTO SingleStone (SKU, Shape, Carat, Colour, Clarity, Laboratory, "
                                         "Certificate, RapaportPrice, SellOffRap, SellPriceUS, LockPercent, Status, "
                                         "Canadian) VALUES (?, 'Round Brilliant [BR]', 1.01, 20, 40, 'GIA', ?, 5000, "
                                         "30, 3535, -1, 'Stock', 0)"),
                          {sku, QStringLiteral("C") + sku});
    };
    const qint64 withFiles = twin(QStringLiteral("FILES-1")), without = twin(QStringLiteral("FILES-2"));
    for (const QString &p : {picture, video, pdf}) {
        const stones::AttachResult r = stones::attachFile(db, ctx->user, withFiles, p, {});
        if (!r.ok)
            throw db::DbError(QStringLiteral("attaching for the benchmark: ") + r.message);
    }
    QFile::remove(video);

    ui::frmDiamondDetail screen(*ctx);
    auto *tab = screen.findChild<ui::StoneFilesTab *>();
    QLabel *mainPicture = tab->mainPicture();
    // Opens a stone and waits until the screen shows it with its files.
    QList<double> toPicture;
    auto open = [&](qint64 id, bool picture) {
        QElapsedTimer t;
        t.start();
        screen.loadStone(int(id));
        while (!(picture ? tab->shown() && !mainPicture->pixmap().isNull() : tab->listShown())) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            if (t.elapsed() > 20000)
                throw db::DbError(QStringLiteral("stone %1 was not shown within 20 s").arg(id));
        }
        if (picture)
            toPicture << double(t.nsecsElapsed()) / 1e9;
    };
    open(without, false); // the screen's first open (its start-up) out of the timing
    if (env.bench.wants(openName)) {
        toPicture.clear();
        // The screen is open once the stone and its list of files are on
        // it; the picture has its own goal (the scenario below).  Each run
        // of the stone with files is timed on to its picture as well, for
        // the note.
        QElapsedTimer sinceOpen;
        env.bench.measure(openName, env.size,
                          {Road{QStringLiteral("velmor"), [&] { open(without, false); },
                                [&] {
                                    sinceOpen.start();
                                    open(withFiles, false);
                                },
                                false, 1,
                                [&] {
                                    while (mainPicture->pixmap().isNull() && sinceOpen.elapsed() < 20000)
                                        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
                                    toPicture << double(sinceOpen.nsecsElapsed()) / 1e9;
                                    return QList<double>();
                                }},
                           Road{QStringLiteral("floor"), [&] { open(withFiles, true); }, [&] { open(without, false); }}});
        env.bench.addNote(openName, env.size, QStringLiteral("velmor"),
                          QStringLiteral("velmor: a stone with a %1 MB video, a 24 MP JPEG and a PDF; floor: the same "
                                         "screen opening a stone without files; each until the stone and the list of "
                                         "its files are shown (the main picture there after %2, median)")
                              .arg(videoMB)
                              .arg(formatSeconds(medianOf(toPicture))));
    }
    if (env.bench.wants(thumbName)) {
        QList<double> cold;
        env.bench.measure(
            thumbName, env.size,
            {Road{QStringLiteral("velmor"), [&] { open(without, false); }, [&] { open(withFiles, true); }},
             Road{QStringLiteral("made anew"),
                  [&] {
                      open(without, false);
                      db::exec(db, QStringLiteral("DELETE FROM stonefilethumb"));
                  },
                  [&] { open(withFiles, true); }},
             Road{QStringLiteral("floor"), {}, [&] {
                      // The kept thumbnail's bytes read and decoded, nothing else.
                      const QVariant b = db::scalar(db, QStringLiteral("SELECT t.Thumb FROM stonefilethumb t JOIN "
                                                                       "stonefile f ON f.ID = t.FileID WHERE f.StoneID = ? "
                                                                       "AND f.IsMain <> 0"),
                                                    {withFiles});
                      QImage img;
                      img.loadFromData(b.toByteArray());
                  }}});
    }
    screen.close();
    for (const QString &t : tables)
        db::exec(db, QStringLiteral("DELETE FROM %1").arg(t));
    db::exec(db, QStringLiteral("DELETE FROM SingleStone WHERE ID IN (?, ?)"), {withFiles, without});
}

} // namespace velmor::bench
