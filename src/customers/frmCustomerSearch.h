#pragma once
// The customer search: free words and filters, searched on a short timer
// after every change; double-click opens the e-mail, the web page or the
// customer; the export writes the grid as CSV.  Opened to pick a party for
// the stone screen, choosing a row hands its address block over.
#include "core/Screens.h"
#include "customers/CustomerSearch.h"
#include "db/BackgroundRead.h"

#include <QPointer>
#include <QUrl>
#include <QWidget>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTableView;
class QTimer;

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class frmCustomerSearch : public QWidget {
    Q_OBJECT
public:
    explicit frmCustomerSearch(AppContext &ctx, QWidget *parent = nullptr);

    // Sets the filters as the opener asks and searches.
    void applyPreset(const CustomerSearchPreset &p);
    // SearchCustomerStringModule: now, without waiting for the timer.
    void SearchCustomerStringModule();
    customers::CustomerFilter filter() const;
    // The rows shown so far (further ones are read as the grid scrolls).
    const customers::CustomerGrid &grid() const { return m_model->grid(); }

    // A double-click on a cell of the grid.
    void cellActivated(int row, int column);
    // cmdExport to a given file (the button asks for the name): every row
    // of the search, read afresh.
    bool exportTo(const QString &fileName);

    // The window cmdBack returns to (closing the search shows it again).
    void setOpener(QWidget *w) { m_opener = w; }

    // Opens links (e-mail, web page); tests replace it.
    std::function<void(const QUrl &)> openUrl;
    // cmdAddCustomer: starts a new customer on the customer screen; set by
    // the program (the command is disabled without it).
    std::function<void()> addCustomer;
    void updateCommands();

private:
    void build();
    void rowChosen(int row);
    void fillReps();
    void showCount(quint64 ticket, qint64 rows);
    void showFailure(const QString &why);

    AppContext &m_ctx;
    QLineEdit *txtSearchField;
    QCheckBox *chkOnHold;
    QCheckBox *chkCustomer;
    QCheckBox *chkSupplier;
    QComboBox *cboRep;
    QTableView *Flex;
    customers::CustomerGridModel *m_model;
    QLabel *lblFound;
    QTimer *tmrSearch;
    db::BackgroundRead *m_counter; // "Found n Customers", on a connection of its own
    quint64 m_countTicket = 0;
    bool m_pick = false;
    bool m_applying = false;
    QPointer<QWidget> m_opener;
};

} // namespace velmor::ui
