#include "sertype.hpp"

#include <dds/ddsi/ddsi_serdata.h>
#include <dds/ddsi/ddsi_sertype.h>
#include <dds/ddsi/q_radmin.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <vector>

namespace rclcpp_dds {
namespace {

struct Sertype : ddsi_sertype {
  const MessageMembers* members = nullptr;
  bool with_request_header = false;
};

// The serialized sample, encapsulation header included. ROS 2 topics have no
// key, so a key-only serdata is empty and all samples are one instance.
struct Serdata : ddsi_serdata {
  std::vector<unsigned char> bytes;
};

const Sertype& sertype_of(const ddsi_serdata* d) { return *static_cast<const Sertype*>(d->type); }
const Serdata& bytes_of(const ddsi_serdata* d) { return *static_cast<const Serdata*>(d); }

Serdata* new_serdata(const ddsi_sertype* type, ddsi_serdata_kind kind) {
  auto* d = new Serdata();
  ddsi_serdata_init(d, type, kind);
  return d;
}

// Cyclone calls these from C: nothing may throw through them.

ddsi_serdata* from_ser(const ddsi_sertype* type, ddsi_serdata_kind kind, const nn_rdata* fragment,
                       size_t size) try {
  auto* d = new_serdata(type, kind);
  d->bytes.resize(size);
  // Fragments arrive in order and may overlap; copy what each one adds.
  uint32_t off = 0;
  for (; fragment != nullptr; fragment = fragment->nextfrag) {
    if (fragment->maxp1 > off) {
      const unsigned char* payload =
          NN_RMSG_PAYLOADOFF(fragment->rmsg, NN_RDATA_PAYLOAD_OFF(fragment));
      std::memcpy(d->bytes.data() + off, payload + off - fragment->min, fragment->maxp1 - off);
      off = fragment->maxp1;
    }
  }
  return d;
} catch (const std::exception&) {
  return nullptr;
}

ddsi_serdata* from_ser_iov(const ddsi_sertype* type, ddsi_serdata_kind kind,
                           ddsrt_msg_iovlen_t niov, const ddsrt_iovec_t* iov, size_t size) try {
  auto* d = new_serdata(type, kind);
  d->bytes.reserve(size);
  for (ddsrt_msg_iovlen_t i = 0; i < niov; ++i) {
    const auto* base = static_cast<const unsigned char*>(iov[i].iov_base);
    d->bytes.insert(d->bytes.end(), base, base + iov[i].iov_len);
  }
  d->bytes.resize(size);
  return d;
} catch (const std::exception&) {
  return nullptr;
}

ddsi_serdata* from_keyhash(const ddsi_sertype* type, const ddsi_keyhash*) try {
  return new_serdata(type, SDK_KEY);
} catch (const std::exception&) {
  return nullptr;
}

ddsi_serdata* from_sample(const ddsi_sertype* type, ddsi_serdata_kind kind,
                          const void* sample) try {
  auto* d = new_serdata(type, kind);
  if (kind == SDK_DATA) {
    const auto& s = *static_cast<const Sample*>(sample);
    const auto& t = *static_cast<const Sertype*>(type);
    serialize(*t.members, s.message, d->bytes, t.with_request_header ? s.request_header : nullptr);
  }
  return d;
} catch (const std::exception&) {
  return nullptr;
}

uint32_t get_size(const ddsi_serdata* d) { return static_cast<uint32_t>(bytes_of(d).bytes.size()); }

void to_ser(const ddsi_serdata* d, size_t off, size_t size, void* buf) {
  std::memcpy(buf, bytes_of(d).bytes.data() + off, size);
}

ddsi_serdata* to_ser_ref(const ddsi_serdata* d, size_t off, size_t size, ddsrt_iovec_t* ref) {
  ref->iov_base = const_cast<unsigned char*>(bytes_of(d).bytes.data() + off);
  ref->iov_len = static_cast<ddsrt_iov_len_t>(size);
  return ddsi_serdata_ref(d);
}

void to_ser_unref(ddsi_serdata* d, const ddsrt_iovec_t*) { ddsi_serdata_unref(d); }

bool to_sample(const ddsi_serdata* d, void* sample, void**, void*) {
  if (d->kind != SDK_DATA) {
    return true;
  }
  const auto& s = *static_cast<const Sample*>(sample);
  const Sertype& t = sertype_of(d);
  const std::vector<unsigned char>& bytes = bytes_of(d).bytes;
  return deserialize(*t.members, bytes.data(), bytes.size(), s.message,
                     t.with_request_header ? s.request_header : nullptr);
}

ddsi_serdata* to_untyped(const ddsi_serdata* d) try {
  auto* untyped = new_serdata(d->type, SDK_KEY);
  untyped->type = nullptr;
  return untyped;
} catch (const std::exception&) {
  return nullptr;
}

bool untyped_to_sample(const ddsi_sertype*, const ddsi_serdata*, void*, void**, void*) {
  return true;
}

bool eqkey(const ddsi_serdata*, const ddsi_serdata*) { return true; }

void free_serdata(ddsi_serdata* d) { delete static_cast<Serdata*>(d); }

size_t print(const ddsi_sertype*, const ddsi_serdata* d, char* buf, size_t size) {
  return static_cast<size_t>(
      std::snprintf(buf, size, "(%zu bytes of CDR)", bytes_of(d).bytes.size()));
}

void get_keyhash(const ddsi_serdata*, ddsi_keyhash* buf, bool) {
  std::memset(buf, 0, sizeof(*buf));
}

const ddsi_serdata_ops serdata_ops = [] {
  ddsi_serdata_ops ops{};
  ops.eqkey = eqkey;
  ops.get_size = get_size;
  ops.from_ser = from_ser;
  ops.from_ser_iov = from_ser_iov;
  ops.from_keyhash = from_keyhash;
  ops.from_sample = from_sample;
  ops.to_ser = to_ser;
  ops.to_ser_ref = to_ser_ref;
  ops.to_ser_unref = to_ser_unref;
  ops.to_sample = to_sample;
  ops.to_untyped = to_untyped;
  ops.untyped_to_sample = untyped_to_sample;
  ops.free = free_serdata;
  ops.print = print;
  ops.get_keyhash = get_keyhash;
  return ops;
}();

void free_sertype(ddsi_sertype* type) {
  ddsi_sertype_fini(type);
  delete static_cast<Sertype*>(type);
}

// Samples are always the caller's (take_one decodes serialized data), so
// Cyclone never allocates, clears or frees one.
void zero_samples(const ddsi_sertype*, void*, size_t) {}
void realloc_samples(void** ptrs, const ddsi_sertype*, void*, size_t, size_t count) {
  std::fill(ptrs, ptrs + count, nullptr);
}
void free_samples(const ddsi_sertype*, void**, size_t, dds_free_op_t) {}

bool equal(const ddsi_sertype* a, const ddsi_sertype* b) {
  const auto& x = *static_cast<const Sertype*>(a);
  const auto& y = *static_cast<const Sertype*>(b);
  return x.members == y.members && x.with_request_header == y.with_request_header;
}

uint32_t hash(const ddsi_sertype* type) {
  const auto& t = *static_cast<const Sertype*>(type);
  return static_cast<uint32_t>(std::hash<const void*>{}(t.members)) ^ t.with_request_header;
}

const ddsi_sertype_ops sertype_ops = [] {
  ddsi_sertype_ops ops{};
  ops.version = ddsi_sertype_v0;
  ops.free = free_sertype;
  ops.zero_samples = zero_samples;
  ops.realloc_samples = realloc_samples;
  ops.free_samples = free_samples;
  ops.equal = equal;
  ops.hash = hash;
  return ops;
}();

}  // namespace

std::string dds_type_name(const MessageMembers& members) {
  return std::string(members.message_namespace_) + "::dds_::" + members.message_name_ + "_";
}

dds_entity_t create_topic(dds_entity_t participant, const std::string& name,
                          const MessageMembers& members, bool with_request_header) {
  auto* type = new Sertype();
  ddsi_sertype_init_flags(type, dds_type_name(members).c_str(), &sertype_ops, &serdata_ops,
                          DDSI_SERTYPE_FLAG_TOPICKIND_NO_KEY);
  type->allowed_data_representation = DDS_DATA_REPRESENTATION_FLAG_XCDR1;
  type->members = &members;
  type->with_request_header = with_request_header;
  // On success Cyclone owns the type (or an equal one it already had).
  ddsi_sertype* used = type;
  const dds_entity_t topic =
      dds_create_topic_sertype(participant, name.c_str(), &used, nullptr, nullptr, nullptr);
  if (topic < 0) {
    ddsi_sertype_unref(used);
  }
  return topic;
}

dds_return_t take_one(dds_entity_t reader, const Sample& sample, dds_sample_info_t* info_out) {
  dds_sample_info_t local_info;
  dds_sample_info_t& info = info_out != nullptr ? *info_out : local_info;
  for (;;) {
    ddsi_serdata* d = nullptr;
    const dds_return_t n = dds_takecdr(reader, &d, 1, &info, 0);
    if (n <= 0) {
      return n;
    }
    const bool decoded =
        info.valid_data && to_sample(d, const_cast<Sample*>(&sample), nullptr, nullptr);
    ddsi_serdata_unref(d);
    if (decoded) {
      return 1;
    }
  }
}

}  // namespace rclcpp_dds
