#include "rcpputils/shared_library.hpp"

#include <dlfcn.h>

#include <stdexcept>

namespace rcpputils {

SharedLibrary::SharedLibrary(const std::string& library_path) : path_(library_path) {
  // Never unmapped: DDS may still hold a type's introspection data after the last
  // object of the layer that loaded it is gone.
  handle_ = dlopen(library_path.c_str(), RTLD_LAZY | RTLD_LOCAL | RTLD_NODELETE);
  if (handle_ == nullptr) {
    const char* error = dlerror();
    throw std::runtime_error("failed to load library '" + library_path +
                             "': " + (error != nullptr ? error : "unknown error"));
  }
}

SharedLibrary::~SharedLibrary() { dlclose(handle_); }

void* SharedLibrary::get_symbol(const std::string& symbol_name) {
  dlerror();
  void* symbol = dlsym(handle_, symbol_name.c_str());
  if (dlerror() != nullptr || symbol == nullptr) {
    throw std::runtime_error("symbol '" + symbol_name + "' not found in library '" + path_ + "'");
  }
  return symbol;
}

bool SharedLibrary::has_symbol(const std::string& symbol_name) {
  dlerror();
  return dlsym(handle_, symbol_name.c_str()) != nullptr && dlerror() == nullptr;
}

}  // namespace rcpputils
