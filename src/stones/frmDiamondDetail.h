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
//     labels, txtID (also typed into: ID or SKU# + Enter opens a stone),
//     txtItemID, cmdAddDiamond, lblLoggedIn (status bar);
//   - loadStone(id): the scanner dispatch has put id into txtID and txtItemID;
//   - on its first activation the start-up continues (the repair on opening,
//     "frmDiamondDetail" as the current screen, the first user), then
//     startUpFinished() (the splash screen closes on it);
//   - closing emits closed().
#include "core/Screens.h"
#include "stones/StoneRecord.h"
#include "stones/StonePrices.h"

#include <QDateTime>
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
class QKeyEvent;

namespace velmor {
class AppContext;
}
namespace velmor::stones {
class WordListLoader;
}
namespace velmor::online {
struct GiaRequest;
class GiaAnswer;
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
    // The combos' lists; without `wordLists` only the shapes and grades (the
    // word lists read the whole stone table).
    void PopulateCBOsModule(bool wordLists = true);
    void RefreshfrmDiamondDetailModule(qint64 id);
    void ClearfrmDiamondDetailModule();
    void EnablefrmDiamondModule();
    void DisablefrmDiamondModule();

    // True while a stone is being added, or edited with changes not saved.
    bool hasUnsavedChanges() const;
    // Before the screen closes: with unsaved changes it asks whether to lose
    // them; true when it may close (they are then dropped).
    bool confirmClose();
    // Asked after confirmClose when the screen is about to close, by the
    // shell: false keeps it open (another window's unsaved work).
    std::function<bool()> canClose;

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

    // The first step of adding a stone: the certificate look-up dialog.  It
    // runs once the new row is made and the screen is in adding mode, and may
    // fill the grading fields; by default it opens the look-up screen through
    // ctx.screens().openCertificateLookup().
    std::function<void(frmDiamondDetail *)> certificateLookup;
    // cmdGetGIA: looks up the certificate typed on the screen (with the
    // screen's weight and the address of ipaddress.ini).
    void getGIA();
    // Runs the agent for a written request and fills the screen from the
    // answer while the same stone is still in hand; cmdGetGIA is disabled
    // meanwhile.  The look-up screen hands its request here.
    void lookupCertificate(const online::GiaRequest &request);
    // Fills the grading fields from the laboratory's answer: a tag that is
    // missing leaves its field, a grade that matches no entry leaves its combo.
    void ExtractGIAinfo(const online::GiaAnswer &answer, const QString &certificate);

    stones::StoneForm formFromControls() const;
    const stones::EditState &editState() const { return m_state; }
    stones::StonePriceModel &prices() { return m_prices; }
    qint64 currentId() const { return m_form.id; }

    // A customer picked on the customer screens becomes the screen's customer.
    void showPickedParty(const PartyPick &pick);

    // The hidden identifier fields drive the visible choices.
    void syncDisplay();
    // The window title and the currency captions from the working rates.
    void updateCaptions();
    // The size the screen opens at: every control shown on a 1366x768 display.
    static QSize defaultSize();
    // txtID's Enter: opens the stone whose ID or SKU# was typed there.
    void openTypedStone();

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
    // The main menu screen (mnuMainMenu), and the memo disclaimer chosen in
    // the settings menu; each command is enabled only where it is heard.
    void mainMenuRequested();
    void memoDisclaimerRequested();

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
    void fillWordLists(const QList<QStringList> &lists);
    void readWordListsHere();
    void controlsFromForm(const stones::StoneForm &f);
    void showStatus(const QString &status);
    void updateCommands();
    void showBuyOffCurrentRap();
    void priceEdited(stones::StonePriceModel::Field f, const QString &text);
    void selectById(QComboBox *c, qint64 id);
    void showParty(QComboBox *c, qint64 id, bool idFirst);
    bool gradeKey(QComboBox *c, QKeyEvent *k);
    qint64 idOf(const QComboBox *c) const;
    void reloadCurrent();
    void showLogo(); // imgLogo from the settings' logo.jpg, when it changed
    void DisablefrmDiamondModule(bool showStoredDate);
    QString rightOfMode() const;           // the right that saving in the current mode needs
    bool mayChange(const char *right) const; // somebody logged in who holds it
    void applyDisplaySettings(); // the price columns the settings hide

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
    bool m_lookingUp = false; // a certificate look-up is running
    qint64 m_shownBeforeAdd = 0; // the stone a cancelled Add shows again
    QList<QWidget *> m_entryFields;
    QElapsedTimer m_combosFilled;
    bool m_combosScheduled = false; // the first fill waits for the screen to be up
    stones::WordListLoader *m_wordLists = nullptr;
    QString m_logoPath;
    QDateTime m_logoStamp;
    bool m_dateEdited = false;     // dtDate changed by the user since the stone was shown
    bool m_holdDateEdited = false; // dtOnHoldDate likewise
    QString m_gradeTyped;          // the grade combos' keyboard search
    QElapsedTimer m_gradeTypedAt;
    QComboBox *m_gradeTypedIn = nullptr;
};

} // namespace velmor::ui
