// Output sinks: every line the program prints goes through a sea::writer.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace sea {

class writer {
public:
    virtual ~writer() = default;
    virtual writer& put(char ch) = 0;
    virtual writer& write(const char* buf, std::size_t n) = 0;
    virtual writer& vprintf(const char* fmt, va_list args) = 0;
    virtual writer& flush() = 0;

    // The form used at almost every print site.
    writer& printf(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
};

// Over a standard I/O stream it does not own: flushed on destruction, never closed.
class file_writer final : public writer {
public:
    explicit file_writer(FILE* s) : stream(s) {}
    ~file_writer() override;
    writer& put(char ch) override;
    writer& write(const char* buf, std::size_t n) override;
    writer& vprintf(const char* fmt, va_list args) override;
    writer& flush() override;

    FILE* stream;
};

class empty_writer final : public writer {
public:
    writer& put(char) override { return *this; }
    writer& write(const char*, std::size_t) override { return *this; }
    writer& vprintf(const char*, va_list) override { return *this; }
    writer& flush() override { return *this; }
};

// Forwards every call to each target in order; owns none of them and must be
// destroyed before them (it flushes them on the way out).
class multi_writer final : public writer {
public:
    explicit multi_writer(std::vector<writer*> t) : targets(std::move(t)) {}
    ~multi_writer() override;
    writer& put(char ch) override;
    writer& write(const char* buf, std::size_t n) override;
    writer& vprintf(const char* fmt, va_list args) override;
    writer& flush() override;

    std::vector<writer*> targets;
};

// Appends to a text it does not own; no terminating zero is left behind.
class string_writer final : public writer {
public:
    explicit string_writer(std::string* t) : target(t) {}
    writer& put(char ch) override;
    writer& write(const char* buf, std::size_t n) override;
    writer& vprintf(const char* fmt, va_list args) override;
    writer& flush() override { return *this; }

    std::string* target;
};

// Number of characters fmt and args produce; 0 when formatting fails.
// Works on a copy of args, so the caller may use them again.
std::size_t formatted_length(const char* fmt, va_list args);

// The text fmt and the arguments produce.
std::string formatted(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

} // namespace sea

sea::writer& write_cstr(sea::writer& w, const char* text);
// "%.12f": the form of permittivities in the table-loading lines.
sea::writer& write_double(sea::writer& w, double v);
