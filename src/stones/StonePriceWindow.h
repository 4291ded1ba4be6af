#pragma once
// The price window of a stone (frmDiamondDetailPrices) without widgets: the
// buying price in US dollars, the local currency and rand at the rates of
// purchase, and the selling price at the current rates.  A marker remembers
// which of US amount, local amount and rate was fixed last and decides what
// follows an edit.
#include <QString>
#include <array>
#include <functional>

namespace velmor::stones {

class StonePriceWindowModel {
public:
    enum Field {
        BoughtPriceUS, BoughtPriceUSCT, BoughtPriceLocal, BoughtPriceLocalCT, BoughtPriceZAR, BoughtPriceZARCT,
        SellPriceUS, SellPriceUSCT, SellPriceLocal, SellPriceLocalCT, SellPriceZAR, SellPriceZARCT,
        CDN, ZAR, CDNbought, ZARbought,
        FieldCount
    };
    static QString fieldName(Field f);
    static Field fieldByName(const QString &name);

    struct Opening {
        double weight = 0;
        double boughtUS = 0;      // per stone
        double boughtLocal = 0;   // per stone, 0 when not known
        double sellUS = 0;        // per stone
        double rateCDN = 1, rateZAR = 1;             // current
        double boughtRateCDN = 0, boughtRateZAR = 0; // at purchase, 0 when none
    };
    void open(const Opening &o);

    // The field written by a rule (the window puts the text into its control).
    std::function<void(Field, const QString &)> onWrite;

    QString text(Field f) const { return m_text[f]; }
    QString marker() const { return m_marker; }

    // The user typed into a field / left it.
    void edit(Field f, const QString &text);
    void leave(Field f);

    // What goes back to the stone: per-stone US and local buying price and the
    // rates at purchase (0 when unknown).
    double boughtUS() const;
    double boughtLocal() const;
    double boughtRateCDN() const;
    double boughtRateZAR() const;

private:
    enum Kind { US, Local, Rate, Other };
    static Kind kindOf(Field f);
    void write(Field f, const QString &t);
    double v(Field f) const;
    void usFollows(bool perCaratEdited);
    void followFromUS();
    void followFromLocal(bool perCaratEdited);

    std::array<QString, FieldCount> m_text{};
    QString m_marker = QStringLiteral("ex");
    double m_weight = 0;
    bool m_writing = false;
};

} // namespace velmor::stones
