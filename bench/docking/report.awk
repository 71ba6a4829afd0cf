# Table of the benchmark runs (results.txt lines from run_case.sh), then a
# summary per perception latency.
function sorted_at(list, n, q,    a, i, j, k, t) {
  split(list, a, " ")
  for (i = 2; i <= n; i++) { t = a[i]; for (j = i - 1; j >= 1 && a[j] > t; j--) a[j + 1] = a[j]; a[j + 1] = t }
  k = int(q * (n - 1) + 1.5); return a[k > n ? n : k]
}
function abs(v) { return v < 0 ? -v : v }
BEGIN {
  printf "%-4s %5s %5s %6s %5s  %-10s %6s %8s %8s %8s\n", "run", "x", "y", "head", "lat", "result", "time", "final_y", "final_h", "final_x"
}
{
  lat = $5; ok = $6 == "0"
  kind = ok ? "docked" : ($6 == "-" ? "run_error" : ($7 == "none" ? "failed" : $7))
  printf "%-4s %5.2f %5.2f %6.2f %5.2f  %-10s %6s %8s %8s %8s\n", $1, $2, $3, $4, $5, kind, ok ? $8 : "-", $10, $11, $9
  runs[lat]++; lats[lat] = 1
  if (ok) {
    n_ok[lat]++; times[lat] = times[lat] " " $8
    ey[lat] = ey[lat] " " abs($10); eh[lat] = eh[lat] " " abs($11)
  } else fails[lat, kind]++
}
END {
  printf "\n%-7s %4s %8s %8s %8s %13s %13s  %s\n", "latency", "runs", "success", "t_median", "t_worst", "|y| med/max", "|h| med/max", "failures"
  for (lat in lats) {
    n = n_ok[lat] + 0
    f = ""
    for (k in fails) { split(k, p, SUBSEP); if (p[1] == lat) f = f sprintf("%s %d  ", p[2], fails[k]) }
    if (n > 0)
      printf "%-7s %4d %7.0f%% %8.1f %8.1f   %5.3f/%5.3f   %5.3f/%5.3f  %s\n", lat, runs[lat], 100 * n / runs[lat],
        sorted_at(times[lat], n, 0.5), sorted_at(times[lat], n, 1), sorted_at(ey[lat], n, 0.5), sorted_at(ey[lat], n, 1),
        sorted_at(eh[lat], n, 0.5), sorted_at(eh[lat], n, 1), f == "" ? "none" : f
    else
      printf "%-7s %4d %7.0f%% %8s %8s %13s %13s  %s\n", lat, runs[lat], 0, "-", "-", "-", "-", f
  }
  print "(times in s from the request to the result; y in m and heading in rad of docked runs, at the end)"
}
