# Reads docking_sim's trajectory CSV; prints key=value figures of the docking
# and writes the step changes and the end (time,x,y,phase,name) to the file named by events.
BEGIN { FS = ","; names = "start,step 1,step 2,step 3,step 4,docked,push,end" ; split(names, label, ",") }
NR == 1 { next }
{
  t = $1; x = $2; y = $3; h = $4; phase = $9
  if (NR == 2 || phase != prev) {
    printf "%s,%s,%s,%d,%s\n", t, x, y, phase, label[phase + 1] > events
    prev = phase
  }
  if (phase >= 1 && start == "") start = t
  if (phase >= 5 && docked == "") docked = t
  if (phase == 6 && NR > 2) pushed += sqrt((x - lx) ^ 2 + (y - ly) ^ 2)
  lx = x; ly = y
}
END {
  printf "%s,%s,%s,7,end\n", t, x, y > events
  printf "final_x=%.4f\nfinal_y=%.4f\nfinal_heading=%.4f\n", x, y, h
  printf "pushed=%.4f\n", pushed
  printf "reached_docked_bounds=%s\n", docked == "" ? "" : sprintf("%.1f", docked - start)
}
