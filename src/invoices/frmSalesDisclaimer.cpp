#include "invoices/frmSalesDisclaimer.h"

#include "core/AppContext.h"
#include "core/Users.h"
#include "core/widgets/AdministratorOnly.h"
#include "core/widgets/Named.h"
#include "db/Sql.h"
#include "invoices/Invoice.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmor::invoices {

frmSalesDisclaimer::frmSalesDisclaimer(AppContext &ctx, QWidget *parent)
    : QDialog(parent), m_ctx(ctx), m_loaded(ctx.settings.SalesDisclaimer)
{
    setObjectName(QStringLiteral("frmSalesDisclaimer"));
    setWindowTitle(QStringLiteral("Sales disclaimer"));
    ui::administratorOnly(ctx, this);
    txtSalesDisclaimer = named(new QPlainTextEdit, "txtSalesDisclaimer");
    txtSalesDisclaimer->setTabChangesFocus(true);
    txtSalesDisclaimer->setPlainText(m_loaded);
    cmdSave = named(new QPushButton(QStringLiteral("&Save")), "cmdSave");
    cmdCancel = named(new QPushButton(QStringLiteral("Cancel")), "cmdCancel");
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdCancel);
    auto *v = new QVBoxLayout(this);
    v->addWidget(txtSalesDisclaimer);
    v->addLayout(buttons);
    resize(520, 300);
    connect(cmdSave, &QPushButton::clicked, this, &frmSalesDisclaimer::save);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool frmSalesDisclaimer::save()
{
    const QString text = txtSalesDisclaimer->toPlainText();
    if (text != m_loaded) {
        if (!checkRight(m_ctx, QStringLiteral("Administrator")))
            return false;
        try {
            saveSalesDisclaimer(m_ctx, text);
        } catch (const db::DbError &e) {
            m_ctx.prompt().inform(QStringLiteral("The disclaimer could not be saved:\n\n") + e.message(),
                                  QStringLiteral("Sales disclaimer"), Icon::Exclamation);
            return false;
        }
    }
    accept();
    return true;
}

} // namespace velmor::invoices
