#pragma once
// The sell dialog's price fields.  The figure the dealer typed last (the
// discount, or a price per carat or per stone in US dollars, Canadian
// dollars or rand) is the basis; every other field follows from it:
//
//   the amount per stone in the basis currency is the amount invoiced in
//   it, to the cent; the US amount comes from it at the rate (to the cent);
//   the other currencies show the US amount at their rate, as the invoice
//   does; a price per carat is the amount per stone over the weight.
//
// A discount gives the price per carat of the one selling-price rule
// (pricing/SellingPrice.h).  A field at an unknown rate stays empty; a
// price typed in a currency whose rate is not known is refused by the
// sale.  A division by a weight or list price of 0 leaves the field it
// would compute as it was.
#include "core/Figures.h"

#include <QString>
#include <optional>

namespace velmor::invoices {

class SellPrices {
public:
    enum Field { Carat, Rap, RapDiscount, UScarat, USstone, CDNcarat, CDNstone, ZARcarat, ZARstone, FieldCount };

    // The working rates (0: not known) and the rounding step of a price
    // worked out from the discount.
    void setRates(double cdn, double zar);
    double rateCDN() const { return m_cdn ? m_cdn->toDouble() : 0; }
    double rateZAR() const { return m_zar ? m_zar->toDouble() : 0; }
    void setPriceStep(int step) { m_step = step; }

    // Opening on a stone: its weight, list price and discount, and its US
    // price per stone, which is then the basis (the price the stone carries
    // is the price invoiced, to the cent).
    void openStone(const QString &carat, const QString &rap, const QString &discount, const QString &usStone);
    // The same with a US price per carat as the basis.
    void open(const QString &carat, const QString &rap, const QString &discount, const QString &usCarat);

    QString text(Field f) const { return m_text[f]; }
    // The user typed into a field: the field keeps the text and becomes the
    // basis; the others follow.
    void edit(Field f, const QString &text);

    // "0.00" with halves rounded away from zero.
    static QString money(double v);

    // The name a message gives a field ("US$ per carat").
    static QString fieldName(Field f);

    // What the sale posts: the weight and the US$ price per carat as
    // decimal texts, and the amount agreed in Canadian dollars or rand when
    // the price was typed in that currency.  `error` names the first field
    // refused (a text that is not a figure, a price of 0 or below, a figure
    // larger than its column holds); `missingRate` is set, with no error
    // text, when the price was typed in a currency whose rate is not known
    // ('C' or 'Z').  Then the other members are empty.
    struct Sale {
        QString carat;
        QString priceCarat;
        QString amountCDN, amountZAR;
        QString error;
        char missingRate = 0;
    };
    Sale sale(const figures::Column &caratColumn, const figures::Column &priceColumn) const;

    // The field the figures follow.
    Field basis() const { return m_basis; }

private:
    std::optional<Decimal5> figure(Field f) const { return figures::parseTyped(m_text[f]); }
    void recompute();
    void put(Field f, const QString &text)
    {
        if (f != m_basis)
            m_text[f] = text;
    }

    QString m_text[FieldCount];
    Field m_basis = UScarat;
    std::optional<Decimal5> m_cdn, m_zar;
    int m_step = 0;
    // The figures of the basis, as recompute() found them.
    std::optional<Decimal5> m_usStone, m_usCarat, m_agreedCDN, m_agreedZAR;
};

} // namespace velmor::invoices
