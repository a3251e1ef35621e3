# Writes a C++ source that holds text files (the web pages' script, style
# sheet and stemmers) as character arrays, so that they are edited and
# checked as the files they are and built into the program:
#   cmake -DOUT=<file.cpp> -DFILES="kName=<path>|..." -P Embed.cmake
# Each kName becomes `extern const char Hlp::kName[]`, NUL-terminated.
cmake_minimum_required(VERSION 3.22)
set(text "// Made by cmake/Embed.cmake from the files named below: edit those.\nnamespace Hlp {\n")
string(REPLACE "|" ";" pairs "${FILES}")
foreach(pair ${pairs})
  string(REGEX REPLACE "=.*" "" name "${pair}")
  string(REGEX REPLACE "^[^=]*=" "" path "${pair}")
  file(READ "${path}" content)
  if(content MATCHES "\\)KIVEMBED\"")
    message(FATAL_ERROR "${path} holds the embedding's end mark")
  endif()
  string(APPEND text "// ${path}\nextern const char ${name}[];\nconst char ${name}[] = R\"KIVEMBED(${content})KIVEMBED\";\n")
endforeach()
string(APPEND text "} // namespace Hlp\n")
# Written only when it changed: what includes nothing is not rebuilt.
set(old "")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUT}" "${text}")
endif()
