#include "formats/charcode.h"

#include <gtest/gtest.h>

#include <string>

namespace qf {
namespace {

constexpr std::u16string_view kAlphabet = u"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ{-+=}";

std::u16string Escape(std::uint16_t code) {
  return {u'}', kAlphabet[code / 1681], kAlphabet[code / 41 % 41], kAlphabet[code % 41]};
}

bool Unrepresentable(char16_t c) { return c >= 0xA001 && c <= 0xF000; }

TEST(CharCodeTest, KnownCodesBothWays) {
  const struct {
    char16_t character;
    std::uint16_t code;
  } cases[] = {{0x0041, 0x2141}, {0x00E9, 0x21E9}, {0x4E2D, 0x82F1}, {0x3042, 0x5F23}, {0xFF01, 0xF76C}};
  for (const auto& c : cases) {
    EXPECT_EQ(EncodeCharCode(c.character), c.code) << std::hex << int(c.character);
    EXPECT_EQ(DecodeCharCode(c.code), c.character) << std::hex << c.code;
  }
}

TEST(CharCodeTest, EveryRepresentableUnitComesBack) {
  for (unsigned u = 1; u <= 0xFFFF; ++u) {
    const auto c = static_cast<char16_t>(u);
    if (Unrepresentable(c)) continue;
    const std::uint16_t code = EncodeCharCode(c);
    ASSERT_EQ(DecodeCharCode(code), c) << std::hex << u;
    // A zero byte ends a text field, so wide characters must never produce one.
    if (u >= 0x100) {
      ASSERT_GE(code & 0xFF, 35) << std::hex << u;
    }
  }
}

TEST(CharCodeTest, FileNamesComeBackThroughTheEscapes) {
  for (unsigned u = 0x100; u <= 0xFFFF; ++u) {
    const auto c = static_cast<char16_t>(u);
    if (Unrepresentable(c)) continue;
    const std::u16string name = std::u16string(u"a") + c + u".ov2";
    const std::u16string translated = ToTomTomCharCode(name);
    ASSERT_EQ(translated, u"a" + Escape(EncodeCharCode(c)) + u".ov2") << std::hex << u;
    ASSERT_EQ(FromTomTomCharCode(translated), name) << std::hex << u;
  }
  for (char16_t c : {u'\u53F0', u'\uF123'}) {
    const std::u16string translated = ToTomTomCharCode(std::u16string(1, c));
    EXPECT_EQ(translated.size(), 4u);
    EXPECT_EQ(translated[0], u'}');
    EXPECT_EQ(FromTomTomCharCode(translated), std::u16string(1, c));
  }
}

TEST(CharCodeTest, FolderPartIsLeftAlone) {
  EXPECT_EQ(ToTomTomCharCode(u"/media/\u53F0/Caf\u00E9 \u53F0.ov2"),
            u"/media/\u53F0/Caf\u00E9 " + Escape(EncodeCharCode(u'\u53F0')) + u".ov2");
  EXPECT_EQ(ToTomTomCharCode(u"C:\\\u53F0\\x"), u"C:\\\u53F0\\x");
  const std::u16string escaped = Escape(EncodeCharCode(u'\u53F0'));
  EXPECT_EQ(FromTomTomCharCode(u"/a" + escaped + u"/" + escaped), u"/a" + escaped + u"/\u53F0");
  EXPECT_EQ(ToTomTomCharCode(u"Caf\u00E9 ~{}.ov2"), u"Caf\u00E9 ~{}.ov2");
  EXPECT_EQ(FromTomTomCharCode(u"Caf\u00E9 ~{}.ov2"), u"Caf\u00E9 ~{}.ov2");
}

TEST(CharCodeTest, OnlyCompleteEscapesAreTranslatedBack) {
  std::u16string lower = Escape(EncodeCharCode(u'\u4E2D'));
  for (char16_t& c : lower) c = c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
  EXPECT_EQ(FromTomTomCharCode(lower + u".ov2"), u"\u4E2D.ov2");
  for (std::u16string_view kept : {u"a}", u"a}1", u"a}12", u"a}12\u00E9.ov2", u"a}1 2.ov2"}) {
    EXPECT_EQ(FromTomTomCharCode(kept), kept);
  }
  // Escapes that would end the name or leave its folder are not translated.
  for (char16_t unsafe : {u'/', u'\\', u'\0'}) {
    const std::u16string escape = Escape(EncodeCharCode(unsafe));
    EXPECT_EQ(FromTomTomCharCode(u"x" + escape), u"x" + escape);
  }
}

}  // namespace
}  // namespace qf
