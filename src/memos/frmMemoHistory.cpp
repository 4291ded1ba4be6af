#include "memos/frmMemoHistory.h"

#include "core/Failures.h"
#include "core/AppContext.h"
#include "core/widgets/Named.h"
#include "db/Sql.h"
#include "memos/MemoLists.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace velmor::ui {

namespace {
void fill(QTableWidget *grid, const memos::Table &t)
{
    grid->clear();
    grid->setColumnCount(int(t.headers.size()));
    grid->setHorizontalHeaderLabels(t.headers);
    grid->setRowCount(int(t.rows.size()));
    for (int r = 0; r < t.rows.size(); ++r)
        for (int c = 0; c < t.rows[r].size(); ++c)
            grid->setItem(r, c, new QTableWidgetItem(t.rows[r][c]));
    grid->resizeColumnsToContents();
}

QTableWidget *makeGrid(QWidget *parent)
{
    auto *grid = named(new QTableWidget(parent), "Grid");
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    return grid;
}
} // namespace

frmMemoHistory::frmMemoHistory(AppContext &ctx, qint64 customerId, QWidget *parent)
    : QWidget(parent), m_ctx(ctx), m_customer(customerId)
{
    setObjectName(QStringLiteral("frmMemoHistory"));
    setWindowTitle(QStringLiteral("Memo History"));
    auto *top = new QVBoxLayout(this);
    auto *opts = new QHBoxLayout;
    auto *stones = named(new QRadioButton(QStringLiteral("Diamonds"), this), "Option1");
    auto *parcels = named(new QRadioButton(QStringLiteral("Parcels"), this), "Option2");
    stones->setChecked(true);
    opts->addWidget(stones);
    opts->addWidget(parcels);
    opts->addStretch();
    top->addLayout(opts);
    top->addWidget(makeGrid(this), 1);
    connect(stones, &QRadioButton::toggled, this, [this](bool on) { on ? showStones() : showParcels(); });
    showStones();
}

void frmMemoHistory::showStones()
{
    memos::Table t;
    try {
        t = memos::memoHistoryStones(m_ctx, m_customer);
    } catch (const db::DbError &e) {
        informFailure(m_ctx, QStringLiteral("The memo history could not be read"), QStringLiteral("Memo History"), e);
    }
    fill(findChild<QTableWidget *>(QStringLiteral("Grid")), t);
}

void frmMemoHistory::showParcels()
{
    memos::Table t;
    try {
        t = memos::memoHistoryParcels(m_ctx, m_customer);
    } catch (const db::DbError &e) {
        informFailure(m_ctx, QStringLiteral("The memo history could not be read"), QStringLiteral("Memo History"), e);
    }
    fill(findChild<QTableWidget *>(QStringLiteral("Grid")), t);
}

frmDiamondsOnMemo::frmDiamondsOnMemo(AppContext &ctx, qint64 customerId, QWidget *parent) : QWidget(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmDiamondsOnMemo"));
    setWindowTitle(QStringLiteral("Diamonds on Memo"));
    auto *top = new QVBoxLayout(this);
    auto *grid = makeGrid(this);
    top->addWidget(grid);
    memos::Table t;
    try {
        t = memos::diamondsOnMemo(m_ctx, customerId);
    } catch (const db::DbError &e) {
        informFailure(m_ctx, QStringLiteral("The Diamonds on memo could not be read"), QStringLiteral("Memo"), e);
    }
    m_ids = t.ids;
    fill(grid, t);
    connect(grid, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { openRow(row); });
}

void frmDiamondsOnMemo::openRow(int row)
{
    if (row >= 0 && row < m_ids.size())
        m_ctx.screens().openStone(m_ids[row]);
}

} // namespace velmor::ui
