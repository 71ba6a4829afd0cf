#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document_template.hpp"
#include "keystore.hpp"
#include "security_policy.hpp"

namespace {

using ros2_lite::Grant;
using ros2_lite::policy_grants;
using ros2_lite::PolicyError;
using Names = std::vector<std::string>;

std::string policy(const std::string& profiles) {
  return "<policy version=\"0.2.0\"><enclaves><enclave path=\"/robot\">" + profiles +
         "</enclave></enclaves></policy>";
}

Grant only_grant(const std::string& profiles) {
  const auto grants = policy_grants(policy(profiles), "test.xml", "/robot");
  EXPECT_EQ(grants.size(), 1u);
  return grants.at(0);
}

std::string failure(const std::string& text, const std::string& enclave = "/robot") {
  try {
    policy_grants(text, "test.xml", enclave);
  } catch (const PolicyError& e) {
    return e.what();
  }
  return "";
}

TEST(SecurityPolicy, NamesResolveAgainstTheProfilesNamespaceAndNode) {
  const Grant grant = only_grant(
      "<profiles><profile ns=\"/bot\" node=\"dock\">"
      "<topics publish=\"ALLOW\"><topic>/abs</topic><topic>rel</topic><topic>~/own</topic>"
      "</topics></profile>"
      "<profile ns=\"/\" node=\"n\"><topics subscribe=\"ALLOW\"><topic>top</topic></topics>"
      "</profile></profiles>");
  EXPECT_EQ(grant.name, "/robot");
  EXPECT_EQ(grant.allow.publish, (Names{"rt/abs", "rt/bot/rel", "rt/bot/dock/own"}));
  EXPECT_EQ(grant.allow.subscribe, (Names{"rt/top"}));
  EXPECT_TRUE(grant.deny.empty());
}

TEST(SecurityPolicy, ServicesAndActionsBecomeTheirRequestAndReplyTopics) {
  Grant grant = only_grant(
      "<profiles><profile ns=\"/\" node=\"n\">"
      "<services request=\"ALLOW\"><service>add</service></services>"
      "<services reply=\"ALLOW\"><service>~/get</service></services>"
      "</profile></profiles>");
  EXPECT_EQ(grant.allow.publish, (Names{"rq/addRequest", "rr/n/getReply"}));
  EXPECT_EQ(grant.allow.subscribe, (Names{"rq/n/getRequest", "rr/addReply"}));

  grant = only_grant(
      "<profiles><profile ns=\"/\" node=\"n\"><actions call=\"ALLOW\"><action>go</action>"
      "</actions></profile></profiles>");
  EXPECT_EQ(grant.allow.publish,
            (Names{"rq/go/_action/cancel_goalRequest", "rq/go/_action/get_resultRequest",
                   "rq/go/_action/send_goalRequest"}));
  EXPECT_EQ(
      grant.allow.subscribe,
      (Names{"rr/go/_action/cancel_goalReply", "rr/go/_action/get_resultReply",
             "rr/go/_action/send_goalReply", "rt/go/_action/feedback", "rt/go/_action/status"}));
}

// Each list stays in its own order, lists are ordered by their first topic, and a
// topic granted twice is listed once.
TEST(SecurityPolicy, ListsOrderedByFirstTopicAndDuplicatesDropped) {
  const Grant grant = only_grant(
      "<profiles><profile ns=\"/\" node=\"n\">"
      "<topics publish=\"ALLOW\"><topic>z</topic><topic>a</topic></topics>"
      "<topics publish=\"ALLOW\"><topic>m</topic><topic>a</topic></topics>"
      "<topics publish=\"DENY\" subscribe=\"ALLOW\"><topic>cmd</topic></topics>"
      "</profile></profiles>");
  EXPECT_EQ(grant.allow.publish, (Names{"rt/m", "rt/a", "rt/z"}));
  EXPECT_EQ(grant.allow.subscribe, (Names{"rt/cmd"}));
  EXPECT_EQ(grant.deny.publish, (Names{"rt/cmd"}));
  EXPECT_TRUE(grant.deny.subscribe.empty());
}

TEST(SecurityPolicy, OneGrantPerProfilesOfTheFirstMatchingEnclave) {
  const std::string text =
      "<policy version=\"0.2.0\"><enclaves>"
      "<enclave path=\"/a\"><profiles><profile ns=\"/\" node=\"n\">"
      "<topics publish=\"ALLOW\"><topic>one</topic></topics></profile></profiles>"
      "<profiles><profile ns=\"/\" node=\"n\">"
      "<topics publish=\"ALLOW\"><topic>two</topic></topics></profile><metadata/></profiles>"
      "</enclave>"
      "<enclave path=\"/a\"><profiles><profile ns=\"/\" node=\"n\">"
      "<topics publish=\"ALLOW\"><topic>ignored</topic></topics></profile></profiles></enclave>"
      "</enclaves></policy>";
  const auto grants = policy_grants(text, "test.xml", "/a");
  ASSERT_EQ(grants.size(), 2u);
  EXPECT_EQ(grants[0].allow.publish, (Names{"rt/one"}));
  EXPECT_EQ(grants[1].allow.publish, (Names{"rt/two"}));
}

TEST(SecurityPolicy, FaultsNameTheLineAndTheCulprit) {
  const std::string profile_open = "<profiles><profile ns=\"/\" node=\"n\">";
  const std::string profile_close = "</profile></profiles>";
  EXPECT_EQ(failure(policy(profile_open + "<topics publish=\"YES\"><topic>t</topic></topics>" +
                           profile_close)),
            "test.xml:1: publish=\"YES\" must be ALLOW or DENY");
  EXPECT_EQ(failure(policy(profile_open + "<topics reply=\"ALLOW\"><topic>t</topic></topics>" +
                           profile_close)),
            "test.xml:1: <topics> has no attribute 'reply'");
  EXPECT_EQ(failure(policy(profile_open + "<topics publish=\"ALLOW\"><service>t</service>" +
                           "</topics>" + profile_close)),
            "test.xml:1: <topics> holds only <topic>, not <service>");
  EXPECT_EQ(failure(policy("<profiles><profile ns=\"/\"/></profiles>")),
            "test.xml:1: <profile> needs the attribute 'node'");
  EXPECT_EQ(failure("<policy version=\"0.1.0\"><enclaves/></policy>"),
            "test.xml:1: <policy> needs version=\"0.2.0\"");
  EXPECT_EQ(failure("<policy version=\"0.2.0\">\n<enclaves/>\n</policy>"),
            "test.xml:2: <enclaves> needs at least one <enclave>");
  EXPECT_EQ(failure("<policy version=\"0.2.0\">\n<enclaves>"),
            "test.xml:2: not well-formed XML: Premature end of data in tag enclaves line 2");
  EXPECT_EQ(failure(policy("<profiles><profile ns=\"/\" node=\"n\"/></profiles>"), "/other"),
            "unable to find enclave \"/other\"");
  EXPECT_THROW(ros2_lite::policy_file_grants("/nonexistent/policy.xml", "/robot"), PolicyError);
}

TEST(EnclaveName, ValidatedAsARosNamespace) {
  EXPECT_EQ(ros2_lite::enclave_name_problem("/"), std::nullopt);
  EXPECT_EQ(ros2_lite::enclave_name_problem("/robot_1/align_controller"), std::nullopt);
  EXPECT_EQ(ros2_lite::enclave_name_problem("robot"),
            "Invalid namespace: namespace must be absolute, it must lead with a '/':\n"
            "  'robot'\n"
            "   ^");
  EXPECT_EQ(ros2_lite::enclave_name_problem("/robot/1st"),
            "Invalid namespace: namespace must not have a token that starts with a number:\n"
            "  '/robot/1st'\n"
            "          ^");
  EXPECT_NE(ros2_lite::enclave_name_problem("/a//b"), std::nullopt);
  EXPECT_NE(ros2_lite::enclave_name_problem("/a-b"), std::nullopt);
  EXPECT_NE(ros2_lite::enclave_name_problem("/a/"), std::nullopt);
  EXPECT_NE(ros2_lite::enclave_name_problem("/" + std::string(245, 'a')), std::nullopt);
}

TEST(DocumentTemplate, FillsKnownKeysOnly) {
  EXPECT_EQ(ros2_lite::fill("<id>@ID@</id>@ID@", {{"ID", "7"}}), "<id>7</id>7");
  EXPECT_EQ(ros2_lite::fill("a@b.c @ID@ @", {{"ID", "7"}}), "a@b.c 7 @");
  EXPECT_EQ(ros2_lite::fill("@X@@ID@", {{"ID", "@X@"}}), "@X@@X@");
}

}  // namespace
