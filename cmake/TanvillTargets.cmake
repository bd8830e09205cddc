# Helpers shared by every folder's CMakeLists.txt.
#
# Each library globs its own folder so that work on different classes of one folder does
# not collide in the list files; CONFIGURE_DEPENDS picks up new files on the next build.

# tanvill_glob_sources(<var> <dir>...) collects the .cpp/.h files directly in each dir.
function(tanvill_glob_sources var)
    set(files)
    foreach(dir IN LISTS ARGN)
        file(GLOB found CONFIGURE_DEPENDS "${dir}/*.cpp" "${dir}/*.h")
        list(APPEND files ${found})
    endforeach()
    set(${var} ${files} PARENT_SCOPE)
endfunction()

# Ninja runs moc for a target only when a file it already knows changes, so a header added
# to a globbed folder would get no moc in an existing build tree. When a target's file list
# differs from the one its last configure saw, its moc timestamp is dropped so moc runs again.
function(tanvill_autogen_follows_sources target)
    set(list_file "${CMAKE_CURRENT_BINARY_DIR}/${target}_sources.txt")
    string(JOIN "\n" content ${ARGN})
    set(previous "")
    if(EXISTS "${list_file}")
        file(READ "${list_file}" previous)
    endif()
    if(NOT previous STREQUAL content)
        file(WRITE "${list_file}" "${content}")
        file(REMOVE "${CMAKE_CURRENT_BINARY_DIR}/${target}_autogen/timestamp")
    endif()
endfunction()

# tanvill_library(<name> DIRS <dir>... LIBS <lib>...): a static library, or an interface
# placeholder while its folder holds no sources yet.
function(tanvill_library name)
    cmake_parse_arguments(ARG "" "" "DIRS;LIBS" ${ARGN})
    tanvill_glob_sources(sources ${ARG_DIRS})
    list(FILTER sources INCLUDE REGEX "\\.cpp$")
    if(sources)
        tanvill_glob_sources(all ${ARG_DIRS})
        add_library(${name} STATIC ${all})
        tanvill_autogen_follows_sources(${name} ${all})
        target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
        target_link_libraries(${name} PUBLIC ${ARG_LIBS} PRIVATE tanvill_warnings)
    else()
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
        target_link_libraries(${name} INTERFACE ${ARG_LIBS})
    endif()
endfunction()
