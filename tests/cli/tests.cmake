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
if(VARBEX_TSAN)
  set_property(TEST cli_serve_test APPEND PROPERTY ENVIRONMENT
    "TSAN_OPTIONS=suppressions=${CMAKE_CURRENT_LIST_DIR}/httplib_tsan.supp")
endif()
varbex_add_pytest(cli_insights_test ${CMAKE_CURRENT_LIST_DIR}/insights_test.py)
set_property(TEST cli_insights_test APPEND PROPERTY ENVIRONMENT
  "VARBEX_INSIGHTS_LIBRARY=$<TARGET_FILE:varbex_insights>")
