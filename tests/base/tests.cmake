# The support code every subsystem uses: portable sorts, six-decimal formatting, hash
# containers, the JSON teardown and the engine options.
varbex_add_test(base/portable_sort)
varbex_add_test(base/fixed_six)
varbex_add_test(base/flat_memo)
