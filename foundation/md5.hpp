// MD5 message digest (RFC 1321) with lower-case hexadecimal output.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

class md5 {
public:
    md5() { init(); }
    // Digest of the whole text; finalized on return.
    explicit md5(const std::string& text);

    void init();
    void update(const unsigned char* input, std::uint32_t length);
    void update(const char* input, std::uint32_t length);
    // Pads, appends the bit length and fixes the digest; a second call does nothing.
    md5& finalize();
    // 32 lower-case hexadecimal digits; empty until finalized.
    std::string hexdigest() const;

private:
    static constexpr int block_size = 64;
    void transform(const unsigned char block[block_size]);

    bool finalized = false;
    unsigned char buffer[block_size] = {};
    std::uint32_t count[2] = {0, 0};  // length in bits, low word first
    std::uint32_t state[4] = {};
    unsigned char digest[16] = {};
};

std::ostream& operator<<(std::ostream& out, const md5& m);
