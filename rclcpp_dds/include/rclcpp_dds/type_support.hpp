#pragma once

#include <cstddef>

namespace rclcpp_dds {

// What the layer needs to move one message type over DDS, without the
// message headers or the node seeing any DDS header. The descriptor is the
// idlc-generated dds_topic_descriptor_t; samples are that type's C struct.
struct TypeSupport {
  const void* descriptor;
  std::size_t sample_size;
  // Fills a sample from a message. String fields of the sample point into the
  // message, so the sample is valid only while the message is unchanged.
  void (*to_dds)(const void* message, void* sample);
  void (*from_dds)(const void* sample, void* message);
};

// Specialised for each message type next to its definition.
template <class MessageT>
const TypeSupport& type_support();

template <class MessageT, class SampleT, void (*ToDds)(const MessageT&, SampleT&),
          void (*FromDds)(const SampleT&, MessageT&)>
TypeSupport make_type_support(const void* descriptor) {
  return TypeSupport{
      descriptor, sizeof(SampleT),
      [](const void* message, void* sample) {
        ToDds(*static_cast<const MessageT*>(message), *static_cast<SampleT*>(sample));
      },
      [](const void* sample, void* message) {
        FromDds(*static_cast<const SampleT*>(sample), *static_cast<MessageT*>(message));
      }};
}

}  // namespace rclcpp_dds
