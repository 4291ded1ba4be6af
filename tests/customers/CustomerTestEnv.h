#pragma once
// A context on a fresh test database with a scripted prompt, and the rows
// the customer tests start from.
#include "ScriptedPrompt.h"
#include "TestDb.h"
#include "core/AppContext.h"
#include "db/Sql.h"

#include <QSqlRecord>
#include <QTemporaryDir>

namespace velmor::test {

struct CustomerEnv {
    TestDb t;
    ScriptedPrompt prompt;
    QTemporaryDir dir;
    AppContext ctx;

    CustomerEnv() : ctx(Workstation(dir.path(), dir.path()), t.settings(), &prompt)
    {
        ctx.adopt(t.db());
        ctx.user.ID = 1;
        for (const char *r : {"AllowCustomerAdd", "AllowCustomerEdit", "AllowCustomerView", "AllowCustomerHold",
                              "AllowRepAdd", "AllowRepEdit", "AllowPastDueView", "AllowMemoAssigning"})
            ctx.user.set(QString::fromLatin1(r), true);
    }

    // A customer with a billing account of its own unless one is given.
    qint64 customer(const QString &name, const QString &city = {}, bool isCustomer = true, bool isSupplier = false)
    {
        const qint64 id = db::insert(t.db(),
                                     "INSERT INTO Customer (CompanyName, CompanyCity, Customer, Supplier) VALUES (?, ?, ?, ?)",
                                     {name.isNull() ? QVariant() : QVariant(name), city.isEmpty() ? QVariant() : QVariant(city),
                                      isCustomer ? -1 : 0, isSupplier ? -1 : 0});
        db::exec(t.db(), "UPDATE Customer SET InvoiceToID=ID WHERE ID=?", {id});
        return id;
    }
    qint64 rep(const QString &name)
    {
        return db::insert(t.db(), "INSERT INTO Rep (CompanyName) VALUES (?)", {name});
    }

    QVariant value(const QString &sql, const QVariantList &binds = {}) { return db::scalar(t.db(), sql, binds); }
    int count(const QString &sql, const QVariantList &binds = {}) { return value(sql, binds).toInt(); }

    // The whole row, every column, for round-trip comparisons.
    QVariantList row(const QString &table, qint64 id)
    {
        QSqlQuery q = db::exec(t.db(), QStringLiteral("SELECT * FROM %1 WHERE ID=?").arg(table), {id});
        QVariantList out;
        if (q.next())
            for (int i = 0; i < q.record().count(); ++i)
                out << q.value(i);
        return out;
    }
    // Every row of a table.
    QList<QVariantList> table(const QString &name)
    {
        QSqlQuery q = db::exec(t.db(), QStringLiteral("SELECT * FROM %1 ORDER BY ID").arg(name));
        QList<QVariantList> out;
        while (q.next()) {
            QVariantList r;
            for (int i = 0; i < q.record().count(); ++i)
                r << q.value(i);
            out << r;
        }
        return out;
    }

    // A customer with every column the screen touches set, several to values
    // the screen's fields cannot show as stored (an apostrophe in the name,
    // a price class outside 1..4, terms without an option, a commission
    // rate without commission, a rep that does not exist), billed to `billTo`.
    qint64 fullCustomer(qint64 billTo)
    {
        QByteArray note("first line");
        note.append(char(218));
        note.append("second line");
        const qint64 id = db::insert(
            t.db(),
            "INSERT INTO Customer (CompanyName, CompanyStreet1, CompanyStreet2, CompanyCity, CompanyProvince, CompanyZIP, "
            "CompanyCountry, PhoneNumber1, PhoneNumber2, PhoneNumber3, PhoneName1, PhoneName2, PhoneName3, FaxNumber, "
            "EMail, WWW, Extension, Info, Customer, Supplier, _tax1, _tax2, _tax3, _tax4, RepID, InvoiceToID, Tax1, Tax2, "
            "Tax3, Terms, Hold, HoldReason, CreditLimit, Commission, CommissionRate, TagMarkup, ShipVia, ShippingCharge, "
            "GroupMember, DiscountIfPaidInTime, PriceClass, DefaultDiscount, TagEnd, InvoiceType, AutoGrantDiscount, "
            "ContactName, ContactName2, ContactName3, NotePad, DefaultNoShipForm) VALUES "
            "('O''Hara & Sons', '12 Bay St', NULL, 'Toronto', 'ON', 'M5J 2N8', 'Canada', '416-555-0101', NULL, "
            "'416-555-0199', 'Office', NULL, 'Cell', '416-555-0102', 'buy@ohara.example', 'www.ohara.example', '12', "
            "'Pays by wire', 1, 0, -1, 0, 1, 0, 99, ?, -1, 0, 0, '45', 0, NULL, 2500.50, 0, 5.00, 0, 'FedEx', NULL, "
            "'Guild', 1.50, 7, 2.00, 0.99, NULL, 0, 'Maeve O''Hara', NULL, 'Sean', ?, NULL)",
            {billTo, note});
        return id;
    }
};

} // namespace velmor::test
