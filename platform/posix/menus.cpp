// Simulated menus.
#include <map>

#include "desktop.h"
#include "sim.h"

namespace platform {
namespace {

constexpr std::uint32_t kPopup = 0x10;  // MF_POPUP: the item's Id is its submenu

std::map<MenuHandle, std::vector<desktop::MenuItem>> Menus;
MenuHandle NextMenu = 0x20000;

}  // namespace

void sim::ResetMenus() {
  Menus.clear();
  NextMenu = 0x20000;
}

MenuHandle desktop::CreateMenu() {
  const MenuHandle H = NextMenu;
  NextMenu += 4;
  Menus[H];
  return H;
}

void desktop::AppendSubMenu(MenuHandle Menu, std::string Caption, MenuHandle SubMenu) {
  const auto It = Menus.find(Menu);
  if (It != Menus.end()) It->second.push_back({kPopup, SubMenu, std::move(Caption), SubMenu});
}

std::vector<desktop::MenuItem> desktop::MenuItems(MenuHandle Menu) {
  const auto It = Menus.find(Menu);
  return It == Menus.end() ? std::vector<MenuItem>() : It->second;
}

MenuHandle GetSubMenu(MenuHandle Menu, int Position) {
  const auto It = Menus.find(Menu);
  if (It == Menus.end() || Position < 0 || static_cast<std::size_t>(Position) >= It->second.size()) return 0;
  return It->second[static_cast<std::size_t>(Position)].SubMenu;
}

bool AppendMenu(MenuHandle Menu, std::uint32_t Flags, std::uintptr_t Id, std::string_view Caption) {
  const auto It = Menus.find(Menu);
  if (It == Menus.end()) return false;
  It->second.push_back({Flags, Id, std::string(Caption), (Flags & kPopup) != 0 ? Id : 0});
  return true;
}

}  // namespace platform
