// The payment screens the shell opens for the others: the payment windows
// of a stone or an invoice, and the statements with the receivables and
// payables.
#include "shell/widgets/StartupFlow.h"

#include "core/AppContext.h"
#include "core/Users.h"
#include "payments/frmPayment.h"
#include "payments/frmStatement.h"

#include <QApplication>
#include <QInputDialog>

namespace velmor::ui {

namespace {
bool runPayment(AppContext &ctx, payments::Side side, payments::frmPayment::Mode mode, qint64 id)
{
    payments::frmPayment dlg(ctx, side, mode, id, QApplication::activeWindow());
    if (!dlg.loaded()) {
        ctx.prompt().inform(mode == payments::frmPayment::Mode::Invoice
                                ? QStringLiteral("There is no invoice number %1.").arg(id)
                                : QStringLiteral("There is no stone number %1.").arg(id),
                            QStringLiteral("Payment"), Icon::Information);
        return false;
    }
    dlg.exec();
    return dlg.wrote();
}
} // namespace

bool StartupFlow::openPayment(qint64 stoneId, qint64 /*customerId*/)
{
    return runPayment(m_ctx, payments::Side::Received, payments::frmPayment::Mode::Stone, stoneId);
}

bool StartupFlow::openPaymentMade(qint64 stoneId, qint64 /*supplierId*/)
{
    return runPayment(m_ctx, payments::Side::Made, payments::frmPayment::Mode::Stone, stoneId);
}

bool StartupFlow::openInvoicePayment(qint64 invoiceId)
{
    return runPayment(m_ctx, payments::Side::Received, payments::frmPayment::Mode::Invoice, invoiceId);
}

bool StartupFlow::openStatements(qint64 customerId)
{
    if (!checkRight(m_ctx, QStringLiteral("AllowStatementView")))
        return false;
    if (!m_statements) {
        auto *w = new payments::frmStatement(m_ctx);
        w->setAttribute(Qt::WA_DeleteOnClose);
        m_statements = w;
    }
    auto *w = static_cast<payments::frmStatement *>(m_statements.data());
    w->show();
    w->raise();
    w->activateWindow();
    if (customerId)
        w->showCustomer(customerId);
    return true;
}

void StartupFlow::wirePaymentCommands()
{
    m_front->setOpener(QStringLiteral("cmdViewStatements"), [this] { openStatements(0); });
    m_front->setOpener(QStringLiteral("cmdApply"), [this] {
        bool ok = false;
        const int id = QInputDialog::getInt(m_front, QStringLiteral("Payment received"),
                                            QStringLiteral("The number of the invoice paid:"), 0, 1, 2147483647, 1, &ok);
        if (ok)
            openInvoicePayment(id);
    });
}

} // namespace velmor::ui
