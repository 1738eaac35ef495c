#pragma once

#include <QString>

#include <filesystem>
#include <optional>

// Every message box, Yes/No question and folder picker of the program goes through
// this interface, so that tests can answer them from a script.
class UserPrompts {
public:
    virtual ~UserPrompts() = default;

    // A Yes/No question; anything but No is consent.
    virtual bool ask(const QString& text) = 0;
    // A plain notice with an OK button.
    virtual void notify(const QString& text) = 0;
    // A folder picker; nothing when the user cancels.
    virtual std::optional<std::filesystem::path> pickFolder(const QString& title, const QString& prompt,
                                                            const std::filesystem::path& start) = 0;

    // Texts of the program break lines with LF then CR; a dialog shows one line break.
    static QString displayText(const QString& text);
};
