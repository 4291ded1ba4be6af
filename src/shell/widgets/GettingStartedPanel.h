#pragma once
// The "Getting started" list on the home screen: one line per first step,
// each opening its screen through the navigation interface and ticked once
// the database shows it done.  installGettingStarted() docks it on the home
// screen and puts "Getting started" into that screen's Help menu, which
// brings the list back once it was hidden.
//
// Controls: fraGettingStarted (the list), cmdStartCompany, cmdStartRates,
// cmdStartPriceGrid, cmdStartCustomer, cmdStartStone (the lines) with their
// ticks lblStartCompany ... lblStartStone ("✔" when done, "○" when not),
// lblGettingStartedNote, cmdHideGettingStarted; the dock dckGettingStarted
// and the menu command mnuGettingStarted.
#include "shell/GettingStarted.h"

#include <QFrame>

class QDockWidget;
class QLabel;
class QMainWindow;
class QPushButton;

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class GettingStartedPanel : public QFrame {
    Q_OBJECT
public:
    // Horizontal: the lines in one row (a strip across the top of the
    // screen); vertical: one under the other (a panel at its side).
    GettingStartedPanel(AppContext &ctx, Qt::Orientation orientation, QWidget *parent = nullptr);

    // Reads what is done from the database and ticks the lines.
    void refresh();
    const shell::StartProgress &progress() const { return m_progress; }

signals:
    void hideRequested();

protected:
    bool eventFilter(QObject *o, QEvent *e) override;

private:
    void run(shell::StartStep step);
    void scheduleRefresh();

    AppContext &m_ctx;
    shell::StartProgress m_progress;
    QLabel *m_ticks[shell::kStartStepCount] = {};
    QPushButton *m_lines[shell::kStartStepCount] = {};
    QLabel *m_note = nullptr;
    bool m_refreshQueued = false;
};

// Docks the list on `home` in `area` (shown when this workstation has not
// hidden it and something is left to do) and adds Help > Getting started.
QDockWidget *installGettingStarted(AppContext &ctx, QMainWindow *home, Qt::DockWidgetArea area);

} // namespace velmor::ui
