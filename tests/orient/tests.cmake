varbex_add_test(orient/orientation_chooser)
varbex_add_test(orient/orientation_ranking)
varbex_add_test(orient/lookahead)
varbex_add_test(orient/shape_key)
