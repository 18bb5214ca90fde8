# The app's resources and helper programs, laid out in the build tree as they
# are installed, so that the app finds them the same way from both
# (Platform/Core/AppResources.h):
#   <build>/share/vude/...     <prefix>/share/vude/...     resources
#   <build>/libexec/vude/...   <prefix>/libexec/vude/...   helper programs
# The executable sits one folder below either root (Vude/vude, bin/vude).
#
#   vude_add_resource(<file or folder> [DESTINATION <subfolder>])
#       a file or folder of the source tree (relative to the calling folder),
#       copied to share/vude[/<subfolder>] at build and at install time;
#       a folder keeps its files' permissions (scripts stay executable)
#   vude_add_helper(<executable target>)
#       built into libexec/vude and installed there
set(VUDE_RESOURCES_SUBDIR "share/vude")
set(VUDE_HELPERS_SUBDIR "libexec/vude")
set(VUDE_STAGED_RESOURCES_DIR "${CMAKE_BINARY_DIR}/${VUDE_RESOURCES_SUBDIR}")
set(VUDE_STAGED_HELPERS_DIR "${CMAKE_BINARY_DIR}/${VUDE_HELPERS_SUBDIR}")

# Built with the app, so a run from the build tree always has them.
add_custom_target(vude_resources ALL)

function(vude_add_resource path)
    cmake_parse_arguments(ARG "" "DESTINATION" "" ${ARGN})
    get_filename_component(source "${path}" ABSOLUTE)
    set(destination "${VUDE_RESOURCES_SUBDIR}")
    if(ARG_DESTINATION)
        string(APPEND destination "/${ARG_DESTINATION}")
    endif()
    get_filename_component(name "${source}" NAME)
    get_filename_component(base "${source}" DIRECTORY)

    if(IS_DIRECTORY "${source}")
        file(GLOB_RECURSE files CONFIGURE_DEPENDS "${source}/*")
        install(DIRECTORY "${source}" DESTINATION "${destination}" USE_SOURCE_PERMISSIONS)
    else()
        set(files "${source}")
        install(FILES "${source}" DESTINATION "${destination}")
    endif()

    set(outputs)
    foreach(file IN LISTS files)
        file(RELATIVE_PATH relative "${base}" "${file}")
        set(output "${CMAKE_BINARY_DIR}/${destination}/${relative}")
        add_custom_command(OUTPUT "${output}"
            COMMAND "${CMAKE_COMMAND}" -E copy "${file}" "${output}"
            DEPENDS "${file}"
            VERBATIM)
        list(APPEND outputs "${output}")
    endforeach()
    string(MAKE_C_IDENTIFIER "vude_resource_${destination}_${name}" target)
    add_custom_target(${target} DEPENDS ${outputs})
    add_dependencies(vude_resources ${target})
endfunction()

function(vude_add_helper target)
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${VUDE_STAGED_HELPERS_DIR}")
    install(TARGETS ${target} RUNTIME DESTINATION "${VUDE_HELPERS_SUBDIR}")
    add_dependencies(vude_resources ${target})
endfunction()
