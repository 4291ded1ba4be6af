#pragma once
// The login screen: txtUserName, txtPassword, cmdOK, cmdCancel.  A good
// login takes the user's rights and applies them to the stone screen (when
// given); a bad one says so and stays open with the cursor in txtPassword.
#include <QDialog>
#include <QPointer>

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

private:
    void ok();

    AppContext &m_ctx;
    QLineEdit *txtUserName;
    QLineEdit *txtPassword;
    QPushButton *cmdOK;
    QPushButton *cmdCancel;
};

} // namespace velmor::ui
