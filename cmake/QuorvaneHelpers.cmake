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
# Windows builds run it through the cross-compiling emulator (Wine).
function(qv_test_executable name dir)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${dir}/*.cpp")
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE qv_test_support ${ARG_DEPS} GTest::gtest GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  # The native registry of a test run is a file of its own, never the user's
  # settings.
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QV_SOURCE_DIR=${PROJECT_SOURCE_DIR};QV_BINARY_DIR=${PROJECT_BINARY_DIR};QUORVANE_REGISTRY=${CMAKE_CURRENT_BINARY_DIR}/${name}-registry.reg"
    TIMEOUT 900)
endfunction()
