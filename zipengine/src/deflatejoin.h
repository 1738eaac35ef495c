#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Joining independently compressed pieces of one file into a single deflate stream.
//
// Each piece is a complete raw deflate stream whose last block carries the final-block bit.
// makeJoinable() walks the blocks of a piece (without producing output), clears that bit and
// ends the piece with an empty stored block, so the piece ends on a byte boundary and the next
// piece's first block follows it directly. The last piece of a file is left as it is.
namespace deflatejoin {

struct StreamEnd {
    std::uint64_t finalHeaderBit = 0; // bit index of the final block's first header bit
    std::uint64_t endBit = 0;         // bit index just past the final block's end-of-block code
};

// Walks a raw deflate stream; false when it is malformed or truncated.
bool scanStream(const unsigned char* data, std::size_t size, StreamEnd& end);

// Rewrites the first `size` bytes of `buffer` as described above; `size` gets the new length.
// The buffer grows when needed. False when the stream is malformed.
bool makeJoinable(std::vector<unsigned char>& buffer, std::size_t& size);

} // namespace deflatejoin
