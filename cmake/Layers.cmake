# Checks that no source includes a folder of a higher layer: run by the
# build (target "layers"), so that an include running up fails it.
#   cmake -DSRC=<src folder> -P Layers.cmake
# The help compiler's own folders are layers too, "compiler" being its top
# (the driver): the help document at the bottom, then pictures, the .HLP
# format, the sources (project, RTF, macros; the decompiled project), and
# the writers of web pages, .CHM and PDF.
cmake_minimum_required(VERSION 3.22)
# Each folder may include itself and the folders listed after it; "compiler"
# in another folder's list stands for all of the compiler's folders.
set(platform_may)
set(errors_may platform)
set(fileops_may errors platform)
set(compiler_document_may platform)
set(compiler_pictures_may compiler/document platform)
set(compiler_hlp_may compiler/pictures compiler/document platform)
set(compiler_sources_may compiler/hlp compiler/pictures compiler/document platform)
set(compiler_web_may compiler/hlp compiler/pictures compiler/document platform)
set(compiler_chm_may compiler/web compiler/hlp compiler/pictures compiler/document platform)
set(compiler_pdf_may compiler/web compiler/hlp compiler/pictures compiler/document platform)
set(compiler_may compiler/pdf compiler/chm compiler/web compiler/sources compiler/hlp compiler/pictures compiler/document platform)
set(config_may errors platform)
set(model_may platform)
set(formats_may model config fileops errors platform)
set(helpgen_may formats model config compiler fileops errors platform)
set(editing_may helpgen formats model config compiler fileops errors platform)
set(project_may editing helpgen formats model config compiler fileops errors platform)
set(sequencer_may project editing helpgen formats model config compiler fileops errors platform)
set(ui_may sequencer project editing helpgen formats model config compiler fileops errors platform)
set(folders platform errors fileops compiler/document compiler/pictures compiler/hlp compiler/sources compiler/web
            compiler/chm compiler/pdf compiler config model formats helpgen editing project sequencer ui)

set(wrong "")
# Every folder, at any depth, is a layer: a folder the list lacks would be
# left out of the check (and of the build's globs) without a word.
file(GLOB_RECURSE present LIST_DIRECTORIES true RELATIVE ${SRC} ${SRC}/*)
foreach(folder ${present})
  if(IS_DIRECTORY ${SRC}/${folder} AND NOT folder IN_LIST folders)
    string(APPEND wrong "  src/${folder}/ is in no layer (add it to cmake/Layers.cmake)\n")
  endif()
endforeach()
foreach(folder ${folders})
  string(REPLACE "/" "_" key ${folder})
  set(may ${${key}_may})
  # Outside the compiler, "compiler" allows each of its folders.
  if("compiler" IN_LIST may AND NOT folder MATCHES "^compiler")
    list(APPEND may compiler/document compiler/pictures compiler/hlp compiler/sources compiler/web compiler/chm compiler/pdf)
  endif()
  file(GLOB files ${SRC}/${folder}/*.h ${SRC}/${folder}/*.cpp)
  foreach(file ${files})
    file(STRINGS ${file} includes REGEX "^#include \"[a-z]+/")
    foreach(line ${includes})
      if(line MATCHES "^#include \"(compiler/[a-z]+)/")
        set(to ${CMAKE_MATCH_1})
      else()
        string(REGEX REPLACE "^#include \"([a-z]+)/.*" "\\1" to "${line}")
      endif()
      if(NOT to STREQUAL folder AND NOT to IN_LIST may)
        file(RELATIVE_PATH shown ${SRC} ${file})
        string(APPEND wrong "  src/${shown} includes ${to}/, a higher layer\n")
      endif()
    endforeach()
  endforeach()
endforeach()
if(wrong)
  message(FATAL_ERROR "Includes that run up the layers:\n${wrong}")
endif()
