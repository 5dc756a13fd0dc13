# The Python package and the Dask example. A sanitizer build's library cannot be loaded into an
# interpreter built without the sanitizer, so those builds leave these tests out.
include(${CMAKE_CURRENT_LIST_DIR}/pytest.cmake)

if(NOT VARBEX_SANITIZE AND NOT VARBEX_TSAN)
  varbex_add_pytest(python_package_test ${CMAKE_CURRENT_LIST_DIR}/test_package.py)
  varbex_add_pytest(python_insights_test ${CMAKE_CURRENT_LIST_DIR}/test_insights.py)
  varbex_add_pytest(python_pip_install_test ${CMAKE_CURRENT_LIST_DIR}/test_pip_install.py)
  varbex_add_pytest(python_dask_example_test ${CMAKE_CURRENT_LIST_DIR}/test_dask_example.py)
endif()
