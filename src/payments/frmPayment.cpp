#include "payments/frmPayment.h"

#include "core/AppContext.h"
#include "core/widgets/WindowPlacement.h"
#include "db/Row.h"
#include "db/Sql.h"

#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace velmor::payments {

namespace {

template <typename W>
W *named(W *w, const char *name)
{
    w->setObjectName(QLatin1String(name));
    return w;
}

QTableWidgetItem *cell(const QString &text, bool right = false, bool editable = false)
{
    auto *i = new QTableWidgetItem(text);
    if (right)
        i->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    if (!editable)
        i->setFlags(i->flags() & ~Qt::ItemIsEditable);
    return i;
}

} // namespace

frmPayment::frmPayment(AppContext &ctx, Side side, Mode mode, qint64 id, QWidget *parent)
    : QDialog(parent), m_ctx(ctx), m_side(side), m_mode(mode), m_id(id)
{
    setObjectName(side == Side::Received ? QStringLiteral("frmPayment") : QStringLiteral("frmPaymentMade"));
    setWindowTitle(title());
    auto *v = new QVBoxLayout(this);
    auto *facts = new QFormLayout;
    lblStone = named(new QLabel, "lblStone");
    lblParty = named(new QLabel, "lblParty");
    lblPrice = named(new QLabel, "lblPrice");
    lblPaid = named(new QLabel, "lblPaid");
    lblBalance = named(new QLabel, "lblBalance");
    facts->addRow(mode == Mode::Invoice ? QStringLiteral("Invoice") : QStringLiteral("Stone"), lblStone);
    facts->addRow(side == Side::Received ? QStringLiteral("Customer") : QStringLiteral("Supplier"), lblParty);
    facts->addRow(side == Side::Received ? QStringLiteral("Price") : QStringLiteral("Cost"), lblPrice);
    facts->addRow(side == Side::Received ? QStringLiteral("Received before") : QStringLiteral("Paid before"), lblPaid);
    facts->addRow(QStringLiteral("Balance"), lblBalance);
    v->addLayout(facts);

    grdLines = named(new QTableWidget(0, 5), "grdLines");
    grdLines->setHorizontalHeaderLabels({QStringLiteral("SKU"), QStringLiteral("Invoiced"), QStringLiteral("Received"),
                                         QStringLiteral("Balance"), QStringLiteral("Pay (US$)")});
    grdLines->setToolTip(QStringLiteral("What each line asks includes its share of the invoice's tax. Leave \"Pay\" "
                                        "empty to spread the payment over the lines, oldest first."));
    grdLines->setVisible(mode == Mode::Invoice);
    v->addWidget(grdLines);

    auto *entry = new QFormLayout;
    dtDate = named(new QDateEdit(QDate::currentDate()), "dtDate");
    dtDate->setCalendarPopup(true);
    dtDate->setDisplayFormat(QStringLiteral("MMM dd, yyyy"));
    txtReference = named(new QLineEdit, "txtReference");
    txtReference->setMaxLength(255);
    txtAmountUS = named(new QLineEdit, "txtAmountUS");
    txtAmountLocal = named(new QLineEdit, "txtAmountLocal");
    entry->addRow(QStringLiteral("Date"), dtDate);
    entry->addRow(QStringLiteral("Reference"), txtReference);
    entry->addRow(QStringLiteral("Amount US$"), txtAmountUS);
    entry->addRow(QStringLiteral("Amount ") + ctx.settings.currencyName(), txtAmountLocal);
    v->addLayout(entry);

    grdPayments = named(new QTableWidget(0, 6), "grdPayments");
    grdPayments->setHorizontalHeaderLabels({QStringLiteral("Payment"), QStringLiteral("Date"), QStringLiteral("SKU"),
                                            QStringLiteral("US$"), ctx.settings.currencyName(),
                                            QStringLiteral("Reference")});
    grdPayments->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdPayments->setSelectionMode(QAbstractItemView::SingleSelection);
    v->addWidget(grdPayments);

    auto *buttons = new QHBoxLayout;
    auto *cmdReverse = named(new QPushButton(QStringLiteral("Reverse the chosen payment")), "cmdReverse");
    auto *cmdOK = named(new QPushButton(QStringLiteral("Save")), "cmdOK");
    auto *cmdCancel = named(new QPushButton(QStringLiteral("Close")), "cmdCancel");
    cmdOK->setDefault(true);
    buttons->addWidget(cmdReverse);
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    v->addLayout(buttons);
    connect(cmdOK, &QPushButton::clicked, this, &frmPayment::save);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(cmdReverse, &QPushButton::clicked, this, &frmPayment::reverseChosen);

    // Every write needs the right: without it the window only shows.
    const bool mayWrite = writeRefusal(ctx).isEmpty();
    for (QWidget *w : std::initializer_list<QWidget *>{cmdOK, cmdReverse, txtAmountUS, txtAmountLocal, txtReference, dtDate})
        w->setEnabled(mayWrite);
    setTabOrder(dtDate, txtReference);
    setTabOrder(txtReference, txtAmountUS);
    setTabOrder(txtAmountUS, txtAmountLocal);
    setTabOrder(txtAmountLocal, cmdOK);
    load();
    ui::placeWindow(this, QSize(720, mode == Mode::Invoice ? 620 : 520), parent);
}

QString frmPayment::title() const
{
    return m_side == Side::Received ? QStringLiteral("Payment received") : QStringLiteral("Payment made");
}

void frmPayment::load()
{
    const bool showFigures = m_side == Side::Received || m_ctx.user.ViewCost;
    auto show = [&](const Decimal5 &d, bool local) {
        return showFigures ? amountText(m_ctx, d, local) : QStringLiteral("(cost not shown)");
    };
    // What is owed for a sold stone or an invoice line includes its share of
    // the invoice's tax: said beside the price.
    auto taxNote = [&](const Decimal5 &tax, bool local) {
        return tax.isZero() ? QString() : QStringLiteral("  (with tax %1)").arg(amountText(m_ctx, tax, local));
    };
    PaymentFilter filter;
    try {
        if (m_mode == Mode::Stone) {
            const std::optional<StoneAccount> acc = stoneAccount(m_ctx, m_side, m_id);
            if (!acc)
                return;
            m_loaded = true;
            lblStone->setText(QStringLiteral("%1 (ID %2)").arg(acc->sku).arg(acc->stoneId));
            lblParty->setText(acc->partyName.isEmpty() ? QStringLiteral("(none)") : acc->partyName);
            if (acc->priceKnown) {
                lblPrice->setText(show(acc->price, acc->local) + taxNote(acc->tax, acc->local));
                lblBalance->setText(show(acc->balance(), acc->local) + (acc->settled() ? QStringLiteral("  (paid off)") : QString()));
            } else {
                lblPrice->setText(QStringLiteral("??? (the exchange rate is not known)"));
                lblBalance->setText(QStringLiteral("???"));
            }
            lblPaid->setText(show(acc->paid(), acc->local));
            filter.stoneId = m_id;
        } else {
            const QVariant customer =
                db::scalar(m_ctx.db(), QStringLiteral("SELECT customerid FROM invoice WHERE ID = ?"), {m_id});
            if (!customer.isValid())
                return;
            m_loaded = true;
            const QList<StoneAccount> accounts = invoiceAccounts(m_ctx, m_id);
            lblStone->setText(QStringLiteral("Invoice# %1").arg(m_id, 6, 10, QLatin1Char('0')));
            lblParty->setText(db::textOf(db::scalar(m_ctx.db(), QStringLiteral("SELECT CompanyName FROM Customer WHERE ID = ?"),
                                                    {customer.toLongLong()})));
            std::array<Decimal5, 2> price{}, paid{}, tax{};
            std::array<bool, 2> any{};
            m_lineIds.clear();
            grdLines->setRowCount(0);
            for (const StoneAccount &a : accounts) {
                const int cur = a.local ? 1 : 0;
                any[cur] = true;
                price[cur] += a.price;
                tax[cur] += a.tax;
                paid[cur] += a.paid();
                const int r = grdLines->rowCount();
                grdLines->insertRow(r);
                grdLines->setItem(r, 0, cell(a.sku));
                grdLines->setItem(r, 1, cell(amountText(m_ctx, a.price, a.local), true));
                grdLines->setItem(r, 2, cell(amountText(m_ctx, a.paid(), a.local), true));
                grdLines->setItem(r, 3, cell(amountText(m_ctx, a.balance(), a.local), true));
                grdLines->setItem(r, 4, cell(QString(), true, true));
                m_lineIds << a.invoiceLineId;
            }
            auto both = [&](const std::array<Decimal5, 2> &x, bool withTax = false) {
                QStringList t;
                for (int cur = 0; cur < 2; ++cur)
                    if (any[cur])
                        t << amountText(m_ctx, x[cur], cur == 1) + (withTax ? taxNote(tax[cur], cur == 1) : QString());
                return t.isEmpty() ? QStringLiteral("(nothing still sold on it)") : t.join(QStringLiteral(", "));
            };
            lblPrice->setText(both(price, true));
            lblPaid->setText(both(paid));
            lblBalance->setText(both({price[0] - paid[0], price[1] - paid[1]}));
            grdLines->resizeColumnsToContents();
            filter.customerId = customer.toLongLong();
        }
        const QList<PaymentRow> rows = listPayments(m_ctx.db(), m_side, filter);
        grdPayments->setRowCount(0);
        for (const PaymentRow &p : rows) {
            if (m_mode == Mode::Invoice && p.invoiceId != m_id)
                continue;
            const int r = grdPayments->rowCount();
            grdPayments->insertRow(r);
            QString note = p.reference;
            if (p.reversedBy)
                note += QStringLiteral(" (reversed by %1)").arg(p.reversedBy);
            grdPayments->setItem(r, 0, cell(QString::number(p.id)));
            grdPayments->setItem(r, 1, cell(p.date.toString(QStringLiteral("MMM dd, yyyy"))));
            grdPayments->setItem(r, 2, cell(p.sku));
            grdPayments->setItem(r, 3, cell(showFigures ? p.us.grouped2() : QString(), true));
            grdPayments->setItem(r, 4, cell(showFigures ? p.local.grouped2() : QString(), true));
            grdPayments->setItem(r, 5, cell(note.trimmed()));
        }
        grdPayments->resizeColumnsToContents();
    } catch (const db::DbError &e) {
        m_ctx.prompt().inform(QStringLiteral("The payments could not be read: ") + e.message(), title(), Icon::Exclamation);
    }
}

void frmPayment::save()
{
    PaymentInput in;
    in.us = txtAmountUS->text();
    in.local = txtAmountLocal->text();
    in.date = dtDate->date();
    in.reference = txtReference->text();
    QList<LineShare> shares;
    if (m_mode == Mode::Invoice)
        for (int r = 0; r < grdLines->rowCount() && r < m_lineIds.size(); ++r)
            if (auto *i = grdLines->item(r, 4); i && !i->text().trimmed().isEmpty())
                shares << LineShare{m_lineIds.at(r), i->text()};
    auto run = [&] {
        if (m_mode == Mode::Invoice)
            return receiveForInvoice(m_ctx, m_id, in, shares);
        return m_side == Side::Received ? receiveForStone(m_ctx, m_id, in) : makeForStone(m_ctx, m_id, in);
    };
    Outcome o = run();
    if (o.state == Outcome::Overpayment) {
        if (!m_ctx.prompt().askYesNo(o.message, QStringLiteral("Overpayment"), Icon::Question))
            return;
        in.confirmOverpayment = true;
        o = run();
    }
    if (!o.ok()) {
        m_ctx.prompt().inform(o.message, title(), o.state == Outcome::Refused ? Icon::Information : Icon::Exclamation);
        return;
    }
    m_wrote = true;
    QStringList done;
    for (const WrittenRow &w : o.rows)
        done << QStringLiteral("%1: payment %2%3").arg(w.sku).arg(w.paymentId)
                    .arg(w.paidOff ? QStringLiteral(", paid off") : QString());
    m_ctx.prompt().notice(QStringLiteral("Payment recorded\n") + done.join(QLatin1Char('\n')));
    accept();
}

void frmPayment::reverseChosen()
{
    const int r = grdPayments->currentRow();
    if (r < 0 || !grdPayments->item(r, 0)) {
        m_ctx.prompt().inform(QStringLiteral("Choose the payment to reverse in the list first."), title(),
                              Icon::Information);
        return;
    }
    const qint64 id = grdPayments->item(r, 0)->text().toLongLong();
    if (!m_ctx.prompt().askYesNo(QStringLiteral("Reverse payment %1?\n\nA reversing row is written; nothing is "
                                                "deleted.")
                                     .arg(id),
                                 title(), Icon::Question))
        return;
    const Outcome o = reversePayment(m_ctx, m_side, id, dtDate->date());
    if (!o.ok()) {
        m_ctx.prompt().inform(o.message, title(), Icon::Information);
        return;
    }
    m_wrote = true;
    load();
}

} // namespace velmor::payments
