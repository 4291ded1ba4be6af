// The customer row: loading, the save (questions, columns, billed account,
// billing accounts), browsing by name, reps, the memo sheet and the overdue
// check.
#include "CustomerTestEnv.h"
#include "customers/CustomerRecord.h"
#include "customers/CustomerSearch.h"
#include "customers/OverDue.h"
#include "customers/Reps.h"
#include "db/Row.h"

#include <QtTest>

using namespace velmor;
using namespace velmor::customers;
using velmor::test::CustomerEnv;
using velmor::test::PromptEvent;

class TestCustomerRecord : public QObject {
    Q_OBJECT
private slots:
    void loadShowsTheBilledAccount();
    void untouchedSaveKeepsTheRow();
    void addWritesEveryColumn();
    void namesakeQuestion_data();
    void namesakeQuestion();
    void apostropheKeptInTheName();
    void textsTheColumnsCannotHold_data();
    void textsTheColumnsCannotHold();
    void repQuestion();
    void editChangesTheBilledAccountsLimit();
    void saveIsOneTransaction();
    void browseByName();
    void newMemoSheet();
    void reps();
    void overdue();
    void overdueSwitchedOff();
    void paidInstalmentsAreNotOverdue();
};

void TestCustomerRecord::loadShowsTheBilledAccount()
{
    CustomerEnv e;
    const qint64 bill = e.customer("Head Office");
    db::exec(e.t.db(), "UPDATE Customer SET CreditLimit=10000 WHERE ID=?", {bill});
    const qint64 id = e.fullCustomer(bill);
    db::exec(e.t.db(), "INSERT INTO expectedpays (InvoiceToID, Balance) VALUES (?, 100.25), (?, 50), (?, 999)",
             {bill, bill, id});
    const LoadedCustomer c = loadCustomer(e.ctx, id);
    QVERIFY(c.found);
    QCOMPARE(c.creditLimit, QString("10000"));
    QCOMPARE(c.creditUsed, QString("150.25"));
    QCOMPARE(c.invoiceToName, QString("Head Office"));
    QCOMPARE(c.repName, QString()); // rep 99 does not exist
    QCOMPARE(c.form.value("NotePad").toString(), QString("first line\r\nsecond line"));
    QCOMPARE(c.form.value("PriceClass").toInt(), 0); // class 7 shows as the first entry
    QCOMPARE(c.form.value("CompanyName").toString(), QString("O'Hara & Sons"));
    QCOMPARE(c.form.value("Customer").toBool(), true); // stored as 1 by the other program
    QCOMPARE(c.form.value("InvoiceType").toBool(), false);
    QVERIFY(!loadCustomer(e.ctx, 4711).found);
}

void TestCustomerRecord::untouchedSaveKeepsTheRow()
{
    CustomerEnv e;
    const qint64 bill = e.customer("Head Office");
    db::exec(e.t.db(), "UPDATE Customer SET CreditLimit=10000 WHERE ID=?", {bill});
    const qint64 id = e.fullCustomer(bill);
    const QList<QVariantList> before = e.table("Customer");
    const LoadedCustomer c = loadCustomer(e.ctx, id);
    const SaveResult r = saveCustomer(e.ctx, false, id, c.form, c.form);
    QCOMPARE(r.outcome, SaveOutcome::Saved);
    QCOMPARE(e.table("Customer"), before);
}

void TestCustomerRecord::addWritesEveryColumn()
{
    CustomerEnv e;
    e.ctx.settings.DefaultCreditLimit = 5000;
    e.ctx.settings.DefaultDiscount = 3;
    e.ctx.settings.TagMarkup = 2.2;
    const qint64 rep = e.rep("North");
    const qint64 other = e.customer("Billing Without Account");
    db::exec(e.t.db(), "UPDATE Customer SET InvoiceToID=NULL WHERE ID=?", {other});

    CustomerForm f = newCustomerForm(e.ctx, false);
    QCOMPARE(f.value("CreditLimit").toString(), QString("5000"));
    QCOMPARE(f.value("DefaultDiscount").toString(), QString("3"));
    QCOMPARE(f.value("Customer").toBool(), true);
    f["CompanyName"] = "Kim's Fine Jewellery";
    f["CompanyCity"] = "Vancouver";
    f["NotePad"] = "Ring size 7\r\nPrefers ovals";
    f["RepID"] = rep;
    f["Terms"] = "30/60";
    f["PriceClass"] = 2;
    f["Commission"] = false;
    f["CommissionRate"] = "4";
    f["ShippingCharge"] = "";
    f["InvoiceType"] = true;
    f["TagMarkup"] = "0";
    f["_tax2"] = true;
    const SaveResult r = saveCustomer(e.ctx, true, 0, {}, f);
    QCOMPARE(r.outcome, SaveOutcome::Saved);
    QVERIFY(r.id > other);
    QSqlQuery q = db::exec(e.t.db(), "SELECT * FROM Customer WHERE ID=?", {r.id});
    QVERIFY(q.next());
    const db::Row row(q);
    QCOMPARE(row.text("CompanyName"), QString::fromUtf8("Kim\u2019s Fine Jewellery"));
    QCOMPARE(row.integer("InvoiceToID"), r.id); // "same" bills itself
    QCOMPARE(row.integer("RepID"), rep);
    QCOMPARE(row.text("Terms"), QString("30/60"));
    QCOMPARE(row.integer("PriceClass"), 3);
    QCOMPARE(row.integer("Customer"), -1);
    QCOMPARE(row.integer("Supplier"), 0);
    QCOMPARE(row.integer("_tax2"), -1);
    QVERIFY(row.isNull("CommissionRate")); // no commission: no rate
    QVERIFY(row.isNull("ShippingCharge"));
    QVERIFY(row.isNull("CompanyStreet1"));
    QCOMPARE(row.text("InvoiceType"), QString("M"));
    QCOMPARE(row.num("TagMarkup"), 2.2); // 0 takes the configured markup
    QCOMPARE(row.num("CreditLimit"), 5000.0);
    QCOMPARE(row.text("PhoneName2"), QString("Phone 2"));
    QByteArray note("Ring size 7");
    note.append(char(218));
    note.append("Prefers ovals");
    QCOMPARE(row.raw("NotePad").toByteArray(), note);
    // Every customer bills somebody after a save, the one without an account too.
    QCOMPARE(e.value("SELECT InvoiceToID FROM Customer WHERE ID=?", {other}).toLongLong(), other);
    QVERIFY(r.addressBlock.startsWith(QString::fromUtf8("Kim\u2019s Fine Jewellery\r\n")));
    QVERIFY(r.addressBlock.contains("Vancouver\r\n"));

    // A supplier: the role flags swap.
    CustomerForm s = newCustomerForm(e.ctx, true);
    s["CompanyName"] = "Antwerp Rough";
    QCOMPARE(saveCustomer(e.ctx, true, 0, {}, s).outcome, SaveOutcome::Saved);
    QCOMPARE(e.count("SELECT COUNT(*) FROM Customer WHERE CompanyName='Antwerp Rough' AND Supplier=-1 AND Customer=0"), 1);
}

void TestCustomerRecord::namesakeQuestion_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("asked");
    QTest::newRow("case only") << "Lumen Jewellers" << "LUMEN jewellers" << true;
    QTest::newRow("apostrophe typed, stored without") << "ONeil Gems" << "O'Neil Gems" << true;
    QTest::newRow("apostrophe stored by the other program") << "O'Neil Gems" << "O'Neil Gems" << true;
    QTest::newRow("typographic apostrophe stored") << QString::fromUtf8("O\u2019Neil Gems") << "O'Neil Gems" << true;
    QTest::newRow("underscore is no wildcard") << "ABC Trading" << "A_C Trading" << false;
    QTest::newRow("percent is no wildcard") << "100 Carat Club" << "100% Carat Club" << false;
    QTest::newRow("a part is no namesake") << "Lumen Jewellers Ltd" << "Lumen Jewellers" << false;
}

void TestCustomerRecord::namesakeQuestion()
{
    QFETCH(QString, stored);
    QFETCH(QString, typed);
    QFETCH(bool, asked);
    CustomerEnv e;
    e.customer(stored);
    CustomerForm f = newCustomerForm(e.ctx, false);
    f["CompanyName"] = typed;
    e.prompt.answer(false);
    const SaveResult no = saveCustomer(e.ctx, true, 0, {}, f);
    if (!asked) {
        QCOMPARE(no.outcome, SaveOutcome::Saved);
        QVERIFY(e.prompt.messages().isEmpty());
        return;
    }
    QCOMPARE(no.outcome, SaveOutcome::NamesakeRefused);
    QCOMPARE(e.prompt.messages(),
             QStringList{"similar Name found: Velmor found a existing Supplier or Customer with the Name '" + stored
                         + "' in the Database, do you want to continue adding this new Supplier or Customer?"});
    QCOMPARE(e.count("SELECT COUNT(*) FROM Customer"), 1);
    e.prompt.clear();
    e.prompt.answer(true);
    QCOMPARE(saveCustomer(e.ctx, true, 0, {}, f).outcome, SaveOutcome::Saved);
    QCOMPARE(e.count("SELECT COUNT(*) FROM Customer"), 2);
}

// A legal name keeps its apostrophe: stored, shown and found as the
// typographic one, whichever of the two is typed in a search.
void TestCustomerRecord::apostropheKeptInTheName()
{
    CustomerEnv e;
    const QString typed = QString::fromUtf8("O'Brien Joaillerie \u00c9mile");
    const QString kept = QString::fromUtf8("O\u2019Brien Joaillerie \u00c9mile");
    CustomerForm f = newCustomerForm(e.ctx, false);
    f["CompanyName"] = typed;
    const SaveResult r = saveCustomer(e.ctx, true, 0, {}, f);
    QCOMPARE(r.outcome, SaveOutcome::Saved);
    QCOMPARE(e.value("SELECT CompanyName FROM Customer WHERE ID=?", {r.id}).toString(), kept);
    QCOMPARE(loadCustomer(e.ctx, r.id).form.value("CompanyName").toString(), kept);
    QVERIFY(r.addressBlock.startsWith(kept));
    e.customer("Obrist Gems"); // no apostrophe: not found by either spelling
    for (const QString &words : {QStringLiteral("o'brien"), QString::fromUtf8("O\u2019BRIEN"),
                                 QStringLiteral("o'brien joaillerie")}) {
        CustomerFilter filter;
        filter.words = words;
        const CustomerGrid g = searchCustomers(e.t.db(), filter);
        QCOMPARE(g.rows.size(), 1);
        QCOMPARE(g.rows.first().first(), kept);
    }
    // Saved untouched, the name stays as it was stored (also one of an older
    // save, without its apostrophe).
    const qint64 older = e.customer("OBrien Trading");
    const LoadedCustomer l = loadCustomer(e.ctx, older);
    QCOMPARE(saveCustomer(e.ctx, false, older, l.form, l.form).outcome, SaveOutcome::Saved);
    QCOMPARE(e.value("SELECT CompanyName FROM Customer WHERE ID=?", {older}).toString(), QString("OBrien Trading"));
}

// What a column cannot hold as typed is refused naming the field (and the
// characters or the length), with nothing written, on the customer and the
// rep screen; what it can hold is stored exactly.
void TestCustomerRecord::textsTheColumnsCannotHold_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message"); // empty: stored as typed
    QTest::newRow("note with a line break and accents")
        << "NotePad" << QString::fromUtf8("Caf\u00e9 \u00e9t\u00e9\nZ\u00fcrich") << "";
    QTest::newRow("note with an U acute")
        << "NotePad" << QString::fromUtf8("Mr \u00dasz")
        << QString::fromUtf8("Update: The Note pad holds characters that cannot be stored: \"\u00da\".\n\nPlease replace them.");
    QTest::newRow("note with a Polish L and a telephone")
        << "NotePad" << QString::fromUtf8("\u0141\u00f3d\u017a \u260e 555")
        << QString::fromUtf8("Update: The Note pad holds characters that cannot be stored: \"\u0141\", \"\u017a\", "
                             "\"\u260e\".\n\nPlease replace them.");
    QTest::newRow("phone of 63 characters") << "PhoneNumber1" << QString(63, QLatin1Char('5'))
                                            << "Update: The Phone 1 is too long: 63 characters where at most 50 can "
                                               "be stored.\n\nPlease shorten it.";
    QTest::newRow("phone of 50 characters") << "PhoneNumber1" << QString(50, QLatin1Char('5')) << "";
    QTest::newRow("contact too long") << "ContactName2" << QString(51, QLatin1Char('x'))
                                      << "Update: The Contact 2 is too long: 51 characters where at most 50 can be "
                                         "stored.\n\nPlease shorten it.";
    QTest::newRow("rep phone too long") << "rep:Phone1" << QString(63, QLatin1Char('5'))
                                        << "The Phone 1 is too long: 63 characters where at most 50 can be stored."
                                           "\n\nPlease shorten it.";
}

void TestCustomerRecord::textsTheColumnsCannotHold()
{
    QFETCH(QString, column);
    QFETCH(QString, text);
    QFETCH(QString, message);
    CustomerEnv e;
    if (column.startsWith("rep:")) {
        const QString c = column.mid(4);
        RepForm blank;
        for (const QString &col : repColumns())
            blank.insert(col, QString());
        RepForm f = blank;
        f["CompanyName"] = "Long Agents";
        f[c] = text;
        const RepSaveResult r = saveRep(e.t.db(), 0, blank, f);
        QCOMPARE(r.ok, message.isEmpty());
        QCOMPARE(r.refusal, message);
        QCOMPARE(e.count("SELECT COUNT(*) FROM Rep"), message.isEmpty() ? 1 : 0);
        return;
    }
    const qint64 id = e.customer("Long Names Ltd");
    const LoadedCustomer l = loadCustomer(e.ctx, id);
    const QVariantList before = e.row("Customer", id);
    CustomerForm f = l.form;
    f[column] = text;
    const SaveResult r = saveCustomer(e.ctx, false, id, l.form, f);
    if (message.isEmpty()) {
        QCOMPARE(r.outcome, SaveOutcome::Saved);
        QCOMPARE(loadCustomer(e.ctx, id).form.value(column).toString(), QString(text).replace("\n", "\r\n"));
        return;
    }
    QCOMPARE(r.outcome, SaveOutcome::Refused);
    QCOMPARE(e.prompt.messages(), QStringList{message});
    QCOMPARE(e.row("Customer", id), before);
}

void TestCustomerRecord::repQuestion()
{
    CustomerEnv e;
    e.ctx.settings.ForceRepEntry = true;
    const qint64 id = e.customer("Rep Less");
    LoadedCustomer c = loadCustomer(e.ctx, id);
    CustomerForm f = c.form;
    f["CompanyCity"] = "Calgary";
    e.prompt.answer(false);
    QCOMPARE(saveCustomer(e.ctx, false, id, c.form, f).outcome, SaveOutcome::NoRep);
    QCOMPARE(e.prompt.messages(), QStringList{"Update: You did not define a Rep for this Customer. Is this correct?"});
    QVERIFY(e.value("SELECT CompanyCity FROM Customer WHERE ID=?", {id}).isNull());
    e.prompt.clear();
    e.prompt.answer(true);
    QCOMPARE(saveCustomer(e.ctx, false, id, c.form, f).outcome, SaveOutcome::Saved);
    QCOMPARE(e.value("SELECT CompanyCity FROM Customer WHERE ID=?", {id}).toString(), QString("Calgary"));
    // With a rep nothing is asked.
    e.prompt.clear();
    f["RepID"] = e.rep("West");
    QCOMPARE(saveCustomer(e.ctx, false, id, c.form, f).outcome, SaveOutcome::Saved);
    QVERIFY(e.prompt.messages().isEmpty());
}

void TestCustomerRecord::editChangesTheBilledAccountsLimit()
{
    CustomerEnv e;
    const qint64 bill = e.customer("Head Office");
    db::exec(e.t.db(), "UPDATE Customer SET CreditLimit=10000 WHERE ID=?", {bill});
    const qint64 branch = e.customer("Branch");
    db::exec(e.t.db(), "UPDATE Customer SET InvoiceToID=?, CreditLimit=1 WHERE ID=?", {bill, branch});
    const LoadedCustomer c = loadCustomer(e.ctx, branch);
    QCOMPARE(c.form.value("CreditLimit").toString(), QString("10000"));
    CustomerForm f = c.form;
    f["CreditLimit"] = "25000";
    QCOMPARE(saveCustomer(e.ctx, false, branch, c.form, f).outcome, SaveOutcome::Saved);
    QCOMPARE(e.value("SELECT CreditLimit FROM Customer WHERE ID=?", {bill}).toDouble(), 25000.0);
    QCOMPARE(e.value("SELECT CreditLimit FROM Customer WHERE ID=?", {branch}).toDouble(), 25000.0);
    QCOMPARE(e.value("SELECT InvoiceToID FROM Customer WHERE ID=?", {branch}).toLongLong(), bill);
}

void TestCustomerRecord::saveIsOneTransaction()
{
    // A billed account that cannot take the limit (its row is locked by
    // another workstation past the wait) leaves the customer's own change out too.
    CustomerEnv e;
    const qint64 bill = e.customer("Head Office");
    const qint64 branch = e.customer("Branch");
    db::exec(e.t.db(), "UPDATE Customer SET InvoiceToID=? WHERE ID=?", {bill, branch});
    const LoadedCustomer c = loadCustomer(e.ctx, branch);
    CustomerForm f = c.form;
    f["CompanyCity"] = "Ottawa";
    f["CreditLimit"] = "777";
    QSqlDatabase other = e.t.secondConnection();
    db::exec(other, "SET autocommit=0");
    db::exec(other, "SELECT * FROM Customer WHERE ID=? FOR UPDATE", {bill});
    db::exec(e.t.db(), "SET SESSION innodb_lock_wait_timeout=1");
    const SaveResult r = saveCustomer(e.ctx, false, branch, c.form, f);
    db::exec(other, "ROLLBACK");
    QCOMPARE(r.outcome, SaveOutcome::Failed);
    QVERIFY(e.value("SELECT CompanyCity FROM Customer WHERE ID=?", {branch}).isNull());
}

void TestCustomerRecord::browseByName()
{
    CustomerEnv e;
    const qint64 gamma = e.customer("Gamma");
    const qint64 beta1 = e.customer("Beta");
    const qint64 alpha = e.customer("alpha");
    const qint64 beta2 = e.customer("BETA"); // a namesake by case
    const qint64 beta3 = e.customer("Beta");
    const qint64 none = e.customer(QString());
    const QList<qint64> order = {none, alpha, beta1, beta2, beta3, gamma};
    for (int i = 0; i < order.size(); ++i) {
        QCOMPARE(nextCustomer(e.t.db(), order[i]), order[qMin(i + 1, int(order.size()) - 1)]);
        QCOMPARE(previousCustomer(e.t.db(), order[i]), order[qMax(i - 1, 0)]);
    }
    QCOMPARE(nextCustomer(e.t.db(), 9999), 0);
    // Where names are unique the literal walk agrees.
    QCOMPARE(stepCustomerLiteral(e.t.db(), alpha, false), none);
    QCOMPARE(stepCustomerLiteral(e.t.db(), gamma, true), gamma);
}

void TestCustomerRecord::newMemoSheet()
{
    CustomerEnv e;
    const qint64 c = e.customer("Memo Buyer");
    db::exec(e.t.db(), "INSERT INTO MemoSheet (CustomerID) VALUES (?), (?)", {c, c});
    // Another workstation's sheet made after ours must not be taken for ours.
    const qint64 id = createMemoSheet(e.ctx, c);
    QVERIFY(id > 0);
    QCOMPARE(e.value("SELECT CustomerID FROM MemoSheet WHERE ID=?", {id}).toLongLong(), c);
    QVERIFY(e.value("SELECT Date FROM MemoSheet WHERE ID=?", {id}).toDateTime().isValid());
    QCOMPARE(e.ctx.screens().currentMemoSheet(), id);
    QCOMPARE(e.prompt.texts(PromptEvent::Notice),
             QStringList{QString("A new Memo-Sheet \n#%1\n has been created for customer \nMemo Buyer").arg(id)});
    QCOMPARE(createMemoSheet(e.ctx, 0), 0);
}

void TestCustomerRecord::reps()
{
    CustomerEnv e;
    const QStringList cols = repColumns();
    RepForm blank;
    for (const QString &c : cols)
        blank.insert(c, QString());
    RepForm f = blank;
    f["CompanyName"] = "Northern Agents";
    f["City"] = "Montreal";
    f["Street1"] = "1 Rue O'Connell";
    const RepSaveResult added = saveRep(e.t.db(), 0, blank, f);
    QVERIFY(added.ok);
    QCOMPARE(added.id, e.value("SELECT MAX(ID) FROM Rep").toLongLong());
    QVERIFY(e.value("SELECT Street2 FROM Rep WHERE ID=?", {added.id}).isNull());
    bool found = false;
    RepForm loaded = loadRep(e.t.db(), added.id, &found);
    QVERIFY(found);
    QCOMPARE(loaded.value("Street2").toString(), QString());
    QCOMPARE(loaded.value("Street1").toString(), QString("1 Rue O'Connell"));
    QCOMPARE(repCities(e.t.db()), QStringList{"Montreal"});

    // Round trip: untouched, the row stays as it was (an empty text stays empty, not Null).
    db::exec(e.t.db(), "UPDATE Rep SET Fax='' WHERE ID=?", {added.id});
    const QVariantList before = e.row("Rep", added.id);
    loaded = loadRep(e.t.db(), added.id);
    QVERIFY(saveRep(e.t.db(), added.id, loaded, loaded).ok);
    QCOMPARE(e.row("Rep", added.id), before);
    // An emptied field becomes Null.
    RepForm edited = loaded;
    edited["City"] = "";
    QVERIFY(saveRep(e.t.db(), added.id, loaded, edited).ok);
    QVERIFY(e.value("SELECT City FROM Rep WHERE ID=?", {added.id}).isNull());
}

void TestCustomerRecord::overdue()
{
    CustomerEnv e;
    e.ctx.settings.OverDue = 10;
    const QDate today(2026, 12, 6);
    const QDate ref = today.addDays(-10);
    const qint64 buyer = e.customer("Late Payer");
    const qint64 auto_ = e.customer("Auto Discount");
    db::exec(e.t.db(), "UPDATE Customer SET AutoGrantDiscount=-1 WHERE ID=?", {auto_});
    db::exec(e.t.db(), "INSERT INTO account (ID, OverDue, DiscountIfPaidInTime) VALUES (1, NULL, 2.5), (2, 0, 3), (3, 0, 4)");
    auto instalment = [&](qint64 invoice, qint64 billTo, const QDate &due) {
        return db::insert(e.t.db(), "INSERT INTO expectedpays (InvoiceID, InvoiceToID, DueDate, Amount, Balance) "
                                    "VALUES (?, ?, ?, 100, 100)",
                          {invoice, billTo, due});
    };
    const qint64 onRef = instalment(1, buyer, ref);            // due on the reference day: not yet
    const qint64 late = instalment(2, buyer, ref.addDays(-1)); // one day past it
    const qint64 sibling = instalment(2, buyer, today.addDays(60));
    const qint64 spared = instalment(3, auto_, ref.addDays(-30));

    const OverDueReport r = CheckOverDueModule(e.ctx, today);
    QVERIFY(r.ran && r.ok);
    QCOMPARE(r.referenceDate, ref);
    QCOMPARE(r.instalments, 2);
    QCOMPARE(r.invoices, 1);
    auto overdue = [&](qint64 id) { return db::flagOf(e.value("SELECT OverDue FROM expectedpays WHERE ID=?", {id})); };
    QVERIFY(!overdue(onRef));
    QVERIFY(overdue(late));
    QVERIFY(overdue(sibling));
    QVERIFY(!overdue(spared));
    QCOMPARE(e.value("SELECT OverDue FROM account WHERE ID=2").toInt(), -1);
    QVERIFY(e.value("SELECT DiscountIfPaidInTime FROM account WHERE ID=2").isNull());
    QCOMPARE(e.value("SELECT DiscountIfPaidInTime FROM account WHERE ID=3").toDouble(), 4.0);
    QVERIFY(!db::flagOf(e.value("SELECT OverDue FROM account WHERE ID=1")));

    // A second run finds nothing new.
    const OverDueReport again = CheckOverDueModule(e.ctx, today);
    QCOMPARE(again.instalments, 0);
    QCOMPARE(again.invoices, 0);
    // The next day the instalment due on the old reference day is late too.
    QCOMPARE(CheckOverDueModule(e.ctx, today.addDays(1)).instalments, 1);
}

// An instalment paid in full (balance 0) long past its due day is not
// overdue, and its invoice keeps the discount for paying in time; one with a
// balance left is overdue, and then only the open ones of its invoice.
void TestCustomerRecord::paidInstalmentsAreNotOverdue()
{
    CustomerEnv e;
    e.ctx.settings.OverDue = 10;
    const QDate today(2026, 12, 6);
    const qint64 buyer = e.customer("Prompt Payer");
    db::exec(e.t.db(), "INSERT INTO account (ID, OverDue, DiscountIfPaidInTime) VALUES (1, 0, 2.5), (2, 0, 3)");
    auto instalment = [&](qint64 invoice, const QDate &due, const char *balance) {
        return db::insert(e.t.db(), "INSERT INTO expectedpays (InvoiceID, InvoiceToID, DueDate, Amount, Balance) "
                                    "VALUES (?, ?, ?, 100, ?)",
                          {invoice, buyer, due, QString::fromLatin1(balance)});
    };
    const qint64 paid = instalment(1, today.addDays(-90), "0");
    const qint64 paid2 = instalment(2, today.addDays(-90), "0.00");
    const qint64 owed = instalment(2, today.addDays(-60), "40");
    const qint64 laterPaid = instalment(2, today.addDays(30), "0");
    const OverDueReport r = CheckOverDueModule(e.ctx, today);
    QVERIFY(r.ran && r.ok);
    auto overdue = [&](qint64 id) { return db::flagOf(e.value("SELECT OverDue FROM expectedpays WHERE ID=?", {id})); };
    QVERIFY(!overdue(paid));
    QVERIFY(!overdue(paid2));
    QVERIFY(overdue(owed));
    QVERIFY(!overdue(laterPaid));
    QCOMPARE(r.instalments, 1);
    QCOMPARE(r.invoices, 1);
    QCOMPARE(e.value("SELECT DiscountIfPaidInTime FROM account WHERE ID=1").toDouble(), 2.5);
    QVERIFY(!db::flagOf(e.value("SELECT OverDue FROM account WHERE ID=1")));
}

void TestCustomerRecord::overdueSwitchedOff()
{
    CustomerEnv e;
    const qint64 buyer = e.customer("Late Payer");
    db::exec(e.t.db(), "INSERT INTO expectedpays (InvoiceID, InvoiceToID, DueDate) VALUES (1, ?, '2000-01-01')", {buyer});
    for (double grace : {0.0, -3.0}) {
        e.ctx.settings.OverDue = grace;
        const OverDueReport r = CheckOverDueModule(e.ctx);
        QVERIFY(!r.ran);
    }
    QCOMPARE(e.count("SELECT COUNT(*) FROM expectedpays WHERE OverDue<>0"), 0);
}

QTEST_GUILESS_MAIN(TestCustomerRecord)
#include "tst_customerrecord.moc"
