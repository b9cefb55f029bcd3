// Hand-built layouts for the walker tests: nets of boxes and prisms in a
// window over a stack of dielectric layers.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "config/configure.hpp"
#include "foundation/log_writers.hpp"
#include "geometry/layer_stack.hpp"
#include "geometry/layout.hpp"

namespace walker_test {

// Fatal messages go to the error log writer, which discards until built.
inline void errors_to_stderr() { rebuild_log_writers(log_error, {stdout, stdout, stderr, stderr}); }

inline box make_box(double x0, double y0, double z0, double x1, double y1, double z1) {
    return {{x0, y0, z0}, {x1, y1, z1}};
}

struct layout_fixture {
    configure cfg;
    std::unique_ptr<layout> lay = std::make_unique<layout>();

    // layers: {top z, permittivity} from the bottom up; the last top is
    // forced to +infinity by the stack.
    explicit layout_fixture(const box& window, uint32_t boundary = boundary_dirichlet,
                            std::vector<medium> media = {{-1e9, 1e9, 1.0}}) {
        lay->cfg = &cfg;
        lay->window.box = window;
        lay->window.boundary = boundary;
        lay->critical_box = window;
        lay->wire_width = 1e6;
        build_layer_stack(lay->layers, media);
    }

    conductor& net(const std::string& name, uint8_t floating = 0) {
        lay->conductors.emplace_back(name, floating);
        lay->nets.push_back(&lay->conductors.back());
        return lay->conductors.back();
    }

    block& add(conductor& owner, const solid& s) {
        lay->blocks.emplace_back(owner.name + std::to_string(owner.blocks.size()), s);
        block& b = lay->blocks.back();
        b.owner = &owner;
        b.floating = owner.floating;
        owner.blocks.push_back(&b);
        lay->all_blocks.push_back(&b);
        if (owner.floating) lay->floating_blocks.push_back(&b);
        return b;
    }
};

inline nprism_t make_prism(std::vector<vec2> v, double z0, double z1) {
    nprism_t p{};
    p.n = v.size();
    for (std::size_t i = 0; i < v.size(); ++i) p.vertex[i] = v[i];
    p.z0 = z0;
    p.z1 = z1;
    return p;
}

}  // namespace walker_test
