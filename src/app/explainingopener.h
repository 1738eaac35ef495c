#pragma once

#include <QString>
#include <QUrl>

#include <filesystem>

class ShellOpener;
class UserPrompts;

// Opens files, folders and web addresses the user asked for through the desktop's handler, and
// tells them when the desktop has nothing to open them with, naming what they can open by hand.
class ExplainingOpener {
public:
    ExplainingOpener(ShellOpener& shell, UserPrompts& prompts);

    void openFile(const QString& path);
    void openFolder(const std::filesystem::path& folder);
    // The same, but where nothing opens folders the user is asked `offer` (after what to open by
    // hand) instead of told: true when they take it.
    bool openFolderOrOffer(const std::filesystem::path& folder, const QString& offer);
    // Addresses the opener refuses (not web or mail) are left alone without a word.
    void openWebAddress(const QUrl& url);

    static QString noFileOpener(const QString& path);
    static QString noFolderOpener(const QString& folder);
    static QString noBrowser(const QString& address);

private:
    ShellOpener& m_shell;
    UserPrompts& m_prompts;
};
