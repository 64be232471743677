// The HTML report's own files (report.html, report.css, report.js in this
// folder), built into the program by embed_page.cmake.
#pragma once

#include <string_view>

namespace locprox::summary::page {

extern const std::string_view kReportHtml;
extern const std::string_view kReportCss;
extern const std::string_view kReportJs;

}  // namespace locprox::summary::page
