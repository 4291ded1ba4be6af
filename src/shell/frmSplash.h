#pragma once
// The splash screen and its start-up sequence: progress line, schema check,
// rate refresh, then Timer2 waits for any timed notice to close and hands
// over to Timer1, which sets the home-screen flags, has the front screen
// loaded and the home screen shown.
#include "shell/StartupSteps.h"

#include <QWidget>

class QLabel;
class QTimer;

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class frmSplash : public QWidget {
    Q_OBJECT
public:
    explicit frmSplash(AppContext &ctx, QWidget *parent = nullptr);

    // Steps 1 to 6: show, schema check, rates, then Timer2.
    void start();
    // Shown at once, before the database is opened (which on an empty
    // workstation folder first makes it); the progress line then says what
    // is being done.
    void showOpening();
    // Shows the screen and opens the database behind it (AppContext::open):
    // the slow part -- starting the private server, on a first start making
    // it and its tables -- runs on a thread of its own while this screen
    // stays painted and says what is being done.  Throws as open().
    void openDatabase();
    const SchemaCheck &schemaCheck() const { return m_schema; }
    void setMessage(const QString &text);

signals:
    // Timer1's first tick: the front screen is to be loaded (flags are set).
    void frontScreenNeeded();
    // The home screen is to be shown (the stone screen in both set-ups;
    // the front screen too in the wholesale set-up).
    void homeScreenNeeded(bool wholesale);

protected:
    void paintEvent(QPaintEvent *e) override;

private:
    void timer2Tick();
    void timer1Tick();
    // Shows `text` from the thread that does the work (the window thread
    // paints it when its loop next turns).
    void postMessage(const QString &text);
    // Shows the screen centred and waits until it is painted.
    void showPainted();

    AppContext &m_ctx;
    QLabel *lblMsg;
    QLabel *lblVersion;
    QLabel *lblDoing;
    QLabel *img;
    QTimer *Timer1;
    QTimer *Timer2;
    SchemaCheck m_schema;
    bool m_painted = false;
};

// Sets the splash screen's lblMsg, yields once and repaints it.
void SplashMessageModule(frmSplash *splash, const QString &text);

} // namespace velmor::ui
