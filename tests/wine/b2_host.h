// B2.exe: a stand-in for the mail client that loads the real plug-in DLL into a real Windows
// process, drives its exported callbacks and records what the plug-in does, one line per event,
// on stdout. run-wine-tests.sh compares those lines with the expected ones.
//
// The host API functions are free functions called by the plug-in without any context, so the
// host's state is one object per process, reached through TheHost().
#pragma once

#include <windows.h>

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace b2 {

// One record line on stdout, flushed at once so a crash or a timeout still leaves what happened.
void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));
// TEXT in double quotes with backslash escapes for \, ", CR, LF, TAB and other control or
// non-ASCII bytes, so that every record stays on one line and CR and LF stay visible.
std::string Quote(std::string_view text);
// The class name of WINDOW; empty when it cannot be read.
std::string ClassOf(HWND window);
// The window text of WINDOW.
std::string TextOf(HWND window);

struct NoCase {
  bool operator()(const std::string& a, const std::string& b) const { return _stricmp(a.c_str(), b.c_str()) < 0; }
};
using Headers = std::map<std::string, std::string, NoCase>;

struct Mail {
  Headers headers;
  std::string body;
  std::string mime;
};

using CommandCallback = void(WINAPI*)(HWND window, LPARAM param);

struct Command {
  std::string caption;
  int menuType = 0;
  CommandCallback callback = nullptr;
  int id = 0;
};

struct Host {
  std::string version = "2.05.10";
  std::string dataFolder;  // ends with a backslash
  std::map<std::string, Mail> mails;
  std::string currentMail;

  HWND compose = nullptr;
  std::string composeText;
  Headers composeHeaders;
  HWND signatureCombo = nullptr;

  std::vector<Command> commands;
  std::map<void*, std::size_t> blocks;  // BKA_Alloc blocks not yet given back
};

Host& TheHost();

// How the record names a window handed to the host: "compose", "null" or its address.
std::string NameOf(HWND window);

// Answers every dialog of the calling thread from a thread timer, so nothing waits for a person:
// records its title, icon and texts, types the next queued answer into its edit box and presses
// its default button (or the one chosen with PressInDialogs).
void StartAnsweringDialogs();
void QueueAnswer(std::string answer);
void PressInDialogs(int buttonId);

}  // namespace b2
