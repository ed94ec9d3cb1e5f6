cmake_minimum_required(VERSION 3.22)
# Fails when the split marker occurs anywhere in FILE. The loader stops at the
# first occurrence, so a wrapper holding the marker would split itself at the
# wrong place. The marker is spelled here in hexadecimal only.
if(NOT DEFINED FILE OR NOT EXISTS "${FILE}")
  message(FATAL_ERROR "check_no_marker: no such file: '${FILE}'")
endif()

set(marker_hex "34373030383634313237343935333833313737373735")
file(READ "${FILE}" content HEX)
string(TOLOWER "${content}" content)

set(offset 0)
while(TRUE)
  string(SUBSTRING "${content}" ${offset} -1 rest)
  string(FIND "${rest}" "${marker_hex}" found)
  if(found EQUAL -1)
    break()
  endif()
  math(EXPR at "${offset} + ${found}")
  math(EXPR odd "${at} % 2")
  if(odd EQUAL 0)
    math(EXPR byte_offset "${at} / 2")
    if(DELETE_ON_FAILURE)
      file(REMOVE "${FILE}")
    endif()
    message(FATAL_ERROR "${FILE}: contains the split marker at byte ${byte_offset}; "
                        "the loader would split the file there")
  endif()
  math(EXPR offset "${at} + 1")
endwhile()
