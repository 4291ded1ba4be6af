// The stone screen's "Pictures and files" tab and its picture: the list and
// the main picture arrive without the window waiting, files added by
// choosing or dropping (a bad one refused with its reason), the main
// picture chosen, a file opened with the desktop's viewer, removed, exported,
// the commands that write follow the rights, and the search grid's picture
// column and export.
#include "StoneFileSamples.h"
#include "StoneTestEnv.h"
#include "stones/StoneFiles.h"
#include "stones/frmDiamondDetail.h"
#include "stones/frmItemDiamondSearch.h"
#include "stones/widgets/StoneFilesTab.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>

using namespace velmor;
using velmor::test::PromptEvent;
using velmor::test::StoneEnv;

namespace {

QString write(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    test::writeBytes(path, bytes);
    return path;
}

template <typename T> T *ctl(QWidget &w, const char *name)
{
    T *c = w.findChild<T *>(QString::fromLatin1(name));
    if (!c)
        qFatal("no control %s", name);
    return c;
}

} // namespace

class TestStoneFilesTab : public QObject {
    Q_OBJECT
private slots:
    void tabAtWork();
    void onTheStoneScreen();
    void searchGridPicturesAndExport();
};

void TestStoneFilesTab::tabAtWork()
{
    StoneEnv e;
    const qint64 stone = e.stone("T1");
    const qint64 empty = e.stone("T2");
    QTemporaryDir dir;
    const QString face = write(dir, "face.jpg", test::encodedPicture(test::samplePicture(800, 600), "JPG"));
    QVERIFY(stones::attachFile(e.t.db(), e.ctx.user, stone, face, {}).ok);

    ui::StoneFilesTab tab(e.ctx);
    tab.show();
    tab.showStone(stone);
    QTRY_VERIFY(tab.shown());
    auto *list = ctl<QListWidget>(tab, "lstFiles");
    QCOMPARE(list->count(), 1);
    QVERIFY(!tab.mainPicture()->pixmap().isNull());
    QVERIFY(ctl<QLabel>(tab, "lblFileInfo")->text().contains("800 x 600 pixels"));

    // A stone without files: no picture, nothing to export.
    tab.showStone(empty);
    QTRY_VERIFY(tab.shown());
    QCOMPARE(list->count(), 0);
    QVERIFY(tab.mainPicture()->pixmap().isNull());
    QVERIFY(!ctl<QPushButton>(tab, "cmdExportFiles")->isEnabled());
    tab.showStone(stone);
    QTRY_VERIFY(tab.shown());

    // Dropped: a good picture and a text file called .jpg.
    const QString side = write(dir, "side.png", test::encodedPicture(test::samplePicture(200, 200, Qt::blue), "PNG"));
    const QString notes = write(dir, "notes.jpg", "just words");
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(side), QUrl::fromLocalFile(notes)});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&tab, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&tab, &drop);
    QVERIFY(tab.busy());
    QTRY_VERIFY_WITH_TIMEOUT(!tab.busy(), 20000);
    QTRY_VERIFY(tab.shown());
    QCOMPARE(list->count(), 2);
    const QStringList said = e.prompt.texts(PromptEvent::Inform);
    QVERIFY2(!said.isEmpty() && said.last().contains("notes.jpg is not a JPEG picture"), qPrintable(said.join('|')));

    // The second picture made main: the stone screen's picture follows.
    list->setCurrentRow(1);
    QVERIFY(ctl<QPushButton>(tab, "cmdMainPicture")->isEnabled());
    ctl<QPushButton>(tab, "cmdMainPicture")->click();
    QTRY_VERIFY(tab.shown());
    QCOMPARE(tab.files().first().name, QStringLiteral("side.png"));
    QVERIFY(tab.files().first().main);
    // Blue in its middle (the kept thumbnail is a JPEG: a shade off).
    const QColor middle = tab.mainPicture()->pixmap().toImage().pixelColor(tab.mainPicture()->pixmap().width() / 2,
                                                                           tab.mainPicture()->pixmap().height() / 2);
    QVERIFY2(middle.blue() > 235 && middle.red() < 20 && middle.green() < 20, qPrintable(middle.name()));

    // Opened with the desktop's viewer: a copy with every byte.
    QUrl opened;
    tab.openUrl = [&](const QUrl &u) {
        opened = u;
        return true;
    };
    list->setCurrentRow(1);
    ctl<QPushButton>(tab, "cmdOpenFile")->click();
    QTRY_VERIFY(opened.isValid());
    QCOMPARE(test::sha256OfFile(opened.toLocalFile()), test::sha256OfFile(face));

    // Exported into a folder named by SKU.
    QTemporaryDir out;
    tab.exportTo(out.path());
    QTRY_VERIFY(!tab.busy());
    QCOMPARE(QDir(out.filePath("T1")).entryList(QDir::Files).size(), 2);

    // Removed after asking; No keeps it.
    e.prompt.answer(false);
    ctl<QPushButton>(tab, "cmdRemoveFile")->click();
    QVERIFY(!tab.busy());
    e.prompt.answer(true);
    ctl<QPushButton>(tab, "cmdRemoveFile")->click();
    QTRY_VERIFY(!tab.busy());
    QTRY_VERIFY(tab.shown());
    QCOMPARE(list->count(), 1);

    // Logged off: looking only.
    e.ctx.user = UserState();
    emit e.ctx.events().rightsChanged();
    list->setCurrentRow(0);
    for (const char *name : {"cmdAddFiles", "cmdAddCertificate", "cmdRemoveFile", "cmdMainPicture"})
        QVERIFY2(!ctl<QPushButton>(tab, name)->isEnabled(), name);
    QVERIFY(ctl<QPushButton>(tab, "cmdOpenFile")->isEnabled());
    QDragEnterEvent refused(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&tab, &refused);
    QVERIFY(!refused.isAccepted());
}

void TestStoneFilesTab::onTheStoneScreen()
{
    StoneEnv e;
    const qint64 stone = e.stone("T3");
    e.stone("T4");
    QTemporaryDir dir;
    const QString video = dir.filePath("turn.mp4");
    test::writeVideo(video, 8 * 1024 * 1024);
    QVERIFY(stones::attachFile(e.t.db(), e.ctx.user, stone, video, {}).ok);
    QVERIFY(stones::attachFile(e.t.db(), e.ctx.user, stone,
                               write(dir, "face.jpg", test::encodedPicture(test::samplePicture(900, 700), "JPG")), {})
                .ok);
    ui::frmDiamondDetail s(e.ctx);
    s.show();
    QTRY_VERIFY(s.startUpDone());
    auto *tabs = ctl<QTabWidget>(s, "TabStrip1");
    QStringList captions;
    for (int i = 0; i < tabs->count(); ++i)
        captions << tabs->tabText(i);
    QVERIFY2(captions.contains("Pictures and files"), qPrintable(captions.join(',')));
    auto *picture = ctl<QLabel>(s, "imgMainPicture");
    s.loadStone(int(stone));
    QTRY_VERIFY(!picture->pixmap().isNull());
    // A click on the picture shows the tab.
    QTest::mouseClick(picture, Qt::LeftButton);
    QCOMPARE(tabs->tabText(tabs->currentIndex()), QStringLiteral("Pictures and files"));
    QTRY_COMPARE(ctl<QListWidget>(s, "lstFiles")->count(), 2);
    // Another stone: its (empty) files, never the last stone's picture.
    s.loadStone(int(e.value("SELECT ID FROM SingleStone WHERE SKU = 'T4'").toLongLong()));
    QVERIFY(picture->pixmap().isNull());
    QTRY_COMPARE(picture->text(), QStringLiteral("no picture"));
}

void TestStoneFilesTab::searchGridPicturesAndExport()
{
    StoneEnv e;
    const qint64 a = e.stone("S1");
    e.stone("S2");
    QTemporaryDir dir, out;
    QVERIFY(stones::attachFile(e.t.db(), e.ctx.user, a, write(dir, "a.jpg", test::encodedPicture(test::samplePicture(300, 300), "JPG")), {}).ok);
    QVERIFY(stones::attachFile(e.t.db(), e.ctx.user, a, write(dir, "c.pdf", test::samplePdf(1)), {}).ok);
    ui::frmItemDiamondSearch s(e.ctx);
    s.show();
    auto *grid = ctl<QTableView>(s, "grdResult");
    const int col = s.model()->pictureColumn();
    QVERIFY(grid->isColumnHidden(col));
    ctl<QCheckBox>(s, "chkPictures")->setChecked(true);
    s.search();
    QVERIFY(!grid->isColumnHidden(col));
    QCOMPARE(grid->horizontalHeader()->visualIndex(col), 0);
    int withPicture = 0;
    for (int r = 0; r < s.model()->rowCount(); ++r)
        if (!s.model()->index(r, col).data(Qt::DecorationRole).value<QPixmap>().isNull())
            ++withPicture;
    QCOMPARE(s.model()->rowCount(), 2);
    QCOMPARE(withPicture, 1);
    QVERIFY(s.exportFiles(out.path()));
    QCOMPARE(QDir(out.filePath("S1")).entryList(QDir::Files), (QStringList{"a.jpg", "c.pdf"}));
    QVERIFY(!QDir(out.filePath("S2")).exists());
}

QTEST_MAIN(TestStoneFilesTab)
#include "tst_stonefilestab.moc"
