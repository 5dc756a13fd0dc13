#include "model/rotation_policy.h"

#include <string>

#include <gtest/gtest.h>

namespace varbex {
namespace {

TEST(RotationPolicyTest, ParsesTheThreeSpellingsInAnyLetterCaseAndEverythingElseAsBestFit) {
  struct Case {
    std::string text;
    RotationPolicy expected;
  };
  const Case kCases[] = {
      {"Never", RotationPolicy::Never},
      {"NEVER", RotationPolicy::Never},
      {"never", RotationPolicy::Never},
      {"nEvEr", RotationPolicy::Never},
      {"KeepFlat", RotationPolicy::KeepFlat},
      {"KEEP_FLAT", RotationPolicy::KeepFlat},
      {"keep_flat", RotationPolicy::KeepFlat},
      {"keepflat", RotationPolicy::KeepFlat},
      {"Keep_Flat", RotationPolicy::KeepFlat},
      // Only the whole text counts: separators other than '_', blanks and extra characters fall
      // through to the default.
      {"keep-flat", RotationPolicy::BestFit},
      {"Keep Flat", RotationPolicy::BestFit},
      {" never", RotationPolicy::BestFit},
      {"never ", RotationPolicy::BestFit},
      {"nevers", RotationPolicy::BestFit},
      {"keep__flat", RotationPolicy::BestFit},
      {"BestFit", RotationPolicy::BestFit},
      {"best_fit", RotationPolicy::BestFit},
      {"rotate", RotationPolicy::BestFit},
      {"", RotationPolicy::BestFit},
      {"0", RotationPolicy::BestFit},
      {"1", RotationPolicy::BestFit},
      // Bytes outside A-Z are left as they are, so a non-ASCII look-alike is not a spelling.
      {"N\xC3\x89VER", RotationPolicy::BestFit},
      {std::string("never\0x", 7), RotationPolicy::BestFit},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE("text '" + c.text + "'");
    EXPECT_EQ(parseRotationPolicy(c.text), c.expected);
  }
}

TEST(RotationPolicyTest, NamesEachPolicyAndReadsTheNameBack) {
  struct Case {
    RotationPolicy policy;
    const char* name;
  };
  const Case kCases[] = {
      {RotationPolicy::Never, "Never"},
      {RotationPolicy::KeepFlat, "KeepFlat"},
      {RotationPolicy::BestFit, "BestFit"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_STREQ(rotationPolicyName(c.policy), c.name);
    EXPECT_EQ(parseRotationPolicy(rotationPolicyName(c.policy)), c.policy);
  }
}

TEST(RotationPolicyTest, NamesAnUnknownValueBestFit) {
  EXPECT_STREQ(rotationPolicyName(static_cast<RotationPolicy>(7)), "BestFit");
  EXPECT_STREQ(rotationPolicyName(static_cast<RotationPolicy>(-1)), "BestFit");
}

TEST(RotationPolicyTest, KeepsTheNumericValuesUsedInKeys) {
  EXPECT_EQ(static_cast<int>(RotationPolicy::Never), 0);
  EXPECT_EQ(static_cast<int>(RotationPolicy::KeepFlat), 1);
  EXPECT_EQ(static_cast<int>(RotationPolicy::BestFit), 2);
}

}  // namespace
}  // namespace varbex
