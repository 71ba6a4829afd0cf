// ros2 service list/type/find/call: the graph's services, and one call of a
// service type known by name, its request and response printed as Python's repr.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <functional>
#include <optional>
#include <thread>

#include "direct_node.hpp"
#include "graph_format.hpp"
#include "interrupts.hpp"
#include "message_yaml.hpp"
#include "python_text.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_dds/dynamic_type.hpp"
#include "verb.hpp"
#include "yaml_document.hpp"

namespace ros2_lite {
namespace {

using std::chrono::seconds;

// ros2cli waits for ever for the service and for its answer; a tool run from
// scripts must not. The bounds of the param verbs.
constexpr seconds kServiceWait{5};
constexpr seconds kAnswerWait{10};
constexpr std::chrono::milliseconds kDiscoveryGrace{500};

NamesAndTypes services(DirectNode& direct, const ParsedArgs& args) {
  NamesAndTypes all = direct.node().get_service_names_and_types();
  if (!args.has("--include-hidden-services")) {
    for (auto it = all.begin(); it != all.end();) {
      it = is_hidden_name(it->first) ? all.erase(it) : std::next(it);
    }
  }
  return all;
}

std::optional<std::string> service_list(const ParsedArgs& args, std::ostream& out,
                                        std::ostream& /*err*/) {
  DirectNode direct(args);
  const NamesAndTypes found = services(direct, args);
  if (args.has("--count-services")) {
    out << found.size() << "\n";
    return std::nullopt;
  }
  for (const auto& [name, types] : found) {
    out << name;
    if (args.has("--show-types")) {
      out << " [" << joined(types, [](const std::string& t) { return t; }) << "]";
    }
    out << "\n";
  }
  return std::nullopt;
}

std::optional<std::string> service_type(const ParsedArgs& args, std::ostream& out,
                                        std::ostream& /*err*/) {
  DirectNode direct(args);
  const NamesAndTypes found = services(direct, args);
  const auto it = found.find(args.positionals.at("service_name"));
  if (it == found.end()) {
    throw ExitStatus{1, ""};
  }
  for (const auto& type : it->second) {
    out << type << "\n";
  }
  return std::nullopt;
}

std::optional<std::string> service_find(const ParsedArgs& args, std::ostream& out,
                                        std::ostream& /*err*/) {
  DirectNode direct(args);
  const std::string& wanted = args.positionals.at("service_type");
  std::vector<std::string> names;
  for (const auto& [name, types] : services(direct, args)) {
    if (std::find(types.begin(), types.end(), wanted) != types.end()) {
      names.push_back(name);
    }
  }
  if (args.has("--count-services")) {
    out << names.size() << "\n";
    return std::nullopt;
  }
  for (const auto& name : names) {
    out << name << "\n";
  }
  return std::nullopt;
}

struct ServiceType {
  std::string package;
  std::string name;
};

// The type as ros2cli's requester imports it ("pkg/Type" is "pkg/srv/Type"); the
// failure it reports otherwise.
ServiceType service_type_of(const std::string& given) {
  std::vector<std::string> parts = split(given, '/');
  if (parts.size() == 2) {
    parts.insert(parts.begin() + 1, "srv");
  }
  const auto loads = [](const std::string& type) {
    try {
      rclcpp_dds::DynamicType::load(type);
      return true;
    } catch (const std::runtime_error&) {
      return false;
    }
  };
  if (parts.size() == 3 && !parts[0].empty() && !parts[2].empty()) {
    const std::string& kind = parts[1];
    const std::string base = parts[0] + "/" + kind + "/" + parts[2];
    if (kind == "srv" && loads(base + "_Request")) {
      return {parts[0], parts[2]};
    }
    if ((kind == "msg" && loads(base)) || (kind == "action" && loads(base + "_Goal"))) {
      throw std::runtime_error("The passed type is not a service");
    }
  }
  throw std::runtime_error("The passed service type is invalid");
}

// Spins until done() holds: false when the time is up.
bool spin_until(const rclcpp::Node::SharedPtr& node, const std::function<bool()>& done,
                std::chrono::steady_clock::duration limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (interrupt_signal() != 0) {
      throw ExitStatus{SIGINT, ""};  // as ros2cli after KeyboardInterrupt
    }
    rclcpp::spin_some(node);
    if (done()) {
      return true;
    }
    rclcpp::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

std::optional<std::string> call(const ServiceType& type, const std::string& service_name,
                                const YamlNode& values, std::optional<double> period,
                                std::ostream& out) {
  auto node =
      std::make_shared<rclcpp::Node>("_ros2cli_requester_" + type.package + "_" + type.name);
  auto client = node->create_generic_client(service_name, type.package + "/srv/" + type.name);
  auto request = client->create_request();
  if (const auto error =
          set_message_fields_str(client->request_type().members(), request.get(), values)) {
    return "Failed to populate field: " + *error;
  }
  // rclpy has found a running service by the time it asks (its start-up takes that
  // long): the waiting line only for one that is not there yet.
  const auto ready = [&] { return client->service_is_ready(); };
  if (!spin_until(node, ready, kDiscoveryGrace)) {
    out << "waiting for service to become available..." << std::endl;
    if (!spin_until(node, ready, kServiceWait - kDiscoveryGrace)) {
      throw ExitStatus{SIGINT, "Service '" + std::string(client->get_service_name()) +
                                   "' did not become available within " +
                                   std::to_string(kServiceWait.count()) + " s"};
    }
  }
  while (true) {
    out << "requester: making request: "
        << message_repr(client->request_type().members(), request.get(), true) << "\n"
        << std::endl;
    const auto last_call = std::chrono::steady_clock::now();
    auto future = client->async_send_request(request.get()).future.share();
    if (!spin_until(
            node, [&] { return future.wait_for(seconds(0)) == std::future_status::ready; },
            kAnswerWait)) {
      throw ExitStatus{SIGINT, "Service '" + std::string(client->get_service_name()) +
                                   "' did not answer within " +
                                   std::to_string(kAnswerWait.count()) + " s"};
    }
    out << "response:\n"
        << message_repr(client->response_type().members(), future.get().get()) << "\n"
        << std::endl;
    if (!period) {
      return std::nullopt;
    }
    const auto next = last_call + std::chrono::duration_cast<std::chrono::nanoseconds>(
                                      std::chrono::duration<double>(*period));
    while (std::chrono::steady_clock::now() < next) {
      if (interrupt_signal() != 0) {
        throw ExitStatus{SIGINT, ""};
      }
      std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
          next - std::chrono::steady_clock::now(), std::chrono::milliseconds(20)));
    }
  }
}

std::optional<std::string> service_call(const ParsedArgs& args, std::ostream& out,
                                        std::ostream& /*err*/) {
  std::optional<double> period;
  if (const auto rate = args.values.find("--rate"); rate != args.values.end()) {
    const double hz = python_float_value(rate->second).value_or(0);
    if (!(hz > 0) && !std::isnan(hz)) {
      return "rate must be greater than zero";
    }
    // Python's 1 / inf is 0 and nan passes its check: calls as fast as they come.
    period = std::isfinite(hz) ? 1.0 / hz : 0.0;
  }
  const ServiceType type = service_type_of(args.positionals.at("service_type"));
  const auto given = args.positionals.find("values");
  const std::string text = given == args.positionals.end() ? "{}" : given->second;
  const auto values = safe_load(text);
  if (!values) {
    return "Failed to read the request values as YAML: " + text;
  }
  const char* argv[] = {"ros2_lite"};
  rclcpp::init(1, argv, rclcpp::InitOptions(), rclcpp::SignalHandlerOptions::None);
  catch_interrupts();
  std::optional<std::string> failure;
  try {
    failure = call(type, args.positionals.at("service_name"), *values, period, out);
  } catch (...) {
    rclcpp::shutdown();
    throw;
  }
  rclcpp::shutdown();
  return failure;
}

const Argument kCountServices{
    {"-c", "--count-services"}, "", Nargs::kZero, "Only display the number of services discovered"};
const Argument kIncludeHidden{
    {"--include-hidden-services"}, "", Nargs::kZero, "Consider hidden services as well"};

}  // namespace

std::vector<Verb> service_verbs() {
  return {
      {"service",
       "call",
       "Call a service",
       {{{},
         "service_name",
         Nargs::kOne,
         "Name of the ROS service to call to (e.g. '/add_two_ints')"},
        {{}, "service_type", Nargs::kOne, "Type of the ROS service (e.g. 'std_srvs/srv/Empty')"},
        {{},
         "values",
         Nargs::kOptional,
         "Values to fill the service request with in YAML format (e.g. '{a: 1, b: 2}'), "
         "otherwise the service request will be published with default values"},
        {{"-r", "--rate"}, "", Nargs::kOne, "Repeat the call at a specific rate in Hz", true, "N"}},
       service_call},
      {"service",
       "find",
       "Output a list of available services of a given type",
       {{{},
         "service_type",
         Nargs::kOne,
         "Name of the ROS service type to filter for (e.g. 'rcl_interfaces/srv/ListParameters')"},
        kCountServices,
        kIncludeHidden},
       service_find},
      {"service", "list", "Output a list of available services",
       DirectNode::options(
           {{{"-t", "--show-types"}, "", Nargs::kZero, "Additionally show the service type"},
            kCountServices,
            kIncludeHidden}),
       service_list},
      {"service",
       "type",
       "Output a service's type",
       {{{},
         "service_name",
         Nargs::kOne,
         "Name of the ROS service to get type (e.g. '/talker/list_parameters')"}},
       service_type},
  };
}

}  // namespace ros2_lite
