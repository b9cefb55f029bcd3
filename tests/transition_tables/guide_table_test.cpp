// A draw started at a row's cut points lands on the panel a binary search of
// the whole row finds, for every kind of row the walkers draw from.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tests/run_binary.hpp"
#include "tools/tablegen/table_generator.hpp"
#include "transition_tables/table_paths.hpp"
#include "transition_tables/table_store.hpp"
#include "walker/table_rows.hpp"
#include "walker/transfer.hpp"

using korvex_test::scratch_dir;

namespace {

// Draws that probe every slice's ends: r = 0, r just below 1, both ends of
// random slices, and random r.
std::vector<uint32_t> probe_draws(std::mt19937& rng, unsigned bits) {
    std::vector<uint32_t> k = {0u, 1u, 0xffffffffu, 0xfffffffeu};
    const unsigned shift = 32 - bits;
    for (int n = 0; n < 300; ++n) {
        const uint32_t slice = rng() >> shift;
        k.push_back(slice << shift);
        k.push_back((slice << shift) | ((1u << shift) - 1));
        k.push_back(slice ? (slice << shift) - 1 : 0u);
    }
    for (int n = 0; n < 1500; ++n) k.push_back(uint32_t(rng()));
    return k;
}

double r_of(uint32_t k) { return double(k) * uniform_scale; }

// Hop rows t1 and t2 (blended unless b.single): guide and search agree.
template <int N, class T>
void expect_hop_rows_agree(const guided_row<T>& t1, const guided_row<T>& t2, const row_blend& b,
                           const std::string& what) {
    std::mt19937 rng(7);
    for (uint32_t k : probe_draws(rng, guide_bits))
        ASSERT_EQ((guided_panel<N>(t1, t2, b, k, stored_value{})), pick_panel<N>(t1.cdf, t2.cdf, b, r_of(k)))
            << what << ", k " << k;
}

template <int N, class T>
void expect_first_hop_rows_agree(const first_hop_row<T>& r1, const first_hop_row<T>& r2, const row_blend& b,
                                 const std::string& what) {
    ASSERT_NE(r1.cells, nullptr) << what;
    std::mt19937 rng(11);
    for (uint32_t k : probe_draws(rng, guide_bits))
        ASSERT_EQ((guided_panel<N>(guided_row<T>{r1.cdf, r1.cells}, guided_row<T>{r2.cdf, r2.cells}, b, k,
                                   magnitude_value{})),
                  search_first_hop<N>(r1, r2, b, r_of(k)))
            << what << ", k " << k;
}

// Every configuration of a set alone, and of two sets blended with weights
// from barely above 0 to barely below 1.
template <int N, bool FirstHops = true, class Set>
void expect_set_agrees(const Set& s1, const Set& s2, const std::string& what) {
    const std::size_t configurations = s1.hop_rows.size();
    const row_blend alone{true, 0.0, false};
    for (std::size_t c = 0; c < configurations; ++c) {
        const std::string config = what + " configuration " + std::to_string(c);
        expect_hop_rows_agree<N>(*set_gft<N>(s1, c), *set_gft<N>(s1, c), alone, config);
        for (double w : {1e-7, 0.3, 0.5, 0.9999999}) {
            const row_blend blend{false, w, false};
            expect_hop_rows_agree<N>(*set_gft<N>(s1, c), *set_gft<N>(s2, c), blend, config + " blend");
            if constexpr (FirstHops)
                for (int axis = 0; axis < 3; ++axis)
                    expect_first_hop_rows_agree<N>(set_first_hop<N>(s1, c, axis), set_first_hop<N>(s2, c, axis),
                                                   blend, config + " first hop blend");
        }
        if constexpr (FirstHops)
            for (int axis = 0; axis < 3; ++axis)
                expect_first_hop_rows_agree<N>(set_first_hop<N>(s1, c, axis), set_first_hop<N>(s1, c, axis), alone,
                                               config + " first hop axis " + std::to_string(axis));
    }
}

template <class Set, class Loader>
Set& load_into(table_cache<Set>& cache, std::vector<Set*>& list, const std::string& prefix,
               const std::vector<double>& key, table_kind kind, Loader load) {
    write_table_set(kind, prefix, key, 3);
    table_key k;
    k.size = key.size();
    for (std::size_t i = 0; i < key.size(); ++i) k.v[i] = key[i];
    Set& s = cache.emplace(k, Set()).first->second;
    load(s, prefix, k);
    list.push_back(&s);
    return s;
}

}  // namespace

TEST(guide_table, guided_draws_find_the_searched_panel_in_every_row_kind) {
    scratch_dir dir;
    const std::string prefix = join_dir(dir.path("tables"));
    table_store t;
    write_table_set(table_kind::single, prefix, {}, 1);
    load_single_table(t.single, prefix);
    const auto& p1 = load_into(t.pair_tables, t.pair_list, prefix, {3.9, 2.5}, table_kind::pair, load_pair_table);
    const auto& p2 = load_into(t.pair_tables, t.pair_list, prefix, {1.0, 7.0}, table_kind::pair, load_pair_table);
    const auto& h1 =
        load_into(t.h_pair_tables, t.h_pair_list, prefix, {3.9, 2.5}, table_kind::h_pair, load_h_pair_table);
    const auto& h2 =
        load_into(t.h_pair_tables, t.h_pair_list, prefix, {1.0, 7.0}, table_kind::h_pair, load_h_pair_table);
    const auto& tr = load_into(t.triple_tables, t.triple_list, prefix, {3.9, 1.0, 7.0}, table_kind::triple,
                               load_triple_table);
    const auto& fl = load_into(t.four_layer_tables, t.four_layer_list, prefix, {3.9, 1.0, 7.0, 2.5},
                               table_kind::four_layer, load_four_layer_table);
    const auto& es = load_into(t.equal_slab_tables, t.equal_slab_list, prefix, {1.0, 0.6, 0.85, 0.5},
                               table_kind::equal_slab, load_equal_slab_table);
    build_row_guides(t);

    // The homogeneous rows, in double precision: the hop row as a walker
    // holds it, and the three first-hop rows.
    const row_blend alone{true, 0.0, false};
    const guided_row<double> single = *single_gft(t);
    expect_hop_rows_agree<31>(single, single, alone, "single");
    for (int axis = 0; axis < 3; ++axis)
        expect_first_hop_rows_agree<31>(single_first_hop(t, axis), single_first_hop(t, axis), alone,
                                        "single first hop");

    expect_set_agrees<31>(p1, p2, "pair");
    expect_set_agrees<32>(h1, h2, "h-pair");
    expect_set_agrees<32>(tr, tr, "triple");
    expect_set_agrees<32, false>(fl, fl, "four-layer");
    expect_set_agrees<32>(es, es, "equal slab");

    // A walker's draw consumes one number and lands where the search of
    // that number does, mirror included.
    std::mt19937 a(5), b(5);
    const row_blend mirrored{false, 0.4, true};
    for (int n = 0; n < 1000; ++n) {
        const vec3 u = draw_direction<31>(a, set_gft<31>(p1, 4), set_gft<31>(p2, 4), mirrored);
        vec3 want = panel_direction<31>(pick_panel<31>(p1.hop_rows[4].cdf, p2.hop_rows[4].cdf, mirrored, r_of(b())));
        want.z = -want.z;
        ASSERT_EQ(u.x, want.x);
        ASSERT_EQ(u.y, want.y);
        ASSERT_EQ(u.z, want.z);
    }
}

// Cumulative tables of any length (the start points' piece areas) with
// empty entries, a value past a slice end and runs of tiny masses: the
// guided index is the search's, clamped to the last entry.
TEST(guide_table, guided_lower_bound_finds_the_searched_index_in_tables_of_any_length) {
    const std::vector<std::vector<double>> masses = {
        {1.0},
        {0.0, 1.0, 0.0},
        {0.5, 0.5},
        {1e-12, 1e-12, 1e-12, 3.0, 1e-12, 0.0, 2.0},
        std::vector<double>(1000, 1.0),
    };
    std::mt19937 rng(3);
    for (const std::vector<double>& m : masses) {
        std::vector<double> cdf(m.size());
        double sum = 0.0;
        for (std::size_t i = 0; i < m.size(); ++i) cdf[i] = sum += m[i];
        for (double& v : cdf) v /= sum;
        const unsigned bits = guide_bits_for(cdf.size());
        std::vector<uint32_t> cells(std::size_t(1) << bits);
        build_guide(cdf.data(), cdf.size(), bits, cells.data());
        for (uint32_t k : probe_draws(rng, bits)) {
            const std::size_t searched = cdf_lower_bound(cdf.data(), cdf.size(), r_of(k));
            ASSERT_EQ(guided_lower_bound(cdf.data(), cdf.size(), cells.data(), bits, k),
                      searched < cdf.size() ? searched : cdf.size() - 1)
                << cdf.size() << " entries, k " << k;
        }
    }
}
