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
# The two start headings of a pose are drawn side by side.
px(x, h) = x + (h < 0 ? -0.06 : 0.06)
do for [lat in lats] {
  set title "perception latency ".lat." s (marker left: heading -0.2, right: +0.2)"
  plot results using (strcol(5) eq lat && ok(strcol(6)) ? px($2, $4) : NaN):3 with points pt 7 ps 2 lc rgb "#2ca02c" title "docked", \
       results using (strcol(5) eq lat && strcol(7) eq "timeout" ? px($2, $4) : NaN):3 with points pt 2 ps 2 lw 2 lc rgb "#d62728" title "timeout", \
       results using (strcol(5) eq lat && strcol(7) eq "big_error" ? px($2, $4) : NaN):3 with points pt 9 ps 2 lc rgb "#ff7f0e" title "big error", \
       results using (strcol(5) eq lat && !ok(strcol(6)) && strcol(7) ne "timeout" && strcol(7) ne "big_error" ? px($2, $4) : NaN):3 with points pt 4 ps 2 lc rgb "#000000" title "other failure", \
       results using (strcol(5) eq lat && ok(strcol(6)) ? px($2, $4) : NaN):3:8 with labels offset 0,1.2 font "Sans,8" notitle
}
unset multiplot
