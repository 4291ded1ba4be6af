#pragma once
// The login screen: txtUserName, txtPassword, cmdOK, cmdCancel.  A good
// login takes the user's rights and applies them to the stone screen (when
// given); a bad one says so and stays open with the cursor in txtPassword.
//
// While the database has no user at all the screen says so (lblFirstUser)
// and makes the first administrator instead: a user name and a password
// typed twice (txtPasswordConfirm), not empty; that user gets every right
// and is logged on.
#include <QDialog>
#include <QPointer>

class QLabel;
class QLineEdit;
class QPushButton;

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class frmLogin : public QDialog {
    Q_OBJECT
public:
    frmLogin(AppContext &ctx, QWidget *parent = nullptr);
    // True while the screen makes the first administrator.
    bool firstAdministrator() const { return m_first; }

private:
    void ok();
    void setFirstAdministrator(bool first);

    AppContext &m_ctx;
    bool m_first = false;
    QLabel *lblFirstUser;
    QLineEdit *txtUserName;
    QLineEdit *txtPassword;
    QLabel *lblPasswordConfirm;
    QLineEdit *txtPasswordConfirm;
    QPushButton *cmdOK;
    QPushButton *cmdCancel;
};

} // namespace velmor::ui
