// Damaged and hostile replies: whatever the service sends, parsing ends
// in one of the outcomes the decision rules allow, without crashing.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "fake_run_context.h"
#include "update/downloader.h"

namespace {

const char* const kSeeds[] = {
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<update>\n"
    "  <increment>\n    <version_name>general</version_name>\n"
    "    <version_code>190</version_code>\n    <url>http://h/inc.bin?a=1</url>\n"
    "    <md5>0123456789abcdef0123456789abcdef</md5>\n"
    "    <checksum>\n      <file path=\"bin\\a.dll\" checksum=\"00112233445566778899aabbccddeeff\"/>\n"
    "      <file path='b.exe' checksum='ffeeddccbbaa99887766554433221100'/>\n    </checksum>\n"
    "  </increment>\n  <discarded>false</discarded>\n  <updatable>true</updatable>\n"
    "  <url><![CDATA[http://h/full.exe?x=1&y=2]]></url>\n"
    "  <md5>fedcba9876543210fedcba9876543210</md5>\n  <version_code>191</version_code>\n"
    "</update>\n",
    "<u><updatable>TRUE</updatable><url>http://h/f.exe</url><md5>ab</md5></u>",
    "<u><increment><url>http://h/i</url><md5>cd</md5><checksum><x path=\"p\" checksum=\"c\"/>"
    "</checksum></increment><updatable>false</updatable><discarded>TRUE</discarded></u>",
    "<u><!-- none --><updatable>false</updatable></u>",
};

const char* const kTags[] = {"increment", "url",       "md5",          "checksum", "file",
                             "updatable", "discarded", "version_code", "version_name", "x"};

const char* const kTokens[] = {"<",    ">",  "/>", "</",       "<![CDATA[", "]]>", "<!--", "-->",
                               "&",    "&#", "&#x", "&#x110000;", "&amp;",  "\"",   "'",    "=",
                               "\xC3", "\xF0\x9F", "\xEF\xBB\xBF", "<?xml", "?>", "<!DOCTYPE", "\n"};

class Mutator {
 public:
  explicit Mutator(uint32_t seed) : random(seed) {}

  std::string Next() {
    std::string text = kSeeds[Below(sizeof kSeeds / sizeof kSeeds[0])];
    int steps = 1 + static_cast<int>(Below(3));
    for (int i = 0; i < steps; ++i) Apply(text);
    return text;
  }

 private:
  size_t Below(size_t n) { return n == 0 ? 0 : std::uniform_int_distribution<size_t>(0, n - 1)(random); }

  void Apply(std::string& text) {
    switch (Below(7)) {
      case 0:  // truncation
        text.resize(Below(text.size() + 1));
        break;
      case 1:  // byte flips
        for (size_t n = 1 + Below(8); n > 0 && !text.empty(); --n) {
          text[Below(text.size())] = static_cast<char>(Below(256));
        }
        break;
      case 2:  // a duplicated element
        Duplicate(text);
        break;
      case 3:  // deep nesting
        Nest(text);
        break;
      case 4:  // a huge text, now and then
        if (Below(40) == 0) {
          text.insert(Below(text.size() + 1), std::string(256 * 1024 + Below(768 * 1024), 'x'));
        } else {
          text.insert(Below(text.size() + 1), std::string(Below(5000), "a\xC3\xA9<"[Below(4)]));
        }
        break;
      default:  // markup fragments in odd places
        for (size_t n = 1 + Below(4); n > 0; --n) {
          text.insert(Below(text.size() + 1), kTokens[Below(sizeof kTokens / sizeof kTokens[0])]);
        }
        break;
    }
  }

  void Duplicate(std::string& text) {
    std::string tag = kTags[Below(sizeof kTags / sizeof kTags[0])];
    size_t start = text.find("<" + tag);
    if (start == std::string::npos) return;
    size_t end = text.find("</" + tag + ">", start);
    end = end == std::string::npos ? text.find('>', start) : end + tag.size() + 3;
    if (end == std::string::npos) return;
    std::string element = text.substr(start, end - start + (text[end - 1] == '>' ? 0 : 1));
    std::string copies;
    for (size_t n = 1 + Below(50); n > 0; --n) copies += element;
    text.insert(Below(2) ? start : end, copies);
  }

  void Nest(std::string& text) {
    static const size_t depths[] = {10, 100, 255, 256, 257, 1000, 50000};
    size_t depth = depths[Below(sizeof depths / sizeof depths[0])];
    std::string open, close;
    for (size_t i = 0; i < depth; ++i) {
      open += Below(2) ? "<n>" : "<n a='>'>";
      close += "</n>";
    }
    size_t at = Below(text.size() + 1);
    text.insert(at, open + (Below(2) ? close : std::string()));
  }

  std::mt19937 random;
};

using Outcome = std::tuple<int32_t, int32_t, int32_t>;  // result, appAvailable, useFullPackage

TEST(ReplyMutationTest, EveryMutatedReplyEndsInAnAllowedOutcome) {
  const std::set<Outcome> allowed = {
      {0, 0, 0},  // no root element
      {1, 1, 0},  // increment accepted
      {1, 1, 1},  // full package only
      {1, 0, 1},  // nothing offered
      {0, 0, 1},  // full part incomplete, no increment
  };
  std::map<Outcome, int> seen;
  Mutator mutator(20240611);
  FakeRunContext run;
  const int kReplies = 10000;
  for (int i = 0; i < kReplies; ++i) {
    std::string reply = mutator.Next();
    run.notes.clear();
    run.updateInfoGiven = (i % 5) == 0;
    CDownloader agent(run);
    int32_t result = agent.ParseUpdateInfo(reply);
    Outcome outcome{result, agent.appAvailable, agent.useFullPackage};
    ++seen[outcome];
    ASSERT_TRUE(allowed.count(outcome)) << "reply " << i << ": " << reply.substr(0, 400);
    ASSERT_EQ(agent.engineAvailable, 0);
    if (agent.appAvailable && !agent.useFullPackage) {
      ASSERT_FALSE(agent.appIncremental.url.empty()) << reply.substr(0, 400);
      ASSERT_FALSE(agent.appIncremental.md5.empty());
      ASSERT_FALSE(agent.checksums.empty());
    }
    if (agent.appAvailable && agent.useFullPackage) {
      ASSERT_FALSE(agent.appFull.url.empty()) << reply.substr(0, 400);
      ASSERT_FALSE(agent.appFull.md5.empty());
    }
    for (const auto& note : run.notes) ASSERT_EQ(note, (std::pair<int32_t, int32_t>{2017, 0}));
  }
  for (const auto& entry : seen) {
    std::printf("outcome result=%d app=%d full=%d: %d replies\n", std::get<0>(entry.first),
                std::get<1>(entry.first), std::get<2>(entry.first), entry.second);
  }
  // The mutations reach every outcome, so none of the checks above is idle.
  EXPECT_EQ(seen.size(), allowed.size());
}

}  // namespace
