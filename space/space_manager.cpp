#include "space/space_manager.hpp"

#include <algorithm>

#include "config/configure.hpp"
#include "foundation/errors.hpp"
#include "foundation/log_writers.hpp"
#include "geometry/layout.hpp"
#include "space/basic_space_manager.hpp"
#include "space/grid.hpp"
#include "space/octree.hpp"
#include "space/simple_spacemgr.hpp"

namespace {

// The grids' list and depth limits when the options are below 0.
constexpr uint32_t grid_list_default = 20;
constexpr uint32_t grid_depth_default = 16;

template <class Node>
using grid = basic_grid_spacemgr<Node, grid_list_default, grid_depth_default>;

using rect_grid = grid<octree_node<spacemgr_rect>>;

// The blocks that may be nearer than the window to a point outside the
// critical box. Such a point is nearer to a window face than the widest gap
// between the critical box and the window, and at least as far from a block
// as the block lies inside the critical box; only blocks less deep than
// that gap are kept, each with its depth as the lower bound of its distance.
void collect_outside(spacemgr::candlist& list, const configure& cfg, const layout& lay) {
    const box& c = lay.critical_box;
    const box& w = lay.window.box;
    const double gap = std::max({c.lo.x - w.lo.x, c.lo.y - w.lo.y, c.lo.z - w.lo.z, w.hi.x - c.hi.x,
                                 w.hi.y - c.hi.y, w.hi.z - c.hi.z});
    list.make_cell(spacemgr_all, cfg, {}, 0.0, 0.0);
    for (const block* b : lay.all_blocks) {
        const box& o = b->solid.outer_box;
        const double depth = std::min({o.lo.x - c.lo.x, o.lo.y - c.lo.y, o.lo.z - c.lo.z, c.hi.x - o.hi.x,
                                       c.hi.y - o.hi.y, c.hi.z - o.hi.z});
        if (!(depth < gap + geom_eps)) continue;
        spacemgr::candidate e = spacemgr::cell_candidate(*b, {}, 0.0, cfg.rotated_cube);
        e.dist = depth;
        list.entries.push_back(e);
    }
    std::sort(list.entries.begin(), list.entries.end(),
              [](const spacemgr::candidate& a, const spacemgr::candidate& b) { return a.dist < b.dist; });
}

template <class Primary, class Secondary>
void make(std::unique_ptr<space_manager_interface>& out, const configure& cfg, const layout& lay) {
    auto owned = std::make_unique<basic_space_manager<Primary, Secondary>>();
    basic_space_manager<Primary, Secondary>& m = *owned;
    out = std::move(owned);

    // The critical box bounds the walks only inside a grounded window.
    const double grow = lay.wire_width;
    m.window = lay.window.box;
    if (cfg.critical_box && lay.window.boundary == boundary_dirichlet) {
        m.critical_used = 1;
        log_info_w().printf("use critical box.\n").flush();
        m.domain = grow_box(lay.critical_box, grow);
        m.critical_box = lay.critical_box;
        collect_outside(m.outside, cfg, lay);
        spacemgr::seal_lists(m.outside_pool, {&m.outside}, lay.all_blocks.size());
    } else {
        m.critical_used = 0;
        log_info_w().printf("Don't use critical box.\n").flush();
        m.domain = grow_box(lay.window.box, grow);
    }
    m.primary.build(cfg, m.domain, lay.all_blocks);
    m.secondary.build(cfg, m.domain, lay.all_blocks);
}

using maker = void (*)(std::unique_ptr<space_manager_interface>&, const configure&, const layout&);

struct kind_entry {
    const char* info;
    maker make;
};

// By "--spacemgr-type" value: the primary index keeps the boxes (or every
// block), the secondary the cylinders and prisms.
const kind_entry kinds[] = {
    {"using simple-simple space manager\n",
     make<simple_spacemgr<spacemgr_rect>, simple_spacemgr<spacemgr_incline>>},
    {"using octree-octree space manager\n",
     make<octree_spacemgr<spacemgr_rect>, octree_spacemgr<spacemgr_incline>>},
    {"using hybrid-hybrid space manager\n", make<rect_grid, grid<octree_node<spacemgr_incline>>>},
    {"using simple-none space manager\n", make<simple_spacemgr<spacemgr_all>, unused_spacemgr>},
    {"using octree-none space manager\n", make<octree_spacemgr<spacemgr_all>, unused_spacemgr>},
    {"using hybrid-none space manager\n", make<grid<octree_node<spacemgr_all>>, unused_spacemgr>},
    {"using hybrid-simple space manager\n", make<rect_grid, simple_spacemgr<spacemgr_incline>>},
    {"using hybrid-grid space manager\n", make<rect_grid, grid<incline_node<spacemgr_incline>>>},
    {"using hybrid-grid-nd space manager\n",
     make<rect_grid, grid<incline_node<spacemgr_incline_keep>>>},
};

}  // namespace

void create_space_manager(std::unique_ptr<space_manager_interface>& manager, const configure& cfg,
                          const layout& lay) {
    const unsigned k = unsigned(cfg.spacemgr_type);
    // The option parser admits only the nine words.
    if (k >= sizeof kinds / sizeof kinds[0])
        throw sea::fatal_error("unknown space manager type " + std::to_string(k));
    write_cstr(log_info_w(), kinds[k].info);
    kinds[k].make(manager, cfg, lay);
}
