#pragma once
// The sell dialog's price fields and their fixed chains of recalculation:
// a change of the discount, or of a price per carat or per stone in US
// dollars, Canadian dollars or rand, recomputes the others in the order the
// dialog has always used.  Fields are the texts the dialog shows; every
// result is written as "0.00".  A division by a weight, rate or list price
// of 0 leaves the field it would compute as it was.  Every price shown
// follows the one typed: a per-stone price gives its per-carat price (the
// sale is per carat x weight), and a per-carat price its per-stone price.
#include "core/Figures.h"

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

    // The name a message gives a field ("US$ per carat").
    static QString fieldName(Field f);

    // What the sale posts: the weight and the US$ price per carat as
    // decimal texts.  A price typed per stone gives its price per carat at
    // the column's five decimals, so that the line's amount is the price
    // typed, to the cent.  `error` names the first field that is refused
    // (a text that is not a figure, a price of 0 or below, a figure larger
    // than its column holds); then the other members are empty.
    struct Sale {
        QString carat;
        QString priceCarat;
        QString error;
    };
    Sale sale(const figures::Column &caratColumn, const figures::Column &priceColumn) const;

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
    // The US$ per carat behind a typed per-stone price, at five decimals.
    std::optional<Decimal5> m_exactUScarat;
    double m_cdn = 1, m_zar = 1;
};

} // namespace velmor::invoices
