// Every figure box of the screens that store figures, found by walking the
// screen's number boxes, typed with the same texts: each is either stored as
// the right number or refused with a message naming the field, every row as
// it was.  A number box the table below does not know fails the test, so a
// new field cannot slip past the rule.
#include "../stones/StoneTestEnv.h"
#include "TestUsers.h"
#include "core/Figures.h"
#include "core/frmConfigMenu.h"
#include "core/frmConfiguration.h"
#include "customers/frmCustomer.h"
#include "memos/frmMemoAddNewDiamondToIt.h"
#include "parcels/ParcelRecord.h"
#include "parcels/frmMemoSheet.h"
#include "parcels/frmParcel.h"
#include "parcels/frmParcelPutOnMemo.h"
#include "parcels/frmSplitOlderParcel.h"
#include "parcels/frmSplitParcel.h"
#include "stones/OlderParcelView.h"
#include "stones/StoneSearch.h"
#include "stones/frmDiamondDetail.h"
#include "stones/frmItemDiamondSearch.h"
#include "invoices/frmDiamondSell.h"
#include "invoices/frmInvoiceADD.h"
#include "parcels/frmAddParcel.h"
#include "parcels/frmParcelAdd.h"
#include "pricing/frmConfigExchangeRate.h"
#include "pricing/frmConfigD_Range.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QSqlRecord>
#include <QtTest>
#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

using namespace velmor;
using velmor::test::PromptEvent;
using velmor::test::StoneEnv;

namespace {

// A box whose control name says it holds a figure.
const QRegularExpression figureName(
    QStringLiteral("price|cost|disc(?!laimer)|rate|weight|carat|markup|limit|charge|commission|value|(?-i:CT)\\d*$|^txt(US|CDN|ZAR)"),
    QRegularExpression::CaseInsensitiveOption);

const char *const kTyped[] = {"10,000", "1,234.56", "0,75", "2,5", "-1", "0", "0.000001", "1e6", "99999.999999",
                              "abc", ""};

// The figure each text means, worked out by hand; none for the texts that
// are not figures.
std::optional<QString> meant(const QString &typed)
{
    static const QMap<QString, QString> values = {
        {"10,000", "10000"}, {"1,234.56", "1234.56"}, {"-1", "-1"}, {"0", "0"}, {"0.000001", "0.000001"},
        {"99999.999999", "99999.999999"}, {"", "0"}};
    if (!values.contains(typed))
        return std::nullopt;
    return values.value(typed);
}

// A column as the database defines it (an integer column has scale 0).
struct ColumnShape {
    int precision = 19, scale = 5;
};
ColumnShape shapeOf(const QSqlDatabase &db, const QString &table, const QString &column)
{
    QSqlQuery q = db::exec(db,
                           "SELECT NUMERIC_PRECISION, NUMERIC_SCALE, DATA_TYPE FROM information_schema.COLUMNS WHERE "
                           "TABLE_SCHEMA = DATABASE() AND LOWER(TABLE_NAME) = LOWER(?) AND LOWER(COLUMN_NAME) = LOWER(?)",
                           {table, column});
    ColumnShape s;
    if (q.next() && q.value(2).toString().toLower() == "decimal") {
        s.precision = q.value(0).toInt();
        s.scale = q.value(1).toInt();
    } else if (q.isValid()) {
        s.precision = 10;
        s.scale = 0;
    }
    return s;
}

// What a field stores: its column, and whether 0 or less is refused.
struct Target {
    QString label;   // the words the refusal names the field by
    QString table;   // empty: the box stores nothing itself (it fills others)
    QString column;
    figures::Need need = figures::Need::Any;
    // Figures the screen refuses beyond its column (more carats than on
    // hand, a discount that leaves no price), and other words such a
    // refusal may name the field by.
    std::function<bool(Decimal5)> beyond = nullptr;
    QString alsoNamed = QString();
    bool zeroRefused = false; // a figure of exactly 0 is refused
    bool emptyKeeps = false;  // an empty box leaves the value to its partner fields
    int places = 5;           // decimals the screen stores at most
};

// The stored text expected for a typed text, or nothing when it must be refused.
std::optional<Decimal5> expected(const QString &typed, const Target &t, const ColumnShape &c)
{
    const std::optional<QString> m = meant(typed);
    if (!m)
        return std::nullopt;
    const Decimal5 raw = *Decimal5::parse(*m);
    if (t.zeroRefused && raw.isZero())
        return std::nullopt;
    if (t.beyond && t.beyond(raw))
        return std::nullopt;
    const Decimal5 v = raw.rounded(qMin(c.scale, t.places));
    const int whole = qMin(c.precision - c.scale, 12);
    const Decimal5 largest = Decimal5::fromUnits(
        qint64(std::pow(10, whole)) * Decimal5::kScale - qint64(std::pow(10, 5 - qMin(c.scale, 5))));
    if (v > largest || v < -largest)
        return std::nullopt;
    if (t.need == figures::Need::Positive && v <= Decimal5())
        return std::nullopt;
    if (t.need == figures::Need::NotNegative && v < Decimal5())
        return std::nullopt;
    return v;
}

QStringList rowsOf(const QSqlDatabase &db, const QString &table)
{
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT * FROM %1 ORDER BY ID").arg(table));
    QStringList rows;
    while (q.next()) {
        QStringList r;
        for (int i = 0; i < q.record().count(); ++i)
            r << (q.value(i).isNull() ? QStringLiteral("<null>") : q.value(i).toString());
        rows << r.join('|');
    }
    return rows;
}

// One screen: opens it with valid figures in every box, commits, and reads
// back what a field stored (the newest row of its table).
struct FigureScreen {
    QString name;
    QStringList tables; // compared whole on a refusal
    std::function<QWidget *(StoneEnv &)> open;
    std::function<void(StoneEnv &, QWidget *)> commit;
    std::function<Target(StoneEnv &, const QString &control)> target;
    std::function<QString(StoneEnv &, const Target &)> stored;
};

QString newestValue(StoneEnv &e, const Target &t)
{
    return e.value(QStringLiteral("SELECT CAST(%1 AS CHAR) FROM %2 ORDER BY ID DESC LIMIT 1").arg(t.column, t.table))
        .toString();
}

void prepare(StoneEnv &e)
{
    // Every right: what is tried here is the figures, not the rights.
    velmor::test::grantEveryRight(e.ctx);
    e.ctx.settings.OverDue = 0;
}

QList<FigureScreen> screens()
{
    QList<FigureScreen> list;

    list.append({"diameter ranges", {"DRange"}, nullptr, nullptr, nullptr, nullptr});
    // The diameter ranges screen (a new range each time).
    list.last().open = [](StoneEnv &e) -> QWidget * {
        auto *w = new pricing::frmConfigD_Range(e.ctx);
        w->add(false);
        w->txtClass->setText("A");
        w->txtCaratLow->setText("0.30");
        w->txtCaratHigh->setText("0.50");
        w->txtMarkup->setText("10");
        return w;
    };
    list.last().commit = [](StoneEnv &, QWidget *w) { static_cast<pricing::frmConfigD_Range *>(w)->update(); };
    list.last().target = [](StoneEnv &, const QString &c) -> Target {
        if (c == "txtCaratLow")
            return {"Carat low", "DRange", "CaratLow", figures::Need::NotNegative};
        if (c == "txtCaratHigh")
            return {"Carat high", "DRange", "CaratHigh", figures::Need::Positive};
        if (c == "txtMarkup")
            return {"Markup", "DRange", "Markup", figures::Need::Any};
        return {};
    };
    // A range is stored low to high: the typed carats are one of the two ends.
    list.last().stored = [](StoneEnv &e, const Target &t) {
        if (t.column == "Markup")
            return newestValue(e, t);
        QSqlQuery q = db::exec(e.t.db(), "SELECT CAST(CaratLow AS CHAR), CAST(CaratHigh AS CHAR) FROM DRange "
                                         "ORDER BY ID DESC LIMIT 1");
        q.next();
        const QString other = t.column == "CaratLow" ? "0.50" : "0.30";
        return q.value(0).toString() == other ? q.value(1).toString() : q.value(0).toString();
    };

    // The configuration: every number box is the Config column of its name.
    list.append({"configuration", {"Config"}, nullptr, nullptr, nullptr, newestValue});
    list.last().open = [](StoneEnv &e) -> QWidget * {
        auto *w = new ui::frmConfiguration(e.ctx);
        w->show();
        return w;
    };
    list.last().commit = [](StoneEnv &, QWidget *w) { static_cast<ui::frmConfiguration *>(w)->save(); };
    list.last().target = [](StoneEnv &e, const QString &c) -> Target {
        QString column = c.mid(3);
        // The invoice taxes' rate boxes (txtTax1_Rate) are the _tax columns.
        if (column.startsWith("Tax") && column.endsWith("_Rate"))
            column = "_tax" + column.mid(3, column.size() - 8);
        if (column == "Discount")
            column = "DefaultDiscount";
        if (!c.startsWith("txt") || !db::columnExists(e.t.db(), "Config", column))
            return {};
        return {QString(), "Config", column, figures::Need::Any};
    };

    // The rate screen: the four rates it stores; the ounce and gram boxes
    // fill the gold rates.
    list.append({"rates", {"Config"}, nullptr, nullptr, nullptr, newestValue});
    list.last().open = [](StoneEnv &e) -> QWidget * {
        auto *w = new pricing::frmConfigExchangeRate(e.ctx);
        w->show();
        return w;
    };
    list.last().commit = [](StoneEnv &, QWidget *w) { static_cast<pricing::frmConfigExchangeRate *>(w)->save(); };
    list.last().target = [](StoneEnv &, const QString &c) -> Target {
        const auto nn = figures::Need::NotNegative;
        if (c == "txtExchangeRate")
            return {"US$ 1.00 =", "Config", "ExchangeRate", nn};
        if (c == "txtExchangeRateZAR")
            return {"US$ 1.00 = ZAR", "Config", "ExchangeRateZAR", nn};
        if (c == "txtGoldRate")
            return {"Gold rate per gram", "Config", "GoldRate", nn};
        if (c == "txtGoldRateBASE")
            return {"Base gold per gram", "Config", "GoldRateBase", nn};
        if (c == "txtPlatinumRate")
            return {"Platinum rate", "Config", "PlatinumRate", nn};
        if (c.contains("Ounce"))
            return {"fills", QString(), QString(), nn};
        return {};
    };

    // A free line on an invoice (weight 1: the sale price is the price per carat).
    list.append({"free line", {"invoicelist"}, nullptr, nullptr, nullptr, newestValue});
    list.last().open = [](StoneEnv &e) -> QWidget * {
        const qint64 c = e.customer("Free Line Buyer");
        const qint64 inv = db::insert(e.t.db(), "INSERT INTO invoice (customerid, datecreated, status) VALUES (?, NOW(), 'open')",
                                      {c});
        auto *w = new invoices::frmInvoiceADD(e.ctx, inv);
        w->txtDetails->setText("Setting");
        w->txtCarat->setText("1");
        w->txtPricePerCarat->setText("250");
        return w;
    };
    list.last().commit = [](StoneEnv &, QWidget *w) { static_cast<invoices::frmInvoiceADD *>(w)->add(); };
    list.last().target = [](StoneEnv &, const QString &c) -> Target {
        const auto pos = figures::Need::Positive;
        if (c == "txtCarat")
            return {"weight", "invoicelist", "carat", pos};
        if (c == "txtPricePerCarat")
            return {"price per carat", "invoicelist", "pricecarat", pos};
        // An empty sale price leaves the price per carat shown: it fills.
        if (c == "txtSalePrice")
            return {"sale price", QString(), QString(), pos};
        return {};
    };

    // Receiving carats into a parcel.
    list.append({"parcel receipt", {"parceladd", "parcel"}, nullptr, nullptr, nullptr, newestValue});
    list.last().open = [](StoneEnv &e) -> QWidget * {
        e.customer("Rough Supplier", true);
        const qint64 p = db::insert(e.t.db(), "INSERT INTO parcel (SKU, Shape, Carat) VALUES ('P1', 'Pear [PS]', 10)");
        auto *w = new ui::frmParcelAdd(e.ctx, p);
        auto *cbo = w->findChild<QComboBox *>("cboSupplier");
        cbo->setCurrentIndex(cbo->findText("Rough Supplier", Qt::MatchStartsWith));
        w->txtCarat->setText("2");
        w->txtUS->setText("150");
        return w;
    };
    list.last().commit = [](StoneEnv &, QWidget *w) { static_cast<ui::frmParcelAdd *>(w)->fill(); };
    list.last().target = [](StoneEnv &, const QString &c) -> Target {
        if (c == "txtCarat")
            return {"Carats received", "parceladd", "Carat", figures::Need::Positive};
        if (c == "txtUS")
            return {"cost per carat", "parceladd", "costusct", figures::Need::NotNegative};
        if (c == "txtCDN" || c == "txtZAR")
            return {"/ct", QString(), QString(), figures::Need::NotNegative};
        return {};
    };

    // The sell dialog, a stone of 1 ct listed at 5,000 with 20 % off.
    list.append({"sell dialog", {"invoicelist", "SingleStone"}, nullptr, nullptr, nullptr, newestValue});
    list.last().open = [](StoneEnv &e) -> QWidget * {
        if (!e.value("SELECT ID FROM Customer WHERE CompanyName='Counter Buyer'").isValid())
            e.customer("Counter Buyer");
        const qint64 s = db::insert(e.t.db(),
                                    "INSERT INTO SingleStone (SKU, Shape, Carat, RapaportPrice, SellOffRap, SellPriceUS, "
                                    "LockPercent, Status) VALUES (CONCAT('SD', FLOOR(RAND() * 1000000000)), "
                                    "'Round Brilliant [BR]', 1, 5000, 20, 4000, -1, 'Stock')");
        auto *d = new invoices::frmDiamondSell(e.ctx, s);
        d->cboCust->setCurrentIndex(d->cboCust->findText("Counter Buyer", Qt::MatchStartsWith));
        return d;
    };
    list.last().commit = [](StoneEnv &e, QWidget *w) {
        e.prompt.answer(true);
        static_cast<invoices::frmDiamondSell *>(w)->sell();
    };
    list.last().target = [](StoneEnv &, const QString &c) -> Target {
        const auto pos = figures::Need::Positive;
        if (c == "txtUScarat")
            return {"US$ per carat", "invoicelist", "pricecarat", pos};
        if (c == "txtUSstone") // 1 ct: the price per stone is the price per carat
            return {"US$ per stone", "invoicelist", "pricecarat", pos};
        const QMap<QString, QString> fills = {{"txtRapDiscount", "% off RAP"},    {"txtCDNcarat", "CDN$ per carat"},
                                              {"txtCDNstone", "CDN$ per stone"}, {"txtZARcarat", "ZAR per carat"},
                                              {"txtZARstone", "ZAR per stone"}};
        if (fills.contains(c))
            return {fills.value(c), QString(), QString(), pos};
        return {};
    };

    // The stone screen, editing a stone of 1 ct without a list price (so
    // that a discount typed moves no price past its column), 30 % off.
    list.append({"stone screen", {"SingleStone"}, nullptr, nullptr, nullptr, newestValue});
    list.last().open = [](StoneEnv &e) -> QWidget * {
        qint64 id = e.value("SELECT MAX(ID) FROM SingleStone").toLongLong();
        if (id == 0)
            id = db::insert(e.t.db(), "INSERT INTO SingleStone (SKU, Shape, Carat, SellOffRap, SellPriceUS, LockPercent, "
                                      "Status) VALUES ('FS1', 'Round Brilliant [BR]', 1, 30, 4000, -1, 'Stock')");
        auto *w = new ui::frmDiamondDetail(e.ctx);
        w->show();
        QTest::qWaitFor([w] { return w->startUpDone(); }, 5000);
        w->loadStone(int(id));
        w->editDiamond();
        return w;
    };
    list.last().commit = [](StoneEnv &e, QWidget *w) {
        e.prompt.answers({true, true, true, true, true, true});
        static_cast<ui::frmDiamondDetail *>(w)->update();
    };
    list.last().target = [](StoneEnv &, const QString &c) -> Target {
        struct Stored {
            const char *control, *label, *column;
        };
        static const Stored stored[] = {
            {"txtDim1", "Measurement 1", "Dim1"},
            {"txtDim2", "Measurement 2", "Dim2"},
            {"txtDim3", "Measurement 3", "Dim3"},
            {"txtTableSize", "Table %", "TableSize"},
            {"txtTotalDepth", "Total depth %", "TotalDepth"},
            {"txtCrownHeight", "Crown height %", "CrownHeight"},
            {"txtPavillionDepth", "Pavilion depth %", "PavillionDepth"},
            {"txtCrownAngle", "Crown angle", "CrownAngle"},
            {"txtPavillionAngle", "Pavilion angle", "PavillionAngle"},
            {"txtGirdleDimension", "Girdle %", "GirdleDimension"},
            {"txtOriginalRapPrice", "Rap when bought", "RapPriceOnDateBought"},
            {"txtBoughtPriceUS", "Bought price", "BoughtPriceUS"},
            {"txtSellOffRapLX", "Sell listing % off Rap", "SellOffRaplx"},
            {"txtSellOffRap2", "Sell 2 % off Rap", "SellOffRap2"},
            {"txtSellOffRap3", "Sell 3 % off Rap", "SellOffRap3"},
        };
        for (const Stored &f : stored)
            if (c == QLatin1String(f.control))
                return {QString::fromLatin1(f.label), "SingleStone", QString::fromLatin1(f.column)};
        // A selling price of 0 or below is no price; a list price may be 0
        // (none), not below.
        static const Stored prices[] = {
            {"txtSellPrice", "Sell 1 price", "SellPriceUS"},
            {"txtSellPriceLX", "Sell listing price", "SellPriceUSlx"},
            {"txtSellPrice2", "Sell 2 price", "SellPriceUS2"},
            {"txtSellPrice3", "Sell 3 price", "SellPriceUS3"},
        };
        for (const Stored &f : prices)
            if (c == QLatin1String(f.control)) {
                Target t{QString::fromLatin1(f.label), "SingleStone", QString::fromLatin1(f.column),
                         figures::Need::Positive};
                t.emptyKeeps = true; // an empty box is no price, not 0
                return t;
            }
        if (c == "txtLatestRapPrice")
            return {"current Rap", "SingleStone", "RapaportPrice", figures::Need::NotNegative};
        if (c == "txtWeight") // 0 or nothing is "You need to define a Carat Weight"
            return {"Weight", "SingleStone", "Carat", figures::Need::Positive};
        if (c == "txtSellOffRap") { // held by the percentage: 0 is no discount
            Target t{"Sell 1 % off Rap", "SingleStone", "SellOffRap"};
            t.zeroRefused = true;
            t.alsoNamed = "Off-Rap Discount";
            return t;
        }
        static const QMap<QString, QString> fills = {
            {"txtOriginalRapPriceUS", "Rap when bought per stone"},
            {"txtOriginalBuyOffRap", "Bought % off Rap"},
            {"txtBoughtPriceUSCT", "Bought price per carat"},
            {"txtUSRap", "current Rap per stone"},
            {"txtSellPriceCT", "Sell 1 price per carat"},
            {"txtSellPriceCTLX", "Sell listing price per carat"},
            {"txtSellPriceCT2", "Sell 2 price per carat"},
            {"txtSellPriceLocalCT2", "Sell 2 local price per carat"},
            {"txtSellPriceLocal2", "Sell 2 local price"},
            {"txtSellPriceCT3", "Sell 3 price per carat"},
            {"txtSellPriceLocalCT3", "Sell 3 local price per carat"},
            {"txtSellPriceLocal3", "Sell 3 local price"},
        };
        if (fills.contains(c))
            return {fills.value(c), QString(), QString()};
        return {};
    };

    // The customer screen: every number of the customer, on its panes.
    list.append({"customer", {"Customer"}, nullptr, nullptr, nullptr, newestValue});
    list.last().open = [](StoneEnv &e) -> QWidget * {
        for (const char *r : {"AllowCustomerAdd", "AllowCustomerEdit", "AllowCustomerView"})
            e.ctx.user.set(QString::fromLatin1(r), true);
        qint64 id = e.value("SELECT MAX(ID) FROM Customer").toLongLong();
        if (id == 0) {
            id = e.customer("Figure Jewellers");
            db::exec(e.t.db(), "UPDATE Customer SET InvoiceToID=ID, CreditLimit=5000, DefaultDiscount=5, Commission=-1 "
                               "WHERE ID=?",
                     {id});
        }
        auto *w = new ui::frmCustomer(e.ctx);
        w->show();
        w->showCustomer(id);
        w->editCustomer();
        return w;
    };
    list.last().commit = [](StoneEnv &e, QWidget *w) {
        e.prompt.answers({true, true});
        static_cast<ui::frmCustomer *>(w)->updateChanges();
    };
    list.last().target = [](StoneEnv &, const QString &c) -> Target {
        static const QMap<QString, QPair<QString, QString>> fields = {
            {"txtCreditLimit", {"Credit Limit", "CreditLimit"}},
            {"txtCommission", {"Commission Rate", "CommissionRate"}},
            {"txtDiscount", {"Default Discount", "DefaultDiscount"}},
            {"txtDiscountIfPaidInTime", {"Discount If Paid In Time", "DiscountIfPaidInTime"}},
            {"txtShipping", {"Shipping Charge", "ShippingCharge"}},
            {"txtTagMarkup", {"Tag Markup", "TagMarkup"}},
            {"txtTagEnd", {"Tag End", "TagEnd"}},
        };
        if (!fields.contains(c))
            return {};
        return {fields.value(c).first, "Customer", fields.value(c).second};
    };

    // The stone-on-memo screen: a stone listed at 5,000 (1 ct) put on a
    // sheet; the price per stone is the memo price, the discount follows.
    list.append({"stone on memo", {"SingleStone", "Memo"}, nullptr, nullptr, nullptr, nullptr});
    list.last().open = [](StoneEnv &e) -> QWidget * {
        if (!e.value("SELECT ID FROM user WHERE ID=7").isValid())
            db::exec(e.t.db(), "INSERT INTO user (ID, UserName, FirstName, LastName) VALUES (7, 'ann', 'Ann', 'Archer')");
        qint64 sheet = e.value("SELECT MAX(ID) FROM memosheet").toLongLong();
        if (sheet == 0)
            sheet = db::insert(e.t.db(), "INSERT INTO memosheet (Date, CustomerID) VALUES (NOW(), ?)",
                               {e.customer("Memo Figures")});
        const qint64 stone = db::insert(
            e.t.db(), "INSERT INTO SingleStone (SKU, Shape, Carat, RapaportPrice, SellOffRap, SellPriceUS, LockPercent, "
                      "Status) VALUES (CONCAT('M', FLOOR(RAND() * 1000000000)), 'Round Brilliant [BR]', 1, 5000, 20, "
                      "4000, 0, 'Stock')");
        auto *w = new ui::frmMemoAddNewDiamondToIt(e.ctx);
        w->setMemoSheet(sheet);
        w->reload();
        w->show();
        w->setSelectedStone(stone);
        return w;
    };
    list.last().commit = [](StoneEnv &, QWidget *w) { static_cast<ui::frmMemoAddNewDiamondToIt *>(w)->add(); };
    list.last().target = [](StoneEnv &, const QString &c) -> Target {
        if (c == "txtDiscountDollar") {
            Target t{"US$ /Stone", "SingleStone", "MemoUS", figures::Need::Positive};
            t.emptyKeeps = true; // no price typed: the price of the discount
            t.places = 2;
            return t;
        }
        if (c == "txtDiscount") { // 100 % off or more leaves no price
            Target t{"discount off RAP", "SingleStone", "currentRAPdiscountFORmemo"};
            t.beyond = [](Decimal5 v) { return v >= Decimal5::whole(100); };
            t.alsoNamed = "US$ /Stone";
            return t;
        }
        if (c == "txtPriceCarat")
            return {"US$ /ct", QString(), QString(), figures::Need::Positive};
        return {};
    };
    list.last().stored = newestValue;

    // The older memo sheet: a stone at a price typed over the proposed one,
    // and carats of an older parcel.
    list.append({"older memo sheet", {"SingleStone", "Memo", "ParcelStock"}, nullptr, nullptr, nullptr, newestValue});
    list.last().open = [](StoneEnv &e) -> QWidget * {
        e.ctx.user.AllowMemoAssigning = true;
        qint64 sheet = e.value("SELECT MAX(ID) FROM memosheet").toLongLong();
        if (sheet == 0)
            sheet = db::insert(e.t.db(), "INSERT INTO memosheet (Date, CustomerID) VALUES (NOW(), ?)",
                               {e.customer("Older Sheet Co")});
        const QString n = QString::number(e.value("SELECT COUNT(*) FROM SingleStone").toInt() + 1);
        db::insert(e.t.db(), "INSERT INTO SingleStone (SKU, Carat, RapaportPrice, SellOffRap, SellPriceUS, LockPercent, "
                             "Status) VALUES (?, 1, 5000, 30, 3500, 0, 'Stock')",
                   {"OS" + n});
        db::insert(e.t.db(), "INSERT INTO ParcelStock (SKU, Carat, CaratLow, CaratHigh, SellUS, PriceUSPerCarat, "
                             "PriceLocalPerCarat) VALUES (?, 10, 0.01, 0.03, -1, 400, 500)",
                   {"OP" + n});
        auto *w = new ui::frmMemoSheet(e.ctx);
        w->show();
        w->loadSheet(sheet);
        for (QComboBox *c : {w->cboStone, w->cboParcel})
            c->setCurrentIndex(c->findText(QString(c == w->cboStone ? "OS" : "OP") + n, Qt::MatchStartsWith));
        w->chkAllowMemoPriceOverWrite->setChecked(true);
        w->txtParcelCarat->setText("2");
        return w;
    };
    // The command of the box being typed into.
    list.last().commit = [](StoneEnv &, QWidget *w) {
        auto *s = static_cast<ui::frmMemoSheet *>(w);
        if (w->property("typedInto").toString() == "txtParcelCarat")
            s->cmdAddParcel->click();
        else
            s->cmdAddStone->click();
    };
    list.last().target = [](StoneEnv &e, const QString &c) -> Target {
        if (c == "txtPriceUS" || c == "txtPriceLocal") {
            Target t{c == "txtPriceUS" ? QString("Sell Price US$/Stone")
                                       : QString("Sell Price %1/Stone").arg(e.ctx.settings.currencyName()),
                     "SingleStone", c == "txtPriceUS" ? "MemoUS" : "MemoLocal", figures::Need::Positive};
            t.emptyKeeps = true; // no memo price
            return t;
        }
        if (c == "txtParcelCarat") { // more than the 10 ct on hand is refused
            Target t{"Carats", "Memo", "Carat", figures::Need::Positive};
            t.beyond = [](Decimal5 v) { return v > Decimal5::whole(10); };
            t.alsoNamed = "of this Parcel are in stock";
            return t;
        }
        return {};
    };

    // The parcel screen: a new parcel saved.
    list.append({"parcel", {"parcel"}, nullptr, nullptr, nullptr, nullptr});
    // A weight range is stored low to high: the typed carats are one of its ends.
    list.last().stored = [](StoneEnv &e, const Target &t) {
        if (t.column != "CaratLow" && t.column != "CaratHigh")
            return newestValue(e, t);
        QSqlQuery q = db::exec(e.t.db(), "SELECT CAST(CaratLow AS CHAR), CAST(CaratHigh AS CHAR) FROM parcel "
                                         "ORDER BY ID DESC LIMIT 1");
        q.next();
        const QString other = t.column == "CaratLow" ? "0.20000" : "0.10000";
        // One end of 0 is a single weight: both ends hold the other.
        if (q.value(0).toString() == other && q.value(1).toString() == other)
            return QString("0");
        return q.value(0).toString() == other ? q.value(1).toString() : q.value(0).toString();
    };
    list.last().open = [](StoneEnv &e) -> QWidget * {
        auto *w = new ui::frmParcel(e.ctx);
        w->show();
        w->addParcel();
        w->txtSKU->setText("NP" + QString::number(e.value("SELECT COUNT(*) FROM parcel").toInt() + 1));
        w->cboShape->setEditText("Pear [PS]");
        w->txtLowCarat->setText("0.10");
        w->txtHighCarat->setText("0.20");
        w->txtCarat->setText("0");
        w->txtSellPerCarat->setText("400");
        return w;
    };
    list.last().commit = [](StoneEnv &e, QWidget *w) {
        e.prompt.answers({true, true});
        static_cast<ui::frmParcel *>(w)->update();
    };
    list.last().target = [](StoneEnv &, const QString &c) -> Target {
        const auto nn = figures::Need::NotNegative;
        if (c == "txtCarat")
            return {"Carat", "parcel", "Carat", nn};
        if (c == "txtLowCarat")
            return {"CaratLow", "parcel", "CaratLow", nn};
        if (c == "txtHighCarat")
            return {"CaratHigh", "parcel", "CaratHigh", nn};
        if (c == "txtSellPerCarat")
            return {"SellPerCarat", "parcel", "SellPerCarat", nn};
        // The finder stores nothing (see parcelFinderWeight); the average
        // weight only suggests the number of stones, a text of its own.
        if (c == "txtCaratSearch" || c == "txtAvrgCarat")
            return {"-", QString(), QString()};
        return {};
    };

    // Putting parcel carats on memo (each time a new line).
    list.append({"parcel on memo", {"memoparcellist", "parcel", "memoparcel"}, nullptr, nullptr, nullptr, newestValue});
    list.last().open = [](StoneEnv &e) -> QWidget * {
        qint64 p = e.value("SELECT MAX(ID) FROM parcel").toLongLong();
        if (p == 0) {
            p = db::insert(e.t.db(), "INSERT INTO parcel (SKU, Shape, Carat, CaratLow, CaratHigh, SellPerCarat) "
                                     "VALUES ('PM1', 'Pear [PS]', 0, 0.1, 0.2, 400)");
            const qint64 supplier = e.customer("Parcel Supplier", true);
            parcels::receiveStock(e.ctx, {p, supplier, "50000", "1"});
            e.customer("Parcel Memo Co");
        }
        auto *w = new ui::frmParcelPutOnMemo(e.ctx, p);
        w->setPrice("400"); // as the parcel screen opens it
        w->cboCustomer->setCurrentIndex(w->cboCustomer->findText("Parcel Memo Co", Qt::MatchStartsWith));
        w->txtCarat->setText("1");
        return w;
    };
    list.last().commit = [](StoneEnv &e, QWidget *w) {
        e.prompt.answers({false}); // a new line, not the one already out
        auto *d = static_cast<ui::frmParcelPutOnMemo *>(w);
        // No carats typed: the command waits for them.
        QCOMPARE(d->cmdPutOnMemo->isEnabled(), !d->txtCarat->text().isEmpty());
        d->cmdPutOnMemo->click();
    };
    list.last().target = [](StoneEnv &, const QString &c) -> Target {
        const auto pos = figures::Need::Positive;
        if (c == "txtCarat") { // at most the 50,000 ct on hand
            Target t{"Carats to put on Memo", "memoparcellist", "carat", pos};
            t.beyond = [](Decimal5 v) { return v > Decimal5::whole(50000); };
            t.alsoNamed = "are on hand";
            t.emptyKeeps = true; // nothing typed: the command is disabled
            return t;
        }
        if (c == "txtUScarat")
            return {"price per carat", "memoparcellist", "pricecarat", pos};
        if (c == "txtCDNcarat" || c == "txtZARcarat")
            return {"price per carat", QString(), QString(), pos};
        return {};
    };

    // Splitting 2 ct off a parcel of 1,000 ct.
    list.append({"parcel split", {"parcel", "parceladd"}, nullptr, nullptr, nullptr, newestValue});
    list.last().open = [](StoneEnv &e) -> QWidget * {
        qint64 p = e.value("SELECT MIN(ID) FROM parcel").toLongLong();
        if (p == 0) {
            p = db::insert(e.t.db(), "INSERT INTO parcel (SKU, Shape, Carat, CaratLow, CaratHigh, SellPerCarat) "
                                     "VALUES ('SP1', 'Pear [PS]', 0, 0.1, 0.2, 400)");
            parcels::receiveStock(e.ctx, {p, e.customer("Split Supplier", true), "1000", "200"});
        }
        auto *w = new ui::frmSplitParcel(e.ctx, *parcels::loadParcel(e.t.db(), p));
        w->show();
        w->txtSKUNew->setText("SP-N" + QString::number(e.value("SELECT COUNT(*) FROM parcel").toInt()));
        w->txtCaratNew->setText("2");
        return w;
    };
    list.last().commit = [](StoneEnv &, QWidget *w) { static_cast<ui::frmSplitParcel *>(w)->update(); };
    list.last().target = [](StoneEnv &, const QString &c) -> Target {
        if (c == "txtCaratNew") { // fewer than the 1,000 ct on hand
            Target t{"Carats of the new Parcel", "parcel", "Carat", figures::Need::Positive};
            t.beyond = [](Decimal5 v) { return v >= Decimal5::whole(1000); };
            t.alsoNamed = "fewer carats than";
            return t;
        }
        if (c == "txtUSParcelValueNew") // the new parcel's cost per carat
            return {"value of the new Parcel", QString(), QString(), figures::Need::NotNegative};
        if (c == "txtPriceUSNew") {
            Target t{"sell price per carat", "parcel", "SellPerCarat", figures::Need::NotNegative};
            t.emptyKeeps = true; // the source parcel's price
            return t;
        }
        return {};
    };

    // Stock received into an older parcel (the receipt keeps two decimals).
    list.append({"older parcel receipt", {"AddParcel", "ParcelStock"}, nullptr, nullptr, nullptr, newestValue});
    list.last().open = [](StoneEnv &e) -> QWidget * {
        if (!e.value("SELECT ID FROM Customer WHERE CompanyName='Older Supplier'").isValid())
            e.customer("Older Supplier", true);
        qint64 p = e.value("SELECT ID FROM ParcelStock WHERE SKU = 'OR-1'").toLongLong();
        if (p == 0)
            p = db::insert(e.t.db(), "INSERT INTO ParcelStock (SKU, Shape, Carat, CostUSPerCarat) VALUES ('OR-1', "
                                     "'Oval', 10, 200)");
        auto *w = new ui::frmAddParcel(e.ctx, p);
        auto *cbo = w->findChild<QComboBox *>("cboSupplier");
        cbo->setCurrentIndex(cbo->findText("Older Supplier", Qt::MatchStartsWith));
        // Each receipt its own supplier's invoice: a repeated one is refused.
        w->findChild<QLineEdit *>("txtInvoice")
            ->setText("R" + QString::number(e.value("SELECT COUNT(*) FROM AddParcel").toInt()));
        w->findChild<QLineEdit *>("txtPricePerCarat")->setText("150");
        w->findChild<QLineEdit *>("txtCarats")->setText("2");
        w->findChild<QLineEdit *>("txtQuantity")->setText("3");
        return w;
    };
    list.last().commit = [](StoneEnv &, QWidget *w) { static_cast<ui::frmAddParcel *>(w)->proceed(); };
    list.last().target = [](StoneEnv &, const QString &c) -> Target {
        if (c == "txtPricePerCarat")
            return {"Price per Carat", "AddParcel", "PricePerCarat", figures::Need::Positive};
        if (c == "txtCarats")
            return {"Carats", "AddParcel", "Carat", figures::Need::Positive};
        return {};
    };

    // Splitting 4 ct off an older parcel of 1,000 ct: every box of both panes.
    list.append({"older parcel split", {"ParcelStock"}, nullptr, nullptr, nullptr, newestValue});
    list.last().open = [](StoneEnv &e) -> QWidget * {
        qint64 p = e.value("SELECT MIN(ID) FROM ParcelStock").toLongLong();
        if (p == 0)
            p = db::insert(e.t.db(), "INSERT INTO ParcelStock (SKU, Shape, Carat, CaratLow, CaratHigh, CostUSPerCarat, "
                                     "PriceUSPerCarat, DMarkup, SellUS) VALUES ('OP-1', 'Oval', 1000, 0.1, 0.2, 200, 300, "
                                     "1.5, 1)");
        auto *w = new ui::frmSplitOlderParcel(e.ctx, *stones::readOlderParcel(e.t.db(), p));
        w->neu.sku->setText("OP-N" + QString::number(e.value("SELECT COUNT(*) FROM ParcelStock").toInt()));
        w->neu.carat->setText("4");
        return w;
    };
    list.last().commit = [](StoneEnv &, QWidget *w) { static_cast<ui::frmSplitOlderParcel *>(w)->update(); };
    list.last().target = [](StoneEnv &, const QString &c) -> Target {
        if (c == "txtCaratNew") { // fewer than the 1,000 ct of the parcel
            Target t{"fewer carats than", "ParcelStock", "Carat", figures::Need::Positive};
            t.beyond = [](Decimal5 v) { return v >= Decimal5::whole(1000); };
            return t;
        }
        if (c == "txtUSParcelValueNew")
            return {"value of the new Parcel", QString(), QString(), figures::Need::NotNegative};
        // The panes' boxes follow each other (cost, markup, price, currency):
        // each refuses what is not a figure, naming itself and its pane.
        static const QMap<QString, QString> names = {{"txtWeightLow", "weight low"}, {"txtWeightHigh", "weight high"},
                                                     {"txtCostUS", "cost US$"},       {"txtCostLocal", "cost local"},
                                                     {"txtPriceUS", "price US$"},     {"txtPriceLocal", "price local"}};
        for (const QString &pane : {QString("Old"), QString("New")})
            if (c.endsWith(pane) && names.contains(c.chopped(pane.size())))
                return {names.value(c.chopped(pane.size()))
                            + (pane == "Old" ? " of the remaining Parcel" : " of the new Parcel"),
                        QString(), QString(), figures::Need::NotNegative};
        return {};
    };
    return list;
}

} // namespace

class TestTypedFigures : public QObject {
    Q_OBJECT
private slots:
    void everyFigureBox_data()
    {
        QTest::addColumn<int>("screen");
        const QList<FigureScreen> all = screens();
        for (int i = 0; i < all.size(); ++i)
            QTest::newRow(qPrintable(all[i].name)) << i;
    }

    void everyFigureBox()
    {
        QFETCH(int, screen);
        const FigureScreen s = screens().at(screen);
        StoneEnv e;
        prepare(e);
        // The number boxes of the screen, by control name.
        QStringList controls;
        {
            std::unique_ptr<QWidget> w(s.open(e));
            for (QLineEdit *box : w->findChildren<QLineEdit *>())
                if ((box->property("velmorNumberBox").toBool() || box->objectName().contains(figureName))
                    && !box->isReadOnly() && box->isEnabled() && !box->objectName().isEmpty())
                    controls << box->objectName();
        }
        QVERIFY2(!controls.isEmpty(), "the screen has no number boxes");
        int checked = 0;
        for (const QString &control : controls) {
            std::unique_ptr<QWidget> probe(s.open(e));
            const Target t = s.target(e, control);
            QVERIFY2(!t.label.isEmpty() || !t.table.isEmpty(),
                     qPrintable(QString("%1: the number box %2 is not in the table").arg(s.name, control)));
            const ColumnShape c = t.table.isEmpty() ? ColumnShape{} : shapeOf(e.t.db(), t.table, t.column);
            probe.reset();
            if (t.label == "-") {
                checked += int(std::size(kTyped));
                continue;
            }
            for (const char *typed : kTyped) {
                const QString text = QString::fromLatin1(typed);
                std::unique_ptr<QWidget> w(s.open(e));
                QMap<QString, QStringList> before;
                for (const QString &table : s.tables)
                    before[table] = rowsOf(e.t.db(), table);
                QLineEdit *box = w->findChild<QLineEdit *>(control);
                QVERIFY(box);
                // The figure typed as a user would: the box's text replaced.
                box->selectAll();
                box->del();
                QTest::keyClicks(box, text);
                const QString where = QString("%1, %2, \"%3\"").arg(s.name, control, text);
                // No handler rewrites the box being typed into.
                QVERIFY2(box->text() == text, qPrintable(where + ": the box shows " + box->text()));
                e.prompt.clear();
                w->setProperty("typedInto", control);
                s.commit(e, w.get());
                const QString label = t.label.isEmpty() ? box->accessibleName() : t.label;
                QStringList informs = e.prompt.texts(PromptEvent::Inform);
                const bool refusal = std::any_of(informs.cbegin(), informs.cend(), [&](const QString &m) {
                    return m.contains(label, Qt::CaseInsensitive)
                           || (!t.alsoNamed.isEmpty() && m.contains(t.alsoNamed, Qt::CaseInsensitive));
                });
                bool unchanged = true;
                for (const QString &table : s.tables)
                    unchanged = unchanged && rowsOf(e.t.db(), table) == before[table];
                if (t.table.isEmpty()) {
                    // A box that fills others: a text that is not a figure is
                    // refused with its name and nothing changes.
                    if (!meant(text)) {
                        QVERIFY2(unchanged, qPrintable(where + ": rows changed"));
                        if (!s.name.startsWith("rates"))
                            QVERIFY2(refusal, qPrintable(where + ": " + informs.join(" / ")));
                    }
                    ++checked;
                    continue;
                }
                if (text.isEmpty() && t.emptyKeeps) {
                    ++checked;
                    continue;
                }
                const std::optional<Decimal5> want = expected(text, t, c);
                if (!want) {
                    QVERIFY2(refusal, qPrintable(where + ": no refusal naming the field: " + informs.join(" / ")));
                    QVERIFY2(unchanged, qPrintable(where + ": rows changed on a refusal"));
                } else {
                    QVERIFY2(!refusal, qPrintable(where + ": refused: " + informs.join(" / ")));
                    QString got = s.stored(e, t);
                    if (got.isEmpty() && want->isZero())
                        got = QStringLiteral("0"); // Null counts as 0
                    QVERIFY2(Decimal5::parse(got).has_value(),
                             qPrintable(where + ": stored " + got + " / " + e.prompt.messages().join(" / ")));
                    QVERIFY2(*Decimal5::parse(got) == *want,
                             qPrintable(where + ": stored " + got + ", expected " + want->toDb()));
                }
                ++checked;
            }
        }
        QVERIFY(checked >= controls.size() * int(std::size(kTyped)));
    }

    // The stone search's weights filter by the figure typed, or refuse it
    // naming the box (the count shows "?" and no row); never "no filter".
    void searchWeights_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("name");
        QTest::newRow("from") << "txtLowWeight" << "Weight from";
        QTest::newRow("to") << "txtHighWeight" << "Weight to";
    }
    void searchWeights()
    {
        QFETCH(QString, box);
        QFETCH(QString, name);
        StoneEnv e;
        const QList<Decimal5> weights = {*Decimal5::parse("0.5"), *Decimal5::parse("1"), *Decimal5::parse("1234.56"),
                                         *Decimal5::parse("10000")};
        for (const Decimal5 &w : weights)
            db::insert(e.t.db(), "INSERT INTO SingleStone (SKU, Shape, Carat, Status) VALUES (?, 'Pear [PS]', ?, 'Stock')",
                       {"W" + w.toDb(), w.toDb()});
        for (const char *typed : kTyped) {
            const QString text = QString::fromLatin1(typed);
            ui::frmItemDiamondSearch s(e.ctx);
            for (const char *b : {"txtLowWeight", "txtHighWeight"})
                s.findChild<QLineEdit *>(b)->setText(QString());
            s.findChild<QLineEdit *>(box)->setText(text);
            s.search();
            const QString qty = s.findChild<QLineEdit *>("txtQTY")->text();
            const QString where = QString("%1 \"%2\"").arg(name, text);
            const std::optional<QString> m = meant(text);
            const Decimal5 v = m ? Decimal5::parse(*m)->rounded(5) : Decimal5();
            if (text.isEmpty()) {
                QCOMPARE(qty, QString::number(weights.size()));
            } else if (!m || v <= Decimal5()) {
                QVERIFY2(qty == "?", qPrintable(where + ": " + qty));
                QVERIFY2(s.findChild<QLineEdit *>(box)->toolTip().contains(name), qPrintable(where));
                QCOMPARE(s.model()->rowCount(), 0);
            } else {
                // One weight alone is the exact weight.
                const auto n = std::count(weights.cbegin(), weights.cend(), v);
                QVERIFY2(qty == QString::number(n), qPrintable(where + ": " + qty));
            }
        }
    }

    // The settings menu's working rates: taken when the menu closes, as the
    // whole text typed, never a figure met on the way ("2,5" passes "2").
    void settingsMenuRates_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("column");
        QTest::newRow("CDN") << "txtCDN" << "ExchangeRate";
        QTest::newRow("ZAR") << "txtZAR" << "ExchangeRateZAR";
    }
    void settingsMenuRates()
    {
        QFETCH(QString, box);
        QFETCH(QString, column);
        StoneEnv e;
        prepare(e);
        const QString name = "Working rate " + box.mid(3);
        const Target t{name, "Config", column, figures::Need::Positive};
        const ColumnShape c = shapeOf(e.t.db(), "Config", column);
        for (const char *typed : kTyped) {
            const QString text = QString::fromLatin1(typed);
            e.ctx.exchangeRateCDN = 1.3;
            e.ctx.exchangeRateZAR = 17.25;
            const double before = box == "txtCDN" ? 1.3 : 17.25;
            e.prompt.clear();
            {
                ui::frmConfigMenu menu(e.ctx, nullptr);
                QLineEdit *le = menu.findChild<QLineEdit *>(box);
                le->selectAll();
                le->del();
                QTest::keyClicks(le, text);
                menu.reject();
            }
            const double now = box == "txtCDN" ? e.ctx.exchangeRateCDN : e.ctx.exchangeRateZAR;
            const QStringList informs = e.prompt.texts(PromptEvent::Inform);
            const QString where = QString("%1 \"%2\": rate %3, %4").arg(name, text).arg(now).arg(informs.join(" / "));
            const std::optional<Decimal5> want = expected(text, t, c);
            if (text.isEmpty()) {
                QVERIFY2(now == before && informs.isEmpty(), qPrintable(where));
            } else if (!want) {
                QVERIFY2(now == before, qPrintable(where));
                QVERIFY2(informs.size() == 1 && informs.first().contains(name), qPrintable(where));
            } else {
                QVERIFY2(now == want->toDouble() && informs.isEmpty(), qPrintable(where));
            }
        }
    }

    // The parcel finder's weight: "1,5" finds nothing, it is not "any weight".
    void parcelFinderWeight()
    {
        StoneEnv e;
        db::insert(e.t.db(), "INSERT INTO parcel (SKU, Shape, Carat, CaratLow, CaratHigh) VALUES ('F1', 'Pear [PS]', 5, 0.1, 0.2)");
        QCOMPARE(parcels::searchParcels(e.t.db(), {"", 0, 0}).size(), 1);
        QCOMPARE(parcels::searchParcels(e.t.db(), {"0.15", 0, 0}).size(), 1);
        QCOMPARE(parcels::searchParcels(e.t.db(), {"0.3", 0, 0}).size(), 0);
        QCOMPARE(parcels::searchParcels(e.t.db(), {"1,5", 0, 0}).size(), 0);
        QCOMPARE(parcels::searchParcels(e.t.db(), {"abc", 0, 0}).size(), 0);
    }
};

QTEST_MAIN(TestTypedFigures)
#include "tst_typedfigures.moc"
