#include "shell/widgets/GettingStartedPanel.h"

#include "core/AppContext.h"
#include "core/ChangeEvents.h"
#include "core/Screens.h"

#include <QDockWidget>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace velmor::ui {

using shell::StartStep;

namespace {

struct Line {
    StartStep step;
    const char *command;
    const char *tick;
    const char *caption;
    const char *hint;
};

const Line kLines[shell::kStartStepCount] = {
    {StartStep::Company, "cmdStartCompany", "lblStartCompany", "Your company: name, address, logo",
     "The company tab of the configuration: what memo sheets, invoices and papers print."},
    {StartStep::Rates, "cmdStartRates", "lblStartRates", "The exchange rates",
     "US$ to the local currency, stored for the days without a connection."},
    {StartStep::PriceGrid, "cmdStartPriceGrid", "lblStartPriceGrid", "The price grid: import its files",
     "The folder holding the provider's round.csv, pear.csv, marquise.csv and princess.csv."},
    {StartStep::Customer, "cmdStartCustomer", "lblStartCustomer", "Your first customer",
     "A new customer on the customer screen."},
    {StartStep::Stone, "cmdStartStone", "lblStartStone", "Your first stone",
     "A new stone on the stone screen, saved with its SKU."},
};

const QString kTick = QStringLiteral("\u2714"); // done
const QString kToDo = QStringLiteral("\u25CB");

} // namespace

GettingStartedPanel::GettingStartedPanel(AppContext &ctx, Qt::Orientation orientation, QWidget *parent)
    : QFrame(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("fraGettingStarted"));
    // Across the top of a wide screen (one row of lines, the note beneath),
    // or down the side of a narrow one.
    const bool across = orientation == Qt::Horizontal;
    auto *v = new QVBoxLayout(this);
    auto *lines = new QBoxLayout(across ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
    auto *title = new QLabel(QStringLiteral("<b>Getting started</b>"), this);
    title->setToolTip(QStringLiteral("Five steps set Velmor up for your first sale."));
    lines->addWidget(title);
    for (int i = 0; i < shell::kStartStepCount; ++i) {
        const Line &l = kLines[i];
        auto *row = new QHBoxLayout;
        row->setSpacing(2);
        auto *tick = new QLabel(this);
        tick->setObjectName(QString::fromLatin1(l.tick));
        tick->setFixedWidth(qMax(fontMetrics().horizontalAdvance(kTick), fontMetrics().horizontalAdvance(kToDo)) + 4);
        auto *line = new QPushButton(QString::fromUtf8(l.caption), this);
        line->setObjectName(QString::fromLatin1(l.command));
        line->setToolTip(QString::fromUtf8(l.hint));
        line->setFlat(true);
        line->setCursor(Qt::PointingHandCursor);
        // A link's look: it opens a screen.
        line->setStyleSheet(QStringLiteral("text-align: left; padding: 2px 4px; color: palette(link);"));
        connect(line, &QPushButton::clicked, this, [this, step = l.step] { run(step); });
        row->addWidget(tick);
        row->addWidget(line, across ? 0 : 1);
        lines->addLayout(row);
        m_ticks[i] = tick;
        m_lines[i] = line;
    }
    lines->addStretch(1);
    auto *hide = new QPushButton(QStringLiteral("&Hide"), this);
    hide->setObjectName(QStringLiteral("cmdHideGettingStarted"));
    hide->setToolTip(QStringLiteral("Hides the list on this workstation; Help > Getting started brings it back."));
    connect(hide, &QPushButton::clicked, this, &GettingStartedPanel::hideRequested);
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("lblGettingStartedNote"));
    m_note->setWordWrap(!across);
    if (across) {
        lines->addWidget(m_note);
        lines->addWidget(hide);
    }
    v->addLayout(lines);
    if (!across) {
        v->addWidget(m_note);
        auto *buttons = new QHBoxLayout;
        buttons->addStretch(1);
        buttons->addWidget(hide);
        v->addLayout(buttons);
        v->addStretch(1);
    }

    // What may tick a line: a stone or customer saved on this workstation,
    // rates saved, a log-on (the note), and coming back to the home screen
    // from another screen (the settings, another workstation's work).
    connect(&changeEvents(m_ctx), &ChangeEvents::stoneChanged, this, &GettingStartedPanel::scheduleRefresh);
    connect(&changeEvents(m_ctx), &ChangeEvents::customerChanged, this, &GettingStartedPanel::scheduleRefresh);
    connect(&m_ctx.events(), &ContextEvents::ratesChanged, this, &GettingStartedPanel::scheduleRefresh);
    connect(&m_ctx.events(), &ContextEvents::rightsChanged, this, &GettingStartedPanel::scheduleRefresh);
    if (parent)
        parent->window()->installEventFilter(this);
}

bool GettingStartedPanel::eventFilter(QObject *o, QEvent *e)
{
    if (e->type() == QEvent::WindowActivate && o->isWidgetType())
        scheduleRefresh();
    return QFrame::eventFilter(o, e);
}

void GettingStartedPanel::scheduleRefresh()
{
    // One read for a burst of events, and none while the list is hidden.
    if (m_refreshQueued || !isVisibleTo(window()))
        return;
    m_refreshQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_refreshQueued = false;
        refresh();
    });
}

void GettingStartedPanel::refresh()
{
    m_progress = shell::readStartProgress(m_ctx.db());
    for (int i = 0; i < shell::kStartStepCount; ++i) {
        const bool done = m_progress.done[i];
        m_ticks[i]->setText(done ? kTick : kToDo);
        m_ticks[i]->setStyleSheet(done ? QStringLiteral("color: #1a7f37; font-weight: bold;")
                                       : QStringLiteral("color: palette(mid);"));
        m_ticks[i]->setAccessibleName(done ? QStringLiteral("done") : QStringLiteral("to do"));
    }
    if (m_progress.allDone()) {
        m_note->setText(QStringLiteral("All done."));
        m_note->setToolTip(QStringLiteral("Hide the list; Help > Getting started brings it back."));
    } else if (m_ctx.user.ID <= 0) {
        m_note->setText(QStringLiteral("Log on first."));
        m_note->setToolTip(QStringLiteral("Each step needs a user with its right."));
    } else {
        m_note->clear();
    }
    m_note->setVisible(!m_note->text().isEmpty());
}

void GettingStartedPanel::run(StartStep step)
{
    Screens &screens = m_ctx.screens();
    switch (step) {
    case StartStep::Company:
        screens.openSettings();
        break;
    case StartStep::Rates:
        screens.openExchangeRates();
        break;
    case StartStep::PriceGrid:
        screens.importPriceGrid(window());
        break;
    case StartStep::Customer:
        screens.addCustomer();
        break;
    case StartStep::Stone:
        screens.addStone();
        break;
    }
    scheduleRefresh();
}

QDockWidget *installGettingStarted(AppContext &ctx, QMainWindow *home, Qt::DockWidgetArea area)
{
    auto *dock = new QDockWidget(QStringLiteral("Getting started"), home);
    dock->setObjectName(QStringLiteral("dckGettingStarted"));
    const bool across = area == Qt::TopDockWidgetArea || area == Qt::BottomDockWidgetArea;
    auto *panel = new GettingStartedPanel(ctx, across ? Qt::Horizontal : Qt::Vertical, dock);
    dock->setWidget(panel);
    // The list names itself; no title bar to drag it about.
    dock->setTitleBarWidget(new QWidget(dock));
    dock->setFeatures(QDockWidget::NoDockWidgetFeatures);
    dock->setAllowedAreas(area);
    home->addDockWidget(area, dock);
    // A workstation that hid the list does not read what is done at start.
    bool shown = false;
    if (!shell::gettingStartedHidden(ctx.workstation)) {
        panel->refresh();
        shown = !panel->progress().allDone();
    }
    dock->setVisible(shown);

    QObject::connect(panel, &GettingStartedPanel::hideRequested, dock, [&ctx, dock] {
        shell::setGettingStartedHidden(ctx.workstation, true);
        dock->hide();
    });

    // Help > Getting started: the list again, read afresh.
    QMenu *help = home->menuBar()->findChild<QMenu *>(QStringLiteral("mnuHelp"));
    if (!help) {
        help = home->menuBar()->addMenu(QStringLiteral("&Help"));
        help->setObjectName(QStringLiteral("mnuHelp"));
    }
    QAction *show = help->addAction(QStringLiteral("&Getting started"));
    show->setObjectName(QStringLiteral("mnuGettingStarted"));
    QObject::connect(show, &QAction::triggered, dock, [&ctx, dock, panel] {
        shell::setGettingStartedHidden(ctx.workstation, false);
        panel->refresh();
        dock->show();
        dock->raise();
    });
    return dock;
}

} // namespace velmor::ui
