#include "pricing/frmConfigExchangeRate.h"

#include "core/AppContext.h"
#include "core/Figures.h"
#include "core/widgets/NumberBox.h"
#include "core/Users.h"
#include "core/widgets/AdministratorOnly.h"
#include "db/Row.h"
#include "db/Sql.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace velmor::pricing {

frmConfigExchangeRate::frmConfigExchangeRate(AppContext &ctx, QWidget *parent) : QWidget(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmConfigExchangeRate"));
    setWindowTitle(QStringLiteral("Exchange and Metal Rates"));
    ui::rightHeld(ctx, this, QStringLiteral("AllowExchangeRateChanging"));
    static const char *const labels[] = {"US$ 1.00 =",          "Gold rate per gram", "Gold rate per ounce",
                                         "Base gold per gram",  "Base gold per ounce", "Grams per ounce",
                                         "Grams per ounce (base)", "Platinum rate",  "US$ 1.00 = ZAR"};
    auto *form = new QFormLayout;
    for (int i = 0; i < ExchangeRateForm::FieldCount; ++i) {
        const auto f = ExchangeRateForm::Field(i);
        auto *e = numberBox(new QLineEdit);
        e->setObjectName(ExchangeRateForm::controlName(f));
        m_edits[i] = e;
        form->addRow(QString::fromLatin1(labels[i]), e);
        connect(e, &QLineEdit::textChanged, this, [this, f](const QString &t) { m_form.edit(f, t); });
    }
    m_form.onWrite = [this](ExchangeRateForm::Field f, const QString &t) {
        // The form runs the field's handler itself.
        QSignalBlocker b(m_edits[f]);
        m_edits[f]->setText(t);
    };
    cmdRapSettings = new QPushButton(QStringLiteral("Save"));
    cmdRapSettings->setObjectName(QStringLiteral("cmdRapSettings"));
    connect(cmdRapSettings, &QPushButton::clicked, this, [this] { save(); });
    auto *l = new QVBoxLayout(this);
    l->addLayout(form);
    l->addWidget(cmdRapSettings);
}

void frmConfigExchangeRate::showEvent(QShowEvent *e)
{
    QWidget::showEvent(e);
    activate();
}

void frmConfigExchangeRate::activate() { m_form.activate(m_ctx); }

RatesSaveResult frmConfigExchangeRate::save()
{
    if (!checkRight(m_ctx, QStringLiteral("AllowExchangeRateChanging")))
        return {};
    try {
        const RatesSaveResult r = saveRates(m_ctx, m_form, reloadConfiguration);
        if (r.exchangeRate) {
            // The stored rate is the working rate from now on: every open
            // screen (the stone screen's title and local prices) follows.
            const double rate =
                figures::parseTyped(m_form.text(ExchangeRateForm::ExchangeRate)).value_or(Decimal5()).toDouble();
            m_ctx.settings.ExchangeRate = rate;
            if (rate > 0)
                m_ctx.exchangeRateCDN = rate;
        }
        if (r.exchangeRateZAR) {
            const double rate =
                figures::parseTyped(m_form.text(ExchangeRateForm::ExchangeRateZAR)).value_or(Decimal5()).toDouble();
            if (rate > 0)
                m_ctx.exchangeRateZAR = rate;
        }
        if (r.exchangeRate || r.exchangeRateZAR)
            emit m_ctx.events().ratesChanged();
        // A word that it was done (or that nothing needed storing).
        m_ctx.prompt().notice(r.exchangeRate || r.exchangeRateZAR || r.goldRate || r.goldRateBase || r.platinumRate
                                  ? QStringLiteral("The rates have been saved.")
                                  : QStringLiteral("The rates are as stored: nothing needed saving."));
        return r;
    } catch (const db::DbError &) {
        m_ctx.prompt().inform(QStringLiteral("The rates could not be saved."), QStringLiteral("Exchange Rate"),
                              Icon::Exclamation);
        return {};
    }
}

} // namespace velmor::pricing
