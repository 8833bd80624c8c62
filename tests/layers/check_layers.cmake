# The allowed arrows between the folders of src/: each folder below may include
# only from the folders listed for it (and the standard and system headers);
# engine/ and app/base/ build without Qt. The folders not listed (app/,
# archive_window/, settings/, shell/, packers/, start_dialog/, quickview/)
# may use all of these.
#
# Single files may be held to the same rule inside a folder that uses Qt:
# the self-extractor stub kxsfx and the writer it shares with zipexe (sfx/)
# run where no Qt is installed, so they include only engine/, app/base/ and
# each other.
#
#   cmake -DSRC=<src folder> -P check_layers.cmake
#
# Fails with one line per forbidden include.
cmake_minimum_required(VERSION 3.25)
if(NOT SRC)
  message(FATAL_ERROR "SRC is not set")
endif()

set(ALLOWED_engine "engine")
set(ALLOWED_app/base "app/base")
# The packer for the DOS formats is a program of its own beside kravix.
set(ALLOWED_kxpack "kxpack;engine;app/base")
set(ALLOWED_platform "platform;engine;app/base")
set(ALLOWED_ui "ui;platform;engine;app/base")
# The quick-view component is a library of its own: it sees none of the
# program's windows, only the code page table of the engine.
set(ALLOWED_quickview/component "quickview/component;engine/io")
set(QT_FREE engine app/base kxpack)
set(LAYERS engine app/base kxpack platform ui quickview/component)
set(QT_FREE_FILES sfx/kxsfx.cpp sfx/sfx_archive.h sfx/sfx_archive.cpp)
set(ALLOWED_QT_FREE_FILES "engine;app/base")

get_filename_component(SRC "${SRC}" ABSOLUTE)
set(problems "")
foreach(layer ${LAYERS})
  file(GLOB_RECURSE files "${SRC}/${layer}/*.h" "${SRC}/${layer}/*.cpp")
  foreach(file ${files})
    file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    file(RELATIVE_PATH shown "${SRC}" "${file}")
    foreach(line ${includes})
      if(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
        set(target "${CMAKE_MATCH_1}")
        set(ok FALSE)
        foreach(allowed ${ALLOWED_${layer}})
          string(LENGTH "${allowed}/" n)
          string(SUBSTRING "${target}" 0 ${n} head)
          if(head STREQUAL "${allowed}/")
            set(ok TRUE)
          endif()
        endforeach()
        # A header beside the file (no folder in the name) stays in the layer.
        if(NOT target MATCHES "/")
          set(ok TRUE)
        endif()
        if(NOT ok)
          list(APPEND problems "${shown}: ${layer}/ may not include \"${target}\"")
        endif()
      elseif(line MATCHES "#[ \t]*include[ \t]*<(Q[A-Za-z]*|qt[^>]*)>" AND layer IN_LIST QT_FREE)
        list(APPEND problems "${shown}: ${layer}/ builds without Qt, but includes <${CMAKE_MATCH_1}>")
      endif()
    endforeach()
  endforeach()
endforeach()

foreach(shown ${QT_FREE_FILES})
  if(NOT EXISTS "${SRC}/${shown}")
    continue()
  endif()
  file(STRINGS "${SRC}/${shown}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  foreach(line ${includes})
    if(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
      set(target "${CMAKE_MATCH_1}")
      set(ok FALSE)
      if(target IN_LIST QT_FREE_FILES)
        set(ok TRUE)
      endif()
      foreach(allowed ${ALLOWED_QT_FREE_FILES})
        string(LENGTH "${allowed}/" n)
        string(SUBSTRING "${target}" 0 ${n} head)
        if(head STREQUAL "${allowed}/")
          set(ok TRUE)
        endif()
      endforeach()
      if(NOT ok)
        list(APPEND problems "${shown}: builds without Qt and may not include \"${target}\"")
      endif()
    elseif(line MATCHES "#[ \t]*include[ \t]*<(Q[A-Za-z]*|qt[^>]*)>")
      list(APPEND problems "${shown}: builds without Qt, but includes <${CMAKE_MATCH_1}>")
    endif()
  endforeach()
endforeach()

if(problems)
  list(JOIN problems "\n" text)
  message(FATAL_ERROR "Forbidden includes:\n${text}")
endif()
message(STATUS "Every include keeps to the allowed arrows.")
