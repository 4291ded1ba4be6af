#include "parcels/frmParcelHistoryMemo.h"

#include "core/AppContext.h"
#include "core/widgets/Named.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "parcels/Decimal5.h"

#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

namespace velmor::ui {

frmParcelHistoryMemo::frmParcelHistoryMemo(AppContext &ctx, qint64 parcelId, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmParcelHistoryMemo"));
    setWindowTitle(QStringLiteral("Parcel on Memo"));
    auto *root = new QVBoxLayout(this);
    grdHolders = named(new QTableWidget(0, 2, this), "grdHolders");
    grdHolders->setHorizontalHeaderLabels({QStringLiteral("Carat"), QStringLiteral("Vendor/Customer")});
    grdHolders->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdHolders->verticalHeader()->hide();
    root->addWidget(grdHolders);
    try {
        // Summed and compared exactly; rounded only for the display, so that
        // 0.004 ct still out is listed.
        QSqlQuery q = db::exec(ctx.db(),
                               QStringLiteral("SELECT CAST(SUM(memoparcellist.carat) AS CHAR), customer.CompanyName "
                                              "FROM memoparcel LEFT OUTER JOIN customer ON memoparcel.CustomerID = "
                                              "customer.id INNER JOIN memoparcellist ON memoparcel.id = "
                                              "memoparcellist.memoparcelid WHERE memoparcellist.ParcelID = ? "
                                              "GROUP BY memoparcel.CustomerID HAVING SUM(memoparcellist.carat) <> 0 "
                                              "ORDER BY customer.CompanyName"),
                               {parcelId});
        while (q.next()) {
            const int r = grdHolders->rowCount();
            grdHolders->insertRow(r);
            grdHolders->setItem(r, 0, new QTableWidgetItem(parcels::Decimal5::fromDb(q.value(0)).fixed(2)));
            grdHolders->setItem(r, 1, new QTableWidgetItem(db::textOf(q.value(1))));
        }
    } catch (const db::DbError &e) {
        ctx.prompt().inform(e.message(), windowTitle(), Icon::Critical);
    }
    grdHolders->resizeColumnsToContents();
    resize(420, 320);
}

} // namespace velmor::ui
