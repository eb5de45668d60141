// vesk: runs a template in the headless host, exactly as the mail client runs it when a compose
// window opens, and prints the new message on stdout and what else happened on stderr.
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "host/headless_host.h"
#include "plugin/plugin_state.h"

namespace desk = platform::desktop;
using Clock = std::chrono::steady_clock;

namespace {

constexpr const char* kUsage =
    "usage: vesk run TEMPLATE [options]\n"
    "       vesk --help | --version\n"
    "\n"
    "Puts TEMPLATE (UTF-8) into a compose window and runs it as the mail client would.\n"
    "stdout: the compose text after the run. stderr: dialogs as [Title] text, errors as\n"
    "vesk: error: ..., then header:, attach:, signature: and caret: lines.\n"
    "\n"
    "options:\n"
    "  --ref FILE           the message replied to or forwarded (RFC 5322 .eml)\n"
    "  --mode N             compose mode (default 5 with --ref, else 0)\n"
    "  --now YYYY-MM-DDTHH:MM:SS   the local clock (default the real one)\n"
    "  --locale ja-JP|en-US system locale (default ja-JP)\n"
    "  --data-dir DIR       the client's data folder (default the current directory)\n"
    "  --signature NAME     a signature entry; repeatable (default one entry Default)\n"
    "  --answer TEXT        the next input box's answer; repeatable\n"
    "  --timeout SECONDS    stop the run after that long\n"
    "  --interactive        ask dialogs on the terminal (the default when stdin is one)\n"
    "\n"
    "exit status: 0 run completed or no template, 1 run ended in an error, 2 bad usage or input\n";

// The referenced message's place in the host's store.
constexpr const char* kRefFolder = "vesk.mb\\Inbox\\";
constexpr std::uint32_t kRefNumber = 1;
// The start of the message the plug-in shows when a run fails.
constexpr const char* kGeneralError = "Error occurred while executing VESK Script.";

struct Options {
  std::string Template;
  std::optional<std::string> Ref;
  std::optional<int> Mode;
  std::optional<platform::DateTime> Now;
  desk::Locale Locale = desk::Locale::JaJP;
  std::optional<std::string> DataDir;
  std::vector<std::string> Signatures;
  std::vector<std::string> Answers;  // UTF-8
  std::optional<int> Timeout;
  bool Interactive = false;
};

struct UsageError {
  std::string Text;
};

[[noreturn]] void Bad(std::string Text) { throw UsageError{std::move(Text)}; }

std::optional<long long> ParseInteger(std::string_view S) {
  long long V = 0;
  auto [End, Ec] = std::from_chars(S.data(), S.data() + S.size(), V);
  if (Ec != std::errc() || End != S.data() + S.size() || S.empty()) return std::nullopt;
  return V;
}

// YYYY-MM-DDTHH:MM:SS, a real calendar date.
std::optional<platform::DateTime> ParseNow(std::string_view S) {
  if (S.size() != 19 || S[4] != '-' || S[7] != '-' || S[10] != 'T' || S[13] != ':' || S[16] != ':') {
    return std::nullopt;
  }
  auto Field = [&](std::size_t At, std::size_t Len) -> int {
    for (std::size_t I = At; I < At + Len; ++I) {
      if (S[I] < '0' || S[I] > '9') return -1;
    }
    return static_cast<int>(*ParseInteger(S.substr(At, Len)));
  };
  platform::DateTime T;
  T.Year = Field(0, 4);
  T.Month = Field(5, 2);
  T.Day = Field(8, 2);
  T.Hour = Field(11, 2);
  T.Minute = Field(14, 2);
  T.Second = Field(17, 2);
  if (T.Year < 1 || T.Month < 1 || T.Hour < 0 || T.Hour > 23 || T.Minute < 0 || T.Minute > 59 ||
      T.Second < 0 || T.Second > 59) {
    return std::nullopt;
  }
  using namespace std::chrono;
  year_month_day Date{year(T.Year), month(static_cast<unsigned>(T.Month)), day(static_cast<unsigned>(T.Day))};
  if (!Date.ok()) return std::nullopt;
  T.DayOfWeek = static_cast<int>(weekday(sys_days(Date)).c_encoding());
  return T;
}

// Either "--name value" or "--name=value".
std::string Value(const std::vector<std::string>& Args, std::size_t& I, std::string_view Name,
                  std::string_view Inline, bool HasInline) {
  if (HasInline) return std::string(Inline);
  if (I + 1 >= Args.size()) Bad("option " + std::string(Name) + " needs a value");
  return Args[++I];
}

Options ParseRun(const std::vector<std::string>& Args) {
  Options O;
  bool HaveTemplate = false;
  for (std::size_t I = 1; I < Args.size(); ++I) {
    const std::string& A = Args[I];
    if (A.rfind("--", 0) != 0 || A == "--") {
      if (HaveTemplate) Bad("unexpected argument '" + A + "'");
      O.Template = A;
      HaveTemplate = true;
      continue;
    }
    std::size_t Eq = A.find('=');
    std::string Name = A.substr(0, Eq);
    bool HasInline = Eq != std::string::npos;
    std::string_view Inline = HasInline ? std::string_view(A).substr(Eq + 1) : std::string_view();
    auto Next = [&] { return Value(Args, I, Name, Inline, HasInline); };
    if (Name == "--ref") {
      O.Ref = Next();
    } else if (Name == "--mode") {
      std::string V = Next();
      auto N = ParseInteger(V);
      if (!N || *N < INT32_MIN || *N > INT32_MAX) Bad("invalid --mode '" + V + "': expected an integer");
      O.Mode = static_cast<int>(*N);
    } else if (Name == "--now") {
      std::string V = Next();
      O.Now = ParseNow(V);
      if (!O.Now) Bad("invalid --now '" + V + "': expected YYYY-MM-DDTHH:MM:SS");
    } else if (Name == "--locale") {
      std::string V = Next();
      if (V == "ja-JP") {
        O.Locale = desk::Locale::JaJP;
      } else if (V == "en-US") {
        O.Locale = desk::Locale::EnUS;
      } else {
        Bad("invalid --locale '" + V + "': expected ja-JP or en-US");
      }
    } else if (Name == "--data-dir") {
      O.DataDir = Next();
    } else if (Name == "--signature") {
      O.Signatures.push_back(Next());
    } else if (Name == "--answer") {
      O.Answers.push_back(Next());
    } else if (Name == "--timeout") {
      std::string V = Next();
      auto N = ParseInteger(V);
      if (!N || *N < 1 || *N > 86400) Bad("invalid --timeout '" + V + "': expected 1 to 86400 seconds");
      O.Timeout = static_cast<int>(*N);
    } else if (Name == "--interactive" && !HasInline) {
      O.Interactive = true;
    } else {
      Bad("unknown option '" + A + "'");
    }
  }
  if (!HaveTemplate) Bad("run needs a TEMPLATE file");
  return O;
}

bool ValidUtf8(std::string_view S) {
  std::size_t I = 0;
  while (I < S.size()) {
    auto C = static_cast<unsigned char>(S[I]);
    std::size_t Len = C < 0x80 ? 1 : (C >> 5) == 0x6 ? 2 : (C >> 4) == 0xE ? 3 : (C >> 3) == 0x1E ? 4 : 0;
    if (Len == 0 || I + Len > S.size()) return false;
    for (std::size_t K = 1; K < Len; ++K) {
      if ((static_cast<unsigned char>(S[I + K]) & 0xC0) != 0x80) return false;
    }
    I += Len;
  }
  return true;
}

// Code-page text for the terminal: UTF-8, with CR LF and lone CRs as the caller says.
std::string Utf8(std::string_view CodePage) { return platform::ToUtf8(CodePage); }

std::string DropCr(std::string S) {
  std::erase(S, '\r');
  return S;
}

// In place: the text between two CR LF pairs moves down over the CRs dropped so far.
std::string CrLfToLf(std::string S) {
  std::size_t To = S.find("\r\n");
  if (To == std::string::npos) return S;
  std::size_t From = To + 1;  // at the LF
  while (From < S.size()) {
    std::size_t Next = S.find("\r\n", From);
    if (Next == std::string::npos) Next = S.size();
    To = static_cast<std::size_t>(std::copy(S.begin() + From, S.begin() + Next, S.begin() + To) - S.begin());
    From = Next + 1;
  }
  S.resize(To);
  return S;
}

// The interpreter keeps its messages in code page 932 whatever the locale.
std::string InterpreterText(std::string_view Text, desk::Locale Current) {
  if (Current == desk::Locale::JaJP) return Utf8(Text);
  desk::SetLocale(desk::Locale::JaJP);
  std::string Out = Utf8(Text);
  desk::SetLocale(Current);
  return Out;
}

// "[Title] text" with every CR dropped, as dialogs are shown on stderr.
std::string DialogLine(const desk::DialogRequest& R) {
  std::string Line = "[";
  Line += Utf8(R.Caption);
  Line += "] ";
  Line += DropCr(Utf8(R.Text));
  Line += '\n';
  return Line;
}

void PrintDialog(const host::Dialog& D) {
  std::fputs(DialogLine(D.Request).c_str(), stderr);
  std::fflush(stderr);
}

// ---- Dialogs on the terminal ----

struct Button {
  char Key;
  const char* Label;
  int Id;
};

std::vector<Button> ButtonsOf(std::uint32_t Flags) {
  switch (Flags & 0xF) {
    case 1: return {{'o', "OK", 1}, {'c', "Cancel", 2}};
    case 2: return {{'a', "Abort", 3}, {'r', "Retry", 4}, {'i', "Ignore", 5}};
    case 3: return {{'y', "Yes", 6}, {'n', "No", 7}, {'c', "Cancel", 2}};
    case 4: return {{'y', "Yes", 6}, {'n', "No", 7}};
    case 5: return {{'r', "Retry", 4}, {'c', "Cancel", 2}};
    default: return {{'o', "OK", 1}};
  }
}

desk::DialogAnswer AskOnTerminal(const desk::DialogRequest& R) {
  std::fputs(DialogLine(R).c_str(), stderr);
  desk::DialogAnswer A;
  std::string Line;
  if (R.Type == desk::DialogRequest::Kind::InputBox) {
    std::fprintf(stderr, "  answer [%s], end of input cancels: ", Utf8(R.Default).c_str());
    std::fflush(stderr);
    if (!std::getline(std::cin, Line)) {
      A.Button = platform::IDCANCEL;
      return A;
    }
    A.Button = platform::IDOK;
    A.Input = Line.empty() ? std::string(R.Default) : platform::FromUtf8(Line);
    return A;
  }
  std::vector<Button> Buttons = ButtonsOf(R.Flags);
  int Default = desk::DefaultButton(R.Flags);
  std::string Prompt = " ";
  for (const Button& B : Buttons) Prompt += std::string(" [") + B.Key + "]" + (B.Label + 1);
  for (;;) {
    std::fputs((Prompt + " (Enter: default) ").c_str(), stderr);
    std::fflush(stderr);
    if (!std::getline(std::cin, Line) || Line.empty()) {
      A.Button = Default;
      return A;
    }
    char K = static_cast<char>(std::tolower(static_cast<unsigned char>(Line[0])));
    for (const Button& B : Buttons) {
      if (B.Key == K) {
        A.Button = B.Id;
        return A;
      }
    }
  }
}

// A backstop for runs that block without pumping messages (Sleep, a waited-for program), which
// the host timer cannot reach: past the timeout and a grace period the process ends itself.
class Watchdog {
 public:
  Watchdog(int Seconds) : Seconds_(Seconds), Thread_([this] { Watch(); }) {}
  ~Watchdog() {
    {
      std::lock_guard Lock(Mutex_);
      Done_ = true;
    }
    Wake_.notify_one();
    Thread_.join();
  }
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

 private:
  void Watch() {
    std::unique_lock Lock(Mutex_);
    if (Wake_.wait_for(Lock, std::chrono::seconds(Seconds_) + std::chrono::seconds(2), [this] { return Done_; })) {
      return;
    }
    std::fprintf(stderr, "vesk: error: timed out after %d s\n", Seconds_);
    std::fflush(stderr);
    _exit(1);
  }

  int Seconds_;
  std::mutex Mutex_;
  std::condition_variable Wake_;
  bool Done_ = false;
  std::thread Thread_;
};

int Run(const Options& O) {
  // Input files are named relative to where vesk was started, before the data folder is entered.
  std::optional<std::string> Source = platform::ReadFile(O.Template);
  if (!Source) Bad("cannot read template '" + O.Template + "'");
  std::string_view Text = *Source;
  if (Text.substr(0, 3) == "\xEF\xBB\xBF") Text.remove_prefix(3);
  if (!ValidUtf8(Text)) Bad("template '" + O.Template + "' is not UTF-8 text");

  host::HostOptions HO;
  if (O.DataDir) {
    std::error_code Ec;
    if (!std::filesystem::is_directory(*O.DataDir, Ec)) Bad("--data-dir '" + *O.DataDir + "' is not a directory");
    HO.DataFolder = std::filesystem::absolute(*O.DataDir, Ec).lexically_normal().string();
  }
  host::HeadlessHost Host(std::move(HO));
  // The locale decides the code page, so it comes before any text is converted.
  desk::SetLocale(O.Locale);
  if (O.Now) desk::SetClock(*O.Now);
  if (!O.Signatures.empty()) {
    std::vector<std::string> Names;
    for (const std::string& S : O.Signatures) Names.push_back(platform::FromUtf8(S));
    Host.SetSignatures(std::move(Names));
  }
  for (const std::string& A : O.Answers) Host.QueueAnswer(platform::FromUtf8(A));

  host::HeaderList Headers;
  if (O.Ref) {
    std::string Error;
    std::optional<host::Message> M = host::LoadMessageFile(*O.Ref, Error);
    if (!M) Bad(Error);
    std::string Id = host::MailId(kRefFolder, kRefNumber);
    Host.AddMessage(Id, std::move(*M));
    Host.SetCurrentMail(Id);
    Headers.emplace_back("X-Becky-Ref", host::RefValue(kRefFolder, kRefNumber));
  }
  host::ComposeWindow& Compose = Host.CreateCompose(platform::FromUtf8(Text), std::move(Headers));

  if (O.Interactive) {
    Host.SetAnswerer(AskOnTerminal);
  } else {
    Host.OnDialog(PrintDialog);
  }

  if (!Host.LoadPlugin()) {
    std::fputs("vesk: error: the plug-in refused to load (the host API is incomplete)\n", stderr);
    return 1;
  }
  Host.Start();

  bool TimedOut = false;
  std::uintptr_t Timer = 0;
  std::optional<Watchdog> Guard;
  if (O.Timeout) {
    const Clock::time_point Deadline = Clock::now() + std::chrono::seconds(*O.Timeout);
    Timer = desk::SetTimer(std::chrono::milliseconds(50), [&TimedOut, Deadline] {
      if (TimedOut || Clock::now() < Deadline) return;
      TimedOut = true;
      TPluginState& S = State();
      // Stop raises the interruption error to end the run; the run sees Stopped either way.
      try {
        if (S.PPA1) S.PPA1->Stop();
      } catch (...) {
      }
    });
    Guard.emplace(*O.Timeout);
  }
  Host.OpenCompose(Compose.Window, O.Mode.value_or(O.Ref ? 5 : 0));
  if (Timer) desk::KillTimer(Timer);
  Guard.reset();

  const TPluginState& S = State();
  std::string RunError = S.LastRunError;
  bool Failed = TimedOut || !RunError.empty() || S.ErrorShown;
  for (const host::Dialog& D : Host.Log().Dialogs) {
    if (D.Request.Text.rfind(kGeneralError, 0) == 0) Failed = true;
  }
  Host.Exit();
  Host.UnloadPlugin();

  std::string Out = CrLfToLf(Utf8(Compose.Text));
  std::fwrite(Out.data(), 1, Out.size(), stdout);
  std::fflush(stdout);

  std::string Err;
  if (TimedOut) {
    Err += "vesk: error: timed out after " + std::to_string(*O.Timeout) + " s\n";
  } else if (Failed) {
    Err += "vesk: error: " +
           (RunError.empty() ? std::string("the template ended in an error") : DropCr(InterpreterText(RunError, O.Locale))) +
           "\n";
  }
  std::vector<std::string> Seen;
  for (const auto& [Name, Unused] : Host.Log().HeadersSet) {
    bool Again = false;
    for (const std::string& N : Seen) Again = Again || platform::AnsiCompareText(N, Name) == 0;
    if (Again) continue;
    Seen.push_back(Name);
    Err += "header: " + Utf8(Name) + ": " + Utf8(Compose.Header(Name)) + "\n";
  }
  for (const std::string& Path : Host.Log().Attachments) Err += "attach: " + Utf8(Path) + "\n";
  if (auto Signature = Compose.SelectedSignature()) Err += "signature: " + Utf8(*Signature) + "\n";
  if (Compose.CaretMoved) Err += "caret: " + std::to_string(Compose.CaretLine) + "\n";
  std::fputs(Err.c_str(), stderr);
  return Failed ? 1 : 0;
}

}  // namespace

int main(int Argc, char** Argv) {
  // A run copies the message from stage to stage, freeing one large text and then allocating
  // the next: kept in the heap rather than returned to the system, the memory is not mapped and
  // cleared again each time.
  mallopt(M_MMAP_THRESHOLD, 64 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  std::vector<std::string> Args(Argv + 1, Argv + Argc);
  try {
    if (Args.empty()) Bad("no command given");
    if (Args[0] == "--help" || Args[0] == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (Args[0] == "--version") {
      std::puts("vesk " VESK_VERSION);
      return 0;
    }
    if (Args[0] != "run") Bad("unknown command '" + Args[0] + "'");
    for (const std::string& A : Args) {
      if (A == "--help") {
        std::fputs(kUsage, stdout);
        return 0;
      }
    }
    Options O = ParseRun(Args);
    if (!O.Interactive) O.Interactive = isatty(STDIN_FILENO) != 0;
    return Run(O);
  } catch (const UsageError& E) {
    std::fprintf(stderr, "vesk: %s\n", E.Text.c_str());
    if (Args.empty()) std::fputs(kUsage, stderr);
    return 2;
  } catch (const std::exception& E) {
    std::fprintf(stderr, "vesk: error: %s\n", E.what());
    return 1;
  }
}
