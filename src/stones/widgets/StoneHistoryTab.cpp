#include "stones/widgets/StoneHistoryTab.h"

#include "core/Failures.h"
#include "core/AppContext.h"
#include "core/widgets/ListColumns.h"
#include "core/widgets/Named.h"
#include "db/Sql.h"
#include "printing/PrintJob.h"
#include "stones/StoneHistory.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QInputDialog>
#include <QTableWidget>
#include <QVBoxLayout>

namespace velmor::ui {

StoneHistoryTab::StoneHistoryTab(AppContext &ctx, QWidget *parent)
    : QTabWidget(parent), m_ctx(ctx), DataGrid1(named(new QTableWidget(this), "DataGrid1"))
{
    setObjectName(QStringLiteral("TabStrip1"));
    DataGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DataGrid1->setWordWrap(true);
    DataGrid1->verticalHeader()->hide();
    addTab(DataGrid1, QStringLiteral("History"));
    connect(this, &QTabWidget::currentChanged, this, [this] { showStone(m_stone); });
}

void StoneHistoryTab::showStone(qint64 stoneId)
{
    m_stone = stoneId;
    stones::StoneHistory h;
    if (stoneId > 0) {
        try {
            h = stones::loadStoneHistory(m_ctx.db(), stoneId);
        } catch (const db::DbError &e) {
            informFailure(m_ctx, QStringLiteral("The history of the Diamond could not be read"),
                          QStringLiteral("History"), e);
        }
    }
    DataGrid1->clear();
    DataGrid1->setColumnCount(int(h.columns.size()));
    DataGrid1->setHorizontalHeaderLabels(h.columns);
    DataGrid1->setRowCount(int(h.rows.size()));
    for (int r = 0; r < h.rows.size(); ++r)
        for (int c = 0; c < h.rows.at(r).size(); ++c) {
            auto *item = new QTableWidgetItem(h.rows.at(r).at(c));
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            DataGrid1->setItem(r, c, item);
        }
    // Every column in view, long names and states on two lines.
    fitColumnsToWidth(DataGrid1);
}

bool printMemoOutList(AppContext &ctx, QWidget *parent)
{
    const QString choiceFile = QStringLiteral("lastprinterformemoout.ini");
    const QStringList choices = printing::printerChoices(true);
    bool ok = false;
    const QString entry = QInputDialog::getItem(
        parent, QStringLiteral("Print Memo-Out List"), QStringLiteral("Printer"), choices,
        printing::choiceIndex(choices, printing::readPrinterChoice(ctx.workstation, choiceFile)), false, &ok);
    if (!ok)
        return false;
    QString pdf;
    if (entry == printing::kPdfEntry) {
        pdf = QFileDialog::getSaveFileName(parent, QStringLiteral("PDF file"), QStringLiteral("memo-out.pdf"),
                                           QStringLiteral("*.pdf"));
        if (pdf.isEmpty())
            return false;
    }
    printing::writePrinterChoice(ctx.workstation, choiceFile, entry);
    QList<stones::MemoOutCustomer> list;
    try {
        list = stones::loadMemoOutList(ctx.db());
    } catch (const db::DbError &e) {
        ctx.prompt().inform(QStringLiteral("The stones on memo could not be read: ") + e.message(),
                            QStringLiteral("Memo-Out List"), Icon::Exclamation);
        return false;
    }
    const printing::PrintOutcome out = printing::printDocument(
        printing::PrintTarget::fromEntry(entry, pdf),
        [&](printing::PrintSurface &s, QString *err) {
            return stones::drawMemoOutList(s, list, QDate::currentDate(), err);
        },
        QStringLiteral("Daily Memo Information Sheet"));
    if (!out.ok) {
        ctx.prompt().inform(QStringLiteral("The memo-out list was not printed: ") + out.error,
                            QStringLiteral("Memo-Out List"), Icon::Exclamation);
        return false;
    }
    ctx.prompt().notice(QStringLiteral("Document was sent to the Printer"));
    return true;
}

} // namespace velmor::ui
