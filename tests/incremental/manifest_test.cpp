#include "incremental/manifest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log_lines.h"
#include "support/temp_folder.h"

namespace {

// A valid manifest whose parts a case can replace.
struct Xml {
  std::string info = R"(<info tod1="1" tod2="2" tod3="3" tod4="4"/>)";
  std::string replacePath =
      R"(<ReplacePath><i DstPathPre="$INSTDIR" SrcPathPre="app"/></ReplacePath>)";
  std::string base = R"(<base tod1="1" tod2="2" tod3="2" tod4="9"/>)";
  std::string files = "<files/>";

  std::string Text() const {
    return "<?xml version=\"1.0\"?><root><setup>" + info + replacePath + "</setup><update>" +
           base + files + "</update></root>";
  }
};

struct ParseResult {
  bool ok;
  SetupManifest manifest;
  Messages messages;
};

ParseResult Parse(const std::string& text) {
  TempFolder temp;
  LogLines log;
  WriteFileBytes(temp / L"setup.xml", text);
  ParseResult result;
  result.ok = ParseSetupManifest(result.manifest, temp / L"setup.xml");
  result.messages = log.Messages();
  return result;
}

TEST(ManifestTest, ReadsVersionsChannelPrefixesAndOperationsInOrder) {
  Xml xml;
  xml.info = R"(<info tod1="2" tod2="0" tod3="15" tod4="7" channel="beta"/>)";
  xml.replacePath = R"(<ReplacePath><t DstPathPre="$TEMP" SrcPathPre="tmp"/>)"
                    R"(<i DstPathPre="$INSTDIR" SrcPathPre="Zemora"/></ReplacePath>)";
  xml.base = R"(<base tod1="2" tod2="0" tod3="14" tod4="3"/>)";
  xml.files = R"(<files>
      <file path="zemora.exe" old_checksum="AAbb" new_checksum="CCdd" type="update"/>
      <f path="lib\x.dll" type="UPDATE" old_path="lib\old.dll"/>
      <file path="skip.me" type="rename"/>
      <file path="no.type"/>
      <file path="new\n.txt" type="New"/>
      <file path="d.txt" type="delete"/>
      <file path="m.txt" old_path="o.txt" type="MOVE"/>
    </files>)";
  ParseResult r = Parse(xml.Text());
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.messages, Messages{});
  EXPECT_EQ(r.manifest.version, L"2.0.15.7");
  EXPECT_EQ(r.manifest.baseVersion, L"2.0.14.3");
  EXPECT_EQ(r.manifest.channel, L"beta");
  EXPECT_EQ(r.manifest.tempSourcePrefix, L"tmp");
  EXPECT_EQ(r.manifest.installSourcePrefix, L"Zemora");
  struct Expected {
    const wchar_t* path;
    FileOpType type;
    const wchar_t* oldChecksum;
    const wchar_t* newChecksum;
    const wchar_t* oldPath;
  } expected[] = {{L"zemora.exe", FileOpType::Update, L"AAbb", L"CCdd", L""},
                  {L"lib\\x.dll", FileOpType::Update, L"", L"", L"lib\\old.dll"},
                  {L"new\\n.txt", FileOpType::New, L"", L"", L""},
                  {L"d.txt", FileOpType::Delete, L"", L"", L""},
                  {L"m.txt", FileOpType::Move, L"", L"", L"o.txt"}};
  ASSERT_EQ(r.manifest.fileOps.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    const FileOp& op = r.manifest.fileOps[i];
    EXPECT_EQ(op.path, expected[i].path) << i;
    EXPECT_EQ(op.type, expected[i].type) << i;
    EXPECT_EQ(op.oldChecksum, expected[i].oldChecksum) << i;
    EXPECT_EQ(op.newChecksum, expected[i].newChecksum) << i;
    EXPECT_EQ(op.oldPath, expected[i].oldPath) << i;
  }
}

TEST(ManifestTest, EmptyFilesGiveNoOperationsAndMissingChannelIsEmpty) {
  ParseResult r = Parse(Xml().Text());
  ASSERT_TRUE(r.ok);
  EXPECT_TRUE(r.manifest.fileOps.empty());
  EXPECT_EQ(r.manifest.channel, L"");
  EXPECT_EQ(r.manifest.version, L"1.2.3.4");
  EXPECT_EQ(r.manifest.baseVersion, L"1.2.2.9");
}

TEST(ManifestTest, VersionNumbersReadTheLeadingDecimalNumber) {
  Xml xml;
  xml.info = R"(<info tod1="3x" tod2=" -4" tod3="x7" tod4="+12"/>)";
  ParseResult r = Parse(xml.Text());
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.manifest.version, L"3.-4.0.12");
}

TEST(ManifestTest, ReplacePathRules) {
  struct Case {
    const char* entries;  // children of ReplacePath; null: no ReplacePath at all
    bool ok;
    const wchar_t* installPrefix;
    const wchar_t* tempPrefix;
  } cases[] = {
      {R"(<i DstPathPre="$INSTDIR\bin" SrcPathPre="app"/>)", true, L"app", L""},
      {R"(<i DstPathPre="x$INSTDIR" SrcPathPre="app"/>)", true, L"app", L""},
      {R"(<t DstPathPre="$temp" SrcPathPre="tmp"/>)", true, L"", L"tmp"},
      {R"(<t DstPathPre="$TEMP\more" SrcPathPre="tmp"/>)", true, L"", L""},
      {R"(<i DstPathPre="$instdir" SrcPathPre="app"/>)", true, L"", L""},
      {R"(<i DstPathPre="$INSTDIR" SrcPathPre="one"/><i DstPathPre="$INSTDIR" SrcPathPre="two"/>)",
       true, L"two", L""},
      {R"(<n SrcPathPre="x"/><i DstPathPre="$INSTDIR" SrcPathPre="app"/>)", true, L"app", L""},
      {R"(<i DstPathPre="$INSTDIR"/>)", false, L"", L""},
      {R"(<t DstPathPre="$TEMP"/>)", false, L"", L""},
      {"", false, L"", L""},
      {nullptr, false, L"", L""},
  };
  for (const Case& c : cases) {
    Xml xml;
    xml.replacePath = c.entries ? std::string("<ReplacePath>") + c.entries + "</ReplacePath>" : "";
    ParseResult r = Parse(xml.Text());
    SCOPED_TRACE(c.entries ? c.entries : "(none)");
    EXPECT_EQ(r.ok, c.ok);
    EXPECT_EQ(r.messages, Messages{}) << "every ReplacePath failure is silent";
    if (c.ok) {
      EXPECT_EQ(r.manifest.installSourcePrefix, c.installPrefix);
      EXPECT_EQ(r.manifest.tempSourcePrefix, c.tempPrefix);
    }
  }
}

TEST(ManifestTest, IncompleteManifestsAreRefusedWithTheirMessage) {
  const std::string info = R"(<info tod1="1" tod2="2" tod3="3" tod4="4"/>)";
  const std::string replace = R"(<ReplacePath><i DstPathPre="$INSTDIR" SrcPathPre="a"/></ReplacePath>)";
  const std::string base = R"(<base tod1="1" tod2="2" tod3="3" tod4="4"/>)";
  struct Case {
    std::string text;
    const char* message;
  } cases[] = {
      {"<?xml version=\"1.0\"?><!-- nothing -->", "no root element found int setup.xml"},
      {"<root/>", "no <setup> element found int setup.xml"},
      {"<root><Setup/></root>", "no <setup> element found int setup.xml"},
      {"<root><setup/></root>", "no <info> element found int setup.xml"},
      {R"(<root><setup><info tod2="2" tod3="3" tod4="4"/></setup></root>)",
       "attribute tod1 not found in setup.xml"},
      {R"(<root><setup><info tod1="1" tod2="2" tod4="4"/></setup></root>)",
       "attribute tod3 not found in setup.xml"},
      {R"(<root><setup><info tod1="1" tod2="2" tod3="3"/></setup></root>)",
       "attribute tod4 not found in setup.xml"},
      {"<root><setup>" + info + replace + "</setup></root>",
       "no <update> element found int setup.xml"},
      {"<root><setup>" + info + replace + "<update>" + base + "<files/></update></setup></root>",
       "no <update> element found int setup.xml"},
      {"<root><setup>" + info + replace + "</setup><update/></root>",
       "no <base> element found int setup.xml"},
      {"<root><setup>" + info + replace +
           R"(</setup><update><base tod1="1" tod3="3" tod4="4"/></update></root>)",
       "attribute tod2 not found in base element"},
      {"<root><setup>" + info + replace + "</setup><update>" + base + "</update></root>",
       "no <files> element found int setup.xml"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ParseResult r = Parse(c.text);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.messages, Messages{c.message});
  }
}

TEST(ManifestTest, MissingEmptyOrBrokenFileIsRefused) {
  struct Case {
    bool present;
    const char* content;
  } cases[] = {{false, ""}, {true, ""}, {true, "<root><setup>"}};
  for (const Case& c : cases) {
    TempFolder temp;
    LogLines log;
    std::wstring path = temp / L"setup.xml";
    if (c.present) WriteFileBytes(path, c.content);
    SetupManifest manifest;
    EXPECT_FALSE(ParseSetupManifest(manifest, path)) << c.content;
    EXPECT_EQ(log.Messages(), Messages{"cannot load xml file: " + std::string(path.begin(), path.end())});
  }
}

TEST(ManifestTest, PathsThatLeaveTheirFolderAreRefused) {
  struct Case {
    const char* attributes;
    const char* shown;  // the path named in the message; null: accepted
  } cases[] = {
      {R"(path="..\evil.dll" type="new")", "..\\evil.dll"},
      {R"(path="bin\..\..\evil.dll" type="update")", "bin\\..\\..\\evil.dll"},
      {R"(path="bin/../../evil.dll" type="new")", "bin/../../evil.dll"},
      {R"(path="C:\Windows\evil.dll" type="new")", "C:\\Windows\\evil.dll"},
      {R"(path="\evil.dll" type="delete")", "\\evil.dll"},
      {R"(path="/evil.dll" type="delete")", "/evil.dll"},
      {R"(path="\\server\share\evil.dll" type="new")", "\\\\server\\share\\evil.dll"},
      {R"(path="a.txt:stream" type="new")", "a.txt:stream"},
      {R"(path="bin\...\evil.dll" type="new")", "bin\\...\\evil.dll"},
      {R"(path="bin\. .\evil.dll" type="new")", "bin\\. .\\evil.dll"},
      {R"(path="m.txt" old_path="..\outside.txt" type="move")", "..\\outside.txt"},
      {R"(path="u.dll" old_path="D:\x.dll" type="update")", "D:\\x.dll"},
      // Entries left out by their type are never applied, so never refused.
      {R"(path="..\ignored" type="rename")", nullptr},
      {R"(path="bin\a..b\.hidden" type="new")", nullptr},
      {R"(path="bin/sub/file.txt" old_path="bin\old.txt" type="move")", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.attributes);
    Xml xml;
    xml.files = std::string("<files><file path=\"ok.txt\" type=\"new\"/><file ") + c.attributes +
                "/></files>";
    ParseResult r = Parse(xml.Text());
    if (c.shown) {
      EXPECT_FALSE(r.ok);
      EXPECT_EQ(r.messages,
                Messages{std::string("path outside its folder in setup.xml: ") + c.shown});
    } else {
      EXPECT_TRUE(r.ok);
      EXPECT_EQ(r.messages, Messages{});
    }
  }
}

TEST(ManifestTest, PayloadPrefixThatLeavesThePackageIsRefused) {
  for (const char* prefix : {"..\\..", "C:\\payload", "\\payload"}) {
    Xml xml;
    xml.replacePath = std::string(R"(<ReplacePath><i DstPathPre="$INSTDIR" SrcPathPre=")") +
                      prefix + R"("/></ReplacePath>)";
    ParseResult r = Parse(xml.Text());
    EXPECT_FALSE(r.ok) << prefix;
    EXPECT_EQ(r.messages, Messages{std::string("path outside its folder in setup.xml: ") + prefix});
  }
}

}  // namespace
