#pragma once
// The stone detail screen: one stone with its grading, prices and status,
// adding, editing, saving and deleting it, and the status changes.  The
// screen maps its controls to the operations of StoneRecord, StoneStatus and
// the price model; it holds no business rule of its own.
//
// The surface other code relies on:
//   - objectName "frmDiamondDetail", constructed as frmDiamondDetail(AppContext&, QWidget*);
//   - controls by objectName: mnuConfiguration, mnuLogOn, cmdLogOff,
//     txtSellPriceLocalCT2 (usable only by an administrator), the cost fields
//     txtBuyOffRap, txtOriginalBuyOffRap, txtBoughtPriceUSCT, txtCode and their
//     labels, txtID, txtItemID, cmdAddDiamond;
//   - loadStone(id): the scanner dispatch has put id into txtID and txtItemID;
//   - on its first activation the start-up continues (the repair on opening,
//     "frmDiamondDetail" as the current screen, the first user), then
//     startUpFinished() (the splash screen closes on it);
//   - closing emits closed().
#include "stones/StoneRecord.h"
#include "stones/StonePrices.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <functional>

class QComboBox;
class QLineEdit;
class QLabel;
class QCheckBox;
class QRadioButton;
class QPushButton;
class QDateEdit;
class QPlainTextEdit;
class QAction;

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class frmDiamondDetail : public QMainWindow {
    Q_OBJECT
public:
    explicit frmDiamondDetail(AppContext &ctx, QWidget *parent = nullptr);

    // Loads the stone whose number the scanner put into txtID/txtItemID.
    void loadStone(int id);
    bool startUpDone() const { return m_started; }

    // The shared procedures of the screen.
    void PopulateCBOsModule();
    void RefreshfrmDiamondDetailModule(qint64 id);
    void ClearfrmDiamondDetailModule();
    void EnablefrmDiamondModule();
    void DisablefrmDiamondModule();

    // Commands, as their buttons run them.
    void addDiamond();
    void editDiamond();
    void update();
    void cancel();
    void deleteDiamond();
    void autoNumber();
    void sell();
    void returnFromCustomer();
    void vendor();
    void dropOnSafe(); // the stone picture dropped on imgSafe
    void getRap(bool original);
    void editHold();
    void mergeWithItem();
    void openPrices();
    void openChangeLog();

    // The first step of adding a stone: the certificate look-up dialog.  When
    // set, it is shown before the new row is made and may fill the grading
    // fields of the screen; the look-up screen plugs in here.
    std::function<void(frmDiamondDetail *)> certificateLookup;

    stones::StoneForm formFromControls() const;
    const stones::EditState &editState() const { return m_state; }
    stones::StonePriceModel &prices() { return m_prices; }
    qint64 currentId() const { return m_form.id; }

    // The hidden identifier fields drive the visible choices.
    void syncDisplay();
    // The window title and the currency captions from the working rates.
    void updateCaptions();

signals:
    void startUpFinished();
    void closed();
    // Commands whose screens belong to other parts of the program.
    void searchRequested();
    void certificateRequested(qint64 stoneId);
    void paymentRequested(qint64 stoneId, qint64 customerId);
    void paymentMadeRequested(qint64 stoneId, qint64 supplierId);
    void memoPlacementRequested(qint64 stoneId, qint64 memoSheetId);
    void memoLoadRequested();
    void boundItemRequested(qint64 itemId);

protected:
    void changeEvent(QEvent *e) override;
    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    bool eventFilter(QObject *o, QEvent *e) override;

private:
    void build();
    void buildMenus();
    void firstActivation();
    void activated();
    void fillPartyCombos();
    void controlsFromForm(const stones::StoneForm &f);
    void showStatus(const QString &status);
    void updateCommands();
    void showBuyOffCurrentRap();
    void priceEdited(stones::StonePriceModel::Field f, const QString &text);
    void selectById(QComboBox *c, qint64 id);
    qint64 idOf(const QComboBox *c) const;
    void reloadCurrent();

    template <typename T>
    T *w(const char *name) const
    {
        return findChild<T *>(QString::fromLatin1(name));
    }
    QLineEdit *le(const char *name) const;
    QComboBox *cb(const char *name) const;
    QCheckBox *ck(const char *name) const;
    QRadioButton *rb(const char *name) const;

    AppContext &m_ctx;
    stones::StoneForm m_form;
    stones::EditState m_state;
    stones::StonePriceModel m_prices;
    bool m_started = false;
    bool m_filling = false; // controls are being filled by the program
    bool m_repairing = false;
    QList<QWidget *> m_entryFields;
    QElapsedTimer m_combosFilled;
};

} // namespace velmor::ui
