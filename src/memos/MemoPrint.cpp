#include "memos/MemoPrint.h"

#include "core/TextJoin.h"

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

} // namespace

bool PrintMemoSheet(AppContext &ctx, printing::PrintSurface &s, const MemoPrintRequest &r, QString *error)
{
    // Amounts in another currency only at a known rate.
    if (const QString missing = missingRates(ctx, r.cdn, r.zar); !missing.isEmpty()) {
        *error = missing;
        return false;
    }
    const QSqlDatabase db = ctx.db();
    QSqlQuery h = db::exec(db, QStringLiteral("SELECT *, %1 AS sheetReference FROM memosheet WHERE id=?").arg(kMemoReferenceSql), {r.memoSheetId});
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
        double discount = 0;
        bool listed = false; // a discount off a list price
        bool parcel = false; // carats of an older parcel out on the sheet
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
    // The carats of older parcels still out on the sheet: the signed memo
    // lists everything the customer holds, as the sheet's screen does.  A
    // line's price per carat is the one it went out at (a return carries it).
    QSqlQuery p = db::exec(
        db,
        QStringLiteral("SELECT ParcelStock.SKU, ParcelStock.Shape, CAST(ParcelStock.CaratLow AS CHAR), "
                       "CAST(ParcelStock.CaratHigh AS CHAR), ParcelStock.ColourLow, ParcelStock.ColourHigh, "
                       "ParcelStock.ClarityLow, ParcelStock.ClarityHigh, CAST(SUM(Memo.Carat) AS CHAR), "
                       "(SELECT CAST(o.US AS CHAR) FROM Memo o WHERE o.MemoSheetID = Memo.MemoSheetID AND "
                       "o.ParcelID = ParcelStock.ID AND o.Carat > 0 ORDER BY o.ID DESC LIMIT 1) "
                       "FROM ParcelStock INNER JOIN Memo ON ParcelStock.ID = Memo.ParcelID "
                       "WHERE Memo.MemoSheetID = ? GROUP BY ParcelStock.ID HAVING SUM(Memo.Carat) <> 0 "
                       "ORDER BY ParcelStock.SKU, ParcelStock.ID"),
        {r.memoSheetId});
    while (p.next()) {
        Stone st;
        st.parcel = true;
        st.sku = db::textOf(p.value(0));
        st.shape = db::textOf(p.value(1));
        st.carat = Decimal5::fromDb(p.value(8));
        st.grading = st.carat.fixed(2) + QStringLiteral(" ct. | ") + grades.colour(p.value(5).toInt())
                     + QLatin1Char('-') + grades.colour(p.value(4).toInt()) + QStringLiteral(" | ")
                     + grades.clarity(p.value(7).toInt()) + QLatin1Char('-') + grades.clarity(p.value(6).toInt());
        st.cert = Decimal5::fromDb(p.value(2)).fixed(2) + QLatin1Char('-') + Decimal5::fromDb(p.value(3)).fixed(2)
                  + QStringLiteral(" ct.");
        st.price = Decimal5::fromDb(p.value(9)).times(st.carat, 2);
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
            if (!st.parcel)
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
                                joinFilled({cfg.CompanyCity, cfg.CompanyProvince}), cfg.CompanyZIP, QString(),
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
                                cust.text("CompanyZIP"), phoneText(cust.text("PhoneNumber1"))})
        right(s, s.fitted(line, kRight - kHalf - 100));
    s.setFont(QStringLiteral("Arial"), 10);
    s.printLine();
    // The memo number and the reference as the settings show them.
    if (cfg.ShowMemoID)
        right(s, QStringLiteral("Memo#: ") + QString::number(r.memoSheetId));
    if (cfg.ShowReferenceNumber)
        right(s, s.fitted(QStringLiteral("Reference: ") + sheet.text("sheetReference"), kRight - kHalf - 100));
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

    // Each line shows the memo price in at least one currency: US dollars
    // when chosen in the set-up, or when no other currency is ticked.
    const bool us = r.options.usDollar || !(r.cdn || r.zar);
    // Every amount to the cent, halves away from zero, as on every page;
    // another currency's amount is the US amount at the rate.
    const Decimal5 rateCDN = rateFigure(ctx.exchangeRateCDN).value_or(Decimal5());
    const Decimal5 rateZAR = rateFigure(ctx.exchangeRateZAR).value_or(Decimal5());
    auto amount = [](Decimal5 v) { return v.grouped2(); };

    // What each line prints in the three figure columns.
    struct Figures {
        QString rap, off;
        QStringList memo;          // the memo price per carat, per currency
        QString listValue;         // the list value (second line)
        QStringList memoTotals;    // the memo price per stone, per currency
        Decimal5 t, tCDN, tZAR;
    };
    QList<Figures> figures;
    for (const Stone &st : stones) {
        Figures f;
        if (!st.parcel)
            f.rap = amount(st.rap) + QStringLiteral(" /ct");
        if (st.listed)
            f.off = QString::number(st.discount, 'g', 10) + QStringLiteral(" %");
        f.t = st.price;
        f.tCDN = convertedAmount(f.t, rateCDN);
        f.tZAR = convertedAmount(f.t, rateZAR);
        // Per carat: the converted price per stone over the weight.
        auto perCarat = [&](Decimal5 v) {
            const Decimal5 c = v.dividedBy(st.carat, 2);
            return r.options.roundUp ? Decimal5::fromDouble(roundUpToTens(c.toDouble())) : c;
        };
        f.memo << (us ? amount(st.price.dividedBy(st.carat, 2)) + QStringLiteral(" /ct") : QString());
        if (r.cdn)
            f.memo << QStringLiteral("~CDN ") + amount(perCarat(f.tCDN)) + QStringLiteral(" /ct");
        if (r.zar)
            f.memo << QStringLiteral("~ZAR ") + amount(perCarat(f.tZAR)) + QStringLiteral(" /ct");
        if (r.options.printRap) {
            if (!st.parcel)
                f.listValue = QStringLiteral("US$ ") + amount(st.rap.times(st.carat, 2));
            f.memoTotals << (us ? QStringLiteral("US$ ") + amount(f.t) : QString());
            if (r.cdn)
                f.memoTotals << QStringLiteral("~CDN ") + amount(f.tCDN);
            if (r.zar)
                f.memoTotals << QStringLiteral("~ZAR ") + amount(f.tZAR);
        }
        figures << f;
    }

    // The columns, measured: the figure columns keep their places unless
    // their widest text needs more room, which the columns to their left
    // give up (their texts are shortened to fit).
    s.setFont(QStringLiteral("Arial"), 8, false, true);
    auto widest = [&s](double from, const QStringList &texts) {
        for (const QString &t : texts)
            from = std::max(from, s.textWidth(t) * 1.03);
        return from;
    };
    QStringList memoTexts{QStringLiteral("MEMO $")}, rapTexts{QStringLiteral("RAP")}, offTexts{QStringLiteral("% off")};
    for (const Figures &f : figures) {
        memoTexts << f.memo << f.memoTotals;
        rapTexts << f.rap << f.listValue;
        offTexts << f.off;
    }
    constexpr double gap = 80;
    const double memoLeft = std::min(9900.0, kRight - widest(0, memoTexts));
    const double offLeft = std::min(9000.0, memoLeft - gap - widest(0, offTexts));
    const double rapLeft = std::min(7500.0, offLeft - gap - widest(0, rapTexts));
    const QList<double> columns{500, 2100, 3800, 5500, rapLeft, offLeft, memoLeft, kRight};

    // The column heads, on every page the rows run on to.
    auto heads = [&] {
        s.setFont(QStringLiteral("Arial"), 8, false, true);
        s.setColumns(columns);
        const double y = s.CurrentY;
        const char *names[] = {"SKU#", "Shape", "Size, Colour, Clarity", "Certificate#", "RAP", "% off", "MEMO $"};
        for (int i = 0; i < 7; ++i)
            at(s, columns.at(i), y, QString::fromLatin1(names[i]));
        s.setFontItalic(false);
    };
    heads();
    // What stays below the rows on a page: the page's foot.
    const double bottom = (s.pageHeight() > 0 ? std::min(s.pageHeight(), 15000.0) : 15000.0) - 300;
    auto continued = [&] {
        s.setColumns({});
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

    Decimal5 totalUS, totalCDN, totalZAR;
    for (int i = 0; i < stones.size(); ++i) {
        const Stone &st = stones.at(i);
        const Figures &f = figures.at(i);
        s.setFont(QStringLiteral("Arial"), 8);
        const QImage picture = st.parcel ? QImage() : pictures.value(st.id);
        const double rowHeight = std::max(s.textHeight() * std::max(1, int(f.memo.size())) * (r.options.printRap ? 2 : 1),
                                          picture.isNull() ? 0.0 : s.textHeight() + kPictureSide + 60);
        if (s.CurrentY + rowHeight > std::min(13500.0, bottom)) {
            continued();
            heads();
            s.setFont(QStringLiteral("Arial"), 8);
        }
        // Each text kept within its column.
        const double y = s.CurrentY;
        auto cell = [&](int column, const QString &text, double at_y) {
            at(s, columns.at(column), at_y, s.fitted(text, columns.at(column + 1) - columns.at(column) - gap));
        };
        cell(0, st.sku, y);
        const double rowEnd = y + rowHeight;
        if (!picture.isNull()) {
            const double scale = kPictureSide / std::max(picture.width(), picture.height());
            s.drawPicture(picture, 500, y + s.textHeight() + 20, picture.width() * scale, picture.height() * scale);
        }
        cell(1, st.shape, y);
        cell(2, st.grading, y);
        cell(3, st.cert, y);
        if (!f.rap.isEmpty())
            cell(4, f.rap, y);
        if (!f.off.isEmpty())
            cell(5, f.off, y);
        s.CurrentY = y;
        for (const QString &m : f.memo) {
            if (m.isEmpty())
                s.CurrentY += s.textHeight();
            else
                at(s, memoLeft, s.CurrentY, m);
        }
        totalUS += f.t;
        totalCDN += f.tCDN;
        totalZAR += f.tZAR;
        if (r.options.printRap) {
            s.setFontItalic(true);
            const double y2 = s.CurrentY;
            if (!f.listValue.isEmpty())
                cell(4, f.listValue, y2);
            s.CurrentY = y2;
            for (const QString &m : f.memoTotals) {
                if (m.isEmpty())
                    s.CurrentY += s.textHeight();
                else
                    at(s, memoLeft, s.CurrentY, m);
            }
            s.setFontItalic(false);
        }
        s.CurrentY = std::max(s.CurrentY, picture.isNull() ? s.CurrentY : rowEnd);
    }
    s.setColumns({});

    s.setFont(QStringLiteral("Arial"), 10, true, true);
    room(s.textHeight() * 4);
    s.setFont(QStringLiteral("Arial"), 10, true, true);
    s.setLineWidth(1);
    s.drawLine(kLeft, s.CurrentY, kRight, s.CurrentY);
    auto summary = [&](const QString &text) {
        at(s, kRight - 1000 - s.textWidth(text), s.CurrentY, text);
    };
    // A summary only of a column printed.
    if (us)
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
