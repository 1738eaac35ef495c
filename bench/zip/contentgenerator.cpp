#include "contentgenerator.h"

#include <libdeflate.h>

#include <cmath>

namespace {

const char* const Syllables[] = {"ba",  "ce",  "di",   "fo",   "gu",   "ha",  "je", "ki", "lo",   "mu",
                                 "na",  "pe",  "qui",  "ro",   "sa",   "te",  "vi", "wo", "xa",   "ze",
                                 "an",  "er",  "in",   "or",   "us",   "th",  "st", "ch", "re",   "de",
                                 "con", "pro", "ment", "tion", "able", "ing", "ed", "ly", "ness", "ous"};
const char* const Keywords[] = {"if (",    "for (", "while (",      "return ",      "const ",  "auto ",
                                "int ",    "void ", "std::vector<", "std::string ", "static ", "class ",
                                "struct ", "else ", "switch (",     "case ",        "break;",  "nullptr",
                                "true",    "false", "unsigned ",    "bool "};
const char* const Operators[] = {" = ", " + ", " - ", " * ", " == ", " != ", " < ", " > ", " && ", " || ",
                                 "->",  ".",   "::",  ", ",  "; ",   "(",    ")",   "[",   "]"};

} // namespace

ContentGenerator::ContentGenerator(std::uint64_t seed)
    : m_state(seed * 0x9e3779b97f4a7c15ull + 1) {
    for (int i = 0; i < 6000; ++i) {
        std::string w;
        const int parts = 1 + static_cast<int>(next() % 4);
        for (int k = 0; k < parts; ++k)
            w += Syllables[next() % std::size(Syllables)];
        m_words.push_back(w);
    }
    for (int i = 0; i < 2500; ++i) {
        std::string id = m_words[next() % m_words.size()];
        const int style = static_cast<int>(next() % 3);
        const std::string second = m_words[next() % m_words.size()];
        if (style == 0)
            id += "_" + second;
        else if (style == 1)
            id += static_cast<char>(second[0] - 'a' + 'A') + second.substr(1);
        m_identifiers.push_back(id);
    }
}

std::uint64_t ContentGenerator::next() {
    // splitmix64
    std::uint64_t z = (m_state += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

std::size_t ContentGenerator::logSize(std::size_t lo, std::size_t hi) {
    const double u = static_cast<double>(next() >> 11) / 9007199254740992.0;
    return static_cast<std::size_t>(
        std::exp(std::log(static_cast<double>(lo)) + u * std::log(static_cast<double>(hi) / lo)));
}

const std::string& ContentGenerator::word(const std::vector<std::string>& pool) {
    // Roughly Zipf: small indexes are far more frequent.
    const double u = static_cast<double>(next() >> 11) / 9007199254740992.0;
    const std::size_t index = static_cast<std::size_t>(std::pow(static_cast<double>(pool.size()), u)) - 1;
    return pool[index < pool.size() ? index : pool.size() - 1];
}

std::string ContentGenerator::prose(std::size_t size) {
    std::string out;
    out.reserve(size + 64);
    while (out.size() < size) {
        const int sentences = 3 + static_cast<int>(next() % 6);
        for (int s = 0; s < sentences; ++s) {
            const int words = 5 + static_cast<int>(next() % 20);
            for (int w = 0; w < words; ++w) {
                std::string piece = word(m_words);
                if (w == 0)
                    piece[0] = static_cast<char>(piece[0] - 'a' + 'A');
                out += piece;
                out += (w + 1 == words) ? ". " : (next() % 12 == 0 ? ", " : " ");
            }
        }
        out += "\n\n";
    }
    out.resize(size);
    return out;
}

std::string ContentGenerator::sourceCode(std::size_t size) {
    std::string out;
    out.reserve(size + 128);
    int depth = 0;
    while (out.size() < size) {
        const int kind = static_cast<int>(next() % 10);
        out.append(static_cast<std::size_t>(depth) * 4, ' ');
        if (kind == 0) {
            out += "// " + prose(20 + next() % 60) + "\n";
            continue;
        }
        if (kind == 1 && depth < 6) {
            out += std::string(Keywords[next() % 4]) + word(m_identifiers) + Operators[next() % 10] +
                   std::to_string(next() % 1000) + ") {\n";
            ++depth;
            continue;
        }
        if (kind == 2 && depth > 0) {
            out.resize(out.size() - 4);
            out += "}\n";
            --depth;
            continue;
        }
        const int tokens = 2 + static_cast<int>(next() % 8);
        for (int t = 0; t < tokens; ++t) {
            const int pick = static_cast<int>(next() % 6);
            if (pick < 3)
                out += word(m_identifiers);
            else if (pick == 3)
                out += Keywords[next() % std::size(Keywords)];
            else if (pick == 4)
                out += std::to_string(next() % 100000);
            else
                out += "\"" + word(m_words) + "\"";
            out += Operators[next() % std::size(Operators)];
        }
        out += ";\n";
    }
    out.resize(size);
    return out;
}

void ContentGenerator::appendInt32(std::string& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

std::string ContentGenerator::binary(std::size_t size) {
    // Sections as a compiled program has them: code with skewed byte statistics, tables of small
    // numbers, string tables, and padding.
    std::string out;
    out.reserve(size + 65536);
    std::uint8_t successors[256][8];
    for (auto& row : successors)
        for (auto& b : row)
            b = static_cast<std::uint8_t>(next());
    while (out.size() < size) {
        const std::size_t length = 2048 + next() % 30000;
        const int kind = static_cast<int>(next() % 10);
        if (kind < 5) {
            std::uint8_t previous = 0;
            for (std::size_t i = 0; i < length; ++i) {
                const std::uint64_t r = next();
                const std::uint8_t b =
                    (r & 7) < 6 ? successors[previous][(r >> 3) & 7] : static_cast<std::uint8_t>(r >> 8);
                out.push_back(static_cast<char>(b));
                previous = b;
            }
        } else if (kind < 7) {
            std::uint32_t base = static_cast<std::uint32_t>(next() % 0x100000);
            for (std::size_t i = 0; i < length / 4; ++i) {
                base += static_cast<std::uint32_t>(next() % 64);
                appendInt32(out, (next() % 3 == 0) ? static_cast<std::uint32_t>(next() % 256) : base);
            }
        } else if (kind < 9) {
            while (out.size() < size && length > 0) {
                out += word(m_identifiers);
                out.push_back('\0');
                if (next() % 64 == 0)
                    break;
            }
        } else {
            out.append(length / 4, '\0');
        }
    }
    out.resize(size);
    return out;
}

std::string ContentGenerator::noise(std::size_t size) {
    std::string out(size, '\0');
    for (std::size_t i = 0; i < size; i += 8) {
        const std::uint64_t r = next();
        for (std::size_t k = 0; k < 8 && i + k < size; ++k)
            out[i + k] = static_cast<char>((r >> (8 * k)) & 0xff);
    }
    return out;
}

std::string ContentGenerator::compressed(std::size_t size) {
    const std::string text = prose(size * 3);
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(6);
    std::string out(libdeflate_gzip_compress_bound(compressor, text.size()), '\0');
    out.resize(libdeflate_gzip_compress(compressor, text.data(), text.size(), out.data(), out.size()));
    libdeflate_free_compressor(compressor);
    return out;
}
