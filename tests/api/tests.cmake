# The library's outer surface: what the shared library exports, the public header compiled as C,
# and the command-line tool. Paths of the built files are passed in, never guessed.

varbex_add_test(api/exported_symbols)
target_compile_definitions(api_exported_symbols_test PRIVATE
  VARBEX_SHARED_LIBRARY="$<TARGET_FILE:varbex>")
add_dependencies(api_exported_symbols_test varbex)

varbex_add_test(api/cli)
target_compile_definitions(api_cli_test PRIVATE
  VARBEX_CLI="$<TARGET_FILE:varbex_cli>"
  VARBEX_VERSION="${PROJECT_VERSION}")
add_dependencies(api_cli_test varbex_cli)

# Plain C99, so that any C caller can include the header as it stands.
add_executable(api_c_header_test ${CMAKE_CURRENT_LIST_DIR}/c_header_test.c)
set_target_properties(api_c_header_test PROPERTIES C_STANDARD 99 C_STANDARD_REQUIRED ON C_EXTENSIONS OFF)
target_link_libraries(api_c_header_test PRIVATE varbex)
varbex_warnings(api_c_header_test)
add_test(NAME api_c_header_test COMMAND api_c_header_test)
