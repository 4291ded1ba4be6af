#pragma once
// The rep screen: one sales representative, added, edited and saved; its
// customers through the customer search.
#include "customers/Reps.h"

#include <QMap>
#include <QWidget>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class frmRep : public QWidget {
    Q_OBJECT
public:
    explicit frmRep(AppContext &ctx, QWidget *parent = nullptr);

    void showRep(qint64 id); // the caller's ID into txtRepID, then loading
    void addRep();           // cmdAddRep
    void editRep();          // cmdEditRep
    bool update();           // cmdUpdate
    void cancel();           // cmdCancel
    void showCustomers();    // cmdShowCustomers

    bool busy() const { return m_adding || m_editing; }
    qint64 currentId() const;
    customers::RepForm formFromControls() const;

private:
    QString controlText(const QString &column) const;
    void showForm(const customers::RepForm &f);
    void lock(bool locked);
    void fillLists();
    void updateCommands();
    // The right of the change in hand (AllowRepAdd or AllowRepEdit).
    QString changeRight() const;
    void rightsChanged();

    template <typename T>
    T *w(const char *name) const
    {
        return findChild<T *>(QString::fromLatin1(name));
    }

    AppContext &m_ctx;
    bool m_adding = false;
    bool m_editing = false;
    customers::RepForm m_loaded;
    QMap<QString, QString> m_shown;
};

} // namespace velmor::ui
