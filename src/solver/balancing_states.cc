#include "solver/balancing_states.h"

#include <cstring>

namespace varbex {
namespace {

std::uint64_t identityOf(const void* object) {
  return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(object));
}

std::uint64_t bitsOf(double value) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

}  // namespace

bool BalancingStates::visit(const std::vector<FilledBox>& work, const BalancingMove& lastMove) {
  State state;
  state.push_back(work.size());
  for (const FilledBox& box : work) state.push_back(box.itemCount());
  state.push_back(lastMove.made ? 1 : 0);
  if (lastMove.made) {
    state.push_back(bitsOf(lastMove.weight));
    state.push_back(lastMove.from);
    state.push_back(lastMove.to);
  }
  // The sizes first make every encoding self-delimiting.
  for (const FilledBox& box : work) {
    state.push_back(identityOf(box.box().get()));
    for (const PlacedItem& placed : box.items()) state.push_back(identityOf(placed.item.get()));
  }
  return seen_.insert(std::move(state)).second;
}

// Only which states are equal matters, never their order, so hashing addresses is safe.
std::size_t BalancingStates::StateHash::operator()(const State& state) const {
  std::uint64_t h = 0xcbf29ce484222325ULL;
  for (std::uint64_t word : state) {
    h ^= word;
    h *= 0x100000001b3ULL;
    h ^= h >> 29;
  }
  return static_cast<std::size_t>(h);
}

}  // namespace varbex
