// Files for the tests of the dedupe job.
#ifndef KORVIX_TESTS_DEDUPE_TEST_FILES_H_
#define KORVIX_TESTS_DEDUPE_TEST_FILES_H_

#include <sys/mman.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
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
class ScratchDir {
 public:
  ScratchDir() {
    std::string path = (std::filesystem::temp_directory_path() / "korvix-dedupe-XXXXXX").string();
    if (::mkdtemp(path.data()) == nullptr) throw std::runtime_error("mkdtemp");
    path_ = path;
  }
  ~ScratchDir() { std::filesystem::remove_all(path_); }
  std::string Path(const std::string& name) const { return path_ + "/" + name; }
  std::string Write(const std::string& name, const std::string& content) const {
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

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace korvix::testing

#endif  // KORVIX_TESTS_DEDUPE_TEST_FILES_H_
