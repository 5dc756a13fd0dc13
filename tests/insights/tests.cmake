# The insights: the reasons and the standing of boxes on hand-made cases, properties over the
# differential generator's requests, and the exported C interface.
varbex_add_test(insights/unplaced_reason)
target_link_libraries(insights_unplaced_reason_test PRIVATE varbex_insights_internal)
varbex_add_test(insights/properties)
target_link_libraries(insights_properties_test PRIVATE varbex_insights_internal
  varbex_request_generator)
varbex_add_test(insights/c_interface)
target_link_libraries(insights_c_interface_test PRIVATE varbex_insights)
add_dependencies(insights_c_interface_test varbex_insights)
target_compile_definitions(insights_c_interface_test PRIVATE
  VARBEX_INSIGHTS_LIBRARY="$<TARGET_FILE:varbex_insights>")
# A sanitizer build solves several times slower; the generated requests are the same, fewer.
if(VARBEX_SANITIZE OR VARBEX_TSAN)
  target_compile_definitions(insights_properties_test PRIVATE VARBEX_INSIGHTS_DEFAULT_REQUESTS=500)
else()
  target_compile_definitions(insights_properties_test PRIVATE VARBEX_INSIGHTS_DEFAULT_REQUESTS=2000)
endif()
