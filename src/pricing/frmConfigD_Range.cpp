#include "pricing/frmConfigD_Range.h"

#include "core/AppContext.h"
#include "core/Figures.h"
#include "core/Users.h"
#include "core/widgets/AdministratorOnly.h"
#include "core/widgets/Named.h"
#include "core/widgets/NumberBox.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "pricing/ClassTables.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace velmor::pricing {

frmConfigD_Range::frmConfigD_Range(AppContext &ctx, QWidget *parent) : QWidget(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmConfigD_Range"));
    setWindowTitle(QStringLiteral("Diameter Ranges"));
    ui::administratorOnly(ctx, this);
    txtID = named(new QLineEdit(QStringLiteral("0")), "txtID");
    txtID->hide();
    txtClass = named(new QLineEdit, "txtClass");
    txtCaratLow = named(new QLineEdit, "txtCaratLow");
    txtCaratHigh = named(new QLineEdit, "txtCaratHigh");
    txtMarkup = named(new QLineEdit, "txtMarkup");
    for (QLineEdit *e : {txtCaratLow, txtCaratHigh, txtMarkup})
        numberBox(e);
    Flex = named(new QTableWidget(0, 5), "Flex");
    Flex->setHorizontalHeaderLabels({QStringLiteral("ID"), QStringLiteral("Class"), QStringLiteral("Carat Low"),
                                     QStringLiteral("Carat High"), QStringLiteral("Markup")});
    Flex->setSelectionBehavior(QAbstractItemView::SelectRows);
    Flex->setSelectionMode(QAbstractItemView::SingleSelection);
    Flex->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Flex->verticalHeader()->hide();
    Option1 = named(new QRadioButton(QStringLiteral("by class")), "Option1");
    Option2 = named(new QRadioButton(QStringLiteral("by carat")), "Option2");
    Option1->setChecked(true);
    cmdAdd = named(new QPushButton(QStringLiteral("Add")), "cmdAdd");
    cmdAddCopy = named(new QPushButton(QStringLiteral("Add copy")), "cmdAddCopy");
    cmdEditDiamond = named(new QPushButton(QStringLiteral("Edit")), "cmdEditDiamond");
    cmdCancel = named(new QPushButton(QStringLiteral("Cancel")), "cmdCancel");
    cmdUpdate = named(new QPushButton(QStringLiteral("Save")), "cmdUpdate");
    cmdRefresh = named(new QPushButton(QStringLiteral("Update parcels")), "cmdRefresh");
    cmdHome = named(new QPushButton(QStringLiteral("Home")), "cmdHome");

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Class"), txtClass);
    form->addRow(QStringLiteral("Carat low"), txtCaratLow);
    form->addRow(QStringLiteral("Carat high"), txtCaratHigh);
    form->addRow(QStringLiteral("Markup"), txtMarkup);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {cmdAdd, cmdAddCopy, cmdEditDiamond, cmdCancel, cmdUpdate, cmdRefresh, cmdHome})
        buttons->addWidget(b);
    auto *order = new QHBoxLayout;
    order->addWidget(Option1);
    order->addWidget(Option2);
    order->addStretch();
    auto *l = new QVBoxLayout(this);
    l->addLayout(form);
    l->addLayout(buttons);
    l->addLayout(order);
    l->addWidget(Flex, 1);

    connect(cmdAdd, &QPushButton::clicked, this, [this] { add(false); });
    connect(cmdAddCopy, &QPushButton::clicked, this, [this] { add(true); });
    connect(cmdEditDiamond, &QPushButton::clicked, this, &frmConfigD_Range::editSelected);
    connect(cmdCancel, &QPushButton::clicked, this, [this] {
        txtID->setText(QStringLiteral("0"));
        txtClass->clear();
    });
    connect(cmdUpdate, &QPushButton::clicked, this, &frmConfigD_Range::update);
    connect(cmdRefresh, &QPushButton::clicked, this, &frmConfigD_Range::refreshParcels);
    connect(cmdHome, &QPushButton::clicked, this, &QWidget::close);
    connect(Option1, &QRadioButton::toggled, this, &frmConfigD_Range::reloadGrid);
    reloadGrid();
}

void frmConfigD_Range::reloadGrid()
{
    Flex->setRowCount(0);
    try {
        const auto rows = sizeRangeGrid(m_ctx.db(), Option2->isChecked());
        Flex->setRowCount(rows.size());
        for (int r = 0; r < rows.size(); ++r)
            for (int c = 0; c < rows[r].size(); ++c)
                Flex->setItem(r, c, new QTableWidgetItem(rows[r][c]));
    } catch (const db::DbError &) {
    }
}

void frmConfigD_Range::add(bool keepValues)
{
    txtID->setText(QStringLiteral("0"));
    txtClass->clear();
    if (!keepValues)
        for (QLineEdit *e : {txtCaratLow, txtCaratHigh, txtMarkup})
            e->clear();
    txtClass->setFocus();
}

void frmConfigD_Range::editSelected()
{
    const auto sel = Flex->selectionModel() ? Flex->selectionModel()->selectedRows() : QModelIndexList();
    if (sel.isEmpty() || !Flex->item(sel.first().row(), 0)) {
        m_ctx.prompt().inform(QStringLiteral("Nothing selected!"), QStringLiteral("Velmor"), Icon::Exclamation);
        return;
    }
    try {
        const SizeRange r = loadSizeRange(m_ctx.db(), Flex->item(sel.first().row(), 0)->text().toLongLong());
        txtID->setText(QString::number(r.id));
        txtClass->setText(r.name);
        txtCaratLow->setText(QString::number(r.caratA, 'f', 2));
        txtCaratHigh->setText(QString::number(r.caratB, 'f', 2));
        txtMarkup->setText(QString::number(r.markup, 'f', 2));
    } catch (const db::DbError &) {
    }
}

void frmConfigD_Range::update()
{
    if (!checkRight(m_ctx, QStringLiteral("Administrator")))
        return;
    SizeRange r;
    r.id = txtID->text().toLongLong();
    r.name = txtClass->text();
    figures::Reader read(m_ctx.db(), QStringLiteral("DRange"));
    r.caratA = read.number(txtCaratLow->text(), QStringLiteral("Carat low"), QStringLiteral("CaratLow"), figures::Need::NotNegative);
    r.caratB = read.number(txtCaratHigh->text(), QStringLiteral("Carat high"), QStringLiteral("CaratHigh"), figures::Need::Positive);
    r.markup = read.number(txtMarkup->text(), QStringLiteral("Markup"), QStringLiteral("Markup"));
    if (!read.ok()) {
        m_ctx.prompt().inform(read.error(), QStringLiteral("Velmor"), Icon::Exclamation);
        return;
    }
    try {
        saveSizeRange(m_ctx.db(), r);
    } catch (const db::DbError &) {
        m_ctx.prompt().inform(QStringLiteral("The range could not be saved."), QStringLiteral("Velmor"),
                              Icon::Exclamation);
        return;
    }
    txtID->setText(QStringLiteral("0"));
    txtClass->clear();
    reloadGrid();
}

void frmConfigD_Range::refreshParcels()
{
    if (!checkRight(m_ctx, QStringLiteral("Administrator")))
        return;
    try {
        pushMarkupsToParcels(m_ctx.db());
    } catch (const db::DbError &) {
        m_ctx.prompt().inform(QStringLiteral("The parcels could not be updated."), QStringLiteral("Velmor"),
                              Icon::Exclamation);
        return;
    }
    m_ctx.prompt().inform(QStringLiteral("done!"), QStringLiteral("Velmor"), Icon::Information);
}

} // namespace velmor::pricing
