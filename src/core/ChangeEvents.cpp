#include "core/ChangeEvents.h"

#include "core/AppContext.h"

#include <QMetaObject>
#include <utility>

namespace velmor {

void ChangeEvents::queue(QSet<qint64> &set, qint64 id)
{
    set.insert(id);
    if (m_pending)
        return;
    m_pending = true;
    QMetaObject::invokeMethod(this, &ChangeEvents::deliver, Qt::QueuedConnection);
}

void ChangeEvents::deliver()
{
    m_pending = false;
    // Taken first: a screen that reloads may cause new announcements.
    const QSet<qint64> stones = std::exchange(m_stones, {});
    const QSet<qint64> parcels = std::exchange(m_parcels, {});
    const QSet<qint64> memos = std::exchange(m_memos, {});
    const QSet<qint64> invoices = std::exchange(m_invoices, {});
    const QSet<qint64> parcelMemos = std::exchange(m_parcelMemos, {});
    const QSet<qint64> customers = std::exchange(m_customers, {});
    for (qint64 id : stones)
        emit stoneChanged(id);
    for (qint64 id : parcels)
        emit parcelChanged(id);
    for (qint64 id : memos)
        emit memoChanged(id);
    for (qint64 id : invoices)
        emit invoiceChanged(id);
    for (qint64 id : parcelMemos)
        emit parcelMemoChanged(id);
    for (qint64 id : customers)
        emit customerChanged(id);
}

ChangeEvents &changeEvents(const AppContext &ctx)
{
    ContextEvents &owner = ctx.events();
    auto *events = owner.findChild<ChangeEvents *>(QString(), Qt::FindDirectChildrenOnly);
    if (!events)
        events = new ChangeEvents(&owner);
    return *events;
}

} // namespace velmor
