#include "stones/frmDiamondDetail.h"

#include "app/AppContext.h"
#include "app/Users.h"
#include "app/widgets/StoneScreenRights.h"
#include "db/Sql.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace velmor::ui {

frmDiamondDetail::frmDiamondDetail(AppContext &ctx, QWidget *parent) : QMainWindow(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmDiamondDetail"));
    setWindowTitle(QStringLiteral("Velmor - Diamond Detail"));

    QMenu *settings = menuBar()->addMenu(QStringLiteral("&Settings"));
    settings->setObjectName(QStringLiteral("mnuSettings"));
    QAction *mnuConfiguration = settings->addAction(QStringLiteral("&Configuration..."));
    mnuConfiguration->setObjectName(QStringLiteral("mnuConfiguration"));
    mnuConfiguration->setEnabled(false);
    QAction *mnuLogOn = menuBar()->addAction(QStringLiteral("&Log on"));
    mnuLogOn->setObjectName(QStringLiteral("mnuLogOn"));
    QAction *cmdLogOff = menuBar()->addAction(QStringLiteral("Log o&ff"));
    cmdLogOff->setObjectName(QStringLiteral("cmdLogOff"));
    cmdLogOff->setVisible(false);
    connect(mnuConfiguration, &QAction::triggered, this, [this] { runConfigMenu(m_ctx, this); });
    connect(mnuLogOn, &QAction::triggered, this, [this] { showLogin(m_ctx, this, this); });
    connect(cmdLogOff, &QAction::triggered, this, [this] { LogOffModule(m_ctx, this); });

    auto *central = new QWidget(this);
    auto *v = new QVBoxLayout(central);
    auto *logo = new QLabel(central);
    logo->setObjectName(QStringLiteral("imgLogo"));
    logo->setFixedHeight(90);
    v->addWidget(logo);
    auto *form = new QFormLayout;
    auto field = [&](const char *name, const char *label, const char *labelName = nullptr) {
        auto *e = new QLineEdit(central);
        e->setObjectName(QString::fromLatin1(name));
        auto *l = new QLabel(QString::fromLatin1(label), central);
        if (labelName)
            l->setObjectName(QString::fromLatin1(labelName));
        form->addRow(l, e);
        return e;
    };
    field("txtID", "Stone ID");
    field("txtItemID", "Item ID");
    field("txtSellPriceLocalCT2", "Sell price CDN/ct (tier 2)")->setEnabled(false);
    field("txtBuyOffRap", "Bought % off Rap", "lblBuyOffRap");
    field("txtOriginalBuyOffRap", "Original % off Rap", "lblOriginalBuyOffRap");
    field("txtBoughtPriceUSCT", "Bought US$/ct", "lblBoughtPriceUSCT");
    field("txtCode", "Code", "lblCode");
    v->addLayout(form);
    auto *add = new QPushButton(QStringLiteral("Add diamond"), central);
    add->setObjectName(QStringLiteral("cmdAddDiamond"));
    v->addWidget(add, 0, Qt::AlignLeft);
    auto *note = new QLabel(QStringLiteral("The stone detail screen is not installed in this build."), central);
    note->setObjectName(QStringLiteral("lblStandIn"));
    v->addWidget(note);
    v->addStretch(1);
    setCentralWidget(central);
    DiamondCostHideModule(this);
    resize(900, 640);
}

void frmDiamondDetail::loadStone(int) {}

void frmDiamondDetail::showEvent(QShowEvent *e)
{
    QMainWindow::showEvent(e);
    if (auto *logo = findChild<QLabel *>(QStringLiteral("imgLogo"))) {
        const QPixmap pm(m_ctx.settings.logoPath);
        logo->setPixmap(pm.isNull() ? QPixmap() : pm.scaled(logo->width(), logo->height(), Qt::IgnoreAspectRatio));
    }
    if (!m_started) {
        activateWindow();
        // Without a window manager that hands over focus the window may never
        // become active: finish the start-up shortly after it is shown anyway.
        QTimer::singleShot(400, this, [this] {
            if (!m_started && isVisible())
                firstActivation();
        });
    }
}

void frmDiamondDetail::changeEvent(QEvent *e)
{
    QMainWindow::changeEvent(e);
    if (e->type() == QEvent::ActivationChange && isActiveWindow() && !m_started)
        firstActivation();
}

void frmDiamondDetail::firstActivation()
{
    m_started = true;
    m_ctx.currentScreen = QStringLiteral("frmDiamondDetail");
    m_ctx.prompt().progress(QStringLiteral("Initialize User ID"));
    try {
        ensureFirstUser(m_ctx);
    } catch (const db::DbError &) {
        // The start-up repairs go on without it.
    }
    emit startUpFinished();
}

void frmDiamondDetail::closeEvent(QCloseEvent *e)
{
    QMainWindow::closeEvent(e);
    if (e->isAccepted())
        emit closed();
}

} // namespace velmor::ui
