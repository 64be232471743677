// What every fuzz target checks in the same way: a broken check throws
// FuzzFinding, which libFuzzer reports like a crash and the replay tests as
// a failure; an error message must be one readable line of bounded length.
// Also the scratch directory a target writes its files in.
#pragma once

#include <stdlib.h>

#include <cstddef>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <string>
#include <string_view>

namespace locprox::fuzz {

class FuzzFinding : public std::logic_error {
 public:
  explicit FuzzFinding(const std::string& what) : std::logic_error(what) {}
};

inline void expect(bool condition, const std::string& what) {
  if (!condition) throw FuzzFinding(what);
}

// One line of at most `longest` - 1 bytes, every byte showable, whatever
// bytes the input held.
inline void check_message(std::string_view message, std::size_t longest = 400) {
  expect(message.size() < longest,
         "an error message of " + std::to_string(message.size()) + " bytes");
  for (char c : message) {
    const auto byte = static_cast<unsigned char>(c);
    expect(byte >= 0x20 && byte != 0x7f, "an unshowable byte in an error message");
  }
}

// A fresh directory under TMPDIR, locprox-fuzz-NAME-XXXXXX, removed with
// everything in it when the object ends.
class FuzzDirectory {
 public:
  explicit FuzzDirectory(const std::string& name) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / ("locprox-fuzz-" + name + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~FuzzDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  FuzzDirectory(const FuzzDirectory&) = delete;
  FuzzDirectory& operator=(const FuzzDirectory&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace locprox::fuzz
