// The vesk command line, run as a process: stdout, stderr and the exit status of each option,
// output line kind and failure.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

struct Result {
  std::string Out, Err;
  int Status = -1;
};

std::string Binary() {
  const char* Env = std::getenv("VESK_BINARY");
  return Env && *Env ? Env : VESK_BINARY;
}

// VESK_WRAPPER, split at blanks: a command that vesk runs under (valgrind and its options).
std::vector<std::string> Wrapper() {
  std::vector<std::string> Words;
  const char* Env = std::getenv("VESK_WRAPPER");
  std::istringstream In(Env ? Env : "");
  for (std::string W; In >> W;) Words.push_back(W);
  return Words;
}

std::string Slurp(const fs::path& P) {
  std::ifstream In(P, std::ios::binary);
  std::ostringstream S;
  S << In.rdbuf();
  return S.str();
}

void Spit(const fs::path& P, std::string_view Text) {
  std::ofstream(P, std::ios::binary) << Text;
}

class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() / ("vesk-cli-" + std::to_string(getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(Dir);
    fs::create_directories(Dir);
  }
  void TearDown() override { fs::remove_all(Dir); }

  // Writes a template into the scratch folder and gives its path.
  std::string Template(std::string_view Text, const std::string& Name = "t.vesk") {
    Spit(Dir / Name, Text);
    return (Dir / Name).string();
  }
  static std::string Data(const std::string& Name) { return std::string(VESK_CLI_DATA) + "/" + Name; }

  // Runs vesk in the scratch folder with stdin from /dev/null.
  Result Run(const std::vector<std::string>& Args) {
    const fs::path Out = Dir / "stdout", Err = Dir / "stderr";
    std::vector<std::string> Command = Wrapper();
    Command.push_back(Binary());
    Command.insert(Command.end(), Args.begin(), Args.end());
    pid_t Pid = fork();
    if (Pid == 0) {
      if (chdir(Dir.c_str()) != 0) _exit(127);
      int In = open("/dev/null", O_RDONLY);
      int O = open(Out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      int E = open(Err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(In, 0);
      dup2(O, 1);
      dup2(E, 2);
      std::vector<char*> Argv;
      for (std::string& A : Command) Argv.push_back(A.data());
      Argv.push_back(nullptr);
      execvp(Argv[0], Argv.data());
      _exit(127);
    }
    int Status = 0;
    waitpid(Pid, &Status, 0);
    Result R;
    R.Out = Slurp(Out);
    R.Err = Slurp(Err);
    R.Status = WIFEXITED(Status) ? WEXITSTATUS(Status) : 128 + WTERMSIG(Status);
    return R;
  }

  fs::path Dir;
};

constexpr const char* kNow = "--now=2026-12-11T21:03:05";

TEST_F(Cli, ReplyQuotesTheReferencedMessageAndReportsEffects) {
  std::string T = Template(
      "// BEGIN_VESK\n"
      "Println('Dear ' + refFrom + ' (' + refLines + ' lines)');\n"
      "OriginalMessage('> ');\n"
      "SetHeader('Subject', 'Re: ' + refSub);\n"
      "SetHeader('X-Note', 'one');\n"
      "SetHeader('subject', 'Re: ' + refSub + '!');\n"
      "SetCursor(3);\n");
  Result R = Run({"run", T, "--ref", Data("reply.eml")});
  EXPECT_EQ(R.Out, "Dear \"Alice Example\" <alice@example.com> (2 lines)\n> first line\n> second line\n");
  // One line per header, in the order first set, with its final value.
  EXPECT_EQ(R.Err, "header: Subject: Re: Lunch!\nheader: X-Note: one\ncaret: 3\n");
  EXPECT_EQ(R.Status, 0);
}

TEST_F(Cli, RunValuesFollowModeClockAndLocale) {
  std::string T = Template(
      "// BEGIN_VESK\n"
      "Println(CompMode + '|' + Today + '|' + Now + '|' + DoW + '|' + Year + Month + Date + Hour + Minute);\n");
  struct Case {
    std::vector<std::string> Extra;
    std::string Out;
  } Cases[] = {
      {{}, "COMP_NEW|2026/12/11|21:03:05|\xE9\x87\x91|202612112103\n"},
      {{"--ref", Data("reply.eml")}, "COMP_REPLY|2026/12/11|21:03:05|\xE9\x87\x91|202612112103\n"},
      {{"--mode", "10"}, "COMP_FWD|2026/12/11|21:03:05|\xE9\x87\x91|202612112103\n"},
      {{"--mode=-1", "--locale", "en-US"}, "COMP_MODE_ERR|12/11/2026|9:03:05 PM|Fri|202612112103\n"},
  };
  for (const Case& C : Cases) {
    std::vector<std::string> Args{"run", T, kNow};
    Args.insert(Args.end(), C.Extra.begin(), C.Extra.end());
    Result R = Run(Args);
    EXPECT_EQ(R.Out, C.Out) << C.Extra.size();
    EXPECT_EQ(R.Status, 0);
  }
}

TEST_F(Cli, TextsThatDoNotRunComeBackUnchanged) {
  // Mode 3 never runs a template; a text without the marker is no template.
  Result R = Run({"run", Template("// BEGIN_VESK\r\nPrintln('x');\r\n"), "--mode", "3"});
  EXPECT_EQ(R.Out, "// BEGIN_VESK\nPrintln('x');\n");
  EXPECT_EQ(R.Err, "");
  EXPECT_EQ(R.Status, 0);
  R = Run({"run", Template("Dear all,\n\xE3\x81\x82\n")});
  EXPECT_EQ(R.Out, "Dear all,\n\xE3\x81\x82\n");
  EXPECT_EQ(R.Status, 0);
}

TEST_F(Cli, OnlyCrLfBecomesLf) {
  Result R = Run({"run", Template("// BEGIN_VESK\nPrintln('a'#13'b');\nPrintln('c'#10);\nPrintln(#13#13);\n")});
  EXPECT_EQ(R.Out, "a\rb\nc\n\n\r\r\n");
}

TEST_F(Cli, ReferencedMessagesAreDecoded) {
  std::string T = Template("// BEGIN_VESK\nPrintln(refFrom + '|' + refSub + '|' + refLines);\nOriginalMessage('');\n");
  struct Case {
    const char* File;
    std::string Out;
  } Cases[] = {
      // HTML goes through the plug-in's HTML-to-text conversion; é has no place in code page 932.
      {"html.eml", "news@example.net|caf?|3\n\na<bx\n\xE6\x97\xA5\xE6\x9C\xAC\n"},
      {"iso2022jp.eml",
       "\xE5\xB1\xB1\xE7\x94\xB0 <yamada@example.jp>|test|1\n"
       "\xE4\xBC\x9A\xE8\xAD\xB0\xE3\x81\xAF\xE5\x8D\x81\xE6\x99\x82\xE3\x81\x8B\xE3\x82\x89\n"},
      // The first text/plain part wins over an earlier HTML one; base64 undone.
      {"alternative.eml", "carol@example.com|alt|1\nplain part\n"},
  };
  for (const Case& C : Cases) {
    Result R = Run({"run", T, "--ref", Data(C.File)});
    EXPECT_EQ(R.Out, C.Out) << C.File;
    EXPECT_EQ(R.Status, 0) << C.File << R.Err;
  }
}

TEST_F(Cli, WithoutRefThereIsNoMessage) {
  Result R = Run({"run", Template("// BEGIN_VESK\nPrintln('[' + refFrom + '|' + refLines + '|' + GetHeader('From') + "
                                  "'|' + CompGetHeader('X-Becky-Ref') + ']');\n")});
  EXPECT_EQ(R.Out, "[|||]\n");
  R = Run({"run", Template("// BEGIN_VESK\nPrintln(GetHeader('Subject') + '|' + CompGetHeader('X-Becky-Ref'));\n"),
           "--ref", Data("reply.eml")});
  EXPECT_EQ(R.Out, "Lunch|vesk.mb\\Inbox\\>1\n");
}

TEST_F(Cli, DataDirIsTheCurrentDirectoryOfTheRun) {
  fs::create_directories(Dir / "data");
  fs::copy_file(Data("block.txt"), Dir / "data" / "block.txt");
  std::string T = Template("// BEGIN_VESK\nReadFromFile('block.txt');\nAttach('block.txt');\nPrintln('end');\n");
  Result R = Run({"run", T, "--data-dir", "data"});
  EXPECT_EQ(R.Out, "block line 1\nblock line 2\n\nend\n");
  EXPECT_EQ(R.Err, "attach: block.txt\n");
  EXPECT_EQ(R.Status, 0);
}

TEST_F(Cli, DialogsAreShownAndAnswered) {
  std::string T = Template(
      "// BEGIN_VESK\n"
      "VAR a, b: String;\n"
      "BEGIN\n"
      "  a := InputBox('Who', 'Name?', 'nobody');\n"
      "  b := InputBox('Who', 'Again?', 'nobody');\n"
      "  ShowMessage('one'#13#10'two');\n"
      "  Println(a + ',' + b + ',' + IntToStr(MessageBox('Sure?', 'Ask', 4)));\n"
      "END.\n");
  Result R = Run({"run", T, "--answer", "Bob"});
  // The second input box has no answer left: it gives its default. A Yes/No box gives Yes (6).
  EXPECT_EQ(R.Out, "Bob,nobody,6\n");
  EXPECT_EQ(R.Err.substr(0, R.Err.find("] one")), "[Who] Name?\n[Who] Again?\n[Veskera");
  EXPECT_NE(R.Err.find("] one\ntwo\n[Ask] Sure?\n"), std::string::npos) << R.Err;
  EXPECT_EQ(R.Status, 0);
}

TEST_F(Cli, SignatureIsReportedOnlyWhenSelected) {
  std::string T = Template("// BEGIN_VESK\nSetSignature('wo');\nPrintln('x');\n");
  Result R = Run({"run", T, "--signature", "Default", "--signature", "Work"});
  EXPECT_EQ(R.Err, "signature: Work\n");
  R = Run({"run", T});
  EXPECT_EQ(R.Err, "");
  EXPECT_EQ(R.Status, 0);
}

TEST_F(Cli, ErrorsEndTheRunWithStatusOne) {
  Result R = Run({"run", Template("// BEGIN_VESK\nSetHeader('To', 'a@example.com');\nPrintln(;\n")});
  EXPECT_EQ(R.Out, "");
  EXPECT_EQ(R.Err.rfind("[Error] Error occurred while executing VESK Script.\n\nThis will terminate VESK.\n"
                        "vesk: error: ",
                        0),
            0u)
      << R.Err;
  // What the run did before the error stays done.
  EXPECT_NE(R.Err.find("\nheader: To: a@example.com\n"), std::string::npos) << R.Err;
  EXPECT_EQ(R.Status, 1);

  R = Run({"run", Template("// BEGIN_VESK\nAttach('missing.bin');\n")});
  EXPECT_NE(R.Err.find("vesk: error: "), std::string::npos) << R.Err;
  EXPECT_EQ(R.Status, 1);
}

TEST_F(Cli, TimeoutStopsARunawayTemplate) {
  Result R = Run({"run", Template("// BEGIN_VESK\nPrintln('before');\nWHILE 1 DO BEGIN END;\n"), "--timeout", "1"});
  EXPECT_NE(R.Err.find("vesk: error: timed out after 1 s\n"), std::string::npos) << R.Err;
  EXPECT_EQ(R.Status, 1);

  // The host timer stops a run that pumps messages, and the run still reports what it did; a run
  // blocked in Sleep cannot see that timer and is ended by the watchdog with the error line alone.
  const std::string Stopped = "vesk: error: timed out after 1 s\nheader: X-Before: 1\n";
  struct Case {
    const char* Program;
    std::string Err;
  } Cases[] = {
      {"WHILE True DO ;", Stopped},
      {"VAR i, x: Integer;\nBEGIN\nFOR i := 1 TO 2000000000 DO x := i;\nEND", Stopped},
      {"Pause;", Stopped},
      {"Sleep(60000);", "vesk: error: timed out after 1 s\n"},
  };
  for (const Case& C : Cases) {
    std::string Program = C.Program;
    const std::size_t Begin = Program.find("BEGIN\n");
    Program.insert(Begin == std::string::npos ? 0 : Begin + 6, "SetHeader('X-Before', '1');\n");
    R = Run({"run", Template("// BEGIN_VESK\n" + Program + "\n"), "--timeout", "1"});
    EXPECT_EQ(R.Err, C.Err) << C.Program;
    EXPECT_EQ(R.Out, "") << C.Program;
    EXPECT_EQ(R.Status, 1) << C.Program;
  }
}

TEST_F(Cli, BadUsageAndUnreadableInputGiveStatusTwo) {
  std::string T = Template("// BEGIN_VESK\nPrintln('x');\n");
  Spit(Dir / "latin1.vesk", "// BEGIN_VESK\nPrintln('caf\xE9');\n");
  Spit(Dir / "empty.eml", "");
  fs::create_directories(Dir / "adir");
  struct Case {
    std::vector<std::string> Args;
    std::string Err;
  } Cases[] = {
      {{}, "vesk: no command given\n"},
      {{"send", T}, "vesk: unknown command 'send'\n"},
      {{"run"}, "vesk: run needs a TEMPLATE file\n"},
      {{"run", T, "other"}, "vesk: unexpected argument 'other'\n"},
      {{"run", T, "--colour"}, "vesk: unknown option '--colour'\n"},
      {{"run", T, "--ref"}, "vesk: option --ref needs a value\n"},
      {{"run", T, "--mode", "five"}, "vesk: invalid --mode 'five': expected an integer\n"},
      {{"run", T, "--now", "2026-02-30T10:00:00"}, "vesk: invalid --now '2026-02-30T10:00:00': expected YYYY-MM-DDTHH:MM:SS\n"},
      {{"run", T, "--now", "2026-12-11 10:00:00"}, "vesk: invalid --now '2026-12-11 10:00:00': expected YYYY-MM-DDTHH:MM:SS\n"},
      {{"run", T, "--locale", "de-DE"}, "vesk: invalid --locale 'de-DE': expected ja-JP or en-US\n"},
      {{"run", T, "--timeout", "0"}, "vesk: invalid --timeout '0': expected 1 to 86400 seconds\n"},
      {{"run", "nothere.vesk"}, "vesk: cannot read template 'nothere.vesk'\n"},
      {{"run", "adir"}, "vesk: cannot read template 'adir'\n"},
      {{"run", "latin1.vesk"}, "vesk: template 'latin1.vesk' is not UTF-8 text\n"},
      {{"run", T, "--ref", "nothere.eml"}, "vesk: cannot read message file 'nothere.eml'\n"},
      {{"run", T, "--ref", "empty.eml"}, "vesk: message file 'empty.eml': empty message\n"},
      {{"run", T, "--data-dir", "nothere"}, "vesk: --data-dir 'nothere' is not a directory\n"},
  };
  for (const Case& C : Cases) {
    Result R = Run(C.Args);
    // The first line is the message; a missing command also prints the usage.
    EXPECT_EQ(R.Err.substr(0, R.Err.find('\n') + 1), C.Err);
    EXPECT_EQ(R.Out, "");
    EXPECT_EQ(R.Status, 2) << C.Err;
  }
}

TEST_F(Cli, HelpAndVersion) {
  Result R = Run({"--help"});
  EXPECT_EQ(R.Out.rfind("usage: vesk run TEMPLATE [options]\n", 0), 0u);
  EXPECT_EQ(R.Status, 0);
  R = Run({"run", "--help"});
  EXPECT_EQ(R.Status, 0);
  R = Run({"--version"});
  EXPECT_EQ(R.Out.rfind("vesk ", 0), 0u);
  EXPECT_EQ(R.Status, 0);
}

TEST_F(Cli, ExamplesRun) {
  const std::string Ex = VESK_EXAMPLES;
  Result R = Run({"run", Ex + "/reply.vesk", "--ref", Ex + "/messages/plain.eml", kNow});
  EXPECT_EQ(R.Out.rfind("Dear Alice Example,\n\nOn Thu, 10 Dec 2026 18:04:11 +0000 you wrote:\n> Hi Bob,\n", 0), 0u) << R.Out;
  EXPECT_EQ(R.Err, "header: Subject: Re: Lunch on Friday?\ncaret: 10\n");
  R = Run({"run", Ex + "/ask-recipient.vesk", "--answer", "carol@example.com", "--signature", "Work", kNow});
  EXPECT_EQ(R.Err, "[New message] Send to whom?\nheader: To: carol@example.com\nsignature: Work\ncaret: 3\n");
  R = Run({"run", Ex + "/boilerplate.vesk", "--data-dir", Ex + "/data"});
  EXPECT_NE(R.Out.find("Thank you for your order."), std::string::npos) << R.Out;
  R = Run({"run", Ex + "/forward.vesk", "--ref", Ex + "/messages/japanese.eml", "--mode", "10"});
  EXPECT_NE(R.Out.find("-------- Forwarded message --------\n"), std::string::npos) << R.Out;
  EXPECT_EQ(R.Status, 0);
}

}  // namespace
