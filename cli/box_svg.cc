#include "box_svg.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <nlohmann/json.hpp>
#include <vector>

#include "exit_status.h"
#include "text_file.h"

namespace cli {
namespace {

using nlohmann::json;

struct Extent {
  double x0, y0, z0, x1, y1, z1;
};

const double kCos30 = std::cos(M_PI / 6);

std::array<double, 2> project(double x, double y, double z) {
  return {(x - y) * kCos30, (x + y) / 2 - z};
}

std::string fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, std::isfinite(value) ? value : 0.0);
  return text;
}

// A size as the report page writes it: at most three decimals, no trailing zeros.
std::string shortNumber(double value) {
  std::string text = fixed(value, 3);
  text.erase(text.find_last_not_of('0') + 1);
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text == "-0" ? "0" : text;
}

std::string points(const std::vector<std::array<double, 3>>& corners) {
  std::string text;
  for (const auto& c : corners) {
    const auto p = project(c[0], c[1], c[2]);
    if (!text.empty()) text += ' ';
    text += fixed(p[0], 2) + "," + fixed(p[1], 2);
  }
  return text;
}

std::string escaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// A member of a document that may lack it (a response written by hand); null when absent.
const json& member(const json& object, const char* key) {
  static const json kAbsent;
  if (!object.is_object()) return kAbsent;
  const auto found = object.find(key);
  return found == object.end() ? kAbsent : *found;
}

double numberOf(const json& object, const char* key) {
  const json& value = member(object, key);
  return value.is_number() ? value.get<double>() : 0.0;
}

std::string textOf(const json& object, const char* key) {
  const json& value = member(object, key);
  return value.is_string() ? value.get<std::string>() : "";
}

Extent extentOf(const json& p) {
  const double x = numberOf(p, "x"), y = numberOf(p, "y"), z = numberOf(p, "z");
  return {x, y, z, x + numberOf(p, "width"), y + numberOf(p, "length"), z + numberOf(p, "depth")};
}

// The report's hues: the golden angle per item code, in order of first appearance.
std::map<std::string, double> huesOf(const json& response) {
  std::map<std::string, double> hues;
  const auto add = [&hues](const json& entry) {
    const std::string code = textOf(entry, "ItemCode");
    if (hues.count(code) == 0) hues[code] = std::fmod(static_cast<double>(hues.size()) * 137.508, 360.0);
  };
  for (const json& p : member(response, "placements")) add(p);
  for (const json& item : member(response, "unplaced_items")) add(item);
  return hues;
}

std::string colour(double hue, int lightness) {
  return "hsl(" + fixed(hue, 1) + ", 62%, " + std::to_string(lightness) + "%)";
}

// Ranges of x-y, x-z and y-z: the outline of a projected cuboid is where all three hold.
using Outline = std::array<std::array<double, 2>, 3>;
Outline outline(const Extent& e) {
  return {{{e.x0 - e.y1, e.x1 - e.y0}, {e.x0 - e.z1, e.x1 - e.z0}, {e.y0 - e.z1, e.y1 - e.z0}}};
}
std::array<double, 2> range(const std::array<double, 2>& a, const std::array<double, 2>& b) {
  return {std::max(a[0], b[0]), std::min(a[1], b[1])};
}
bool outlinesOverlap(const Outline& a, const Outline& b) {
  const auto u = range(a[0], b[0]), v = range(a[1], b[1]), w = range(a[2], b[2]);
  if (u[0] >= u[1] || v[0] >= v[1] || w[0] >= w[1]) return false;
  const auto reach = range({v[0] - u[1], v[1] - u[0]}, w);
  return reach[0] < reach[1];
}
bool isBehind(const Extent& a, const Extent& b) { return a.x1 <= b.x0 || a.y1 <= b.y0 || a.z1 <= b.z0; }

// Back to front, as the report paints: nearer items over farther ones where outlines overlap.
std::vector<std::size_t> paintOrder(const std::vector<Extent>& extents) {
  const std::size_t count = extents.size();
  std::vector<Outline> outlines;
  for (const Extent& e : extents) outlines.push_back(outline(e));
  std::vector<std::vector<std::size_t>> before(count);
  std::vector<int> waiting(count, 0);
  for (std::size_t a = 0; a < count; ++a) {
    for (std::size_t b = a + 1; b < count; ++b) {
      if (!outlinesOverlap(outlines[a], outlines[b])) continue;
      if (isBehind(extents[a], extents[b])) {
        before[a].push_back(b);
        ++waiting[b];
      } else if (isBehind(extents[b], extents[a])) {
        before[b].push_back(a);
        ++waiting[a];
      }
    }
  }
  std::vector<std::size_t> order, ready;
  std::vector<bool> placed(count, false);
  for (std::size_t i = 0; i < count; ++i) {
    if (waiting[i] == 0) ready.push_back(i);
  }
  for (std::size_t next = 0; next < ready.size(); ++next) {
    order.push_back(ready[next]);
    placed[ready[next]] = true;
    for (const std::size_t j : before[ready[next]]) {
      if (--waiting[j] == 0) ready.push_back(j);
    }
  }
  std::vector<std::size_t> rest;
  for (std::size_t i = 0; i < count; ++i) {
    if (!placed[i]) rest.push_back(i);
  }
  const auto depth = [&extents](std::size_t i) { return extents[i].x0 + extents[i].y0 + extents[i].z0; };
  std::stable_sort(rest.begin(), rest.end(), [&depth](std::size_t a, std::size_t b) { return depth(a) < depth(b); });
  order.insert(order.end(), rest.begin(), rest.end());
  return order;
}

std::string itemFaces(const Extent& e, double hue, bool overhang) {
  const std::vector<std::pair<std::vector<std::array<double, 3>>, int>> faces = {
      {{{e.x0, e.y0, e.z1}, {e.x1, e.y0, e.z1}, {e.x1, e.y1, e.z1}, {e.x0, e.y1, e.z1}}, 72},
      {{{e.x1, e.y0, e.z0}, {e.x1, e.y1, e.z0}, {e.x1, e.y1, e.z1}, {e.x1, e.y0, e.z1}}, 55},
      {{{e.x0, e.y1, e.z0}, {e.x1, e.y1, e.z0}, {e.x1, e.y1, e.z1}, {e.x0, e.y1, e.z1}}, 42}};
  std::string text;
  for (const auto& [corners, lightness] : faces) {
    text += "<polygon points=\"" + points(corners) + "\" fill=\"" + colour(hue, lightness) +
            (overhang ? "\" class=\"overhang\"/>" : "\"/>");
  }
  return text;
}

std::string viewBox(double W, double L, double D) {
  std::vector<std::array<double, 2>> corners;
  for (const double x : {0.0, W}) {
    for (const double y : {0.0, L}) {
      for (const double z : {0.0, D}) corners.push_back(project(x, y, z));
    }
  }
  double left = HUGE_VAL, top = HUGE_VAL, right = -HUGE_VAL, bottom = -HUGE_VAL;
  for (const auto& c : corners) {
    left = std::min(left, c[0]);
    right = std::max(right, c[0]);
    top = std::min(top, c[1]);
    bottom = std::max(bottom, c[1]);
  }
  const double width = right - left, height = bottom - top;
  const double pad = 0.04 * std::max({width, height, 1.0});
  return fixed(left - pad, 2) + " " + fixed(top - pad, 2) + " " + fixed(width + 2 * pad, 2) + " " +
         fixed(height + 2 * pad, 2);
}

std::string shell(double W, double L, double D) {
  std::string text;
  for (const auto& wall : std::vector<std::vector<std::array<double, 3>>>{
           {{0, 0, 0}, {W, 0, 0}, {W, L, 0}, {0, L, 0}},
           {{0, 0, 0}, {0, L, 0}, {0, L, D}, {0, 0, D}},
           {{0, 0, 0}, {W, 0, 0}, {W, 0, D}, {0, 0, D}}}) {
    text += "<polygon class=\"wall\" points=\"" + points(wall) + "\"/>";
  }
  return text;
}

std::string frontEdges(double W, double L, double D) {
  const std::vector<std::vector<std::array<double, 3>>> edges = {
      {{W, L, 0}, {W, L, D}}, {{W, 0, D}, {W, L, D}}, {{0, L, D}, {W, L, D}},
      {{W, 0, 0}, {W, L, 0}}, {{0, L, 0}, {W, L, 0}}, {{W, 0, 0}, {W, 0, D}},
      {{0, L, 0}, {0, L, D}}, {{0, 0, D}, {W, 0, D}}, {{0, 0, D}, {0, L, D}}};
  std::string text;
  for (const auto& edge : edges) text += "<polyline class=\"edge\" points=\"" + points(edge) + "\"/>";
  return text;
}

// A cross in a ring at the centre of gravity, with a plumb line down to the floor.
std::string centreMark(const json& centre, double W, double L, double D) {
  if (!centre.is_object()) return "";
  const double x = numberOf(centre, "x"), y = numberOf(centre, "y"), z = numberOf(centre, "z");
  const double r = 0.025 * std::max({W, L, D, 1e-9});
  const auto c = project(x, y, z);
  const auto floor = project(x, y, 0);
  return "<g class=\"centre\"><title>centre of gravity</title><line x1=\"" + fixed(c[0], 2) + "\" y1=\"" +
         fixed(c[1], 2) + "\" x2=\"" + fixed(floor[0], 2) + "\" y2=\"" + fixed(floor[1], 2) +
         "\" class=\"plumb\"/><circle cx=\"" + fixed(c[0], 2) + "\" cy=\"" + fixed(c[1], 2) + "\" r=\"" +
         fixed(r, 3) + "\"/><line x1=\"" + fixed(c[0] - r, 2) + "\" y1=\"" + fixed(c[1], 2) + "\" x2=\"" +
         fixed(c[0] + r, 2) + "\" y2=\"" + fixed(c[1], 2) + "\"/><line x1=\"" + fixed(c[0], 2) + "\" y1=\"" +
         fixed(c[1] - r, 2) + "\" x2=\"" + fixed(c[0], 2) + "\" y2=\"" + fixed(c[1] + r, 2) + "\"/></g>";
}

constexpr char kStyle[] =
    "<style>text{font:14px sans-serif;fill:#1d232b}.title{font-size:16px;font-weight:bold}"
    "polygon,polyline,line,circle{vector-effect:non-scaling-stroke}"
    ".wall{fill:#eef1f4;stroke:#b7c0ca;stroke-width:1}"
    ".edge{stroke:#7b8794;stroke-width:1.2;stroke-dasharray:6 4;stroke-opacity:.7;fill:none}"
    ".item polygon{stroke:#2b3138;stroke-width:1;stroke-linejoin:round}"
    ".item polygon.overhang{stroke:#d1152a;stroke-width:2.5}"
    ".centre circle{fill:none;stroke:#000;stroke-width:2}.centre line{stroke:#000;stroke-width:2}"
    ".centre line.plumb{stroke-dasharray:3 3;stroke-width:1}</style>";

}  // namespace

std::string boxSvg(const json& response, std::size_t index, const json& insights) {
  const json& box = member(response, "boxes").at(index);
  const json& items = member(box, "items");
  const double W = numberOf(box, "width"), L = numberOf(box, "length"), D = numberOf(box, "depth");
  std::map<std::string, double> hues = huesOf(response);
  const json* measured = insights.is_object() ? &insights.at("boxes").at(index) : nullptr;
  std::vector<Extent> extents;
  std::map<std::string, int> counts;
  std::vector<std::string> codes;  // in loading order
  for (const json& p : items) {
    extents.push_back(extentOf(p));
    const std::string code = textOf(p, "ItemCode");
    if (counts[code]++ == 0) codes.push_back(code);
    hues.emplace(code, 0.0);  // a code missing from the placements of a hand-written response
  }
  constexpr int kWidth = 640, kDrawing = 480, kTop = 32, kRow = 22;
  const int height = kTop + kDrawing + 20 + kRow * static_cast<int>(codes.size() + 1);
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(kWidth) +
                    "\" height=\"" + std::to_string(height) + "\" viewBox=\"0 0 " + std::to_string(kWidth) +
                    " " + std::to_string(height) + "\">" + kStyle;
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"#fff\"/>";
  svg += "<text class=\"title\" x=\"8\" y=\"22\">Box " + std::to_string(index + 1) + " of " +
         std::to_string(member(response, "boxes").size()) + ": " + escaped(textOf(box, "box_reference")) + "</text>";
  svg += "<svg x=\"0\" y=\"" + std::to_string(kTop) + "\" width=\"" + std::to_string(kWidth) + "\" height=\"" +
         std::to_string(kDrawing) + "\" viewBox=\"" + viewBox(W, L, D) + "\">" + shell(W, L, D);
  for (const std::size_t k : paintOrder(extents)) {
    const std::string code = textOf(items[k], "ItemCode");
    const bool overhang = measured && measured->at("items").at(k).value("overhang", false);
    svg += "<g class=\"item\"><title>" + std::to_string(k + 1) + ": " + escaped(code) + "</title>" +
           itemFaces(extents[k], hues.at(code), overhang) + "</g>";
  }
  svg += frontEdges(W, L, D);
  if (measured) svg += centreMark(member(*measured, "centre_of_gravity"), W, L, D);
  svg += "</svg>";
  int y = kTop + kDrawing + 12 + kRow;
  svg += "<text x=\"8\" y=\"" + std::to_string(y - 6) + "\">" + std::to_string(items.size()) +
         (items.size() == 1 ? " item" : " items") + ", inner size " + shortNumber(W) + " \u00d7 " + shortNumber(L) +
         " \u00d7 " + shortNumber(D) + "</text>";
  for (const std::string& code : codes) {
    y += kRow;
    svg += "<rect x=\"8\" y=\"" + std::to_string(y - 17) + "\" width=\"14\" height=\"14\" fill=\"" +
           colour(hues.at(code), 60) + "\" stroke=\"#555\"/><text x=\"30\" y=\"" + std::to_string(y - 5) +
           "\">" + escaped(code) + " \u00d7 " + std::to_string(counts[code]) + "</text>";
  }
  return svg + "</svg>\n";
}

int writeBoxPictures(const std::string& folder, const json& response, const json& insights) {
  if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
    std::fprintf(stderr, "varbex: cannot create '%s': %s\n", folder.c_str(), std::strerror(errno));
    return kUsageOrIoError;
  }
  for (std::size_t k = 0; k < member(response, "boxes").size(); ++k) {
    std::string error;
    if (!writeTextFile(folder + "/box-" + std::to_string(k) + ".svg", boxSvg(response, k, insights), error)) {
      std::fprintf(stderr, "varbex: %s\n", error.c_str());
      return kUsageOrIoError;
    }
  }
  return kSuccess;
}

}  // namespace cli
