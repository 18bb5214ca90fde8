# What a build of the app is: the project's version and the commit the
# sources were checked out at, written into a source file of a target.
#
#   vude_add_build_info(<target> <template>)
#       configures <template> (@VUDE_VERSION@, @VUDE_BUILD@) into the build
#       tree and adds it to <target>
#
# The commit is read when CMake configures, and CMake configures again when
# HEAD moves, so an incremental build never carries an older commit. Sources
# that are not a git checkout of their own (a tarball, even one unpacked
# inside another repository) read "—".
function(vude_add_build_info target template)
    set(VUDE_VERSION "${PROJECT_VERSION}")
    set(VUDE_BUILD "\\u2014")
    find_package(Git QUIET)
    if(GIT_FOUND)
        vude_git(toplevel rev-parse --show-toplevel)
        file(REAL_PATH "${PROJECT_SOURCE_DIR}" source_dir)
        if(toplevel AND EXISTS "${toplevel}")
            file(REAL_PATH "${toplevel}" toplevel)
        endif()
        vude_git(commit rev-parse --short HEAD)
        if(toplevel STREQUAL source_dir AND commit MATCHES "^[0-9a-f]+$")
            set(VUDE_BUILD "${commit}")
            # What moves when HEAD moves: HEAD itself (a checkout), its
            # reflog and its branch (a commit), wherever git keeps them.
            vude_git(branch symbolic-ref -q HEAD)
            set(watched HEAD logs/HEAD packed-refs reftable/tables.list)
            if(branch)
                list(APPEND watched "${branch}")
            endif()
            foreach(name IN LISTS watched)
                vude_git(path rev-parse --git-path "${name}")
                if(path)
                    get_filename_component(path "${path}" ABSOLUTE BASE_DIR "${PROJECT_SOURCE_DIR}")
                    if(EXISTS "${path}")
                        set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${path}")
                    endif()
                endif()
            endforeach()
        endif()
    endif()
    get_filename_component(name "${template}" NAME_WLE)
    set(output "${CMAKE_CURRENT_BINARY_DIR}/${name}")
    configure_file("${template}" "${output}" @ONLY)
    target_sources(${target} PRIVATE "${output}")
endfunction()

# Runs git in the source tree; <variable> is its output, empty when it fails.
function(vude_git variable)
    execute_process(COMMAND "${GIT_EXECUTABLE}" ${ARGN}
        WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
        RESULT_VARIABLE result
        OUTPUT_VARIABLE output
        ERROR_QUIET
        OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT result EQUAL 0)
        set(output "")
    endif()
    set(${variable} "${output}" PARENT_SCOPE)
endfunction()
