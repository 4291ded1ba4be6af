#pragma once
// What a count comes to: the stones missing (with their list value, and
// their cost for a user who may see costs), the stones that left stock
// while the count ran (sold, on memo: not missing), the stones scanned that
// were not expected, the stones scanned more than once, the codes that are
// no stone, the parcels with their differences, and the totals.  The same
// report is shown on the screen and the command line, printed and written as
// CSV.  An open count is read as the books stand now; a closed one as it was
// kept at its closing.
#include "stones/StockCount.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace velmor::printing {
class PrintSurface;
}

namespace velmor::stones {

struct MissingStone {
    qint64 stoneId = 0;
    QString sku, shape, location;
    Decimal5 carat, listValue, cost;
};

struct LeftStone {
    qint64 stoneId = 0;
    QString sku, status, place;
};

struct UnexpectedStone {
    qint64 stoneId = 0;
    QString sku, status, place, code;
    int scans = 0;
};

struct TwiceStone {
    qint64 stoneId = 0;
    QString sku;
    int scans = 0; // in all, the first one included
};

struct UnknownCode {
    QString code;
    int scans = 0;
};

struct CountReport {
    CountHeader header;
    CountFigures figures;
    bool withCost = false; // the reader may see costs (ViewCost)
    QList<MissingStone> missing;
    QList<LeftStone> leftStock;
    QList<UnexpectedStone> unexpected;
    QList<TwiceStone> twice;
    QList<UnknownCode> unknown;
    QList<ParcelLine> parcels;
    Decimal5 missingValue, missingCost;
    int parcelDifferences = 0, parcelsNotWeighed = 0;
    Decimal5 parcelDifferenceTotal; // weighed less on hand, over the parcels weighed

    QList<ParcelLine> parcelsBeyond() const;
};

// Throws db::DbError when the count cannot be read; an empty report (id 0)
// when there is no such count.
CountReport countReport(AppContext &ctx, qint64 countId);

// The totals, a line each ("Found: 493 of 500 stones expected").
QStringList reportSummary(const CountReport &r);
// The whole report as the command line prints it.
QString reportText(const CountReport &r);

// One row per line of the report, with its section first; the totals last.
// Text cells that a spreadsheet would take for a formula are written as text.
bool writeCountCsv(const CountReport &r, const QString &path, QString *error);

// The report on pages (portrait), laid out from measured text widths.
bool drawCountReport(printing::PrintSurface &s, const CountReport &r, QString *error);

} // namespace velmor::stones
