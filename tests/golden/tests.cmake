# End to end through varbex_solve: fixed request/response pairs, invariants over random requests,
# and the same requests solved on several threads at once.
varbex_add_test(golden/golden)
varbex_add_test(golden/property)
varbex_add_test(golden/threads)
