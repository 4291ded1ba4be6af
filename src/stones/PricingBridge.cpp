#include "stones/PricingBridge.h"

#include "core/AppContext.h"
#include "pricing/Grades.h"
#include "pricing/PriceGrid.h"
#include "pricing/Shapes.h"

#include <cmath>

namespace velmor::stones::pricing_bridge {

QStringList shapeEntries(const QSqlDatabase &db) { return pricing::shapeComboEntries(db); }
QStringList shapeEntries(const QStringList &inUse) { return pricing::shapeComboEntries(inUse); }

QStringList gradeEntries(const QSqlDatabase &db, bool colour, bool dontUseSplits)
{
    return pricing::gradeComboEntries(db, colour ? pricing::GradeKind::Colour : pricing::GradeKind::Clarity,
                                      dontUseSplits);
}

QString gradeText(const QString &entry) { return pricing::gradeTextOfEntry(entry); }

QString normaliseShape(const QSqlDatabase &db, const QString &shape) { return pricing::normaliseShape(db, shape); }

double listPrice(AppContext &ctx, const QString &shape, double weight, const QString &colour, const QString &clarity)
{
    const pricing::SqlPriceSource source(ctx.db());
    return pricing::resolveListPrice(source, ctx.settings, shape, weight, colour, clarity, &ctx.prompt()).price;
}

QDate listPriceDate(AppContext &ctx, const QString &shape, double weight, const QString &colour,
                    const QString &clarity, double stored)
{
    const pricing::SqlPriceSource source(ctx.db());
    const double price = pricing::resolveListPrice(source, ctx.settings, shape, weight, colour, clarity).price;
    if (price == 0 || std::abs(price - stored) >= 0.005)
        return {};
    return source.latestDate();
}

void setRoundStoneName(AppContext &ctx, const QString &name) { ctx.settings.roundstonename = name.toUpper(); }

QString colourCode(const QString &number)
{
    QString out = number;
    pricing::ConvertColourCodeModule(number, out);
    return out;
}

QString clarityCode(const QString &number)
{
    QString out = number;
    pricing::ConvertClarityCodeModule(number, out);
    return out;
}

} // namespace velmor::stones::pricing_bridge
