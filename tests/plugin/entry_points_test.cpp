// The exported callbacks, the binding of the host API, and hosts that misbehave.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "plugin_fixture.h"
#include "plugin/entry_points.h"
#include "plugin/plugin_state.h"

namespace {

using plugin_test::PluginFixture;
using plugin_test::Template;

// ---- Binding ----

TEST(Bind, AllOrNothingInSlotOrder) {
  std::vector<std::string> Asked;
  std::string Missing;
  const TBeckyAPI::Resolver Lookup = [&](const char* Name) -> void* {
    Asked.emplace_back(Name);
    static int Target;
    return Missing == Name ? nullptr : &Target;
  };
  TBeckyAPI Api;
  EXPECT_FALSE(Api.Bind(31, Lookup));  // an error code, not a module
  EXPECT_EQ(Api.ModuleHandle, 0u);
  EXPECT_TRUE(Asked.empty());

  Missing = "BKA_GetCurrentMail";
  EXPECT_FALSE(Api.Bind(0x400000, Lookup));
  EXPECT_EQ(Api.ModuleHandle, 0u);
  ASSERT_EQ(Asked.size(), 15u);  // stopped at the first missing name
  EXPECT_EQ(Asked.front(), "BKA_GetVersion");

  Asked.clear();
  Missing.clear();
  EXPECT_TRUE(Api.Bind(0x400000, Lookup));
  ASSERT_EQ(Asked.size(), 54u);  // from the first name again
  for (int I = 0; I < kBeckyApiCount; ++I) EXPECT_EQ(Asked[static_cast<std::size_t>(I)], kBeckyApiNames[I]);
  EXPECT_NE(Api.BKA_Connect, nullptr);

  Asked.clear();
  EXPECT_TRUE(Api.Bind(0x400000, Lookup));  // bound already: nothing is looked up
  EXPECT_TRUE(Api.Bind());
  EXPECT_TRUE(Asked.empty());
}

TEST(Bind, TheLibraryRefusesAHostThatLacksAnyName) {
  host::HeadlessHost Host;
  for (const char* Name : kBeckyApiNames) {
    EXPECT_FALSE(Host.LoadPlugin(host::BkaResolver(Name))) << Name;
    Host.UnloadPlugin();
  }
  EXPECT_TRUE(Host.LoadPlugin(host::BkaResolver()));
  EXPECT_TRUE(State().BkApi->Bound());
  Host.UnloadPlugin();
  EXPECT_EQ(State().BkApi, nullptr);
}

// ---- The callbacks ----

class EntryPoints : public PluginFixture {};

TEST_F(EntryPoints, MenuItemOnComposeMenusOnly) {
  const platform::MenuHandle Tools = platform::GetSubMenu(Host->ComposeMenu(), 3);
  EXPECT_EQ(Host->MenuInit(Host->MainWindow(), Host->ComposeMenu(), 4), 0);
  EXPECT_TRUE(platform::desktop::MenuItems(Tools).empty());
  EXPECT_TRUE(Host->Commands().empty());

  EXPECT_EQ(Host->MenuInit(Host->MainWindow(), Host->ComposeMenu(), 10), 0);
  const std::vector<platform::desktop::MenuItem> Items = platform::desktop::MenuItems(Tools);
  ASSERT_EQ(Items.size(), 1u);
  ASSERT_EQ(Host->Commands().size(), 1u);
  EXPECT_EQ(Items[0].Caption, "Run VESK Script");
  EXPECT_EQ(Items[0].Flags, 0u);
  EXPECT_EQ(Items[0].Id, static_cast<std::uintptr_t>(Host->Commands()[0].Id));
  EXPECT_EQ(Host->Commands()[0].MenuType, 10);
  for (int M : {0, 1, 2, 4}) {
    EXPECT_TRUE(platform::desktop::MenuItems(platform::GetSubMenu(Host->ComposeMenu(), M)).empty()) << M;
  }

  // Picking the command runs the window's template, with the mode of the last window opened.
  host::ComposeWindow& W = Open(Template({"Println(CompMode);"}), {}, 3);
  ASSERT_TRUE(Host->PickCommand(Host->Commands()[0].Id, W.Window));
  EXPECT_EQ(W.Text, "COMP_TEMPLATE\r\n");
}

TEST_F(EntryPoints, InformationSetupAndTheIdleCallbacks) {
  EXPECT_EQ(Host->PlugInInfo(), (std::vector<std::string>{"Veskera", "The Veskera developers", "1.0.0 Beta 9a",
                                                          "Adds programmable template to Becky!2"}));
  TBeckyPlugInInfo Info;
  std::memset(&Info, 0x7F, sizeof Info);
  EXPECT_EQ(BKC_OnPlugInInfo(&Info), 0);
  for (const char* Field : {Info.Name, Info.Vendor, Info.Version, Info.Description}) {
    EXPECT_NE(std::memchr(Field, '\0', 80), nullptr);
  }
  EXPECT_EQ(BKC_OnPlugInInfo(nullptr), 0);

  EXPECT_EQ(Host->PlugInSetup(Host->MainWindow()), 1);
  ASSERT_EQ(Dialogs().size(), 1u);
  const platform::desktop::DialogRequest& About = Dialogs()[0].Request;
  EXPECT_EQ(About.Caption, "Information");
  EXPECT_EQ(About.Flags, platform::MB_OK | platform::MB_ICONINFORMATION);
  EXPECT_EQ(About.Text.rfind("Veskera (VESK) Plug-In.\r\n", 0), 0u);
  EXPECT_EQ(SplitLines(About.Text).size(), 3u);
  EXPECT_EQ(About.Text.find('\n'), About.Text.find("\r\n") + 1);  // CR LF between the lines

  EXPECT_EQ(BKC_OnOpenFolder("f"), 0);
  EXPECT_EQ(BKC_OnOpenMail("m"), 0);
  EXPECT_EQ(BKC_OnEveryMinute(), 0);
  EXPECT_EQ(BKC_OnOutgoing(0, 0), 0);
  EXPECT_EQ(BKC_OnKeyDispatch(0, 0, 0), 0);
  EXPECT_EQ(BKC_OnRetrieve("", ""), 0);
  EXPECT_EQ(BKC_OnSend(""), 0);
  EXPECT_EQ(BKC_OnFinishRetrieve(0), 0);
  EXPECT_EQ(Dialogs().size(), 1u);
}

// Ver and Beta, from the host's version text and the file version of "B2.exe".
TEST(Version, VerAndBeta) {
  struct Case {
    std::optional<std::string> FileVersion;
    const char* Beta;
  };
  const Case Cases[] = {{"2.05.10", "10"}, {"7", "7"}, {"", ""}, {std::nullopt, "Error"}};
  for (const Case& C : Cases) {
    host::HostOptions Options;
    Options.Version = "2.75.03 (x86)";
    Options.FileVersion = C.FileVersion;
    host::HeadlessHost Host(Options);
    ASSERT_TRUE(Host.LoadPlugin(host::BkaResolver()));
    Host.Start();
    host::ComposeWindow& W = Host.CreateCompose(Template({"Println(Ver + '|' + Beta);"}));
    Host.OpenCompose(W.Window, 0);
    EXPECT_EQ(W.Text, std::string("2.75.03 (x86)|") + C.Beta + "\r\n") << C.Beta;
    EXPECT_TRUE(Host.Log().Dialogs.empty());
    Host.Exit();
    Host.UnloadPlugin();
  }
}

// ---- Hosts that misbehave ----

// The host's real functions, looked up once.
void* Real(const char* Name) { return host::BkaResolver()(Name); }

template <typename F>
F RealAs(const char* Name) {
  F Function;
  void* Address = Real(Name);
  std::memcpy(&Function, &Address, sizeof Function);
  return Function;
}

template <typename F>
void* AddressOf(F* Function) {
  void* Address;
  std::memcpy(&Address, &Function, sizeof Address);
  return Address;
}

int gAllocationsLeft = -1;  // -1: never fail

void* PLATFORM_STDCALL CountedAlloc(int Size) {
  if (gAllocationsLeft == 0) return nullptr;
  if (gAllocationsLeft > 0) --gAllocationsLeft;
  return RealAs<TBKA_Alloc>("BKA_Alloc")(Size);
}

// Fills the whole block, leaving no NUL in it.
void PLATFORM_STDCALL OverfillHeader(const char*, char* Block, int Size) { std::memset(Block, 'x', static_cast<std::size_t>(Size)); }
char* PLATFORM_STDCALL NullText(char*, int) { return nullptr; }
char* PLATFORM_STDCALL NullComposeText(platform::WindowHandle, char*, int) { return nullptr; }

class Misbehaving : public PluginFixture {
 protected:
  // Reloads the plug-in over a host whose function Name is replaced by Address.
  void Replace(std::vector<std::pair<std::string, void*>> Replacements) {
    Host->Exit();
    Host->UnloadPlugin();
    ASSERT_TRUE(Host->LoadPlugin([Replacements](const char* Name) -> void* {
      for (const auto& [N, A] : Replacements) {
        if (N == Name) return A;
      }
      return Real(Name);
    }));
    Host->Start();
  }
  void TearDown() override {
    gAllocationsLeft = -1;
    PluginFixture::TearDown();
  }
};

TEST_F(Misbehaving, BlocksFilledToTheEndAndNullTexts) {
  Replace({{"BKA_GetSpecifiedHeader", AddressOf(&OverfillHeader)}, {"BKA_GetText", AddressOf(&NullText)}});
  host::ComposeWindow& W = Open(Template({"Println(IntToStr(Length(refFrom)) + ' ' + refLines);",
                                          "Println(IntToStr(Length(GetHeader('Subject'))));"}),
                                Refer("f", 1, host::Message{}));
  EXPECT_EQ(W.Text, "256 0\r\n256\r\n");
  EXPECT_TRUE(Dialogs().empty());

  Replace({{"BKA_CompGetText", AddressOf(&NullComposeText)}});
  Host->Log().TextsSet.clear();
  host::ComposeWindow& N = Open(Template({"Println('x');"}));
  EXPECT_EQ(N.Text, Template({"Println('x');"}));
  EXPECT_TRUE(Host->Log().TextsSet.empty());
  EXPECT_TRUE(Dialogs().empty());
}

// Every block the host cannot give, wherever in a run it is asked for, ends in at most one
// message and leaves nothing behind.
TEST_F(Misbehaving, NoBlockFromTheHostAtEachPointOfARun) {
  Replace({{"BKA_Alloc", AddressOf(&CountedAlloc)}});
  const std::string Text = Template({"Println(GetHeader('Subject') + CompGetHeader('To'));", "Println(refSub);"});
  bool Completed = false;
  int Failures = 0;
  for (int Allowed = 0; Allowed < 20 && !Completed; ++Allowed) {
    Host->Log().Dialogs.clear();
    gAllocationsLeft = Allowed;
    host::ComposeWindow& W = Open(Text, Refer("f", 5, host::Message{{{"Subject", "S"}}, "b", "text/plain"}));
    gAllocationsLeft = -1;
    EXPECT_LE(Dialogs().size(), 1u) << Allowed;
    for (const char* Name : {"refFrom", "refLines", "CompMode", "Now", "DoW"}) {
      EXPECT_EQ(State().PPA1->Values.Find(Name), nullptr) << Allowed << " " << Name;
    }
    EXPECT_EQ(platform::GetCurrentDirectory(), StartDirectory);
    Completed = Dialogs().empty();
    if (Completed) {
      EXPECT_EQ(W.Text, "\r\nS\r\n");
    } else {
      ++Failures;
      // Either the template is still there or the failing routine's message was shown.
      EXPECT_TRUE(W.Text == Text || W.Text.empty()) << Allowed;
    }
  }
  EXPECT_TRUE(Completed);
  EXPECT_GT(Failures, 3);
}

}  // namespace
