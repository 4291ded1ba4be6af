#include "pricing/frmConfigQs.h"

#include "core/AppContext.h"
#include "core/Users.h"
#include "core/widgets/AdministratorOnly.h"
#include "core/widgets/ListColumns.h"
#include "core/widgets/Named.h"
#include "db/Sql.h"
#include "pricing/ClassTables.h"
#include "pricing/Grades.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace velmor::pricing {

namespace {
void selectGrade(QComboBox *c, int number)
{
    for (int i = 0; i < c->count(); ++i)
        if (!c->itemText(i).isEmpty() && gradeNumberOfEntry(c->itemText(i)) == number) {
            c->setCurrentIndex(i);
            return;
        }
    c->setCurrentIndex(0);
}
} // namespace

frmConfigQs::frmConfigQs(AppContext &ctx, QWidget *parent) : QWidget(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmConfigQs"));
    setWindowTitle(QStringLiteral("Quality Classes"));
    ui::administratorOnly(ctx, this);
    txtID = named(new QLineEdit(QStringLiteral("0")), "txtID");
    txtID->hide();
    txtClass = named(new QLineEdit, "txtClass");
    cboColourHigh = named(new QComboBox, "cboColourHigh");
    cboColourLow = named(new QComboBox, "cboColourLow");
    cboClarityHigh = named(new QComboBox, "cboClarityHigh");
    cboClarityLow = named(new QComboBox, "cboClarityLow");
    Flex = named(new QTableWidget(0, 6), "Flex");
    Flex->setHorizontalHeaderLabels({QStringLiteral("ID"), QStringLiteral("Class"), QStringLiteral("Colour High"),
                                     QStringLiteral("Colour Low"), QStringLiteral("Clarity High"),
                                     QStringLiteral("Clarity Low")});
    Flex->setSelectionBehavior(QAbstractItemView::SelectRows);
    Flex->setSelectionMode(QAbstractItemView::SingleSelection);
    Flex->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Flex->verticalHeader()->hide();
    Option1 = named(new QRadioButton(QStringLiteral("by class")), "Option1");
    Option2 = named(new QRadioButton(QStringLiteral("by colour")), "Option2");
    Option1->setChecked(true);
    cmdAdd = named(new QPushButton(QStringLiteral("Add")), "cmdAdd");
    cmdAddCopy = named(new QPushButton(QStringLiteral("Add copy")), "cmdAddCopy");
    cmdEditDiamond = named(new QPushButton(QStringLiteral("Edit")), "cmdEditDiamond");
    cmdCancel = named(new QPushButton(QStringLiteral("Cancel")), "cmdCancel");
    cmdUpdate = named(new QPushButton(QStringLiteral("Save")), "cmdUpdate");
    cmdHome = named(new QPushButton(QStringLiteral("Home")), "cmdHome");

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Class"), txtClass);
    form->addRow(QStringLiteral("Colour from"), cboColourHigh);
    form->addRow(QStringLiteral("Colour to"), cboColourLow);
    form->addRow(QStringLiteral("Clarity from"), cboClarityHigh);
    form->addRow(QStringLiteral("Clarity to"), cboClarityLow);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {cmdAdd, cmdAddCopy, cmdEditDiamond, cmdCancel, cmdUpdate, cmdHome})
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
    connect(cmdEditDiamond, &QPushButton::clicked, this, &frmConfigQs::editSelected);
    connect(cmdCancel, &QPushButton::clicked, this, [this] {
        txtID->setText(QStringLiteral("0"));
        txtClass->clear();
    });
    connect(cmdUpdate, &QPushButton::clicked, this, &frmConfigQs::update);
    connect(cmdHome, &QPushButton::clicked, this, &QWidget::close);
    connect(Option1, &QRadioButton::toggled, this, &frmConfigQs::reloadGrid);
    fillCombos();
    reloadGrid();
}

void frmConfigQs::fillCombos()
{
    try {
        const QStringList colours = gradeComboEntries(m_ctx.db(), GradeKind::Colour, m_ctx.settings.DontUseSplits);
        const QStringList clarities = gradeComboEntries(m_ctx.db(), GradeKind::Clarity, m_ctx.settings.DontUseSplits);
        for (QComboBox *c : {cboColourHigh, cboColourLow}) {
            c->clear();
            c->addItems(colours);
        }
        for (QComboBox *c : {cboClarityHigh, cboClarityLow}) {
            c->clear();
            c->addItems(clarities);
        }
    } catch (const db::DbError &) {
    }
}

void frmConfigQs::reloadGrid()
{
    Flex->setRowCount(0);
    try {
        const auto rows = qualityClassGrid(m_ctx.db(), Option2->isChecked());
        Flex->setRowCount(rows.size());
        for (int r = 0; r < rows.size(); ++r)
            for (int c = 0; c < rows[r].size(); ++c)
                Flex->setItem(r, c, new QTableWidgetItem(rows[r][c]));
    } catch (const db::DbError &) {
    }
    ui::showAllColumns(Flex);
}

void frmConfigQs::add(bool keepRanges)
{
    txtID->setText(QStringLiteral("0"));
    txtClass->clear();
    if (!keepRanges)
        for (QComboBox *c : {cboColourHigh, cboColourLow, cboClarityHigh, cboClarityLow})
            c->setCurrentIndex(0);
    txtClass->setFocus();
}

void frmConfigQs::editSelected()
{
    const auto sel = Flex->selectionModel() ? Flex->selectionModel()->selectedRows() : QModelIndexList();
    if (sel.isEmpty() || !Flex->item(sel.first().row(), 0)) {
        m_ctx.prompt().inform(QStringLiteral("Nothing selected!"), QStringLiteral("Velmor"), Icon::Exclamation);
        return;
    }
    const qint64 id = Flex->item(sel.first().row(), 0)->text().toLongLong();
    try {
        const QualityClass c = loadQualityClass(m_ctx.db(), id);
        txtID->setText(QString::number(c.id));
        txtClass->setText(c.name);
        selectGrade(cboColourHigh, c.colourA);
        selectGrade(cboColourLow, c.colourB);
        selectGrade(cboClarityHigh, c.clarityA);
        selectGrade(cboClarityLow, c.clarityB);
    } catch (const db::DbError &) {
    }
}

void frmConfigQs::update()
{
    if (!checkRight(m_ctx, QStringLiteral("Administrator")))
        return;
    QualityClass c;
    c.id = txtID->text().toLongLong();
    c.name = txtClass->text();
    c.colourA = gradeNumberOfEntry(cboColourHigh->currentText());
    c.colourB = gradeNumberOfEntry(cboColourLow->currentText());
    c.clarityA = gradeNumberOfEntry(cboClarityHigh->currentText());
    c.clarityB = gradeNumberOfEntry(cboClarityLow->currentText());
    try {
        saveQualityClass(m_ctx.db(), c);
    } catch (const db::DbError &) {
        m_ctx.prompt().inform(QStringLiteral("The class could not be saved."), QStringLiteral("Velmor"),
                              Icon::Exclamation);
        return;
    }
    txtID->setText(QStringLiteral("0"));
    txtClass->clear();
    reloadGrid();
}

} // namespace velmor::pricing
