#include "shell/widgets/StartupFlow.h"

#include "core/AppContext.h"
#include "shell/frmFront.h"
#include "shell/frmSplash.h"
#include "core/Configuration.h"
#include "core/widgets/QtPrompt.h"
#include "pricing/frmConfigD_Range.h"
#include "pricing/frmConfigExchangeRate.h"
#include "pricing/frmConfigQs.h"
#include "pricing/frmRapPriceSheet.h"
#include "pricing/frmSplashWelcome.h"
#include "stones/frmDiamondDetail.h"

#include <QApplication>

namespace velmor::ui {

StartupFlow::StartupFlow(AppContext &ctx, QtPrompt *prompt, QObject *parent)
    : QObject(parent), m_ctx(ctx), m_prompt(prompt)
{
    m_ctx.setScreens(this);
}

StartupFlow::~StartupFlow()
{
    if (&m_ctx.screens() == this)
        m_ctx.setScreens(nullptr);
    if (m_prompt)
        m_prompt->setProgressLine({});
    delete m_splash.data();
    delete m_stone.data();
    delete m_front.data();
}

void StartupFlow::start()
{
    m_splash = new frmSplash(m_ctx);
    if (m_prompt)
        m_prompt->setProgressLine([splash = QPointer<frmSplash>(m_splash)](const QString &text) {
            if (splash)
                SplashMessageModule(splash, text);
        });
    connect(m_splash, &frmSplash::frontScreenNeeded, this, &StartupFlow::loadFront);
    connect(m_splash, &frmSplash::homeScreenNeeded, this, &StartupFlow::startHome);
    m_splash->start();
    m_upgraded = m_splash->schemaCheck().upgraded;
    m_versionBefore = m_splash->schemaCheck().storedBefore;
}

void StartupFlow::loadFront()
{
    if (m_front)
        return;
    m_front = new frmFront(m_ctx);
    connect(m_front, &frmFront::closed, this, &StartupFlow::quitRequested);

    // The screens of the pricing settings open from the front screen's menus.
    AppContext &ctx = m_ctx;
    auto showWindow = [](QWidget *w) {
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->setWindowFlag(Qt::Window);
        w->show();
        w->raise();
        w->activateWindow();
    };
    m_front->setOpener(QStringLiteral("mnuExchangeAndGold"), [&ctx, showWindow, this] {
        auto *w = new pricing::frmConfigExchangeRate(ctx, m_front);
        w->reloadConfiguration = [&ctx] { GetConfigurationModule(ctx); };
        showWindow(w);
    });
    m_front->setOpener(QStringLiteral("mnuConfigQs"),
                       [&ctx, showWindow, this] { showWindow(new pricing::frmConfigQs(ctx, m_front)); });
    m_front->setOpener(QStringLiteral("mnuConfigD_Range"),
                       [&ctx, showWindow, this] { showWindow(new pricing::frmConfigD_Range(ctx, m_front)); });
}

void StartupFlow::startHome(bool wholesale)
{
    m_wholesale = wholesale;
    if (!m_stone) {
        m_stone = new frmDiamondDetail(m_ctx);
        connect(m_stone, &frmDiamondDetail::startUpFinished, this, &StartupFlow::stoneStarted);
        connect(m_stone, &frmDiamondDetail::closed, this, &StartupFlow::stoneClosed);
    }
    if (m_front)
        m_front->setStoneScreen(m_stone);
    m_stone->show();
    if (wholesale && m_front) {
        m_front->show();
        m_front->raise();
        m_front->activateWindow();
        m_front->activated();
    } else {
        m_stone->raise();
        m_stone->activateWindow();
    }
    if (wholesale)
        emit finished();
}

void StartupFlow::stoneStarted()
{
    // The stone screen's first activation ends the splash screen.
    if (m_splash) {
        m_splash->close();
        m_splash->deleteLater();
    }
    if (!m_wholesale)
        emit finished();
}

void StartupFlow::stoneClosed()
{
    if (m_ctx.WholeSaleMode && m_front) {
        m_front->show();
        m_front->raise();
        m_front->activateWindow();
    } else {
        emit quitRequested();
    }
}

// What the screens may ask of each other.

bool StartupFlow::available(Screen s) const
{
    switch (s) {
    case Screen::Home:
    case Screen::Stone:
    case Screen::PriceSheet:
        return true;
    default:
        return false;
    }
}

bool StartupFlow::openStone(qint64 stoneId)
{
    if (!m_stone)
        return false;
    m_stone->show();
    m_stone->raise();
    m_stone->activateWindow();
    m_stone->loadStone(int(stoneId));
    return true;
}

bool StartupFlow::openPriceSheet()
{
    auto *w = new pricing::frmRapPriceSheet(m_ctx);
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->show();
    return true;
}

void StartupFlow::showHome()
{
    QWidget *home = m_wholesale && m_front ? static_cast<QWidget *>(m_front) : m_stone.data();
    if (!home)
        return;
    home->show();
    home->raise();
    home->activateWindow();
}

void StartupFlow::refreshRates(QWidget *parent)
{
    // The fetch waits in an event loop of its own; a timer tick meanwhile
    // must not start a second one.
    if (m_fetchingRates)
        return;
    // The due second may see two ticks (the timer drifts): one refresh per
    // due minute.
    if (m_lastRatesRefresh.isValid() && m_lastRatesRefresh.elapsed() < 60000)
        return;
    m_fetchingRates = true;
    m_lastRatesRefresh.start();
    struct Release {
        bool &flag;
        ~Release() { flag = false; }
    } release{m_fetchingRates};
    pricing::GetExchangeRateModule(m_ctx, parent);
    emit m_ctx.events().ratesChanged();
}

} // namespace velmor::ui
