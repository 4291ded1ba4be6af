#pragma once
// The stone search: filters that search again on a short timer after every
// change, a grid that shows the first rows at once and fetches the rest as
// the user scrolls, the totals over the same filters, sorting by heading,
// the filters kept in searchtable.ini, the search report, the stone lists
// and choosing a row to open the stone.
#include "printing/PrintJob.h"
#include "stones/SearchReport.h"
#include "stones/StoneLists.h"
#include "stones/StoneSearch.h"

#include <QAbstractTableModel>
#include <QPixmap>
#include <QUrl>
#include <QWidget>
#include <functional>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableView;
class QTimer;

namespace velmor {
class AppContext;
}
namespace velmor::db {
class BackgroundRead;
}

namespace velmor::ui {

// The grid's rows, fetched a page at a time.
class SearchGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kPage = 100;
    explicit SearchGridModel(QObject *parent = nullptr) : QAbstractTableModel(parent) {}

    // The first screenful of a new search (none when `read` is unset);
    // returns the totals when that screenful is the whole result.
    std::optional<stones::SearchTotals> reset(const QSqlDatabase &db, const stones::StoneSearchFilter &f,
                                              const stones::SearchOrder &order, bool read = true);
    const QList<stones::SearchRow> &loaded() const { return m_rows; }
    const stones::StoneSearchFilter &filter() const { return m_filter; }
    const stones::SearchOrder &order() const { return m_order; }
    // The picture column (the last one): each row's main picture, small.
    void setPictures(bool on);
    int pictureColumn() const { return int(m_columns.size()); }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

private:
    QSqlDatabase m_db;
    stones::StoneSearchFilter m_filter;
    stones::SearchOrder m_order;
    QList<stones::SearchRow> m_rows;
    bool m_more = false; // the last page read was full: there may be more
    QStringList m_columns = stones::searchColumns();
    bool m_pictures = false;
    QHash<qint64, QPixmap> m_icons;
    void readIcons(int from);
};

class frmItemDiamondSearch : public QWidget {
    Q_OBJECT
public:
    explicit frmItemDiamondSearch(AppContext &ctx, QWidget *parent = nullptr);
    ~frmItemDiamondSearch() override;

    // Shows the memo sheet the search works for (0: none).
    void setMemoSheet(qint64 memoSheetId);
    // The search, now (what tmrSearch does when it fires).
    void search();
    stones::StoneSearchFilter filter() const;
    const stones::SearchOrder &order() const { return m_order; }
    SearchGridModel *model() const { return m_model; }
    // Every row of the result in grid order (the reports and lists).
    QList<stones::SearchRow> allRows() const;
    // A click on a grid heading.
    void headingClicked(int column);
    // Choosing a grid row opens the stone.
    void rowChosen(int row);

    // The commands, with the file already chosen where they need one.
    bool printReport(bool simple, const stones::PrintPreferences &p, const printing::PrintTarget &target);
    bool exportList(const QString &fileName, const stones::ListOptions &o, int layout);
    bool emailList(const stones::ListOptions &o, int layout);
    bool writeFaxList();
    bool exportTradeNetwork(const QString &fileName);
    // "Export pictures and certificates...": every file of the stones found
    // into FOLDER/<SKU>.
    bool exportFiles(const QString &folder);
    // Asks for a folder; tests replace it.
    std::function<QString()> chooseFolder;

    void saveFilters() const;
    void restoreFilters();

    // Opens the user's mail program; tests replace it.
    std::function<bool(const QUrl &)> openUrl;
    // Asks for a file name to write; tests replace it.
    std::function<QString(const QString &caption, const QString &suggested)> chooseFile;

protected:
    void closeEvent(QCloseEvent *e) override;

private:
    void build();
    void fillLists();
    void later();
    void print();
    void exportWith(bool fileMode, int layout);
    stones::SearchCriteria criteria() const;

    AppContext &m_ctx;
    QCheckBox *chkInStock, *chkMemo, *chkReturned, *chkPreSold, *chkSold, *chkHEREonMEMO, *chkAllowRange;
    QCheckBox *chkCanadian, *chkNoneCanadian, *chkLabGrown, *chkNONELabGrown, *chkFinished;
    QCheckBox *chkExcludeBoundStones, *chkOnlyBound, *chkPictures;
    QComboBox *cboCustomer, *cboShape, *cboLab, *cboCut, *cboFlourescence;
    QComboBox *cboLowColour, *cboHighColour, *cboLowClarity, *cboHighClarity;
    QLineEdit *txtSKU, *txtCertificate, *txtLot, *txtLowWeight, *txtHighWeight;
    QDateEdit *DTPicker1;
    QRadioButton *optClass1, *optClass2, *optClass3;
    QLineEdit *txtQTY, *txtTotalRap, *txtExchangeRate;
    QLabel *lblMEMOid, *lblMEMOcust;
    QTableView *grdResult;
    QPushButton *cmdPrint;
    QTimer *tmrSearch;
    SearchGridModel *m_model;
    // The totals of a large result, read apart so that the grid shows at once.
    db::BackgroundRead *m_totals;
    void showTotals(const stones::SearchTotals &t);
    void totalsFailed(const QString &message, bool noConnection);
    stones::SearchOrder m_order;
    bool m_filling = false;
    bool m_restored = false; // the saved filters are shown: changes are written back
};

} // namespace velmor::ui
