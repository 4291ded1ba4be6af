// The customer screens on a large customer table of their own (50,000
// generated customers and suppliers with reps, billing accounts, customers
// on hold and namesakes): the search after each keystroke of two words,
// opening a customer, and next/previous by name.
#include "Scenarios.h"

#include "customers/CustomerRecord.h"
#include "customers/CustomerSearch.h"
#include "db/ConvertSql.h"
#include "db/Schema.h"
#include "db/Sql.h"

#include <QRandomGenerator>
#include <QStandardItemModel>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>

namespace velmor::bench {

namespace {

const char *const kFirst[] = {"Lumen", "Aurora", "Northern", "Pacific", "Royal", "Crown", "Golden", "Silver",
                              "Maple", "Harbour", "Summit", "Prairie", "Atlantic", "Diamond", "Regal", "Bay",
                              "Empire", "Heritage", "Classic", "Brilliant", "Star", "Opal", "Ruby", "Emerald",
                              "Sapphire", "Pearl", "Garnet", "Coral", "Ivory", "Amber"};
const char *const kSecond[] = {"Jewellers", "Diamonds", "Gems", "Goldsmiths", "Bridal", "Fine Jewellery",
                               "Trading", "Imports", "Rings", "Design", "Creations", "Collection"};
const char *const kCities[] = {"Toronto", "Vancouver", "Montreal", "Calgary", "Ottawa", "Edmonton", "Winnipeg",
                               "Quebec", "Hamilton", "Kitchener", "London", "Victoria", "Halifax", "Oshawa",
                               "Windsor", "Saskatoon", "Regina", "Sherbrooke", "Kelowna", "Barrie", "Guelph",
                               "Kingston", "Moncton", "Antwerp", "New York", "Tel Aviv", "Mumbai", "Dubai"};
const char *const kPeople[] = {"Ana", "Ben", "Chloe", "David", "Elena", "Farid", "Grace", "Hiro", "Ines", "Jonas",
                               "Kira", "Liam", "Maeve", "Noah", "Olga", "Priya", "Quinn", "Rosa", "Sami", "Tara"};

template <size_t N>
const char *pick(QRandomGenerator &r, const char *const (&list)[N])
{
    return list[r.bounded(int(N))];
}

QString quoted(const QString &s)
{
    QString q = s;
    q.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    q.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

// The generated customer table; its size.
int fillCustomers(const QSqlDatabase &db, int count, quint32 seed)
{
    QRandomGenerator r(seed);
    const int reps = std::max(5, count / 250);
    {
        QStringList values;
        for (int i = 1; i <= reps; ++i)
            values << QStringLiteral("(%1, %2)").arg(quoted(QStringLiteral("%1 Agents %2").arg(pick(r, kFirst)).arg(i)),
                                                     quoted(pick(r, kCities)));
        db::exec(db, QStringLiteral("INSERT INTO Rep (CompanyName, City) VALUES ") + values.join(QLatin1Char(',')));
    }
    QStringList rows;
    auto flush = [&] {
        if (rows.isEmpty())
            return;
        db::exec(db, QStringLiteral("INSERT INTO Customer (ID, CompanyName, ContactName, CompanyStreet1, CompanyCity, "
                                    "CompanyProvince, PhoneNumber1, PhoneNumber2, FaxNumber, EMail, WWW, Customer, "
                                    "Supplier, Hold, RepID, InvoiceToID, CreditLimit, Terms, PriceClass) VALUES ")
                         + rows.join(QLatin1Char(',')));
        rows.clear();
    };
    for (int id = 1; id <= count; ++id) {
        // One in ten is a plain namesake of another; the rest carry a branch number.
        QString name = QStringLiteral("%1 %2").arg(pick(r, kFirst), pick(r, kSecond));
        if (r.bounded(10) != 0)
            name += QStringLiteral(" %1").arg(r.bounded(1, 4000));
        const int role = r.bounded(100); // 0..86 customer, 87..96 supplier, 97..99 both
        const bool customer = role < 87 || role >= 97;
        const bool supplier = role >= 87;
        const int billTo = r.bounded(5) == 0 && id > 1 ? r.bounded(1, id) : id;
        rows << QStringLiteral("(%1,%2,%3,%4,%5,'ON',%6,%7,%8,%9,%10,%11,%12,%13,%14,%15,%16,'30',%17)")
                    .arg(id)
                    .arg(quoted(name), quoted(QStringLiteral("%1 %2").arg(pick(r, kPeople), pick(r, kFirst))),
                         quoted(QStringLiteral("%1 %2 St").arg(r.bounded(1, 999)).arg(pick(r, kFirst))),
                         quoted(pick(r, kCities)), quoted(QStringLiteral("416-555-%1").arg(r.bounded(10000), 4, 10, QLatin1Char('0'))),
                         r.bounded(3) == 0 ? quoted(QStringLiteral("905-555-%1").arg(r.bounded(10000), 4, 10, QLatin1Char('0')))
                                           : QStringLiteral("NULL"),
                         QStringLiteral("NULL"), quoted(QStringLiteral("info%1@example.com").arg(id)),
                         quoted(QStringLiteral("www.shop%1.example").arg(id)))
                    .arg(customer ? -1 : 0)
                    .arg(supplier ? -1 : 0)
                    .arg(r.bounded(33) == 0 ? -1 : 0)
                    .arg(r.bounded(reps + 1))
                    .arg(billTo)
                    .arg(r.bounded(1, 50) * 1000)
                    .arg(r.bounded(1, 5));
        if (rows.size() == 1000)
            flush();
    }
    flush();
    // Instalments for the credit used of a share of the billing accounts.
    QStringList pays;
    for (int i = 0; i < count / 5; ++i)
        pays << QStringLiteral("(%1, %2, 500, 250)").arg(r.bounded(1, count + 1)).arg(i + 1);
    for (int i = 0; i < pays.size(); i += 1000)
        db::exec(db, QStringLiteral("INSERT INTO expectedpays (InvoiceToID, InvoiceID, Amount, Balance) VALUES ")
                         + pays.mid(i, 1000).join(QLatin1Char(',')));
    return count;
}

// A grid filled cell by cell, as a grid control is filled from a record set.
int fillItemModel(const customers::CustomerGrid &g)
{
    QStandardItemModel model;
    model.setHorizontalHeaderLabels(g.header);
    model.setRowCount(int(g.rows.size()));
    for (int r = 0; r < g.rows.size(); ++r)
        for (int c = 0; c < g.rows.at(r).size(); ++c)
            model.setItem(r, c, new QStandardItem(g.rows.at(r).at(c)));
    return model.rowCount();
}

// The search as first written: the words spliced into the text (apostrophes
// doubled), the desktop dialect converted, the grid filled from the record set.
int literalSearch(const QSqlDatabase &db, const QString &text)
{
    QString t = text;
    t.replace(QLatin1Char('\''), QStringLiteral("''"));
    QString sql = QStringLiteral("SELECT hold, CompanyName AS [Company Name], CompanyCity AS [City], "
                                 "CompanyProvince AS [Province], invoicetype, repid, ContactName AS [Contact], "
                                 "CompanyStreet1 AS [Street], PhoneNumber1 AS [Phone 1], PhoneNumber2 AS [Phone 2], "
                                 "FaxNumber AS [Fax], Email AS [e-mail], WWW AS [Web], ID FROM Customer WHERE 1=1 AND ");
    for (const QString &w : customers::searchWords(t))
        sql += QStringLiteral(" (CompanyName LIKE '%") + w + QStringLiteral("%' OR ContactName LIKE '%") + w
               + QStringLiteral("%' OR CompanyStreet1 LIKE '%") + w + QStringLiteral("%' OR CompanyCity LIKE '") + w
               + QStringLiteral("%' OR PhoneNumber1 LIKE '%") + w + QStringLiteral("%' OR PhoneNumber2 LIKE '%") + w
               + QStringLiteral("%' ) AND ");
    sql += QStringLiteral(" 1=1 ORDER BY CompanyName");
    QSqlQuery q = db::exec(db, db::convertSql(sql));
    customers::CustomerGrid g;
    g.header = customers::searchColumns();
    const QSqlRecord rec = q.record();
    while (q.next()) {
        QStringList row;
        for (int i = 1; i < rec.count(); ++i)
            if (i != 4 && i != 5)
                row << q.value(i).toString();
        g.rows << row;
    }
    return fillItemModel(g);
}

// The customer screen's load as first written: the row by a spliced ID, the
// rep and billing names, the credit used and the billed account's limit,
// one query each.
void literalLoad(const QSqlDatabase &db, qint64 id)
{
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT * FROM Customer WHERE ID=") + QString::number(id));
    if (!q.next())
        return;
    const QString rep = q.value(QStringLiteral("RepID")).toString();
    const QString bill = q.value(QStringLiteral("InvoiceToID")).toString();
    db::exec(db, QStringLiteral("SELECT * FROM Rep WHERE ID=") + (rep.isEmpty() ? QStringLiteral("0") : rep));
    db::exec(db, QStringLiteral("SELECT * FROM Customer WHERE ID=") + (bill.isEmpty() ? QStringLiteral("0") : bill));
    db::exec(db, QStringLiteral(" SELECT SUM(Balance) as a FROM expectedpays  WHERE InvoiceToID=")
                     + (bill.isEmpty() ? QStringLiteral("0") : bill));
    db::exec(db, QStringLiteral(" SELECT * FROM Customer  WHERE ID=") + (bill.isEmpty() ? QStringLiteral("0") : bill));
}

} // namespace

void runCustomerScenarios(SizeEnv &env)
{
    // One customer table for the run, measured once (at the largest size).
    const QList<int> &sizes = env.bench.options().sizes;
    if (env.size != *std::max_element(sizes.begin(), sizes.end()))
        return;
    const QString search = QStringLiteral("customer search (2 words, per keystroke)");
    const QString counted = QStringLiteral("customer search with its count (per keystroke)");
    const QString open = QStringLiteral("customer open (per customer)");
    const QString step = QStringLiteral("customer next/previous (per step)");
    if (!env.bench.wants(search) && !env.bench.wants(counted) && !env.bench.wants(open) && !env.bench.wants(step))
        return;
    const int count = env.size >= 1000 ? 50000 : 2000;
    const QString name = QStringLiteral("bench_customers");
    QSqlDatabase db = env.server.connect(name, true);
    db::schema::createNewDatabase(db);
    fillCustomers(db, count, env.bench.options().seed);

    RecordingPrompt prompt;
    AppContext ctx(Workstation(env.folder, env.folder), env.server.settings(name), &prompt);
    ctx.adopt(db);

    // Typing "lumen tor" a key at a time: the search runs after each key.
    const QString typed = QStringLiteral("lumen tor");
    QList<customers::CustomerFilter> keystrokes;
    for (int i = 1; i <= typed.size(); ++i) {
        customers::CustomerFilter f;
        f.words = typed.left(i);
        keystrokes << f;
    }
    const int keys = int(keystrokes.size());
    if (env.bench.wants(search)) {
        // Until the first screenful is in the grid model; the count comes
        // later from a thread of its own (timed below).
        env.bench.measure(search, count,
                          {Road{QStringLiteral("velmor"), {},
                                [&] {
                                    customers::CustomerGridModel model; // a new search screen per run
                                    for (const customers::CustomerFilter &f : keystrokes)
                                        model.search(db, f);
                                },
                                false, keys},
                           Road{QStringLiteral("literal"), {},
                                [&] {
                                    for (const customers::CustomerFilter &f : keystrokes)
                                        literalSearch(db, f.words);
                                },
                                false, keys},
                           Road{QStringLiteral("floor"), {},
                                [&] {
                                    // Every row, no grid: what the server needs
                                    // for the whole result.
                                    for (const customers::CustomerFilter &f : keystrokes)
                                        customers::searchCustomers(db, f);
                                },
                                false, keys}});
    }
    if (env.bench.wants(counted)) {
        // The whole work of a keystroke on one connection: the first
        // screenful and, when more rows follow, the count.
        env.bench.measure(counted, count,
                          {Road{QStringLiteral("velmor"), {},
                                [&] {
                                    customers::CustomerGridModel model;
                                    for (const customers::CustomerFilter &f : keystrokes) {
                                        model.search(db, f);
                                        if (!model.complete())
                                            customers::countCustomers(db, f);
                                    }
                                },
                                false, keys},
                           Road{QStringLiteral("floor"), {},
                                [&] {
                                    // The count alone.
                                    for (const customers::CustomerFilter &f : keystrokes)
                                        customers::countCustomers(db, f);
                                },
                                false, keys}});
    }

    QList<qint64> ids;
    QRandomGenerator r(env.bench.options().seed + 7);
    for (int i = 0; i < 50; ++i)
        ids << r.bounded(1, count + 1);
    auto pkSelect = [&] {
        for (qint64 id : ids)
            db::exec(db, QStringLiteral("SELECT * FROM Customer WHERE ID=?"), {id});
    };
    if (env.bench.wants(open)) {
        env.bench.measure(open, count,
                          {Road{QStringLiteral("velmor"), {},
                                [&] {
                                    for (qint64 id : ids)
                                        customers::loadCustomer(ctx, id);
                                },
                                false, int(ids.size())},
                           Road{QStringLiteral("literal"), {},
                                [&] {
                                    for (qint64 id : ids)
                                        literalLoad(db, id);
                                },
                                false, int(ids.size())},
                           Road{QStringLiteral("floor"), {}, pkSelect, false, int(ids.size())}});
    }
    if (env.bench.wants(step)) {
        const QList<qint64> few = ids.mid(0, 5);
        env.bench.measure(step, count,
                          {Road{QStringLiteral("velmor"), {},
                                [&] {
                                    for (qint64 id : ids) {
                                        customers::nextCustomer(db, id);
                                        customers::previousCustomer(db, id);
                                    }
                                },
                                false, int(ids.size()) * 2},
                           Road{QStringLiteral("literal"), {},
                                [&] {
                                    for (qint64 id : few) {
                                        customers::stepCustomerLiteral(db, id, true);
                                        customers::stepCustomerLiteral(db, id, false);
                                    }
                                },
                                true, int(few.size()) * 2},
                           Road{QStringLiteral("floor"), {}, pkSelect, false, int(ids.size())}});
    }
    if (!env.bench.options().keep)
        env.server.drop(name);
}

} // namespace velmor::bench
