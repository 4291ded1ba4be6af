#pragma once
// Size ranges (DRange): a class name with a carat range and a markup, and
// the command that pushes each range's markup to its parcels.
#include <QWidget>

class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace velmor {
class AppContext;
}

namespace velmor::pricing {

class frmConfigD_Range : public QWidget {
    Q_OBJECT
public:
    explicit frmConfigD_Range(AppContext &ctx, QWidget *parent = nullptr);

    void reloadGrid();
    void add(bool keepValues);
    void editSelected();
    void update();
    void refreshParcels();

    QLineEdit *txtID, *txtClass, *txtCaratLow, *txtCaratHigh, *txtMarkup;
    QTableWidget *Flex;
    QRadioButton *Option1, *Option2;
    QPushButton *cmdAdd, *cmdAddCopy, *cmdEditDiamond, *cmdCancel, *cmdHome, *cmdUpdate, *cmdRefresh;

private:
    AppContext &m_ctx;
};

} // namespace velmor::pricing
