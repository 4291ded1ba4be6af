#pragma once
// The user set-up: the grid DataGrid1 of users, the four text boxes, the
// password confirmation, one check box per right on the tabs of TabStrip1,
// and the commands cmdAdd, cmdEditDiamond, cmdCancel and cmdUpdate.
#include "core/Users.h"

#include <QDialog>
#include <map>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTabBar;
class QTableWidget;

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class frmConfigUsers : public QDialog {
    Q_OBJECT
public:
    explicit frmConfigUsers(AppContext &ctx, QWidget *parent = nullptr);

    enum class Mode { Viewing, Adding, Editing };
    Mode mode() const { return m_mode; }
    // The check box of a right column (chkAdministrator, chkAllowCustHold, ...).
    static QString checkBoxName(const QString &rightColumn);

    void reload();           // the grid, keeping the chosen user
    void chooseUser(int id); // fills the boxes from that user's row

private:
    void buildRights();
    void setMode(Mode m);
    void textChanged();
    void add();
    void edit();
    void cancel();
    void update();
    void gridSelectionChanged();

    AppContext &m_ctx;
    Mode m_mode = Mode::Viewing;
    int m_chosen = 0;
    QTableWidget *DataGrid1;
    QLineEdit *txtFirstName, *txtLastName, *txtUserName, *txtPassword, *txtPasswordConfirm;
    QPushButton *cmdAdd, *cmdEditDiamond, *cmdCancel, *cmdUpdate;
    QTabBar *TabStrip1;
    QStackedWidget *m_frames;
    std::map<QString, QCheckBox *> m_rights; // by right column
};

} // namespace velmor::ui
