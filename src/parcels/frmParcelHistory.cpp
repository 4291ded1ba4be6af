#include "parcels/frmParcelHistory.h"

#include "core/widgets/RightsOnScreen.h"
#include "core/Failures.h"
#include "core/AppContext.h"
#include "core/widgets/Named.h"
#include "db/Sql.h"
#include "parcels/ParcelRecord.h"
#include "parcels/frmParcelHistoryMemo.h"

#include <QHeaderView>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace velmor::ui {

frmParcelHistory::frmParcelHistory(AppContext &ctx, qint64 parcelId, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmParcelHistory"));
    setWindowTitle(QStringLiteral("Parcel History"));
    auto *root = new QVBoxLayout(this);
    grdHistory = named(new QTableWidget(0, 6, this), "grdHistory");
    grdHistory->setHorizontalHeaderLabels({QStringLiteral("Date"), QStringLiteral("Carat"), QStringLiteral("Cost US$/ct"),
                                           QStringLiteral("Action"), QStringLiteral("Vendor/Customer"),
                                           QStringLiteral("Name")});
    grdHistory->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdHistory->verticalHeader()->hide();
    root->addWidget(grdHistory);
    imgHistoryMemo = named(new QPushButton(QStringLiteral("Memo history"), this), "imgHistoryMemo");
    connect(imgHistoryMemo, &QPushButton::clicked, this, [this, &ctx, parcelId] {
        auto *holders = new frmParcelHistoryMemo(ctx, parcelId, this);
        holders->setAttribute(Qt::WA_DeleteOnClose);
        holders->show();
    });
    root->addWidget(imgHistoryMemo);
    QList<parcels::JournalRow> rows;
    try {
        rows = parcels::parcelJournal(ctx.db(), parcelId);
    } catch (const db::DbError &e) {
        informFailure(ctx, QStringLiteral("The history of the parcel could not be read"), QStringLiteral("History"), e);
    }
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    grdHistory->setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r) {
        const parcels::JournalRow &j = rows.at(r);
        const QStringList cells = {us.toString(j.date, QStringLiteral("MMM dd, yyyy   H:mm")), j.carat.fixed(2),
                                   j.hasCost ? j.costUS.fixed(2) : QString(), j.action, j.party, j.user};
        for (int c = 0; c < cells.size(); ++c)
            grdHistory->setItem(r, c, new QTableWidgetItem(cells.at(c)));
    }
    grdHistory->resizeColumnsToContents();
    // The cost of each lot is seen with the right to see costs only.
    followRights(ctx, this, [this, c = &ctx] { grdHistory->setColumnHidden(2, !c->user.ViewCost); });
    resize(720, 420);
}

} // namespace velmor::ui
