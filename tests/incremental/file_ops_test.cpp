#include "incremental/file_ops.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "log_lines.h"
#include "test_files.h"
#include "support/run_program.h"
#include "support/temp_folder.h"

namespace {

const char kMd5OfAbc[] = "900150983cd24fb0d6963f7d28e17f72";

FileOp Op(FileOpType type, const wchar_t* path, const wchar_t* oldPath = L"",
          const std::wstring& newChecksum = L"") {
  FileOp op;
  op.type = type;
  op.path = path;
  op.oldPath = oldPath;
  op.newChecksum = newChecksum;
  return op;
}

// Base, output and patch source folders, the fake tool and the log.
class FileOpsTest : public ::testing::Test {
 protected:
  FileOpsTest()
      : base(temp / L"base\\"), output(temp / L"staging\\"), source(temp / L"source\\"),
        tool(ProgramFolder() + L"fake_patch.exe") {
    MakeFolders(base);
    MakeFolders(output);
    MakeFolders(source);
  }
  bool Apply(const FileOp& op) { return ApplyFileOp(op, tool, base, output, source); }

  TempFolder temp;
  LogLines log;
  std::wstring base, output, source, tool;
};

TEST_F(FileOpsTest, RunPatchToolStartsTheExactCommandLineHidden) {
  ScopedEnvironment record(L"ZEMORA_FAKE_PATCH_LOG", temp / L"calls.txt");
  WriteFileBytes(base + L"a.bin", "ab");
  WriteFileBytes(source + L"a.bin.patch", "c");
  EXPECT_TRUE(RunPatchTool(tool, base + L"a.bin", output + L"a.bin", source + L"a.bin.patch"));
  EXPECT_EQ(ReadFileBytes(temp / L"calls.txt"),
            "\"" + Narrow(tool) + "\" -apply \"" + Narrow(base) + "a.bin\" \"" + Narrow(source) +
                "a.bin.patch\" \"" + Narrow(output) + "a.bin\"\nshow=1 hidden=1\n");
  EXPECT_EQ(ReadFileBytes(output + L"a.bin"), "abc");
  EXPECT_EQ(log.Messages(), Messages{"patch.exe exit with code: 0"});
}

TEST_F(FileOpsTest, RunPatchToolSucceedsOnlyOnExitCodeZero) {
  struct Case {
    const char* patch;
    bool ok;
    const char* message;
  } cases[] = {{"", true, "patch.exe exit with code: 0"},
               {"exit 1", false, "patch.exe exit with code: 1"},
               {"exit 42", false, "patch.exe exit with code: 42"},
               {"exit -1", false, "patch.exe exit with code: -1"}};
  WriteFileBytes(base + L"a.bin", "ab");
  for (const Case& c : cases) {
    LogLines caseLog;
    WriteFileBytes(source + L"a.bin.patch", c.patch);
    EXPECT_EQ(RunPatchTool(tool, base + L"a.bin", output + L"a.bin", source + L"a.bin.patch"), c.ok)
        << c.patch;
    EXPECT_EQ(caseLog.Messages(), Messages{c.message});
  }
}

TEST_F(FileOpsTest, RunPatchToolThatCannotStartFails) {
  EXPECT_FALSE(RunPatchTool(temp / L"missing.exe", base + L"a", output + L"a", source + L"a.patch"));
  EXPECT_EQ(log.Messages(), Messages{"cannot run patch.exe: 2"});
}

TEST_F(FileOpsTest, UpdatePatchesTheBaseFileAndChecksTheResult) {
  struct Case {
    const char* name;
    const wchar_t* oldPath;
    const char* patch;
    std::wstring newChecksum;
    bool ok;
    Messages messages;
  } cases[] = {
      {"mixed-case checksum matches", L"", "c", L"900150983CD24fb0d6963F7D28E17F72", true,
       {"patch.exe exit with code: 0"}},
      {"old_path names the file to start from", L"lib\\old.bin", "c", Wide(kMd5OfAbc), true,
       {"patch.exe exit with code: 0"}},
      {"tool fails: no checksum is computed", L"", "exit 5", Wide(kMd5OfAbc), false,
       {"patch.exe exit with code: 5", "apply patch for lib\\a.bin failed"}},
      {"wrong result", L"", "cd", Wide(kMd5OfAbc), false,
       {"patch.exe exit with code: 0",
        "patched file md5 not match, e2fc714c4727ee9395f324cd2e7f331f vs " +
            std::string(kMd5OfAbc)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LogLines caseLog;
    RemoveTree(output);
    MakeFolders(output + L"lib\\");
    MakeFolders(base + L"lib\\");
    MakeFolders(source + L"lib\\");
    // Only the file the operation names as its start holds "ab".
    WriteFileBytes(base + L"lib\\a.bin", *c.oldPath ? "wrong" : "ab");
    WriteFileBytes(base + L"lib\\old.bin", "ab");
    WriteFileBytes(source + L"lib\\a.bin.patch", c.patch);
    EXPECT_EQ(Apply(Op(FileOpType::Update, L"lib\\a.bin", c.oldPath, c.newChecksum)), c.ok);
    EXPECT_EQ(caseLog.Messages(), c.messages);
    if (c.ok) {
      EXPECT_EQ(ReadFileBytes(output + L"lib\\a.bin"), "abc");
    }
  }
}

TEST_F(FileOpsTest, UpdateWithTheRealPatchToolAndAZstdPatch) {
  std::wstring fixtures = ProgramFolder() + L"incremental-fixtures\\";
  std::string expected = ReadFileBytes(fixtures + L"new.bin");
  ASSERT_FALSE(expected.empty());
  CopyFileW((fixtures + L"old.bin").c_str(), (base + L"data.bin").c_str(), FALSE);
  CopyFileW((fixtures + L"new.bin.patch").c_str(), (source + L"data.bin.patch").c_str(), FALSE);
  std::wstring md5 = Wide(ReadFileBytes(fixtures + L"new.bin.md5").substr(0, 32));
  FileOp op = Op(FileOpType::Update, L"data.bin", L"", md5);
  EXPECT_TRUE(ApplyFileOp(op, ProgramFolder() + L"patch.exe", base, output, source));
  EXPECT_TRUE(ReadFileBytes(output + L"data.bin") == expected);
  EXPECT_EQ(log.Messages(), Messages{"patch.exe exit with code: 0"});
}

TEST_F(FileOpsTest, NewCopiesFromThePatchSourceCreatingFolders) {
  WriteFileBytes(source + L"n.txt", "fresh");
  MakeFolders(source + L"deep\\er\\");
  WriteFileBytes(source + L"deep\\er\\n.txt", "deep");
  WriteFileBytes(output + L"n.txt", "stale");
  EXPECT_TRUE(Apply(Op(FileOpType::New, L"n.txt")));
  EXPECT_TRUE(Apply(Op(FileOpType::New, L"deep\\er\\n.txt")));
  EXPECT_EQ(ReadFileBytes(output + L"n.txt"), "fresh");
  EXPECT_EQ(ReadFileBytes(output + L"deep\\er\\n.txt"), "deep");
  EXPECT_EQ(log.Messages(), Messages{});

  EXPECT_FALSE(Apply(Op(FileOpType::New, L"gone.txt")));
  EXPECT_EQ(log.Messages(), Messages{"copy file " + Narrow(source) + "gone.txt to " +
                                     Narrow(output) + "gone.txt failed: 2"});
}

TEST_F(FileOpsTest, DeleteSucceedsWhetherOrNotTheFileExists) {
  WriteFileBytes(output + L"d.txt", "x");
  EXPECT_TRUE(Apply(Op(FileOpType::Delete, L"d.txt")));
  EXPECT_FALSE(FileExists(output + L"d.txt"));
  EXPECT_TRUE(Apply(Op(FileOpType::Delete, L"never-there.txt")));
  WriteFileBytes(output + L"ro.txt", "x");
  SetFileAttributesW((output + L"ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(Apply(Op(FileOpType::Delete, L"ro.txt")));
  EXPECT_FALSE(FileExists(output + L"ro.txt"));
  EXPECT_EQ(log.Messages(), Messages{});
}

TEST_F(FileOpsTest, MoveInsideTheOutputFolder) {
  WriteFileBytes(output + L"o.txt", "moved");
  WriteFileBytes(output + L"p.txt", "replacing");
  WriteFileBytes(output + L"q.txt", "replaced");
  EXPECT_TRUE(Apply(Op(FileOpType::Move, L"new\\folder\\m.txt", L"o.txt")));
  EXPECT_EQ(ReadFileBytes(output + L"new\\folder\\m.txt"), "moved");
  EXPECT_FALSE(FileExists(output + L"o.txt"));
  EXPECT_TRUE(Apply(Op(FileOpType::Move, L"q.txt", L"p.txt")));
  EXPECT_EQ(ReadFileBytes(output + L"q.txt"), "replacing");
  EXPECT_EQ(log.Messages(), Messages{});

  EXPECT_FALSE(Apply(Op(FileOpType::Move, L"m2.txt", L"o.txt")));
  EXPECT_EQ(log.Messages(), Messages{"move file " + Narrow(output) + "o.txt to " + Narrow(output) +
                                     "m2.txt failed: 2"});
}

// Ten new-file operations n0.txt..n9.txt; `missing` has no source file.
std::vector<FileOp> TenNewFiles(const std::wstring& source, int missing) {
  std::vector<FileOp> ops;
  for (int i = 0; i < 10; ++i) {
    std::wstring name = L"n" + std::to_wstring(i) + L".txt";
    if (i != missing) WriteFileBytes(source + name, "file " + std::to_string(i));
    ops.push_back(Op(FileOpType::New, name.c_str()));
  }
  return ops;
}

TEST_F(FileOpsTest, WorkersShareTheListThroughTheCounter) {
  struct Case {
    int extraWorkers;
    int missing;  // index of the failing operation, or -1
    bool ok;
    LONG counterAfter;  // -1 + 10 taken + one final take per worker that did not fail
  } cases[] = {{0, -1, true, 10}, {2, -1, true, 12}, {2, 2, false, 11}, {0, 2, false, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.extraWorkers << " extra, missing " << c.missing);
    LogLines caseLog;
    RemoveTree(output);
    RemoveTree(source);
    MakeFolders(output);
    MakeFolders(source);
    std::vector<FileOp> ops = TenNewFiles(source, c.missing);
    volatile LONG counter = -1;
    EXPECT_EQ(ApplyAllFileOps(ops, tool, base, output, source, c.extraWorkers, counter), c.ok);
    EXPECT_EQ(counter, c.counterAfter);
    int done = 0;
    for (int i = 0; i < 10; ++i) {
      if (FileExists(output + L"n" + std::to_wstring(i) + L".txt")) ++done;
    }
    // With workers the others finish the list; alone, the failure ends it.
    EXPECT_EQ(done, c.missing < 0 ? 10 : (c.extraWorkers > 0 ? 9 : 2));
    EXPECT_EQ(caseLog.Messages().size(), c.missing < 0 ? 0u : 1u);
  }
}

TEST_F(FileOpsTest, EmptyListSucceeds) {
  volatile LONG counter = -1;
  EXPECT_TRUE(ApplyAllFileOps({}, tool, base, output, source, 2, counter));
  EXPECT_EQ(counter, 2);
}

TEST_F(FileOpsTest, WorkerThreadExitCodeTellsSuccessOrFailure) {
  std::vector<FileOp> ops = {Op(FileOpType::New, L"missing.txt")};
  volatile LONG counter = -1;
  FileOpWorkerArgs args{&ops, tool, base, output, source, &counter};
  EXPECT_EQ(FileOpThread(&args), 0xFFFFFFFFu);
  counter = -1;
  ops[0] = Op(FileOpType::Delete, L"missing.txt");
  EXPECT_EQ(FileOpThread(&args), 0u);
}

TEST_F(FileOpsTest, ProcessCounterIsSampledOnceAndNeverReset) {
  // The production form: the 2 s sample, then the process-wide counter.
  EXPECT_EQ(nextFileOp, -1);
  EXPECT_TRUE(ApplyAllFileOps({}, tool, base, output, source));
  LONG afterFirst = nextFileOp;
  EXPECT_GE(afterFirst, 0);
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  Messages messages = log.Messages();
  ASSERT_EQ(messages.size(), info.dwNumberOfProcessors > 1 ? 1u : 0u);
  if (!messages.empty()) {
    EXPECT_EQ(messages[0].rfind("cpu idle ration: ", 0), 0u);
  }

  std::vector<FileOp> ops = {Op(FileOpType::Delete, L"x.txt")};
  EXPECT_TRUE(RunFileOps(ops, tool, base, output, source));
  EXPECT_EQ(nextFileOp, afterFirst + 1) << "a used counter hands out no index again";
}

}  // namespace
