#include "shell/BooksCheck.h"

#include "payments/Ledger.h"

#include "db/Schema.h"
#include "db/SchemaTables.h"
#include "db/Sql.h"

#include <QFile>
#include <QSaveFile>
#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTextStream>

namespace velmor::books {

namespace {

// The memo journal's last line of each stone (the highest ID: the movements
// of one stone are written under its row lock, so their IDs follow their
// order).
const QString kLastJournalLine = QStringLiteral(
    "(SELECT j.DiamondID, j.MemoSheetID, j.CustomerID, j.Quantity, j.setdate FROM Memo j "
    "JOIN (SELECT DiamondID, MAX(ID) AS lastId FROM Memo WHERE DiamondID > 0 GROUP BY DiamondID) x "
    "ON j.ID = x.lastId)");

// A stone that is out on memo: the status word as the program writes it
// (a plain comparison, so that the status index serves it).
const QString kOnMemo = QStringLiteral("s.Status = 'Memo'");
// Live stones: still the dealer's (not sold, not returned to the vendor,
// not marked for deletion).
const QString kLive = QStringLiteral("IFNULL(s.Status,'') NOT IN ('Sold','returned','DEL')");

// The sold stones with what their invoice line (the last one) asks and what
// was received, in the currency each is priced in (the receivables' table).
QString soldAccounts() { return payments::soldAccountsSql(); }
// A stone bought in the local currency (its cost and payments made are in it).
const QString kBoughtLocal =
    QStringLiteral("(IFNULL(s.BuyingInUS, 0) = 0 AND IFNULL(s.BuyingInLocal, 0) <> 0)");
// The rows of a payments table (%1) that are below 0 without naming the
// payment they reverse, or name one that is missing, of another stone, line
// (%2: the condition that the two rows name the same one) or party, or not
// of the opposite amounts.
const QString kReversalCheck = QStringLiteral(
    "SELECT '%1', r.ID, IFNULL(r.StoneID, ''), IFNULL(r.ReversesID, ''), CASE WHEN r.ReversesID IS NULL THEN "
    "'below 0, reverses no payment' WHEN o.ID IS NULL THEN 'names no payment' WHEN NOT (o.StoneID <=> r.StoneID "
    "AND %2 AND o.CustomerID <=> r.CustomerID) THEN 'another stone, line or party' ELSE 'not the opposite amounts' "
    "END FROM %1 r LEFT JOIN %1 o ON o.ID = r.ReversesID WHERE (r.ReversesID IS NULL AND (r.PaymentUS < 0 OR "
    "r.PaymentLocal < 0)) OR (r.ReversesID IS NOT NULL AND (o.ID IS NULL OR NOT (o.StoneID <=> r.StoneID AND %2 AND "
    "o.CustomerID <=> r.CustomerID) OR NOT (IFNULL(o.PaymentUS, 0) = -IFNULL(r.PaymentUS, 0) AND "
    "IFNULL(o.PaymentLocal, 0) = -IFNULL(r.PaymentLocal, 0))))");

struct RuleQuery {
    Rule rule;
    QStringList columns;
    QString sql; // empty: computed in code
};

QString lastLineText()
{
    return QStringLiteral("IF(L.DiamondID IS NULL, 'none', CONCAT(IF(L.Quantity > 0, 'out on ', 'back from '), "
                          "IFNULL(L.MemoSheetID, '?')))");
}

const QList<RuleQuery> &queries()
{
    static const QList<RuleQuery> q = {
        {{QStringLiteral("memo-stone-sheet"), QStringLiteral("Stone on memo without its memo sheet"),
          QStringLiteral("A stone whose status is \"Memo\" names the memo sheet it is on, and that sheet exists.")},
         {QStringLiteral("Stone"), QStringLiteral("SKU"), QStringLiteral("Memo sheet")},
         QStringLiteral("SELECT s.ID, s.SKU, IFNULL(s.MemoSheetID, '') FROM SingleStone s LEFT JOIN memosheet m ON "
                        "m.ID = s.MemoSheetID WHERE ")
             + kOnMemo + QStringLiteral(" AND m.ID IS NULL ORDER BY s.ID")},
        {{QStringLiteral("memo-stone-customer"), QStringLiteral("Stone on memo with another customer than its sheet"),
          QStringLiteral("A stone on memo is with the customer of its memo sheet.")},
         {QStringLiteral("Stone"), QStringLiteral("SKU"), QStringLiteral("Memo sheet"), QStringLiteral("Stone's customer"),
          QStringLiteral("Sheet's customer")},
         QStringLiteral("SELECT s.ID, s.SKU, s.MemoSheetID, IFNULL(s.CustomerID, ''), IFNULL(m.CustomerID, '') FROM "
                        "SingleStone s JOIN memosheet m ON m.ID = s.MemoSheetID WHERE ")
             + kOnMemo + QStringLiteral(" AND NOT (s.CustomerID <=> m.CustomerID) ORDER BY s.ID")},
        {{QStringLiteral("memo-stone-closed-sheet"), QStringLiteral("Stone on memo on a closed memo sheet"),
          QStringLiteral("A memo sheet is closed only once no stone is left on it."), Severity::Warning},
         {QStringLiteral("Stone"), QStringLiteral("SKU"), QStringLiteral("Memo sheet")},
         QStringLiteral("SELECT s.ID, s.SKU, s.MemoSheetID FROM SingleStone s JOIN memosheet m ON m.ID = s.MemoSheetID "
                        "WHERE ")
             + kOnMemo + QStringLiteral(" AND IFNULL(m.closed, 0) <> 0 ORDER BY s.ID")},
        {{QStringLiteral("memo-stone-journal"), QStringLiteral("Stone on memo that the memo journal does not send out"),
          QStringLiteral("The last line of a memo stone's journal (Memo) sends it out on the sheet it is on.")},
         {QStringLiteral("Stone"), QStringLiteral("SKU"), QStringLiteral("Memo sheet"),
          QStringLiteral("Last journal line")},
         QStringLiteral("SELECT s.ID, s.SKU, IFNULL(s.MemoSheetID, ''), ") + lastLineText()
             + QStringLiteral(" FROM SingleStone s LEFT JOIN ") + kLastJournalLine
             + QStringLiteral(" L ON L.DiamondID = s.ID WHERE ") + kOnMemo
             + QStringLiteral(" AND (L.DiamondID IS NULL OR L.Quantity <> 1 OR NOT (L.MemoSheetID <=> s.MemoSheetID)) "
                              "ORDER BY s.ID")},
        {{QStringLiteral("memo-journal-open"),
          QStringLiteral("Memo journal sends a stone out, but it is neither on that sheet nor sold"),
          QStringLiteral("A stone that the memo journal last sent out on a sheet is on memo on that sheet, or was sold "
                         "to the sheet's customer since (an invoice line).")},
         {QStringLiteral("Stone"), QStringLiteral("SKU"), QStringLiteral("Status"), QStringLiteral("Sent out on sheet"),
          QStringLiteral("On")},
         QStringLiteral("SELECT L.DiamondID, IFNULL(s.SKU, '(no such stone)'), IFNULL(s.Status, ''), L.MemoSheetID, "
                        "L.setdate FROM ")
             + kLastJournalLine
             + QStringLiteral(" L LEFT JOIN SingleStone s ON s.ID = L.DiamondID WHERE L.Quantity > 0 AND NOT "
                              "(IFNULL(s.Status, '') = 'Memo' AND s.MemoSheetID <=> L.MemoSheetID) AND NOT EXISTS "
                              "(SELECT 1 FROM invoicelist il JOIN invoice i ON i.ID = il.invoiceid WHERE "
                              "il.diamondid = L.DiamondID AND i.customerid <=> L.CustomerID AND il.dateadded >= "
                              "L.setdate) ORDER BY L.DiamondID")},
        {{QStringLiteral("stone-sheet-pointer"), QStringLiteral("Stone not on memo that still names a memo sheet"),
          QStringLiteral("Only a stone on memo names a memo sheet (MemoSheetID); a returned or sold stone names none.")},
         {QStringLiteral("Stone"), QStringLiteral("SKU"), QStringLiteral("Status"), QStringLiteral("Memo sheet")},
         QStringLiteral("SELECT s.ID, s.SKU, IFNULL(s.Status, ''), s.MemoSheetID FROM SingleStone s WHERE "
                        "s.MemoSheetID <> 0 AND NOT (s.Status <=> 'Memo') ORDER BY s.ID")},
        {{QStringLiteral("sold-stone-invoice"), QStringLiteral("Sold stone without an invoice line"),
          QStringLiteral("A sold stone is on a line of an invoice of the customer it was sold to.")},
         {QStringLiteral("Stone"), QStringLiteral("SKU"), QStringLiteral("Customer"), QStringLiteral("Sold on")},
         QStringLiteral("SELECT s.ID, s.SKU, IFNULL(s.CustomerID, ''), IFNULL(s.DateStatusChange, '') FROM SingleStone s "
                        "WHERE s.Status = 'Sold' AND NOT EXISTS (SELECT 1 FROM invoicelist il JOIN invoice i ON "
                        "i.ID = il.invoiceid WHERE il.diamondid = s.ID AND i.customerid <=> s.CustomerID "
                        "AND il.returned IS NULL) ORDER BY s.ID")},
        {{QStringLiteral("stone-sold-twice"), QStringLiteral("Stone on two invoice lines without a return between them"),
          QStringLiteral("A stone is on a second invoice line only after the sale of the first was returned into "
                         "stock (a return recorded on that line before the second sale).")},
         {QStringLiteral("Stone"), QStringLiteral("SKU"), QStringLiteral("First line (invoice)"),
          QStringLiteral("Later line (invoice)")},
         QStringLiteral("SELECT a.diamondid, IFNULL(s.SKU, ''), CONCAT(a.ID, ' (#', IFNULL(a.invoiceid, '?'), ')'), "
                        "CONCAT(b.ID, ' (#', IFNULL(b.invoiceid, '?'), ')') FROM invoicelist a JOIN invoicelist b ON "
                        "b.diamondid = a.diamondid AND b.ID > a.ID LEFT JOIN SingleStone s ON s.ID = a.diamondid "
                        "WHERE a.diamondid <> 0 AND NOT (a.returned IS NOT NULL AND a.returned <= b.dateadded) "
                        "ORDER BY a.diamondid, a.ID, b.ID")},
        {{QStringLiteral("returned-stone-memo"), QStringLiteral("Stone returned to its vendor but still on memo"),
          QStringLiteral("A stone returned to its vendor is on no memo sheet, and the memo journal does not leave it "
                         "out on an open sheet.")},
         {QStringLiteral("Stone"), QStringLiteral("SKU"), QStringLiteral("Memo sheet")},
         QStringLiteral("SELECT s.ID, s.SKU, IF(IFNULL(s.MemoSheetID, 0) <> 0, s.MemoSheetID, L.MemoSheetID) FROM "
                        "SingleStone s LEFT JOIN ")
             + kLastJournalLine
             + QStringLiteral(" L ON L.DiamondID = s.ID LEFT JOIN memosheet m ON m.ID = L.MemoSheetID WHERE s.Status "
                              "= 'returned' AND (IFNULL(s.MemoSheetID, 0) <> 0 OR (L.Quantity > 0 AND "
                              "IFNULL(m.closed, 0) = 0)) ORDER BY s.ID")},
        {{QStringLiteral("parcel-balance"), QStringLiteral("Parcel carats that do not add up"),
          QStringLiteral("For each parcel: on hand + on memo = received - sold - split off, to 0.00001 ct (received "
                         "and split as its journal parceladd holds them, memo and sold as its parcel memo lines do).")},
         {QStringLiteral("Parcel"), QStringLiteral("SKU"), QStringLiteral("On hand"), QStringLiteral("On memo"),
          QStringLiteral("Journal (received, split)"), QStringLiteral("Sold"), QStringLiteral("Difference")},
         QStringLiteral(
             "SELECT p.ID, p.SKU, CAST(IFNULL(p.Carat, 0) AS CHAR), CAST(IFNULL(ml.onMemo, 0) AS CHAR), "
             "CAST(IFNULL(j.journal, 0) AS CHAR), CAST(IFNULL(ml.sold, 0) AS CHAR), "
             "CAST(IFNULL(p.Carat, 0) + IFNULL(ml.onMemo, 0) - IFNULL(j.journal, 0) + IFNULL(ml.sold, 0) AS CHAR) "
             "FROM parcel p "
             "LEFT JOIN (SELECT parcelid, SUM(carat) AS onMemo, -SUM(IF(action = 'sell', carat, 0)) AS sold "
             "FROM memoparcellist GROUP BY parcelid) ml ON ml.parcelid = p.ID "
             "LEFT JOIN (SELECT parcelid, SUM(Carat) AS journal FROM parceladd GROUP BY parcelid) j ON j.parcelid = p.ID "
             "WHERE ABS(IFNULL(p.Carat, 0) + IFNULL(ml.onMemo, 0) - IFNULL(j.journal, 0) + IFNULL(ml.sold, 0)) "
             ">= 0.00001 ORDER BY p.ID")},
        {{QStringLiteral("parcel-below-zero"), QStringLiteral("Parcel carats below zero"),
          QStringLiteral("No parcel memo has less than 0 ct of a parcel out, and no parcel less than 0 ct on hand.")},
         {QStringLiteral("Where"), QStringLiteral("Parcel memo"), QStringLiteral("Parcel"), QStringLiteral("SKU"),
          QStringLiteral("Carats")},
         QStringLiteral("SELECT 'on memo', l.memoparcelid, l.parcelid, IFNULL(p.SKU, ''), CAST(SUM(l.carat) AS CHAR) "
                        "FROM memoparcellist l LEFT JOIN parcel p ON p.ID = l.parcelid GROUP BY l.memoparcelid, "
                        "l.parcelid, p.SKU HAVING SUM(l.carat) < 0 "
                        "UNION ALL SELECT 'on hand', '', p.ID, p.SKU, CAST(p.Carat AS CHAR) FROM parcel p WHERE "
                        "p.Carat < 0")},
        {{QStringLiteral("parcel-sold-invoiced"), QStringLiteral("Parcel carats sold but not invoiced (or the reverse)"),
          QStringLiteral("The carats a parcel's memo lines sell are the carats of its invoice lines.")},
         {QStringLiteral("Parcel"), QStringLiteral("SKU"), QStringLiteral("Sold on memos"),
          QStringLiteral("On invoice lines")},
         QStringLiteral("SELECT x.parcelid, IFNULL(p.SKU, ''), CAST(SUM(x.sold) AS CHAR), CAST(SUM(x.invoiced) AS CHAR) "
                        "FROM (SELECT parcelid, -carat AS sold, 0 AS invoiced FROM memoparcellist WHERE action = 'sell' "
                        "UNION ALL SELECT parcelid, 0, IFNULL(carat, 0) FROM invoicelist WHERE IFNULL(parcelid, 0) <> 0 "
                        "AND IFNULL(diamondid, 0) = 0) x LEFT JOIN parcel p ON p.ID = x.parcelid "
                        "GROUP BY x.parcelid, p.SKU HAVING SUM(x.sold) <> SUM(x.invoiced) ORDER BY x.parcelid")},
        {{QStringLiteral("open-invoices"), QStringLiteral("Customer with more than one open invoice"),
          QStringLiteral("A customer has at most one open invoice (sales go to the newest; Velmor never opens a "
                         "second)."),
          Severity::Warning},
         {QStringLiteral("Customer"), QStringLiteral("Company"), QStringLiteral("Open invoices")},
         QStringLiteral("SELECT i.customerid, IFNULL(c.CompanyName, ''), GROUP_CONCAT(i.ID ORDER BY i.ID SEPARATOR ' ') "
                        "FROM invoice i LEFT JOIN Customer c ON c.ID = i.customerid WHERE i.status = 'open' "
                        "GROUP BY i.customerid, c.CompanyName HAVING COUNT(*) > 1 ORDER BY i.customerid")},
        {{QStringLiteral("invoice-line-orphan"), QStringLiteral("Invoice line whose invoice, stone or parcel is missing"),
          QStringLiteral("Every invoice line belongs to an invoice that exists, and its stone or parcel exists.")},
         {QStringLiteral("Line"), QStringLiteral("Invoice"), QStringLiteral("Stone"), QStringLiteral("Parcel"),
          QStringLiteral("Missing")},
         QStringLiteral("SELECT il.ID, IFNULL(il.invoiceid, ''), IFNULL(il.diamondid, ''), IFNULL(il.parcelid, ''), "
                        "CONCAT_WS(', ', IF(i.ID IS NULL, 'invoice', NULL), "
                        "IF(IFNULL(il.diamondid, 0) <> 0 AND s.ID IS NULL, 'stone', NULL), "
                        "IF(IFNULL(il.diamondid, 0) = 0 AND IFNULL(il.parcelid, 0) <> 0 AND p.ID IS NULL, 'parcel', "
                        "NULL)) FROM invoicelist il LEFT JOIN invoice i ON i.ID = il.invoiceid "
                        "LEFT JOIN SingleStone s ON s.ID = il.diamondid LEFT JOIN parcel p ON p.ID = il.parcelid "
                        "WHERE i.ID IS NULL OR (IFNULL(il.diamondid, 0) <> 0 AND s.ID IS NULL) OR "
                        "(IFNULL(il.diamondid, 0) = 0 AND IFNULL(il.parcelid, 0) <> 0 AND p.ID IS NULL) ORDER BY il.ID")},
        {{QStringLiteral("duplicate-sku"), QStringLiteral("SKU used by more than one stone in stock or on memo"),
          QStringLiteral("Each stone that is still the dealer's has an SKU of its own.")},
         {QStringLiteral("SKU"), QStringLiteral("Stones")},
         QStringLiteral("SELECT s.SKU, GROUP_CONCAT(s.ID ORDER BY s.ID SEPARATOR ' ') FROM SingleStone s WHERE ") + kLive
             + QStringLiteral(" AND TRIM(s.SKU) > '' GROUP BY TRIM(s.SKU) HAVING COUNT(*) > 1 ORDER BY TRIM(s.SKU)")},
        {{QStringLiteral("duplicate-certificate"),
          QStringLiteral("Certificate number on more than one stone in stock or on memo"),
          QStringLiteral("A laboratory's certificate number belongs to one stone that is still the dealer's.")},
         {QStringLiteral("Laboratory"), QStringLiteral("Certificate"), QStringLiteral("Stones")},
         QStringLiteral("SELECT IFNULL(TRIM(s.Laboratory), ''), TRIM(s.Certificate), "
                        "GROUP_CONCAT(s.ID ORDER BY s.ID SEPARATOR ' ') FROM SingleStone s WHERE ")
             + kLive
             + QStringLiteral(" AND TRIM(s.Certificate) > '' GROUP BY TRIM(s.Laboratory), TRIM(s.Certificate) "
                              "HAVING COUNT(*) > 1 ORDER BY TRIM(s.Laboratory), TRIM(s.Certificate)")},
        {{QStringLiteral("blank-stone"), QStringLiteral("Stone row without an SKU and without a status"),
          QStringLiteral("Every stone row is a stone that was saved; an Add that was cancelled (or a program that "
                         "ended while adding) before Velmor stopped keeping such rows left empty ones."),
          Severity::Warning},
         {QStringLiteral("Stone"), QStringLiteral("Entered")},
         QStringLiteral("SELECT s.ID, IFNULL(CAST(s.DateCreated AS DATE), '') FROM SingleStone s WHERE "
                        "TRIM(IFNULL(s.SKU, '')) = '' AND IFNULL(s.Status, '') = '' ORDER BY s.ID")},
        {{QStringLiteral("count-scan-target"), QStringLiteral("Stock count scan that names no count, or no stone "
                                                              "and no code"),
          QStringLiteral("A scan belongs to a count that exists and names a stone (found, scanned twice, not "
                         "expected) or is an unknown code with its code.")},
         {QStringLiteral("Scan"), QStringLiteral("Count"), QStringLiteral("Stone"), QStringLiteral("Result"),
          QStringLiteral("Code")},
         QStringLiteral("SELECT x.ID, IFNULL(x.CountID, ''), IFNULL(x.StoneID, ''), IFNULL(x.Result, ''), "
                        "IFNULL(x.Code, '') FROM stockcountscan x LEFT JOIN stockcount c ON c.ID = x.CountID "
                        "WHERE c.ID IS NULL "
                        "OR (x.StoneID IS NOT NULL AND IFNULL(x.Result, '') NOT IN ('found', 'twice', 'unexpected')) "
                        "OR (x.StoneID IS NULL AND (NOT (x.Result <=> 'unknown') OR IFNULL(x.Code, '') = '')) "
                        "ORDER BY x.ID")},
        {{QStringLiteral("count-stone-once"), QStringLiteral("Stone counted other than once in a stock count"),
          QStringLiteral("A stone a count found is marked with its one \"found\" scan of that count; any further "
                         "scan of it is noted as scanned twice.")},
         {QStringLiteral("Count"), QStringLiteral("Stone"), QStringLiteral("Scan"), QStringLiteral("Found")},
         QStringLiteral("SELECT c.CountID, c.StoneID, c.ScanID, 'marked found by a scan that is not its found scan' "
                        "FROM stockcountstone c LEFT JOIN stockcountscan x ON x.ID = c.ScanID AND x.CountID = "
                        "c.CountID AND x.StoneID = c.StoneID AND x.Result = 'found' "
                        "WHERE c.ScanID IS NOT NULL AND x.ID IS NULL "
                        "UNION ALL SELECT x.CountID, x.StoneID, x.ID, 'a found scan the stone is not marked with' "
                        "FROM stockcountscan x LEFT JOIN stockcountstone c ON c.CountID = x.CountID AND c.StoneID = "
                        "x.StoneID AND c.ScanID = x.ID WHERE x.Result = 'found' AND c.ID IS NULL ORDER BY 1, 2, 3")},
        {{QStringLiteral("count-closed-written"), QStringLiteral("Closed stock count written to"),
          QStringLiteral("Nothing is written to a count once it is closed: no scan or weighing after its closing, "
                         "the scans it held then, and no workstation still scanning into it.")},
         {QStringLiteral("Count"), QStringLiteral("What"), QStringLiteral("Row"), QStringLiteral("Found")},
         QStringLiteral("SELECT c.ID, 'scan', x.ID, CONCAT('written ', x.WrittenAt, ', closed ', c.ClosedAt) "
                        "FROM stockcount c JOIN stockcountscan x ON x.CountID = c.ID "
                        "WHERE c.Status = 'closed' AND x.WrittenAt > c.ClosedAt "
                        "UNION ALL SELECT c.ID, 'weighing', p.ID, CONCAT('weighed ', p.WeighedAt, ', closed ', "
                        "c.ClosedAt) FROM stockcount c JOIN stockcountparcel p ON p.CountID = c.ID "
                        "WHERE c.Status = 'closed' AND p.WeighedAt > c.ClosedAt "
                        "UNION ALL SELECT c.ID, 'scans', '', CONCAT(n.scans, ' scans, ', c.ScansAtClose, ' when "
                        "closed') FROM stockcount c JOIN (SELECT CountID, COUNT(*) AS scans FROM stockcountscan "
                        "GROUP BY CountID) n ON n.CountID = c.ID WHERE c.Status = 'closed' AND c.ScansAtClose IS NOT "
                        "NULL AND n.scans <> c.ScansAtClose "
                        "UNION ALL SELECT c.ID, 'workstation', d.ID, CONCAT(IFNULL(d.Label, ''), ' still open') "
                        "FROM stockcount c JOIN stockcountdesk d ON d.CountID = c.ID "
                        "WHERE c.Status = 'closed' AND IFNULL(d.IsOpen, 0) <> 0 ORDER BY 1, 2, 3")},
        // Payments: a sold stone's flag against what it was invoiced and paid,
        // payments above the price, reversals, and the flags of payments made.
        {{QStringLiteral("payment-paid-off-short"), QStringLiteral("Stone marked paid off whose payments fall short"),
          QStringLiteral("A sold stone is marked paid off (StoneIsPaidOff) only when the payments received for it "
                         "reach what its invoice line asks (its amount with its share of the invoice's tax), in the "
                         "currency it is priced in; until then the rest is a balance the customer owes.")},
         {QStringLiteral("Stone"), QStringLiteral("SKU"), QStringLiteral("Invoiced"), QStringLiteral("Received"),
          QStringLiteral("Balance")},
         QStringLiteral("SELECT x.ID, x.SKU, ROUND(x.owed, 2), ROUND(x.paid, 2), CONCAT(ROUND(x.owed - x.paid, 2), IF(x.paid "
                        ">= x.amount, ' (its tax, still owed)', '')) FROM ")
             + soldAccounts()
             + QStringLiteral(" x WHERE x.ID <> 0 AND x.flag <> 0 AND x.owed IS NOT NULL AND x.paid < x.owed ORDER BY "
                              "x.ID")},
        {{QStringLiteral("payment-paid-off-flag"), QStringLiteral("Sold stone paid in full but not marked paid off"),
          QStringLiteral("A sold stone whose payments received reach what its invoice line asks (with its share of "
                         "the tax) is marked paid off, so that it leaves the memo report's unpaid view.")},
         {QStringLiteral("Stone"), QStringLiteral("SKU"), QStringLiteral("Invoiced"), QStringLiteral("Received")},
         QStringLiteral("SELECT x.ID, x.SKU, ROUND(x.owed, 2), ROUND(x.paid, 2) FROM ") + soldAccounts()
             + QStringLiteral(" x WHERE x.ID <> 0 AND x.flag = 0 AND x.owed IS NOT NULL AND x.paid >= x.owed ORDER BY "
                              "x.ID")},
        {{QStringLiteral("payment-overpaid"), QStringLiteral("Payments above the price without a confirmed overpayment"),
          QStringLiteral("The payments received for a sold stone, or for a parcel or free line of an invoice, go above "
                         "what its invoice line asks (with its share of the tax) only through a payment the dealer "
                         "confirmed as an overpayment.")},
         {QStringLiteral("Stone or line"), QStringLiteral("SKU"), QStringLiteral("Invoiced"), QStringLiteral("Received")},
         QStringLiteral("SELECT IF(x.ID = 0, CONCAT('line ', x.LineID), x.ID), x.SKU, ROUND(x.owed, 2), ROUND(x.paid, 2) "
                        "FROM ")
             + soldAccounts()
             + QStringLiteral(" x WHERE x.owed IS NOT NULL AND x.paid > x.owed AND x.confirmed = 0 ORDER BY x.ID, "
                              "x.LineID")},
        {{QStringLiteral("payment-line"), QStringLiteral("Payment received for no stone and no parcel or free line"),
          QStringLiteral("A payment received that names no stone (StoneID 0) is for a parcel or free line of an "
                         "invoice of its customer, named by InvoiceListID.")},
         {QStringLiteral("Payment"), QStringLiteral("Invoice line"), QStringLiteral("Found")},
         QStringLiteral("SELECT p.ID, IFNULL(p.InvoiceListID, ''), CASE WHEN p.InvoiceListID IS NULL THEN 'names no "
                        "line' WHEN il.ID IS NULL THEN 'no such line' WHEN IFNULL(il.diamondid, 0) <> 0 THEN 'a stone "
                        "line' ELSE 'another customer''s invoice' END FROM PaymentReceived p LEFT JOIN invoicelist il "
                        "ON il.ID = p.InvoiceListID LEFT JOIN invoice i ON i.ID = il.invoiceid WHERE (p.StoneID = 0 OR "
                        "p.StoneID IS NULL) AND NOT (IFNULL(p.PaymentUS, 0) = 0 AND IFNULL(p.PaymentLocal, 0) = 0) AND "
                        "(il.ID IS NULL OR IFNULL(il.diamondid, 0) <> 0 OR NOT (i.customerid <=> p.CustomerID)) ORDER "
                        "BY p.ID")},
        {{QStringLiteral("payment-reversal"), QStringLiteral("Reversal that names no payment, or a payment below 0"),
          QStringLiteral("A payment below 0 is the reversal of one payment of the same stone (or invoice line) and "
                         "party (ReversesID), with its amounts of the opposite sign.")},
         {QStringLiteral("Table"), QStringLiteral("Row"), QStringLiteral("Stone"), QStringLiteral("Reverses"),
          QStringLiteral("Found")},
         kReversalCheck.arg(QStringLiteral("PaymentReceived"), QStringLiteral("o.InvoiceListID <=> r.InvoiceListID"))
             + QStringLiteral(" UNION ALL ") + kReversalCheck.arg(QStringLiteral("PaymentMade"), QStringLiteral("TRUE"))
             + QStringLiteral(" ORDER BY 1, 2")},
        {{QStringLiteral("payment-made-flags"),
          QStringLiteral("Supplier payment flags that disagree with the payments made"),
          QStringLiteral("MemoInPaymentMade is set when payments made for the stone are above 0; MemoInPaidOff and "
                         "StoneIsPaidOffMemoIn when they also reach its cost, in the currency it was bought in.")},
         {QStringLiteral("Stone"), QStringLiteral("SKU"), QStringLiteral("Cost"), QStringLiteral("Paid"),
          QStringLiteral("Flags (made, paid off, paid off memo-in)")},
         QStringLiteral("SELECT x.ID, x.SKU, x.cost, x.paid, CONCAT(x.f1, ' ', x.f2, ' ', x.f3) FROM (SELECT s.ID, "
                        "s.SKU, ROUND(IFNULL(IF(") + kBoughtLocal
             + QStringLiteral(", s.BoughtPriceLocal, s.BoughtPriceUS), 0), 2) AS cost, IF(") + kBoughtLocal
             + QStringLiteral(", IFNULL(m.lo, 0), IFNULL(m.us, 0)) AS paid, IFNULL(s.MemoInPaymentMade, 0) <> 0 AS f1, "
                              "IFNULL(s.MemoInPaidOff, 0) <> 0 AS f2, IFNULL(s.StoneIsPaidOffMemoIn, 0) <> 0 AS f3 "
                              "FROM SingleStone s JOIN (SELECT StoneID, SUM(PaymentUS) AS us, SUM(PaymentLocal) AS lo "
                              "FROM PaymentMade GROUP BY StoneID) m ON m.StoneID = s.ID) x WHERE x.f1 <> (x.paid > 0) "
                              "OR x.f2 <> (x.paid > 0 AND x.paid >= x.cost) OR x.f3 <> x.f2 ORDER BY x.ID")},
        {{QStringLiteral("stone-file-whole"), QStringLiteral("File on a stone not whole"),
          QStringLiteral("A file on a stone has all its parts, as many bytes as it had when attached, a stone that "
                         "exists, and a stone has one main picture at most.")},
         {QStringLiteral("Stone"), QStringLiteral("File"), QStringLiteral("Name"), QStringLiteral("Found")},
         QStringLiteral("SELECT f.StoneID, f.ID, f.FileName, CONCAT(IFNULL(p.n, 0), ' of ', f.Chunks, ' parts, ', "
                        "IFNULL(p.bytes, 0), ' of ', f.Size, ' bytes') FROM stonefile f LEFT JOIN (SELECT FileID, "
                        "COUNT(*) AS n, SUM(Bytes) AS bytes FROM stonefilechunk GROUP BY FileID) p ON p.FileID = f.ID "
                        "WHERE f.Stored <> 0 AND (IFNULL(p.n, 0) <> f.Chunks OR IFNULL(p.bytes, 0) <> f.Size) "
                        "UNION ALL SELECT f.StoneID, f.ID, f.FileName, 'the stone does not exist' FROM stonefile f "
                        "LEFT JOIN SingleStone s ON s.ID = f.StoneID WHERE f.Stored <> 0 AND s.ID IS NULL "
                        "UNION ALL SELECT f.StoneID, MIN(f.ID), '', CONCAT(COUNT(*), ' main pictures') FROM stonefile "
                        "f WHERE f.Stored <> 0 AND f.IsMain <> 0 GROUP BY f.StoneID HAVING COUNT(*) > 1 "
                        "ORDER BY 1, 2")},
        {{QStringLiteral("stored-rate"), QStringLiteral("Exchange rate of 0 or 1.0 stored"),
          QStringLiteral("A stored exchange rate is the day's real rate, or empty when it was not known; 0 and 1.0 "
                         "are what an unknown rate became.")},
         {QStringLiteral("Table"), QStringLiteral("Row"), QStringLiteral("Column"), QStringLiteral("Rate")},
         QString()},
        {{QStringLiteral("schema-version"), QStringLiteral("Schema version against the tables and columns present"),
          QStringLiteral("The stored schema version is the program's, and every table and column of that version is "
                         "there.")},
         {QStringLiteral("Table"), QStringLiteral("Column"), QStringLiteral("Found")},
         QString()},
    };
    return q;
}

QList<QStringList> rowsOf(const QSqlDatabase &db, const QString &sql, const QVariantList &binds = {})
{
    QList<QStringList> rows;
    QSqlQuery q = db::exec(db, sql, binds);
    const int n = q.record().count();
    while (q.next()) {
        QStringList row;
        for (int i = 0; i < n; ++i) {
            const QVariant v = q.value(i);
            row << (v.isNull() ? QString() : v.toString());
        }
        rows << row;
    }
    return rows;
}

// The rate columns of the lines and the stones, those the database has; one
// scan of each table, a row per rate.
QList<QStringList> storedRates(const QSqlDatabase &db)
{
    static const char *const tables[][3] = {
        {"invoicelist", "exchangerateCDN", "exchangerateZAR"},
        {"memoparcellist", "exchangerateCDN", "exchangerateZAR"},
        {"SingleStone", "bought_exchangerateCDN", "bought_exchangerateZAR"},
    };
    QList<QStringList> rows;
    for (const auto &t : tables) {
        const QString table = QString::fromLatin1(t[0]);
        QStringList columns;
        for (int i = 1; i < 3; ++i)
            if (db::columnExists(db, table, QString::fromLatin1(t[i])))
                columns << QString::fromLatin1(t[i]);
        if (columns.isEmpty())
            continue;
        QStringList select, where;
        for (const QString &c : columns) {
            select << QStringLiteral("CAST(%1 AS CHAR)").arg(c);
            where << QStringLiteral("%1 IN (0, 1)").arg(c);
        }
        QSqlQuery q = db::exec(db, QStringLiteral("SELECT ID, %1 FROM %2 WHERE %3 ORDER BY ID")
                                       .arg(select.join(QStringLiteral(", ")), table,
                                            where.join(QStringLiteral(" OR "))));
        while (q.next())
            for (int i = 0; i < columns.size(); ++i) {
                const QVariant v = q.value(i + 1);
                if (!v.isNull() && (v.toDouble() == 0 || v.toDouble() == 1))
                    rows << QStringList{table, q.value(0).toString(), columns[i], v.toString()};
            }
    }
    return rows;
}

QList<QStringList> schemaFindings(const QSqlDatabase &db)
{
    namespace schema = db::schema;
    QList<QStringList> rows;
    const double stored = schema::storedVersion(db);
    const QString found = QString::number(stored, 'g', 10);
    if (stored < schema::kSchemaVersion) {
        rows << QStringList{QStringLiteral("Config"), QStringLiteral("dbVersion"),
                            QStringLiteral("%1, older than the program's %2: `velmor db upgrade` brings it up to date")
                                .arg(found)
                                .arg(schema::kSchemaVersion)};
        return rows;
    }
    if (stored > schema::kSchemaVersion)
        rows << QStringList{QStringLiteral("Config"), QStringLiteral("dbVersion"),
                            QStringLiteral("%1, newer than this program's %2").arg(found).arg(schema::kSchemaVersion)};
    // Every table and column of the version, against information_schema.
    QHash<QString, QSet<QString>> present;
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT LOWER(TABLE_NAME), LOWER(COLUMN_NAME) FROM "
                                              "information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE()"));
    while (q.next())
        present[q.value(0).toString()].insert(q.value(1).toString());
    for (const schema::TableDef &t : schema::finalTables()) {
        const auto it = present.constFind(t.name.toLower());
        if (it == present.constEnd()) {
            rows << QStringList{t.name, QString(), QStringLiteral("table missing")};
            continue;
        }
        for (const schema::ColumnDef &c : t.columns)
            if (!it->contains(c.name.toLower()))
                rows << QStringList{t.name, c.name, QStringLiteral("column missing")};
    }
    return rows;
}

QString csvField(const QString &s)
{
    if (!s.contains(QLatin1Char(',')) && !s.contains(QLatin1Char('"')) && !s.contains(QLatin1Char('\n')))
        return s;
    return QLatin1Char('"') + QString(s).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

QString severityWord(Severity s)
{
    return s == Severity::Error ? QStringLiteral("error") : QStringLiteral("warning");
}

} // namespace

const QList<Rule> &rules()
{
    static const QList<Rule> r = [] {
        QList<Rule> list;
        for (const RuleQuery &q : queries())
            list << q.rule;
        return list;
    }();
    return r;
}

int Report::errors() const
{
    int n = 0;
    for (const RuleResult &r : results) {
        if (!r.failure.isEmpty())
            ++n;
        else if (r.rule.severity == Severity::Error)
            n += int(r.rows.size());
    }
    return n;
}

int Report::warnings() const
{
    int n = 0;
    for (const RuleResult &r : results)
        if (r.failure.isEmpty() && r.rule.severity == Severity::Warning)
            n += int(r.rows.size());
    return n;
}

Report checkBooks(const QSqlDatabase &db, const Progress &progress)
{
    Report report;
    // One snapshot for every rule, and the engine refuses any write.
    db::exec(db, QStringLiteral("START TRANSACTION READ ONLY"));
    const QList<RuleQuery> &all = queries();
    for (int i = 0; i < all.size(); ++i) {
        const RuleQuery &q = all[i];
        if (progress)
            progress(i, int(all.size()), q.rule.title);
        RuleResult r{q.rule, q.columns, {}, {}};
        try {
            if (q.rule.key == QLatin1String("stored-rate"))
                r.rows = storedRates(db);
            else if (q.rule.key == QLatin1String("schema-version"))
                r.rows = schemaFindings(db);
            else
                r.rows = rowsOf(db, q.sql);
        } catch (const db::DbError &e) {
            r.failure = e.message();
        }
        report.results << r;
    }
    QSqlQuery(db).exec(QStringLiteral("COMMIT"));
    if (progress)
        progress(int(all.size()), int(all.size()), QString());
    return report;
}

QString reportText(const Report &r)
{
    QString text;
    QTextStream out(&text);
    for (const RuleResult &res : r.results) {
        if (res.clean())
            continue;
        out << "== " << res.rule.title << " [" << res.rule.key << ", " << severityWord(res.rule.severity) << "]\n";
        out << "   Expected: " << res.rule.expects << "\n";
        if (!res.failure.isEmpty()) {
            out << "   Could not be checked: " << res.failure << "\n\n";
            continue;
        }
        // Columns as wide as their widest value.
        QList<int> widths;
        for (const QString &c : res.columns)
            widths << int(c.size());
        for (const QStringList &row : res.rows)
            for (int i = 0; i < row.size() && i < widths.size(); ++i)
                widths[i] = std::max(widths[i], int(row[i].size()));
        auto line = [&](const QStringList &cells) {
            QString l = QStringLiteral("   ");
            for (int i = 0; i < cells.size(); ++i)
                l += cells[i].leftJustified(i < widths.size() ? widths[i] : 0) + QStringLiteral("  ");
            out << l.trimmed().prepend(QStringLiteral("   ")) << "\n";
        };
        line(res.columns);
        for (const QStringList &row : res.rows)
            line(row);
        out << "   (" << res.rows.size() << (res.rows.size() == 1 ? " row" : " rows") << ")\n\n";
    }
    if (r.whole())
        out << "The books are whole: " << r.results.size() << " rules checked"
            << (r.warnings() ? QStringLiteral(", %1 warning(s)").arg(r.warnings()) : QString()) << ".\n";
    else
        out << "The books disagree: " << r.errors() << " error(s), " << r.warnings() << " warning(s) in "
            << r.results.size() << " rules.\n";
    out.flush();
    return text;
}

bool writeCsv(const Report &r, const QString &path, QString *error)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text)) {
        if (error)
            *error = f.errorString();
        return false;
    }
    QTextStream out(&f);
    out << "Rule,Severity,Title,Details\n";
    for (const RuleResult &res : r.results) {
        const QString head = csvField(res.rule.key) + QLatin1Char(',') + severityWord(res.rule.severity)
                             + QLatin1Char(',') + csvField(res.rule.title);
        if (!res.failure.isEmpty())
            out << head << QLatin1Char(',') << csvField(QStringLiteral("could not be checked: ") + res.failure) << "\n";
        for (const QStringList &row : res.rows) {
            out << head;
            for (int i = 0; i < row.size(); ++i)
                out << QLatin1Char(',') << csvField(res.columns.value(i) + QLatin1Char('=') + row[i]);
            out << "\n";
        }
    }
    out.flush();
    if (!f.commit()) {
        if (error)
            *error = f.errorString();
        return false;
    }
    return true;
}

} // namespace velmor::books
