#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Deterministic file contents of several kinds, from one seed.
class ContentGenerator {
public:
    explicit ContentGenerator(std::uint64_t seed);

    std::string prose(std::size_t size);
    std::string sourceCode(std::size_t size);
    std::string binary(std::size_t size);
    std::string noise(std::size_t size);
    // Prose put through deflate in a gzip wrapper: data that is already compressed.
    std::string compressed(std::size_t size);

    std::uint64_t next();
    // A size between lo and hi, evenly spread on a logarithmic scale.
    std::size_t logSize(std::size_t lo, std::size_t hi);

private:
    const std::string& word(const std::vector<std::string>& pool);
    void appendInt32(std::string& out, std::uint32_t value);

    std::uint64_t m_state;
    std::vector<std::string> m_words;
    std::vector<std::string> m_identifiers;
};
