#include "invoices/frmInvoiceEdit.h"

#include "core/widgets/RightsOnScreen.h"
#include "core/Users.h"
#include "core/Failures.h"
#include "core/AppContext.h"
#include "core/widgets/Named.h"
#include "db/Sql.h"
#include "invoices/Invoice.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmor::invoices {

namespace {
constexpr int kDetailsLength = 250; // invoicelist.details
}

frmInvoiceEdit::frmInvoiceEdit(AppContext &ctx, qint64 lineId, QWidget *parent)
    : QDialog(parent), m_ctx(ctx), m_lineId(lineId)
{
    setObjectName(QStringLiteral("frmInvoiceEdit"));
    setWindowTitle(QStringLiteral("Invoice line"));
    txt = named(new QPlainTextEdit, "txt");
    txt->setTabChangesFocus(true);
    cmdSave = named(new QPushButton(QStringLiteral("&Save")), "cmdSave");
    cmdClear = named(new QPushButton(QStringLiteral("C&lear")), "cmdClear");
    cmdCancel = named(new QPushButton(QStringLiteral("Cancel")), "cmdCancel");
    cmdSave->setDefault(true);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdClear);
    buttons->addStretch();
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdCancel);
    auto *v = new QVBoxLayout(this);
    v->addWidget(txt);
    v->addLayout(buttons);
    connect(cmdSave, &QPushButton::clicked, this, &frmInvoiceEdit::save);
    connect(cmdClear, &QPushButton::clicked, txt, &QPlainTextEdit::clear);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    try {
        m_loaded = lineDetails(ctx.db(), lineId, &m_found);
    } catch (const db::DbError &e) {
        m_found = false;
        informFailure(m_ctx, QStringLiteral("The invoice line could not be read"), QStringLiteral("Invoice"), e);
    }
    txt->setPlainText(m_loaded);
    followRights(m_ctx, this, [this] { cmdSave->setEnabled(m_found && mayUse(m_ctx, rights::Invoices)); });
}

bool frmInvoiceEdit::save()
{
    const QString text = txt->toPlainText();
    // Untouched: the row stays exactly as it is (also a Null text).
    if (text == m_loaded) {
        accept();
        return true;
    }
    if (text.size() > kDetailsLength) {
        m_ctx.prompt().inform(QStringLiteral("The text is %1 characters long; a line holds at most %2.")
                                  .arg(text.size())
                                  .arg(kDetailsLength),
                              QStringLiteral("Invoice line"), Icon::Exclamation);
        return false;
    }
    if (!mayWrite(m_ctx, rights::Invoices))
        return false;
    try {
        if (!saveLineDetails(m_ctx.db(), m_lineId, text)) {
            m_ctx.prompt().inform(QStringLiteral("This line has been deleted meanwhile."), QStringLiteral("Invoice line"),
                                  Icon::Exclamation);
            reject();
            return false;
        }
    } catch (const db::DbError &e) {
        m_ctx.prompt().inform(QStringLiteral("The text could not be saved:\n\n") + e.message(),
                              QStringLiteral("Invoice line"), Icon::Exclamation);
        return false;
    }
    accept();
    return true;
}

} // namespace velmor::invoices
