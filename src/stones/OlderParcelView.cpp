#include "stones/OlderParcelView.h"

#include "db/Row.h"
#include "db/Sql.h"
#include "db/Transaction.h"

#include <QRegularExpression>
#include <QSqlQuery>

namespace velmor::stones {

namespace {

// Decimal columns as the screen shows them: two places, more only where the
// row holds them ("0.00##").
QString shown(const QVariant &v)
{
    if (v.isNull())
        return {};
    QString t = v.toString();
    const int dot = t.indexOf(QLatin1Char('.'));
    if (dot < 0)
        return t + QStringLiteral(".00");
    while (t.size() > dot + 3 && t.endsWith(QLatin1Char('0')))
        t.chop(1);
    while (t.size() < dot + 3)
        t += QLatin1Char('0');
    return t;
}

QString gradeOf(const QSqlDatabase &db, const QVariant &v, bool colour)
{
    const int n = v.toInt();
    if (n == 0)
        return {};
    const QVariant w = db::scalar(db,
                                  colour ? QStringLiteral("SELECT Wording FROM DiamondGrades WHERE Number=? AND "
                                                          "Colour<>0 AND Clarity=0 LIMIT 1")
                                         : QStringLiteral("SELECT Wording FROM DiamondGrades WHERE Number=? AND "
                                                          "Colour=0 AND Clarity<>0 LIMIT 1"),
                                  {n});
    return w.isValid() ? QStringLiteral("%1 - %2").arg(n).arg(db::textOf(w)) : QString::number(n);
}

} // namespace

std::optional<OlderParcelView> readOlderParcel(const QSqlDatabase &db, qint64 id)
{
    QSqlQuery q = db::exec(db,
                           QStringLiteral("SELECT SKU, Lot, Shape, Comment, QClass, CAST(Carat AS CHAR), Quantity, "
                                          "CAST(CaratLow AS CHAR), CAST(CaratHigh AS CHAR), CAST(Dim1 AS CHAR), "
                                          "CAST(Dim2 AS CHAR), ColourLow, ColourHigh, ClarityLow, ClarityHigh, "
                                          "CAST(CostUSPerCarat AS CHAR), CAST(CostLocalPerCarat AS CHAR), "
                                          "CAST(PriceUSPerCarat AS CHAR), CAST(PriceLocalPerCarat AS CHAR), "
                                          "CAST(DMarkup AS CHAR), SellUS FROM ParcelStock WHERE ID = ?"),
                           {id});
    if (!q.next())
        return std::nullopt;
    OlderParcelView v;
    v.id = id;
    v.sku = db::textOf(q.value(0));
    v.lot = db::textOf(q.value(1));
    v.shape = db::textOf(q.value(2));
    v.comment = db::textOf(q.value(3));
    v.qclass = db::textOf(q.value(4));
    v.carat = shown(q.value(5));
    v.quantity = q.value(6).isNull() ? QString() : q.value(6).toString();
    v.caratLow = shown(q.value(7));
    v.caratHigh = shown(q.value(8));
    v.dim1 = shown(q.value(9));
    v.dim2 = shown(q.value(10));
    v.colourLow = gradeOf(db, q.value(11), true);
    v.colourHigh = gradeOf(db, q.value(12), true);
    v.clarityLow = gradeOf(db, q.value(13), false);
    v.clarityHigh = gradeOf(db, q.value(14), false);
    v.costUS = shown(q.value(15));
    v.costLocal = shown(q.value(16));
    v.priceUS = shown(q.value(17));
    v.priceLocal = shown(q.value(18));
    v.markup = q.value(19).isNull() ? QString() : q.value(19).toString();
    v.sellUS = q.value(20).toInt() != 0;
    return v;
}

QStringList olderParcelShapes(const QSqlDatabase &db)
{
    QStringList out{QStringLiteral("Round Brilliant [BR]"), QStringLiteral("Pear [PS]"), QStringLiteral("Marquise [MQ]"),
                    QStringLiteral("Princess [PR]"),        QStringLiteral("Cushion"),   QStringLiteral("Emerald"),
                    QStringLiteral("Heart"),                QStringLiteral("Radiant"),   QStringLiteral("Triangle"),
                    QStringLiteral("rec Brilliant"),        QStringLiteral("sq Brilliant")};
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT DISTINCT Shape FROM ParcelStock WHERE Shape IS NOT NULL "
                                              "AND Shape <> '' ORDER BY Shape"));
    while (q.next()) {
        const QString s = db::textOf(q.value(0));
        if (!out.contains(s, Qt::CaseInsensitive))
            out << s;
    }
    return out;
}

QStringList olderParcelGrades(const QSqlDatabase &db, bool colour)
{
    QStringList out{QString()};
    QSqlQuery q = db::exec(db, colour ? QStringLiteral("SELECT Number, Wording FROM DiamondGrades WHERE Clarity=0 "
                                                       "AND Colour<>0 ORDER BY Number")
                                      : QStringLiteral("SELECT Number, Wording FROM DiamondGrades WHERE Clarity<>0 "
                                                       "AND Colour=0 ORDER BY Number"));
    while (q.next())
        out << QStringLiteral("%1 - %2").arg(q.value(0).toInt()).arg(db::textOf(q.value(1)));
    return out;
}

QList<OlderReceiptLine> olderReceipts(const QSqlDatabase &db, qint64 parcelId)
{
    QList<OlderReceiptLine> out;
    QSqlQuery q = db::exec(db,
                           QStringLiteral("SELECT c.CompanyName, DATE_FORMAT(a.Date, '%Y-%m-%d %H:%i'), a.Invoice, "
                                          "CAST(a.Carat AS CHAR), a.Quantity, CAST(a.PricePerCarat AS CHAR) "
                                          "FROM AddParcel a LEFT JOIN Customer c ON a.SupplierID = c.ID "
                                          "WHERE a.ParcelID = ? ORDER BY a.ID"),
                           {parcelId});
    while (q.next())
        out.append({db::textOf(q.value(0)), q.value(1).toString(), db::textOf(q.value(2)), q.value(3).toString(),
                    q.value(4).toString(), q.value(5).toString()});
    return out;
}

namespace {

// A typed figure: digits with an optional decimal point, thousands grouped
// by commas or not at all; empty is none (Null).
std::optional<QVariant> figure(const QString &text)
{
    static const QRegularExpression number(QStringLiteral(R"(^(\d{1,3}(,\d{3})+|\d+)?(\.\d+)?$)"));
    const QString t = text.trimmed();
    if (t.isEmpty())
        return QVariant();
    if (t == QLatin1String(".") || !number.match(t).hasMatch())
        return std::nullopt;
    QString plain = t;
    plain.remove(QLatin1Char(','));
    return QVariant(plain);
}

QVariant gradeNumber(const QString &entry)
{
    const int n = entry.section(QLatin1Char(' '), 0, 0).toInt();
    return n == 0 ? QVariant() : QVariant(n);
}

} // namespace

OlderParcelSave saveOlderParcel(const QSqlDatabase &db, const OlderParcelView &loaded, const OlderParcelView &edited)
{
    OlderParcelSave out;
    QStringList columns;
    QVariantList values;
    auto text = [&](const char *column, const QString &was, const QString &now) {
        if (now == was)
            return;
        columns << QString::fromLatin1(column);
        values << (now.trimmed().isEmpty() ? QVariant() : QVariant(now.trimmed()));
    };
    // Figures: (column, caption, loaded, edited).
    const std::tuple<const char *, const char *, QString, QString> figures[] = {
        {"CaratLow", "Weight from", loaded.caratLow, edited.caratLow},
        {"CaratHigh", "Weight to", loaded.caratHigh, edited.caratHigh},
        {"Dim1", "Dimension 1", loaded.dim1, edited.dim1},
        {"Dim2", "Dimension 2", loaded.dim2, edited.dim2},
        {"CostUSPerCarat", "Cost US$/ct", loaded.costUS, edited.costUS},
        {"CostLocalPerCarat", "Cost local/ct", loaded.costLocal, edited.costLocal},
        {"PriceUSPerCarat", "Price US$/ct", loaded.priceUS, edited.priceUS},
        {"PriceLocalPerCarat", "Price local/ct", loaded.priceLocal, edited.priceLocal},
    };
    for (const auto &[column, caption, was, now] : figures) {
        if (now.trimmed() == was.trimmed())
            continue;
        const std::optional<QVariant> v = figure(now);
        if (!v) {
            out.message = QStringLiteral("%1 must be a number (for example 1,234.56).").arg(QString::fromLatin1(caption));
            return out;
        }
        columns << QString::fromLatin1(column);
        values << *v;
    }
    if (edited.sku.trimmed().isEmpty()) {
        out.message = QStringLiteral("You must define a SKU Number for this Parcel");
        return out;
    }
    text("SKU", loaded.sku, edited.sku);
    text("Lot", loaded.lot, edited.lot);
    text("Shape", loaded.shape, edited.shape);
    text("Comment", loaded.comment, edited.comment);
    const std::tuple<const char *, QString, QString> grades[] = {
        {"ColourLow", loaded.colourLow, edited.colourLow},
        {"ColourHigh", loaded.colourHigh, edited.colourHigh},
        {"ClarityLow", loaded.clarityLow, edited.clarityLow},
        {"ClarityHigh", loaded.clarityHigh, edited.clarityHigh},
    };
    for (const auto &[column, was, now] : grades)
        if (now != was) {
            columns << QString::fromLatin1(column);
            values << gradeNumber(now);
        }
    if (edited.sellUS != loaded.sellUS) {
        columns << QStringLiteral("SellUS") << QStringLiteral("SellLocal");
        values << db::flagValue(edited.sellUS) << db::flagValue(!edited.sellUS);
    }
    if (columns.isEmpty()) {
        out.ok = true;
        return out;
    }
    db::Transaction tx(db);
    if (edited.sku.trimmed() != loaded.sku.trimmed()
        && db::scalar(db, QStringLiteral("SELECT ID FROM ParcelStock WHERE SKU = ? AND ID <> ?"),
                      {edited.sku.trimmed(), loaded.id})
               .isValid()) {
        out.message = QStringLiteral(
            "This SKU number is already been used for another Diamond, please choose another SKU number!");
        return out;
    }
    QStringList sets;
    for (const QString &c : columns)
        sets << c + QStringLiteral(" = ?");
    values << loaded.id;
    db::exec(db, QStringLiteral("UPDATE ParcelStock SET %1 WHERE ID = ?").arg(sets.join(QStringLiteral(", "))), values);
    tx.commit();
    out.ok = out.changed = true;
    return out;
}

} // namespace velmor::stones
