#pragma once
// The overdue check of expected payments (CheckOverDueModule): every unpaid
// instalment due before today minus the grace period is marked overdue,
// with its invoice and every other open instalment of that invoice; the
// invoice loses its discount for timely payment.  Customers with the
// automatic discount are never marked.
#include <QDate>
#include <QString>

namespace velmor {
class AppContext;
}

namespace velmor::customers {

// The right that runs the check (the front screen's overdue button asks it).
inline const QString kOverDueRight = QStringLiteral("AllowPastDueView");

struct OverDueReport {
    bool ran = false;       // false when the grace period switches the check off
    bool ok = true;         // false on a database error (nothing written)
    int instalments = 0;    // expectedpays rows newly marked
    int invoices = 0;       // account rows newly marked
    QDate referenceDate;
    QString error;
};

// The grace period is the OverDue setting (whole days); 0 or less does nothing.
// One transaction: a failure leaves every row as it was.
OverDueReport CheckOverDueModule(AppContext &ctx, const QDate &today = QDate::currentDate());

} // namespace velmor::customers
