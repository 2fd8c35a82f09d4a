# SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
# SPDX-License-Identifier: GPL-3.0-or-later
#
# The device library must export exactly the C functions its two headers
# declare, like the vendor's C library: none missing, and none of the C++
# inside it (JSON parser, simulator classes), which would clash with whatever
# the manager links. Run as
#   cmake -DNM=nm -DLIBRARY=<lib> -DHEADERS="<a.h>;<b.h>" -P exportedsymbols.cmake

cmake_minimum_required(VERSION 3.25)

foreach(var NM LIBRARY HEADERS)
  if(NOT ${var})
    message(FATAL_ERROR "${var} not given")
  endif()
endforeach()

set(declared)
foreach(header ${HEADERS})
  file(READ ${header} text)
  # Function declarations only: the callback typedef's name is followed by ')'.
  string(REGEX MATCHALL "(LumenquillAPI|lqsim_)[A-Za-z0-9_]*[ \t]*\\(" calls "${text}")
  foreach(call ${calls})
    string(REGEX REPLACE "[ \t]*\\($" "" name "${call}")
    list(APPEND declared ${name})
  endforeach()
endforeach()
list(REMOVE_DUPLICATES declared)
list(LENGTH declared declaredCount)
if(declaredCount LESS 40)
  message(FATAL_ERROR "only ${declaredCount} functions found in ${HEADERS}: the headers changed shape")
endif()

execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
  OUTPUT_VARIABLE listing RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${LIBRARY}: ${errors}")
endif()
string(REPLACE "\n" ";" lines "${listing}")
set(exported)
set(unexpected)
foreach(line ${lines})
  # "<address> <type> <name>[@@version]"
  if(NOT line MATCHES "^[0-9a-fA-F]* *[A-Za-z] ([^@ ]+)")
    continue()
  endif()
  set(name ${CMAKE_MATCH_1})
  list(APPEND exported ${name})
  if(NOT name IN_LIST declared)
    list(APPEND unexpected ${name})
  endif()
endforeach()
set(missing)
foreach(name ${declared})
  if(NOT name IN_LIST exported)
    list(APPEND missing ${name})
  endif()
endforeach()

if(unexpected OR missing)
  set(report "${LIBRARY}:")
  if(unexpected)
    list(LENGTH unexpected unexpectedCount)
    list(SUBLIST unexpected 0 20 shown)
    string(REPLACE ";" "\n  " shown "${shown}")
    string(APPEND report "\n${unexpectedCount} symbols exported beyond the declared C functions, among them:\n  ${shown}")
  endif()
  if(missing)
    string(REPLACE ";" "\n  " missing "${missing}")
    string(APPEND report "\ndeclared but not exported:\n  ${missing}")
  endif()
  message(FATAL_ERROR "${report}")
endif()
list(LENGTH exported exportedCount)
message(STATUS "${exportedCount} symbols exported, each declared in the headers")
