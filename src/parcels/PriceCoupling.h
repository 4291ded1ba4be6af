#pragma once
// A price per carat typed in US dollars, Canadian dollars or rand: each
// change fills the other two at the working rates, "0.00", with a guard so
// that the filling does not convert back.  frmParcelAdd and
// frmParcelPutOnMemo forward their fields' edits here.
#include <QString>

namespace velmor::parcels {

class PriceCoupling {
public:
    PriceCoupling(double rateCDN, double rateZAR);

    // The handler of a field's change; returns false (and changes nothing)
    // while the guard is up, that is while this object writes a field.
    bool usChanged(const QString &text);
    bool cdnChanged(const QString &text);
    bool zarChanged(const QString &text);

    QString us, cdn, zar;
    // Set by the screen around its own writes of the fields.
    bool guard = false;
    // The currency the price was last typed in: 'U', 'C' or 'Z'.
    char typedIn = 'U';
    // True when the price was typed in a currency whose rate is not known:
    // the US price does not follow it and must not be taken.
    bool typedAtUnknownRate() const;

private:
    QString m_rateCDN, m_rateZAR;
};

} // namespace velmor::parcels
