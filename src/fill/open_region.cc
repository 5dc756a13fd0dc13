#include "fill/open_region.h"

namespace varbex {
namespace {

// Region lists of fillers that are done, kept for the next ones on the same thread.
std::vector<std::vector<OpenRegion>>& spareLists() {
  thread_local std::vector<std::vector<OpenRegion>> spares;
  return spares;
}

}  // namespace

OpenRegions::OpenRegions() {
  std::vector<std::vector<OpenRegion>>& spares = spareLists();
  if (!spares.empty()) {
    regions_ = std::move(spares.back());
    spares.pop_back();
  }
}

OpenRegions::~OpenRegions() {
  constexpr std::size_t kMaxSpares = 8;        // a trial fill nests in a fill, never deeper
  constexpr std::size_t kMaxRegionsKept = 64;  // a tower of thin items is not worth keeping
  std::vector<std::vector<OpenRegion>>& spares = spareLists();
  if (spares.size() >= kMaxSpares || regions_.empty() || regions_.size() > kMaxRegionsKept) {
    return;
  }
  // Nothing may keep items alive past the filler; the layers keep their storage.
  for (OpenRegion& region : regions_) region.open(Region{}, std::nullopt, 0);
  try {
    spares.push_back(std::move(regions_));
  } catch (...) {
    // Out of memory: the lists are simply freed.
  }
}

}  // namespace varbex
