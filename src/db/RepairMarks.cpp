#include "db/RepairMarks.h"

#include <QStringList>

namespace velmor::db::schema {

const std::vector<RepairCondition> &stoneRepairConditions()
{
    static const std::vector<RepairCondition> conditions = {
        {"1", 1, "RapaportPrice<>0 AND SellOffRap<>0 AND (SellPriceUS IS NULL OR SellPriceUS<=0) AND Carat<>0"},
        {"2", 2, "RapaportPrice<>0 AND SellPriceUS<>0 AND SellOffRap IS NULL AND Carat<>0"},
        {"3", 4, "status LIKE 'DEL'"},
        {"5", 8, "Certificate IS NULL"},
        {"9", 16, "ConsignmentInCustomerID IS NOT NULL AND SupplierID IS NULL"},
        {"10", 32, "BuyingInUS=0 AND BuyingInLocal=0"},
        {"11", 64, "(LockPercent=0 OR LockPercentlx=0) AND SellPriceUS IS NULL"},
        {"12", 128, "LockPercent<>0 AND SellPriceUS IS NULL"},
        {"13 tier 2", 256,
         "LockPercent<>0 AND SellPriceUS2 IS NULL AND Carat IS NOT NULL AND RapaportPrice IS NOT NULL "
         "AND SellOffRap2 IS NOT NULL"},
        {"13 tier 3", 512,
         "LockPercent<>0 AND SellPriceUS3 IS NULL AND Carat IS NOT NULL AND RapaportPrice IS NOT NULL "
         "AND SellOffRap3 IS NOT NULL"},
        {"17", 1024,
         "((currentRAPdiscountFORmemo IS NOT NULL OR currentRAPdiscountFORmemo<>0) OR DateOnMemo IS NOT NULL) "
         "AND status LIKE 'stock'"},
        {"14", kHistoryDueBit, "HistoryStarted IS NULL"},
    };
    return conditions;
}

QString stoneRepairWhere(const char *step)
{
    for (const RepairCondition &c : stoneRepairConditions())
        if (qstrcmp(c.step, step) == 0)
            return QString::fromLatin1(c.where);
    return {};
}

QString repairDueColumnType()
{
    QStringList terms;
    for (const RepairCondition &c : stoneRepairConditions())
        terms << QStringLiteral("IF(%1, %2, 0)").arg(QLatin1String(c.where)).arg(c.bit);
    return QStringLiteral("SMALLINT AS (") + terms.join(QStringLiteral(" + ")) + QStringLiteral(") PERSISTENT");
}

} // namespace velmor::db::schema
