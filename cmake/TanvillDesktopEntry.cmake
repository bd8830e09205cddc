# Writes the desktop entry at install time. Expects tanvill_desktop_template,
# tanvill_desktop_output and tanvill_program (the installed program's path).
#
# The program goes into Exec as one argument: inside double quotes when it holds a reserved
# character, with ", `, $ and \ escaped by a backslash and % written %%; the key file's own
# escape then doubles every backslash.
if(NOT IS_ABSOLUTE "${tanvill_program}")
    get_filename_component(tanvill_program "${tanvill_program}" ABSOLUTE)
endif()
if(tanvill_program MATCHES "[\n\t\r]")
    message(FATAL_ERROR "The install prefix cannot hold a line break or tab: ${tanvill_program}")
endif()
set(tanvill_exec "${tanvill_program}")
string(REPLACE "\\" "\\\\" tanvill_exec "${tanvill_exec}")
string(REPLACE "\"" "\\\"" tanvill_exec "${tanvill_exec}")
string(REPLACE "`" "\\`" tanvill_exec "${tanvill_exec}")
string(REPLACE "$" "\\$" tanvill_exec "${tanvill_exec}")
string(REPLACE "%" "%%" tanvill_exec "${tanvill_exec}")
foreach(reserved " " "\"" "'" "\\" ">" "<" "~" "|" "&" ";" "$" "*" "?" "#" "(" ")" "`")
    string(FIND "${tanvill_program}" "${reserved}" position)
    if(NOT position EQUAL -1)
        set(tanvill_exec "\"${tanvill_exec}\"")
        break()
    endif()
endforeach()
string(REPLACE "\\" "\\\\" tanvill_exec "${tanvill_exec}")
configure_file("${tanvill_desktop_template}" "${tanvill_desktop_output}" @ONLY)
