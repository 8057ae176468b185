#include "poi_generator.h"

#include <random>
#include <string>

#include "core/field_rules.h"

namespace qf::bench {

namespace {

std::u16string RandomName(std::mt19937& random) {
  static constexpr std::u16string_view kLetters = u"abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  static constexpr std::u16string_view kAccents = u"éèêëàâäçîïôöûüßÉÖÜñ";
  static constexpr std::u16string_view kCjk = u"中文台北市東京都大阪駅서울특별시";
  const int length = std::uniform_int_distribution<int>(10, 30)(random);
  const int kind = std::uniform_int_distribution<int>(0, 99)(random);
  std::u16string name;
  for (int i = 0; i < length; ++i) {
    const auto pick = [&](std::u16string_view from) {
      return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
    };
    if (kind < 5 && i % 3 == 0) {
      name += pick(kCjk);
    } else if (kind >= 5 && kind < 15 && i % 4 == 0) {
      name += pick(kAccents);
    } else {
      name += pick(kLetters);
    }
  }
  name.front() = u'P';
  name.back() = u'x';
  return name;
}

std::u16string Digits(std::mt19937& random, int count) {
  std::u16string text;
  for (int i = 0; i < count; ++i) text += static_cast<char16_t>(u'0' + random() % 10);
  return text;
}

std::u16string DecimalText(double value) {
  const std::string text = std::to_string(value);
  return {text.begin(), text.end()};
}

}  // namespace

PoiDocument GeneratePois(std::size_t count, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> longitude(-10.0, 30.0);
  std::uniform_real_distribution<double> latitude(35.0, 60.0);
  PoiDocument document;
  document.rows.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const int row = AppendPoi(document, RandomName(random), false);
    SetCoordinateText(document, row, kLng, DecimalText(longitude(random)), false);
    SetCoordinateText(document, row, kLat, DecimalText(latitude(random)), false);
    if (random() % 5 == 0) SetTelephone(document, row, u"+49 " + Digits(random, 3) + u" " + Digits(random, 6));
    if (random() % 5 == 0) SetMemo(document, row, u"Opening hours " + Digits(random, 2) + u"-" + Digits(random, 2));
  }
  return document;
}

}  // namespace qf::bench
