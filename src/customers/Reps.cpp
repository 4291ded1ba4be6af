#include "customers/Reps.h"

#include "customers/CustomerSearch.h"

#include "db/Row.h"
#include "db/Sql.h"
#include "db/TextFit.h"
#include "db/Transaction.h"

#include <QHash>
#include <QSqlRecord>

namespace velmor::customers {

const QStringList &repColumns()
{
    static const QStringList c = {
        QStringLiteral("CompanyName"), QStringLiteral("FirstName"), QStringLiteral("LastName"), QStringLiteral("Street1"),
        QStringLiteral("Street2"),     QStringLiteral("City"),      QStringLiteral("Province"), QStringLiteral("ZIP"),
        QStringLiteral("Phone1"),      QStringLiteral("Phone2"),    QStringLiteral("TollFree"), QStringLiteral("Cell1"),
        QStringLiteral("Cell2"),       QStringLiteral("Pager"),     QStringLiteral("HomePhone"), QStringLiteral("Fax"),
        QStringLiteral("WWW"),         QStringLiteral("EMail"),     QStringLiteral("SalesDistrict")};
    return c;
}

RepForm loadRep(const QSqlDatabase &db, qint64 id, bool *found)
{
    RepForm f;
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT * FROM Rep WHERE ID=?"), {id});
    const bool there = q.next();
    if (found)
        *found = there;
    const QSqlRecord rec = q.record();
    for (const QString &c : repColumns())
        f.insert(c, there ? db::textOf(rec.value(c)) : QString());
    return f;
}

RepSaveResult saveRep(const QSqlDatabase &db, qint64 id, const RepForm &loaded, const RepForm &form)
{
    RepSaveResult r;
    QStringList cols;
    QVariantList values;
    for (const QString &c : repColumns()) {
        const QString v = form.value(c).toString();
        if (id != 0 && v == loaded.value(c).toString())
            continue;
        cols << c;
        values << (v.isEmpty() ? QVariant() : QVariant(v));
    }
    try {
        // A text longer than its column is refused by name, not cut or failed.
        QList<QPair<QString, QString>> texts;
        for (int i = 0; i < cols.size(); ++i)
            texts.append({cols.at(i), values.at(i).toString()});
        const db::TooLong tooLong = db::firstTooLong(db, QStringLiteral("Rep"), texts);
        if (!tooLong.column.isEmpty()) {
            static const QHash<QString, QString> labels = {
                {QStringLiteral("companyname"), QStringLiteral("Company name")},
                {QStringLiteral("firstname"), QStringLiteral("First name")},
                {QStringLiteral("lastname"), QStringLiteral("Last name")},
                {QStringLiteral("street1"), QStringLiteral("Street 1")},
                {QStringLiteral("street2"), QStringLiteral("Street 2")},
                {QStringLiteral("phone1"), QStringLiteral("Phone 1")},
                {QStringLiteral("phone2"), QStringLiteral("Phone 2")},
                {QStringLiteral("tollfree"), QStringLiteral("Toll free")},
                {QStringLiteral("cell1"), QStringLiteral("Cell 1")},
                {QStringLiteral("cell2"), QStringLiteral("Cell 2")},
                {QStringLiteral("homephone"), QStringLiteral("Home phone")},
                {QStringLiteral("www"), QStringLiteral("Web page")},
                {QStringLiteral("email"), QStringLiteral("e-mail")},
                {QStringLiteral("salesdistrict"), QStringLiteral("Sales district")},
            };
            r.refusal = QStringLiteral("The %1 is too long: %2 characters where at most %3 can be stored.\n\n"
                                       "Please shorten it.")
                            .arg(labels.value(tooLong.column.toLower(), tooLong.column))
                            .arg(tooLong.length)
                            .arg(tooLong.limit);
            return r;
        }
        db::Transaction t(db);
        if (id == 0) {
            QStringList marks;
            for (int i = 0; i < cols.size(); ++i)
                marks << QStringLiteral("?");
            id = db::insert(db,
                            QStringLiteral("INSERT INTO Rep (%1) VALUES (%2)")
                                .arg(cols.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))),
                            values);
        } else if (!cols.isEmpty()) {
            QStringList sets;
            for (const QString &c : cols)
                sets << c + QStringLiteral("=?");
            values << id;
            db::exec(db, QStringLiteral("UPDATE Rep SET %1 WHERE ID=?").arg(sets.join(QStringLiteral(", "))), values);
        }
        t.commit();
        r.ok = true;
        r.id = id;
    } catch (const db::DbError &e) {
        r.error = e.message();
    }
    return r;
}

QList<RepListRow> searchReps(const QSqlDatabase &db, const QString &text)
{
    QString sql = QStringLiteral("SELECT ID, CompanyName, FirstName, LastName, City, Province, Phone1 FROM Rep WHERE 1=1");
    QVariantList binds;
    for (const QString &word : searchWords(text)) {
        QStringList forms;
        for (const QString &w : apostropheForms(word)) {
            const QString inside = QLatin1Char('%') + likeLiteral(w) + QLatin1Char('%');
            forms << QStringLiteral("(CompanyName LIKE ? OR FirstName LIKE ? OR LastName LIKE ? OR Street1 LIKE ? "
                                    "OR City LIKE ? OR Phone1 LIKE ? OR Phone2 LIKE ?)");
            binds << inside << inside << inside << inside << likeLiteral(w) + QLatin1Char('%') << inside << inside;
        }
        sql += QStringLiteral(" AND (") + forms.join(QStringLiteral(" OR ")) + QLatin1Char(')');
    }
    sql += QStringLiteral(" ORDER BY CompanyName, ID");
    QList<RepListRow> out;
    QSqlQuery q = db::exec(db, sql, binds);
    while (q.next()) {
        const db::Row r(q);
        out.push_back({r.integer(QStringLiteral("ID")), r.text(QStringLiteral("CompanyName")),
                       r.text(QStringLiteral("FirstName")), r.text(QStringLiteral("LastName")),
                       r.text(QStringLiteral("City")), r.text(QStringLiteral("Province")),
                       r.text(QStringLiteral("Phone1"))});
    }
    return out;
}

namespace {
QStringList distinctOf(const QSqlDatabase &db, const QString &column)
{
    QStringList out;
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT DISTINCT(%1) AS a FROM Rep ORDER BY %1").arg(column));
    while (q.next())
        if (!q.value(0).isNull())
            out << q.value(0).toString();
    return out;
}
} // namespace

QStringList repCities(const QSqlDatabase &db) { return distinctOf(db, QStringLiteral("City")); }
QStringList repProvinces(const QSqlDatabase &db) { return distinctOf(db, QStringLiteral("Province")); }

} // namespace velmor::customers
