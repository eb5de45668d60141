#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "platform/posix/desktop.h"

namespace {

namespace desktop = platform::desktop;
using platform::WindowHandle;

class Desktop : public ::testing::Test {
 protected:
  void SetUp() override { desktop::Reset(); }
  void TearDown() override { desktop::Reset(); }

  static WindowHandle Make(const char* Class, const char* Text, WindowHandle Parent, int Id = 0) {
    return desktop::CreateWindow({Class, Text, {Id, Id * 10, Id + 5, Id * 10 + 20}, Parent, Id, nullptr});
  }
};

TEST_F(Desktop, WindowsAnswerTheirQueries) {
  const auto Top = Make("TForm", "Compose", 0);
  const auto Label = Make("TLabel", "Si&gnature", Top, 7);
  EXPECT_EQ(platform::GetClassName(Label), "TLabel");
  EXPECT_EQ(platform::GetWindowText(Label), "Si&gnature");
  platform::Rect R;
  ASSERT_TRUE(platform::GetWindowRect(Label, R));
  EXPECT_EQ(R.Left, 7);
  EXPECT_EQ(R.Top, 70);
  EXPECT_EQ(R.Right, 12);
  EXPECT_EQ(R.Bottom, 90);
  EXPECT_EQ(platform::GetDlgCtrlID(Label), 7);
  desktop::SetWindowText(Label, "x");
  EXPECT_EQ(platform::GetWindowText(Label), "x");

  EXPECT_EQ(platform::GetClassName(Make(std::string(300, 'c').c_str(), "", 0)).size(), 255u);

  desktop::DestroyWindow(Top);
  EXPECT_FALSE(desktop::IsWindow(Label));
  EXPECT_EQ(platform::GetClassName(Label), "");
  EXPECT_FALSE(platform::GetWindowRect(Label, R));
  EXPECT_EQ(platform::SendMessage(Label, 1, 0, 0), 0);
}

TEST_F(Desktop, EnumChildWindowsGoesDepthFirstInCreationOrder) {
  const auto Top = Make("Top", "", 0);
  const auto A = Make("A", "", Top);
  const auto B = Make("B", "", Top);
  const auto A1 = Make("A1", "", A);
  const auto A1x = Make("A1x", "", A1);
  const auto B1 = Make("B1", "", B);
  Make("Other", "", 0);

  std::vector<WindowHandle> Seen;
  platform::EnumChildWindows(Top, [&Seen](WindowHandle H) {
    Seen.push_back(H);
    return true;
  });
  EXPECT_EQ(Seen, (std::vector<WindowHandle>{A, A1, A1x, B, B1}));

  Seen.clear();
  platform::EnumChildWindows(Top, [&Seen, A1](WindowHandle H) {
    Seen.push_back(H);
    return H != A1;
  });
  EXPECT_EQ(Seen, (std::vector<WindowHandle>{A, A1}));

  // A visitor that destroys what it has not reached yet.
  Seen.clear();
  platform::EnumChildWindows(Top, [&Seen, B](WindowHandle H) {
    Seen.push_back(H);
    desktop::DestroyWindow(B);
    return true;
  });
  EXPECT_EQ(Seen, (std::vector<WindowHandle>{A, A1, A1x}));
}

TEST_F(Desktop, SendMessageCallsTheHandlerAndSwallowsItsExceptions) {
  desktop::WindowInit Init;
  Init.Handler = [](WindowHandle, std::uint32_t M, std::uintptr_t W, std::intptr_t L) -> std::intptr_t {
    if (M == 2) throw std::runtime_error("boom");
    return static_cast<std::intptr_t>(W) + L;
  };
  const auto H = desktop::CreateWindow(std::move(Init));
  EXPECT_EQ(platform::SendMessage(H, 1, 40, 2), 42);
  EXPECT_EQ(platform::SendMessage(H, 2, 40, 2), 0);
}

TEST_F(Desktop, ComboBoxSelectsTheFirstEntryBeginningWithTheText) {
  const auto Form = Make("Form", "", 0);
  const auto Combo = desktop::CreateComboBox(Form, 1001, {0, 0, 10, 10}, {"Default", "Work", "work2", "Private"});
  EXPECT_EQ(platform::GetClassName(Combo), "ComboBox");
  EXPECT_EQ(desktop::ComboSelection(Combo), -1);
  EXPECT_EQ(platform::SendMessage(Combo, desktop::CB_GETCOUNT, 0, 0), 4);

  struct Row {
    std::intptr_t Start;
    const char* Text;
    std::intptr_t Result;
    int Selection;  // afterwards
  } Rows[] = {
      {-1, "work", 1, 1},
      {-1, "WORK2", 2, 2},
      {-1, "pri", 3, 3},
      {-1, "none", desktop::CB_ERR, 3},  // a failed search keeps the selection
      {-1, "", 0, 0},
      {1, "work", 2, 2},  // after the start index...
      {2, "work", 1, 1},  // ...wrapping around
  };
  for (const Row& R : Rows) {
    EXPECT_EQ(platform::SendMessage(Combo, platform::CB_SELECTSTRING, static_cast<std::uintptr_t>(R.Start),
                                    reinterpret_cast<std::intptr_t>(R.Text)),
              R.Result)
        << R.Text;
    EXPECT_EQ(desktop::ComboSelection(Combo), R.Selection) << R.Text;
    EXPECT_EQ(platform::SendMessage(Combo, desktop::CB_GETCURSEL, 0, 0), R.Selection) << R.Text;
  }
  EXPECT_EQ(platform::GetWindowText(Combo), "Work");
  EXPECT_EQ(desktop::ComboEntries(Combo).size(), 4u);
  EXPECT_EQ(platform::SendMessage(Combo, platform::CB_SELECTSTRING, 0, 0), desktop::CB_ERR);  // no text
}

TEST_F(Desktop, MenusHoldSubmenusAndItems) {
  const auto Bar = desktop::CreateMenu();
  std::vector<platform::MenuHandle> Drops;
  for (const char* Caption : {"&File", "&Edit", "&View", "&Tools"}) {
    Drops.push_back(desktop::CreateMenu());
    desktop::AppendSubMenu(Bar, Caption, Drops.back());
  }
  EXPECT_EQ(platform::GetSubMenu(Bar, 3), Drops[3]);
  EXPECT_EQ(platform::GetSubMenu(Bar, 4), 0u);
  EXPECT_EQ(platform::GetSubMenu(Bar, -1), 0u);
  EXPECT_EQ(platform::GetSubMenu(Drops[0], 0), 0u);

  ASSERT_TRUE(platform::AppendMenu(Drops[3], 0, 40001, "Run"));
  const auto Items = desktop::MenuItems(Drops[3]);
  ASSERT_EQ(Items.size(), 1u);
  EXPECT_EQ(Items[0].Id, 40001u);
  EXPECT_EQ(Items[0].Caption, "Run");
  EXPECT_EQ(Items[0].SubMenu, 0u);
  EXPECT_FALSE(platform::AppendMenu(0x999, 0, 1, "x"));
  EXPECT_EQ(desktop::MenuItems(Bar)[1].Caption, "&Edit");
}

TEST_F(Desktop, DialogsWithoutAHandlerTakeTheirDefaults) {
  struct Row {
    std::uint32_t Flags;
    int Button;
  } Rows[] = {
      {platform::MB_OK, platform::IDOK},
      {platform::MB_OKCANCEL | platform::MB_ICONWARNING, platform::IDOK},
      {platform::MB_OKCANCEL | 0x100, platform::IDCANCEL},  // MB_DEFBUTTON2
      {platform::MB_YESNO, 6},
      {platform::MB_YESNO | 0x100, 7},
      {3 | 0x200, platform::IDCANCEL},  // MB_YESNOCANCEL, third button
      {platform::MB_YESNO | 0x200, 6},  // no third button: the first
      {0xF, 0},                         // no such type
  };
  for (const Row& R : Rows) {
    EXPECT_EQ(desktop::DefaultButton(R.Flags), R.Button) << R.Flags;
    EXPECT_EQ(platform::MessageBox(0, "t", "c", R.Flags), R.Button) << R.Flags;
  }
  EXPECT_EQ(platform::InputBox("c", "p", "d"), std::nullopt);
}

TEST_F(Desktop, DialogsGoToTheHandler) {
  const auto Owner = Make("Owner", "", 0);
  desktop::SetActiveWindow(Owner);
  std::vector<desktop::DialogRequest> Seen;
  desktop::DialogAnswer Answer{7, std::nullopt};
  desktop::SetDialogHandler([&](const desktop::DialogRequest& R) {
    Seen.push_back(R);
    return Answer;
  });

  EXPECT_EQ(platform::MessageBox(platform::GetActiveWindow(), "Text", "Caption", platform::MB_YESNO), 7);
  ASSERT_EQ(Seen.size(), 1u);
  EXPECT_EQ(Seen[0].Type, desktop::DialogRequest::Kind::MessageBox);
  EXPECT_EQ(Seen[0].Owner, Owner);
  EXPECT_EQ(Seen[0].Text, "Text");
  EXPECT_EQ(Seen[0].Caption, "Caption");
  EXPECT_EQ(Seen[0].Flags, platform::MB_YESNO);

  Answer = {platform::IDOK, std::string("typed")};
  EXPECT_EQ(platform::InputBox("Cap", "Prompt", "Def"), "typed");
  EXPECT_EQ(Seen[1].Type, desktop::DialogRequest::Kind::InputBox);
  EXPECT_EQ(Seen[1].Caption, "Cap");
  EXPECT_EQ(Seen[1].Text, "Prompt");
  EXPECT_EQ(Seen[1].Default, "Def");
  Answer = {platform::IDOK, std::nullopt};
  EXPECT_EQ(platform::InputBox("Cap", "Prompt", "Def"), "Def");  // OK on the untouched field
  Answer = {platform::IDCANCEL, std::string("ignored")};
  EXPECT_EQ(platform::InputBox("Cap", "Prompt", "Def"), std::nullopt);

  desktop::SetDialogHandler([](const desktop::DialogRequest&) -> desktop::DialogAnswer {
    throw std::runtime_error("handler failure");
  });
  EXPECT_EQ(platform::MessageBox(0, "t", "c", platform::MB_OK), 0);
  EXPECT_EQ(platform::InputBox("c", "p", "d"), std::nullopt);
}

TEST_F(Desktop, AnOpenDialogLetsQueuedMessagesThrough) {
  std::vector<std::uint32_t> Got;
  desktop::WindowInit Init;
  Init.Handler = [&Got](WindowHandle, std::uint32_t M, std::uintptr_t, std::intptr_t) {
    Got.push_back(M);
    return std::intptr_t{0};
  };
  desktop::PostMessage(desktop::CreateWindow(std::move(Init)), 5, 0, 0);
  std::size_t SeenWhileOpen = 99;
  desktop::SetDialogHandler([&](const desktop::DialogRequest&) {
    SeenWhileOpen = Got.size();
    return desktop::DialogAnswer{};
  });
  platform::MessageBox(0, "t", "c", platform::MB_OK);
  EXPECT_EQ(SeenWhileOpen, 1u);
}

TEST_F(Desktop, ForegroundAndActiveWindowsAreAsSet) {
  EXPECT_EQ(platform::GetForegroundWindow(), 0u);
  const auto W = Make("W", "", 0);
  desktop::SetForegroundWindow(W);
  desktop::SetActiveWindow(W);
  EXPECT_EQ(platform::GetForegroundWindow(), W);
  EXPECT_EQ(platform::GetActiveWindow(), W);
  desktop::DestroyWindow(W);
  EXPECT_EQ(platform::GetForegroundWindow(), 0u);
  EXPECT_EQ(platform::GetActiveWindow(), 0u);
}

}  // namespace
