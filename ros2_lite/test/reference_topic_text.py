# Writes what the real ROS 2 Humble's ros2topic prints of each case in
# data/topic_text_cases.txt, set on a wire_test_msgs/msg/AllKinds: the repr that
# `topic pub` shows, and what `topic echo` writes with its truncation and
# abbreviation options and with --csv. The expectations of test_topic_text come
# from here:
#   python3 reference_topic_text.py < data/topic_text_cases.txt > data/topic_text_expected.txt
# run where the real ROS 2 and wire_test_msgs built against it are sourced.
import sys

from rclpy.serialization import deserialize_message, serialize_message
import yaml
from ros2topic.verb.pub import set_message_fields_expanded
from rosidl_runtime_py import message_to_csv, message_to_yaml
from wire_test_msgs.msg import AllKinds

for line in sys.stdin.read().splitlines():
    message = AllKinds()
    set_message_fields_expanded(message, yaml.safe_load(line))
    sys.stdout.write('=== ' + line + '\n')
    sys.stdout.write('--- repr\n%r\n' % message)
    # What echo receives: the message as it comes off the wire.
    message = deserialize_message(serialize_message(message), AllKinds)
    sys.stdout.write('--- yaml -l 2\n' + message_to_yaml(message, truncate_length=2))
    sys.stdout.write('--- yaml --no-arr --no-str\n' +
                     message_to_yaml(message, truncate_length=128, no_arr=True, no_str=True))
    sys.stdout.write('--- csv\n' + message_to_csv(message, truncate_length=128) + '\n')
    sys.stdout.write('--- csv -l 1 --no-str\n' +
                     message_to_csv(message, truncate_length=1, no_str=True) + '\n')
