#include "platform/privatefolder.h"

#include <QDir>

namespace platform {

// The user's temporary folder lies in the user's own profile.
std::vector<std::filesystem::path> PrivateFolder::places() {
    return {std::filesystem::path(QDir::tempPath().toStdWString())};
}

std::filesystem::path PrivateFolder::make(const std::filesystem::path& place) {
    return place;
}

std::filesystem::path PrivateFolder::makeUnique() {
    return {};
}

} // namespace platform
