# One installed program: its one source, the library it runs on, the
# project's warnings and sanitizers, and its version for --version. An
# optional fourth argument installs it there rather than with the commands.
function(md_add_program name source library)
  add_executable(${name} ${source})
  target_link_libraries(${name} PRIVATE ${library})
  target_compile_definitions(${name} PRIVATE MD_VERSION="${PROJECT_VERSION}")
  md_target_defaults(${name})
  set(destination ${CMAKE_INSTALL_BINDIR})
  if(ARGC GREATER 3)
    set(destination ${ARGV3})
  endif()
  install(TARGETS ${name} RUNTIME DESTINATION ${destination})
endfunction()
