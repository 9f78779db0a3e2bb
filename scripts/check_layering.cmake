# Keeps the source tree layered: reads every #include "..." of src/ and res/ and fails
# when a folder includes a header of a folder at its own level or above, or when a file
# outside src/fileio includes the format library's own headers (fileio/imgx/...).
#
#   cmake -DROOT=<source dir> -P scripts/check_layering.cmake
#
# Levels, bottom first. Folders on one level are siblings and do not include each
# other. Tests, fuzz targets, benchmarks and tools are outside the layers: they may
# include anything, the format library's headers too.
#   0  common, res       settings, profiles and strings
#   1  imaging           image operations
#   2  script, fileio    the script model and command catalogue (which names the
#                        operations' kernels); reading and writing files (its imgx
#                        folder is private to it)
#   3  commands          the dispatcher, codes and descriptions
#   4  batch, core       the batch run; the core's version (src/CoreVersion.*)
#   5  app               the QtCore adapters the front ends share
#   6  console, gui      the front ends

if(NOT ROOT)
  message(FATAL_ERROR "check_layering: pass -DROOT=<source dir>")
endif()

set(level_common 0)
set(level_res 0)
set(level_imaging 1)
set(level_script 2)
set(level_fileio 2)
set(level_commands 3)
set(level_batch 4)
set(level_core 4)
set(level_app 5)
set(level_console 6)
set(level_gui 6)
set(areas common imaging script fileio commands batch app console gui)

# The area of a file given by its path below ROOT.
function(area_of_source rel out)
  if(rel MATCHES "^res/")
    set(${out} res PARENT_SCOPE)
  elseif(rel MATCHES "^src/([^/]+)/")
    set(${out} ${CMAKE_MATCH_1} PARENT_SCOPE)
  else()
    set(${out} core PARENT_SCOPE)
  endif()
endfunction()

# The area an include names, or "" for a header that is not the project's.
function(area_of_include name dir out)
  set(${out} "" PARENT_SCOPE)
  if(name MATCHES "^([^/]+)/")
    list(FIND areas "${CMAKE_MATCH_1}" i)
    if(i GREATER -1)
      set(${out} ${CMAKE_MATCH_1} PARENT_SCOPE)
    endif()
  elseif(EXISTS "${dir}/${name}")
    set(${out} self PARENT_SCOPE)
  elseif(EXISTS "${ROOT}/res/${name}")
    set(${out} res PARENT_SCOPE)
  elseif(EXISTS "${ROOT}/src/${name}")
    set(${out} core PARENT_SCOPE)
  endif()
endfunction()

file(GLOB_RECURSE files RELATIVE "${ROOT}"
     "${ROOT}/src/*.h" "${ROOT}/src/*.hpp" "${ROOT}/src/*.cpp"
     "${ROOT}/res/*.h" "${ROOT}/res/*.cpp")
list(SORT files)

set(faults 0)
set(checked 0)
foreach(rel IN LISTS files)
  area_of_source("${rel}" from)
  if(NOT DEFINED level_${from})
    message("${rel}: the folder src/${from} has no level; give it one in scripts/check_layering.cmake")
    math(EXPR faults "${faults} + 1")
    continue()
  endif()
  get_filename_component(dir "${ROOT}/${rel}" DIRECTORY)
  file(STRINGS "${ROOT}/${rel}" lines)
  set(n 0)
  foreach(line IN LISTS lines)
    math(EXPR n "${n} + 1")
    if(NOT line MATCHES "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\"")
      continue()
    endif()
    set(name "${CMAKE_MATCH_1}")
    area_of_include("${name}" "${dir}" to)
    if(to STREQUAL "" OR to STREQUAL "self")
      continue()
    endif()
    math(EXPR checked "${checked} + 1")
    if(name MATCHES "^fileio/imgx/" AND NOT rel MATCHES "^src/fileio/")
      message("${rel}:${n}: includes ${name}: the format library's headers are for src/fileio only; "
              "use fileio/ReadImage.h, fileio/WriteImage.h or fileio/LibraryText.h")
      math(EXPR faults "${faults} + 1")
    endif()
    if(NOT to STREQUAL from AND NOT level_${to} LESS level_${from})
      message("${rel}:${n}: includes ${name}: ${from} (level ${level_${from}}) may not include "
              "${to} (level ${level_${to}}); a folder includes only folders below its level")
      math(EXPR faults "${faults} + 1")
    endif()
  endforeach()
endforeach()

list(LENGTH files count)
if(faults GREATER 0)
  message(FATAL_ERROR "layering: ${faults} include(s) break the layers (${count} files, ${checked} project includes read)")
endif()
message("layering: ${count} files, ${checked} project includes, none against the layers")
