#include "foundation/writer.hpp"

#include <cstring>

namespace sea {

writer& writer::printf(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    vprintf(fmt, args);
    va_end(args);
    return *this;
}

file_writer::~file_writer() { std::fflush(stream); }

writer& file_writer::put(char ch) {
    std::fputc(static_cast<unsigned char>(ch), stream);
    return *this;
}

writer& file_writer::write(const char* buf, std::size_t n) {
    std::fwrite(buf, 1, n, stream);
    return *this;
}

writer& file_writer::vprintf(const char* fmt, va_list args) {
    std::vfprintf(stream, fmt, args);
    return *this;
}

writer& file_writer::flush() {
    std::fflush(stream);
    return *this;
}

multi_writer::~multi_writer() {
    for (writer* t : targets) t->flush();
}

writer& multi_writer::put(char ch) {
    for (writer* t : targets) t->put(ch);
    return *this;
}

writer& multi_writer::write(const char* buf, std::size_t n) {
    for (writer* t : targets) t->write(buf, n);
    return *this;
}

writer& multi_writer::vprintf(const char* fmt, va_list args) {
    for (writer* t : targets) {
        va_list copy;
        va_copy(copy, args);
        t->vprintf(fmt, copy);
        va_end(copy);
    }
    return *this;
}

writer& multi_writer::flush() {
    for (writer* t : targets) t->flush();
    return *this;
}

writer& string_writer::put(char ch) {
    target->push_back(ch);
    return *this;
}

writer& string_writer::write(const char* buf, std::size_t n) {
    target->append(buf, n);
    return *this;
}

writer& string_writer::vprintf(const char* fmt, va_list args) {
    std::size_t n = formatted_length(fmt, args) + 1;
    std::size_t old = target->size();
    target->append(n, '\0');
    va_list copy;
    va_copy(copy, args);
    std::vsnprintf(&(*target)[old], n, fmt, copy);
    va_end(copy);
    target->pop_back();
    return *this;
}

std::size_t formatted_length(const char* fmt, va_list args) {
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    return n < 0 ? 0 : static_cast<std::size_t>(n);
}

std::string formatted(const char* fmt, ...) {
    std::string text;
    va_list args;
    va_start(args, fmt);
    string_writer(&text).vprintf(fmt, args);
    va_end(args);
    return text;
}

} // namespace sea

sea::writer& write_cstr(sea::writer& w, const char* text) { return w.write(text, std::strlen(text)); }

sea::writer& write_double(sea::writer& w, double v) { return w.printf("%.12f", v); }
