// Writing a finished output file in one go.
#pragma once

#include <string>
#include <string_view>

namespace locprox::summary {

// Creates or replaces `path` with `contents`; throws OutputError on failure.
void write_file(const std::string& path, std::string_view contents);

}  // namespace locprox::summary
