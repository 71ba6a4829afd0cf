# Reads docking_sim's trajectory CSV; prints key=value figures of the docking
# and writes the step changes, the attempts' starts and ends and the end of the
# run (time,x,y,phase,name) to the file named by events.
# The ground truth: whether the robot passed through the controller's docked bounds
# (|x| < 0.25 m, |y| < 0.01 m, |heading| < 0.1 rad) and came to rest near them.
# farthest_blind: the longest way (m, by the ground truth) the robot drove while the
# camera's samples did not find the station (the trajectory's seen column).
# An undock after the docking (the first forward command once docked; the push is
# backwards) is summed apart: the docking's figures are those just before it.
function abs(a) { return a < 0 ? -a : a }
function inside(x, y, h) { return abs(x) < 0.25 && abs(x) > 0.001 && abs(y) < 0.01 && abs(h) < 0.1 }
BEGIN {
  FS = ","
  split("start,step 1,step 2,step 3,step 4,docked,push,back-off,end", label, ",")
}
NR == 1 { next }
undock != "" || ($9 >= 5 && $9 <= 6 && $5 > 0) {
  if (undock == "") {
    undock = t
    printf "%s,%s,%s,%d,undock\n", t, x, y, phase > events
  }
  undocked += sqrt(($2 - ux) ^ 2 + ($3 - uy) ^ 2)
  ux = $2; uy = $3; ut = $1
  next
}
{
  t = $1; x = $2; y = $3; h = $4; phase = $9
  ux = x; uy = y
  if (inside(x, y, h)) passed = 1
  # A new attempt: any step after the start or after an attempt that ended undocked.
  if (phase >= 1 && phase <= 6 && (NR == 2 || prev == 0 || prev == 7)) {
    attempts++
    if (start == "") start = t
  }
  if (NR == 2 || phase != prev) {
    # Later attempts turn on the spot where the back-off ended: one label there.
    name = attempts > 1 && phase <= 4 ? "" : label[phase + 1]
    if (phase == 7) name = "attempt " attempts " ended: back-off"
    else if (attempts > 1 && (prev == 0 || prev == 7)) name = "attempt " attempts
    printf "%s,%s,%s,%d,%s\n", t, x, y, phase, name > events
    if (phase == 7) ended[attempts] = sprintf("%.4f %.4f %.4f", x, y, h)
  }
  if (NR > 2 && NF >= 11) {
    blind = $11 == 1 ? 0 : blind + sqrt((x - lx) ^ 2 + (y - ly) ^ 2)
    if (blind > farthest_blind) farthest_blind = blind
  }
  if (phase == 7 && NR > 2) backed += sqrt((x - lx) ^ 2 + (y - ly) ^ 2)
  if (phase >= 5 && phase <= 6 && docked == "") docked = t
  if (phase == 6 && NR > 2) pushed += sqrt((x - lx) ^ 2 + (y - ly) ^ 2)
  lx = x; ly = y; prev = phase
}
END {
  if (undock != "") {
    printf "%s,%s,%s,8,end\n", ut, ux, uy > events
    printf "undock_began=%s\nundocked_distance=%.4f\nundocked_x=%.4f\nundocked_y=%.4f\n", \
      undock, undocked, ux, uy
  } else {
    printf "%s,%s,%s,8,end\n", t, x, y > events
  }
  printf "final_x=%.4f\nfinal_y=%.4f\nfinal_heading=%.4f\n", x, y, h
  printf "pushed=%.4f\nbacked_off=%.4f\n", pushed, backed
  printf "farthest_blind=%.4f\n", farthest_blind
  printf "reached_docked_bounds=%s\n", docked == "" ? "" : sprintf("%.1f", docked - start)
  printf "attempts=%d\n", attempts
  # After the push the robot may rest a little off the bounds it docked in.
  near = x < 0.25 && abs(y) < 0.04 && abs(h) < 0.15
  printf "ground_truth=%s\n", passed && near ? "docked" : "not_docked"
  printf "passed_docked_bounds=%d\nends_in_docked_bounds=%d\n", passed, inside(x, y, h)
  # Where each attempt stood when it ended (x y heading); the last one at the end.
  for (k = 1; k <= attempts; k++)
    printf "attempt_%d_stood=%s\n", k, k in ended ? ended[k] : sprintf("%.4f %.4f %.4f", x, y, h)
}
