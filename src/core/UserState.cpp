#include "core/UserState.h"

#include "db/UserRights.h"

namespace velmor {

const QStringList &UserState::frontRightColumns()
{
    return db::userRightColumns();
}

const QStringList &UserState::diamondRightColumns()
{
    static const QStringList cols = {QStringLiteral("Administrator"), QStringLiteral("ViewCost"),
                                     QStringLiteral("AllowExchangeRateChanging"), QStringLiteral("AllowMemoAssigning"),
                                     QStringLiteral("AllowEdit"), QStringLiteral("AllowDelete")};
    return cols;
}

bool UserState::has(const QString &right) const
{
    const QString r = right.toLower();
    if (r == QLatin1String("administrator")) return Administrator;
    if (r == QLatin1String("viewcost")) return ViewCost;
    if (r == QLatin1String("allowexchangeratechanging")) return AllowExchangeRateChanging;
    if (r == QLatin1String("allowmemoassigning")) return AllowMemoAssigning;
    if (r == QLatin1String("allowedit")) return AllowEdit;
    if (r == QLatin1String("allowdelete")) return AllowDelete;
    auto it = rights.find(r);
    return it != rights.end() && it->second;
}

void UserState::set(const QString &right, bool on)
{
    const QString r = right.toLower();
    if (r == QLatin1String("administrator")) Administrator = on;
    else if (r == QLatin1String("viewcost")) ViewCost = on;
    else if (r == QLatin1String("allowexchangeratechanging")) AllowExchangeRateChanging = on;
    else if (r == QLatin1String("allowmemoassigning")) AllowMemoAssigning = on;
    else if (r == QLatin1String("allowedit")) AllowEdit = on;
    else if (r == QLatin1String("allowdelete")) AllowDelete = on;
    else rights[r] = on;
}

void UserState::reset()
{
    Administrator = ViewCost = AllowExchangeRateChanging = AllowMemoAssigning = AllowEdit = AllowDelete = false;
    rights.clear();
}

} // namespace velmor
