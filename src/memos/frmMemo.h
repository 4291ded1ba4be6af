#pragma once
// The memo and consignment report: stones out with customers, stones held
// for consignors, stones by supplier; with sums, export, print and the
// payment commands.
#include "memos/MemoReport.h"

#include <QWidget>
#include <functional>

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class frmMemo : public QWidget {
    Q_OBJECT
public:
    explicit frmMemo(AppContext &ctx, QWidget *parent = nullptr);

    void setDefaultCustomer(qint64 id); // txtCustomerID with optDefaultCustomer
    void requery();                     // the current view again
    void orderBy(int column);           // a click on a column header
    void chooseRow(int row);            // fills txtDiamondID and the stone fields
    void sum();                         // cmdSum
    bool exportTo(const QString &file); // cmdExport after the file dialog
    memos::ReportFilter filter() const;
    const memos::Report &report() const { return m_report; }
    // Each new stone of the chosen row; the program loads it on the stone screen.
    std::function<void(qint64)> stoneChosen;

private:
    void build();
    void updateCommands();
    AppContext &m_ctx;
    memos::Report m_report;
    QString m_order;
};

} // namespace velmor::ui
