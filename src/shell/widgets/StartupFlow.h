#pragma once
// Start-up from the splash screen to the home screen: owns the splash, the
// front screen and the stone screen and wires them as the start-up
// sequence asks; it is also the program's Screens, through which screens
// open each other.  runApplication uses it; GUI tests drive it directly.
#include "core/Screens.h"
#include "shell/frmFront.h"
#include "shell/frmSplash.h"
#include "stones/frmDiamondDetail.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class QtPrompt;

class StartupFlow : public QObject, public Screens {
    Q_OBJECT
public:
    // The prompt, when given, receives the splash screen's progress words.
    explicit StartupFlow(AppContext &ctx, QtPrompt *prompt = nullptr, QObject *parent = nullptr);
    ~StartupFlow() override;

    void start();

    frmSplash *splash() const { return m_splash; }
    frmFront *front() const { return m_front; }
    frmDiamondDetail *stone() const { return m_stone; }
    bool upgraded() const { return m_upgraded; }
    double storedVersionBefore() const { return m_versionBefore; }

    // The screens this program has, for the screens that open each other.
    bool available(Screen s) const override;
    bool openStone(qint64 stoneId) override;
    bool openPriceSheet() override;
    void showHome() override;
    void refreshRates(QWidget *parent) override;

signals:
    // The home screen is up and the splash screen gone.
    void finished();
    // The program should end (the front screen closed, or the stone screen
    // closed outside the wholesale set-up).
    void quitRequested();

private:
    void loadFront();
    void startHome(bool wholesale);
    void stoneStarted();
    void stoneClosed();

    AppContext &m_ctx;
    QtPrompt *m_prompt;
    QPointer<frmSplash> m_splash;
    QPointer<frmFront> m_front;
    QPointer<frmDiamondDetail> m_stone;
    bool m_upgraded = false;
    double m_versionBefore = 0;
    bool m_wholesale = false;
    bool m_fetchingRates = false;
    QElapsedTimer m_lastRatesRefresh;
};

} // namespace velmor::ui
