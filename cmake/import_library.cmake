# Writes the import library of the Windows DLL so that C callers who include
# osprey32.h can link against it.
#
# The DLL exports plain names (dbf_open), but a caller compiled against the
# header refers to the standard-call names (_dbf_open@8). The import library
# must map the one to the other, so it is made from a definition file whose
# names carry their argument sizes, with the sizes stripped from the names
# the DLL is asked for (dlltool --kill-at). The sizes are taken from the
# library's own objects, so they always agree with the code.
#
# Variables: NM, DLLTOOL, DEF (the export list), ARCHIVE (a static library of
# the DLL's objects), DLL (the DLL's file name), WORK_DEF (written), OUT.
foreach(var NM DLLTOOL DEF ARCHIVE DLL WORK_DEF OUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "import_library.cmake: ${var} is not set")
  endif()
endforeach()

execute_process(COMMAND ${NM} -g --defined-only ${ARCHIVE}
                OUTPUT_VARIABLE symbols RESULT_VARIABLE nm_result)
if(NOT nm_result EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${ARCHIVE}")
endif()

file(STRINGS ${DEF} def_lines)
set(in_exports FALSE)
set(decorated "LIBRARY ${DLL}\nEXPORTS\n")
foreach(line IN LISTS def_lines)
  string(REGEX REPLACE ";.*$" "" line "${line}")
  string(STRIP "${line}" line)
  if(line STREQUAL "")
    continue()
  endif()
  if(line MATCHES "^EXPORTS$")
    set(in_exports TRUE)
    continue()
  endif()
  if(NOT in_exports OR line MATCHES "^(LIBRARY|NAME|DESCRIPTION|VERSION|HEAPSIZE|STACKSIZE|SECTIONS)( |$)")
    continue()
  endif()
  string(REGEX MATCH "^[A-Za-z_][A-Za-z0-9_]*" name "${line}")
  # 32-bit Windows prefixes C names with an underscore; standard-call names
  # end in @ and the size of the arguments.
  if(symbols MATCHES " T _${name}@([0-9]+)\n")
    string(APPEND decorated "    ${name}@${CMAKE_MATCH_1}\n")
  elseif(symbols MATCHES " T _${name}\n")
    string(APPEND decorated "    ${name}\n")
  else()
    message(FATAL_ERROR "export ${name} is listed in ${DEF} but not defined in ${ARCHIVE}")
  endif()
endforeach()

file(WRITE ${WORK_DEF} "${decorated}")
execute_process(COMMAND ${DLLTOOL} --kill-at --input-def ${WORK_DEF} --dllname ${DLL}
                        --output-lib ${OUT}
                RESULT_VARIABLE dlltool_result)
if(NOT dlltool_result EQUAL 0)
  message(FATAL_ERROR "${DLLTOOL} failed to write ${OUT}")
endif()
