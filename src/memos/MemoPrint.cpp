#include "memos/MemoPrint.h"

#include "core/AppContext.h"
#include "core/KnownRates.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "memos/MemoPrice.h"
#include "memos/MemoSheetView.h"
#include "pricing/SellingPrice.h"
#include "stones/StoneFiles.h"

#include <QImage>
#include <QLocale>
#include <cmath>

namespace velmor::memos {

void PrintTextMitUmbruch(const QString &text, double width, int &lines,
                         const std::function<double(const QString &)> &measure,
                         const std::function<void(const QString &)> &emitLine)
{
    const QString crlf = QStringLiteral("\r\n");
    const int n = int(text.size()); // fixed when the scan begins
    int start = 1;
    int lastBreak = 0;
    int i = 1;
    while (i <= n) {
        const QString piece = text.mid(start - 1, i - start + 1);
        const QChar last = piece.isEmpty() ? QChar() : piece.back();
        if (last == QLatin1Char(' ') || last == QLatin1Char(',') || last == QLatin1Char('.') || last == QLatin1Char(';')
            || piece.endsWith(crlf))
            lastBreak = i;
        const bool endsInCrlf = piece.endsWith(crlf);
        // A word wider than the line has no break to cut at yet: it runs on
        // to its end and stands on a line of its own.
        if ((measure(piece) > width && lastBreak >= start) || endsInCrlf) {
            QString line = text.mid(start - 1, lastBreak - start + 1);
            const bool emptyLine = line == crlf;
            line.remove(crlf);
            if (emptyLine || !(line.isEmpty() || line == QLatin1String(" "))) {
                if (emitLine)
                    emitLine(emptyLine ? QString() : line);
                ++lines;
            }
            start = lastBreak + 1;
            i = start + 1;
            continue;
        }
        ++i;
    }
    if (emitLine)
        emitLine(text.mid(start - 1));
    ++lines;
}

void PrintTextMitUmbruch(printing::PrintSurface &s, const QString &text, double x, double width, bool print,
                         int &lines)
{
    PrintTextMitUmbruch(
        text, width, lines, [&s](const QString &t) { return s.textWidth(t); },
        print ? std::function<void(const QString &)>([&s, x](const QString &line) {
            s.CurrentX = x;
            s.printLine(line);
        })
              : std::function<void(const QString &)>());
    s.CurrentX = x;
}

double roundUpToTens(double p) { return std::floor((p + 10.0) / 10.0) * 10.0; }

namespace {

constexpr double kLeft = 500;
constexpr double kRight = 11000;
constexpr double kHalf = 5800; // the dealer's lines end before it, the customer's begin after it

void at(printing::PrintSurface &s, double x, double y, const QString &text)
{
    s.setPosition(x, y);
    s.printLine(text);
}

void right(printing::PrintSurface &s, const QString &text)
{
    const double y = s.CurrentY;
    at(s, kRight - s.textWidth(text), y, text);
}

QString phoneFormat(const QString &phone)
{
    QString digits;
    for (QChar c : phone)
        if (c.isDigit())
            digits += c;
    if (digits.size() != 10)
        return phone;
    return digits.left(3) + QLatin1Char('-') + digits.mid(3, 3) + QLatin1Char('-') + digits.mid(6);
}

} // namespace

bool PrintMemoSheet(AppContext &ctx, printing::PrintSurface &s, const MemoPrintRequest &r, QString *error)
{
    // Amounts in another currency only at a known rate.
    if (const QString missing = missingRates(ctx, r.cdn, r.zar); !missing.isEmpty()) {
        *error = missing;
        return false;
    }
    const QSqlDatabase db = ctx.db();
    QSqlQuery h = db::exec(db, QStringLiteral("SELECT * FROM memosheet WHERE id=?"), {r.memoSheetId});
    if (!h.next()) {
        *error = QStringLiteral("Memo Sheet# %1 does not exist.").arg(r.memoSheetId);
        return false;
    }
    const db::Row sheet(h);
    QSqlQuery c = db::exec(db, QStringLiteral("SELECT * FROM customer WHERE id=?"), {sheet.integer("CustomerID")});
    const db::Row cust = c.next() ? db::Row(c) : db::Row();

    struct Stone {
        qint64 id = 0;
        QString sku, shape, grading, cert;
        Decimal5 rap, carat, price; // price: the memo price per stone, US$
        double discount;
        bool listed; // a discount off a list price
    };
    QList<Stone> stones;
    const GradeWords grades(db);
    const int step = pricing::sellingPriceStep(ctx.settings);
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT *, %1 FROM singlestone WHERE memosheetid=? ORDER BY sku")
                                   .arg(memoPriceColumns()),
                           {r.memoSheetId});
    while (q.next()) {
        const db::Row row(q);
        const MemoPriceFacts facts = memoPriceFacts(q.record());
        Stone st;
        st.id = row.integer("ID");
        st.sku = row.text("SKU").remove(QStringLiteral("Parcel"));
        st.shape = row.text("Shape");
        st.carat = facts.carat;
        st.grading = st.carat.fixed(2) + QStringLiteral(" ct. | ") + grades.colour(int(row.integer("Colour")))
                     + QStringLiteral(" | ") + grades.clarity(int(row.integer("Clarity")));
        st.cert = row.text("Laboratory") + QLatin1Char(' ') + row.text("Certificate");
        st.rap = facts.rap;
        st.discount = row.num("currentRAPdiscountFORmemo");
        st.listed = !row.isNull("currentRAPdiscountFORmemo") && st.rap > Decimal5() && st.carat > Decimal5();
        // The price the sheet shows and a sale from it invoices.
        st.price = memoPriceUS(facts, step);
        stones << st;
    }
    if (stones.isEmpty()) {
        *error = QStringLiteral("There are no Diamonds on this Memo Sheet!");
        return false;
    }

    // Each stone's main picture, under its SKU, when the set-up asks for it.
    QHash<qint64, QImage> pictures;
    if (r.options.pictures) {
        QList<qint64> ids;
        for (const Stone &st : std::as_const(stones))
            ids << st.id;
        pictures = velmor::stones::mainThumbnails(db, ids);
    }
    constexpr double kPictureSide = 1300;

    const Settings &cfg = ctx.settings;
    const QLocale en(QLocale::English);
    // The dealer.
    s.setFont(QStringLiteral("Arial"), 10);
    double logoBottom = kLeft;
    if (!cfg.logoPath.isEmpty()) {
        const QImage logo(cfg.logoPath);
        if (!logo.isNull()) {
            const double w = 3000, hgt = w * logo.height() / std::max(1, logo.width());
            s.drawPicture(logo, kLeft, kLeft, w, hgt);
            logoBottom = kLeft + hgt + 100;
        }
    }
    s.setPosition(kLeft, logoBottom);
    for (const QString &line : {cfg.CompanyName, cfg.CompanyStreet1, cfg.CompanyStreet2,
                                cfg.CompanyCity + QStringLiteral(", ") + cfg.CompanyProvince, cfg.CompanyZIP, QString(),
                                QStringLiteral("Phone:  ") + cfg.CompanyPhone, QStringLiteral("Fax:    ") + cfg.CompanyFax,
                                QStringLiteral("E-Mail: ") + cfg.CompanyEMail, QStringLiteral("WWW:    ") + cfg.CompanyWWW}) {
        s.CurrentX = kLeft;
        s.printLine(s.fitted(line, kHalf - kLeft - 100));
    }
    const double dealerBottom = s.CurrentY;

    // The title and the customer.
    s.setFont(QStringLiteral("Arial"), 25, true);
    s.setPosition(0, kLeft);
    right(s, QStringLiteral("Memorandum"));
    s.setFont(QStringLiteral("Arial"), 10, false, false, true, Qt::blue);
    for (const QString &line : {cust.text("CompanyName"), cust.text("CompanyStreet1"), cust.text("CompanyCity"),
                                cust.text("CompanyZIP"), phoneFormat(cust.text("PhoneNumber1"))})
        right(s, s.fitted(line, kRight - kHalf - 100));
    s.setFont(QStringLiteral("Arial"), 10);
    s.printLine();
    // The memo number and the reference as the settings show them.
    if (cfg.ShowMemoID)
        right(s, QStringLiteral("Memo#: ") + QString::number(r.memoSheetId));
    if (cfg.ShowReferenceNumber)
        right(s, s.fitted(QStringLiteral("Reference: ") + sheet.text("Reference"), kRight - kHalf - 100));
    right(s, QStringLiteral("created on: ") + memoDate(sheet.dateTime("Date")));
    s.setFontSize(8);
    right(s, QStringLiteral("(printed on: ") + en.toString(QDate::currentDate(), QStringLiteral("MMM dd, yyyy"))
                 + QStringLiteral(")"));
    s.setFontSize(10);
    s.CurrentY = std::max(s.CurrentY, dealerBottom);

    s.setLineWidth(8);
    s.drawLine(kLeft, s.CurrentY + 300, kRight, s.CurrentY + 300);
    s.printLine();
    s.CurrentY += 300;

    // The column heads, on every page the rows run on to.
    auto heads = [&s] {
        s.setFont(QStringLiteral("Arial"), 8, false, true);
        const double y = s.CurrentY;
        const std::pair<double, const char *> heads[] = {{500, "SKU#"}, {2100, "Shape"}, {3800, "Size, Colour, Clarity"},
                                                         {5500, "Certificate#"}, {7500, "RAP"}, {9000, "% off"},
                                                         {9900, "MEMO $"}};
        for (const auto &[x, t] : heads)
            at(s, x, y, QString::fromLatin1(t));
        s.setFontItalic(false);
    };
    heads();
    // What stays below the rows on a page: the page's foot.
    const double bottom = (s.pageHeight() > 0 ? std::min(s.pageHeight(), 15000.0) : 15000.0) - 300;
    auto continued = [&] {
        s.newPage();
        s.setFont(QStringLiteral("Arial"), 8, true);
        at(s, kLeft, kLeft,
           cfg.ShowMemoID ? QStringLiteral("Memo#: %1 (continued)").arg(r.memoSheetId) : QStringLiteral("(continued)"));
        s.printLine();
    };
    auto room = [&](double height) {
        if (s.CurrentY + height > bottom)
            continued();
    };

    // Each line shows the memo price in at least one currency: US dollars
    // when chosen in the set-up, or when no other currency is ticked.
    const bool us = r.options.usDollar || !(r.cdn || r.zar);
    Decimal5 totalUS, totalCDN, totalZAR;
    // Every amount to the cent, halves away from zero, as on every page;
    // another currency's amount is the US amount at the rate.
    const Decimal5 rateCDN = rateFigure(ctx.exchangeRateCDN).value_or(Decimal5());
    const Decimal5 rateZAR = rateFigure(ctx.exchangeRateZAR).value_or(Decimal5());
    auto amount = [](Decimal5 v) { return v.grouped2(); };
    for (const Stone &st : stones) {
        s.setFont(QStringLiteral("Arial"), 8);
        const int rows = (us || !(r.cdn || r.zar) ? 1 : 0) + int(r.cdn) + int(r.zar);
        const QImage picture = pictures.value(st.id);
        const double rowHeight = std::max(s.textHeight() * std::max(1, rows) * (r.options.printRap ? 2 : 1),
                                          picture.isNull() ? 0.0 : s.textHeight() + kPictureSide + 60);
        if (s.CurrentY + rowHeight > std::min(13500.0, bottom)) {
            continued();
            heads();
            s.setFont(QStringLiteral("Arial"), 8);
        }
        // Each text kept within its column.
        const double y = s.CurrentY;
        at(s, 500, y, s.fitted(st.sku, 2100 - 500 - 80));
        const double rowEnd = y + rowHeight;
        if (!picture.isNull()) {
            const double scale = kPictureSide / std::max(picture.width(), picture.height());
            s.drawPicture(picture, 500, y + s.textHeight() + 20, picture.width() * scale, picture.height() * scale);
        }
        at(s, 2100, y, s.fitted(st.shape, 3800 - 2100 - 80));
        at(s, 3800, y, s.fitted(st.grading, 5500 - 3800 - 80));
        at(s, 5500, y, s.fitted(st.cert, 7500 - 5500 - 80));
        at(s, 7500, y, amount(st.rap) + QStringLiteral(" /ct"));
        if (st.listed)
            at(s, 9000, y, QString::number(st.discount, 'g', 10) + QStringLiteral(" %"));
        const Decimal5 m = st.price.dividedBy(st.carat, 2);
        if (us)
            at(s, 9900, y, amount(m) + QStringLiteral(" /ct"));
        else
            s.CurrentY = y + s.textHeight();
        const Decimal5 t = st.price;
        const Decimal5 tCDN = convertedAmount(t, rateCDN), tZAR = convertedAmount(t, rateZAR);
        // Per carat: the converted price per stone over the weight.
        auto perCarat = [&](Decimal5 v) {
            const Decimal5 c = v.dividedBy(st.carat, 2);
            return r.options.roundUp ? Decimal5::fromDouble(roundUpToTens(c.toDouble())) : c;
        };
        if (r.cdn)
            at(s, 9900, s.CurrentY, QStringLiteral("~CDN ") + amount(perCarat(tCDN)) + QStringLiteral(" /ct"));
        if (r.zar)
            at(s, 9900, s.CurrentY, QStringLiteral("~ZAR ") + amount(perCarat(tZAR)) + QStringLiteral(" /ct"));
        totalUS += t;
        totalCDN += tCDN;
        totalZAR += tZAR;
        if (r.options.printRap) {
            s.setFontItalic(true);
            const double y2 = s.CurrentY;
            at(s, 7500, y2, QStringLiteral("US$ ") + amount(st.rap.times(st.carat, 2)));
            s.CurrentY = y2;
            if (us)
                at(s, 9900, y2, QStringLiteral("US$ ") + amount(t));
            else
                s.CurrentY = y2 + s.textHeight();
            if (r.cdn)
                at(s, 9900, s.CurrentY, QStringLiteral("~CDN ") + amount(tCDN));
            if (r.zar)
                at(s, 9900, s.CurrentY, QStringLiteral("~ZAR ") + amount(tZAR));
            s.setFontItalic(false);
        }
        s.CurrentY = std::max(s.CurrentY, picture.isNull() ? s.CurrentY : rowEnd);
    }

    s.setFont(QStringLiteral("Arial"), 10, true, true);
    room(s.textHeight() * 4);
    s.setFont(QStringLiteral("Arial"), 10, true, true);
    s.setLineWidth(1);
    s.drawLine(kLeft, s.CurrentY, kRight, s.CurrentY);
    auto summary = [&](const QString &text) {
        at(s, kRight - 1000 - s.textWidth(text), s.CurrentY, text);
    };
    summary(QStringLiteral("Summary US$ ") + amount(totalUS));
    if (r.cdn)
        summary(QStringLiteral("Summary CDN ") + amount(totalCDN));
    if (r.zar)
        summary(QStringLiteral("Summary ZAR ") + amount(totalZAR));
    s.setFont(QStringLiteral("Arial"), 10);
    s.printLine();

    s.setLineWidth(2);
    s.drawLine(kLeft, s.CurrentY, kRight, s.CurrentY);
    s.setFontSize(6);
    int lines = 0;
    s.CurrentX = kLeft;
    // The disclaimer goes on to a new page where the page ends.
    PrintTextMitUmbruch(
        cfg.MemoDisclaimer, 10500, lines, [&s](const QString &t) { return s.textWidth(t); },
        [&](const QString &line) {
            if (s.CurrentY + s.textHeight() > bottom) {
                continued();
                s.setFont(QStringLiteral("Arial"), 6);
            }
            at(s, kLeft, s.CurrentY, line);
        });

    s.setFont(QStringLiteral("Arial"), 6);
    room(s.textHeight());
    s.setFont(QStringLiteral("Arial"), 6);
    at(s, kLeft, std::max(std::min(14500.0, bottom - s.textHeight()), s.CurrentY),
       QStringLiteral("Printed with Velmor, the dealer's stock and memo program"));
    return true;
}

printing::PrintOutcome printMemoSheet(AppContext &ctx, const MemoPrintRequest &r, const printing::PrintTarget &target)
{
    const printing::PrintOutcome out = printing::printDocument(
        target,
        [&](printing::PrintSurface &s, QString *error) {
            try {
                return PrintMemoSheet(ctx, s, r, error);
            } catch (const db::DbError &e) {
                *error = QStringLiteral("The Memo Sheet could not be read:\n\n") + e.message();
                return false;
            }
        },
        QStringLiteral("Memo Sheet %1").arg(r.memoSheetId));
    if (out.ok)
        ctx.prompt().inform(QStringLiteral("The Memo Sheet has been sent to the Printer!"), QStringLiteral("Memo Printing"),
                            Icon::Information);
    else
        ctx.prompt().inform(out.error, QStringLiteral("Memo Printing"), Icon::Exclamation);
    return out;
}

} // namespace velmor::memos
