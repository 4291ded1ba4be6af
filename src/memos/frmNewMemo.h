#pragma once
// A new memo sheet for a customer chosen from the list; it becomes the
// current memo sheet.
#include <QDialog>

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class frmNewMemo : public QDialog {
    Q_OBJECT
public:
    explicit frmNewMemo(AppContext &ctx, QWidget *parent = nullptr);
    void fillCustomers();
    qint64 created() const { return m_created; }

private:
    void ok(); // cmdOK
    AppContext &m_ctx;
    qint64 m_created = 0;
};

// Finding a memo sheet: double-clicking one makes it the current memo sheet;
// cmdOpen opens it on the stone-on-memo screen.
class frmMemoLoad : public QDialog {
    Q_OBJECT
public:
    explicit frmMemoLoad(AppContext &ctx, QWidget *parent = nullptr);
    void requery();
    void choose(int row); // the double-click
    qint64 chosen() const { return m_chosen; }

private:
    AppContext &m_ctx;
    QList<qint64> m_ids;
    QList<qint64> m_customers;
    qint64 m_chosen = 0;
};

} // namespace velmor::ui
