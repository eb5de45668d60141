// The headless host: a stand-in for the mail client that runs the plug-in without a screen.
//
// It keeps a message store, compose windows built in the simulated desktop, the compose menu and
// the commands the plug-in registers, and records everything the plug-in asks of it. The 54 BKA_
// functions (bka_functions.cpp) are exported from the executable and act on the one HeadlessHost
// that is alive; the plug-in binds them by name as it would in the client.
//
// All texts are in the system code page unless a name says otherwise.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/desktop.h"
#include "plugin/becky_api.h"

namespace host {

// ---- Messages ----

using HeaderList = std::vector<std::pair<std::string, std::string>>;

struct Message {
  HeaderList Headers;  // decoded, in file order
  std::string Body;
  std::string MimeType = "text/plain";  // or "text/html"

  // The first header of that name (letter case ignored); "" when absent.
  std::string Header(std::string_view Name) const;
};

// A message read from RFC 5322 text: headers decoded (RFC 2047), the body decoded from its
// transfer encoding and charset; a multipart message gives its first text/plain part, else its
// first text/html part. Texts end up in the system code page. On failure Error says why.
std::optional<Message> ParseMessage(std::string_view Rfc5322, std::string& Error);
// The same over a file; Error names the file.
std::optional<Message> LoadMessageFile(const std::string& Path, std::string& Error);

// The mail identifier the plug-in derives from a compose window's "X-Becky-Ref" value:
// FOLDER ">" decimal number becomes FOLDER "?" 16 upper-case hex digits.
std::string MailId(std::string_view Folder, std::uint32_t Number);
std::string RefValue(std::string_view Folder, std::uint32_t Number);

// ---- The record of what the plug-in did ----

struct WindowMessage {
  platform::WindowHandle Window = 0;
  std::uint32_t Message = 0;
  std::uintptr_t WParam = 0;
  std::intptr_t LParam = 0;
};

struct Dialog {
  platform::desktop::DialogRequest Request;
  platform::desktop::DialogAnswer Answer;
};

struct StatusText {
  platform::WindowHandle Window = 0;  // 0 for the main window
  std::string Text;
};

struct Record {
  // Every host function called, in order, as "BKA_Name(arg, ...)" (texts unquoted).
  std::vector<std::string> Calls;
  std::vector<std::string> TextsSet;          // BKA_CompSetText, every call
  HeaderList HeadersSet;                      // BKA_CompSetSpecifiedHeader, every call
  std::vector<std::string> Attachments;       // BKA_CompAttachFile paths, as passed
  std::vector<std::string> Commands;          // BKA_Command texts ("CsrDown", "Refresh")
  std::vector<StatusText> StatusTexts;        // BKA_SetMessageText
  std::vector<std::string> CurrentMailChanges;  // BKA_SetCurrentMail identifiers
  std::vector<WindowMessage> Messages;        // every message a compose window received
  std::vector<Dialog> Dialogs;                // every message box and input box
};

// ---- Compose windows and commands ----

inline constexpr const char* kComposeClassName = "BeckyComposeWindow";
inline constexpr int kSignatureComboId = 1040;

struct ComposeWindow {
  platform::WindowHandle Window = 0;
  platform::WindowHandle SignatureLabel = 0;  // static "Si&gnature"
  platform::WindowHandle SignatureCombo = 0;  // on the label's line
  std::string Text;
  HeaderList Headers;  // current values, in the order first set; names compared ignoring case
  std::vector<std::string> Attachments;
  int CaretLine = 1;         // back to 1 whenever the text is replaced
  bool CaretMoved = false;   // a "CsrDown" arrived since the text was last replaced

  std::string Header(std::string_view Name) const;
  // The entry the signature box has selected, or nullopt.
  std::optional<std::string> SelectedSignature() const;
};

struct RegisteredCommand {
  int Id = 0;
  std::string Caption;
  int MenuType = 0;
  TBeckyCommandCallback Callback = nullptr;
};

// The menu type of a compose window's menu.
inline constexpr int kComposeMenuType = 10;

struct HostOptions {
  std::string Version = "2.75.03";       // BKA_GetVersion
  std::string DataFolder;                // BKA_GetDataFolder; "" means the current directory
  // The file version of "B2.exe"; nullopt: the program has no version resource.
  std::optional<std::string> FileVersion = "2.75.03";
  std::vector<std::string> Signatures = {"Default"};  // entries of every compose window's box
};

// Answers a dialog in place of the user.
using DialogAnswerer = std::function<platform::desktop::DialogAnswer(const platform::desktop::DialogRequest&)>;

class HeadlessHost {
 public:
  // Resets the simulated desktop, then builds the host's world in it: the main window, the
  // compose menu bar (five drop-down menus), the version resource of "B2.exe" and a dialog
  // handler that records every dialog. Only one host may be alive at a time.
  explicit HeadlessHost(HostOptions Options = {});
  // Resets the simulated desktop again.
  ~HeadlessHost();
  // The BKA_ functions reach this object through one pointer; a copy would not be that object.
  HeadlessHost(const HeadlessHost&) = delete;
  HeadlessHost& operator=(const HeadlessHost&) = delete;

  // The live host, or nullptr. The BKA_ functions do nothing without one.
  static HeadlessHost* Current();

  const HostOptions& Options() const { return Options_; }
  // The signature entries of compose windows created from now on.
  void SetSignatures(std::vector<std::string> Names) { Options_.Signatures = std::move(Names); }
  const std::string& DataFolder() const { return DataFolder_; }

  // ---- Messages and the current mail ----
  void AddMessage(const std::string& Id, Message M);
  const Message* FindMessage(std::string_view Id) const;
  // The identifier BKA_GetCurrentMail reports ("" for none); it need not name a stored message.
  const std::string& CurrentMail() const { return CurrentMail_; }
  // Sets it without recording a change (the host's own doing, not the plug-in's).
  void SetCurrentMail(std::string Id) { CurrentMail_ = std::move(Id); }
  const Message* CurrentMessage() const { return FindMessage(CurrentMail_); }

  // ---- Compose windows ----
  // A new compose window with the given text and headers and one signature box.
  ComposeWindow& CreateCompose(std::string Text, HeaderList Headers = {});
  ComposeWindow* FindCompose(platform::WindowHandle Window);
  platform::WindowHandle MainWindow() const { return MainWindow_; }
  // The menu bar of compose windows, handed to BKC_OnMenuInit.
  platform::MenuHandle ComposeMenu() const { return ComposeMenu_; }

  // ---- Commands ----
  int RegisterCommand(std::string Caption, int MenuType, TBeckyCommandCallback Callback);
  const std::vector<RegisteredCommand>& Commands() const { return Commands_; }
  // Calls the callback of the command with that identifier as the client does when the user picks
  // its menu item; false when no such command is registered.
  bool PickCommand(int Id, platform::WindowHandle Window);

  // ---- Dialogs ----
  // Texts given to input boxes in order; an input box with none left is cancelled.
  void QueueAnswer(std::string Text) { Answers_.push_back(std::move(Text)); }
  // Replaces the default answers (default button, queued input); the dialog is still recorded.
  void SetAnswerer(DialogAnswerer Answerer) { Answerer_ = std::move(Answerer); }
  // Called with each dialog once it has been answered.
  void OnDialog(std::function<void(const Dialog&)> Observer) { DialogObserver_ = std::move(Observer); }

  Record& Log() { return Record_; }
  const Record& Log() const { return Record_; }

  // ---- Driving the plug-in as the client does ----
  // LibraryStartup with the lookup (empty: the program module's own exports). False when the
  // plug-in refuses to load.
  bool LoadPlugin(const TBeckyAPI::Resolver& Lookup = {});
  void UnloadPlugin();  // LibraryExit
  int Start();          // BKC_OnStart
  int MenuInit(platform::WindowHandle Window, platform::MenuHandle Menu, int MenuType);  // BKC_OnMenuInit
  int OpenCompose(platform::WindowHandle Window, int Mode);  // BKC_OnOpenCompose
  int Exit();                                                // BKC_OnExit
  // BKC_OnPlugInInfo: name, vendor, version, description (each of an 80-byte field).
  std::vector<std::string> PlugInInfo();
  int PlugInSetup(platform::WindowHandle Window);  // BKC_OnPlugInSetup

  // ---- Used by the BKA_ functions ----
  // Text buffers that stay valid until the next call of the same function.
  const char* Keep(std::string_view Function, std::string Text);

 private:
  platform::desktop::DialogAnswer Answer(const platform::desktop::DialogRequest& Request);
  std::intptr_t ComposeHandler(platform::WindowHandle Window, std::uint32_t Msg, std::uintptr_t WParam,
                               std::intptr_t LParam);

  HostOptions Options_;
  std::string DataFolder_;
  std::map<std::string, Message, std::less<>> Messages_;
  std::string CurrentMail_;
  std::deque<std::unique_ptr<ComposeWindow>> Composes_;
  platform::WindowHandle MainWindow_ = 0;
  platform::MenuHandle ComposeMenu_ = 0;
  std::vector<RegisteredCommand> Commands_;
  std::deque<std::string> Answers_;
  DialogAnswerer Answerer_;
  std::function<void(const Dialog&)> DialogObserver_;
  Record Record_;
  std::map<std::string, std::string, std::less<>> Kept_;
};

// ---- The exported host API ----

struct BkaExport {
  const char* Name;
  void* Address;
};
// The 54 BKA_ functions, in the plug-in's binding order.
std::span<const BkaExport> BkaExports();
// A lookup over that table that finds every name except Missing (for a host that lacks one).
TBeckyAPI::Resolver BkaResolver(std::string Missing = {});

}  // namespace host
