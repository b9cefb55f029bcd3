#include "foundation/md5.hpp"

#include <cstdio>
#include <cstring>

namespace {

// Per-round shift amounts and the sine-derived constants of RFC 1321.
constexpr int shifts[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

constexpr std::uint32_t sines[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

inline std::uint32_t rotate_left(std::uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

void encode(unsigned char* out, const std::uint32_t* in, int words) {
    for (int i = 0; i < words; ++i)
        for (int b = 0; b < 4; ++b) out[4 * i + b] = static_cast<unsigned char>(in[i] >> (8 * b));
}

} // namespace

md5::md5(const std::string& text) {
    init();
    update(text.data(), static_cast<std::uint32_t>(text.size()));
    finalize();
}

void md5::init() {
    finalized = false;
    count[0] = count[1] = 0;
    state[0] = 0x67452301;
    state[1] = 0xefcdab89;
    state[2] = 0x98badcfe;
    state[3] = 0x10325476;
}

void md5::transform(const unsigned char block[block_size]) {
    std::uint32_t x[16];
    for (int i = 0; i < 16; ++i)
        x[i] = std::uint32_t(block[4 * i]) | std::uint32_t(block[4 * i + 1]) << 8 |
               std::uint32_t(block[4 * i + 2]) << 16 | std::uint32_t(block[4 * i + 3]) << 24;
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (int step = 0; step < 64; ++step) {
        const int round = step / 16;
        std::uint32_t f;
        int k;
        switch (round) {
        case 0: f = (b & c) | (~b & d); k = step; break;
        case 1: f = (d & b) | (~d & c); k = (5 * step + 1) % 16; break;
        case 2: f = b ^ c ^ d; k = (3 * step + 5) % 16; break;
        default: f = c ^ (b | ~d); k = (7 * step) % 16; break;
        }
        const std::uint32_t rotated = rotate_left(a + f + x[k] + sines[step], shifts[round][step % 4]);
        a = d;
        d = c;
        c = b;
        b = b + rotated;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

void md5::update(const unsigned char* input, std::uint32_t length) {
    std::uint32_t index = (count[0] >> 3) & 0x3f;
    if ((count[0] += length << 3) < (length << 3)) ++count[1];
    count[1] += length >> 29;

    const std::uint32_t room = block_size - index;
    std::uint32_t i = 0;
    if (length >= room) {
        std::memcpy(&buffer[index], input, room);
        transform(buffer);
        for (i = room; i + block_size <= length; i += block_size) transform(&input[i]);
        index = 0;
    }
    std::memcpy(&buffer[index], &input[i], length - i);
}

void md5::update(const char* input, std::uint32_t length) {
    update(reinterpret_cast<const unsigned char*>(input), length);
}

md5& md5::finalize() {
    if (finalized) return *this;
    static const unsigned char padding[block_size] = {0x80};
    unsigned char bits[8];
    encode(bits, count, 2);
    const std::uint32_t index = (count[0] >> 3) & 0x3f;
    const std::uint32_t pad = index < 56 ? 56 - index : 120 - index;
    update(padding, pad);
    update(bits, 8);
    encode(digest, state, 4);
    std::memset(buffer, 0, sizeof buffer);
    finalized = true;
    return *this;
}

std::string md5::hexdigest() const {
    if (!finalized) return "";
    char text[33];
    for (int i = 0; i < 16; ++i) std::snprintf(&text[2 * i], 3, "%02x", digest[i]);
    return std::string(text, 32);
}

std::ostream& operator<<(std::ostream& out, const md5& m) { return out << m.hexdigest(); }
