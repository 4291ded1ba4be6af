#pragma once
// The memo printing options (memosheetsetup.txt) and the memo disclaimer
// (Config.MemoDisclaimer).
#include <QDialog>

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class frmMEMOsetup : public QDialog {
    Q_OBJECT
public:
    explicit frmMEMOsetup(AppContext &ctx, QWidget *parent = nullptr);
    bool save(); // cmdSave

private:
    AppContext &m_ctx;
};

class frmMemoDisclaimer : public QDialog {
    Q_OBJECT
public:
    explicit frmMemoDisclaimer(AppContext &ctx, QWidget *parent = nullptr);
    bool save(); // cmdSave: only a changed text is written

private:
    AppContext &m_ctx;
    QString m_loaded;
};

} // namespace velmor::ui
