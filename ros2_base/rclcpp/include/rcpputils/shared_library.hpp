#pragma once

#include <string>

namespace rcpputils {

// A shared library loaded by path, the part of rcpputils' class that loading type
// support at run time needs. Unlike rcpputils', it stays mapped once loaded.
class SharedLibrary {
 public:
  // Throws std::runtime_error when the library cannot be loaded.
  explicit SharedLibrary(const std::string& library_path);
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;
  ~SharedLibrary();

  // Throws std::runtime_error when the library has no such symbol.
  void* get_symbol(const std::string& symbol_name);
  bool has_symbol(const std::string& symbol_name);
  std::string get_library_path() const { return path_; }

 private:
  std::string path_;
  void* handle_ = nullptr;
};

}  // namespace rcpputils
