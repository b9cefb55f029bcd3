# korvex_library(NAME DEPS...): one static library from every source of the
# calling folder; an INTERFACE library while the folder has no sources yet.
function(korvex_library name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    add_library(${name} STATIC ${sources} ${KORVEX_EXTRA_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARGN})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARGN})
  endif()
endfunction()

# korvex_test(NAME DEPS...): one GoogleTest executable from every test source
# of the calling folder, registered with CTest; korvex and korvex-tables,
# which tests run as child processes, are built first.
function(korvex_test name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARGN} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    KORVEX_BINARY="$<TARGET_FILE:korvex>"
    KORVEX_TABLES_BINARY="$<TARGET_FILE:korvex-tables>"
    KORVEX_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  add_dependencies(${name} korvex korvex-tables)
  # Every parameterised suite names its cases: CTest takes those names as
  # they are, without the printed parameter appended to each.
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 NO_PRETTY_VALUES
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
endfunction()
