#include "stones/frmStockCount.h"

#include "core/AppContext.h"
#include "core/widgets/Named.h"
#include "core/widgets/WindowPlacement.h"
#include "db/Sql.h"
#include "stones/frmStockCountReport.h"

#include <QApplication>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSysInfo>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace velmor::ui {

using namespace stones;

namespace {

const QString kTitle = QStringLiteral("Stock count");
// The count this workstation worked on last: taken up again when the screen opens.
const QString kLastCountFile = QStringLiteral("stockcount.ini");

QTableWidget *grid(const char *name, const QStringList &heads)
{
    auto *g = named(new QTableWidget(0, int(heads.size())), name);
    g->setHorizontalHeaderLabels(heads);
    g->setSelectionBehavior(QAbstractItemView::SelectRows);
    g->setSelectionMode(QAbstractItemView::SingleSelection);
    g->setEditTriggers(QAbstractItemView::NoEditTriggers);
    g->verticalHeader()->hide();
    g->horizontalHeader()->setStretchLastSection(true);
    return g;
}

QLabel *figure(const char *name)
{
    auto *l = named(new QLabel(QStringLiteral("0")), name);
    QFont f = l->font();
    f.setPointSizeF(f.pointSizeF() * 1.6);
    f.setBold(true);
    l->setFont(f);
    return l;
}

} // namespace

frmStockCount::frmStockCount(AppContext &ctx, QWidget *parent)
    : QWidget(parent),
      cboCount(named(new QComboBox, "cboCount")),
      txtName(named(new QLineEdit, "txtName")),
      txtLocation(named(new QLineEdit, "txtLocation")),
      txtTolerance(named(new QLineEdit(QStringLiteral("0.01")), "txtTolerance")),
      cmdStart(named(new QPushButton(QStringLiteral("Start count")), "cmdStart")),
      lblCount(named(new QLabel, "lblCount")),
      lblExpected(figure("lblExpected")),
      lblFound(figure("lblFound")),
      lblUnexpected(figure("lblUnexpected")),
      lblTwice(figure("lblTwice")),
      lblUnknown(figure("lblUnknown")),
      lblLastScan(named(new QLabel, "lblLastScan")),
      lblWaiting(named(new QLabel, "lblWaiting")),
      txtScan(named(new QLineEdit, "txtScan")),
      cmdScan(named(new QPushButton(QStringLiteral("Scan")), "cmdScan")),
      grdScans(grid("grdScans", {QStringLiteral("Time"), QStringLiteral("Code"), QStringLiteral("Result"),
                                 QStringLiteral("SKU"), QStringLiteral("Status"), QStringLiteral("Where"),
                                 QStringLiteral("User")})),
      grdParcels(grid("grdParcels", {QStringLiteral("SKU"), QStringLiteral("On hand ct"), QStringLiteral("Weighed ct"),
                                     QStringLiteral("Difference ct"), QString()})),
      txtParcelSKU(named(new QLineEdit, "txtParcelSKU")),
      txtWeighed(named(new QLineEdit, "txtWeighed")),
      cmdWeigh(named(new QPushButton(QStringLiteral("Weighed")), "cmdWeigh")),
      cmdReport(named(new QPushButton(QStringLiteral("Report...")), "cmdReport")),
      cmdCloseCount(named(new QPushButton(QStringLiteral("Close count...")), "cmdCloseCount")),
      cmdRefresh(named(new QPushButton(QStringLiteral("Refresh")), "cmdRefresh")),
      cmdExit(named(new QPushButton(QStringLiteral("Close window")), "cmdExit")),
      tmrRefresh(named(new QTimer(this), "tmrRefresh")),
      m_ctx(ctx),
      m_journal(ctx.workstation)
{
    setObjectName(QStringLiteral("frmStockCount"));
    setWindowFlag(Qt::Window);
    setWindowTitle(kTitle);
    txtName->setPlaceholderText(QStringLiteral("Name (optional)"));
    txtLocation->setPlaceholderText(QStringLiteral("Location (empty: every location)"));
    txtScan->setPlaceholderText(QStringLiteral("Scan a label, or type an SKU and press Enter"));
    txtParcelSKU->setPlaceholderText(QStringLiteral("Parcel SKU"));
    txtWeighed->setPlaceholderText(QStringLiteral("Carats weighed"));
    QFont big = lblLastScan->font();
    big.setPointSizeF(big.pointSizeF() * 1.3);
    lblLastScan->setFont(big);
    lblLastScan->setWordWrap(true);

    auto *root = new QVBoxLayout(this);

    auto *startBox = new QGroupBox(QStringLiteral("Count"));
    auto *sl = new QGridLayout(startBox);
    sl->addWidget(new QLabel(QStringLiteral("Open count")), 0, 0);
    sl->addWidget(cboCount, 0, 1, 1, 3);
    sl->addWidget(lblCount, 1, 1, 1, 3);
    sl->addWidget(new QLabel(QStringLiteral("New count")), 2, 0);
    sl->addWidget(txtName, 2, 1);
    sl->addWidget(txtLocation, 2, 2);
    auto *tol = new QHBoxLayout;
    tol->addWidget(new QLabel(QStringLiteral("Tolerance ct")));
    tol->addWidget(txtTolerance);
    sl->addLayout(tol, 2, 3);
    sl->addWidget(cmdStart, 2, 4);
    root->addWidget(startBox);

    auto *figures = new QHBoxLayout;
    auto addFigure = [&](const QString &caption, QLabel *l) {
        auto *box = new QVBoxLayout;
        box->addWidget(l, 0, Qt::AlignHCenter);
        box->addWidget(new QLabel(caption), 0, Qt::AlignHCenter);
        figures->addLayout(box);
    };
    addFigure(QStringLiteral("found"), lblFound);
    addFigure(QStringLiteral("expected"), lblExpected);
    addFigure(QStringLiteral("not expected"), lblUnexpected);
    addFigure(QStringLiteral("scanned twice"), lblTwice);
    addFigure(QStringLiteral("unknown codes"), lblUnknown);
    root->addLayout(figures);

    auto *scanRow = new QHBoxLayout;
    scanRow->addWidget(new QLabel(QStringLiteral("Scan")));
    scanRow->addWidget(txtScan, 1);
    scanRow->addWidget(cmdScan);
    root->addLayout(scanRow);
    root->addWidget(lblLastScan);
    root->addWidget(lblWaiting);
    root->addWidget(grdScans, 3);

    auto *parcelBox = new QGroupBox(QStringLiteral("Parcels"));
    auto *pl = new QVBoxLayout(parcelBox);
    pl->addWidget(grdParcels, 1);
    auto *weighRow = new QHBoxLayout;
    weighRow->addWidget(txtParcelSKU);
    weighRow->addWidget(txtWeighed);
    weighRow->addWidget(cmdWeigh);
    pl->addLayout(weighRow);
    root->addWidget(parcelBox, 2);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdRefresh);
    buttons->addStretch(1);
    buttons->addWidget(cmdReport);
    buttons->addWidget(cmdCloseCount);
    buttons->addWidget(cmdExit);
    root->addLayout(buttons);

    setTabOrder(cboCount, txtName);
    setTabOrder(txtName, txtLocation);
    setTabOrder(txtLocation, txtTolerance);
    setTabOrder(txtTolerance, cmdStart);
    setTabOrder(cmdStart, txtScan);
    setTabOrder(txtScan, cmdScan);
    setTabOrder(cmdScan, grdScans);
    setTabOrder(grdScans, grdParcels);
    setTabOrder(grdParcels, txtParcelSKU);
    setTabOrder(txtParcelSKU, txtWeighed);
    setTabOrder(txtWeighed, cmdWeigh);

    connect(cmdStart, &QPushButton::clicked, this, &frmStockCount::start);
    connect(txtScan, &QLineEdit::returnPressed, this, [this] {
        const QString code = txtScan->text();
        txtScan->clear();
        scanned(code, QStringLiteral("keyboard"));
    });
    connect(cmdScan, &QPushButton::clicked, this, [this] {
        const QString code = txtScan->text();
        txtScan->clear();
        scanned(code, QStringLiteral("keyboard"));
        txtScan->setFocus();
    });
    connect(txtWeighed, &QLineEdit::returnPressed, this, &frmStockCount::weigh);
    connect(cmdWeigh, &QPushButton::clicked, this, &frmStockCount::weigh);
    connect(grdParcels, &QTableWidget::itemSelectionChanged, this, [this] {
        const int row = grdParcels->currentRow();
        if (row >= 0 && grdParcels->item(row, 0))
            txtParcelSKU->setText(grdParcels->item(row, 0)->text());
    });
    connect(cmdReport, &QPushButton::clicked, this, &frmStockCount::showReport);
    connect(cmdCloseCount, &QPushButton::clicked, this, &frmStockCount::closeCount);
    connect(cmdRefresh, &QPushButton::clicked, this, &frmStockCount::refresh);
    connect(cmdExit, &QPushButton::clicked, this, &QWidget::close);
    connect(cboCount, &QComboBox::activated, this, [this](int i) { showCount(cboCount->itemData(i).toLongLong()); });
    connect(&m_ctx.events(), &ContextEvents::rightsChanged, this, [this] {
        if (m_countId && !m_closed && !m_desk)
            join();
        applyRights();
    });
    // Other workstations' scans, and a retry of what waits.
    tmrRefresh->setInterval(3000);
    connect(tmrRefresh, &QTimer::timeout, this, &frmStockCount::tick);
    tmrRefresh->start();
    m_soon = new QTimer(this);
    m_soon->setSingleShot(true);
    m_soon->setInterval(150);
    connect(m_soon, &QTimer::timeout, this, &frmStockCount::refresh);

    fillCounts();
    // The count of the last session when it is still open, else the newest open one.
    const qint64 last = m_ctx.workstation.readFirstLine(kLastCountFile).trimmed().toLongLong();
    int pick = cboCount->findData(last);
    if (pick < 0 && cboCount->count() > 0)
        pick = 0;
    if (pick >= 0) {
        cboCount->setCurrentIndex(pick);
        showCount(cboCount->itemData(pick).toLongLong());
    } else {
        showCount(0);
    }
    placeWindow(this, QSize(1000, 720));
}

void frmStockCount::fillCounts()
{
    cboCount->clear();
    try {
        for (const CountHeader &h : listCounts(m_ctx.db(), true))
            cboCount->addItem(QStringLiteral("%1 - %2%3")
                                  .arg(h.id)
                                  .arg(h.name, h.location.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(h.location)),
                              h.id);
    } catch (const db::DbError &) {
    }
    if (m_countId && cboCount->findData(m_countId) < 0 && m_closed) {
        // A closed count stays shown (read only) until another is chosen.
    }
    const int i = cboCount->findData(m_countId);
    if (i >= 0)
        cboCount->setCurrentIndex(i);
}

void frmStockCount::join()
{
    m_desk.reset();
    if (!m_countId || m_closed || !countWriteRefusal(m_ctx).isEmpty())
        return;
    QString why;
    m_desk = joinCount(m_ctx, m_countId, QSysInfo::machineHostName(), &why);
    if (m_desk)
        return;
    lblLastScan->setText(why);
    try {
        const auto h = loadCount(m_ctx.db(), m_countId);
        if (h && h->closed) {
            // Closed on another workstation: what waits here cannot go in any more.
            const QList<ScanInput> left = m_journal.waiting(m_countId);
            for (const ScanInput &s : left)
                m_journal.done(s.token);
            m_closed = true;
            if (!left.isEmpty())
                lblLastScan->setText(QStringLiteral("Stock count %1 was closed before %2 scans of this workstation "
                                                    "reached it; they were not written.")
                                         .arg(m_countId)
                                         .arg(left.size()));
        }
    } catch (const db::DbError &) {
    }
}

void frmStockCount::showCount(qint64 id)
{
    m_countId = id;
    m_closed = false;
    m_desk.reset();
    lblLastScan->clear();
    grdScans->setRowCount(0);
    grdParcels->setRowCount(0);
    if (id) {
        try {
            const auto h = loadCount(m_ctx.db(), id);
            if (!h) {
                m_countId = 0;
            } else {
                m_closed = h->closed;
                lblCount->setText(QStringLiteral("%1%2; started %3 by %4%5")
                                      .arg(h->name,
                                           h->location.isEmpty() ? QStringLiteral(" (every location)")
                                                                 : QStringLiteral(" (location %1)").arg(h->location),
                                           h->startedAt.toString(QStringLiteral("yyyy-MM-dd HH:mm")), h->startedBy,
                                           h->closed ? QStringLiteral("; closed") : QString()));
                m_ctx.workstation.writeLines(kLastCountFile, {QString::number(id)});
            }
        } catch (const db::DbError &e) {
            lblCount->setText(QStringLiteral("The count could not be read: ") + e.message());
        }
    }
    if (!m_countId)
        lblCount->setText(QStringLiteral("No count open: start one."));
    setWindowTitle(m_countId ? kTitle + QStringLiteral(" %1").arg(m_countId) : kTitle);
    join();
    applyRights();
    tick();
}

void frmStockCount::applyRights()
{
    const bool may = countWriteRefusal(m_ctx).isEmpty();
    const bool open = m_countId && !m_closed;
    cmdStart->setEnabled(may);
    txtName->setEnabled(may);
    txtLocation->setEnabled(may);
    txtTolerance->setEnabled(may);
    txtScan->setEnabled(may && open);
    cmdScan->setEnabled(txtScan->isEnabled());
    txtParcelSKU->setEnabled(may && open);
    txtWeighed->setEnabled(may && open);
    cmdWeigh->setEnabled(may && open);
    cmdCloseCount->setEnabled(may && open);
    cmdReport->setEnabled(m_countId != 0);
}

int frmStockCount::waitingScans() const
{
    return m_countId ? int(m_journal.waiting(m_countId).size()) : 0;
}

void frmStockCount::start()
{
    const CountOutcome o = startCount(m_ctx, txtName->text(), txtLocation->text(), txtTolerance->text());
    if (!o.ok) {
        m_ctx.prompt().inform(o.error, kTitle, Icon::Exclamation);
        return;
    }
    txtName->clear();
    txtLocation->clear();
    m_countId = o.id;
    fillCounts();
    showCount(o.id);
    txtScan->setFocus();
}

void frmStockCount::scanned(const QString &raw, const QString &source)
{
    const QString code = cleanCode(raw);
    if (code.isEmpty())
        return;
    if (!m_countId || m_closed) {
        lblLastScan->setText(m_countId ? QStringLiteral("Stock count %1 is closed: %2 was not written.").arg(m_countId).arg(code)
                                       : QStringLiteral("No count is open: %1 was not written.").arg(code));
        QApplication::beep();
        return;
    }
    const QString refusal = countWriteRefusal(m_ctx);
    if (!refusal.isEmpty()) {
        lblLastScan->setText(refusal + QStringLiteral(" %1 was not written.").arg(code));
        QApplication::beep();
        return;
    }
    // Noted first: a scan told is kept until the server has it.
    m_journal.tell(m_countId, code, source);
    if (!m_desk)
        join();
    sendWaiting();
}

void frmStockCount::tick()
{
    if (m_countId && !m_closed && !m_desk && waitingScans() > 0)
        join();
    if (m_desk && waitingScans() > 0)
        sendWaiting();
    else
        refresh();
}

void frmStockCount::sendWaiting()
{
    if (m_sending)
        return;
    if (!m_desk) {
        const int waiting = waitingScans();
        lblWaiting->setText(waiting ? QStringLiteral("%1 scans waiting for the server").arg(waiting) : QString());
        return;
    }
    m_sending = true;
    bool closedMeanwhile = false;
    for (const ScanInput &s : m_journal.waiting(m_countId)) {
        const ScanOutcome o = recordScan(m_ctx, *m_desk, s);
        if (o.state == ScanOutcome::Failed) {
            lblLastScan->setText(QStringLiteral("%1: the server cannot be reached; the scan is kept and sent again.")
                                     .arg(s.code));
            break;
        }
        m_journal.done(s.token);
        showOutcome(o);
        if (o.state == ScanOutcome::Refused && o.message.contains(QLatin1String("closed")))
            closedMeanwhile = true;
    }
    m_sending = false;
    const int waiting = waitingScans();
    lblWaiting->setText(waiting ? QStringLiteral("%1 scans waiting for the server").arg(waiting) : QString());
    if (closedMeanwhile) {
        m_closed = true;
        m_desk.reset();
        applyRights();
    }
    // The figures and the list follow within a moment (a burst of scans
    // from the serial scanner reads them once).
    if (!m_soon->isActive())
        m_soon->start();
}

void frmStockCount::showOutcome(const ScanOutcome &o)
{
    QString text;
    QString colour = QStringLiteral("#1b5e20");
    switch (o.state) {
    case ScanOutcome::Refused:
        text = QStringLiteral("%1: %2").arg(o.code, o.message);
        colour = QStringLiteral("#b71c1c");
        break;
    case ScanOutcome::Failed:
        text = QStringLiteral("%1: %2").arg(o.code, o.message);
        colour = QStringLiteral("#b71c1c");
        break;
    default:
        switch (o.result) {
        case ScanResult::Found:
            text = QStringLiteral("Found %1").arg(o.sku);
            break;
        case ScanResult::Twice:
            text = QStringLiteral("%1 was scanned before (counted once)").arg(o.sku);
            colour = QStringLiteral("#e65100");
            break;
        case ScanResult::Unexpected:
            text = QStringLiteral("Not expected: %1 is %2").arg(o.sku, o.place);
            colour = QStringLiteral("#b71c1c");
            break;
        case ScanResult::Unknown:
            text = QStringLiteral("No stone carries the code %1").arg(o.code);
            colour = QStringLiteral("#b71c1c");
            break;
        }
    }
    if (o.state != ScanOutcome::Written && o.state != ScanOutcome::AlreadyWritten)
        QApplication::beep();
    else if (o.result != ScanResult::Found)
        QApplication::beep();
    lblLastScan->setStyleSheet(QStringLiteral("color: %1").arg(colour));
    lblLastScan->setText(text);
}

void frmStockCount::refresh()
{
    if (!m_countId) {
        for (QLabel *l : {lblExpected, lblFound, lblUnexpected, lblTwice, lblUnknown})
            l->setText(QStringLiteral("0"));
        return;
    }
    try {
        const QSqlDatabase db = m_ctx.db();
        const CountFigures f = countFigures(db, m_countId);
        lblExpected->setText(QString::number(f.expected));
        lblFound->setText(QString::number(f.found));
        lblUnexpected->setText(QString::number(f.unexpected));
        lblTwice->setText(QString::number(f.twice));
        lblUnknown->setText(QString::number(f.unknown));
        const QList<ScanLine> scans = lastScans(db, m_countId, 50);
        grdScans->setRowCount(int(scans.size()));
        for (int i = 0; i < scans.size(); ++i) {
            const ScanLine &l = scans.at(i);
            const QStringList cells = {l.at.toString(QStringLiteral("HH:mm:ss")), l.code, scanResultWord(l.result), l.sku,
                                       l.status, l.place, l.user};
            for (int c = 0; c < cells.size(); ++c)
                grdScans->setItem(i, c, new QTableWidgetItem(cells.at(c)));
        }
        const auto header = loadCount(db, m_countId);
        const Decimal5 tolerance = header ? header->tolerance : Decimal5();
        if (header && header->closed && !m_closed) {
            m_closed = true;
            m_desk.reset();
            applyRights();
        }
        const QList<ParcelLine> parcels = countParcels(db, m_countId, m_closed);
        const int selected = grdParcels->currentRow();
        grdParcels->setRowCount(int(parcels.size()));
        for (int i = 0; i < parcels.size(); ++i) {
            const ParcelLine &p = parcels.at(i);
            const QStringList cells = {p.sku, p.onHand.fixed(2), p.weighed ? p.weighedCarats.fixed(2) : QString(),
                                       p.weighed ? p.difference().fixed(2) : QString(),
                                       !p.weighed                ? QString()
                                       : p.beyond(tolerance) ? QStringLiteral("beyond tolerance")
                                                              : QStringLiteral("ok")};
            for (int c = 0; c < cells.size(); ++c)
                grdParcels->setItem(i, c, new QTableWidgetItem(cells.at(c)));
        }
        if (selected >= 0 && selected < grdParcels->rowCount())
            grdParcels->selectRow(selected);
        grdScans->resizeColumnsToContents();
        grdParcels->resizeColumnsToContents();
    } catch (const db::DbError &e) {
        lblWaiting->setText(QStringLiteral("The count could not be read: ") + e.message());
    }
}

void frmStockCount::weigh()
{
    if (!m_countId)
        return;
    const WeighOutcome o = weighParcel(m_ctx, m_countId, txtParcelSKU->text(), txtWeighed->text());
    if (!o.ok) {
        m_ctx.prompt().inform(o.error, kTitle, Icon::Exclamation);
        return;
    }
    txtWeighed->clear();
    lblLastScan->setStyleSheet(QString());
    lblLastScan->setText(QStringLiteral("Parcel %1: weighed %2 ct, on hand %3 ct%4")
                             .arg(o.line.sku, o.line.weighedCarats.fixed(2), o.line.onHand.fixed(2),
                                  o.beyond ? QStringLiteral(", beyond the tolerance") : QString()));
    refresh();
}

void frmStockCount::closeCount()
{
    if (!m_countId || m_closed)
        return;
    sendWaiting();
    if (waitingScans() > 0
        && !m_ctx.prompt().askYesNo(QStringLiteral("%1 scans of this workstation have not reached the server yet. "
                                                   "Closing now leaves them out of the count.\n\nClose all the same?")
                                        .arg(waitingScans()),
                                    kTitle, Icon::Exclamation))
        return;
    if (!m_ctx.prompt().askYesNo(QStringLiteral("Close stock count %1? No scan or weighing can be written to it "
                                                "afterwards.")
                                     .arg(m_countId),
                                 kTitle, Icon::Question))
        return;
    const CountOutcome o = stones::closeCount(m_ctx, m_countId);
    if (!o.ok) {
        m_ctx.prompt().inform(o.error, kTitle, Icon::Exclamation);
        return;
    }
    for (const ScanInput &s : m_journal.waiting(m_countId))
        m_journal.done(s.token);
    m_closed = true;
    m_desk.reset();
    applyRights();
    refresh();
    fillCounts();
    showReport();
}

void frmStockCount::showReport()
{
    if (!m_countId)
        return;
    auto *r = new frmStockCountReport(m_ctx, m_countId, this);
    r->setAttribute(Qt::WA_DeleteOnClose);
    r->setWindowFlag(Qt::Window);
    placeWindow(r, QSize(980, 680), this);
    r->show();
    r->raise();
    r->activateWindow();
}

} // namespace velmor::ui
