#include "app/explainingopener.h"

#include "app/shellopener.h"
#include "core/userprompts.h"
#include "log/pathtext.h"

ExplainingOpener::ExplainingOpener(ShellOpener& shell, UserPrompts& prompts)
    : m_shell(shell)
    , m_prompts(prompts) {}

QString ExplainingOpener::noFileOpener(const QString& path) {
    return QStringLiteral("No program to open this file was found on this desktop.\nThe file is: ") + path;
}

QString ExplainingOpener::noFolderOpener(const QString& folder) {
    return QStringLiteral("No program to open folders was found on this desktop.\nThe folder is: ") + folder;
}

QString ExplainingOpener::noBrowser(const QString& address) {
    return QStringLiteral("No web browser or mail program was found on this desktop.\nThe address is: ") +
           address;
}

void ExplainingOpener::openFile(const QString& path) {
    if (!m_shell.open(path))
        m_prompts.notify(noFileOpener(path));
}

void ExplainingOpener::openFolder(const std::filesystem::path& folder) {
    if (!m_shell.openFolder(folder))
        m_prompts.notify(noFolderOpener(pathText(folder)));
}

bool ExplainingOpener::openFolderOrOffer(const std::filesystem::path& folder, const QString& offer) {
    if (m_shell.openFolder(folder))
        return false;
    return m_prompts.ask(noFolderOpener(pathText(folder)) + QLatin1Char('\n') + offer);
}

void ExplainingOpener::openWebAddress(const QUrl& url) {
    if (ShellOpener::acceptsWebAddress(url) && !m_shell.openWebAddress(url))
        m_prompts.notify(noBrowser(url.toDisplayString()));
}
