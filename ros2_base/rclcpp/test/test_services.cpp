// Services between a client here and a server in test_peer, and against
// endpoints made by hand that play the other side as rmw_cyclonedds_cpp would.
// Each test has a ROS_DOMAIN_ID of its own.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "entities.hpp"
#include "rclcpp/rclcpp.hpp"
#include "serialization.hpp"
#include "sertype.hpp"
#include "test_support/child_process.hpp"
#include "wire_test_msgs/srv/echo.hpp"

namespace {

using Echo = wire_test_msgs::srv::Echo;
using std::chrono::milliseconds;
using test_support::ChildProcess;
using test_support::wait_until;
using Clock = std::chrono::steady_clock;

constexpr milliseconds kStartup{10000};
constexpr milliseconds kReply{10000};

class Services : public testing::Test {
 protected:
  void TearDown() override { rclcpp::shutdown(); }

  rclcpp::Node::SharedPtr start(const char* domain_id) {
    domain_id_ = domain_id;
    setenv("ROS_DOMAIN_ID", domain_id, 1);
    const char* args[] = {"test_services"};
    rclcpp::init(1, args);
    return std::make_shared<rclcpp::Node>("client");
  }

  std::unique_ptr<ChildProcess> start_server(const std::string& service) {
    ChildProcess::Options options;
    options.set_env = {"ROS_DOMAIN_ID=" + domain_id_};
    auto server = std::make_unique<ChildProcess>(
        std::vector<std::string>{TEST_PEER, "serve", service}, options);
    EXPECT_TRUE(server->wait_for_line_containing("ready", kStartup)) << server->stderr_text();
    return server;
  }

  std::string domain_id_;
};

std::shared_ptr<Echo::Request> echo_request(int32_t id, size_t size) {
  auto request = std::make_shared<Echo::Request>();
  request->id = id;
  request->data.resize(size);
  for (size_t i = 0; i < size; ++i) {
    request->data[i] = static_cast<uint8_t>(i * 31 + static_cast<size_t>(id));
  }
  request->text = "request " + std::to_string(id);
  return request;
}

// One call, answered within kReply; nullptr otherwise.
std::shared_ptr<Echo::Response> call(const rclcpp::Node::SharedPtr& node,
                                     const rclcpp::Client<Echo>::SharedPtr& client,
                                     std::shared_ptr<Echo::Request> request) {
  auto result = client->async_send_request(std::move(request));
  if (rclcpp::spin_until_future_complete(node, result, kReply) !=
      rclcpp::FutureReturnCode::SUCCESS) {
    return nullptr;
  }
  return result.get();
}

TEST_F(Services, LargeRequestsAndRepliesCrossIntact) {
  auto node = start("140");
  auto server = start_server("echo");
  auto client = node->create_client<Echo>("echo");
  ASSERT_TRUE(client->wait_for_service(kStartup));
  int32_t id = 0;
  for (size_t size : {size_t{0}, size_t{1}, size_t{300000}, size_t{700001}}) {
    auto request = echo_request(++id, size);
    auto response = call(node, client, request);
    ASSERT_NE(response, nullptr) << size;
    EXPECT_EQ(response->id, request->id);
    EXPECT_EQ(response->data, request->data) << size;
    EXPECT_EQ(response->text, request->text);
    EXPECT_EQ(response->server.rfind("pid ", 0), 0u);
  }
}

// A burst the server answers one per spin: the parameters depth holds it
// all, and each reply completes the request it answers, once.
TEST_F(Services, ManyRequestsInFlightEachCompleteTheirOwn) {
  auto node = start("141");
  auto server = start_server("/burst");
  auto client = node->create_client<Echo>("/burst", rclcpp::ParametersQoS());
  ASSERT_TRUE(client->wait_for_service(kStartup));
  constexpr int32_t kCount = 200;
  std::vector<rclcpp::Client<Echo>::FutureAndRequestId> futures;
  std::vector<int32_t> by_callback;
  std::set<int64_t> request_ids;
  for (int32_t id = 0; id < kCount; ++id) {
    if (id % 2 == 0) {
      futures.push_back(client->async_send_request(echo_request(id, 1000)));
      request_ids.insert(futures.back().request_id);
    } else {
      auto sent = client->async_send_request(
          echo_request(id, 1000), [&by_callback, id](rclcpp::Client<Echo>::SharedFuture future) {
            EXPECT_EQ(future.get()->id, id);
            by_callback.push_back(id);
          });
      request_ids.insert(sent.request_id);
    }
  }
  EXPECT_EQ(request_ids.size(), static_cast<size_t>(kCount));
  auto all_done = [&] {
    for (const auto& f : futures) {
      if (f.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        return false;
      }
    }
    return by_callback.size() == kCount / 2;
  };
  ASSERT_TRUE(wait_until(
      [&] {
        rclcpp::spin_some(node);
        return all_done();
      },
      milliseconds(30000)))
      << by_callback.size() << " callbacks";
  for (size_t i = 0; i < futures.size(); ++i) {
    auto response = futures[i].get();
    EXPECT_EQ(response->id, static_cast<int32_t>(2 * i));
    EXPECT_EQ(response->data, echo_request(response->id, 1000)->data);
  }
  EXPECT_EQ(std::set<int32_t>(by_callback.begin(), by_callback.end()).size(), kCount / 2u);
}

TEST_F(Services, ServerRestartedBetweenCalls) {
  auto node = start("142");
  auto client = node->create_client<Echo>("/restarted");
  auto first = start_server("/restarted");
  ASSERT_TRUE(client->wait_for_service(kStartup));
  auto before = call(node, client, echo_request(1, 10));
  ASSERT_NE(before, nullptr);

  first->send_signal(SIGTERM);
  ASSERT_EQ(first->wait_exit(kStartup), 0);
  ASSERT_TRUE(wait_until([&] { return !client->service_is_ready(); }, kStartup));
  // Sent to nobody: never answered, then forgotten.
  auto lost = client->async_send_request(echo_request(2, 10));
  EXPECT_EQ(rclcpp::spin_until_future_complete(node, lost, milliseconds(300)),
            rclcpp::FutureReturnCode::TIMEOUT);
  EXPECT_TRUE(client->remove_pending_request(lost.request_id));

  auto second = start_server("/restarted");
  ASSERT_TRUE(client->wait_for_service(kStartup));
  auto after = call(node, client, echo_request(3, 10));
  ASSERT_NE(after, nullptr);
  EXPECT_EQ(after->id, 3);
  EXPECT_NE(after->server, before->server);
}

// Waits that end on time, and on shutdown even when told to wait forever.
TEST_F(Services, ClientWithoutServerGivesUp) {
  auto node = start("143");
  auto client = node->create_client<Echo>("absent");
  EXPECT_STREQ(client->get_service_name(), "/absent");
  const auto begin = Clock::now();
  EXPECT_FALSE(client->wait_for_service(milliseconds(300)));
  const auto waited = Clock::now() - begin;
  EXPECT_GE(waited, milliseconds(300));
  EXPECT_LT(waited, milliseconds(2000));
  EXPECT_FALSE(client->service_is_ready());

  auto unanswered = client->async_send_request(echo_request(1, 1));
  EXPECT_EQ(rclcpp::spin_until_future_complete(node, unanswered, milliseconds(0)),
            rclcpp::FutureReturnCode::TIMEOUT);
  std::thread stopper([] {
    std::this_thread::sleep_for(milliseconds(200));
    rclcpp::shutdown();
  });
  EXPECT_EQ(rclcpp::spin_until_future_complete(node, unanswered),
            rclcpp::FutureReturnCode::INTERRUPTED);
  EXPECT_FALSE(client->wait_for_service());
  stopper.join();
}

// The request header's bytes ahead of the request's, as rmw_cyclonedds_cpp
// lays them out: client id and sequence number in host order, then the
// message with alignment counted from the client id.
TEST(ServiceWire, RequestSampleIsHeaderThenMessage) {
  Echo::Request request;
  request.id = 7;
  request.data = {1, 2, 3};
  request.text = "ab";
  const rclcpp_dds::RequestHeader header{0x0807060504030201u, 3};
  std::vector<unsigned char> bytes;
  rclcpp_dds::serialize(rclcpp_dds::message_members<Echo::Request>(), &request, bytes, &header);
  const std::vector<unsigned char> expected = {
      0x00, 0x01, 0x00, 0x00,                          // XCDR1, little endian
      0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,  // client id
      0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // sequence number
      0x07, 0x00, 0x00, 0x00,                          // id
      0x03, 0x00, 0x00, 0x00, 0x01, 0x02, 0x03,        // data
      0x00,                                            // pad to 4
      0x03, 0x00, 0x00, 0x00, 'a',  'b',  0x00,        // text
      0x00,                                            // whole words
  };
  EXPECT_EQ(bytes, expected);
  Echo::Request back;
  rclcpp_dds::RequestHeader back_header;
  ASSERT_TRUE(rclcpp_dds::deserialize(rclcpp_dds::message_members<Echo::Request>(), bytes.data(),
                                      bytes.size(), &back, &back_header));
  EXPECT_EQ(back, request);
  EXPECT_EQ(back_header.guid, header.guid);
  EXPECT_EQ(back_header.sequence, header.sequence);
}

using rclcpp_dds::Endpoint;

std::string user_data_of(dds_builtintopic_endpoint_t* endpoint) {
  void* data = nullptr;
  size_t size = 0;
  std::string text;
  if (endpoint != nullptr && dds_qget_userdata(endpoint->qos, &data, &size)) {
    text.assign(static_cast<const char*>(data), size);
    dds_free(data);
  }
  dds_builtintopic_free_endpoint(endpoint);
  return text;
}

// "<key>=" and 16 hex bytes joined by '.', the first padded to two characters, then ';'.
bool is_pair_id(const std::string& text, const std::string& key) {
  if (text.rfind(key + "=", 0) != 0 || text.back() != ';') {
    return false;
  }
  const std::string id = text.substr(key.size() + 1, text.size() - key.size() - 2);
  size_t fields = 1;
  for (char c : id) {
    fields += c == '.';
  }
  return fields == 16 && id.find('.') == 2 &&
         id.find_first_not_of(" 0123456789abcdef.") == std::string::npos;
}

// Our service answering a client made by hand: the reply waits until the
// client's reply reader is matched, and echoes the request header.
TEST_F(Services, ReplyWaitsForTheClientsReaderAndEchoesTheHeader) {
  auto node = start("144");
  std::shared_ptr<rmw_request_id_t> seen;
  auto service =
      node->create_service<Echo>("~/echo", [&](const std::shared_ptr<rmw_request_id_t> header,
                                               const std::shared_ptr<Echo::Request> request,
                                               std::shared_ptr<Echo::Response> response) {
        seen = header;
        response->id = request->id;
      });
  EXPECT_STREQ(service->get_service_name(), "/client/echo");
  const rclcpp::ServicesQoS qos;
  const auto& request_members = rclcpp_dds::message_members<Echo::Request>();
  const auto& response_members = rclcpp_dds::message_members<Echo::Response>();
  Endpoint request_writer(Endpoint::Kind::writer, "/client/echo", {"rq/client/echoRequest", true},
                          request_members, qos, "clientid=by hand;");
  ASSERT_TRUE(wait_until(
      [&] {
        dds_publication_matched_status_t status{};
        dds_get_publication_matched_status(request_writer.entity(), &status);
        return status.current_count == 1;
      },
      kStartup));
  dds_instance_handle_t service_reader = 0;
  ASSERT_EQ(dds_get_matched_subscriptions(request_writer.entity(), &service_reader, 1), 1);
  EXPECT_TRUE(is_pair_id(
      user_data_of(dds_get_matched_subscription_data(request_writer.entity(), service_reader)),
      "serviceid"));

  Echo::Request request;
  request.id = 5;
  rclcpp_dds::RequestHeader header{0x1122334455667788u, 42};
  const rclcpp_dds::Sample sample{&request, &header};
  ASSERT_GE(dds_write(request_writer.entity(), &sample), 0);
  ASSERT_TRUE(wait_until(
      [&] {
        rclcpp::spin_some(node);
        return seen != nullptr;
      },
      kStartup));
  EXPECT_EQ(std::memcmp(seen->writer_guid, &header.guid, 8), 0);
  EXPECT_EQ(seen->sequence_number, 42);

  // Only now the client's reader: a reply sent at once would have been lost.
  Endpoint reply_reader(Endpoint::Kind::reader, "/client/echo", {"rr/client/echoReply", true},
                        response_members, qos, "clientid=by hand;");
  Echo::Response response;
  rclcpp_dds::RequestHeader echoed;
  ASSERT_TRUE(wait_until(
      [&] {
        rclcpp::spin_some(node);
        return rclcpp_dds::take_one(reply_reader.entity(), {&response, &echoed}) == 1;
      },
      kStartup));
  EXPECT_EQ(response.id, 5);
  EXPECT_EQ(echoed.guid, header.guid);
  EXPECT_EQ(echoed.sequence, 42);
}

// Our client against a service made by hand: it is available once both of
// the service's endpoints are matched, its requests carry its id, and a
// reply with another client's id is dropped.
TEST_F(Services, ClientTakesOnlyRepliesWithItsId) {
  auto node = start("145");
  auto client = node->create_client<Echo>("/by_hand");
  const rclcpp::ServicesQoS qos;
  Endpoint request_reader(Endpoint::Kind::reader, "/by_hand", {"rq/by_handRequest", true},
                          rclcpp_dds::message_members<Echo::Request>(), qos, "serviceid=x;");
  EXPECT_FALSE(client->wait_for_service(milliseconds(300)));
  Endpoint reply_writer(Endpoint::Kind::writer, "/by_hand", {"rr/by_handReply", true},
                        rclcpp_dds::message_members<Echo::Response>(), qos, "serviceid=x;");
  ASSERT_TRUE(client->wait_for_service(kStartup));

  auto result = client->async_send_request(echo_request(9, 4));
  Echo::Request request;
  rclcpp_dds::RequestHeader header;
  dds_sample_info_t info;
  ASSERT_TRUE(wait_until(
      [&] {
        return rclcpp_dds::take_one(request_reader.entity(), {&request, &header}, &info) == 1;
      },
      kStartup));
  EXPECT_EQ(request.id, 9);
  EXPECT_EQ(header.sequence, result.request_id);
  EXPECT_NE(header.guid, 0u);
  EXPECT_TRUE(is_pair_id(user_data_of(dds_get_matched_publication_data(request_reader.entity(),
                                                                       info.publication_handle)),
                         "clientid"));

  Echo::Response theirs;
  theirs.id = -1;
  rclcpp_dds::RequestHeader their_header{header.guid + 1, header.sequence};
  const rclcpp_dds::Sample their_sample{&theirs, &their_header};
  ASSERT_GE(dds_write(reply_writer.entity(), &their_sample), 0);
  Echo::Response ours;
  ours.id = 9;
  const rclcpp_dds::Sample our_sample{&ours, &header};
  ASSERT_GE(dds_write(reply_writer.entity(), &our_sample), 0);
  ASSERT_EQ(rclcpp::spin_until_future_complete(node, result, kReply),
            rclcpp::FutureReturnCode::SUCCESS);
  EXPECT_EQ(result.get()->id, 9);
}

// A service that defers its replies: each goes out when sent, from any thread,
// to the client whose request it answers and to no other.
TEST_F(Services, DeferredRepliesGoToTheirOwnClientWhenSent) {
  auto node = start("146");
  std::vector<std::pair<std::shared_ptr<rmw_request_id_t>, int32_t>> waiting;
  auto service = node->create_service<Echo>(
      "deferred",
      [&waiting](std::shared_ptr<rmw_request_id_t> header, std::shared_ptr<Echo::Request> request) {
        waiting.emplace_back(std::move(header), request->id);
      });
  auto first = node->create_client<Echo>("deferred");
  auto second = node->create_client<Echo>("deferred");
  ASSERT_TRUE(first->wait_for_service(kStartup));
  ASSERT_TRUE(second->wait_for_service(kStartup));
  auto first_reply = first->async_send_request(echo_request(1, 10));
  auto second_reply = second->async_send_request(echo_request(2, 10));
  auto ready = [](const auto& future) {
    return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
  };
  ASSERT_TRUE(wait_until(
      [&] {
        rclcpp::spin_some(node);
        return waiting.size() == 2;
      },
      kReply));
  rclcpp::spin_some(node);
  EXPECT_FALSE(ready(first_reply));
  EXPECT_FALSE(ready(second_reply));

  for (auto& [header, id] : waiting) {
    if (id == 2) {
      Echo::Response response;
      response.id = 20;
      service->send_response(*header, response);
    }
  }
  ASSERT_TRUE(wait_until(
      [&] {
        rclcpp::spin_some(node);
        return ready(second_reply);
      },
      kReply));
  EXPECT_EQ(second_reply.get()->id, 20);
  EXPECT_FALSE(ready(first_reply));

  std::thread elsewhere([&] {
    for (auto& [header, id] : waiting) {
      if (id == 1) {
        Echo::Response response;
        response.id = 10;
        service->send_response(*header, response);
      }
    }
  });
  elsewhere.join();
  ASSERT_TRUE(wait_until(
      [&] {
        rclcpp::spin_some(node);
        return ready(first_reply);
      },
      kReply));
  EXPECT_EQ(first_reply.get()->id, 10);
}

}  // namespace
