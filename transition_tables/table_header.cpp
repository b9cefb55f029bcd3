#include "transition_tables/table_header.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>


namespace {

constexpr std::size_t mark_bytes = sizeof table_mark;
constexpr std::size_t descriptor_at = 4;
constexpr std::size_t count_at = 5;
constexpr std::size_t key_at = 8;
constexpr std::size_t max_count = (std::size_t(1) << 24) - 1;
constexpr int kind_codes = 6;
constexpr int family_codes = 3;

// A file name prints its key values with "%g": six significant digits, so
// a value and its name differ by at most 5e-6 of the value; the header's
// 32-bit float adds 6e-8.
constexpr double name_key_tolerance = 1e-5;

constexpr std::size_t digest_bytes = sizeof(table_digest);

// Odd constants with well-spread bits (the golden ratio's fraction and a
// second one): multiplying by them is a bijection of 64-bit words.
constexpr std::uint64_t prime_a = 0x9e3779b97f4a7c15ull;
constexpr std::uint64_t prime_b = 0xc2b2ae3d27d4eb4full;

std::uint64_t rotate_left(std::uint64_t x, int r) { return (x << r) | (x >> (64 - r)); }

std::uint64_t digest_step(std::uint64_t lane, std::uint64_t word) {
    return rotate_left(lane ^ (word * prime_a), 31) * prime_b;
}

// Spreads every bit over the whole word (an invertible shift-multiply mix).
std::uint64_t mix(std::uint64_t x) {
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ull;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

// n <= 8 bytes at p as one word, in the machine's byte order.
std::uint64_t word_at(const unsigned char* p, std::size_t n) {
    std::uint64_t w = 0;
    std::memcpy(&w, p, n);
    return w;
}

void put_u32(unsigned char* at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(v >> (8 * i));
}

std::uint32_t get_u32(const unsigned char* at) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= std::uint32_t(at[i]) << (8 * i);
    return v;
}

bool keys_agree(const std::vector<double>& held, const std::vector<double>& named) {
    if (named.empty()) return true;
    if (held.size() != named.size()) return false;
    for (std::size_t i = 0; i < held.size(); ++i)
        if (!(std::fabs(held[i] - named[i]) <= name_key_tolerance * std::fabs(named[i]))) return false;
    return true;
}

} // namespace

table_digest digest_of_values(const void* bytes, std::size_t size) {
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    std::uint64_t lane[4] = {prime_a, prime_b, ~prime_a, ~prime_b};
    std::size_t at = 0;
    for (; at + 32 <= size; at += 32)
        for (int i = 0; i < 4; ++i) lane[i] = digest_step(lane[i], word_at(p + at + 8 * i, 8));
    // The last words, the final one padded with zeros; the length tells the
    // padding from stored zeros.
    for (int i = 0; at < size; ++i, at += 8)
        lane[i] = digest_step(lane[i], word_at(p + at, std::min<std::size_t>(8, size - at)));
    std::uint64_t h = std::uint64_t(size) * prime_a;
    for (std::uint64_t l : lane) h = rotate_left(h ^ mix(l), 27) * prime_b;
    return mix(h);
}

std::string digest_text(table_digest d) {
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(d));
    return buf;
}

std::vector<unsigned char> encode_table_header(const table_identity& holds, table_digest digest) {
    std::vector<unsigned char> h(table_header_bytes(holds.kind), 0);
    const std::size_t keys = table_key_length(holds.kind);
    if (h.size() < key_at + 4 * keys + digest_bytes) return h;  // the single set has no room
    std::memcpy(h.data(), table_mark, mark_bytes);
    h[descriptor_at] = static_cast<unsigned char>((static_cast<int>(holds.kind) + 1) |
                                                  (static_cast<int>(holds.family) << 3) |
                                                  (holds.width == sizeof(double) ? 1 << 5 : 0));
    const std::uint32_t count = static_cast<std::uint32_t>(std::min(holds.count, max_count));
    for (std::size_t i = 0; i < 3; ++i) h[count_at + i] = static_cast<unsigned char>(count >> (8 * i));
    for (std::size_t i = 0; i < keys; ++i) {
        const float v = i < holds.key.size() ? static_cast<float>(holds.key[i]) : 0.0f;
        std::uint32_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        put_u32(h.data() + key_at + 4 * i, bits);
    }
    for (std::size_t i = 0; i < digest_bytes; ++i)
        h[key_at + 4 * keys + i] = static_cast<unsigned char>(digest >> (8 * i));
    return h;
}

header_state decode_table_header(const unsigned char* bytes, std::size_t size, table_header& out) {
    if (size < key_at || std::memcmp(bytes, table_mark, mark_bytes) != 0) return header_state::unmarked;
    const unsigned d = bytes[descriptor_at];
    const int kind = int(d & 7) - 1, family = int((d >> 3) & 3);
    if (kind < 0 || kind >= kind_codes || family >= family_codes || (d >> 6) != 0) return header_state::unreadable;
    table_identity& t = out.holds;
    t.kind = static_cast<table_kind>(kind);
    t.family = static_cast<table_family>(family);
    t.width = (d >> 5) & 1 ? sizeof(double) : sizeof(float);
    t.count = std::size_t(bytes[count_at]) | std::size_t(bytes[count_at + 1]) << 8 |
              std::size_t(bytes[count_at + 2]) << 16;
    const std::size_t keys = table_key_length(t.kind);
    if (size < key_at + 4 * keys + digest_bytes) return header_state::unreadable;
    t.key.clear();
    for (std::size_t i = 0; i < keys; ++i) {
        const std::uint32_t bits = get_u32(bytes + key_at + 4 * i);
        float v;
        std::memcpy(&v, &bits, sizeof v);
        t.key.push_back(double(v));
    }
    out.digest = 0;
    for (std::size_t i = 0; i < digest_bytes; ++i) out.digest |= table_digest(bytes[key_at + 4 * keys + i]) << (8 * i);
    for (std::size_t i = key_at + 4 * keys + digest_bytes; i < size; ++i)
        if (bytes[i] != 0) return header_state::unreadable;
    return header_state::marked;
}

bool header_describes(const table_identity& holds, const table_identity& named) {
    return holds.kind == named.kind && holds.family == named.family && holds.width == named.width &&
           holds.count == named.count && keys_agree(holds.key, named.key);
}

std::string describe_table(const table_identity& t, bool with_size) {
    std::string text = std::string("the ") + table_kind_name(t.kind) + " " + table_family_name(t.family) + " table";
    if (!t.key.empty()) text += " " + key_text(t.key);
    if (with_size) text += " of " + std::to_string(t.count) + " " + std::to_string(t.width) + "-byte values";
    return text;
}
