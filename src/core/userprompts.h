#pragma once

#include <QString>

class QObject;

#include <filesystem>
#include <optional>

// Every message box, Yes/No question and folder picker of the program goes through
// this interface, so that tests can answer them from a script.
class UserPrompts {
public:
    // A question that was never shown, or that closed without a choice, has no answer.
    enum class Answer { Yes, No, None };

    virtual ~UserPrompts() = default;

    // A Yes/No question; true only when Yes was chosen. A question nobody answered is
    // never consent to what it asks.
    virtual bool ask(const QString& text) = 0;
    // A question whose Yes destroys what the user made or kept: No is what Enter chooses.
    virtual bool askDestructive(const QString& text) { return ask(text); }
    // The same question, telling "No" from "no answer" for callers that care.
    virtual Answer answer(const QString& text) { return ask(text) ? Answer::Yes : Answer::No; }
    // A plain notice with an OK button.
    virtual void notify(const QString& text) = 0;
    // A folder picker; nothing when the user cancels.
    virtual std::optional<std::filesystem::path> pickFolder(const QString& title, const QString& prompt,
                                                            const std::filesystem::path& start) = 0;

    // The window the boxes belong to: shown over it, and closed with it. None: the program's main
    // window. Prompts without windows keep no owner.
    virtual QObject* ownerWindow() const { return nullptr; }
    virtual void setOwnerWindow(QObject*) {}

    // Texts of the program break lines with LF then CR; a dialog shows one line break.
    static QString displayText(const QString& text);
};
