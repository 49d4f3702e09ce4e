// Loading a shared library by path, and finding this module's own folder.
#pragma once

#include <filesystem>
#include <string>

namespace stravenor {

class SharedLibrary {
 public:
  // Throws pybind11::import_error naming the library when it cannot load.
  explicit SharedLibrary(const std::filesystem::path& path);
  SharedLibrary(SharedLibrary&& other) noexcept;
  SharedLibrary& operator=(SharedLibrary&&) = delete;
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;
  ~SharedLibrary();

  // nullptr when the library does not export `name`.
  void* symbol(const char* name) const;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  void* handle_ = nullptr;
};

// Folder of the file this code was loaded from. The module's __file__ is
// not set yet while it initialises, so the loader is asked instead.
std::filesystem::path module_directory();

}  // namespace stravenor
