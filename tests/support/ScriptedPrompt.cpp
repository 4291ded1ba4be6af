#include "ScriptedPrompt.h"

namespace velmor::test {

void ScriptedPrompt::inform(const QString &text, const QString &title, Icon icon)
{
    events.append({PromptEvent::Inform, text, title, icon});
}

bool ScriptedPrompt::askYesNo(const QString &text, const QString &title, Icon icon)
{
    events.append({PromptEvent::Ask, text, title, icon});
    return m_answers.isEmpty() ? false : m_answers.takeFirst();
}

void ScriptedPrompt::notice(const QString &text, int)
{
    events.append({PromptEvent::Notice, text, {}, Icon::None});
}

void ScriptedPrompt::busy(const QString &text)
{
    events.append({PromptEvent::Busy, text, {}, Icon::None});
}

void ScriptedPrompt::progress(const QString &text)
{
    events.append({PromptEvent::Progress, text, {}, Icon::None});
}

QStringList ScriptedPrompt::texts(PromptEvent::Kind kind) const
{
    QStringList out;
    for (const PromptEvent &e : events)
        if (e.kind == kind)
            out << e.text;
    return out;
}

QStringList ScriptedPrompt::messages() const
{
    QStringList out;
    for (const PromptEvent &e : events)
        if (e.kind == PromptEvent::Inform || e.kind == PromptEvent::Ask)
            out << e.title + QStringLiteral(": ") + e.text;
    return out;
}

} // namespace velmor::test
