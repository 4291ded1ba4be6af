#pragma once
// The carats to return into stock (frmMemoParcelRemove) or to sell
// (frmMemoParcelSell) from a parcel memo: the command is enabled only for
// 0 < carats <= the carats of that parcel still out on the memo.
#include "parcels/ParcelMemo.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace velmor::ui {

class MemoCaratDialog : public QDialog {
    Q_OBJECT
public:
    QString carat() const;
    // The memo-out lines the carats may come from; with more than one the
    // dealer chooses a line (cboLine) or leaves "oldest first".
    void setLines(const QList<parcels::OutLine> &lines);
    // The line chosen, 0 for the oldest first.
    qint64 lineId() const;
    QLabel *lblOut;
    QComboBox *cboLine;
    QLineEdit *txtCarat;
    QPushButton *cmdOK, *cmdCancel;

protected:
    MemoCaratDialog(const char *name, const QString &title, const QString &command, const QString &sku,
                    parcels::Decimal5 out, QWidget *parent);

private:
    void updateCommands();
    parcels::Decimal5 m_out;
    QList<parcels::OutLine> m_lines;
};

class frmMemoParcelRemove : public MemoCaratDialog {
    Q_OBJECT
public:
    frmMemoParcelRemove(const QString &sku, parcels::Decimal5 out, QWidget *parent = nullptr);
};

class frmMemoParcelSell : public MemoCaratDialog {
    Q_OBJECT
public:
    frmMemoParcelSell(const QString &sku, parcels::Decimal5 out, QWidget *parent = nullptr);
};

} // namespace velmor::ui
