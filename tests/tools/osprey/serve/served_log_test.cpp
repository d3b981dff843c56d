// The handlers of `osprey serve`, called as functions on a generated log:
// paging through every order, the entry's refusals, edits that keep what
// the form does not send, worked-before, the QSL round, the upload limit
// and the checks that keep other sites from writing.
#ifdef OSP_HAVE_TOOL

#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "serve/rig_client.h"
#include "serve/served_log.h"
#include "support/log_generator.h"
#include "support/temp_dir.h"

// The command's exit status, which main.cpp keeps in the command.
namespace osprey_tool {
namespace {
int g_status = 0;
}
void set_exit_status(int status) { g_status = status; }
int exit_status() { return g_status; }
}  // namespace osprey_tool

namespace osp {
namespace {

using nlohmann::json;
using osprey_tool::ServedLog;
using osprey_tool::ServeReply;
using osprey_tool::ServeRequest;

constexpr size_t kContacts = 600;

class ServedLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::GeneratorOptions options;
    options.deleted_percent = 10;
    test::write_generated_log(base_, kContacts, 7, options);
    open();
  }
  void open(osprey_tool::ServeLimits limits = {}) {
    log_.reset();
    log_ = std::make_unique<ServedLog>(base_, limits, nullptr);
    ASSERT_TRUE(log_->ok()) << log_->error();
  }
  ServeReply get(const std::string& path, std::map<std::string, std::string> params = {}) {
    return log_->handle(ServeRequest{"GET", path, std::move(params), ""});
  }
  ServeReply post(const std::string& path, const std::string& body,
                  std::map<std::string, std::string> params = {}) {
    return log_->handle(ServeRequest{"POST", path, std::move(params), body});
  }
  json get_json(const std::string& path, std::map<std::string, std::string> params = {}) {
    const ServeReply r = get(path, std::move(params));
    EXPECT_EQ(r.status, 200) << path << ": " << r.body;
    return json::parse(r.body);
  }
  int count() { return get_json("/api/info")["contacts"].get<int>(); }

  test::TempDir dir_;
  std::string base_ = dir_.file("LOG");
  std::unique_ptr<ServedLog> log_;
};

// Every order pages through every live contact exactly once, 250 at a time,
// in its order; deleted contacts only when asked.
TEST_F(ServedLogTest, PagesThroughEveryOrder) {
  for (const std::string order : {"record", "record-desc", "date", "call"}) {
    for (const bool deleted : {false, true}) {
      std::vector<json> rows;
      std::string after;
      size_t pages = 0;
      do {
        std::map<std::string, std::string> params{{"order", order}};
        if (deleted) params["deleted"] = "1";
        if (!after.empty()) params["after"] = after;
        const json page = get_json("/api/contacts", params);
        ASSERT_LE(page["rows"].size(), 250u);
        for (const json& row : page["rows"]) rows.push_back(row);
        after = page["next"].is_null() ? "" : page["next"].get<std::string>();
        ASSERT_LT(++pages, 10u) << order;
      } while (!after.empty());
      std::set<int> recnos;
      size_t deleted_rows = 0;
      for (const json& row : rows) {
        recnos.insert(row["recno"].get<int>());
        deleted_rows += row["deleted"].get<bool>() ? 1 : 0;
      }
      EXPECT_EQ(recnos.size(), rows.size()) << order << ": a contact shown twice";
      EXPECT_EQ(deleted_rows == 0, !deleted) << order;
      if (deleted) {
        EXPECT_EQ(rows.size(), kContacts) << order;
      }
      EXPECT_GE(pages, 2u) << order;
      for (size_t i = 1; i < rows.size(); ++i) {
        const json& a = rows[i - 1];
        const json& b = rows[i];
        if (order == "record") {
          EXPECT_LT(a["recno"], b["recno"]);
        } else if (order == "record-desc") {
          EXPECT_GT(a["recno"], b["recno"]);
        } else if (order == "call") {
          EXPECT_LE(a["call"].get<std::string>().substr(0, 6), b["call"].get<std::string>().substr(0, 6));
        }
      }
    }
  }
}

TEST_F(ServedLogTest, FiltersByCallPrefixBandAndMode) {
  const json first = get_json("/api/contacts", {{"order", "record"}})["rows"][0];
  const std::string prefix = first["call"].get<std::string>().substr(0, 3);
  for (const std::string order : {"call", "record"}) {
    const json rows = get_json("/api/contacts", {{"order", order},
                                                 {"call", prefix},
                                                 {"band", first["band"]},
                                                 {"mode", first["mode"]}})["rows"];
    ASSERT_FALSE(rows.empty()) << order;
    for (const json& row : rows) {
      EXPECT_EQ(row["call"].get<std::string>().rfind(prefix, 0), 0u) << row;
      EXPECT_EQ(row["band"], first["band"]);
      EXPECT_EQ(row["mode"], first["mode"]);
    }
  }
  EXPECT_EQ(get("/api/contacts", {{"band", "8"}}).status, 400);
}

// The entry refuses what `osprey add` refuses, and writes nothing then.
TEST_F(ServedLogTest, EntryRefusesWhatTheCommandRefuses) {
  const int before = count();
  for (const json& body : {json{{"freq", "7.050"}},
                           json{{"call", "JA1ABC"}, {"his", "5999"}},
                           json{{"call", "JA1ABC"}, {"date", "2023-02-30"}},
                           json{{"call", "JA1ABC"}, {"time", "25:00"}},
                           json{{"call", "JA1ABCDE"}},
                           json{{"call", "JA1ABC"}, {"name", "a name far too long"}},
                           json{{"call", "JA1ABC"}, {"time", "12:00"}, {"zone", "X"}}}) {
    const ServeReply r = post("/api/contact", body.dump());
    EXPECT_EQ(r.status, 400) << body;
    EXPECT_TRUE(json::parse(r.body).contains("error")) << r.body;
  }
  EXPECT_EQ(post("/api/contact", "{not json").status, 400);
  EXPECT_EQ(count(), before);
}

// An edit changes the fields sent and keeps every other field as stored.
TEST_F(ServedLogTest, AddThenEditKeepsWhatTheFormDoesNotSend) {
  const ServeReply added = post("/api/contact", json{{"call", "ja1zzz"},
                                                     {"date", "2024-05-06"},
                                                     {"time", "07:08"},
                                                     {"zone", "J"},
                                                     {"freq", "7.012"},
                                                     {"mode", "CW"},
                                                     {"his", "599"},
                                                     {"remark1", "<b>bold</b>"}}
                                                   .dump());
  ASSERT_EQ(added.status, 200) << added.body;
  const int recno = json::parse(added.body)["recno"].get<int>();
  EXPECT_EQ(recno, static_cast<int>(kContacts) + 1);
  const std::map<std::string, std::string> at{{"recno", std::to_string(recno)}};
  ASSERT_EQ(post("/api/contact", json{{"remark2", "edited"}}.dump(), at).status, 200);
  const json c = get_json("/api/contact", at);
  EXPECT_EQ(c["call"], "JA1ZZZ");
  EXPECT_EQ(c["date"], "2024-05-06");
  EXPECT_EQ(c["time"], "07:08");
  EXPECT_EQ(c["zone"], "J");
  EXPECT_EQ(c["freq"], "7.012");
  EXPECT_EQ(c["his"], "599");
  EXPECT_EQ(c["remark1"], "<b>bold</b>");
  EXPECT_EQ(c["remark2"], "edited");
  EXPECT_EQ(get_json("/api/info")["freq"], "7.012");

  ASSERT_EQ(post("/api/contact/delete", "", at).status, 200);
  EXPECT_TRUE(get_json("/api/contact", at)["deleted"].get<bool>());
  EXPECT_EQ(get_json("/api/worked", {{"call", "JA1ZZZ"}})["count"], 0);
}

TEST_F(ServedLogTest, WorkedBeforeTellsNewBandModeAndDuplicate) {
  const json add{{"call", "JA9QQQ"}, {"date", "2024-01-02"}, {"time", "10:00"}, {"zone", "U"},
                 {"freq", "7.010"},  {"mode", "CW"}};
  ASSERT_EQ(post("/api/contact", add.dump()).status, 200);
  struct Case {
    const char *freq, *mode, *date;
    bool new_band, new_mode, duplicate;
  };
  for (const Case& c : {Case{"7.020", "CW", "2024-01-02", false, false, true},
                        Case{"7.020", "CW", "2024-01-03", false, false, false},
                        Case{"14.020", "CW", "2024-01-02", true, false, false},
                        Case{"7.020", "SSB", "2024-01-02", false, true, false}}) {
    const json w = get_json("/api/worked", {{"call", "ja9qqq"}, {"freq", c.freq}, {"mode", c.mode},
                                            {"date", c.date}});
    EXPECT_EQ(w["count"], 1);
    EXPECT_EQ(w["new_band"], c.new_band) << c.freq << " " << c.mode;
    EXPECT_EQ(w["new_mode"], c.new_mode) << c.freq << " " << c.mode;
    EXPECT_EQ(w["duplicate"], c.duplicate) << c.freq << " " << c.mode << " " << c.date;
  }
}

// Marking refuses the whole batch for one deleted contact; the queue's cards
// marked sent leave the queue.
TEST_F(ServedLogTest, MarkSentEmptiesTheQueue) {
  const json queue = get_json("/api/qsl");
  ASSERT_GT(queue["count"].get<int>(), 0);
  const json deleted = get_json("/api/contacts", {{"order", "record"}, {"deleted", "1"}})["rows"];
  int dead = 0;
  for (const json& row : deleted)
    if (row["deleted"].get<bool>()) dead = row["recno"].get<int>();
  ASSERT_NE(dead, 0);
  json recnos = queue["recnos"];
  recnos.push_back(dead);
  EXPECT_EQ(post("/api/qsl/mark-sent", json{{"recnos", recnos}}.dump()).status, 400);
  EXPECT_EQ(get_json("/api/qsl")["count"], queue["count"]);
  const ServeReply marked = post("/api/qsl/mark-sent", json{{"recnos", queue["recnos"]}}.dump());
  ASSERT_EQ(marked.status, 200) << marked.body;
  EXPECT_EQ(json::parse(marked.body)["marked"], queue["count"]);
  EXPECT_EQ(get_json("/api/qsl")["count"], 0);
}

TEST_F(ServedLogTest, UploadOverItsLimitChangesNothing) {
  osprey_tool::ServeLimits limits;
  limits.upload = 1024;
  open(limits);
  std::string file = "<ADIF_VER:5>3.1.4<EOH>\n";
  while (file.size() <= limits.upload)
    file += "<CALL:6>JA1XYZ<QSO_DATE:8>20240105<TIME_ON:4>1200<FREQ:5>7.030<MODE:2>CW<EOR>\n";
  const ServeReply r = post("/api/import", file);
  EXPECT_EQ(r.status, 413);
  EXPECT_NE(json::parse(r.body)["error"].get<std::string>().find("limit"), std::string::npos);
  EXPECT_EQ(count(), static_cast<int>(kContacts));
  EXPECT_EQ(post("/api/contact", std::string(limits.form + 1, ' ')).status, 413);

  // An upload within the limit backs the log's files up before it writes.
  const std::string one =
      "<CALL:6>JA1XYZ<QSO_DATE:8>20240105<TIME_ON:4>1200<FREQ:5>7.030<MODE:2>CW<EOR>\n";
  const auto before = test::read_file(base_ + ".dbs");
  ASSERT_EQ(post("/api/import", one).status, 200);
  EXPECT_EQ(count(), static_cast<int>(kContacts) + 1);
  EXPECT_EQ(test::read_file(base_ + ".dbs.bak"), before);
}

TEST(ServeRequestRefusal, KeepsOtherSitesFromWriting) {
  const std::vector<std::string> hosts{"127.0.0.1:8073", "localhost:8073"};
  struct Case {
    const char *method, *host, *origin, *token;
    bool remote, refused;
  };
  for (const Case& c : {Case{"GET", "127.0.0.1:8073", "", "", false, false},
                        Case{"GET", "evil.example:8073", "", "", false, true},  // rebinding
                        Case{"POST", "localhost:8073", "http://localhost:8073", "t0k", false, false},
                        Case{"POST", "localhost:8073", "", "t0k", false, false},
                        Case{"POST", "localhost:8073", "http://localhost:8073", "", false, true},
                        Case{"POST", "localhost:8073", "http://evil.example", "t0k", false, true},
                        Case{"POST", "localhost:8073", "null", "t0k", false, true},
                        Case{"GET", "127.0.0.1:8073", "", "", true, true},
                        Case{"GET", "127.0.0.1:8073", "", "t0k", true, false}})
    EXPECT_EQ(osprey_tool::request_refusal(c.method, c.host, c.origin, c.token, "t0k", hosts,
                                           c.remote)
                  .empty(),
              !c.refused)
        << c.method << " " << c.host << " " << c.origin << " " << c.token;
}

TEST(ServeRig, FrequencyAndModeInTheLogsForms) {
  for (const auto& [hz, mhz] : std::vector<std::pair<std::string, std::string>>{
           {"14074000", "14.074"}, {"7000500", "7.0005"}, {"144500000", "144.500"},
           {"1910000", "1.910"}, {"0", ""}, {"x", ""}})
    EXPECT_EQ(osprey_tool::mhz_of_hz(hz), mhz) << hz;
  for (const auto& [rig, log] : std::vector<std::pair<std::string, std::string>>{
           {"USB", "SSB"}, {"LSB", "SSB"}, {"CWR", "CW"}, {"PKTUSB", "DAT"}, {"FM", "FM"}})
    EXPECT_EQ(osprey_tool::log_mode_of(rig), log) << rig;
  std::string host, error;
  int port = 0;
  EXPECT_TRUE(osprey_tool::parse_rig_address("localhost:4532", &host, &port, &error));
  EXPECT_EQ(host, "localhost");
  EXPECT_EQ(port, 4532);
  for (const char* bad : {"localhost", ":4532", "host:0", "host:65536", "host:12ab"})
    EXPECT_FALSE(osprey_tool::parse_rig_address(bad, &host, &port, &error)) << bad;
}

}  // namespace
}  // namespace osp

#endif  // OSP_HAVE_TOOL
