#include "stones/StoneHistory.h"

#include "db/Sql.h"
#include "printing/PrintSurface.h"
#include "stones/SearchReport.h"
#include "stones/StoneSearch.h"

#include <QLocale>
#include <algorithm>
#include <iterator>
#include <QRegularExpression>

namespace velmor::stones {

StoneHistory loadStoneHistory(const QSqlDatabase &db, qint64 stoneId)
{
    // Every movement is kept, also one whose customer or memo sheet has gone
    // (outer joins); the three parts are ordered by when they happened, and
    // movements of the same second in the order they were written.
    const QString sql = QStringLiteral(
        "SELECT * FROM ("
        "SELECT memo.setdate AS sortdate, DATE_FORMAT(memo.setdate,'%b %d, %Y') AS `Date`, "
        " customer.CompanyName AS `Customer`, "
        " IFNULL(CAST(ROUND(memo.outonmemorapdiscount, 0) AS CHAR), '') AS `% off RAP`, "
        " CASE WHEN memo.Quantity = 1 THEN 'sent to Customer' "
        "      WHEN IFNULL(memo.Quantity, 0) <> 0 THEN 'returned from Customer' ELSE '' END AS `Status`, "
        " CONCAT(IFNULL(memo.MemoSheetID, 0), "
        "        IF(IFNULL(memosheet.Reference, '') <> '', CONCAT(' Ref# ', memosheet.Reference), '')) AS `Memo#/Inv#`, "
        " CAST(memo.`date` AS CHAR) AS `Reference`, "
        // Who did it: the name, or the user name of a user without one.
        " COALESCE(NULLIF(TRIM(CONCAT(IFNULL(`user`.FirstName, ''), ' ', IFNULL(`user`.LastName, ''))), ''), "
        "          `user`.UserName) AS `user`, "
        " 1 AS part, memo.ID AS seq "
        "FROM memo LEFT JOIN customer ON memo.CustomerID = customer.ID "
        " LEFT JOIN memosheet ON memo.MemoSheetID = memosheet.ID "
        " LEFT OUTER JOIN `user` ON memo.userid = `user`.ID "
        "WHERE memo.DiamondID = ? "
        "UNION ALL "
        "SELECT invoice.datecreated, DATE_FORMAT(invoice.datecreated,'%b %d, %Y'), customer.CompanyName, '', "
        " 'invoiced', CONCAT('INV# ', invoice.id), "
        " CONCAT('added to Inv# ', invoice.id, ' on: ', IFNULL(DATE_FORMAT(invoicelist.dateadded,'%b %d, %Y'), '')), '', "
        " 2, invoicelist.ID "
        "FROM invoicelist JOIN invoice ON invoicelist.invoiceID = invoice.id "
        " LEFT JOIN customer ON invoice.CustomerID = customer.ID "
        "WHERE invoicelist.DiamondID = ? "
        "UNION ALL "
        "SELECT returntovendor.`date`, DATE_FORMAT(returntovendor.`date`,'%b %d, %Y'), '', '', returntovendor.action, '', "
        " DATE_FORMAT(returntovendor.`date`,'%b %d, %Y  %H:%i'), '', 3, returntovendor.id "
        "FROM returntovendor WHERE returntovendor.DiamondID = ? "
        ") AS history ORDER BY sortdate IS NULL, sortdate, part, seq");
    StoneHistory h;
    QSqlQuery q = db::exec(db, sql, {stoneId, stoneId, stoneId});
    while (q.next()) {
        QStringList row;
        for (int i = 1; i <= 7; ++i)
            row << q.value(i).toString();
        h.rows << row;
    }
    return h;
}

namespace {

QString phoneText(const QString &stored)
{
    QString digits = stored;
    digits.remove(QRegularExpression(QStringLiteral("\\D")));
    if (digits.size() != 10)
        return stored.trimmed();
    return digits.left(3) + QLatin1Char('-') + digits.mid(3, 3) + QLatin1Char('-') + digits.mid(6);
}

QString memoDate(const QVariant &v)
{
    return v.isNull() ? QString() : QLocale::c().toString(v.toDate(), QStringLiteral("MMM dd, yyyy"));
}

} // namespace

QList<MemoOutCustomer> loadMemoOutList(const QSqlDatabase &db)
{
    QSqlQuery q = db::exec(
        db, QStringLiteral(
                "SELECT customer.id AS custid, customer.CompanyName, customer.PhoneNumber1, SingleStone.DateOnMemo, "
                "SingleStone.MemoSheetID, SingleStone.SKU, SingleStone.Shape, SingleStone.Carat, SingleStone.Colour, "
                "SingleStone.Clarity, SingleStone.RapaportPrice, SingleStone.currentRAPdiscountFORmemo "
                "FROM customer RIGHT OUTER JOIN "
                " (MemoSheet RIGHT OUTER JOIN SingleStone ON SingleStone.MemoSheetID=MemoSheet.ID) "
                " ON memosheet.CustomerID=Customer.ID "
                " WHERE SingleStone.status LIKE 'memo' "
                "ORDER BY customer.CompanyName, customer.id, SingleStone.DateOnMemo ASC, SingleStone.ID"));
    QList<MemoOutCustomer> out;
    while (q.next()) {
        const qint64 cust = q.value(0).toLongLong();
        // Grouped by the customer, so two firms of one name stay apart.
        if (out.isEmpty() || out.last().customerId != cust) {
            MemoOutCustomer g;
            g.customerId = cust;
            g.company = q.value(1).toString();
            g.phone = phoneText(q.value(2).toString());
            out << g;
        }
        MemoOutCustomer &g = out.last();
        const double carat = q.value(7).toDouble(), rap = q.value(10).toDouble();
        MemoOutLine l;
        l.memoDate = memoDate(q.value(3));
        l.memoId = q.value(4).toString();
        l.sku = q.value(5).toString();
        l.shape = q.value(6).toString();
        l.weight = QString::number(carat, 'f', 2);
        l.colourClarity = (colourText(q.value(8).toInt()) + QLatin1Char(' ') + clarityText(q.value(9).toInt())).trimmed();
        l.rapCt = moneyText(rap);
        l.rapStone = moneyText(rap * carat);
        l.offRap = q.value(11).isNull() ? QString() : q.value(11).toString() + QLatin1Char('%');
        g.rapSum += rap * carat;
        g.lines << l;
    }
    return out;
}

bool drawMemoOutList(printing::PrintSurface &s, const QList<MemoOutCustomer> &list, const QDate &today, QString *)
{
    const QString font = QStringLiteral("Arial");
    const double bottom = s.pageHeight() - 1000;
    const double right = s.pageWidth() > 0 ? s.pageWidth() - 100 : 11000;
    const QStringList h = {QStringLiteral("Memo Date"),      QStringLiteral("Memo ID"),    QStringLiteral("SKU#"),
                           QStringLiteral("Shape"),          QStringLiteral("WEIGHT"),     QStringLiteral("Colour/Clarity"),
                           QStringLiteral("offRap (*)"),     QStringLiteral("RAP /ct"),    QStringLiteral("RAP /Stone")};
    auto values = [](const MemoOutLine &l) {
        return QStringList{l.memoDate, l.memoId, l.sku, l.shape, l.weight, l.colourClarity, l.offRap, l.rapCt,
                           l.rapStone};
    };
    // The stone columns, each as wide as its heading and widest value; the
    // SKU, the shape and the grades give up room when the page is too
    // narrow (they go on in the column's next line), the figures are whole.
    QList<double> needed;
    s.setFont(font, 8, true);
    for (const QString &t : h)
        needed << s.textWidth(t);
    s.setFont(font, 8);
    for (const MemoOutCustomer &g : list)
        for (const MemoOutLine &l : g.lines) {
            const QStringList v = values(l);
            for (int i = 0; i < v.size(); ++i)
                needed[i] = std::max(needed.at(i), s.textWidth(v.at(i)));
        }
    const QList<double> x = printing::columnEdges(needed, 500, right, {2, 3, 5}, 80);
    auto top = [&] {
        s.setColumns({});
        s.setFont(font, 14, true);
        s.setPosition(500, 500);
        s.printLine(s.fitted(QStringLiteral("Daily Memo Information Sheet as of ")
                                 + QLocale::c().toString(today, QStringLiteral("MMM dd, yyyy")),
                             right - 500));
        s.printLine(QString());
        s.setFont(font, 8, true);
        // "Customer" heads the customers' lines; the stone columns start under it.
        s.setPosition(500, s.CurrentY);
        s.printLine(QStringLiteral("Customer"));
        const double y2 = s.CurrentY;
        s.setColumns(x);
        for (int i = 0; i < h.size(); ++i) {
            s.setPosition(x.at(i), y2);
            s.printLine(h.at(i));
        }
        s.setColumns({});
        s.setLineWidth(3);
        s.drawLine(500, s.CurrentY, right, s.CurrentY);
        s.setFont(font, 8);
    };
    auto room = [&](int lines) {
        if (s.CurrentY + lines * s.textHeight() > bottom) {
            s.newPage();
            top();
        }
    };
    top();
    for (const MemoOutCustomer &g : list) {
        room(3);
        s.printLine(QString());
        s.setFont(font, 9, true);
        s.CurrentX = 500;
        s.printLine(s.fitted(g.company + (g.phone.isEmpty() ? QString() : QStringLiteral(" --- ") + g.phone),
                             right - 500));
        s.setFont(font, 8);
        s.CurrentX = 500;
        s.printLine(QStringLiteral("Stones on MEMO: ") + QString::number(g.lines.size()));
        for (const MemoOutLine &l : g.lines) {
            const QStringList v = values(l);
            // A text wider than its column goes on in the column's next line.
            QList<QStringList> cells;
            int lines = 1;
            for (int i = 0; i < v.size(); ++i) {
                cells << s.wrapped(v.at(i), x.at(i + 1) - x.at(i) - 80);
                lines = std::max(lines, int(cells.last().size()));
            }
            room(lines);
            s.setColumns(x);
            const double y = s.CurrentY;
            double next = y + s.textHeight();
            for (int i = 0; i < cells.size(); ++i) {
                s.setPosition(x.at(i), y);
                for (const QString &t : cells.at(i)) {
                    s.CurrentX = x.at(i);
                    s.printLine(t);
                }
                next = std::max(next, s.CurrentY);
            }
            s.setColumns({});
            s.setPosition(0, next);
        }
    }
    return true;
}

} // namespace velmor::stones
