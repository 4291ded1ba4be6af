// Exchange and metal rates: the page parsers on recorded pages, the fetch
// against a local server (with its time limit), the refresh rule, the rates
// form's conversions and its four-step save.
#include "PricingTestKit.h"
#include "core/Settings.h"
#include "pricing/Rates.h"

#include <QElapsedTimer>
#include <QtTest>

using namespace velmor;
using namespace velmor::pricing;
using namespace velmor::test;

namespace {

QByteArray recorded(const char *name)
{
    QFile f(QStringLiteral(VELMOR_TEST_DATA "/pricing/") + QLatin1String(name));
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

QString opt(const std::optional<double> &v) { return v ? QString::number(*v, 'f', 6) : QStringLiteral("none"); }

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

} // namespace

class TestRates : public QObject {
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void labels();
    void fetch();
    void fetchFailure_data();
    void fetchFailure();
    void refreshDue_data();
    void refreshDue();
    void conversions_data();
    void conversions();
    void save_data();
    void save();
};

void TestRates::parse_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QString>("expected");

    QTest::newRow("recorded start page") << "cad" << recorded("exchange_start.html") << "1.325600";
    QTest::newRow("recorded table page") << "zar" << recorded("exchange_table.html") << "18.250412";
    QTest::newRow("recorded metal page") << "gold" << recorded("metals.html") << "1234.500000";
    QTest::newRow("cad right after the link tag") << "cad" << QByteArray("x?from=USD&amp;to=CAD'>1.3256</a>") << "1.325600";
    QTest::newRow("cad marker missing") << "cad" << QByteArray("<html>maintenance</html>") << "none";
    QTest::newRow("cad marker in other case") << "cad" << QByteArray("?FROM=USD&amp;TO=CAD'>1.3</a>") << "none";
    QTest::newRow("cad without closing tag") << "cad" << QByteArray("?from=USD&amp;to=CAD'>1.3256") << "none";
    QTest::newRow("cad not a number") << "cad" << QByteArray("?from=USD&amp;to=CAD'>n/a</a>") << "none";
    QTest::newRow("zar marker needs the tag end") << "zar" << QByteArray("?from=USD&amp;to=ZAR\">18.2</a>") << "none";
    QTest::newRow("zar with blanks") << "zar" << QByteArray("?from=USD&amp;to=ZAR'> 18.5 </a>") << "18.500000";
    QTest::newRow("gold to four decimals") << "gold" << QByteArray("AU-bid\">1,234.56789</td>") << "1234.567900";
    QTest::newRow("gold marker missing") << "gold" << QByteArray("<td id=\"AG-bid\">15.42</td>") << "none";
    QTest::newRow("gold cell empty") << "gold" << QByteArray("AU-bid\"></td>") << "none";
}

void TestRates::parse()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, page);
    QFETCH(QString, expected);
    const QString text = QString::fromUtf8(page);
    const std::optional<double> v = kind == "cad" ? parseCadRate(text)
        : kind == "zar"                           ? parseZarRate(text)
                                                  : parseGoldBid(text);
    QCOMPARE(opt(v), expected);
}

void TestRates::labels()
{
    QCOMPARE(cdnLabelText(1.3256), QStringLiteral("US$/ CDN$:   1/ 1.326"));
    QCOMPARE(zarLabelText(18.2504), QStringLiteral("US$/ ZAR:   1/ 18.250"));
    QCOMPARE(goldLabelText(1234.5), QStringLiteral("Gold US$:   1,234.50"));
    QCOMPARE(goldLabelText(12345678.9), QStringLiteral("Gold US$:   12,345,678.90"));
    QCOMPARE(goldLabelText(999.994), QStringLiteral("Gold US$:   999.99"));
}

void TestRates::fetch()
{
    PricingEnv env;
    LocalHttpServer server;
    server.set("/", recorded("exchange_start.html"));
    server.set("/table/?from=USD&amount=1", recorded("exchange_table.html"));
    server.set("/market/", recorded("metals.html"));
    pointSourcesAt(env.dir.path(), server.base());

    const RatesFetch r = fetchRates(env.ctx);
    QVERIFY2(r.complete(), qPrintable(r.error));
    QCOMPARE(env.ctx.exchangeRateCDN, 1.3256);
    QCOMPARE(env.ctx.exchangeRateZAR, 18.250412);
    QCOMPARE(*r.gold, 1234.5);
    QCOMPARE(server.requests.value("/").method, QByteArray("GET"));
    QCOMPARE(server.requests.value("/").headers.value("user-agent"),
             QByteArray("Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)"));
    QCOMPARE(fileBytes(env.path("exchangerate.ini")), recorded("exchange_start.html") + "\r\n");
    QCOMPARE(fileBytes(env.path("exchangerateTABLE.ini")), recorded("exchange_table.html") + "\r\n");
    QCOMPARE(fileBytes(env.path("mertz.ini")), recorded("metals.html") + "\r\n");
}

void TestRates::fetchFailure_data()
{
    QTest::addColumn<QByteArray>("brokenPath");
    QTest::addColumn<QString>("how"); // "404", "silent", "garbage"
    QTest::addColumn<QString>("step");
    QTest::addColumn<double>("cdn"); // 0 = still unknown, as it was
    QTest::addColumn<double>("zar");

    QTest::newRow("start page answers 404") << QByteArray("/") << "404" << "exchange-rate start page" << 0.0 << 0.0;
    QTest::newRow("table page never answers") << QByteArray("/table/?from=USD&amount=1") << "silent"
                                              << "exchange-rate table page" << 0.0 << 0.0;
    QTest::newRow("start page without the rate") << QByteArray("/") << "garbage" << "Canadian dollar rate" << 0.0
                                                 << 0.0;
    QTest::newRow("table page without the rate") << QByteArray("/table/?from=USD&amount=1") << "garbage"
                                                  << "rand rate" << 1.3256 << 0.0;
    QTest::newRow("metal page never answers") << QByteArray("/market/") << "silent" << "metal-price page" << 1.3256
                                              << 18.250412;
    QTest::newRow("metal page without gold") << QByteArray("/market/") << "garbage" << "gold price" << 1.3256
                                             << 18.250412;
    // Figures no rate can be: refused, the old rate kept.
    QTest::newRow("cad of 0") << QByteArray("/") << "?from=USD&amp;to=CAD'>0</a>" << "Canadian dollar rate" << 0.0
                              << 0.0;
    QTest::newRow("negative cad") << QByteArray("/") << "?from=USD&amp;to=CAD'>-1.3</a>" << "Canadian dollar rate"
                                  << 0.0 << 0.0;
    QTest::newRow("cad of 1e308") << QByteArray("/") << "?from=USD&amp;to=CAD'>1e308</a>"
                                  << "Canadian dollar rate" << 0.0 << 0.0;
    QTest::newRow("rand of 0") << QByteArray("/table/?from=USD&amount=1") << "?from=USD&amp;to=ZAR'>0.000</a>"
                               << "rand rate" << 1.3256 << 0.0;
    QTest::newRow("rand of 1e308") << QByteArray("/table/?from=USD&amount=1") << "?from=USD&amp;to=ZAR'>1e308</a>"
                                   << "rand rate" << 1.3256 << 0.0;
    QTest::newRow("gold of 0") << QByteArray("/market/") << "AU-bid\">0</td>" << "gold price" << 1.3256
                               << 18.250412;
    QTest::newRow("negative gold") << QByteArray("/market/") << "AU-bid\">-1,234.50</td>" << "gold price"
                                   << 1.3256 << 18.250412;
    QTest::newRow("gold of 1e308") << QByteArray("/market/") << "AU-bid\">1e308</td>" << "gold price" << 1.3256
                                   << 18.250412;
}

void TestRates::fetchFailure()
{
    QFETCH(QByteArray, brokenPath);
    QFETCH(QString, how);
    QFETCH(QString, step);
    QFETCH(double, cdn);
    QFETCH(double, zar);

    PricingEnv env;
    LocalHttpServer server;
    server.set("/", recorded("exchange_start.html"));
    server.set("/table/?from=USD&amount=1", recorded("exchange_table.html"));
    server.set("/market/", recorded("metals.html"));
    if (how == "404")
        server.set(brokenPath, "<html>gone</html>", 404);
    else if (how == "silent")
        server.silence(brokenPath);
    else if (how == "garbage")
        server.set(brokenPath, "<html>We are updating our rates, come back later.</html>");
    else
        server.set(brokenPath, "<html>" + how.toUtf8() + "</html>");
    pointSourcesAt(env.dir.path(), server.base(), 1);

    QElapsedTimer clock;
    clock.start();
    const RatesFetch r = fetchRates(env.ctx);
    QVERIFY(!r.complete());
    QCOMPARE(r.failedStep, step);
    QVERIFY(!r.gold);
    QVERIFY(!r.error.isEmpty());
    QCOMPARE(env.ctx.exchangeRateCDN, cdn);
    QCOMPARE(env.ctx.exchangeRateZAR, zar);
    QVERIFY(clock.elapsed() < 20000); // the time limit ended the wait
}

void TestRates::refreshDue_data()
{
    QTest::addColumn<bool>("active");
    QTest::addColumn<QTime>("time");
    QTest::addColumn<bool>("due");
    QTest::newRow("even hour, 1 past, second 1") << true << QTime(14, 1, 1) << true;
    QTest::newRow("midnight") << true << QTime(0, 1, 1) << true;
    QTest::newRow("odd hour") << true << QTime(13, 1, 1) << false;
    QTest::newRow("second 2") << true << QTime(14, 1, 2) << false;
    QTest::newRow("minute 0") << true << QTime(14, 0, 1) << false;
    QTest::newRow("screen not active") << false << QTime(14, 1, 1) << false;
}

void TestRates::refreshDue()
{
    QFETCH(bool, active);
    QFETCH(QTime, time);
    QFETCH(bool, due);
    QCOMPARE(rateRefreshDue(active, time), due);
}

void TestRates::conversions_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("gram");
    QTest::addColumn<QString>("ounce");
    QTest::addColumn<QString>("gramBase");
    QTest::addColumn<QString>("ounceBase");

    using F = ExchangeRateForm;
    // Starting point after activation: gold 40.00 -> 1244.1400 an ounce, base 35.00 -> 1088.6225.
    QTest::newRow("gram to ounce") << int(F::GoldRate) << "50" << "50" << "1555.1750" << "35.00" << "1088.6225";
    QTest::newRow("ounce to gram") << int(F::GoldRateOunce) << "1555.175" << "50.0000" << "1555.175" << "35.00"
                                   << "1088.6225";
    QTest::newRow("base gram to ounce") << int(F::GoldRateBase) << "10" << "40.00" << "1244.1400" << "10"
                                        << "311.0350";
    QTest::newRow("base ounce to gram") << int(F::GoldRateOunceBase) << "311.035" << "40.00" << "1244.1400"
                                        << "10.0000" << "311.035";
    QTest::newRow("grams per ounce alone changes nothing") << int(F::OunceToGram) << "28.35" << "40.00"
                                                            << "1244.1400" << "35.00" << "1088.6225";
    // Text that is not a figure converts nothing (the save refuses it).
    QTest::newRow("typed text with letters") << int(F::GoldRate) << "12abc" << "12abc" << "1244.1400" << "35.00"
                                             << "1088.6225";
}

void TestRates::conversions()
{
    QFETCH(int, field);
    QFETCH(QString, text);
    QFETCH(QString, gram);
    QFETCH(QString, ounce);
    QFETCH(QString, gramBase);
    QFETCH(QString, ounceBase);
    PricingEnv env;
    env.ctx.settings.GoldRate = 40;
    env.ctx.settings.GoldRateBase = 35;
    env.ctx.exchangeRateCDN = 1.32564;
    ExchangeRateForm form;
    int writes = 0;
    form.onWrite = [&](ExchangeRateForm::Field, const QString &) { ++writes; };
    form.activate(env.ctx);
    QCOMPARE(form.text(ExchangeRateForm::ExchangeRate), QStringLiteral("1.32564"));
    QCOMPARE(form.text(ExchangeRateForm::GoldRateOunce), QStringLiteral("1244.1400"));
    writes = 0;
    form.edit(ExchangeRateForm::Field(field), text);
    QCOMPARE(form.text(ExchangeRateForm::GoldRate), gram);
    QCOMPARE(form.text(ExchangeRateForm::GoldRateOunce), ounce);
    QCOMPARE(form.text(ExchangeRateForm::GoldRateBase), gramBase);
    QCOMPARE(form.text(ExchangeRateForm::GoldRateOunceBase), ounceBase);
    // One partner written at most: the guard stops the conversion back.
    QVERIFY(writes <= 1);
}

void TestRates::save_data()
{
    QTest::addColumn<QString>("exchange");
    QTest::addColumn<QString>("gold");
    QTest::addColumn<QString>("goldBase");
    QTest::addColumn<QString>("platinum");
    QTest::addColumn<QString>("stored");   // ExchangeRate, GoldRate, GoldRateBase, PlatinumRate afterwards
    QTest::addColumn<QStringList>("recosted");
    QTest::addColumn<QStringList>("messages");

    const QStringList none;
    const QString platinumMessage = "Platinum Rate Change: Velmor will now make a global Change to all Platinum Prices "
                                    "(Cost) of each Item";
    QTest::newRow("nothing changed") << "1.25000" << "40.00" << "35.00" << "30.00" << "1.25 40 35 30" << none << none;
    QTest::newRow("only the exchange rate") << "1.31" << "40.00" << "35.00" << "30.00" << "1.31 40 35 30" << none
                                            << none;
    QTest::newRow("only platinum") << "1.25000" << "40.00" << "35.00" << "31.5" << "1.25 40 35 31.5"
                                   << QStringList{"platinum"} << QStringList{platinumMessage};
    QTest::newRow("gold and base gold") << "1.25000" << "41" << "36" << "30.00" << "1.25 41 36 30"
                                        << QStringList{"gold", "gold base"} << none;
    QTest::newRow("everything") << "1.4" << "41" << "36" << "32" << "1.4 41 36 32"
                                << QStringList{"gold", "gold base", "platinum"} << QStringList{platinumMessage};
}

void TestRates::save()
{
    QFETCH(QString, exchange);
    QFETCH(QString, gold);
    QFETCH(QString, goldBase);
    QFETCH(QString, platinum);
    QFETCH(QString, stored);
    QFETCH(QStringList, recosted);
    QFETCH(QStringList, messages);

    PricingEnv env;
    db::exec(env.db(), "UPDATE Config SET ExchangeRate=1.25, GoldRate=40, GoldRateBase=35, PlatinumRate=30");
    env.ctx.settings.GoldRate = 40;
    env.ctx.settings.GoldRateBase = 35;
    env.ctx.settings.PlatinumRate = 30;
    env.ctx.exchangeRateCDN = 1.25;
    ExchangeRateForm form;
    form.activate(env.ctx);
    form.edit(ExchangeRateForm::ExchangeRate, exchange);
    form.edit(ExchangeRateForm::GoldRate, gold);
    form.edit(ExchangeRateForm::GoldRateBase, goldBase);
    form.edit(ExchangeRateForm::PlatinumRate, platinum);
    int reloads = 0;
    const RatesSaveResult r = saveRates(env.ctx, form, [&] { ++reloads; });

    QSqlQuery q = db::exec(env.db(), "SELECT ExchangeRate, GoldRate, GoldRateBase, PlatinumRate FROM Config");
    QVERIFY(q.next());
    QStringList values;
    for (int i = 0; i < 4; ++i)
        values << QString::number(q.value(i).toDouble());
    QCOMPARE(values.join(' '), stored);
    QStringList metals;
    for (Metal m : r.recosted)
        metals << (m == Metal::Gold ? "gold" : m == Metal::GoldBase ? "gold base" : "platinum");
    QCOMPARE(metals, recosted);
    QCOMPARE(reloads, int(recosted.size()));
    QCOMPARE(env.prompt.messages(), messages);
}

QTEST_GUILESS_MAIN(TestRates)
#include "tst_rates.moc"
