// The other side of the action tests, written against rclcpp_action's API so
// that it builds against the layer and against the real ROS 2 Humble alike.
//
//   action_peer server [ACTION] [--result-timeout SECONDS] [--ros-args ...]
//   action_peer client SCENARIO [ACTION] [--ros-args ...]
//
// The server runs each goal as its `plan` says (see sequence_server.hpp) and
// prints a line per callback. The client runs one scenario and prints what it saw, with
// nothing that differs from run to run (no ids, no stamps), so that transcripts
// of the two stacks can be compared line by line. Exit status 0 when the
// scenario ran to its end, 1 otherwise.
#include <chrono>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "action_msgs/msg/goal_status_array.hpp"
#include "action_msgs/srv/cancel_goal.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_action/rclcpp_action.hpp"
#include "sequence_server.hpp"
#include "wire_test_msgs/action/sequence.hpp"

namespace {

using action_peer::count_to;
using action_peer::Sequence;
using ClientGoalHandle = rclcpp_action::ClientGoalHandle<Sequence>;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

void say(const std::string& line) { std::cout << line << std::endl; }

std::string join(const std::vector<int32_t>& numbers) {
  std::ostringstream out;
  out << "[";
  for (size_t i = 0; i < numbers.size(); ++i) {
    out << (i ? " " : "") << numbers[i];
  }
  out << "]";
  return out.str();
}

// ---------------------------------------------------------------- server

int run_server(const std::string& action, double result_timeout) {
  auto node = std::make_shared<rclcpp::Node>("action_peer_server");
  auto options = rcl_action_server_get_default_options();
  if (result_timeout >= 0) {
    options.result_timeout.nanoseconds = static_cast<int64_t>(result_timeout * 1e9);
  }
  action_peer::SequenceServer server(node, action, options, say);
  say("ready");
  while (rclcpp::ok()) {
    rclcpp::spin_some(node);
    server.step();
    rclcpp::sleep_for(milliseconds(2));
  }
  return 0;
}

// ---------------------------------------------------------------- client

const char* code_name(rclcpp_action::ResultCode code) {
  switch (code) {
    case rclcpp_action::ResultCode::SUCCEEDED:
      return "SUCCEEDED";
    case rclcpp_action::ResultCode::CANCELED:
      return "CANCELED";
    case rclcpp_action::ResultCode::ABORTED:
      return "ABORTED";
    default:
      return "UNKNOWN";
  }
}

const char* status_name(int8_t status) {
  static const char* names[] = {"UNKNOWN",   "ACCEPTED", "EXECUTING", "CANCELING",
                                "SUCCEEDED", "CANCELED", "ABORTED"};
  return status >= 0 && status <= 6 ? names[status] : "?";
}

class Scenario {
 public:
  Scenario(const std::string& action)
      : node_(std::make_shared<rclcpp::Node>("action_peer_client")),
        action_(action),
        client_(rclcpp_action::create_client<Sequence>(node_, action)) {}

  // Spins until done() holds; false after 15 s.
  bool spin_until(const std::function<bool()>& done) {
    const auto deadline = Clock::now() + std::chrono::seconds(15);
    while (rclcpp::ok() && Clock::now() < deadline) {
      rclcpp::spin_some(node_);
      if (done()) return true;
      rclcpp::sleep_for(milliseconds(2));
    }
    return false;
  }

  template <class FutureT>
  bool complete(const FutureT& future) {
    return spin_until([&future] {
      return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    });
  }

  // Sends a goal; the handle, or nullptr when refused or unanswered.
  std::shared_ptr<ClientGoalHandle> send(int32_t order, const std::string& plan,
                                         bool result_callback = true) {
    Sequence::Goal goal;
    goal.order = order;
    goal.plan = plan;
    rclcpp_action::Client<Sequence>::SendGoalOptions options;
    options.feedback_callback = [this](std::shared_ptr<ClientGoalHandle>,
                                       const std::shared_ptr<const Sequence::Feedback> feedback) {
      const auto& partial = feedback->partial_sequence;
      in_order_ = in_order_ && (last_feedback_.empty() || partial.size() > last_feedback_.size());
      last_feedback_ = partial;
    };
    options.goal_response_callback = [this](std::shared_ptr<ClientGoalHandle> handle) {
      responses_ += handle ? "A" : "R";
    };
    if (result_callback) {
      options.result_callback = [this](const ClientGoalHandle::WrappedResult& result) {
        results_ += (results_.empty() ? "" : " ") + std::string(code_name(result.code));
      };
    }
    auto future = client_->async_send_goal(goal, options);
    if (!complete(future)) {
      say("no goal response");
      return nullptr;
    }
    auto handle = future.get();
    // Asked for now: once the result has come the client forgets the goal.
    if (handle && result_callback) {
      results_by_goal_[handle->get_goal_id()] = client_->async_get_result(handle);
    }
    return handle;
  }

  std::string result(const std::shared_ptr<ClientGoalHandle>& handle) {
    auto known = results_by_goal_.find(handle->get_goal_id());
    auto future =
        known != results_by_goal_.end() ? known->second : client_->async_get_result(handle);
    if (!complete(future)) return "no result";
    const auto wrapped = future.get();
    return std::string(code_name(wrapped.code)) + " " + join(wrapped.result->sequence) + " " +
           wrapped.result->outcome;
  }

  std::string cancel(
      const std::shared_future<action_msgs::srv::CancelGoal::Response::SharedPtr>& future) {
    if (!complete(future)) return "no cancel response";
    const auto response = future.get();
    return "return " + std::to_string(response->return_code) + " canceling " +
           std::to_string(response->goals_canceling.size());
  }

  bool feedback_came() {
    return spin_until([this] { return !last_feedback_.empty(); });
  }

  std::string feedback() const {
    return "feedback last " + join(last_feedback_) + (in_order_ ? " in order" : " out of order");
  }

  const std::shared_ptr<rclcpp::Node>& node() const { return node_; }
  const rclcpp_action::Client<Sequence>::SharedPtr& client() const { return client_; }
  const std::string& action() const { return action_; }
  const std::string& responses() const { return responses_; }
  const std::string& results() const { return results_; }

 private:
  std::shared_ptr<rclcpp::Node> node_;
  std::string action_;
  rclcpp_action::Client<Sequence>::SharedPtr client_;
  std::map<rclcpp_action::GoalUUID, std::shared_future<ClientGoalHandle::WrappedResult>>
      results_by_goal_;
  std::vector<int32_t> last_feedback_;
  bool in_order_ = true;
  std::string responses_;
  std::string results_;
};

rclcpp_action::GoalUUID random_id() {
  std::mt19937 random(std::random_device{}());
  rclcpp_action::GoalUUID id;
  for (auto& byte : id) byte = static_cast<uint8_t>(random() | 1);
  return id;
}

// What the server's own services answer for a goal id, as any peer would ask.
struct RawServices {
  explicit RawServices(Scenario& s)
      : scenario(s),
        cancel(s.node()->create_client<action_msgs::srv::CancelGoal>(s.action() +
                                                                     "/_action/cancel_goal")),
        result(s.node()->create_client<Sequence::Impl::GetResultService>(s.action() +
                                                                         "/_action/get_result")) {}

  std::string cancel_by_id(const rclcpp_action::GoalUUID& id) {
    auto request = std::make_shared<action_msgs::srv::CancelGoal::Request>();
    request->goal_info.goal_id.uuid = id;
    auto future = cancel->async_send_request(request);
    if (!scenario.complete(future)) return "no cancel response";
    return "raw cancel return " + std::to_string(future.get()->return_code);
  }

  int8_t result_status(const rclcpp_action::GoalUUID& id) {
    auto request = std::make_shared<Sequence::Impl::GetResultService::Request>();
    request->goal_id.uuid = id;
    auto future = result->async_send_request(request);
    if (!scenario.complete(future)) return -1;
    return future.get()->status;
  }

  Scenario& scenario;
  rclcpp::Client<action_msgs::srv::CancelGoal>::SharedPtr cancel;
  rclcpp::Client<Sequence::Impl::GetResultService>::SharedPtr result;
};

int run_client(const std::string& scenario_name, const std::string& action) {
  Scenario s(action);
  if (!s.client()->wait_for_action_server(std::chrono::seconds(15))) {
    say("no action server");
    return 1;
  }
  say("server ready");
  const std::string& name = scenario_name;
  if (name == "succeed" || name == "abort") {
    auto handle = s.send(5, name);
    if (!handle) return 1;
    say(std::string("accepted stamp ") +
        (handle->get_goal_stamp().nanoseconds() == 0 ? "zero" : "set"));
    say(std::string("aware feedback ") + (handle->is_feedback_aware() ? "yes" : "no") + " result " +
        (handle->is_result_aware() ? "yes" : "no"));
    say("result " + s.result(handle));
    say(s.feedback());
    say("status " + std::string(status_name(handle->get_status())));
    say("result callback " + s.results());
  } else if (name == "reject") {
    auto handle = s.send(3, "reject");
    say(std::string("goal ") + (handle ? "accepted" : "rejected") + ", response callback " +
        s.responses());
  } else if (name == "cancel" || name == "cancel_refused") {
    auto handle = name == "cancel" ? s.send(1, "hold") : s.send(3, "refuse_cancel");
    if (!handle || !s.feedback_came()) return 1;
    say(s.cancel(s.client()->async_cancel_goal(handle)));
    say("result " + s.result(handle));
  } else if (name == "cancel_all") {
    auto first = s.send(0, "hold");
    auto second = s.send(0, "hold");
    if (!first || !second) return 1;
    say(s.cancel(s.client()->async_cancel_all_goals()));
    say("first " + s.result(first));
    say("second " + s.result(second));
  } else if (name == "cancel_before") {
    // The server stamps a goal after its response: its status says it has.
    std::set<rclcpp_action::GoalUUID> listed;
    auto status = s.node()->create_subscription<action_msgs::msg::GoalStatusArray>(
        action + "/_action/status", rclcpp::QoS(1).transient_local(),
        [&listed](std::shared_ptr<action_msgs::msg::GoalStatusArray> message) {
          for (const auto& goal : message->status_list) listed.insert(goal.goal_info.goal_id.uuid);
        });
    auto first = s.send(0, "hold");
    if (!first || !s.spin_until([&] { return listed.count(first->get_goal_id()) != 0; })) {
      return 1;
    }
    const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
    const rclcpp::Time between(
        std::chrono::duration_cast<std::chrono::nanoseconds>(since_epoch).count());
    auto second = s.send(0, "hold");
    if (!first || !second) return 1;
    say(s.cancel(s.client()->async_cancel_goals_before(between)));
    say("first " + s.result(first));
    say(s.cancel(s.client()->async_cancel_goal(second)));
    say("second " + s.result(second));
  } else if (name == "after_end") {
    // The result asked for once the goal has ended, and what a cancel then gets.
    auto handle = s.send(0, "succeed", false);
    if (!handle) return 1;
    if (!s.spin_until([&] { return handle->get_status() == 4; })) return 1;
    say(std::string("aware result ") + (handle->is_result_aware() ? "yes" : "no"));
    say(s.cancel(s.client()->async_cancel_goal(handle)));
    say("result " + s.result(handle));
    try {
      s.client()->async_get_result(handle);
      say("handle still known");
    } catch (const rclcpp_action::exceptions::UnknownGoalHandleError&) {
      say("handle unknown after its result");
    }
  } else if (name == "unknown") {
    RawServices raw(s);
    const auto id = random_id();
    say(raw.cancel_by_id(id));
    say("raw result status " + std::to_string(raw.result_status(id)));
    say(s.cancel(s.client()->async_cancel_all_goals()));
  } else if (name == "defer") {
    auto handle = s.send(2, "defer");
    if (!handle) return 1;
    std::vector<int8_t> seen{handle->get_status()};
    s.spin_until([&] {
      if (handle->get_status() != seen.back()) seen.push_back(handle->get_status());
      return seen.back() == 4;
    });
    std::string text;
    for (int8_t status : seen) text += std::string(" ") + status_name(status);
    say("statuses" + text);
    say("result " + s.result(handle));
  } else if (name == "drop") {
    auto handle = s.send(1, "drop");
    if (!handle) return 1;
    say("result " + s.result(handle));
  } else if (name == "status") {
    // The status topic as a subscriber that comes late sees it, then its changes.
    std::vector<action_msgs::msg::GoalStatusArray> arrays;
    auto subscription = s.node()->create_subscription<action_msgs::msg::GoalStatusArray>(
        action + "/_action/status", rclcpp::QoS(1).transient_local(),
        [&arrays](std::shared_ptr<action_msgs::msg::GoalStatusArray> message) {
          arrays.push_back(*message);
        });
    auto succeeded = s.send(0, "succeed");
    auto aborted = s.send(0, "abort");
    auto held = s.send(0, "hold");
    if (!succeeded || !aborted || !held) return 1;
    s.result(succeeded);
    s.result(aborted);
    s.cancel(s.client()->async_cancel_goal(held));
    s.result(held);
    std::map<rclcpp_action::GoalUUID, std::string> labels{{succeeded->get_goal_id(), "first"},
                                                          {aborted->get_goal_id(), "second"},
                                                          {held->get_goal_id(), "third"}};
    auto describe = [&labels](const action_msgs::msg::GoalStatusArray& array) {
      std::string text;
      for (const auto& status : array.status_list) {
        auto label = labels.find(status.goal_info.goal_id.uuid);
        text += (text.empty() ? "" : ", ") +
                (label == labels.end() ? std::string("other") : label->second) + " " +
                status_name(status.status) + (status.goal_info.stamp.sec == 0 ? " unstamped" : "");
      }
      return text;
    };
    const std::string final_text = "first SUCCEEDED, second ABORTED, third CANCELED";
    s.spin_until([&] { return !arrays.empty() && describe(arrays.back()) == final_text; });
    say("status " + (arrays.empty() ? std::string("none") : describe(arrays.back())));
    auto late = s.node()->create_subscription<action_msgs::msg::GoalStatusArray>(
        action + "/_action/status", rclcpp::QoS(1).transient_local(),
        [&arrays](std::shared_ptr<action_msgs::msg::GoalStatusArray> message) {
          arrays.push_back(*message);
        });
    arrays.clear();
    s.spin_until([&] { return !arrays.empty(); });
    say("late subscriber " + (arrays.empty() ? std::string("none") : describe(arrays.back())));
  } else if (name == "expire") {
    // Run against a server with a short result_timeout.
    auto handle = s.send(0, "succeed");
    if (!handle) return 1;
    const auto id = handle->get_goal_id();
    say("result " + s.result(handle));
    RawServices raw(s);
    say("raw result status " + std::to_string(raw.result_status(id)));
    int8_t status = 4;
    s.spin_until([&] {
      status = raw.result_status(id);
      return status == 0;
    });
    say("raw result status later " + std::to_string(status));
    say(raw.cancel_by_id(id));
    // An expiry publishes no status: a subscriber that comes now still sees the goal.
    std::vector<action_msgs::msg::GoalStatusArray> arrays;
    auto late = s.node()->create_subscription<action_msgs::msg::GoalStatusArray>(
        action + "/_action/status", rclcpp::QoS(1).transient_local(),
        [&arrays](std::shared_ptr<action_msgs::msg::GoalStatusArray> message) {
          arrays.push_back(*message);
        });
    s.spin_until([&] { return !arrays.empty(); });
    std::string listed = arrays.empty() ? "none" : "without the expired goal";
    for (const auto& status :
         arrays.empty() ? std::vector<action_msgs::msg::GoalStatus>() : arrays.back().status_list) {
      if (status.goal_info.goal_id.uuid == id) {
        listed = "with the expired goal " + std::string(status_name(status.status));
      }
    }
    say("late status " + listed);
  } else if (name == "leave") {
    // Goes away in the middle of a goal that asked for its result.
    auto handle = s.send(20, "succeed");
    if (!handle || !s.feedback_came()) return 1;
    say("leaving");
    std::_Exit(0);
  } else if (name == "linger") {
    // An idle client that tools can see, until SIGINT or SIGTERM (60 s at most).
    say("lingering");
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    while (rclcpp::ok() && Clock::now() < deadline) {
      rclcpp::spin_some(s.node());
      rclcpp::sleep_for(milliseconds(20));
    }
  } else {
    say("unknown scenario " + name);
    return 1;
  }
  say("done");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  rclcpp::init(argc, argv);
  std::vector<std::string> args;
  for (int i = 1; i < argc && std::string(argv[i]) != "--ros-args"; ++i) args.push_back(argv[i]);
  int status = 1;
  if (args.size() >= 1 && args[0] == "server") {
    double result_timeout = -1;
    std::string action = "sequence";
    for (size_t i = 1; i < args.size(); ++i) {
      if (args[i] == "--result-timeout" && i + 1 < args.size()) {
        result_timeout = std::atof(args[++i].c_str());
      } else {
        action = args[i];
      }
    }
    status = run_server(action, result_timeout);
  } else if (args.size() >= 2 && args[0] == "client") {
    status = run_client(args[1], args.size() >= 3 ? args[2] : "sequence");
  } else {
    std::cerr << "usage: action_peer server [ACTION] [--result-timeout SECONDS] | "
                 "action_peer client SCENARIO [ACTION]"
              << std::endl;
  }
  rclcpp::shutdown();
  return status;
}
