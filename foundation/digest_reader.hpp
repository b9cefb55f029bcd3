// A reading stream over another stream that passes every byte it reads to
// an MD5 digest, so that the digest is that of exactly the text a reader
// took, wherever it came from (a file, a pipe, standard input).
#pragma once

#include <cstdio>
#include <string>

#include "foundation/md5.hpp"

namespace sea {

class digest_reader {
public:
    // The source stays open and owned by the caller.
    explicit digest_reader(FILE* source);
    ~digest_reader();
    digest_reader(const digest_reader&) = delete;
    digest_reader& operator=(const digest_reader&) = delete;

    // The stream to read from instead of the source; null when the system
    // cannot make one (the source is then read directly and not digested).
    FILE* stream() const { return wrapper; }

    // Reads what the reader left of the source, closes the wrapping stream
    // and returns the lower-case hexadecimal digest of all the source's text.
    std::string finish();

    FILE* source;

private:
    static ssize_t read_through(void* self, char* buf, std::size_t size);

    FILE* wrapper = nullptr;
    md5 sum;
};

} // namespace sea
