#!/usr/bin/env bash
# Writes a four-level wire layout to standard output: 252 wires on each of
# four levels (1,008 wires), each wire cut into the given number of
# segments, the levels alternating between x and y, over a ground plane.
# "layered" puts each level in its own medium (3.9, 2.5, 4.2, 3.0 from the
# bottom up); "uniform" fills everything with 3.9. The master is a wire in
# the middle of the second level. 100 segments make 100,801 blocks.
# Usage: bench/wire_layout.sh layered|uniform [segments]
set -euo pipefail
media="${1:?layered or uniform}"
segments="${2:-10}"
awk -v media="$media" -v segments="$segments" 'BEGIN {
    wires = 252; pitch = 0.2; width = 0.1; span = 50.4
    print "<lumod>"
    print "<window> v1 (-5, -5, 0) v2 (55.4, 55.4, 3.2) dirichlet </window>"
    if (media == "layered") {
        split("0 0.7 1.3 1.9 3.2", z, " "); split("3.9 2.5 4.2 3.0", e, " ")
        for (m = 1; m <= 4; ++m)
            printf "<medium>\n  <block> basepoint (-5, -5, %g) v1 (60.4, 0, 0) v2 (0, 60.4, 0) hvector (0, 0, %g) </block>\n  diel %s\n</medium>\n", \
                z[m], z[m + 1] - z[m], e[m]
    } else {
        print "<medium>"
        print "  <block> basepoint (-5, -5, 0) v1 (60.4, 0, 0) v2 (0, 60.4, 0) hvector (0, 0, 3.2) </block>"
        print "  diel 3.9"
        print "</medium>"
    }
    print "<conductor> name GROUND"
    print "  <block> basepoint (-5, -5, 0) v1 (60.4, 0, 0) v2 (0, 60.4, 0) hvector (0, 0, 0.1) </block>"
    print "</conductor>"
    seg = span / segments
    for (l = 0; l < 4; ++l) {
        h = 0.4 + 0.6 * l
        for (w = 0; w < wires; ++w) {
            printf "<conductor> name w%d_%d\n", l, w
            for (s = 0; s < segments; ++s) {
                a = w * pitch; b = s * seg
                if (l % 2) printf "  <block> basepoint (%g, %g, %g) v1 (%g, 0, 0) v2 (0, %g, 0) hvector (0, 0, 0.2) </block>\n", b, a, h, seg - 0.1, width
                else printf "  <block> basepoint (%g, %g, %g) v1 (%g, 0, 0) v2 (0, %g, 0) hvector (0, 0, 0.2) </block>\n", a, b, h, width, seg - 0.1
            }
            print "</conductor>"
        }
    }
    print "<task> <capacitance> w1_126 </capacitance> </task>"
    print "</lumod>"
}'
