#pragma once

#include <filesystem>
#include <vector>

namespace platform {

// Folders that only this user can write, for files other users must neither make, replace nor
// reach (the sockets through which copies of the program talk). The places to try, in order: in
// the user's runtime folder ($XDG_RUNTIME_DIR), the temporary folder ($TMPDIR) and /tmp, a folder
// of the program's own for this user. The last place does not depend on the environment.
class PrivateFolder {
public:
    static std::vector<std::filesystem::path> places();
    // Makes the folder with mode 0700 when missing and returns it; empty when it is not a folder
    // of the user's own with that mode, or cannot be written (a read-only file system).
    static std::filesystem::path make(const std::filesystem::path& place);
    // A new folder with a unique name in /tmp, for when every place is taken (another user made
    // them first); empty when none can be made.
    static std::filesystem::path makeUnique();
};

} // namespace platform
