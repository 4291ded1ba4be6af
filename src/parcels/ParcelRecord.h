#pragma once
// The parcel record (`parcel`): a lot of loose stones sold by the carat.
// Loading with its derived figures, finding, saving the parcel screen's
// fields, and receiving stock.  Carats on hand change only together with a
// journal row (`parceladd`) or a parcel memo line (`memoparcellist`), so
// that the journal and the memo lines explain every carat.
#include "parcels/Decimal5.h"

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <optional>

namespace velmor {
class AppContext;
}

namespace velmor::parcels {

struct Parcel {
    qint64 id = 0;
    QString sku, shape, quantity, comment;
    Decimal5 carat, caratLow, caratHigh, costPerCarat, sellPerCarat;
    int colourLow = 0, colourHigh = 0, clarityLow = 0, clarityHigh = 0;
    QDateTime datecreated, dateadded, dateremoved, dateupdated;
    bool operator==(const Parcel &) const = default;
};

// What the parcel screen shows beside the record.
struct ParcelFigures {
    bool hasLastCost = false;
    Decimal5 lastCost;  // costusct of the newest journal row with cost and carats
    QString lastVendor; // its vendor's CompanyName
    bool hasAverageCost = false;
    Decimal5 averageCost; // carat-weighted over the journal rows with cost and carats
    Decimal5 costedCarats; // the carats of those rows
    Decimal5 onMemo;      // carats out on parcel memos
};

std::optional<Parcel> loadParcel(const QSqlDatabase &db, qint64 id);
ParcelFigures parcelFigures(const QSqlDatabase &db, qint64 id);
// The parcel of an SKU (exact, bound), else of a number given as its ID.
std::optional<qint64> findParcel(const QSqlDatabase &db, const QString &skuOrId);

// The parcel screen's search: a parcel matches when every given value lies
// inside its range (0 / empty: not given).
struct ParcelSearch {
    QString weight; // txtCaratSearch
    int colour = 0; // cboColorSearch
    int clarity = 0;
};
struct ParcelHit {
    qint64 id = 0;
    QString sku, onHand, shape, caratLow, caratHigh, colourLow, colourHigh, clarityLow, clarityHigh;
};
QList<ParcelHit> searchParcels(const QSqlDatabase &db, const ParcelSearch &s, int limit = 2000);

// Linked weight fields: the average stone weight of a range, "0.00", and the
// number of stones of `carats` at that average, "0" (empty when the average
// is 0 or a text is not a number).
QString averageWeight(const QString &low, const QString &high);
QString stoneCount(const QString &carats, const QString &average);

// The range rule of the save: one end 0 takes the other's value; a low end
// above the high end is swapped.
void normaliseRange(Decimal5 &low, Decimal5 &high);
void normaliseRange(int &low, int &high);

enum class Result { Done, Unchanged, Refused, Conflict, Failed };

struct Outcome {
    Result result = Result::Failed;
    QString message; // what the user was told
    qint64 id = 0;   // the parcel (save, split) or the parcel memo (memo movements)
    qint64 invoiceId = 0;
    bool newInvoice = false;
    bool memoClosed = false;
};

// The fields of the parcel screen as typed.
struct ParcelFields {
    QString sku, shape, quantity, comment;
    QString carat, caratLow, caratHigh, sellPerCarat;
    int colourLow = 0, colourHigh = 0, clarityLow = 0, clarityHigh = 0;
};
// The fields a loaded parcel fills ("0.00" as the screen shows them).
ParcelFields fieldsOf(const Parcel &p);

// cmdUpdate.  A new parcel (`loaded` empty) is added with every field; an
// existing one gets only the columns the user changed (a field still showing
// what loading showed leaves the stored value alone), then dateupdated and a
// new rnd.  The range rule applies to a range the user changed.  A change of
// the carats on hand is written as a journal row of the difference, and the
// UPDATE states the carats loaded: carats moved on another workstation
// meanwhile refuse the save.  One transaction.
Outcome saveParcel(AppContext &ctx, const std::optional<Parcel> &loaded, const ParcelFields &edited);

// cmdFill of frmParcelAdd: the journal row (carats, user, supplier, US cost
// per carat, now) and the carats added to the parcel, one transaction.
struct Receipt {
    qint64 parcelId = 0;
    qint64 supplierId = 0;
    QString carat;
    QString costUS;
};
Outcome receiveStock(AppContext &ctx, const Receipt &r);

// The journal as frmParcelHistory lists it, oldest first.
struct JournalRow {
    QDateTime date;
    Decimal5 carat;
    Decimal5 costUS;
    bool hasCost = false;
    QString action; // "added" or "removed"
    QString party;  // Vendor/Customer
    QString user;   // the employee's last name
};
QList<JournalRow> parcelJournal(const QSqlDatabase &db, qint64 parcelId);

// cboSupplier of frmParcelAdd and cboCustomer of the memo: "Name   --- ID".
QStringList supplierEntries(const QSqlDatabase &db);
QStringList customerEntries(const QSqlDatabase &db);

// The random change marker.
int newRnd();

} // namespace velmor::parcels
