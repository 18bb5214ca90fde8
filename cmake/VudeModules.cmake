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
    else()
        add_library(${target} INTERFACE ${all_files})
        target_include_directories(${target} INTERFACE "${PROJECT_SOURCE_DIR}")
        target_link_libraries(${target} INTERFACE ${ARG_DEPENDS})
    endif()
endfunction()
