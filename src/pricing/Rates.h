#pragma once
// Exchange and metal rates: the US-dollar rates of the Canadian dollar and
// the rand and the gold bid price, read from three public web pages; the
// two-hourly refresh rule; and the exchange-and-metal-rates form with its
// conversions and its four-step save.
#include <QString>
#include <QTime>
#include <functional>
#include <optional>

namespace velmor {
class AppContext;
}

namespace velmor::pricing {

// The rate after each page's marker, or nothing when the marker, the closing
// tag or the number is missing.
std::optional<double> parseCadRate(const QString &startPage);
std::optional<double> parseZarRate(const QString &tablePage);
// The gold bid in US dollars per ounce, to four decimals ("1,234.50" reads 1234.5).
std::optional<double> parseGoldBid(const QString &metalPage);

// The bands a fetched figure must fall in to be taken (ends included).
// Anything else (0, a negative number, 1e308) is refused like a missing one.
struct RateBand {
    double low, high;
};
constexpr RateBand kCadBand{0.5, 5.0};        // Canadian dollars to the US dollar
constexpr RateBand kZarBand{1.0, 500.0};      // rand to the US dollar
constexpr RateBand kGoldBand{50.0, 100000.0}; // US dollars per ounce of gold

struct RatesFetch {
    std::optional<double> cad, zar, gold;
    QString failedStep; // "exchange-rate start page", ... empty when all went well
    QString error;
    bool complete() const { return cad && zar && gold; }
};

// The fetch in its order: start page (written to exchangerate.ini), table
// page (exchangerateTABLE.ini), Canadian rate into ctx.exchangeRateCDN, rand
// rate into ctx.exchangeRateZAR, metal page (the metal file), gold bid.  A
// failed step (no answer within the time limit, an error answer, a missing
// marker, a file that cannot be written) ends the fetch; what was stored
// before it stays.
RatesFetch fetchRates(AppContext &ctx);

// The welcome window's three labels.
QString cdnLabelText(double rate);  // "US$/ CDN$:   1/ 1.326"
QString zarLabelText(double rate);  // "US$/ ZAR:   1/ 14.250"
QString goldLabelText(double gold); // "Gold US$:   1,234.50"

// The stone screen's timer refreshes the rates when its screen is the active
// window, the hour is even, the minute is 1 and the second is 1.
bool rateRefreshDue(bool screenActive, const QTime &now);

// Formats of the rates screen.
QString formatFixed(double v, int decimals);

// The fields of the exchange-and-metal-rates screen with their change
// handlers.  A change of a gold rate per gram sets its per-ounce partner and
// the reverse; one guard flag stops the partner's handler from converting
// back.  The grams-per-ounce fields themselves trigger nothing.
class ExchangeRateForm {
public:
    enum Field {
        ExchangeRate,
        GoldRate,
        GoldRateOunce,
        GoldRateBase,
        GoldRateOunceBase,
        OunceToGram,
        OunceToGramBase,
        PlatinumRate,
        ExchangeRateZAR, // US dollar to rand, kept as the exchange rate is
        FieldCount
    };
    static QString controlName(Field f); // "txtGoldRate" ...

    // Fills the fields on activation from the working rate and the settings.
    void activate(const AppContext &ctx);

    QString text(Field f) const { return m_text[f]; }
    // A field's text changed (typed by the user or written by the screen).
    void edit(Field f, const QString &text);
    // Called whenever the form writes a field itself (the screen mirrors it).
    std::function<void(Field, const QString &)> onWrite;

    // As remembered when the screen opened.
    double openedGoldRate = 0, openedPlatinumRate = 0;

private:
    void write(Field f, const QString &text);
    void convert(Field from, Field to, Field grams, bool multiply);
    QString m_text[FieldCount];
    bool m_guard = false;
};

enum class Metal { Gold, GoldBase, Platinum };

struct RatesSaveResult {
    bool exchangeRate = false, goldRate = false, goldRateBase = false, platinumRate = false; // stored
    bool exchangeRateZAR = false;
    QList<Metal> recosted;
};

// Saves the rates screen (cmdRapSettings) in four independent steps, each
// reading the Config row afresh and writing only a value that changed.  A
// changed metal rate reloads the configuration (`reloadConfiguration`, or
// the rate fields of ctx.settings when none is given) and runs the jewellery
// re-costing for that metal; a changed platinum rate tells the user first.
RatesSaveResult saveRates(AppContext &ctx, const ExchangeRateForm &form,
                          const std::function<void()> &reloadConfiguration = {});

} // namespace velmor::pricing
