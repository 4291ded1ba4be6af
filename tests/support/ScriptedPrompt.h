#pragma once
// Records what an operation tells the user and answers its questions from a
// script (Yes/No in order; No when the script runs out).
#include "core/Prompt.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace velmor::test {

struct PromptEvent {
    enum Kind { Inform, Ask, Notice, Busy, Progress } kind;
    QString text;
    QString title;
    Icon icon = Icon::None;
};

class ScriptedPrompt : public Prompt {
public:
    void inform(const QString &text, const QString &title, Icon icon) override;
    bool askYesNo(const QString &text, const QString &title, Icon icon) override;
    void notice(const QString &text, int minimumMs) override;
    void busy(const QString &text) override;
    void progress(const QString &text) override;

    void answer(bool yes) { m_answers << yes; }
    void answers(std::initializer_list<bool> list) { for (bool b : list) m_answers << b; }

    QList<PromptEvent> events;
    // Texts of the events of one kind, in order.
    QStringList texts(PromptEvent::Kind kind) const;
    // The message boxes and questions only ("title: text").
    QStringList messages() const;
    void clear() { events.clear(); m_answers.clear(); }

private:
    QList<bool> m_answers;
};

} // namespace velmor::test
