#include "parcels/ParcelMemoPrint.h"

#include "core/AppContext.h"
#include "db/Sql.h"
#include "pricing/Grades.h"

#include <QFileInfo>
#include <QImage>
#include <QLocale>

namespace velmor::parcels {

namespace {

constexpr double kLeft = 500;
constexpr double kRight = 11000;

QString usDate(const QDateTime &d, const QString &format)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(d, format);
}

void rightAligned(printing::PrintSurface &s, const QString &text)
{
    s.CurrentX = kRight - s.textWidth(text);
    s.printLine(text);
}

// Greedy word wrap in the current font; a word wider than the line is cut.
void wrapped(printing::PrintSurface &s, const QString &text, double x, double width)
{
    const QStringList paragraphs = QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).split(QLatin1Char('\n'));
    for (const QString &para : paragraphs) {
        QString line;
        const QStringList words = para.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.isEmpty()) {
            s.CurrentX = x;
            s.printLine(QString());
            continue;
        }
        for (QString w : words) {
            const QString candidate = line.isEmpty() ? w : line + QLatin1Char(' ') + w;
            if (s.textWidth(candidate) <= width) {
                line = candidate;
                continue;
            }
            if (!line.isEmpty()) {
                s.CurrentX = x;
                s.printLine(line);
            }
            while (s.textWidth(w) > width && w.size() > 1) {
                int n = w.size() - 1;
                while (n > 1 && s.textWidth(w.left(n)) > width)
                    --n;
                s.CurrentX = x;
                s.printLine(w.left(n));
                w = w.mid(n);
            }
            line = w;
        }
        s.CurrentX = x;
        s.printLine(line);
    }
}

QString rangeText(const ParcelMemoLine &r)
{
    return r.caratLow.fixed(2) + QStringLiteral("ct.-") + r.caratHigh.fixed(2) + QStringLiteral("ct. | ")
           + pricing::colourCodeText(r.colourLow) + QLatin1Char('-') + pricing::colourCodeText(r.colourHigh)
           + QStringLiteral(" | ") + pricing::clarityCodeText(r.clarityLow) + QLatin1Char('-')
           + pricing::clarityCodeText(r.clarityHigh);
}

} // namespace

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
    d.cityProvince = s.CompanyCity + QStringLiteral(", ") + s.CompanyProvince;
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
        s.printLine(l);
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
    for (const QString &l : {d.header.companyName, d.header.street1, d.header.city, d.header.zip, d.header.phone})
        rightAligned(s, l);
    s.setFontUnderline(false);
    s.setTextColour(Qt::black);
    s.printLine();
    rightAligned(s, QStringLiteral("Parcel-Memo#: ") + QString::number(d.header.id));
    rightAligned(s, QStringLiteral("Reference: ") + d.header.reference);
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

    s.setFontSize(8);
    s.setFontItalic(true);
    const double headY = s.CurrentY;
    const QList<std::pair<double, QString>> heads = {{500, QStringLiteral("SKU#")},
                                                     {1900, QStringLiteral("Shape")},
                                                     {3000, QStringLiteral("Size, Colour, Clarity")},
                                                     {7000, QStringLiteral("Carat")},
                                                     {8000, QStringLiteral("$/carat")},
                                                     {9500, d.currencySign + QStringLiteral("/carat")}};
    for (const auto &[x, text] : heads) {
        s.setPosition(x, headY);
        s.printLine(QStringList{text});
    }
    s.setFontItalic(false);

    Decimal5 totalUS, totalCDN, totalZAR;
    for (const ParcelMemoLine &r : d.rows) {
        const double y = s.CurrentY;
        if (y > s.pageHeight() - 2500) {
            s.newPage();
            s.setPosition(0, kLeft);
        }
        const double rowY = s.CurrentY;
        const Decimal5 value = r.priceCarat.times(r.carat);
        totalUS += value;
        auto at = [&](double x, const QString &text) {
            s.setPosition(x, rowY);
            s.printLine(QStringList{text});
        };
        at(500, usDate(r.date, QStringLiteral("MMM dd, yyyy")) + QStringLiteral("  ") + r.sku);
        at(1900, r.shape);
        at(3000, rangeText(r));
        at(7000, r.carat.fixed(2));
        at(8000, r.priceCarat.fixed(2));
        double nextY = s.CurrentY;
        double y9500 = rowY;
        if (cdn) {
            const Decimal5 v = value.times(r.rateCDN);
            totalCDN += v;
            s.setPosition(9500, y9500);
            s.printLine(QStringLiteral("~CDN ") + v.grouped2());
            y9500 = s.CurrentY;
        }
        if (zar) {
            const Decimal5 v = value.times(r.rateZAR);
            totalZAR += v;
            s.setPosition(9500, y9500);
            s.printLine(QStringLiteral("~ZAR ") + v.grouped2());
            y9500 = s.CurrentY;
        }
        s.setPosition(0, qMax(nextY, y9500));
    }

    s.setLineWidth(1);
    s.drawLine(kLeft, s.CurrentY, kRight, s.CurrentY);
    s.setFontSize(10);
    s.setFontBold(true);
    s.setFontItalic(true);
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
    wrapped(s, d.disclaimer, kLeft, 10500);
    s.setPosition(kLeft, qMax(s.CurrentY, 14500.0));
    s.printLine(QStringLiteral("Velmor diamond inventory"));
    return true;
}

printing::PrintOutcome printParcelMemo(AppContext &ctx, qint64 memoId, const printing::PrintTarget &target, bool cdn,
                                       bool zar)
{
    const QString title = QStringLiteral("Memo Printing");
    printing::PrintOutcome out;
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
        ctx.prompt().inform(out.error, title, Icon::Information);
        return out;
    }
    try {
        closeParcelMemo(ctx.db(), memoId, false);
    } catch (const db::DbError &e) {
        ctx.prompt().inform(QStringLiteral("The Memo was printed but could not be closed:\n\n") + e.message(), title,
                            Icon::Exclamation);
        return out;
    }
    ctx.prompt().inform(QStringLiteral("The Memo Sheet has been sent to the Printer!"), title, Icon::Information);
    return out;
}

} // namespace velmor::parcels
