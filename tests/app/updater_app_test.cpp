#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/fakes.h"
#include "app/updater_app.h"
#include "support/run_program.h"
#include "support/temp_folder.h"

namespace {

using Packets = std::vector<SentPacket>;

class UpdaterAppTest : public ::testing::Test {
 protected:
  UpdaterAppTest() : workDir(L"ZEMORA_WORK_DIR", temp.path()) {
    WriteFileBytes(temp / L"Update.log", "");
  }

  std::unique_ptr<UpdaterApp> MakeApp(std::vector<std::wstring> arguments = {L"--parent=1a2b"}) {
    auto app = std::make_unique<UpdaterApp>(factory);
    std::vector<const wchar_t*> argv;
    for (const auto& a : arguments) argv.push_back(a.c_str());
    ownedArguments = std::move(arguments);
    checked = CheckOptions(*app, static_cast<int>(argv.size()), argv.data());
    return app;
  }
  std::string LogText() { return ReadFileBytes(temp / L"Update.log"); }

  TempFolder temp;
  ScopedEnvironment workDir;
  FakeFactory factory;
  std::vector<std::wstring> ownedArguments;
  bool checked = false;
};

TEST_F(UpdaterAppTest, CheckOptionsRejectsAMissingOrMalformedParent) {
  for (auto arguments : std::vector<std::vector<std::wstring>>{
           {}, {L"--Parent=1a2b"}, {L"--parent="}, {L"--parent=zz"}, {L"--parent=ffffffff"}}) {
    auto app = MakeApp(arguments);
    EXPECT_FALSE(checked);
    EXPECT_EQ(app->ResultCode(), 12);
  }
}

TEST_F(UpdaterAppTest, CheckOptionsRecordsUpdateInfoAndWorksOutTheUpdatePath) {
  auto app = MakeApp({L"--parent=12zz", L"--update_info="});
  EXPECT_TRUE(checked);
  EXPECT_TRUE(app->UpdateInfoGiven());
  EXPECT_EQ(app->UpdatePath(), ProgramFolder());
  app.reset();
  app = MakeApp({L"--parent=1", L"--update_path=C:\\a=b\\"});
  EXPECT_FALSE(app->UpdateInfoGiven());
  EXPECT_EQ(app->UpdatePath(), L"C:\\a=b\\");
}

TEST_F(UpdaterAppTest, NothingOfferedSendsNoEngineAndNoAppUpdate) {
  auto app = MakeApp();
  factory.check->script = [](IRunContext& run) { run.Notify(2003, 0); };
  EXPECT_EQ(app->Run(), 0);
  EXPECT_EQ(factory.channel->starts, 1);
  EXPECT_EQ(factory.channel->sent, (Packets{{2003, 0, 5}, {2011, 0, 5}, {2012, 0, 5}}));
  EXPECT_EQ(app->EngineState(), NoUpdate);
  EXPECT_EQ(app->AppState(), NoUpdate);
}

TEST_F(UpdaterAppTest, AFailedCheckEndsTheRunWithItsCode) {
  auto app = MakeApp();
  factory.check->checkResult = 3;
  factory.check->script = [](IRunContext& run) {
    run.Notify(2003, 0);
    run.Notify(2006, 0);
  };
  EXPECT_EQ(app->Run(), 3);
  EXPECT_EQ(app->ResultCode(), 3);
  EXPECT_EQ(factory.channel->sent, (Packets{{2003, 0, 5}, {2006, 0, 9}}));
  EXPECT_EQ(app->EngineState(), CheckFailed);
  EXPECT_EQ(app->AppState(), CheckFailed);
}

// One status report at a time, from a known state.
struct NotifyCase {
  int32_t code, parameter;
  bool useFull;
  int installResult;
  Packets expected;
  int32_t engineState, appState;
};

class NotifyTableTest : public UpdaterAppTest,
                        public ::testing::WithParamInterface<NotifyCase> {};

TEST_P(NotifyTableTest, MovesStatesAndSendsPackets) {
  const NotifyCase& c = GetParam();
  auto app = MakeApp();
  factory.check->useFullPackage = c.useFull;
  factory.check->appFile = temp / L"pkg.bin";
  factory.installer->installResult = c.installResult;
  app->Notify(c.code, c.parameter);
  EXPECT_EQ(factory.channel->sent, c.expected);
  EXPECT_EQ(app->EngineState(), c.engineState);
  EXPECT_EQ(app->AppState(), c.appState);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, NotifyTableTest,
    ::testing::Values(
        NotifyCase{2003, 0, false, 0, {{2003, 0, 5}}, Checking, Checking},
        NotifyCase{2006, 0, false, 0, {{2006, 0, 9}}, CheckFailed, CheckFailed},
        NotifyCase{2006, 5, false, 0, {{2006, 5, 9}}, Idle, Idle},
        NotifyCase{2009, 33, false, 0, {{2009, 33, 9}}, Idle, Downloading},
        NotifyCase{2010, 0, false, 0, {{2010, 0, 9}}, Idle, DownloadFailed},
        NotifyCase{2010, 2, false, 0, {{2010, 2, 9}}, Idle, DownloadFailed},
        NotifyCase{2010, 1, false, 0, {{2010, 1, 9}, {2015, 0, 9}, {2016, 1, 9}}, Idle, Installed},
        NotifyCase{2010, 1, false, 19, {{2010, 1, 9}, {2015, 0, 9}, {2016, 0, 9}}, Idle,
                   InstallFailed},
        NotifyCase{2011, 0, false, 0, {{2011, 0, 5}}, NoUpdate, Idle},
        NotifyCase{2012, 0, false, 0, {{2012, 0, 5}}, Idle, NoUpdate},
        NotifyCase{2017, 0, false, 0, {{2017, 0, 5}}, Idle, Idle},
        NotifyCase{2015, 0, false, 0, {}, Idle, Idle},
        NotifyCase{4242, 0, false, 0, {}, Idle, Idle}));

TEST_F(UpdaterAppTest, UnknownCodesAreLogged) {
  auto app = MakeApp();
  app->Notify(4242, 1);
  EXPECT_NE(LogText().find("[ERRO] unknown status code: 4242\r\n"), std::string::npos);
}

TEST_F(UpdaterAppTest, ANewUpdaterIsSavedStartedAndAnnounced) {
  auto app = MakeApp({L"--parent=1a2b", L"--update_path=C:\\Tools\\", L"--channel=abc",
                      L"--lp=\\\\.\\pipe\\other"});
  factory.check->appAvailable = true;
  factory.installer->installResult = 21;
  factory.check->script = [](IRunContext& run) { run.Notify(2010, 1); };
  EXPECT_EQ(app->Run(), 21);
  EXPECT_TRUE(app->RelaunchPending());
  EXPECT_EQ(factory.check->writtenTo, temp / L"Update\\Update.xml");
  EXPECT_EQ(factory.channel->sent, (Packets{{2010, 1, 9}, {2015, 0, 9}, {2011, 0, 5}, {2019, 0, 5}}));
  EXPECT_EQ(app->AppState(), Installing);
  EXPECT_GE(factory.channel->stops, 1);
  EXPECT_EQ(factory.startedProgram, temp / L"Update\\Zemora\\Update.exe");
  EXPECT_EQ(factory.startedParameters,
            L"--parent=1a2b --update_info=Update.xml --update_path=\"C:\\Tools\\\\\" "
            L"--channel=abc");
}

TEST_F(UpdaterAppTest, AFailedRelaunchStillExits21AndIsLogged) {
  auto app = MakeApp();
  factory.startSucceeds = false;
  factory.installer->installResult = 21;
  factory.check->script = [](IRunContext& run) { run.Notify(2010, 1); };
  EXPECT_EQ(app->Run(), 21);
  EXPECT_NE(LogText().find("start new updater "), std::string::npos);
}

TEST_F(UpdaterAppTest, AnUnsavedUpdateInfoFailsTheInstall) {
  auto app = MakeApp();
  factory.installer->installResult = 21;
  factory.check->writeSucceeds = false;
  factory.check->appAvailable = true;
  factory.check->script = [](IRunContext& run) { run.Notify(2010, 1); };
  EXPECT_EQ(app->Run(), 0);
  EXPECT_FALSE(app->RelaunchPending());
  EXPECT_EQ(app->AppState(), InstallFailed);
  EXPECT_EQ(factory.channel->sent, (Packets{{2010, 1, 9}, {2015, 0, 9}, {2016, 0, 9}, {2011, 0, 5}}));
}

TEST_F(UpdaterAppTest, AListeningParentTakesOverAFullInstaller) {
  auto app = MakeApp();
  factory.check->useFullPackage = true;
  factory.check->versionCode = 190;
  factory.check->appFile = temp / L"full.exe";
  WriteFileBytes(factory.check->appFile, "MZ\x90");
  app->Notify(2009, 100);
  app->Notify(2010, 1);
  EXPECT_EQ(factory.channel->sent, (Packets{{2009, 100, 9}, {2010, 1, 9}, {2018, 190, 9}}));
  EXPECT_EQ(ReadFileBytes(temp / L"ZemoraUpdate.exe"), "MZ\x90");
  EXPECT_EQ(app->AppState(), Downloading);
  EXPECT_TRUE(factory.installer->appPackages.empty());
}

TEST_F(UpdaterAppTest, WithoutAParentTheFullInstallerRunsHere) {
  factory.installDir = temp.path();
  auto app = MakeApp();
  factory.channel->writesSucceed = false;  // pipe exists, nobody reads
  factory.check->useFullPackage = true;
  factory.check->appFile = temp / L"full.exe";
  WriteFileBytes(factory.check->appFile, "MZ\x90");
  app->Notify(2010, 1);
  EXPECT_EQ(factory.installer->appPackages, std::vector<std::wstring>{temp / L"full.exe"});
  EXPECT_EQ(app->AppState(), Installed);
  EXPECT_FALSE(FileExists(temp / L"ZemoraUpdate.exe"));
}

TEST_F(UpdaterAppTest, HandoverWithoutInstallFolderOrPackageFails) {
  struct Case {
    bool haveInstallDir, havePackage;
    const char* message;
  } cases[] = {{false, true, "Zemora install path not found"},
               {true, false, "update package "}};
  for (const auto& c : cases) {
    factory.installDir = c.haveInstallDir ? temp.path() : L"";
    auto app = MakeApp();
    factory.channel->open = false;
    factory.check->useFullPackage = true;
    factory.check->appFile = temp / L"absent.exe";
    if (c.havePackage) factory.check->appFile = temp / L"Update.log";
    app->Notify(2010, 1);
    EXPECT_EQ(app->AppState(), InstallFailed);
    EXPECT_TRUE(factory.installer->appPackages.empty());
    EXPECT_NE(LogText().find(c.message), std::string::npos) << c.message;
  }
}

}  // namespace
