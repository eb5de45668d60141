// The 54 host API functions, exported by name from B2.exe as the plug-in expects. The sixteen that
// the plug-in calls work on the in-memory mail store and the compose window's state; the others
// are only there to be found, and record a line if the plug-in ever calls one.
#include <cstdlib>
#include <cstring>

#include "b2_host.h"

#define B2_API extern "C" __declspec(dllexport)

using b2::Log;
using b2::NameOf;
using b2::Quote;
using b2::TheHost;

namespace {

// Copies TEXT into a block of SIZE bytes the way the host fills blocks: cut to SIZE - 1, NUL added.
void fill(char* block, int size, const std::string& text) {
  if (block == nullptr || size <= 0) return;
  std::size_t n = text.size() < static_cast<std::size_t>(size) ? text.size() : static_cast<std::size_t>(size) - 1;
  std::memcpy(block, text.data(), n);
  block[n] = '\0';
}

void checkCompose(const char* function, HWND window) {
  if (window != TheHost().compose) Log("%s: not the compose window: %s", function, NameOf(window).c_str());
}

std::string headerOf(const b2::Headers& headers, const char* name) {
  auto found = headers.find(name != nullptr ? name : "");
  return found == headers.end() ? std::string() : found->second;
}

}  // namespace

B2_API const char* WINAPI BKA_GetVersion() { return TheHost().version.c_str(); }

B2_API void WINAPI BKA_Command(HWND window, const char* command) {
  Log("BKA_Command %s %s", NameOf(window).c_str(), Quote(command != nullptr ? command : "(null)").c_str());
}

B2_API int WINAPI BKA_RegisterCommand(const char* caption, int menuType, b2::CommandCallback callback) {
  b2::Host& host = TheHost();
  b2::Command command;
  command.caption = caption != nullptr ? caption : "";
  command.menuType = menuType;
  command.callback = callback;
  command.id = 40001 + static_cast<int>(host.commands.size());
  host.commands.push_back(command);
  Log("BKA_RegisterCommand %s type=%d callback=%s id=%d", Quote(command.caption).c_str(), menuType,
      callback != nullptr ? "set" : "null", command.id);
  return command.id;
}

B2_API const char* WINAPI BKA_GetDataFolder() { return TheHost().dataFolder.c_str(); }

B2_API void WINAPI BKA_SetMessageText(HWND window, const char* text) {
  Log("BKA_SetMessageText %s %s", NameOf(window).c_str(), Quote(text != nullptr ? text : "").c_str());
}

B2_API const char* WINAPI BKA_GetCurrentMail() { return TheHost().currentMail.c_str(); }

B2_API void WINAPI BKA_SetCurrentMail(const char* mailId) {
  b2::Host& host = TheHost();
  host.currentMail = mailId != nullptr ? mailId : "";
  Log("BKA_SetCurrentMail %s%s", Quote(host.currentMail).c_str(),
      host.mails.count(host.currentMail) != 0 ? "" : " (no such mail)");
}

B2_API void WINAPI BKA_GetSpecifiedHeader(const char* header, char* block, int size) {
  b2::Host& host = TheHost();
  auto mail = host.mails.find(host.currentMail);
  fill(block, size, mail == host.mails.end() ? std::string() : headerOf(mail->second.headers, header));
}

B2_API char* WINAPI BKA_GetText(char* mimeType, int size) {
  b2::Host& host = TheHost();
  auto mail = host.mails.find(host.currentMail);
  if (mail == host.mails.end()) {
    fill(mimeType, size, "text/plain");
    return nullptr;
  }
  fill(mimeType, size, mail->second.mime);
  return mail->second.body.data();
}

B2_API void WINAPI BKA_CompGetSpecifiedHeader(HWND window, const char* header, char* block, int size) {
  checkCompose("BKA_CompGetSpecifiedHeader", window);
  fill(block, size, headerOf(TheHost().composeHeaders, header));
}

B2_API void WINAPI BKA_CompSetSpecifiedHeader(HWND window, const char* header, const char* value) {
  checkCompose("BKA_CompSetSpecifiedHeader", window);
  TheHost().composeHeaders[header != nullptr ? header : ""] = value != nullptr ? value : "";
  Log("BKA_CompSetSpecifiedHeader %s %s", Quote(header != nullptr ? header : "").c_str(),
      Quote(value != nullptr ? value : "").c_str());
}

B2_API char* WINAPI BKA_CompGetText(HWND window, char* mimeType, int size) {
  checkCompose("BKA_CompGetText", window);
  fill(mimeType, size, "text/plain");
  return TheHost().composeText.data();
}

B2_API void WINAPI BKA_CompSetText(HWND window, int mode, const char* text) {
  checkCompose("BKA_CompSetText", window);
  TheHost().composeText = text != nullptr ? text : "";
  Log("BKA_CompSetText mode=%d %s", mode, Quote(TheHost().composeText).c_str());
}

B2_API void WINAPI BKA_CompAttachFile(HWND window, const char* path, const char* mimeType) {
  checkCompose("BKA_CompAttachFile", window);
  Log("BKA_CompAttachFile %s mime=%s", Quote(path != nullptr ? path : "").c_str(),
      mimeType != nullptr ? Quote(mimeType).c_str() : "null");
}

B2_API void* WINAPI BKA_Alloc(int size) {
  void* block = std::malloc(size > 0 ? static_cast<std::size_t>(size) : 1);
  if (block != nullptr) TheHost().blocks[block] = static_cast<std::size_t>(size);
  return block;
}

B2_API void WINAPI BKA_Free(void* block) {
  if (TheHost().blocks.erase(block) == 0) {
    Log("BKA_Free: not a block from BKA_Alloc");
    return;
  }
  std::free(block);
}

// Bound by the plug-in, never called by it.
#define B2_UNUSED_API(name) \
  B2_API int WINAPI name() {                   \
    Log("unexpected call of %s", #name);       \
    return 0;                                  \
  }

B2_UNUSED_API(BKA_GetWindowHandles)
B2_UNUSED_API(BKA_RegisterUICallback)
B2_UNUSED_API(BKA_GetTempFolder)
B2_UNUSED_API(BKA_GetTempFileName)
B2_UNUSED_API(BKA_GetCurrentMailBox)
B2_UNUSED_API(BKA_SetCurrentMailBox)
B2_UNUSED_API(BKA_GetCurrentFolder)
B2_UNUSED_API(BKA_SetCurrentFolder)
B2_UNUSED_API(BKA_GetFolderDisplayName)
B2_UNUSED_API(BKA_GetNextMail)
B2_UNUSED_API(BKA_SetSel)
B2_UNUSED_API(BKA_AppendMessage)
B2_UNUSED_API(BKA_MoveSelectedMessages)
B2_UNUSED_API(BKA_GetStatus)
B2_UNUSED_API(BKA_ComposeMail)
B2_UNUSED_API(BKA_GetCharSet)
B2_UNUSED_API(BKA_GetSource)
B2_UNUSED_API(BKA_SetSource)
B2_UNUSED_API(BKA_GetHeader)
B2_UNUSED_API(BKA_SetText)
B2_UNUSED_API(BKA_SetSpecifiedHeader)
B2_UNUSED_API(BKA_CompGetCharSet)
B2_UNUSED_API(BKA_CompGetSource)
B2_UNUSED_API(BKA_CompSetSource)
B2_UNUSED_API(BKA_CompGetHeader)
B2_UNUSED_API(BKA_ReAlloc)
B2_UNUSED_API(BKA_ISO_2022_JP)
B2_UNUSED_API(BKA_ISO_2022_KR)
B2_UNUSED_API(BKA_HZ_GB2312)
B2_UNUSED_API(BKA_ISO_8859_2)
B2_UNUSED_API(BKA_EUC_JP)
B2_UNUSED_API(BKA_UTF_7)
B2_UNUSED_API(BKA_UTF_8)
B2_UNUSED_API(BKA_B64Convert)
B2_UNUSED_API(BKA_QPConvert)
B2_UNUSED_API(BKA_MIMEHeader)
B2_UNUSED_API(BKA_SerializeRcpts)
// B2NoConnect.exe is this host without one name the plug-in never calls: the plug-in must refuse
// to load into it all the same.
#ifndef B2_OMIT_CONNECT
B2_UNUSED_API(BKA_Connect)
#endif
