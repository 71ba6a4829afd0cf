# A node of the real ROS 2 whose parameters may be set while it runs: every node of
# the product reads its parameters once and refuses a set, so `param set` typing
# its value and `param dump` writing it back are compared on this one.
import rclpy
from rclpy.node import Node


def main():
    rclpy.init()
    node = Node('param_peer')
    node.declare_parameter('gain', 1.0)
    node.declare_parameter('count', 1)
    node.declare_parameter('text', '')
    try:
        rclpy.spin(node)
    except KeyboardInterrupt:
        pass


if __name__ == '__main__':
    main()
