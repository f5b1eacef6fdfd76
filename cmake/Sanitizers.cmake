# md_apply_sanitizers(<target>)
#
# MD_SANITIZE holds a list of sanitizers ("address;undefined" or "thread").
# They are added per target, compile and link alike, so that targets built
# without them (none today) stay possible. UBSan findings abort the test
# instead of printing and going on, so ctest sees them.
function(md_apply_sanitizers target)
  if(NOT MD_SANITIZE)
    return()
  endif()
  list(JOIN MD_SANITIZE "," sanitizers)
  set(flags -fsanitize=${sanitizers} -fno-omit-frame-pointer -g)
  if("undefined" IN_LIST MD_SANITIZE)
    list(APPEND flags -fno-sanitize-recover=all)
  endif()
  target_compile_options(${target} PRIVATE ${flags})
  target_link_options(${target} PRIVATE ${flags})
endfunction()
