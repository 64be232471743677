#include "summary/output_file.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#include "format/staged_file.h"
#include "summary/errors.h"

namespace locprox::summary {
namespace {

// The sets of the DeferredOutputs alive, if any.
StagedFiles* deferred_outputs = nullptr;
const StagedFiles* files_in_the_making = nullptr;

}  // namespace

void write_file(const std::string& path, std::string_view contents) {
  if (deferred_outputs == nullptr) {
    std::string problem;
    if (write_staged(path, contents, problem) != 0) throw OutputError(problem);
    return;
  }
  try {
    StagedFile& file = deferred_outputs->add(path);
    if (const int error = write_all(file.fd(), contents); error != 0) {
      throw OutputError(path + ": write failed: " + std::strerror(error));
    }
    // Written to disk while the rest of the summary is made, not all at the end.
    file.start_writeback();
  } catch (const std::system_error& error) {
    throw OutputError(error.what());
  }
}

DeferredOutputs::DeferredOutputs(StagedFiles& outputs, const StagedFiles* inputs)
    : previous_outputs_(deferred_outputs), previous_inputs_(files_in_the_making) {
  deferred_outputs = &outputs;
  files_in_the_making = inputs;
}

DeferredOutputs::~DeferredOutputs() {
  deferred_outputs = previous_outputs_;
  files_in_the_making = previous_inputs_;
}

std::string readable_path(const std::string& path) {
  if (files_in_the_making != nullptr) {
    if (const StagedFile* file = files_in_the_making->find(path)) return file->temporary_path();
  }
  return path;
}

}  // namespace locprox::summary
