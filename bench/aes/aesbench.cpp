// Encrypts the same data with our entry encryptor (counter mode and authentication code, the way an
// archive entry is written) and with the openssl command (the same two steps: `openssl enc
// -aes-256-ctr`, then `openssl mac` HMAC-SHA1), and prints both speeds and their ratio.
//
// aesbench [MiB]   (default 512; the data file is kept in /tmp/quoralis-aesbench.bin)
#include "aescounterstream.h"
#include "aesentryencryptor.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

const char* const dataFile = "/tmp/quoralis-aesbench.bin";
constexpr std::size_t chunkSize = 1 << 20; // what the add job hands on at a time

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

std::vector<unsigned char> sampleData(std::size_t size) {
    std::vector<unsigned char> data(size);
    std::uint64_t state = 0x9e3779b97f4a7c15ull;
    for (auto& byte : data) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        byte = static_cast<unsigned char>(state >> 32);
    }
    return data;
}

// The best of three runs over data already in memory, in the add job's pieces.
template <typename Step> double bestSeconds(std::vector<unsigned char> data, Step step) {
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        const auto start = Clock::now();
        for (std::size_t at = 0; at < data.size(); at += chunkSize)
            if (!step(data.data() + at, std::min(chunkSize, data.size() - at)))
                return -1;
        best = std::min(best, seconds(start));
    }
    return best;
}

double ourSeconds(const std::vector<unsigned char>& data) {
    AesEntryEncryptor encryptor;
    if (!encryptor.start("benchmark password"))
        return -1;
    const double time = bestSeconds(
        data, [&](unsigned char* piece, std::size_t size) { return encryptor.encrypt(piece, size); });
    unsigned char code[aesentry::AuthCodeSize];
    return encryptor.finish(code) ? time : -1;
}

double ourCounterModeSeconds(const std::vector<unsigned char>& data) {
    const unsigned char key[aescrypto::Aes256KeySize] = {7};
    AesCounterStream stream;
    if (!stream.start(key))
        return -1;
    return bestSeconds(data,
                       [&](unsigned char* piece, std::size_t size) { return stream.apply(piece, size); });
}

double commandSeconds(const std::string& command) {
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        const auto start = Clock::now();
        if (std::system(command.c_str()) != 0)
            return -1;
        best = std::min(best, seconds(start));
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    const std::size_t mebibytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 512;
    const std::vector<unsigned char> data = sampleData(mebibytes << 20);
    std::ofstream(dataFile, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), data.size());

    const double ours = ourSeconds(data);
    const std::string key(64, '7');
    const std::string iv(32, '0');
    // The key derivation is left out of both: it takes the same 1000 rounds once per entry.
    const double ourCounterMode = ourCounterModeSeconds(data);
    const double peerCounterMode = commandSeconds(std::string("openssl enc -aes-256-ctr -K ") + key +
                                                  " -iv " + iv + " -in " + dataFile + " -out /dev/null");
    const double peer =
        peerCounterMode + commandSeconds(std::string("openssl mac -digest SHA1 -macopt hexkey:") + key +
                                         " -in " + dataFile + " HMAC >/dev/null");
    if (ours < 0 || peer < 0 || ourCounterMode < 0 || peerCounterMode < 0) {
        std::fprintf(stderr, "a run failed\n");
        return 1;
    }
    const double megabytes = static_cast<double>(data.size()) / 1e6;
    std::printf("data: %zu MiB, pieces of %zu KiB\n", mebibytes, chunkSize >> 10);
    std::printf("ours (AES-256 counter mode + HMAC-SHA1):       %8.1f MB/s\n", megabytes / ours);
    std::printf(
        "openssl enc -aes-256-ctr + openssl mac HMAC:   %8.1f MB/s (file read and process start included)\n",
        megabytes / peer);
    std::printf("ratio ours / openssl: %.2f\n", peer / ours);
    std::printf("counter mode alone: ours %.1f MB/s, openssl enc %.1f MB/s, ratio %.2f\n",
                megabytes / ourCounterMode, megabytes / peerCounterMode, peerCounterMode / ourCounterMode);
    return 0;
}
