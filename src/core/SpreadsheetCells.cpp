#include "core/SpreadsheetCells.h"

#include <QRegularExpression>

namespace velmor {

QString spreadsheetSafe(const QString &cell)
{
    if (cell.isEmpty())
        return cell;
    if (cell.at(0) == QLatin1Char('\t') || cell.at(0) == QLatin1Char('\r'))
        return QLatin1Char('\'') + cell;
    // Blanks before the first sign count for nothing in a spreadsheet.
    const QString t = cell.trimmed();
    if (t.isEmpty())
        return cell;
    const QChar first = t.at(0);
    if (first == QLatin1Char('=') || first == QLatin1Char('@'))
        return QLatin1Char('\'') + cell;
    if (first != QLatin1Char('+') && first != QLatin1Char('-'))
        return cell;
    // A signed number is a number, not a formula.
    static const QRegularExpression number(
        QStringLiteral("^[+-](?=[.\\d])(\\d{1,3}(,\\d{3})+|\\d+)?(\\.\\d+)?%?$"));
    return number.match(t).hasMatch() ? cell : QLatin1Char('\'') + cell;
}

} // namespace velmor
