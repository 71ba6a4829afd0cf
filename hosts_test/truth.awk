# docking_sim's ground truth of one run (trajectory: time,x,y,heading,...):
# whether the robot passed through the controller's docked bounds (|x| < 0.25 m,
# |y| < 0.01 m, |heading| < 0.1 rad) and where it came to rest.
function abs(a) { return a < 0 ? -a : a }
function inside(x, y, h) { return abs(x) < 0.25 && abs(x) > 0.001 && abs(y) < 0.01 && abs(h) < 0.1 }
NR > 1 { if (inside($2, $3, $4)) reached = 1; x = $2; y = $3; h = $4 }
END {
  # After the push the robot may rest a little off the bounds it docked in.
  near = x < 0.25 && abs(y) < 0.04 && abs(h) < 0.15
  printf "%s %s | ", reached && near ? "docked" : "not-docked", inside(x, y, h) ? "in" : "out"
  printf "passed %sthrough the docked bounds, at rest at x %.3f m, y %.3f m, heading %.3f rad\n", \
    reached ? "" : "not ", x, y, h
}
