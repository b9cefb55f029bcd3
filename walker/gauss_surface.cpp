#include "walker/gauss_surface.hpp"

#include <algorithm>

#include "config/configure.hpp"
#include "foundation/error_handler.hpp"
#include "foundation/run_end.hpp"
#include "foundation/writer.hpp"
#include "geometry/prism.hpp"
#include "transition_tables/guide_table.hpp"
#include "walker/gauss_offsets.hpp"
#include "walker/gauss_tiles.hpp"

namespace {

[[noreturn]] void fail_no_blocks(const conductor& master) {
    sea::end_run(sea::formatted("Error: the master net %s has no block!\n", master.name.c_str()), 1);
}

// Largest relative permittivity of the real layers.
double largest_permittivity(const layer_stack& layers) {
    double best = 0.0;
    const std::size_t n = layers.permittivity.size();
    for (std::size_t i = layer_guard_permittivities; i + layer_guard_permittivities < n; ++i)
        if (layers.permittivity[i] - geom_eps > best) best = layers.permittivity[i];
    return best;
}

// The cumulative area table of the pieces and its cut points.
void make_area_table(gauss_surface& s) {
    s.area_cdf.assign(s.pieces.size(), 0.0);
    for (std::size_t i = 0; i < s.pieces.size(); ++i) s.area_cdf[i] = surface_element_area(s.pieces[i]);
    s.total_area = make_cumulative_table(s.area_cdf.data(), s.area_cdf.size());
    s.area_guide_bits = guide_bits_for(s.area_cdf.size());
    s.area_guide.assign(std::size_t(1) << s.area_guide_bits, 0);
    build_guide(s.area_cdf.data(), s.area_cdf.size(), s.area_guide_bits, s.area_guide.data());
}

}  // namespace

void make_master_gauss_surface(gauss_surface& s, const block& b) {
    const box& ob = b.solid.outer_box;
    double d = offset_side_factor * longest_side(ob);
    d = tmin(d, offset_wire_factor * s.layout->wire_width);
    d = tmin(d, interface_gap(s, ob));
    d = tmin(d, window_gap(s, ob));

    double ratio[2] = {-1.0, -1.0};
    const std::vector<block*>& blocks =
        s.others_of && s.others_of == b.owner ? s.other_blocks : s.layout->all_blocks;
    std::vector<block*> close;
    d = neighbour_limit(b.solid, b.owner, blocks, d, ratio, boxlike(b.solid) ? &close : nullptr) / 2.0;
    // A start point this close to a net touches it: its first cube would
    // have no size.
    if (d < touch_distance) fail_touched(s, b, blocks);
    if (tile_block(s, b, d, blocks, close)) return;
    raise_strata(s, ratio);
    switch (b.solid.kind) {
    case solid_box:
    case solid_cylinder: make_box_gauss_surface(s, b, d); break;
    case solid_prism: make_prism_gauss_surface(s, b, d); break;
    default: break;
    }
}

bool piece_may_lie_inside(const surface_piece& q, const box& win) {
    const vec3 corners[] = {sample_surface_point(q, 0.0, 0.0), sample_surface_point(q, 1.0, 0.0),
                            sample_surface_point(q, 0.0, 1.0), sample_surface_point(q, 1.0, 1.0)};
    for (int c = 0; c < 3; ++c) {
        double lo = axis_of(corners[0], c), hi = lo;
        for (const vec3& p : corners) {
            lo = std::min(lo, axis_of(p, c));
            hi = std::max(hi, axis_of(p, c));
        }
        // A piece in a plane of this axis (lo == hi) must lie strictly
        // between the window's sides; one across it must overlap them over
        // some length.
        const double low_side = axis_of(win.lo, c) - geom_eps, high_side = axis_of(win.hi, c) + geom_eps;
        const bool inside = lo == hi ? low_side < lo && lo < high_side
                                     : std::max(lo, low_side) < std::min(hi, high_side);
        if (!inside) return false;
    }
    return true;
}

void build_master_gauss_surfaces(gauss_surface& s, const conductor& master) {
    if (master.blocks.empty()) fail_no_blocks(master);
    const conductor* owner = master.blocks.front()->owner;
    s.others_of = owner;
    s.other_blocks.clear();
    for (block* p : s.layout->all_blocks)
        if (p->owner != owner) s.other_blocks.push_back(p);
    for (const block* b : master.blocks) make_master_gauss_surface(s, *b);

    const window& w = s.layout->window;
    for (gauss_box& gb : s.boxes) {
        if (w.boundary == boundary_neumann) {
            const box& ob = gb.solid.outer_box;
            bool inside = true;
            for (int c = 0; c < 3; ++c)
                inside = inside && axis_of(ob.lo, c) + geom_eps > axis_of(w.box.lo, c) &&
                         axis_of(w.box.hi, c) + geom_eps > axis_of(ob.hi, c);
            gb.clip = inside ? 0 : 1;
        }
        add_gauss_box(s, gb);
    }
    index_gauss_boxes(s);
    drop_buried_pieces(s);
    // The sampler would draw for ever: every candidate falls outside the
    // window (a master far from any other net, whose offset is a multiple
    // of its own size, in a window that leaves less room around it).
    const bool drawable = std::any_of(s.pieces.begin(), s.pieces.end(), [&](const surface_piece& q) {
        return !q.box->clip || piece_may_lie_inside(q, w.box);
    });
    if (!drawable)
        error_handler::instance().raise(sea::basic_error(
            "no start point of master " + master.name +
            " can be drawn: its Gaussian surface lies wholly outside the Neumann window"));

    for (const surface_piece& p : s.pieces) {
        if (p.face != face_slanted) continue;
        const slant_normal key{int32_t(-uint32_t(p.value.nx)), int32_t(-uint32_t(p.value.ny))};
        p.box->slant_pieces.emplace(key, &p);
    }

    make_area_table(s);

    double smallest_offset = geom_infinity;
    for (const gauss_box& gb : s.boxes) smallest_offset = tmin(smallest_offset, gb.offset);
    const double eps_max = largest_permittivity(s.layout->layers);
    switch (s.cfg->gauss_type) {
    case configure::gauss_default:
    case configure::gauss_diel: s.max_weight = eps_max; break;
    case configure::gauss_uniform: s.max_weight = 1.0; break;
    case configure::gauss_dist: s.max_weight = 1.0 / smallest_offset; break;
    case configure::gauss_both: s.max_weight = eps_max / smallest_offset; break;
    default: s.max_weight = 0.0; break;
    }
}
