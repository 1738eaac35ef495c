#include "scriptedprompts.h"

#include <QTest>

bool ScriptedPrompts::ask(const QString& text) {
    return answer(text) == Answer::Yes;
}

bool ScriptedPrompts::askDestructive(const QString& text) {
    destructiveQuestions.append(text);
    return ask(text);
}

UserPrompts::Answer ScriptedPrompts::answer(const QString& text) {
    shown.append(QStringLiteral("ask: ") + text);
    owners.append(m_owner);
    if (onShow)
        onShow(text);
    if (m_answers.isEmpty()) {
        QTest::qFail(qPrintable(QStringLiteral("unexpected question: ") + text), __FILE__, __LINE__);
        return Answer::None;
    }
    return m_answers.dequeue();
}

void ScriptedPrompts::notify(const QString& text) {
    shown.append(QStringLiteral("notify: ") + text);
    owners.append(m_owner);
    if (onShow)
        onShow(text);
}

std::optional<std::filesystem::path> ScriptedPrompts::pickFolder(const QString& title, const QString& prompt,
                                                                 const std::filesystem::path& start) {
    shown.append(QStringLiteral("pick: ") + title + QStringLiteral(" / ") + prompt);
    owners.append(m_owner);
    lastPickerStart = start;
    if (m_folders.isEmpty()) {
        QTest::qFail("unexpected folder picker", __FILE__, __LINE__);
        return std::nullopt;
    }
    return m_folders.dequeue();
}

namespace {
QStringList withPrefix(const QStringList& all, const QString& prefix) {
    QStringList result;
    for (const QString& s : all)
        if (s.startsWith(prefix))
            result.append(s.mid(prefix.size()));
    return result;
}
} // namespace

QStringList ScriptedPrompts::questions() const {
    return withPrefix(shown, QStringLiteral("ask: "));
}

QStringList ScriptedPrompts::notices() const {
    return withPrefix(shown, QStringLiteral("notify: "));
}
