#include "core/coordinates.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <random>
#include <string>

#include "core/unicode.h"

namespace qf {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

DisplayOptions Options(bool dms, bool compass) {
  DisplayOptions options;
  options.dms = dms;
  options.compass = compass;
  return options;
}

const DisplayOptions kDecimal = Options(false, false);
const DisplayOptions kDecimalCompass = Options(false, true);
const DisplayOptions kDms = Options(true, false);
const DisplayOptions kDmsCompass = Options(true, true);
const DisplayOptions kAllOptions[] = {kDecimal, kDecimalCompass, kDms, kDmsCompass};

std::u16string Text(const CoordinateText& text) { return std::u16string(text.view()); }

TEST(FormatCoordinate, DisplayFormats) {
  struct Case {
    double degrees;
    Axis axis;
    DisplayOptions options;
    std::u16string expected;
  };
  const Case cases[] = {
      {0, Axis::Longitude, kDecimal, u"0.00000"},
      {0, Axis::Longitude, kDms, u"0° 00' 00.00\""},
      {0, Axis::Longitude, kDecimalCompass, u"E 0.00000"},
      {0, Axis::Latitude, kDecimalCompass, u"N 0.00000"},
      {0, Axis::Latitude, kDmsCompass, u"N 0° 00' 00.00\""},
      {121.5, Axis::Longitude, kDecimal, u"121.50000"},
      {121.5, Axis::Longitude, kDms, u"121° 30' 00.00\""},
      {121.5, Axis::Longitude, kDecimalCompass, u"E 121.50000"},
      {-0.1275, Axis::Longitude, kDms, u"-0° 07' 39.00\""},
      {-0.1275, Axis::Longitude, kDmsCompass, u"W 0° 07' 39.00\""},
      {-25.033, Axis::Latitude, kDecimalCompass, u"S 25.03300"},
      {-25.033, Axis::Latitude, kDmsCompass, u"S 25° 01' 58.80\""},
      // Rounded to whole units before splitting, so no 60 seconds appear.
      {120.999999, Axis::Longitude, kDms, u"121° 00' 00.00\""},
      {-179.999999, Axis::Longitude, kDms, u"-180° 00' 00.00\""},
      // One unit is 0.036 arc seconds, shown rounded to the nearest hundredth.
      {0.00001, Axis::Latitude, kDms, u"0° 00' 00.04\""},
      {-0.00001, Axis::Latitude, kDecimal, u"-0.00001"},
      // A minus zero is never shown.
      {-0.000001, Axis::Longitude, kDecimal, u"0.00000"},
      {-0.000001, Axis::Longitude, kDms, u"0° 00' 00.00\""},
      {-0.000001, Axis::Longitude, kDecimalCompass, u"E 0.00000"},
      {-0.0, Axis::Latitude, kDecimalCompass, u"N 0.00000"},
      // Beyond any coordinate: no text rather than an overflowing one.
      {1e9, Axis::Longitude, kDecimal, u""},
      {-1e300, Axis::Longitude, kDms, u""},
      {kInfinity, Axis::Latitude, kDecimal, u""},
      {kNaN, Axis::Latitude, kDmsCompass, u""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Text(FormatCoordinate(c.degrees, c.axis, c.options)), c.expected)
        << c.degrees << " dms=" << c.options.dms << " compass=" << c.options.compass;
  }
}

TEST(FormatCoordinate, DecimalMatchesPrintf) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> degrees(-180, 180);
  char expected[64];
  for (int i = 0; i < 20000; ++i) {
    // Half of the values sit exactly on a half unit, where the rounding of the binary value decides.
    const double value = i % 2 ? degrees(random) : (std::floor(degrees(random) * 100000) + 0.5) / 100000;
    std::snprintf(expected, sizeof expected, "%.5f", value);
    const std::string ascii(expected);
    if (ascii == "-0.00000") continue;
    EXPECT_EQ(Text(FormatCoordinate(value, Axis::Longitude, kDecimal)), std::u16string(ascii.begin(), ascii.end()))
        << expected;
  }
}

TEST(FormatUnits, DecimalTextStraightFromTheInteger) {
  struct Case {
    std::int32_t units;
    Axis axis;
    DisplayOptions options;
    std::u16string expected;
  };
  const Case cases[] = {
      {0, Axis::Longitude, kDecimal, u"0.00000"},
      {-1, Axis::Longitude, kDecimal, u"-0.00001"},
      {1, Axis::Latitude, kDecimalCompass, u"N 0.00001"},
      {-1, Axis::Latitude, kDecimalCompass, u"S 0.00001"},
      {12150000, Axis::Longitude, kDecimal, u"121.50000"},
      {-2503300, Axis::Latitude, kDmsCompass, u"S 25° 01' 58.80\""},
      {std::numeric_limits<std::int32_t>::max(), Axis::Longitude, kDecimal, u"21474.83647"},
      {kMissingUnits, Axis::Longitude, kDecimal, u"-21474.83648"},
  };
  for (const Case& c : cases) EXPECT_EQ(Text(FormatUnits(c.units, c.axis, c.options)), c.expected) << c.units;
}

// Units to sweep: every value near zero, and a prime step across the whole 32-bit range.
std::vector<std::int32_t> SweepUnits() {
  std::vector<std::int32_t> units;
  for (std::int32_t u = -20000; u <= 20000; ++u) units.push_back(u);
  for (std::int64_t u = std::numeric_limits<std::int32_t>::min(); u <= std::numeric_limits<std::int32_t>::max();
       u += 99991) {
    units.push_back(static_cast<std::int32_t>(u));
  }
  units.push_back(std::numeric_limits<std::int32_t>::max());
  for (std::int32_t u : {kMaxLongitudeUnits, kMaxLatitudeUnits}) {
    units.push_back(u);
    units.push_back(-u);
  }
  return units;
}

TEST(FormatUnits, EqualsFormatCoordinateOfTheDegrees) {
  for (const std::int32_t units : SweepUnits()) {
    for (const DisplayOptions& options : kAllOptions) {
      ASSERT_EQ(Text(FormatUnits(units, Axis::Latitude, options)),
                Text(FormatCoordinate(units / 100000.0, Axis::Latitude, options)))
          << units << " dms=" << options.dms << " compass=" << options.compass;
    }
  }
}

// Hundredths of arc seconds are finer than a unit (0.036"), so even the DMS text gives the units back exactly.
TEST(CoordinateToUnits, RoundTripsEveryDisplayText) {
  for (const std::int32_t units : SweepUnits()) {
    for (const DisplayOptions& options : kAllOptions) {
      for (const Axis axis : {Axis::Longitude, Axis::Latitude}) {
        const CoordinateText text = FormatUnits(units, axis, options);
        ASSERT_EQ(CoordinateToUnits(text, options), units)
            << units << " dms=" << options.dms << " compass=" << options.compass;
      }
    }
  }
}

TEST(PlainDecimalUnits, OnlyThePlainForm) {
  const struct {
    std::u16string_view text;
    std::optional<std::int32_t> units;
  } kCases[] = {
      {u"46.30580", 4630580}, {u"-1.2", -120000},     {u"180", 18000000}, {u"0.00001", 1},
      {u"-0.00000", 0},       {u"999.99999", 99999999}, {u"007", 700000},
      // Longer fractions are rounded, except exactly halfway, where the double decides.
      {u"1.123456", 112346}, {u"-52.370000000", -5237000}, {u"-0.000004999999", 0}, {u"0.123454999999", 12345},
      {u"1.123455", std::nullopt}, {u"1.1234550", std::nullopt}, {u"1.1234567890123", std::nullopt},
      {u"", std::nullopt},    {u"-", std::nullopt},       {u".5", std::nullopt},    {u"5.", std::nullopt},
      {u"1000", std::nullopt}, {u"+1.5", std::nullopt}, {u" 1.5", std::nullopt},
      {u"1.5 ", std::nullopt}, {u"1e5", std::nullopt},      {u"1.2.3", std::nullopt}, {u"--1", std::nullopt},
      {u"N 1.5", std::nullopt},
  };
  for (const auto& [text, units] : kCases) EXPECT_EQ(PlainDecimalUnits(text), units) << Utf16ToUtf8(text);
}

// Whatever it reads, it reads as the general number reader does, and the text made from its
// units is the text made from the double. Digits after the fifth decimal are drawn mostly near
// halfway, where a wrong rounding would show.
TEST(PlainDecimalUnits, AgreesWithReadingThroughADouble) {
  std::mt19937 random(7);
  for (int i = 0; i < 300000; ++i) {
    std::string text = random() % 2 ? "-" : "";
    const int whole = 1 + static_cast<int>(random() % 3);
    for (int d = 0; d < whole; ++d) text += static_cast<char>('0' + random() % 10);
    const int fraction = static_cast<int>(random() % 13);
    if (fraction > 0) text += '.';
    for (int d = 0; d < fraction; ++d) {
      const char near = d == 5 ? '5' : random() % 2 ? '0' : '9';
      text += d < 5 || random() % 4 == 0 ? static_cast<char>('0' + random() % 10) : near;
    }
    const std::u16string wide(text.begin(), text.end());
    const std::optional<std::int32_t> units = PlainDecimalUnits(wide);
    if (fraction <= 5) {
      ASSERT_TRUE(units.has_value()) << text;
    }
    if (!units) continue;
    ASSERT_EQ(*units, DegreesToUnits(LeadingNumber(wide))) << text;
    for (const DisplayOptions& options : {kDecimal, kDms}) {
      ASSERT_EQ(FormatUnits(*units, Axis::Longitude, options).view(),
                FormatCoordinate(LeadingNumber(wide), Axis::Longitude, options).view())
          << text;
    }
  }
}

TEST(CoordinateToUnits, EmptyTextIsMissing) { EXPECT_EQ(CoordinateToUnits(u"", kDms), kMissingUnits); }

TEST(DegreesToUnits, RoundsHalfAwayFromZeroAndSaturates) {
  struct Case {
    double degrees;
    std::int32_t units;
  };
  const Case cases[] = {
      {0.000005, 1},
      {-0.000005, -1},
      {0.0000049, 0},
      {-0.0000049, 0},
      {121.5, 12150000},
      {180.000004, 18000000},
      {180.000006, 18000001},
      {1e300, std::numeric_limits<std::int32_t>::max()},
      {-kInfinity, std::numeric_limits<std::int32_t>::min()},
      {kNaN, kMissingUnits},
  };
  for (const Case& c : cases) EXPECT_EQ(DegreesToUnits(c.degrees), c.units) << c.degrees;
}

TEST(UnitsInRange, BothEndsIncluded) {
  EXPECT_TRUE(UnitsInRange(18000000, Axis::Longitude));
  EXPECT_TRUE(UnitsInRange(-18000000, Axis::Longitude));
  EXPECT_FALSE(UnitsInRange(18000001, Axis::Longitude));
  EXPECT_TRUE(UnitsInRange(-9000000, Axis::Latitude));
  EXPECT_FALSE(UnitsInRange(9000001, Axis::Latitude));
  EXPECT_FALSE(UnitsInRange(-9000001, Axis::Latitude));
}

TEST(LeadingNumber, LongestPrefixThatReadsAsANumber) {
  struct Case {
    std::u16string text;
    double value;
  };
  const Case cases[] = {
      {u"12.5abc", 12.5},
      {u" \t-3e2x", -300},
      {u"+7", 7},
      {u".5", 0.5},
      {u"5.", 5},
      {u"1e", 1},
      {u"1e+", 1},
      {u"2E-2°", 0.02},
      {u"121° 30'", 121},
      {u"", 0},
      {u".", 0},
      {u"-", 0},
      {u"- 5", 0},
      {u"abc", 0},
      {u"0x10", 0},
      {u"inf", 0},
      {u"nan", 0},
      {u"1e400", kInfinity},
      {u"-1e400", -kInfinity},
      {u"1e-400", 0},
      {u"0.0000000001e-400", 0},
      {u"0.0000000001e400", kInfinity},
      {std::u16string(100, u'9') + u"e-90", 1e10},
  };
  for (const Case& c : cases) {
    const double value = LeadingNumber(c.text);
    if (c.value == 0 || std::isinf(c.value)) {
      EXPECT_EQ(value, c.value) << std::string(c.text.begin(), c.text.end());
    } else {
      EXPECT_DOUBLE_EQ(value, c.value) << std::string(c.text.begin(), c.text.end());
    }
  }
}

TEST(ParseCoordinateText, ReadsEveryDisplayForm) {
  struct Case {
    std::u16string text;
    double degrees;
  };
  const Case cases[] = {
      {u"S 25° 01' 58.80\"", -25.033},
      {u"-25° 01' 58.80\"", -25.033},
      {u"N 25° 01' 58.80\"", 25.033},
      {u"W 121.50000", -121.5},
      {u"E 121.50000", 121.5},
      {u"-121.50000", -121.5},
      {u"121° 30' 00.00\"", 121.5},
      {u"-0° 07' 39.00\"", -0.1275},
      {u"W 0° 07' 39.00\"", -0.1275},
      {u"0.00000", 0},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(ParseCoordinateText(c.text), c.degrees, 1e-9) << std::string(c.text.begin(), c.text.end());
  }
}

TEST(StripCompass, LetterBecomesSign) {
  struct Case {
    std::u16string text;
    std::u16string expected;
  };
  const Case cases[] = {
      {u"S 25.03300", u"-25.03300"},
      {u"W 0° 07' 39.00\"", u"-0° 07' 39.00\""},
      {u"E 121.50000", u"121.50000"},
      {u"N 0.00000", u"0.00000"},
      {u"-121.50000", u"-121.50000"},
      {u"121.50000", u"121.50000"},
      {u"", u""},
  };
  for (Case c : cases) {
    StripCompass(c.text);
    EXPECT_EQ(c.text, c.expected);
  }
}

TEST(ToPlainDecimal, SignedDecimalUnderEveryOption) {
  struct Case {
    std::u16string text;
    DisplayOptions options;
    std::u16string expected;
  };
  const Case cases[] = {
      {u"S 25° 01' 58.80\"", kDmsCompass, u"-25.03300"},
      {u"-0° 07' 39.00\"", kDms, u"-0.12750"},
      {u"W 121.50000", kDecimalCompass, u"-121.50000"},
      {u"-121.50000", kDecimal, u"-121.50000"},
      {u"", kDmsCompass, u""},
  };
  for (Case c : cases) {
    ToPlainDecimal(c.text, c.options);
    EXPECT_EQ(c.text, c.expected);
  }
}

TEST(FromPlainDecimal, DisplayTextUnderEveryOption) {
  struct Case {
    std::u16string text;
    Axis axis;
    DisplayOptions options;
    std::u16string expected;
  };
  const Case cases[] = {
      {u"-121.5", Axis::Longitude, kDms, u"-121° 30' 00.00\""},
      {u"-121.5", Axis::Longitude, kDmsCompass, u"W 121° 30' 00.00\""},
      {u"-25.033", Axis::Latitude, kDecimalCompass, u"S 25.033"},
      {u"25.03300", Axis::Latitude, kDecimalCompass, u"N 25.03300"},
      {u"25.03300", Axis::Latitude, kDecimal, u"25.03300"},
      {u"", Axis::Latitude, kDmsCompass, u""},
  };
  for (Case c : cases) {
    FromPlainDecimal(c.text, c.axis, c.options);
    EXPECT_EQ(c.text, c.expected);
  }
}

TEST(Reformat, ParsesAnyFormAndWritesTheCurrentOne) {
  std::u16string text = u"W 121.50000";
  Reformat(text, Axis::Longitude, kDms);
  EXPECT_EQ(text, u"-121° 30' 00.00\"");
  Reformat(text, Axis::Longitude, kDecimal);
  EXPECT_EQ(text, u"-121.50000");
  text.clear();
  Reformat(text, Axis::Longitude, kDecimal);
  EXPECT_EQ(text, u"");
}

TEST(CheckAndFormat, RangeOnTheRoundedUnits) {
  EXPECT_EQ(Text(*CheckAndFormat(180.000004, Axis::Longitude, kDecimal)), u"180.00000");
  EXPECT_FALSE(CheckAndFormat(180.000006, Axis::Longitude, kDecimal));
  EXPECT_EQ(Text(*CheckAndFormat(-90.000004, Axis::Latitude, kDecimal)), u"-90.00000");
  EXPECT_FALSE(CheckAndFormat(-90.000006, Axis::Latitude, kDecimal));
  EXPECT_FALSE(CheckAndFormat(kNaN, Axis::Latitude, kDecimal));
  EXPECT_FALSE(CheckAndFormat(kInfinity, Axis::Longitude, kDecimal));
}

TEST(ParseCoordinateInput, TypedForms) {
  struct Case {
    std::u16string text;
    InputAxis axis;
    DisplayOptions options;
    std::u16string expected;  // empty: the parse fails
  };
  const Case cases[] = {
      {u"121 30 15", InputAxis::Longitude, kDecimal, u"121.50417"},
      {u"121°30'15\"", InputAxis::Longitude, kDecimal, u"121.50417"},
      {u"  121° 30' 15\"  ", InputAxis::Longitude, kDecimal, u"121.50417"},
      {u"121\u02DA30\u203215\u2033", InputAxis::Longitude, kDecimal, u"121.50417"},
      {u"121\u309C30\u300115\u301E", InputAxis::Longitude, kDecimal, u"121.50417"},
      {u"E 121°30'15\"", InputAxis::Longitude, kDecimal, u"121.50417"},
      {u"w121.5", InputAxis::Longitude, kDecimal, u"-121.50000"},
      {u"121°30'15\" W", InputAxis::Longitude, kDecimal, u"-121.50417"},
      {u"121 30W", InputAxis::Longitude, kDecimal, u"-121.50000"},
      {u"-121 30", InputAxis::Longitude, kDecimal, u"-121.50000"},
      {u"- 121.5", InputAxis::Longitude, kDecimal, u"-121.50000"},
      {u"+121.5", InputAxis::Longitude, kDecimal, u"121.50000"},
      {u"-0°30'", InputAxis::Longitude, kDecimal, u"-0.50000"},
      {u"-0 30", InputAxis::Latitude, kDecimal, u"-0.50000"},
      {u"-30'", InputAxis::Latitude, kDecimal, u"-0.50000"},
      {u".5", InputAxis::Latitude, kDecimal, u"0.50000"},
      // With a compass letter the minus sign is ignored; a leading letter beats a trailing one.
      {u"W -121.5", InputAxis::Longitude, kDecimal, u"-121.50000"},
      {u"-121.5 E", InputAxis::Longitude, kDecimal, u"121.50000"},
      {u"E 5 W", InputAxis::Longitude, kDecimal, u"5.00000"},
      // Marks pick their component; blanks the first free one; a fourth number is ignored.
      {u"30' 1°", InputAxis::Latitude, kDecimal, u"1.50000"},
      {u"1 2 3 4", InputAxis::Latitude, kDecimal, u"1.03417"},
      {u"5\" 10", InputAxis::Latitude, kDecimal, u"0.00139"},
      {u"-0.000001", InputAxis::Latitude, kDecimal, u"0.00000"},
      {u"180", InputAxis::Longitude, kDecimal, u"180.00000"},
      {u"90.000004", InputAxis::Latitude, kDecimal, u"90.00000"},
      {u"121.5", InputAxis::Longitude, kDmsCompass, u"E 121° 30' 00.00\""},
      {u"s 25°01'58.80\"", InputAxis::Latitude, kDms, u"-25° 01' 58.80\""},
      {u"s 25°01'58.80\"", InputAxis::Plain, kDms, u"-25.03300"},
      {u"200 30", InputAxis::Plain, kDecimal, u"200.50000"},
      {u"-0°", InputAxis::Plain, kDecimal, u"0.00000"},
      // Failures.
      {u"", InputAxis::Longitude, kDecimal, u""},
      {u" \u3000\t", InputAxis::Longitude, kDecimal, u""},
      {u"N 45", InputAxis::Longitude, kDecimal, u""},
      {u"45 n", InputAxis::Longitude, kDecimal, u""},
      {u"E 5", InputAxis::Latitude, kDecimal, u""},
      {u"181", InputAxis::Longitude, kDecimal, u""},
      {u"90.00001", InputAxis::Latitude, kDecimal, u""},
      {u"1E400", InputAxis::Longitude, kDecimal, u""},
      {u"1E999", InputAxis::Plain, kDecimal, u""},
      {u"12a", InputAxis::Plain, kDecimal, u""},
      {u"12,5", InputAxis::Plain, kDecimal, u""},
      {u"12\u30005", InputAxis::Plain, kDecimal, u""},
      {u"E", InputAxis::Longitude, kDecimal, u""},
      {u"-", InputAxis::Longitude, kDecimal, u""},
      {u"W -", InputAxis::Longitude, kDecimal, u""},
      {u"-W 5", InputAxis::Longitude, kDecimal, u""},
      {u"°5", InputAxis::Longitude, kDecimal, u""},
  };
  for (const Case& c : cases) {
    std::u16string text = c.text;
    const bool parsed = ParseCoordinateInput(text, c.axis, c.options);
    const std::string input(c.text.begin(), c.text.end());
    if (c.expected.empty()) {
      EXPECT_FALSE(parsed) << input;
      EXPECT_EQ(text, c.text) << input;
    } else {
      EXPECT_TRUE(parsed) << input;
      EXPECT_EQ(text, c.expected) << input;
    }
  }
}

TEST(FormatDistance, UnitBoundaries) {
  struct Case {
    std::int32_t metres;
    bool metric;
    std::u16string expected;
  };
  const Case cases[] = {
      {0, true, u"0    m"},
      {999, true, u"999    m"},
      {1000, true, u"1.0  km"},
      {1050, true, u"1.1  km"},
      {20037508, true, u"20037.5  km"},
      {0, false, u"0    ft"},
      {160, false, u"524    ft"},
      {161, false, u"0.1  mi"},
      {1609344, false, u"1000.0  mi"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatDistance(c.metres, c.metric), c.expected) << c.metres;
}

}  // namespace
}  // namespace qf
