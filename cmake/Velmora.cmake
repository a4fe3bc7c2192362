# Helpers shared by every module, test and benchmark folder.

# Adds every direct sub-folder of the current folder that has a CMakeLists.txt,
# so a new module only needs its own folder.
function(velmora_add_subfolders)
  file(GLOB children RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child ${children})
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child}
       AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# velmora_module(<name> [DEPS <targets>...])
# A static library velmora_<name> from every .cpp/.h in the folder.
# Includes are written from src/: #include "config/IniFile.h".
function(velmora_module name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS *.cpp *.h)
  add_library(velmora_${name} STATIC ${sources})
  target_include_directories(velmora_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(velmora_${name} PUBLIC ${ARG_DEPS})
  set_property(GLOBAL APPEND PROPERTY VELMORA_MODULES velmora_${name})
endfunction()

# velmora_test(<module> [DEPS <targets>...] [LOCK <resource>])
# One GoogleTest program per module, from every .cpp in the folder; each test
# case becomes its own ctest entry. Tests of programs that share a LOCK never
# run at the same time: the modem simulator keeps real time, and two of them
# (or a simulator and a recording against another) starve each other on a
# machine with two cores.
function(velmora_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT;LOCK" "DEPS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set(lock "")
  if(ARG_LOCK)
    set(lock RESOURCE_LOCK ${ARG_LOCK})
  endif()
  file(GLOB sources CONFIGURE_DEPENDS *.cpp *.h)
  add_executable(test_${name} ${sources})
  target_link_libraries(test_${name} PRIVATE velmora_testmain ${ARG_DEPS})
  gtest_discover_tests(test_${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS ${name} ${lock}
    DISCOVERY_TIMEOUT 60)
endfunction()

# velmora_bench(<name> SOURCES <files>... [DEPS <targets>...])
function(velmora_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(bench_${name} ${ARG_SOURCES})
  target_link_libraries(bench_${name} PRIVATE benchmark::benchmark ${ARG_DEPS})
endfunction()
