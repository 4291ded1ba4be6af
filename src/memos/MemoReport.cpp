#include "memos/MemoReport.h"

#include "core/TextJoin.h"

#include "core/AppContext.h"
#include "core/LocalFiles.h"
#include "core/SpreadsheetCells.h"
#include "core/KnownRates.h"
#include "db/LineDues.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "invoices/Invoice.h"
#include "memos/MemoPrice.h"
#include "memos/MemoSheetView.h"
#include "pricing/SellingPrice.h"

#include <QDir>
#include <QFileInfo>
#include <QStringBuilder>
#include <cmath>

namespace velmor::memos {

namespace {

double cents(double v) { return std::floor(v * 100.0 + 0.5) / 100.0; }
QString f2(double v) { return QString::number(v, 'f', 2); }
QString plain(double v) { return QString::number(v, 'g', 12); }

const QStringList kOrder = {QStringLiteral("consigned to"), QStringLiteral("Consignment Date"), QStringLiteral("Cert#"),
                            QStringLiteral("Weight"),       QStringLiteral("Shape"),            QStringLiteral("SKU"),
                            QStringLiteral("Supplier")};

QString orderSql(const QString &caption)
{
    if (caption == QLatin1String("consigned to") || caption == QLatin1String("Supplier"))
        return QStringLiteral("Customer.CompanyName, SingleStone.ID");
    if (caption == QLatin1String("Consignment Date"))
        return QStringLiteral("SingleStone.DateStatusChange, SingleStone.ID");
    if (caption == QLatin1String("Cert#"))
        return QStringLiteral("CONCAT_WS(' ', SingleStone.Laboratory, SingleStone.Certificate), SingleStone.ID");
    if (caption == QLatin1String("Weight"))
        return QStringLiteral("SingleStone.Carat, SingleStone.ID");
    if (caption == QLatin1String("Shape"))
        return QStringLiteral("SingleStone.Shape, SingleStone.ID");
    if (caption == QLatin1String("SKU"))
        return QStringLiteral("SingleStone.SKU, SingleStone.ID");
    return QStringLiteral("Customer.CompanyName, SingleStone.SKU, SingleStone.ID");
}

// What a stone in the report is owed (or priced at): a sold stone what its
// invoice line asks with its share of the tax, in CDN where the stone is
// priced locally; else the memo price by the stone's price basis.
memos::MemoAmount amountOwed(const QSqlRecord &row, const QVariant &saleLine, double rateCDN, int step)
{
    const MemoPriceFacts facts = memoPriceFacts(row);
    if (saleLine.isNull())
        return memos::amountOwed(facts, nullptr, rateCDN, step);
    // amount US | tax US | amount CDN | tax CDN (empty: not known)
    const QStringList parts = saleLine.toString().split(QLatin1Char('|'));
    invoices::LineDue d;
    d.amountUS = Decimal5::parse(parts.value(0)).value_or(Decimal5());
    d.taxUS = Decimal5::parse(parts.value(1)).value_or(Decimal5());
    d.amountCDN = Decimal5::parse(parts.value(2));
    d.taxCDN = Decimal5::parse(parts.value(3));
    return memos::amountOwed(facts, &d, rateCDN, step);
}

} // namespace

QStringList reportHeaders(const QString &localSign)
{
    QStringList h = {QStringLiteral("consigned to"), QStringLiteral("Status"),   QStringLiteral("Ref#"),
                     QStringLiteral("Paid"),         QStringLiteral("Consignment Date"), QStringLiteral("SKU"),
                     QStringLiteral("Shape"),        QStringLiteral("Cert#"),    QStringLiteral("Weight"),
                     QStringLiteral("Colour"),       QStringLiteral("Clarity"),  QStringLiteral("Cut"),
                     QStringLiteral("Dim"),          QStringLiteral("ID"),       QStringLiteral("Price /ct"),
                     QStringLiteral("Stone Price"),  QStringLiteral("US$ recd"), QStringLiteral("my$ recd"),
                     QStringLiteral("Balance"),      QStringLiteral("Cost /ct"), QStringLiteral("Cost /St"),
                     QStringLiteral("US$ made"),     QStringLiteral("my$ made"), QStringLiteral("Balance"),
                     QStringLiteral("Days")};
    for (QString &c : h)
        c.replace(QStringLiteral("my$"), localSign);
    return h;
}

bool isOrderColumn(const QString &caption) { return kOrder.contains(caption); }

Report runReport(AppContext &ctx, const ReportFilter &f)
{
    Report out;
    const QString sign = ctx.settings.currencyName();
    out.headers = reportHeaders(sign);
    QString from, where;
    QVariantList binds;
    const QString payments = f.view == ReportFilter::MemoOut ? QStringLiteral("PaymentReceived")
                                                             : QStringLiteral("PaymentMade");
    const QString origin = f.origin == 1
        ? QStringLiteral(" AND (SingleStone.ConsignmentInCustomerID IS NOT NULL AND SingleStone.ConsignmentInCustomerID<>0)")
        : f.origin == 2
        ? QStringLiteral(" AND (SingleStone.ConsignmentInCustomerID IS NULL OR SingleStone.ConsignmentInCustomerID=0)")
        : QString();
    switch (f.view) {
    case ReportFilter::MemoOut:
        out.title = QStringLiteral("Memo/Consignment Report");
        // The stones out with a payment row, chosen from the index of the
        // stones out (a flag that is not paid off is 0 or empty, written so
        // that it stays a range of that index) and the payments' index
        // alone; only their rows are read.
        // Their received payments are summed on the way, from the same
        // index entries that chose them.
        from = QStringLiteral(" FROM (SELECT o.ID, SUM(pj.PaymentUS) AS recdUS, SUM(pj.PaymentLocal) AS recdLocal "
                              "FROM SingleStone o STRAIGHT_JOIN PaymentReceived pj "
                              "ON pj.StoneID=o.ID WHERE o.Status='Memo' OR (o.Status='Sold' AND "
                              "(o.StoneIsPaidOff=0 OR o.StoneIsPaidOff IS NULL)) GROUP BY o.ID) AS chosen "
                              "STRAIGHT_JOIN SingleStone ON SingleStone.ID=chosen.ID "
                              "LEFT JOIN Customer ON SingleStone.CustomerID=Customer.ID "
                              "LEFT JOIN memosheet ON SingleStone.MemoSheetID=memosheet.ID ");
        where = QStringLiteral(" WHERE (SingleStone.Status='Memo' OR (SingleStone.Status='Sold' AND "
                               "COALESCE(SingleStone.StoneIsPaidOff,0)=0)) ");
        if (f.partyId) {
            where += QStringLiteral(" AND Customer.ID=?");
            binds << f.partyId;
        }
        if (f.memoOnly)
            where += QStringLiteral(" AND (SingleStone.Status='Memo')");
        if (f.preSoldOnly)
            where += QStringLiteral(" AND (SingleStone.Status='Sold' AND COALESCE(SingleStone.StoneIsPaidOff,0)=0)");
        break;
    case ReportFilter::MemoIn:
        out.title = QStringLiteral("Memo-IN Report");
        out.headers[0] = QStringLiteral("from Company");
        from = QStringLiteral(" FROM SingleStone LEFT JOIN Customer ON SingleStone.ConsignmentInCustomerID=Customer.ID "
                              "LEFT JOIN memosheet ON SingleStone.MemoSheetID=memosheet.ID ");
        if (f.partyId) {
            where = QStringLiteral(" WHERE SingleStone.ConsignmentInCustomerID IS NOT NULL AND Customer.ID=?");
            binds << f.partyId;
        } else {
            where = QStringLiteral(" WHERE SingleStone.ConsignmentInCustomerID<>0");
        }
        if (f.downPaymentMade)
            where += QStringLiteral(" AND (COALESCE(SingleStone.MemoInPaymentMade,0)<>0 AND "
                                    "COALESCE(SingleStone.MemoInPaidOff,0)=0)");
        if (f.soldOnly)
            where += QStringLiteral(" AND (SingleStone.Status='Sold' AND COALESCE(SingleStone.StoneIsPaidOff,0)<>0 AND "
                                    "SingleStone.ConsignmentInCustomerID<>0)");
        where += origin;
        break;
    case ReportFilter::Suppliers: {
        out.title = QStringLiteral("Inventory Report");
        out.headers[0] = QStringLiteral("Supplier");
        from = QStringLiteral(" FROM SingleStone LEFT JOIN Customer ON %1=Customer.ID "
                              "LEFT JOIN memosheet ON SingleStone.MemoSheetID=memosheet.ID ")
                   .arg(f.supplierIsCustomer ? QStringLiteral("SingleStone.CustomerID")
                                             : QStringLiteral("SingleStone.SupplierID"));
        QStringList statuses;
        statuses << (f.statusMemo ? QStringLiteral("(SingleStone.Status='Memo')") : QStringLiteral("1=0"))
                 << (f.statusStock ? QStringLiteral("(SingleStone.Status='Stock')") : QStringLiteral("1=0"))
                 << (f.statusPreSold
                         ? QStringLiteral("(SingleStone.Status='Sold' AND COALESCE(SingleStone.StoneIsPaidOff,0)=0)")
                         : QStringLiteral("1=0"));
        where = QStringLiteral(" WHERE (") + statuses.join(QStringLiteral(" OR ")) + QLatin1Char(')');
        if (f.partyId) {
            where += QStringLiteral(" AND SingleStone.SupplierID=?");
            binds << f.partyId;
        }
        where += origin;
        break;
    }
    }
    // The stone must have a payment row (the zero row written when it went
    // on memo, or the opening row of a consignment); the stones out are
    // joined to theirs above.
    if (f.view != ReportFilter::MemoOut)
        where += QStringLiteral(" AND EXISTS (SELECT 1 FROM %1 pj WHERE pj.StoneID=SingleStone.ID)").arg(payments);
    if (f.ofThisDay && f.day.isValid()) {
        where += QStringLiteral(" AND DATE(SingleStone.DateStatusChange)=?");
        binds << f.day;
    } else if (f.afterThisDay && f.day.isValid() && f.day2.isValid()) {
        where += QStringLiteral(" AND DATE(SingleStone.DateStatusChange) BETWEEN ? AND ?");
        binds << f.day << f.day2;
    }
    if (f.minDays > 0) {
        where += QStringLiteral(" AND SingleStone.DateOnMemo IS NOT NULL AND DATEDIFF(CURDATE(), SingleStone.DateOnMemo) > ?");
        binds << f.minDays;
    }
    // The payment sums: the stones out have theirs from the choice above;
    // the other views read them for the rows shown only, each from its
    // stone's index entries (no grouping of every payment there is).
    const QString received = f.view == ReportFilter::MemoOut
        ? QStringLiteral("CAST(chosen.recdUS AS CHAR), CAST(chosen.recdLocal AS CHAR), ")
        : QStringLiteral("CAST((SELECT SUM(p.PaymentUS) FROM PaymentReceived p WHERE p.StoneID=SingleStone.ID) AS CHAR), "
                         "CAST((SELECT SUM(p.PaymentLocal) FROM PaymentReceived p WHERE p.StoneID=SingleStone.ID) "
                         "AS CHAR), ");
    // The columns in the order of Col below; the SKU or the lot, not both.
    // The decimals are asked for as their text: the driver would otherwise
    // read each one into a number only to hand its text over (numOf reads
    // the text, to the same double).
    const QString sql =
        QStringLiteral("SELECT SingleStone.ID, Customer.CompanyName, SingleStone.Status, SingleStone.MemoSheetID, ")
        + kMemoReferenceSql
        + QStringLiteral(", SingleStone.StoneIsPaidOff, CAST(SingleStone.DateStatusChange AS DATE), "
                       "CAST(SingleStone.DateOnMemo AS DATE), ")
        + (f.skuLot ? QStringLiteral("SingleStone.Lot, ") : QStringLiteral("SingleStone.SKU, "))
        + QStringLiteral("SingleStone.Shape, SingleStone.Laboratory, SingleStone.Certificate, "
                         "CAST(SingleStone.Carat AS CHAR), SingleStone.Colour, SingleStone.Clarity, SingleStone.Cut, "
                         "CAST(SingleStone.Dim1 AS CHAR), CAST(SingleStone.Dim2 AS CHAR), CAST(SingleStone.Dim3 AS CHAR), "
                         "CAST(SingleStone.MemoUS AS CHAR), CAST(SingleStone.MemoLocal AS CHAR), "
                         "CAST(SingleStone.SellPriceUS AS CHAR), CAST(SingleStone.PaidOffUS AS CHAR), "
                         "CAST(SingleStone.PaidOffPercentageUS AS CHAR), CAST(SingleStone.PaidOffLocal AS CHAR), "
                         "CAST(SingleStone.PaidOffPercentageLocal AS CHAR), CAST(SingleStone.BoughtPriceUS AS CHAR), "
                         "CAST(SingleStone.BoughtPriceLocal AS CHAR), SingleStone.BuyingInUS, SingleStone.BuyingInLocal, ")
        + received
        + QStringLiteral("CAST((SELECT SUM(p.PaymentUS) FROM PaymentMade p WHERE p.StoneID=SingleStone.ID) AS CHAR), "
                         "CAST((SELECT SUM(p.PaymentLocal) FROM PaymentMade p WHERE p.StoneID=SingleStone.ID) AS CHAR), ")
        // A sold stone is owed what its invoice line asks: the line of its
        // last sale, its amount and share of the tax, read exactly.
        + QStringLiteral("IF(SingleStone.Status='Sold', (SELECT CONCAT_WS('|', CAST(%1 AS CHAR), CAST(%2 AS CHAR), "
                         "IFNULL(CAST(%3 AS CHAR), ''), IFNULL(CAST(%4 AS CHAR), '')) FROM invoicelist il WHERE "
                         "il.diamondid=SingleStone.ID ORDER BY il.ID DESC LIMIT 1), NULL) AS saleline, ")
              .arg(db::dues::amountUS(QStringLiteral("il")), db::dues::taxUSOf(QStringLiteral("il")),
                   db::dues::amountCDN(QStringLiteral("il")), db::dues::taxCDNOf(QStringLiteral("il")))
        + memoPriceColumns(QStringLiteral("SingleStone."))
        + from + where + QStringLiteral(" ORDER BY ") + orderSql(f.orderBy);
    enum Col {
        ID, CompanyName, Status, MemoSheetID, Reference, StoneIsPaidOff, DateStatusChange, DateOnMemo, SKUOrLot,
        Shape, Laboratory, Certificate, Carat, Colour, Clarity, Cut, Dim1, Dim2, Dim3, MemoUS, MemoLocal, SellPriceUS,
        PaidOffUS, PaidOffPercentageUS, PaidOffLocal, PaidOffPercentageLocal, BoughtPriceUS, BoughtPriceLocal,
        BuyingInUS, BuyingInLocal, RecdUS, RecdLocal, MadeUS, MadeLocal, SaleLine
    };
    const int step = pricing::sellingPriceStep(ctx.settings);
    const GradeWords grades(ctx.db());
    const QDate today = QDate::currentDate();
    const QString localPrefix = sign + QLatin1Char(' ');
    const QString usPrefix = QStringLiteral("US$ ");
    QSqlQuery q = db::exec(ctx.db(), sql, binds);
    if (q.size() > 0)
        out.rows.reserve(q.size());
    while (q.next()) {
        auto text = [&q](Col c) { return db::textOf(q.value(c)); };
        auto num = [&q](Col c) { return db::numOf(q.value(c)); };
        auto flag = [&q](Col c) { return db::flagOf(q.value(c)); };
        ReportRow row;
        row.stoneId = q.value(ID).toLongLong();
        const QString status = text(Status);
        const qint64 memo = q.value(MemoSheetID).toLongLong();
        QString statusText = QStringLiteral("unknown");
        const bool onMemo = status.compare(QLatin1String("Memo"), Qt::CaseInsensitive) == 0;
        if (onMemo)
            statusText = QStringLiteral("Memo#") + QString::number(memo);
        else if (status.compare(QLatin1String("Stock"), Qt::CaseInsensitive) == 0)
            statusText = QStringLiteral("Stock");
        else if (status.compare(QLatin1String("Sold"), Qt::CaseInsensitive) == 0)
            statusText = QStringLiteral("Sold");
        const QString reference = text(Reference);
        if (onMemo)
            row.memoId = reference.isEmpty() ? QString::number(memo)
                                             : QStringLiteral("Memo#%1 - Ref# %2").arg(memo).arg(reference);
        const double carat = num(Carat);
        // The price by the stone's price basis: the memo price of the memo
        // screens, or for a sold stone the amount of its invoice line.
        const memos::MemoAmount owed = amountOwed(q.record(), q.value(SaleLine), ctx.exchangeRateCDN, step);
        row.local = owed.local;
        row.priceKnown = owed.known;
        // The price is the stone's (a sold stone's invoice line amount); the
        // balance is what it owes, a sold stone's tax share included.
        const double price = owed.price().toDouble();
        const double owedAmount = owed.amount.toDouble();
        const QString &prefix = row.local ? localPrefix : usPrefix;
        const QString perCarat = owed.known ? owed.price().dividedBy(Decimal5::fromDb(q.value(Carat)), 2).grouped2()
                                            : QStringLiteral("???");
        const double recdUS = num(RecdUS), recdLocal = num(RecdLocal);
        row.price = price;
        row.paid = row.local ? recdLocal : recdUS;
        row.balance = owedAmount - row.paid;
        // An amount at an unknown rate is shown as "???", never as 0.00.
        auto shown = [&](double v) { return owed.known ? prefix % money(v) : QStringLiteral("???"); };
        const bool costLocal = !flag(BuyingInUS) && flag(BuyingInLocal);
        const double cost = cents(costLocal ? num(BoughtPriceLocal) : num(BoughtPriceUS));
        const QString &costPrefix = costLocal ? localPrefix : usPrefix;
        const double madeUS = num(MadeUS), madeLocal = num(MadeLocal);
        const double d1 = num(Dim1), d2 = num(Dim2), d3 = num(Dim3);
        row.measurement = plain(d1) % QStringLiteral(" x ") % plain(d2) % QStringLiteral(" x ") % plain(d3);
        const QDate changed = q.value(DateStatusChange).toDate();
        // Days out: for a stone on memo whose date is there (an unreadable
        // date counts 0).
        const QVariant memoDay = onMemo ? q.value(DateOnMemo) : QVariant();
        row.cells.reserve(25);
        row.cells << text(CompanyName) << statusText
                  << (f.toggleMemoRef ? reference : (memo ? QString::number(memo) : QString()))
                  << (flag(StoneIsPaidOff) ? QStringLiteral("YES") : QStringLiteral("NO"))
                  << (changed.isValid() ? changed.toString(Qt::ISODate) : QString()) << text(SKUOrLot)
                  << text(Shape) << text(Laboratory) % QLatin1Char(' ') % text(Certificate) << f2(carat)
                  << grades.colour(int(q.value(Colour).toLongLong()))
                  << grades.clarity(int(q.value(Clarity).toLongLong())) << text(Cut)
                  << f2(d1) % QLatin1Char('x') % f2(d2) % QLatin1Char('x') % f2(d3) << QString::number(row.stoneId)
                  << (owed.known ? prefix % perCarat : perCarat) << shown(price) << money(recdUS) << money(recdLocal)
                  << shown(row.balance) << costPrefix % money(carat > 0 ? cents(cost / carat) : 0)
                  << costPrefix % money(cost) << money(madeUS) << money(madeLocal)
                  << costPrefix % money(cost - (costLocal ? madeLocal : madeUS))
                  << (memoDay.isNull() ? QString() : QString::number(daysOnMemo(memoDay.toDate(), today)));
        if (!row.priceKnown && out.unknownRate.isEmpty())
            out.unknownRate = QStringLiteral("Stone %1 is priced in %2 at the exchange rate, which is not known, so "
                                             "this report cannot show its price.\n\n")
                                  .arg(text(SKUOrLot), sign)
                              + missingRates(ctx, true, false);
        out.rows << std::move(row);
    }
    return out;
}

ReportSums sumReport(const Report &r)
{
    ReportSums s;
    for (const ReportRow &row : r.rows) {
        if (!row.priceKnown)
            continue;
        if (row.local) {
            s.localStone += row.price;
            s.localPaid += row.paid;
            s.localBalance += row.balance;
        } else {
            s.usStone += row.price;
            s.usPaid += row.paid;
            s.usBalance += row.balance;
        }
    }
    return s;
}

QString exportText(const Report &r)
{
    const QString sep = QStringLiteral(";* ");
    QString text;
    for (const char *h : {"SKU", "Client Name", "Memo #", "Status", "Ref#", "Memo Date", "Cert#", "Shape", "Weight",
                          "Colour", "Clarity", "Cut", "Measurement [mm]", "$/ct", "$/Stone"})
        text += QString::fromLatin1(h) + sep;
    const int ix[] = {0, -1, 1, 2, 4, 7, 6, 8, 9, 10, 11, -2, 14, 15}; // -1: txtMemoID, -2: txtMeasurement
    for (const ReportRow &row : r.rows) {
        text += QStringLiteral("\r\n'") + row.cells.value(5) + QStringLiteral("'") + sep;
        for (int i : ix)
            text += spreadsheetSafe(i == -1 ? row.memoId : i == -2 ? row.measurement : row.cells.value(i)) + sep;
    }
    text += QStringLiteral("\r\nExported by Velmor, the dealer's stock and memo program");
    text.remove(QLatin1Char(','));
    text.replace(sep, QStringLiteral(", "));
    return text;
}

QString exportReport(const Report &r, const QString &fileName, QString *written)
{
    if (!r.unknownRate.isEmpty())
        return r.unknownRate;
    QString why;
    if (!files::writeUserFile(fileName, exportText(r).toUtf8(), &why))
        return QStringLiteral("The file %1 cannot be written: %2").arg(QDir::toNativeSeparators(fileName), why);
    if (written)
        *written = fileName;
    return {};
}

printing::PrintOutcome printReport(AppContext &ctx, const Report &r, const printing::PrintTarget &target)
{
    const Settings &cfg = ctx.settings;
    if (!r.unknownRate.isEmpty()) {
        printing::PrintOutcome refused;
        refused.error = r.unknownRate;
        ctx.prompt().inform(refused.error, r.title, Icon::Exclamation);
        return refused;
    }
    // The columns printed (landscape), each as wide as its widest text; the
    // customer and the shape give up room when the page is too narrow.
    const int printed[] = {0, 1, 5, 6, 7, 8, 9, 10, 14, 15, 16, 18};
    constexpr int kColumns = int(std::size(printed));
    const printing::PrintOutcome out = printing::printDocument(
        target,
        [&](printing::PrintSurface &s, QString *) {
            s.setOrientation(2);
            // The rows' font gets smaller (down to 6 pt) while the columns
            // would not fit the page even with the customer, shape and
            // colour shortened.
            const QList<int> shrinkable{0, 3, 6};
            const double room = s.pageWidth() - 100 - 300;
            double points = 8;
            QList<double> needed;
            for (;; points -= 0.5) {
                needed = QList<double>(kColumns, 0.0);
                s.setFont(QStringLiteral("Arial"), points, true);
                for (int i = 0; i < kColumns; ++i)
                    needed[i] = s.textWidth(r.headers.value(printed[i]));
                s.setFont(QStringLiteral("Arial"), points);
                for (const ReportRow &row : r.rows)
                    for (int i = 0; i < kColumns; ++i)
                        needed[i] = std::max(needed[i], s.textWidth(row.cells.value(printed[i])));
                double fixed = 0;
                for (int i = 0; i < kColumns; ++i)
                    fixed += (shrinkable.contains(i) ? 600.0 : needed[i]) + 100;
                if (fixed <= room || points <= 6)
                    break;
            }
            const QList<double> edges = printing::columnEdges(needed, 300, 300 + room, shrinkable);
            auto cell = [&](int i, const QString &text, double y) {
                s.setPosition(edges.at(i), y);
                // Only the columns that give way are shortened; a figure, a
                // SKU or a certificate number is printed whole.
                s.printLine(shrinkable.contains(i) ? s.fitted(text, edges.at(i + 1) - edges.at(i) - 100) : text);
            };
            auto header = [&] {
                s.setColumns({});
                s.setFont(QStringLiteral("Arial"), 14, true);
                s.setPosition(300, 300);
                s.printLine(r.title);
                s.setFont(QStringLiteral("Arial"), 9);
                for (const QString &line : {cfg.CompanyName, cfg.CompanyStreet1,
                                            joinFilled({joinFilled({cfg.CompanyCity, cfg.CompanyProvince}), cfg.CompanyZIP},
                                                       QStringLiteral(" ")),
                                            QStringLiteral("Phone: ") + cfg.CompanyPhone,
                                            QStringLiteral("Fax: ") + cfg.CompanyFax}) {
                    s.CurrentX = 300;
                    s.printLine(line);
                }
                s.printLine();
                s.setFont(QStringLiteral("Arial"), points, true);
                s.setColumns(edges);
                const double y = s.CurrentY;
                for (int i = 0; i < kColumns; ++i)
                    cell(i, r.headers.value(printed[i]), y);
                s.setFontBold(false);
            };
            header();
            for (const ReportRow &row : r.rows) {
                if (s.CurrentY > s.pageHeight() - 600) {
                    s.newPage();
                    header();
                }
                const double y = s.CurrentY;
                for (int i = 0; i < kColumns; ++i)
                    cell(i, row.cells.value(printed[i]), y);
            }
            s.setColumns({});
            return true;
        },
        r.title);
    if (!out.ok)
        ctx.prompt().inform(out.error, r.title, Icon::Exclamation);
    return out;
}

} // namespace velmor::memos
