#pragma once
// The price fields of the stone screen as a model without widgets: the
// buying side, selling tier 1, the listing tier, tiers 2 and 3 and the
// weight, each field held as the text the screen shows.  An edit runs the
// field's change handler, which rewrites its partner fields; while a handler
// writes, the guard is set and the partners' own handlers do nothing, so the
// screen can forward every textChanged of its controls without loops.
#include "core/Figures.h"

#include <QString>
#include <array>
#include <functional>

namespace velmor::stones {

// Value formatted "0.00" (half away from zero, as the screens print money).
QString fmt(double value);
// Int(x * 100 + 0.5) / 100: half up to the cent.
double round2(double value);
// The numeric value of a typed field: the leading number, empty text 0.
// A comma counts only as a thousands separator ("1,234.56"); any other comma
// ends the number ("0,75" reads as 0), so a typed value is never
// reinterpreted.  isTypedNumber tells such text apart before a save.
double fieldValue(const QString &text);
// True for empty text and for a plain number: an optional sign or "$", digits
// with an optional point, commas only between groups of three digits before
// the point ("1,234.56", ".50", "-3").
bool isTypedNumber(const QString &text);

class StonePriceModel {
public:
    enum Field {
        OriginalRapPrice,
        OriginalRapPriceUS,
        OriginalBuyOffRap,
        BoughtPriceUSCT,
        BoughtPriceUS,
        LatestRapPrice,
        USRap,
        SellOffRap,
        SellPriceCT,
        SellPrice,
        SellOffRapLX,
        SellPriceCTLX,
        SellPriceLX,
        SellOffRap2,
        SellPriceCT2,
        SellPrice2,
        SellPriceLocalCT2,
        SellPriceLocal2,
        SellOffRap3,
        SellPriceCT3,
        SellPrice3,
        SellPriceLocalCT3,
        SellPriceLocal3,
        Weight,
        FieldCount
    };

    // The control name of a field ("txtSellOffRap"); fieldByName is the reverse
    // (FieldCount when the name is not a price field).
    static QString fieldName(Field f);
    static Field fieldByName(const QString &name);

    // Called for every field a handler writes (not for edit() itself), while
    // the guard is set: the screen puts the text into its control.
    std::function<void(Field, const QString &)> onWrite;

    QString text(Field f) const { return m_text[f]; }
    double value(Field f) const { return fieldValue(m_text[f]); }

    // Sets a field without running its handler (loading a stone).
    void set(Field f, const QString &text) { m_text[f] = text; }
    void clear();

    // The user typed into a field: store the text and run the field's handler,
    // unless a handler is writing right now (guard set).
    void edit(Field f, const QString &text);
    bool guarded() const { return m_guard; }

    // Which of tier 1's discount or price stays fixed when the list price
    // changes (optLockPercent / optLockDollar), and the same for the listing tier.
    bool lockPercent = true;
    bool lockPercentLX = true;
    // The working US-dollar-to-local rate R.
    double rate = 1.0;
    // The rounding step of a selling price per carat worked out from the list
    // price and a discount (pricing::sellingPriceStep: 5, or 0 to keep the
    // cents).  Prices typed by the user are kept as typed.
    double priceStep = 0.0;

    // Handlers, callable on their own (the weight handler runs several).
    void boughtPriceUSChanged();
    void boughtPriceUSCTChanged();
    void originalBuyOffRapChanged();
    void originalRapPriceChanged();
    void latestRapPriceChanged();
    void sellOffRapChanged(bool listing = false);
    void sellPriceChanged(bool listing = false);
    void sellPriceCTChanged(bool listing = false);
    void sellOffRapTierChanged(int tier);
    void sellPriceTierChanged(int tier);
    void sellPriceCTTierChanged(int tier);
    void sellPriceLocalTierChanged(int tier);
    void sellPriceLocalCTTierChanged(int tier);
    void weightChanged();

private:
    class Guard;
    void write(Field f, const QString &text);
    void runHandler(Field f);
    double v(Field f) const { return value(f); }
    double w() const { return value(Weight); }
    // A US amount in the local currency, two decimals; empty at an unknown rate.
    QString local(Decimal5 us) const;
    // A local price per carat from the local price per stone.
    QString localPerCarat(Field localStone) const;
    // A field's figure, exactly (0 for empty text).
    Decimal5 dec(Field f) const;
    // The per-stone price of a per-carat field at the weight, to the cent.
    QString perStone(Field perCarat) const;
    // A tier the dealer filled: a price, or a discount other than 0.
    bool filled(Field off, Field stone) const;
    Field tierField(int tier, Field tier2Field) const;
    // List price less the discount, rounded to the price step.
    QString discounted(Field off) const;

    std::array<QString, FieldCount> m_text{};
    bool m_guard = false;
};

} // namespace velmor::stones
