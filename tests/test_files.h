// Files and directories for the tests, removed with their objects.
#ifndef KORVIX_TESTS_TEST_FILES_H_
#define KORVIX_TESTS_TEST_FILES_H_

#include <sys/mman.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <stdexcept>
#include <string>

namespace korvix::testing {

// A file descriptor holding `content`, open for reading at its start.
class TempFile {
 public:
  explicit TempFile(std::string_view content) : fd_(::memfd_create("korvix-test", MFD_CLOEXEC)) {
    if (::pwrite(fd_, content.data(), content.size(), 0) != static_cast<ssize_t>(content.size())) throw std::runtime_error("memfd");
  }
  ~TempFile() { ::close(fd_); }
  int fd() const { return fd_; }

 private:
  int fd_;
};

// A fresh directory, removed with everything in it.
class TempDir {
 public:
  TempDir() {
    std::string path = (std::filesystem::temp_directory_path() / "korvix-test-XXXXXX").string();
    if (::mkdtemp(path.data()) == nullptr) throw std::runtime_error("mkdtemp");
    path_ = path;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }
  std::string Path(const std::string& name) const { return path_ + "/" + name; }
  // Writes `content` to `name` in the directory; its path.
  std::string File(const std::string& name, const std::string& content) const {
    std::ofstream(Path(name), std::ios::binary) << content;
    return Path(name);
  }
  // The names in the directory, hidden ones included.
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path_)) names.insert(e.path().filename());
    return names;
  }

 private:
  std::string path_;
};

}  // namespace korvix::testing

#endif  // KORVIX_TESTS_TEST_FILES_H_
