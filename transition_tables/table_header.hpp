// The header korvex-tables writes at the head of a table file, saying what
// the file holds, so that a file copied under another set's name is refused
// instead of walked. A file name alone cannot tell (3.0 below, 3.9 above)
// from (3.9 below, 3.0 above): both sets have the same sizes.
//
// Layout (24, 28 or 36 bytes by kind; integers and floats little-endian):
//   bytes 0..3    table_mark
//   byte  4       bits 0-2: kind, table_kind + 1 (1 single .. 6 four-layer)
//                 bits 3-4: family (0 GFT_IS, 1 GFT, 2 WVT_IS)
//                 bit  5:   value width (0: 4 bytes, 1: 8 bytes)
//                 bits 6-7: zero
//   bytes 5..7    value count (at most 2795520 < 2^24)
//   bytes 8..     the key values as 32-bit floats, bottom layer first
//                 (2 for pair and h-pair, 3 for triple, 4 otherwise)
//   next 8 bytes  digest_of_values of the value bytes exactly as they
//                 follow the header
//   the rest      zero (4 bytes in the 36-byte headers)
// A pair or h-pair header is 8 + 8 + 8 = 24 bytes, a triple one 8 + 12 + 8
// = 28. The single set's files have no header: nothing marks them, and
// being the one set without a key, they have no other set's name to carry.
#pragma once

#include <cstdint>
#include <cstddef>
#include <string>
#include <vector>

#include "transition_tables/table_paths.hpp"

constexpr unsigned char table_mark[4] = {'K', 'V', 'T', '1'};

using table_digest = std::uint64_t;

// A 64-bit digest of size bytes, taken on every load of a marked file: four
// lanes of multiply-rotate steps over 8-byte words (in the machine's byte
// order, as the values themselves), fast enough to add a few hundredths of
// a second to a load of hundreds of megabytes where an MD5 doubles the
// loading time. Each step is a bijection of its lane for a fixed word and of
// the word for a fixed lane, so a change of any one word always changes its
// lane; the lanes and the length are then mixed into the digest.
table_digest digest_of_values(const void* bytes, std::size_t size);
// 16 lower-case hexadecimal digits.
std::string digest_text(table_digest d);

// What a file holds, or what its name and size say it should.
struct table_identity {
    table_kind kind = table_kind::single;
    table_family family = table_family::gft;
    std::vector<double> key;  // empty when unknown (a name not of the template)
    std::size_t width = 0;    // bytes per value
    std::size_t count = 0;
};

struct table_header {
    table_identity holds;
    table_digest digest = 0;
};

// The header bytes of a file holding values of that digest:
// table_header_bytes(holds.kind) of them.
std::vector<unsigned char> encode_table_header(const table_identity& holds, table_digest digest);

enum class header_state { unmarked, marked, unreadable };

// Reads size header bytes. Bytes that do not begin with the mark (zeros of
// older files, anything a hand-made file holds) are unmarked; a mark
// followed by fields no writer makes is unreadable.
header_state decode_table_header(const unsigned char* bytes, std::size_t size, table_header& out);

// True when the header describes the file its name and size say: kind,
// family, width and count equal, and every key value agrees to the six
// significant digits a file name prints. An unknown name key is not
// compared.
bool header_describes(const table_identity& holds, const table_identity& named);

// "the pair GFT table (3, 3.9)", with " of N W-byte values" when with_size.
std::string describe_table(const table_identity& t, bool with_size);
