#include "poi_generator.h"

#include <array>
#include <random>
#include <string>
#include <utility>

#include "core/coordinates.h"
#include "core/field_rules.h"

namespace qf::bench {

namespace {

using Random = std::mt19937;

template <typename Engine>
char16_t Pick(Engine& random, std::u16string_view from) {
  return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
}

template <typename Engine>
std::u16string RandomName(Engine& random, bool singleBytes) {
  static constexpr std::u16string_view kLetters = u"abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  static constexpr std::u16string_view kAccents = u"éèêëàâäçîïôöûüßÉÖÜñ";
  static constexpr std::u16string_view kCjk = u"中文台北市東京都大阪駅서울특별시";
  const int length = std::uniform_int_distribution<int>(10, 30)(random);
  const int kind = std::uniform_int_distribution<int>(0, 99)(random);
  std::u16string name;
  for (int i = 0; i < length; ++i) {
    if (kind < 5 && i % 3 == 0) {
      name += singleBytes ? Pick(random, kAccents) : Pick(random, kCjk);
    } else if (kind >= 5 && kind < 15 && i % 4 == 0) {
      name += Pick(random, kAccents);
    } else {
      name += Pick(random, kLetters);
    }
  }
  name.front() = u'P';
  name.back() = u'x';
  return name;
}

// Names from a set of a thousandth of the rows: many the same, many others that differ only
// in case or in one character.
std::u16string NameFromSmallSet(Random& random, std::size_t count) {
  const std::size_t set = count / 1000 + 1;
  std::minstd_rand pick(static_cast<std::uint32_t>(std::uniform_int_distribution<std::size_t>(1, set)(random)));
  std::u16string name = RandomName(pick, false);
  switch (random() % 4) {
    case 0:
      name[1] = static_cast<char16_t>(name[1] ^ 0x20);
      break;
    case 1:
      name += static_cast<char16_t>(u'0' + random() % 10);
      break;
    default:
      break;
  }
  return name;
}

// A place name as people write it: a kind of place and a made-up proper name.
std::u16string PlaceName(std::minstd_rand& random) {
  static constexpr std::u16string_view kKinds[] = {u"Hotel", u"Cafe", u"Pizzeria", u"Museum", u"Pharmacy",
                                                   u"Bakery", u"Camping", u"Church", u"Garage", u"Restaurant"};
  static constexpr std::u16string_view kLetters = u"abcdefghijklmnopqrstuvwxyz";
  std::u16string name(kKinds[random() % std::size(kKinds)]);
  name += u' ';
  name += static_cast<char16_t>(u'A' + random() % 26);
  const int length = 5 + static_cast<int>(random() % 8);
  for (int i = 0; i < length; ++i) name += Pick(random, kLetters);
  return name;
}

// One name in five belongs to one of count / 20 groups scattered over the document; its members
// are written alike: the same name, in capitals, or with a word more before or after it.
std::u16string NameInSimilarGroups(Random& random, std::size_t count) {
  if (random() % 5 != 0) return RandomName(random, false);
  const std::size_t groups = count / 20 + 1;
  std::minstd_rand pick(static_cast<std::uint32_t>(std::uniform_int_distribution<std::size_t>(1, groups)(random)));
  std::u16string name = PlaceName(pick);
  static constexpr std::u16string_view kMore[] = {u"Nord", u"Centre", u"Station", u"Airport", u"2"};
  switch (random() % 5) {
    case 0:
      for (char16_t& c : name) c = c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
      break;
    case 1:
      name += u' ';
      name += kMore[random() % std::size(kMore)];
      break;
    case 2:
      name = u"Old " + name;
      break;
    default:
      break;
  }
  return name;
}

std::u16string Digits(Random& random, int count) {
  std::u16string text;
  for (int i = 0; i < count; ++i) text += static_cast<char16_t>(u'0' + random() % 10);
  return text;
}

std::u16string DecimalText(double value) {
  const std::string text = std::to_string(value);
  return {text.begin(), text.end()};
}

// Longitude and latitude ranges in degrees.
struct Area {
  double west;
  double east;
  double south;
  double north;
};

Area AreaOf(Shape shape) {
  switch (shape) {
    case Shape::World:
    case Shape::Similar:
      return {-180, 180, -90, 90};
    case Shape::City:
      return {4.8, 5.0, 52.3, 52.5};
    case Shape::SouthWest:
      return {-120, -35, -55, -1};
    default:
      return {-10, 30, 35, 60};
  }
}

void AddTexts(PoiDocument& document, int row, Shape shape, Random& random) {
  if (shape == Shape::Camera) {
    const std::string speed = std::to_string(random() % 15 * 10);
    SetTelephone(document, row, std::u16string(speed.begin(), speed.end()));
    SetMemo(document, row, kCameraTypeNames[random() % std::size(kCameraTypeNames)]);
    return;
  }
  if (random() % 5 == 0) SetTelephone(document, row, u"+49 " + Digits(random, 3) + u" " + Digits(random, 6));
  if (shape == Shape::Rich) {
    if (random() % 10 != 0) SetMemo(document, row, Digits(random, 7));
  } else if (shape != Shape::Compact && random() % 5 == 0) {
    SetMemo(document, row, u"Opening hours " + Digits(random, 2) + u"-" + Digits(random, 2));
  }
}

void PutUint(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace

std::optional<Shape> ShapeNamed(std::string_view name) {
  static constexpr std::pair<std::string_view, Shape> kShapes[] = {
      {"europe", Shape::Europe},        {"world", Shape::World},
      {"city", Shape::City},            {"south-west", Shape::SouthWest},
      {"no-position", Shape::NoPosition}, {"duplicates", Shape::Duplicates},
      {"similar", Shape::Similar},      {"rich", Shape::Rich},
      {"camera", Shape::Camera},        {"compact", Shape::Compact}};
  for (const auto& [shapeName, shape] : kShapes) {
    if (shapeName == name) return shape;
  }
  return std::nullopt;
}

PoiDocument GeneratePois(std::size_t count, Shape shape, std::uint32_t seed) {
  Random random(seed);
  const Area area = AreaOf(shape);
  std::uniform_real_distribution<double> longitude(area.west, area.east);
  std::uniform_real_distribution<double> latitude(area.south, area.north);
  PoiDocument document;
  document.kind = shape == Shape::Camera ? DocumentKind::SafetyCamera : DocumentKind::Poi;
  document.richPoiFile = shape == Shape::Rich;
  document.rows.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::u16string name = shape == Shape::Camera       ? std::u16string(kSafetyCameraName)
                                : shape == Shape::Duplicates ? NameFromSmallSet(random, count)
                                : shape == Shape::Similar    ? NameInSimilarGroups(random, count)
                                                             : RandomName(random, shape == Shape::Compact);
    const int row = AppendPoi(document, name, false);
    if (shape != Shape::NoPosition || random() % 20 != 0) {
      SetCoordinateText(document, row, kLng, DecimalText(longitude(random)), false);
      SetCoordinateText(document, row, kLat, DecimalText(latitude(random)), false);
    }
    AddTexts(document, row, shape, random);
  }
  return document;
}

std::vector<std::uint8_t> WriteCompactOv2(const PoiDocument& document) {
  constexpr std::int32_t kTurn = 8000000;  // compact longitudes are kept modulo this
  constexpr std::size_t kSkipperBytes = 21;
  std::vector<std::uint8_t> out(kSkipperBytes);
  std::int32_t east = -kMaxLongitudeUnits;
  std::int32_t north = -kMaxLatitudeUnits;
  std::int32_t west = kMaxLongitudeUnits;
  std::int32_t south = kMaxLatitudeUnits;
  for (const PoiRecord& row : document.rows) {
    const std::int32_t x = CoordinateToUnits(row.text(kLng), document.display);
    const std::int32_t y = CoordinateToUnits(row.text(kLat), document.display);
    east = std::max(east, x);
    north = std::max(north, y);
    west = std::min(west, x);
    south = std::min(south, y);
    std::u16string text(row.text(kName));
    if (!row.text(kTel).empty()) text += u">" + std::u16string(row.text(kTel));
    out.push_back(23);
    out.push_back(static_cast<std::uint8_t>(text.size()));
    PutUint(out, static_cast<std::uint32_t>(x < 0 ? x + kTurn : x), 3);
    PutUint(out, static_cast<std::uint32_t>(y + kTurn), 3);
    for (char16_t c : text) out.push_back(static_cast<std::uint8_t>(c));
  }
  // One skipper over every record: a reader takes each longitude's turn from its box.
  std::vector<std::uint8_t> skipper{1};
  PutUint(skipper, static_cast<std::uint32_t>(out.size()), 4);
  for (std::int32_t bound : {east, north, west, south}) PutUint(skipper, static_cast<std::uint32_t>(bound), 4);
  std::copy(skipper.begin(), skipper.end(), out.begin());
  return out;
}

}  // namespace qf::bench
