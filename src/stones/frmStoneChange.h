#pragma once
// The change-log screen: the snapshots of one stone or of all stones,
// optionally within a date range, in a grid that exports to CSV.
#include "stones/StoneChangeLog.h"

#include <QMainWindow>
#include <functional>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class frmStoneChange : public QMainWindow {
    Q_OBJECT
public:
    explicit frmStoneChange(AppContext &ctx, QWidget *parent = nullptr);

    // Fills the stone picker (on activation).
    void activate();
    void reload();
    // cmdExport with a file name already chosen.
    void exportTo(const QString &fileName);

    // The save-file dialog; tests replace it.
    std::function<QString(QWidget *)> chooseExportFile;

    QComboBox *cboStone;
    QLineEdit *txtStoneID;
    QCheckBox *chkDateRange, *chkBasicView;
    QDateEdit *dtDay1, *dtDay2;
    QTableWidget *Grid;
    QLabel *lblTrackingOff; // shown while change tracking is off
    QPushButton *cmdExport, *cmdBack;

protected:
    void showEvent(QShowEvent *e) override;

private:
    void applyBasicView();

    AppContext &m_ctx;
    stones::ChangeLogGrid m_grid;
    bool m_filling = false;
};

} // namespace velmor::ui
