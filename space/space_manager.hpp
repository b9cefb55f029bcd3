// The spatial index over the blocks of the layout: for a point, the nearest
// block and the half side of the largest empty cube around it. Built once per
// run, then shared read-only by every walk thread.
#pragma once

#include <memory>

#include "geometry/vec3.hpp"
#include "space/nearest_result.hpp"

struct configure;
struct layout;

class space_manager_interface {
public:
    virtual ~space_manager_interface() = default;

    // Nearest block to p within max (L-infinity, micrometres). Reads and
    // writes only the caller's two hints, one per index. Ends the process
    // when p lies inside a block by more than 1.00001e-4.
    virtual nearest_result find_nearest(const vec3& p, search_hint& primary, search_hint& secondary,
                                        double max) const = 0;
};

// Builds the kind chosen by "--spacemgr-type" over the layout's blocks into
// manager, replacing (and deleting) the one it held. The layout must outlive
// the manager.
void create_space_manager(std::unique_ptr<space_manager_interface>& manager, const configure& cfg,
                          const layout& lay);
