#pragma once
// The stock count screen ("Stock count..." on the main menu): start a count
// or take up an open one, scan labels into it (the serial scanner, while
// this screen is open, a keyboard-wedge scanner or the SKU typed into
// txtScan and Enter), weigh the parcels, see the figures and the last scans
// as they change (on every workstation), and close it.  The screen only
// tells scans and shows them: the count's rows are written by StockCount.
// Scans the server did not take wait in the workstation's journal and are
// sent again (every few seconds, and when the screen opens again).
#include "stones/ScanJournal.h"
#include "stones/StockCount.h"

#include <QWidget>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTimer;

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class frmStockCount : public QWidget {
    Q_OBJECT
public:
    explicit frmStockCount(AppContext &ctx, QWidget *parent = nullptr);

    // A code from a scanner (the serial scanner's lines come here while the
    // screen is open).  `source`: "serial" or "keyboard".
    void scanned(const QString &code, const QString &source);
    // The count shown (0: none).
    qint64 countId() const { return m_countId; }
    // Shows a count (an open one is joined for scanning).
    void showCount(qint64 id);
    // Reads the figures, the last scans and the parcels again, and sends
    // what waits.
    void refresh();
    // Scans told on this workstation and not written yet.
    int waitingScans() const;

    QComboBox *cboCount;
    QLineEdit *txtName, *txtLocation, *txtTolerance;
    QPushButton *cmdStart;
    QLabel *lblCount, *lblExpected, *lblFound, *lblUnexpected, *lblTwice, *lblUnknown, *lblLastScan, *lblWaiting;
    QLineEdit *txtScan;
    QPushButton *cmdScan;
    QTableWidget *grdScans, *grdParcels;
    QLineEdit *txtParcelSKU, *txtWeighed;
    QPushButton *cmdWeigh, *cmdReport, *cmdCloseCount, *cmdRefresh, *cmdExit;
    QTimer *tmrRefresh;

    // The report of the count shown (frmStockCountReport).
    void showReport();

private:
    void fillCounts();
    void start();
    void weigh();
    void closeCount();
    void sendWaiting();
    // The timer: a retry of what waits, else a refresh.
    void tick();
    void showOutcome(const stones::ScanOutcome &o);
    void applyRights();
    void join();

    AppContext &m_ctx;
    stones::ScanJournal m_journal;
    qint64 m_countId = 0;
    bool m_closed = false;
    std::optional<stones::Desk> m_desk;
    bool m_sending = false;
    QTimer *m_soon = nullptr;
};

} // namespace velmor::ui
