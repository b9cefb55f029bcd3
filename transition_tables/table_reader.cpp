#include "transition_tables/table_reader.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <type_traits>
#include <vector>

#include "foundation/error_handler.hpp"
#include "foundation/log_writers.hpp"

namespace {

// Messages are formatted into buffers of this size.
constexpr std::size_t message_buffer = 1024;

// The part of path after its last "/".
std::string bare_name(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

[[noreturn]] void raise_file_error(const char* format, const std::string& path) {
    char buf[message_buffer];
    std::snprintf(buf, sizeof buf, format, bare_name(path).c_str());
    error_handler::instance().raise(sea::file_error(buf));
    std::abort();  // raise never returns: no handler is registered
}

// The whole path, absolute, for messages whose words name only the file:
// the same name exists in every table directory.
std::string full_path(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path whole = std::filesystem::absolute(path, ec);
    return ec ? path : whole.lexically_normal().string();
}

// message (ending in a newline) with " (full path)" before the newline.
[[noreturn]] void raise_with_path(const std::string& message, const std::string& path) {
    std::string text = message.substr(0, message.size() - 1) + " (" + full_path(path) + ")\n";
    error_handler::instance().raise(sea::file_error(text));
    std::abort();
}

[[noreturn]] void read_failure(std::FILE* f) {
    const int err = errno;
    if (f) std::fclose(f);
    log_error_w().printf("%s", std::strerror(err)).put('\n').flush();
    fatal_exit(-1);
}

void debug_line(const char* text) { log_debug_w().printf("%s", text).put('\n').flush(); }

template <class T>
const char* other_width_message();
template <>
const char* other_width_message<double>() { return "table type not matched, reload as float table."; }
template <>
const char* other_width_message<float>() { return "table type not matched, reload as double table."; }

// The other width a file of this stored type may hold.
template <class T>
using other_t = typename std::conditional<std::is_same<T, double>::value, float, double>::type;

// First-hop weights of a unit cube: the homogeneous value is 2.61, and
// permittivity ratios the walker accepts (below 50) keep a layered value
// within a few hundred times of it. Anything outside these bounds is damage.
constexpr double min_first_hop_weight = 1e-6;
constexpr double max_first_hop_weight = 1e6;

template <class T>
void check_values(table_family family, const T* values, std::size_t count, const std::string& path) {
    for (std::size_t i = 0; i < count; ++i) {
        const T v = values[i];
        if (!std::isfinite(v)) raise_file_error("table value that is not a finite number in \"%s\".\n", path);
        // Hop rows are probabilities; only first-hop rows carry signs.
        if (family == table_family::gft && v < 0)
            raise_file_error("negative hop probability in \"%s\".\n", path);
        if (family == table_family::wvt_is &&
            !(std::fabs(v) >= min_first_hop_weight && std::fabs(v) <= max_first_hop_weight))
            raise_file_error("first-hop weight outside 1e-06 .. 1e+06 in \"%s\".\n", path);
    }
}

// Running sums of the absolute values in the stored precision, divided by
// the row total; the last entry is set to exactly 1 in magnitude so that a
// uniform draw below 1 always lands. A row holding a negative value keeps
// each panel's sign on its entry; a row without one stays non-negative.
template <class T>
void make_cumulative(T* values, std::size_t count, std::size_t row, const std::string& path) {
    for (std::size_t start = 0; start < count; start += row) {
        T* r = values + start;
        T sum = 0;
        for (std::size_t i = 0; i < row; ++i) {
            sum += std::fabs(r[i]);
            r[i] = std::copysign(sum, r[i] < 0 ? T(-1) : T(1));
        }
        // A row without mass would turn into NaN and silently break every walk.
        if (!(sum != 0) || !std::isfinite(sum))
            raise_file_error("table row without probability mass in \"%s\".\n", path);
        for (std::size_t i = 0; i < row; ++i) r[i] = r[i] / sum;
        r[row - 1] = std::copysign(T(1), r[row - 1]);
    }
}

// The open error names the file; anything but a regular file (a FIFO would
// block the open for ever, a directory reads as garbage) is refused first.
std::FILE* open_table_file(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        raise_file_error("\"%s\" is not a regular file.\n", path);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        char buf[message_buffer];
        std::snprintf(buf, sizeof buf, "cannot open \"%s\", please register correct GFT/WVTs\n", bare_name(path).c_str());
        raise_with_path(buf, path);
    }
    return f;
}

template <class T>
void read_values(table_kind kind, table_family family, T* dest, const std::string& path) {
    const std::size_t header = table_header_bytes(kind);
    const std::size_t count = table_value_count(kind, family);
    std::FILE* f = open_table_file(path);
    if (std::fseek(f, 0, SEEK_END) != 0) read_failure(f);
    const long end = std::ftell(f);
    if (end < 0) read_failure(f);
    const long size = end - static_cast<long>(header);
    if (size < 0) {
        std::fclose(f);
        raise_file_error("table file \"%s\" is shorter than its header.\n", path);
    }
    if (static_cast<std::size_t>(size) == count * sizeof(T)) {
        debug_line("table type matched.");
        if (std::fseek(f, static_cast<long>(header), SEEK_SET) != 0) read_failure(f);
        if (std::fread(dest, sizeof(T), count, f) != count) read_failure(f);
    } else if (static_cast<std::size_t>(size) == count * sizeof(other_t<T>)) {
        debug_line(other_width_message<T>());
        if (std::fseek(f, static_cast<long>(header), SEEK_SET) != 0) read_failure(f);
        std::vector<other_t<T>> other(count);
        if (std::fread(other.data(), sizeof(other_t<T>), count, f) != count) read_failure(f);
        for (std::size_t i = 0; i < count; ++i) dest[i] = static_cast<T>(other[i]);
    } else {
        std::fclose(f);
        raise_with_path("incorrect table file size.\n", path);
    }
    std::fclose(f);

    check_values(family, dest, count, path);
    if (family == table_family::wvt_is) {
        for (std::size_t i = 0; i < count; ++i) dest[i] = std::fabs(dest[i]);
    } else {
        make_cumulative(dest, count, table_row_length(kind), path);
    }
}

template <class T>
void mark_rows(const T* rows, std::size_t count, std::size_t row, unsigned char* flags) {
    for (std::size_t start = 0, r = 0; start < count; start += row, ++r)
        flags[r] = std::any_of(rows + start, rows + start + row, [](T v) { return v < 0; }) ? 1 : 0;
}

} // namespace

void read_table_file(table_kind kind, table_family family, double* dest, const std::string& path) {
    read_values(kind, family, dest, path);
}
void read_table_file(table_kind kind, table_family family, float* dest, const std::string& path) {
    read_values(kind, family, dest, path);
}

void mark_signed_rows(const double* rows, std::size_t count, std::size_t row, unsigned char* flags) {
    mark_rows(rows, count, row, flags);
}
void mark_signed_rows(const float* rows, std::size_t count, std::size_t row, unsigned char* flags) {
    mark_rows(rows, count, row, flags);
}

void read_single_gft_is(double* d, const std::string& p) { read_values(table_kind::single, table_family::gft_is, d, p); }
void read_single_wvt_is(double* d, const std::string& p) { read_values(table_kind::single, table_family::wvt_is, d, p); }
void read_pair_gft_is(float* d, const std::string& p) { read_values(table_kind::pair, table_family::gft_is, d, p); }
void read_pair_wvt_is(float* d, const std::string& p) { read_values(table_kind::pair, table_family::wvt_is, d, p); }
void read_h_pair_gft_is(float* d, const std::string& p) { read_values(table_kind::h_pair, table_family::gft_is, d, p); }
void read_h_pair_wvt_is(float* d, const std::string& p) { read_values(table_kind::h_pair, table_family::wvt_is, d, p); }
void read_triple_gft_is(float* d, const std::string& p) { read_values(table_kind::triple, table_family::gft_is, d, p); }
void read_triple_gft(float* d, const std::string& p) { read_values(table_kind::triple, table_family::gft, d, p); }
void read_equal_slab_gft_is(float* d, const std::string& p) {
    read_values(table_kind::equal_slab, table_family::gft_is, d, p);
}
void read_equal_slab_gft(float* d, const std::string& p) { read_values(table_kind::equal_slab, table_family::gft, d, p); }
void read_equal_slab_wvt_is(float* d, const std::string& p) {
    read_values(table_kind::equal_slab, table_family::wvt_is, d, p);
}
void load_four_layer_gft(float* d, const std::string& p) { read_values(table_kind::four_layer, table_family::gft, d, p); }
