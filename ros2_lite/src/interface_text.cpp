#include "interface_text.hpp"

#include <algorithm>
#include <iterator>
#include <regex>

namespace ros2_lite {
namespace {

const char* const kPrimitives[] = {"bool",   "byte",   "char",    "float32",  "float64", "int8",
                                   "uint8",  "int16",  "uint16",  "int32",    "uint32",  "int64",
                                   "uint64", "string", "wstring", "duration", "time"};

// rosidl_adapter's process_comments of a one-line comment: a single unit in
// brackets taken out, then textwrap.dedent; nullopt where nothing is left.
std::optional<std::string> processed_comment(std::string comment) {
  static const std::regex unit(R"((\s*\[([^,\]]+)\]))");
  const auto begin = std::sregex_iterator(comment.begin(), comment.end(), unit);
  if (std::distance(begin, std::sregex_iterator()) == 1) {
    const std::string found = begin->str(1);
    for (size_t at; (at = comment.find(found)) != std::string::npos;) {
      comment.erase(at, found.size());
    }
  }
  if (comment.empty()) {
    return std::nullopt;
  }
  const size_t start = comment.find_first_not_of(" \t");
  return start == std::string::npos ? "" : comment.substr(start);
}

std::string lstrip_hashes(const std::string& text) {
  const size_t start = text.find_first_not_of('#');
  return start == std::string::npos ? "" : text.substr(start);
}

// The type of a field as rosidl_adapter's Type names it, if it is a message.
std::optional<std::string> message_type(const std::string& package, const std::string& type) {
  const std::string base = type.substr(0, type.find('['));
  for (const char* primitive : kPrimitives) {
    if (base == primitive) {
      return std::nullopt;
    }
  }
  if (base.rfind("string<=", 0) == 0 || base.rfind("wstring<=", 0) == 0) {
    return std::nullopt;
  }
  const size_t slash = base.find('/');
  if (slash == std::string::npos) {
    return package + "/msg/" + base;
  }
  return base.substr(0, slash) + "/msg/" + base.substr(slash + 1);
}

}  // namespace

InterfaceLine read_interface_line(const std::string& package, const std::string& text) {
  InterfaceLine line;
  line.text = text;
  if (text == "---") {
    return line;
  }
  if (!text.empty() && text[0] == '#') {
    line.is_comment = processed_comment(lstrip_hashes(text)).has_value();
    return line;
  }
  std::string body = text;
  for (char& c : body) {
    c = c == '\t' ? ' ' : c;
  }
  std::optional<std::string> comment;
  if (const size_t hash = body.find('#'); hash != std::string::npos) {
    comment = lstrip_hashes(body.substr(hash));
    body = body.substr(0, hash);
    // An indented comment belongs to no field here: the line is neither.
    if (!body.empty() && body.find_first_not_of(' ') == std::string::npos) {
      return line;
    }
    body = body.substr(0, body.find_last_not_of(' ') + 1);
    if (body.empty()) {
      return line;
    }
  }
  const size_t space = body.find(' ');
  if (space == std::string::npos || body.find_first_not_of(' ', space) == std::string::npos) {
    return line;
  }
  if (comment) {
    line.trailing_comment = processed_comment(*comment);
  }
  // A constant has '=' after its name; only fields are followed into their types.
  if (body.find('=', space) == std::string::npos) {
    line.nested_type = message_type(package, body.substr(0, space));
  }
  return line;
}

namespace {

void show(const std::string& type, const InterfaceReader& read, bool comments, bool nested_comments,
          size_t indent, std::ostream& out) {
  const std::string package = type.substr(0, type.find('/'));
  for (const std::string& text : read(type)) {
    const InterfaceLine line = read_interface_line(package, text);
    std::string shown = line.text;
    bool skip = false;
    if (!comments) {
      if (shown.empty() || line.is_comment) {
        skip = true;
      } else if (line.trailing_comment) {
        // Python's text[:text.find(comment) - 1].strip(), -1 and all.
        const auto found = shown.find(*line.trailing_comment);
        const long end = (found == std::string::npos ? -1L : static_cast<long>(found)) - 1;
        const long size = static_cast<long>(shown.size());
        shown = shown.substr(0, static_cast<size_t>(std::max(0L, end < 0 ? size + end : end)));
        const size_t first = shown.find_first_not_of(" \t");
        shown = first == std::string::npos
                    ? ""
                    : shown.substr(first, shown.find_last_not_of(" \t") - first + 1);
      }
    }
    if (!skip) {
      out << (shown.empty() ? "" : std::string(indent, '\t') + shown) << "\n";
    }
    if (line.nested_type) {
      show(*line.nested_type, read, nested_comments, nested_comments, indent + 1, out);
    }
  }
}

}  // namespace

void show_interface(const std::string& type, const InterfaceReader& read, bool no_comments,
                    bool all_comments, std::ostream& out) {
  show(type, read, !no_comments, all_comments, 0, out);
}

}  // namespace ros2_lite
