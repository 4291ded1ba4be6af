#include "pricing/frmRapPriceSheet.h"

#include "core/AppContext.h"
#include "core/Figures.h"
#include "core/widgets/Named.h"
#include "core/widgets/NumberBox.h"
#include "core/widgets/ListColumns.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "pricing/PriceSheet.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace velmor::pricing {

namespace {

QTableWidget *makeGrid(const char *name)
{
    auto *t = named(new QTableWidget(sheetClarities().size() + 1, sheetColours().size() + 1), name);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The grid asks for room for every cell, so the sheet opens showing them all.
    t->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    t->horizontalHeader()->setDefaultSectionSize(t->fontMetrics().horizontalAdvance(QStringLiteral("000,000")) + 8);
    t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 6);
    t->horizontalHeader()->hide();
    t->verticalHeader()->hide();
    for (int c = 0; c < sheetColours().size(); ++c)
        t->setItem(0, c + 1, new QTableWidgetItem(sheetColours()[c]));
    for (int r = 0; r < sheetClarities().size(); ++r)
        t->setItem(r + 1, 0, new QTableWidgetItem(sheetClarities()[r]));
    return t;
}

void fillGrid(QTableWidget *t, const SheetGrid &g)
{
    t->setItem(0, 0, new QTableWidgetItem(g.corner));
    for (int r = 0; r < g.cells.size(); ++r)
        for (int c = 0; c < g.cells[r].size(); ++c) {
            auto *item = new QTableWidgetItem(g.cells[r][c]);
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            t->setItem(r + 1, c + 1, item);
        }
    // Every column in view: the window widens for prices per stone.
    ui::showAllColumns(t);
}

} // namespace

frmRapPriceSheet::frmRapPriceSheet(AppContext &ctx, QWidget *parent) : QWidget(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmRapPriceSheet"));
    setWindowTitle(QStringLiteral("Rapaport Price Sheet"));
    cboColour = named(new QComboBox, "cboColour");
    cboClarity = named(new QComboBox, "cboClarity");
    cboClarity->addItems(sheetClarities());
    txtCarat = named(new QLineEdit(QStringLiteral("1.00")), "txtCarat");
    txtOffRap = named(new QLineEdit(QStringLiteral("0")), "txtOffRap");
    numberBox(txtCarat);
    numberBox(txtOffRap);
    optCarat = named(new QRadioButton(QStringLiteral("Price per carat")), "optCarat");
    optStone = named(new QRadioButton(QStringLiteral("Price per stone")), "optStone");
    optCarat->setChecked(true);
    txtRap = named(new QLineEdit, "txtRap");
    txtStone = named(new QLineEdit, "txtStone");
    txtRap2 = named(new QLineEdit, "txtRap2");
    txtStone2 = named(new QLineEdit, "txtStone2");
    for (QLineEdit *e : {txtRap, txtStone, txtRap2, txtStone2})
        e->setReadOnly(true);
    MSFlexGrid1 = makeGrid("MSFlexGrid1");
    MSFlexGrid2 = makeGrid("MSFlexGrid2");
    cmdBack = named(new QPushButton(QStringLiteral("Back")), "cmdBack");

    // The choices and the two prices across the top, the grids below them
    // at their full width: eleven columns of prices per stone fit a
    // laptop's screen.
    auto *choices = new QGridLayout;
    // Each row: caption, box, caption, box ..., then the row's last control.
    const auto row = [this, choices](int r, std::initializer_list<std::pair<const char *, QWidget *>> pairs) {
        int column = 0;
        for (const auto &[text, box] : pairs) {
            choices->addWidget(new QLabel(QString::fromUtf8(text), this), r, column++);
            choices->addWidget(box, r, column++);
        }
        return column;
    };
    auto *opts = new QHBoxLayout;
    opts->addWidget(optCarat);
    opts->addWidget(optStone);
    choices->addLayout(opts, 0, row(0, {{"Colour", cboColour}, {"Clarity", cboClarity}, {"Carat", txtCarat}, {"% off Rap", txtOffRap}}));
    choices->addWidget(cmdBack, 1, row(1, {{"Round: Rap", txtRap}, {"Price", txtStone}, {"Pear: Rap", txtRap2}, {"Price", txtStone2}}));
    choices->setColumnStretch(9, 1);
    auto *main = new QVBoxLayout(this);
    main->addLayout(choices);
    main->addWidget(MSFlexGrid1);
    main->addWidget(MSFlexGrid2);
    main->addStretch(1);

    connect(cboColour, &QComboBox::currentTextChanged, this, &frmRapPriceSheet::recompute);
    connect(cboClarity, &QComboBox::currentTextChanged, this, &frmRapPriceSheet::recompute);
    connect(txtCarat, &QLineEdit::textChanged, this, &frmRapPriceSheet::recompute);
    connect(txtOffRap, &QLineEdit::textChanged, this, &frmRapPriceSheet::recompute);
    connect(optCarat, &QRadioButton::toggled, this, &frmRapPriceSheet::recompute);
    connect(cmdBack, &QPushButton::clicked, this, &QWidget::close);
}

void frmRapPriceSheet::showEvent(QShowEvent *e)
{
    QWidget::showEvent(e);
    activate();
}

void frmRapPriceSheet::activate()
{
    const QString keep = cboColour->currentText();
    {
        QSignalBlocker b(cboColour);
        cboColour->clear();
        try {
            cboColour->addItems(sheetColourChoices(m_ctx.db()));
        } catch (const db::DbError &) {
        }
        const int i = cboColour->findText(keep);
        if (i >= 0)
            cboColour->setCurrentIndex(i);
    }
    recompute();
}

void frmRapPriceSheet::recompute()
{
    // A weight or discount that is not a figure prices nothing: the sheet
    // says which field it cannot read instead of pricing its leading digits.
    const std::optional<Decimal5> weight = figures::parseTyped(txtCarat->text());
    const std::optional<Decimal5> discount = figures::parseTyped(txtOffRap->text());
    if (!weight || !discount) {
        const QString why = !weight ? figures::notANumberMessage(QStringLiteral("Carat"), txtCarat->text())
                                    : figures::notANumberMessage(QStringLiteral("% off Rap"), txtOffRap->text());
        for (QLineEdit *e : {txtRap, txtStone, txtRap2, txtStone2})
            e->clear();
        txtRap->setPlaceholderText(why.section(QLatin1Char('\n'), 0, 0));
        return;
    }
    txtRap->setPlaceholderText(QString());
    const double w = weight->toDouble();
    const double off = discount->toDouble();
    try {
        const QSqlDatabase db = m_ctx.db();
        const SheetSingle round = sheetSingle(db, Grid::Round, cboColour->currentText(), cboClarity->currentText(), w, off,
                                               optStone->isChecked());
        const SheetSingle pear = sheetSingle(db, Grid::Pear, cboColour->currentText(), cboClarity->currentText(), w, off,
                                               optStone->isChecked());
        txtRap->setText(round.rap);
        txtStone->setText(round.stone);
        txtRap2->setText(pear.rap);
        txtStone2->setText(pear.stone);
        fillGrid(MSFlexGrid1, sheetGrid(db, Grid::Round, w, optStone->isChecked()));
        fillGrid(MSFlexGrid2, sheetGrid(db, Grid::Pear, w, optStone->isChecked()));
    } catch (const db::DbError &) {
        // The sheet shows what it has; the next change tries again.
    }
}

} // namespace velmor::pricing
