// Where the summary's warnings go. By default each is a line
// "locprox-summary: warning: TEXT" on standard error; a front end with a
// console of its own (the R package) routes them there for as long as a
// WarningRoute it made lives.
#pragma once

#include <string>

namespace locprox::summary {

using WarningSink = void (*)(const std::string& text, void* context);

// Hands `text` (one line, without its line end) to the sink in place.
void warn(const std::string& text);

class WarningRoute {
 public:
  WarningRoute(WarningSink sink, void* context);
  ~WarningRoute();
  WarningRoute(const WarningRoute&) = delete;
  WarningRoute& operator=(const WarningRoute&) = delete;

 private:
  WarningSink previous_sink_;
  void* previous_context_;
};

}  // namespace locprox::summary
