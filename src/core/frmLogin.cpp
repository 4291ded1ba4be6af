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
      txtUserName(new QLineEdit(this)),
      txtPassword(new QLineEdit(this)),
      cmdOK(new QPushButton(QStringLiteral("OK"), this)),
      cmdCancel(new QPushButton(QStringLiteral("Cancel"), this))
{
    setObjectName(QStringLiteral("frmLogin"));
    setWindowTitle(QStringLiteral("Login"));
    setModal(true);
    txtUserName->setObjectName(QStringLiteral("txtUserName"));
    txtPassword->setObjectName(QStringLiteral("txtPassword"));
    txtPassword->setEchoMode(QLineEdit::Password);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdOK->setDefault(true);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&User name:"), txtUserName);
    form->addRow(QStringLiteral("&Password:"), txtPassword);
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(cmdOK, QDialogButtonBox::AcceptRole);
    buttons->addButton(cmdCancel, QDialogButtonBox::RejectRole);
    auto *v = new QVBoxLayout(this);
    v->addLayout(form);
    v->addWidget(buttons);

    disconnect(buttons, nullptr, this, nullptr);
    connect(cmdOK, &QPushButton::clicked, this, &frmLogin::ok);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    txtUserName->setFocus();
}

void frmLogin::ok()
{
    QString name = txtUserName->text();
    QString password = txtPassword->text();
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
