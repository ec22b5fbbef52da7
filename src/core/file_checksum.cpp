#include "core/file_checksum.hpp"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

namespace
{
constexpr uint32_t round_constants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

uint32_t rotate_right(uint32_t x, int n)
{
    return (x >> n) | (x << (32 - n));
}

struct sha256_state
{
    uint32_t h[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    uint64_t length = 0;  // bytes
};

void compress_block(sha256_state & state, unsigned char const * block)
{
    uint32_t w[64];
    for (int i = 0; i < 16; ++i)
        w[i] = (uint32_t(block[4 * i]) << 24) | (uint32_t(block[4 * i + 1]) << 16) | (uint32_t(block[4 * i + 2]) << 8) |
               uint32_t(block[4 * i + 3]);
    for (int i = 16; i < 64; ++i)
    {
        uint32_t const s0 = rotate_right(w[i - 15], 7) ^ rotate_right(w[i - 15], 18) ^ (w[i - 15] >> 3);
        uint32_t const s1 = rotate_right(w[i - 2], 17) ^ rotate_right(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    uint32_t a = state.h[0], b = state.h[1], c = state.h[2], d = state.h[3];
    uint32_t e = state.h[4], f = state.h[5], g = state.h[6], h = state.h[7];
    for (int i = 0; i < 64; ++i)
    {
        uint32_t const t1 = h + (rotate_right(e, 6) ^ rotate_right(e, 11) ^ rotate_right(e, 25)) + ((e & f) ^ (~e & g)) +
                            round_constants[i] + w[i];
        uint32_t const t2 = (rotate_right(a, 2) ^ rotate_right(a, 13) ^ rotate_right(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    uint32_t const added[8] = {a, b, c, d, e, f, g, h};
    for (int i = 0; i < 8; ++i)
        state.h[i] += added[i];
}
}  // namespace

std::string file_sha256(std::string const & path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "";
    sha256_state state;
    std::vector<unsigned char> buffer(1 << 16);
    std::size_t pending = 0;  // bytes at the start of `buffer` not yet compressed
    while (true)
    {
        in.read(reinterpret_cast<char *>(buffer.data() + pending), static_cast<std::streamsize>(buffer.size() - pending));
        std::size_t const got = static_cast<std::size_t>(in.gcount());
        state.length += got;
        pending += got;
        std::size_t done = 0;
        for (; done + 64 <= pending; done += 64)
            compress_block(state, buffer.data() + done);
        std::copy(buffer.begin() + static_cast<long>(done), buffer.begin() + static_cast<long>(pending), buffer.begin());
        pending -= done;
        if (!in)
            break;
    }
    if (in.bad())
        return "";
    // Padding: a 1 bit, zeros, then the length in bits, big-endian.
    unsigned char tail[128] = {0};
    std::copy(buffer.begin(), buffer.begin() + static_cast<long>(pending), tail);
    tail[pending] = 0x80;
    std::size_t const tail_size = pending + 9 <= 64 ? 64 : 128;
    uint64_t const bits = state.length * 8;
    for (std::size_t i = 0; i < 8; ++i)
        tail[tail_size - 1 - i] = static_cast<unsigned char>(bits >> (8 * i));
    for (std::size_t at = 0; at < tail_size; at += 64)
        compress_block(state, tail + at);
    std::string hex;
    for (uint32_t word : state.h)
    {
        char digits[9];
        std::snprintf(digits, sizeof digits, "%08x", word);
        hex += digits;
    }
    return hex;
}
