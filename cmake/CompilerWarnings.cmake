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
  endif()
  md_apply_sanitizers(${target})
endfunction()
