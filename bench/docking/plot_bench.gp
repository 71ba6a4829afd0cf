# Start poses of the benchmark, by outcome, one panel per perception latency.
set terminal pngcairo size 1300,600 font "Sans,11" noenhanced
set output png
set multiplot layout 1,2 title "docking benchmark: outcome by start pose (station at the origin, docking backwards; numbers: seconds to dock)"
set xlabel "start x (m)"
set ylabel "start y (m)"
set xrange [0.9:3.1]
set yrange [-0.6:1.1]
set grid
set key below
ok(s) = s eq "0"
# The two start headings of a pose are drawn side by side, each run of a pose
# shifted right by its start delay.
px(x, h, d) = x + (h < 0 ? -0.1 : 0.04) + 0.12 * d
do for [lat in lats] {
  set title "perception latency ".lat." s (markers left: heading -0.2, right: +0.2)"
  plot results using (strcol(5) eq lat && ok(strcol(7)) && $10 == 1 ? px($2, $4, $6) : NaN):3 with points pt 7 ps 1.6 lc rgb "#2ca02c" title "docked at the first attempt", \
       results using (strcol(5) eq lat && ok(strcol(7)) && $10 > 1 ? px($2, $4, $6) : NaN):3 with points pt 5 ps 1.6 lc rgb "#1f77b4" title "docked at a later attempt", \
       results using (strcol(5) eq lat && !ok(strcol(7)) ? px($2, $4, $6) : NaN):3 with points pt 2 ps 1.8 lw 2 lc rgb "#d62728" title "not docked", \
       results using (strcol(5) eq lat && ok(strcol(7)) ? px($2, $4, $6) : NaN):3:(sprintf("%.0f", $9)) with labels offset 0,1.1 font "Sans,7" notitle
}
unset multiplot
