# One installed program: its one source, the library it runs on, the
# project's warnings and sanitizers, and its version for --version.
function(md_add_program name source library)
  add_executable(${name} ${source})
  target_link_libraries(${name} PRIVATE ${library})
  target_compile_definitions(${name} PRIVATE MD_VERSION="${PROJECT_VERSION}")
  md_target_defaults(${name})
  install(TARGETS ${name} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()
