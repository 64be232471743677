#include "job/job_files.h"

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "format/run_error.h"
#include "format/unit_names.h"

namespace locprox {
namespace {

struct NamedFile {
  int unit;
  std::string name;
  std::filesystem::path canonical;
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
};

NamedFile describe(int unit, const std::string& name) {
  NamedFile file{unit, name, {}, false, 0, 0};
  std::error_code ignored;
  // Made absolute first: a relative name with no existing part would
  // otherwise stay relative, and "rep" and "./rep" would look different.
  file.canonical =
      std::filesystem::weakly_canonical(std::filesystem::absolute(name, ignored), ignored);
  if (file.canonical.empty()) file.canonical = name;
  struct stat status {};
  if (::stat(name.c_str(), &status) == 0) {
    file.exists = true;
    file.device = status.st_dev;
    file.inode = status.st_ino;
  }
  return file;
}

bool same_file(const NamedFile& a, const NamedFile& b) {
  if (a.name == b.name || a.canonical == b.canonical) return true;
  return a.exists && b.exists && a.device == b.device && a.inode == b.inode;
}

}  // namespace

std::string trimmed_file_name(const FileName& name) {
  std::string_view text(name.data(), name.size());
  std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  std::size_t last = text.find_last_not_of(' ');
  return std::string(text.substr(first, last - first + 1));
}

// Stops the run when two of the files are one.
void refuse_same_file(const std::vector<NamedFile>& files) {
  for (std::size_t i = 0; i < files.size(); ++i) {
    for (std::size_t j = i + 1; j < files.size(); ++j) {
      if (same_file(files[i], files[j])) {
        throw RunError(describe_unit(files[j].unit, files[j].name) + ": names the same file as " +
                       describe_unit(files[i].unit, files[i].name) +
                       "; every job file must be a different file");
      }
    }
  }
}

void open_job_files(Units& units) {
  const std::pair<int, const std::string*> all[] = {{kObservationsUnit, &units.observations.name()},
                                                    {kNamesUnit, &units.names.name()},
                                                    {kReportUnit, &units.report.name()},
                                                    {kProximityUnit, &units.proximity.name()}};
  // Every name is checked before anything is opened, so that a bad name
  // leaves every file as it was.
  std::vector<NamedFile> files;
  for (const auto& [unit, name] : all) {
    if (name->empty()) throw RunError(describe_unit(unit, *name) + ": no file name");
    // The system would take the name only up to its first NUL and open
    // another file than the one named.
    if (name->find('\0') != std::string::npos) {
      std::string shown;
      for (char c : *name) shown += c == '\0' ? std::string("\\0") : std::string(1, c);
      throw RunError(describe_unit(unit, shown) +
                     ": the file name holds a NUL character, which no file name can contain");
    }
    files.push_back(describe(unit, *name));
  }
  units.observations.open();
  units.names.open();
  refuse_same_file(files);
  // Both outputs are opened before either is emptied: when the second
  // cannot be opened, the first still holds what an earlier run wrote.
  units.report.open(false);
  units.proximity.open(false);
  // Now that all four exist, a last look by device and inode catches what
  // no name showed: an output that is a dangling link to the other output.
  files.clear();
  for (const auto& [unit, name] : all) files.push_back(describe(unit, *name));
  refuse_same_file(files);
  units.report.replace();
  units.proximity.replace();
}

}  // namespace locprox
