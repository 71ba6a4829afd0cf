# Table of the benchmark runs (results.txt lines from run_case.sh), then a
# summary per perception latency.
function sorted_at(list, n, q,    a, i, j, k, t) {
  split(list, a, " ")
  for (i = 2; i <= n; i++) { t = a[i]; for (j = i - 1; j >= 1 && a[j] > t; j--) a[j + 1] = a[j]; a[j + 1] = t }
  k = int(q * (n - 1) + 1.5); return a[k > n ? n : k]
}
function abs(v) { return v < 0 ? -v : v }
BEGIN {
  printf "%-4s %5s %5s %6s %5s %6s  %-15s %8s %6s %8s %8s %8s %6s\n", "run", "x", "y", "head", "lat", "delay",
    "result", "attempts", "time", "final_y", "final_h", "final_x", "blind"
}
{
  lat = $5; ok = $7 == "0"
  kind = ok ? "docked" : ($7 == "-" ? "run_error" : ($8 == "none" ? "failed" : $8))
  printf "%-4s %5.2f %5.2f %6.2f %5.2f %6.3f  %-15s %8s %6s %8s %8s %8s %6s\n", $1, $2, $3, $4, $5, $6, kind, $10,
    ok ? $9 : "-", $13, $14, $12, $15 == "" || $15 == "-" ? "-" : sprintf("%.2f", $15)
  runs[lat]++; lats[lat] = 1
  if ($11 == "docked") first[lat]++
  if ($15 != "" && $15 != "-" && (!(lat in blind) || $15 + 0 > blind[lat])) blind[lat] = $15 + 0
  if (ok) {
    n_ok[lat]++; times[lat] = times[lat] " " $9
    ey[lat] = ey[lat] " " abs($13); eh[lat] = eh[lat] " " abs($14)
  } else fails[lat, kind]++
}
END {
  printf "\n%-7s %4s %7s %8s %8s %8s %13s %13s %6s  %s\n", "latency", "runs", "first", "within3", "t_median", "t_worst",
    "|y| med/max", "|h| med/max", "blind", "failures left"
  for (lat in lats) {
    n = n_ok[lat] + 0
    f = ""
    for (k in fails) { split(k, p, SUBSEP); if (p[1] == lat) f = f sprintf("%s %d  ", p[2], fails[k]) }
    printf "%-7s %4d %6.0f%% %7.0f%% ", lat, runs[lat], 100 * first[lat] / runs[lat], 100 * n / runs[lat]
    b = lat in blind ? sprintf("%6.2f", blind[lat]) : sprintf("%6s", "-")
    if (n > 0)
      printf "%8.1f %8.1f   %5.3f/%5.3f   %5.3f/%5.3f %s  %s\n", sorted_at(times[lat], n, 0.5), sorted_at(times[lat], n, 1),
        sorted_at(ey[lat], n, 0.5), sorted_at(ey[lat], n, 1), sorted_at(eh[lat], n, 0.5), sorted_at(eh[lat], n, 1),
        b, f == "" ? "none" : f
    else
      printf "%8s %8s %13s %13s %s  %s\n", "-", "-", "-", "-", b, f
  }
  print "(first: docked at the first attempt; within3: docked within three attempts; times in s from the"
  print " first request to the result; y in m and heading in rad of docked runs, at the end; blind: the"
  print " farthest in m the robot drove, by the ground truth, while the camera did not see the station,"
  print " the most of any run)"
}
