#include "foundation/digest_reader.hpp"

namespace sea {

digest_reader::digest_reader(FILE* s) : source(s) {
    cookie_io_functions_t io{};
    io.read = &digest_reader::read_through;
    if (source) wrapper = ::fopencookie(this, "r", io);
}

digest_reader::~digest_reader() {
    if (wrapper) std::fclose(wrapper);
}

ssize_t digest_reader::read_through(void* self, char* buf, std::size_t size) {
    digest_reader& d = *static_cast<digest_reader*>(self);
    const std::size_t got = std::fread(buf, 1, size, d.source);
    d.sum.update(buf, static_cast<std::uint32_t>(got));
    return got == 0 && std::ferror(d.source) ? -1 : static_cast<ssize_t>(got);
}

std::string digest_reader::finish() {
    if (wrapper) {
        char buf[65536];
        while (std::fread(buf, 1, sizeof buf, wrapper) > 0) {
        }
        std::fclose(wrapper);
        wrapper = nullptr;
    }
    return sum.finalize().hexdigest();
}

} // namespace sea
