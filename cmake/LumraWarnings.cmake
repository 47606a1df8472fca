# Warning set shared by every target of the project.
add_library(lumra_warnings INTERFACE)
target_compile_options(lumra_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wcast-qual -Wformat=2 -Wundef
  -Wimplicit-fallthrough -Wnon-virtual-dtor -Wmissing-declarations)
if(LUMRA_WERROR)
  target_compile_options(lumra_warnings INTERFACE -Werror)
endif()

# lumra_library(NAME SOURCES... [DEPS libs...]): one static library per subsystem.
function(lumra_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE lumra_warnings)
endfunction()
