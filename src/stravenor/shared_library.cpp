#include "shared_library.h"

#include <pybind11/pybind11.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace stravenor {
namespace py = pybind11;

namespace {

std::string last_load_error() {
#ifdef _WIN32
  return "error " + std::to_string(::GetLastError());
#else
  const char* error = ::dlerror();
  return error ? error : "unknown error";
#endif
}

void anchor() {}

}  // namespace

SharedLibrary::SharedLibrary(const std::filesystem::path& path) : path_(path) {
#ifdef _WIN32
  handle_ = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
#else
  handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
  if (!handle_) {
    throw py::import_error("cannot load " + path.filename().u8string() + " from " +
                           path.parent_path().u8string() + ": " + last_load_error());
  }
}

SharedLibrary::SharedLibrary(SharedLibrary&& other) noexcept
    : path_(std::move(other.path_)), handle_(other.handle_) {
  other.handle_ = nullptr;
}

SharedLibrary::~SharedLibrary() {
  if (!handle_) return;
#ifdef _WIN32
  ::FreeLibrary(static_cast<HMODULE>(handle_));
#else
  ::dlclose(handle_);
#endif
}

void* SharedLibrary::symbol(const char* name) const {
#ifdef _WIN32
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(handle_), name));
#else
  return ::dlsym(handle_, name);
#endif
}

std::filesystem::path module_directory() {
#ifdef _WIN32
  HMODULE self = nullptr;
  if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&anchor), &self)) {
    throw py::import_error("cannot locate the Stravenor module file");
  }
  std::wstring name(32768, L'\0');
  DWORD len = ::GetModuleFileNameW(self, name.data(), static_cast<DWORD>(name.size()));
  if (len == 0 || len >= name.size()) throw py::import_error("cannot locate the Stravenor module file");
  name.resize(len);
  return std::filesystem::absolute(std::filesystem::path(name)).parent_path();
#else
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&anchor), &info) == 0 || !info.dli_fname) {
    throw py::import_error("cannot locate the Stravenor module file");
  }
  return std::filesystem::absolute(std::filesystem::path(info.dli_fname)).parent_path();
#endif
}

}  // namespace stravenor
