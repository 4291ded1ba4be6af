#pragma once
// The price sheet: list prices of one colour, clarity and weight on the
// round and pear grids, and both grids at that weight.
#include <QWidget>

class QComboBox;
class QLineEdit;
class QRadioButton;
class QTableWidget;
class QPushButton;

namespace velmor {
class AppContext;
}

namespace velmor::pricing {

class frmRapPriceSheet : public QWidget {
    Q_OBJECT
public:
    explicit frmRapPriceSheet(AppContext &ctx, QWidget *parent = nullptr);

    // Fills the colour combo from the grid and recomputes (on activation).
    void activate();
    void recompute();

    QComboBox *cboColour, *cboClarity;
    QLineEdit *txtCarat, *txtOffRap;
    QRadioButton *optCarat, *optStone;
    QLineEdit *txtRap, *txtStone, *txtRap2, *txtStone2;
    QTableWidget *MSFlexGrid1, *MSFlexGrid2;
    QPushButton *cmdBack;

protected:
    void showEvent(QShowEvent *e) override;

private:
    AppContext &m_ctx;
};

} // namespace velmor::pricing
