# The tool's report and batch commands, run as child processes, and the report in a browser.
foreach(name batch report)
  varbex_add_test(cli/${name})
  target_compile_definitions(cli_${name}_test PRIVATE VARBEX_CLI="$<TARGET_FILE:varbex_cli>")
  add_dependencies(cli_${name}_test varbex_cli)
endforeach()
target_link_libraries(cli_batch_test PRIVATE util)  # openpty

include(${CMAKE_CURRENT_LIST_DIR}/../python/pytest.cmake)
varbex_add_pytest(cli_report_browser_test ${CMAKE_CURRENT_LIST_DIR}/report_browser_test.py)
varbex_add_pytest(cli_serve_test ${CMAKE_CURRENT_LIST_DIR}/serve_test.py)
varbex_add_pytest(cli_hostile_clients_test ${CMAKE_CURRENT_LIST_DIR}/hostile_clients_test.py)
if(VARBEX_SANITIZE OR VARBEX_TSAN)
  # Sanitizers reserve and shadow memory of their own: resident-memory bounds do not hold there.
  set_property(TEST cli_serve_test cli_hostile_clients_test APPEND PROPERTY ENVIRONMENT
    "VARBEX_SANITIZED=1")
endif()

# The service's pool of worker processes, the tool itself being the worker.
varbex_add_test(cli/solve_pool
  ${PROJECT_SOURCE_DIR}/cli/solve_pool.cc ${PROJECT_SOURCE_DIR}/cli/batch_stream.cc
  ${PROJECT_SOURCE_DIR}/cli/batch_solver.cc)
target_include_directories(cli_solve_pool_test PRIVATE ${PROJECT_SOURCE_DIR}/cli)
target_compile_definitions(cli_solve_pool_test PRIVATE VARBEX_CLI="$<TARGET_FILE:varbex_cli>")
target_link_libraries(cli_solve_pool_test PRIVATE varbex_request_generator)
add_dependencies(cli_solve_pool_test varbex_cli)
varbex_add_pytest(cli_insights_test ${CMAKE_CURRENT_LIST_DIR}/insights_test.py)
set_property(TEST cli_insights_test APPEND PROPERTY ENVIRONMENT
  "VARBEX_INSIGHTS_LIBRARY=$<TARGET_FILE:varbex_insights>")
# The help text, the man pages and the bash completion against each command's usage.
varbex_add_pytest(cli_docs_test ${CMAKE_CURRENT_LIST_DIR}/docs_test.py)
