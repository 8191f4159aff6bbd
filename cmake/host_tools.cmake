# Small generators that run on the build machine whatever the target: they are compiled with
# the host's C++ compiler at configure time, so cross builds can use them too.
find_program(HOST_CXX NAMES c++ g++ clang++ REQUIRED)
set(HOST_TOOL_DIR ${CMAKE_BINARY_DIR}/host)
file(MAKE_DIRECTORY ${HOST_TOOL_DIR} ${CMAKE_BINARY_DIR}/generated ${CMAKE_BINARY_DIR}/art)

function(saucelins_host_tool name)
  set(src ${CMAKE_SOURCE_DIR}/tools/${name}.cpp)
  set(exe ${HOST_TOOL_DIR}/${name})
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${src})
  execute_process(COMMAND ${HOST_CXX} -std=c++17 -O1 -Wall -Wextra -o ${exe} ${src}
                  RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "host tool ${name} failed to build:\n${err}")
  endif()
  set(${name}_EXE ${exe} PARENT_SCOPE)
endfunction()

# The string table of the .rc, as Windows-1252 C strings for the portable core (tests, CLI).
set(GENERATED_CORE_SOURCES)
if(EXISTS ${CMAKE_SOURCE_DIR}/tools/host_rcstrings.cpp AND EXISTS ${CMAKE_SOURCE_DIR}/resources/saucelins.rc)
  saucelins_host_tool(host_rcstrings)
  set(out ${CMAKE_BINARY_DIR}/generated/string_table.inc)
  add_custom_command(OUTPUT ${out}
    COMMAND ${host_rcstrings_EXE} ${CMAKE_SOURCE_DIR}/resources/saucelins.rc ${out}
    DEPENDS ${CMAKE_SOURCE_DIR}/resources/saucelins.rc ${CMAKE_SOURCE_DIR}/resources/resource.h
            ${host_rcstrings_EXE}
    COMMENT "Extracting the string table")
  add_custom_target(saucelins_strings DEPENDS ${out})
endif()

# Artwork: text pixel maps in resources/art turned into .bmp/.ico/.cur for windres.
set(ART_FILES)
if(EXISTS ${CMAKE_SOURCE_DIR}/tools/host_pixmap.cpp)
  saucelins_host_tool(host_pixmap)
  file(GLOB art_maps CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/art/*.txt)
  foreach(m ${art_maps})
    get_filename_component(n ${m} NAME_WE)
    # The pixel map's first line names the output file (e.g. "toolbar.bmp").
    file(STRINGS ${m} first LIMIT_COUNT 1)
    string(REGEX REPLACE "^[^ ]+ +([^ ]+).*$" "\\1" outname "${first}")
    set(o ${CMAKE_BINARY_DIR}/art/${outname})
    add_custom_command(OUTPUT ${o} COMMAND ${host_pixmap_EXE} ${m} ${o}
                       DEPENDS ${m} ${host_pixmap_EXE})
    list(APPEND ART_FILES ${o})
  endforeach()
endif()
add_custom_target(saucelins_art DEPENDS ${ART_FILES})
