#pragma once
// Cells of the CSV exports as a spreadsheet opens them: a text that begins
// like a formula ("=", "+", "-", "@", or a tab or carriage return before
// one) would be run by the spreadsheet, so it gets an apostrophe in front
// and reads as the text it is.  Numbers ("-12.50", "+3", "1,234.56") stay
// as they are.
#include <QString>

namespace velmor {

QString spreadsheetSafe(const QString &cell);

} // namespace velmor
