#include "core/frmLogin.h"

#include "core/AppContext.h"
#include "core/Users.h"
#include "db/Sql.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmor::ui {

frmLogin::frmLogin(AppContext &ctx, QWidget *parent)
    : QDialog(parent),
      m_ctx(ctx),
      lblFirstUser(new QLabel(this)),
      txtUserName(new QLineEdit(this)),
      txtPassword(new QLineEdit(this)),
      lblPasswordConfirm(new QLabel(QStringLiteral("&Password again:"), this)),
      txtPasswordConfirm(new QLineEdit(this)),
      cmdOK(new QPushButton(QStringLiteral("OK"), this)),
      cmdCancel(new QPushButton(QStringLiteral("Cancel"), this))
{
    setObjectName(QStringLiteral("frmLogin"));
    setModal(true);
    lblFirstUser->setObjectName(QStringLiteral("lblFirstUser"));
    lblFirstUser->setWordWrap(true);
    txtUserName->setObjectName(QStringLiteral("txtUserName"));
    txtPassword->setObjectName(QStringLiteral("txtPassword"));
    txtPassword->setEchoMode(QLineEdit::Password);
    txtPasswordConfirm->setObjectName(QStringLiteral("txtPasswordConfirm"));
    txtPasswordConfirm->setEchoMode(QLineEdit::Password);
    lblPasswordConfirm->setBuddy(txtPasswordConfirm);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdOK->setDefault(true);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&User name:"), txtUserName);
    form->addRow(QStringLiteral("&Password:"), txtPassword);
    form->addRow(lblPasswordConfirm, txtPasswordConfirm);
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(cmdOK, QDialogButtonBox::AcceptRole);
    buttons->addButton(cmdCancel, QDialogButtonBox::RejectRole);
    auto *v = new QVBoxLayout(this);
    v->addWidget(lblFirstUser);
    v->addLayout(form);
    v->addWidget(buttons);

    disconnect(buttons, nullptr, this, nullptr);
    connect(cmdOK, &QPushButton::clicked, this, &frmLogin::ok);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    bool first = false;
    try {
        first = noUserYet(ctx.db());
    } catch (const db::DbError &) {
        // The ordinary log-on says what is wrong when it is tried.
    }
    setFirstAdministrator(first);
    txtUserName->setFocus();
}

void frmLogin::setFirstAdministrator(bool first)
{
    m_first = first;
    setWindowTitle(first ? QStringLiteral("First administrator") : QStringLiteral("Login"));
    lblFirstUser->setText(QStringLiteral(
        "There is no user yet. Choose the first administrator's user name and password (typed twice). This user "
        "may do everything and adds the other users under Configuration > Users."));
    lblFirstUser->setVisible(first);
    lblPasswordConfirm->setVisible(first);
    txtPasswordConfirm->setVisible(first);
    cmdOK->setText(first ? QStringLiteral("Make and log on") : QStringLiteral("OK"));
    adjustSize();
}

void frmLogin::ok()
{
    QString name = txtUserName->text();
    QString password = txtPassword->text();
    if (m_first) {
        const FirstAdministrator r = addFirstAdministrator(m_ctx, name, password, txtPasswordConfirm->text());
        if (r == FirstAdministrator::Made) {
            accept();
        } else if (r == FirstAdministrator::UsersExist) {
            setFirstAdministrator(false);
            txtPassword->clear();
            txtPassword->setFocus();
        }
        return;
    }
    bool good = false;
    try {
        good = login(m_ctx, name, password);
    } catch (const db::DbError &) {
        txtUserName->setText(name);
        txtPassword->setText(password);
        m_ctx.prompt().inform(QStringLiteral("The user list could not be read from the database. "
                                             "Check the connection and try again."),
                              QStringLiteral("Login"), Icon::Critical);
        return;
    }
    txtUserName->setText(name);
    txtPassword->setText(password);
    if (!good) {
        txtPassword->setFocus();
        txtPassword->selectAll();
        return;
    }
    accept();
}

} // namespace velmor::ui
