#pragma once

#include <cstdint>
#include <string>

namespace varbex::testing {

// One random request, the same for the same seed and index on every machine: its own random
// stream and text-building only, nothing from the standard library's distributions. Requests are
// made to reach the corners where shortcuts could go wrong: odd, zero and negative extents,
// copies of one shape with other rotation policies and permuted sides, flat items and cubes,
// oversized items, box groups, limited supplies, inactive box types, weight limits of every kind,
// repeated codes and references, and ties in the item and box orders. Every sixth is a catalogue
// order: up to 40 carton types, equal and nested ones, supplies running out, and values a hair
// apart in some.
std::string generateRequest(std::uint64_t seed, std::uint64_t index);

}  // namespace varbex::testing
