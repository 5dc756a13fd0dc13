# Sources of the insights, which measure a response against its request; the exported C
# functions are in c_interface.cc, which the shared library and the WebAssembly module add.
set(VARBEX_INSIGHTS_SOURCES
  src/insights/number_text.cc
  src/insights/packed_response.cc
  src/insights/unplaced_reason.cc
  src/insights/box_stability.cc
  src/insights/insights_document.cc
)
