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
#   vude_add_loadable_module(<name> FOLDER <folder> LIBS <libs...> [SOURCES <sources...>])
#       the sources of <folder> (relative to the calling folder) as the module
#       <name>.so, built into lib/vude/modules and installed there (a folder
#       of its own, so the package runs no ldconfig for it); the same code as
#       the object library <name>-code, which programs that cannot open the
#       module (the tests) link in, and which VUDE_LINKED_MODULES lists;
#       SOURCES are the app's own sources the module's code calls, built into
#       the module too (programs that link the code in have them already)
set(VUDE_RESOURCES_SUBDIR "share/vude")
set(VUDE_HELPERS_SUBDIR "libexec/vude")
set(VUDE_STAGED_RESOURCES_DIR "${CMAKE_BINARY_DIR}/${VUDE_RESOURCES_SUBDIR}")
set(VUDE_STAGED_HELPERS_DIR "${CMAKE_BINARY_DIR}/${VUDE_HELPERS_SUBDIR}")
set(VUDE_MODULES_SUBDIR "lib/vude/modules")
set(VUDE_LINKED_MODULES "" CACHE INTERNAL "")

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

function(vude_add_loadable_module name)
    cmake_parse_arguments(ARG "" "FOLDER" "LIBS;SOURCES" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS
        "${CMAKE_CURRENT_SOURCE_DIR}/${ARG_FOLDER}/*.cpp" "${CMAKE_CURRENT_SOURCE_DIR}/${ARG_FOLDER}/*.h")
    add_library(${name}-code OBJECT ${sources})
    target_include_directories(${name}-code PUBLIC "${PROJECT_SOURCE_DIR}")
    target_link_libraries(${name}-code PUBLIC ${ARG_LIBS})
    # Only the module's entry is seen from outside.
    set_target_properties(${name}-code PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
    add_library(${name} MODULE $<TARGET_OBJECTS:${name}-code> ${ARG_SOURCES})
    target_include_directories(${name} PRIVATE "${PROJECT_SOURCE_DIR}")
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    set_target_properties(${name} PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
    # libc named even when only the libraries it links call into it, as
    # every shared object in a package must.
    target_link_options(${name} PRIVATE "LINKER:--no-undefined" "LINKER:--push-state,--no-as-needed,-lc,--pop-state")
    set_target_properties(${name} PROPERTIES PREFIX "" SUFFIX ".so"
        LIBRARY_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/${VUDE_MODULES_SUBDIR}")
    install(TARGETS ${name} LIBRARY DESTINATION "${VUDE_MODULES_SUBDIR}")
    add_dependencies(vude_resources ${name})
    set(VUDE_LINKED_MODULES ${VUDE_LINKED_MODULES} ${name}-code CACHE INTERNAL "")
endfunction()
