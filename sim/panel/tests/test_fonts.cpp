// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <fontconfig/fontconfig.h>

#include <string>

namespace {

// The records name "Arial"; the pictures are drawn, and compared, with the
// metric-compatible Liberation Sans that fontconfig gives for it. Without
// it (Debian's fonts-liberation) every text on the face would differ.
TEST(Fonts, TheRecordsArialIsDrawnInLiberationSans) {
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("Arial"));
    ASSERT_NE(pattern, nullptr);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    ASSERT_NE(match, nullptr);
    FcChar8* family = nullptr;
    ASSERT_EQ(FcPatternGetString(match, FC_FAMILY, 0, &family), FcResultMatch);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(family)), "Liberation Sans")
        << "install fonts-liberation (tools/install-deps.sh)";
    FcPatternDestroy(match);
    FcPatternDestroy(pattern);
}

}  // namespace
