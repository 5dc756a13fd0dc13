#include "request_generator.h"

#include <cmath>
#include <cstddef>
#include <vector>

#include <nlohmann/json.hpp>

namespace varbex::testing {
namespace {

using nlohmann::json;

// splitmix64: small, fast and the same everywhere.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}

  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }

  // 0 <= result < bound; the tiny bias of the modulo does not matter here.
  std::uint64_t below(std::uint64_t bound) { return next() % bound; }

  std::int64_t between(std::int64_t low, std::int64_t high) {
    return low + static_cast<std::int64_t>(below(static_cast<std::uint64_t>(high - low + 1)));
  }

  // True with probability percent / 100.
  bool chance(unsigned percent) { return below(100) < percent; }

  // A double in [0, 1), from 53 bits.
  double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

  template <typename T>
  const T& pick(const std::vector<T>& values) {
    return values[below(values.size())];
  }

 private:
  std::uint64_t state_;
};

// Whole numbers mostly, so that volumes and weights tie; sometimes halves, sometimes odd decimals.
double extent(Random& r, std::int64_t low, std::int64_t high) {
  const double whole = static_cast<double>(r.between(low, high));
  switch (r.below(10)) {
    case 0:
      return whole + 0.5;
    case 1:
      return whole + static_cast<double>(r.between(1, 999)) / 1000.0;
    default:
      return whole;
  }
}

// Now and then a zero or negative extent, which the engine accepts as it is; only in a quarter of
// the requests, so that most are as shops send them.
double oddExtent(Random& r, bool odd, double usual) {
  if (!odd || !r.chance(5)) return usual;
  switch (r.below(3)) {
    case 0:
      return 0;
    case 1:
      return -usual;
    default:
      return -static_cast<double>(r.between(1, 5));
  }
}

json rotationText(Random& r) {
  static const std::vector<std::string> kTexts = {
      "BestFit", "BestFit", "KeepFlat", "KeepFlat", "Never",    "Never",  "bestfit",
      "NEVER",   "never",   "keepflat", "keep_flat", "KEEP_FLAT", "Keep_Flat", "upright",
      ""};
  if (r.chance(15)) return r.chance(50) ? json() : json("absent");
  return r.pick(kTexts);
}

struct Shape {
  double width, length, depth;
};

Shape baseShape(Random& r, int scale) {
  const std::int64_t top = scale;
  switch (r.below(8)) {
    case 0: {  // a cube
      const double side = extent(r, 1, top / 2);
      return {side, side, side};
    }
    case 1:  // flat: one side far shorter than the longest
      return {extent(r, top / 4, top), extent(r, top / 4, top), extent(r, 1, 2)};
    case 2:  // oversized: longer than most boxes
      return {extent(r, top, 3 * top), extent(r, 1, top), extent(r, 1, top)};
    default:
      return {extent(r, 1, top), extent(r, 1, top), extent(r, 1, top)};
  }
}

// The same shape with its sides in another order.
Shape permuted(Random& r, const Shape& s) {
  switch (r.below(6)) {
    case 0:
      return {s.width, s.length, s.depth};
    case 1:
      return {s.length, s.width, s.depth};
    case 2:
      return {s.width, s.depth, s.length};
    case 3:
      return {s.depth, s.width, s.length};
    case 4:
      return {s.length, s.depth, s.width};
    default:
      return {s.depth, s.length, s.width};
  }
}

double weight(Random& r) {
  switch (r.below(12)) {
    case 0:
      return 0;
    case 1:
      return -static_cast<double>(r.between(1, 5));
    case 2:
      return extent(r, 10, 40);
    default:
      return static_cast<double>(r.between(1, 10));
  }
}

std::vector<std::string> groupNames(Random& r) {
  static const std::vector<std::string> kNames = {"A", "a", "B", "b", "", "grp", "GRP", "Z9"};
  std::vector<std::string> names;
  const auto count = r.between(1, 3);
  for (std::int64_t i = 0; i < count; ++i) names.push_back(r.pick(kNames));
  return names;
}

json makeItems(Random& r, int scale, bool odd, std::size_t count) {
  const bool grouped = r.chance(20);
  const std::vector<std::string> groups = grouped ? groupNames(r) : std::vector<std::string>{};
  const bool weighed = r.chance(70);
  json items = json::array();
  std::vector<Shape> shapes;
  while (items.size() < count) {
    // A run of copies of one shape: sometimes the very same, sometimes turned or with other
    // policies, which is where the same-shape rules of the rows come in.
    const Shape shape = shapes.empty() || r.chance(60) ? baseShape(r, scale) : r.pick(shapes);
    shapes.push_back(shape);
    const std::size_t copies = r.chance(50) ? 1 : static_cast<std::size_t>(r.between(2, 8));
    const bool permute = r.chance(30);
    const bool samePolicy = r.chance(50);
    const json policy = rotationText(r);
    const double w = weighed ? weight(r) : 0;
    for (std::size_t c = 0; c < copies && items.size() < count; ++c) {
      const Shape s = permute ? permuted(r, shape) : shape;
      json item;
      // Repeated codes now and then; a code decides ties between items of equal volume and weight.
      const std::size_t number = r.chance(10) ? r.below(items.size() + 1) : items.size();
      item["ItemCode"] = "I" + std::to_string(number);
      if (r.chance(10)) item["ItemReference"] = r.chance(50) ? json("ref") : json();
      item["Width"] = oddExtent(r, odd, s.width);
      item["Length"] = oddExtent(r, odd, s.length);
      item["Depth"] = oddExtent(r, odd, s.depth);
      if (weighed) item["Weight"] = r.chance(80) ? json(w) : json(weight(r));
      const json text = samePolicy ? policy : rotationText(r);
      if (text != "absent") item["AllowedRotation"] = text;
      if (grouped && r.chance(70)) item["BoxGroup"] = r.pick(groups);
      items.push_back(std::move(item));
    }
  }
  return items;
}

json maxWeight(Random& r, double itemWeights) {
  switch (r.below(7)) {
    case 0:
      return -1;
    case 1:
      return 0;
    case 2:  // tight: about what a third of the items weigh
      return std::floor(itemWeights / 3) + static_cast<double>(r.between(0, 5));
    case 3:
      return itemWeights + 10;
    case 4:
      return -static_cast<double>(r.between(1, 3)) / 2;
    default:
      return static_cast<double>(r.between(5, 60));
  }
}

json supply(Random& r) {
  switch (r.below(6)) {
    case 0:
      return r.between(0, 3);
    case 1:
      return static_cast<double>(r.between(0, 3)) + 0.5;
    case 2:
      return r.chance(50);
    case 3:
      return json();
    default:
      return "absent";
  }
}

json makeBoxes(Random& r, int scale, bool odd, double itemWeights) {
  json boxes = json::array();
  const auto count = r.between(1, 6);
  Shape last{0, 0, 0};
  for (std::int64_t b = 0; b < count; ++b) {
    json box;
    box["Reference"] = r.chance(15) && b > 0 ? "B0" : "B" + std::to_string(b);
    // Now and then the same box again, or the same volume turned, so that box orders tie.
    Shape s = r.chance(20) && b > 0 ? permuted(r, last)
                                    : Shape{extent(r, scale / 2, 3 * scale),
                                            extent(r, scale / 2, 3 * scale),
                                            extent(r, scale / 3, 2 * scale)};
    last = s;
    box["Width"] = oddExtent(r, odd, s.width);
    box["Length"] = oddExtent(r, odd, s.length);
    box["Depth"] = oddExtent(r, odd, s.depth);
    // A box without a weight limit key is refused; rarely, so that the errors are seen too.
    if (!r.chance(1)) box["MaxWeight"] = maxWeight(r, itemWeights);
    if (r.chance(40)) box["BoxWeight"] = static_cast<double>(r.between(0, 4));
    if (r.chance(10)) box["Active"] = r.chance(30);
    const json limit = supply(r);
    if (limit != "absent") box["MaximumBoxes"] = limit;
    boxes.push_back(std::move(box));
  }
  return boxes;
}

double totalWeight(const json& items) {
  double total = 0;
  for (const json& item : items) {
    if (item.contains("Weight")) total += item["Weight"].get<double>();
  }
  return total;
}

// A value with three decimals, so that two of them are equal or at least 0.001 apart.
double decimals(Random& r, std::int64_t low, std::int64_t high) {
  return static_cast<double>(r.between(low * 1000, high * 1000)) / 1000.0;
}

// A catalogue order: many carton types, some equal to or nested just inside another, supplies
// that run out, repeated products and box groups; values mostly on a grid of thousandths, with two
// values a hair apart in some orders (where rounded memo keys meet), and odd extents in a few.
std::string catalogueRequest(Random& r) {
  const bool hairApart = r.chance(15);
  const bool odd = r.chance(10);
  const bool grouped = r.chance(30);
  const bool weighed = r.chance(80);
  static const std::vector<std::string> kPolicies = {"BestFit", "KeepFlat", "Never"};
  static const std::vector<std::string> kGroups = {"FOOD", "CHEM"};
  json items = json::array();
  const auto count = static_cast<std::size_t>(r.between(3, 40));
  Shape last{1, 1, 1};
  for (std::int64_t product = 0; items.size() < count; ++product) {
    Shape s{decimals(r, 1, 30), decimals(r, 1, 30), decimals(r, 1, 30)};
    if (hairApart && r.chance(30)) {
      s.width = last.width + 1e-8 * static_cast<double>(r.between(1, 9));
    }
    last = s;
    const double w = r.chance(20) ? 0 : decimals(r, 0, 8);
    const std::string policy = r.pick(kPolicies);
    const bool inGroup = grouped && r.chance(60);
    const std::string group = r.pick(kGroups);
    const auto copies = r.between(1, 5);
    for (std::int64_t c = 0; c < copies && items.size() < count; ++c) {
      json item;
      item["ItemCode"] = "P" + std::to_string(product) + "-" + std::to_string(c);
      item["ItemReference"] = "P" + std::to_string(product);
      item["Width"] = oddExtent(r, odd, s.width);
      item["Length"] = oddExtent(r, odd, s.length);
      item["Depth"] = oddExtent(r, odd, s.depth);
      if (weighed) item["Weight"] = w;
      item["AllowedRotation"] = policy;
      if (inGroup) item["BoxGroup"] = group;
      items.push_back(std::move(item));
    }
  }
  json boxes = json::array();
  const auto types = r.between(1, 40);
  Shape previous{0, 0, 0};
  for (std::int64_t b = 0; b < types; ++b) {
    Shape s{decimals(r, 8, 70), decimals(r, 8, 70), decimals(r, 8, 70)};
    if (b > 0 && r.chance(25)) {  // the same carton again, or one nested just inside it
      const double inset = r.chance(50) ? 0 : decimals(r, 0, 1);
      s = {previous.width - inset, previous.length - inset, previous.depth};
    }
    previous = s;
    json box;
    box["Reference"] = "C" + std::to_string(b);
    box["Width"] = oddExtent(r, odd, s.width);
    box["Length"] = oddExtent(r, odd, s.length);
    box["Depth"] = oddExtent(r, odd, s.depth);
    box["MaxWeight"] = r.chance(60) ? decimals(r, 2, 40) : -1.0;
    if (r.chance(50)) box["BoxWeight"] = decimals(r, 0, 2);
    if (r.chance(25)) box["MaximumBoxes"] = r.between(0, 2);
    boxes.push_back(std::move(box));
  }
  json request;
  request["items"] = std::move(items);
  request["boxes"] = std::move(boxes);
  return request.dump();
}

}  // namespace

std::string generateRequest(std::uint64_t seed, std::uint64_t index) {
  // Every sixth request is a catalogue order, from a stream of its own; the others are as before.
  if (index % 6 == 5) {
    Random catalogue(seed * 0xd6e8feb86659fd93ULL ^ (index + 1) * 0xa0761d6478bd642fULL);
    catalogue.next();
    return catalogueRequest(catalogue);
  }
  Random r(seed * 0x9e3779b97f4a7c15ULL ^ (index + 1) * 0xd1b54a32d192ed03ULL);
  r.next();
  // Mostly small requests, as shops send them; a long tail up to 120 items.
  const double u = r.unit();
  const auto count = static_cast<std::size_t>(1 + std::floor(120 * u * u * u));
  const int scale = r.chance(20) ? 100 : 20;
  const bool odd = r.chance(25);
  json request;
  request["items"] = makeItems(r, scale, odd, count);
  request["boxes"] = makeBoxes(r, scale, odd, totalWeight(request["items"]));
  return request.dump();
}

}  // namespace varbex::testing
