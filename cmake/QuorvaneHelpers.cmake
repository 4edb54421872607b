include(GoogleTest)

# One static library per subsystem folder. Portable sources sit at the top of
# the folder (and in any sub-folder that is not a platform folder); the
# platform glue sits in win32/ or posix/ below it and is compiled only for its
# platform. Globbing keeps the CMake files out of the way when a file is added.
function(qv_subsystem_library name dir)
  cmake_parse_arguments(ARG "" "" "DEPS;WIN32_LIBS" ${ARGN})
  file(GLOB_RECURSE all CONFIGURE_DEPENDS "${dir}/*.cpp" "${dir}/*.c")
  set(sources)
  foreach(f IN LISTS all)
    file(RELATIVE_PATH rel "${dir}" "${f}")
    if(rel MATCHES "(^|/)win32/")
      if(WIN32)
        list(APPEND sources "${f}")
      endif()
    elseif(rel MATCHES "(^|/)posix/")
      if(NOT WIN32)
        list(APPEND sources "${f}")
      endif()
    else()
      list(APPEND sources "${f}")
    endif()
  endforeach()
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC "${PROJECT_SOURCE_DIR}/src")
    if(ARG_DEPS)
      target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    endif()
    if(WIN32 AND ARG_WIN32_LIBS)
      target_link_libraries(${name} PUBLIC ${ARG_WIN32_LIBS})
    endif()
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE "${PROJECT_SOURCE_DIR}/src")
    if(ARG_DEPS)
      target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    endif()
  endif()
endfunction()

# One test executable per folder of tests/, linked with the test doubles.
# Every GoogleTest case in it is a CTest test of its own,
# "test_settings.Suite.Case", so that a run counts cases and one case can be
# run or rerun alone. The cases are listed by the executable when ctest
# starts rather than after the build: a Windows executable lists them
# through the cross-compiling emulator (Wine), whose prefix the test script
# creates only then, and a cold Wine start needs far more than the default
# five seconds.
function(qv_test_executable name dir)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${dir}/*.cpp")
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE qv_test_support ${ARG_DEPS} GTest::gtest GTest::gtest_main)
  # The native registry of a test run is a file of its own, never the user's
  # settings; the file named here is only a fallback for a case missing from
  # the list below.
  set(registries "${CMAKE_CURRENT_BINARY_DIR}/registries/${name}")
  gtest_discover_tests(${name}
    EXTRA_ARGS --gtest_color=no
    TEST_PREFIX "${name}."
    TEST_LIST ${name}_CASES
    # A parameter's name, not a dump of its bytes (which holds addresses).
    NO_PRETTY_VALUES
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 180
    PROPERTIES TIMEOUT 300 LABELS ${name}
               ENVIRONMENT "QUORVANE_REGISTRY=${registries}/unlisted.reg")
  # Runs after the listing (include files run in order): the environment of
  # each case, with a registry file of its own, since cases of one executable
  # run in parallel processes, and a vendor site on a loopback port nobody
  # serves, so that a toolbar's fetch fails at once instead of going out to
  # the network. The files start empty at every run. A case
  # that calls GTEST_SKIP is reported as skipped, whatever CMake's module
  # does.
  file(CONFIGURE OUTPUT "${CMAKE_CURRENT_BINARY_DIR}/${name}_cases.cmake" @ONLY CONTENT [==[
file(REMOVE_RECURSE "@registries@")
file(MAKE_DIRECTORY "@registries@")
set(qv_files "")
foreach(qv_case IN LISTS @name@_CASES)
  string(REGEX REPLACE "^@name@[.]" "" qv_file "${qv_case}")
  string(REGEX REPLACE "[^A-Za-z0-9_.-]" "_" qv_file "${qv_file}")
  list(FIND qv_files "${qv_file}" qv_taken)
  if(qv_taken GREATER -1)
    list(LENGTH qv_files qv_count)
    string(APPEND qv_file "-${qv_count}")
  endif()
  list(APPEND qv_files "${qv_file}")
  set_tests_properties("${qv_case}" PROPERTIES
    ENVIRONMENT "QV_SOURCE_DIR=@PROJECT_SOURCE_DIR@;QV_BINARY_DIR=@PROJECT_BINARY_DIR@;QUORVANE_REGISTRY=@registries@/${qv_file}.reg;QUORVANE_BASE_URL=http://127.0.0.1:9/"
    SKIP_REGULAR_EXPRESSION [=[\[  SKIPPED \]]=])
endforeach()
]==])
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${CMAKE_CURRENT_BINARY_DIR}/${name}_cases.cmake")
endfunction()
