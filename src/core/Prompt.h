#pragma once
// How an operation talks to the user.  The Qt implementation shows message
// boxes and notices with the exact texts, titles and icons; tests use a
// scripted implementation that records them and answers questions.
#include <QString>

namespace velmor {

enum class Icon { None, Information, Exclamation, Critical, Question };

class Prompt {
public:
    virtual ~Prompt() = default;
    // A message box with an OK button.
    virtual void inform(const QString &text, const QString &title, Icon icon = Icon::None) = 0;
    // A Yes/No question; true for Yes.
    virtual bool askYesNo(const QString &text, const QString &title, Icon icon = Icon::Question) = 0;
    // The self-closing timed notice; returns when it has closed.
    virtual void notice(const QString &text, int minimumMs = 0) = 0;
    // The busy notice: shown with a text, closed with an empty text.
    virtual void busy(const QString &text) = 0;
    // Progress words of long work (the splash line or a progress window).
    virtual void progress(const QString &text) = 0;
};

// A prompt that shows nothing and answers No: for batch work with no user.
class SilentPrompt : public Prompt {
public:
    void inform(const QString &, const QString &, Icon) override {}
    bool askYesNo(const QString &, const QString &, Icon) override { return false; }
    void notice(const QString &, int) override {}
    void busy(const QString &) override {}
    void progress(const QString &) override {}
};

} // namespace velmor
