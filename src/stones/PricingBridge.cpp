#include "stones/PricingBridge.h"

#include "app/AppContext.h"
#include "db/Row.h"
#include "db/Sql.h"

namespace velmor::stones::pricing_bridge {

namespace {
QString g_roundStoneName;

const QStringList &fixedShapes()
{
    static const QStringList list = {
        QStringLiteral("Round Brilliant [BR]"), QStringLiteral("Pear [PS]"), QStringLiteral("Marquise [MQ]"),
        QStringLiteral("Princess [PR]"),        QStringLiteral("Cushion"),   QStringLiteral("Emerald"),
        QStringLiteral("Heart"),                QStringLiteral("Radiant"),   QStringLiteral("Triangle"),
        QStringLiteral("rec Brilliant"),        QStringLiteral("sq Brilliant"), QStringLiteral("Oval"),
        QStringLiteral("Asscher")};
    return list;
}

// One cell of the grid: the Price of the first matching raplist row, or 0.
double gridCell(const QSqlDatabase &db, const QString &shapeCondition, double w, const QString &colour,
                const QString &clarity)
{
    const QVariant v = db::scalar(db,
                                  QStringLiteral("SELECT Price FROM raplist WHERE Clarity LIKE ? AND Colour LIKE ? "
                                                 "AND LowCarat <= ? AND HighCarat >= ? AND ")
                                      + shapeCondition + QStringLiteral(" ORDER BY ID LIMIT 1"),
                                  {clarity, colour, w, w});
    return db::numOf(v);
}

double gridPrice(AppContext &ctx, const QString &code, double weight, const QString &colour, const QString &clarity)
{
    double w = weight;
    if (w >= 6 && w < 10)
        w = 5.5;
    auto split = [](const QString &g, QString &a, QString &b) {
        const int slash = g.indexOf(QLatin1Char('/'));
        a = slash < 0 ? g : g.left(slash);
        b = slash < 0 ? g : g.mid(slash + 1);
    };
    QString c1, c2, q1, q2;
    split(colour, c1, c2);
    split(clarity, q1, q2);
    if (ctx.settings.LowerQuality) {
        c1 = c2;
        q1 = q2;
    }
    const QString cond = code == QLatin1String("BR") ? QStringLiteral("Shape LIKE 'BR'")
                                                     : QStringLiteral("Shape='%1'").arg(code);
    double sum = 0;
    int n = 0;
    for (const auto &[q, c] : {std::pair{q1, c1}, std::pair{q1, c2}, std::pair{q2, c1}, std::pair{q2, c2}}) {
        const double p = gridCell(ctx.db(), cond, w, c, q);
        if (p != 0) {
            sum += p;
            ++n;
        }
    }
    return n ? sum / n : 0.0;
}
} // namespace

void setRoundStoneName(const QString &name) { g_roundStoneName = name.toUpper(); }
QString roundStoneName() { return g_roundStoneName; }

QStringList shapeEntries(const QSqlDatabase &db)
{
    QStringList out = fixedShapes();
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT DISTINCT(Shape) FROM SingleStone"));
    while (q.next()) {
        if (q.value(0).isNull())
            continue;
        const QString s = q.value(0).toString();
        if (!fixedShapes().contains(s) && !out.contains(s))
            out << s;
    }
    return out;
}

QStringList gradeEntries(const QSqlDatabase &db, bool colour, bool dontUseSplits)
{
    QStringList out{QString()};
    QSqlQuery q = db::exec(db, colour ? QStringLiteral("SELECT Number, Wording FROM DiamondGrades WHERE Clarity=false "
                                                       "AND Colour<>0 ORDER BY Number")
                                      : QStringLiteral("SELECT Number, Wording FROM DiamondGrades WHERE Clarity<>0 "
                                                       "AND Colour=false ORDER BY Number"));
    while (q.next()) {
        const int n = q.value(0).toInt();
        if (dontUseSplits && n % 10 == 5)
            continue;
        out << QStringLiteral("%1 - %2").arg(n).arg(db::textOf(q.value(1)));
    }
    return out;
}

QString gradeText(const QString &entry)
{
    const int dash = entry.indexOf(QLatin1Char('-'));
    if (dash < 0)
        return {};
    return entry.mid(dash + 2);
}

QString normaliseShape(const QSqlDatabase &db, const QString &shape)
{
    const QString s = shape.left(50);
    if (s.isEmpty())
        return s;
    const QVariant master = db::scalar(
        db,
        QStringLiteral("SELECT master FROM shapewords WHERE w1 LIKE ? OR w2 LIKE ? OR w3 LIKE ? OR w4 LIKE ? "
                       "OR w5 LIKE ? OR w6 LIKE ? ORDER BY ID LIMIT 1"),
        {s, s, s, s, s, s});
    return master.isValid() && !master.isNull() ? master.toString() : s;
}

double listPrice(AppContext &ctx, const QString &S, double weight, const QString &colour, const QString &clarity)
{
    const Settings &cfg = ctx.settings;
    const QString up = S.toUpper(), low = S.toLower();
    double price = 0;
    auto step = [&](bool applies, const char *code) {
        if (price == 0 && applies)
            price = gridPrice(ctx, QString::fromLatin1(code), weight, colour, clarity);
    };
    step(S.contains(QLatin1String("[BR]")), "BR");
    step(up.contains(QLatin1String("ROUND")), "BR");
    step(up == QLatin1String("RBC"), "BR");
    step(!g_roundStoneName.isEmpty() && up == g_roundStoneName, "BR");
    step((S.contains(QLatin1String("[PR]")) || S == QLatin1String("PR") || S == QLatin1String("PMB"))
             && cfg.PrincessEQPear,
         "PS");
    step(S.contains(QLatin1String("[MQ]")) && !cfg.MarquiseEQPear, "MQ");
    step(S.contains(QLatin1String("[MQ]")) || (cfg.MarquiseEQPear && S == QLatin1String("MQ")), "PS");
    step(S.contains(QLatin1String("[PS]")) || S == QLatin1String("PS") || S == QLatin1String("PB"), "PS");
    step(low.contains(QLatin1String("emerald")) && cfg.EmeraldEQPear, "PS");
    step((low.contains(QLatin1String("cushion")) || S == QLatin1String("CMB") || S == QLatin1String("CB"))
             && cfg.CushionEQPear,
         "PS");
    step(low.contains(QLatin1String("radiant")) && cfg.RadiantEQPear, "PS");
    step(low.contains(QLatin1String("triangle")) && cfg.TriangleEQPear, "PS");
    step(low.contains(QLatin1String("heart")) && cfg.HeartEQPear, "PS");
    step(cfg.GIAanythingelse, "PS");
    step(low.contains(QLatin1String("oval")) && cfg.OvalEQPear, "PS");
    step((low.contains(QLatin1String("asscher")) || S == QLatin1String("SMB")) && cfg.AsserEQPear, "PS");
    step(low.contains(QLatin1String("sq brilliant")) && cfg.SquareBrilliantEQRound, "BR");
    step(up.contains(QLatin1String("SQUARE BRILLIANT")) && cfg.SquareBrilliantEQRound, "BR");
    step(low.contains(QLatin1String("rec brilliant")) && cfg.RectangleBrilliantEQRound, "BR");
    step(S.contains(QLatin1String("RECTANGLE BRILLIANT")) && cfg.RectangleBrilliantEQRound, "BR");
    if (price == 0)
        ctx.prompt().notice(QStringLiteral("'") + S + QStringLiteral("' is not a known cut-grade for Rapaport"));
    return price;
}

} // namespace velmor::stones::pricing_bridge

namespace velmor::stones::pricing_bridge {

QString colourCode(const QString &number)
{
    bool ok = false;
    const int n = number.trimmed().toInt(&ok);
    if (!ok || n < 10 || n > 160 || n % 5 != 0)
        return number;
    auto letter = [](int k) { return QString(QChar('D' + (k - 10) / 10)); };
    if (n % 10 == 0)
        return letter(n);
    return letter(n - 5) + QLatin1Char('/') + letter(n + 5);
}

QString clarityCode(const QString &number)
{
    static const std::pair<int, const char *> scale[] = {
        {4, "IF"},       {7, "IF/FL"},       {10, "FL"},     {15, "FL/VVS1"}, {20, "VVS1"},  {25, "VVS1/VVS2"},
        {30, "VVS2"},    {35, "VVS2/VS1"},   {40, "VS1"},    {45, "VS1/VS2"}, {50, "VS2"},   {55, "VS2/SI1"},
        {60, "SI1"},     {65, "SI1/SI2"},    {70, "SI2"},    {75, "SI2/SI3"}, {80, "SI3"},   {85, "SI3/I1"},
        {89, "I1+"},     {90, "I1"},         {91, "I1-"},    {95, "I1/I2"},   {99, "I2+"},   {100, "I2"},
        {101, "I2-"},    {105, "I2/I3"},     {110, "I3"},    {115, "I3/I4"},  {120, "I4"}};
    bool ok = false;
    const int n = number.trimmed().toInt(&ok);
    if (ok)
        for (const auto &[k, t] : scale)
            if (k == n)
                return QString::fromLatin1(t);
    return number;
}

} // namespace velmor::stones::pricing_bridge
