#include "customers/OverDue.h"

#include "core/AppContext.h"
#include "db/Sql.h"
#include "db/Transaction.h"

#include <QSet>

namespace velmor::customers {

OverDueReport CheckOverDueModule(AppContext &ctx, const QDate &today)
{
    OverDueReport r;
    const int grace = int(ctx.settings.OverDue);
    if (grace <= 0)
        return r;
    r.ran = true;
    r.referenceDate = today.addDays(-grace);
    const QSqlDatabase db = ctx.db();
    try {
        db::Transaction t(db);
        QSqlQuery q = db::exec(
            db,
            QStringLiteral("SELECT expectedpays.InvoiceID, expectedpays.ID FROM expectedpays "
                           "LEFT OUTER JOIN customer ON expectedpays.invoicetoid = customer.id "
                           "WHERE (expectedpays.overdue IS NULL OR expectedpays.overdue=0) "
                           "AND expectedpays.Balance > 0 "
                           "AND DATEDIFF(expectedpays.duedate, ?) < 0 "
                           "AND (customer.AutoGrantDiscount IS NULL OR customer.AutoGrantDiscount=0) "
                           "ORDER BY expectedpays.ID FOR UPDATE"),
            {r.referenceDate.toString(QStringLiteral("yyyy-MM-dd"))});
        QList<qint64> ids;
        QList<qint64> invoices;
        QSet<qint64> seen;
        while (q.next()) {
            ids << q.value(1).toLongLong();
            if (!q.value(0).isNull() && !seen.contains(q.value(0).toLongLong())) {
                seen.insert(q.value(0).toLongLong());
                invoices << q.value(0).toLongLong();
            }
        }
        for (qint64 id : ids)
            r.instalments += db::execAffected(
                db, QStringLiteral("UPDATE expectedpays SET OverDue=-1 WHERE ID=? AND (OverDue IS NULL OR OverDue=0)"),
                {id});
        for (qint64 invoice : invoices) {
            r.invoices += db::execAffected(
                db, QStringLiteral("UPDATE account SET OverDue=-1 WHERE ID=? AND (OverDue IS NULL OR OverDue=0)"),
                {invoice});
            db::exec(db, QStringLiteral("UPDATE account SET DiscountIfPaidInTime=NULL WHERE ID=?"), {invoice});
            // Once one instalment is overdue, so is every open one of its
            // invoice (one paid in full is not open).
            r.instalments += db::execAffected(
                db,
                QStringLiteral("UPDATE expectedpays SET OverDue=-1 WHERE InvoiceID=? AND (OverDue IS NULL OR OverDue=0) "
                               "AND Balance > 0"),
                {invoice});
        }
        t.commit();
    } catch (const db::DbError &e) {
        r.ok = false;
        r.instalments = r.invoices = 0;
        r.error = e.message();
    }
    return r;
}

} // namespace velmor::customers
