// Binding the host's API and the library's start-up and exit.
#include "becky_api.h"

#include <cstring>
#include <iterator>
#include <new>
#include <string_view>
#include <type_traits>

#include "plugin_state.h"

namespace {

// Host module handles below this are error codes, as with the old Windows loader.
constexpr platform::ModuleHandle kFirstValidModule = 32;

using TSlotSetter = void (*)(TBeckyAPI& Api, void* Address);

template <auto Slot>
void SetSlot(TBeckyAPI& Api, void* Address) {
  using SlotType = std::remove_reference_t<decltype(Api.*Slot)>;
  if constexpr (std::is_same_v<SlotType, void*>) {
    Api.*Slot = Address;
  } else {
    // The loader gives object pointers; the slots are function pointers of the same width.
    static_assert(sizeof(SlotType) == sizeof(void*));
    std::memcpy(&(Api.*Slot), &Address, sizeof Address);
  }
}

struct TSlot {
  std::string_view Name;
  TSlotSetter Set;
};

// ORDER: kBeckyApiNames (checked below).
constexpr TSlot kSlots[] = {
    {"BKA_GetVersion", &SetSlot<&TBeckyAPI::BKA_GetVersion>},
    {"BKA_Command", &SetSlot<&TBeckyAPI::BKA_Command>},
    {"BKA_GetWindowHandles", &SetSlot<&TBeckyAPI::BKA_GetWindowHandles>},
    {"BKA_RegisterCommand", &SetSlot<&TBeckyAPI::BKA_RegisterCommand>},
    {"BKA_RegisterUICallback", &SetSlot<&TBeckyAPI::BKA_RegisterUICallback>},
    {"BKA_GetDataFolder", &SetSlot<&TBeckyAPI::BKA_GetDataFolder>},
    {"BKA_GetTempFolder", &SetSlot<&TBeckyAPI::BKA_GetTempFolder>},
    {"BKA_GetTempFileName", &SetSlot<&TBeckyAPI::BKA_GetTempFileName>},
    {"BKA_GetCurrentMailBox", &SetSlot<&TBeckyAPI::BKA_GetCurrentMailBox>},
    {"BKA_SetCurrentMailBox", &SetSlot<&TBeckyAPI::BKA_SetCurrentMailBox>},
    {"BKA_GetCurrentFolder", &SetSlot<&TBeckyAPI::BKA_GetCurrentFolder>},
    {"BKA_SetCurrentFolder", &SetSlot<&TBeckyAPI::BKA_SetCurrentFolder>},
    {"BKA_GetFolderDisplayName", &SetSlot<&TBeckyAPI::BKA_GetFolderDisplayName>},
    {"BKA_SetMessageText", &SetSlot<&TBeckyAPI::BKA_SetMessageText>},
    {"BKA_GetCurrentMail", &SetSlot<&TBeckyAPI::BKA_GetCurrentMail>},
    {"BKA_SetCurrentMail", &SetSlot<&TBeckyAPI::BKA_SetCurrentMail>},
    {"BKA_GetNextMail", &SetSlot<&TBeckyAPI::BKA_GetNextMail>},
    {"BKA_SetSel", &SetSlot<&TBeckyAPI::BKA_SetSel>},
    {"BKA_AppendMessage", &SetSlot<&TBeckyAPI::BKA_AppendMessage>},
    {"BKA_MoveSelectedMessages", &SetSlot<&TBeckyAPI::BKA_MoveSelectedMessages>},
    {"BKA_GetStatus", &SetSlot<&TBeckyAPI::BKA_GetStatus>},
    {"BKA_ComposeMail", &SetSlot<&TBeckyAPI::BKA_ComposeMail>},
    {"BKA_GetCharSet", &SetSlot<&TBeckyAPI::BKA_GetCharSet>},
    {"BKA_GetSource", &SetSlot<&TBeckyAPI::BKA_GetSource>},
    {"BKA_SetSource", &SetSlot<&TBeckyAPI::BKA_SetSource>},
    {"BKA_GetHeader", &SetSlot<&TBeckyAPI::BKA_GetHeader>},
    {"BKA_GetText", &SetSlot<&TBeckyAPI::BKA_GetText>},
    {"BKA_SetText", &SetSlot<&TBeckyAPI::BKA_SetText>},
    {"BKA_GetSpecifiedHeader", &SetSlot<&TBeckyAPI::BKA_GetSpecifiedHeader>},
    {"BKA_SetSpecifiedHeader", &SetSlot<&TBeckyAPI::BKA_SetSpecifiedHeader>},
    {"BKA_CompGetCharSet", &SetSlot<&TBeckyAPI::BKA_CompGetCharSet>},
    {"BKA_CompGetSource", &SetSlot<&TBeckyAPI::BKA_CompGetSource>},
    {"BKA_CompSetSource", &SetSlot<&TBeckyAPI::BKA_CompSetSource>},
    {"BKA_CompGetHeader", &SetSlot<&TBeckyAPI::BKA_CompGetHeader>},
    {"BKA_CompGetSpecifiedHeader", &SetSlot<&TBeckyAPI::BKA_CompGetSpecifiedHeader>},
    {"BKA_CompSetSpecifiedHeader", &SetSlot<&TBeckyAPI::BKA_CompSetSpecifiedHeader>},
    {"BKA_CompGetText", &SetSlot<&TBeckyAPI::BKA_CompGetText>},
    {"BKA_CompSetText", &SetSlot<&TBeckyAPI::BKA_CompSetText>},
    {"BKA_CompAttachFile", &SetSlot<&TBeckyAPI::BKA_CompAttachFile>},
    {"BKA_Alloc", &SetSlot<&TBeckyAPI::BKA_Alloc>},
    {"BKA_ReAlloc", &SetSlot<&TBeckyAPI::BKA_ReAlloc>},
    {"BKA_Free", &SetSlot<&TBeckyAPI::BKA_Free>},
    {"BKA_ISO_2022_JP", &SetSlot<&TBeckyAPI::BKA_ISO_2022_JP>},
    {"BKA_ISO_2022_KR", &SetSlot<&TBeckyAPI::BKA_ISO_2022_KR>},
    {"BKA_HZ_GB2312", &SetSlot<&TBeckyAPI::BKA_HZ_GB2312>},
    {"BKA_ISO_8859_2", &SetSlot<&TBeckyAPI::BKA_ISO_8859_2>},
    {"BKA_EUC_JP", &SetSlot<&TBeckyAPI::BKA_EUC_JP>},
    {"BKA_UTF_7", &SetSlot<&TBeckyAPI::BKA_UTF_7>},
    {"BKA_UTF_8", &SetSlot<&TBeckyAPI::BKA_UTF_8>},
    {"BKA_B64Convert", &SetSlot<&TBeckyAPI::BKA_B64Convert>},
    {"BKA_QPConvert", &SetSlot<&TBeckyAPI::BKA_QPConvert>},
    {"BKA_MIMEHeader", &SetSlot<&TBeckyAPI::BKA_MIMEHeader>},
    {"BKA_SerializeRcpts", &SetSlot<&TBeckyAPI::BKA_SerializeRcpts>},
    {"BKA_Connect", &SetSlot<&TBeckyAPI::BKA_Connect>},
};

constexpr bool SlotsFollowNames() {
  if (std::size(kSlots) != kBeckyApiCount) return false;
  for (int I = 0; I < kBeckyApiCount; ++I) {
    if (kSlots[I].Name != kBeckyApiNames[I]) return false;
  }
  return true;
}
static_assert(SlotsFollowNames(), "kSlots must list the names of kBeckyApiNames in their order");

}  // namespace

bool TBeckyAPI::Bind() {
  if (ModuleHandle != 0) return true;
  const platform::ModuleHandle Module = platform::GetProgramModule();
  return Bind(Module, [Module](const char* Name) { return platform::GetProcAddress(Module, Name); });
}

bool TBeckyAPI::Bind(platform::ModuleHandle Module, const Resolver& Lookup) {
  if (ModuleHandle != 0) return true;
  if (Module < kFirstValidModule) return false;
  ModuleHandle = Module;
  for (const TSlot& Slot : kSlots) {
    void* Address = Lookup(Slot.Name.data());
    if (Address == nullptr) {
      ModuleHandle = 0;
      return false;
    }
    Slot.Set(*this, Address);
  }
  return true;
}

TBeckyBlock::TBeckyBlock(const TBeckyAPI& Api, int Size) : Api_(Api), Size_(Size) {
  Data_ = static_cast<char*>(Api_.BKA_Alloc(Size));
  if (Data_ == nullptr) throw std::bad_alloc();
  std::memset(Data_, 0, static_cast<std::size_t>(Size));
}

TBeckyBlock::~TBeckyBlock() { Api_.BKA_Free(Data_); }

std::string TBeckyBlock::Text() const { return BlockText(Data_, static_cast<std::size_t>(Size_)); }

TPluginState& State() {
  static TPluginState Instance;
  return Instance;
}

bool LibraryStartup(const TBeckyAPI::Resolver& Lookup) {
  try {
    TPluginState& St = State();
    St.BkApi = std::make_unique<TBeckyAPI>();
    return Lookup ? St.BkApi->Bind(platform::GetProgramModule(), Lookup) : St.BkApi->Bind();
  } catch (...) {
    return false;
  }
}

void LibraryExit() {
  try {
    TPluginState& St = State();
    St.BkApi.reset();
    // Given back, not merely emptied: the library's memory goes away with it.
    std::string().swap(St.CompModeName);
    std::string().swap(St.SignatureName);
  } catch (...) {
    // Unloading goes on whatever happens here.
  }
}
