#pragma once
// The stone screen's history tab (TabStrip1 with DataGrid1: read-only,
// wrapped) and its memo-out list command (mnuPrintMEmoOutList).
#include <QTabWidget>

class QTableWidget;

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class StoneHistoryTab : public QTabWidget {
    Q_OBJECT
public:
    explicit StoneHistoryTab(AppContext &ctx, QWidget *parent = nullptr);
    // Fills DataGrid1 with the stone's history (empty for 0).
    void showStone(qint64 stoneId);
    QTableWidget *grid() const { return DataGrid1; }

private:
    AppContext &m_ctx;
    QTableWidget *DataGrid1;
    qint64 m_stone = 0;
};

// The "Daily Memo Information Sheet" after the printer choice over `parent`.
bool printMemoOutList(AppContext &ctx, QWidget *parent);

} // namespace velmor::ui
