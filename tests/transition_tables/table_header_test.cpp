// The header that says what a table file holds, and the key a file name
// carries.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "transition_tables/table_header.hpp"
#include "transition_tables/table_paths.hpp"

namespace {

// Every bit of the values counts, the last partial word included, and so
// does the length: a file cut or padded with zeros is not the same.
TEST(table_header, digest_changes_with_every_bit_and_the_length) {
    std::vector<unsigned char> bytes(77);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i * 37 + 11);
    const table_digest whole = digest_of_values(bytes.data(), bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i)
        for (int bit = 0; bit < 8; ++bit) {
            bytes[i] ^= static_cast<unsigned char>(1 << bit);
            EXPECT_NE(digest_of_values(bytes.data(), bytes.size()), whole) << i << " " << bit;
            bytes[i] ^= static_cast<unsigned char>(1 << bit);
        }
    std::vector<unsigned char> padded = bytes;
    padded.push_back(0);
    EXPECT_NE(digest_of_values(padded.data(), padded.size()), whole);
    EXPECT_NE(digest_of_values(bytes.data(), bytes.size() - 1), whole);
    EXPECT_EQ(digest_text(0x0123456789abcdefull), "0123456789abcdef");
}

// Each layered kind's record fits its header exactly as written; the single
// set's files have no header to carry one.
TEST(table_header, every_layered_kind_reads_back_what_was_written) {
    struct kind_case {
        table_kind kind;
        table_family family;
        std::vector<double> key;
    };
    const kind_case cases[] = {
        {table_kind::pair, table_family::gft_is, {3.9, 2.2}},
        {table_kind::h_pair, table_family::wvt_is, {1.0, 0.0216277}},
        {table_kind::triple, table_family::gft, {2.5, 7.0, 3.9}},
        {table_kind::equal_slab, table_family::wvt_is, {1.0, 0.55, 0.6, 0.95}},
        {table_kind::four_layer, table_family::gft, {3.9, 2.5, 7.0, 3.9}},
    };
    for (const kind_case& c : cases) {
        const table_identity written{c.kind, c.family, c.key, 4, table_value_count(c.kind, c.family)};
        const std::vector<unsigned char> bytes = encode_table_header(written, 0xfedcba9876543210ull);
        ASSERT_EQ(bytes.size(), table_header_bytes(c.kind));
        table_header read;
        ASSERT_EQ(decode_table_header(bytes.data(), bytes.size(), read), header_state::marked)
            << table_kind_name(c.kind);
        EXPECT_EQ(read.digest, 0xfedcba9876543210ull);
        EXPECT_TRUE(header_describes(read.holds, written)) << describe_table(read.holds, true);
        EXPECT_EQ(describe_table(read.holds, false), describe_table(written, false));
    }
    EXPECT_TRUE(encode_table_header({table_kind::single, table_family::gft, {}, 8, 5766}, 1).empty());
}

// Headers that are not records: zeros (older files) and other bytes are
// unmarked; the mark before fields no writer makes is unreadable.
TEST(table_header, only_the_mark_makes_a_record) {
    const table_identity pair{table_kind::pair, table_family::gft, {3.9, 2.2}, 4, 172980};
    const std::vector<unsigned char> good = encode_table_header(pair, 42);
    table_header h;
    EXPECT_EQ(decode_table_header(std::vector<unsigned char>(24, 0).data(), 24, h), header_state::unmarked);
    EXPECT_EQ(decode_table_header(std::vector<unsigned char>(24, 'h').data(), 24, h), header_state::unmarked);
    struct change {
        std::size_t at;
        unsigned char to;
    };
    for (const change c : {change{4, 0x00}, change{4, 0x07}, change{4, 0x1a}, change{4, 0x4a}}) {
        std::vector<unsigned char> bad = good;
        bad[c.at] = c.to;
        EXPECT_EQ(decode_table_header(bad.data(), bad.size(), h), header_state::unreadable) << c.at << " " << int(c.to);
    }
    // A 36-byte header keeps its last four bytes zero.
    std::vector<unsigned char> slab =
        encode_table_header({table_kind::equal_slab, table_family::gft, {1, 1, 1, 1}, 4, 6144}, 7);
    slab[35] = 1;
    EXPECT_EQ(decode_table_header(slab.data(), slab.size(), h), header_state::unreadable);
}

// Key values agree to the precision of a file name ("%g", six significant
// digits); kind, family, width and count agree exactly.
TEST(table_header, a_record_describes_a_file_by_kind_family_size_and_key) {
    const table_identity held{table_kind::pair, table_family::gft, {double(3.9f), double(2.2f)}, 4, 172980};
    auto named = [&](auto change) {
        table_identity n{table_kind::pair, table_family::gft, {3.9, 2.2}, 4, 172980};
        change(n);
        return header_describes(held, n);
    };
    EXPECT_TRUE(named([](table_identity&) {}));
    EXPECT_TRUE(named([](table_identity& n) { n.key = {3.900001, 2.2}; }));
    EXPECT_TRUE(named([](table_identity& n) { n.key.clear(); }));  // a name not of the template
    EXPECT_FALSE(named([](table_identity& n) { n.key = {2.2, 3.9}; }));
    EXPECT_FALSE(named([](table_identity& n) { n.key = {3.9001, 2.2}; }));
    EXPECT_FALSE(named([](table_identity& n) { n.kind = table_kind::h_pair; }));
    EXPECT_FALSE(named([](table_identity& n) { n.family = table_family::gft_is; }));
    EXPECT_FALSE(named([](table_identity& n) { n.width = 8; }));
    EXPECT_FALSE(named([](table_identity& n) { n.count = 6144; }));
    EXPECT_EQ(describe_table(held, false), "the pair GFT table (3.9, 2.2)");
    EXPECT_EQ(describe_table(held, true), "the pair GFT table (3.9, 2.2) of 172980 4-byte values");
}

TEST(table_header, file_names_give_back_their_keys) {
    std::vector<double> key;
    for (const std::vector<double>& k : std::vector<std::vector<double>>{{3.9, 2.2}, {1, 0.0216277}, {1e-05, 2.5}}) {
        for (table_kind kind : {table_kind::pair, table_kind::h_pair})
            for (table_family f : {table_family::gft_is, table_family::gft, table_family::wvt_is}) {
                ASSERT_TRUE(table_key_from_name(kind, f, table_file_path(kind, f, "some/dir/", k), key));
                EXPECT_EQ(key, k);
            }
    }
    ASSERT_TRUE(table_key_from_name(table_kind::four_layer, table_family::gft,
                                    table_file_path(table_kind::four_layer, table_family::gft, "", {1, 2, 3, 4}), key));
    EXPECT_EQ(key, (std::vector<double>{1, 2, 3, 4}));
    // The pair name of a GFT file is not the name of its GFT_IS file, nor of
    // an h-pair file; a file of another name carries no key.
    const std::string pair_gft = table_file_path(table_kind::pair, table_family::gft, "", {3.9, 2.2});
    EXPECT_FALSE(table_key_from_name(table_kind::pair, table_family::gft_is, pair_gft, key));
    EXPECT_FALSE(table_key_from_name(table_kind::h_pair, table_family::gft, pair_gft, key));
    EXPECT_FALSE(table_key_from_name(table_kind::triple, table_family::gft, pair_gft, key));
    EXPECT_FALSE(table_key_from_name(table_kind::pair, table_family::gft, "tables/p.db", key));
    EXPECT_FALSE(table_key_from_name(table_kind::pair, table_family::gft, "NumGFT3.9_2.2_31.db.part", key));
}

} // namespace
