#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "base/text.h"
#include "install/install_dispatch.h"
#include "log/log.h"
#include "support/run_program.h"
#include "support/temp_folder.h"

namespace {

class InstallDispatchTest : public ::testing::Test {
 protected:
  InstallDispatchTest()
      : info(temp / L"install\\", L""),
        installerLog(L"ZEMORA_FAKE_INSTALLER_LOG", temp / L"installer.log") {
    MakeFolders(info.installDir);
    WriteFileBytes(temp / L"Update.log", "");
    OpenLog(temp.path());
  }
  ~InstallDispatchTest() override { CloseLog(); }

  int Install(const std::wstring& path) {
    return InstallPackage(path, info, [this](const std::wstring& p, const InstallInfo&) {
      incrementalPaths.push_back(p);
      return 42;
    });
  }
  std::string LogText() { return ReadFileBytes(temp / L"Update.log"); }
  // Places the fake installer (a real program, so it starts with 4D 5A 90 00).
  std::wstring PlaceInstaller(const std::wstring& relative) {
    std::wstring target = temp / relative;
    MakeFolders(target.substr(0, target.rfind(L'\\') + 1));
    CopyFileW((ProgramFolder() + L"fake_installer.exe").c_str(), target.c_str(), FALSE);
    return target;
  }

  TempFolder temp;
  InstallInfo info;
  ScopedEnvironment installerLog;
  std::vector<std::wstring> incrementalPaths;
};

TEST_F(InstallDispatchTest, RefusesWithoutInstallFolderOrPackage) {
  std::wstring package = temp / L"pkg.bin";
  WriteFileBytes(package, "zzd.");
  InstallInfo none(L"", L"");
  EXPECT_EQ(InstallPackage(package, none, nullptr), 9);
  InstallInfo gone(temp / L"gone\\", L"");
  EXPECT_EQ(InstallPackage(package, gone, nullptr), 9);
  EXPECT_EQ(Install(temp / L"absent.bin"), 7);
  std::string log = LogText();
  EXPECT_NE(log.find("] Zemora install path not found\r\n"), std::string::npos);
  EXPECT_NE(log.find("] update package " + zemora::WideToUtf8(temp / L"absent.bin") + " not found"),
            std::string::npos);
  EXPECT_TRUE(incrementalPaths.empty());
}

TEST_F(InstallDispatchTest, TellsPackageKindsApartByTheirFirstFourBytes) {
  struct Case {
    std::string bytes;
    int expected;
    bool incremental;
  } cases[] = {
      {"M", 13, false},
      {"MZ", 42, true},                      // reads as 4D 5A 00 00
      {std::string("MZ\x90\x01", 4), 42, true},
      {std::string("NZ\x90\x00", 4), 42, true},
      {std::string("zzd.\x02\x00", 6), 42, true},
  };
  for (const auto& c : cases) {
    incrementalPaths.clear();
    std::wstring package = temp / L"pkg.bin";
    WriteFileBytes(package, c.bytes);
    EXPECT_EQ(Install(package), c.expected) << c.bytes.size();
    EXPECT_EQ(incrementalPaths.size(), c.incremental ? 1u : 0u);
  }
  EXPECT_NE(LogText().find("] engine file size less than 2: 1\r\n"), std::string::npos);
}

TEST_F(InstallDispatchTest, RunsAFullInstallerSilentlyWithItsPathQuoted) {
  struct Case {
    const wchar_t* exitCode;
    int expected;
  } cases[] = {{L"0", 0}, {L"3010", 11}, {L"1", 11}};
  std::wstring package = PlaceInstaller(L"with space\\pkg setup.exe");
  for (const auto& c : cases) {
    DeleteFileW((temp / L"installer.log").c_str());
    ScopedEnvironment exitCode(L"ZEMORA_FAKE_INSTALLER_EXIT", c.exitCode);
    EXPECT_EQ(Install(package), c.expected);
    EXPECT_EQ(ReadFileBytes(temp / L"installer.log"),
              "\"" + zemora::WideToUtf8(package) + "\" /silent ##silence=1&runwhensilent=0\n");
    EXPECT_NE(LogText().find("] zemora install package run return: " +
                             zemora::WideToUtf8(c.exitCode) + "\r\n"),
              std::string::npos);
  }
  EXPECT_TRUE(incrementalPaths.empty());
}

TEST_F(InstallDispatchTest, AnInstallerThatCannotStartFails) {
  // A program header on a file that is no program.
  std::wstring package = temp / L"broken.exe";
  WriteFileBytes(package, std::string("MZ\x90\x00garbage", 11));
  EXPECT_EQ(Install(package), 11);
  EXPECT_NE(LogText().find("] run install package failed: "), std::string::npos);
}

}  // namespace
