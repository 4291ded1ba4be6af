#pragma once
// The stone screen's settings menu.  Hands its choice back as 1 to 5
// (Command1 to Command4, then cmdConfigLabour); 0 when closed otherwise.
// Also holds the two label options and the two working exchange rates.
#include <QDialog>
#include <QPointer>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class frmConfigMenu : public QDialog {
    Q_OBJECT
public:
    // `memoDisclaimer`: its screen can be opened (Command2 is enabled).
    frmConfigMenu(AppContext &ctx, QWidget *stoneScreen, QWidget *parent = nullptr, bool memoDisclaimer = false);
    int choice() const { return m_choice; }
    void done(int result) override;

private:
    void choose(int n);
    void saveLabelOptions();
    // Takes the typed working rates that read as rates; gives the refusals.
    QString takeRates();

    AppContext &m_ctx;
    QPointer<QWidget> m_stone;
    int m_choice = 0;
    QCheckBox *chkLabelQuill;
    QCheckBox *chkprintDIAMONDcomment;
    QLineEdit *txtCDN;
    QLineEdit *txtZAR;
    QLabel *lblRates;
};

} // namespace velmor::ui
