# The request document and the response envelope, read and written through the library's own
# functions and through the exported interface.
varbex_add_test(api/request_reader)
varbex_add_test(api/envelope)
varbex_add_test(api/json_writer)
