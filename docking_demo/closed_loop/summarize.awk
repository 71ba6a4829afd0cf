# Reads docking_sim's trajectory CSV; prints key=value figures of the docking
# and writes the step changes, the attempts' starts and ends and the end of the
# run (time,x,y,phase,name) to the file named by events.
BEGIN {
  FS = ","
  split("start,step 1,step 2,step 3,step 4,docked,push,back-off,end", label, ",")
}
NR == 1 { next }
{
  t = $1; x = $2; y = $3; h = $4; phase = $9
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
  if (phase == 7 && NR > 2) backed += sqrt((x - lx) ^ 2 + (y - ly) ^ 2)
  if (phase >= 5 && phase <= 6 && docked == "") docked = t
  if (phase == 6 && NR > 2) pushed += sqrt((x - lx) ^ 2 + (y - ly) ^ 2)
  lx = x; ly = y; prev = phase
}
END {
  printf "%s,%s,%s,8,end\n", t, x, y > events
  printf "final_x=%.4f\nfinal_y=%.4f\nfinal_heading=%.4f\n", x, y, h
  printf "pushed=%.4f\nbacked_off=%.4f\n", pushed, backed
  printf "reached_docked_bounds=%s\n", docked == "" ? "" : sprintf("%.1f", docked - start)
  printf "attempts=%d\n", attempts
  # Where each attempt stood when it ended (x y heading); the last one at the end.
  for (k = 1; k <= attempts; k++)
    printf "attempt_%d_stood=%s\n", k, k in ended ? ended[k] : sprintf("%.4f %.4f %.4f", x, y, h)
}
