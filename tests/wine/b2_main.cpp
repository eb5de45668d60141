// B2.exe [--template FILE] [--mode N] [--ref VALUE] [--answer TEXT]... [--press ID] [--menu]
//        [--info] [--setup]
//
// Loads Veskera.dll, opens a compose window holding FILE's text and drives the plug-in as the mail
// client would: BKC_OnStart, BKC_OnMenuInit for a main-window menu (type 4) and for the compose
// window's menu (type 10), BKC_OnOpenCompose in mode N, then on request the menu command the
// plug-in added, BKC_OnPlugInInfo and BKC_OnPlugInSetup, and last BKC_OnExit. Every event goes to
// stdout as one line.
#include <fcntl.h>
#include <io.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "b2_host.h"

namespace b2 {

Host& TheHost() {
  static Host host;
  return host;
}

void Log(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vfprintf(stdout, format, args);
  va_end(args);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

std::string Quote(std::string_view text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c >= 0x7F) {
          char hex[8];
          std::snprintf(hex, sizeof hex, "\\x%02X", c);
          out += hex;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string ClassOf(HWND window) {
  char name[256] = "";
  GetClassNameA(window, name, sizeof name);
  return name;
}

std::string TextOf(HWND window) {
  char text[1024] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

std::string NameOf(HWND window) {
  if (window == nullptr) return "null";
  if (window == TheHost().compose) return "compose";
  char name[32];
  std::snprintf(name, sizeof name, "%p", static_cast<void*>(window));
  return name;
}

}  // namespace b2

namespace {

using b2::Log;
using b2::Quote;
using b2::TheHost;

struct Options {
  std::string templateFile;
  int mode = 0;
  std::string ref;
  bool menu = false;
  bool info = false;
  bool setup = false;
};

// The plug-in's exports. Their arguments are 32-bit values on the client's side; on x86_64 each
// still travels in its own register, so the natural types are used here.
struct Plugin {
  int(WINAPI* OnStart)();
  int(WINAPI* OnExit)();
  int(WINAPI* OnMenuInit)(HWND, HMENU, int);
  int(WINAPI* OnOpenFolder)(const char*);
  int(WINAPI* OnOpenMail)(const char*);
  int(WINAPI* OnEveryMinute)();
  int(WINAPI* OnOpenCompose)(HWND, int);
  int(WINAPI* OnOutgoing)(HWND, int);
  int(WINAPI* OnKeyDispatch)(HWND, int, int);
  int(WINAPI* OnRetrieve)(const char*, const char*);
  int(WINAPI* OnSend)(const char*);
  int(WINAPI* OnFinishRetrieve)(int);
  int(WINAPI* OnPlugInSetup)(HWND);
  int(WINAPI* OnPlugInInfo)(void*);
};

constexpr int kSignatureComboId = 1234;
bool recordCommands = false;

template <typename F>
bool bind(HMODULE dll, const char* name, F& slot) {
  slot = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
  if (slot == nullptr) Log("missing export %s", name);
  return slot != nullptr;
}

bool bindPlugin(HMODULE dll, Plugin& p) {
  bool ok = bind(dll, "BKC_OnStart", p.OnStart);
  ok &= bind(dll, "BKC_OnExit", p.OnExit);
  ok &= bind(dll, "BKC_OnMenuInit", p.OnMenuInit);
  ok &= bind(dll, "BKC_OnOpenFolder", p.OnOpenFolder);
  ok &= bind(dll, "BKC_OnOpenMail", p.OnOpenMail);
  ok &= bind(dll, "BKC_OnEveryMinute", p.OnEveryMinute);
  ok &= bind(dll, "BKC_OnOpenCompose", p.OnOpenCompose);
  ok &= bind(dll, "BKC_OnOutgoing", p.OnOutgoing);
  ok &= bind(dll, "BKC_OnKeyDispatch", p.OnKeyDispatch);
  ok &= bind(dll, "BKC_OnRetrieve", p.OnRetrieve);
  ok &= bind(dll, "BKC_OnSend", p.OnSend);
  ok &= bind(dll, "BKC_OnFinishRetrieve", p.OnFinishRetrieve);
  ok &= bind(dll, "BKC_OnPlugInSetup", p.OnPlugInSetup);
  ok &= bind(dll, "BKC_OnPlugInInfo", p.OnPlugInInfo);
  return ok;
}

bool parse(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    bool hasValue = i + 1 < argc;
    if (arg == "--template" && hasValue) {
      options.templateFile = argv[++i];
    } else if (arg == "--mode" && hasValue) {
      options.mode = std::atoi(argv[++i]);
    } else if (arg == "--ref" && hasValue) {
      options.ref = argv[++i];
    } else if (arg == "--answer" && hasValue) {
      b2::QueueAnswer(argv[++i]);
    } else if (arg == "--press" && hasValue) {
      b2::PressInDialogs(std::atoi(argv[++i]));
    } else if (arg == "--menu") {
      options.menu = true;
    } else if (arg == "--info") {
      options.info = true;
    } else if (arg == "--setup") {
      options.setup = true;
    } else {
      std::fprintf(stderr, "B2.exe: bad argument %s\n", arg.c_str());
      return false;
    }
  }
  return true;
}

// The compose editor holds CR LF line ends, whatever the file has.
std::string readTemplate(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  std::string text;
  for (char c : bytes.str()) {
    if (c == '\r') continue;
    if (c == '\n') text += '\r';
    text += c;
  }
  return text;
}

std::string exeFolder() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder = path;
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

// A current message and two messages that compose windows refer to through "X-Becky-Ref":
// "Inbox>42" (plain text) and "Html>7".
void fillMailStore(b2::Host& host) {
  b2::Mail current;
  current.headers["From"] = "Carol <carol@example.com>";
  current.headers["Subject"] = "Current";
  current.body = "current body\r\n";
  current.mime = "text/plain";
  host.mails["Inbox?0000000000000001"] = current;
  host.currentMail = "Inbox?0000000000000001";

  b2::Mail reply;
  reply.headers["From"] = "Alice <alice@example.com>";
  reply.headers["Date"] = "Mon, 01 Jan 2024 09:00:00 +0900";
  reply.headers["To"] = "Bob <bob@example.com>";
  reply.headers["Subject"] = "Lunch";
  reply.body = "Line one\r\nLine two\r\n";
  reply.mime = "text/plain";
  host.mails["Inbox?000000000000002A"] = reply;

  b2::Mail html;
  html.headers["From"] = "Dave <dave@example.com>";
  html.body = "<p>a&lt;b</p>x<br>y";
  html.mime = "text/html";
  host.mails["Html?0000000000000007"] = html;
}

void prepareDataFolder(b2::Host& host) {
  host.dataFolder = exeFolder() + "Data\\";
  CreateDirectoryA(host.dataFolder.c_str(), nullptr);
  std::ofstream note(host.dataFolder + "note.txt", std::ios::binary);
  note << "first\r\nsecond\r\n";
}

LRESULT CALLBACK composeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && recordCommands) {
    auto from = reinterpret_cast<HWND>(lParam);
    std::string selected;
    if (from != nullptr && from == TheHost().signatureCombo) {
      LRESULT index = SendMessageA(from, CB_GETCURSEL, 0, 0);
      char text[256] = "";
      if (index != CB_ERR) SendMessageA(from, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
      selected = " selected=" + Quote(text);
    }
    Log("WM_COMMAND id=%u code=%u from=%s%s", LOWORD(wParam), HIWORD(wParam),
        from == TheHost().signatureCombo ? "signature-combo" : b2::NameOf(from).c_str(), selected.c_str());
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// A menu bar of four drop-down menus, each with one item of its own.
HMENU makeMenuBar() {
  static const char* const kMenus[][2] = {
      {"&File", "&Send"}, {"&Edit", "&Undo"}, {"&View", "&Header"}, {"&Tools", "&Spell Check"}};
  HMENU bar = CreateMenu();
  UINT id = 100;
  for (const auto& menu : kMenus) {
    HMENU popup = CreatePopupMenu();
    AppendMenuA(popup, MF_STRING, id++, menu[1]);
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), menu[0]);
  }
  return bar;
}

std::vector<int> itemCounts(HMENU bar) {
  std::vector<int> counts;
  for (int i = 0; i < GetMenuItemCount(bar); ++i) counts.push_back(GetMenuItemCount(GetSubMenu(bar, i)));
  return counts;
}

std::string itemText(HMENU menu, int position) {
  char text[256] = "";
  GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
  return text;
}

const b2::Command* commandWithId(int id) {
  for (const b2::Command& command : TheHost().commands)
    if (command.id == id) return &command;
  return nullptr;
}

// Records every item that BKC_OnMenuInit added to BAR since COUNTS were taken.
void logNewItems(HMENU bar, const std::vector<int>& counts, const char* label) {
  bool changed = GetMenuItemCount(bar) != static_cast<int>(counts.size());
  for (int i = 0; i < static_cast<int>(counts.size()); ++i) {
    HMENU popup = GetSubMenu(bar, i);
    for (int k = counts[i]; k < GetMenuItemCount(popup); ++k) {
      changed = true;
      int id = static_cast<int>(GetMenuItemID(popup, k));
      const b2::Command* command = commandWithId(id);
      Log("MENU %s: menu %d gained %s id=%d %s", label, i + 1, Quote(itemText(popup, k)).c_str(), id,
          command != nullptr ? "(registered)" : "(not registered)");
    }
  }
  if (!changed) Log("MENU %s: unchanged", label);
}

// Picks the item "Run VESK Script" of the fourth drop-down menu, found in the real menu, as a
// user would: the host calls the callback registered under the item's identifier.
void pickRunItem(HMENU bar, HWND compose) {
  HMENU tools = GetSubMenu(bar, 3);
  for (int k = 0; k < GetMenuItemCount(tools); ++k) {
    if (itemText(tools, k) != "Run VESK Script") continue;
    const b2::Command* command = commandWithId(static_cast<int>(GetMenuItemID(tools, k)));
    if (command == nullptr || command->callback == nullptr) {
      Log("PICK: the item has no registered callback");
      return;
    }
    Log("PICK %s", Quote(command->caption).c_str());
    command->callback(compose, 0);
    Log("PICK returned");
    return;
  }
  Log("PICK: no item \"Run VESK Script\" in menu 4");
}

HWND child(HWND parent, const char* cls, const char* text, DWORD style, int x, int y, int w, int h, int id) {
  return CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
}

// The compose window: a "To" box on the first line, the signature label and its combo box on the
// second, and a decoy combo box below that must not be taken for the signature box.
HWND openCompose(HMENU bar) {
  WNDCLASSA cls = {};
  cls.lpfnWndProc = composeProc;
  cls.hInstance = GetModuleHandleA(nullptr);
  cls.lpszClassName = "B2Compose";
  cls.hCursor = LoadCursor(nullptr, IDC_ARROW);
  RegisterClassA(&cls);
  HWND compose = CreateWindowExA(0, "B2Compose", "Compose", WS_OVERLAPPEDWINDOW, 100, 100, 640, 480, nullptr,
                                 bar, GetModuleHandleA(nullptr), nullptr);
  TheHost().compose = compose;
  child(compose, "Static", "&To:", 0, 10, 10, 80, 20, 1001);
  child(compose, "Edit", "bob@example.com", WS_BORDER, 100, 10, 300, 20, 1002);
  child(compose, "Static", "Si&gnature", 0, 10, 40, 80, 20, 1003);
  HWND combo = child(compose, "ComboBox", "", CBS_DROPDOWNLIST | WS_VSCROLL, 100, 40, 200, 200, kSignatureComboId);
  for (const char* name : {"Default", "Business", "Private"})
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  SendMessageA(combo, CB_SETCURSEL, 0, 0);
  TheHost().signatureCombo = combo;
  HWND decoy = child(compose, "ComboBox", "", CBS_DROPDOWNLIST, 100, 70, 200, 200, 1005);
  SendMessageA(decoy, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Business decoy"));
  ShowWindow(compose, SW_SHOW);
  UpdateWindow(compose);
  SetForegroundWindow(compose);
  SetActiveWindow(compose);
  Log("FOREGROUND %s active=%s", b2::NameOf(GetForegroundWindow()).c_str(), b2::NameOf(GetActiveWindow()).c_str());
  return compose;
}

HWND openMainWindow(HMENU bar) {
  WNDCLASSA cls = {};
  cls.lpfnWndProc = DefWindowProcA;
  cls.hInstance = GetModuleHandleA(nullptr);
  cls.lpszClassName = "B2Main";
  RegisterClassA(&cls);
  return CreateWindowExA(0, "B2Main", "B2", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, nullptr, bar,
                         GetModuleHandleA(nullptr), nullptr);
}

std::string fieldText(const char* field) {
  const void* end = std::memchr(field, '\0', 80);
  return end == nullptr ? "(no NUL within 80 bytes)" : Quote(field);
}

void plugInInfo(const Plugin& plugin) {
  char record[4][80];
  std::memset(record, 0x7E, sizeof record);
  int result = plugin.OnPlugInInfo(record);
  Log("BKC_OnPlugInInfo=%d name=%s version=%s description=%s", result, fieldText(record[0]).c_str(),
      fieldText(record[2]).c_str(), fieldText(record[3]).c_str());
  Log("BKC_OnPlugInInfo vendor=%s", fieldText(record[1]).c_str());
}

// The eight callbacks that do nothing must still answer 0.
void idleCallbacks(const Plugin& p) {
  int results[] = {p.OnOpenFolder(""), p.OnOpenMail(""), p.OnEveryMinute(), p.OnOutgoing(nullptr, 0),
                   p.OnKeyDispatch(nullptr, 0, 0), p.OnRetrieve("", ""), p.OnSend(""), p.OnFinishRetrieve(0)};
  std::string line;
  for (int r : results) line.append(" ").append(std::to_string(r));
  Log("idle callbacks:%s", line.c_str());
}

std::string currentDirectory() {
  char path[MAX_PATH] = "";
  GetCurrentDirectoryA(MAX_PATH, path);
  return path;
}

std::string comboSelection(HWND combo) {
  LRESULT index = SendMessageA(combo, CB_GETCURSEL, 0, 0);
  char text[256] = "";
  if (index != CB_ERR) SendMessageA(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  // Records must reach the script byte for byte: no CR added before each LF.
  _setmode(_fileno(stdout), _O_BINARY);
  Options options;
  if (!parse(argc, argv, options)) return 2;

  b2::Host& host = TheHost();
  fillMailStore(host);
  prepareDataFolder(host);
  if (!options.templateFile.empty()) host.composeText = readTemplate(options.templateFile);
  if (!options.ref.empty()) host.composeHeaders["X-Becky-Ref"] = options.ref;
  host.composeHeaders["To"] = "bob@example.com";

  HMODULE dll = LoadLibraryA("Veskera.dll");
  if (dll == nullptr) {
    Log("LOAD failed error=%lu", GetLastError());
    return 3;
  }
  Log("LOAD ok");
  Plugin plugin;
  if (!bindPlugin(dll, plugin)) return 4;

  std::string directory = currentDirectory();
  HMENU mainMenu = makeMenuBar();
  HWND mainWindow = openMainWindow(mainMenu);
  HMENU composeMenu = makeMenuBar();
  HWND compose = openCompose(composeMenu);
  b2::StartAnsweringDialogs();
  recordCommands = true;

  Log("BKC_OnStart=%d", plugin.OnStart());
  std::vector<int> counts = itemCounts(mainMenu);
  Log("BKC_OnMenuInit(type 4)=%d", plugin.OnMenuInit(mainWindow, mainMenu, 4));
  logNewItems(mainMenu, counts, "type 4");
  counts = itemCounts(composeMenu);
  Log("BKC_OnMenuInit(type 10)=%d", plugin.OnMenuInit(compose, composeMenu, 10));
  logNewItems(composeMenu, counts, "type 10");

  Log("BKC_OnOpenCompose(mode %d)=%d", options.mode, plugin.OnOpenCompose(compose, options.mode));
  if (options.menu) pickRunItem(composeMenu, compose);
  if (options.info) {
    plugInInfo(plugin);
    idleCallbacks(plugin);
  }
  if (options.setup) Log("BKC_OnPlugInSetup=%d", plugin.OnPlugInSetup(compose));

  Log("END text=%s signature=%s directory=%s", Quote(host.composeText).c_str(),
      Quote(comboSelection(host.signatureCombo)).c_str(), currentDirectory() == directory ? "unchanged" : "changed");
  Log("BKC_OnExit=%d", plugin.OnExit());
  recordCommands = false;
  DestroyWindow(compose);
  DestroyWindow(mainWindow);
  FreeLibrary(dll);
  Log("BKA_Alloc blocks not freed: %lu", static_cast<unsigned long>(host.blocks.size()));
  return 0;
}
