#include "stones/StonePrintout.h"
#include "stones/StoneFiles.h"

#include "core/AppContext.h"
#include "db/Sql.h"
#include "stones/PricingBridge.h"
#include "stones/StoneRecord.h"

namespace velmor::stones {

namespace {

using F = StonePriceModel::Field;

// "Round Brilliant [BR]" -> "Round Brilliant".
QString shapeWord(const QString &shape)
{
    const int bracket = shape.indexOf(QLatin1String(" ["));
    return (bracket < 0 ? shape : shape.left(bracket)).trimmed();
}

} // namespace

bool stonePaper(AppContext &ctx, qint64 id, printing::DiamondPaper &p)
{
    StoneForm f;
    if (id <= 0 || !loadStone(ctx, id, f))
        return false;
    p = {};
    p.id = f.id;
    p.heading = shapeWord(f.Shape);
    p.weight = f.Carat;
    p.colour = pricing_bridge::gradeText(f.colourEntry);
    p.clarity = pricing_bridge::gradeText(f.clarityEntry);
    p.cut = f.Cut;
    p.certificate = f.Certificate;
    QStringList dims;
    for (const QString &d : {f.Dim1, f.Dim2, f.Dim3})
        if (!d.isEmpty())
            dims << d;
    // The settings decide whether the measurements and the list price are
    // printed.
    if (ctx.settings.ShowDimension)
        p.measurements = dims.join(QLatin1Char('x'));
    p.listPriceShown = !ctx.settings.HideRapUS_CT;
    p.girdle = f.Girdle;
    p.fluorescence = f.Flourescence;
    if (ctx.settings.printDiamondComment)
        p.comment = f.Comment;
    // The main picture, where the card has room for it.
    try {
        p.picture = mainThumbnail(ctx.db(), f.id);
    } catch (const db::DbError &) {
        p.picture = {}; // printed without it
    }
    p.depth = f.TotalDepth;
    p.table = f.TableSize;
    p.polish = f.FinishPolish;
    p.symmetry = f.FinishSymetry;
    p.listPrice = f.price(F::LatestRapPrice).isEmpty() ? QString() : printing::format00(f.price(F::LatestRapPrice));
    // The list price's date: of the grid rows that priced the stone.
    if (p.listPriceShown && !p.listPrice.isEmpty()) {
        try {
            p.listPriceDate = pricing_bridge::listPriceDate(ctx, f.Shape, fieldValue(f.Carat), p.colour, p.clarity,
                                                            fieldValue(f.price(F::LatestRapPrice)));
        } catch (const db::DbError &) {
            p.listPriceDate = {}; // printed without its date
        }
    }
    return true;
}

bool stoneLabel(AppContext &ctx, qint64 id, printing::LabelTexts &t)
{
    StoneForm f;
    if (id <= 0 || !loadStone(ctx, id, f))
        return false;
    t = printing::stoneLabelTexts(f.id, f.SKU, f.Carat, pricing_bridge::gradeText(f.clarityEntry),
                                  pricing_bridge::gradeText(f.colourEntry), f.Code,
                                  fieldValue(f.price(F::LatestRapPrice)), fieldValue(f.price(F::SellOffRap)));
    return true;
}

bool drawStonePaper(bool quill, printing::PrintSurface &s, const printing::DiamondPaper &paper, bool flip,
                    QString *error)
{
    return quill ? printing::PrintDiamondPaperQuillModule(s, paper, flip, error)
                 : printing::PrintDiamondPaperModule(s, paper, flip, error);
}

bool printStoneLabel(AppContext &ctx, qint64 id)
{
    printing::LabelTexts t;
    if (!stoneLabel(ctx, id, t)) {
        ctx.prompt().inform(QStringLiteral("There is no stone number %1.").arg(id), QStringLiteral("Label"),
                            Icon::Exclamation);
        return false;
    }
    const Settings &s = ctx.settings;
    const printing::LabelResult r =
        printing::PrintDumbellModule(ctx.prompt(), s.labelPrinterPort, s.labelLeftOffset, s.labelRightOffset, t, true);
    if (!r.printed)
        return false;
    ctx.prompt().notice(QStringLiteral("Label was printed"));
    return true;
}

} // namespace velmor::stones
