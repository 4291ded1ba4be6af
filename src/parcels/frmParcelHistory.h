#pragma once
// A parcel's journal: every carat added or removed, with its cost, vendor or
// customer and employee.
#include <QDialog>

class QPushButton;
class QTableWidget;

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class frmParcelHistory : public QDialog {
    Q_OBJECT
public:
    frmParcelHistory(AppContext &ctx, qint64 parcelId, QWidget *parent = nullptr);
    QTableWidget *grdHistory;
    QPushButton *imgHistoryMemo;
};

} // namespace velmor::ui
