# md_target_defaults(<target>)
#
# Every target of the project is built with the same strict warnings, and
# warnings fail the build: a warning left standing hides the next one. The
# sanitizers chosen with MD_SANITIZE (see Sanitizers.cmake) are applied here
# too, so one call gives a target everything the house requires.
function(md_target_defaults target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Werror
    -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual
    -Wnull-dereference -Wimplicit-fallthrough)
  md_apply_sanitizers(${target})
endfunction()
