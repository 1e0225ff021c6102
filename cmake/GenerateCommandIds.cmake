# cmake -DTABLE=<commands.tsv> -DOUTPUT=<commandids.h> -P GenerateCommandIds.cmake
#
# Writes one constant per row of the command table, so that code names a
# command by the table's name column and the number lives in one place.
# A row without a usable id or name stops the build: a silent gap would
# leave some code with a number of its own again.

cmake_minimum_required(VERSION 3.25)

if(NOT TABLE OR NOT OUTPUT)
  message(FATAL_ERROR "GenerateCommandIds: give -DTABLE=... and -DOUTPUT=...")
endif()

# Only the id and the name are read: the other columns hold free text
# (brackets, semicolons) that CMake lists would mangle.
file(READ "${TABLE}" _table ENCODING UTF-8)
string(REGEX MATCHALL "(^|\n)[0-9]+\t[^\t\n]*" _rows "${_table}")
set(_body "")
set(_seen_ids "")
set(_seen_names "")
foreach(_row IN LISTS _rows)
  string(REGEX REPLACE "^\n" "" _row "${_row}")
  string(REGEX MATCH "^([0-9]+)\t(.*)$" _ "${_row}")
  set(_id "${CMAKE_MATCH_1}")
  set(_name "${CMAKE_MATCH_2}")
  if(NOT _name MATCHES "^kCmd[A-Za-z0-9]+$")
    message(FATAL_ERROR "${TABLE}: command ${_id} needs a name kCmd<Name>, not \"${_name}\"")
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

set(_text "#pragma once\n// Generated from resources/commands.tsv by cmake/GenerateCommandIds.cmake.\n// Edit the table, not this file.\n\nnamespace qor::cmd_ids {\n\n${_body}\n}  // namespace qor::cmd_ids\n")

# Rewrite only a changed header, so that an edit of a caption or prompt
# does not rebuild every file that names a command.
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" _old)
  if(_old STREQUAL _text)
    return()
  endif()
endif()
file(WRITE "${OUTPUT}" "${_text}")
