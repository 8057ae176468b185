#include "map/geocode_query.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "core/field_rules.h"
#include "core/string_table.h"
#include "core/unicode.h"
#include "fakes/fake_geocoder.h"
#include "support/test_support.h"

namespace qf {
namespace {

using Reply = test::FakeGeocoder::Reply;
using std::chrono::milliseconds;

Reply XmlFound(const std::string& address, const std::string& lat, const std::string& lng) {
  return {.status = 200,
          .body = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<GeocodeResponse>\n <status>OK</status>\n <result>\n"
                  "  <type>street_address</type>\n  <formatted_address>" +
                  address + "</formatted_address>\n  <geometry>\n   <location>\n    <lat>" + lat +
                  "</lat>\n    <lng>" + lng + "</lng>\n   </location>\n  </geometry>\n </result>\n</GeocodeResponse>\n",
          .dropped = false};
}

Reply XmlStatus(const std::string& status) {
  return {.status = 200, .body = "<GeocodeResponse>\n <status>" + status + "</status>\n</GeocodeResponse>\n",
          .dropped = false};
}

// Nominatim's search writes its attributes in single quotes, its reverse lookup in double ones.
Reply NominatimPlace(const std::string& name, const std::string& lat, const std::string& lon) {
  return {.status = 200,
          .body = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<searchresults timestamp='Mon, 01 Jan 24' "
                  "attribution='Data OpenStreetMap contributors' querystring='q' exclude_place_ids='7'>\n"
                  "<place place_id='7' osm_type='node' osm_id='8' place_rank='16' boundingbox='1,2,3,4' lat='" +
                  lat + "' lon='" + lon + "' display_name='" + name +
                  "' class='place' type='city' importance='0.8'/></searchresults>",
          .dropped = false};
}

const Reply kNominatimNothing{
    .status = 200, .body = "<?xml version=\"1.0\"?>\n<searchresults querystring='nowhere'></searchresults>", .dropped = false};

Reply NominatimAddress(const std::string& text) {
  return {.status = 200,
          .body = "<?xml version=\"1.0\"?>\n<reversegeocode timestamp=\"now\" querystring=\"q\">\n<result place_id=\"9\" "
                  "osm_type=\"way\" lat=\"52.37\" lon=\"4.89\">" +
                  text + "</result><addressparts><road>Dam</road></addressparts></reversegeocode>",
          .dropped = false};
}

const Reply kNominatimNoAddress{
    .status = 200, .body = "<reversegeocode querystring=\"q\"><error>Unable to geocode</error></reversegeocode>",
    .dropped = false};

const Reply kEmpty{.status = 200, .body = "", .dropped = false};
const Reply kDropped{.status = 200, .body = "<GeocodeResponse><status>OK</stat", .dropped = true};

// A reply longer than the 65,535 bytes that count, its location after that point.
Reply Oversized(bool nominatim) {
  const std::string padding(70'000, ' ');
  if (nominatim) return {.status = 200, .body = "<searchresults>" + padding + "<place lat='1' lon='2' display_name='Far'/>",
                         .dropped = false};
  return {.status = 200,
          .body = "<status>OK</status><formatted_address>Far Away</formatted_address>" + padding +
                  "<location><lat>1</lat><lng>2</lng></location>",
          .dropped = false};
}

class GeocodeTest : public testing::Test {
 protected:
  int add(const test::Poi& poi, bool selected) {
    const int row = AppendPoi(document, poi.name, false);
    SetCell(document, row, kLng, poi.lng);
    SetCell(document, row, kLat, poi.lat);
    SetCell(document, row, kMemo, poi.memo);
    document.rows[static_cast<std::size_t>(row)].selected = selected;
    return row;
  }

  GeocodeRun run(GeocoderProvider provider, GeocodeTarget target, UserPort& port,
                 milliseconds spacing = milliseconds(0), const RequestRunner& runner = {}) {
    Geocoder geocoder({.geocoder = provider, .geocoderHost = fake.url(), .geocoderKey = {}}, spacing);
    return RunGeocodeQuery(table, geocoder, target, port, runner);
  }

  test::FakeGeocoder fake;
  PoiDocument document;
  PoiTable table{document};
};

TEST(GeocodeRulesTest, PercentEncoding) {
  const struct {
    std::u16string_view text;
    UrlEscaping escaping;
    std::string_view encoded;
  } cases[] = {
      {u"1 Main St", UrlEscaping::Address, "1%20Main%20St"},
      {u"a&b#c+d/e?f,g", UrlEscaping::Address, "a&b#c+d/e?f,g"},
      {u"Café 東京", UrlEscaping::Address, "Caf%C3%A9%20%E6%9D%B1%E4%BA%AC"},
      {u"a&b #c", UrlEscaping::Strict, "a%26b%20%23c"},
      {u"-52.37000", UrlEscaping::Strict, "-52.37000"},
  };
  for (const auto& c : cases) EXPECT_EQ(PercentEncode(c.text, c.escaping), c.encoded) << Utf16ToUtf8(c.text);
}

TEST(GeocodeRulesTest, MemoAddressAndItsExtension) {
  EXPECT_EQ(AddressOfMemo(u"Dam 1, Amsterdam  (office)"), u"Dam 1, Amsterdam");
  EXPECT_EQ(AddressOfMemo(u"台北市 （本店）"), u"台北市");
  EXPECT_EQ(AddressOfMemo(u"(only a remark)"), u"");

  const struct {
    std::u16string_view address;
    std::u16string_view found;
    bool extends;
  } cases[] = {
      {u"dam 1, amsterdam", u"Dam 1, Amsterdam", false},
      {u"1 Main St, Springfield", u"1 Main St, Springfield, USA", false},
      {u"1 Main St, Springfield", u"1 main st, springfield, United States", false},
      {u"Main St", u"Main Street, Springfield, USA", true},
      {u"Dam 1", u"Dam 1, 1012 JS Amsterdam, Netherlands", true},
      {u"Damrak 1", u"Dam 1", true},  // the address was not exhausted
      {u"1 Main St", u"1 Main St, USA", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExtendsMemo(c.address, c.found), c.extends) << Utf16ToUtf8(c.address) << " / " << Utf16ToUtf8(c.found);
  }

  EXPECT_EQ(AddressForMemo(u"1 Main St, Springfield, IL 62701, USA"), u"1 Main St, Springfield, IL 62701");
  EXPECT_EQ(AddressForMemo(u"Pennsylvania Ave, Washington, United States"), u"Pennsylvania Ave, Washington");
  EXPECT_EQ(AddressForMemo(u"No. 7, Lane 3, Taipei, USA"), u"No. 7, Lane 3, Taipei, USA");
}

// One selected row, queried against the fake, for both providers and every kind of reply.
TEST_F(GeocodeTest, RepliesOfBothProviders) {
  using P = GeocoderProvider;
  using T = GeocodeTarget;
  const test::Poi address{u"Office", u"", u"", u"", u"1 Main St, Springfield (2nd floor)"};
  const test::Poi placed{u"Office", u"-89.60000", u"39.80000", u"", u"old"};
  const test::Poi cleared{u"Office", u"", u"", u"", u"1 Main St, Springfield (2nd floor)"};
  const int kDenied = kQueryServiceDenied, kNoCoordinates = kCannotQueryCoordinates,
            kNoAddress = kCannotQueryAddresses, kLost = kCannotConnectGeocoder;
  const struct {
    const char* what;
    P provider;
    T target;
    test::Poi before;
    std::vector<Reply> replies;
    test::Poi after;
    int message;
    std::size_t requests;
  } cases[] = {
      {"xml found, memo extended", P::Xml, T::Coordinates, address,
       {XmlFound("1 Main St, Springfield, IL 62701, USA", "39.8", "-89.6")},
       {u"Office", u"-89.60000", u"39.80000", u"",
        u"1 Main St, Springfield (2nd floor) => 1 Main St, Springfield, IL 62701, USA"},
       0, 1},
      {"xml found, memo already the address", P::Xml, T::Coordinates, address,
       {XmlFound("1 MAIN ST, SPRINGFIELD, USA", "39.8", "-89.6")},
       {u"Office", u"-89.60000", u"39.80000", u"", u"1 Main St, Springfield (2nd floor)"}, 0, 1},
      {"xml zero results", P::Xml, T::Coordinates, {u"Office", u"1.00000", u"2.00000", u"", u"Nowhere"},
       {XmlStatus("ZERO_RESULTS")}, {u"Office", u"", u"", u"", u"Nowhere"}, 0, 1},
      {"xml over the limit, then found", P::Xml, T::Coordinates, address,
       {XmlStatus("OVER_QUERY_LIMIT"), XmlFound("1 Main St, Springfield", "39.8", "-89.6")},
       {u"Office", u"-89.60000", u"39.80000", u"", address.memo}, 0, 2},
      {"xml request denied", P::Xml, T::Coordinates, address, {XmlStatus("REQUEST_DENIED")}, address, kDenied, 1},
      {"xml unknown status", P::Xml, T::Coordinates, address, {XmlStatus("INVALID_REQUEST")}, address,
       kNoCoordinates, 1},
      {"xml empty reply", P::Xml, T::Coordinates, address, {kEmpty}, address, kNoCoordinates, 1},
      {"xml empty reply to an address query", P::Xml, T::Addresses, placed, {kEmpty}, placed, kNoAddress, 1},
      {"xml reply cut at 65535 bytes", P::Xml, T::Coordinates, {u"Office", u"1.00000", u"2.00000", u"", u"Far"},
       {Oversized(false)}, {u"Office", u"", u"", u"", u"Far"}, 0, 1},
      {"xml dropped connection", P::Xml, T::Coordinates, address, {kDropped}, address, kLost, 1},
      {"xml address without its country", P::Xml, T::Addresses, placed,
       {XmlFound("1 Main St, Springfield, IL 62701, USA", "39.8", "-89.6")},
       {u"Office", u"-89.60000", u"39.80000", u"", u"1 Main St, Springfield, IL 62701"}, 0, 1},
      {"xml No. address keeps its country", P::Xml, T::Addresses, placed,
       {XmlFound("No. 7, Lane 3, Taipei, USA", "39.8", "-89.6")},
       {u"Office", u"-89.60000", u"39.80000", u"", u"No. 7, Lane 3, Taipei, USA"}, 0, 1},
      {"xml address with references", P::Xml, T::Addresses, placed, {XmlFound("Smith &amp; Sons, Caf&#233;", "", "")},
       {u"Office", u"-89.60000", u"39.80000", u"", u"Smith & Sons, Café"}, 0, 1},
      {"nominatim found", P::Nominatim, T::Coordinates, address,
       {NominatimPlace("1, Main Street, Springfield, Illinois, United States", "39.8", "-89.6")},
       {u"Office", u"-89.60000", u"39.80000", u"",
        u"1 Main St, Springfield (2nd floor) => 1, Main Street, Springfield, Illinois, United States"},
       0, 1},
      {"nominatim nothing found", P::Nominatim, T::Coordinates, {u"Office", u"1.00000", u"2.00000", u"", u"Nowhere"},
       {kNominatimNothing}, {u"Office", u"", u"", u"", u"Nowhere"}, 0, 1},
      {"nominatim 429, then found", P::Nominatim, T::Coordinates, address,
       {{.status = 429, .body = "Too Many Requests", .dropped = false}, NominatimPlace("1 Main St, Springfield", "39.8", "-89.6")},
       {u"Office", u"-89.60000", u"39.80000", u"", address.memo}, 0, 2},
      {"nominatim blocked", P::Nominatim, T::Coordinates, address, {{.status = 403, .body = "Blocked", .dropped = false}}, address,
       kDenied, 1},
      {"nominatim server error", P::Nominatim, T::Addresses, placed, {{.status = 500, .body = "<reversegeocode>", .dropped = false}},
       placed, kNoAddress, 1},
      {"nominatim empty reply", P::Nominatim, T::Coordinates, address, {kEmpty}, address, kNoCoordinates, 1},
      {"nominatim reply cut at 65535 bytes", P::Nominatim, T::Coordinates,
       {u"Office", u"1.00000", u"2.00000", u"", u"Far"}, {Oversized(true)}, {u"Office", u"", u"", u"", u"Far"}, 0,
       1},
      {"nominatim dropped connection", P::Nominatim, T::Addresses, placed, {kDropped}, placed, kLost, 1},
      {"nominatim address", P::Nominatim, T::Addresses, placed,
       {NominatimAddress("Dam, Centrum, Amsterdam, Noord-Holland, Nederland")},
       {u"Office", u"-89.60000", u"39.80000", u"", u"Dam, Centrum, Amsterdam, Noord-Holland, Nederland"}, 0, 1},
      {"nominatim no address", P::Nominatim, T::Addresses, placed, {kNominatimNoAddress},
       {u"Office", u"-89.60000", u"39.80000", u"", u""}, 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    document.rows.clear();
    table.clearHistory();
    test::FakeGeocoder server;
    server.script(c.replies);
    add(c.before, true);
    test::ScriptedUserPort port;
    Geocoder geocoder({.geocoder = c.provider, .geocoderHost = server.url(), .geocoderKey = {}}, milliseconds(0));
    const GeocodeRun result = RunGeocodeQuery(table, geocoder, c.target, port);
    EXPECT_EQ(test::Pois(document), std::vector<test::Poi>{c.after});
    EXPECT_EQ(result.error, c.message);
    EXPECT_EQ(server.requests().size(), c.requests);
    if (c.message == 0) {
      EXPECT_TRUE(port.messages.empty());
    } else {
      ASSERT_EQ(port.messages.size(), 1u);
      EXPECT_EQ(port.messages[0].first, c.message);
    }
  }
}

TEST_F(GeocodeTest, RequestsOfBothProviders) {
  add({u"A", u"4.89000", u"52.37000", u"", u"Dam 1 & 2, Amsterdam (shop)"}, true);
  const struct {
    GeocoderProvider provider;
    GeocodeTarget target;
    std::string key;
    std::string target_;
  } cases[] = {
      {GeocoderProvider::Xml, GeocodeTarget::Coordinates, "",
       "/maps/api/geocode/xml?address=Dam%201%20&%202,%20Amsterdam&sensor=false"},
      {GeocoderProvider::Xml, GeocodeTarget::Addresses, "k 1", "/maps/api/geocode/xml?latlng=52.37000,4.89000&sensor=false&key=k%201"},
      {GeocoderProvider::Nominatim, GeocodeTarget::Coordinates, "",
       "/search?format=xml&limit=1&q=Dam%201%20%26%202%2C%20Amsterdam"},
      {GeocoderProvider::Nominatim, GeocodeTarget::Addresses, "unused", "/reverse?format=xml&lat=52.37000&lon=4.89000"},
  };
  for (const auto& c : cases) {
    test::FakeGeocoder server;
    server.script({kEmpty});
    test::ScriptedUserPort port;
    Geocoder geocoder({.geocoder = c.provider, .geocoderHost = server.url() + "/", .geocoderKey = c.key},
                      milliseconds(0));
    RunGeocodeQuery(table, geocoder, c.target, port);
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].target, c.target_);
    EXPECT_TRUE(server.requests()[0].userAgent.starts_with("Quillfern/"));
  }
}

TEST_F(GeocodeTest, WithoutSelectionOnlyRowsMissingTheTargetAreQueriedButAllAreCounted) {
  add({u"Placed", u"1.00000", u"2.00000", u"", u"Here"}, false);
  add({u"Lost", u"", u"2.00000", u"", u"There"}, false);
  add({u"Nothing", u"", u"", u"", u""}, false);
  fake.script({XmlFound("There, USA", "3", "4")});
  struct CountingPort : test::ScriptedUserPort {
    std::vector<std::u16string> texts;
    void progress(std::u16string_view text, int) override { texts.emplace_back(text); }
  } port;
  const GeocodeRun result = run(GeocoderProvider::Xml, GeocodeTarget::Coordinates, port);
  EXPECT_EQ(fake.requests().size(), 1u);
  EXPECT_EQ(result.passed, 3);
  EXPECT_EQ(port.texts, (std::vector<std::u16string>{u"Queried 0 / 3 records, press Esc to stop...",
                                                      u"Queried 1 / 3 records, press Esc to stop...",
                                                      u"Queried 2 / 3 records, press Esc to stop..."}));
  EXPECT_EQ(test::Pois(document), (std::vector<test::Poi>{{u"Placed", u"1.00000", u"2.00000", u"", u"Here"},
                                                          {u"Lost", u"4.00000", u"3.00000", u"", u"There"},
                                                          {u"Nothing", u"", u"", u"", u""}}));
}

TEST_F(GeocodeTest, SelectedRowsWithoutInputLoseTheirTargetUnasked) {
  add({u"A", u"1.00000", u"2.00000", u"", u""}, true);
  add({u"B", u"", u"2.00000", u"", u"Memo"}, false);
  test::ScriptedUserPort port;
  run(GeocoderProvider::Xml, GeocodeTarget::Coordinates, port);
  document.rows[0].selected = false;
  document.rows[1].selected = true;
  run(GeocoderProvider::Xml, GeocodeTarget::Addresses, port);
  EXPECT_EQ(test::Pois(document), (std::vector<test::Poi>{{u"A", u"", u"", u"", u""},
                                                          {u"B", u"", u"2.00000", u"", u""}}));
  EXPECT_TRUE(fake.requests().empty());
}

TEST_F(GeocodeTest, RunIsOneUndoStepAndKeepsWhatWasDoneBeforeAFailure) {
  add({u"A", u"", u"", u"", u"First"}, false);
  add({u"B", u"", u"", u"", u"Second"}, false);
  add({u"C", u"", u"", u"", u"Third"}, false);
  document.modified = false;
  fake.script({XmlFound("First", "1", "2"), XmlFound("Second", "3", "4"), kDropped});
  test::ScriptedUserPort port;
  const GeocodeRun result = run(GeocoderProvider::Xml, GeocodeTarget::Coordinates, port);
  EXPECT_EQ(result.error, kCannotConnectGeocoder);
  ASSERT_EQ(port.messages.size(), 1u);
  EXPECT_EQ(port.messages[0].second, FormatMessage(kCannotConnectGeocoder, Utf8ToUtf16(fake.url())));
  EXPECT_EQ(document.text(1, kLat), u"3.00000");
  EXPECT_EQ(document.text(2, kLat), u"");
  EXPECT_TRUE(document.modified);
  table.undo();
  EXPECT_EQ(test::Pois(document), (std::vector<test::Poi>{{u"A", u"", u"", u"", u"First"},
                                                          {u"B", u"", u"", u"", u"Second"},
                                                          {u"C", u"", u"", u"", u"Third"}}));
  EXPECT_FALSE(table.canUndo());
  EXPECT_FALSE(document.modified);
}

TEST_F(GeocodeTest, StopRequestKeepsTheRowsDoneAndShowsNothing) {
  add({u"A", u"", u"", u"", u"First"}, false);
  add({u"B", u"", u"", u"", u"Second"}, false);
  fake.script({XmlFound("First", "1", "2")});
  test::CancellingPort port(1);
  const GeocodeRun result = run(GeocoderProvider::Xml, GeocodeTarget::Coordinates, port);
  EXPECT_TRUE(result.stopped);
  EXPECT_EQ(result.passed, 1);
  EXPECT_EQ(document.text(0, kLat), u"1.00000");
  EXPECT_EQ(fake.requests().size(), 1u);
  EXPECT_TRUE(port.messages.empty());
}

TEST_F(GeocodeTest, EveryRequestAndEveryWaitGoesThroughTheRunner) {
  add({u"A", u"", u"", u"", u"First"}, false);
  fake.script({XmlStatus("OVER_QUERY_LIMIT"), XmlFound("First", "1", "2")});
  test::ScriptedUserPort port;
  int runs = 0;
  run(GeocoderProvider::Xml, GeocodeTarget::Coordinates, port, milliseconds(0),
      [&runs](const std::function<GeocodeReply()>& request) {
        ++runs;
        return request();
      });
  EXPECT_EQ(runs, 3);  // the refused request, the wait, the request again
  EXPECT_EQ(document.text(0, kLat), u"1.00000");
}

TEST_F(GeocodeTest, OnlyALongRunOnThePublicNominatimIsQuestioned) {
  add({u"A", u"", u"", u"", u"First"}, false);
  add({u"B", u"1.00000", u"2.00000", u"", u"Second"}, false);
  add({u"C", u"", u"", u"", u""}, true);
  EXPECT_EQ(RowsToQuery(document, GeocodeTarget::Coordinates), 1);
  document.rows[2].selected = false;
  EXPECT_EQ(RowsToQuery(document, GeocodeTarget::Coordinates), 2);
  EXPECT_EQ(RowsToQuery(document, GeocodeTarget::Addresses), 1);

  const ServiceSettings publicService;
  const ServiceSettings ownHost{.geocoder = GeocoderProvider::Nominatim, .geocoderHost = "127.0.0.1:8080", .geocoderKey = {}};
  const ServiceSettings xml{.geocoder = GeocoderProvider::Xml, .geocoderHost = {}, .geocoderKey = {}};
  EXPECT_FALSE(LongRunQuestion(publicService, 300));
  EXPECT_FALSE(LongRunQuestion(ownHost, 5000));
  EXPECT_FALSE(LongRunQuestion(xml, 5000));
  const std::optional<std::u16string> question = LongRunQuestion(publicService, 301);
  ASSERT_TRUE(question);
  EXPECT_EQ(question->substr(0, 59), u"301 POIs are to be queried from nominatim.openstreetmap.org");
}

TEST_F(GeocodeTest, RetriesWaitHalfASecondAndNominatimIsAskedAtMostOnceASecond) {
  add({u"A", u"", u"", u"", u"First"}, false);
  add({u"B", u"", u"", u"", u"Second"}, false);
  fake.script({XmlStatus("OVER_QUERY_LIMIT"), XmlFound("First", "1", "2")});
  test::ScriptedUserPort port;
  auto start = std::chrono::steady_clock::now();
  run(GeocoderProvider::Xml, GeocodeTarget::Coordinates, port);
  EXPECT_EQ(fake.requests().size(), 3u);
  EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(500));
  EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(1000));

  document.rows.clear();
  add({u"A", u"", u"", u"", u"First"}, false);
  add({u"B", u"", u"", u"", u"Second"}, false);
  fake.script({NominatimPlace("First", "1", "2")});
  start = std::chrono::steady_clock::now();
  Geocoder nominatim({.geocoder = GeocoderProvider::Nominatim, .geocoderHost = fake.url(), .geocoderKey = {}});
  RunGeocodeQuery(table, nominatim, GeocodeTarget::Coordinates, port);
  EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(1000));
  EXPECT_EQ(document.text(1, kLat), u"1.00000");
}

}  // namespace
}  // namespace qf
