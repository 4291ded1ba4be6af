// The upgrade list.  Statements are only ever appended: a new column is a new
// statement at the end of its table's group, a changed type is a new MODIFY,
// and kSchemaVersion goes up so that existing databases run the list again.
// The odd entries are kept as they have always been: they do nothing on a
// database that does not need them, and existing databases were upgraded
// with exactly this list.
#include "db/Schema.h"
#include "db/RepairMarks.h"
#include "db/UserRights.h"

#include <QStringList>

namespace velmor::db::schema {

QString UpgradeStatement::sql() const
{
    switch (kind) {
    case StatementKind::CreateTable:
        return QStringLiteral("CREATE TABLE %1 (ID INT AUTO_INCREMENT PRIMARY KEY);").arg(table);
    case StatementKind::AddColumn:
        return QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3;").arg(table, column, type);
    case StatementKind::Add:
        return QStringLiteral("ALTER TABLE %1 ADD %2 %3;").arg(table, column, type);
    case StatementKind::Modify:
        return QStringLiteral("ALTER TABLE %1 MODIFY COLUMN %2 %3;").arg(table, column, type);
    }
    return {};
}

namespace {

// Appends the statements of one table.
class TableStatements {
public:
    TableStatements(std::vector<UpgradeStatement> &out, const QString &table, bool storeSide = false)
        : m_out(out), m_table(table), m_store(storeSide)
    {
    }
    TableStatements &create()
    {
        m_out.push_back({StatementKind::CreateTable, m_table, {}, {}, m_store});
        return *this;
    }
    TableStatements &add(const QString &column, const QString &type)
    {
        m_out.push_back({StatementKind::AddColumn, m_table, column, type, m_store});
        return *this;
    }
    TableStatements &add(const QStringList &columns, const QString &type)
    {
        for (const QString &c : columns)
            add(c, type);
        return *this;
    }
    // Written with ADD alone; the effect is the same as ADD COLUMN.
    TableStatements &addPlain(const QString &column, const QString &type)
    {
        m_out.push_back({StatementKind::Add, m_table, column, type, m_store});
        return *this;
    }
    TableStatements &modify(const QString &column, const QString &type)
    {
        m_out.push_back({StatementKind::Modify, m_table, column, type, m_store});
        return *this;
    }
    TableStatements &modify(const QStringList &columns, const QString &type)
    {
        for (const QString &c : columns)
            modify(c, type);
        return *this;
    }

private:
    std::vector<UpgradeStatement> &m_out;
    QString m_table;
    bool m_store;
};

// "Prefix1".."PrefixN" followed by suffix.
QStringList numbered(const QString &prefix, int from, int to, const QString &suffix = {})
{
    QStringList out;
    for (int i = from; i <= to; ++i)
        out << prefix + QString::number(i) + suffix;
    return out;
}

const QStringList kMeasurements = {"Carat", "Dim1", "Dim2", "Dim3", "TableSize", "TotalDepth",
                                   "GirdleDimension", "CrownAngle", "CrownHeight",
                                   "PavillionAngle", "PavillionDepth", "SellOffRap",
                                   "SellOffRap2", "SellOffRap3"};



void diamondSide(std::vector<UpgradeStatement> &l)
{
    const QString d155 = QStringLiteral("DECIMAL(15,5)");
    const QString d105 = QStringLiteral("DECIMAL(10,5)");
    const QString d152 = QStringLiteral("DECIMAL(15,2)");
    const QString d62 = QStringLiteral("DECIMAL(6,2)");
    const QString flag = QStringLiteral("TINYINT(1)");
    const QString int10 = QStringLiteral("INT(10)");
    const QString int11 = QStringLiteral("INT(11)");
    const QString int5 = QStringLiteral("INT(5)");
    const QString v50 = QStringLiteral("VARCHAR(50)");
    const QString v25 = QStringLiteral("VARCHAR(25)");
    const QString v255 = QStringLiteral("VARCHAR(255)");
    const QString dt = QStringLiteral("DATETIME");
    const QString date = QStringLiteral("DATE");

    TableStatements(l, "singlestone")
        .add("bought_exchangerateCDN", d155)
        .add("bought_exchangerateZAR", d155)
        .add("LockPercentlx", flag)
        .add("SellOffRaplx", d155)
        .add("SellPriceUSlx", "DECIMAL(19,4)")
        .add("certfilesize1", "DECIMAL(19,0)")
        .add("certfilesize2", "DECIMAL(19,0)")
        .add("hereonmemo", flag)
        .add("lab_dia", flag)
        .add("RND", int10)
        .add("datewassold", dt)
        .add("DateOnMemo", dt)
        // The MODIFY before the ADD does nothing on a database that lacks the
        // column; on one that has it, it fixes the type at once.
        .modify("currentRAPdiscountFORmemo", "DECIMAL(19,2)")
        .add("currentRAPdiscountFORmemo", "DECIMAL(19,2)")
        .modify("currentRAPdiscountFORmemo", "DECIMAL(19,2)")
        .add("description", v255)
        .add("ItemID", int10)
        .add("finishedpiece", flag)
        .modify("finishedpiece", flag)
        .modify("Comment", "BLOB")
        .modify(kMeasurements, d155)
        .add("OnHoldDate", date)
        .add("OnHoldNote", "VARCHAR(100)");

    TableStatements(l, "StoneChange").modify("Comment", "BLOB").modify(kMeasurements, d155);

    TableStatements(l, "parcelstock")
        .add("lastupdated", dt)
        .add("QClass", v50)
        .add(numbered("SupplierID", 1, 6), int10)
        .add("DMarkup", "DECIMAL(5,3)")
        .add("DClass", v255)
        .add("Dim1", "DECIMAL(8,2)")
        .add("Dim2", "DECIMAL(8,2)")
        .modify("Quantity", int10)
        .add("CostMarkup", "DECIMAL(15,3)")
        .add("ColourCode", v50)
        .add("CutType", v50)
        .add("ShapeCode", v50);

    TableStatements(l, "parcel")
        .create()
        .add("SKU", v50)
        .add("Shape", v50)
        .add("Quantity", v50)
        .add({"Carat", "CaratLow", "CaratHigh"}, d105)
        .add({"ColourLow", "ColourHigh", "ClarityLow", "ClarityHigh"}, int5)
        .add({"CostPerCarat", "SellPerCarat"}, d105)
        .add("Comment", "VARCHAR(250)")
        .add({"datecreated", "dateadded", "dateremoved", "dateupdated"}, dt)
        .add("rnd", int11)
        .modify({"Carat", "CaratLow", "CaratHigh", "CostPerCarat", "SellPerCarat"}, d105);

    TableStatements(l, "parceladd")
        .create()
        .add("parcelid", int11)
        .add("Carat", d105)
        .add("userid", int11)
        .add("supplierid", int11)
        .add("date", dt)
        .add("costusct", d105);

    TableStatements(l, "AddParcel")
        .create()
        .add("Date", dt)
        .add("SupplierID", int10)
        .add("PricePerCarat", d62)
        .add("Invoice", v50)
        .add("ParcelID", int10)
        .add("Carat", d62)
        .add("Quantity", int10);

    TableStatements(l, "customer")
        .add(numbered("_tax", 1, 4), flag)
        .add("RepID", int10)
        .add("InvoiceToID", int10)
        .add({"Tax1", "Tax2", "Tax3"}, flag)
        .add("Terms", "VARCHAR(100)")
        .add("Hold", flag)
        .add("HoldReason", v255)
        .add("CreditLimit", d152)
        .add("Commission", flag)
        .add("CommissionRate", d152)
        .add("TagMarkup", d152)
        .add("ShipVia", v255)
        .add("ShippingCharge", d152)
        .add("GroupMember", v255)
        .add("DiscountIfPaidInTime", d152)
        .add("PriceClass", int10)
        .add("DefaultDiscount", d152)
        .add("TagEnd", d152)
        .add("InvoiceType", "VARCHAR(1)")
        .add("AutoGrantDiscount", flag)
        .add("ContactName2", v50)
        .add("ContactName3", v50)
        .add("NotePad", "BLOB")
        .add("DefaultNoShipForm", flag);

    TableStatements(l, "Rep").create().add(
        {"CompanyName", "FirstName", "LastName", "Street1", "Street2", "City", "Province", "ZIP",
         "Phone1", "Phone2", "TollFree", "Cell1", "Cell2", "Pager", "HomePhone", "Fax", "WWW",
         "EMail", "SalesDistrict"},
        v50);

    TableStatements(l, "memo")
        .add("userid", int11)
        .add("outonmemorapdiscount", "DECIMAL(19,4)")
        .add("setdate", dt);

    TableStatements(l, "memosheet").addPlain("ref", v25).addPlain("closed", flag);

    // The id columns of these three tables already exist as ID: those
    // statements always come back refused as duplicates and change nothing.
    TableStatements(l, "memoparcel")
        .create()
        .add("id", int11)
        .add("Date", dt)
        .add("CustomerID", int11)
        .add("Reference", v25)
        .add("closed", flag)
        .add("closeddate", dt);

    TableStatements(l, "memoparcellist")
        .create()
        .add("id", int11)
        .add("memoparcelid", int11)
        .add("parcelid", int11)
        .add("carat", d105)
        .add("exchangerateCDN", d105)
        .add("exchangerateZAR", d105)
        .add("date", dt)
        .add("action", v25)
        .add("pricecarat", d105);

    TableStatements(l, "invoice")
        .create()
        .add("customerid", int11)
        .add("datecreated", dt)
        .add("dateclosed", dt)
        .add("status", v25);

    // details was first added before the table's CREATE; the last statement
    // adds it on a database that did not have the table yet.
    TableStatements(l, "invoicelist")
        .add("details", "VARCHAR(250)")
        .create()
        .add("invoiceid", int11)
        .add("diamondid", int11)
        .add("parcelid", int11)
        .add("carat", d105)
        .add("dateadded", dt)
        .add("pricecarat", d105)
        .add("exchangerateCDN", d105)
        .add("exchangerateZAR", d105)
        .add("taxrate", d105)
        .add("details", "VARCHAR(250)")
        // The stone's list price and the discount off it given at the sale,
        // as they were then (Null on lines written before they were kept).
        .add("listprice", "DECIMAL(19,5)")
        .add("discountgiven", d105);

    TableStatements(l, "ExpectedPays")
        .create()
        .add({"CustomerID", "InvoiceToID", "RepID", "InvoiceID"}, int10)
        .add("InvoiceDate", date)
        .add("Amount", d152)
        .add("Balance", d152)
        .add("DueDate", date)
        .add("OverDue", flag);

    TableStatements(l, "DonePays")
        .create()
        .add({"CustomerID", "InvoiceToID", "RepID", "InvoiceID"}, int10)
        .add("InvoiceDate", date)
        .add("Amount", d152)
        .add("Date", date)
        .add("PaymentType", v50)
        .add("PaymentReference", v50);

    TableStatements(l, "returntovendor")
        .create()
        .add("id", int11)
        .add("diamondid", int11)
        .add("date", dt)
        .add("action", v25);

    TableStatements(l, "raplist")
        .create()
        .add({"Shape", "Colour", "Clarity"}, v50)
        .add({"LowCarat", "HighCarat", "Price"}, "DECIMAL(19,5)")
        .add("Date", dt);

    for (const char *words : {"labwords", "shapewords"}) {
        TableStatements(l, words)
            .create()
            .add("row", "DECIMAL(5,0)")
            .add("master", v50)
            .add(numbered("w", 1, 6), v50);
    }

    TableStatements(l, "Qs")
        .create()
        .add("Class", v255)
        .add({"ColourLow", "ColourHigh", "ClarityLow", "ClarityHigh"}, int10);

    TableStatements(l, "DRange")
        .create()
        .add("Class", v255)
        .add({"CaratLow", "CaratHigh", "Markup"}, d62);

    TableStatements(l, "Colours").create().add("ItemID", int10).add(numbered("Colour", 1, 20), v50);

    for (const char *track : {"Track", "TrackPar"}) {
        TableStatements(l, track)
            .create()
            .add("Date", dt)
            .add("Barcode", "VARCHAR(20)")
            .add("LocationName", "VARCHAR(20)")
            .add("Sleep", flag);
    }

    TableStatements(l, "inv")
        .create()
        .add("filename", v50)
        .add("date", dt)
        .add("itemid", int10)
        .add("sku", "VARCHAR(200)")
        .add("barcode", "VARCHAR(200)")
        .add("count", int10);

    TableStatements(l, "User").add(userRightColumns(), flag);

    TableStatements(l, "config")
        .add(numbered("_tax", 1, 4, "name"), v25)
        .add(numbered("_tax", 1, 4), d105)
        .add("roundstonename", v50)
        .add("GIAanythingelse", flag)
        .add("IntrinsicGoldValueMarkup", d155)
        .add("PriceRound", d155)
        .modify({"Tax1", "Tax2"}, d155)
        .add("Tax3", d155)
        .add("Tax3Name", "VARCHAR(10)")
        .add("ShippingSheetDisclaimer", v255)
        .add("MemoFormDisclaimer", v255)
        .add("InvoiceTemplate", "VARCHAR(10)")
        .add("DefaultMarkup", d155)
        .add({"10ktRatio", "14ktRatio", "18ktRatio", "19ktRatio", "22ktRatio", "25ktRatio"}, d155)
        .add({"CostFactor10", "CostFactor14", "CostFactor18", "CostFactor19", "CostFactor22",
              "CostFactor25"},
             d155)
        .add("dbVersion", d155)
        .add({"GoldRate", "GoldRateBase", "PlatinumRate"}, d155)
        .add("CommissionRate", d62)
        .add({"OvalEQPear", "AsserEQPear"}, flag)
        .add("DefaultDiscount", d155)
        .add("PrintJobBagsGroupedByType", flag)
        .add("VelmorWholeSale", flag)
        // First written too narrow for a markup; the MODIFY gives the final type.
        .add(numbered("Class", 1, 4, "Markup"), "DECIMAL(3,3)")
        .modify(numbered("Class", 1, 4, "Markup"), d62)
        .add(numbered("Class", 1, 4, "Threshold"), d62)
        .add("DefaultCreditLimit", d62)
        .add({"AlloyCost10", "AlloyCost14", "AlloyCost18", "AlloyCost19", "AlloyCost22",
              "AlloyCost25"},
             d62)
        .add({"ForceRepEntry", "LongStatement"}, flag)
        .add("OverDue", int10)
        .add({"TagMarkup", "TagEnd"}, d152)
        .add("MaterialAvailabe", flag)
        .add(numbered("Class", 1, 4, "Label"), "VARCHAR(10)")
        .add(numbered("Description", 1, 20), "VARCHAR(20)")
        .add(numbered("Deactivate", 1, 20), flag)
        .add({"AlwaysUseSeperateJobBags", "DontUseSplits", "serialscanning"}, flag)
        // The last good rand rate, kept as the exchange rate is.
        .add("ExchangeRateZAR", d155);

    // One row per kind of check-then-write that workstations must not pass
    // together (db/Guard.h): each writes the row first, so that two of them
    // wait for one another on one server and conflict on a cluster.
    TableStatements(l, "RowGuard").create().add("n", "INT");
}

// The store side's tables.  The diamond side only needs them to exist; the
// columns carried here are the ones the diamond side's data meets.
void storeSide(std::vector<UpgradeStatement> &l)
{
    for (const char *table :
         {"gems", "item", "CostAddOns", "PricePoints", "AddGem", "CreditAccount", "MemoForm",
          "MemoFormList", "EarnedCredits", "Labour", "Paket", "PaketList", "Collection",
          "CollectionList", "ProductionFormList", "ItemAddOns", "ItemLabour", "ItemPearl",
          "ItemFinding", "ItemDiamond"}) {
        TableStatements(l, table, true).create();
    }
    TableStatements(l, "ItemSingleDiamond", true)
        .create()
        .add("ItemID", "INT")
        .add("DiamondID", "INT")
        .add("Quantity", "INT");
    for (const char *table :
         {"Findings", "Chains", "ItemChain", "ItemGem", "Pearls", "Commission", "CommissionPay",
          "Terms", "PostDatedCheques", "ItemAddHistory", "ItemMetals", "OrderForm",
          "OrderFormList", "ShipForm", "ShipFormList"}) {
        TableStatements(l, table, true).create();
    }
    TableStatements(l, "Account", true)
        .create()
        .add("OverDue", "TINYINT(1)")
        .add("DiscountIfPaidInTime", "DECIMAL(15,2)");
    TableStatements(l, "ProductionForm", true).create();
}

// Version 311: the marks of the stone screen's opening repair (RepairMarks.h).
// The first open after the upgrade still reads every stone once.
void repairMarks(std::vector<UpgradeStatement> &l)
{
    TableStatements(l, "singlestone")
        .add(QString::fromLatin1(kHistoryStartedColumn), QStringLiteral("TINYINT(1)"))
        .add(QString::fromLatin1(kRepairDueColumn), repairDueColumnType());
}

// Version 314: stock counts.  A count (stockcount) keeps the stones expected
// when it started (stockcountstone), every scan as it was written
// (stockcountscan), the parcels with the carats weighed (stockcountparcel)
// and one row per workstation scanning into it (stockcountdesk), which every
// scan and the closing write, so that no scan lands in a closed count.
void stockCounts(std::vector<UpgradeStatement> &l)
{
    const QString v100 = QStringLiteral("VARCHAR(100)");
    const QString dt = QStringLiteral("DATETIME");
    const QString d105 = QStringLiteral("DECIMAL(10,5)");
    TableStatements(l, "stockcount")
        .create()
        .add("Name", v100)
        .add("Location", QStringLiteral("VARCHAR(255)"))
        .add("Status", QStringLiteral("VARCHAR(10)"))
        .add("Tolerance", d105)
        .add("StartedAt", dt)
        .add("StartedBy", "INT")
        .add("ClosedAt", dt)
        .add("ClosedBy", "INT")
        .add("ScansAtClose", "INT")
        .add("Changes", "INT");
    TableStatements(l, "stockcountstone")
        .create()
        .add("CountID", "INT")
        .add("StoneID", "INT")
        .add("SKU", QStringLiteral("VARCHAR(50)"))
        .add("Location", QStringLiteral("VARCHAR(255)"))
        .add("AddedLate", QStringLiteral("TINYINT(1)"))
        .add("ScanID", "INT")
        .add("ClosingStatus", QStringLiteral("VARCHAR(50)"))
        .add("ClosingPlace", QStringLiteral("VARCHAR(255)"))
        .add("ListValue", QStringLiteral("DECIMAL(19,2)"))
        .add("Cost", QStringLiteral("DECIMAL(19,4)"))
        .add("Shape", QStringLiteral("VARCHAR(50)"))
        .add("Carat", QStringLiteral("DECIMAL(15,5)"));
    TableStatements(l, "stockcountscan")
        .create()
        .add("CountID", "INT")
        .add("DeskID", "INT")
        .add("Token", QStringLiteral("VARCHAR(64)"))
        .add("Code", v100)
        .add("StoneID", "INT")
        .add("Result", QStringLiteral("VARCHAR(12)"))
        .add("StoneStatus", QStringLiteral("VARCHAR(50)"))
        .add("Place", QStringLiteral("VARCHAR(255)"))
        .add("Source", QStringLiteral("VARCHAR(10)"))
        .add("ScannedAt", dt)
        .add("WrittenAt", dt)
        .add("UserID", "INT");
    TableStatements(l, "stockcountparcel")
        .create()
        .add("CountID", "INT")
        .add("ParcelID", "INT")
        .add("SKU", QStringLiteral("VARCHAR(50)"))
        .add("CaratsAtStart", d105)
        .add("OnHand", d105)
        .add("Weighed", d105)
        .add("WeighedAt", dt)
        .add("WeighedBy", "INT")
        .add("AddedLate", QStringLiteral("TINYINT(1)"));
    TableStatements(l, "stockcountdesk")
        .create()
        .add("CountID", "INT")
        .add("Desk", QStringLiteral("VARCHAR(64)"))
        .add("Label", v100)
        .add("UserID", "INT")
        .add("IsOpen", QStringLiteral("TINYINT(1)"))
        .add("Scans", "INT")
        .add("JoinedAt", dt)
        .add("LastScanAt", dt);
}

// Version 315: the amounts of a sale as they were agreed, the return that
// undid a sale, and the memo-out line a parcel memo's return or sale took
// its carats from.
void agreedAmounts(std::vector<UpgradeStatement> &l)
{
    const QString money = QStringLiteral("DECIMAL(19,2)");
    TableStatements(l, "invoicelist")
        // The amount of the line in that currency when the dealer agreed the
        // price in it (Null: the US amount at the line's rate).
        .add("amountcdn", money)
        .add("amountzar", money)
        // The stone of the line came back into stock: when, and by whom.
        .add("returned", QStringLiteral("DATETIME"))
        .add("returnedby", QStringLiteral("INT(11)"));
    TableStatements(l, "memoparcellist").add("outlineid", QStringLiteral("INT(11)"));
}

// Version 316: files kept with a stone (pictures, videos, certificates).
// stonefile holds what a file is, stonefilechunk its bytes in parts below
// the server's packet limit, stonefilethumb a picture's thumbnail made once;
// Config.StoneFileLimitMB the largest file a stone takes (empty: 200 MB).
void stoneFiles(std::vector<UpgradeStatement> &l)
{
    const QString dt = QStringLiteral("DATETIME");
    const QString flag = QStringLiteral("TINYINT(1)");
    TableStatements(l, "stonefile")
        .create()
        .add("StoneID", "INT")
        .add("FileName", QStringLiteral("VARCHAR(255)"))
        .add("Kind", QStringLiteral("VARCHAR(12)"))
        .add("MimeType", QStringLiteral("VARCHAR(100)"))
        .add("Size", QStringLiteral("BIGINT"))
        .add("Sha256", QStringLiteral("CHAR(64)"))
        .add("ChunkSize", "INT")
        .add("Chunks", "INT")
        .add("IsMain", flag)
        .add("IsCertificate", flag)
        .add("Laboratory", QStringLiteral("VARCHAR(50)"))
        .add("Width", "INT")
        .add("Height", "INT")
        .add("AddedBy", "INT")
        .add("AddedAt", dt)
        .add("Stored", flag);
    TableStatements(l, "stonefilechunk")
        .create()
        .add("FileID", "INT")
        .add("Seq", "INT")
        .add("Bytes", "INT")
        .add("Data", QStringLiteral("LONGBLOB"));
    TableStatements(l, "stonefilethumb")
        .create()
        .add("FileID", "INT")
        .add("Width", "INT")
        .add("Height", "INT")
        .add("Thumb", QStringLiteral("MEDIUMBLOB"))
        .add("Icon", QStringLiteral("BLOB"))
        .add("MadeAt", dt);
    TableStatements(l, "Config").add("StoneFileLimitMB", "INT");
}

// Version 317: payments.  Who entered a payment received, the invoice line
// it was paid against, the payment a reversing row undoes, and a payment
// above the balance that the dealer confirmed.
void payments(std::vector<UpgradeStatement> &l)
{
    const QString id = QStringLiteral("INT(11)");
    const QString flag = QStringLiteral("TINYINT(1)");
    TableStatements(l, "PaymentReceived")
        .add("EmployeeID", id)
        .add("InvoiceListID", id)
        .add("ReversesID", id)
        .add("Overpaid", flag);
    TableStatements(l, "PaymentMade").add("ReversesID", id).add("Overpaid", flag);
}

// Version 318 adds no statement: a sold stone is owed its invoice line's
// amount with its share of the invoice's tax, and the upgrade's data step
// (Schema.cpp) sets the paid-off flags by that rule once.

std::vector<UpgradeStatement> makeList()
{
    std::vector<UpgradeStatement> l;
    l.reserve(600);
    diamondSide(l);
    storeSide(l);
    repairMarks(l);
    stockCounts(l);
    agreedAmounts(l);
    stoneFiles(l);
    payments(l);
    return l;
}

} // namespace

const std::vector<UpgradeStatement> &upgradeList()
{
    static const std::vector<UpgradeStatement> list = makeList();
    return list;
}

int diamondSideStatementCount()
{
    int n = 0;
    for (const UpgradeStatement &s : upgradeList())
        if (!s.storeSide)
            ++n;
    return n;
}

} // namespace velmor::db::schema
