#include "stones/StoneRecord.h"

#include <QRegularExpression>

#include "core/ChangeEvents.h"
#include "core/AppContext.h"
#include "core/Figures.h"
#include "core/KnownRates.h"
#include "core/Users.h"
#include "db/ConvertSql.h"
#include "db/Guard.h"
#include "db/Identifiers.h"
#include "db/Retry.h"
#include "db/TextFit.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "db/Transaction.h"
#include "stones/PricingBridge.h"
#include "stones/StoneChangeLog.h"
#include "stones/StoneFiles.h"

#include <QLocale>
#include <QRandomGenerator>
#include <tuple>

namespace velmor::stones {

using F = StonePriceModel::Field;

namespace {

const QString kMissing = QStringLiteral("missing Information");

// Format "0.00" of a column, empty when Null.
QString f2(const db::Row &r, const QString &col)
{
    return r.isNull(col) ? QString() : fmt(r.num(col));
}

// Format ".00": like "0.00" without the leading zero of a value below 1;
// zero itself is "0.00" (a box showing ".00" reads as no figure at all).
QString fDot(double v)
{
    QString s = fmt(v);
    if (s == QLatin1String("0.00"))
        return s;
    if (s.startsWith(QLatin1String("0.")))
        s.remove(0, 1);
    else if (s.startsWith(QLatin1String("-0.")))
        s.remove(1, 1);
    return s;
}
QString fDot(const db::Row &r, const QString &col)
{
    return r.isNull(col) ? QString() : fDot(r.num(col));
}

// A measurement as the user would type it again: no trailing zeros.
QString plain(const db::Row &r, const QString &col)
{
    return r.isNull(col) ? QString() : QString::number(r.num(col), 'g', 12);
}

QVariant nullInt() { return QVariant(QMetaType::fromType<int>()); }

QVariant idOrNull(qint64 id) { return id ? QVariant(id) : nullInt(); }

int drawRnd() { return int(QRandomGenerator::global()->generateDouble() * 1000000.0) + 1; }

// Equality through LIKE without the user's text acting as a pattern.
QString likeLiteral(const QString &s)
{
    QString out = s;
    out.replace(QLatin1String("\\"), QLatin1String("\\\\"));
    out.replace(QLatin1String("%"), QLatin1String("\\%"));
    out.replace(QLatin1String("_"), QLatin1String("\\_"));
    return out;
}

bool isBlank(const QString &s) { return s.isEmpty(); }

QString changingQuestion(const QString &what)
{
    return QStringLiteral("You have edited the original %1 of this Diamond to another one.\n"
                          "Saving this Diamond with the new %1 will result in loosing the original\n"
                          "Rap Price for this Stone.\n\nDo you want to proceed?")
        .arg(what);
}

} // namespace

int gradeNumber(const QString &entry) { return int(db::leadingNumber(entry)); }

QString gradeEntry(AppContext &ctx, int number, bool colour)
{
    if (number == 0)
        return {};
    const QString sql = colour
        ? QStringLiteral("SELECT Wording FROM DiamondGrades WHERE Number=? AND Colour<>0 AND Clarity=0")
        : QStringLiteral("SELECT Wording FROM DiamondGrades WHERE Number=? AND Colour=0 AND Clarity<>0");
    const QVariant w = db::scalar(ctx.db(), sql, {number});
    if (!w.isValid())
        return QString::number(number);
    return QStringLiteral("%1 - %2").arg(number).arg(db::textOf(w));
}

bool loadStone(AppContext &ctx, qint64 id, StoneForm &form)
{
    QSqlQuery q = db::exec(ctx.db(), QStringLiteral("SELECT * FROM SingleStone WHERE ID = ?"), {id});
    if (!q.next())
        return false;
    const db::Row r(q.record());
    StoneForm f;
    f.id = r.integer("ID");
    f.SKU = r.text("SKU");
    f.Lot = r.text("Lot");
    f.Code = r.text("CODE");
    f.Location = r.text("Location");
    f.Description = r.text("Description");
    f.Comment = db::blobToText(r.raw("Comment"));
    f.DateCreated = r.date("DateCreated");
    f.Shape = r.text("Shape");
    f.Carat = plain(r, "Carat");
    f.colourEntry = gradeEntry(ctx, int(r.integer("Colour")), true);
    f.clarityEntry = gradeEntry(ctx, int(r.integer("Clarity")), false);
    f.Cut = r.text("Cut");
    f.Flourescence = r.text("Flourescence");
    f.FancyColour = r.text("FancyColour");
    f.FinishPolish = r.text("FinishPolish");
    f.FinishSymetry = r.text("FinishSymetry");
    f.Girdle = r.text("Girdle");
    f.Culet = r.text("Culet");
    f.Dim1 = plain(r, "Dim1");
    f.Dim2 = plain(r, "Dim2");
    f.Dim3 = plain(r, "Dim3");
    f.TableSize = plain(r, "TableSize");
    f.TotalDepth = plain(r, "TotalDepth");
    f.CrownHeight = plain(r, "CrownHeight");
    f.PavillionDepth = plain(r, "PavillionDepth");
    f.CrownAngle = plain(r, "CrownAngle");
    f.PavillionAngle = plain(r, "PavillionAngle");
    f.GirdleDimension = plain(r, "GirdleDimension");
    f.Laboratory = r.text("Laboratory");
    f.Certificate = r.text("Certificate");
    f.Inscription1 = r.text("Inscription1");
    f.Inscription2 = r.text("Inscription2");
    f.Canadian = r.flag("Canadian");
    f.labGrown = r.flag("lab_dia");
    f.finished = r.flag("finishedpiece");
    f.hereOnMemo = r.flag("hereonmemo");
    f.publishPrice = r.flag("PublishPriceOnLustrabay");
    f.publishListing = !r.flag("DontPublishOnLustrabay");
    f.publishPriceLocal = r.flag("PublishPriceOnLustrabayLocal");
    f.publishListingLocal = !r.flag("DontPublishOnLustrabayLocal");

    const double carat = r.num("Carat");
    f.setPrice(F::Weight, f.Carat);
    f.setPrice(F::OriginalRapPrice, f2(r, "RapPriceOnDateBought"));
    f.setPrice(F::BoughtPriceUS, f2(r, "BoughtPriceUS"));
    if (carat != 0 && !r.isNull("BoughtPriceUS")) {
        f.setPrice(F::BoughtPriceUSCT, fmt(r.num("BoughtPriceUS") / carat));
        f.setPrice(F::OriginalRapPriceUS, fmt(r.num("RapPriceOnDateBought") * carat));
        if (r.num("RapPriceOnDateBought") != 0)
            f.setPrice(F::OriginalBuyOffRap,
                       fmt(100 - fieldValue(f.price(F::BoughtPriceUSCT)) * 100 / r.num("RapPriceOnDateBought")));
    }
    f.setPrice(F::LatestRapPrice, fDot(r, "RapaportPrice"));
    if (!r.isNull("RapaportPrice"))
        f.setPrice(F::USRap, fmt(r.num("RapaportPrice") * carat));
    f.setPrice(F::SellOffRap, f2(r, "SellOffRap"));
    f.setPrice(F::SellPrice, fDot(r, "SellPriceUS"));
    if (carat != 0 && !r.isNull("SellPriceUS"))
        f.setPrice(F::SellPriceCT, fDot(r.num("SellPriceUS") / carat));
    f.setPrice(F::SellOffRapLX, f2(r, "SellOffRapLX"));
    f.setPrice(F::SellPriceLX, fDot(r, "SellPriceUSlx"));
    if (carat != 0 && !r.isNull("SellPriceUSlx"))
        f.setPrice(F::SellPriceCTLX, fDot(r.num("SellPriceUSlx") / carat));
    const double rate = ctx.exchangeRateCDN;
    auto tier = [&](const QString &offCol, const QString &priceCol, F off, F ct, F st, F lct, F lst) {
        f.setPrice(off, f2(r, offCol));
        f.setPrice(st, fDot(r, priceCol));
        if (r.isNull(priceCol))
            return;
        const double p = r.num(priceCol);
        const Decimal5 price = Decimal5::fromDb(r.raw(priceCol)).rounded(2);
        const Decimal5 weight = Decimal5::fromDb(r.raw(QStringLiteral("Carat")));
        // At an unknown rate the local prices stay empty, never 0.00; the
        // local price is the US price at the rate, per carat derived from it.
        const std::optional<Decimal5> local = convertedAmount(price, rate);
        if (local)
            f.setPrice(lst, local->fixed(2));
        if (carat != 0) {
            f.setPrice(ct, fmt(round2(p / carat)));
            if (local && !weight.isZero())
                f.setPrice(lct, local->dividedBy(weight, 2).fixed(2));
        }
    };
    tier("SellOffRap2", "SellPriceUS2", F::SellOffRap2, F::SellPriceCT2, F::SellPrice2, F::SellPriceLocalCT2,
         F::SellPriceLocal2);
    tier("SellOffRap3", "SellPriceUS3", F::SellOffRap3, F::SellPriceCT3, F::SellPrice3, F::SellPriceLocalCT3,
         F::SellPriceLocal3);
    f.boughtPriceLocal = f2(r, "BoughtPriceLocal");
    f.boughtRateCDN = r.num("bought_exchangerateCDN");
    f.boughtRateZAR = r.num("bought_exchangerateZAR");
    f.lockPercent = r.flag("LockPercent");
    f.lockPercentLX = r.flag("LockPercentlx");
    f.buyInUS = r.flag("BuyingInUS");
    f.buyInLocal = r.flag("BuyingInLocal");
    f.paidOffUS = r.flag("PaidOffUS");
    f.paidOffUSPercentage = r.flag("PaidOffPercentageUS");
    f.paidOffLocal = r.flag("PaidOffLocal");
    f.paidOffLocalPercentage = r.flag("PaidOffPercentageLocal");

    f.supplierId = r.integer("SupplierID");
    f.consignmentInId = r.integer("ConsignmentInCustomerID");
    f.onHoldForId = r.integer("OnHoldForCustomerID");
    f.onHoldNote = r.text("OnHoldNote");
    f.onHoldDate = r.date("OnHoldDate");
    f.Status = r.text("Status");
    f.customerId = r.integer("CustomerID");
    f.memoSheetId = r.integer("MemoSheetID");
    f.itemId = r.integer("ItemID");
    f.memoUS = f2(r, "MemoUS");
    f.memoLocal = f2(r, "MemoLocal");

    QSqlQuery pay = db::exec(ctx.db(),
                             QStringLiteral("SELECT SUM(PaymentUS) AS a, SUM(PaymentLocal) AS b FROM PaymentReceived "
                                            "WHERE StoneID = ?"),
                             {id});
    if (pay.next()) {
        f.paymentsUS = fmt(db::numOf(pay.value(0)));
        f.paymentsLocal = fmt(db::numOf(pay.value(1)));
    }
    form = f;
    return true;
}

StoneForm loadStone(AppContext &ctx, qint64 id)
{
    StoneForm f;
    if (!loadStone(ctx, id, f))
        f.id = 0;
    return f;
}

qint64 addStoneRow(AppContext &ctx)
{
    return db::insert(ctx.db(),
                      QStringLiteral("INSERT INTO SingleStone (SKU, LockPercent, LockPercentlx, PaidOffPercentageUS, "
                                     "PaidOffPercentageLocal, PaidOffUS, PaidOffLocal, StoneIsPaidOff, "
                                     "StoneIsPaidOffMemoIn, BuyingInUS, BuyingInLocal, PublishPriceOnLustrabay, "
                                     "DontPublishOnLustrabay, PublishPriceOnLustrabayLocal, DontPublishOnLustrabayLocal, "
                                     "MemoInPaymentMade, MemoInPaidOff, Canadian, finishedpiece) "
                                     "VALUES (' ', -1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0)"));
}

StoneForm newStoneForm(qint64 id)
{
    StoneForm f;
    f.id = id;
    f.DateCreated = QDate::currentDate();
    f.lockPercent = true;
    f.lockPercentLX = true;
    f.publishListing = true; // DontPublishOnLustrabay false
    f.publishListingLocal = true;
    return f;
}

QString autoSkuPlaceholder(AppContext &ctx, const QString &shape)
{
    const QString prefix = shape.contains(QLatin1String("[BR]")) ? ctx.settings.SKURound : ctx.settings.SKUOther;
    return prefix + QStringLiteral("......");
}

bool autoNumberSku(AppContext &ctx, QString &sku, bool firstOfPrefix)
{
    const QString prefix = sku;
    const int L = prefix.size();
    QVariant last;
    try {
        last = db::scalar(ctx.db(),
                          QStringLiteral("SELECT SKU FROM SingleStone WHERE LEFT(SKU, ?) LIKE ? "
                                         "ORDER BY CAST(RIGHT(SKU, CHAR_LENGTH(SKU) - ?) AS UNSIGNED INTEGER) DESC, ID DESC "
                                         "LIMIT 1"),
                          {L, likeLiteral(prefix), L});
    } catch (const db::DbError &) {
        last = QVariant();
    }
    if (!last.isValid() && !firstOfPrefix) {
        ctx.prompt().inform(QStringLiteral("Unable to assign a Auto-Number to the SKU#"), QStringLiteral("Auto-Number"),
                            Icon::Information);
        return false;
    }
    const double n = last.isValid() ? db::leadingNumber(db::textOf(last).mid(L)) : 0;
    if (n >= 1000000) {
        ctx.prompt().inform(QStringLiteral("Cannot Assign an Auto-SKU.\n\nPlease try to change or add some leading "
                                           "letters (pre-fix) in the SKU#."),
                            QStringLiteral("Auto-Number"), Icon::Information);
        return false;
    }
    QString number = QString::number(qint64(n) + 1);
    if (!ctx.settings.AutoSku && number.size() < 4)
        number = number.rightJustified(4, QLatin1Char('0'));
    sku = prefix + number;
    return true;
}

bool beginEdit(AppContext &ctx, const StoneForm &form, EditState &state)
{
    if (form.id == 0) {
        ctx.prompt().inform(QStringLiteral("No Stone is selected!"), QStringLiteral("Stone Editing"),
                            Icon::Information);
        return false;
    }
    // Editing is for a logged-in user with the right to edit.
    if (!mayWrite(ctx, QStringLiteral("AllowEdit")))
        return false;
    state.mode = EditState::Editing;
    state.shapeAtStart = form.Shape;
    state.caratAtStart = form.Carat;
    state.colourAtStart = form.colourEntry;
    state.clarityAtStart = form.clarityEntry;
    state.statusAtLoad = form.Status;
    state.atStart = form;
    return true;
}

namespace {

// The message for the first number field whose text is not a number, is
// larger than its column holds, or (the weight) rounds to 0 at the column's
// scale; empty when every field is a figure its column takes.
QString unreadableNumber(const AppContext &ctx, const StoneForm &form)
{
    struct Entry {
        const char *name;
        QString text;
        const char *column;
    };
    const Entry fields[] = {
        {"Weight", form.Carat, "Carat"}, // first: the weight
        {"Measurement 1", form.Dim1, "Dim1"},
        {"Measurement 2", form.Dim2, "Dim2"},
        {"Measurement 3", form.Dim3, "Dim3"},
        {"Table %", form.TableSize, "TableSize"},
        {"Total depth %", form.TotalDepth, "TotalDepth"},
        {"Crown height %", form.CrownHeight, "CrownHeight"},
        {"Pavilion depth %", form.PavillionDepth, "PavillionDepth"},
        {"Crown angle", form.CrownAngle, "CrownAngle"},
        {"Pavilion angle", form.PavillionAngle, "PavillionAngle"},
        {"Girdle %", form.GirdleDimension, "GirdleDimension"},
        {"Rap when bought", form.price(F::OriginalRapPrice), "RapPriceOnDateBought"},
        {"Bought price", form.price(F::BoughtPriceUS), "BoughtPriceUS"},
        {"current Rap", form.price(F::LatestRapPrice), "RapaportPrice"},
        {"Sell 1 % off Rap", form.price(F::SellOffRap), "SellOffRap"},
        {"Sell 1 price", form.price(F::SellPrice), "SellPriceUS"},
        {"Sell listing % off Rap", form.price(F::SellOffRapLX), "SellOffRaplx"},
        {"Sell listing price", form.price(F::SellPriceLX), "SellPriceUSlx"},
        {"Sell 2 % off Rap", form.price(F::SellOffRap2), "SellOffRap2"},
        {"Sell 2 price", form.price(F::SellPrice2), "SellPriceUS2"},
        {"Sell 3 % off Rap", form.price(F::SellOffRap3), "SellOffRap3"},
        {"Sell 3 price", form.price(F::SellPrice3), "SellPriceUS3"},
    };
    for (const Entry &e : fields)
        if (!figures::isTyped(e.text))
            return figures::notANumberMessage(QString::fromLatin1(e.name), e.text);
    // The boxes that only fill the stored prices: text in them that is no
    // figure is refused, never passed over for the price beside it.
    const std::pair<const char *, F> filling[] = {
        {"Rap when bought per stone", F::OriginalRapPriceUS},
        {"Bought % off Rap", F::OriginalBuyOffRap},
        {"Bought price per carat", F::BoughtPriceUSCT},
        {"current Rap per stone", F::USRap},
        {"Sell 1 price per carat", F::SellPriceCT},
        {"Sell listing price per carat", F::SellPriceCTLX},
        {"Sell 2 price per carat", F::SellPriceCT2},
        {"Sell 2 local price per carat", F::SellPriceLocalCT2},
        {"Sell 2 local price", F::SellPriceLocal2},
        {"Sell 3 price per carat", F::SellPriceCT3},
        {"Sell 3 local price per carat", F::SellPriceLocalCT3},
        {"Sell 3 local price", F::SellPriceLocal3},
    };
    for (const auto &[name, field] : filling)
        if (!figures::isTyped(form.price(field)))
            return figures::notANumberMessage(QString::fromLatin1(name), form.price(field));
    for (const Entry &e : fields) {
        const figures::Column column = figures::columnOf(ctx.db(), QStringLiteral("SingleStone"), QLatin1String(e.column));
        const figures::Reading r = figures::read(e.text, {QString::fromLatin1(e.name), column});
        if (!r.ok())
            return r.error;
        // A weight typed but 0 at the column's scale ("0.000001") is no weight.
        if (&e == &fields[0] && !r.empty && r.value <= Decimal5()
            && e.text.contains(QRegularExpression(QStringLiteral("[1-9]"))))
            return figures::notPositiveMessage(QString::fromLatin1(e.name), e.text, column);
    }
    return {};
}

// The columns a save writes and their values from a form.
QList<std::pair<QString, QVariant>> columnValues(AppContext &ctx, const StoneForm &form)
{
    auto num = [](const QString &t) { return QVariant(fieldValue(t)); };
    auto orNull = [](const QString &t) {
        return t.trimmed().isEmpty() ? QVariant(QMetaType::fromType<double>()) : QVariant(fieldValue(t));
    };
    auto flag = [](bool on) { return QVariant(db::flagValue(on)); };
    auto text = [](const QString &t) { return QVariant(t); };
    const int colour = gradeNumber(form.colourEntry);
    const int clarity = gradeNumber(form.clarityEntry);
    const QVariant nullDouble(QMetaType::fromType<double>());
    return {
        {QStringLiteral("SKU"), text(form.SKU)},
        {QStringLiteral("Lot"), text(form.Lot)},
        {QStringLiteral("CODE"), text(form.Code)},
        {QStringLiteral("Location"), text(form.Location)},
        {QStringLiteral("Description"), text(form.Description)},
        {QStringLiteral("Comment"), db::textToBlob(form.Comment)},
        {QStringLiteral("DateCreated"),
         form.DateCreated.isValid() ? QVariant(QDateTime(form.DateCreated, QTime(0, 0))) : QVariant()},
        {QStringLiteral("Shape"), pricing_bridge::normaliseShape(ctx.db(), form.Shape.left(50))},
        {QStringLiteral("Carat"), num(form.Carat)},
        {QStringLiteral("Colour"), colour ? QVariant(colour) : nullInt()},
        {QStringLiteral("Clarity"), clarity ? QVariant(clarity) : nullInt()},
        {QStringLiteral("Cut"), text(form.Cut)},
        {QStringLiteral("Flourescence"), text(form.Flourescence)},
        {QStringLiteral("FancyColour"), text(form.FancyColour)},
        {QStringLiteral("FinishPolish"), text(form.FinishPolish)},
        {QStringLiteral("FinishSymetry"), text(form.FinishSymetry)},
        {QStringLiteral("Girdle"), text(form.Girdle)},
        {QStringLiteral("Culet"), text(form.Culet)},
        {QStringLiteral("Dim1"), num(form.Dim1)},
        {QStringLiteral("Dim2"), num(form.Dim2)},
        {QStringLiteral("Dim3"), num(form.Dim3)},
        {QStringLiteral("TableSize"), num(form.TableSize)},
        {QStringLiteral("TotalDepth"), num(form.TotalDepth)},
        {QStringLiteral("CrownHeight"), num(form.CrownHeight)},
        {QStringLiteral("PavillionDepth"), num(form.PavillionDepth)},
        {QStringLiteral("CrownAngle"), num(form.CrownAngle)},
        {QStringLiteral("PavillionAngle"), num(form.PavillionAngle)},
        {QStringLiteral("GirdleDimension"), num(form.GirdleDimension)},
        {QStringLiteral("Laboratory"), text(form.Laboratory)},
        {QStringLiteral("Certificate"), text(form.Certificate)},
        {QStringLiteral("Inscription1"), text(form.Inscription1)},
        {QStringLiteral("Inscription2"), text(form.Inscription2)},
        {QStringLiteral("Canadian"), flag(form.Canadian)},
        {QStringLiteral("lab_dia"), flag(form.labGrown)},
        {QStringLiteral("finishedpiece"), flag(form.finished)},
        {QStringLiteral("hereonmemo"), flag(form.hereOnMemo)},
        {QStringLiteral("PublishPriceOnLustrabay"), flag(form.publishPrice)},
        {QStringLiteral("DontPublishOnLustrabay"), flag(!form.publishListing)},
        {QStringLiteral("PublishPriceOnLustrabayLocal"), flag(form.publishPriceLocal)},
        {QStringLiteral("DontPublishOnLustrabayLocal"), flag(!form.publishListingLocal)},
        {QStringLiteral("RapPriceOnDateBought"), num(form.price(F::OriginalRapPrice))},
        {QStringLiteral("BoughtPriceUS"), num(form.price(F::BoughtPriceUS))},
        {QStringLiteral("BoughtPriceLocal"), num(form.boughtPriceLocal)},
        {QStringLiteral("RapaportPrice"), num(form.price(F::LatestRapPrice))},
        {QStringLiteral("SellOffRap"), num(form.price(F::SellOffRap))},
        {QStringLiteral("SellPriceUS"), num(form.price(F::SellPrice))},
        // A tier the dealer left empty stays empty (Null), never 0.
        {QStringLiteral("SellOffRapLX"), orNull(form.price(F::SellOffRapLX))},
        {QStringLiteral("SellPriceUSlx"), orNull(form.price(F::SellPriceLX))},
        {QStringLiteral("SellOffRap2"), orNull(form.price(F::SellOffRap2))},
        {QStringLiteral("SellPriceUS2"), orNull(form.price(F::SellPrice2))},
        {QStringLiteral("SellOffRap3"), orNull(form.price(F::SellOffRap3))},
        {QStringLiteral("SellPriceUS3"), orNull(form.price(F::SellPrice3))},
        {QStringLiteral("LockPercent"), flag(form.lockPercent)},
        {QStringLiteral("LockPercentlx"), flag(form.lockPercentLX)},
        {QStringLiteral("BuyingInUS"), flag(form.buyInUS)},
        {QStringLiteral("BuyingInLocal"), flag(form.buyInLocal)},
        {QStringLiteral("PaidOffUS"), flag(form.paidOffUS)},
        {QStringLiteral("PaidOffPercentageUS"), flag(form.paidOffUSPercentage)},
        {QStringLiteral("PaidOffLocal"), flag(form.paidOffLocal)},
        {QStringLiteral("PaidOffPercentageLocal"), flag(form.paidOffLocalPercentage)},
        {QStringLiteral("bought_exchangerateCDN"), form.boughtRateCDN != 0 ? QVariant(form.boughtRateCDN) : nullDouble},
        {QStringLiteral("bought_exchangerateZAR"), form.boughtRateZAR != 0 ? QVariant(form.boughtRateZAR) : nullDouble},
        {QStringLiteral("SupplierID"), idOrNull(form.supplierId)},
        {QStringLiteral("ConsignmentInCustomerID"), idOrNull(form.consignmentInId)},
        {QStringLiteral("OnHoldForCustomerID"), idOrNull(form.onHoldForId)},
        {QStringLiteral("OnHoldNote"), text(form.onHoldNote)},
        {QStringLiteral("OnHoldDate"),
         form.onHoldDate.isValid() ? QVariant(form.onHoldDate) : QVariant(QMetaType::fromType<QDate>())},
    };
}

bool sameValue(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    return a.metaType() == b.metaType() && a == b;
}

const QString kSkuTaken =
    QStringLiteral("This SKU number is already been used for another Diamond, please choose another SKU number!");
const QString kCertificateTaken = QStringLiteral("You have used this Certificate already for another Diamond!");

struct Clash {
    bool sku = false, certificate = false;
};

// 2 and 4 in one round trip: is the SKU taken, is the certificate taken.
// Each is an index look-up (SKU, Certificate), not a scan of the stock.
Clash findClash(AppContext &ctx, const StoneForm &form)
{
    const bool certTested =
        !isBlank(form.Certificate) && !isBlank(form.Laboratory) && form.Certificate != QLatin1String(" ");
    // With CheckLiveStonesOnly a certificate is compared with the stones still
    // held (in stock or on memo) only: a stone sold or returned to its vendor
    // may come back under its certificate.  SKUs stay unique over all stones.
    const QString liveOnly = ctx.settings.CheckLiveStonesOnly
                                 ? QStringLiteral(" AND (Status IS NULL OR Status NOT IN ('Sold', 'returned'))")
                                 : QString();
    // Identifiers are compared without the blanks around them ("Q100 " is
    // Q100), each through its index.
    QVariantList binds;
    const QString sku = db::sameIdentifier(QStringLiteral("SKU"), form.SKU, binds);
    binds << form.id;
    const QString certificate = db::sameIdentifier(QStringLiteral("Certificate"), form.Certificate, binds);
    binds << likeLiteral(form.Laboratory.trimmed()) << form.id;
    QSqlQuery clash = db::exec(
        ctx.db(),
        QStringLiteral("SELECT EXISTS(SELECT 1 FROM SingleStone WHERE %1 AND ID <> ?), "
                       "EXISTS(SELECT 1 FROM SingleStone WHERE %2 AND TRIM(Laboratory) LIKE ? AND ID <> ?%3)")
            .arg(sku, certificate, liveOnly),
        binds);
    Clash c;
    c.sku = clash.next() && clash.value(0).toInt() != 0;
    c.certificate = certTested && clash.value(1).toInt() != 0;
    return c;
}

// An identifier (SKU, certificate, lot, code, location) without the
// characters nobody sees: a byte-order mark, zero-width spaces and joiners,
// other format and control characters.  Two identifiers that look the same
// are then the same.
QString withoutInvisible(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text)
        if (c.category() != QChar::Other_Format && c.category() != QChar::Other_Control)
            out += c;
    return out;
}

// What the database cannot hold as typed: a text longer than its column, or
// a comment with characters its stored form cannot give back.  The message,
// empty when everything fits.
QString unfitText(AppContext &ctx, const StoneForm &form)
{
    const db::TooLong tooLong = db::firstTooLong(
        ctx.db(), QStringLiteral("SingleStone"),
        {{QStringLiteral("SKU"), form.SKU}, {QStringLiteral("Lot"), form.Lot}, {QStringLiteral("CODE"), form.Code},
         {QStringLiteral("Location"), form.Location}, {QStringLiteral("Description"), form.Description},
         {QStringLiteral("Cut"), form.Cut}, {QStringLiteral("Flourescence"), form.Flourescence},
         {QStringLiteral("FancyColour"), form.FancyColour}, {QStringLiteral("FinishPolish"), form.FinishPolish},
         {QStringLiteral("FinishSymetry"), form.FinishSymetry}, {QStringLiteral("Girdle"), form.Girdle},
         {QStringLiteral("Culet"), form.Culet}, {QStringLiteral("Laboratory"), form.Laboratory},
         {QStringLiteral("Certificate"), form.Certificate}, {QStringLiteral("Inscription1"), form.Inscription1},
         {QStringLiteral("Inscription2"), form.Inscription2}, {QStringLiteral("OnHoldNote"), form.onHoldNote},
         {QStringLiteral("Shape"), form.Shape.trimmed()}});
    if (!tooLong.column.isEmpty())
        return QStringLiteral("The %1 is too long: %2 characters where at most %3 can be stored.\n\n"
                              "Please shorten it.")
            .arg(tooLong.column)
            .arg(tooLong.length)
            .arg(tooLong.limit);
    const QStringList bad = db::unstorableInBlob(form.Comment);
    if (!bad.isEmpty())
        return QStringLiteral("The Comment holds characters that cannot be stored: %1.\n\n"
                              "Please replace them.")
            .arg(bad.join(QStringLiteral(", ")));
    return {};
}

// The checks of a save, in their order; false (with its message) ends the save.
// The selling prices the dealer changed: none may be below 0, and a price
// typed in the local currency needs a known rate.  Empty: they pass.
QString refusedSellingPrice(AppContext &ctx, const StoneForm &form, const EditState &state)
{
    const bool adding = state.mode == EditState::Adding;
    auto changed = [&](F f) { return adding || form.price(f).trimmed() != state.atStart.price(f).trimmed(); };
    const QString cur = ctx.settings.currencyName();
    const std::pair<F, QString> locals[] = {
        {F::SellPriceLocal2, QStringLiteral("Sell 2 %1 price").arg(cur)},
        {F::SellPriceLocalCT2, QStringLiteral("Sell 2 %1 price per carat").arg(cur)},
        {F::SellPriceLocal3, QStringLiteral("Sell 3 %1 price").arg(cur)},
        {F::SellPriceLocalCT3, QStringLiteral("Sell 3 %1 price per carat").arg(cur)},
    };
    for (const auto &[field, name] : locals)
        if (!rateFigure(ctx.exchangeRateCDN) && !form.price(field).trimmed().isEmpty() && changed(field))
            return QStringLiteral("The %1 \"%2\" cannot be taken.\n\n").arg(name, form.price(field).trimmed())
                   + missingRates(ctx, true, false);
    // A list price below 0 would price the stone below 0: refused by its name.
    if (changed(F::LatestRapPrice)) {
        const figures::Column rap = figures::columnOf(ctx.db(), QStringLiteral("SingleStone"), QStringLiteral("RapaportPrice"));
        const figures::Reading r = figures::read(form.price(F::LatestRapPrice),
                                                 {QStringLiteral("current Rap"), rap, figures::Need::NotNegative});
        if (!r.ok())
            return r.error;
    }
    const figures::Column column = figures::columnOf(ctx.db(), QStringLiteral("SingleStone"), QStringLiteral("SellPriceUS"));
    const std::pair<F, const char *> prices[] = {
        {F::SellPrice, "Sell 1 price"},           {F::SellPriceCT, "Sell 1 price per carat"},
        {F::SellPriceLX, "Sell listing price"},   {F::SellPriceCTLX, "Sell listing price per carat"},
        {F::SellPrice2, "Sell 2 price"},          {F::SellPriceCT2, "Sell 2 price per carat"},
        {F::SellPrice3, "Sell 3 price"},          {F::SellPriceCT3, "Sell 3 price per carat"},
        {F::SellPriceLocal2, "Sell 2 local price"}, {F::SellPriceLocalCT2, "Sell 2 local price per carat"},
        {F::SellPriceLocal3, "Sell 3 local price"}, {F::SellPriceLocalCT3, "Sell 3 local price per carat"},
    };
    for (const auto &[field, name] : prices) {
        const QString typed = form.price(field).trimmed();
        if (typed.isEmpty() || !changed(field))
            continue;
        // 0 or below is no price.  (A discount over no list price leaves
        // the price as it was: it gives no 0.)
        const figures::Reading r = figures::read(typed, {QString::fromLatin1(name), column, figures::Need::Positive});
        if (!r.ok())
            return r.error;
    }
    return {};
}

// A discount below 0 is a price above the list: asked about before it is
// taken.  False when the dealer says No.
bool confirmsPremiums(AppContext &ctx, const StoneForm &form, const EditState &state)
{
    const bool adding = state.mode == EditState::Adding;
    const std::tuple<F, F, const char *> tiers[] = {{F::SellOffRap, F::SellPriceCT, "Sell 1"},
                                                    {F::SellOffRapLX, F::SellPriceCTLX, "Sell listing"},
                                                    {F::SellOffRap2, F::SellPriceCT2, "Sell 2"},
                                                    {F::SellOffRap3, F::SellPriceCT3, "Sell 3"}};
    for (const auto &[off, ct, name] : tiers) {
        const QString typed = form.price(off).trimmed();
        if (typed.isEmpty() || (!adding && typed == state.atStart.price(off).trimmed()))
            continue;
        const Decimal5 d = figures::parseTyped(typed).value_or(Decimal5());
        if (d >= Decimal5())
            continue;
        const QString list = figures::parseTyped(form.price(F::LatestRapPrice)).value_or(Decimal5()).grouped2();
        const QString price = figures::parseTyped(form.price(ct)).value_or(Decimal5()).grouped2();
        if (!ctx.prompt().askYesNo(QStringLiteral("%1: %2 % above the list price?\n\nThe discount off Rap is %3: "
                                                  "%4 /ct against a list price of %5 /ct.")
                                       .arg(QString::fromLatin1(name), (-d).grouped(2).remove(QRegularExpression(QStringLiteral("\\.?0+$"))),
                                            typed, price, list),
                                   QStringLiteral("Price above the list"), Icon::Question))
            return false;
    }
    return true;
}

bool passesChecks(AppContext &ctx, StoneForm &form, const EditState &state)
{
    Prompt &p = ctx.prompt();
    const Settings &cfg = ctx.settings;
    auto refuse = [&](const QString &text) {
        p.inform(text, kMissing, Icon::Information);
        return false;
    };
    // A typed number that is not plainly one is refused, never reinterpreted.
    if (const QString bad = unreadableNumber(ctx, form); !bad.isEmpty())
        return refuse(bad);
    if (const QString bad = refusedSellingPrice(ctx, form, state); !bad.isEmpty())
        return refuse(bad);
    // 1. The auto-number of a new stone.
    const bool drawn = cfg.AutoSku && state.mode == EditState::Adding;
    // A number that cannot be drawn refuses the save (its message said why):
    // the bare prefix is never saved as the SKU.
    if (drawn) {
        form.SKU.remove(QStringLiteral("......"));
        if (!autoNumberSku(ctx, form.SKU, true))
            return false;
    }
    const Clash clash = findClash(ctx, form);
    // 2. SKU unique.  A number just drawn that another workstation took a
    // moment ago is drawn again by the write, under the lock.
    if (clash.sku && !drawn)
        return refuse(kSkuTaken);
    // 3. A certificate needs its laboratory.
    if (form.Certificate.size() >= 3 && isBlank(form.Laboratory))
        return refuse(QStringLiteral("You specified a Certificate Number but didn't asign a Laboratory!"));
    // 4. Certificate unique per laboratory.
    if (clash.certificate)
        return refuse(kCertificateTaken);
    // 5, 6. The held side of tier 1 must be set.
    // 0 as the column stores it: "0.000001" is no discount either.
    auto storedZero = [](const QString &typed) { return figures::parseTyped(typed).value_or(Decimal5()).isZero(); };
    if (form.lockPercent && storedZero(form.price(F::SellOffRap)))
        return refuse(QStringLiteral("You need to define a valid Off-Rap Discount"));
    if (!form.lockPercent && storedZero(form.price(F::SellPrice)))
        return refuse(QStringLiteral("You need to define a valid Sale Price"));
    // 7 - 9.
    if (isBlank(form.SKU))
        return refuse(QStringLiteral("You need to Assign a SKU number"));
    if (isBlank(form.Shape))
        return refuse(QStringLiteral("You need to Assign a Shape"));
    if (fieldValue(form.Carat) <= 0)
        return refuse(QStringLiteral("You need to define a Carat Weight"));
    // 10 - 15: the fields the configuration makes compulsory.
    if (cfg.ForceColour && gradeNumber(form.colourEntry) == 0)
        return refuse(QStringLiteral("You need to Assign the Colour"));
    if (cfg.ForceClarity && gradeNumber(form.clarityEntry) == 0)
        return refuse(QStringLiteral("You need to ASsign the Clarity"));
    if (cfg.ForceCut && isBlank(form.Cut))
        return refuse(QStringLiteral("You need to ASsign the Cut"));
    if (cfg.ForceLab && isBlank(form.Laboratory))
        return refuse(QStringLiteral("You need to ASsign the Laboratory"));
    if (cfg.ForceCertificate && isBlank(form.Certificate))
        return refuse(QStringLiteral("You need to ASsign the Certificate"));
    if (cfg.ForceDimension && fieldValue(form.Dim1) == 0 && fieldValue(form.Dim2) == 0
        && fieldValue(form.Dim3) == 0)
        return refuse(QStringLiteral("You need to ASsign the Dimension"));
    return true;
}

// 16. The questions for a changed shape, weight, colour or clarity.
bool confirmsGradingChanges(AppContext &ctx, const StoneForm &form, const EditState &state)
{
    if (state.mode != EditState::Editing)
        return true;
    struct Q {
        bool differs;
        const char *word;
    };
    const Q qs[] = {
        {form.Shape != state.shapeAtStart, "Shape"},
        {fieldValue(form.Carat) != fieldValue(state.caratAtStart), "Weight"},
        {gradeNumber(form.colourEntry) != gradeNumber(state.colourAtStart), "Colour"},
        {gradeNumber(form.clarityEntry) != gradeNumber(state.clarityAtStart), "Clarity"},
    };
    for (const Q &q : qs) {
        if (!q.differs)
            continue;
        const QString word = QString::fromLatin1(q.word);
        if (!ctx.prompt().askYesNo(changingQuestion(word), QStringLiteral("Changing ") + word, Icon::Question))
            return false;
    }
    return true;
}

void addOpeningPayment(AppContext &ctx, qint64 stoneId, qint64 supplierId, const QDate &date)
{
    if (supplierId == 0)
        return;
    if (db::scalar(ctx.db(), QStringLiteral("SELECT ID FROM PaymentMade WHERE StoneID = ? AND CustomerID = ? LIMIT 1"),
                   {stoneId, supplierId})
            .isValid())
        return;
    db::exec(ctx.db(),
             QStringLiteral("INSERT INTO PaymentMade (Date, Reference, PaymentUS, PaymentLocal, StoneID, CustomerID, "
                            "EmployeeID) VALUES (?, NULL, 0, 0, ?, ?, ?)"),
             {date.isValid() ? QVariant(QDateTime(date, QTime(0, 0))) : QVariant(QDateTime::currentDateTime()),
              stoneId, supplierId, ctx.user.ID});
}

} // namespace

namespace {

// The write of a save in one transaction, behind the guard every workstation
// writes for its SKU and certificate checks (db/Guard.h): the checks are made
// again there, so that two workstations saving one SKU at the same moment
// cannot both pass them.  A refusal's words go to `refusal` (told once the
// transaction is over).
SaveResult writeStone(AppContext &ctx, StoneForm &form, const EditState &state, const QString &skuAsTyped,
                      QString &refusal)
{
    {
        db::Transaction tx(ctx.db());
        db::claimGuard(ctx.db(), db::GuardKind::StoneSku, 0);
        const Clash clash = [&] {
            Clash c = findClash(ctx, form);
            if (c.sku && ctx.settings.AutoSku && state.mode == EditState::Adding) {
                // The number drawn before was taken meanwhile: draw again.
                QString sku = skuAsTyped;
                sku.remove(QStringLiteral("......"));
                if (autoNumberSku(ctx, sku, true)) {
                    form.SKU = sku;
                    c = findClash(ctx, form);
                }
            }
            return c;
        }();
        if (clash.sku) {
            refusal = kSkuTaken;
            return SaveResult::Refused;
        }
        if (clash.certificate) {
            refusal = kCertificateTaken;
            return SaveResult::Refused;
        }
        const QString shape = pricing_bridge::normaliseShape(ctx.db(), form.Shape.left(50));
        const bool adding = state.mode == EditState::Adding;
        // A new stone's row is made here, in the save's transaction: an Add
        // that is cancelled or refused leaves no row behind.
        if (adding && form.id == 0)
            form.id = addStoneRow(ctx);

        // A new stone gets every column; an edited one the columns the user
        // changed since editing began.  RND marks every save.
        const auto values = columnValues(ctx, form);
        QList<std::pair<QString, QVariant>> before;
        if (!adding)
            before = columnValues(ctx, state.atStart);
        QStringList sets;
        QVariantList b;
        for (qsizetype i = 0; i < values.size(); ++i) {
            if (!adding && sameValue(values[i].second, before[i].second))
                continue;
            sets << values[i].first + QStringLiteral("=?");
            b << values[i].second;
        }
        sets << QStringLiteral("RND=?");
        b << drawRnd();
        QString sql = QStringLiteral("UPDATE SingleStone SET ") + sets.join(QStringLiteral(", "));
        if (adding)
            sql += QStringLiteral(", Status='Stock'");
        // The status this screen showed must still hold: a sale or memo move
        // made on another workstation meanwhile is not overwritten.
        sql += QStringLiteral(" WHERE ID=? AND COALESCE(Status, '') = ?");
        b << form.id << (adding ? QString::fromLatin1("") : state.statusAtLoad);
        const QString expected = adding ? QString::fromLatin1("") : state.statusAtLoad;
        int written = db::execAffected(ctx.db(), sql, b);
        if (written == 0) {
            // The server counts changed rows: a save that changed nothing (the
            // same random marker drawn again) still found its row.
            written = db::scalar(ctx.db(),
                                 QStringLiteral("SELECT COUNT(*) FROM SingleStone WHERE ID=? AND COALESCE(Status, '') = ?"),
                                 {form.id, expected})
                          .toInt();
        }
        if (written != 1) {
            tx.rollback();
            const QVariant now = db::scalar(ctx.db(), QStringLiteral("SELECT Status FROM SingleStone WHERE ID = ?"),
                                            {form.id});
            refusal = !now.isValid()
                ? QStringLiteral("This Diamond has been deleted on another Workstation!")
                : QStringLiteral("The Status of this Diamond has been changed on another "
                                 "Workstation to \"%1\" since it was loaded.\n\nPlease reload "
                                 "the Diamond and enter your changes again.")
                      .arg(db::textOf(now));
            return SaveResult::Refused;
        }
        addOpeningPayment(ctx, form.id, form.consignmentInId, form.DateCreated);
        if (ctx.settings.StoneChange)
            SaveDeleteChangeStatus(ctx, QStringLiteral("save"), form.id);
        tx.commit();
        form.Shape = shape;
    }
    return SaveResult::Saved;
}

} // namespace

SaveResult saveStone(AppContext &ctx, StoneForm &form, EditState &state)
{
    // The right is checked at the write, not only when adding or editing
    // began: a log-off meanwhile leaves nothing to save.
    if (!mayWrite(ctx, state.mode == EditState::Adding ? QStringLiteral("AllowDiamond2Create")
                                                       : QStringLiteral("AllowEdit")))
        return SaveResult::Refused;
    // Identifiers lose the characters nobody sees and the blanks around them
    // before any check: a byte-order mark before an SKU would be stored and
    // lost when read back, and "Q100 " is Q100.
    // The same for the record as editing began, so that an identifier stored
    // with a blank and left alone is not rewritten by a save.
    for (StoneForm *f : {&form, &state.atStart})
        for (QString *id : {&f->SKU, &f->Certificate, &f->Lot, &f->Code, &f->Location, &f->Laboratory})
            *id = withoutInvisible(*id).trimmed();
    const QString skuAsTyped = form.SKU;
    try {
        if (!passesChecks(ctx, form, state))
            return SaveResult::Refused;
        const QString unfit = unfitText(ctx, form);
        if (!unfit.isEmpty()) {
            ctx.prompt().inform(unfit, kMissing, Icon::Information);
            return SaveResult::Refused;
        }
    } catch (const db::DbError &e) {
        ctx.prompt().inform(QStringLiteral("The Diamond could not be saved:\n\n") + e.message(), kMissing,
                            Icon::Critical);
        return SaveResult::Failed;
    }
    if (!confirmsGradingChanges(ctx, form, state) || !confirmsPremiums(ctx, form, state))
        return SaveResult::Declined;

    QString refusal;
    // A new stone without its row gets one in the write; a write that does
    // not commit leaves it without one.
    const qint64 idBefore = form.id;
    try {
        const SaveResult r = db::retryOnLockConflict([&] {
            refusal.clear();
            form.id = idBefore;
            return writeStone(ctx, form, state, skuAsTyped, refusal);
        });
        if (r != SaveResult::Saved) {
            form.id = idBefore;
            ctx.prompt().inform(refusal, kMissing, Icon::Information);
            return r;
        }
    } catch (const db::LockConflict &) {
        form.id = idBefore;
        ctx.prompt().inform(db::lockConflictMessage(), kMissing, Icon::Exclamation);
        return SaveResult::Refused;
    } catch (const db::DbError &e) {
        form.id = idBefore;
        ctx.prompt().inform(QStringLiteral("The Diamond could not be saved:\n\n") + e.message(), kMissing,
                            Icon::Critical);
        return SaveResult::Failed;
    }
    state = EditState{};
    changeEvents(ctx).announceStone(form.id);
    return SaveResult::Saved;
}

static DeleteResult deleteStoneUnguarded(AppContext &ctx, qint64 id)
{
    Prompt &p = ctx.prompt();
    if (ctx.user.ID == 0) {
        MsgLogOnFirstModule(p);
        return DeleteResult::Refused;
    }
    if (!ctx.user.AllowDelete) {
        p.inform(QStringLiteral("You have no Authority for Deleting - User Authorities can be granted by the "
                                "Administrator in the User Configuration!"),
                 QStringLiteral("User Authority"), Icon::Information);
        return DeleteResult::Refused;
    }
    const QString status =
        db::textOf(db::scalar(ctx.db(), QStringLiteral("SELECT Status FROM SingleStone WHERE ID = ?"), {id}));
    if (status.compare(QLatin1String("Memo"), Qt::CaseInsensitive) == 0) {
        p.inform(QStringLiteral("You cannot delete a Diamond that is out on Memo!"), QStringLiteral("Deleting"),
                 Icon::Information);
        return DeleteResult::Refused;
    }
    if (status.compare(QLatin1String("Sold"), Qt::CaseInsensitive) == 0) {
        p.inform(QStringLiteral("You cannot delete a Diamond that is Sold!"), QStringLiteral("Deleting"),
                 Icon::Information);
        return DeleteResult::Refused;
    }
    if (!p.askYesNo(QStringLiteral("Are you sure you want to delete this Diamond from the Database?"),
                    QStringLiteral("Deleting"), Icon::Question))
        return DeleteResult::Declined;
    try {
        const int n = db::retryOnLockConflict([&] {
            db::Transaction tx(ctx.db());
            if (ctx.settings.StoneChange)
                SaveDeleteChangeStatus(ctx, QStringLiteral("delete"), id);
            // Not while another workstation puts it on memo or sells it.
            const int deleted = db::execAffected(
                ctx.db(),
                QStringLiteral("DELETE FROM SingleStone WHERE ID = ? AND (Status IS NULL OR (Status NOT LIKE 'Memo' "
                               "AND Status NOT LIKE 'Sold'))"),
                {id});
            if (deleted == 1) {
                stones::dropFilesOfStone(ctx.db(), id); // its pictures and certificates go with it
                tx.commit();
            }
            return deleted;
        });
        if (n != 1) {
            p.inform(QStringLiteral("This Diamond has been put on Memo or sold on another Workstation meanwhile and "
                                    "cannot be deleted!"),
                     QStringLiteral("Deleting"), Icon::Information);
            return DeleteResult::Refused;
        }
    } catch (const db::LockConflict &) {
        p.inform(db::lockConflictMessage(), QStringLiteral("Deleting"), Icon::Exclamation);
        return DeleteResult::Refused;
    } catch (const db::DbError &e) {
        p.inform(QStringLiteral("The Diamond could not be deleted:\n\n") + e.message(), QStringLiteral("Deleting"),
                 Icon::Critical);
        return DeleteResult::Failed;
    }
    changeEvents(ctx).announceStone(id);
    return DeleteResult::Deleted;
}

DeleteResult deleteStone(AppContext &ctx, qint64 id)
{
    try {
        return deleteStoneUnguarded(ctx, id);
    } catch (const db::DbError &e) {
        ctx.prompt().inform(QStringLiteral("The Diamond could not be deleted:\n\n") + e.message(),
                            QStringLiteral("Deleting"), Icon::Critical);
        return DeleteResult::Failed;
    }
}

} // namespace velmor::stones
