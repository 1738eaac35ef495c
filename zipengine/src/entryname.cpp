#include "entryname.h"

#include "engineplatform.h"
#include "platform/pathbytes.h"

#include <libdeflate.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

namespace entryname {

namespace {

std::string_view fileNameOf(std::string_view path) {
    const std::size_t slash = path.find_last_of(engineplatform::kPathSeparators);
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The length of the valid UTF-8 sequence at `at`, or 0 when none starts there.
std::size_t sequenceLength(std::string_view text, std::size_t at) {
    const auto c = static_cast<unsigned char>(text[at]);
    std::size_t extra = 0;
    char32_t code = 0;
    if (c < 0x80) {
        return 1;
    } else if ((c & 0xe0) == 0xc0) {
        extra = 1;
        code = c & 0x1f;
    } else if ((c & 0xf0) == 0xe0) {
        extra = 2;
        code = c & 0x0f;
    } else if ((c & 0xf8) == 0xf0) {
        extra = 3;
        code = c & 0x07;
    } else {
        return 0;
    }
    if (at + extra >= text.size())
        return 0;
    for (std::size_t k = 1; k <= extra; ++k) {
        const auto next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xc0) != 0x80)
            return 0;
        code = (code << 6) | (next & 0x3f);
    }
    static constexpr char32_t smallest[] = {0, 0x80, 0x800, 0x10000};
    if (code < smallest[extra] || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff))
        return 0;
    return extra + 1;
}

// Longest extension kept after a name is cut.
constexpr std::size_t MaxKeptExtension = 16;

std::string shortenedComponent(std::string_view raw, const std::string& rendition) {
    char mark[16];
    std::snprintf(mark, sizeof mark, "~%08x",
                  static_cast<unsigned>(libdeflate_crc32(0, raw.data(), raw.size())));
    std::string extension;
    const std::size_t dot = rendition.rfind('.');
    if (dot != std::string::npos && dot > 0 && rendition.size() - dot <= MaxKeptExtension)
        extension = rendition.substr(dot);
    std::size_t keep = MaxComponentBytes - extension.size() - std::string_view(mark).size();
    while (keep > 0 && (static_cast<unsigned char>(rendition[keep]) & 0xc0) == 0x80)
        --keep; // never split a UTF-8 sequence
    return rendition.substr(0, keep) + mark + extension;
}

// Whether the name of an absolute path is simply what follows its leading "/": no other separator,
// no empty part, no "." or "..". Most paths of a list are so, and need no copy on the way.
bool plainAbsolute(std::string_view path) {
    // Where a backslash separates too, and where a path starts otherwise, the careful way.
    if (std::strlen(engineplatform::kPathSeparators) != 1 || engineplatform::rootLength(path) != 1)
        return false;
    for (std::size_t start = 1; start <= path.size();) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos)
            end = path.size();
        const std::string_view part = path.substr(start, end - start);
        if (part.empty() || part == "." || part == "..")
            return false;
        start = end + 1;
    }
    return true;
}

} // namespace

std::string storedName(std::string_view name) {
    std::string out;
    for (std::size_t start = 0;;) {
        const std::size_t end = name.find('/', start);
        const std::string_view part = name.substr(start, end == std::string_view::npos ? end : end - start);
        std::string rendition = utf8Rendition(part);
        out += rendition.size() > MaxComponentBytes ? shortenedComponent(part, rendition) : rendition;
        if (end == std::string_view::npos)
            return out;
        out += '/';
        start = end + 1;
    }
}

std::string forPath(const char* path, bool keepFolders) {
    // The same tree gives the same names on every system: "/" between folders, and nothing of
    // where the path starts (a drive, a share, the long form's prefix).
    if (const std::string_view plain(path); plainAbsolute(plain))
        return std::string(keepFolders ? plain.substr(1) : fileNameOf(plain));
    const auto withSlashes = [](std::string text) {
        for (char& c : text) {
            if (c != '/' && std::strchr(engineplatform::kPathSeparators, c) != nullptr)
                c = '/';
        }
        return text;
    };
    std::string full = withSlashes(path);
    if (engineplatform::rootLength(full) == 0) {
        std::error_code ec;
        const std::filesystem::path absolute = std::filesystem::absolute(pathFromBytes(path), ec);
        if (!ec)
            full = withSlashes(pathBytes(absolute));
    }
    std::string name;
    const std::string_view rest = std::string_view(full).substr(engineplatform::rootLength(full));
    for (std::size_t start = 0; start <= rest.size();) {
        std::size_t end = rest.find('/', start);
        if (end == std::string_view::npos)
            end = rest.size();
        const std::string_view part = rest.substr(start, end - start);
        if (part == "..") {
            const std::size_t slash = name.rfind('/');
            name.resize(slash == std::string::npos ? 0 : slash);
        } else if (!part.empty() && part != ".") {
            name += (name.empty() ? "" : "/") + std::string(part);
        }
        start = end + 1;
    }
    return keepFolders ? name : std::string(fileNameOf(name));
}

bool isValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = sequenceLength(text, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

std::string utf8Rendition(std::string_view name) {
    std::string out;
    out.reserve(name.size() + name.size() / 2);
    for (std::size_t i = 0; i < name.size();) {
        const std::size_t length = sequenceLength(name, i);
        if (length > 0) {
            out.append(name, i, length);
            i += length;
            continue;
        }
        const auto c = static_cast<unsigned char>(name[i++]);
        out.push_back(static_cast<char>(0xc0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3f)));
    }
    return out;
}

bool hasSuffix(std::string_view path, const std::vector<std::string>& suffixes) {
    const std::string_view name = fileNameOf(path);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return false;
    const std::string_view extension = name.substr(dot + 1);
    auto lower = [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    };
    for (const std::string& suffix : suffixes) {
        std::string_view s = suffix;
        if (!s.empty() && s.front() == '.')
            s.remove_prefix(1);
        if (s.size() != extension.size())
            continue;
        bool same = true;
        for (std::size_t k = 0; k < s.size() && same; ++k)
            same = lower(s[k]) == lower(extension[k]);
        if (same)
            return true;
    }
    return false;
}

bool isHidden(std::string_view path) {
    const std::string_view name = fileNameOf(path);
    return !name.empty() && name.front() == '.';
}

bool isUnsafe(std::string_view name) {
    if (name.empty() || name.front() == '/')
        return true;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find('/', start);
        if (end == std::string_view::npos)
            end = name.size();
        if (name.substr(start, end - start) == "..")
            return true;
        start = end + 1;
    }
    return false;
}

} // namespace entryname
