#pragma once
// What the stone-on-memo screen shows, read without widgets: the sheet's
// header, its stone lines (with the days each has been out), the selected
// stone's panel, the employees, and the three coupled price fields.
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace velmor {
class AppContext;
}

namespace velmor::memos {

// "#,##0.00"
QString money(double value);
// The memo's date as shown: "MMM dd, yyyy".
QString memoDate(const QDateTime &d);
// Whole days between going on memo and `now` (0 when not known).
int daysOnMemo(const QDateTime &onMemo, const QDateTime &now = QDateTime::currentDateTime());
// The same from the two days alone (a report's rows share one today).
int daysOnMemo(const QDate &onMemo, const QDate &today);

// Grade wording from DiamondGrades, read once per screen load.
class GradeWords {
public:
    explicit GradeWords(const QSqlDatabase &db);
    QString colour(int n) const { return m_colour.value(n); }
    QString clarity(int n) const { return m_clarity.value(n); }

private:
    QHash<int, QString> m_colour, m_clarity;
};

struct MemoHeader {
    qint64 id = 0;
    qint64 customerId = 0;
    QString company, street1, street2, city, zip, phone, fax;
    QDateTime date;
    QString ref; // "n/a" when Null
    bool refIsNull = true;
    bool closed = false;
};

struct MemoLine {
    qint64 stoneId = 0;
    QString sku, weight, colour, clarity, lab, cert, rap, discount, stonePrice;
    int days = 0;
};

struct MemoSheetData {
    bool found = false;
    MemoHeader header;
    QList<MemoLine> lines; // newest on memo first
};

// The grid's captions: "SKU" ... "Stone Price", "Days", "ID" (hidden).
QStringList memoLineHeaders();
// Throws db::DbError.
MemoSheetData loadMemoSheet(AppContext &ctx, qint64 memoSheetId);

// The selected-stone panel.
struct SelectedStone {
    bool found = false;
    QString sku = QStringLiteral("SKU# ?");
    QString weight = QStringLiteral("? Weight ?");
    QString colour = QStringLiteral("? Colour ?");
    QString clarity = QStringLiteral("? Clarity ?");
    QString status = QStringLiteral("? Status ?");
    double carat = 0;
    double rap = 0;          // RapaportPrice per carat, 0 when Null
    bool locked = false;     // LockPercent
    QString rapDiscount;     // lblRapDiscount2: SellOffRap "0", "n/a" when Null
    QString proposedPrice;   // a locked stone's SellPriceUS "0.00"
};
SelectedStone loadSelectedStone(AppContext &ctx, qint64 stoneId);
// A stone ID from a scanned or typed text: an ID, or an SKU.
qint64 stoneIdOfScan(AppContext &ctx, const QString &text);

// cboUser: "Lastname, Firstname   --- ID" (missing parts left out).
QStringList employeeEntries(AppContext &ctx);

// A sheet's reference: the memo screen's `ref`, else the text the older
// sheet screen kept in `Reference` before both were written together.
inline const QString kMemoReferenceSql =
    QStringLiteral("COALESCE(NULLIF(memosheet.ref, ''), memosheet.Reference)");

// The header edits (cmdDate, cmdRef).  A reference goes to `ref` and
// `Reference` alike.  False with a message when refused.
bool saveMemoDate(AppContext &ctx, qint64 memoSheetId, const QDateTime &date);
bool saveMemoRef(AppContext &ctx, qint64 memoSheetId, const QString &ref);

// txtDiscount, txtDiscountDollar and txtPriceCarat: a change in one
// recomputes the other two; the guard keeps the partners' handlers quiet.
class MemoPriceFields {
public:
    void setStone(double rapPerCarat, double weight)
    {
        m_rap = rapPerCarat;
        m_weight = weight;
    }
    // The rounding step of a price worked out from the discount.
    void setStep(int step) { m_step = step; }
    // Change handlers: each takes the typed text and rewrites the partners.
    void discountChanged(const QString &text);
    void stonePriceChanged(const QString &text);
    void priceCaratChanged(const QString &text);
    // Leaving txtDiscount: "0.0".
    void discountLeft();

    QString discount, stonePrice, priceCarat;
    bool guard = false;

private:
    double m_rap = 0, m_weight = 0;
    int m_step = 0;
};

} // namespace velmor::memos
