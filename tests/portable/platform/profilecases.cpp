#include "profilecases.h"

#include <fstream>
#include <iterator>
#include <map>

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A quoted string at `at`: \n \r \t \0 \\ \" \xHH, and \{N} for the byte before it N times in all.
bool readQuoted(const std::string& line, std::size_t& at, std::string& out) {
    if (at >= line.size() || line[at] != '"')
        return false;
    out.clear();
    for (++at; at < line.size(); ++at) {
        const char c = line[at];
        if (c == '"') {
            ++at;
            return true;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++at >= line.size())
            return false;
        switch (line[at]) {
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        case '0':
            out += '\0';
            break;
        case 'x': {
            if (at + 2 >= line.size() || hexDigit(line[at + 1]) < 0 || hexDigit(line[at + 2]) < 0)
                return false;
            out += char(hexDigit(line[at + 1]) * 16 + hexDigit(line[at + 2]));
            at += 2;
            break;
        }
        case '{': {
            const std::size_t close = line.find('}', at);
            if (close == std::string::npos || out.empty())
                return false;
            const std::size_t count = std::stoul(line.substr(at + 1, close - at - 1));
            out.append(count - 1, out.back());
            at = close;
            break;
        }
        default:
            out += line[at];
        }
    }
    return false;
}

bool readStrings(const std::string& line, std::size_t at, std::vector<std::string>& out) {
    out.clear();
    for (;;) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
            ++at;
        if (at >= line.size())
            return true;
        std::string text;
        if (!readQuoted(line, at, text))
            return false;
        out.push_back(text);
    }
}

const std::map<std::string, std::size_t> operationArguments{
    {"read", 3}, {"keys", 1}, {"write", 3}, {"erase", 1}};

std::string shown(const std::string& bytes) {
    std::string out = "\"";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '"' || c == '\\')
            out += std::string("\\") + c;
        else if (byte < 0x20 || byte >= 0x7f) {
            const char* digits = "0123456789ABCDEF";
            out += std::string("\\x") + digits[byte >> 4] + digits[byte & 15];
        } else
            out += c;
    }
    return out + "\"";
}

std::string shown(const std::vector<std::string>& list) {
    std::string out;
    for (const std::string& item : list)
        out += (out.empty() ? "" : " ") + shown(item);
    return out.empty() ? "(nothing)" : out;
}

} // namespace

std::vector<ProfileCase> readProfileCases(const std::filesystem::path& file, std::string& error) {
    std::ifstream in(file, std::ios::binary);
    std::vector<ProfileCase> cases;
    std::string line;
    int number = 0;
    const auto fail = [&](const std::string& why) {
        error = "line " + std::to_string(number) + ": " + why;
        return std::vector<ProfileCase>{};
    };
    if (!in)
        return fail("cannot read " + file.string());
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line.front() == '#')
            continue;
        const std::size_t space = line.find(' ');
        const std::string word = line.substr(0, space);
        const std::size_t rest = space == std::string::npos ? line.size() : space + 1;
        if (word == "case") {
            ProfileCase added;
            added.name = line.substr(rest);
            added.line = number;
            cases.push_back(added);
            continue;
        }
        if (cases.empty())
            return fail("no case before " + word);
        ProfileCase& current = cases.back();
        std::vector<std::string> strings;
        if (word == "note")
            continue;
        if (!readStrings(line, rest, strings))
            return fail("a string is not closed");
        if (word == "given" && strings.size() == 1)
            current.given = strings.front();
        else if (operationArguments.contains(word) && strings.size() == operationArguments.at(word))
            current.operation = word, current.arguments = strings;
        else if (word == "expect")
            current.expected = strings;
        else if (word == "ours")
            current.ours = strings;
        else if (word == "wine")
            current.wine = strings;
        else
            return fail("cannot read: " + line);
    }
    for (const ProfileCase& c : cases) {
        if (c.operation.empty()) {
            number = c.line;
            return fail("case without an operation");
        }
    }
    return cases;
}

std::string runProfileCase(const ProfileCase& c, const std::filesystem::path& file,
                           ProfileOperations& operations, ProfileSide side) {
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
    if (c.given)
        std::ofstream(file, std::ios::binary) << *c.given;
    std::vector<std::string> expected = c.expected;
    if (side == ProfileSide::Ours && c.ours)
        expected = *c.ours;
    if (side == ProfileSide::Wine && c.wine)
        expected = *c.wine;

    std::vector<std::string> got;
    const std::vector<std::string>& a = c.arguments;
    if (c.operation == "read") {
        got = {operations.read(file, a[0], a[1], a[2])};
    } else if (c.operation == "keys") {
        got = operations.keys(file, a[0]);
    } else {
        const bool written =
            c.operation == "write" ? operations.write(file, a[0], a[1], a[2]) : operations.erase(file, a[0]);
        if (!written)
            return "line " + std::to_string(c.line) + " (" + c.name + "): the " + c.operation + " failed";
        std::ifstream in(file, std::ios::binary);
        got = {std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>())};
    }
    if (got == expected)
        return {};
    return "line " + std::to_string(c.line) + " (" + c.name + "): got " + shown(got) + ", expected " +
           shown(expected);
}
