#pragma once
// A customer's memo history (stones or parcels) and the stones the customer
// has on memo now.  Read-only lists.
#include <QWidget>

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class frmMemoHistory : public QWidget {
    Q_OBJECT
public:
    frmMemoHistory(AppContext &ctx, qint64 customerId, QWidget *parent = nullptr);
    void showStones(); // Option1
    void showParcels(); // Option2

private:
    AppContext &m_ctx;
    qint64 m_customer;
};

class frmDiamondsOnMemo : public QWidget {
    Q_OBJECT
public:
    frmDiamondsOnMemo(AppContext &ctx, qint64 customerId, QWidget *parent = nullptr);
    void openRow(int row); // the double-click: the stone on the stone screen

private:
    AppContext &m_ctx;
    QList<qint64> m_ids;
};

} // namespace velmor::ui
