# One static library per module folder. Sources are globbed so that adding a
# file needs no edit here; a file belongs to the module whose folder holds it.
#
#   vude_add_module(<Target> [DEPENDS <libs...>] [EXCLUDE <regex...>])
#
# Headers are included as "<Folder>/<File>.h" from the project root.
function(vude_add_module target)
    cmake_parse_arguments(ARG "" "" "DEPENDS;EXCLUDE" ${ARGN})
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS
        "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp"
        "${CMAKE_CURRENT_SOURCE_DIR}/*.h")
    foreach(pattern IN LISTS ARG_EXCLUDE)
        list(FILTER sources EXCLUDE REGEX "${pattern}")
    endforeach()
    set(all_files ${sources})
    # A module with no code yet is an interface library, so others can already
    # link it.
    list(FILTER sources INCLUDE REGEX "\\.cpp$")
    if(sources)
        add_library(${target} STATIC ${all_files})
        target_include_directories(${target} PUBLIC "${PROJECT_SOURCE_DIR}")
        target_link_libraries(${target} PUBLIC ${ARG_DEPENDS})
        # The moc step reruns only for headers it has already seen, so a new
        # header with Q_OBJECT would be skipped in an incremental build: when
        # the module's file list changes, drop its stamp to force a rescan.
        string(SHA1 file_list_hash "${all_files}")
        if(NOT "${file_list_hash}" STREQUAL "${VUDE_FILES_${target}}")
            file(REMOVE "${CMAKE_CURRENT_BINARY_DIR}/${target}_autogen/timestamp")
            set(VUDE_FILES_${target} "${file_list_hash}" CACHE INTERNAL "")
        endif()
    else()
        add_library(${target} INTERFACE ${all_files})
        target_include_directories(${target} INTERFACE "${PROJECT_SOURCE_DIR}")
        target_link_libraries(${target} INTERFACE ${ARG_DEPENDS})
    endif()
endfunction()

# Sources compiled on their own rather than in a batch with their neighbours
# (unity builds): their file-local helpers share names with another file's.
#
#   vude_compile_alone(<files...>)     paths relative to the calling folder
function(vude_compile_alone)
    set_source_files_properties(${ARGN} PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
endfunction()
