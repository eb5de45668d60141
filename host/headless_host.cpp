// The headless host's world in the simulated desktop, and the calls into the plug-in.
#include "host/headless_host.h"

#include <cstring>
#include <stdexcept>

#include "plugin/entry_points.h"
#include "plugin/plugin_state.h"


namespace host {

namespace desk = platform::desktop;

namespace {

HeadlessHost* gLive = nullptr;

constexpr int kInfoField = 80;

}  // namespace

std::string ComposeWindow::Header(std::string_view Name) const {
  for (const auto& [N, V] : Headers) {
    if (platform::AnsiCompareText(N, Name) == 0) return V;
  }
  return {};
}

std::optional<std::string> ComposeWindow::SelectedSignature() const {
  int Index = desk::ComboSelection(SignatureCombo);
  std::vector<std::string> Entries = desk::ComboEntries(SignatureCombo);
  if (Index < 0 || static_cast<std::size_t>(Index) >= Entries.size()) return std::nullopt;
  return Entries[static_cast<std::size_t>(Index)];
}

HeadlessHost::HeadlessHost(HostOptions Options) : Options_(std::move(Options)) {
  if (gLive) throw std::logic_error("a headless host is alive already");
  desk::Reset();
  DataFolder_ = Options_.DataFolder.empty() ? platform::GetCurrentDirectory() : Options_.DataFolder;
  MainWindow_ = desk::CreateWindow({"TBeckyMainWindow", "Becky!", {0, 0, 1024, 768}, 0, 0, {}});
  // The compose window's menu bar; the plug-in adds its command to the fourth drop-down menu.
  ComposeMenu_ = desk::CreateMenu();
  for (const char* Caption : {"&File", "&Edit", "&View", "&Tools", "&Help"}) {
    desk::AppendSubMenu(ComposeMenu_, Caption, desk::CreateMenu());
  }
  desk::SetFileVersion("B2.exe", Options_.FileVersion);
  desk::SetDialogHandler([this](const desk::DialogRequest& R) { return Answer(R); });
  gLive = this;
}

HeadlessHost::~HeadlessHost() {
  gLive = nullptr;
  desk::Reset();
}

HeadlessHost* HeadlessHost::Current() { return gLive; }

void HeadlessHost::AddMessage(const std::string& Id, Message M) { Messages_[Id] = std::move(M); }

const Message* HeadlessHost::FindMessage(std::string_view Id) const {
  auto It = Messages_.find(Id);
  return It == Messages_.end() ? nullptr : &It->second;
}

ComposeWindow& HeadlessHost::CreateCompose(std::string Text, HeaderList Headers) {
  auto W = std::make_unique<ComposeWindow>();
  W->Text = std::move(Text);
  W->Headers = std::move(Headers);
  W->Window = desk::CreateWindow({kComposeClassName, "Compose", {100, 100, 900, 700}, 0, 0,
                                  [this](platform::WindowHandle H, std::uint32_t M, std::uintptr_t WP,
                                         std::intptr_t LP) { return ComposeHandler(H, M, WP, LP); }});
  // A sender box above the signature line, so that only the label's own line picks the box.
  desk::CreateWindow({"Static", "&From", {110, 130, 180, 150}, W->Window, 0, {}});
  desk::CreateComboBox(W->Window, 1030, {190, 130, 400, 300}, {"Main account"});
  W->SignatureLabel = desk::CreateWindow({"Static", "Si&gnature", {110, 160, 180, 180}, W->Window, 0, {}});
  W->SignatureCombo = desk::CreateComboBox(W->Window, kSignatureComboId, {190, 160, 400, 330}, Options_.Signatures);
  desk::CreateWindow({"TBeckyEditor", "", {100, 200, 900, 700}, W->Window, 0, {}});
  // A newly opened compose window is in front, and the template routines act on the front window.
  desk::SetForegroundWindow(W->Window);
  desk::SetActiveWindow(W->Window);
  Composes_.push_back(std::move(W));
  return *Composes_.back();
}

ComposeWindow* HeadlessHost::FindCompose(platform::WindowHandle Window) {
  for (auto& W : Composes_) {
    if (W->Window == Window) return W.get();
  }
  return nullptr;
}

std::intptr_t HeadlessHost::ComposeHandler(platform::WindowHandle Window, std::uint32_t Msg,
                                           std::uintptr_t WParam, std::intptr_t LParam) {
  Record_.Messages.push_back({Window, Msg, WParam, LParam});
  return 0;
}

int HeadlessHost::RegisterCommand(std::string Caption, int MenuType, TBeckyCommandCallback Callback) {
  // Identifiers start above the client's own menu commands.
  int Id = 40000 + static_cast<int>(Commands_.size());
  Commands_.push_back({Id, std::move(Caption), MenuType, Callback});
  return Id;
}

bool HeadlessHost::PickCommand(int Id, platform::WindowHandle Window) {
  for (const RegisteredCommand& C : Commands_) {
    if (C.Id == Id && C.Callback) {
      C.Callback(Window, 0);
      return true;
    }
  }
  return false;
}

desk::DialogAnswer HeadlessHost::Answer(const desk::DialogRequest& Request) {
  desk::DialogAnswer A;
  if (Answerer_) {
    A = Answerer_(Request);
  } else if (Request.Type == desk::DialogRequest::Kind::MessageBox) {
    A.Button = desk::DefaultButton(Request.Flags);
  } else if (!Answers_.empty()) {
    A.Button = platform::IDOK;
    A.Input = std::move(Answers_.front());
    Answers_.pop_front();
  } else {
    A.Button = platform::IDCANCEL;
  }
  Record_.Dialogs.push_back({Request, A});
  if (DialogObserver_) DialogObserver_(Record_.Dialogs.back());
  return A;
}

const char* HeadlessHost::Keep(std::string_view Function, std::string Text) {
  auto It = Kept_.find(Function);
  if (It == Kept_.end()) It = Kept_.emplace(std::string(Function), std::string()).first;
  It->second = std::move(Text);
  return It->second.c_str();
}

bool HeadlessHost::LoadPlugin(const TBeckyAPI::Resolver& Lookup) {
  try {
    return LibraryStartup(Lookup);
  } catch (...) {
    return false;
  }
}

void HeadlessHost::UnloadPlugin() { LibraryExit(); }
int HeadlessHost::Start() { return BKC_OnStart(); }
int HeadlessHost::MenuInit(platform::WindowHandle Window, platform::MenuHandle Menu, int MenuType) {
  return BKC_OnMenuInit(Window, Menu, MenuType);
}
int HeadlessHost::OpenCompose(platform::WindowHandle Window, int Mode) { return BKC_OnOpenCompose(Window, Mode); }
int HeadlessHost::Exit() { return BKC_OnExit(); }
int HeadlessHost::PlugInSetup(platform::WindowHandle Window) { return BKC_OnPlugInSetup(Window); }

std::vector<std::string> HeadlessHost::PlugInInfo() {
  TBeckyPlugInInfo Info;
  std::memset(&Info, 0, sizeof Info);
  BKC_OnPlugInInfo(&Info);
  std::vector<std::string> Fields;
  for (const char* Field : {Info.Name, Info.Vendor, Info.Version, Info.Description}) {
    Fields.emplace_back(Field, strnlen(Field, kInfoField));
  }
  return Fields;
}

}  // namespace host
