// The node's three inputs fuzzed during a scripted docking attempt: extremes
// and random bit patterns among plausible samples. Whatever arrives, every
// command is finite and within the node's bounds, the regulators stay sound,
// and the node still answers afterwards. About 25 s in all.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <limits>
#include <random>
#include <thread>

#include "docking_peer/docking_peer.hpp"

namespace {

using Clock = std::chrono::steady_clock;

class Fuzz {
 public:
  explicit Fuzz(uint64_t seed) : rng_(seed) {}

  // A third each: an extreme, a random bit pattern, a plausible value.
  double value() {
    static const double kExtremes[] = {
        std::numeric_limits<double>::quiet_NaN(),
        -std::numeric_limits<double>::quiet_NaN(),
        std::numeric_limits<double>::signaling_NaN(),
        std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::max(),
        -std::numeric_limits<double>::max(),
        1e308,
        -1e308,
        1.5e308,
        3e300,
        -1e200,
        std::numeric_limits<double>::denorm_min(),
        -std::numeric_limits<double>::denorm_min(),
        std::numeric_limits<double>::min(),
        0.0,
        -0.0,
        100.0,
        std::nextafter(100.0, 200.0),
        2 * M_PI,
        std::nextafter(2 * M_PI, 7.0),
        1e6,
        std::nextafter(-1e6, -2e6),
    };
    switch (pick(3)) {
      case 0:
        return kExtremes[pick(std::size(kExtremes))];
      case 1: {
        const uint64_t bits = rng_();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
      }
      default:
        return std::uniform_real_distribution<double>(-3.0, 3.0)(rng_);
    }
  }

  int32_t integer() {
    static const int32_t kExtremes[] = {
        std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), -1, 0, 1, 2};
    if (pick(2) == 0) return kExtremes[pick(std::size(kExtremes))];
    return static_cast<int32_t>(static_cast<uint32_t>(rng_()));
  }

  size_t pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng_); }

 private:
  std::mt19937_64 rng_;
};

TEST(NodeFuzz, AnyInputLeavesCommandsBoundedAndTheNodeAnswering) {
  DockingPeer peer(64);
  peer.start_node();
  // The script: a dock request and a robot 1.5 m out on the axis, which
  // passes the angle steps at once and approaches in step 4.
  peer.request(1, 0, 0);
  ASSERT_TRUE(peer.spin_until(
      [&] {
        peer.robot_in_station(1.5, 0.0, 0.0);
        return peer.count_lines("step 4 ***********") > 0;
      },
      10s));

  // Rounds of 2.5 s: a fuzzed request, a retry check, a dock request 0.2 s
  // apart; the script's poses up to 1.4 s, enough to reach step 4 again;
  // then fuzzed poses among the script's. Odometry is fuzzed throughout.
  const uint64_t seed = 20240610;
  Fuzz fuzz(seed);
  const auto start = Clock::now();
  const auto round_length = 2500ms;
  int64_t round = -1;
  int requests = 0;
  size_t samples = 0;
  for (int i = 0; Clock::now() < start + 15s; ++i) {
    const auto elapsed = Clock::now() - start;
    const auto in_round = elapsed % round_length;
    if (elapsed / round_length != round) {
      round = elapsed / round_length;
      requests = 0;
    }
    if (requests == 0) {
      peer.request(fuzz.integer(), fuzz.integer(), fuzz.integer());
      ++samples;
      ++requests;
    } else if (requests == 1 && in_round > 200ms) {
      peer.request(1, 2, 0);
      ++requests;
    } else if (requests == 2 && in_round > 400ms) {
      peer.request(1, 0, 0);
      ++requests;
    }
    const double k = i * 0.01;
    if (in_round > 1400ms && fuzz.pick(3) != 0) {
      peer.docking_pose(fuzz.value(), fuzz.value(), fuzz.value());
      ++samples;
    } else {
      peer.robot_in_station(1.2 + 0.3 * std::sin(k), 0.002 * std::sin(1.7 * k), 0.01 * std::cos(k));
    }
    peer.odom(fuzz.value(), fuzz.value(), fuzz.value(), fuzz.value());
    ++samples;
    if (i % 40 == 0) peer.spin_for(0ms);  // keeps the recorded commands flowing
    std::this_thread::sleep_for(500us);
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  peer.spin_for(500ms);
  std::cout << "fuzz (seed " << seed << "): " << samples << " fuzzed samples in " << seconds
            << " s; " << peer.count_lines("viehcle_pose_in_station_frame") << " active cycles, "
            << peer.count_lines("poseAlign, dxdydr") << " of them in step 4, "
            << peer.count_lines("dropped") << " runs of dropped samples\n";
  EXPECT_GE(samples, 10000u);

  // Still running and answering: a docked pose ends an attempt with success.
  ASSERT_FALSE(peer.node().wait_exit(0ms).has_value()) << peer.node().stderr_text();
  const size_t results = peer.results.size();
  auto last_request = Clock::now() - 1h;
  const bool docked = peer.spin_until(
      [&] {
        if (Clock::now() - last_request > 2s) {
          peer.request(1, 0, 0);
          last_request = Clock::now();
        }
        peer.robot_in_station(0.2, 0.0, 0.0);
        return peer.results.size() > results && peer.results.back().success == 1;
      },
      10s);
  EXPECT_TRUE(docked);

  EXPECT_GT(peer.cmds.size(), 20u);
  expect_bounded_commands(peer.cmds);
  EXPECT_GT(expect_bounded_regulators(peer.lines()), 10u);
  EXPECT_EQ(peer.count_lines("non-finite command"), 0u);
}

}  // namespace
