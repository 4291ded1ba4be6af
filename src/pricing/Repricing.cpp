#include "pricing/Repricing.h"

#include "core/AppContext.h"
#include "db/ConvertSql.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "db/Transaction.h"
#include "pricing/SellingPrice.h"
#include "pricing/Shapes.h"

#include <QHash>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <algorithm>
#include <charconv>
#include <limits>
#include <optional>

namespace velmor::pricing {

namespace {

struct MemberDef {
    Member member;
    const char *name;
    Grid grid;
    // Substring tests on the shape ("contains" is instr(), case-insensitive
    // under the database's collation); each entry is the SQL text and the needle.
    QList<QPair<QString, QString>> contains;
    bool likeRoundStoneName = false;
};

const QList<MemberDef> &memberDefs()
{
    static const QList<MemberDef> defs = [] {
        auto c = [](const char *sql, const char *needle) {
            return QPair<QString, QString>(QString::fromLatin1(sql), QString::fromLatin1(needle));
        };
        QList<MemberDef> d;
        d.append({Member::Round, "UpdateRoundDiamondsModule", Grid::Round,
                  {c("instr(Shape,'[BR]')", "[BR]"), c("instr(ucase(Shape),'ROUND')", "ROUND")}, true});
        d.append({Member::Pear, "UpdatePearDiamondsModule", Grid::Pear,
                  {c("instr(Shape,'[PS]')", "[PS]"), c("instr(ucase(Shape),'PEAR')", "PEAR")}});
        d.append({Member::Princess, "UpdatePrincessDiamondsModule", Grid::Princess,
                  {c("instr(Shape,'[PR]')", "[PR]"), c("instr(ucase(Shape),'PRINCESS')", "PRINCESS")}});
        d.append({Member::Marquise, "UpdateMarquiseDiamondsModule", Grid::Marquise,
                  {c("instr(Shape,'[MQ]')", "[MQ]"), c("instr(ucase(Shape),'MARQUISE')", "MARQUISE")}});
        d.append({Member::PearEQPrincess, "UpdatePearEQPrincessDiamondsModule", Grid::Pear,
                  {c("instr(ucase(Shape),'[PR]')", "[PR]"), c("instr(ucase(Shape),'PRINCESS')", "PRINCESS")}});
        d.append({Member::PearEQMarquise, "UpdatePearEQMarquiseDiamondsModule", Grid::Pear,
                  {c("instr(ucase(Shape),'MARQUISE')", "MARQUISE")}});
        d.append({Member::PearEQEmerald, "UpdatePearEQEmeraldDiamondsModule", Grid::Pear,
                  {c("instr(ucase(Shape),'EMERALD')", "EMERALD")}});
        d.append({Member::PearEQCushion, "UpdatePearEQCushionDiamondsModule", Grid::Pear,
                  {c("instr(ucase(Shape),'CUSHION')", "CUSHION")}});
        d.append({Member::PearEQRadiant, "UpdatePearEQRadiantDiamondsModule", Grid::Pear,
                  {c("instr(ucase(Shape),'RADIANT')", "RADIANT")}});
        d.append({Member::PearEQTriangle, "UpdatePearEQTriangleDiamondsModule", Grid::Pear,
                  {c("instr(ucase(Shape),'TRIANGLE')", "TRIANGLE")}});
        d.append({Member::PearEQHeart, "UpdatePearEQHeartDiamondsModule", Grid::Pear,
                  {c("instr(ucase(Shape),'HEART')", "HEART")}});
        d.append({Member::PearEQOval, "UpdatePearEQOvalDiamondsModule", Grid::Pear,
                  {c("instr(ucase(Shape),'OVAL')", "OVAL")}});
        d.append({Member::PearEQAsser, "UpdatePearEQAsserDiamondsModule", Grid::Pear,
                  {c("instr(ucase(Shape),'ASSCHER')", "ASSCHER")}});
        d.append({Member::SquareBrilliantEQRound, "UpdateSquareBrilliantEQRoundDiamondsModule", Grid::Round,
                  {c("instr(Shape,'sq Brilliant')", "sq Brilliant"),
                   c("instr(ucase(Shape),'SQUARE BRILLIANT')", "SQUARE BRILLIANT")}});
        d.append({Member::RectangleBrilliantEQRound, "UpdateRectangleBrilliantEQRoundDiamondsModule", Grid::Round,
                  {c("instr(Shape,'rec Brilliant')", "rec Brilliant"),
                   c("instr(ucase(Shape),'RECTANGLE BRILLIANT')", "RECTANGLE BRILLIANT")}});
        d.append({Member::GIANoneRound, "UpdateGIANoneRoundDiamonds", Grid::Pear, {}});
        return d;
    }();
    return defs;
}

const MemberDef &def(Member m) { return memberDefs()[int(m)]; }

// Per-member needles folded once.
struct FoldedMember {
    QStringList needles;
    bool like = false;
};

} // namespace

QString memberName(Member m) { return QString::fromLatin1(def(m).name); }
Grid memberGrid(Member m) { return def(m).grid; }

QList<Phase> repricingPhases(const Settings &s)
{
    QList<Phase> p;
    auto add = [&](const char *text, Member m) { p.append({QString::fromLatin1(text), m}); };
    add("Updating Round Diamonds", Member::Round);
    add("Updating Pear Diamonds", Member::Pear);
    add("Updating Princess Diamonds", s.PrincessEQPear ? Member::PearEQPrincess : Member::Princess);
    add("Updating Marquise Diamonds", s.MarquiseEQPear ? Member::PearEQMarquise : Member::Marquise);
    if (s.EmeraldEQPear)
        add("Updating Emerald Diamonds", Member::PearEQEmerald);
    if (s.CushionEQPear)
        add("Updating Cushion Diamonds", Member::PearEQCushion);
    if (s.RadiantEQPear)
        add("Updating Radiant Diamonds", Member::PearEQRadiant);
    if (s.TriangleEQPear)
        add("Updating Triangle Diamonds", Member::PearEQTriangle);
    if (s.HeartEQPear)
        add("Updating Heart Diamonds", Member::PearEQHeart);
    if (s.GIAanythingelse)
        add("Updating all GIA none-round Diamonds", Member::GIANoneRound);
    if (s.OvalEQPear)
        add("Updating Oval Diamonds", Member::PearEQOval);
    if (s.AsserEQPear)
        add("Updating Asscher Diamonds", Member::PearEQAsser);
    if (s.SquareBrilliantEQRound)
        add("Updating square Brilliant Diamonds", Member::SquareBrilliantEQRound);
    if (s.RectangleBrilliantEQRound)
        add("Updating rectangle Brilliant Diamonds", Member::RectangleBrilliantEQRound);
    return p;
}

bool memberSelects(Member m, const QString &shape, bool isNull, const QString &roundStoneName,
                   const QList<Member> &earlier)
{
    if (m == Member::GIANoneRound) {
        for (Member e : earlier)
            if (e != Member::GIANoneRound && memberSelects(e, shape, isNull, roundStoneName))
                return false;
        return !memberSelects(Member::Round, shape, isNull, roundStoneName);
    }
    if (isNull)
        return false;
    const MemberDef &d = def(m);
    // instr() ignores letter case but not accents: "Émerald" is no emerald.
    const QString s = shape.toUpper();
    for (const auto &c : d.contains)
        if (s.contains(c.second.toUpper()))
            return true;
    // No round-stone name (Null or empty) names no shape.
    return d.likeRoundStoneName && !roundStoneName.isEmpty() && sqlLike(shape, roundStoneName);
}

QString memberCondition(Member m, const QString &roundStoneName, QVariantList &binds, const QList<Member> &earlier)
{
    if (m == Member::GIANoneRound) {
        QStringList parts;
        QList<Member> others = earlier;
        if (!others.contains(Member::Round))
            others.prepend(Member::Round);
        for (Member e : others)
            if (e != Member::GIANoneRound)
                parts << QLatin1Char('(') + memberCondition(e, roundStoneName, binds) + QLatin1Char(')');
        // A Null shape matches no member, so it is selected here.
        return QStringLiteral("NOT COALESCE(%1, 0)").arg(parts.join(QStringLiteral(" OR ")));
    }
    const MemberDef &d = def(m);
    QStringList parts;
    for (const auto &c : d.contains)
        parts << c.first;
    if (d.likeRoundStoneName && !roundStoneName.isEmpty()) {
        parts << QStringLiteral("ucase(Shape) LIKE ?");
        binds << roundStoneName;
    }
    return parts.join(QStringLiteral(" OR "));
}

int RepriceReport::totalSelected() const
{
    int n = 0;
    for (const PhaseReport &p : phases)
        n += p.selected;
    return n;
}

double sellPriceOffList(double carat, double discount, double listPrice, int step)
{
    return sellPerStone(Decimal5::fromDouble(listPrice), Decimal5::fromDouble(discount), Decimal5::fromDouble(carat),
                        step)
        .toDouble();
}

namespace {

// What the members do to one stone, on the values the stone holds now.
struct StoneState {
    qint64 id = 0;
    // Index into the shapes read (one entry per distinct text, Null apart).
    int shape = 0;
    QString colourWord, clarityWord;
    // The grade numbers (kNoGrade when Null): with the grid and the weight
    // they decide the list price.
    qint64 colour = 0, clarity = 0;
    bool caratNull = true;
    double carat = 0;
    // Written values
    bool rapNull = true;
    double rap = 0;
    // The last list price found: the stone's change mark is drawn anew and
    // its selling prices held as a discount follow it.
    std::optional<double> pricedOn;
    bool touched = false;
};

constexpr qint64 kNoGrade = std::numeric_limits<qint64>::min();

struct PriceKey {
    int shape; // index of the shape text
    double carat;
    qint64 colour, clarity;
    bool operator==(const PriceKey &o) const
    {
        return shape == o.shape && carat == o.carat && colour == o.colour && clarity == o.clarity;
    }
};

size_t qHash(const PriceKey &k, size_t seed = 0)
{
    return qHashMulti(seed, k.shape, k.carat, k.colour, k.clarity);
}

int newRnd() { return int(QRandomGenerator::global()->bounded(1000000)); }

// Applies the member's result P; returns true when a price was found.
bool applyPrice(StoneState &s, double p)
{
    s.touched = true;
    if (p != 0) {
        s.pricedOn = p;
        s.rapNull = false;
        s.rap = p;
        return true;
    }
    // No list price: a value becomes Null, a Null becomes 0.  A price found
    // by an earlier member keeps the selling prices it made.
    if (s.rapNull) {
        s.rapNull = false;
        s.rap = 0;
    } else {
        s.rapNull = true;
    }
    return false;
}

// The grade words, first row by ID for each number.
QHash<qint64, QString> gradeWords(const QSqlDatabase &db, bool colour)
{
    QHash<qint64, QString> out;
    const QString sql = colour ? QStringLiteral("SELECT Number, Wording FROM DiamondGrades WHERE Colour=true and "
                                                "Clarity=false ORDER BY ID")
                               : QStringLiteral("SELECT Number, Wording FROM DiamondGrades WHERE Colour=false and "
                                                "Clarity=true ORDER BY ID");
    QSqlQuery q = db::exec(db, db::convertSql(sql));
    while (q.next()) {
        if (q.value(0).isNull())
            continue;
        const qint64 n = q.value(0).toLongLong();
        if (!out.contains(n))
            out.insert(n, db::textOf(q.value(1)));
    }
    return out;
}

// The shortest text that reads back as the same double.
void appendNumber(QByteArray &out, double v)
{
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, int(r.ptr - buf));
}

void appendNumber(QByteArray &out, qint64 v)
{
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, int(r.ptr - buf));
}

// With `ownTransaction` unset the caller's transaction holds the writes
// (the temporary table neither ends nor needs one).
void writeStates(const QSqlDatabase &db, const std::vector<StoneState> &stones, int &written, bool ownTransaction,
                 int updateSlice, int step)
{
    db::exec(db, QStringLiteral("DROP TEMPORARY TABLE IF EXISTS tmp_reprice"));
    // A memory table is quickest to fill; it is bounded by the session's
    // max_heap_table_size (16 MB by default, some 200,000 rows), which a
    // larger stock raises for the table's making and then puts back (about
    // 80 bytes a stone: 80 MB for a million).
    const qint64 heapNeeded = qint64(stones.size()) * 80 + (1 << 20);
    QVariant heapBefore;
    {
        QSqlQuery q = db::exec(db, QStringLiteral("SELECT @@SESSION.max_heap_table_size"));
        if (q.next())
            heapBefore = q.value(0);
    }
    const bool raiseHeap = heapBefore.isValid() && heapBefore.toLongLong() < heapNeeded;
    if (raiseHeap)
        db::exec(db, QStringLiteral("SET SESSION max_heap_table_size = %1").arg(heapNeeded));
    // `pricedon` is Null when no price was found, and left Null as well
    // when it equals the new list price (most stones: less to send).
    // The limit is read when a memory table is made: the table keeps its
    // size, and the session's later tables get the usual one (also when
    // the making fails).
    const auto heapBack = [&] {
        if (raiseHeap)
            db::exec(db, QStringLiteral("SET SESSION max_heap_table_size = %1").arg(heapBefore.toLongLong()));
    };
    try {
        db::exec(db, QStringLiteral("CREATE TEMPORARY TABLE tmp_reprice (ID INT PRIMARY KEY, rap DOUBLE NULL, "
                                    "priced TINYINT NOT NULL, pricedon DOUBLE NULL) ENGINE=MEMORY"));
    } catch (const db::DbError &) {
        try {
            heapBack();
        } catch (const db::DbError &) {
            // The first failure is the one to report.
        }
        throw;
    }
    heapBack();
    std::optional<db::Transaction> tx;
    if (ownTransaction)
        tx.emplace(db);
    const int batch = 5000;
    const QByteArray head = "INSERT INTO tmp_reprice (ID, rap, priced, pricedon) VALUES ";
    QByteArray sql;
    sql.reserve(head.size() + batch * 32);
    int inBatch = 0;
    auto flush = [&] {
        if (inBatch == 0)
            return;
        sql.append(')');
        db::exec(db, QString::fromLatin1(sql));
        sql.clear();
        inBatch = 0;
    };
    written = 0;
    for (const StoneState &s : stones) {
        if (!s.touched)
            continue;
        ++written;
        // Computed numbers only: nothing typed by a user goes into this text.
        if (inBatch)
            sql.append("),(");
        else
            sql.append(head).append('(');
        appendNumber(sql, s.id);
        sql.append(',');
        if (s.rapNull)
            sql.append("NULL");
        else
            appendNumber(sql, s.rap);
        if (!s.pricedOn) {
            sql.append(",0,NULL");
        } else if (!s.rapNull && *s.pricedOn == s.rap) {
            sql.append(",1,NULL");
        } else {
            sql.append(",1,");
            appendNumber(sql, *s.pricedOn);
        }
        if (++inBatch == batch)
            flush();
    }
    flush();
    // The selling prices held as a discount, by the one selling-price rule
    // (pricing/SellingPrice.h) that sellPriceOffList() follows too, on the
    // stone's weight and discounts as they are now.
    const auto offList = [step](const char *discount) {
        return sellPerStoneSql(QStringLiteral("IFNULL(t.pricedon, t.rap)"),
                               QStringLiteral("IFNULL(s.%1, 0)").arg(QLatin1String(discount)), QStringLiteral("s.Carat"),
                               step);
    };
    const QString update =
        QStringLiteral("UPDATE SingleStone s INNER JOIN tmp_reprice t ON s.ID = t.ID SET "
                       "s.RapaportPrice = t.rap, "
                       "s.SellPriceUS = IF(t.priced <> 0 AND s.LockPercent <> 0, %1, s.SellPriceUS), "
                       "s.SellPriceUSlx = IF(t.priced <> 0 AND s.LockPercentlx <> 0, %2, s.SellPriceUSlx), "
                       "s.RND = IF(t.priced <> 0, FLOOR(RAND() * 1000000), s.RND)")
            .arg(offList("SellOffRap"), offList("SellOffRapLX"));
    // The update in slices of the key, each of `updateSlice` stones, all in
    // the one transaction: a single statement over a million stones cost
    // the server twice as much per stone as ten of 100,000.  The first slice
    // has no lower bound and the last no upper one, so every stone of the
    // table falls in exactly one.
    std::vector<qint64> ids;
    ids.reserve(size_t(written));
    for (const StoneState &s : stones)
        if (s.touched)
            ids.push_back(s.id);
    if (!std::is_sorted(ids.begin(), ids.end()))
        std::sort(ids.begin(), ids.end());
    const size_t slice = size_t(std::max(updateSlice, 1));
    std::optional<qint64> lower;
    for (size_t end = slice;; end += slice) {
        QString where;
        if (lower)
            where = QStringLiteral(" WHERE s.ID > %1").arg(*lower);
        if (end >= ids.size()) {
            db::exec(db, update + where);
            break;
        }
        const qint64 upper = ids[end - 1];
        where += (lower ? QStringLiteral(" AND s.ID <= %1") : QStringLiteral(" WHERE s.ID <= %1")).arg(upper);
        db::exec(db, update + where);
        lower = upper;
    }
    if (tx)
        tx->commit();
    db::exec(db, QStringLiteral("DROP TEMPORARY TABLE IF EXISTS tmp_reprice"));
}

} // namespace

RepriceReport repriceAll(AppContext &ctx) { return repriceAll(ctx, true); }

RepriceReport repriceAll(AppContext &ctx, bool ownTransaction, int updateSlice)
{
    const QSqlDatabase db = ctx.db();
    const Settings &settings = ctx.settings;
    RepriceReport report;
    const QList<Phase> phases = repricingPhases(settings);

    GridCache grid;
    grid.load(db);
    const QHash<qint64, QString> colours = gradeWords(db, true);
    const QHash<qint64, QString> clarities = gradeWords(db, false);

    std::vector<StoneState> stones;
    // Shape 0 stands for Null; the texts follow.
    QStringList shapes{QString()};
    {
        // Numbers come as doubles through the binary protocol (a bound
        // parameter makes the statement a prepared one): converting text to
        // numbers is most of the cost of reading 100,000 rows.
        QSqlQuery q = db::exec(db,
                               QStringLiteral("SELECT ID, Shape, Colour, Clarity, CAST(Carat AS DOUBLE), "
                                              "RapaportPrice IS NULL FROM SingleStone WHERE 1 = ?"),
                               {1});
        QHash<QString, int> shapeIndex;
        while (q.next()) {
            StoneState s;
            s.id = q.value(0).toLongLong();
            const QVariant shape = q.value(1);
            if (!shape.isNull()) {
                const QString text = db::textOf(shape);
                auto it = shapeIndex.constFind(text);
                if (it == shapeIndex.constEnd()) {
                    it = shapeIndex.insert(text, int(shapes.size()));
                    shapes << text;
                }
                s.shape = *it;
            }
            const QVariant colour = q.value(2), clarity = q.value(3), carat = q.value(4);
            s.colour = colour.isNull() ? kNoGrade : colour.toLongLong();
            s.clarity = clarity.isNull() ? kNoGrade : clarity.toLongLong();
            if (!colour.isNull())
                s.colourWord = colours.value(s.colour);
            if (!clarity.isNull())
                s.clarityWord = clarities.value(s.clarity);
            s.caratNull = carat.isNull();
            s.carat = db::numOf(carat);
            s.rapNull = q.value(5).toInt() != 0;
            stones.push_back(std::move(s));
        }
    }

    const QString rsn = settings.roundstonename;
    QList<Member> ran;
    QHash<PriceKey, double> prices;
    for (const Phase &phase : phases) {
        ctx.prompt().busy(phase.text);
        PhaseReport pr{phase.text, memberName(phase.member)};
        // Many stones share a shape text: the selection is decided once per text.
        std::vector<char> selects(shapes.size());
        for (qsizetype i = 0; i < shapes.size(); ++i)
            selects[i] = memberSelects(phase.member, shapes[i], i == 0, rsn, ran);
        for (StoneState &s : stones) {
            if (!selects[s.shape])
                continue;
            ++pr.selected;
            double p = 0;
            if (!s.caratNull) {
                // Stones of one shape, weight and grades share their price,
                // found by the stone screen's look-up: every phase that
                // selects a stone gives it the same price.
                const PriceKey key{s.shape, s.carat, s.colour, s.clarity};
                auto it = prices.constFind(key);
                if (it == prices.constEnd())
                    it = prices.insert(key, resolveListPrice(grid, settings, shapes[s.shape], s.carat, s.colourWord,
                                                             s.clarityWord)
                                                .price);
                p = *it;
            }
            if (applyPrice(s, p))
                ++pr.priced;
            else
                ++pr.cleared;
        }
        ran << phase.member;
        report.phases << pr;
    }
    writeStates(db, stones, report.stonesWritten, ownTransaction, updateSlice, sellingPriceStep(ctx.settings));
    return report;
}

RepriceReport repriceAllLiteral(AppContext &ctx)
{
    const QSqlDatabase db = ctx.db();
    const Settings &settings = ctx.settings;
    const int step = sellingPriceStep(settings);
    RepriceReport report;
    const SqlPriceSource source(db);
    const QString colourSql = db::convertSql(QStringLiteral(
        "SELECT * FROM DiamondGrades WHERE  Number= ? AND Colour=true and Clarity=false ORDER BY ID LIMIT 1"));
    const QString claritySql = db::convertSql(QStringLiteral(
        "SELECT * FROM DiamondGrades WHERE  Number= ? AND Colour=false and Clarity=true ORDER BY ID LIMIT 1"));
    auto word = [&](const QString &sql, const QVariant &n) {
        if (n.isNull())
            return QString();
        QSqlQuery q = db::exec(db, sql, {n});
        return q.next() ? db::Row(q).text(QStringLiteral("Wording")) : QString();
    };
    QList<Member> ran;
    for (const Phase &phase : repricingPhases(settings)) {
        ctx.prompt().busy(phase.text);
        PhaseReport pr{phase.text, memberName(phase.member)};
        QVariantList binds;
        const QString where = memberCondition(phase.member, settings.roundstonename, binds, ran);
        QSqlQuery q = db::exec(db, QStringLiteral("SELECT * FROM singleStone WHERE ") + where, binds);
        while (q.next()) {
            const db::Row r(q);
            ++pr.selected;
            const QString colour = word(colourSql, r.raw(QStringLiteral("Colour")));
            const QString clarity = word(claritySql, r.raw(QStringLiteral("Clarity")));
            double p = 0;
            const double carat = r.num(QStringLiteral("Carat"));
            if (!r.isNull(QStringLiteral("Carat")))
                p = resolveListPrice(source, settings, r.text(QStringLiteral("Shape")), carat, colour, clarity).price;
            const QVariant id = r.raw(QStringLiteral("ID"));
            if (p != 0) {
                QString sql = QStringLiteral("UPDATE SingleStone SET RND=?, RapaportPrice=?");
                QVariantList b{newRnd(), p};
                if (r.flag(QStringLiteral("LockPercent"))) {
                    sql += QStringLiteral(", SellPriceUS=?");
                    b << sellPriceOffList(carat, r.num(QStringLiteral("SellOffRap")), p, step);
                }
                if (r.flag(QStringLiteral("LockPercentlx"))) {
                    sql += QStringLiteral(", SellPriceUSlx=?");
                    b << sellPriceOffList(carat, r.num(QStringLiteral("SellOffRapLX")), p, step);
                }
                b << id;
                db::exec(db, sql + QStringLiteral(" WHERE ID=?"), b);
                ++pr.priced;
            } else {
                const bool wasNull = r.isNull(QStringLiteral("RapaportPrice"));
                db::exec(db, QStringLiteral("UPDATE SingleStone SET RapaportPrice=? WHERE ID=?"),
                         {wasNull ? QVariant(0.0) : QVariant(QMetaType::fromType<double>()), id});
                ++pr.cleared;
            }
            ++report.stonesWritten;
        }
        ran << phase.member;
        report.phases << pr;
    }
    return report;
}

} // namespace velmor::pricing
