// The headless host library: the exported host functions, the message store and the world it
// builds in the simulated desktop.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "host/headless_host.h"

extern "C" {
const char* BKA_GetVersion();
const char* BKA_GetDataFolder();
void BKA_SetCurrentMail(const char* MailId);
void BKA_GetSpecifiedHeader(const char* Header, char* Block, int Size);
char* BKA_GetText(char* MimeType, int Size);
void BKA_CompGetSpecifiedHeader(platform::WindowHandle Window, const char* Header, char* Block, int Size);
void BKA_CompSetSpecifiedHeader(platform::WindowHandle Window, const char* Header, const char* Value);
char* BKA_CompGetText(platform::WindowHandle Window, char* MimeType, int Size);
void BKA_CompSetText(platform::WindowHandle Window, int Mode, const char* Text);
void BKA_Command(platform::WindowHandle Window, const char* Command);
}

namespace {

namespace desk = platform::desktop;

class HostTest : public ::testing::Test {
 protected:
  HostTest() : Host({.Version = "9.9", .DataFolder = "/data", .FileVersion = "1.2", .Signatures = {"Default"}}) {
    desk::SetLocale(desk::Locale::JaJP);
  }
  host::Message Parse(std::string_view Text) {
    std::string Error;
    std::optional<host::Message> M = host::ParseMessage(Text, Error);
    EXPECT_TRUE(M) << Error;
    return M.value_or(host::Message{});
  }
  host::HeadlessHost Host;
};

TEST(BkaExports, FollowTheBindingOrderAndCanLackOneName) {
  auto Exports = host::BkaExports();
  ASSERT_EQ(Exports.size(), static_cast<std::size_t>(kBeckyApiCount));
  for (int I = 0; I < kBeckyApiCount; ++I) {
    EXPECT_STREQ(Exports[static_cast<std::size_t>(I)].Name, kBeckyApiNames[I]);
    EXPECT_NE(Exports[static_cast<std::size_t>(I)].Address, nullptr);
  }
  auto Lacking = host::BkaResolver("BKA_Connect");
  EXPECT_EQ(Lacking("BKA_Connect"), nullptr);
  EXPECT_EQ(Lacking("BKA_Alloc"), Exports[39].Address);
  EXPECT_EQ(host::BkaResolver()("BKA_Nothing"), nullptr);
}

TEST_F(HostTest, PluginLoadsOnlyWithTheWholeApi) {
  EXPECT_FALSE(Host.LoadPlugin(host::BkaResolver("BKA_SerializeRcpts")));
  Host.UnloadPlugin();
  EXPECT_TRUE(Host.LoadPlugin(host::BkaResolver()));
  Host.UnloadPlugin();
}

TEST_F(HostTest, SpecifiedHeaderFitsTheBlock) {
  Host.AddMessage("f?01", Parse("From: Alice <a@example.com>\nSubject: =?UTF-8?B?5pel5pys?=\n\nbody\n"));
  BKA_SetCurrentMail("f?01");
  struct Case {
    const char* Name;
    int Size;
    std::string Expected;
  } Cases[] = {
      {"from", 256, "Alice <a@example.com>"},   // names ignore letter case
      {"From", 6, "Alice"},                      // NUL included in the size
      {"From", 1, ""},
      {"Subject", 256, "\x93\xFA\x96\x7B"},      // decoded into code page 932
      {"Cc", 256, ""},
  };
  for (const Case& C : Cases) {
    char Block[300];
    std::memset(Block, 'x', sizeof Block);
    BKA_GetSpecifiedHeader(C.Name, Block, C.Size);
    EXPECT_EQ(std::string(Block), C.Expected) << C.Name << C.Size;
    EXPECT_EQ(Block[C.Size], 'x') << "wrote past the block";
  }
  BKA_SetCurrentMail("f?02");  // no such message: every header is empty
  char Block[16] = "stale";
  BKA_GetSpecifiedHeader("From", Block, 16);
  EXPECT_STREQ(Block, "");
  EXPECT_EQ(Host.Log().CurrentMailChanges, (std::vector<std::string>{"f?01", "f?02"}));
}

TEST_F(HostTest, GetTextGivesBodyAndMimeType) {
  Host.AddMessage("f?01", Parse("From: a@example.com\nContent-Type: text/html\n\n<p>hi</p>\n"));
  BKA_SetCurrentMail("f?01");
  char Mime[64];
  EXPECT_STREQ(BKA_GetText(Mime, 64), "<p>hi</p>\r\n");
  EXPECT_STREQ(Mime, "text/html");
  BKA_GetText(Mime, 5);
  EXPECT_STREQ(Mime, "text");
}

TEST_F(HostTest, ReturnedTextsLastUntilTheSameFunctionIsCalledAgain) {
  const char* Version = BKA_GetVersion();
  const char* Folder = BKA_GetDataFolder();
  EXPECT_STREQ(Version, "9.9");
  EXPECT_STREQ(Folder, "/data");
}

TEST_F(HostTest, ComposeWindowKeepsTextHeadersAndCaret) {
  host::ComposeWindow& W = Host.CreateCompose("old", {{"X-Becky-Ref", "f>1"}});
  char Mime[64];
  EXPECT_STREQ(BKA_CompGetText(W.Window, Mime, 64), "old");
  BKA_Command(W.Window, "CsrDown");
  BKA_CompSetText(W.Window, 0, "new\r\n");
  EXPECT_EQ(W.Text, "new\r\n");
  EXPECT_EQ(W.CaretLine, 1);  // replacing the text puts the caret back on the first line
  BKA_Command(W.Window, "CsrDown");
  BKA_Command(W.Window, "Refresh");
  EXPECT_EQ(W.CaretLine, 2);

  BKA_CompSetSpecifiedHeader(W.Window, "To", "a");
  BKA_CompSetSpecifiedHeader(W.Window, "Subject", "s");
  BKA_CompSetSpecifiedHeader(W.Window, "to", "b");
  EXPECT_EQ(W.Headers, (host::HeaderList{{"X-Becky-Ref", "f>1"}, {"To", "b"}, {"Subject", "s"}}));
  char Block[8];
  BKA_CompGetSpecifiedHeader(W.Window, "x-becky-ref", Block, 8);
  EXPECT_STREQ(Block, "f>1");
  EXPECT_EQ(Host.Log().HeadersSet.size(), 3u);
  EXPECT_EQ(Host.Log().Commands, (std::vector<std::string>{"CsrDown", "CsrDown", "Refresh"}));
}

TEST_F(HostTest, SignatureBoxSitsOnTheLabelsLine) {
  host::ComposeWindow& W = Host.CreateCompose("");
  platform::Rect Label, Combo;
  ASSERT_TRUE(platform::GetWindowRect(W.SignatureLabel, Label));
  ASSERT_TRUE(platform::GetWindowRect(W.SignatureCombo, Combo));
  EXPECT_EQ(Label.Top, Combo.Top);
  EXPECT_EQ(platform::GetWindowText(W.SignatureLabel), "Si&gnature");
  EXPECT_EQ(platform::GetClassName(W.SignatureCombo), "ComboBox");
  EXPECT_EQ(platform::GetForegroundWindow(), W.Window);
  EXPECT_EQ(W.SelectedSignature(), std::nullopt);
  platform::SendMessage(W.Window, platform::WM_COMMAND, 7, 8);
  ASSERT_EQ(Host.Log().Messages.size(), 1u);
  EXPECT_EQ(Host.Log().Messages[0].Message, platform::WM_COMMAND);
}

TEST_F(HostTest, DialogsAreRecordedAndAnswered) {
  Host.QueueAnswer("first");
  EXPECT_EQ(platform::InputBox("C", "P", "dflt"), "first");
  EXPECT_EQ(platform::InputBox("C", "P", "dflt"), std::nullopt);  // no answer left: cancelled
  EXPECT_EQ(platform::MessageBox(0, "Sure?", "Q", platform::MB_YESNO), desk::DefaultButton(platform::MB_YESNO));
  ASSERT_EQ(Host.Log().Dialogs.size(), 3u);
  EXPECT_EQ(Host.Log().Dialogs[2].Request.Caption, "Q");
}

TEST_F(HostTest, CommandsArePickedByIdentifier) {
  static platform::WindowHandle Seen = 0;
  Seen = 0;
  int Id = Host.RegisterCommand("Run", host::kComposeMenuType,
                                [](platform::WindowHandle W, std::intptr_t) { Seen = W; });
  EXPECT_FALSE(Host.PickCommand(Id + 1, 5));
  EXPECT_TRUE(Host.PickCommand(Id, 5));
  EXPECT_EQ(Seen, 5u);
  EXPECT_GE(desk::MenuItems(Host.ComposeMenu()).size(), 4u);
}

TEST_F(HostTest, MessagesAreDecoded) {
  struct Case {
    const char* Name;
    std::string Raw;
    std::string Body;  // UTF-8
    std::string Mime;
  } Cases[] = {
      {"plain lines become CR LF", "From: a\n\none\ntwo\n", "one\r\ntwo\r\n", "text/plain"},
      {"quoted-printable UTF-8",
       "From: a\nContent-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: quoted-printable\n\n"
       "=E6=97=A5=\n=E6=9C=AC\n",
       "\xE6\x97\xA5\xE6\x9C\xAC\r\n", "text/plain"},
      {"ISO-2022-JP", "From: a\nContent-Type: text/plain; charset=ISO-2022-JP\n\n\x1B$BF|K\\\x1B(B\n",
       "\xE6\x97\xA5\xE6\x9C\xAC\r\n", "text/plain"},
      {"HTML only", "From: a\nContent-Type: text/html\n\n<b>x</b>", "<b>x</b>", "text/html"},
      {"multipart without text", "From: a\nContent-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: image/png\n\nzz\n--b--\n",
       "", "text/plain"},
      {"unknown charset read as UTF-8", "From: a\nContent-Type: text/plain; charset=x-nothing\n\nok\n", "ok\r\n", "text/plain"},
  };
  for (const Case& C : Cases) {
    host::Message M = Parse(C.Raw);
    EXPECT_EQ(platform::ToUtf8(M.Body), C.Body) << C.Name;
    EXPECT_EQ(M.MimeType, C.Mime) << C.Name;
  }
  // A header and a body that are each one line of 10 MB (a compared failure would print it all).
  const std::string Long(10u << 20, 'a');
  host::Message M = Parse("From: a\nSubject: " + Long + "\n\n" + Long + "\n");
  EXPECT_TRUE(M.Header("Subject") == Long) << M.Header("Subject").size();
  EXPECT_TRUE(M.Body == Long + "\r\n") << M.Body.size();

  std::string Error;
  EXPECT_FALSE(host::ParseMessage(" \r\n", Error));
  EXPECT_EQ(Error, "empty message");
  EXPECT_FALSE(host::ParseMessage("just some words\n", Error));
  EXPECT_FALSE(host::LoadMessageFile("/nonexistent/x.eml", Error));
  EXPECT_EQ(Error, "cannot read message file '/nonexistent/x.eml'");
}

TEST(MailIds, MatchWhatThePluginDerives) {
  EXPECT_EQ(host::MailId("abc", 255), "abc?00000000000000FF");
  EXPECT_EQ(host::RefValue("abc", 255), "abc>255");
}

}  // namespace
