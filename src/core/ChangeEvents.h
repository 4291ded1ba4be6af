#pragma once
// What the open screens hear when an operation of this workstation changed
// a stone, a parcel, a memo sheet, a parcel memo, an invoice or a customer.  Operations announce the
// change; each open screen that shows the record connects (with itself as
// context, so the connection ends with it) and shows it anew.
//
// The signal follows once control is back in the event loop, so a screen
// never reloads in the middle of an operation or its transaction, and an
// operation that changes one stone several times is heard once.
#include <QObject>
#include <QSet>

namespace velmor {

class AppContext;

class ChangeEvents : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    void announceStone(qint64 stoneId) { queue(m_stones, stoneId); }
    void announceParcel(qint64 parcelId) { queue(m_parcels, parcelId); }
    void announceMemo(qint64 memoSheetId) { queue(m_memos, memoSheetId); }
    void announceInvoice(qint64 invoiceId) { queue(m_invoices, invoiceId); }
    // Parcel memos are numbered apart from memo sheets.
    void announceParcelMemo(qint64 parcelMemoId) { queue(m_parcelMemos, parcelMemoId); }
    void announceCustomer(qint64 customerId) { queue(m_customers, customerId); }

    // Sends what is announced now.
    void deliver();

signals:
    // The record with this ID changed (0: several or not known; reload).
    void stoneChanged(qint64 stoneId);
    void parcelChanged(qint64 parcelId);
    void memoChanged(qint64 memoSheetId);
    void invoiceChanged(qint64 invoiceId);
    void parcelMemoChanged(qint64 parcelMemoId);
    void customerChanged(qint64 customerId);

private:
    void queue(QSet<qint64> &set, qint64 id);

    QSet<qint64> m_stones, m_parcels, m_memos, m_invoices, m_parcelMemos, m_customers;
    bool m_pending = false;
};

// The change events of a context (one per context, made at the first use,
// owned by the context's events object).
ChangeEvents &changeEvents(const AppContext &ctx);

} // namespace velmor
