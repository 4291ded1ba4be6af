#include "stones/StonePriceWindow.h"

#include "core/KnownRates.h"
#include "stones/StonePrices.h"

namespace velmor::stones {

namespace {
const std::array<const char *, StonePriceWindowModel::FieldCount> kNames = {
    "txtBoughtPriceUS",  "txtBoughtPriceUSCT",  "txtBoughtPriceLocal", "txtBoughtPriceLocalCT",
    "txtBoughtPriceZAR", "txtBoughtPriceZARCT", "txtSellPriceUS",      "txtSellPriceUSCT",
    "txtSellPriceLocal", "txtSellPriceLocalCT", "txtSellPriceZAR",     "txtSellPriceZARCT",
    "txtCDN",            "txtZAR",              "txtCDNbought",        "txtZARbought"};

// "0.#####"
QString rateText(double r)
{
    QString s = QString::number(r, 'f', 5);
    while (s.endsWith(QLatin1Char('0')))
        s.chop(1);
    if (s.endsWith(QLatin1Char('.')))
        s.chop(1);
    return s;
}
} // namespace

QString StonePriceWindowModel::fieldName(Field f) { return QString::fromLatin1(kNames[f]); }

StonePriceWindowModel::Field StonePriceWindowModel::fieldByName(const QString &name)
{
    for (int i = 0; i < FieldCount; ++i)
        if (name == QLatin1String(kNames[i]))
            return Field(i);
    return FieldCount;
}

StonePriceWindowModel::Kind StonePriceWindowModel::kindOf(Field f)
{
    switch (f) {
    case BoughtPriceUS:
    case BoughtPriceUSCT: return US;
    case BoughtPriceLocal:
    case BoughtPriceLocalCT: return Local;
    case CDNbought:
    case ZARbought: return Rate;
    default: return Other;
    }
}

double StonePriceWindowModel::v(Field f) const { return fieldValue(m_text[f]); }

void StonePriceWindowModel::write(Field f, const QString &t)
{
    m_text[f] = t;
    if (onWrite) {
        m_writing = true;
        onWrite(f, t);
        m_writing = false;
    }
}

void StonePriceWindowModel::open(const Opening &o)
{
    m_weight = o.weight;
    m_marker = QStringLiteral("ex");
    const double w = o.weight;
    write(CDN, rateKnown(o.rateCDN) ? rateText(o.rateCDN) : QStringLiteral("???"));
    write(ZAR, rateKnown(o.rateZAR) ? rateText(o.rateZAR) : QStringLiteral("???"));
    write(CDNbought, o.boughtRateCDN != 0 ? rateText(o.boughtRateCDN) : QStringLiteral("???"));
    write(ZARbought, o.boughtRateZAR != 0 ? rateText(o.boughtRateZAR) : QStringLiteral("???"));
    write(BoughtPriceUS, fmt(o.boughtUS));
    write(BoughtPriceUSCT, w != 0 ? fmt(o.boughtUS / w) : QString());
    const double local = o.boughtLocal != 0 ? o.boughtLocal : o.boughtUS * o.boughtRateCDN;
    write(BoughtPriceLocal, o.boughtRateCDN != 0 || o.boughtLocal != 0 ? fmt(local) : QString());
    write(BoughtPriceLocalCT, w != 0 && !m_text[BoughtPriceLocal].isEmpty() ? fmt(local / w) : QString());
    write(BoughtPriceZAR, o.boughtRateZAR != 0 ? fmt(o.boughtUS * o.boughtRateZAR) : QString());
    write(BoughtPriceZARCT, o.boughtRateZAR != 0 && w != 0 ? fmt(o.boughtUS * o.boughtRateZAR / w) : QString());
    const double ct = w != 0 ? o.sellUS / w : 0;
    write(SellPriceUS, fmt(o.sellUS));
    write(SellPriceUSCT, fmt(ct));
    // Today's local and rand prices only at a known rate: the US price per
    // stone at the rate (as every screen converts), per carat from it.
    const Decimal5 sellUS = Decimal5::fromDouble(o.sellUS).rounded(2);
    auto at = [&](double rate, bool perCarat) {
        const std::optional<Decimal5> l = convertedAmount(sellUS, rate);
        if (!l)
            return QString();
        return perCarat ? l->dividedBy(Decimal5::fromDouble(w), 2).fixed(2) : l->fixed(2);
    };
    write(SellPriceLocal, at(o.rateCDN, false));
    write(SellPriceLocalCT, at(o.rateCDN, true));
    write(SellPriceZAR, at(o.rateZAR, false));
    write(SellPriceZARCT, at(o.rateZAR, true));
}

// The US pair from the one edited, then local and rand from US at the rates
// of purchase.
void StonePriceWindowModel::usFollows(bool perCaratEdited)
{
    if (perCaratEdited)
        write(BoughtPriceUS, fmt(v(BoughtPriceUSCT) * m_weight));
    else if (m_weight != 0)
        write(BoughtPriceUSCT, fmt(v(BoughtPriceUS) / m_weight));
    followFromUS();
}

void StonePriceWindowModel::followFromUS()
{
    if (v(CDNbought) != 0) {
        write(BoughtPriceLocal, fmt(v(BoughtPriceUS) * v(CDNbought)));
        write(BoughtPriceLocalCT, fmt(v(BoughtPriceUSCT) * v(CDNbought)));
    }
    if (v(ZARbought) != 0) {
        write(BoughtPriceZAR, fmt(v(BoughtPriceUS) * v(ZARbought)));
        write(BoughtPriceZARCT, fmt(v(BoughtPriceUSCT) * v(ZARbought)));
    }
}

void StonePriceWindowModel::followFromLocal(bool perCaratEdited)
{
    if (perCaratEdited)
        write(BoughtPriceLocal, fmt(v(BoughtPriceLocalCT) * m_weight));
    else if (m_weight != 0)
        write(BoughtPriceLocalCT, fmt(v(BoughtPriceLocal) / m_weight));
}

void StonePriceWindowModel::edit(Field f, const QString &t)
{
    if (m_writing)
        return;
    m_text[f] = t;
    const Kind k = kindOf(f);
    if (k == US && m_marker == QLatin1String("us"))
        m_marker = QStringLiteral("ex");
    else if (k == Local && m_marker == QLatin1String("loc"))
        m_marker = QStringLiteral("ex");
    else if (k == Rate && m_marker == QLatin1String("ex"))
        m_marker = QStringLiteral("us");

    switch (k) {
    case US:
        usFollows(f == BoughtPriceUSCT);
        break;
    case Local:
        followFromLocal(f == BoughtPriceLocalCT);
        if (m_marker == QLatin1String("ex")) {
            if (v(CDNbought) != 0) {
                write(BoughtPriceUS, fmt(v(BoughtPriceLocal) / v(CDNbought)));
                write(BoughtPriceUSCT, fmt(v(BoughtPriceLocalCT) / v(CDNbought)));
                if (v(ZARbought) != 0) {
                    write(BoughtPriceZAR, fmt(v(BoughtPriceUS) * v(ZARbought)));
                    write(BoughtPriceZARCT, fmt(v(BoughtPriceUSCT) * v(ZARbought)));
                }
            }
        } else if (m_marker == QLatin1String("us") && v(BoughtPriceUS) != 0) {
            write(CDNbought, rateText(v(BoughtPriceLocal) / v(BoughtPriceUS)));
        }
        break;
    case Rate:
        if (m_marker == QLatin1String("us")) {
            followFromUS();
        } else if (m_marker == QLatin1String("loc") && f == CDNbought && v(CDNbought) != 0) {
            write(BoughtPriceUS, fmt(v(BoughtPriceLocal) / v(CDNbought)));
            write(BoughtPriceUSCT, fmt(v(BoughtPriceLocalCT) / v(CDNbought)));
            if (v(ZARbought) != 0) {
                write(BoughtPriceZAR, fmt(v(BoughtPriceUS) * v(ZARbought)));
                write(BoughtPriceZARCT, fmt(v(BoughtPriceUSCT) * v(ZARbought)));
            }
        } else if (m_marker == QLatin1String("loc") && f == ZARbought && v(ZARbought) != 0) {
            write(BoughtPriceZAR, fmt(v(BoughtPriceUS) * v(ZARbought)));
            write(BoughtPriceZARCT, fmt(v(BoughtPriceUSCT) * v(ZARbought)));
        }
        break;
    case Other:
        break;
    }
}

void StonePriceWindowModel::leave(Field f)
{
    switch (kindOf(f)) {
    case US: m_marker = QStringLiteral("us"); break;
    case Local: m_marker = QStringLiteral("loc"); break;
    case Rate: m_marker = QStringLiteral("ex"); break;
    case Other: break;
    }
}

double StonePriceWindowModel::boughtUS() const { return v(BoughtPriceUS); }
double StonePriceWindowModel::boughtLocal() const { return v(BoughtPriceLocal); }
double StonePriceWindowModel::boughtRateCDN() const { return v(CDNbought); }
double StonePriceWindowModel::boughtRateZAR() const { return v(ZARbought); }

} // namespace velmor::stones
