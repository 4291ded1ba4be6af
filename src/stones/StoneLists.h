#pragma once
// Stone lists for customers made from the search result: the comma list of
// the export options (two layouts, file or e-mail), the fax page text and
// the trading-network upload file.  Files are written beside their final
// name and renamed into place, so a failure never leaves half a list.
#include "stones/StoneSearch.h"

#include <QHash>
#include <QString>

namespace velmor::stones {

// The optional columns (frmExportOptions).
struct ListOptions {
    bool shape = true, colour = true, clarity = true, cut = true, measurement = true, rapCt = true, rapOff = true,
         code = false, cert = true;
    bool files = true; // the names of the stone's pictures, videos and documents (chkFiles)
};

// The list text: the header (file mode only), one line per row, the footer.
// layout is 1 or 2.
// With `files` (by stone, StoneFiles' fileNamesOf) and o.files, a last column
// "Files" names each stone's files, separated by "; ".
QString stoneListText(const QList<SearchRow> &rows, const ListOptions &o, bool fileMode, int layout,
                      const QHash<qint64, QStringList> &files = {});
// The stones of rows, in order.
QList<qint64> stoneIdsOf(const QList<SearchRow> &rows);

// The fax page text (fax.txt).
// Whether the fax list shows prices, which it gives in the local currency
// too: then the local rate must be known (the list is refused without it).
bool faxNeedsLocalRate(const QList<SearchRow> &rows);
QString faxText(const QList<SearchRow> &rows, const QString &currencyName, double localRate);

// The trading-network upload file (CSV with the networks' column names).
QStringList tradeNetworkColumns();
QString tradeNetworkCsv(const QList<SearchRow> &rows);

// Writes `text` to `path` through a temporary file renamed into place.
bool writeTextFile(const QString &path, const QString &text, QString *error = nullptr);

} // namespace velmor::stones
