// Template runs through the headless host: what reaches the compose window, the host calls made,
// the dialogs shown, and what a run leaves behind.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "plugin_fixture.h"
#include "plugin/dialogs.h"
#include "plugin/plugin_state.h"

namespace {

using plugin_test::PluginFixture;
using plugin_test::Template;
using Lines = std::vector<std::string>;

constexpr const char* kRunValues[] = {"refFrom", "refDate", "refTo", "refSub",  "refLines", "CompMode", "Now",
                                      "Today",   "Hour",    "Minute", "Date",   "Month",    "Year",     "DoW"};

class Runner : public PluginFixture {
 protected:
  void WriteFile(const std::string& Name, const std::string& Data) {
    std::ofstream(PathIn(Name), std::ios::binary) << Data;
  }
  std::string ReadBack(const std::string& Name) {
    std::ifstream In(PathIn(Name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(In), {});
  }
  host::Message PlainMessage(const std::string& Body) {
    host::Message M;
    M.Headers = {{"From", "alice@example.com"}, {"To", "bob@example.com"}, {"Subject", "Lunch"},
                 {"Date", "Tue, 11 Jun 2024 10:00:00 +0000"}};
    M.Body = Body;
    return M;
  }
  // What every run must leave: no run value, the directory of before, the interpreter idle.
  void ExpectCleanAfterRun() {
    for (const char* Name : kRunValues) EXPECT_EQ(State().PPA1->Values.Find(Name), nullptr) << Name;
    EXPECT_NE(State().PPA1->Values.Find("Ver"), nullptr);
    EXPECT_NE(State().PPA1->Values.Find("Beta"), nullptr);
    EXPECT_EQ(platform::GetCurrentDirectory(), StartDirectory);
    EXPECT_FALSE(State().RunInProgress);
  }
};

TEST_F(Runner, ReplyQuotesAReferencedMessageFile) {
  WriteFile("reply.eml",
            "From: alice@example.com\r\nTo: bob@example.com\r\nSubject: Lunch\r\n"
            "Date: Tue, 11 Jun 2024 10:00:00 +0000\r\n\r\nline one\r\nline two\r\n");
  std::string Error;
  std::optional<host::Message> M = host::LoadMessageFile(PathIn("reply.eml"), Error);
  ASSERT_TRUE(M) << Error;
  Host->SetCurrentMail("inbox?0000000000000001");
  host::ComposeWindow& W = Open(Template({"Println('Dear ' + refFrom);", "OriginalMessage('> ');", "SetCursor(2);",
                                          "Println(refSub + '/' + refTo + '/' + refLines);"}),
                                Refer("folder", 42, *M), 5);
  EXPECT_EQ(W.Text, "Dear alice@example.com\r\n> line one\r\n> line two\r\nLunch/bob@example.com/2\r\n");
  EXPECT_EQ(Host->Log().Commands, (Lines{"CsrDown", "Refresh"}));
  EXPECT_EQ(W.CaretLine, 2);
  // The referenced message is current only while it is read.
  EXPECT_EQ(Host->Log().CurrentMailChanges, (Lines{"folder?000000000000002A", "inbox?0000000000000001"}));
  ASSERT_EQ(Host->Log().StatusTexts.size(), 2u);
  EXPECT_EQ(Host->Log().StatusTexts[0].Window, W.Window);
  EXPECT_EQ(Host->Log().StatusTexts[1].Window, 0u);
  EXPECT_EQ(Host->Log().StatusTexts[1].Text, "Executing VESK...");
  EXPECT_TRUE(Dialogs().empty());
  ExpectCleanAfterRun();
}

TEST_F(Runner, HtmlAndPlainReferencedTexts) {
  host::Message Html = PlainMessage("<p>a&lt;b</p>");
  Html.MimeType = "text/html";
  host::ComposeWindow& W = Open(Template({"Println(refLines);", "Println(StringAt(2));", "OriginalMessage('|');"}),
                                Refer("f", 1, Html));
  EXPECT_EQ(W.Text, "2\r\na<b\r\n|\r\n|a<b\r\n");

  host::ComposeWindow& P = Open(Template({"Println(refLines);", "Message(2, 3, '-');"}),
                                Refer("f", 2, PlainMessage("x\r\ny\nz\r\n")));
  EXPECT_EQ(P.Text, "3\r\n-y\r\n-z\r\n");
  EXPECT_TRUE(Dialogs().empty());
}

TEST_F(Runner, RunValuesComeFromOneReadingOfTheClock) {
  platform::desktop::SetClock(platform::DateTime{2024, 6, 9, 7, 5, 3, 0, 0});
  host::ComposeWindow& W = Open(Template({
      "Println(Hour + ':' + Minute + ' ' + Date + '.' + Month + '.' + Year + ' ' + DoW);",
      "Println(Today + ' ' + Now);",
      "Println('[' + refFrom + '][' + refLines + ']');",
      "Println(CompMode);",
      "CompMode := 'changed';",
      "Println(CompMode);",
  }));
  EXPECT_EQ(W.Text, "07:05 09.06.2024 Sun\r\n6/9/2024 7:05:03 AM\r\n[][]\r\nCOMP_NEW\r\nchanged\r\n");
  // Without a reference the host's current message is left alone.
  EXPECT_TRUE(Host->Log().CurrentMailChanges.empty());
  ExpectCleanAfterRun();
}

TEST_F(Runner, OnlyAMarkerOnTheFirstOfTwoLinesRuns) {
  struct Case {
    std::string Text;
    bool Runs;
  };
  const Case Cases[] = {
      {"// begin_vesk", false},
      {"// begin_vesk\r\nPrintln('x');", true},
      {"//xxBegin_Veskxx\nPrintln('x');", true},
      {"Println('x');\r\n// BEGIN_VESK\r\n", false},
      {"", false},
  };
  for (const Case& C : Cases) {
    Host->Log().TextsSet.clear();
    host::ComposeWindow& W = Open(C.Text);
    EXPECT_EQ(W.Text, C.Runs ? "x\r\n" : C.Text) << C.Text;
    if (!C.Runs) {
      EXPECT_TRUE(Host->Log().TextsSet.empty()) << C.Text;
    }
  }
  EXPECT_TRUE(Dialogs().empty());
}

TEST_F(Runner, ComposeModes) {
  const std::string Text = Template({"Println(CompMode);"});
  host::ComposeWindow& T = Open(Text, {}, 3);
  EXPECT_EQ(T.Text, Text);  // a template being edited is not run
  EXPECT_EQ(State().CompModeName, "COMP_TEMPLATE");
  EXPECT_EQ(Open(Text, {}, 4).Text, "COMP_MODE_ERR\r\n");
  EXPECT_EQ(Open(Text, {}, 12).Text, "COMP_FWD_AS_ATTACHMENT\r\n");
  EXPECT_EQ(Open(Text, {}, -1).Text, "COMP_MODE_ERR\r\n");
}

TEST_F(Runner, EachFailureShowsOneMessageAndLeavesTheWindowEmpty) {
  std::filesystem::create_directory(PathIn("folder"));
  struct Case {
    std::string Statement;
    std::string Message;
  };
  const std::string General(kRunFailedMessage);
  const Case Cases[] = {
      {"Message(3, 2, '');", TPPASub::ErrorMessage(5)},
      {"Message(0, 1, '');", TPPASub::ErrorMessage(5)},
      {"Println(StringAt(1));", TPPASub::ErrorMessage(42)},
      {"Println(StringAt(0));", TPPASub::ErrorMessage(42)},
      {"ReadFromFile('missing.txt');", TPPASub::ErrorMessage(4)},
      {"Attach('missing.txt');", "Error occured in procedure Attach\n\r\n\rFile Not Exist"},
      {"Attach('folder');", TPPASub::ErrorMessage(91)},
      {"SaveMsgToFile('no/such/folder/out.txt');", TPPASub::ErrorMessage(10)},
      {"Println(;", General},
      {"refFrom := 'x';", General},
      {"Hour := 'x';", General},
  };
  for (const Case& C : Cases) {
    Host->Log().Dialogs.clear();
    host::ComposeWindow& W = Open(Template({"Println('before');", C.Statement, "Println('after');"}));
    EXPECT_EQ(W.Text, "") << C.Statement;
    ASSERT_EQ(Dialogs().size(), 1u) << C.Statement;
    EXPECT_EQ(Dialogs()[0].Request.Text, C.Message) << C.Statement;
    EXPECT_EQ(Dialogs()[0].Request.Caption, "Error");
    EXPECT_EQ(Dialogs()[0].Request.Flags, platform::MB_OK | platform::MB_ICONERROR);
    EXPECT_FALSE(State().LastRunError.empty()) << C.Statement;
    ExpectCleanAfterRun();
  }
}

TEST_F(Runner, AnIndexTheHandlersDoNotKnow) {
  State().PPA1->DeclarePrototype.emplace_back("procedure Bogus;Index 99;");
  Open(Template({"Bogus;"}));
  EXPECT_EQ(DialogTexts(), (Lines{"Undefined function / procedure call"}));
  State().PPA1->DeclarePrototype.pop_back();
}

TEST_F(Runner, HeadersAndAttachments) {
  WriteFile("att.txt", "data");
  host::Message Current = PlainMessage("");
  Current.Headers = {{"Subject", "The current one"}};
  Host->AddMessage("inbox?0000000000000007", Current);
  Host->SetCurrentMail("inbox?0000000000000007");
  host::ComposeWindow& W = Open(Template({"SetHeader('X-Mood', 'calm');", "Println(CompGetHeader('X-Mood'));",
                                          "Attach('att.txt');", "Println(GetHeader('Subject'));",
                                          "Println(refSub);"}),
                                Refer("f", 3, PlainMessage("body")));
  EXPECT_EQ(W.Text, "calm\r\nThe current one\r\nLunch\r\n");
  EXPECT_EQ(W.Header("X-Mood"), "calm");
  EXPECT_EQ(W.Attachments, (Lines{"att.txt"}));

  // What a program set before it failed stays set.
  host::ComposeWindow& F = Open(Template({"SetHeader('X-Early', 'yes');", "Attach('missing');"}));
  EXPECT_EQ(F.Text, "");
  EXPECT_EQ(F.Header("X-Early"), "yes");
}

TEST_F(Runner, FilesRelativeToTheDataFolder) {
  WriteFile("in.txt", "a\r\nb");
  WriteFile("empty.txt", "");
  std::filesystem::create_directory(PathIn("sub"));
  host::ComposeWindow& W = Open(Template({"ReadFromFile('in.txt');", "ReadFromFile('empty.txt');",
                                          "Println(IntToStr(FileExists('in.txt')));",
                                          "Println(IntToStr(FileExists('sub')));", "SaveMsgToFile('out.txt');"}),
                                Refer("f", 4, PlainMessage("l1\nl2")));
  EXPECT_EQ(W.Text, "a\r\nb\r\n\r\n\r\n-1\r\n0\r\n");
  EXPECT_EQ(ReadBack("out.txt"), "l1\r\nl2\r\n");  // the referenced text, not the output
  EXPECT_TRUE(Dialogs().empty());
}

TEST_F(Runner, CaretPlacement) {
  struct Case {
    std::string Statement;
    int Downs;
  };
  const Case Cases[] = {{"", 0}, {"SetCursor(0);", 0}, {"SetCursor(1);", 0}, {"SetCursor(-5);", 0},
                        {"SetCursor(4);", 3}, {"SetCursor(4294967299);", 2}};  // only the low 32 bits count
  for (const Case& C : Cases) {
    Host->Log().Commands.clear();
    Open(Template({"Println('a');", C.Statement}));
    Lines Expected(static_cast<std::size_t>(C.Downs), "CsrDown");
    if (C.Downs > 0) Expected.push_back("Refresh");
    EXPECT_EQ(Host->Log().Commands, Expected) << C.Statement;
  }
}

class Signatures : public Runner {
 protected:
  Signatures() { Options.Signatures = {"Default", "Work mail", "Private"}; }

  std::vector<host::WindowMessage> CommandsTo(platform::WindowHandle Window) const {
    std::vector<host::WindowMessage> Found;
    for (const host::WindowMessage& M : Host->Log().Messages) {
      if (M.Window == Window && M.Message == platform::WM_COMMAND) Found.push_back(M);
    }
    return Found;
  }
};

TEST_F(Signatures, SelectsTheBoxOnTheLabelsLineAndTellsTheWindow) {
  host::ComposeWindow& W = Open(Template({"SetSignature('work');", "Println('x');"}));
  EXPECT_EQ(W.SelectedSignature(), "Work mail");
  const std::vector<host::WindowMessage> Commands = CommandsTo(W.Window);
  ASSERT_EQ(Commands.size(), 1u);
  EXPECT_EQ(Commands[0].WParam, static_cast<std::uintptr_t>(host::kSignatureComboId | (platform::CBN_SELENDOK << 16)));
  EXPECT_EQ(Commands[0].LParam, static_cast<std::intptr_t>(W.SignatureCombo));

  // Without SetSignature nothing is selected or sent.
  host::ComposeWindow& N = Open(Template({"Println('x');"}));
  EXPECT_EQ(N.SelectedSignature(), std::nullopt);
  EXPECT_TRUE(CommandsTo(N.Window).empty());
}

TEST_F(Signatures, AWindowWithoutASignatureBoxGetsNoSelection) {
  host::ComposeWindow& First = Open(Template({"SetSignature('work');"}));
  ASSERT_EQ(First.SelectedSignature(), "Work mail");
  host::ComposeWindow& Second = Host->CreateCompose(Template({"SetSignature('private');"}));
  platform::desktop::DestroyWindow(Second.SignatureLabel);
  Host->OpenCompose(Second.Window, 0);
  // The first window's box, found by the earlier search, is not touched.
  EXPECT_EQ(First.SelectedSignature(), "Work mail");
  EXPECT_TRUE(CommandsTo(Second.Window).empty());
  EXPECT_EQ(State().SignatureCombo, 0u);
}

TEST_F(Runner, ASecondTemplateDoesNotStartInsideARun) {
  host::ComposeWindow& First = Host->CreateCompose(Template({"ShowMessage('hi');", "Println('first');"}));
  host::ComposeWindow* Second = nullptr;
  host::ComposeWindow* Plain = nullptr;
  const std::string SecondText = Template({"Println('second');"});
  Host->OnDialog([&](const host::Dialog& D) {
    if (D.Request.Text != "hi" || Second) return;
    Second = &Host->CreateCompose(SecondText);
    Host->OpenCompose(Second->Window, 0);
    Plain = &Host->CreateCompose("Just a letter");
    Host->OpenCompose(Plain->Window, 0);
  });
  Host->OpenCompose(First.Window, 0);
  EXPECT_EQ(First.Text, "first\r\n");
  ASSERT_NE(Second, nullptr);
  EXPECT_EQ(Second->Text, SecondText);
  EXPECT_EQ(Plain->Text, "Just a letter");
  ASSERT_EQ(Dialogs().size(), 2u);  // the program's own, then one warning for the template only
  EXPECT_EQ(Dialogs()[0].Request.Caption, "Veskera");
  EXPECT_EQ(Dialogs()[0].Request.Flags, platform::MB_OK);
  EXPECT_EQ(Dialogs()[1].Request.Text, kAlreadyRunningMessage);
  EXPECT_EQ(Dialogs()[1].Request.Caption, "Warning");
  EXPECT_EQ(Dialogs()[1].Request.Flags, platform::MB_OK | platform::MB_ICONWARNING);
  ExpectCleanAfterRun();

  // And the second window runs once the first run is over.
  Host->OpenCompose(Second->Window, 0);
  EXPECT_EQ(Second->Text, "second\r\n");
}

TEST_F(Runner, AFailureBeforeTheProgramRunsIsContained) {
  // A run value left defined makes defining it again fail.
  State().PPA1->AddStrConst("Now", "stale", 1);
  const std::string Text = Template({"Println('x');"});
  host::ComposeWindow& W = Open(Text);
  EXPECT_EQ(DialogTexts(), (Lines{std::string(kRunFailedMessage)}));
  EXPECT_EQ(W.Text, Text);  // the template is given back
  ExpectCleanAfterRun();
  EXPECT_EQ(Open(Text).Text, "x\r\n");
}

}  // namespace

namespace {

TEST_F(Runner, ExitDuringARunEndsItAndReleasesAfterwards) {
  host::ComposeWindow& W = Host->CreateCompose(Template({"ShowMessage('closing');", "Println('after');"}));
  Host->OnDialog([&](const host::Dialog& D) {
    if (D.Request.Text == "closing") {
      EXPECT_EQ(Host->Exit(), 0);
    }
  });
  Host->OpenCompose(W.Window, 0);
  EXPECT_EQ(State().PPA1, nullptr);
  EXPECT_EQ(State().OutputLines, nullptr);
  EXPECT_FALSE(State().ExitPending);
  EXPECT_EQ(W.Text.find("after"), std::string::npos);
  EXPECT_EQ(platform::GetCurrentDirectory(), StartDirectory);
  Host->OnDialog({});
  Host->Start();  // so that the fixture's exit has something to release
}

}  // namespace
