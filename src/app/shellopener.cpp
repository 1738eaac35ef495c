#include "app/shellopener.h"

#include "log/pathtext.h"
#include "online/weblinks.h"

bool ShellOpener::acceptsWebAddress(const QUrl& url) {
    const bool mail = url.isValid() && url.scheme() == QStringLiteral("mailto") && !url.path().isEmpty();
    return mail || WebLinks::isWebAddress(url);
}

bool ShellOpener::openWebAddress(const QUrl& url) {
    if (!acceptsWebAddress(url))
        return false;
    return launchUrl(url);
}

bool ShellOpener::openFolder(const std::filesystem::path& folder) {
    return open(pathText(folder));
}
