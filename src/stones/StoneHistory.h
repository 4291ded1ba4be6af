#pragma once
// Two read-only views: the history of one stone (memo movements, invoices,
// vendor returns; DataGrid1 of the stone screen) and the "Daily Memo
// Information Sheet", every stone out on memo grouped by customer.
#include <QDate>
#include <QList>
#include <QSqlDatabase>
#include <QStringList>

namespace velmor::printing {
class PrintSurface;
}

namespace velmor::stones {

struct StoneHistory {
    QStringList columns = {QStringLiteral("Date"),       QStringLiteral("Customer"),  QStringLiteral("% off RAP"),
                           QStringLiteral("Status"),     QStringLiteral("Memo#/Inv#"), QStringLiteral("Reference"),
                           QStringLiteral("user")};
    QList<QStringList> rows; // oldest first
};
StoneHistory loadStoneHistory(const QSqlDatabase &db, qint64 stoneId);

struct MemoOutLine {
    QString memoDate, memoId, sku, shape, weight, colourClarity, offRap, rapCt, rapStone;
};
struct MemoOutCustomer {
    qint64 customerId = 0; // 0: a memo sheet without a customer
    QString company, phone; // phone formatted "###-###-####" where it has ten digits
    QList<MemoOutLine> lines;
    double rapSum = 0;
};
QList<MemoOutCustomer> loadMemoOutList(const QSqlDatabase &db);

// mnuPrintMEmoOutList's document.
bool drawMemoOutList(printing::PrintSurface &s, const QList<MemoOutCustomer> &list, const QDate &today,
                     QString *error = nullptr);

} // namespace velmor::stones
