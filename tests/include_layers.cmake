# Fails on an include that goes up a layer or across between folders of one layer.
# Run by CTest: cmake -DSOURCE_DIR=<repository> -P include_layers.cmake
#
# Each folder has a layer (folders of one layer are listed together, by commas); a file
# may include its own folder and any folder of a lower layer. Core never sees ui/ at all (other include root), so only the order within each
# tree is checked here. Folders of one layer (the windows of ui/) know nothing of each
# other: the program's start-up wires them together.
set(core_layers
  "base"
  "db"
  "picture"
  "keyword"
  "album"
  "thumbnails"
  "import,filter"
  "maintenance,info")
set(ui_layers
  "widgets"
  "keyword,import,filter,slide,thumbnails,main"
  "app")

# layer_<tree>_<folder> = its rank.
foreach(tree core ui)
  set(rank 0)
  foreach(layer IN LISTS ${tree}_layers)
    string(REPLACE "," ";" folders "${layer}")
    foreach(folder IN LISTS folders)
      set(layer_${tree}_${folder} ${rank})
    endforeach()
    math(EXPR rank "${rank} + 1")
  endforeach()
endforeach()

set(src ${SOURCE_DIR}/src)
set(faults "")
file(GLOB_RECURSE files RELATIVE ${src} ${src}/core/*.h ${src}/core/*.cpp ${src}/ui/*.h
     ${src}/ui/*.cpp ${src}/cli/*.h ${src}/cli/*.cpp)
foreach(file IN LISTS files)
  string(REGEX MATCH "^([a-z]+)/?([a-z]*)" _ "${file}")
  set(tree ${CMAKE_MATCH_1})
  set(folder ${CMAKE_MATCH_2})
  if(tree STREQUAL "cli")
    set(folder "")
  elseif(NOT DEFINED layer_${tree}_${folder})
    list(APPEND faults "${file}: the folder ${tree}/${folder} has no layer in include_layers.cmake")
    continue()
  endif()
  file(STRINGS ${src}/${file} lines)
  set(number 0)
  foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    if(NOT line MATCHES "^#include \"([a-z_]+)/[^\"]+\"")
      continue()
    endif()
    set(target ${CMAKE_MATCH_1})
    string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" path "${line}")
    if(tree STREQUAL "cli")
      if(target STREQUAL "cli")
        continue()
      endif()
      if(NOT EXISTS ${src}/core/${path})
        list(APPEND faults "src/${file}:${number}: includes ${path}, but the command line uses core only")
      endif()
      continue()
    endif()
    # A window's file finds core headers through the core root too.
    if(EXISTS ${src}/${tree}/${path})
    elseif(tree STREQUAL "ui" AND EXISTS ${src}/core/${path})
      continue()
    else()
      list(APPEND faults "src/${file}:${number}: includes ${path}, which is not in ${tree}/")
      continue()
    endif()
    if(target STREQUAL folder)
      continue()
    endif()
    set(from ${layer_${tree}_${folder}})
    set(to ${layer_${tree}_${target}})
    if(to GREATER from)
      list(APPEND faults "src/${file}:${number}: includes ${path}, a layer above ${tree}/${folder}")
    elseif(to EQUAL from)
      list(APPEND faults "src/${file}:${number}: includes ${path}, across from ${tree}/${folder} in its own layer")
    endif()
  endforeach()
endforeach()

list(LENGTH files count)
if(faults)
  list(JOIN faults "\n" text)
  message(FATAL_ERROR "${text}")
endif()
message(STATUS "${count} files, every include goes down a layer")
