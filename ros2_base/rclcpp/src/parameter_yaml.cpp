#include "parameter_yaml.hpp"

#include <yaml-cpp/eventhandler.h>
#include <yaml-cpp/parser.h>
#include <yaml-cpp/yaml.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string_view>
#include <vector>

#include "names.hpp"

namespace rclcpp_dds {

namespace {

using rclcpp::ParameterValue;

// yaml-cpp tags quoted scalars "!"; other explicit tags, like rcl, do not change the typing.
bool is_plain(const YAML::Node& node) { return node.Tag() != "!"; }

// Scalars are typed as rcl types them, which is neither YAML 1.1 nor the 1.2 core schema: a
// plain scalar is a bool if it is one of y/yes/true/on or n/no/false/off in lower, Capitalised
// or UPPER case (the 1.1 words; 1.2 knows only true/false), else an integer if strtoll with
// base 0 reads all of it (0x1F is 31, and 010 is octal 8 where 1.2 reads 10), else a double if
// strtod reads all of it or it is a .inf/.nan form (1e3, inf and nan included), else a string.
// Quoted scalars are strings.
ParameterValue typed_scalar(const std::string& text, bool plain) {
  if (!plain) {
    return ParameterValue(text);
  }
  static const char* const kTrue[] = {"Y",    "y",    "yes", "Yes", "YES", "true",
                                      "True", "TRUE", "on",  "On",  "ON"};
  static const char* const kFalse[] = {"N",     "n",     "no",  "No",  "NO", "false",
                                       "False", "FALSE", "off", "Off", "OFF"};
  for (const char* word : kTrue) {
    if (text == word) {
      return ParameterValue(true);
    }
  }
  for (const char* word : kFalse) {
    if (text == word) {
      return ParameterValue(false);
    }
  }
  if (text.empty()) {
    return ParameterValue(text);
  }
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  const long long integer = std::strtoll(begin, &end, 0);
  if (errno == 0 && end != begin && *end == '\0') {
    return ParameterValue(static_cast<int64_t>(integer));
  }
  static const char* const kSpecial[] = {".nan",  ".NaN",  ".NAN",  ".inf",  ".Inf",  ".INF",
                                         "+.inf", "+.Inf", "+.INF", "-.inf", "-.Inf", "-.INF"};
  for (const char* word : kSpecial) {
    if (text == word) {
      const double magnitude = std::strtod(text.c_str() + text.find('.') + 1, nullptr);
      return ParameterValue(text[0] == '-' ? -magnitude : magnitude);
    }
  }
  errno = 0;
  const double real = std::strtod(begin, &end);
  if (errno == 0 && end != begin && *end == '\0') {
    return ParameterValue(real);
  }
  return ParameterValue(text);
}

// yaml-cpp reads `~` and `null` as null and drops the text; rcl keeps them as strings. An
// empty value has no text at all.
std::optional<std::string> null_literal(std::string_view source, const YAML::Mark& mark) {
  if (mark.pos < 0 || static_cast<size_t>(mark.pos) >= source.size()) {
    return std::nullopt;
  }
  const std::string_view rest = source.substr(static_cast<size_t>(mark.pos));
  for (std::string_view word : {"~", "null", "Null", "NULL"}) {
    if (rest.compare(0, word.size(), word) == 0) {
      const char next = rest.size() > word.size() ? rest[word.size()] : '\n';
      if (std::isspace(static_cast<unsigned char>(next)) || next == ',' || next == ']' ||
          next == '#') {
        return std::string(word);
      }
    }
  }
  return std::nullopt;
}

std::string at_line(const YAML::Node& node) {
  return node.Mark().line >= 0 ? " at line " + std::to_string(node.Mark().line + 1) : "";
}

ParameterValue scalar_value(const YAML::Node& node, std::string_view source) {
  if (node.IsNull()) {
    if (auto literal = null_literal(source, node.Mark())) {
      return ParameterValue(*literal);
    }
    throw ParameterYamlError("No value" + at_line(node));
  }
  if (node.Tag() == "tag:yaml.org,2002:str") {
    return ParameterValue(node.Scalar());
  }
  return typed_scalar(node.Scalar(), is_plain(node));
}

template <typename T>
std::vector<T> collect(const std::vector<ParameterValue>& items) {
  std::vector<T> values;
  for (const auto& item : items) {
    values.push_back(item.get<T>());
  }
  return values;
}

ParameterValue sequence_value(const YAML::Node& node, std::string_view source) {
  if (node.size() == 0) {
    throw ParameterYamlError("Empty sequence" + at_line(node) + ": its type cannot be inferred");
  }
  std::vector<ParameterValue> items;
  for (const auto& element : node) {
    if (!element.IsScalar() && !element.IsNull()) {
      throw ParameterYamlError("Sequences may hold only scalar values" + at_line(element));
    }
    items.push_back(scalar_value(element, source));
    if (items.back().get_type() != items.front().get_type()) {
      throw ParameterYamlError("Sequence should be of same type. Value type '" +
                               rclcpp::to_string(items.back().get_type()) + "' do not belong" +
                               at_line(element));
    }
  }
  switch (items.front().get_type()) {
    case rclcpp::PARAMETER_BOOL:
      return ParameterValue(collect<bool>(items));
    case rclcpp::PARAMETER_INTEGER:
      return ParameterValue(collect<int64_t>(items));
    case rclcpp::PARAMETER_DOUBLE:
      return ParameterValue(collect<double>(items));
    default:
      return ParameterValue(collect<std::string>(items));
  }
}

ParameterValue yaml_value(const YAML::Node& node, std::string_view source) {
  if (node.IsSequence()) {
    return sequence_value(node, source);
  }
  if (node.IsMap()) {
    throw ParameterYamlError("A map is not a parameter value" + at_line(node));
  }
  return scalar_value(node, source);
}

std::string yaml_error(const YAML::Exception& error) {
  std::string message = error.msg;
  if (!error.mark.is_null()) {
    message += " at line " + std::to_string(error.mark.line + 1) + ", column " +
               std::to_string(error.mark.column + 1);
  }
  return message;
}

// rcl reads a parameter file event by event and refuses the first alias it meets: a file
// that names a value twice starts no node on ROS 2 either.
class AliasRefusal : public YAML::EventHandler {
 public:
  void OnAlias(const YAML::Mark& mark, YAML::anchor_t) override {
    throw ParameterYamlError("Will not support aliasing at line " + std::to_string(mark.line + 1));
  }
  void OnDocumentStart(const YAML::Mark&) override {}
  void OnDocumentEnd() override {}
  void OnNull(const YAML::Mark&, YAML::anchor_t) override {}
  void OnScalar(const YAML::Mark&, const std::string&, YAML::anchor_t,
                const std::string&) override {}
  void OnSequenceStart(const YAML::Mark&, const std::string&, YAML::anchor_t,
                       YAML::EmitterStyle::value) override {}
  void OnSequenceEnd() override {}
  void OnMapStart(const YAML::Mark&, const std::string&, YAML::anchor_t,
                  YAML::EmitterStyle::value) override {}
  void OnMapEnd() override {}
};

void refuse_aliases(const std::string& text) {
  std::istringstream stream(text);
  YAML::Parser parser(stream);
  AliasRefusal refusal;
  while (parser.HandleNextDocument(refusal)) {
  }
}

// One walk over the documents of a file, within its bound on parameters.
class FileWalk {
 public:
  FileWalk(const ParameterSink& sink, std::string_view source) : sink_(sink), source_(source) {}

  // Keys above `ros__parameters` name the node; nested keys are namespaces joined with '/'.
  void add_nodes(const std::string& node_prefix, const YAML::Node& map) {
    for (const auto& entry : map) {
      const std::string key = key_of(entry.first);
      const YAML::Node& value = entry.second;
      if (key == "ros__parameters") {
        if (node_prefix.empty()) {
          throw ParameterYamlError("There are no node names before ros__parameters" +
                                   at_line(value));
        }
        if (auto problem = check_node_key(node_prefix)) {
          throw ParameterYamlError("Invalid node name '" + node_prefix + "'" +
                                   at_line(entry.first) + ": " + *problem);
        }
        if (value.IsMap()) {
          add_parameters(node_prefix, "", value);
        } else if (!value.IsNull()) {
          throw ParameterYamlError("Expected a map of parameters under ros__parameters" +
                                   at_line(value));
        }
      } else if (value.IsMap()) {
        add_nodes(node_prefix.empty() ? key : node_prefix + "/" + key, value);
      } else if (value.IsSequence()) {
        throw ParameterYamlError("Sequences can only be values and not keys in params. Error" +
                                 at_line(value));
      } else {
        throw ParameterYamlError("Cannot have a value before ros__parameters" +
                                 at_line(entry.first));
      }
    }
  }

 private:
  void add_parameters(const std::string& node, const std::string& prefix, const YAML::Node& map) {
    for (const auto& entry : map) {
      const std::string key = key_of(entry.first);
      const std::string name = prefix.empty() ? key : prefix + "." + key;
      const YAML::Node& value = entry.second;
      if (value.IsMap()) {
        add_parameters(node, name, value);
      } else if (value.IsNull() && !null_literal(source_, value.Mark())) {
        // An empty value has no position of its own.
        throw ParameterYamlError("No value" + at_line(entry.first));
      } else {
        if (++parameters_ > kMaxParametersPerFile) {
          throw ParameterYamlError("More than " + std::to_string(kMaxParametersPerFile) +
                                   " parameters in the file");
        }
        sink_(node, name, yaml_value(value, source_));
      }
    }
  }

  static std::string key_of(const YAML::Node& key) {
    if (!key.IsScalar() || key.Scalar().empty()) {
      throw ParameterYamlError("No key" + at_line(key));
    }
    return key.Scalar();
  }

  const ParameterSink& sink_;
  std::string_view source_;
  size_t parameters_ = 0;
};

}  // namespace

void read_parameter_file(const std::string& path, const ParameterSink& sink) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) {
    throw ParameterYamlError("Error opening YAML file (it is a directory)");
  }
  std::ifstream file(path);
  if (!file) {
    throw ParameterYamlError("Error opening YAML file (" + std::string(std::strerror(errno)) + ")");
  }
  // One byte more than allowed tells a file at the limit from one beyond it.
  std::string text(kMaxParameterFileBytes + 1, '\0');
  file.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(file.gcount()));
  if (text.size() > kMaxParameterFileBytes) {
    throw ParameterYamlError("File larger than " + std::to_string(kMaxParameterFileBytes >> 20) +
                             " MiB");
  }
  std::vector<YAML::Node> documents;
  try {
    refuse_aliases(text);
    documents = YAML::LoadAll(text);
  } catch (const YAML::Exception& error) {
    throw ParameterYamlError(yaml_error(error));
  }
  FileWalk walk(sink, text);
  for (const auto& document : documents) {
    if (document.IsMap()) {
      walk.add_nodes("", document);
    } else if (document.IsSequence()) {
      throw ParameterYamlError("Sequences can only be values and not keys in params. Error" +
                               at_line(document));
    } else if (!document.IsNull()) {
      throw ParameterYamlError("Cannot have a value before ros__parameters" + at_line(document));
    }
  }
}

rclcpp::ParameterValue parse_parameter_value(const std::string& text) {
  YAML::Node value;
  try {
    value = YAML::Load(text);
  } catch (const YAML::Exception& error) {
    throw ParameterYamlError(yaml_error(error));
  }
  return yaml_value(value, text);
}

}  // namespace rclcpp_dds
