#include "command_test_host.h"
#include "commands/run_commands.h"
#include "formats/command_line.h"
#include "platform/components.h"
#include "platform/system.h"
#include "settings/settings.h"

namespace qv::testing {
namespace {

class RecordingSystem : public System {
 public:
  std::string GetModulePath() override { return "/x/quorvane"; }
  bool StartProcess(const std::string& commandLine) override {
    started.push_back(commandLine);
    return canStart;
  }
  bool GetEnvVar(const std::string& name, std::string* value) override {
    if (name == "ProgramFiles")
      *value = "C:\\Program Files";
    else if (name == "COMSPEC")
      *value = "C:\\WINDOWS\\system32\\cmd.exe";
    else
      return false;
    return true;
  }
  std::vector<std::string> started;
  bool canStart = true;
};

class ShellTest : public CommandTest {
 protected:
  void SetMailProgram(const std::string& name, const std::string& line) {
    RegKey mail;
    mail.Create(registry, kHkeyLocalMachine, "SOFTWARE\\Clients\\Mail");
    WriteKeyString(mail, "", name);
    RegKey command;
    command.Create(registry, mail.get(), name + "\\Shell\\Open\\Command");
    WriteKeyString(command, "", line);
  }
  RecordingSystem system;
  ScopedService<System> useSystem{&PlatformServices::system, &system};
};

TEST_F(ShellTest, EnvironmentPlaceholdersInTheirExactForms) {
  commands::ExecuteShell(
      "%COMSPEC% /c \"%ProgramFiles%\\a\" %programfiles% %PROGRAMFILES% "
      "%ProgramFILES% %comspec%",
      "fail");
  ASSERT_EQ(system.started.size(), 1u);
  EXPECT_EQ(system.started[0],
            "C:\\WINDOWS\\system32\\cmd.exe /c \"C:\\Program Files\\a\" C:\\Program Files "
            "C:\\Program Files %ProgramFILES% %comspec%");
  EXPECT_EQ(messages.count(), 0u);
}

TEST_F(ShellTest, DefaultMailProgramIsCutBeforeSpacePercentOne) {
  SetMailProgram("Mailer", "\"C:\\Mail\\mail.exe\" /compose %1 /x");
  commands::ExecuteShell("%DefaultEmailClient -n %DefaultEmailClient", "fail");
  SetMailProgram("Mailer", "mail.exe /to:%1");
  commands::ExecuteShell("%DefaultEmailClient", "fail");
  EXPECT_EQ(system.started,
            (std::vector<std::string>{"\"C:\\Mail\\mail.exe\" /compose -n %DefaultEmailClient",
                                      "mail.exe /to:%1"}));
}

TEST_F(ShellTest, FailuresShowTheDefinitionsMessageOnce) {
  commands::ExecuteShell("%DefaultEmailClient", "No mail program");
  EXPECT_TRUE(system.started.empty());
  system.canStart = false;
  commands::ExecuteShell("nothing", "");
  auto shown = messages.messages();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text, "No mail program");
  EXPECT_EQ(shown[0].caption, "Ostrivel Toolbar Alert");
  EXPECT_EQ(shown[0].style, kMbOk);
  EXPECT_EQ(shown[1].text, "");
}

class Recorder : public CustomCommandObject {
 public:
  explicit Recorder(std::vector<std::string>* calls) : calls_(calls) {}
  long Run(const std::string& parameters) override {
    calls_->push_back(parameters);
    return -1;  // an error of the object's own is not reported
  }

 private:
  std::vector<std::string>* calls_;
};

TEST_F(ShellTest, CustomCommandResolvesProgIdThroughTheClassesKey) {
  InProcessComponentHost host;
  ScopedService<ComponentHost> useHost{&PlatformServices::components, &host};
  const std::string clsid = "{11111111-2222-3333-4444-555555555555}";
  std::vector<std::string> calls;
  InProcessComponentHost::RegisterClass(clsid, [&] { return std::make_unique<Recorder>(&calls); });
  RegKey progid;
  progid.Create(registry, kHkeyClassesRoot, "Test.Thing\\CLSID");
  WriteKeyString(progid, "", "{11111111-2222-3333-4444-555555555555}");
  RegKey orphan;
  orphan.Create(registry, kHkeyClassesRoot, "Test.Orphan\\CLSID");
  WriteKeyString(orphan, "", "{99999999-2222-3333-4444-555555555555}");

  commands::ExecuteCustom("Test.Thing", "a=1", "missing");
  commands::ExecuteCustom("Test.Unknown", "a=2", "missing");
  commands::ExecuteCustom("Test.Orphan", "a=3", "not created");
  InProcessComponentHost::UnregisterClass(clsid);
  EXPECT_EQ(calls, std::vector<std::string>{"a=1"});
  auto shown = messages.messages();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text, "missing");
  EXPECT_EQ(shown[1].text, "not created");
}

TEST(CommandLineTest, SplitsByTheWindowsRules) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitWindowsCommandLine("  \"C:\\Program Files\\a.exe\" x  \"y z\""),
            (V{"C:\\Program Files\\a.exe", "x", "y z"}));
  // The program name keeps its backslashes; quotes only group.
  EXPECT_EQ(SplitWindowsCommandLine("C:\\d\\\"o\\ a\\\"b a\\\\\\\"b c\\\\\"d e\" f\\\\"),
            (V{"C:\\d\\o\\ a\\b", "a\\\"b", "c\\d e", "f\\\\"}));
  EXPECT_EQ(SplitWindowsCommandLine("p \"a\"\"b\" \"\""), (V{"p", "a\"b", ""}));
  EXPECT_TRUE(SplitWindowsCommandLine("   ").empty());
}

#ifndef _WIN32
TEST(PosixSystemTest, StartsProgramsFoundOnThePath) {
  System& system = GetSystem();
  EXPECT_TRUE(system.StartProcess("true \"an argument\""));
  EXPECT_FALSE(system.StartProcess("no-such-program-for-quorvane"));
  EXPECT_FALSE(system.StartProcess(""));
}
#endif

}  // namespace
}  // namespace qv::testing
