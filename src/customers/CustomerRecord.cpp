#include "customers/CustomerRecord.h"

#include "customers/CustomerSearch.h"

#include "core/Users.h"
#include "core/AppContext.h"
#include "core/ChangeEvents.h"
#include "core/Figures.h"
#include "db/ConvertSql.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "db/TextFit.h"
#include "db/Transaction.h"

#include <QDateTime>
#include <QHash>
#include <QSqlRecord>

namespace velmor::customers {

namespace {

using K = ColumnKind;

// A stored number as its field shows it: no exponent, no trailing zeros.
QString numberText(const QVariant &v)
{
    if (v.isNull() || !v.isValid())
        return {};
    QString s = v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QByteArray
                    ? v.toString()
                    : QString::number(v.toDouble(), 'f', 6);
    if (s.contains(QLatin1Char('.'))) {
        while (s.endsWith(QLatin1Char('0')))
            s.chop(1);
        if (s.endsWith(QLatin1Char('.')))
            s.chop(1);
    }
    return s;
}

// The field's caption on the screen, for messages that name it.
QString fieldLabel(const QString &column)
{
    static const QHash<QString, QString> labels = {
        {QStringLiteral("companyname"), QStringLiteral("Company name")},
        {QStringLiteral("companystreet1"), QStringLiteral("Street 1")},
        {QStringLiteral("companystreet2"), QStringLiteral("Street 2")},
        {QStringLiteral("companycity"), QStringLiteral("City")},
        {QStringLiteral("companyprovince"), QStringLiteral("Province")},
        {QStringLiteral("companyzip"), QStringLiteral("ZIP")},
        {QStringLiteral("companycountry"), QStringLiteral("Country")},
        {QStringLiteral("phonenumber1"), QStringLiteral("Phone 1")},
        {QStringLiteral("phonenumber2"), QStringLiteral("Phone 2")},
        {QStringLiteral("phonenumber3"), QStringLiteral("Phone 3")},
        {QStringLiteral("phonename1"), QStringLiteral("caption of Phone 1")},
        {QStringLiteral("phonename2"), QStringLiteral("caption of Phone 2")},
        {QStringLiteral("phonename3"), QStringLiteral("caption of Phone 3")},
        {QStringLiteral("faxnumber"), QStringLiteral("Fax")},
        {QStringLiteral("contactname"), QStringLiteral("Contact")},
        {QStringLiteral("contactname2"), QStringLiteral("Contact 2")},
        {QStringLiteral("contactname3"), QStringLiteral("Contact 3")},
        {QStringLiteral("extension"), QStringLiteral("Extension")},
        {QStringLiteral("email"), QStringLiteral("e-mail")},
        {QStringLiteral("www"), QStringLiteral("Web page")},
        {QStringLiteral("info"), QStringLiteral("Info")},
        {QStringLiteral("holdreason"), QStringLiteral("Hold reason")},
        {QStringLiteral("shipvia"), QStringLiteral("Ship via")},
        {QStringLiteral("groupmember"), QStringLiteral("Buying group")},
        {QStringLiteral("terms"), QStringLiteral("Terms")},
    };
    return labels.value(column.toLower(), column);
}

} // namespace

const QList<ColumnDef> &customerColumns()
{
    static const QList<ColumnDef> cols = [] {
        QList<ColumnDef> l;
        auto add = [&l](K kind, std::initializer_list<const char *> names) {
            for (const char *n : names)
                l.append({QString::fromLatin1(n), kind});
        };
        add(K::Terms, {"Terms"});
        add(K::Flag, {"defaultnoshipform"});
        add(K::Number, {"CommissionRate"});
        add(K::Flag, {"Commission", "AutoGrantDiscount"});
        add(K::Number, {"DefaultDiscount", "DiscountIfPaidInTime"});
        add(K::Text, {"GroupMember"});
        add(K::NumberOrNull, {"ShippingCharge"});
        add(K::Name, {"CompanyName"});
        add(K::Text, {"CompanyStreet1", "CompanyStreet2", "CompanyCity", "CompanyProvince", "CompanyZIP",
                      "CompanyCountry", "PhoneNumber1", "PhoneNumber2", "PhoneNumber3", "FaxNumber", "Info"});
        add(K::Flag, {"_tax1", "_tax2", "_tax3", "_tax4"});
        add(K::Note, {"NotePad"});
        add(K::Text, {"ContactName", "ContactName2", "ContactName3", "Extension", "EMail", "www", "PhoneName1",
                      "PhoneName2", "PhoneName3"});
        add(K::Flag, {"Customer", "Supplier", "Hold"});
        add(K::Text, {"holdreason", "shipvia"});
        add(K::InvoiceType, {"InvoiceType"});
        add(K::Flag, {"Tax1", "Tax2", "Tax3"});
        add(K::PriceClass, {"PriceClass"});
        add(K::Id, {"RepID", "InvoiceToID"});
        add(K::Number, {"CreditLimit", "TagMarkup", "TagEnd"});
        return l;
    }();
    return cols;
}

const QStringList &termsOptions()
{
    static const QStringList t = {QStringLiteral("30"),
                                  QStringLiteral("30/60"),
                                  QStringLiteral("30/60/90"),
                                  QStringLiteral("30/60/90/120"),
                                  QStringLiteral("30/60/90/120/150"),
                                  QStringLiteral("30/60/90/120/150/180")};
    return t;
}

QVariant shownValue(ColumnKind kind, const QVariant &stored)
{
    switch (kind) {
    case K::Text:
    case K::Name:
    case K::Terms:
        return db::textOf(stored);
    case K::Number:
    case K::NumberOrNull:
        return numberText(stored);
    case K::Flag:
        return db::flagOf(stored);
    case K::Note:
        return db::blobToText(stored);
    case K::InvoiceType:
        return db::textOf(stored) == QLatin1String("M");
    case K::PriceClass: {
        const qint64 c = stored.isNull() ? 0 : qint64(db::numOf(stored));
        return c >= 1 && c <= 4 ? int(c - 1) : 0;
    }
    case K::Id:
        return qint64(db::numOf(stored));
    }
    return {};
}

QVariant storedValue(ColumnKind kind, const QVariant &shown)
{
    const QString text = shown.toString();
    switch (kind) {
    case K::Text:
    case K::Terms:
        return text.isEmpty() ? QVariant() : QVariant(text);
    case K::Name: {
        // A typed apostrophe is kept readable as the typographic one, which no
        // program that builds SQL from the name stumbles over.
        QString n = text;
        n.replace(QLatin1Char('\''), QChar(kApostrophe));
        return n.isEmpty() ? QVariant() : QVariant(n);
    }
    case K::Number:
        return figures::parseTyped(text).value_or(Decimal5()).toDouble();
    case K::NumberOrNull:
        return text.isEmpty() ? QVariant() : QVariant(figures::parseTyped(text).value_or(Decimal5()).toDouble());
    case K::Flag:
        return db::flagValue(shown.toBool());
    case K::Note:
        return text.isEmpty() ? QVariant() : QVariant(db::textToBlob(text));
    case K::InvoiceType:
        return shown.toBool() ? QVariant(QStringLiteral("M")) : QVariant();
    case K::PriceClass:
        return shown.toInt() + 1;
    case K::Id:
        return shown.toLongLong();
    }
    return {};
}

QString creditUsedFor(const QSqlDatabase &db, qint64 invoiceToId)
{
    const QVariant sum =
        db::scalar(db, QStringLiteral("SELECT SUM(Balance) AS a FROM expectedpays WHERE InvoiceToID=?"), {invoiceToId});
    return QString::number(db::numOf(sum), 'f', 2);
}

QString creditLimitOf(const QSqlDatabase &db, qint64 customerId)
{
    return numberText(db::scalar(db, QStringLiteral("SELECT CreditLimit FROM Customer WHERE ID=?"), {customerId}));
}

QString repNameOf(const QSqlDatabase &db, qint64 repId)
{
    return db::textOf(db::scalar(db, QStringLiteral("SELECT CompanyName FROM Rep WHERE ID=?"), {repId}));
}

QString customerNameOf(const QSqlDatabase &db, qint64 customerId)
{
    return db::textOf(db::scalar(db, QStringLiteral("SELECT CompanyName FROM Customer WHERE ID=?"), {customerId}));
}

LoadedCustomer loadCustomer(AppContext &ctx, qint64 id)
{
    LoadedCustomer out;
    const QSqlDatabase db = ctx.db();
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT * FROM Customer WHERE ID=?"), {id});
    if (!q.next())
        return out;
    const QSqlRecord rec = q.record();
    out.found = true;
    out.id = id;
    for (const ColumnDef &c : customerColumns())
        out.form.insert(c.name, shownValue(c.kind, rec.value(c.name)));
    const qint64 rep = out.form.value(QStringLiteral("RepID")).toLongLong();
    const qint64 billed = out.form.value(QStringLiteral("InvoiceToID")).toLongLong();
    out.repName = repNameOf(db, rep);
    out.invoiceToName = customerNameOf(db, billed);
    out.creditUsed = creditUsedFor(db, billed);
    out.creditLimit = creditLimitOf(db, billed);
    // The field shows the billed account's limit: the form carries what was shown.
    out.form.insert(QStringLiteral("CreditLimit"), out.creditLimit);
    return out;
}

CustomerForm newCustomerForm(AppContext &ctx, bool supplier)
{
    CustomerForm f;
    for (const ColumnDef &c : customerColumns())
        f.insert(c.name, shownValue(c.kind, QVariant()));
    for (int i = 1; i <= 3; ++i)
        f.insert(QStringLiteral("PhoneName%1").arg(i), QStringLiteral("Phone %1").arg(i));
    f.insert(QStringLiteral("Customer"), !supplier);
    f.insert(QStringLiteral("Supplier"), supplier);
    f.insert(QStringLiteral("CreditLimit"), numberText(ctx.settings.DefaultCreditLimit));
    f.insert(QStringLiteral("DefaultDiscount"), numberText(ctx.settings.DefaultDiscount));
    return f;
}

int giveEveryCustomerABillingAccount(const QSqlDatabase &db)
{
    return db::execAffected(db, QStringLiteral("UPDATE Customer SET InvoiceToID=ID WHERE InvoiceToID IS NULL OR InvoiceToID=0"));
}

QString addressBlockOf(const QSqlDatabase &db, qint64 customerId)
{
    QSqlQuery q = db::exec(db,
                           QStringLiteral("SELECT CompanyName, CompanyStreet1, CompanyCity, ContactName, PhoneNumber1 "
                                          "FROM Customer WHERE ID=?"),
                           {customerId});
    if (!q.next())
        return {};
    QString block;
    for (int i = 0; i < 4; ++i)
        if (!q.value(i).isNull())
            block += q.value(i).toString() + QStringLiteral("\r\n");
    if (!q.value(4).isNull())
        block += QStringLiteral("Phone: ") + q.value(4).toString();
    return block;
}

SaveResult saveCustomer(AppContext &ctx, bool adding, qint64 id, const CustomerForm &loaded, const CustomerForm &form)
{
    SaveResult r;
    Prompt &p = ctx.prompt();
    // Checked at the write: a log-off since the screen opened leaves nothing to save.
    if (!mayWrite(ctx, adding ? QStringLiteral("AllowCustomerAdd") : QStringLiteral("AllowCustomerEdit"))) {
        r.outcome = SaveOutcome::Refused;
        return r;
    }
    const QSqlDatabase db = ctx.db();
    const qint64 rep = form.value(QStringLiteral("RepID")).toLongLong();
    if (ctx.settings.ForceRepEntry && rep == 0
        && !p.askYesNo(QStringLiteral("You did not define a Rep for this Customer. Is this correct?"),
                       QStringLiteral("Update"), Icon::Question)) {
        r.outcome = SaveOutcome::NoRep;
        return r;
    }
    // Every changed number first: one that is not a figure or is larger
    // than its column holds is refused, naming the field, and nothing is written.
    for (const ColumnDef &c : customerColumns()) {
        if ((c.kind != K::Number && c.kind != K::NumberOrNull)
            || (!adding && form.value(c.name) == loaded.value(c.name)))
            continue;
        try {
            QString label = c.name; // "CreditLimit" is named "Credit Limit"
            for (int i = label.size() - 1; i > 0; --i)
                if (label.at(i).isUpper() && label.at(i - 1).isLower())
                    label.insert(i, QLatin1Char(' '));
            const figures::Reading n = figures::read(form.value(c.name).toString(),
                                                     {label, figures::columnOf(db, QStringLiteral("Customer"), c.name)});
            if (!n.ok()) {
                p.inform(n.error, QStringLiteral("Update"), Icon::Exclamation);
                r.outcome = SaveOutcome::Refused;
                return r;
            }
        } catch (const db::DbError &) {
        }
    }
    // Every changed text that the database cannot hold as typed is refused,
    // naming the field, before anything is written.
    {
        QList<QPair<QString, QString>> texts;
        for (const ColumnDef &c : customerColumns()) {
            if ((c.kind != K::Text && c.kind != K::Name) || (!adding && form.value(c.name) == loaded.value(c.name)))
                continue;
            texts.append({c.name, storedValue(c.kind, form.value(c.name)).toString()});
        }
        QString refusal;
        try {
            const db::TooLong tooLong = db::firstTooLong(db, QStringLiteral("Customer"), texts);
            if (!tooLong.column.isEmpty())
                refusal = QStringLiteral("The %1 is too long: %2 characters where at most %3 can be stored.\n\n"
                                         "Please shorten it.")
                              .arg(fieldLabel(tooLong.column))
                              .arg(tooLong.length)
                              .arg(tooLong.limit);
        } catch (const db::DbError &) {
        }
        const QString note = form.value(QStringLiteral("NotePad")).toString();
        if (refusal.isEmpty() && (adding || note != loaded.value(QStringLiteral("NotePad")).toString())) {
            // The note pad keeps one byte a character, as the store-side
            // program reads it: what that form cannot give back is refused.
            const QStringList bad = db::unstorableInBlob(note);
            if (!bad.isEmpty())
                refusal = QStringLiteral("The Note pad holds characters that cannot be stored: %1.\n\n"
                                         "Please replace them.")
                              .arg(bad.join(QStringLiteral(", ")));
        }
        if (!refusal.isEmpty()) {
            p.inform(refusal, QStringLiteral("Update"), Icon::Exclamation);
            r.outcome = SaveOutcome::Refused;
            return r;
        }
    }
    try {
        if (adding) {
            // A namesake: the name as typed, as it is stored (the typographic
            // apostrophe) or as older saves stored it (without apostrophes),
            // compared as the database compares names.
            const QString typed = form.value(QStringLiteral("CompanyName")).toString();
            const QString stored = storedValue(K::Name, typed).toString();
            QString bare = typed;
            bare.remove(QLatin1Char('\''));
            bare.remove(QChar(kApostrophe));
            QSqlQuery q = db::exec(db,
                                   QStringLiteral("SELECT CompanyName FROM Customer WHERE CompanyName LIKE ? "
                                                  "OR CompanyName LIKE ? OR CompanyName LIKE ? ORDER BY ID LIMIT 1"),
                                   {likeLiteral(typed), likeLiteral(stored), likeLiteral(bare)});
            if (q.next()
                && !p.askYesNo(QStringLiteral("Velmor found a existing Supplier or Customer with the Name '")
                                   + db::textOf(q.value(0))
                                   + QStringLiteral("' in the Database, do you want to continue adding this new "
                                                    "Supplier or Customer?"),
                               QStringLiteral("similar Name found"), Icon::Question)) {
                r.outcome = SaveOutcome::NamesakeRefused;
                return r;
            }
        }

        auto changed = [&](const QString &col) { return adding || form.value(col) != loaded.value(col); };
        QStringList cols;
        QVariantList values;
        auto put = [&](const QString &col, const QVariant &v) {
            cols << col;
            values << v;
        };
        const bool commissionChanged = changed(QStringLiteral("Commission")) || changed(QStringLiteral("CommissionRate"));
        for (const ColumnDef &c : customerColumns()) {
            const QVariant shown = form.value(c.name);
            if (c.name == QLatin1String("CommissionRate")) {
                if (commissionChanged)
                    put(c.name, form.value(QStringLiteral("Commission")).toBool() ? storedValue(c.kind, shown) : QVariant());
                continue;
            }
            if (c.name == QLatin1String("Commission")) {
                if (commissionChanged)
                    put(c.name, storedValue(c.kind, shown));
                continue;
            }
            if (!changed(c.name))
                continue;
            if (c.kind == K::Terms && shown.toString().isEmpty())
                continue; // no option chosen: the terms stay
            if (c.kind == K::PriceClass && (shown.toInt() < 0 || shown.toInt() > 3))
                continue;
            QVariant v = storedValue(c.kind, shown);
            if (c.name == QLatin1String("TagMarkup") && v.toDouble() == 0)
                v = ctx.settings.TagMarkup;
            put(c.name, v);
        }

        db::Transaction t(db);
        if (adding) {
            QStringList marks;
            for (int i = 0; i < cols.size(); ++i)
                marks << QStringLiteral("?");
            id = db::insert(db,
                            QStringLiteral("INSERT INTO Customer (%1) VALUES (%2)")
                                .arg(cols.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))),
                            values);
        } else {
            if (!db::scalar(db, QStringLiteral("SELECT ID FROM Customer WHERE ID=? FOR UPDATE"), {id}).isValid()) {
                r.outcome = SaveOutcome::NotFound;
                return r;
            }
            if (!cols.isEmpty()) {
                QStringList sets;
                for (const QString &c : cols)
                    sets << c + QStringLiteral("=?");
                values << id;
                db::exec(db, QStringLiteral("UPDATE Customer SET %1 WHERE ID=?").arg(sets.join(QStringLiteral(", "))),
                         values);
            }
        }
        // The limit shown is the billed account's: a changed limit goes to it too.
        const qint64 billed = form.value(QStringLiteral("InvoiceToID")).toLongLong();
        if (billed != 0 && billed != id && changed(QStringLiteral("CreditLimit"))) {
            const double limit =
                figures::parseTyped(form.value(QStringLiteral("CreditLimit")).toString()).value_or(Decimal5()).toDouble();
            db::exec(db,
                     QStringLiteral("UPDATE Customer SET CreditLimit=? WHERE ID=? AND (CreditLimit IS NULL OR "
                                    "CreditLimit<>?)"),
                     {limit, billed, limit});
        }
        giveEveryCustomerABillingAccount(db);
        t.commit();
        r.id = id;
        r.outcome = SaveOutcome::Saved;
        changeEvents(ctx).announceCustomer(id);
        if (billed != 0 && billed != id)
            changeEvents(ctx).announceCustomer(billed);
        if (adding)
            r.addressBlock = addressBlockOf(db, id);
    } catch (const db::DbError &e) {
        r.outcome = SaveOutcome::Failed;
        r.error = e.message();
    }
    return r;
}

namespace {

qint64 firstId(const QSqlDatabase &db, const QString &sql, const QVariantList &binds)
{
    const QVariant v = db::scalar(db, sql, binds);
    return v.isValid() ? v.toLongLong() : 0;
}

} // namespace

qint64 nextCustomer(const QSqlDatabase &db, qint64 id)
{
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT CompanyName FROM Customer WHERE ID=?"), {id});
    if (!q.next())
        return 0;
    const QVariant name = q.value(0);
    qint64 n = 0;
    if (name.isNull()) {
        n = firstId(db, QStringLiteral("SELECT ID FROM Customer WHERE CompanyName IS NULL AND ID>? ORDER BY ID LIMIT 1"),
                    {id});
        if (!n)
            n = firstId(db,
                        QStringLiteral("SELECT ID FROM Customer WHERE CompanyName IS NOT NULL "
                                       "ORDER BY CompanyName, ID LIMIT 1"),
                        {});
    } else {
        n = firstId(db, QStringLiteral("SELECT ID FROM Customer WHERE CompanyName=? AND ID>? ORDER BY ID LIMIT 1"),
                    {name, id});
        if (!n)
            n = firstId(db,
                        QStringLiteral("SELECT ID FROM Customer WHERE CompanyName>? ORDER BY CompanyName, ID LIMIT 1"),
                        {name});
    }
    return n ? n : id;
}

qint64 previousCustomer(const QSqlDatabase &db, qint64 id)
{
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT CompanyName FROM Customer WHERE ID=?"), {id});
    if (!q.next())
        return 0;
    const QVariant name = q.value(0);
    qint64 n = 0;
    if (!name.isNull()) {
        n = firstId(db,
                    QStringLiteral("SELECT ID FROM Customer WHERE CompanyName=? AND ID<? ORDER BY ID DESC LIMIT 1"),
                    {name, id});
        if (!n)
            n = firstId(db,
                        QStringLiteral("SELECT ID FROM Customer WHERE CompanyName<? "
                                       "ORDER BY CompanyName DESC, ID DESC LIMIT 1"),
                        {name});
        if (!n)
            n = firstId(db,
                        QStringLiteral("SELECT ID FROM Customer WHERE CompanyName IS NULL ORDER BY ID DESC LIMIT 1"),
                        {});
    } else {
        n = firstId(db,
                    QStringLiteral("SELECT ID FROM Customer WHERE CompanyName IS NULL AND ID<? ORDER BY ID DESC LIMIT 1"),
                    {id});
    }
    return n ? n : id;
}

qint64 stepCustomerLiteral(const QSqlDatabase &db, qint64 id, bool forward)
{
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT * FROM Customer ORDER BY CompanyName"));
    QList<qint64> ids;
    while (q.next())
        ids << q.value(QStringLiteral("ID")).toLongLong();
    const int at = int(ids.indexOf(id));
    if (at < 0)
        return 0;
    const int to = forward ? at + 1 : at - 1;
    return to >= 0 && to < ids.size() ? ids.at(to) : id;
}

QStringList repEntries(const QSqlDatabase &db)
{
    QStringList out{QString()};
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT ID, CompanyName FROM Rep ORDER BY CompanyName"));
    while (q.next())
        if (!q.value(1).isNull())
            out << db::entryWithId(q.value(1).toString(), q.value(0).toLongLong());
    return out;
}

QStringList invoiceToEntries(const QSqlDatabase &db)
{
    QStringList out{QStringLiteral("same")};
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT ID, CompanyName FROM Customer ORDER BY CompanyName"));
    while (q.next())
        if (!q.value(1).isNull())
            out << db::entryWithId(q.value(1).toString(), q.value(0).toLongLong());
    return out;
}

QStringList groupEntries(const QSqlDatabase &db)
{
    QStringList out;
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT DISTINCT(GroupMember) AS a FROM Customer ORDER BY GroupMember"));
    while (q.next())
        if (!q.value(0).isNull())
            out << q.value(0).toString();
    return out;
}

qint64 createMemoSheet(AppContext &ctx, qint64 customerId)
{
    if (customerId <= 0 || !mayWrite(ctx, rights::Memo))
        return 0;
    qint64 id = 0;
    QString name;
    try {
        id = db::insert(ctx.db(), QStringLiteral("INSERT INTO MemoSheet (Date, CustomerID) VALUES (?, ?)"),
                        {QDateTime::currentDateTime(), customerId});
        name = customerNameOf(ctx.db(), customerId);
    } catch (const db::DbError &e) {
        ctx.prompt().inform(QStringLiteral("The memo sheet could not be created:\n\n") + e.message(),
                            QStringLiteral("Memo Sheet"), Icon::Critical);
        return 0;
    }
    ctx.screens().setCurrentMemoSheet(id);
    ctx.prompt().notice(QStringLiteral("A new Memo-Sheet \n#") + QString::number(id)
                        + QStringLiteral("\n has been created for customer \n") + name);
    return id;
}

QString mailtoLink(const QString &address)
{
    return QStringLiteral("mailto:") + address + QStringLiteral("?Subject=") + QStringLiteral("&Body=");
}

} // namespace velmor::customers
