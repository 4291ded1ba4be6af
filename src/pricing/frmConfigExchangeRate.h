#pragma once
// The exchange-and-metal-rates screen.
#include "pricing/Rates.h"

#include <QWidget>
#include <array>
#include <functional>

class QLineEdit;
class QPushButton;

namespace velmor {
class AppContext;
}

namespace velmor::pricing {

class frmConfigExchangeRate : public QWidget {
    Q_OBJECT
public:
    explicit frmConfigExchangeRate(AppContext &ctx, QWidget *parent = nullptr);

    void activate();
    RatesSaveResult save();

    QLineEdit *field(ExchangeRateForm::Field f) const { return m_edits[f]; }
    QPushButton *cmdRapSettings;
    // The configuration load run after a metal rate is stored (the settings
    // screen's GetConfigurationModule); when unset the rate fields of the
    // settings are re-read.
    std::function<void()> reloadConfiguration;

protected:
    void showEvent(QShowEvent *e) override;

private:
    AppContext &m_ctx;
    ExchangeRateForm m_form;
    std::array<QLineEdit *, ExchangeRateForm::FieldCount> m_edits{};
};

} // namespace velmor::pricing
