// The decision rules of the update-info reply: which package is offered,
// and what is logged and reported on the way.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_run_context.h"
#include "log_capture.h"
#include "update/downloader.h"

namespace {

using Messages = std::vector<std::string>;

const std::string kMd5Inc = "0123456789abcdef0123456789abcdef";
const std::string kMd5Full = "fedcba9876543210fedcba9876543210";

std::string Increment(const std::string& versionCode = "187",
                      const std::string& extra = "") {
  return "<increment><version_name>general</version_name><version_code>" + versionCode +
         "</version_code><url>http://h/inc.bin</url><md5>" + kMd5Inc +
         "</md5><checksum><file path=\"bin\\a.dll\" checksum=\"11\"/></checksum>" + extra +
         "</increment>";
}

std::string Full(const std::string& versionCode = "190") {
  return "<updatable>true</updatable><url>http://h/full.exe</url><md5>" + kMd5Full +
         "</md5><version_code>" + versionCode + "</version_code>";
}

std::string Reply(const std::string& inner) { return "<update>" + inner + "</update>"; }

struct ParseCase {
  const char* name;
  std::string reply;
  bool updateInfoGiven;
  int32_t result;
  int32_t appAvailable;
  int32_t useFullPackage;
  const wchar_t* incrementalUrl;
  const wchar_t* fullUrl;
  int32_t versionCode;
  Messages messages;
};

const char kNoInc[] = "no increment element found";
const char kNoUpdatable[] = "no updatable element found";
const char kUpdatableFalse[] = "updatable is false";
const char kFullTooOld[] = "update version_code is smaller than current version";
const char kBadChild[] = "path or checksum attribute invalid under checksum node";

std::vector<ParseCase> Cases() {
  const wchar_t* inc = L"http://h/inc.bin";
  const wchar_t* full = L"http://h/full.exe";
  const std::string fullNoCode =
      "<updatable>true</updatable><url>http://h/full.exe</url><md5>" + kMd5Full + "</md5>";
  return {
      // The outcome table.
      {"both accepted", Reply(Increment() + Full()), false, 1, 1, 0, inc, full, 190, {}},
      {"increment, updatable absent", Reply(Increment()), false, 1, 1, 0, inc, L"", 187,
       {kNoUpdatable}},
      {"increment, updatable FALSE", Reply(Increment() + "<updatable>FALSE</updatable>"), false,
       1, 1, 0, inc, L"", 187, {kUpdatableFalse}},
      {"increment, no full url", Reply(Increment() + "<updatable>true</updatable>"), false, 1, 1,
       0, inc, L"", 187, {"no url element found"}},
      {"increment, empty full url",
       Reply(Increment() + "<updatable>true</updatable><url></url><md5>x</md5>"), false, 1, 1, 0,
       inc, L"", 187, {"url element is invalid"}},
      {"increment, empty full md5",
       Reply(Increment() + "<updatable>true</updatable><url>http://h/f</url><md5/>"), false, 1, 1,
       0, inc, L"", 187, {"md5 element is invalid"}},
      {"increment, no full md5",
       Reply(Increment() + "<updatable>true</updatable><url>http://h/f</url>"), false, 1, 1, 0,
       inc, L"", 187, {"no md5 element found"}},
      {"increment, full too old", Reply(Increment() + Full("186")), false, 1, 1, 0, inc, full,
       187, {kFullTooOld}},
      {"full only", Reply(Full()), false, 1, 1, 1, L"", full, 190, {kNoInc}},
      {"nothing: updatable false", Reply("<updatable>false</updatable>"), false, 1, 0, 1, L"",
       L"", 0, {kNoInc, kUpdatableFalse}},
      {"nothing: updatable absent", Reply(""), false, 1, 0, 1, L"", L"", 0,
       {kNoInc, kNoUpdatable}},
      {"nothing: full too old", Reply(Full("186")), false, 1, 0, 1, L"", full, 0,
       {kNoInc, kFullTooOld}},
      {"unusable: updatable true, no url", Reply("<updatable>true</updatable>"), false, 0, 0, 1,
       L"", L"", 0, {kNoInc, "no url element found"}},
      {"no root: empty", "", false, 0, 0, 0, L"", L"", 0,
       {"no root element found in update info"}},
      {"no root: text", "not xml at all", false, 0, 0, 0, L"", L"", 0,
       {"no root element found in update info"}},
      {"no root: comment only", "<?xml version=\"1.0\"?><!-- none -->", false, 0, 0, 0, L"", L"",
       0, {"no root element found in update info"}},

      // Words in any letter case; others count as true.
      {"updatable other word", Reply("<updatable>maybe</updatable>"), false, 0, 0, 1, L"", L"",
       0, {kNoInc, "no url element found"}},
      {"updatable empty", Reply("<updatable/>"), false, 0, 0, 1, L"", L"", 0,
       {kNoInc, "no url element found"}},

      // Version codes and names.
      {"increment 186 rejected", Reply(Increment("186")), false, 1, 0, 1, L"", L"", 0,
       {"version_code under increment not match: 186 <= 186", kNoUpdatable}},
      {"increment letters read as 0", Reply(Increment("abc")), false, 1, 0, 1, L"", L"", 0,
       {"version_code under increment not match: 0 <= 186", kNoUpdatable}},
      {"increment negative", Reply(Increment("-200")), false, 1, 0, 1, L"", L"", 0,
       {"version_code under increment not match: -200 <= 186", kNoUpdatable}},
      {"increment blanks, sign, trailing junk", Reply(Increment("  +0190xyz")), false, 1, 1, 0,
       inc, L"", 190, {kNoUpdatable}},
      {"increment overflow clamps", Reply(Increment("99999999999")), false, 1, 1, 0, inc, L"",
       2147483647, {kNoUpdatable}},
      {"increment without version code", Reply(Increment("") + ""), false, 1, 1, 0, inc, L"", 0,
       {kNoUpdatable}},
      {"full letters read as 0", Reply(Full("x1")), false, 1, 0, 1, L"", full, 0,
       {kNoInc, kFullTooOld}},
      {"full 187 accepted", Reply(Full("187")), false, 1, 1, 1, L"", full, 187, {kNoInc}},
      {"full without version code", Reply(fullNoCode), false, 1, 1, 1, L"", full, 0, {kNoInc}},
      {"given update info skips version tests", Reply(Increment("5") + Full("7")), true, 1, 1, 0,
       inc, full, 7, {}},
      {"given update info, letters", Reply(Increment("abc")), true, 1, 1, 0, inc, L"", 0,
       {kNoUpdatable}},
      {"version_name General",
       Reply("<increment><version_name>General</version_name><url>u</url><md5>m</md5>"
             "<checksum><f path=\"a\" checksum=\"1\"/></checksum></increment>"),
       false, 1, 0, 1, L"", L"", 0,
       {"version_name under increment not match: General vs general", kNoUpdatable}},
      {"version_name missing",
       Reply("<increment><url>u</url><md5>m</md5><checksum><f path=\"a\" checksum=\"1\"/>"
             "</checksum></increment>"),
       false, 1, 1, 0, L"u", L"", 0, {kNoUpdatable}},

      // The increment's own parts.
      {"increment without url",
       Reply("<increment><md5>m</md5><checksum><f path=\"a\" checksum=\"1\"/></checksum>"
             "</increment>" + Full()),
       false, 1, 1, 1, L"", full, 190, {"url element under increment not found or invalid"}},
      {"increment with empty url",
       Reply("<increment><url/><md5>m</md5><checksum><f path=\"a\" checksum=\"1\"/></checksum>"
             "</increment>"),
       false, 1, 0, 1, L"", L"", 0,
       {"url element under increment not found or invalid", kNoUpdatable}},
      {"increment without md5",
       Reply("<increment><url>u</url><checksum><f path=\"a\" checksum=\"1\"/></checksum>"
             "</increment>"),
       false, 1, 0, 1, L"", L"", 0, {"md5 element under increment not found or invalid",
                                     kNoUpdatable}},
      {"increment without checksum", Reply("<increment><url>u</url><md5>m</md5></increment>"),
       false, 1, 0, 1, L"", L"", 0, {"checksum element under increment not found", kNoUpdatable}},
      {"checksum without children",
       Reply("<increment><url>u</url><md5>m</md5><checksum/></increment>"), false, 1, 0, 1, L"",
       L"", 0, {kNoUpdatable}},
      {"first child lacks checksum",
       Reply("<increment><url>u</url><md5>m</md5><checksum><f path=\"a\"/></checksum>"
             "</increment>"),
       false, 1, 0, 1, L"", L"", 0, {kBadChild, kNoUpdatable}},
      {"invalid child after valid ones",
       Reply("<increment><url>u</url><md5>m</md5><checksum><f path=\"a\" checksum=\"1\"/>"
             "<g path=\"b\" checksum=\"2\"/><h checksum=\"3\"/></checksum></increment>"),
       false, 1, 0, 1, L"", L"", 0, {kBadChild, kNoUpdatable}},
      {"duplicates: the first of each name counts",
       "<x><url>http://h/full.exe</url><url>http://h/second.exe</url>" + Increment() +
           Increment("188") + "<md5>" + kMd5Full + "</md5><md5>other</md5>" +
           "<updatable>true</updatable></x>",
       false, 1, 1, 0, inc, full, 187, {}},
      {"other elements and text ignored",
       Reply("noise<other/><!-- c -->" + Full() + "<extra>1</extra>"), false, 1, 1, 1, L"", full,
       190, {kNoInc}},
      {"CDATA and entities are text",
       Reply("<updatable>true</updatable><url><![CDATA[http://h/a?b=1&c=2]]></url>"
             "<md5>ab&amp;</md5>"),
       false, 1, 1, 1, L"", L"http://h/a?b=1&c=2", 0, {kNoInc}},
  };
}

class ParseUpdateInfoTest : public ::testing::Test {
 protected:
  WorkFolderWithLog work;
  FakeRunContext run;
};

TEST_F(ParseUpdateInfoTest, DecisionRules) {
  for (const ParseCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    work.ClearMessages();
    run.updateInfoGiven = c.updateInfoGiven;
    run.notes.clear();
    CDownloader agent(run);
    EXPECT_EQ(agent.ParseUpdateInfo(c.reply), c.result);
    EXPECT_EQ(agent.appAvailable, c.appAvailable);
    EXPECT_EQ(agent.useFullPackage, c.useFullPackage);
    EXPECT_EQ(agent.appIncremental.url, c.incrementalUrl);
    EXPECT_EQ(agent.appFull.url, c.fullUrl);
    EXPECT_EQ(agent.versionCode, c.versionCode);
    EXPECT_EQ(agent.engineAvailable, 0);
    EXPECT_EQ(work.Messages(), c.messages);
    EXPECT_TRUE(run.notes.empty());
    // A withdrawn increment leaves nothing of itself behind.
    if (agent.appIncremental.url.empty()) {
      EXPECT_EQ(agent.appIncremental.md5, L"");
      if (c.result == 1 && !agent.appAvailable) {
        EXPECT_TRUE(agent.checksums.empty());
      }
    }
  }
}

TEST_F(ParseUpdateInfoTest, AcceptedIncrementKeepsItsChecksumsInOrder) {
  CDownloader agent(run);
  std::string reply = Reply(
      "<increment><url>u</url><md5>M</md5><checksum><b path=\"z\\b.dll\" checksum=\"B\"/>"
      "<a checksum=\"A\" path=\"a.exe\"/></checksum></increment>");
  ASSERT_EQ(agent.ParseUpdateInfo(reply), 1);
  ASSERT_EQ(agent.checksums.size(), 2u);
  EXPECT_EQ(agent.checksums[0].path, L"z\\b.dll");
  EXPECT_EQ(agent.checksums[0].checksum, L"B");
  EXPECT_EQ(agent.checksums[1].path, L"a.exe");
  EXPECT_EQ(agent.checksums[1].checksum, L"A");
  EXPECT_EQ(agent.appIncremental.md5, L"M");
}

TEST_F(ParseUpdateInfoTest, DiscardedInAnyCaseIsReported) {
  struct {
    const char* text;
    bool reported;
  } cases[] = {{"true", true}, {"TRUE", true}, {"tRuE", true}, {"yes", false}, {"", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    run.notes.clear();
    CDownloader agent(run);
    agent.ParseUpdateInfo(Reply(std::string("<discarded>") + c.text + "</discarded>" + Full()));
    EXPECT_EQ(run.notes, (c.reported ? Notes{{2017, 0}} : Notes{}));
    EXPECT_EQ(agent.appAvailable, 1);  // nothing else depends on it
  }
}

TEST_F(ParseUpdateInfoTest, UnicodeTextsAreWidened) {
  CDownloader agent(run);
  agent.ParseUpdateInfo(Reply("<updatable>true</updatable><url>http://h/\xC3\xA9t\xC3\xA9.exe</url>"
                              "<md5>m</md5>"));
  EXPECT_EQ(agent.appFull.url, L"http://h/\u00e9t\u00e9.exe");
}

TEST_F(ParseUpdateInfoTest, HostileNestingIsRefusedWithoutCrashing) {
  for (size_t depth : {200u, 300u, 100000u}) {
    SCOPED_TRACE(depth);
    work.ClearMessages();
    std::string text;
    for (size_t i = 0; i < depth; ++i) text += "<a>";
    text += Full();
    CDownloader agent(run);
    int32_t result = agent.ParseUpdateInfo(text);
    if (depth <= 256) {
      EXPECT_EQ(result, 1);
    } else {
      EXPECT_EQ(result, 0);
      EXPECT_EQ(work.Messages(), (Messages{"update info nested deeper than 256 levels",
                                           "no root element found in update info"}));
    }
  }
}

}  // namespace
