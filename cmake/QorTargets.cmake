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

# qor_test_main(<out-var> <Core|Gui|Widgets> [<fontconfig language>])
# The one test main (tests/common/testmain.cpp) built for one kind of
# application object -- QCoreApplication, QGuiApplication or QApplication --
# and, when given, the language fontconfig prefers faces for. Each variant
# is compiled once and shared by the binaries that ask for it.
function(qor_test_main out app)
  set(_target qortestmain_${app}${ARGN})
  # Qt's imported targets are seen only in the folders that looked them up.
  if(app STREQUAL "Widgets" OR app STREQUAL "Gui")
    find_package(Qt6 REQUIRED COMPONENTS ${app})
  endif()
  if(NOT TARGET ${_target})
    add_library(${_target} OBJECT ${PROJECT_SOURCE_DIR}/tests/common/testmain.cpp)
    target_link_libraries(${_target} PUBLIC qortestsupport)
    if(app STREQUAL "Widgets")
      target_link_libraries(${_target} PUBLIC Qt6::Widgets)
      target_compile_definitions(${_target} PRIVATE QOR_TEST_APP_WIDGETS)
    elseif(app STREQUAL "Gui")
      target_link_libraries(${_target} PUBLIC Qt6::Gui)
      target_compile_definitions(${_target} PRIVATE QOR_TEST_APP_GUI)
    elseif(NOT app STREQUAL "Core")
      message(FATAL_ERROR "qor_test_main: APP is Core, Gui or Widgets, not ${app}")
    endif()
    if(ARGN)
      target_compile_definitions(${_target} PRIVATE QOR_TEST_FC_LANG="${ARGN}")
    endif()
    qor_warnings(${_target})
  endif()
  set(${out} ${_target} PARENT_SCOPE)
endfunction()

# qor_add_test(<target> DEPS <libs...> [APP Core|Gui|Widgets] [FC_LANG <lang>]
#              [EXCLUDE <regex>] [LABELS <labels...>])
# One test binary per library: every .cpp in the calling test folder (but
# those matching EXCLUDE), with the test main for APP (Core by default).
# LABELS lets a group be run alone (ctest -L).
function(qor_add_test target)
  cmake_parse_arguments(ARG "" "APP;FC_LANG;EXCLUDE" "DEPS;LABELS" ${ARGN})
  if(NOT ARG_APP)
    set(ARG_APP Core)
  endif()
  file(GLOB _src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(ARG_EXCLUDE)
    list(FILTER _src EXCLUDE REGEX "${ARG_EXCLUDE}")
  endif()
  qor_test_main(_main ${ARG_APP} ${ARG_FC_LANG})
  add_executable(${target} ${_src})
  target_link_libraries(${target} PRIVATE ${ARG_DEPS} ${_main} qortestsupport GTest::gtest)
  set_target_properties(${target} PROPERTIES AUTOMOC ON)
  qor_warnings(${target})
  set(_props ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  if(ARG_LABELS)
    list(APPEND _props LABELS "${ARG_LABELS}")
  endif()
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST PROPERTIES ${_props})
endfunction()
