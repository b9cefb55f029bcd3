#include "walker/walker_factory.hpp"

#include "walker/walk_steps.hpp"

namespace {

template <class L>
void make_walker(std::unique_ptr<random_walker_interface>& owner, const walker_task_head& head,
                 const gauss_surface* gauss) {
    std::unique_ptr<random_walker_interface> fresh;
    if (head.cfg->rotated_cube)
        fresh.reset(new default_walker<L, default_transfer_domain<true>>(head, gauss));
    else
        fresh.reset(new default_walker<L, default_transfer_domain<false>>(head, gauss));
    // The old walker goes only after the new one is in place.
    owner.swap(fresh);
}

}  // namespace

void make_empty_layer_walker(std::unique_ptr<random_walker_interface>& owner, const walker_task_head& head,
                             const gauss_surface* gauss) {
    make_walker<empty_layer_index>(owner, head, gauss);
}

void make_multi_layer1_walker(std::unique_ptr<random_walker_interface>& owner, const walker_task_head& head,
                              const gauss_surface* gauss) {
    make_walker<multi_layer_index<1ul, false>>(owner, head, gauss);
}

void make_multi_layer3_walker(std::unique_ptr<random_walker_interface>& owner, const walker_task_head& head,
                              const gauss_surface* gauss) {
    make_walker<multi_layer_index<3ul, false>>(owner, head, gauss);
}

void make_equal_layer_walker(std::unique_ptr<random_walker_interface>& owner, const walker_task_head& head,
                             const gauss_surface* gauss) {
    make_walker<equal_layer_index>(owner, head, gauss);
}

void make_multi_layer1_interp_walker(std::unique_ptr<random_walker_interface>& owner,
                                     const walker_task_head& head, const gauss_surface* gauss) {
    make_walker<multi_layer_index<1ul, true>>(owner, head, gauss);
}

void create_walker(std::unique_ptr<random_walker_interface>& owner, const walker_task_head& head,
                   const gauss_surface* gauss) {
    if (head.lay->layers.layer_count() < 2) {
        make_empty_layer_walker(owner, head, gauss);
        return;
    }
    switch (head.cfg->multi_dielectric) {
    case configure::layout_two: make_multi_layer1_walker(owner, head, gauss); break;
    case configure::layout_four: make_multi_layer3_walker(owner, head, gauss); break;
    case configure::layout_approx: make_equal_layer_walker(owner, head, gauss); break;
    case configure::layout_approx2:
    case configure::layout_approx2_es: make_multi_layer1_interp_walker(owner, head, gauss); break;
    default: break;
    }
}
