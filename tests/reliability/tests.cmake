# Hostile and extreme inputs, memory exhaustion, many threads at once, and regressions of faults
# found by fuzzing: whatever a caller sends, it gets the error envelope or a sound packing back,
# never a crash, a hang or a broken document.
varbex_add_test(reliability/hostile_inputs)
varbex_add_test(reliability/regressions)
varbex_add_test(reliability/memory_limit)
varbex_add_test(reliability/concurrency_stress)
varbex_add_test(reliability/shortcuts)
target_link_libraries(reliability_shortcuts_test PRIVATE varbex_request_generator)
