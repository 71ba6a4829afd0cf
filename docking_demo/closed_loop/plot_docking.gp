# The robot's path in the station frame, and its errors over time.
# gnuplot -e "csv='trajectory.csv'; events='events.dat'; png='docking.png'; heading='...'" plot_docking.gp
# With undock=T (the simulator's time an undock began) the path from then on is the undock's.
set terminal pngcairo size 1400,1000 font "Sans,11" noenhanced
set output png
set datafile separator ","
stats csv using 2 every ::1 nooutput prefix "X"
stats csv using 3 every ::1 nooutput prefix "Y"

set multiplot title heading font "Sans,13"
set size 1,0.58
set origin 0,0.4
set title "robot path in the station frame (the robot docks backwards; arrows: where its front faces; axes not to scale)"
set xlabel "x (m)"
set ylabel "y (m)"
set xrange [-0.45 : (X_max > 1.2 ? X_max : 1.2) + 0.2]
set yrange [(Y_min < -0.35 ? Y_min : -0.35) - 0.05 : (Y_max > 0.35 ? Y_max : 0.35) + 0.05]
set grid
set key below maxrows 2
set object 1 rect from -0.35,-0.3 to 0,0.3 fc rgb "#b0b0b0" fs solid 0.6 border lc rgb "#606060"
set label 1 "station" at -0.175,0.15 center font "Sans,10"
set object 2 rect from 0.001,-0.01 to 0.25,0.01 fc rgb "#2ca02c" fs solid 0.5 border lc rgb "#2ca02c" front
set label 2 "docked bounds: 0.001 < x < 0.25, |y| < 0.01" at 0.0,-0.12 left font "Sans,9" tc rgb "#2ca02c"
set arrow 1 from -0.35,0 to graph 1, first 0 nohead dt 3 lc rgb "#909090"
set label 3 "target point (1, 0)" at 1.0,0 point pt 7 ps 1.5 lc rgb "black" offset -3,-1.2 font "Sans,9"
set style line 1 lc rgb "#999999" lw 2
set style line 2 lc rgb "#1f77b4" lw 2
set style line 3 lc rgb "#ff7f0e" lw 2
set style line 4 lc rgb "#9467bd" lw 2
set style line 5 lc rgb "#d62728" lw 2
set style line 6 lc rgb "#2ca02c" lw 3
set style line 7 lc rgb "#17becf" lw 3
set style line 8 lc rgb "#000000" lw 2 dt 2
set style line 9 lc rgb "#8c564b" lw 2 dt 4
array name[8] = ["before the request", "step 1: turn to the target point", "step 2: reverse to the axis", \
                 "step 3: turn to the station", "step 4: pose alignment", "docked: stop and wait", "final push", \
                 "back-off to the staging distance after a failed attempt"]
# Steps that change on the spot share a point: odd phases labelled above, even ones below,
# the start to the left. Each attempt after the first is labelled where it starts, each
# failed one where it ended, to its right.
undocking = exists("undock")
if (!undocking) undock = 1e9
path_plot = "plot for [k=0:7] csv using 2:(column(9) == k && column(1) < undock ? column(3) : NaN) every ::1 with lines ls (k + 1) title name[k + 1], \
     csv using 2:3:(arrow * cos(column(4))):(arrow * sin(column(4))) every 200::1 with vectors head size arrow / 4,20 lc rgb '#555555' notitle, \
     events using 2:3 with points pt 6 ps 1.8 lw 2 lc rgb 'black' title 'step changes, end', \
     events using 2:(column(4) == 7 ? column(3) : NaN) with points pt 2 ps 2.5 lw 3 lc rgb '#d62728' title 'an attempt ended undocked', \
     events using 2:(int(column(4)) % 2 && column(4) != 7 ? column(3) : NaN):5 with labels offset 0,1.3 font 'Sans,9' notitle, \
     events using 2:(column(4) == 7 ? column(3) : NaN):5 with labels left offset 1,-1.3 font 'Sans,9' tc rgb '#d62728' notitle, \
     events using 2:(int(column(4)) % 2 || column(4) == 0 ? NaN : column(3)):5 with labels offset 0,-1.3 font 'Sans,9' notitle, \
     events using 2:(column(4) == 0 ? column(3) : NaN):5 with labels right offset -1.5,0 font 'Sans,9' notitle"
if (undocking) path_plot = path_plot . ", csv using 2:(column(1) >= undock ? column(3) : NaN) every ::1 with lines ls 9 title 'undock: forward to the staging distance'"
arrow = 0.08
@path_plot

# Close-up of the final approach, where the docked bounds are visible.
set size 0.5,0.4
set origin 0,0
set title "final approach, close up"
set xrange [-0.1:0.8]
set yrange [-0.05:0.05]
set key off
# Labels are not clipped: keep them inside the close-up's ranges.
set label 1 at -0.05,0.03
set label 2 at 0.0,-0.02
unset label 3
set object 2 back
arrow = 0.02
@path_plot

unset object 1
unset object 2
unset label 1
unset label 2
unset arrow 1
set autoscale xy
set size 0.5,0.4
set origin 0.5,0
set title "errors over time"
set xlabel "time (s)"
set ylabel "lateral y (m)"
set y2label "heading (rad)"
set ytics nomirror
set y2tics
set key inside right top
plot csv using 1:3 every ::1 with lines lw 2 lc rgb "#1f77b4" title "lateral y", \
     csv using 1:4 every ::1 axes x1y2 with lines lw 2 lc rgb "#d62728" title "heading"
unset multiplot
