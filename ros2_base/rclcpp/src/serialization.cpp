#include "serialization.hpp"

#include <rosidl_typesupport_introspection_cpp/field_types.hpp>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>

namespace rclcpp_dds {
namespace {

namespace ts = rosidl_typesupport_introspection_cpp;
using ts::MessageMember;

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the layer writes little-endian CDR");

constexpr std::size_t header_size = 4;
constexpr unsigned char cdr_be = 0x00;
constexpr unsigned char cdr_le = 0x01;

// Bytes of one primitive, the same in memory and on the wire; 0 for strings
// and messages. rmw_cyclonedds_cpp sends a long double as its 16 bytes.
std::size_t primitive_size(std::uint8_t type_id) {
  switch (type_id) {
    case ts::ROS_TYPE_BOOLEAN:
    case ts::ROS_TYPE_OCTET:
    case ts::ROS_TYPE_UINT8:
    case ts::ROS_TYPE_INT8:
    case ts::ROS_TYPE_CHAR:
      return 1;
    case ts::ROS_TYPE_UINT16:
    case ts::ROS_TYPE_INT16:
    case ts::ROS_TYPE_WCHAR:
      return 2;
    case ts::ROS_TYPE_UINT32:
    case ts::ROS_TYPE_INT32:
    case ts::ROS_TYPE_FLOAT:
      return 4;
    case ts::ROS_TYPE_UINT64:
    case ts::ROS_TYPE_INT64:
    case ts::ROS_TYPE_DOUBLE:
      return 8;
    case ts::ROS_TYPE_LONG_DOUBLE:
      return 16;
    default:
      return 0;
  }
}

// XCDR1 aligns to the size of a primitive, at most 8.
std::size_t alignment_of(std::size_t size) { return std::min<std::size_t>(size, 8); }

const MessageMembers& nested(const MessageMember& m) {
  return *static_cast<const MessageMembers*>(m.members_->data);
}

bool is_sequence(const MessageMember& m) { return m.array_size_ == 0 || m.is_upper_bound_; }

// std::vector<bool> has no element pointers; introspection gives fetch/assign.
bool is_bool_vector(const MessageMember& m) { return m.get_const_function == nullptr; }

class Writer {
 public:
  explicit Writer(std::vector<unsigned char>& out) : out_(out), base_(out.size()) {}

  void put(const void* data, std::size_t n) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    out_.insert(out_.end(), bytes, bytes + n);
  }

  void align(std::size_t n) { out_.resize(out_.size() + (n - (out_.size() - base_) % n) % n, 0); }

  void put_length(std::size_t n) {
    if (n > std::numeric_limits<std::uint32_t>::max()) {
      throw std::length_error("sequence or string too long for CDR");
    }
    const auto length = static_cast<std::uint32_t>(n);
    align(4);
    put(&length, 4);
  }

  void message(const MessageMembers& members, const void* message) {
    for (std::uint32_t i = 0; i < members.member_count_; ++i) {
      const MessageMember& m = members.members_[i];
      member(m, static_cast<const unsigned char*>(message) + m.offset_);
    }
  }

 private:
  void member(const MessageMember& m, const void* field) {
    if (!m.is_array_) {
      value(m, field);
      return;
    }
    if (is_bool_vector(m)) {
      const std::size_t n = m.size_function(field);
      put_length(n);
      for (std::size_t i = 0; i < n; ++i) {
        bool b = false;
        m.fetch_function(field, i, &b);
        out_.push_back(b ? 1 : 0);
      }
      return;
    }
    const std::size_t n = is_sequence(m) ? m.size_function(field) : m.array_size_;
    if (is_sequence(m)) {
      put_length(n);
    }
    if (n == 0) {
      return;
    }
    // Elements of a primitive type lie packed in memory as on the wire.
    if (const std::size_t size = primitive_size(m.type_id_); size != 0) {
      align(alignment_of(size));
      put(m.get_const_function(field, 0), n * size);
      return;
    }
    for (std::size_t i = 0; i < n; ++i) {
      value(m, m.get_const_function(field, i));
    }
  }

  void value(const MessageMember& m, const void* v) {
    switch (m.type_id_) {
      case ts::ROS_TYPE_STRING: {
        const auto& s = *static_cast<const std::string*>(v);
        put_length(s.size() + 1);
        put(s.c_str(), s.size() + 1);
        return;
      }
      case ts::ROS_TYPE_WSTRING: {
        // As rmw_cyclonedds_cpp: the count of code units, each as a wchar_t.
        const auto& s = *static_cast<const std::u16string*>(v);
        put_length(s.size());
        for (const char16_t c : s) {
          const auto w = static_cast<std::uint32_t>(c);
          put(&w, 4);
        }
        return;
      }
      case ts::ROS_TYPE_MESSAGE:
        message(nested(m), v);
        return;
      default: {
        const std::size_t size = primitive_size(m.type_id_);
        align(alignment_of(size));
        put(v, size);
      }
    }
  }

  std::vector<unsigned char>& out_;
  std::size_t base_;
};

// The fewest bytes one element of a member takes on the wire, alignment
// aside: a sequence length read from the wire is checked against it before
// anything is allocated.
std::size_t min_element_size(const MessageMember& m);

std::size_t min_wire_size(const MessageMembers& members) {
  std::size_t total = 0;
  for (std::uint32_t i = 0; i < members.member_count_; ++i) {
    const MessageMember& m = members.members_[i];
    if (!m.is_array_) {
      total += min_element_size(m);
    } else {
      total += is_sequence(m) ? 4 : min_element_size(m) * m.array_size_;
    }
  }
  return std::max<std::size_t>(total, 1);
}

std::size_t min_element_size(const MessageMember& m) {
  if (m.type_id_ == ts::ROS_TYPE_MESSAGE) {
    return min_wire_size(nested(m));
  }
  const std::size_t size = primitive_size(m.type_id_);
  return size != 0 ? size : 4;  // strings: their length
}

class Reader {
 public:
  Reader(const unsigned char* data, std::size_t size, bool swap)
      : begin_(data), p_(data), end_(data + size), swap_(swap) {}

  std::size_t remaining() const { return static_cast<std::size_t>(end_ - p_); }

  bool align(std::size_t n) {
    const std::size_t pad = (n - static_cast<std::size_t>(p_ - begin_) % n) % n;
    return skip(pad);
  }

  bool skip(std::size_t n) {
    if (n > remaining()) {
      return false;
    }
    p_ += n;
    return true;
  }

  // n primitives of `size` bytes each, aligned, in host order.
  bool get(void* out, std::size_t size, std::size_t n = 1) {
    if (!align(alignment_of(size)) || n > remaining() / size) {
      return false;
    }
    std::memcpy(out, p_, n * size);
    p_ += n * size;
    if (swap_ && size > 1) {
      auto* bytes = static_cast<unsigned char*>(out);
      for (std::size_t i = 0; i < n; ++i) {
        std::reverse(bytes + i * size, bytes + (i + 1) * size);
      }
    }
    return true;
  }

  bool get_length(std::uint32_t& n) { return get(&n, 4); }

  bool message(const MessageMembers& members, void* message) {
    for (std::uint32_t i = 0; i < members.member_count_; ++i) {
      const MessageMember& m = members.members_[i];
      if (!member(m, static_cast<unsigned char*>(message) + m.offset_)) {
        return false;
      }
    }
    return true;
  }

 private:
  bool member(const MessageMember& m, void* field) {
    if (!m.is_array_) {
      return value(m, field);
    }
    std::size_t n = m.array_size_;
    if (is_sequence(m)) {
      std::uint32_t length = 0;
      if (!get_length(length) || (m.is_upper_bound_ && length > m.array_size_) ||
          length > remaining() / min_element_size(m)) {
        return false;
      }
      n = length;
      m.resize_function(field, n);
    }
    if (is_bool_vector(m)) {
      for (std::size_t i = 0; i < n; ++i) {
        bool b = false;
        if (!boolean(&b)) {
          return false;
        }
        m.assign_function(field, i, &b);
      }
      return true;
    }
    if (n == 0) {
      return true;
    }
    const std::size_t size = primitive_size(m.type_id_);
    if (size != 0 && m.type_id_ != ts::ROS_TYPE_BOOLEAN) {
      return get(m.get_function(field, 0), size, n);
    }
    for (std::size_t i = 0; i < n; ++i) {
      if (!value(m, m.get_function(field, i))) {
        return false;
      }
    }
    return true;
  }

  // Any byte but 0 is true; a bool in memory must hold 0 or 1.
  bool boolean(bool* out) {
    unsigned char b = 0;
    if (!get(&b, 1)) {
      return false;
    }
    *out = b != 0;
    return true;
  }

  bool value(const MessageMember& m, void* v) {
    switch (m.type_id_) {
      case ts::ROS_TYPE_STRING: {
        std::uint32_t length = 0;
        if (!get_length(length) || length > remaining()) {
          return false;
        }
        auto& s = *static_cast<std::string*>(v);
        if (length == 0) {  // some writers send an empty string without its NUL
          s.clear();
          return true;
        }
        if (p_[length - 1] != 0 ||
            (m.string_upper_bound_ != 0 && length - 1 > m.string_upper_bound_)) {
          return false;
        }
        s.assign(reinterpret_cast<const char*>(p_), length - 1);
        p_ += length;
        return true;
      }
      case ts::ROS_TYPE_WSTRING: {
        std::uint32_t length = 0;
        if (!get_length(length) || length > remaining() / 4 ||
            (m.string_upper_bound_ != 0 && length > m.string_upper_bound_)) {
          return false;
        }
        auto& s = *static_cast<std::u16string*>(v);
        s.resize(length);
        for (char16_t& c : s) {
          std::uint32_t w = 0;
          if (!get(&w, 4) || w > 0xFFFF) {
            return false;
          }
          c = static_cast<char16_t>(w);
        }
        return true;
      }
      case ts::ROS_TYPE_MESSAGE:
        return message(nested(m), v);
      case ts::ROS_TYPE_BOOLEAN:
        return boolean(static_cast<bool*>(v));
      default:
        return get(v, primitive_size(m.type_id_));
    }
  }

  const unsigned char* begin_;
  const unsigned char* p_;
  const unsigned char* end_;
  bool swap_;
};

}  // namespace

void serialize(const MessageMembers& members, const void* message, std::vector<unsigned char>& out,
               const RequestHeader* request_header) {
  out.clear();
  out.insert(out.end(), {0x00, cdr_le, 0x00, 0x00});
  Writer writer(out);
  if (request_header != nullptr) {
    writer.put(&request_header->guid, 8);
    writer.put(&request_header->sequence, 8);
  }
  writer.message(members, message);
  // Whole words, as rmw_cyclonedds_cpp sends them; the header's options stay 0.
  out.resize((out.size() + 3) / 4 * 4, 0);
}

bool deserialize(const MessageMembers& members, const unsigned char* data, std::size_t size,
                 void* message, RequestHeader* request_header) {
  if (size < header_size || data[0] != 0x00 || (data[1] != cdr_le && data[1] != cdr_be)) {
    return false;
  }
  Reader reader(data + header_size, size - header_size, data[1] == cdr_be);
  try {
    if (request_header != nullptr &&
        (!reader.get(&request_header->guid, 8) || !reader.get(&request_header->sequence, 8))) {
      return false;
    }
    return reader.message(members, message);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
}

}  // namespace rclcpp_dds
