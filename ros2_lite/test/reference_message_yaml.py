# Writes what rosidl_runtime_py (the real ROS 2 Humble's) makes of each case in
# data/message_yaml_cases.txt, set on a wire_test_msgs/msg/AllKinds: the repr of
# the exception, or message_to_yaml of the message. The expectations of
# test_message_yaml come from here:
#   python3 reference_message_yaml.py < data/message_yaml_cases.txt > data/message_yaml_expected.txt
# run where the real ROS 2 and wire_test_msgs built against it are sourced.
import sys

import yaml
from rosidl_runtime_py import message_to_yaml, set_message_fields
from wire_test_msgs.msg import AllKinds

for line in sys.stdin.read().splitlines():
    message = AllKinds()
    try:
        set_message_fields(message, yaml.safe_load(line))
        out = message_to_yaml(message)
    except Exception as ex:
        out = 'error: {!r}\n'.format(ex)
    sys.stdout.write('=== ' + line + '\n' + out)
