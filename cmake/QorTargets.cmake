# Shared helpers for the project's libraries, tests and tools.

function(qor_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(QOR_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# qor_add_library(<target> DEPS <libs...>)
# Every .cpp/.h in the calling folder belongs to the library; the folder's
# parent is on the include path so headers are included as "folder/file.h".
function(qor_add_library target)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
       ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  add_library(${target} STATIC ${_src})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${ARG_DEPS})
  set_target_properties(${target} PROPERTIES AUTOMOC ON AUTORCC ON
                        POSITION_INDEPENDENT_CODE ON)
  qor_warnings(${target})
endfunction()

# qor_add_test(<target> DEPS <libs...> [LABELS <labels...>])
# One test binary per library: every .cpp in the calling test folder.
# LABELS lets a group be run alone (ctest -L).
function(qor_add_test target)
  cmake_parse_arguments(ARG "" "" "DEPS;LABELS" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_executable(${target} ${_src})
  target_link_libraries(${target} PRIVATE ${ARG_DEPS} qortestsupport GTest::gtest)
  set_target_properties(${target} PROPERTIES AUTOMOC ON)
  qor_warnings(${target})
  set(_props ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  if(ARG_LABELS)
    list(APPEND _props LABELS "${ARG_LABELS}")
  endif()
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST PROPERTIES ${_props})
endfunction()
