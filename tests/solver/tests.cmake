# The solving subsystem: the box chooser, the solver driver and weight balancing, driven through
# their own classes with hand-built boxes and items.
varbex_add_test(solver/box_chooser)
varbex_add_test(solver/solver)
varbex_add_test(solver/weight_balancer)
varbex_add_test(solver/item_ranks)
