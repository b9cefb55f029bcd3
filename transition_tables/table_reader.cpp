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
#include "foundation/run_end.hpp"

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

// What a file's name and size say it holds.
table_identity named_identity(table_kind kind, table_family family, std::size_t width, const std::string& path) {
    table_identity named;
    named.kind = kind;
    named.family = family;
    named.width = width;
    named.count = table_value_count(kind, family);
    table_key_from_name(kind, family, path, named.key);
    return named;
}

[[noreturn]] void read_failure(std::FILE* f) {
    const int err = errno;
    if (f) std::fclose(f);
    sea::end_run(std::string(std::strerror(err)) + "\n", -1);
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

[[noreturn]] void raise_row_error(const char* format, std::size_t row, double value, const std::string& path) {
    char buf[message_buffer];
    std::snprintf(buf, sizeof buf, format, row, value, bare_name(path).c_str());
    error_handler::instance().raise(sea::file_error(buf));
    std::abort();
}

// Sums are taken in double whatever the stored width, so that only the
// stored values' own rounding counts against the tolerance.
template <class T>
void check_hop_rows(const T* values, std::size_t count, std::size_t row, const std::string& path) {
    for (std::size_t start = 0, r = 0; start < count; start += row, ++r) {
        double sum = 0.0;
        for (std::size_t i = 0; i < row; ++i) sum += double(values[start + i]);
        if (!(std::fabs(sum - 1.0) <= table_row_tolerance))
            raise_row_error("hop row %zu sums to %.9g, not 1, in \"%s\".\n", r, sum, path);
    }
}

template <class T>
void total_first_hop_rows(const T* values, std::size_t count, std::size_t row, first_hop_row_totals& totals) {
    totals.mass.clear();
    totals.balance.clear();
    totals.has_negative.clear();
    for (std::size_t start = 0; start < count; start += row) {
        double mass = 0.0, balance = 0.0;
        bool negative = false;
        for (std::size_t i = 0; i < row; ++i) {
            const double v = double(values[start + i]);
            mass += std::fabs(v);
            balance += v;
            negative = negative || v < 0;
        }
        totals.mass.push_back(mass);
        totals.balance.push_back(balance);
        totals.has_negative.push_back(negative ? 1 : 0);
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
        std::snprintf(buf, sizeof buf, "cannot open \"%s\", please register correct GFT/WVTs",
                      bare_name(path).c_str());
        const missing_table_error e(std::string(buf) + " (" + full_path(path) + ")\n");
        if (!error_handler::instance().dispatch<sea::file_error>(e)) throw e;
        std::abort();
    }
    return f;
}

// The identity check of a marked header, made before the values are read:
// a file copied under another set's name has the right size and passes
// every row check, and only its header tells.
void check_header(table_kind kind, table_family family, std::FILE* f, std::size_t width, const std::string& path,
                  table_header& header, bool& marked) {
    std::vector<unsigned char> bytes(table_header_bytes(kind));
    marked = false;
    if (bytes.empty()) return;
    if (std::fseek(f, 0, SEEK_SET) != 0) read_failure(f);
    if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) read_failure(f);
    const header_state state = decode_table_header(bytes.data(), bytes.size(), header);
    if (state == header_state::unmarked) return;
    if (state == header_state::unreadable) {
        std::fclose(f);
        raise_with_path(
            "table file \"" + bare_name(path) + "\" carries the table mark, but its header cannot be read.\n", path);
    }
    marked = true;
    const table_identity named = named_identity(kind, family, width, path);
    if (header_describes(header.holds, named)) return;
    std::fclose(f);
    const bool sizes = header.holds.count != named.count || header.holds.width != named.width;
    raise_with_path("table file \"" + bare_name(path) + "\" holds " + describe_table(header.holds, sizes) +
                        ", but its name says " + describe_table(named, sizes) + ".\n",
                    path);
}

template <class T>
void read_values(table_kind kind, table_family family, T* dest, const std::string& path,
                 first_hop_row_totals* totals = nullptr, pending_digest* later = nullptr) {
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
    const bool matched = static_cast<std::size_t>(size) == count * sizeof(T);
    if (!matched && static_cast<std::size_t>(size) != count * sizeof(other_t<T>)) {
        std::fclose(f);
        raise_with_path("incorrect table file size.\n", path);
    }
    table_header marks;
    pending_digest digest;
    check_header(kind, family, f, matched ? sizeof(T) : sizeof(other_t<T>), path, marks, digest.marked);
    digest.path = path;
    digest.written = marks.digest;
    if (matched) {
        debug_line("table type matched.");
        if (std::fseek(f, static_cast<long>(header), SEEK_SET) != 0) read_failure(f);
        if (std::fread(dest, sizeof(T), count, f) != count) read_failure(f);
        if (digest.marked) digest.found = digest_of_values(dest, count * sizeof(T));
    } else {
        debug_line(other_width_message<T>());
        if (std::fseek(f, static_cast<long>(header), SEEK_SET) != 0) read_failure(f);
        std::vector<other_t<T>> other(count);
        if (std::fread(other.data(), sizeof(other_t<T>), count, f) != count) read_failure(f);
        if (digest.marked) digest.found = digest_of_values(other.data(), count * sizeof(other_t<T>));
        for (std::size_t i = 0; i < count; ++i) dest[i] = static_cast<T>(other[i]);
    }
    std::fclose(f);

    check_values(family, dest, count, path);
    if (family == table_family::gft) check_hop_rows(dest, count, table_row_length(kind), path);
    if (totals) total_first_hop_rows(dest, count, table_row_length(kind), *totals);
    // Values that break a rule of their own are reported by that rule; the
    // digest catches what passes every rule.
    if (later) {
        *later = digest;
    } else {
        check_digest(digest);
    }
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

template <class T>
void check_rows_against_weights(const first_hop_row_totals& rows, const T* weights, const std::string& gft_is_path,
                                const std::string& wvt_is_path) {
    for (std::size_t r = 0; r < rows.mass.size(); ++r) {
        const double mass = rows.mass[r];
        // Rows written with magnitudes only carry no balance to check.
        if (rows.has_negative[r] && !(std::fabs(rows.balance[r]) <= table_row_tolerance * mass))
            raise_row_error("first-hop row %zu sums to %.9g instead of zero in \"%s\".\n", r, rows.balance[r],
                            gft_is_path);
        const double w = std::fabs(double(weights[r]));
        if (!(std::fabs(mass - w) <= table_row_tolerance * w)) {
            char buf[message_buffer];
            std::snprintf(buf, sizeof buf,
                          "first-hop weight %zu is %.9g in \"%s\", but its row in \"%s\" holds %.9g.\n", r, w,
                          bare_name(wvt_is_path).c_str(), bare_name(gft_is_path).c_str(), mass);
            error_handler::instance().raise(sea::file_error(buf));
            std::abort();
        }
    }
}

// Width of the values of a file of this size, 0 when it fits neither.
std::size_t width_by_size(table_kind kind, table_family family, const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    const std::size_t header = table_header_bytes(kind), count = table_value_count(kind, family);
    if (std::size_t(st.st_size) < header) return 0;
    const std::size_t bytes = std::size_t(st.st_size) - header;
    if (bytes == count * sizeof(double)) return sizeof(double);
    if (bytes == count * sizeof(float)) return sizeof(float);
    return 0;
}

} // namespace

void read_first_hop_file(table_kind kind, double* dest, const std::string& path, first_hop_row_totals& totals) {
    read_values(kind, table_family::gft_is, dest, path, &totals);
}
void read_first_hop_file(table_kind kind, float* dest, const std::string& path, first_hop_row_totals& totals) {
    read_values(kind, table_family::gft_is, dest, path, &totals);
}

void check_first_hop_rows(const first_hop_row_totals& rows, const double* weights, const std::string& gft_is_path,
                          const std::string& wvt_is_path) {
    check_rows_against_weights(rows, weights, gft_is_path, wvt_is_path);
}
void check_first_hop_rows(const first_hop_row_totals& rows, const float* weights, const std::string& gft_is_path,
                          const std::string& wvt_is_path) {
    check_rows_against_weights(rows, weights, gft_is_path, wvt_is_path);
}

void check_set_widths(table_kind kind, const std::vector<std::string>& paths) {
    static const table_family families[] = {table_family::gft_is, table_family::gft, table_family::wvt_is};
    std::vector<std::size_t> widths;
    std::size_t doubles = 0, floats = 0;
    for (std::size_t i = 0; i < paths.size() && i < 3; ++i) {
        widths.push_back(width_by_size(kind, families[i], paths[i]));
        doubles += widths.back() == sizeof(double);
        floats += widths.back() == sizeof(float);
    }
    if (doubles == 0 || floats == 0) return;
    const std::size_t set_width =
        doubles > floats ? sizeof(double) : floats > doubles ? sizeof(float) : table_stored_width(kind);
    for (std::size_t i = 0; i < widths.size(); ++i) {
        if (widths[i] == 0 || widths[i] == set_width) continue;
        char buf[message_buffer];
        std::snprintf(buf, sizeof buf,
                      "table file \"%s\" holds %zu-byte values, but its set is written with %zu-byte values.\n",
                      bare_name(paths[i]).c_str(), widths[i], set_width);
        error_handler::instance().raise(sea::file_error(buf));
        std::abort();
    }
}

void read_table_file(table_kind kind, table_family family, double* dest, const std::string& path,
                     pending_digest* later) {
    read_values(kind, family, dest, path, nullptr, later);
}
void read_table_file(table_kind kind, table_family family, float* dest, const std::string& path,
                     pending_digest* later) {
    read_values(kind, family, dest, path, nullptr, later);
}

void check_digest(const pending_digest& d) {
    if (!d.marked || d.found == d.written) return;
    raise_with_path("table file \"" + bare_name(d.path) +
                        "\" does not hold the values it was written with: its header's digest is " +
                        digest_text(d.written) + ", its values' " + digest_text(d.found) + ".\n",
                    d.path);
}

bool table_file_serves(table_kind kind, table_family family, const std::string& path) {
    const std::size_t width = width_by_size(kind, family, path);
    if (width == 0) return false;
    const std::size_t header = table_header_bytes(kind);
    if (header == 0) return true;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::vector<unsigned char> bytes(header + width * table_value_count(kind, family));
    const bool read = std::fread(bytes.data(), 1, bytes.size(), f) == bytes.size();
    std::fclose(f);
    if (!read) return false;
    table_header marks;
    switch (decode_table_header(bytes.data(), header, marks)) {
    case header_state::unmarked: return true;
    case header_state::unreadable: return false;
    case header_state::marked: break;
    }
    return header_describes(marks.holds, named_identity(kind, family, width, path)) &&
           digest_of_values(bytes.data() + header, bytes.size() - header) == marks.digest;
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
