#pragma once
// The word tables: each row makes the words of its "if it's ..." and "or ..."
// columns into the word of its "make it ..." column.  frmShapes keeps the
// shape words (and the round-stone name), frmLabs the laboratory words.
#include "pricing/ClassTables.h"

#include <QWidget>

class QLineEdit;
class QPushButton;
class QTableWidget;

namespace velmor {
class AppContext;
}

namespace velmor::pricing {

class frmWordTable : public QWidget {
    Q_OBJECT
public:
    frmWordTable(AppContext &ctx, WordTable table, QWidget *parent = nullptr);

    void load();
    virtual void save();

    QTableWidget *Flex;
    QPushButton *Command1;

protected:
    QList<WordRow> gridRows() const;
    AppContext &m_ctx;
    WordTable m_table;
};

class frmShapes : public frmWordTable {
    Q_OBJECT
public:
    explicit frmShapes(AppContext &ctx, QWidget *parent = nullptr);
    void save() override;

    QLineEdit *txt; // the round-stone name
};

class frmLabs : public frmWordTable {
    Q_OBJECT
public:
    explicit frmLabs(AppContext &ctx, QWidget *parent = nullptr);
};

} // namespace velmor::pricing
