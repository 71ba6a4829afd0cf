# The node's loop rate through step 4, from the stamps (first field) of the
# line it logs once a cycle while an attempt runs.
/step 4 \*\*\*/ { in4 = 1 }
/viehcle_pose_in_station_frame/ && in4 && !ended {
  if (n) {
    if ($1 - last > longest) longest = $1 - last
  } else {
    first = $1
  }
  last = $1
  n++
}
/docking finish!|docking failed|docking timeout/ { ended = 1 }
END {
  if (n < 2) { print "0 Hz: fewer than two cycles in step 4"; exit }
  printf "%.2f Hz over %d cycles, longest cycle %.2f s\n", (n - 1) / (last - first), n, longest
}
