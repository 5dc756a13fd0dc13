// The exported C boundary of the insights: both texts in, one malloc block out. No exception
// crosses this file.
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include <nlohmann/json.hpp>

#include "insights/insights_document.h"
#include "varbex_insights.h"

namespace {

char* copyToBlock(const std::string& text) noexcept {
  char* block = static_cast<char*>(std::malloc(text.size() + 1));
  if (block != nullptr) std::memcpy(block, text.c_str(), text.size() + 1);
  return block;
}

// A parse error quotes the input, which may not be valid UTF-8: such bytes become U+FFFD.
char* envelopeBlock(const char* message) noexcept {
  try {
    nlohmann::json envelope;
    envelope["success"] = false;
    envelope["error"] = message;
    return copyToBlock(envelope.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
  } catch (...) {
    static const std::string kOutOfMemory = R"({"error":"std::bad_alloc","success":false})";
    return copyToBlock(kOutOfMemory);
  }
}

}  // namespace

extern "C" VARBEX_INSIGHTS_API char* varbex_insights(const char* request, const char* response) {
  try {
    return copyToBlock(varbex::insights::insightsText(request ? request : "{}",
                                                      response ? response : "{}"));
  } catch (const std::exception& e) {
    return envelopeBlock(e.what());
  } catch (...) {
    return envelopeBlock("unknown failure");
  }
}

extern "C" VARBEX_INSIGHTS_API void varbex_insights_free(char* document) { std::free(document); }
