#pragma once
// The customer screen: one customer or supplier, added, edited, saved and
// browsed by name; a new memo sheet for the customer.  The screen maps its
// controls to the form of CustomerRecord; the save writes only what the
// user changed.
#include "customers/CustomerRecord.h"

#include <QMap>
#include <QUrl>
#include <QVariant>
#include <QWidget>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class frmCustomer : public QWidget {
    Q_OBJECT
public:
    explicit frmCustomer(AppContext &ctx, QWidget *parent = nullptr);

    // The shared procedures of the screen.
    void RefreshfrmCustomer(); // loads the customer whose ID stands in txtID
    void EnablefrmCustomer();
    void DisablefrmCustomer();
    void ClearFieldsfrmCustomer();

    // Other screens open a customer: its ID into txtID, then the refresh.
    void showCustomer(qint64 id);

    // Commands, as their buttons run them.
    void addCustomer(bool supplier = false); // cmdAddCustomer / cmdAddSupplier
    void editCustomer();                     // cmdEditCustomer
    void updateChanges();                    // cmdUpdateChanges
    void cancel();                           // cmdCancel
    void next();                             // cmdNext
    void previous();                         // cmdPrevious
    void newMemoSheet();                     // cmdNewMemoSheet

    bool adding() const { return m_adding; }
    bool editing() const { return m_editing; }
    qint64 currentId() const;
    qint64 memoSheet() const { return m_memoSheet; }

    // Opened from the main menu: after adding, the screen stays; otherwise
    // it hands the new customer to the stone screen and goes back there.
    void setOpenedFromMainMenu(bool on) { m_fromMainMenu = on; }

    // What the controls hold, as the save takes it: the loaded value for a
    // field the user did not change.
    customers::CustomerForm formFromControls() const;

    // Opens links (web page, e-mail); tests replace it.
    std::function<void(const QUrl &)> openUrl;

    // The captions of activation (window title, tax names).
    void applyCaptions();

protected:
    void showEvent(QShowEvent *e) override;
    void changeEvent(QEvent *e) override;

private:
    void build();
    void showForm(const customers::CustomerForm &f);
    QVariant controlValue(const QString &column) const;
    QVariant formValueOf(const QString &column) const;
    void snapshot();
    void updateCommands();
    void applyLock(bool locked);
    void fillCombos();
    void selectEntry(QComboBox *c, qint64 id);
    void invoiceToChosen();
    void holdClicked(bool checked);
    void openSearch(bool customers, bool suppliers);

    template <typename T>
    T *w(const char *name) const
    {
        return findChild<T *>(QString::fromLatin1(name));
    }

    AppContext &m_ctx;
    bool m_adding = false;
    bool m_editing = false;
    bool m_fromMainMenu = true;
    bool m_filling = false;
    qint64 m_memoSheet = 0;
    customers::CustomerForm m_loaded;
    QMap<QString, QVariant> m_shown; // control values as filled by the program
    QList<QWidget *> m_fields;
};

} // namespace velmor::ui
