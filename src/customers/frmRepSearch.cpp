#include "customers/frmRepSearch.h"

#include "core/AppContext.h"
#include "core/widgets/Named.h"
#include "db/Sql.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace velmor::ui {

frmRepSearch::frmRepSearch(AppContext &ctx, QWidget *parent)
    : QWidget(parent),
      m_ctx(ctx),
      txtSearchField(named(new QLineEdit, "txtSearchField")),
      Flex(named(new QTableWidget(0, 6), "Flex")),
      lblFound(named(new QLabel, "lblFound")),
      tmrSearch(named(new QTimer(this), "tmrSearch"))
{
    setObjectName(QStringLiteral("frmRepSearch"));
    setWindowFlag(Qt::Window);
    setWindowTitle(QStringLiteral("Rep Search"));
    tmrSearch->setSingleShot(true);
    tmrSearch->setInterval(250);

    Flex->setHorizontalHeaderLabels({QStringLiteral("Company Name"), QStringLiteral("First name"),
                                     QStringLiteral("Last name"), QStringLiteral("City"), QStringLiteral("State/Prov"),
                                     QStringLiteral("Phone 1")});
    Flex->setSelectionBehavior(QAbstractItemView::SelectRows);
    Flex->setSelectionMode(QAbstractItemView::SingleSelection);
    Flex->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Flex->verticalHeader()->hide();

    auto *cmdOpen = named(new QPushButton(QStringLiteral("Open")), "cmdOpen");
    cmdOpen->setDefault(true);
    auto *cmdBack = named(new QPushButton(QStringLiteral("Back")), "cmdBack");

    auto *root = new QVBoxLayout(this);
    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Search")));
    row->addWidget(txtSearchField, 1);
    root->addLayout(row);
    root->addWidget(Flex, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(lblFound, 1);
    bottom->addWidget(cmdOpen);
    bottom->addWidget(cmdBack);
    root->addLayout(bottom);

    connect(txtSearchField, &QLineEdit::textChanged, tmrSearch, qOverload<>(&QTimer::start));
    connect(txtSearchField, &QLineEdit::returnPressed, this, [this] {
        search();
        if (m_rows.size() == 1)
            openChosen();
    });
    connect(tmrSearch, &QTimer::timeout, this, &frmRepSearch::search);
    connect(Flex, &QTableWidget::cellDoubleClicked, this, [this] { openChosen(); });
    connect(cmdOpen, &QPushButton::clicked, this, [this] { openChosen(); });
    connect(cmdBack, &QPushButton::clicked, this, &QWidget::close);
    resize(760, 480);
    search();
}

void frmRepSearch::search()
{
    tmrSearch->stop();
    try {
        m_rows = customers::searchReps(m_ctx.db(), txtSearchField->text());
    } catch (const db::DbError &) {
        m_rows.clear();
    }
    Flex->setRowCount(int(m_rows.size()));
    for (int i = 0; i < m_rows.size(); ++i) {
        const customers::RepListRow &r = m_rows.at(i);
        const QStringList cells = {r.companyName, r.firstName, r.lastName, r.city, r.province, r.phone1};
        for (int c = 0; c < cells.size(); ++c)
            Flex->setItem(i, c, new QTableWidgetItem(cells.at(c)));
    }
    if (!m_rows.isEmpty())
        Flex->selectRow(0);
    Flex->resizeColumnsToContents();
    lblFound->setText(QStringLiteral("Found %1 Reps").arg(m_rows.size()));
}

bool frmRepSearch::openChosen()
{
    const int row = m_rows.size() == 1 ? 0 : Flex->currentRow();
    if (row < 0 || row >= m_rows.size() || !openRep)
        return false;
    openRep(m_rows.at(row).id);
    return true;
}

} // namespace velmor::ui
