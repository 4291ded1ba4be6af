// Every figure box of the screens that store figures, found by walking the
// screen's number boxes, typed with the same texts: each is either stored as
// the right number or refused with a message naming the field, every row as
// it was.  A number box the table below does not know fails the test, so a
// new field cannot slip past the rule.
#include "../stones/StoneTestEnv.h"
#include "core/Figures.h"
#include "core/frmConfiguration.h"
#include "invoices/frmDiamondSell.h"
#include "invoices/frmInvoiceADD.h"
#include "parcels/frmParcelAdd.h"
#include "pricing/frmConfigExchangeRate.h"
#include "pricing/frmConfigD_Range.h"

#include <QComboBox>
#include <QLineEdit>
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
};

// The stored text expected for a typed text, or nothing when it must be refused.
std::optional<Decimal5> expected(const QString &typed, const Target &t, const ColumnShape &c)
{
    const std::optional<QString> m = meant(typed);
    if (!m)
        return std::nullopt;
    const Decimal5 v = Decimal5::parse(*m)->rounded(qMin(c.scale, 5));
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
    e.ctx.user.Administrator = true;
    e.ctx.user.set("Administrator", true);
    e.ctx.user.AllowExchangeRateChanging = true;
    e.ctx.user.set("AllowExchangeRateChanging", true);
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
                if (box->property("velmorNumberBox").toBool() && !box->isReadOnly() && !box->objectName().isEmpty())
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
                QCOMPARE(box->text(), text);
                e.prompt.clear();
                s.commit(e, w.get());
                const QString where = QString("%1, %2, \"%3\"").arg(s.name, control, text);
                const QString label = t.label.isEmpty() ? box->accessibleName() : t.label;
                QStringList informs = e.prompt.texts(PromptEvent::Inform);
                const bool refusal = std::any_of(informs.cbegin(), informs.cend(), [&](const QString &m) {
                    return m.contains(label, Qt::CaseInsensitive);
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
                const std::optional<Decimal5> want = expected(text, t, c);
                if (!want) {
                    QVERIFY2(refusal, qPrintable(where + ": no refusal naming the field: " + informs.join(" / ")));
                    QVERIFY2(unchanged, qPrintable(where + ": rows changed on a refusal"));
                } else {
                    QVERIFY2(!refusal, qPrintable(where + ": refused: " + informs.join(" / ")));
                    QString got = s.stored(e, t);
                    if (got.isEmpty() && want->isZero())
                        got = QStringLiteral("0"); // Null counts as 0
                    QVERIFY2(Decimal5::parse(got).has_value(), qPrintable(where + ": stored " + got));
                    QVERIFY2(*Decimal5::parse(got) == *want,
                             qPrintable(where + ": stored " + got + ", expected " + want->toDb()));
                }
                ++checked;
            }
        }
        QVERIFY(checked >= controls.size() * int(std::size(kTyped)));
    }
};

QTEST_MAIN(TestTypedFigures)
#include "tst_typedfigures.moc"
