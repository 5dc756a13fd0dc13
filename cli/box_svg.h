#pragma once

#include <cstddef>
#include <string>

#include <nlohmann/json_fwd.hpp>

// One box of a response as a self-contained SVG picture: the report's isometric drawing with the
// item codes in a legend, for the people who pack.
namespace cli {

// The picture of response["boxes"][index]. With an insights document (null for none) the centre
// of gravity is marked and overhanging items are outlined. Colours follow the report's: one hue
// per item code, in the order the codes first appear in the placements.
std::string boxSvg(const nlohmann::json& response, std::size_t index, const nlohmann::json& insights);

// `varbex render --svg DIR [--request REQUEST.json] RESPONSE.json`: writes DIR/box-<index>.svg
// for every box. Returns the exit status.
int writeBoxPictures(const std::string& folder, const nlohmann::json& response,
                     const nlohmann::json& insights);

}  // namespace cli
