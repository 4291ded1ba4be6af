#pragma once
// What the search screen keeps between sessions (searchtable.ini, the print
// options in printpreferences.ini) and the search report it prints: the
// simple list (PrintSearchResultsSimpleModule) and the full, landscape one.
#include "stones/StoneSearch.h"

#include <QImage>
#include <QString>

namespace velmor {
class Workstation;
struct Settings;
}
namespace velmor::printing {
class PrintSurface;
}

namespace velmor::stones {

// The last filters, as the controls show them (combo texts as shown).
struct SavedSearch {
    QString sku, shape, day, lab, highWeight, lowWeight, highColour, lowColour, highClarity, lowClarity;
    bool allowRange = false, inStock = true, memo = true, preSold = false, sold = false;
    QString certificate;
};
SavedSearch readSavedSearch(const Workstation &ws); // defaults when the file is missing
bool writeSavedSearch(const Workstation &ws, const SavedSearch &s);

struct PrintPreferences {
    bool status = false, rap = false, cost = false, pricing = false;
};
PrintPreferences readPrintPreferences(const Workstation &ws);
bool writePrintPreferences(const Workstation &ws, const PrintPreferences &p);

// The footer of every printed report and stone list.
extern const QString kReportFooter;

// The filters the report's header names.
struct SearchCriteria {
    QString shape, lab, lowWeight, highWeight, lowColour, highColour, lowClarity, highClarity;
    bool widened = false;
    // The other filters set, each as "Name: value" ("SKU: R1", "Status: Memo, Sold").
    QStringList others;
};
// The criteria as the report prints them, one line each.
QStringList criteriaLines(const SearchCriteria &k);
// "12 stones, Total RAP US$ 123,456.78": the count and the total the search
// screen shows, for the rows printed.
QString reportTotalsLine(const QList<SearchRow> &rows);

struct SearchReport {
    QList<SearchRow> rows; // in grid order
    SearchCriteria criteria;
    bool simple = true;
    PrintPreferences options; // the full report's column groups
    double localRate = 1;     // US$ to the local currency
    QImage logo;              // may be null
};

// PrintSearchResultsSimpleModule or the full report, by `simple`.
bool drawSearchReport(printing::PrintSurface &s, const Settings &company, const SearchReport &r, QString *error);
// The columns of the full report for the chosen groups.
QStringList fullReportColumns(const PrintPreferences &p, const Settings &settings);

} // namespace velmor::stones
