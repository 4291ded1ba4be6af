#include "pricing/frmShapes.h"

#include "core/AppContext.h"
#include "core/Users.h"
#include "core/widgets/AdministratorOnly.h"
#include "core/widgets/ListColumns.h"
#include "db/Sql.h"

#include <QFormLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

namespace velmor::pricing {

namespace {
constexpr int kSpareRows = 20; // empty rows below the table for new words

// The in-place cell editor carries the name Text1.
class CellEditor : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &o, const QModelIndex &i) const override
    {
        QWidget *w = QStyledItemDelegate::createEditor(parent, o, i);
        if (w)
            w->setObjectName(QStringLiteral("Text1"));
        return w;
    }
};
} // namespace

frmWordTable::frmWordTable(AppContext &ctx, WordTable table, QWidget *parent)
    : QWidget(parent), m_ctx(ctx), m_table(table)
{
    Flex = new QTableWidget(0, 7);
    Flex->setObjectName(QStringLiteral("Flex"));
    Flex->setHorizontalHeaderLabels({QStringLiteral("make it ..."), QStringLiteral("if it's ..."),
                                     QStringLiteral("or ..."), QStringLiteral("or ..."), QStringLiteral("or ..."),
                                     QStringLiteral("or ..."), QStringLiteral("or ...")});
    Flex->setItemDelegate(new CellEditor(Flex));
    // Room to type a word in every column.
    Flex->horizontalHeader()->setMinimumSectionSize(fontMetrics().horizontalAdvance(QStringLiteral("Round Brilliant")));
    Command1 = new QPushButton(QStringLiteral("Save"));
    Command1->setObjectName(QStringLiteral("Command1"));
    auto *l = new QVBoxLayout(this);
    l->addWidget(Flex, 1);
    l->addWidget(Command1);
    connect(Command1, &QPushButton::clicked, this, [this] { save(); });
}

void frmWordTable::load()
{
    QList<WordRow> rows;
    try {
        rows = loadWordTable(m_ctx.db(), m_table);
    } catch (const db::DbError &) {
    }
    Flex->setRowCount(rows.size() + kSpareRows);
    for (int r = 0; r < rows.size(); ++r) {
        Flex->setItem(r, 0, new QTableWidgetItem(rows[r].master));
        for (int c = 0; c < 6; ++c)
            Flex->setItem(r, c + 1, new QTableWidgetItem(rows[r].words[c]));
    }
    ui::showAllColumns(Flex);
}

QList<WordRow> frmWordTable::gridRows() const
{
    QList<WordRow> rows;
    int last = -1;
    for (int r = 0; r < Flex->rowCount(); ++r) {
        WordRow w;
        auto cell = [&](int c) { return Flex->item(r, c) ? Flex->item(r, c)->text().trimmed() : QString(); };
        w.master = cell(0);
        bool any = !w.master.isEmpty();
        for (int c = 0; c < 6; ++c) {
            w.words[c] = cell(c + 1);
            any = any || !w.words[c].isEmpty();
        }
        rows << w;
        if (any)
            last = r;
    }
    // Trailing empty rows are not stored.
    return rows.mid(0, last + 1);
}

void frmWordTable::save()
{
    if (!checkRight(m_ctx, QStringLiteral("Administrator")))
        return;
    try {
        saveWordTable(m_ctx.db(), m_table, gridRows());
    } catch (const db::DbError &) {
        m_ctx.prompt().inform(QStringLiteral("The words could not be saved."), QStringLiteral("Velmor"),
                              Icon::Exclamation);
        return;
    }
    load();
}

frmShapes::frmShapes(AppContext &ctx, QWidget *parent) : frmWordTable(ctx, WordTable::Shapes, parent)
{
    setObjectName(QStringLiteral("frmShapes"));
    setWindowTitle(QStringLiteral("Shape Words"));
    ui::administratorOnly(ctx, this);
    txt = new QLineEdit(ctx.settings.roundstonename);
    txt->setObjectName(QStringLiteral("txt"));
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Round stone name"), txt);
    static_cast<QVBoxLayout *>(layout())->insertLayout(0, form);
    load();
}

void frmShapes::save()
{
    if (!checkRight(m_ctx, QStringLiteral("Administrator")))
        return;
    try {
        saveRoundStoneName(m_ctx, txt->text());
    } catch (const db::DbError &) {
        m_ctx.prompt().inform(QStringLiteral("The words could not be saved."), QStringLiteral("Velmor"),
                              Icon::Exclamation);
        return;
    }
    txt->setText(m_ctx.settings.roundstonename);
    frmWordTable::save();
}

} // namespace velmor::pricing
