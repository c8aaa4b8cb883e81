# Checks that the folders of src/ include one way only: down. Layers, lowest
# first: store < ui < app < the window folders < shell. A folder may include
# its own files and those of lower layers; the window folders do not include
# one another, they ask for one another's windows through the navigator; only
# shell includes them all. A new folder must be given its layer here.
#
#   cmake -DSOURCE_DIR=<the src folder> -P check_includes.cmake
#
# Prints every include against the direction and "found N faults"; fails
# when N is not 0.

cmake_minimum_required(VERSION 3.22)

set(layer_store 0)
set(layer_ui 1)
set(layer_app 2)
# The window folders. To come, each a window folder of its own opened from the
# chapter manager: search (whole-book search and replace), history (a
# chapter's earlier texts, from the snapshots), statistics (writing figures).
foreach(windows library chapters editor search history statistics)
  set(layer_${windows} 3)
endforeach()
set(layer_shell 4)

if(NOT IS_DIRECTORY "${SOURCE_DIR}")
  message(FATAL_ERROR "check_includes: no folder SOURCE_DIR=${SOURCE_DIR}")
endif()

file(GLOB_RECURSE files RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*.h" "${SOURCE_DIR}/*.cpp")
list(SORT files)
set(faults 0)
set(unplaced "")
foreach(file IN LISTS files)
  if(NOT file MATCHES "/")
    message("${file}: lies in no folder")
    math(EXPR faults "${faults} + 1")
    continue()
  endif()
  string(REGEX MATCH "^[^/]+" folder "${file}")
  if(NOT DEFINED layer_${folder})
    if(NOT folder IN_LIST unplaced)
      list(APPEND unplaced "${folder}")
      message("${folder}/: a folder without a layer; give it one in check_includes.cmake")
      math(EXPR faults "${faults} + 1")
    endif()
    continue()
  endif()
  file(STRINGS "${SOURCE_DIR}/${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"/]+/")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"/]+)/.*$" "\\1" target "${line}")
    if(target STREQUAL folder)
      continue()
    endif()
    if(NOT DEFINED layer_${target})
      message("${file}: includes ${target}/, a folder without a layer")
      math(EXPR faults "${faults} + 1")
    elseif(layer_${target} EQUAL layer_${folder})
      message("${file}: includes ${target}/, a window folder beside its own")
      math(EXPR faults "${faults} + 1")
    elseif(layer_${target} GREATER layer_${folder})
      message("${file}: includes ${target}/, a layer above ${folder}/")
      math(EXPR faults "${faults} + 1")
    endif()
  endforeach()
endforeach()

message("found ${faults} faults")
if(NOT faults EQUAL 0)
  message(FATAL_ERROR "includes against the direction")
endif()
