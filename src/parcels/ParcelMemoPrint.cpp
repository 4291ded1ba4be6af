#include "parcels/ParcelMemoPrint.h"

#include "core/TextJoin.h"
#include "core/Users.h"
#include "core/AppContext.h"
#include "core/ChangeEvents.h"
#include "core/KnownRates.h"
#include "db/Sql.h"
#include "pricing/Grades.h"

#include <QFileInfo>
#include <QImage>
#include <QLocale>

namespace velmor::parcels {

namespace {

constexpr double kLeft = 500;
constexpr double kRight = 11000;
constexpr double kHalf = 5800; // the dealer's lines end before it, the customer's begin after it

QString usDate(const QDateTime &d, const QString &format)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(d, format);
}

void rightAligned(printing::PrintSurface &s, const QString &text)
{
    s.CurrentX = kRight - s.textWidth(text);
    s.printLine(text);
}

QString rangeText(const ParcelMemoLine &r)
{
    return r.caratLow.fixed(2) + QStringLiteral("ct.-") + r.caratHigh.fixed(2) + QStringLiteral("ct. | ")
           + pricing::colourCodeText(r.colourLow) + QLatin1Char('-') + pricing::colourCodeText(r.colourHigh)
           + QStringLiteral(" | ") + pricing::clarityCodeText(r.clarityLow) + QLatin1Char('-')
           + pricing::clarityCodeText(r.clarityHigh);
}

} // namespace

QString unknownRates(const ParcelMemoDocument &d, bool cdn, bool zar)
{
    auto missing = [&](bool wanted, Decimal5 ParcelMemoLine::*rate, const QString &name, const QString &word) {
        if (!wanted)
            return QString();
        QStringList where;
        for (const ParcelMemoLine &r : d.rows)
            if (r.*rate <= Decimal5()) {
                const QString w = r.sku + QStringLiteral(" of ") + usDate(r.date, QStringLiteral("MMM dd, yyyy"));
                if (!where.contains(w))
                    where << w;
            }
        if (where.isEmpty())
            return QString();
        return QStringLiteral("%1 was not known when these carats went on this memo (%2), so their %3 amounts "
                              "cannot be printed.\n\nPrint the memo without %3 amounts, or set the rate on the rate "
                              "screen (Exchange and Metal Rates): the stone screen gives these lines the rate when "
                              "it next opens.")
            .arg(name, where.join(QStringLiteral(", ")), word);
    };
    QString why = missing(cdn, &ParcelMemoLine::rateCDN, QStringLiteral("The exchange rate to CDN"), QStringLiteral("CDN"));
    if (why.isEmpty())
        why = missing(zar, &ParcelMemoLine::rateZAR, QStringLiteral("The rand rate (ZAR)"), QStringLiteral("ZAR"));
    return why;
}

std::optional<ParcelMemoDocument> parcelMemoDocument(const QSqlDatabase &db, const Settings &s, qint64 memoId)
{
    const auto h = loadParcelMemo(db, memoId);
    if (!h)
        return std::nullopt;
    ParcelMemoDocument d;
    d.header = *h;
    // One row per movement, ordered by the parcel's SKU.
    d.rows = parcelMemoLines(db, memoId, true);
    std::stable_sort(d.rows.begin(), d.rows.end(),
                     [](const ParcelMemoLine &a, const ParcelMemoLine &b) { return a.sku < b.sku; });
    d.name = s.CompanyName;
    d.street1 = s.CompanyStreet1;
    d.street2 = s.CompanyStreet2;
    d.cityProvince = joinFilled({s.CompanyCity, s.CompanyProvince});
    d.zip = s.CompanyZIP;
    d.phone = s.CompanyPhone;
    d.fax = s.CompanyFax;
    d.email = s.CompanyEMail;
    d.www = s.CompanyWWW;
    d.logoPath = s.logoPath;
    d.disclaimer = s.MemoDisclaimer;
    return d;
}

bool PrintMemoSheetParcel(printing::PrintSurface &s, const ParcelMemoDocument &d, bool cdn, bool zar, QString *error)
{
    if (d.rows.isEmpty()) {
        if (error)
            *error = QStringLiteral("There are no Parcels on this Memo Sheet!");
        return false;
    }
    // An amount at a rate nobody knew is never printed.
    if (const QString why = unknownRates(d, cdn, zar); !why.isEmpty()) {
        if (error)
            *error = why;
        return false;
    }
    s.setFont(QStringLiteral("Arial"), 10);
    double logoBottom = kLeft;
    if (!d.logoPath.isEmpty() && QFileInfo::exists(d.logoPath)) {
        const QImage logo(d.logoPath);
        if (!logo.isNull()) {
            const double w = 3000, h = w * logo.height() / qMax(1, logo.width());
            s.drawPicture(logo, kLeft, kLeft, w, h);
            logoBottom = kLeft + h + 100;
        }
    }
    s.setPosition(kLeft, logoBottom);
    for (const QString &l : {d.name, d.street1, d.street2, d.cityProvince, d.zip, QString(),
                             QStringLiteral("Phone:  ") + d.phone, QStringLiteral("Fax:    ") + d.fax,
                             QStringLiteral("E-Mail: ") + d.email, QStringLiteral("WWW:    ") + d.www}) {
        s.CurrentX = kLeft;
        s.printLine(s.fitted(l, kHalf - kLeft - 100));
    }
    const double afterDealer = s.CurrentY;

    s.setFontBold(true);
    s.setFontSize(25);
    s.setPosition(0, kLeft);
    rightAligned(s, QStringLiteral("Memorandum"));
    s.setFontBold(false);
    s.setFontSize(10);
    s.setFontUnderline(true);
    s.setTextColour(Qt::blue);
    for (const QString &l : {d.header.companyName, d.header.street1, d.header.city, d.header.zip, phoneText(d.header.phone)})
        rightAligned(s, s.fitted(l, kRight - kHalf - 100));
    s.setFontUnderline(false);
    s.setTextColour(Qt::black);
    s.printLine();
    rightAligned(s, QStringLiteral("Parcel-Memo#: ") + QString::number(d.header.id));
    rightAligned(s, s.fitted(QStringLiteral("Reference: ") + d.header.reference, kRight - kHalf - 100));
    rightAligned(s, QStringLiteral("created on: ") + usDate(d.header.date, QStringLiteral("MMM dd, yyyy")));
    s.setFontSize(8);
    rightAligned(s, QStringLiteral("(printed on: ") + usDate(QDateTime::currentDateTime(), QStringLiteral("MMM dd, yyyy"))
                        + QStringLiteral(")"));
    s.setFontSize(10);

    s.CurrentY = qMax(s.CurrentY, afterDealer);
    s.setLineWidth(8);
    s.drawLine(kLeft, s.CurrentY + 300, kRight, s.CurrentY + 300);
    s.printLine();
    s.printLine();

    // The converted amounts, each row's at its own rates: their column
    // starts where its widest amount still ends at the right rule.
    QList<QStringList> convertedTexts;
    {
        s.setFont(QStringLiteral("Arial"), 8);
        for (const ParcelMemoLine &r : d.rows) {
            const Decimal5 value = r.priceCarat.times(r.carat, 2);
            QStringList converted;
            if (cdn)
                converted << QStringLiteral("~CDN ") + convertedAmount(value, r.rateCDN).grouped2();
            if (zar)
                converted << QStringLiteral("~ZAR ") + convertedAmount(value, r.rateZAR).grouped2();
            convertedTexts << converted;
        }
    }
    double convertedLeft = 9500;
    s.setFont(QStringLiteral("Arial"), 8, false, true);
    convertedLeft = qMin(convertedLeft, kRight - s.textWidth(d.currencySign + QStringLiteral("/carat")) * 1.03);
    s.setFont(QStringLiteral("Arial"), 8);
    for (const QStringList &texts : convertedTexts)
        for (const QString &t : texts)
            convertedLeft = qMin(convertedLeft, kRight - s.textWidth(t) * 1.03);
    const QList<double> columns{500, 1900, 3000, 7000, 8000, convertedLeft, kRight};

    // The column heads, again on every page the rows run on to.
    const QList<std::pair<double, QString>> heads = {{500, QStringLiteral("SKU#")},
                                                     {1900, QStringLiteral("Shape")},
                                                     {3000, QStringLiteral("Size, Colour, Clarity")},
                                                     {7000, QStringLiteral("Carat")},
                                                     {8000, QStringLiteral("$/carat")},
                                                     {convertedLeft, d.currencySign + QStringLiteral("/carat")}};
    auto printHeads = [&] {
        s.setColumns(columns);
        s.setFont(QStringLiteral("Arial"), 8, false, true);
        const double headY = s.CurrentY;
        for (const auto &[x, text] : heads) {
            s.setPosition(x, headY);
            s.printLine(QStringList{text});
        }
        s.setFontItalic(false);
    };
    const double bottom = (s.pageHeight() > 0 ? qMin(s.pageHeight(), 15000.0) : 15000.0) - 300;
    auto continued = [&] {
        s.setColumns({});
        s.newPage();
        s.setFont(QStringLiteral("Arial"), 8, true);
        s.setPosition(kLeft, kLeft);
        s.printLine(QStringLiteral("Parcel-Memo#: %1 (continued)").arg(d.header.id));
        s.printLine();
    };
    printHeads();

    Decimal5 totalUS, totalCDN, totalZAR;
    for (const ParcelMemoLine &r : d.rows) {
        const QStringList &converted = convertedTexts.at(&r - d.rows.constData());
        s.setFont(QStringLiteral("Arial"), 8);
        // Date and SKU, and the shape, wrap within their columns.
        const QStringList first =
            s.wrapped(usDate(r.date, QStringLiteral("MMM dd, yyyy")) + QStringLiteral("  ") + r.sku, 1900 - 500 - 80);
        const QStringList shape = s.wrapped(r.shape, 3000 - 1900 - 80);
        const int lines = qMax(qMax(first.size(), shape.size()), int(cdn) + int(zar));
        if (s.CurrentY + qMax(1, lines) * s.textHeight() > qMin(bottom, s.pageHeight() - 2500)) {
            continued();
            printHeads();
            s.setFont(QStringLiteral("Arial"), 8);
        }
        const double rowY = s.CurrentY;
        const Decimal5 value = r.priceCarat.times(r.carat, 2);
        totalUS += value;
        double nextY = rowY + s.textHeight();
        auto column = [&](double x, const QStringList &texts) {
            double y = rowY;
            for (const QString &t : texts) {
                s.setPosition(x, y);
                s.printLine(QStringList{t});
                y = s.CurrentY;
            }
            nextY = qMax(nextY, y);
        };
        column(500, first);
        column(1900, shape);
        column(3000, {s.fitted(rangeText(r), 7000 - 3000 - 80)});
        column(7000, {r.carat.fixed(2)});
        column(8000, {r.priceCarat.fixed(2)});
        if (cdn)
            totalCDN += convertedAmount(value, r.rateCDN);
        if (zar)
            totalZAR += convertedAmount(value, r.rateZAR);
        column(convertedLeft, converted);
        s.setPosition(0, nextY);
    }
    s.setColumns({});

    s.setFontSize(10);
    s.setFontBold(true);
    s.setFontItalic(true);
    if (s.CurrentY + 4 * s.textHeight() > bottom)
        continued();
    s.setFont(QStringLiteral("Arial"), 10, true, true);
    s.setLineWidth(1);
    s.drawLine(kLeft, s.CurrentY, kRight, s.CurrentY);
    auto summary = [&](const QString &text) {
        s.CurrentX = kRight - 1000 - s.textWidth(text);
        s.printLine(text);
    };
    summary(QStringLiteral("Summary US$ ") + totalUS.grouped2());
    if (cdn)
        summary(QStringLiteral("Summary CDN ") + totalCDN.grouped2());
    if (zar)
        summary(QStringLiteral("Summary ZAR ") + totalZAR.grouped2());
    s.setFontBold(false);
    s.setFontItalic(false);
    s.printLine();
    s.setLineWidth(2);
    s.drawLine(kLeft, s.CurrentY, kRight, s.CurrentY);
    s.setFontSize(6);
    // The disclaimer, and the program's line under it, go on to a new page
    // where the page ends.
    for (const QString &line : s.wrapped(d.disclaimer, 10500, true)) {
        if (s.CurrentY + s.textHeight() > bottom) {
            continued();
            s.setFont(QStringLiteral("Arial"), 6);
        }
        s.CurrentX = kLeft;
        s.printLine(line);
    }
    s.setFont(QStringLiteral("Arial"), 6);
    if (s.CurrentY + s.textHeight() > bottom) {
        continued();
        s.setFont(QStringLiteral("Arial"), 6);
    }
    s.setPosition(kLeft, qMax(s.CurrentY, qMin(14500.0, bottom - s.textHeight())));
    s.printLine(QStringLiteral("Velmor diamond inventory"));
    return true;
}

printing::PrintOutcome printParcelMemo(AppContext &ctx, qint64 memoId, const printing::PrintTarget &target, bool cdn,
                                       bool zar, PrintedClose *closing)
{
    const QString title = QStringLiteral("Memo Printing");
    printing::PrintOutcome out;
    // Printing closes the memo: a change of the books.
    if (!mayWrite(ctx, rights::Memo)) {
        out.error = QStringLiteral("not allowed");
        return out;
    }
    std::optional<ParcelMemoDocument> doc;
    try {
        doc = parcelMemoDocument(ctx.db(), ctx.settings, memoId);
    } catch (const db::DbError &e) {
        out.error = QStringLiteral("The Memo could not be read:\n\n") + e.message();
        ctx.prompt().inform(out.error, title, Icon::Exclamation);
        return out;
    }
    if (!doc) {
        out.error = QStringLiteral("There is no Parcel-Memo #%1.").arg(memoId);
        ctx.prompt().inform(out.error, title, Icon::Information);
        return out;
    }
    doc->currencySign = ctx.settings.currencyName();
    out = printing::printDocument(
        target, [&](printing::PrintSurface &s, QString *error) { return PrintMemoSheetParcel(s, *doc, cdn, zar, error); },
        QStringLiteral("Parcel-Memo %1").arg(memoId));
    if (!out.ok) {
        ctx.prompt().inform(out.error, title, Icon::Exclamation);
        return out;
    }
    try {
        // Closes what the paper shows, nothing that came in after the read.
        QList<qint64> printed;
        for (const ParcelMemoLine &l : doc->rows)
            printed << l.lineId;
        const PrintedClose c = closeParcelMemoAfterPrint(ctx.db(), memoId, printed);
        if (closing)
            *closing = c;
        changeEvents(ctx).announceParcelMemo(memoId);
        if (c == PrintedClose::LinesChanged) {
            out.error = parcelMemoLinesChangedMessage(memoId);
            ctx.prompt().inform(out.error, title, Icon::Exclamation);
            return out;
        }
    } catch (const db::DbError &e) {
        out.error = QStringLiteral("The Memo was printed but could not be closed:\n\n") + e.message();
        ctx.prompt().inform(out.error, title, Icon::Exclamation);
        return out;
    }
    ctx.prompt().inform(QStringLiteral("The Memo Sheet has been sent to the Printer!"), title, Icon::Information);
    return out;
}

} // namespace velmor::parcels
