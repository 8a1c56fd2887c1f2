include(GoogleTest)

# One test executable per *.test.cpp file in the calling folder.
function(zedazi_add_tests)
  cmake_parse_arguments(ARG "" "PREFIX" "LIBS" ${ARGN})
  file(GLOB test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.test.cpp)
  foreach(src IN LISTS test_sources)
    get_filename_component(name ${src} NAME_WE)
    set(target ${ARG_PREFIX}_${name}_test)
    add_executable(${target} ${src})
    target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
    if(CMAKE_CROSSCOMPILING)
      # Listing the tests would run the target's program at build time.
      add_test(NAME ${target} COMMAND ${target})
      set_tests_properties(${target} PROPERTIES TIMEOUT 120 LABELS ${ARG_PREFIX})
    else()
      gtest_discover_tests(${target}
        DISCOVERY_TIMEOUT 60
        # Parameter values would pad every line of the ctest listing.
        NO_PRETTY_VALUES NO_PRETTY_TYPES
        PROPERTIES TIMEOUT 120 LABELS ${ARG_PREFIX})
    endif()
  endforeach()
endfunction()

# Platform files end in _posix.cpp or _win32.cpp; a build takes its own
# platform's and leaves the other's.
if(WIN32)
  set(ZEDAZI_OTHER_PLATFORM posix)
else()
  set(ZEDAZI_OTHER_PLATFORM win32)
endif()

# A static library from every *.cpp in the calling folder; headers are included
# from the project root ("serial/dispatcher.h").
function(zedazi_add_library name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER sources EXCLUDE REGEX ".*/main\\.cpp$")
  list(FILTER sources EXCLUDE REGEX ".*_${ZEDAZI_OTHER_PLATFORM}\\.cpp$")
  if(sources)
    add_library(${name} STATIC ${sources})
    set(scope PUBLIC)
  else()
    add_library(${name} INTERFACE)
    set(scope INTERFACE)
  endif()
  target_include_directories(${name} ${scope} ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} ${scope} ${ARG_LIBS} Threads::Threads)
endfunction()
