#include "document_template.hpp"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace ros2_lite {

std::filesystem::path share_dir() {
  // Installed as <prefix>/bin/ros2_lite and <prefix>/lib/ros2_lite/ros2_lite; a copied
  // install tree keeps working, the prefix it was built for is the fallback.
  std::error_code ignored;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ignored);
  for (const auto& up : {"..", "../.."}) {
    const auto candidate = (exe.parent_path() / up / "share" / "ros2_lite").lexically_normal();
    if (std::filesystem::is_regular_file(candidate / "governance.xml", ignored)) {
      return candidate;
    }
  }
  return ROS2_LITE_SHARE_DIR;
}

std::string read_template(const std::string& name) {
  const std::filesystem::path path = share_dir() / name;
  std::ifstream in(path);
  std::ostringstream text;
  if (!(in && text << in.rdbuf())) {
    throw std::runtime_error("cannot read the template '" + path.string() + "'");
  }
  return text.str();
}

std::string fill(const std::string& text, const std::map<std::string, std::string>& values) {
  std::string out;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t open = text.find('@', pos);
    const size_t close = open == std::string::npos ? open : text.find('@', open + 1);
    if (close == std::string::npos) {
      break;
    }
    const auto value = values.find(text.substr(open + 1, close - open - 1));
    if (value == values.end()) {
      // Not a key: keep the first '@' and look again from the second.
      out.append(text, pos, close - pos);
      pos = close;
      continue;
    }
    out.append(text, pos, open - pos).append(value->second);
    pos = close + 1;
  }
  return out.append(text, pos, std::string::npos);
}

}  // namespace ros2_lite
