#include "transition_tables/table_digest.hpp"

#include <algorithm>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "foundation/md5.hpp"
#include "transition_tables/table_store.hpp"

namespace {

// The digest takes lengths of 32 bits: larger arrays go in pieces.
void add_bytes(md5& d, const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const std::size_t n = std::min<std::size_t>(size, std::size_t{1} << 30);
        d.update(p, static_cast<std::uint32_t>(n));
        p += n;
        size -= n;
    }
}

// Each array is preceded by its length, so that values cannot shift from
// one array into the next without changing the digest.
template <class T>
void add_array(md5& d, const T* values, std::size_t count) {
    const std::uint64_t n = count;
    add_bytes(d, &n, sizeof n);
    add_bytes(d, values, count * sizeof(T));
}

template <class T>
void add_array(md5& d, const std::vector<T>& v) {
    add_array(d, v.data(), v.size());
}

template <class Set>
void add_sets(md5& d, const std::vector<Set*>& list) {
    const std::uint64_t n = list.size();
    add_bytes(d, &n, sizeof n);
    for (const Set* set : list) {
        if constexpr (std::is_same_v<Set, four_layer_table>) {
            add_array(d, set->gft);
        } else {
            add_array(d, set->gft_is);
            add_array(d, set->gft);
            add_array(d, set->wvt_is);
            add_array(d, set->gft_is_signed);
        }
    }
}

} // namespace

std::string table_store_digest(const table_store& store) {
    md5 d;
    const single_table_set& s = store.single;
    add_array(d, s.gft_is, 3 * panels_31);
    add_array(d, s.gft, panels_31);
    add_array(d, s.wvt_is, 3);
    add_array(d, s.gft_is_signed, 3);
    add_sets(d, store.pair_list);
    add_sets(d, store.h_pair_list);
    add_sets(d, store.triple_list);
    add_sets(d, store.four_layer_list);
    add_sets(d, store.equal_slab_list);
    add_array(d, store.interface_table_pos);
    add_array(d, store.interface_weight);
    return d.finalize().hexdigest();
}
