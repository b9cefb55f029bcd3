#include "tools/tablegen/table_generator.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <mutex>
#include <map>
#include <system_error>

#include "foundation/error_handler.hpp"
#include "foundation/thread_pool.hpp"
#include "tools/tablegen/configuration_profiles.hpp"
#include "tools/tablegen/stored_rows.hpp"
#include "transition_tables/table_header.hpp"
#include "transition_tables/table_reader.hpp"

namespace {

constexpr table_family families[] = {table_family::gft_is, table_family::gft, table_family::wvt_is};

bool has_first_hop(table_kind kind) { return table_value_count(kind, table_family::wvt_is) > 0; }

const std::vector<double>& values_of(const generated_set& s, table_family f) {
    return f == table_family::gft_is ? s.gft_is : f == table_family::gft ? s.gft : s.wvt_is;
}

[[noreturn]] void fail(const std::string& what, const std::string& path) {
    error_handler::instance().raise(sea::file_error(what + " \"" + path + "\"\n"));
    throw sea::file_error(what);  // raise returns only when a handler took the error
}

// The values as the file stores them: doubles round to the nearest float.
template <class T>
std::vector<unsigned char> stored_bytes(const std::vector<double>& values) {
    const std::vector<T> out(values.begin(), values.end());
    const unsigned char* p = reinterpret_cast<const unsigned char*>(out.data());
    return std::vector<unsigned char>(p, p + out.size() * sizeof(T));
}

// The header says what the file holds (table_header.hpp), so that a copy
// under another set's name is refused by the readers.
void write_file(table_kind kind, table_family family, const std::vector<double>& key, const std::string& path,
                const std::vector<double>& values) {
    std::error_code ec;
    const std::filesystem::path target(path);
    if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ec);
    if (ec) fail("cannot create the directory of", path);
    const std::size_t width = table_stored_width(kind);
    const std::vector<unsigned char> bytes =
        width == sizeof(double) ? stored_bytes<double>(values) : stored_bytes<float>(values);
    const std::vector<unsigned char> header = encode_table_header(
        {kind, family, key, width, values.size()}, digest_of_values(bytes.data(), bytes.size()));
    const std::string part = path + ".part";
    std::FILE* f = std::fopen(part.c_str(), "wb");
    if (!f) fail("cannot write", part);
    bool ok = header.empty() || std::fwrite(header.data(), 1, header.size(), f) == header.size();
    ok = ok && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fclose(f) == 0 && ok;
    if (ok) std::filesystem::rename(part, target, ec);
    if (!ok || ec) {
        std::filesystem::remove(part, ec);
        fail("cannot write", path);
    }
}

[[noreturn]] void refuse(const std::string& message) {
    error_handler::instance().raise(sea::basic_error(message));
    throw sea::basic_error(message);  // raise returns only when a handler took the error
}

constexpr table_kind all_kinds[] = {table_kind::single,     table_kind::pair,      table_kind::h_pair,
                                    table_kind::triple,     table_kind::equal_slab, table_kind::four_layer};

bool file_accepted(table_kind kind, table_family family, const std::string& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) return false;
    const std::size_t n = table_value_count(kind, family), h = table_header_bytes(kind);
    return size == h + n * sizeof(float) || size == h + n * sizeof(double);
}

// Equal-slab and four-layer sets of one key name their hop rows alike; they
// can only live in different directories.
[[noreturn]] void refuse_shared_file(table_kind other, const table_request& r) {
    refuse(std::string("the ") + table_kind_name(other) + " and " + table_kind_name(r.kind) + " sets " +
           key_text(r.key) + " would share the file \"" + table_file_path(r.kind, table_family::gft, r.prefix, r.key) +
           "\"; give their table directories different values\n");
}

// A file that already holds the other kind's table is not overwritten.
void refuse_foreign_file(const table_request& r) {
    const std::string path = table_file_path(r.kind, table_family::gft, r.prefix, r.key);
    if (file_accepted(r.kind, table_family::gft, path)) return;
    for (table_kind other : all_kinds)
        if (other != r.kind && table_key_length(other) == r.key.size() &&
            table_file_path(other, table_family::gft, r.prefix, r.key) == path &&
            file_accepted(other, table_family::gft, path))
            refuse("\"" + path + "\" holds a " + table_kind_name(other) + " table; the " + table_kind_name(r.kind) +
                   " set " + key_text(r.key) + " needs a different table directory\n");
}

} // namespace

void check_table_key(table_kind kind, const std::vector<double>& key) {
    for (double v : key)
        if (!(v > 0.0) || !std::isfinite(v))
            refuse(std::string("the ") + table_kind_name(kind) + " set " + key_text(key) +
                   " needs finite positive permittivities\n");
}

generated_set generate_table_set(table_kind kind, const std::vector<double>& key, int threads,
                                 const series_length& len) {
    check_table_key(kind, key);
    const int configurations = table_configurations(kind);
    const int panels = table_panels_per_side(kind);
    const std::size_t row = std::size_t(6 * panels * panels);
    const bool first_hop = has_first_hop(kind);
    // Checks the key before any thread starts.
    configuration_profile(kind, key, 0);

    generated_set s;
    s.kind = kind;
    s.key = key;
    s.gft.assign(std::size_t(configurations) * row, 0.0);
    if (first_hop) {
        s.gft_is.assign(std::size_t(configurations) * 3 * row, 0.0);
        s.wvt_is.assign(std::size_t(configurations) * 3, 0.0);
    }
    // Each configuration writes only its own rows.
    auto one = [&](int c) {
        const stored_rows r = make_stored_rows(compute_cube_exit(configuration_profile(kind, key, c), panels, len));
        std::copy(r.gft.begin(), r.gft.end(), s.gft.begin() + std::ptrdiff_t(std::size_t(c) * row));
        if (!first_hop) return;
        for (std::size_t axis = 0; axis < 3; ++axis) {
            std::copy(r.gft_is[axis].begin(), r.gft_is[axis].end(),
                      s.gft_is.begin() + std::ptrdiff_t((3 * std::size_t(c) + axis) * row));
            s.wvt_is[3 * std::size_t(c) + axis] = r.wvt_is[axis];
        }
    };
    if (threads < 2 || configurations < 2) {
        for (int c = 0; c < configurations; ++c) one(c);
    } else {
        sea::thread_pool pool(std::min(threads, configurations));
        pool.run(configurations, one);
    }
    return s;
}

generated_set homogeneous_single_set() { return generate_table_set(table_kind::single, {}, 1); }

bool table_set_present(table_kind kind, const std::string& prefix, const std::vector<double>& key) {
    for (table_family f : families)
        if (table_value_count(kind, f) > 0 && !table_file_serves(kind, f, table_file_path(kind, f, prefix, key)))
            return false;
    return true;
}

void write_generated_set(const generated_set& set, const std::string& prefix) {
    for (table_family f : families)
        if (table_value_count(set.kind, f) > 0)
            write_file(set.kind, f, set.key, table_file_path(set.kind, f, prefix, set.key), values_of(set, f));
}

void write_table_set(table_kind kind, const std::string& prefix, const std::vector<double>& key, int threads) {
    if (table_set_present(kind, prefix, key)) return;
    write_generated_set(generate_table_set(kind, key, threads), prefix);
}

table_run_summary write_table_sets(const std::vector<table_request>& requests, int threads,
                                   const std::function<void(const table_request&)>& on_written) {
    table_run_summary summary;
    std::vector<const table_request*> missing_multi, missing_one;
    std::map<std::string, table_kind> seen;
    for (const table_request& r : requests) {
        check_table_key(r.kind, r.key);
        // The hop-row file names the set: same kind, directory and key.
        const auto found = seen.emplace(table_file_path(r.kind, table_family::gft, r.prefix, r.key), r.kind);
        if (!found.second) {
            if (found.first->second != r.kind) refuse_shared_file(found.first->second, r);
            continue;
        }
        refuse_foreign_file(r);
        if (table_set_present(r.kind, r.prefix, r.key)) {
            ++summary.kept;
            continue;
        }
        (table_configurations(r.kind) > 1 ? missing_multi : missing_one).push_back(&r);
    }
    auto report = [&](const table_request& r) {
        ++summary.written;
        if (on_written) on_written(r);
    };
    for (const table_request* r : missing_multi) {
        write_generated_set(generate_table_set(r->kind, r->key, threads), r->prefix);
        report(*r);
    }
    if (missing_one.empty()) return summary;

    // One set per job; the first failure is rethrown here once all threads
    // have stopped taking new sets.
    std::mutex mutex;
    std::exception_ptr failure;
    std::vector<char> done(missing_one.size(), 0);
    auto one = [&](int i) {
        {
            std::lock_guard<std::mutex> guard(mutex);
            if (failure) return;
        }
        const table_request& r = *missing_one[std::size_t(i)];
        try {
            write_generated_set(generate_table_set(r.kind, r.key, 1), r.prefix);
            done[std::size_t(i)] = 1;
        } catch (...) {
            std::lock_guard<std::mutex> guard(mutex);
            if (!failure) failure = std::current_exception();
        }
    };
    const int count = int(missing_one.size());
    if (threads < 2 || count < 2) {
        for (int i = 0; i < count; ++i) one(i);
    } else {
        sea::thread_pool pool(std::min(threads, count));
        pool.run(count, one);
    }
    for (std::size_t i = 0; i < done.size(); ++i)
        if (done[i]) report(*missing_one[i]);
    if (failure) std::rethrow_exception(failure);
    return summary;
}
