# From docking_sim's trajectory (time,x,y,heading,cmd_v,cmd_w,v,w,step,cmds):
# the longest silence of /cmd_vel after a command that moved the robot (the
# controller's own pauses follow zero commands), and how soon after that
# command the base had the robot at rest. Bound: the watchdog's 0.5 s, the command
# latency (0.02 s), braking at the acceleration limits (0.5 m/s², 2 rad/s²) and
# one camera period of slack.
function abs(a) { return a < 0 ? -a : a }
function max(a, b) { return a > b ? a : b }
NR > 1 { n++; T[n] = $1; CV[n] = $5; CW[n] = $6; V[n] = $7; W[n] = $8; C[n] = $10 }
END {
  for (i = 2; i <= n; i++) {
    if (C[i] == C[i - 1]) continue
    moving = CV[last] != 0 || CW[last] != 0
    if (last && moving && T[i] - T[last] > gap) { gap = T[i] - T[last]; from = last; to = i }
    last = i
  }
  if (gap < 2.5) { printf "no silence of /cmd_vel longer than %.2f s\n", gap; exit }
  for (i = from; i < to; i++) if (V[i] == 0 && W[i] == 0) { stop = i; break }
  v = max(abs(V[from]), abs(CV[from])); w = max(abs(W[from]), abs(CW[from]))
  bound = 0.5 + 0.02 + max(v / 0.5, w / 2.0) + 0.1
  if (!stop) { printf "silence of %.2f s: the robot was still moving when commands resumed\n", gap; exit }
  took = T[stop] - T[from]
  # Commands held back by the writer arrive at once when the link returns.
  for (i = to; i <= n && T[i] < T[to] + 0.5; i++) burst = C[i] - C[to - 1]
  printf "silence of %.2f s from t = %.2f s; at the last command %.3f m/s, %.3f rad/s; at rest %.2f s after it (bound %.2f s): %s; %d commands in the first 0.5 s after the silence\n", \
    gap, T[from], V[from], W[from], took, bound, took <= bound ? "within bound" : "too late", burst
}
