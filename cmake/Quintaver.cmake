# Helpers shared by every part of the build.

# A platform library: platform/<Framework>/ with include/ as its public headers.
#   quintaver_platform_library(NAME SOURCES... [LIBS ...])
function(quintaver_platform_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/include)
  if(ARG_LIBS)
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  endif()
endfunction()

# A GoogleTest binary run by CTest as one test, labelled "platform".
#   quintaver_gtest(NAME SOURCES... LIBS ... [LABELS ...])
function(quintaver_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE GTest::gtest_main ${ARG_LIBS})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES LABELS "platform;${ARG_LABELS}")
endfunction()
