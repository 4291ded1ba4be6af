#pragma once
// The sell dialog's price fields and their fixed chains of recalculation:
// a change of the discount, or of a price per carat or per stone in US
// dollars, Canadian dollars or rand, recomputes the others in the order the
// dialog has always used.  Fields are the texts the dialog shows; every
// result is written as "0.00".  A division by a weight, rate or list price
// of 0 leaves the field it would compute as it was.  Every price shown
// follows the one typed: a per-stone price gives its per-carat price (the
// sale is per carat x weight), and a per-carat price its per-stone price.
#include <QString>

namespace velmor::invoices {

class SellPrices {
public:
    enum Field { Carat, Rap, RapDiscount, UScarat, USstone, CDNcarat, CDNstone, ZARcarat, ZARstone, FieldCount };

    void setRates(double cdn, double zar)
    {
        m_cdn = cdn;
        m_zar = zar;
    }
    double rateCDN() const { return m_cdn; }
    double rateZAR() const { return m_zar; }

    // Opening: weight, list price, discount and US price per carat as the
    // stone holds them; the other currencies and the per-stone prices follow.
    void open(const QString &carat, const QString &rap, const QString &discount, const QString &usCarat);

    QString text(Field f) const { return m_text[f]; }
    // The user typed into a field: the field keeps the text and its chain runs.
    void edit(Field f, const QString &text);

    // "0.00" with halves rounded up.
    static QString money(double v);

private:
    double num(Field f) const;
    void put(Field f, double v) { m_text[f] = money(v); }
    void stepA() { put(USstone, num(UScarat) * num(Carat)); }
    void stepB() { put(CDNstone, num(CDNcarat) * num(Carat)); }
    void stepC() { put(ZARstone, num(ZARcarat) * num(Carat)); }
    void stepD();
    void stepE();
    void stepF() { put(CDNcarat, num(UScarat) * m_cdn); }
    void stepG() { put(ZARcarat, num(UScarat) * m_zar); }
    void stepH();

    QString m_text[FieldCount];
    double m_cdn = 1, m_zar = 1;
};

} // namespace velmor::invoices
