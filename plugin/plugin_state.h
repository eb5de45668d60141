// The plug-in's state: one of it exists while the library is loaded. BkApi is made at library
// start-up; the interpreter and the line lists live from BKC_OnStart to BKC_OnExit.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "becky_api.h"
#include "platform/abi.h"
#include "platform/platform.h"
#include "ppa_sub.h"

using TLineList = std::vector<std::string>;

struct TPluginState {
  std::unique_ptr<TBeckyAPI> BkApi;
  std::unique_ptr<TPPASub> PPA1;
  std::unique_ptr<TLineList> SourceLines;
  std::unique_ptr<TLineList> OriginalLines;
  std::unique_ptr<TLineList> OutputLines;
  std::string SignatureName;  // chosen by SetSignature; "" for none
  std::int32_t CursorLine = 0;  // chosen by SetCursor; 0 for none
  bool ErrorShown = false;      // a template routine's message has been shown in this run
  std::string CompModeName;     // the mode of the most recently opened compose window
  platform::WindowHandle SignatureLabel = 0;
  platform::WindowHandle SignatureCombo = 0;
  bool RunInProgress = false;   // guards against a second run starting inside the first
  // BKC_OnExit came while a run was under way: the run's end releases the interpreter and lists.
  bool ExitPending = false;
  // The text of the error that ended the last run, "" when it completed. The dialog never shows
  // it; the headless host reports it.
  std::string LastRunError;
};

// The one plug-in state.
TPluginState& State();

// Library start-up and exit. Start-up binds the host API and gives false when the library must
// refuse to load. Lookup replaces the lookup in the program module (for tests); empty means the
// real one.
bool LibraryStartup(const TBeckyAPI::Resolver& Lookup = {});
void LibraryExit();

// The template runner: the host's command callback for "Run VESK Script", also called when a
// compose window opens.
void PLATFORM_STDCALL RunTemplate(platform::WindowHandle Window, std::intptr_t Param);

// Destroys the interpreter and the three line lists (BKC_OnExit, or the end of the run it interrupted).
void ReleaseRunObjects();

// The referenced message's mail identifier from an "X-Becky-Ref" value, or "nil".
std::string MailIdFromRef(std::string_view Ref);
// An HTML body as plain text, in time linear in its length.
std::string HtmlToText(std::string_view Text);

// The split and join rules of line lists: lines end at CR LF, a lone CR or a lone LF; the text
// ends at its first NUL; joining puts CR LF after every line.
TLineList SplitLines(std::string_view Text);
std::string JoinLines(const TLineList& Lines);

// The text a block from the host holds: up to its first NUL, and never past Size bytes.
std::string BlockText(const char* Block, std::size_t Size);
