#include "memos/MemoSheetSql.h"

namespace velmor::memos {

namespace {
QString text(const QString &s)
{
    QString t = s;
    t.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + t + QLatin1Char('\'');
}
// A rate in the statement: Null when it is not known, so that an amount at
// it is empty (never 0.00).
QString rateSql(double v) { return v > 0 ? QString::number(v, 'f', 5) : QStringLiteral("NULL"); }
// Grade words from DiamondGrades.
QString words(const QString &column, bool colour)
{
    return QStringLiteral("IFNULL((SELECT Wording FROM DiamondGrades WHERE %1<>0 AND Number=%2 ORDER BY ID LIMIT 1), '')")
        .arg(colour ? QStringLiteral("Colour") : QStringLiteral("Clarity"), column);
}
} // namespace

void SUBSQLStone(QString &out, qint64 memoSheetId, bool current, bool history, const QString &localSign, double rate)
{
    const bool cur = current && !history;
    const QString local = text(localSign + QLatin1Char(' '));
    // The stone's price by its price basis; per carat rounded half up to cents.
    const QString price = QStringLiteral(
        "(CASE WHEN SingleStone.MemoUS IS NOT NULL AND IFNULL(SingleStone.PaidOffLocal,0)=0 AND "
        "IFNULL(SingleStone.PaidOffPercentageLocal,0)=0 THEN SingleStone.MemoUS "
        "WHEN IFNULL(SingleStone.PaidOffUS,0)<>0 THEN SingleStone.MemoUS "
        "WHEN IFNULL(SingleStone.PaidOffPercentageUS,0)<>0 THEN SingleStone.SellPriceUS "
        "WHEN IFNULL(SingleStone.PaidOffLocal,0)<>0 THEN SingleStone.MemoLocal "
        "WHEN IFNULL(SingleStone.PaidOffPercentageLocal,0)<>0 THEN SingleStone.SellPriceUS*%1 "
        "ELSE SingleStone.SellPriceUS END)").arg(rateSql(rate));
    const QString sign = QStringLiteral(
        "(CASE WHEN IFNULL(SingleStone.PaidOffUS,0)=0 AND IFNULL(SingleStone.PaidOffPercentageUS,0)=0 AND "
        "(IFNULL(SingleStone.PaidOffLocal,0)<>0 OR IFNULL(SingleStone.PaidOffPercentageLocal,0)<>0) THEN %1 ELSE 'US$ ' END)")
                             .arg(local);
    out = QStringLiteral("SELECT Customer.CompanyName AS `consigned to`, SingleStone.RapaportPrice AS rap, "
                         "SingleStone.SKU AS SKU, SingleStone.Shape AS Shape, "
                         "CONCAT_WS(' ', SingleStone.Laboratory, SingleStone.Certificate) AS `Cert#`, ")
          + (cur ? QStringLiteral("FORMAT(SUM(SingleStone.Carat*Memo.Quantity), 2) AS Weight, ")
                 : QStringLiteral("FORMAT(SingleStone.Carat*Memo.Quantity, 2) AS Weight, "))
          + words(QStringLiteral("SingleStone.Colour"), true) + QStringLiteral(" AS Colour, ")
          + words(QStringLiteral("SingleStone.Clarity"), false) + QStringLiteral(" AS Clarity, ")
          + QStringLiteral("SingleStone.Cut AS Cut, SingleStone.ID AS ID, ")
          + QStringLiteral("CONCAT(%1, FORMAT(FLOOR(%2/NULLIF(SingleStone.Carat,0)*100+0.5)/100, 2)) AS `Price /ct`, ")
                .arg(sign, price)
          + QStringLiteral("CONCAT(%1, FORMAT(%2, 2)) AS `Stone/Parcel Price`, ").arg(sign, price)
          + QStringLiteral("'S' AS Type, SingleStone.MemoUS AS a, SingleStone.MemoLocal AS b")
          + QStringLiteral(" FROM Customer INNER JOIN (SingleStone INNER JOIN Memo ON SingleStone.ID = Memo.DiamondID) "
                           "ON Memo.CustomerID=Customer.ID ")
          + (cur ? QStringLiteral("WHERE SingleStone.MemoSheetID= %1 GROUP BY SingleStone.ID ORDER BY SingleStone.Carat ASC")
                       .arg(memoSheetId)
                 : QStringLiteral("WHERE Memo.MemoSheetID= %1 ORDER BY Memo.ID ASC").arg(memoSheetId));
}

void SUBSQLParcel(QString &out, qint64 memoSheetId, bool current, const QString &localSign, double rate)
{
    const QString local = text(localSign + QLatin1Char(' '));
    const QString perCarat = QStringLiteral("(CASE WHEN IFNULL(ParcelStock.SellUS,0)<>0 THEN Memo.US ELSE Memo.US*%1 END)")
                                 .arg(rateSql(rate));
    const QString sign = QStringLiteral("(CASE WHEN IFNULL(ParcelStock.SellUS,0)<>0 THEN 'US$ ' ELSE %1 END)").arg(local);
    const QString carats = current ? QStringLiteral("SUM(Memo.Carat)") : QStringLiteral("Memo.Carat");
    out = QStringLiteral("SELECT Customer.CompanyName AS `consigned to`, 0 AS rap, CONCAT(ParcelStock.SKU, ' Parcel') AS SKU, "
                         "ParcelStock.Shape AS Shape, '' AS `Cert#`, FORMAT(%1, 2) AS Weight, ")
              .arg(carats)
          + QStringLiteral("CONCAT(%1, '-', %2) AS Colour, ")
                .arg(words(QStringLiteral("ParcelStock.ColourHigh"), true), words(QStringLiteral("ParcelStock.ColourLow"), true))
          + QStringLiteral("CONCAT(%1, '-', %2) AS Clarity, ")
                .arg(words(QStringLiteral("ParcelStock.ClarityHigh"), false),
                     words(QStringLiteral("ParcelStock.ClarityLow"), false))
          + QStringLiteral("CONCAT(FORMAT(ParcelStock.CaratLow, 2), '-', FORMAT(ParcelStock.CaratHigh, 2)) AS Cut, "
                           "ParcelStock.ID AS ID, ")
          + QStringLiteral("CONCAT(%1, FORMAT(%2, 2)) AS `Price /ct`, ").arg(sign, perCarat)
          + QStringLiteral("CONCAT(%1, FORMAT(%2*%3, 2)) AS `Stone/Parcel Price`, ").arg(sign, perCarat, carats)
          + QStringLiteral("'P' AS Type, Memo.US AS a, Memo.Local AS b")
          + QStringLiteral(" FROM Customer INNER JOIN (ParcelStock INNER JOIN Memo ON ParcelStock.ID = Memo.ParcelID) "
                           "ON Memo.CustomerID=Customer.ID WHERE Memo.MemoSheetID= %1")
                .arg(memoSheetId)
          + (current ? QStringLiteral(" GROUP BY ParcelStock.ID HAVING SUM(Memo.Carat)<>0") : QString());
}

QString memoSheetLinesSql(qint64 memoSheetId, bool current, const QString &localSign, double rate)
{
    QString stones, parcels;
    SUBSQLStone(stones, memoSheetId, current, !current, localSign, rate);
    SUBSQLParcel(parcels, memoSheetId, current, localSign, rate);
    // Each part keeps its own order inside parentheses; the union is ordered by weight.
    stones = stones.left(stones.lastIndexOf(QLatin1String(" ORDER BY")));
    return QLatin1Char('(') + stones + QStringLiteral(") UNION ALL (") + parcels
           + QStringLiteral(") ORDER BY CAST(REPLACE(Weight, ',', '') AS DECIMAL(15,5)), Type DESC, ID");
}

} // namespace velmor::memos
