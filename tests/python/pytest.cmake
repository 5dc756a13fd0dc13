# pytest under Debian's python3, where bootstrap installs pytest, Dask and distributed.
include_guard(GLOBAL)
set(VARBEX_PYTHON /usr/bin/python3 CACHE FILEPATH
  "Python interpreter that has pytest, dask and distributed")

# varbex_add_pytest(NAME FILE): runs one pytest file against the built library and tool.
function(varbex_add_pytest name file)
  add_test(NAME ${name}
    COMMAND ${VARBEX_PYTHON} -m pytest -q -p no:cacheprovider ${file}
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT
    "PYTHONPATH=${PROJECT_SOURCE_DIR}/python;VARBEX_LIBRARY=$<TARGET_FILE:varbex>;VARBEX_CLI=$<TARGET_FILE:varbex_cli>;VARBEX_SOURCE_DIR=${PROJECT_SOURCE_DIR};PYTHONDONTWRITEBYTECODE=1")
endfunction()
