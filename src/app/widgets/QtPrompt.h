#pragma once
// The prompt of the running program: message boxes with the exact texts,
// titles and icons, the timed notice (frmMSG), the busy notice (frmMessage)
// and the splash screen's progress line.
#include "app/Prompt.h"

#include <QPointer>

class QWidget;

namespace velmor::ui {

class frmMessage;
class frmSplash;

class QtPrompt : public Prompt {
public:
    QtPrompt() = default;
    ~QtPrompt() override;

    void inform(const QString &text, const QString &title, Icon icon) override;
    bool askYesNo(const QString &text, const QString &title, Icon icon) override;
    void notice(const QString &text, int minimumMs) override;
    void busy(const QString &text) override;
    void progress(const QString &text) override;

    // Progress words go to this splash screen while it exists.
    void setSplash(frmSplash *splash);

private:
    QPointer<frmMessage> m_busy;
    QPointer<frmSplash> m_splash;
};

} // namespace velmor::ui
