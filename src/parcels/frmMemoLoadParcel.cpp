#include "parcels/frmMemoLoadParcel.h"

#include "core/Failures.h"
#include "core/AppContext.h"
#include "core/ChangeEvents.h"
#include "core/widgets/Named.h"
#include "db/Sql.h"
#include "parcels/ParcelMemo.h"
#include "parcels/frmMemoParcelSheet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace velmor::ui {

frmMemoLoadParcel::frmMemoLoadParcel(AppContext &ctx, QWidget *parent) : QWidget(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmMemoLoadParcel"));
    setWindowFlag(Qt::Window);
    setWindowTitle(QStringLiteral("Find Parcel Memo"));
    auto *root = new QVBoxLayout(this);
    auto *filters = new QHBoxLayout;
    chkOnlyOpen = named(new QCheckBox(QStringLiteral("only open memos"), this), "chkOnlyOpen");
    chkOnlyOpen->setChecked(true);
    optAllCustomers = named(new QRadioButton(QStringLiteral("all customers"), this), "optAllCustomers");
    optThisCustomer = named(new QRadioButton(QStringLiteral("this customer"), this), "optThisCustomer");
    optAllCustomers->setChecked(true);
    cboCustomer = named(new QComboBox(this), "cboCustomer");
    try {
        cboCustomer->addItems(parcels::customerEntries(ctx.db()));
    } catch (const db::DbError &) {
    }
    for (QWidget *w : {static_cast<QWidget *>(chkOnlyOpen), static_cast<QWidget *>(optAllCustomers),
                       static_cast<QWidget *>(optThisCustomer), static_cast<QWidget *>(cboCustomer)})
        filters->addWidget(w);
    root->addLayout(filters);
    grdMemos = named(new QTableWidget(0, 5, this), "grdMemos");
    grdMemos->setHorizontalHeaderLabels({QStringLiteral("Memo #"), QStringLiteral("Customer"), QStringLiteral("Memo Date"),
                                         QStringLiteral("CustomerID"), QStringLiteral("Status")});
    grdMemos->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdMemos->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdMemos->verticalHeader()->hide();
    root->addWidget(grdMemos);
    connect(chkOnlyOpen, &QCheckBox::toggled, this, &frmMemoLoadParcel::reload);
    connect(optThisCustomer, &QRadioButton::toggled, this, &frmMemoLoadParcel::reload);
    connect(cboCustomer, &QComboBox::currentIndexChanged, this, &frmMemoLoadParcel::reload);
    connect(grdMemos, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { openMemo(row); });
    // A parcel memo opened, moved or closed, or a customer renamed, on any
    // screen of this workstation.
    connect(&changeEvents(ctx), &ChangeEvents::parcelMemoChanged, this, &frmMemoLoadParcel::reload);
    connect(&changeEvents(ctx), &ChangeEvents::customerChanged, this, &frmMemoLoadParcel::reload);
    resize(640, 420);
    reload();
}

void frmMemoLoadParcel::reload()
{
    const qint64 customer =
        optThisCustomer->isChecked() ? cboCustomer->currentText().section(QStringLiteral("--- "), -1).toLongLong() : 0;
    QList<parcels::ParcelMemoListRow> rows;
    try {
        if (!optThisCustomer->isChecked() || customer)
            rows = parcels::parcelMemoList(m_ctx.db(), chkOnlyOpen->isChecked(), customer);
    } catch (const db::DbError &e) {
        informFailure(m_ctx, QStringLiteral("The parcel memos could not be read"), QStringLiteral("Parcel Memo"), e);
    }
    grdMemos->setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r) {
        const auto &m = rows.at(r);
        const QStringList cells = {QString::number(m.memoId), m.customer, m.memoDate, QString::number(m.customerId),
                                   m.status};
        for (int c = 0; c < cells.size(); ++c)
            grdMemos->setItem(r, c, new QTableWidgetItem(cells.at(c)));
    }
    grdMemos->resizeColumnsToContents();
}

frmMemoParcelSheet *frmMemoLoadParcel::openMemo(int row)
{
    if (row < 0 || row >= grdMemos->rowCount())
        return nullptr;
    auto *s = new frmMemoParcelSheet(m_ctx, grdMemos->item(row, 0)->text().toLongLong(), parentWidget());
    s->setAttribute(Qt::WA_DeleteOnClose);
    connect(s, &frmMemoParcelSheet::memoChanged, this, [this] {
        reload();
        emit memoChanged();
    });
    s->show();
    return s;
}

} // namespace velmor::ui
