#pragma once
// Quality classes (Qs): a class name with a colour range and a clarity range.
#include <QWidget>

class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace velmor {
class AppContext;
}

namespace velmor::pricing {

class frmConfigQs : public QWidget {
    Q_OBJECT
public:
    explicit frmConfigQs(AppContext &ctx, QWidget *parent = nullptr);

    void reloadGrid();
    void add(bool keepRanges);
    void editSelected();
    void update();

    QLineEdit *txtID, *txtClass;
    QComboBox *cboColourHigh, *cboColourLow, *cboClarityHigh, *cboClarityLow;
    QTableWidget *Flex;
    QRadioButton *Option1, *Option2;
    QPushButton *cmdAdd, *cmdAddCopy, *cmdEditDiamond, *cmdCancel, *cmdHome, *cmdUpdate;

private:
    void fillCombos();
    AppContext &m_ctx;
};

} // namespace velmor::pricing
