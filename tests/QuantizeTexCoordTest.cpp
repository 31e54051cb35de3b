#include "model/QuantizeTexCoord.h"
#include "cli/ModelJson.h"
#include "model/Model.h"
#include "tests/DecimalCommaLocale.h"

#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

namespace {

// The slow way: the exact decimal expansion, rounded at six decimals with
// halves up, parsed back by a correctly rounding, locale-free parser.
double ThroughText(float value) {
    char exact[512];
    std::snprintf(exact, sizeof exact, "%.160f", std::fabs(double(value)));
    std::string text(exact);
    const size_t dot = text.find('.');
    std::string kept = text.substr(0, dot) + text.substr(dot + 1, 6);
    const bool roundUp = text[dot + 7] >= '5';
    if (roundUp) {
        int i = int(kept.size()) - 1;
        while (i >= 0 && kept[size_t(i)] == '9')
            kept[size_t(i--)] = '0';
        if (i < 0)
            kept.insert(kept.begin(), '1');
        else
            ++kept[size_t(i)];
    }
    kept.insert(kept.size() - 6, ".");
    double parsed = 0;
    std::from_chars(kept.data(), kept.data() + kept.size(), parsed);
    return parsed;
}

float FromBits(uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

} // namespace

TEST(QuantizeTexCoord, GivesTheDocumentedValues) {
    EXPECT_EQ(QuantizeTexCoord(0.1234567f), 0.123457);
    EXPECT_EQ(QuantizeTexCoord(-0.25f), -0.25);
    EXPECT_EQ(QuantizeTexCoord(-0.0078125f), -0.007813);
    EXPECT_EQ(QuantizeTexCoord(1.0000001f), 1.0);
    EXPECT_EQ(QuantizeTexCoord(0.9999996f), 1.0);
    // An exact tie rounds up, not to even as the C library's "%f" does here.
    EXPECT_EQ(QuantizeTexCoord(0.0078125f), 0.007813);
    EXPECT_EQ(QuantizeTexCoord(0.5f + 0.0000005f), ThroughText(0.5f + 0.0000005f));
    const double zero = QuantizeTexCoord(-0.0f);
    EXPECT_EQ(zero, 0.0);
    EXPECT_FALSE(std::signbit(zero));
}

TEST(QuantizeTexCoord, StoresNonFiniteValuesAsZero) {
    EXPECT_EQ(QuantizeTexCoord(std::numeric_limits<float>::infinity()), 0.0);
    EXPECT_EQ(QuantizeTexCoord(-std::numeric_limits<float>::infinity()), 0.0);
    EXPECT_EQ(QuantizeTexCoord(std::numeric_limits<float>::quiet_NaN()), 0.0);
}

TEST(QuantizeTexCoord, MatchesTheDecimalTextRoundTripAcrossTheFloats) {
    // Every 4099th bit pattern up to 2^25 as a float, covering the subnormals,
    // the coordinates models use and values far beyond them.
    int compared = 0;
    for (uint64_t bits = 0; bits < 0x4C800000u; bits += 4099) {
        const float f = FromBits(uint32_t(bits));
        ASSERT_EQ(QuantizeTexCoord(f), ThroughText(f)) << "bits " << bits;
        ASSERT_EQ(QuantizeTexCoord(-f), ThroughText(f) == 0 ? 0.0 : -ThroughText(f));
        ++compared;
    }
    // Every tie at the seventh decimal that a float can hold exactly.
    for (int k = 1; k < 2000; ++k) {
        const float tie = float(k) / 128.0f + 0.0078125f / 128.0f;
        ASSERT_EQ(QuantizeTexCoord(tie), ThroughText(tie)) << tie;
    }
    EXPECT_GT(compared, 100000);
}

// The window runs under French and German locales, where "%f" writes a comma.
TEST(QuantizeTexCoord, NumbersDoNotDependOnTheLocale) {
    const std::string before = std::setlocale(LC_ALL, nullptr);
    if (!SetDecimalCommaLocale())
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    char probe[16];
    std::snprintf(probe, sizeof probe, "%f", 0.5);
    const double half = QuantizeTexCoord(0.5f), tie = QuantizeTexCoord(0.0078125f);
    Model model;
    model.surfaces.resize(1);
    model.surfaces[0].u = {0.5};
    model.surfaces[0].v = {0.25};
    const std::string json = ModelAsJson(model);
    std::setlocale(LC_ALL, before.c_str());
    EXPECT_STREQ(probe, "0,500000"); // the locale really is in force
    EXPECT_EQ(half, 0.5);
    EXPECT_EQ(tie, 0.007813);
    EXPECT_NE(json.find("\"u\": [0.500000]"), std::string::npos) << json;
}
