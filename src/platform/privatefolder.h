#pragma once

#include <filesystem>
#include <vector>

namespace platform {

// Folders that only this user can write, for files other users must neither make, replace nor
// reach (the sockets through which copies of the program talk). In the order to try them: the
// user's runtime folder ($XDG_RUNTIME_DIR), the temporary folder ($TMPDIR), /tmp; in each, a folder
// of the program's own for this user, made with mode 0700 when missing. One that is not a folder
// of the user's own with that mode, or that cannot be written (a read-only file system), is left
// out; when none is left (another user made them all first), a new one with a unique name in /tmp
// stands in.
class PrivateFolder {
public:
    // Only folders whose path leaves `room` bytes for a file name within `maxPathBytes`.
    static std::vector<std::filesystem::path> candidates(std::size_t maxPathBytes, std::size_t room);
};

} // namespace platform
