#include "map/geocode_query.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include "core/field_rules.h"
#include "core/string_table.h"
#include "core/unicode.h"

namespace qf {

namespace {

constexpr std::chrono::milliseconds kRetryDelay{500};
constexpr std::size_t kMaxCoordinateText = 31;
constexpr std::u16string_view kCountrySuffixes[] = {u", USA", u", United States"};

bool SameIgnoringCase(char16_t a, char16_t b) { return u_foldCase(a, U_FOLD_CASE_DEFAULT) == u_foldCase(b, U_FOLD_CASE_DEFAULT); }

bool EndsWithIgnoringCase(std::u16string_view text, std::u16string_view suffix) {
  return text.size() >= suffix.size() &&
         std::equal(suffix.begin(), suffix.end(), text.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                    SameIgnoringCase);
}

std::u16string_view WithoutCountry(std::u16string_view address) {
  for (const std::u16string_view suffix : kCountrySuffixes) {
    if (EndsWithIgnoringCase(address, suffix)) return address.substr(0, address.size() - suffix.size());
  }
  return address;
}

void TrimTrailingBlanks(std::u16string& text) {
  while (!text.empty() && (text.back() == u' ' || text.back() == u'\u3000')) text.pop_back();
}

bool TargetMissing(const PoiDocument& document, int row, GeocodeTarget target) {
  if (target == GeocodeTarget::Addresses) return document.text(row, kMemo).empty();
  return document.text(row, kLng).empty() || document.text(row, kLat).empty();
}

constexpr int kLongRunRows = 300;

GeocodeReply RunHere(const std::function<GeocodeReply()>& request) { return request(); }

// One row's query, asked again while the service is over its limit; nothing when the user stops.
std::optional<GeocodeReply> Ask(UserPort& port, const RequestRunner& run, const std::function<GeocodeReply()>& request) {
  for (;;) {
    GeocodeReply reply = run(request);
    if (reply.status != ReplyStatus::OverQueryLimit) return reply;
    run([] {
      std::this_thread::sleep_for(kRetryDelay);
      return GeocodeReply{};
    });
    if (port.cancelRequested()) return std::nullopt;
  }
}

class QueryRun {
 public:
  QueryRun(PoiTable& table, Geocoder& geocoder, GeocodeTarget target, UserPort& port, const RequestRunner& run)
      : table_(table),
        document_(table.document()),
        geocoder_(geocoder),
        target_(target),
        port_(port),
        run_(run ? run : RequestRunner(RunHere)) {}

  GeocodeRun run() {
    const bool anySelected = std::ranges::any_of(document_.rows, &PoiRecord::selected);
    std::vector<int> rows;
    for (int row = 0; row < document_.rowCount(); ++row) {
      if (!anySelected || document_.rows[static_cast<std::size_t>(row)].selected) rows.push_back(row);
    }
    result_.candidates = static_cast<int>(rows.size());
    {
      const PoiTable::Action action(table_, PoiTable::Show::FittedColumns);
      for (const int row : rows) {
        port_.progress(FormatMessage(kQueryingRecords, result_.passed, result_.candidates),
                       result_.passed * 100 / result_.candidates);
        if (port_.cancelRequested()) {
          result_.stopped = true;
          break;
        }
        if (anySelected || TargetMissing(document_, row, target_)) {
          if (!query(row)) break;
        }
        ++result_.passed;
      }
    }
    if (result_.error != 0) port_.showMessage(static_cast<MessageId>(result_.error), Severity::Information, errorText());
    return result_;
  }

 private:
  // False when the run ends here.
  bool query(int row) {
    return target_ == GeocodeTarget::Coordinates ? queryCoordinates(row) : queryAddress(row);
  }

  bool queryCoordinates(int row) {
    const std::u16string memo(document_.text(row, kMemo));
    const std::u16string address = AddressOfMemo(memo);
    GeocodeReply reply = ReplyWith(ReplyStatus::ZeroResults);
    if (!address.empty()) {
      const auto answer = Ask(port_, run_, [&] { return geocoder_.findPosition(address); });
      if (!answer) return stop();
      reply = *answer;
    }
    if (!accepted(reply, kCannotQueryCoordinates)) return false;
    table_.changeCoordinate(row, kLng, reply.lng.value_or(u""));
    table_.changeCoordinate(row, kLat, reply.lat.value_or(u""));
    if (reply.lng && reply.lat && ExtendsMemo(address, reply.address)) {
      table_.changeCell(row, kMemo, MemoCellText(document_, memo + u" => " + reply.address));
    }
    table_.makeVisible(row);
    return true;
  }

  bool queryAddress(int row) {
    std::u16string lng(document_.text(row, kLng));
    std::u16string lat(document_.text(row, kLat));
    CutText(lng, kMaxCoordinateText);
    CutText(lat, kMaxCoordinateText);
    GeocodeReply reply = ReplyWith(ReplyStatus::ZeroResults);
    if (!lng.empty() && !lat.empty()) {
      ToPlainDecimal(lng, document_.display);
      ToPlainDecimal(lat, document_.display);
      const auto answer = Ask(port_, run_, [&] { return geocoder_.findAddress(lat, lng); });
      if (!answer) return stop();
      reply = *answer;
    }
    if (!accepted(reply, kCannotQueryAddresses)) return false;
    table_.changeCell(row, kMemo, MemoCellText(document_, AddressForMemo(reply.address)));
    table_.makeVisible(row);
    return true;
  }

  bool stop() {
    result_.stopped = true;
    return false;
  }

  // Whether the reply gives the row a result (an empty one for ZERO_RESULTS); otherwise the
  // run ends with the reply's message.
  bool accepted(GeocodeReply& reply, MessageId unreadable) {
    switch (reply.status) {
      case ReplyStatus::Found:
        return true;
      case ReplyStatus::ZeroResults:
        reply = ReplyWith(ReplyStatus::ZeroResults);
        return true;
      case ReplyStatus::RequestDenied:
        result_.error = kQueryServiceDenied;
        return false;
      case ReplyStatus::NoConnection:
        result_.error = kCannotConnectGeocoder;
        return false;
      case ReplyStatus::OverQueryLimit:  // asked again until it passes
      case ReplyStatus::Unexpected:
        break;
    }
    result_.error = unreadable;
    return false;
  }

  std::u16string errorText() const {
    if (result_.error == kCannotConnectGeocoder) return FormatMessage(result_.error, Utf8ToUtf16(geocoder_.host()));
    return LoadString(result_.error);
  }

  PoiTable& table_;
  PoiDocument& document_;
  Geocoder& geocoder_;
  GeocodeTarget target_;
  UserPort& port_;
  RequestRunner run_;
  GeocodeRun result_;
};

}  // namespace

GeocodeRun RunGeocodeQuery(PoiTable& table, Geocoder& geocoder, GeocodeTarget target, UserPort& port,
                           const RequestRunner& run) {
  return QueryRun(table, geocoder, target, port, run).run();
}

int RowsToQuery(const PoiDocument& document, GeocodeTarget target) {
  const bool anySelected = std::ranges::any_of(document.rows, &PoiRecord::selected);
  int rows = 0;
  for (int row = 0; row < document.rowCount(); ++row) {
    const bool chosen = anySelected ? document.rows[static_cast<std::size_t>(row)].selected : TargetMissing(document, row, target);
    rows += chosen ? 1 : 0;
  }
  return rows;
}

std::optional<std::u16string> LongRunQuestion(const ServiceSettings& settings, int rows) {
  if (settings.geocoder != GeocoderProvider::Nominatim || !settings.geocoderHost.empty() || rows <= kLongRunRows) {
    return std::nullopt;
  }
  return FormatMessage(kLongGeocodeRun, rows, Utf8ToUtf16(GeocoderHost(settings)));
}

std::u16string AddressOfMemo(std::u16string_view memo) {
  std::u16string address(memo.substr(0, std::min(memo.size(), kMaxMemoLength)));
  address.resize(std::min(address.size(), address.find_first_of(u"(\uFF08")));
  TrimTrailingBlanks(address);
  return address;
}

bool ExtendsMemo(std::u16string_view address, std::u16string_view found) {
  if (FoldCase(address) == FoldCase(found)) return false;
  const std::u16string_view copy = WithoutCountry(found);
  // Walks the found address, stepping on in the memo's address at every equal character.
  std::size_t matched = 0;
  std::size_t at = 0;
  while (matched < address.size() && at < copy.size()) {
    if (SameIgnoringCase(copy[at], address[matched])) ++matched;
    ++at;
  }
  return at < copy.size() || matched < address.size();
}

std::u16string AddressForMemo(std::u16string_view found) {
  return std::u16string(found.starts_with(u"No. ") ? found : WithoutCountry(found));
}

}  // namespace qf
