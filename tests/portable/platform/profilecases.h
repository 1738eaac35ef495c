#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The cases of tests/portable/data/profilecases.txt: a settings file's bytes, one operation on
// it and what it must give, checked against the system's profile functions on Windows and against
// ProfileFile on Linux. Where our own rules deliberately differ from Windows a case says what ours
// give ("ours"), and where Wine differs from Windows what Wine gives ("wine").
struct ProfileCase {
    std::string name;
    int line = 0;
    std::optional<std::string> given; // no file at all when empty
    std::string operation;            // read, keys, write or erase
    std::vector<std::string> arguments;
    std::vector<std::string> expected; // the value, the key names, or the file's bytes after
    std::optional<std::vector<std::string>> ours;
    std::optional<std::vector<std::string>> wine;
};

// Parses the file; on a malformed line `error` says which.
std::vector<ProfileCase> readProfileCases(const std::filesystem::path& file, std::string& error);

// What a case runs on: the functions of one system.
class ProfileOperations {
public:
    virtual ~ProfileOperations() = default;
    virtual std::string read(const std::filesystem::path& file, const std::string& section,
                             const std::string& key, const std::string& defaultValue) = 0;
    virtual std::vector<std::string> keys(const std::filesystem::path& file, const std::string& section) = 0;
    virtual bool write(const std::filesystem::path& file, const std::string& section, const std::string& key,
                       const std::string& value) = 0;
    virtual bool erase(const std::filesystem::path& file, const std::string& section) = 0;
};

enum class ProfileSide { Ours, Windows, Wine };

// Runs the case on `file` (made or removed first) and returns what went wrong, empty when nothing.
std::string runProfileCase(const ProfileCase& profileCase, const std::filesystem::path& file,
                           ProfileOperations& operations, ProfileSide side);
