#include "memos/MemoSheetView.h"

#include "core/Users.h"
#include "core/Figures.h"

#include "core/AppContext.h"
#include "db/Identifiers.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "memos/MemoMoves.h"
#include "memos/MemoPrice.h"
#include "pricing/SellingPrice.h"

#include <QLocale>
#include <cmath>

namespace velmor::memos {

QString money(double value)
{
    // Halves away from zero, as on every page.
    return Decimal5::fromDouble(value).grouped2();
}

QString memoDate(const QDateTime &d)
{
    return d.isValid() ? QLocale(QLocale::English).toString(d.date(), QStringLiteral("MMM dd, yyyy")) : QString();
}

int daysOnMemo(const QDateTime &onMemo, const QDateTime &now)
{
    if (!onMemo.isValid())
        return 0;
    return daysOnMemo(onMemo.date(), now.date());
}

int daysOnMemo(const QDate &onMemo, const QDate &today)
{
    if (!onMemo.isValid())
        return 0;
    return int(std::max<qint64>(0, onMemo.daysTo(today)));
}

GradeWords::GradeWords(const QSqlDatabase &db)
{
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT Number, Wording, Colour, Clarity FROM DiamondGrades ORDER BY ID"));
    while (q.next()) {
        const int n = q.value(0).toInt();
        const QString w = db::textOf(q.value(1));
        if (db::flagOf(q.value(2)) && !m_colour.contains(n))
            m_colour.insert(n, w);
        if (db::flagOf(q.value(3)) && !m_clarity.contains(n))
            m_clarity.insert(n, w);
    }
}

QStringList memoLineHeaders()
{
    return {QStringLiteral("SKU"),   QStringLiteral("Weight"),       QStringLiteral("Colour"),
            QStringLiteral("Clarity"), QStringLiteral("Lab"),        QStringLiteral("Cert#"),
            QStringLiteral("RAP"),   QStringLiteral("RAP discount"), QStringLiteral("Stone Price"),
            QStringLiteral("Days"),  QStringLiteral("ID")};
}

MemoSheetData loadMemoSheet(AppContext &ctx, qint64 memoSheetId)
{
    MemoSheetData out;
    const QSqlDatabase db = ctx.db();
    QSqlQuery h = db::exec(db,
                           QStringLiteral("SELECT customer.CompanyName, customer.CompanyStreet1, customer.CompanyStreet2, "
                                          "customer.CompanyCity, customer.CompanyZIP, customer.PhoneNumber1, "
                                          "customer.FaxNumber, memosheet.Date, memosheet.ref, memosheet.closed, "
                                          "customer.id AS custid FROM customer INNER JOIN memosheet ON "
                                          "customer.id=memosheet.customerid WHERE memosheet.id=?"),
                           {memoSheetId});
    out.header.id = memoSheetId;
    if (h.next()) {
        const db::Row r(h);
        out.found = true;
        out.header.company = r.text("CompanyName");
        out.header.street1 = r.text("CompanyStreet1");
        out.header.street2 = r.text("CompanyStreet2");
        out.header.city = r.text("CompanyCity");
        out.header.zip = r.text("CompanyZIP");
        out.header.phone = r.text("PhoneNumber1");
        out.header.fax = r.text("FaxNumber");
        out.header.date = r.dateTime("Date");
        out.header.refIsNull = r.isNull("ref");
        out.header.ref = out.header.refIsNull ? QStringLiteral("n/a") : r.text("ref");
        out.header.closed = r.flag("closed");
        out.header.customerId = r.integer("custid");
    }
    const GradeWords grades(db);
    const QDateTime now = QDateTime::currentDateTime();
    const int step = pricing::sellingPriceStep(ctx.settings);
    QSqlQuery q = db::exec(db,
                           QStringLiteral("SELECT ID, SKU, Carat, Colour, Clarity, Laboratory, Certificate, "
                                          "RapaportPrice, currentRAPdiscountFORmemo, MemoUS, DateOnMemo, %1 FROM singlestone "
                                          "WHERE MemoSheetID=? ORDER BY dateonmemo DESC, ID DESC")
                               .arg(memoPriceColumns()),
                           {memoSheetId});
    while (q.next()) {
        const db::Row r(q);
        MemoLine l;
        l.stoneId = r.integer("ID");
        l.sku = r.text("SKU");
        const double carat = r.num("Carat");
        const double rap = r.num("RapaportPrice");
        const double d = r.num("currentRAPdiscountFORmemo");
        l.weight = money(carat);
        l.colour = grades.colour(int(r.integer("Colour")));
        l.clarity = grades.clarity(int(r.integer("Clarity")));
        l.lab = r.text("Laboratory");
        l.cert = r.text("Certificate");
        l.rap = money(rap);
        // The agreed price where one was kept; else the discount's price.
        // The discount is shown only where it is taken off a list price.
        l.discount = r.isNull("currentRAPdiscountFORmemo") || carat * rap <= 0 ? QString() : money(d);
        l.stonePrice = memoPriceUS(memoPriceFacts(q.record()), step).grouped2();
        l.days = daysOnMemo(r.dateTime("DateOnMemo"), now);
        out.lines << l;
    }
    return out;
}

SelectedStone loadSelectedStone(AppContext &ctx, qint64 stoneId)
{
    SelectedStone s;
    if (stoneId <= 0)
        return s;
    QSqlQuery q = db::exec(ctx.db(),
                           QStringLiteral("SELECT SKU, Carat, Colour, Clarity, Status, RapaportPrice, LockPercent, "
                                          "SellOffRap, SellPriceUS FROM SingleStone WHERE ID=?"),
                           {stoneId});
    if (!q.next())
        return s;
    const db::Row r(q);
    const GradeWords grades(ctx.db());
    s.found = true;
    if (!r.text("SKU").isEmpty())
        s.sku = r.text("SKU");
    s.carat = r.num("Carat");
    if (!r.isNull("Carat"))
        s.weight = money(s.carat);
    if (!grades.colour(int(r.integer("Colour"))).isEmpty())
        s.colour = grades.colour(int(r.integer("Colour")));
    if (!grades.clarity(int(r.integer("Clarity"))).isEmpty())
        s.clarity = grades.clarity(int(r.integer("Clarity")));
    if (!r.text("Status").isEmpty())
        s.status = r.text("Status");
    s.rap = r.num("RapaportPrice");
    s.locked = r.flag("LockPercent");
    s.rapDiscount = r.isNull("SellOffRap") ? QStringLiteral("n/a") : QString::number(std::round(r.num("SellOffRap")), 'f', 0);
    s.proposedPrice = QString::number(r.num("SellPriceUS"), 'f', 2);
    return s;
}

qint64 stoneIdOfScan(AppContext &ctx, const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return 0;
    QVariantList binds;
    const QString sku = db::sameIdentifier(QStringLiteral("SKU"), t, binds);
    const QVariant bySku =
        db::scalar(ctx.db(), QStringLiteral("SELECT ID FROM SingleStone WHERE %1 ORDER BY ID DESC LIMIT 1").arg(sku), binds);
    if (bySku.isValid())
        return bySku.toLongLong();
    bool ok = false;
    const qint64 id = t.toLongLong(&ok);
    if (ok && db::scalar(ctx.db(), QStringLiteral("SELECT ID FROM SingleStone WHERE ID=?"), {id}).isValid())
        return id;
    return 0;
}

QStringList employeeEntries(AppContext &ctx)
{
    QStringList out;
    QSqlQuery q = db::exec(ctx.db(), QStringLiteral("SELECT ID, LastName, FirstName FROM user ORDER BY lastname"));
    while (q.next()) {
        QStringList name;
        if (!db::textOf(q.value(1)).isEmpty())
            name << db::textOf(q.value(1));
        if (!db::textOf(q.value(2)).isEmpty())
            name << db::textOf(q.value(2));
        out << name.join(QStringLiteral(", ")) + QStringLiteral("   --- ID") + q.value(0).toString();
    }
    return out;
}

bool saveMemoDate(AppContext &ctx, qint64 memoSheetId, const QDateTime &date)
{
    if (!mayWrite(ctx, rights::Memo))
        return false;
    try {
        db::exec(ctx.db(), QStringLiteral("UPDATE memosheet SET Date=? WHERE ID=?"), {date, memoSheetId});
    } catch (const db::DbError &e) {
        ctx.prompt().inform(QStringLiteral("The date could not be saved:\n\n") + e.message(), QStringLiteral("Memo"),
                            Icon::Exclamation);
        return false;
    }
    return true;
}

bool saveMemoRef(AppContext &ctx, qint64 memoSheetId, const QString &ref)
{
    if (!mayWrite(ctx, rights::Memo))
        return false;
    if (ref.size() > 25) {
        ctx.prompt().inform(QStringLiteral("The reference can hold 25 characters at most."), QStringLiteral("Memo"),
                            Icon::Information);
        return false;
    }
    try {
        // An emptied reference is no reference (Null, shown as "n/a").  The
        // older sheet screen, the reports and the paper read the same text.
        const QVariant v = ref.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(ref);
        db::exec(ctx.db(), QStringLiteral("UPDATE memosheet SET ref=?, Reference=? WHERE ID=?"), {v, v, memoSheetId});
    } catch (const db::DbError &e) {
        ctx.prompt().inform(QStringLiteral("The reference could not be saved:\n\n") + e.message(),
                            QStringLiteral("Memo"), Icon::Exclamation);
        return false;
    }
    return true;
}

namespace {
// A typed figure; 0 for a text that is not one ("0,75" is never 75).
double typed(const QString &t) { return figures::parseTyped(t).value_or(Decimal5()).toDouble(); }
QString f2(double v) { return QString::number(v, 'f', 2); }
} // namespace

void MemoPriceFields::discountChanged(const QString &text)
{
    discount = text;
    if (guard)
        return;
    guard = true;
    const double p = memoStonePrice(m_weight, m_rap, typed(text), m_step);
    stonePrice = f2(p);
    priceCarat = f2(m_weight > 0 ? p / m_weight : 0);
    guard = false;
}

void MemoPriceFields::stonePriceChanged(const QString &text)
{
    stonePrice = text;
    if (guard)
        return;
    guard = true;
    const double c = m_weight > 0 ? typed(text) / m_weight : 0;
    priceCarat = f2(c);
    if (m_rap > 0)
        discount = f2(100.0 - c * 100.0 / m_rap);
    guard = false;
}

void MemoPriceFields::priceCaratChanged(const QString &text)
{
    priceCarat = text;
    if (guard)
        return;
    guard = true;
    const double c = typed(text);
    stonePrice = f2(c * m_weight);
    if (m_rap > 0)
        discount = f2(100.0 - c * 100.0 / m_rap);
    guard = false;
}

void MemoPriceFields::discountLeft()
{
    guard = true;
    discount = QString::number(typed(discount), 'f', 1);
    guard = false;
}

} // namespace velmor::memos
