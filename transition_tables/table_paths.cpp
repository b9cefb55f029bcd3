#include "transition_tables/table_paths.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "transition_tables/cube_configurations.hpp"
#include "transition_tables/table_sets.hpp"

namespace {

// Paths are formatted into buffers of this size, as the table names are.
constexpr std::size_t path_buffer = 1024;

struct file_counts {
    std::size_t of[3];  // gft_is, gft, wvt_is
};

// Values in each file of a set of the given configurations: three first-hop
// rows and three weights per configuration beside its hop row.
constexpr file_counts set_counts(std::size_t panels, int configurations) {
    const std::size_t c = std::size_t(configurations);
    return {{3 * c * panels, c * panels, 3 * c}};
}

struct kind_shape {
    std::size_t header;
    file_counts counts;
    std::size_t width;
    int panels;
    int configurations;
    int name_number;  // the number in the file name
    const char* prefixes[3];
};

const kind_shape& shape_of(table_kind kind) {
    static const kind_shape shapes[] = {
        {0, set_counts(panels_31, 1), 8, 31, 1, 31, {"GFT_IS", "GFT", "WVT_IS"}},
        {24, set_counts(panels_31, pair_rows), 4, 31, pair_rows, 31, {"GFT/NumGFT_IS", "GFT/NumGFT", "WVT/NumWVT_IS"}},
        // The h-pair names carry 31 although the cube has 32 panels a side.
        {24, set_counts(panels_32, 1), 4, 32, 1, 31, {"GFT/hNumGFT_IS", "GFT/hNumGFT", "WVT/hNumWVT_IS"}},
        {28, set_counts(panels_32, two_interface_rows), 4, 32, two_interface_rows, 32,
         {"GFT3/NumGFT_IS", "GFT3/NumGFT", "WVT3/NumWVT_IS"}},
        {36, set_counts(panels_32, 1), 4, 32, 1, 32, {"GFT4/NumGFT_IS", "GFT4/NumGFT", "WVT4/NumWVT_IS"}},
        // Four-layer sets hold hop rows only.
        {36, {{0, panels_32 * three_interface_rows, 0}}, 4, 32, three_interface_rows, 32, {"", "GFT4/NumGFT", ""}},
    };
    return shapes[static_cast<int>(kind)];
}

} // namespace

std::string join_dir(const std::string& dir) {
    if (dir.empty() || dir.back() == '/') return dir;
    return dir + "/";
}

std::string table_file_path(table_kind kind, table_family family, const std::string& prefix,
                            const std::vector<double>& key) {
    const kind_shape& s = shape_of(kind);
    const int f = static_cast<int>(family);
    char buf[path_buffer];
    const double* k = key.data();
    switch (kind) {
    case table_kind::single:
        std::snprintf(buf, sizeof buf, "%sIS/binary/SINGLE/single_%s_%d.db", prefix.c_str(), s.prefixes[f],
                      s.name_number);
        break;
    case table_kind::pair:
    case table_kind::h_pair:
        std::snprintf(buf, sizeof buf, "%sIS/binary/MULTI/%s%g_%g_%d.db", prefix.c_str(), s.prefixes[f], k[0],
                      k[1], s.name_number);
        break;
    case table_kind::triple:
        std::snprintf(buf, sizeof buf, "%sIS/binary/MULTI/%s%g_%g_%g_%d.db", prefix.c_str(), s.prefixes[f], k[0],
                      k[1], k[2], s.name_number);
        break;
    case table_kind::equal_slab:
    case table_kind::four_layer:
        std::snprintf(buf, sizeof buf, "%sIS/binary/MULTI/%s%g_%g_%g_%g_%d.db", prefix.c_str(), s.prefixes[f],
                      k[0], k[1], k[2], k[3], s.name_number);
        break;
    }
    return buf;
}

std::size_t table_header_bytes(table_kind kind) { return shape_of(kind).header; }

std::size_t table_value_count(table_kind kind, table_family family) {
    return shape_of(kind).counts.of[static_cast<int>(family)];
}

std::size_t table_stored_width(table_kind kind) { return shape_of(kind).width; }
int table_panels_per_side(table_kind kind) { return shape_of(kind).panels; }
std::size_t table_row_length(table_kind kind) {
    const std::size_t side = static_cast<std::size_t>(table_panels_per_side(kind));
    return 6 * side * side;
}
int table_configurations(table_kind kind) { return shape_of(kind).configurations; }

std::size_t table_key_length(table_kind kind) {
    switch (kind) {
    case table_kind::single: return 0;
    case table_kind::pair:
    case table_kind::h_pair: return 2;
    case table_kind::triple: return 3;
    default: return 4;
    }
}

const char* table_kind_name(table_kind kind) {
    switch (kind) {
    case table_kind::single: return "single";
    case table_kind::pair: return "pair";
    case table_kind::h_pair: return "h-pair";
    case table_kind::triple: return "triple";
    case table_kind::equal_slab: return "equal-slab";
    case table_kind::four_layer: return "four-layer";
    }
    return "unknown";
}

const char* table_family_name(table_family family) {
    switch (family) {
    case table_family::gft_is: return "GFT_IS";
    case table_family::gft: return "GFT";
    case table_family::wvt_is: return "WVT_IS";
    }
    return "unknown";
}

std::string key_text(const std::vector<double>& key) {
    std::string text = "(";
    char buf[32];
    for (std::size_t i = 0; i < key.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%s%g", i ? ", " : "", key[i]);
        text += buf;
    }
    return text + ")";
}

bool table_key_from_name(table_kind kind, table_family family, const std::string& path, std::vector<double>& key) {
    const char* word = shape_of(kind).prefixes[static_cast<int>(family)];
    if (const char* slash = std::strrchr(word, '/')) word = slash + 1;
    const std::size_t from = path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1;
    const std::string name = path.substr(from);
    const std::size_t word_length = std::strlen(word);
    if (word_length == 0 || name.compare(0, word_length, word) != 0) return false;
    // After the word: one "%g_" per key value, then "%d.db".
    const char* p = name.c_str() + word_length;
    std::vector<double> values;
    for (std::size_t i = 0; i < table_key_length(kind); ++i) {
        char* end = nullptr;
        const double v = std::strtod(p, &end);
        if (end == p || *end != '_') return false;
        values.push_back(v);
        p = end + 1;
    }
    char* end = nullptr;
    std::strtol(p, &end, 10);
    if (end == p || std::strcmp(end, ".db") != 0) return false;
    key = values;
    return true;
}
