# md_target_defaults(<target>)
#
# Every target of the project is built with the same strict warnings. Where
# the project's own developers build (the presets, scripts/test, CI) MD_WERROR
# makes them fail the build: a warning left standing hides the next one. A
# plain cmake build, as a packager makes it with another compiler or other
# flags, only reports them. The sanitizers chosen with MD_SANITIZE (see
# Sanitizers.cmake) are applied here too, so one call gives a target
# everything the house requires.
function(md_target_defaults target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow
    -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual
    -Wnull-dereference -Wimplicit-fallthrough)
  if(MD_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
    # GCC 12 at -O3 reports std::string copies inlined from libstdc++ as
    # overlapping (-Wrestrict false positives, fixed in GCC 13; GCC 12 makes
    # them errors even under -Wno-error=restrict). The program sources avoid
    # those patterns; the tests use them freely and go without the warning.
    get_target_property(dir ${target} SOURCE_DIR)
    string(FIND "${dir}/" "${PROJECT_SOURCE_DIR}/tests/" in_tests)
    if(in_tests EQUAL 0 AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU"
       AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
      target_compile_options(${target} PRIVATE -Wno-restrict)
    endif()
  endif()
  md_apply_sanitizers(${target})
endfunction()
