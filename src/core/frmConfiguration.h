#pragma once
// The configuration screen: the Config and Colours settings on the tabs of
// tsDiamond, saved by cmdRapSettings, after which the running program uses
// the new values at once.  Every control carries the name the settings give
// it (txtCompanyName, chkOvalEQPear, optBuyUS, ...).
#include "core/Configuration.h"

#include <QDialog>
#include <QImage>
#include <vector>

class QButtonGroup;
class QLabel;
class QStackedWidget;
class QTabBar;
class QWidget;

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class frmConfiguration : public QDialog {
    Q_OBJECT
public:
    explicit frmConfiguration(AppContext &ctx, QWidget *parent = nullptr);

    // Fills every control from the first Config and Colours rows.
    void loadControls();
    // What the controls hold, as the save takes it.
    ConfigurationEdits edits() const;
    // cmdRapSettings.
    void save();
    // cmdCompanyLogo: a picture chosen as the company logo, written as
    // logo.jpg into the shared folder when the settings are saved.
    void chooseLogo();

protected:
    void showEvent(QShowEvent *e) override;

public:
    enum class Kind { Text, Number, Check, Option };
    struct Control {
        QString name;
        QString column; // empty: an option button without a column of its own
        Kind kind;
        int group = -1; // option group
        QWidget *widget = nullptr;
    };

private:
    void build();
    void tabChanged(int index);
    QString logoFile() const; // logo.jpg of the shared folder (server.ini)
    void showLogo(const QImage &logo);
    bool writeLogo();

    AppContext &m_ctx;
    std::vector<Control> m_controls;
    std::vector<QButtonGroup *> m_groups;
    QTabBar *tsDiamond = nullptr;
    QStackedWidget *m_frames = nullptr;
    int m_tab = 0;
    bool m_loaded = false;
    ConfigurationEdits m_asLoaded; // the controls as loaded: a save writes what differs
    bool m_allowed = false; // an administrator opened it
    QLabel *imgCompanyLogo = nullptr;
    QImage m_newLogo; // chosen, not saved yet
};

} // namespace velmor::ui
