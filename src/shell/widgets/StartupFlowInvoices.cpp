// The invoice screens the shell opens for the others: the sell dialog, the
// invoice, the invoice list, the invoice's print (frmPrintInvoice) and the
// sales disclaimer.
#include "shell/widgets/StartupFlow.h"

#include "core/ChangeEvents.h"
#include "core/AppContext.h"
#include "core/Users.h"
#include "core/widgets/WindowPlacement.h"
#include "invoices/InvoicePrint.h"
#include "invoices/frmDiamondSell.h"
#include "invoices/frmInvoice.h"
#include "invoices/frmInvoiceFind.h"
#include "invoices/frmSalesDisclaimer.h"
#include "printing/frmPrintTo.h"

#include <QApplication>
#include <QComboBox>

namespace velmor::ui {

namespace {
void bringUpWindow(QWidget *w, QWidget *opener)
{
    if (!w->isVisible())
        placeWindow(w, w->size().expandedTo(w->sizeHint()), opener);
    w->show();
    w->raise();
    w->activateWindow();
}
} // namespace

bool StartupFlow::openSellDialog(qint64 stoneId, QWidget *parent)
{
    invoices::frmDiamondSell dlg(m_ctx, stoneId, parent);
    if (!dlg.loaded()) {
        m_ctx.prompt().inform(QStringLiteral("There is no stone number %1.").arg(stoneId),
                              QStringLiteral("Selling Diamond"), Icon::Exclamation);
        return false;
    }
    return dlg.exec() == QDialog::Accepted;
}

bool StartupFlow::openInvoice(qint64 invoiceId)
{
    if (!checkRight(m_ctx, QStringLiteral("AllowInvoiceView")))
        return false;
    QWidget *opener = QApplication::activeWindow();
    if (!m_invoice) {
        auto *w = new invoices::frmInvoice(m_ctx);
        w->setAttribute(Qt::WA_DeleteOnClose);
        m_invoice = w;
    }
    auto *w = static_cast<invoices::frmInvoice *>(m_invoice.data());
    if (!w->showInvoice(invoiceId)) {
        m_ctx.prompt().inform(QStringLiteral("There is no invoice number %1.").arg(invoiceId), QStringLiteral("Invoice"),
                              Icon::Information);
        w->close();
        return false;
    }
    bringUpWindow(w, opener);
    return true;
}

bool StartupFlow::openInvoiceFind(bool todayOnly)
{
    if (!checkRight(m_ctx, QStringLiteral("AllowInvoiceView")))
        return false;
    QWidget *opener = QApplication::activeWindow();
    if (!m_invoiceFind) {
        auto *w = new invoices::frmInvoiceFind(m_ctx);
        w->setAttribute(Qt::WA_DeleteOnClose);
        m_invoiceFind = w;
    }
    auto *w = static_cast<invoices::frmInvoiceFind *>(m_invoiceFind.data());
    w->setCreatedOn(todayOnly ? QDate::currentDate() : QDate());
    bringUpWindow(w, opener);
    return true;
}

bool StartupFlow::printInvoice(qint64 invoiceId, bool rap, bool rapDiscount, QWidget *parent)
{
    const QString title = QStringLiteral("Print Invoice");
    invoices::Invoice inv;
    try {
        if (!invoices::loadInvoice(m_ctx.db(), invoiceId, inv)) {
            m_ctx.prompt().inform(QStringLiteral("There is no invoice number %1.").arg(invoiceId), title,
                                  Icon::Information);
            return false;
        }
    } catch (const db::DbError &e) {
        m_ctx.prompt().inform(QStringLiteral("The invoice could not be read:\n\n") + e.message(), title,
                              Icon::Exclamation);
        return false;
    }
    // Printing closes an open invoice: a change of the books.
    if (inv.isOpen() && !mayWrite(m_ctx, rights::Invoices))
        return false;
    invoices::InvoicePrintOptions options;
    options.rap = rap;
    options.rapDiscount = rapDiscount;
    options.currency = invoices::printCurrency(m_ctx);
    printing::frmPrintTo dlg(m_ctx, title, QStringLiteral("lastprinterinvoice.ini"), {}, parent);
    dlg.setObjectName(QStringLiteral("frmPrintInvoice"));
    const Settings &dealer = m_ctx.settings;
    dlg.draw = [&](printing::PrintSurface &s, bool, QString *error) {
        return invoices::PrintInvoiceNEWModule(s, inv, dealer, options, error);
    };
    dlg.suggestedPdfName = QStringLiteral("invoice-%1.pdf").arg(invoiceId);
    const bool printed = dlg.exec() == QDialog::Accepted && dlg.outcome().ok;
    if (!printed) {
        m_ctx.prompt().inform(invoices::notPrintedMessage(dlg.outcome().error).replace(
                                  QStringLiteral("\n\nIt stays open."),
                                  inv.isOpen() ? QStringLiteral("\n\nIt stays open.") : QString()),
                              title, Icon::Information);
        return false;
    }
    printing::writePrinterChoice(m_ctx.workstation, QStringLiteral("lastprinterfinvoice.ini"),
                                 dlg.cboPrinter->currentText());
    try {
        if (invoices::closeAfterPrint(m_ctx.db(), inv) == invoices::CloseResult::LinesChanged) {
            m_ctx.prompt().inform(invoices::linesChangedMessage(invoiceId), title, Icon::Exclamation);
            return true;
        }
    } catch (const db::DbError &e) {
        m_ctx.prompt().inform(QStringLiteral("The invoice was printed but could not be closed:\n\n") + e.message(),
                              title, Icon::Exclamation);
        return true;
    }
    changeEvents(m_ctx).announceInvoice(invoiceId);
    m_ctx.prompt().inform(invoices::kInvoicePrinted, title, Icon::Information);
    return true;
}

bool StartupFlow::openSalesDisclaimer()
{
    invoices::frmSalesDisclaimer dlg(m_ctx, QApplication::activeWindow());
    dlg.exec();
    return true;
}

} // namespace velmor::ui
