#pragma once
// The stone-on-memo screen: one memo sheet with its customer, its stones
// (with the days each has been out), the selected stone with the three
// coupled price fields, and the commands that put a stone on the sheet,
// return it, sell it, return or sell them all, edit the header and print.
#include "memos/MemoPrint.h"
#include "memos/MemoSheetView.h"

#include <QWidget>

class QLabel;
class QTableWidget;

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class frmMemoAddNewDiamondToIt : public QWidget {
    Q_OBJECT
public:
    explicit frmMemoAddNewDiamondToIt(AppContext &ctx, QWidget *parent = nullptr);

    // The two inputs the opening screen sets, then reload().
    void setMemoSheet(qint64 id) { m_sheet = id; }
    void setSelectedStone(qint64 id);
    qint64 memoSheet() const { return m_sheet; }
    void reload();

    // The commands, as the buttons run them.
    void add();      // cmdAdd
    void remove();   // cmdRemove
    void sell();     // cmdSell
    void execute();  // cmdExecute
    void print();    // Command5
    void preview();  // cmdPreview: the pages as they will print
    void chooseLine(int row);

protected:
    void changeEvent(QEvent *e) override;

private:
    void build();
    void showStone();
    void updateCommands();
    memos::MemoPrintRequest printRequest() const;
    qint64 employee() const;
    template <typename T>
    T *w(const char *name) const
    {
        return findChild<T *>(QString::fromLatin1(name));
    }

    AppContext &m_ctx;
    qint64 m_sheet = 0;
    qint64 m_stone = 0;
    memos::MemoSheetData m_data;
    memos::SelectedStone m_selected;
    memos::MemoPriceFields m_prices;
};

} // namespace velmor::ui
