// Limits through the headless host: a template that exhausts memory, lines of many megabytes in a
// template or a message, and host texts that are huge or all markup.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "interpreter/messages.h"
#include "plugin/dialogs.h"
#include "plugin_fixture.h"

namespace {

using plugin_test::PluginFixture;
using plugin_test::Template;

class Limits : public PluginFixture {
 protected:
  host::HeaderList Body(std::string Text, std::string MimeType = "text/plain") {
    host::Message M;
    M.Headers = {{"From", "alice@example.com"}, {"Subject", "Big"}};
    M.Body = std::move(Text);
    M.MimeType = std::move(MimeType);
    return Refer("inbox", ++Messages, std::move(M));
  }
  std::uint32_t Messages = 0;
};

TEST_F(Limits, ExhaustingMemoryEndsInTheErrorDialogAndTheNextRunWorks) {
  host::ComposeWindow& W = Open(Template({"VAR s: String;", "BEGIN", "Println('lost');", "s := 'x'; WHILE True DO s := s + s;", "END"}));
  EXPECT_EQ(W.Text, "");
  ASSERT_EQ(Dialogs().size(), 1u);
  EXPECT_EQ(Dialogs()[0].Request.Text, kRunFailedMessage);
  EXPECT_EQ(State().LastRunError, ppa_messages::kOutOfMemory);
  EXPECT_FALSE(State().RunInProgress);

  host::ComposeWindow& Next = Open(Template({"Println('again');"}));
  EXPECT_EQ(Next.Text, "again\r\n");
  EXPECT_EQ(Dialogs().size(), 1u);
}

TEST_F(Limits, LinesOfTenMegabytes) {
  const std::string Long(10u << 20, 'a');
  host::ComposeWindow& T = Open(Template({"Println('" + Long + "' + refLines);"}));
  EXPECT_EQ(T.Text, Long + "\r\n");
  host::ComposeWindow& M = Open(Template({"OriginalMessage('> ');"}), Body(Long));
  EXPECT_EQ(M.Text, "> " + Long + "\r\n");
  EXPECT_TRUE(Dialogs().empty());
}

TEST_F(Limits, HugeAndAllMarkupBodies) {
  std::string Huge;
  const std::string Line = std::string(98, 'x') + "\r\n";
  while (Huge.size() < (100u << 20)) Huge += Line;
  const std::string Lines = std::to_string(Huge.size() / Line.size());
  std::string Tags;
  while (Tags.size() < (10u << 20)) Tags += "<html><body><div class=\"x\"><span></span></div></body></html>";
  std::string Breaks, Empty;
  for (int K = 0; K < 1000; ++K) Breaks += "<b><br></b>", Empty += "\r\n";
  struct Case {
    const char* What;
    std::string Body, MimeType, Text;
  } Cases[] = {
      {"100 MB of lines", Huge, "text/plain", Lines + "\r\n" + Line + Huge},
      {"10 MB of tags", Tags, "text/html", "0\r\n"},
      {"tags that break lines", Breaks, "text/html", "1000\r\n\r\n" + Empty},
  };
  for (const Case& C : Cases) {
    host::ComposeWindow& W =
        Open(Template({"Println(refLines);", "IF refLines <> '0' THEN Println(StringAt(StrToInt(refLines)));",
                       "OriginalMessage('');"}),
             Body(C.Body, C.MimeType));
    // Not EXPECT_EQ: a failure would print both texts.
    EXPECT_TRUE(W.Text == C.Text) << C.What << ": " << W.Text.size() << " bytes, " << W.Text.substr(0, 40);
    EXPECT_TRUE(Dialogs().empty()) << C.What;
  }
}

}  // namespace
