// Builds one walker per walk thread, choosing the walker instance from the
// layer stack and the options.
#pragma once

#include <memory>

#include "walker/default_walker.hpp"

// Stores a new walker in owner, then deletes the one owner held before.
// "--multi-dielectric" values outside 1..5 on a layered stack build nothing.
void create_walker(std::unique_ptr<random_walker_interface>& owner, const walker_task_head& head,
                   const gauss_surface* gauss);

void make_empty_layer_walker(std::unique_ptr<random_walker_interface>& owner, const walker_task_head& head,
                             const gauss_surface* gauss);
void make_multi_layer1_walker(std::unique_ptr<random_walker_interface>& owner, const walker_task_head& head,
                              const gauss_surface* gauss);
void make_multi_layer3_walker(std::unique_ptr<random_walker_interface>& owner, const walker_task_head& head,
                              const gauss_surface* gauss);
void make_equal_layer_walker(std::unique_ptr<random_walker_interface>& owner, const walker_task_head& head,
                             const gauss_surface* gauss);
void make_multi_layer1_interp_walker(std::unique_ptr<random_walker_interface>& owner,
                                     const walker_task_head& head, const gauss_surface* gauss);
