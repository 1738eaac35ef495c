#include "restore/backuparchivename.h"

#include "log/timestamp.h"

#include <QString>

#include <cctype>

namespace {

constexpr std::string_view Prefix = "Quoralis";

bool endsWithZip(std::string_view name) {
    if (name.size() < 4)
        return false;
    const std::string_view ext = name.substr(name.size() - 4);
    return ext[0] == '.' && std::tolower(static_cast<unsigned char>(ext[1])) == 'z' &&
           std::tolower(static_cast<unsigned char>(ext[2])) == 'i' &&
           std::tolower(static_cast<unsigned char>(ext[3])) == 'p';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Where the timestamp begins in `rest` (the text after "Quoralis_"), or npos. A timestamp is the
// short date and the long time with their separators turned into "_": digit groups joined by "_"
// or ".", at least three of them (day, month, year), possibly ending in an AM/PM marker.
std::size_t stampStart(std::string_view rest) {
    std::size_t end = rest.size();
    // An "AM"/"PM" marker (or "a.m."), which a 12-hour clock puts after the time.
    for (std::string_view marker : {"_AM", "_PM", "_am", "_pm", "_a.m.", "_p.m."}) {
        if (end >= marker.size() && rest.substr(end - marker.size()) == marker) {
            end -= marker.size();
            break;
        }
    }
    if (end == 0 || !isDigit(rest[end - 1]))
        return std::string_view::npos;
    std::size_t start = end;
    int groups = 0;
    bool inDigits = false;
    while (start > 0) {
        const char c = rest[start - 1];
        if (isDigit(c)) {
            if (!inDigits)
                ++groups;
            inDigits = true;
        } else if (c == '_' || c == '.') {
            if (!inDigits)
                break; // two separators in a row end the timestamp
            inDigits = false;
        } else {
            break;
        }
        --start;
    }
    // The timestamp starts with a digit, right after the "_" that separates it.
    while (start < end && !isDigit(rest[start]))
        ++start;
    if (groups < 3)
        return std::string_view::npos;
    if (start != 0 && rest[start - 1] != '_')
        return std::string_view::npos;
    return start;
}

// Where the timestamp begins in `rest` when the locale wrote it: the whole of `rest`, or the text
// after the first "_" that leaves a timestamp behind it (folder names may hold "_" and digits).
std::size_t localeStampStart(std::string_view rest, const QLocale& locale) {
    thread_local QLocale cachedLocale;
    thread_local QRegularExpression pattern = Timestamp::fileNamePattern(cachedLocale);
    if (locale != cachedLocale) {
        cachedLocale = locale;
        pattern = Timestamp::fileNamePattern(locale);
    }
    auto isStamp = [&](std::string_view text) {
        return pattern.match(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))).hasMatch();
    };
    if (isStamp(rest))
        return 0;
    for (std::size_t underscore = rest.find('_'); underscore != std::string_view::npos;
         underscore = rest.find('_', underscore + 1)) {
        if (underscore > 0 && isStamp(rest.substr(underscore + 1)))
            return underscore + 1;
    }
    return std::string_view::npos;
}

} // namespace

std::optional<BackupArchiveName> BackupArchiveName::parse(std::string_view fileName, const QLocale& locale) {
    if (fileName.substr(0, Prefix.size()) != Prefix || !endsWithZip(fileName))
        return std::nullopt;
    std::string_view middle = fileName.substr(Prefix.size(), fileName.size() - Prefix.size() - 4);
    BackupArchiveName name;
    if (middle.empty())
        return name;
    if (middle.front() != '_' || middle.size() == 1)
        return std::nullopt;
    const std::string_view rest = middle.substr(1);
    std::size_t stamp = localeStampStart(rest, locale);
    if (stamp == std::string_view::npos)
        stamp = stampStart(rest);
    if (stamp == std::string_view::npos) {
        name.folder = std::string(rest);
        return name;
    }
    name.stamp = std::string(rest.substr(stamp));
    if (stamp > 0) {
        if (stamp < 2) // "_" alone before the timestamp: no folder name
            return std::nullopt;
        name.folder = std::string(rest.substr(0, stamp - 1));
    }
    return name;
}
