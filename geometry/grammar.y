/* Grammar of the lumod geometry format. It only recognises: each action
   hands what it read to the layout builder, which makes the records. Actions
   run as rules are reduced, so conductors, blocks and media are appended in
   the order in which their sections end in the file. A syntax error ends the
   process: there is no error recovery. Names are new[] texts and shapes and
   point lists new objects, which the actions own and free. */

%{
#include <cstring>

#include "foundation/run_end.hpp"
#include "foundation/writer.hpp"
#include "geometry/grammar.hpp"
#include "geometry/layout_builder.hpp"
#include "geometry/scanner.hpp"

namespace {

char* copy_text(const char* text) {
    const std::size_t size = std::strlen(text) + 1;
    char* copy = new char[size];
    std::memcpy(copy, text, size);
    return copy;
}

}  // namespace
%}

%code requires {
#include <cstdint>
#include <vector>

#include "geometry/vec3.hpp"

struct block_shape;
class layout_builder;
}

%parse-param { layout_builder& build }

%union {
    double number;
    char* text;
    vec3 point3;
    vec2 point2;
    uint32_t boundary;
    uint8_t flag;
    uint64_t count;
    block_shape* shape;
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
        { build.set_boundary($6); }
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
        { build.add_medium(*$3, $5); delete $3; }
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
        { build.add_conductor($2, $3, $4); delete[] $2; }
    ;

block_list
    : block_list cblock { $$ = $1 + $2; }
    | cblock            { $$ = $1; }
    ;

cblock
    : BLOCK_BEGIN opt_name shape opt_rho BLOCK_END
        { $$ = build.add_blocks($2, *$3); delete[] $2; delete $3; }
    ;

shape
    : box           { $$ = $1; }
    | cylinder      { $$ = $1; }
    | poly          { $$ = $1; }
    ;

box
    : BASEPOINT point3 V1 point3 V2 point3 HVECTOR point3
        { $$ = new block_shape(build.box_shape($2, $4, $6, $8)); }
    ;

cylinder
    : BASEPOINT point3 RADIUS NUMBER HEIGHT NUMBER
        { $$ = new block_shape(build.cylinder_shape($2, $4, $6)); }
    ;

poly
    : box COORD_BEGIN point2_list COORD_END
        { $$ = new block_shape(build.polygon_shape(*$1, *$3)); delete $1; delete $3; }
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
        { build.add_task($3); delete[] $3; }
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

void lumod_error(layout_builder& build, const char* message) {
    std::string text;
    sea::string_writer err(&text);
    err.printf("%s at %d with %s\n", message, lumod_line, scanner_text());
    // The first line names neither the file nor where the format is told.
    const std::string& name = build.input_name();
    if (name == "stdin")
        err.printf("standard input");
    else
        err.printf("geometry file \"%s\"", name.c_str());
    if (*scanner_text())
        err.printf(", line %d, near \"%s\"", lumod_line, scanner_text());
    else
        err.printf(", line %d, where the text ends", lumod_line);
    err.printf(": correct the text there (docs/geometry-format.md describes the format)\n");
    // The parser's stacks are left as they are: the run ends here, and the
    // next parse (a test, the fuzz target) starts them afresh.
    sea::end_run(std::move(text), -1);
}

void run_grammar(layout& target) {
    layout_builder build(target);
    lumod_parse(build);
}
