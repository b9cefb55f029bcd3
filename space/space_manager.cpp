#include "space/space_manager.hpp"

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
