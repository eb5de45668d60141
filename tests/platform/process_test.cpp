#include <gtest/gtest.h>

#include <unistd.h>

#include "platform/posix/desktop.h"
#include "temp_dir.h"

namespace {

class Process : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::desktop::Reset();
    ASSERT_FALSE(Dir.Path().empty());
    Saved = platform::GetCurrentDirectory();
    ASSERT_TRUE(platform::SetCurrentDirectory(Dir.Path().string()));
  }
  void TearDown() override {
    platform::SetCurrentDirectory(Saved);
    platform::desktop::Reset();
  }
  TempDir Dir;
  std::string Saved;
};

TEST_F(Process, WaitingGivesTheExitCode) {
  struct Row {
    const char* CommandLine;
    std::uint32_t ExitCode;
  } Rows[] = {
      {"\"/bin/sh\" -c \"exit 7\"", 7},
      {"/bin/sh -c \"exit 0\"", 0},
      {"sh -c \"exit 255\"", 255},     // found on the search path
      {"/bin/sh -c \"kill -9 $$\"", 137},  // a signal: 128 + its number
  };
  for (const Row& R : Rows) {
    const auto Result = platform::StartProcess(R.CommandLine, true);
    EXPECT_TRUE(Result.Started) << R.CommandLine;
    EXPECT_EQ(Result.ExitCode, R.ExitCode) << R.CommandLine;
  }
}

TEST_F(Process, AMissingProgramDoesNotStart) {
  for (const char* CommandLine : {"\"/no/such/program\" ", "", "\"\" x", "   "}) {
    EXPECT_FALSE(platform::StartProcess(CommandLine, true).Started) << CommandLine;
    EXPECT_FALSE(platform::StartProcess(CommandLine, false).Started) << CommandLine;
  }
}

TEST_F(Process, WithoutWaitingItReturnsAtOnce) {
  const auto Result = platform::StartProcess("/bin/sh -c \"sleep 0.2; echo done > flag\"", false);
  EXPECT_TRUE(Result.Started);
  EXPECT_FALSE(platform::FileExists("flag"));
  for (int I = 0; I < 100 && !platform::FileExists("flag"); ++I) platform::Sleep(20);
  EXPECT_TRUE(platform::FileExists("flag"));
}

// The child writes each argument it gets in brackets; the command line follows the Windows rules.
TEST_F(Process, TheCommandLineIsSplitLikeCommandLineToArgv) {
  struct Row {
    const char* Arguments;
    const char* Expected;
  } Rows[] = {
      {"a b", "[a][b]"},
      {"  a\t\tb  ", "[a][b]"},
      {"\"a b\" c", "[a b][c]"},
      {"a\\\\b", "[a\\\\b]"},             // backslashes without a quote are literal
      {"a\\\"b", "[a\"b]"},               // \" is a quote
      {"\"a\\\\\" b", "[a\\][b]"},        // \\" is a backslash and the end of the quotes
      {"\"a\\\\\\\" b\"", "[a\\\" b]"},   // \\\" is a backslash and a quote
      {"a\"b c\"d", "[ab cd]"},           // quotes may start mid-argument
      {"\"a\"\"b\"", "[a\"b]"},           // "" after a closing quote
      {"\"\"", "[]"},                     // an empty argument
      {"\x93\xfa", "[\xe6\x97\xa5]"},     // code page 932 reaches the child as UTF-8
  };
  for (const Row& R : Rows) {
    const std::string CommandLine =
        std::string("/bin/sh -c \"for a; do printf '[%s]' \\\"$a\\\"; done > out\" sh ") + R.Arguments;
    const auto Result = platform::StartProcess(CommandLine, true);
    ASSERT_TRUE(Result.Started) << CommandLine;
    EXPECT_EQ(Result.ExitCode, 0u) << CommandLine;
    EXPECT_EQ(platform::ReadFile("out").value_or("(none)"), R.Expected) << R.Arguments;
  }
}

TEST_F(Process, ShellOpenReportsLikeShellExecute) {
  ASSERT_TRUE(platform::WriteFile("script", "#!/bin/sh\necho \"$1\" > opened\n"));
  ASSERT_EQ(chmod("script", 0755), 0);
  ASSERT_TRUE(platform::WriteFile("document.txt", "not a program"));

  EXPECT_EQ(platform::ShellOpen("script", "\"x y\""), 42u);  // in the current directory
  for (int I = 0; I < 100 && !platform::FileExists("opened"); ++I) platform::Sleep(20);
  platform::Sleep(20);
  EXPECT_EQ(platform::ReadFile("opened").value_or(""), "x y\n");

  EXPECT_EQ(platform::ShellOpen("no-such-file", ""), 2u);
  EXPECT_EQ(platform::ShellOpen("/no/such/dir/file", ""), 2u);
  EXPECT_EQ(platform::ShellOpen("", ""), 2u);
  EXPECT_EQ(platform::ShellOpen("document.txt", ""), 31u);
}

}  // namespace
