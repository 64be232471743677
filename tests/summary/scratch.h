// A fresh directory per test, and running the built locprox-summary in it.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace locprox::summary::testing {

class Scratch {
 public:
  Scratch();
  ~Scratch();
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  void write(const std::string& name, std::string_view contents) const;
  std::string read(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

struct ProgramRun {
  int status = -1;  // exit status, -1 when killed by a signal
  std::string out;
  std::string err;
};

// Runs `program` with `arguments` in `directory`, `input` on standard input.
ProgramRun run(const std::string& program, const std::vector<std::string>& arguments,
               const std::filesystem::path& directory, std::string_view input = {});

std::string read_file(const std::filesystem::path& path);

}  // namespace locprox::summary::testing
