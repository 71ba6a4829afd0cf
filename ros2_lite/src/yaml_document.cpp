// A one-line YAML document read as PyYAML's scanner, parser and safe
// constructor read it, for the values `ros2 param set` types.
#include "yaml_document.hpp"

#include <cstring>
#include <map>

#include "python_text.hpp"

namespace ros2_lite {
namespace {

// Any error PyYAML would raise, or a result ros2 cannot take.
struct Failed {};

// How a scalar without a specific tag is typed: by the implicit resolvers, as a
// plain one, or as text, as a quoted one.
const std::string kResolve = "?";
const std::string kText = "!";

// What PyYAML's reader refuses: invalid UTF-8 and non-printable characters. Line
// breaks fail too: one line only.
void check_printable(const std::string& text) {
  const auto codes = code_points(text);
  if (!codes) {
    throw Failed{};
  }
  for (const uint32_t code : *codes) {
    const bool printable = code == 0x09 || (code >= 0x20 && code <= 0x7e) || code == 0x85 ||
                           (code >= 0xa0 && code <= 0xd7ff) || (code >= 0xe000 && code <= 0xfffd) ||
                           (code >= 0x10000 && code <= 0x10ffff);
    if (!printable) {
      throw Failed{};
    }
  }
}

class Loader {
 public:
  explicit Loader(const std::string& text) : t_(text) {}

  YamlNode document() {
    check_printable(t_);
    skip_to_token();
    if (t_.compare(0, 3, "---") == 0 && blank(peek(3))) {
      i_ = 3;
      skip_to_token();
    } else if (peek() == '%' || (t_.compare(0, 3, "...") == 0 && blank(peek(3)))) {
      throw Failed{};  // a directive, or a document that ends before it starts
    }
    if (peek() == '\0') {
      return YamlNode{};
    }
    YamlNode node = block_value();
    skip_to_token();
    if (peek() != '\0') {
      throw Failed{};
    }
    return node;
  }

 private:
  char peek(size_t ahead = 0) const { return i_ + ahead < t_.size() ? t_[i_ + ahead] : '\0'; }
  static bool blank(char c) { return c == '\0' || c == ' ' || c == '\t'; }
  static bool in(char c, const char* set) { return c != '\0' && std::strchr(set, c) != nullptr; }

  // scan_to_next_token: spaces, then a comment to the end of the line.
  void skip_to_token() {
    while (peek() == ' ') {
      ++i_;
    }
    if (peek() == '#') {
      i_ = t_.size();
    }
  }

  // A block node, or a one-pair block mapping when a ':' follows it.
  YamlNode block_value() {
    YamlNode node = this->node(false);
    skip_to_token();
    if (!(peek() == ':' && blank(peek(1)))) {
      return node;
    }
    ++i_;
    skip_to_token();
    YamlNode value;
    if (peek() != '\0') {
      if (peek() == '-' && blank(peek(1))) {
        throw Failed{};  // a block sequence cannot start on the key's line
      }
      value = this->node(false);
      skip_to_token();
      if (peek() == ':' && blank(peek(1))) {
        throw Failed{};  // "mapping values are not allowed here"
      }
    }
    YamlNode mapping;
    mapping.pairs.emplace();
    add_pair(mapping, std::move(node), std::move(value));
    return mapping;
  }

  // Keys must be hashable, and equal ones are one key, as in a dict.
  static void add_pair(YamlNode& mapping, YamlNode key, YamlNode value) {
    if (key.items || key.pairs) {
      throw Failed{};  // "found unhashable key"
    }
    for (auto& pair : *mapping.pairs) {
      if (same_key(pair.first.scalar, key.scalar)) {
        pair.second = std::move(value);
        return;
      }
    }
    mapping.pairs->emplace_back(std::move(key), std::move(value));
  }

  // Python's ==: True == 1 == 1.0.
  static bool same_key(const Scalar& a, const Scalar& b) {
    const auto number = [](const Scalar& s) -> std::optional<double> {
      if (const auto* v = std::get_if<bool>(&s)) return *v ? 1.0 : 0.0;
      if (const auto* v = std::get_if<int64_t>(&s)) return static_cast<double>(*v);
      if (const auto* v = std::get_if<double>(&s)) return *v;
      return std::nullopt;
    };
    const auto x = number(a), y = number(b);
    if (x && y) {
      return *x == *y;
    }
    return a == b;
  }

  YamlNode node(bool flow) {
    std::string tag;
    std::string anchor;
    bool has_tag = false;
    // At most one tag and one anchor, in either order.
    while ((peek() == '!' && !has_tag) || (peek() == '&' && anchor.empty())) {
      if (peek() == '!') {
        tag = scan_tag();
        has_tag = true;
      } else {
        anchor = scan_anchor();
      }
      skip_to_token();
    }
    YamlNode result = content(flow, has_tag, tag, has_tag || !anchor.empty());
    if (!anchor.empty()) {
      anchors_[anchor] = result;
    }
    return result;
  }

  YamlNode content(bool flow, bool has_tag, const std::string& tag, bool properties) {
    const char c = peek();
    if (c == '*' && !has_tag) {
      ++i_;
      const std::string name = scan_name();
      const auto found = anchors_.find(name);
      if (found == anchors_.end()) {
        throw Failed{};
      }
      return found->second;
    }
    if (c == '-' && blank(peek(1)) && !flow && !properties) {
      ++i_;
      skip_to_token();
      YamlNode sequence;
      sequence.items.emplace();
      sequence.items->push_back(peek() == '\0' ? YamlNode{} : block_value());
      return sequence;
    }
    if (c == '[') {
      if (has_tag && tag != "tag:yaml.org,2002:seq" && tag != kResolve) {
        throw Failed{};
      }
      return flow_sequence();
    }
    if (c == '{') {
      if (has_tag && tag != "tag:yaml.org,2002:map" && tag != kResolve) {
        throw Failed{};
      }
      return flow_mapping();
    }
    if (c == '\'' || c == '"') {
      const std::string text = c == '\'' ? single_quoted() : double_quoted();
      return scalar(has_tag ? tag : kText, text);
    }
    if (in(c, "|>") && !flow) {
      return block_scalar(has_tag ? tag : kText);
    }
    const bool empty = c == '\0' || (flow && in(c, ",]}"));
    if (empty) {
      if (!has_tag && flow) {
        throw Failed{};  // "expected the node content"
      }
      return scalar(has_tag ? tag : kResolve, "");
    }
    const bool plain_start =
        !in(c, "-?:,[]{}#&*!|>'\"%@`") || (!blank(peek(1)) && (c == '-' || (!flow && in(c, "?:"))));
    if (!plain_start || blank(c)) {
      throw Failed{};
    }
    return scalar(has_tag ? tag : kResolve, plain(flow));
  }

  // A scalar of a tag, or typed by the implicit resolvers, or text.
  YamlNode scalar(const std::string& tag, const std::string& text) {
    std::optional<Scalar> value;
    if (tag == kResolve) {
      value = resolve_plain(text);
    } else if (tag == kText) {
      value = text;
    } else if (tag.rfind("tag:yaml.org,2002:", 0) == 0) {
      value = construct_scalar(tag.substr(18), text);
    }
    if (!value) {
      throw Failed{};
    }
    return YamlNode{*value, std::nullopt, std::nullopt};
  }

  // "!!int", "!<tag:yaml.org,2002:int>"; a lone "!" leaves the scalar to the resolvers, as
  // a plain one; "!local" tags fail when constructed.
  std::string scan_tag() {
    ++i_;
    std::string tag;
    if (peek() == '<') {
      const size_t end = t_.find('>', i_);
      if (end == std::string::npos) {
        throw Failed{};
      }
      tag = t_.substr(i_ + 1, end - i_ - 1);
      i_ = end + 1;
    } else if (blank(peek())) {
      tag = kResolve;
    } else {
      const bool secondary = peek() == '!';
      i_ += secondary ? 1 : 0;
      const size_t start = i_;
      while (!blank(peek())) {
        ++i_;
      }
      tag = (secondary ? "tag:yaml.org,2002:" : "!local:") + t_.substr(start, i_ - start);
    }
    if (!blank(peek()) || peek() == '\t') {
      throw Failed{};
    }
    return tag;
  }

  std::string scan_name() {
    const size_t start = i_;
    while (std::isalnum(static_cast<unsigned char>(peek())) || peek() == '-' || peek() == '_') {
      ++i_;
    }
    if (i_ == start || !(blank(peek()) || in(peek(), "?:,]}%@`"))) {
      throw Failed{};
    }
    return t_.substr(start, i_ - start);
  }

  std::string scan_anchor() {
    ++i_;
    return scan_name();
  }

  // The entries of a flow collection after its opening bracket, up to `close`: separated
  // by commas, a comma after the last allowed.
  template <class EntryF>
  void flow_entries(char close, EntryF entry) {
    ++i_;
    for (bool first = true;; first = false) {
      skip_to_token();
      if (!first && peek() == ',') {
        ++i_;
        skip_to_token();
      } else if (!first && peek() != close) {
        throw Failed{};
      }
      if (peek() == close) {
        ++i_;
        return;
      }
      if (peek() == '?' || peek() == '\0' || peek() == ',') {
        throw Failed{};  // an explicit key, the end before `close`, or an empty entry
      }
      entry();
    }
  }

  YamlNode flow_sequence() {
    YamlNode sequence;
    sequence.items.emplace();
    flow_entries(']', [&] {
      sequence.items->push_back(node(true));
      skip_to_token();
      if (peek() == ':') {
        throw Failed{};  // a one-pair mapping
      }
    });
    return sequence;
  }

  // {key: value, key, key:}: a key without a value maps to null.
  YamlNode flow_mapping() {
    YamlNode mapping;
    mapping.pairs.emplace();
    flow_entries('}', [&] {
      YamlNode key = peek() == ':' ? scalar(kResolve, "") : node(true);
      skip_to_token();
      YamlNode value = scalar(kResolve, "");
      if (peek() == ':') {
        ++i_;
        skip_to_token();
        if (peek() != ',' && peek() != '}') {
          value = node(true);
          skip_to_token();
        }
      }
      add_pair(mapping, std::move(key), std::move(value));
    });
    return mapping;
  }

  // A block scalar on one line: its header, then nothing, is the empty text.
  YamlNode block_scalar(const std::string& tag) {
    ++i_;
    while (in(peek(), "+-123456789")) {
      ++i_;
    }
    if (!blank(peek()) || peek() == '\t') {
      throw Failed{};
    }
    skip_to_token();
    if (peek() != '\0') {
      throw Failed{};
    }
    return scalar(tag, "");
  }

  std::string single_quoted() {
    ++i_;
    std::string text;
    while (true) {
      if (i_ >= t_.size()) {
        throw Failed{};
      }
      if (peek() == '\'') {
        if (peek(1) != '\'') {
          ++i_;
          return text;
        }
        ++i_;
      }
      text += t_[i_++];
    }
  }

  std::string double_quoted() {
    static const std::map<char, std::string> escapes{{'0', std::string(1, '\0')},
                                                     {'a', "\x07"},
                                                     {'b', "\x08"},
                                                     {'t', "\t"},
                                                     {'\t', "\t"},
                                                     {'n', "\n"},
                                                     {'v', "\x0b"},
                                                     {'f', "\x0c"},
                                                     {'r', "\r"},
                                                     {'e', "\x1b"},
                                                     {' ', " "},
                                                     {'"', "\""},
                                                     {'/', "/"},
                                                     {'\\', "\\"},
                                                     {'N', utf8(0x85)},
                                                     {'_', utf8(0xa0)},
                                                     {'L', utf8(0x2028)},
                                                     {'P', utf8(0x2029)}};
    ++i_;
    std::string text;
    while (true) {
      if (i_ >= t_.size()) {
        throw Failed{};
      }
      const char c = t_[i_++];
      if (c == '"') {
        return text;
      }
      if (c != '\\') {
        text += c;
        continue;
      }
      const char e = peek();
      ++i_;
      if (escapes.count(e) != 0) {
        text += escapes.at(e);
        continue;
      }
      const size_t digits = e == 'x' ? 2 : e == 'u' ? 4 : e == 'U' ? 8 : 0;
      if (digits == 0 || i_ + digits > t_.size()) {
        throw Failed{};
      }
      uint32_t code = 0;
      for (size_t k = 0; k < digits; ++k) {
        const char h = t_[i_++];
        if (!std::isxdigit(static_cast<unsigned char>(h))) {
          throw Failed{};
        }
        code = code * 16 + static_cast<uint32_t>(std::isdigit(static_cast<unsigned char>(h))
                                                     ? h - '0'
                                                     : std::tolower(h) - 'a' + 10);
      }
      // A lone surrogate cannot be sent; beyond U+10FFFF Python refuses.
      if ((code >= 0xd800 && code <= 0xdfff) || code > 0x10ffff) {
        throw Failed{};
      }
      text += utf8(code);
    }
  }

  // scan_plain on one line: words with single spaces kept, up to ": ", " #" or the end.
  std::string plain(bool flow) {
    std::string text;
    std::string spaces;
    while (true) {
      size_t length = 0;
      while (true) {
        const char ch = peek(length);
        if (blank(ch) ||
            (ch == ':' && (blank(peek(length + 1)) || (flow && in(peek(length + 1), ",[]{}")))) ||
            (flow && in(ch, ",?[]{}"))) {
          break;
        }
        ++length;
      }
      if (length == 0) {
        return text;
      }
      text += spaces + t_.substr(i_, length);
      i_ += length;
      size_t run = 0;
      while (peek(run) == ' ') {
        ++run;
      }
      if (run == 0 || peek(run) == '#' || peek(run) == '\0') {
        return text;
      }
      spaces = std::string(run, ' ');
      i_ += run;
    }
  }

  const std::string& t_;
  size_t i_ = 0;
  std::map<std::string, YamlNode> anchors_;
};

}  // namespace

std::optional<YamlNode> safe_load(const std::string& text) {
  try {
    return Loader(text).document();
  } catch (const Failed&) {
    return std::nullopt;
  }
}

}  // namespace ros2_lite
