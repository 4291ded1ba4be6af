#include "stones/frmStoneChange.h"

#include "core/Failures.h"
#include "core/AppContext.h"
#include "core/widgets/WindowPlacement.h"
#include "db/Sql.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace velmor::ui {

namespace {
// Twips to pixels at the usual 15 twips a pixel.
int px(int twips) { return twips / 15; }
} // namespace

frmStoneChange::frmStoneChange(AppContext &ctx, QWidget *parent) : QMainWindow(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmStoneChange"));
    setWindowTitle(QStringLiteral("Stone Change History"));
    setWindowFlag(Qt::Window);
    QAction *exit = menuBar()->addAction(QStringLiteral("E&xit"));
    exit->setObjectName(QStringLiteral("mnuExit"));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    auto *central = new QWidget(this);
    setCentralWidget(central);
    auto *v = new QVBoxLayout(central);
    auto *top = new QHBoxLayout;
    cboStone = new QComboBox(central);
    cboStone->setObjectName(QStringLiteral("cboStone"));
    cboStone->setMinimumWidth(380);
    txtStoneID = new QLineEdit(central);
    txtStoneID->setObjectName(QStringLiteral("txtStoneID"));
    txtStoneID->setVisible(false);
    chkDateRange = new QCheckBox(QStringLiteral("Date range"), central);
    chkDateRange->setObjectName(QStringLiteral("chkDateRange"));
    dtDay1 = new QDateEdit(QDate::currentDate(), central);
    dtDay1->setObjectName(QStringLiteral("dtDay1"));
    dtDay1->setCalendarPopup(true);
    dtDay2 = new QDateEdit(QDate::currentDate(), central);
    dtDay2->setObjectName(QStringLiteral("dtDay2"));
    dtDay2->setCalendarPopup(true);
    chkBasicView = new QCheckBox(QStringLiteral("Basic view"), central);
    chkBasicView->setObjectName(QStringLiteral("chkBasicView"));
    cmdExport = new QPushButton(QStringLiteral("Export..."), central);
    cmdExport->setObjectName(QStringLiteral("cmdExport"));
    cmdBack = new QPushButton(QStringLiteral("Back"), central);
    cmdBack->setObjectName(QStringLiteral("cmdBack"));
    top->addWidget(new QLabel(QStringLiteral("Stone"), central));
    top->addWidget(cboStone, 1);
    top->addWidget(chkDateRange);
    top->addWidget(dtDay1);
    top->addWidget(new QLabel(QStringLiteral("to"), central));
    top->addWidget(dtDay2);
    top->addWidget(chkBasicView);
    top->addWidget(cmdExport);
    top->addWidget(cmdBack);
    v->addLayout(top);
    // With tracking off no new rows are written: the screen says so.
    lblTrackingOff = new QLabel(QStringLiteral("The tracking of changes is switched off: changes to stones are not "
                                               "recorded. Switch on \"enable the Tracking of Changes that were done "
                                               "to a Stone\" in the configuration to record them."),
                                central);
    lblTrackingOff->setObjectName(QStringLiteral("lblTrackingOff"));
    lblTrackingOff->setWordWrap(true);
    lblTrackingOff->setStyleSheet(QStringLiteral("QLabel { background: #fff3cd; padding: 6px; }"));
    v->addWidget(lblTrackingOff);
    Grid = new QTableWidget(central);
    Grid->setObjectName(QStringLiteral("Grid"));
    Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    v->addWidget(Grid, 1);

    connect(cboStone, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (m_filling)
            return;
        const qint64 id = i <= 0 ? 0 : stones::stoneIdOfPickerEntry(cboStone->itemText(i));
        txtStoneID->setText(id ? QString::number(id) : QString());
    });
    connect(txtStoneID, &QLineEdit::textChanged, this, &frmStoneChange::reload);
    connect(chkDateRange, &QCheckBox::toggled, this, &frmStoneChange::reload);
    connect(dtDay1, &QDateEdit::dateChanged, this, [this] {
        if (chkDateRange->isChecked())
            reload();
    });
    connect(dtDay2, &QDateEdit::dateChanged, this, [this] {
        if (chkDateRange->isChecked())
            reload();
    });
    connect(chkBasicView, &QCheckBox::toggled, this, &frmStoneChange::applyBasicView);
    connect(cmdBack, &QPushButton::clicked, this, &QWidget::close);
    connect(cmdExport, &QPushButton::clicked, this, [this] {
        QString name = chooseExportFile
            ? chooseExportFile(this)
            : QFileDialog::getSaveFileName(this, QStringLiteral("Export"), QString(), QStringLiteral("*.csv"));
        // The dialog's choice gets the extension of its filter.
        if (!name.isEmpty() && !name.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
            name += QStringLiteral(".csv");
        if (!name.isEmpty())
            exportTo(name);
    });
    placeWindow(this, QSize(1200, 600), parent);
}

void frmStoneChange::showEvent(QShowEvent *e)
{
    QMainWindow::showEvent(e);
    activate();
}

void frmStoneChange::activate()
{
    lblTrackingOff->setVisible(!m_ctx.settings.StoneChange);
    m_filling = true;
    const QString keep = txtStoneID->text();
    cboStone->clear();
    try {
        cboStone->addItems(stones::stonePickerEntries(m_ctx));
    } catch (const db::DbError &) {
    }
    m_filling = false;
    reload();
    Q_UNUSED(keep);
}

void frmStoneChange::reload()
{
    stones::ChangeLogFilter f;
    f.stoneId = txtStoneID->text().toLongLong();
    f.dateRange = chkDateRange->isChecked();
    f.from = dtDay1->date();
    f.to = dtDay2->date();
    try {
        m_grid = stones::loadChangeLog(m_ctx, f);
    } catch (const db::DbError &e) {
        m_grid = stones::ChangeLogGrid();
        informFailure(m_ctx, QStringLiteral("The change log could not be read"), QStringLiteral("Change Log"), e);
    }
    Grid->clear();
    Grid->setColumnCount(m_grid.headers.size());
    Grid->setHorizontalHeaderLabels(m_grid.headers);
    Grid->setRowCount(m_grid.rows.size());
    for (int r = 0; r < m_grid.rows.size(); ++r)
        for (int c = 0; c < m_grid.rows.at(r).size(); ++c)
            Grid->setItem(r, c, new QTableWidgetItem(m_grid.rows.at(r).at(c)));
    applyBasicView();
}

void frmStoneChange::applyBasicView()
{
    const QList<int> hidden = stones::basicViewHiddenColumns();
    for (int c = 0; c < Grid->columnCount(); ++c) {
        const bool hide = chkBasicView->isChecked() && hidden.contains(c);
        Grid->setColumnHidden(c, hide);
        // The set width, widened to the column's contents (dates, carats).
        if (hide)
            continue;
        Grid->resizeColumnToContents(c);
        Grid->setColumnWidth(c, qMax(px(m_grid.widths.value(c, 1000)), Grid->columnWidth(c)));
    }
}

void frmStoneChange::exportTo(const QString &fileName)
{
    QString why;
    const QString written = stones::exportChangeLog(m_grid, fileName, &why);
    if (written.isEmpty()) {
        m_ctx.prompt().inform(QStringLiteral("The List could not be written into ") + fileName + QStringLiteral(": ") + why,
                              QStringLiteral("Export"), Icon::Exclamation);
        return;
    }
    m_ctx.prompt().inform(QStringLiteral("The List has been exported into ") + written, QStringLiteral("Export"),
                          Icon::Information);
}

} // namespace velmor::ui
