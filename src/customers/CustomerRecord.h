#pragma once
// One row of Customer as the customer screen shows and saves it: loading,
// the save with its two questions and its writes in one transaction, the
// billing-account pass, browsing by name, the combo lists, the address
// block for the stone screen and a new memo sheet for the customer.
//
// The form holds what the screen shows, one value per column (text and
// numbers as the text of their field, flags as bool, the price class as the
// combo index, rep and billing account as IDs).  A save compares the form
// with the form as it was loaded and writes only the columns the user
// changed, so a customer saved untouched keeps its row as it was (values the
// fields could not show, such as a stored apostrophe or a price class
// outside 1..4, stay as they are).
#include <QDate>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace velmor {
class AppContext;
}

namespace velmor::customers {

// How a column is shown in its field and written back.
enum class ColumnKind {
    Text,         // empty field: NULL
    Name,         // CompanyName: ' stored as the typographic apostrophe; empty: NULL
    Number,       // leading number of the text (an unparsable text is 0)
    NumberOrNull, // empty field: NULL, else the number
    Flag,         // bool; written -1 / 0
    Note,         // NotePad bytes, byte 218 for a line break
    InvoiceType,  // bool: "M" or NULL
    Terms,        // the text of the chosen option; empty keeps the column
    PriceClass,   // combo index 0..3 -> class 1..4; another index keeps the column
    Id,           // RepID, InvoiceToID
};

struct ColumnDef {
    QString name;
    ColumnKind kind;
};

// The columns of Customer the screen reads and writes, in the order of the save.
const QList<ColumnDef> &customerColumns();

// The terms the option buttons offer, in their order (opt30 .. opt306090120150180);
// "1", the terms of an edited customer without a choice, has no button.
const QStringList &termsOptions();

using CustomerForm = QVariantMap; // column name -> shown value

// What a stored value shows as in its field.
QVariant shownValue(ColumnKind kind, const QVariant &stored);
// What a shown value is written as.
QVariant storedValue(ColumnKind kind, const QVariant &shown);

struct LoadedCustomer {
    bool found = false;
    qint64 id = 0;
    CustomerForm form;
    QString repName;       // txtRep
    QString invoiceToName; // txtInvoiceTo
    QString creditUsed;    // txtCreditUsed, "0.00"
    QString creditLimit;   // the billed account's limit (txtCreditLimit)
};

// RefreshfrmCustomer: the row, the names of rep and billing account, credit
// used (balances of the billed account's instalments) and the billed
// account's credit limit.  `found` false when there is no such row.
LoadedCustomer loadCustomer(AppContext &ctx, qint64 id);

// The form of a new customer or supplier (cmdAddCustomer, cmdAddSupplier):
// the role ticked, default credit limit and discount of the settings.
CustomerForm newCustomerForm(AppContext &ctx, bool supplier);

QString creditUsedFor(const QSqlDatabase &db, qint64 invoiceToId);
// The credit limit of a customer as its field shows it ("" when none).
QString creditLimitOf(const QSqlDatabase &db, qint64 customerId);
QString repNameOf(const QSqlDatabase &db, qint64 repId);
QString customerNameOf(const QSqlDatabase &db, qint64 customerId);

enum class SaveOutcome {
    Saved,
    NoRep,          // the rep question was answered No; nothing written
    NamesakeRefused,// the namesake question was answered No; nothing written, the screen closes
    NotFound,       // the customer being edited is gone
    Refused,        // a field its column cannot hold (not a figure, too long, characters the note
                    // pad cannot keep); its message shown, nothing written
    Failed          // a database error; nothing written
};

struct SaveResult {
    SaveOutcome outcome = SaveOutcome::Failed;
    qint64 id = 0;           // the saved customer (the new row's own ID when adding)
    QString addressBlock;    // a new customer's address block for the stone screen
    QString error;
};

// cmdUpdateChanges.  `loaded` is the form as loadCustomer gave it (ignored
// when adding).  The customer row, the billed account's credit limit and
// the billing-account pass are one transaction.
SaveResult saveCustomer(AppContext &ctx, bool adding, qint64 id, const CustomerForm &loaded,
                        const CustomerForm &form);

// Every customer bills itself when it has no billing account (one statement).
int giveEveryCustomerABillingAccount(const QSqlDatabase &db);

// The address block of a new customer: name, street, city, contact, each
// on a line of its own when present, then "Phone: " and the first phone.
QString addressBlockOf(const QSqlDatabase &db, qint64 customerId);

// cmdNext / cmdPrevious: the neighbour in the order of (CompanyName, ID);
// the same ID on the last (first) customer; 0 when `id` is not a customer.
qint64 nextCustomer(const QSqlDatabase &db, qint64 id);
qint64 previousCustomer(const QSqlDatabase &db, qint64 id);
// The walk of the whole table ordered by name, kept for comparison.
qint64 stepCustomerLiteral(const QSqlDatabase &db, qint64 id, bool forward);

// Combo entries: "" then "Name   --- ID" of every rep; "same" then every
// customer; the distinct buying groups.
QStringList repEntries(const QSqlDatabase &db);
QStringList invoiceToEntries(const QSqlDatabase &db);
QStringList groupEntries(const QSqlDatabase &db);

// cmdNewMemoSheet: a memo sheet dated now for the customer, its ID from its
// own insert; it becomes the current memo sheet and the message window says
// so.  0 on failure or for no customer.
qint64 createMemoSheet(AppContext &ctx, qint64 customerId);

// The e-mail link the screens open: "mailto:" address "?Subject=" "&Body=".
QString mailtoLink(const QString &address);

} // namespace velmor::customers
