# cmake -DTABLE=<table.tsv> -DOUTPUT=<ids.h> -DNAMESPACE=<qor::...>
#       -DPREFIX=<kCmd|k> -DWHAT=<command|string> -P GenerateTableIds.cmake
#
# Writes one constant per row of a resource table whose first two columns are
# id and name (commands.tsv, strings.tsv), so that code names an entry by the
# table's name column and the number lives in one place. A row without a
# usable id or name, a repeated id or a repeated name stops the build: a
# silent gap would leave some code with a number of its own again.

cmake_minimum_required(VERSION 3.25)

foreach(_arg TABLE OUTPUT NAMESPACE PREFIX WHAT)
  if(NOT ${_arg})
    message(FATAL_ERROR "GenerateTableIds: give -DTABLE= -DOUTPUT= -DNAMESPACE= -DPREFIX= -DWHAT=")
  endif()
endforeach()

# Only the id and the name are read: the other columns hold free text
# (brackets, semicolons) that CMake lists would mangle.
file(READ "${TABLE}" _table ENCODING UTF-8)
string(REGEX MATCHALL "(^|\n)[0-9]+\t[^\t\n]*" _rows "${_table}")
# A line that starts like a row but has no tab after its id is no row to
# the regex above; the reader would refuse it too, so refuse it here first.
string(REGEX MATCHALL "(^|\n)[0-9]+[^0-9\t][^\n]*" _broken "${_table}")
if(_broken)
  list(GET _broken 0 _first)
  string(STRIP "${_first}" _first)
  message(FATAL_ERROR "${TABLE}: ill-formed row \"${_first}\"")
endif()
get_filename_component(_table_name "${TABLE}" NAME)
set(_body "")
set(_seen_ids "")
set(_seen_names "")
foreach(_row IN LISTS _rows)
  string(REGEX REPLACE "^\n" "" _row "${_row}")
  string(REGEX MATCH "^([0-9]+)\t(.*)$" _ "${_row}")
  set(_id "${CMAKE_MATCH_1}")
  set(_name "${CMAKE_MATCH_2}")
  if(NOT _name MATCHES "^${PREFIX}[A-Z][A-Za-z0-9]*$")
    message(FATAL_ERROR "${TABLE}: ${WHAT} ${_id} needs a name ${PREFIX}<Name>, not \"${_name}\"")
  endif()
  if("${_id}" IN_LIST _seen_ids)
    message(FATAL_ERROR "${TABLE}: id ${_id} repeated")
  endif()
  if("${_name}" IN_LIST _seen_names)
    message(FATAL_ERROR "${TABLE}: name ${_name} repeated")
  endif()
  list(APPEND _seen_ids "${_id}")
  list(APPEND _seen_names "${_name}")
  string(APPEND _body "inline constexpr int ${_name} = ${_id};\n")
endforeach()

set(_text "#pragma once\n// Generated from resources/${_table_name} by cmake/GenerateTableIds.cmake.\n// Edit the table, not this file.\n\nnamespace ${NAMESPACE} {\n\n${_body}\n}  // namespace ${NAMESPACE}\n")

# Rewrite only a changed header, so that an edit of a text, caption or
# prompt does not rebuild every file that names an entry.
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" _old)
  if(_old STREQUAL _text)
    return()
  endif()
endif()
file(WRITE "${OUTPUT}" "${_text}")
