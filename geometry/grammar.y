/* Grammar of the lumod geometry format. Actions run as rules are reduced,
   so conductors, blocks and media are appended in the order in which their
   sections end in the file. A syntax error ends the process: there is no
   error recovery. Names are new[] texts that the actions own and free. */

%{
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "config/configure.hpp"
#include "foundation/log_writers.hpp"
#include "geometry/grammar.hpp"
#include "geometry/layout.hpp"
#include "geometry/parse_layout.hpp"
#include "geometry/polygon.hpp"
#include "geometry/primitives.hpp"
#include "geometry/scanner.hpp"

namespace {

// The layout being filled; bound by run_grammar for one parse.
layout* lay = nullptr;

// Half side of the square that has the area of a circle of radius 1.
constexpr double square_of_circle_area = 0.886226925452759;

}  // namespace

// A parsed block shape: one solid for a box or cylinder, the convex pieces
// for a polygon.
struct lumod_shape {
    std::vector<solid> solids;
};

namespace {

char* copy_text(const char* text) {
    const std::size_t size = std::strlen(text) + 1;
    char* copy = new char[size];
    std::memcpy(copy, text, size);
    return copy;
}

// Takes ownership of a name that may be null; null becomes a generated one.
std::string take_name(char* name) {
    if (!name)
        return make_default_name();
    std::string s(name);
    delete[] name;
    return s;
}

lumod_shape* box_shape(const vec3& base, const vec3& v1, const vec3& v2, const vec3& h) {
    // Only the axis components of the three edge vectors are used.
    box b{base, {base.x + v1.x, base.y + v2.y, base.z + h.z}};
    return new lumod_shape{{make_box_solid(b)}};
}

lumod_shape* cylinder_shape(const vec3& centre, double radius, double height) {
    const double half_height = height / 2;
    if (!lay->cfg->manhattan_approximation)
        return new lumod_shape{{make_cylinder_solid(centre, radius, half_height)}};
    const double k = radius * square_of_circle_area;
    box b{{centre.x - k, centre.y - k, centre.z - half_height},
          {centre.x + k, centre.y + k, centre.z + half_height}};
    return new lumod_shape{{make_box_solid(b)}};
}

// Most vertices of a convex polygon piece.
constexpr uint64_t max_piece_vertices = 4;
constexpr uint64_t min_piece_vertices = 3;

solid piece_solid(const poly_record& piece) {
    if (!poly_split_check(piece.vertex.data(), piece.n))
        log_error_w().printf("Implemetation error: convex vertex should be anticlock. (lumod)\n").flush();
    if (piece.n > max_piece_vertices) {
        log_error_w().printf("Implemetation error: convex sides should less than 5. (lumod)\n");
        fatal_exit(-1);
    }
    if (piece.n < min_piece_vertices) {
        log_error_w().printf("nprism_t error: vertex number %lu not supported.\n",
                             static_cast<unsigned long>(piece.n));
        fatal_exit(1, false);
    }
    nprism_t p{};
    p.n = piece.n;
    for (uint64_t i = 0; i < piece.n; ++i)
        p.vertex[i] = piece.vertex[i];
    p.z0 = piece.z0;
    p.z1 = piece.z1;
    if (lay->cfg->manhattan_approximation)
        return make_box_solid(make_nprism_solid(p).outer_box);
    return make_nprism_solid(p);
}

// The polygon's points are relative to the box's basepoint; its heights are
// the box's.
lumod_shape* polygon_shape(lumod_shape* base_box, std::vector<vec2>* points) {
    const box b = base_box->solids.front().outer_box;
    delete base_box;
    poly_record poly;
    poly.n = points->size();
    for (const vec2& v : *points)
        poly.vertex.push_back({v.x + b.lo.x, v.y + b.lo.y});
    delete points;
    poly.z0 = b.lo.z;
    poly.z1 = b.hi.z;

    std::vector<poly_record> pieces;
    decompose_poly(poly, pieces);
    auto* shape = new lumod_shape{};
    for (const poly_record& piece : pieces)
        shape->solids.push_back(piece_solid(piece));
    return shape;
}

// The window box grows to take in every medium's box; bounds within the
// tolerance of the current ones are kept.
void add_medium(lumod_shape* medium_box, double eps) {
    const box b = medium_box->solids.front().outer_box;
    delete medium_box;
    lay->media.push_back({b.lo.z, b.hi.z, eps});
    box& w = lay->window.box;
    w.lo = {tmin(w.lo.x, b.lo.x), tmin(w.lo.y, b.lo.y), tmin(w.lo.z, b.lo.z)};
    w.hi = {tmax(b.hi.x, w.hi.x), tmax(b.hi.y, w.hi.y), tmax(b.hi.z, w.hi.z)};
}

uint64_t add_blocks(char* name, lumod_shape* shape) {
    const std::string block_name = take_name(name);
    for (const solid& s : shape->solids)
        lay->blocks.emplace_back(block_name, s);
    const uint64_t count = shape->solids.size();
    delete shape;
    return count;
}

// The conductor takes the last `count` blocks, which its section just added.
void add_conductor(char* name, uint8_t floating_word, uint64_t count) {
    const uint8_t floating = floating_word && lay->cfg->enable_floating;
    conductor& c = lay->conductors.emplace_back(take_name(name), floating);
    for (auto it = lay->blocks.end() - static_cast<std::ptrdiff_t>(count); it != lay->blocks.end(); ++it) {
        c.blocks.push_back(&*it);
        it->owner = &c;
        it->floating = floating;
    }
}

}  // namespace
%}

%code requires {
#include <cstdint>
#include <vector>

#include "geometry/vec3.hpp"

struct lumod_shape;
}

%union {
    double number;
    char* text;
    vec3 point3;
    vec2 point2;
    uint32_t boundary;
    uint8_t flag;
    uint64_t count;
    lumod_shape* shape;
    std::vector<vec2>* points;
}

%token ITF_BEGIN ITF_END LAYER_BEGIN LAYER_END BLOCK_BEGIN BLOCK_END
%token CAPACITANCE_BEGIN CAPACITANCE_END ROOT_BEGIN ROOT_END
%token CONDUCTOR_BEGIN CONDUCTOR_END COORD_BEGIN COORD_END
%token MEDIUM_BEGIN MEDIUM_END TASK_BEGIN TASK_END WINDOW_BEGIN WINDOW_END
%token DIEL DIRICHLET HEIGHT
%token <text> STRING
%token NAME NEUMANN
%token <number> NUMBER
%token BASEPOINT RADIUS RHO V1 V2 HVECTOR FLOATING

%type <point3> point3
%type <point2> point2
%type <boundary> boundary
%type <text> medium_name opt_name id
%type <shape> medium_block shape box cylinder poly
%type <flag> opt_floating
%type <count> block_list cblock
%type <points> point2_list

%%

file
    : ROOT_BEGIN items ROOT_END
    ;

items
    : items item
    | /* empty */
    ;

item
    : itf
    ;

itf
    : ITF_BEGIN layers ITF_END
    ;

layers
    : layers layer
    | layer
    ;

/* Layer lines are read and ignored. */
layer
    : LAYER_BEGIN STRING STRING STRING NUMBER NUMBER NUMBER LAYER_END
        { delete[] $2; delete[] $3; delete[] $4; }
    | LAYER_BEGIN STRING STRING STRING NUMBER LAYER_END
        { delete[] $2; delete[] $3; delete[] $4; }
    ;

item
    : window_section
    ;

/* The window's own points are not used: the media decide its box. */
window_section
    : WINDOW_BEGIN V1 point3 V2 point3 boundary WINDOW_END
        { lay->window.boundary = $6; }
    ;

point3
    : '(' NUMBER ',' NUMBER ',' NUMBER ')'
        { $$ = vec3{$2, $4, $6}; }
    ;

point2
    : '(' NUMBER ',' NUMBER ')'
        { $$ = vec2{$2, $4}; }
    ;

boundary
    : DIRICHLET     { $$ = boundary_dirichlet; }
    | NEUMANN       { $$ = boundary_neumann; }
    | /* empty */   { $$ = boundary_neumann; }
    ;

item
    : medium_section
    ;

medium_section
    : MEDIUM_BEGIN medium_name medium_block DIEL NUMBER MEDIUM_END
        { add_medium($3, $5); }
    ;

/* Media are never named: a given name is dropped. */
medium_name
    : opt_name      { delete[] $1; $$ = nullptr; }
    ;

opt_name
    : NAME id       { $$ = $2; }
    | /* empty */   { $$ = nullptr; }
    ;

medium_block
    : BLOCK_BEGIN medium_name box BLOCK_END
        { $$ = $3; }
    ;

item
    : conductor_section
    ;

opt_floating
    : FLOATING      { $$ = 1; }
    | /* empty */   { $$ = 0; }
    ;

conductor_section
    : CONDUCTOR_BEGIN opt_name opt_floating block_list opt_rho CONDUCTOR_END
        { add_conductor($2, $3, $4); }
    ;

block_list
    : block_list cblock { $$ = $1 + $2; }
    | cblock            { $$ = $1; }
    ;

cblock
    : BLOCK_BEGIN opt_name shape opt_rho BLOCK_END
        { $$ = add_blocks($2, $3); }
    ;

shape
    : box           { $$ = $1; }
    | cylinder      { $$ = $1; }
    | poly          { $$ = $1; }
    ;

box
    : BASEPOINT point3 V1 point3 V2 point3 HVECTOR point3
        { $$ = box_shape($2, $4, $6, $8); }
    ;

cylinder
    : BASEPOINT point3 RADIUS NUMBER HEIGHT NUMBER
        { $$ = cylinder_shape($2, $4, $6); }
    ;

poly
    : box COORD_BEGIN point2_list COORD_END
        { $$ = polygon_shape($1, $3); }
    ;

point2_list
    : point2_list point2    { $1->push_back($2); $$ = $1; }
    | /* empty */           { $$ = new std::vector<vec2>; }
    ;

/* The resistivity is read and not used. */
opt_rho
    : RHO NUMBER
    | /* empty */
    ;

item
    : task_section
    ;

task_section
    : TASK_BEGIN CAPACITANCE_BEGIN id CAPACITANCE_END TASK_END
        { lay->task_names.insert($3); delete[] $3; }
    ;

/* Keywords other than "name" and "floating" serve as names too. */
id
    : STRING        { $$ = $1; }
    | BASEPOINT     { $$ = copy_text("basepoint"); }
    | DIEL          { $$ = copy_text("diel"); }
    | DIRICHLET     { $$ = copy_text("dirichlet"); }
    | HEIGHT        { $$ = copy_text("height"); }
    | NEUMANN       { $$ = copy_text("neumann"); }
    | V1            { $$ = copy_text("v1"); }
    | V2            { $$ = copy_text("v2"); }
    | HVECTOR       { $$ = copy_text("hvector"); }
    | RADIUS        { $$ = copy_text("radius"); }
    | RHO           { $$ = copy_text("rho"); }
    ;

%%

void lumod_error(const char* message) {
    log_error_w().printf("%s at %d with %s\n", message, lumod_line, scanner_text());
    fatal_exit(-1);
}

void run_grammar(layout& target) {
    lay = &target;
    lumod_parse();
    lay = nullptr;
}
