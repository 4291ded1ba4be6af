#pragma once
// The parcel memo finder: every parcel memo (or the open ones, or one
// customer's), newest first; a double-click opens the memo.
#include <QWidget>

class QCheckBox;
class QComboBox;
class QRadioButton;
class QTableWidget;

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class frmMemoParcelSheet;

class frmMemoLoadParcel : public QWidget {
    Q_OBJECT
public:
    explicit frmMemoLoadParcel(AppContext &ctx, QWidget *parent = nullptr);
    void reload();
    frmMemoParcelSheet *openMemo(int row);

    QCheckBox *chkOnlyOpen;
    QRadioButton *optAllCustomers, *optThisCustomer;
    QComboBox *cboCustomer;
    QTableWidget *grdMemos;

signals:
    void memoChanged();

private:
    AppContext &m_ctx;
};

} // namespace velmor::ui
