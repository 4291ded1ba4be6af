#include "stones/widgets/StoneFilesTab.h"

#include "core/AppContext.h"
#include "core/widgets/Named.h"
#include "db/BackgroundRead.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "stones/FileContent.h"

#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPointer>
#include <QStyle>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTabWidget>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>

namespace velmor::ui {

namespace {

const QString kTitle = QStringLiteral("Pictures and files");
constexpr int kMainWidth = 120, kMainHeight = 90;

// What the reader brings for a stone: its files and their thumbnails.
// What the reader brings for a stone, in two answers: the files (the list),
// then the pictures' icons and thumbnails, already fitted to the stone
// screen's picture and the preview, so that the window thread only shows
// them.
struct Shown {
    qint64 stone = 0;
    bool pictures = false; // the second answer (or both in one)
    QList<stones::StoneFile> files;
    QHash<qint64, QImage> thumbs, icons, previews;
    QImage main;
    QString error;
};

QImage fittedImage(const QImage &img, int w, int h)
{
    return img.scaled(w, h, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

bool hasPictures(const QList<stones::StoneFile> &files)
{
    return std::any_of(files.cbegin(), files.cend(),
                       [](const stones::StoneFile &f) { return f.kind == QLatin1String("picture"); });
}

// A thumbnail not made yet (a file attached elsewhere without one) is made
// here, once.
Shown readShown(const QSqlDatabase &db, qint64 stone, const QSize &preview, bool pictures)
{
    Shown s;
    s.stone = stone;
    s.pictures = pictures;
    s.files = stones::stoneFiles(db, stone);
    if (!pictures)
        return s; // the list: one statement, as for a stone without files
    for (const stones::StoneFile &f : std::as_const(s.files)) {
        if (f.kind != QLatin1String("picture"))
            continue;
        const QImage thumb = stones::thumbnailOf(db, f.id);
        s.thumbs.insert(f.id, thumb);
        if (thumb.isNull())
            continue;
        s.icons.insert(f.id, fittedImage(thumb, stones::kIconSide, stones::kIconSide));
        if (preview.isValid())
            s.previews.insert(f.id, fittedImage(thumb, preview.width(), preview.height()));
        if (f.main && s.main.isNull())
            s.main = fittedImage(thumb, kMainWidth - 4, kMainHeight - 4);
    }
    return s;
}

QPixmap fitted(const QImage &img, int w, int h)
{
    return QPixmap::fromImage(fittedImage(img, w, h));
}

QString kindWord(const stones::StoneFile &f)
{
    if (f.certificate)
        return f.laboratory.isEmpty() ? QStringLiteral("certificate") : f.laboratory + QStringLiteral(" certificate");
    return f.kind;
}

} // namespace

StoneFilesTab::StoneFilesTab(AppContext &ctx, QWidget *parent)
    : QWidget(parent), m_ctx(ctx), m_reader(new db::BackgroundRead(ctx.connection, ctx.db(), this)),
      m_worker(new db::BackgroundRead(ctx.connection, ctx.db(), this))
{
    setObjectName(QStringLiteral("tabFiles"));
    setAcceptDrops(true);
    openUrl = [](const QUrl &u) { return QDesktopServices::openUrl(u); };
    chooseFiles = [this](bool certificate) {
        return QFileDialog::getOpenFileNames(this, certificate ? QStringLiteral("Certificate (PDF)") : kTitle, QString(),
                                             certificate ? QStringLiteral("PDF documents (*.pdf)")
                                                         : stones::attachableNameFilter());
    };
    chooseFolder = [this] { return QFileDialog::getExistingDirectory(this, QStringLiteral("Export into folder")); };
    chooseLaboratory = [this](const QString &suggested) {
        bool ok = false;
        const QString lab = QInputDialog::getText(this, QStringLiteral("Certificate"),
                                                  QStringLiteral("Laboratory of the certificate"), QLineEdit::Normal,
                                                  suggested, &ok);
        return ok ? lab.trimmed() : QStringLiteral("\x01"); // cancelled
    };
    build();
    m_videoIcon = style()->standardIcon(QStyle::SP_MediaPlay);
    m_fileIcon = style()->standardIcon(QStyle::SP_FileIcon);
    connect(m_reader, &db::BackgroundRead::done, this, [this](quint64, const QVariant &a) { shownArrived(a); });
    connect(m_reader, &db::BackgroundRead::failed, this, [this](quint64, const QString &message, bool noConnection) {
        if (noConnection) {
            // An account limited to one connection: read here.
            Shown s;
            try {
                s = readShown(m_ctx.db(), m_stone, imgPreview->size() - QSize(4, 4), true);
            } catch (const db::DbError &e) {
                s = Shown{};
                s.stone = m_stone;
                s.pictures = true;
                s.error = e.message();
            }
            shownArrived(QVariant::fromValue(s));
            return;
        }
        Shown s;
        s.stone = m_stone;
        s.pictures = true;
        s.error = message;
        shownArrived(QVariant::fromValue(s));
    });
    connect(m_worker, &db::BackgroundRead::done, this, [this](quint64, const QVariant &a) {
        m_busy = false;
        lblBusy->clear();
        prgFiles->hide();
        cmdStopFiles->hide();
        auto done = std::move(m_done);
        m_done = nullptr;
        if (done)
            done(a);
        updateCommands();
        emit workDone();
    });
    connect(m_worker, &db::BackgroundRead::failed, this, [this](quint64, const QString &message, bool) {
        m_busy = false;
        lblBusy->clear();
        prgFiles->hide();
        cmdStopFiles->hide();
        m_done = nullptr;
        m_ctx.prompt().inform(QStringLiteral("The files could not be reached: ") + message, kTitle, Icon::Exclamation);
        updateCommands();
        emit workDone();
    });
    connect(&m_ctx.events(), &ContextEvents::rightsChanged, this, &StoneFilesTab::updateCommands);
    updateCommands();
}

StoneFilesTab::~StoneFilesTab()
{
    // An attaching under way stops at its next chunk and keeps nothing; the
    // threads end before what they use goes.
    m_stop = true;
    delete m_worker;
    delete m_reader;
}

void StoneFilesTab::build()
{
    m_main = named(new QLabel(QStringLiteral("no picture")), "imgMainPicture");
    m_main->setFixedSize(kMainWidth, kMainHeight);
    m_main->setAlignment(Qt::AlignCenter);
    m_main->setFrameShape(QFrame::StyledPanel);
    m_main->setToolTip(QStringLiteral("The stone's main picture: click to see its pictures and files"));
    m_main->setStyleSheet(QStringLiteral("color: gray;"));
    m_main->installEventFilter(this);

    lstFiles = named(new QListWidget(this), "lstFiles");
    lstFiles->setIconSize(QSize(stones::kIconSide, stones::kIconSide));
    lstFiles->setSelectionMode(QAbstractItemView::SingleSelection);
    lstFiles->setWordWrap(true);
    imgPreview = named(new QLabel(this), "imgPreview");
    imgPreview->setFixedSize(200, 150);
    imgPreview->setAlignment(Qt::AlignCenter);
    imgPreview->setFrameShape(QFrame::StyledPanel);
    lblFileInfo = named(new QLabel(this), "lblFileInfo");
    lblFileInfo->setWordWrap(true);
    lblFileInfo->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblBusy = named(new QLabel(this), "lblFilesBusy");
    prgFiles = named(new QProgressBar(this), "prgFiles");
    prgFiles->setRange(0, 100);
    prgFiles->hide();
    auto button = [this](const char *name, const QString &caption) { return named(new QPushButton(caption, this), name); };
    cmdAddFiles = button("cmdAddFiles", QStringLiteral("Add files..."));
    cmdAddCertificate = button("cmdAddCertificate", QStringLiteral("Add certificate..."));
    cmdRemoveFile = button("cmdRemoveFile", QStringLiteral("Remove"));
    cmdMainPicture = button("cmdMainPicture", QStringLiteral("Main picture"));
    cmdOpenFile = button("cmdOpenFile", QStringLiteral("Open"));
    cmdExportFiles = button("cmdExportFiles", QStringLiteral("Export pictures and certificates..."));
    cmdStopFiles = button("cmdStopFiles", QStringLiteral("Stop"));
    cmdStopFiles->hide();
    cmdAddFiles->setToolTip(QStringLiteral("Pictures (JPEG, PNG, WebP), videos (MP4, MOV) and PDF documents; files "
                                           "can also be dropped here"));

    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(4, 4, 4, 4);
    auto *top = new QHBoxLayout;
    top->addWidget(lstFiles, 1);
    auto *side = new QVBoxLayout;
    side->addWidget(imgPreview);
    side->addWidget(lblFileInfo, 1);
    top->addLayout(side);
    root->addLayout(top, 1);
    auto *row1 = new QHBoxLayout;
    for (QPushButton *b : {cmdAddFiles, cmdAddCertificate, cmdRemoveFile, cmdMainPicture, cmdOpenFile})
        row1->addWidget(b);
    root->addLayout(row1);
    auto *row2 = new QHBoxLayout;
    row2->addWidget(cmdExportFiles);
    row2->addWidget(lblBusy, 1);
    row2->addWidget(prgFiles);
    row2->addWidget(cmdStopFiles);
    root->addLayout(row2);

    connect(lstFiles, &QListWidget::currentRowChanged, this, &StoneFilesTab::selectionChanged);
    connect(lstFiles, &QListWidget::itemDoubleClicked, this, &StoneFilesTab::openSelected);
    connect(cmdAddFiles, &QPushButton::clicked, this, [this] {
        const QStringList paths = chooseFiles(false);
        if (!paths.isEmpty())
            addFiles(paths);
    });
    connect(cmdAddCertificate, &QPushButton::clicked, this, [this] {
        const QStringList paths = chooseFiles(true);
        if (paths.isEmpty())
            return;
        const QString lab = chooseLaboratory(stoneLaboratory());
        if (lab != QLatin1String("\x01"))
            addFiles(paths, true, lab);
    });
    connect(cmdRemoveFile, &QPushButton::clicked, this, &StoneFilesTab::removeSelected);
    connect(cmdMainPicture, &QPushButton::clicked, this, &StoneFilesTab::makeSelectedMain);
    connect(cmdOpenFile, &QPushButton::clicked, this, &StoneFilesTab::openSelected);
    connect(cmdExportFiles, &QPushButton::clicked, this, [this] {
        const QString folder = chooseFolder();
        if (!folder.isEmpty())
            exportTo(folder);
    });
    connect(cmdStopFiles, &QPushButton::clicked, this, [this] { m_stop = true; });
}

bool StoneFilesTab::eventFilter(QObject *o, QEvent *e)
{
    // A click on the stone screen's picture shows this tab.
    if (o == m_main && e->type() == QEvent::MouseButtonRelease) {
        for (QWidget *p = parentWidget(); p; p = p->parentWidget())
            if (auto *tabs = qobject_cast<QTabWidget *>(p)) {
                tabs->setCurrentWidget(this);
                break;
            }
        return true;
    }
    return QWidget::eventFilter(o, e);
}

QString StoneFilesTab::stoneLaboratory() const
{
    try {
        return db::textOf(db::scalar(m_ctx.db(), QStringLiteral("SELECT Laboratory FROM SingleStone WHERE ID = ?"),
                                     {m_stone}));
    } catch (const db::DbError &) {
        return {};
    }
}

void StoneFilesTab::showStone(qint64 stoneId)
{
    m_stone = stoneId;
    refresh();
}

void StoneFilesTab::refresh()
{
    m_main->setPixmap(QPixmap());
    m_main->setText(m_stone ? QStringLiteral("...") : QStringLiteral("no picture"));
    if (m_shownStone != m_stone) {
        lstFiles->clear();
        m_files.clear();
        m_thumbs.clear();
        m_previews.clear();
        imgPreview->clear();
        lblFileInfo->clear();
    }
    m_shownStone = -1;
    m_listedStone = -1;
    updateCommands();
    const qint64 stone = m_stone;
    if (stone <= 0) {
        m_reader->cancel();
        Shown s;
        shownArrived(QVariant::fromValue(s));
        return;
    }
    // The list in the reader's thread; its pictures follow (shownArrived).
    m_reader->request([stone](const QSqlDatabase &db) {
        return QVariant::fromValue(readShown(db, stone, QSize(), false));
    });
}

void StoneFilesTab::shownArrived(const QVariant &answer)
{
    const Shown s = answer.value<Shown>();
    if (s.stone != m_stone)
        return;
    if (m_listedStone != s.stone || !s.pictures)
        showList(s.stone, s.files, s.icons);
    if (!s.pictures && hasPictures(s.files)) {
        // The list is on the screen; its pictures come next.
        const qint64 stone = s.stone;
        const QSize preview = imgPreview->size() - QSize(4, 4);
        m_reader->request([stone, preview](const QSqlDatabase &db) {
            return QVariant::fromValue(readShown(db, stone, preview, true));
        });
        return;
    }
    m_thumbs = s.thumbs;
    m_previews = s.previews;
    for (int i = 0; i < lstFiles->count(); ++i) {
        QListWidgetItem *item = lstFiles->item(i);
        const QImage icon = s.icons.value(item->data(Qt::UserRole).toLongLong());
        if (!icon.isNull() && s.pictures)
            item->setIcon(QIcon(QPixmap::fromImage(icon)));
    }
    // The stone screen's picture.
    if (!s.main.isNull()) {
        m_main->setText(QString());
        m_main->setPixmap(QPixmap::fromImage(s.main));
    } else {
        m_main->setPixmap(QPixmap());
        m_main->setText(s.stone > 0 && !s.error.isEmpty() ? QStringLiteral("(not read)") : QStringLiteral("no picture"));
    }
    if (!s.error.isEmpty())
        m_main->setToolTip(QStringLiteral("The files could not be read: ") + s.error);
    m_shownStone = s.stone;
    selectionChanged();
    updateCommands();
    emit filesShown(s.stone);
}

void StoneFilesTab::showList(qint64 stone, const QList<stones::StoneFile> &files, const QHash<qint64, QImage> &icons)
{
    const qint64 keep = selected() ? selected()->id : 0;
    m_files = files;
    // The file's details are filled once its pictures are there
    // (shownArrived), not row by row as the list is made.
    const QSignalBlocker quiet(lstFiles);
    lstFiles->clear();
    int current = m_files.isEmpty() ? -1 : 0;
    for (int i = 0; i < m_files.size(); ++i) {
        const stones::StoneFile &f = m_files.at(i);
        QStringList marks{kindWord(f), stones::sizeText(f.size)};
        if (f.main)
            marks.prepend(QStringLiteral("main picture"));
        auto *item = new QListWidgetItem(f.name + QLatin1Char('\n') + marks.join(QStringLiteral(" \u00b7 ")), lstFiles);
        const QImage icon = icons.value(f.id);
        if (!icon.isNull())
            item->setIcon(QIcon(QPixmap::fromImage(icon)));
        else
            item->setIcon(f.kind == QLatin1String("video") ? m_videoIcon : m_fileIcon);
        item->setData(Qt::UserRole, f.id);
        if (f.id == keep)
            current = i;
    }
    lstFiles->setCurrentRow(current);
    m_listedStone = stone;
}

const stones::StoneFile *StoneFilesTab::selected() const
{
    const int row = lstFiles->currentRow();
    return row >= 0 && row < m_files.size() ? &m_files.at(row) : nullptr;
}

void StoneFilesTab::selectionChanged()
{
    const stones::StoneFile *f = selected();
    imgPreview->clear();
    if (!f) {
        lblFileInfo->clear();
        updateCommands();
        return;
    }
    const QImage thumb = m_thumbs.value(f->id);
    const QImage ready = m_previews.value(f->id);
    if (!ready.isNull() && (ready.width() == imgPreview->width() - 4 || ready.height() == imgPreview->height() - 4))
        imgPreview->setPixmap(QPixmap::fromImage(ready));
    else if (!thumb.isNull())
        imgPreview->setPixmap(fitted(thumb, imgPreview->width() - 4, imgPreview->height() - 4));
    else if (f->kind != QLatin1String("picture"))
        imgPreview->setText(f->kind == QLatin1String("video") ? QStringLiteral("video") : QStringLiteral("document"));
    QStringList info{f->name, kindWord(*f) + QStringLiteral(", ") + stones::sizeText(f->size)};
    if (f->width > 0)
        info << QStringLiteral("%1 x %2 pixels").arg(f->width).arg(f->height);
    info << QStringLiteral("added by %1 on %2")
                .arg(f->addedByName.isEmpty() ? QStringLiteral("?") : f->addedByName,
                     QLocale(QLocale::English).toString(f->addedAt, QStringLiteral("MMM dd, yyyy HH:mm")));
    info << QStringLiteral("SHA-256 ") + f->sha256.left(16) + QStringLiteral("...");
    lblFileInfo->setText(info.join(QLatin1Char('\n')));
    lblFileInfo->setToolTip(f->sha256);
    updateCommands();
}

void StoneFilesTab::updateCommands()
{
    const bool stone = m_stone > 0 && !m_busy;
    const bool mayWrite = stones::fileWriteRefusal(m_ctx.user).isEmpty();
    const stones::StoneFile *f = selected();
    cmdAddFiles->setEnabled(stone && mayWrite);
    cmdAddCertificate->setEnabled(stone && mayWrite);
    cmdRemoveFile->setEnabled(stone && mayWrite && f);
    cmdMainPicture->setEnabled(stone && mayWrite && f && f->kind == QLatin1String("picture") && !f->main);
    cmdOpenFile->setEnabled(stone && f);
    cmdExportFiles->setEnabled(stone && !m_files.isEmpty());
}

void StoneFilesTab::runWork(const QString &caption, std::function<QVariant(const QSqlDatabase &)> work,
                            std::function<void(const QVariant &)> done)
{
    m_busy = true;
    m_stop = false;
    m_done = std::move(done);
    lblBusy->setText(caption);
    prgFiles->setValue(0);
    prgFiles->show();
    updateCommands();
    m_worker->request(std::move(work));
}

void StoneFilesTab::progress(qint64 done, qint64 total)
{
    prgFiles->setValue(total > 0 ? int(done * 100 / total) : 0);
}

void StoneFilesTab::addFiles(const QStringList &paths, bool certificate, const QString &laboratory)
{
    if (m_busy || m_stone <= 0 || paths.isEmpty())
        return;
    if (const QString why = stones::fileWriteRefusal(m_ctx.user); !why.isEmpty()) {
        m_ctx.prompt().inform(why, kTitle, Icon::Exclamation);
        return;
    }
    const qint64 stone = m_stone;
    const UserState user = m_ctx.user;
    stones::AttachOptions o;
    o.certificate = certificate;
    o.laboratory = laboratory;
    o.sizeLimit = stones::fileSizeLimit(m_ctx.settings);
    cmdStopFiles->show();
    QPointer<StoneFilesTab> self(this);
    runWork(
        paths.size() == 1 ? QStringLiteral("Adding %1 ...").arg(QFileInfo(paths.first()).fileName())
                          : QStringLiteral("Adding %1 files ...").arg(paths.size()),
        [=, stop = &m_stop](const QSqlDatabase &db) {
            QStringList done, refused;
            for (int i = 0; i < paths.size(); ++i) {
                const stones::AttachResult r = stones::attachFile(db, user, stone, paths.at(i), o,
                                                                  [&](qint64 d, qint64 t) {
                                                                      QMetaObject::invokeMethod(
                                                                          self, [self, d, t] {
                                                                              if (self)
                                                                                  self->progress(d, t);
                                                                          },
                                                                          Qt::QueuedConnection);
                                                                      return !stop->load();
                                                                  });
                (r.ok ? done : refused) << r.message;
            }
            return QVariant(QVariantList{done, refused});
        },
        [this](const QVariant &a) {
            const QVariantList v = a.toList();
            const QStringList done = v.value(0).toStringList(), refused = v.value(1).toStringList();
            refresh();
            if (!refused.isEmpty())
                m_ctx.prompt().inform(refused.join(QStringLiteral("\n\n")), kTitle, Icon::Exclamation);
            else if (!done.isEmpty())
                m_ctx.prompt().notice(done.join(QLatin1Char('\n')));
        });
}

void StoneFilesTab::attachLookupReport(qint64 stoneId, const QString &path, const QString &laboratory)
{
    stones::AttachOptions o;
    o.certificate = true;
    o.laboratory = laboratory;
    o.sizeLimit = stones::fileSizeLimit(m_ctx.settings);
    const stones::AttachResult r = stones::attachCertificateReport(m_ctx.db(), m_ctx.user, stoneId, path, o);
    if (!r.ok)
        m_ctx.prompt().notice(QStringLiteral("The report was not attached to the stone: ") + r.message, 3000);
    if (stoneId == m_stone)
        refresh();
}

void StoneFilesTab::removeSelected()
{
    const stones::StoneFile *f = selected();
    if (!f || m_busy)
        return;
    if (!m_ctx.prompt().askYesNo(QStringLiteral("Remove %1 from this stone?").arg(f->name), kTitle))
        return;
    const qint64 stone = m_stone, id = f->id;
    const UserState user = m_ctx.user;
    runWork(QStringLiteral("Removing %1 ...").arg(f->name),
            [=](const QSqlDatabase &db) {
                const stones::FileChange c = stones::detachFile(db, user, stone, id);
                return QVariant(QVariantList{c.ok, c.message});
            },
            [this](const QVariant &a) {
                const QVariantList v = a.toList();
                refresh();
                if (!v.value(0).toBool())
                    m_ctx.prompt().inform(v.value(1).toString(), kTitle, Icon::Exclamation);
            });
}

void StoneFilesTab::makeSelectedMain()
{
    const stones::StoneFile *f = selected();
    if (!f || m_busy)
        return;
    const stones::FileChange c = stones::setMainPicture(m_ctx.db(), m_ctx.user, m_stone, f->id);
    if (!c.ok)
        m_ctx.prompt().inform(c.message, kTitle, Icon::Exclamation);
    refresh();
}

void StoneFilesTab::openSelected()
{
    const stones::StoneFile *sel = selected();
    if (!sel || m_busy)
        return;
    const stones::StoneFile f = *sel;
    // A copy in a folder of this account's own, read once: the viewer gets
    // a file of the right name.
    const QString base = QStandardPaths::writableLocation(QStandardPaths::TempLocation)
                         + QStringLiteral("/velmor-files-") + qEnvironmentVariable("USER", QStringLiteral("user"));
    const QString dir = base + QStringLiteral("/%1").arg(f.id);
    QDir().mkpath(dir);
    QFile::setPermissions(base, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString target = QDir(dir).filePath(stones::stoneFolderName(QFileInfo(f.name).fileName(), f.id));
    auto open = [this, target] {
        if (!openUrl(QUrl::fromLocalFile(target)))
            m_ctx.prompt().inform(QStringLiteral("No program on this workstation opens %1.")
                                      .arg(QDir::toNativeSeparators(target)),
                                  kTitle, Icon::Exclamation);
    };
    if (QFileInfo(target).size() == f.size) {
        open();
        return;
    }
    runWork(QStringLiteral("Reading %1 ...").arg(f.name),
            [f, target](const QSqlDatabase &db) {
                QSaveFile out(target);
                QString why;
                if (!out.open(QIODevice::WriteOnly))
                    return QVariant(out.errorString());
                if (!stones::readFile(db, f, out, &why)) {
                    out.cancelWriting();
                    return QVariant(why);
                }
                return QVariant(out.commit() ? QString() : out.errorString());
            },
            [this, open](const QVariant &a) {
                if (!a.toString().isEmpty())
                    m_ctx.prompt().inform(a.toString(), kTitle, Icon::Exclamation);
                else
                    open();
            });
}

void StoneFilesTab::exportTo(const QString &folder)
{
    if (m_busy || m_stone <= 0)
        return;
    const qint64 stone = m_stone;
    runWork(QStringLiteral("Exporting ..."),
            [stone, folder](const QSqlDatabase &db) {
                const stones::ExportReport r = stones::exportStoneFiles(db, {stone}, folder);
                return QVariant(QVariantList{r.files, r.folders.value(0), r.problems});
            },
            [this](const QVariant &a) {
                const QVariantList v = a.toList();
                const QStringList problems = v.value(2).toStringList();
                if (!problems.isEmpty())
                    m_ctx.prompt().inform(problems.join(QLatin1Char('\n')), kTitle, Icon::Exclamation);
                else
                    m_ctx.prompt().inform(QStringLiteral("%1 files were written into %2.")
                                              .arg(v.value(0).toInt())
                                              .arg(QDir::toNativeSeparators(v.value(1).toString())),
                                          kTitle, Icon::Information);
            });
}

void StoneFilesTab::dragEnterEvent(QDragEnterEvent *e)
{
    if (m_stone > 0 && !m_busy && e->mimeData()->hasUrls() && stones::fileWriteRefusal(m_ctx.user).isEmpty())
        e->acceptProposedAction();
}

void StoneFilesTab::dropEvent(QDropEvent *e)
{
    QStringList paths;
    for (const QUrl &u : e->mimeData()->urls())
        if (u.isLocalFile())
            paths << u.toLocalFile();
    if (paths.isEmpty())
        return;
    e->acceptProposedAction();
    addFiles(paths);
}

} // namespace velmor::ui
