#pragma once
// Invoices with stone, parcel and free lines for the invoice tests.
#include "../stones/StoneTestEnv.h"
#include "db/Sql.h"

#include <QSqlRecord>

namespace velmor::test {

struct InvoiceEnv : StoneEnv {
    InvoiceEnv() { ctx.user.set(QStringLiteral("AllowInvoiceView"), true); }
    qint64 invoice(qint64 customerId, const QString &status = "open")
    {
        return db::insert(t.db(), "INSERT INTO invoice (customerid, datecreated, status) VALUES (?, '2026-03-05 10:00', ?)",
                          {customerId, status});
    }
    qint64 parcel(const QString &sku)
    {
        return db::insert(t.db(),
                          "INSERT INTO parcel (SKU, Shape, CaratLow, ColourLow, ClarityLow) VALUES (?, 'Pear [PS]', 0.25, "
                          "45, 60)",
                          {sku});
    }
    // A line; diamond and parcel 0 leave the column Null.
    qint64 line(qint64 invoiceId, qint64 diamond, qint64 parcel, const QString &carat, const QString &price,
                const QString &tax = "0", const QString &details = {}, const QString &cdn = "1.25",
                const QString &zar = "14")
    {
        return db::insert(t.db(),
                          "INSERT INTO invoicelist (invoiceid, diamondid, parcelid, carat, dateadded, pricecarat, "
                          "exchangerateCDN, exchangerateZAR, taxrate, details) VALUES (?, ?, ?, ?, '2026-03-06 11:00', "
                          "?, ?, ?, ?, ?)",
                          {invoiceId, diamond ? QVariant(diamond) : QVariant(QMetaType::fromType<qlonglong>()),
                           parcel ? QVariant(parcel) : QVariant(QMetaType::fromType<qlonglong>()), carat, price, cdn, zar,
                           tax, details.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(details)});
    }
    // A whole row as text, to compare before and after.
    QStringList row(const QString &table, qint64 id)
    {
        QSqlQuery q = db::exec(t.db(), QStringLiteral("SELECT * FROM %1 WHERE ID=?").arg(table), {id});
        QStringList r;
        if (q.next())
            for (int i = 0; i < q.record().count(); ++i)
                r << (q.value(i).isNull() ? QStringLiteral("<null>") : q.value(i).toString());
        return r;
    }
};

} // namespace velmor::test
