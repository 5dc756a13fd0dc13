varbex_add_test(fill/free_space)
varbex_add_test(fill/gap_filler)
varbex_add_test(fill/layer_filler)
varbex_add_test(fill/volume_filler)
