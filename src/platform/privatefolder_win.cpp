#include "platform/privatefolder.h"

#include <QDir>

namespace platform {

std::vector<std::filesystem::path> PrivateFolder::candidates(std::size_t maxPathBytes, std::size_t room) {
    // The user's temporary folder lies in the user's own profile.
    const std::filesystem::path folder(QDir::tempPath().toStdWString());
    if (folder.native().size() + 1 + room > maxPathBytes)
        return {};
    return {folder};
}

} // namespace platform
