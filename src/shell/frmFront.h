#pragma once
// The front screen (main menu).  Loading it runs the start-up repairs and
// the configuration load and opens the scanner port; each activation
// applies the rights, sets the caption, shows the logo and clears empty
// diameter ranges.  Commands whose screens are not installed stay present
// and disabled until a screen registers itself with setOpener().
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <map>

class QLabel;
class QLineEdit;

namespace velmor {
class AppContext;
class ScannerPort;
}

namespace velmor::ui {

class frmFront : public QMainWindow {
    Q_OBJECT
public:
    explicit frmFront(AppContext &ctx, QWidget *parent = nullptr);
    ~frmFront() override;

    // The stone screen that receives scans and mnuAddDiamondSingle.
    void setStoneScreen(QWidget *stone) { m_stone = stone; }
    QWidget *stoneScreen() const { return m_stone; }

    // Installs the screen a command opens (cmdFindCustomer, mnuExchangeAndGold, ...);
    // the command is then enabled for users holding its right.
    void setOpener(const QString &command, std::function<void()> open);
    // Asked when the screen is about to close (the shell: whether the
    // program may end, other windows' unsaved work asked about); false keeps
    // it open.
    std::function<bool()> canClose;

    // The permission step: each command enabled only for a user holding its
    // right (and when its screen is installed).
    void applyRights();
    // What an activation does (also called by the start-up in the
    // wholesale set-up once the screen is shown).
    void activated();

    bool scannerOpen() const;
    // Opens the scanner port of the settings anew (after a settings screen
    // changed it); closes it when the settings name none.
    void reopenScanner();
    // While set, every scanned code goes here instead of being dispatched
    // (the stock count screen takes the scans while it is open).
    void setScanReceiver(std::function<void(const QString &code)> receiver) { m_scanReceiver = std::move(receiver); }
    // The last customer a scan asked for (0 when none).
    int lastCustomerRequest() const { return m_lastCustomer; }

    // The right a command needs (empty when none).
    static QString rightFor(const QString &command);

signals:
    void customerRequested(int id);
    void closed();

protected:
    void changeEvent(QEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    void buildCommands();
    void scannerDataChanged(const QString &data);
    void trigger(const QString &command);
    void logIn();
    void logOff();
    void showLoggedIn(); // the status bar's lblLoggedIn

    AppContext &m_ctx;
    QPointer<QWidget> m_stone;
    ScannerPort *m_scanner;
    QLineEdit *txtScannerData;
    QLabel *imgLogo;
    std::map<QString, std::function<void()>> m_openers;
    std::map<QString, QObject *> m_commands; // QAction, QAbstractButton or QLineEdit by name
    int m_lastCustomer = 0;
    std::function<void(const QString &)> m_scanReceiver;
};

} // namespace velmor::ui
