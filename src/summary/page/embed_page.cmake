# Turns the page's own files into a C++ source, so that locprox-summary
# carries them and writes a page that needs nothing beside it.
#
#   cmake -DOUTPUT=page_files.cpp -DINPUTS="kReportHtml=report.html|..." -P embed_page.cmake
#
# Each NAME=FILE of INPUTS (separated by |, which a command line keeps whole) becomes `const std::string_view NAME` holding the
# file's bytes, as page_files.h declares them.
set(text "// Generated from src/summary/page/ by embed_page.cmake; edit the page's files instead.\n")
string(APPEND text "#include \"summary/page/page_files.h\"\n\nnamespace locprox::summary::page {\n")
string(REPLACE "|" ";" inputs "${INPUTS}")
foreach(input IN LISTS inputs)
  string(REGEX MATCH "^([A-Za-z0-9_]+)=(.+)$" matched "${input}")
  if(NOT matched)
    message(FATAL_ERROR "embed_page.cmake: \"${input}\" is not NAME=FILE")
  endif()
  set(name "${CMAKE_MATCH_1}")
  set(path "${CMAKE_MATCH_2}")
  file(READ "${path}" hex HEX)
  string(LENGTH "${hex}" digits)
  if(digits EQUAL 0)
    message(FATAL_ERROR "embed_page.cmake: ${path} is empty")
  endif()
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  # Lines of 24 bytes keep the generated file readable.
  string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){24})" "\\1\n  " bytes "${bytes}")
  string(APPEND text "\nnamespace {\nconst unsigned char ${name}Bytes[] = {\n  ${bytes}\n};\n}  // namespace\n")
  string(APPEND text "const std::string_view ${name}(reinterpret_cast<const char*>(${name}Bytes), sizeof ${name}Bytes);\n")
endforeach()
string(APPEND text "\n}  // namespace locprox::summary::page\n")
# Rewritten only when it changes, so an unchanged page rebuilds nothing.
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" previous)
  if(previous STREQUAL text)
    return()
  endif()
endif()
file(WRITE "${OUTPUT}" "${text}")
