# What makes a build quick, each used where installed and left out where not:
#
#   mold     links; the test build links dozens of sanitized programs, and the
#            default linker spends most of its time on their debug info
#   ccache   caches compiler runs in its own folder (~/.cache/ccache unless
#            its configuration says otherwise), outside the checkout, so a
#            later build on the same machine reuses it, from a new build
#            folder or a fresh clone alike
#
# Both are in scripts/packages.txt; a machine without them builds the same
# programs, only slower.
include(CheckLinkerFlag)
check_linker_flag(CXX "-fuse-ld=mold" VUDE_HAVE_MOLD)
if(VUDE_HAVE_MOLD)
    add_link_options("-fuse-ld=mold")
endif()

find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM)
    # Paths under the sources are hashed relative to them, and the build
    # folder is left out of the hash (ccache adds it whenever there is debug
    # info), so clones in other folders share entries. Depend mode takes the
    # included files from the compiler's own dependency file, so a miss (every
    # source of a cold build) costs no extra preprocessor run.
    set(CMAKE_CXX_COMPILER_LAUNCHER
        /usr/bin/env
        "CCACHE_BASEDIR=${PROJECT_SOURCE_DIR}"
        "CCACHE_NOHASHDIR=1"
        "CCACHE_DEPEND=1"
        "${CCACHE_PROGRAM}")
endif()
