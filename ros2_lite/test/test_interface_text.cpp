// `interface show`'s reading of .msg lines (rosidl_adapter's parser, one line at a
// time) and its printing of nested types, from files held in memory.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <stdexcept>

#include "interface_text.hpp"

namespace {

using ros2_lite::read_interface_line;

TEST(InterfaceLine, CommentsAsTheParserSeesThem) {
  EXPECT_TRUE(read_interface_line("p", "# A pose.").is_comment);
  EXPECT_TRUE(read_interface_line("p", "## two hashes").is_comment);
  // Nothing left once processed: the parser keeps no comment, so the line stays.
  EXPECT_FALSE(read_interface_line("p", "#").is_comment);
  EXPECT_FALSE(read_interface_line("p", "# [m]").is_comment);
  // Indented: neither a comment of the message nor of a field.
  const auto indented = read_interface_line("p", "  # more about x");
  EXPECT_FALSE(indented.is_comment);
  EXPECT_FALSE(indented.trailing_comment);

  const auto field = read_interface_line("p", "float64 x  # the x [m]");
  EXPECT_FALSE(field.is_comment);
  EXPECT_EQ(field.trailing_comment.value_or("none"), "the x");
  // Two units: none is taken out.
  EXPECT_EQ(read_interface_line("p", "float64 x #[m] or [s]").trailing_comment.value_or("none"),
            "[m] or [s]");
  EXPECT_FALSE(read_interface_line("p", "float64 x #").trailing_comment);
  EXPECT_EQ(read_interface_line("p", "int8 LOW=-1\t# lowest").trailing_comment.value_or("none"),
            "lowest");
}

TEST(InterfaceLine, NestedTypesOfFieldsOnly) {
  EXPECT_EQ(read_interface_line("p", "Nested[2] items").nested_type.value_or(""), "p/msg/Nested");
  EXPECT_EQ(read_interface_line("p", "Nested[<=2] items").nested_type.value_or(""), "p/msg/Nested");
  EXPECT_EQ(
      read_interface_line("p", "geometry_msgs/Point position # where").nested_type.value_or(""),
      "geometry_msgs/msg/Point");
  for (const char* plain : {"string<=8 name", "wstring w", "time stamp", "uint8[] data",
                            "int8 LOW=-1", "---", "", "# Point p", "Point"}) {
    EXPECT_FALSE(read_interface_line("p", plain).nested_type) << plain;
  }
}

// p/msg/Outer holds p/msg/Inner twice, Inner holds geometry_msgs/msg/Point.
std::vector<std::string> read(const std::string& type) {
  static const std::map<std::string, std::vector<std::string>> files{
      {"p/msg/Outer",
       {"# Outer.", "", "Inner first  # the first", "int8 LIMIT=3 # at most", "Inner[] more"}},
      {"p/msg/Inner", {"# Inner.", "geometry_msgs/Point at # [m] where", "", "bool ok"}},
      {"geometry_msgs/msg/Point", {"float64 x", "float64 y"}},
      {"p/msg/Broken", {"uint8 a", "Missing m", "uint8 b"}},
  };
  const auto found = files.find(type);
  if (found == files.end()) {
    throw std::runtime_error("Could not find the interface '" + type + "'");
  }
  return found->second;
}

std::string shown(const std::string& type, bool no_comments, bool all_comments) {
  std::ostringstream out;
  ros2_lite::show_interface(type, read, no_comments, all_comments, out);
  return out.str();
}

TEST(ShowInterface, NestedTypesOneTabInCommentsOnlyWhereAsked) {
  // Without comments a trailing comment is cut as ros2cli cuts it: up to the character
  // before the processed comment's text, so "# " and a unit ahead of it stay.
  const std::string inner =
      "\tgeometry_msgs/Point at # [m]\n\t\tfloat64 x\n\t\tfloat64 y\n\tbool ok\n";
  EXPECT_EQ(shown("p/msg/Outer", false, false), "# Outer.\n\nInner first  # the first\n" + inner +
                                                    "int8 LIMIT=3 # at most\n" + "Inner[] more\n" +
                                                    inner);
  EXPECT_EQ(shown("p/msg/Outer", true, false),
            "Inner first  #\n" + inner + "int8 LIMIT=3 #\nInner[] more\n" + inner);
  const std::string inner_commented =
      "\t# Inner.\n\tgeometry_msgs/Point at # [m] where\n\t\tfloat64 x\n\t\tfloat64 y\n\n"
      "\tbool ok\n";
  EXPECT_EQ(shown("p/msg/Outer", false, true), "# Outer.\n\nInner first  # the first\n" +
                                                   inner_commented + "int8 LIMIT=3 # at most\n" +
                                                   "Inner[] more\n" + inner_commented);
}

TEST(ShowInterface, WhatCameBeforeAMissingTypeIsPrinted) {
  std::ostringstream out;
  EXPECT_THROW(ros2_lite::show_interface("p/msg/Broken", read, false, false, out),
               std::runtime_error);
  EXPECT_EQ(out.str(), "uint8 a\nMissing m\n");
}

}  // namespace
