# The integral of the node's heading regulator in step 4, read back from its
# once-a-cycle "output, dxdydr" line: w_dr = kp * e + ki * integral, with the
# heading error e = -dr (0 on the cycles that found the pose frozen, which log
# dr as 0). Cycles whose w_dr sits at the bound (upper) say nothing and are
# skipped. Prints, on one line, the integral each attempt began step 4 with
# and ended it with and, given from and to (stamps of a partition), the last
# value before it, the first after it and the cycles it ran on a stale pose.
#   awk -v kp=0.2 -v ki=0.04 -v upper=0.2 [-v from=T -v to=T] -f heading_integral.awk NODE_LOG
function abs(a) { return a < 0 ? -a : a }
/Align request callback: 1, 0, 0/ { attempt++; began = 0 }
/output, dxdydr: / {
  s = $0
  sub(/.*output, dxdydr: /, "", s)
  n = split(s, f, /, [a-zA-Z_]*:? ?/)
  # dx, dy, dr, w_dy, w_dr, W, Vx
  dr = f[3] + 0; w_dr = f[5] + 0
  if (abs(w_dr) >= upper) next
  value = (w_dr + kp * dr) / ki
  if (!began) { first[attempt] = value; began = 1 }
  last[attempt] = value
  if (from != "" && $1 < from) before = value
  if (to != "" && $1 > to && after == "") after = value
  if (from != "" && $1 >= from && $1 <= to && dr != 0) stale++
}
END {
  for (a = 1; a <= attempt; a++) {
    if (!(a in first)) continue
    line = line sprintf("%sattempt %d %.2f to %.2f", line == "" ? "" : "; ", a, first[a], last[a])
  }
  if (line == "") line = "no step 4"
  if (from != "")
    line = line sprintf("; partition: %s before, %s after, %d cycles on the stale heading error",
                        before == "" ? "-" : sprintf("%.2f", before),
                        after == "" ? "-" : sprintf("%.2f", after), stale)
  print line
}
