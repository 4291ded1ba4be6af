#pragma once
// The dealer's rows in the online stone listing: a MariaDB/MySQL database
// of its own (not Velmor's), named by the workstation file listing.ini:
//   host=listing.example.com   port=3306   user=...   password=...
//   database=listing           socket=/run/mysqld/mysqld.sock (instead of host/port)
//   vendor=1234                the dealer's vendor number in the listing
// Without the file (or without vendor=) nothing is sent anywhere.
//
// The listing keeps one `Stones` row per published stone, keyed by
// `velmorstoneid` and `vendorid`; its rows are made by the upload.  Velmor
// brings a row up to date when a stone goes on memo or comes back, and
// deletes it when the stone is sold.  The columns Velmor writes:
//   shape, weight, colour, clarity, cut, polish, symmetry, fluorescence,
//   lab, certificate, price_per_carat, total_price, off_rap (NULL when the
//   price is not to be shown), stone_is_on_memo (1 while the stone's status
//   is "Memo"), updated_at.
//
// The listing is another company's server: it never holds up or undoes the
// dealer's own work.  Callers run it after their own commit; one Listing
// object per operation tries the server once and, when it cannot be
// reached, says so once (failure()) and skips the remaining stones.
#include <QSqlDatabase>
#include <QString>

#include "db/Connection.h"

namespace velmor {
class Workstation;
}

namespace velmor::online {

struct ListingSettings {
    db::ConnectionSettings connection;
    QString vendor;
    bool configured() const { return !vendor.isEmpty(); }

    static ListingSettings fromWorkstation(const Workstation &ws);
    static QString fileName() { return QStringLiteral("listing.ini"); }
};

// The listing's own table, for a listing database Velmor is asked to make
// (tests, a dealer's own listing).
void createListingTable(const QSqlDatabase &listingDb);

class Listing {
public:
    explicit Listing(ListingSettings settings);
    explicit Listing(const Workstation &ws);
    ~Listing();
    Listing(const Listing &) = delete;
    Listing &operator=(const Listing &) = delete;

    bool configured() const { return m_settings.configured(); }

    // Brings the stone's row up to date from Velmor's database; true when a
    // row was changed.  Nothing happens for a stone that is not listed.
    bool update(const QSqlDatabase &velmorDb, int stoneId);
    // Deletes the stone's row; true when one was there.
    bool remove(int stoneId);

    // Empty, or the one message to show the user for this operation.
    QString failure() const { return m_failure; }

private:
    bool open();

    ListingSettings m_settings;
    QString m_connName;
    bool m_opened = false;
    QString m_failure;
};

} // namespace velmor::online
