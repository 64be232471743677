// Writing a finished output file in one go, under a temporary name that
// becomes the file's own once it is whole (format/staged_file.h): a summary
// that stops leaves the earlier file as it was, and a symbolic link at the
// name is replaced, never written through.
#pragma once

#include <string>
#include <string_view>

namespace locprox {
class StagedFiles;
}

namespace locprox::summary {

// Creates or replaces `path` with `contents`; throws OutputError on failure.
// While a DeferredOutputs lives, the file is left staged in its set instead.
void write_file(const std::string& path, std::string_view contents);

// Makes write_file() stage every file into `outputs`, for the owner to put
// them all in place together once the whole summary is done; and, with
// `inputs`, makes readable_path() find the files that are still in the
// making there (locprox analyse reads the proximity file and the names its
// run and import have not yet put in place).
class DeferredOutputs {
 public:
  explicit DeferredOutputs(StagedFiles& outputs, const StagedFiles* inputs = nullptr);
  ~DeferredOutputs();
  DeferredOutputs(const DeferredOutputs&) = delete;
  DeferredOutputs& operator=(const DeferredOutputs&) = delete;

 private:
  StagedFiles* previous_outputs_;
  const StagedFiles* previous_inputs_;
};

// The path to read the file `path` from: its temporary while it is in the
// making under a DeferredOutputs, else `path` itself.
std::string readable_path(const std::string& path);

}  // namespace locprox::summary
