#pragma once
// The customers holding carats of one parcel on memo now, with the net
// carats each holds (a customer whose carats all came back or were sold is
// not listed).
#include <QDialog>

class QTableWidget;

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class frmParcelHistoryMemo : public QDialog {
    Q_OBJECT
public:
    frmParcelHistoryMemo(AppContext &ctx, qint64 parcelId, QWidget *parent = nullptr);
    QTableWidget *grdHolders;
};

} // namespace velmor::ui
