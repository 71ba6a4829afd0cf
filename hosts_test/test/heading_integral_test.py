#!/usr/bin/env python3
"""heading_integral.awk against node logs written by a regulator whose sum is known."""
import subprocess
import sys
from pathlib import Path

SCRIPT = Path(__file__).resolve().parent.parent / "heading_integral.awk"
KP, KI, UPPER = 0.2, 0.04, 0.2


class Node:
    """Writes the node's step-4 lines as its heading regulator would, and keeps its sum."""

    def __init__(self):
        self.lines, self.integral, self.stamp = [], 0.0, 1000.0

    def request(self):
        self.stamp += 0.1
        self.lines.append(f"{self.stamp:.6f}   1 [INFO] Align request callback: 1, 0, 0")

    def cycle(self, error, frozen=False):
        """One cycle; returns (stamp, the sum it began with, whether w_dr was at the bound)."""
        self.stamp += 1 / 6
        began = self.integral
        e = 0.0 if frozen else error
        raw = KP * e + KI * began
        w_dr = max(-UPPER, min(UPPER, raw))
        self.integral += e
        # The node logs its heading as dr = -e, and 0 on a frozen cycle.
        dr = 0 if frozen else -e
        self.lines.append(f"{self.stamp:.6f}  42 [INFO] output, dxdydr: 0.9, 0.01, {dr!r}, "
                          f"w_dy: 0.01, w_dr: {w_dr!r}, W: {w_dr + 0.01!r}, Vx: -0.15")
        return self.stamp, began, abs(raw) >= UPPER


def run(node, *args):
    out = subprocess.run(["awk", "-v", f"kp={KP}", "-v", f"ki={KI}", "-v", f"upper={UPPER}",
                          *args, "-f", str(SCRIPT)], input="\n".join(node.lines) + "\n",
                         capture_output=True, text=True, check=True)
    return out.stdout.strip()


failures = []


def check(name, got, want):
    if got != want:
        failures.append(f"{name}:\n  got  '{got}'\n  want '{want}'")


# Two attempts: the second begins with what the first left, and a cycle at the
# bound tells nothing, so the last value of the first is the cycle before it.
node = Node()
node.request()
first = [node.cycle(e) for e in (-0.1, -0.12, -0.11, -0.09)]
bound = node.cycle(-1.5)
assert bound[2], "the case needs a cycle at the bound"
last = first[-1]
node.request()
second = [node.cycle(e) for e in (0.3, 0.02)]
check("two attempts", run(node),
      f"attempt 1 {first[0][1]:.2f} to {last[1]:.2f}; "
      f"attempt 2 {second[0][1]:.2f} to {second[-1][1]:.2f}")
assert abs(second[0][1]) > 1, "the carried sum must be far from 0 to tell"

# A partition: the node goes on with the last heading it had, frozen every
# third cycle; the sum grows by the stale error on the others.
node = Node()
node.request()
before = [node.cycle(e) for e in (-0.05, -0.08, -0.11)][-1]
inside = [node.cycle(-0.11, frozen=(i % 3 == 2)) for i in range(9)]
after = node.cycle(-0.13)
node.cycle(-0.12)
window = ("-v", f"from={inside[0][0] - 0.01:.6f}", "-v", f"to={inside[-1][0] + 0.01:.6f}")
stale = sum(1 for i in range(9) if i % 3 != 2)
check("partition", run(node, *window),
      f"attempt 1 0.00 to {node.integral - (-0.12):.2f}; partition: {before[1]:.2f} before, "
      f"{after[1]:.2f} after, {stale} cycles on the stale heading error")
assert after[1] - before[1] < -0.5, "the stale cycles must move the sum to tell"

# No step 4 at all, and a partition that no cycle saw.
node = Node()
node.request()
check("no step 4", run(node, "-v", "from=1", "-v", "to=2"),
      "no step 4; partition: - before, - after, 0 cycles on the stale heading error")

for f in failures:
    print("FAILED", f)
print(f"{3 - len(failures)} passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
