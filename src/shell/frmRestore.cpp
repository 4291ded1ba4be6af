#include "shell/frmRestore.h"

#include "core/AppContext.h"
#include "core/Users.h"
#include "core/widgets/AdministratorOnly.h"
#include "core/widgets/WindowPlacement.h"
#include "shell/BackupCommands.h"
#include "shell/widgets/BackgroundWork.h"

#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace velmor::ui {

namespace {
const QString kTitle = QStringLiteral("Restore");
}

frmRestore::frmRestore(AppContext &ctx, QWidget *parent) : QDialog(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmRestore"));
    setWindowTitle(QStringLiteral("Restore a backup"));
    const bool privateMode = m_ctx.connection.mode == db::Mode::Private;
    auto *v = new QVBoxLayout(this);

    auto *fileRow = new QHBoxLayout;
    txtFile = new QLineEdit(this);
    txtFile->setObjectName(QStringLiteral("txtFile"));
    txtFile->setPlaceholderText(QStringLiteral("the backup file (.sql.zst, or .sql.gz made before)"));
    cmdBrowseFile = new QPushButton(QStringLiteral("Choose..."), this);
    cmdBrowseFile->setObjectName(QStringLiteral("cmdBrowseFile"));
    fileRow->addWidget(new QLabel(QStringLiteral("Backup:"), this));
    fileRow->addWidget(txtFile, 1);
    fileRow->addWidget(cmdBrowseFile);
    v->addLayout(fileRow);
    lblFileInfo = new QLabel(this);
    lblFileInfo->setObjectName(QStringLiteral("lblFileInfo"));
    lblFileInfo->setWordWrap(true);
    v->addWidget(lblFileInfo);

    auto *where = new QGroupBox(QStringLiteral("Restore into"), this);
    auto *w = new QVBoxLayout(where);
    optReplaceHere = new QRadioButton(
        privateMode ? QStringLiteral("The books of this workstation (what they hold now is backed up first; Velmor "
                                     "closes afterwards)")
                    : QStringLiteral("This database, %1 (what it holds now is backed up first; Velmor closes "
                                     "afterwards)")
                          .arg(m_ctx.connection.database),
        where);
    optReplaceHere->setObjectName(QStringLiteral("optReplaceHere"));
    optElsewhere = new QRadioButton(privateMode ? QStringLiteral("A new workstation folder:")
                                                : QStringLiteral("Another, empty database on the same server:"),
                                    where);
    optElsewhere->setObjectName(QStringLiteral("optElsewhere"));
    optElsewhere->setChecked(true);
    auto *targetRow = new QHBoxLayout;
    txtTarget = new QLineEdit(where);
    txtTarget->setObjectName(QStringLiteral("txtTarget"));
    cmdBrowseTarget = new QPushButton(QStringLiteral("Choose..."), where);
    cmdBrowseTarget->setObjectName(QStringLiteral("cmdBrowseTarget"));
    cmdBrowseTarget->setVisible(privateMode);
    targetRow->addSpacing(20);
    targetRow->addWidget(txtTarget, 1);
    targetRow->addWidget(cmdBrowseTarget);
    w->addWidget(optReplaceHere);
    w->addWidget(optElsewhere);
    w->addLayout(targetRow);
    v->addWidget(where);

    lblProgress = new QLabel(this);
    lblProgress->setObjectName(QStringLiteral("lblProgress"));
    v->addWidget(lblProgress);
    prgRestore = new QProgressBar(this);
    prgRestore->setObjectName(QStringLiteral("prgRestore"));
    prgRestore->setRange(0, 100);
    prgRestore->setValue(0);
    v->addWidget(prgRestore);
    txtResult = new QPlainTextEdit(this);
    txtResult->setObjectName(QStringLiteral("txtResult"));
    txtResult->setReadOnly(true);
    txtResult->setTabChangesFocus(true);
    v->addWidget(txtResult, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cmdRestore = new QPushButton(QStringLiteral("Restore"), this);
    cmdRestore->setObjectName(QStringLiteral("cmdRestore"));
    cmdClose = new QPushButton(QStringLiteral("Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setDefault(true);
    buttons->addWidget(cmdRestore);
    buttons->addWidget(cmdClose);
    v->addLayout(buttons);

    if (m_ctx.connection.mode == db::Mode::Odbc) {
        QString why;
        db::backup::ToolConnection::from(m_ctx.connection, &why);
        lblFileInfo->setText(QStringLiteral("A backup cannot be restored from here: %1.").arg(why));
        cmdRestore->setEnabled(false);
    }
    connect(txtFile, &QLineEdit::editingFinished, this, &frmRestore::fileChosen);
    connect(cmdBrowseFile, &QPushButton::clicked, this, [this] {
        const QString f = QFileDialog::getOpenFileName(
            this, QStringLiteral("Backup file"), backups::Settings::load(m_ctx.workstation).folderPath(m_ctx.workstation),
            QStringLiteral("Velmor backups (*.sql.zst *.sql.gz);;All files (*)"));
        if (!f.isEmpty()) {
            txtFile->setText(QDir::toNativeSeparators(f));
            fileChosen();
        }
    });
    connect(cmdBrowseTarget, &QPushButton::clicked, this, [this] {
        const QString d = QFileDialog::getExistingDirectory(this, QStringLiteral("New workstation folder"));
        if (!d.isEmpty()) {
            txtTarget->setText(QDir::toNativeSeparators(d));
            optElsewhere->setChecked(true);
        }
    });
    connect(txtTarget, &QLineEdit::textEdited, this, [this] { optElsewhere->setChecked(true); });
    connect(cmdRestore, &QPushButton::clicked, this, [this] { restoreNow(); });
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    placeWindow(this, QSize(780, 560), parent);
    administratorOnly(m_ctx, this);
}

void frmRestore::fileChosen()
{
    const QString file = txtFile->text().trimmed();
    if (file.isEmpty()) {
        lblFileInfo->clear();
        return;
    }
    const db::backup::Check c = db::backup::checkFile(file, false);
    if (!c.ok) {
        lblFileInfo->setText(c.problem + QLatin1Char('.'));
        return;
    }
    qint64 rows = 0;
    for (const auto &t : c.header.tables)
        rows += t.rows;
    lblFileInfo->setText(QStringLiteral("Made %1%2 from %3: schema version %4, %5 tables, %6 rows.")
                             .arg(c.header.made.toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                                  c.header.program.isEmpty() ? QString() : QStringLiteral(" by ") + c.header.program,
                                  c.header.source, QString::number(c.header.schemaVersion, 'g', 10))
                             .arg(c.header.tables.size())
                             .arg(rows));
}

void frmRestore::setBusy(bool busy)
{
    for (QWidget *w : {static_cast<QWidget *>(cmdRestore), static_cast<QWidget *>(cmdClose),
                       static_cast<QWidget *>(cmdBrowseFile), static_cast<QWidget *>(cmdBrowseTarget),
                       static_cast<QWidget *>(txtFile), static_cast<QWidget *>(txtTarget)})
        w->setEnabled(!busy);
}

void frmRestore::progress(const QString &text, qint64 done, qint64 total)
{
    QMetaObject::invokeMethod(this, [this, text, done, total] {
        lblProgress->setText(text);
        prgRestore->setRange(0, total > 0 ? 1000 : 0);
        if (total > 0)
            prgRestore->setValue(int(std::min<qint64>(1000, done * 1000 / total)));
    }, Qt::QueuedConnection);
}

backups::Outcome frmRestore::restoreNow()
{
    backups::Outcome none;
    if (!checkRight(m_ctx, QStringLiteral("Administrator")))
        return none;
    const bool privateMode = m_ctx.connection.mode == db::Mode::Private;
    backups::RestoreRequest r;
    r.file = txtFile->text().trimmed();
    r.booksCheck = restoreBooksCheck();
    r.common = backupCommon();
    r.common.progress = [this](const QString &text, qint64 done, qint64 total) { progress(text, done, total); };
    if (r.file.isEmpty()) {
        m_ctx.prompt().inform(QStringLiteral("Choose the backup file first."), kTitle, Icon::Information);
        return none;
    }
    const bool here = optReplaceHere->isChecked();
    const QString target = txtTarget->text().trimmed();
    r.home = m_ctx.workstation.folder();
    if (here) {
        r.replace = true;
        if (!m_ctx.prompt().askYesNo(QStringLiteral("The books of this workstation are replaced by the backup %1. What "
                                                     "they hold now is backed up first, and Velmor closes afterwards.\n\n"
                                                     "Replace them?")
                                         .arg(QDir::toNativeSeparators(r.file)),
                                     kTitle, Icon::Question))
            return none;
    } else if (target.isEmpty()) {
        m_ctx.prompt().inform(privateMode ? QStringLiteral("Type or choose the new workstation folder first.")
                                          : QStringLiteral("Type the name of the database to restore into first."),
                              kTitle, Icon::Information);
        return none;
    } else if (privateMode) {
        r.home = target;
    } else {
        r.database = target;
    }
    // This workstation's books as the program reaches them (a new
    // workstation folder has its own).
    if (here || !privateMode)
        r.connection = m_ctx.connection;
    // This program's own lease on the private server is let go, so that
    // the database folder can be replaced; it comes back when the restore
    // is refused.
    const bool closed = here && privateMode;
    if (closed)
        m_ctx.close();
    setBusy(true);
    txtResult->clear();
    lblProgress->setText(QStringLiteral("Checking the backup ..."));
    const backups::Outcome o = runAside([&] { return backups::restore(r); });
    setBusy(false);
    prgRestore->setRange(0, 100);
    prgRestore->setValue(o.code == 2 ? 0 : 100);
    lblProgress->setText(o.code == 2 ? QStringLiteral("Nothing was restored.")
                                     : o.code == 0 ? QStringLiteral("Restored; the books are whole.")
                                                   : QStringLiteral("Restored, with the findings below."));
    QStringList text = o.lines;
    if (!o.error.isEmpty())
        text << o.error;
    txtResult->setPlainText(text.join(QLatin1Char('\n')));
    if (o.code == 2 && closed) {
        try {
            m_ctx.open();
        } catch (const db::DbError &e) {
            m_ctx.prompt().inform(QStringLiteral("The database could not be opened again: %1\nVelmor closes now.").arg(e.message()),
                                  kTitle, Icon::Critical);
            if (restartNeeded)
                restartNeeded();
            return o;
        }
    }
    if (o.code == 2) {
        m_ctx.prompt().inform(o.error, kTitle, Icon::Exclamation);
        return o;
    }
    if (here) {
        m_ctx.prompt().inform(QStringLiteral("The backup was restored. Velmor closes now; start it again to work on the "
                                             "restored books."),
                              kTitle, Icon::Information);
        if (restartNeeded)
            restartNeeded();
    }
    return o;
}

} // namespace velmor::ui
