# Test programs of one module folder under tests/, found by file name:
#   *Test.cpp        unit tests   (label "unit", one program for the folder)
#   *QtTest.cpp      widget tests (label "qt", one program, offscreen platform)
#   *SystemTest.cpp  system tests (label "system", one program for the folder;
#                    a file that brings its own main() is a program of its own)
# Any other .cpp in the folder is support code compiled into each program.
#
# ctest runs every test in a process of its own, so a system test still starts
# and stops its own daemons in its fixture, with its program's environment and
# its own timeout, while the suite links a few programs instead of one per
# file: linking sanitized programs is much of a cold build.
#
#   vude_module_tests(<Module> LIBS <libs...> [ENVIRONMENT <VAR=value...>])
find_package(GTest REQUIRED)
include(GoogleTest)

# intercept_tls_get_addr=0: the leak checker's own record of libraries'
# thread-local blocks can hold a stale entry once several plugins are loaded
# and unloaded, and its tracer then crashes at exit after a passing test.
set(VUDE_TEST_ENVIRONMENT
    "TZ=UTC"
    "LANG=C.UTF-8"
    "LC_ALL=C.UTF-8"
    "QT_QPA_PLATFORM=offscreen"
    "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1:intercept_tls_get_addr=0:suppressions=${PROJECT_SOURCE_DIR}/tests/asan.supp"
    "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
)

function(vude_register_gtest target label)
    cmake_parse_arguments(ARG "" "" "ENVIRONMENT" ${ARGN})
    # Each test gets its own XDG folders so nothing touches the real home.
    set(home "${CMAKE_CURRENT_BINARY_DIR}/home/${target}")
    set(environment ${VUDE_TEST_ENVIRONMENT}
        "HOME=${home}"
        "XDG_CONFIG_HOME=${home}/.config"
        "XDG_DATA_HOME=${home}/.local/share"
        "XDG_CACHE_HOME=${home}/.cache"
        "XDG_RUNTIME_DIR="
        "TMPDIR=${home}/tmp"
        "VUDE_TEST_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
        ${ARG_ENVIRONMENT})
    # gtest_discover_tests splits list-valued properties apart, so the variables
    # are set by running each test program through env(1) instead.
    set_target_properties(${target} PROPERTIES CROSSCOMPILING_EMULATOR "/usr/bin/env;${environment}")
    gtest_discover_tests(${target}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 60
        PROPERTIES
            LABELS ${label}
            TIMEOUT 300)
    file(MAKE_DIRECTORY "${home}/tmp")
endfunction()

function(vude_module_tests module)
    cmake_parse_arguments(ARG "" "" "LIBS;ENVIRONMENT" ${ARGN})
    file(GLOB all_sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
    set(unit_sources)
    set(qt_sources)
    set(system_sources)
    set(support_sources)
    foreach(source IN LISTS all_sources)
        if(source MATCHES "SystemTest\\.cpp$")
            list(APPEND system_sources "${source}")
        elseif(source MATCHES "QtTest\\.cpp$")
            list(APPEND qt_sources "${source}")
        elseif(source MATCHES "Test\\.cpp$")
            list(APPEND unit_sources "${source}")
        else()
            list(APPEND support_sources "${source}")
        endif()
    endforeach()

    if(unit_sources)
        add_executable(${module}Tests ${unit_sources} ${support_sources})
        target_link_libraries(${module}Tests PRIVATE ${ARG_LIBS} VudeTestMainCore)
        vude_register_gtest(${module}Tests unit ENVIRONMENT ${ARG_ENVIRONMENT})
    endif()
    if(qt_sources)
        add_executable(${module}QtTests ${qt_sources} ${support_sources})
        target_link_libraries(${module}QtTests PRIVATE ${ARG_LIBS} VudeTestMainGui)
        vude_register_gtest(${module}QtTests qt ENVIRONMENT ${ARG_ENVIRONMENT})
    endif()
    set(shared_system_sources)
    foreach(source IN LISTS system_sources)
        file(STRINGS "${source}" own_main REGEX "^int main\\(")
        if(NOT own_main)
            list(APPEND shared_system_sources "${source}")
            continue()
        endif()
        get_filename_component(name "${source}" NAME_WE)
        add_executable(${module}_${name} "${source}" ${support_sources})
        target_link_libraries(${module}_${name} PRIVATE ${ARG_LIBS} VudeTestMainGui)
        vude_register_gtest(${module}_${name} system ENVIRONMENT ${ARG_ENVIRONMENT})
    endforeach()
    if(shared_system_sources)
        add_executable(${module}SystemTests ${shared_system_sources} ${support_sources})
        target_link_libraries(${module}SystemTests PRIVATE ${ARG_LIBS} VudeTestMainGui)
        vude_register_gtest(${module}SystemTests system ENVIRONMENT ${ARG_ENVIRONMENT})
    endif()
endfunction()
