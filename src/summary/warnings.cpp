#include "summary/warnings.h"

#include <unistd.h>

#include "format/standard_error.h"

namespace locprox::summary {
namespace {

// Straight to the descriptor, unbuffered, as the programs' other messages go.
void to_standard_error(const std::string& text, void*) {
  write_to_descriptor(STDERR_FILENO, "locprox-summary: warning: " + text + "\n");
}

WarningSink current_sink = to_standard_error;
void* current_context = nullptr;

}  // namespace

void warn(const std::string& text) { current_sink(text, current_context); }

WarningRoute::WarningRoute(WarningSink sink, void* context)
    : previous_sink_(current_sink), previous_context_(current_context) {
  current_sink = sink;
  current_context = context;
}

WarningRoute::~WarningRoute() {
  current_sink = previous_sink_;
  current_context = previous_context_;
}

}  // namespace locprox::summary
