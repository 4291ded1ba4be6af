#pragma once
// The prompt of the running program: message boxes with the exact texts,
// titles and icons, the timed notice (frmMSG), the busy notice (frmMessage)
// and the splash screen's progress line.
#include "core/Prompt.h"

#include <QPointer>

#include <functional>

class QWidget;

namespace velmor::ui {

class frmMessage;

class QtPrompt : public Prompt {
public:
    QtPrompt() = default;
    ~QtPrompt() override;

    void inform(const QString &text, const QString &title, Icon icon) override;
    bool askYesNo(const QString &text, const QString &title, Icon icon) override;
    void notice(const QString &text, int minimumMs) override;
    void busy(const QString &text) override;
    void progress(const QString &text) override;

    // Where progress words go (the splash screen's line while it exists);
    // none when not set.
    void setProgressLine(std::function<void(const QString &)> line) { m_progressLine = std::move(line); }

private:
    QPointer<frmMessage> m_busy;
    std::function<void(const QString &)> m_progressLine;
};

} // namespace velmor::ui
