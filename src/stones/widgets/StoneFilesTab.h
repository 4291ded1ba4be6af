#pragma once
// The stone screen's "Pictures and files" tab: the stone's pictures, videos
// and documents (certificates) with their thumbnails; add by choosing files
// or dropping them, remove, set the main picture, attach a certificate,
// open a file with the desktop's viewer, export them into a folder named by
// SKU.  It also makes the main picture's thumbnail the stone screen shows.
//
// Nothing here waits on the window thread for a file: the list and the
// thumbnails are read on a connection of their own in a thread of their
// own (a kept thumbnail is small; one not made yet is made there, once),
// and adding, opening, exporting and removing run in a second one, with
// their progress shown.
//
// Controls by objectName: lstFiles, imgPreview, lblFileInfo, cmdAddFiles,
// cmdAddCertificate, cmdRemoveFile, cmdMainPicture, cmdOpenFile,
// cmdExportFiles, cmdStopFiles, prgFiles, and imgMainPicture (mainPicture(),
// placed by the stone screen).
#include "stones/StoneFiles.h"

#include <QIcon>
#include <QUrl>
#include <QWidget>
#include <atomic>
#include <functional>

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace velmor {
class AppContext;
}
namespace velmor::db {
class BackgroundRead;
}

namespace velmor::ui {

class StoneFilesTab : public QWidget {
    Q_OBJECT
public:
    explicit StoneFilesTab(AppContext &ctx, QWidget *parent = nullptr);
    ~StoneFilesTab() override;

    // Shows the files of this stone (0: none) and its main picture.
    void showStone(qint64 stoneId);
    qint64 stone() const { return m_stone; }
    // The main picture's thumbnail for the stone screen (imgMainPicture).
    QLabel *mainPicture() const { return m_main; }

    // Commands, with the files or folder already chosen.
    void addFiles(const QStringList &paths, bool certificate = false, const QString &laboratory = {});
    void removeSelected();
    void makeSelectedMain();
    void openSelected();
    void exportTo(const QString &folder);
    // The laboratory's report fetched by the certificate look-up, attached
    // to `stoneId` as its certificate at once.
    void attachLookupReport(qint64 stoneId, const QString &path, const QString &laboratory);

    // True while files are added, opened, exported or removed.
    bool busy() const { return m_busy; }
    // True once the list and thumbnail of the stone shown have arrived.
    bool shown() const { return m_shownStone == m_stone; }
    // True once the list of the stone's files is on the screen (its
    // pictures follow).
    bool listShown() const { return m_listedStone == m_stone; }
    const QList<stones::StoneFile> &files() const { return m_files; }

    // The desktop's viewer, the file and folder choosers: tests replace them.
    std::function<bool(const QUrl &)> openUrl;
    std::function<QStringList(bool certificate)> chooseFiles;
    std::function<QString()> chooseFolder;
    std::function<QString(const QString &suggested)> chooseLaboratory;

signals:
    void filesShown(qint64 stoneId);
    void workDone();

protected:
    void dragEnterEvent(QDragEnterEvent *e) override;
    void dropEvent(QDropEvent *e) override;
    bool eventFilter(QObject *o, QEvent *e) override;

private:
    void build();
    void refresh();
    void shownArrived(const QVariant &answer);
    void showList(qint64 stone, const QList<stones::StoneFile> &files, const QHash<qint64, QImage> &icons);
    void updateCommands();
    void selectionChanged();
    const stones::StoneFile *selected() const;
    // Runs `work` in the worker; `done` gets its answer on the window thread.
    void runWork(const QString &caption, std::function<QVariant(const QSqlDatabase &)> work,
                 std::function<void(const QVariant &)> done);
    void progress(qint64 done, qint64 total);
    QString stoneLaboratory() const;

    AppContext &m_ctx;
    qint64 m_stone = 0;
    qint64 m_shownStone = -1;
    qint64 m_listedStone = -1;
    QIcon m_videoIcon, m_fileIcon; // for files without a picture of their own
    QList<stones::StoneFile> m_files;
    QHash<qint64, QImage> m_thumbs;
    // The thumbnails already fitted to the preview, by the reader.
    QHash<qint64, QImage> m_previews;
    db::BackgroundRead *m_reader;
    db::BackgroundRead *m_worker;
    std::function<void(const QVariant &)> m_done;
    bool m_busy = false;
    std::atomic<bool> m_stop{false};
    QListWidget *lstFiles;
    QLabel *imgPreview, *lblFileInfo, *lblBusy, *m_main;
    QProgressBar *prgFiles;
    QPushButton *cmdAddFiles, *cmdAddCertificate, *cmdRemoveFile, *cmdMainPicture, *cmdOpenFile, *cmdExportFiles,
        *cmdStopFiles;
};

} // namespace velmor::ui
