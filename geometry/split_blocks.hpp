// Cuts long slanted prism blocks into pieces, and refines the box lists of
// moderately long ones, so that the space manager's bounds stay tight.
#pragma once

struct layout;

// Rewrites layout.blocks and every conductor's block list; block addresses
// change, so it runs before any pointer list exists.
void split_incline_blocks(layout& l);
