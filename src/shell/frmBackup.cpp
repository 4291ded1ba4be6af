#include "shell/frmBackup.h"

#include "core/AppContext.h"
#include "core/Users.h"
#include "core/widgets/AdministratorOnly.h"
#include "core/widgets/WindowPlacement.h"
#include "shell/BackupCommands.h"
#include "shell/widgets/BackgroundWork.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace velmor::ui {

namespace {
const QString kTitle = QStringLiteral("Back up now");
}

frmBackup::frmBackup(AppContext &ctx, QWidget *parent) : QDialog(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmBackup"));
    setWindowTitle(QStringLiteral("Backups"));
    auto *v = new QVBoxLayout(this);

    lblFolder = new QLabel(this);
    lblFolder->setObjectName(QStringLiteral("lblFolder"));
    lblFolder->setWordWrap(true);
    v->addWidget(lblFolder);
    tvwBackups = new QTreeWidget(this);
    tvwBackups->setObjectName(QStringLiteral("tvwBackups"));
    tvwBackups->setRootIsDecorated(false);
    tvwBackups->setHeaderLabels({QStringLiteral("Made"), QStringLiteral("Size"), QStringLiteral("Schema"),
                                 QStringLiteral("Kind"), QStringLiteral("State"), QStringLiteral("File")});
    v->addWidget(tvwBackups, 1);

    auto *now = new QHBoxLayout;
    chkVerify = new QCheckBox(QStringLiteral("Verify it (restore it into a scratch database and compare)"), this);
    chkVerify->setObjectName(QStringLiteral("chkVerify"));
    cmdBackup = new QPushButton(QStringLiteral("Back up now"), this);
    cmdBackup->setObjectName(QStringLiteral("cmdBackup"));
    cmdBackup->setDefault(true);
    now->addWidget(chkVerify, 1);
    now->addWidget(cmdBackup);
    v->addLayout(now);
    lblProgress = new QLabel(this);
    lblProgress->setObjectName(QStringLiteral("lblProgress"));
    v->addWidget(lblProgress);
    prgBackup = new QProgressBar(this);
    prgBackup->setObjectName(QStringLiteral("prgBackup"));
    prgBackup->setRange(0, 100);
    prgBackup->setValue(0);
    v->addWidget(prgBackup);

    auto *settings = new QGroupBox(QStringLiteral("Settings of this workstation"), this);
    auto *form = new QFormLayout(settings);
    auto *folderRow = new QHBoxLayout;
    txtFolder = new QLineEdit(settings);
    txtFolder->setObjectName(QStringLiteral("txtFolder"));
    txtFolder->setPlaceholderText(QStringLiteral("backups in the workstation folder"));
    cmdBrowse = new QPushButton(QStringLiteral("Choose..."), settings);
    cmdBrowse->setObjectName(QStringLiteral("cmdBrowse"));
    folderRow->addWidget(txtFolder, 1);
    folderRow->addWidget(cmdBrowse);
    form->addRow(QStringLiteral("Backup folder (another disk, a synced folder):"), folderRow);
    chkAutomatic = new QCheckBox(QStringLiteral("A backup every day (at the first start, or at the last exit)"), settings);
    chkAutomatic->setObjectName(QStringLiteral("chkAutomatic"));
    form->addRow(QString(), chkAutomatic);
    spnKeepDaily = new QSpinBox(settings);
    spnKeepDaily->setObjectName(QStringLiteral("spnKeepDaily"));
    spnKeepDaily->setRange(1, 366);
    form->addRow(QStringLiteral("Daily backups kept (days):"), spnKeepDaily);
    spnKeepWeekly = new QSpinBox(settings);
    spnKeepWeekly->setObjectName(QStringLiteral("spnKeepWeekly"));
    spnKeepWeekly->setRange(0, 520);
    form->addRow(QStringLiteral("Weekly backups kept (weeks):"), spnKeepWeekly);
    spnWarnDays = new QSpinBox(settings);
    spnWarnDays->setObjectName(QStringLiteral("spnWarnDays"));
    spnWarnDays->setRange(1, 366);
    form->addRow(QStringLiteral("Warn when the last good backup is older than (days):"), spnWarnDays);
    cmdSaveSettings = new QPushButton(QStringLiteral("Save settings"), settings);
    cmdSaveSettings->setObjectName(QStringLiteral("cmdSaveSettings"));
    form->addRow(QString(), cmdSaveSettings);
    v->addWidget(settings);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cmdClose = new QPushButton(QStringLiteral("Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    buttons->addWidget(cmdClose);
    v->addLayout(buttons);

    const backups::Settings s = backups::Settings::load(m_ctx.workstation);
    txtFolder->setText(s.folder);
    chkAutomatic->setChecked(s.automatic);
    spnKeepDaily->setValue(s.keepDaily);
    spnKeepWeekly->setValue(s.keepWeekly);
    spnWarnDays->setValue(s.warnDays);

    connect(cmdBackup, &QPushButton::clicked, this, [this] { backUpNow(); });
    connect(cmdSaveSettings, &QPushButton::clicked, this, [this] { saveSettings(); });
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(cmdBrowse, &QPushButton::clicked, this, [this] {
        const QString dir = QFileDialog::getExistingDirectory(this, QStringLiteral("Backup folder"),
                                                              backups::Settings::load(m_ctx.workstation).folderPath(m_ctx.workstation));
        if (!dir.isEmpty())
            txtFolder->setText(QDir::toNativeSeparators(dir));
    });
    showBackups();
    placeWindow(this, QSize(860, 620), parent);
    administratorOnly(m_ctx, this);
}

void frmBackup::showBackups()
{
    const QString folder = backups::Settings::load(m_ctx.workstation).folderPath(m_ctx.workstation);
    lblFolder->setText(QStringLiteral("Backups go to %1").arg(QDir::toNativeSeparators(folder)));
    tvwBackups->clear();
    for (const backups::Found &f : backups::listBackups(folder)) {
        auto *item = new QTreeWidgetItem(tvwBackups);
        item->setText(0, f.made.toString(QStringLiteral("yyyy-MM-dd HH:mm")));
        item->setText(1, backups::sizeText(f.bytes));
        item->setText(2, f.whole ? QString::number(f.schemaVersion, 'g', 10) : QString());
        item->setText(3, f.kind);
        item->setText(4, !f.whole      ? QStringLiteral("damaged: ") + f.problem
                         : f.verified ? QStringLiteral("verified %1").arg(f.verifiedAt.toString(QStringLiteral("yyyy-MM-dd")))
                                      : QStringLiteral("not verified"));
        item->setText(5, QFileInfo(f.file).fileName());
    }
    for (int c = 0; c < tvwBackups->columnCount(); ++c)
        tvwBackups->resizeColumnToContents(c);
}

void frmBackup::setBusy(bool busy)
{
    for (QWidget *w : {static_cast<QWidget *>(cmdBackup), static_cast<QWidget *>(cmdSaveSettings),
                       static_cast<QWidget *>(cmdClose), static_cast<QWidget *>(chkVerify)})
        w->setEnabled(!busy);
}

void frmBackup::progress(const QString &text, qint64 done, qint64 total)
{
    // Called from the backup's thread.
    QMetaObject::invokeMethod(this, [this, text, done, total] {
        lblProgress->setText(text);
        prgBackup->setRange(0, total > 0 ? 1000 : 0);
        if (total > 0)
            prgBackup->setValue(int(std::min<qint64>(1000, done * 1000 / total)));
    }, Qt::QueuedConnection);
}

backups::Outcome frmBackup::backUpNow()
{
    if (!checkRight(m_ctx, QStringLiteral("Administrator")))
        return {};
    setBusy(true);
    lblProgress->setText(QStringLiteral("Starting the backup ..."));
    backups::Common c = backupCommon();
    c.progress = [this](const QString &text, qint64 done, qint64 total) { progress(text, done, total); };
    const Workstation ws = m_ctx.workstation;
    const db::ConnectionSettings cs = m_ctx.connection;
    const bool verify = chkVerify->isChecked();
    const backups::Outcome o = runAside([&] { return backups::backUp(ws, cs, {}, verify, c); });
    setBusy(false);
    prgBackup->setRange(0, 100);
    prgBackup->setValue(o.code == 2 ? 0 : 100);
    lblProgress->setText(o.code == 0 ? QStringLiteral("The backup is made.") : QString());
    if (o.code == 2)
        m_ctx.prompt().inform(o.error, kTitle, Icon::Exclamation);
    else
        m_ctx.prompt().inform(o.lines.join(QLatin1Char('\n')), kTitle, o.code == 0 ? Icon::Information : Icon::Exclamation);
    showBackups();
    return o;
}

bool frmBackup::saveSettings()
{
    if (!checkRight(m_ctx, QStringLiteral("Administrator")))
        return false;
    backups::Settings s = backups::Settings::load(m_ctx.workstation);
    s.folder = txtFolder->text().trimmed();
    s.automatic = chkAutomatic->isChecked();
    s.keepDaily = spnKeepDaily->value();
    s.keepWeekly = spnKeepWeekly->value();
    s.warnDays = spnWarnDays->value();
    const QString folder = s.folderPath(m_ctx.workstation);
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isWritable()) {
        m_ctx.prompt().inform(QStringLiteral("The folder %1 cannot be written to; the settings were not saved.")
                                  .arg(QDir::toNativeSeparators(folder)),
                              QStringLiteral("Backups"), Icon::Exclamation);
        return false;
    }
    QString why;
    if (!s.save(m_ctx.workstation, &why)) {
        m_ctx.prompt().inform(why, QStringLiteral("Backups"), Icon::Exclamation);
        return false;
    }
    showBackups();
    return true;
}

} // namespace velmor::ui
