#pragma once
// A count's report on the screen: the totals, and one list each of the
// stones missing, those that left stock while the count ran, those scanned
// but not expected, those scanned more than once, the codes that are no
// stone, the parcels, and the stones found (to set their location).  From
// here the report goes to a printer, a PDF file or a CSV file; a stone of a
// list opens on the stone screen.  Showing changes nothing; only "Set
// location..." writes (the location of the stones chosen).
#include "stones/StockCountReport.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableView;

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class frmStockCountReport : public QDialog {
    Q_OBJECT
public:
    frmStockCountReport(AppContext &ctx, qint64 countId, QWidget *parent = nullptr);

    const stones::CountReport &report() const { return m_report; }
    // Reads the count again.
    void reload();
    // The texts of a list as shown, row by row ("grdMissing", ...).
    QList<QStringList> rowsOf(const QString &listName) const;

    // Writes the report into the file named in txtFile (cmdPdf, cmdCsv),
    // or prints it on the printer chosen (cmdPrint).  False when nothing was
    // written; the reason is shown.
    bool savePdf();
    bool saveCsv();
    bool print();
    // cmdOpenStone: the stone of the current row on the stone screen.
    bool openChosenStone();
    // cmdSetLocation: the location of the found stones selected (all of the
    // list when none is selected) becomes `location`.
    int setLocation(const QString &location);

    QLabel *lblSummary;
    QTabWidget *tabLists;
    QTableView *grdMissing, *grdLeft, *grdUnexpected, *grdTwice, *grdUnknown, *grdParcels, *grdFound;
    QLineEdit *txtFile, *txtNewLocation;
    QPushButton *cmdBrowse, *cmdPdf, *cmdCsv, *cmdPrint, *cmdOpenStone, *cmdSetLocation, *cmdRefresh, *cmdClose;
    QComboBox *cboPrinter;

private:
    QTableView *view(const char *name);
    void fill();
    QTableView *currentView() const;

    AppContext &m_ctx;
    qint64 m_countId;
    stones::CountReport m_report;
    QList<stones::FoundStone> m_found;
};

} // namespace velmor::ui
