// A headless host with the plug-in loaded and started, over a data folder of its own.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "host/headless_host.h"
#include "platform/platform.h"
#include "platform/posix/desktop.h"
#include "plugin/plugin_state.h"

namespace plugin_test {

// A template of the given program lines, the marker line first, CR LF after every line.
inline std::string Template(const std::vector<std::string>& Lines) {
  std::string Text = "// BEGIN_VESK\r\n";
  for (const std::string& L : Lines) Text += L + "\r\n";
  return Text;
}

class PluginFixture : public ::testing::Test {
 protected:
  // The host options a test starts with; change them in the test's constructor.
  host::HostOptions Options;

  void SetUp() override {
    char Pattern[] = "/tmp/veskera-plugin-XXXXXX";
    ASSERT_NE(mkdtemp(Pattern), nullptr);
    Folder = Pattern;
    Options.DataFolder = Folder;
    StartDirectory = platform::GetCurrentDirectory();
    Host = std::make_unique<host::HeadlessHost>(Options);
    platform::desktop::SetLocale(platform::desktop::Locale::EnUS);
    ASSERT_TRUE(Host->LoadPlugin(host::BkaResolver()));
    ASSERT_EQ(Host->Start(), 0);
  }

  void TearDown() override {
    if (Host) {
      Host->Exit();
      Host->UnloadPlugin();
      Host.reset();
    }
    std::error_code Ignored;
    std::filesystem::remove_all(Folder, Ignored);
  }

  // Opens a compose window with Text (in Mode) and returns it after the run.
  host::ComposeWindow& Open(const std::string& Text, host::HeaderList Headers = {}, int Mode = 0) {
    host::ComposeWindow& W = Host->CreateCompose(Text, std::move(Headers));
    EXPECT_EQ(Host->OpenCompose(W.Window, Mode), 0);
    return W;
  }

  // Adds a message to the store and gives the X-Becky-Ref header that refers to it.
  host::HeaderList Refer(const std::string& Folder_, std::uint32_t Number, host::Message M) {
    Host->AddMessage(host::MailId(Folder_, Number), std::move(M));
    return {{"X-Becky-Ref", host::RefValue(Folder_, Number)}};
  }

  std::string PathIn(const std::string& Name) const { return (std::filesystem::path(Folder) / Name).string(); }

  const std::vector<host::Dialog>& Dialogs() const { return Host->Log().Dialogs; }

  // The texts of every dialog shown.
  std::vector<std::string> DialogTexts() const {
    std::vector<std::string> Texts;
    for (const host::Dialog& D : Dialogs()) Texts.push_back(D.Request.Text);
    return Texts;
  }

  std::string Folder;
  std::string StartDirectory;
  std::unique_ptr<host::HeadlessHost> Host;
};

}  // namespace plugin_test
