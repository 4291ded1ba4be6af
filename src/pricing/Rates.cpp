#include "pricing/Rates.h"

#include "core/AppContext.h"
#include "core/KnownRates.h"
#include "core/Figures.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "pricing/HttpFetch.h"
#include "pricing/JewelleryRecosting.h"
#include "pricing/PricingSources.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <cmath>
#include <map>

namespace velmor::pricing {

namespace {

std::optional<double> toNumber(QString s)
{
    s = s.trimmed();
    s.remove(QLatin1Char(','));
    if (s.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double v = s.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

// The text `skip` characters after the start of the marker, up to `closing`.
std::optional<QString> afterMarker(const QString &page, const QString &marker, int skip, const QString &closing)
{
    const int p = page.indexOf(marker);
    if (p < 0)
        return std::nullopt;
    const QString rest = page.mid(p + skip);
    const int end = rest.indexOf(closing);
    if (end < 0)
        return std::nullopt;
    return rest.left(end);
}

} // namespace

std::optional<double> parseCadRate(const QString &page)
{
    // The 20-character marker and the two characters that close the link tag.
    const auto t = afterMarker(page, QStringLiteral("?from=USD&amp;to=CAD"), 22, QStringLiteral("</a>"));
    return t ? toNumber(*t) : std::nullopt;
}

std::optional<double> parseZarRate(const QString &page)
{
    const auto t = afterMarker(page, QStringLiteral("?from=USD&amp;to=ZAR'>"), 22, QStringLiteral("</a>"));
    return t ? toNumber(*t) : std::nullopt;
}

std::optional<double> parseGoldBid(const QString &page)
{
    // The 6-character marker and two more characters.
    const auto t = afterMarker(page, QStringLiteral("AU-bid"), 8, QStringLiteral("</td>"));
    if (!t)
        return std::nullopt;
    const auto v = toNumber(*t);
    if (!v)
        return std::nullopt;
    return std::round(*v * 10000.0) / 10000.0;
}

QString formatFixed(double v, int decimals) { return QString::number(v, 'f', decimals); }

QString cdnLabelText(double rate) { return QStringLiteral("US$/ CDN$:   1/ ") + formatFixed(rate, 3); }
QString zarLabelText(double rate) { return QStringLiteral("US$/ ZAR:   1/ ") + formatFixed(rate, 3); }
QString goldLabelText(double gold)
{
    return QStringLiteral("Gold US$:   ") + QLocale(QLocale::English, QLocale::UnitedStates).toString(gold, 'f', 2);
}

bool rateRefreshDue(bool screenActive, const QTime &now)
{
    return screenActive && now.hour() % 2 == 0 && now.minute() == 1 && now.second() == 1;
}

RatesFetch fetchRates(AppContext &ctx)
{
    RatesFetch r;
    QCoreApplication::processEvents();
    const PricingSources src = PricingSources::fromWorkstation(ctx.workstation);
    const HttpHeaders headers{{"User-Agent", "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)"}};
    auto fail = [&](const QString &step, const QString &error) {
        r.failedStep = step;
        r.error = error;
        return r;
    };
    auto fetchTo = [&](const QString &url, const QString &file, QString &page) -> QString {
        const HttpResult h = httpGet(QUrl(url), headers, src.timeoutMs);
        if (!h.ok)
            return h.error;
        page = QString::fromUtf8(h.body);
        // Written whole, and never through a link out of the workstation folder.
        if (!ctx.workstation.writeText(file, page + QStringLiteral("\r\n")))
            return QStringLiteral("%1 cannot be written").arg(ctx.workstation.path(file));
        return {};
    };
    ctx.workstation.ensureFolder();
    QString start, table, metal;
    QString err = fetchTo(src.exchangeRateHost + QStringLiteral("/"), QStringLiteral("exchangerate.ini"), start);
    if (!err.isEmpty())
        return fail(QStringLiteral("exchange-rate start page"), err);
    err = fetchTo(src.exchangeRateHost + QStringLiteral("/table/?from=USD&amount=1"),
                  QStringLiteral("exchangerateTABLE.ini"), table);
    if (!err.isEmpty())
        return fail(QStringLiteral("exchange-rate table page"), err);
    // A figure outside its band is a broken page (a placeholder, a figure
    // from the wrong cell), never a rate to work with.
    auto outOfBand = [](double v, RateBand b) { return !(v >= b.low && v <= b.high); };
    auto bandText = [](const char *what, double v, RateBand b) {
        return QStringLiteral("the page gives %1 for %2, outside %3 to %4; the old rate is kept")
            .arg(QString::number(v, 'g', 10), QLatin1String(what), QString::number(b.low), QString::number(b.high));
    };
    r.cad = parseCadRate(start);
    if (!r.cad)
        return fail(QStringLiteral("Canadian dollar rate"), QStringLiteral("the start page holds no US$/CDN$ rate"));
    if (outOfBand(*r.cad, kCadBand)) {
        const double v = *r.cad;
        r.cad.reset();
        return fail(QStringLiteral("Canadian dollar rate"), bandText("US$/CDN$", v, kCadBand));
    }
    ctx.exchangeRateCDN = *r.cad;
    r.zar = parseZarRate(table);
    if (!r.zar)
        return fail(QStringLiteral("rand rate"), QStringLiteral("the table page holds no US$/ZAR rate"));
    if (outOfBand(*r.zar, kZarBand)) {
        const double v = *r.zar;
        r.zar.reset();
        return fail(QStringLiteral("rand rate"), bandText("US$/ZAR", v, kZarBand));
    }
    ctx.exchangeRateZAR = *r.zar;
    // The last good rand rate is kept, as the exchange rate is, for a day
    // without the network.
    try {
        db::exec(ctx.db(), QStringLiteral("UPDATE Config SET ExchangeRateZAR = ? ORDER BY ID LIMIT 1"),
                 {rateValue(*r.zar)});
    } catch (const db::DbError &) {
        // An older database without the column: the rate is known for today.
    }
    err = fetchTo(src.metalHost + QStringLiteral("/market/"), src.metalFile, metal);
    if (!err.isEmpty())
        return fail(QStringLiteral("metal-price page"), err);
    r.gold = parseGoldBid(metal);
    if (!r.gold)
        return fail(QStringLiteral("gold price"), QStringLiteral("the metal-price page holds no gold bid"));
    if (outOfBand(*r.gold, kGoldBand)) {
        const double v = *r.gold;
        r.gold.reset();
        return fail(QStringLiteral("gold price"), bandText("the gold bid (US$ per ounce)", v, kGoldBand));
    }
    return r;
}

// ------------------------------------------------------------- rates form

QString ExchangeRateForm::controlName(Field f)
{
    static const char *const names[] = {"txtExchangeRate",  "txtGoldRate",        "txtGoldRateOunce",
                                        "txtGoldRateBASE",  "txtGoldRateOunceBASE", "txtOunceToGram",
                                        "txtOunceToGramBASE", "txtPlatinumRate",   "txtExchangeRateZAR"};
    return QString::fromLatin1(names[f]);
}

void ExchangeRateForm::activate(const AppContext &ctx)
{
    m_guard = false;
    // Grams per troy ounce unless the user types another factor.
    if (m_text[OunceToGram].isEmpty())
        write(OunceToGram, QStringLiteral("31.1035"));
    if (m_text[OunceToGramBase].isEmpty())
        write(OunceToGramBase, QStringLiteral("31.1035"));
    // An unknown rate shows as an empty box, never as 0.00000.
    write(ExchangeRate, rateKnown(ctx.exchangeRateCDN) ? formatFixed(ctx.exchangeRateCDN, 5) : QString());
    write(ExchangeRateZAR, rateKnown(ctx.exchangeRateZAR) ? formatFixed(ctx.exchangeRateZAR, 5) : QString());
    write(GoldRate, formatFixed(ctx.settings.GoldRate, 2));
    write(GoldRateBase, formatFixed(ctx.settings.GoldRateBase, 2));
    write(PlatinumRate, formatFixed(ctx.settings.PlatinumRate, 2));
    // As currency values (four decimals).
    openedGoldRate = figures::parseTyped(m_text[GoldRate]).value_or(Decimal5()).rounded(4).toDouble();
    openedPlatinumRate = figures::parseTyped(m_text[PlatinumRate]).value_or(Decimal5()).rounded(4).toDouble();
}

void ExchangeRateForm::write(Field f, const QString &text)
{
    if (onWrite)
        onWrite(f, text);
    edit(f, text); // the written field's own change handler runs (and finds the guard set)
}

void ExchangeRateForm::convert(Field from, Field to, Field gramsField, bool multiply)
{
    if (m_guard)
        return;
    const std::optional<Decimal5> value = figures::parseTyped(m_text[from]);
    const std::optional<Decimal5> grams = figures::parseTyped(m_text[gramsField]);
    if (!value || !grams)
        return; // not a figure: the partner keeps its text, the save refuses it
    const double v = value->toDouble();
    const double g = grams->toDouble();
    if (!multiply && g == 0)
        return; // nothing to divide by: the partner keeps its text
    m_guard = true;
    write(to, formatFixed(multiply ? v * g : v / g, 4));
    m_guard = false;
}

void ExchangeRateForm::edit(Field f, const QString &text)
{
    m_text[f] = text;
    switch (f) {
    case GoldRate: convert(GoldRate, GoldRateOunce, OunceToGram, true); break;
    case GoldRateOunce: convert(GoldRateOunce, GoldRate, OunceToGram, false); break;
    case GoldRateBase: convert(GoldRateBase, GoldRateOunceBase, OunceToGramBase, true); break;
    case GoldRateOunceBase: convert(GoldRateOunceBase, GoldRateBase, OunceToGramBase, false); break;
    default: break;
    }
}

RatesSaveResult saveRates(AppContext &ctx, const ExchangeRateForm &form,
                          const std::function<void()> &reloadConfiguration)
{
    RatesSaveResult result;
    const QSqlDatabase db = ctx.db();
    figures::Reader read(db, QStringLiteral("Config"));
    const auto nn = figures::Need::NotNegative;
    const std::map<ExchangeRateForm::Field, Decimal5> typedValues = {
        {ExchangeRateForm::ExchangeRate,
         read(form.text(ExchangeRateForm::ExchangeRate), QStringLiteral("exchange rate (US$ 1.00 =)"), QStringLiteral("ExchangeRate"), nn)},
        {ExchangeRateForm::GoldRate,
         read(form.text(ExchangeRateForm::GoldRate), QStringLiteral("Gold rate per gram"), QStringLiteral("GoldRate"), nn)},
        {ExchangeRateForm::GoldRateBase,
         read(form.text(ExchangeRateForm::GoldRateBase), QStringLiteral("Base gold per gram"), QStringLiteral("GoldRateBase"), nn)},
        {ExchangeRateForm::PlatinumRate,
         read(form.text(ExchangeRateForm::PlatinumRate), QStringLiteral("Platinum rate"), QStringLiteral("PlatinumRate"), nn)},
        {ExchangeRateForm::ExchangeRateZAR,
         read(form.text(ExchangeRateForm::ExchangeRateZAR), QStringLiteral("rand rate (US$ 1.00 = ZAR)"),
              QStringLiteral("ExchangeRateZAR"), nn)},
    };
    // A field that is not a figure, is below 0 or is larger than its column
    // holds is refused first, and nothing is stored.  The ounce boxes are
    // stored through the gram rates, but a text in them that is not a figure
    // must not let the save go on with the gram figures shown beside it.
    QString refusal = read.ok() ? QString() : read.error();
    const std::pair<ExchangeRateForm::Field, const char *> filling[] = {
        {ExchangeRateForm::GoldRateOunce, "Gold rate per ounce"},
        {ExchangeRateForm::GoldRateOunceBase, "Base gold per ounce"},
        {ExchangeRateForm::OunceToGram, "Grams per ounce"}};
    for (const auto &[field, name] : filling)
        if (refusal.isEmpty() && !figures::isTyped(form.text(field)))
            refusal = figures::notANumberMessage(QString::fromLatin1(name), form.text(field));
    if (!refusal.isEmpty()) {
        ctx.prompt().inform(refusal, QStringLiteral("Exchange Rate"), Icon::Exclamation);
        return result;
    }
    auto reload = [&] {
        if (reloadConfiguration) {
            reloadConfiguration();
            return;
        }
        QSqlQuery q = db::exec(db, QStringLiteral("SELECT GoldRate, GoldRateBase, PlatinumRate FROM Config "
                                                  "ORDER BY ID LIMIT 1"));
        if (q.next()) {
            ctx.settings.GoldRate = db::numOf(q.value(0));
            ctx.settings.GoldRateBase = db::numOf(q.value(1));
            ctx.settings.PlatinumRate = db::numOf(q.value(2));
        }
    };
    // Each step reads the row afresh and writes only a changed value.
    auto step = [&](const QString &column, ExchangeRateForm::Field field) {
        QSqlQuery q = db::exec(db, QStringLiteral("SELECT ID, %1 FROM Config ORDER BY ID LIMIT 1").arg(column));
        if (!q.next())
            return false;
        const QVariant id = q.value(0);
        const double stored = db::numOf(q.value(1));
        const double typed = typedValues.at(field).toDouble();
        // A Null column counts as 0 (no rate stored yet).
        if (std::abs(stored - typed) < 0.000001)
            return false;
        db::exec(db, QStringLiteral("UPDATE Config SET %1=? WHERE ID=?").arg(column), {typed, id});
        return true;
    };
    if (step(QStringLiteral("ExchangeRate"), ExchangeRateForm::ExchangeRate))
        result.exchangeRate = true;
    // The rand rate is kept as the exchange rate is: stored here, the
    // working rate at the next start when the day's rate cannot be fetched.
    if (step(QStringLiteral("ExchangeRateZAR"), ExchangeRateForm::ExchangeRateZAR))
        result.exchangeRateZAR = true;
    if (step(QStringLiteral("GoldRate"), ExchangeRateForm::GoldRate)) {
        result.goldRate = true;
        reload();
        recostJewelleryItems(ctx, Metal::Gold);
        result.recosted << Metal::Gold;
    }
    if (step(QStringLiteral("GoldRateBase"), ExchangeRateForm::GoldRateBase)) {
        result.goldRateBase = true;
        reload();
        recostJewelleryItems(ctx, Metal::GoldBase);
        result.recosted << Metal::GoldBase;
    }
    if (step(QStringLiteral("PlatinumRate"), ExchangeRateForm::PlatinumRate)) {
        result.platinumRate = true;
        reload();
        ctx.prompt().inform(QStringLiteral("Velmor will now make a global Change to all Platinum Prices (Cost) of each Item"),
                            QStringLiteral("Platinum Rate Change"), Icon::Information);
        recostJewelleryItems(ctx, Metal::Platinum);
        result.recosted << Metal::Platinum;
    }
    return result;
}

} // namespace velmor::pricing
