// TPPASub: the interpreter with the fifteen template routines that talk to the mail client.
#pragma once

#include <cstdint>
#include <string>

#include "interpreter/poor_pascal.h"
#include "platform/platform.h"

class TPPASub : public TPoorPascal {
 public:
  // The prototype lines of the template routines, in the order they are added to DeclarePrototype.
  static const char* const kPrototypes[15];

  void PPA1ProcParam(const std::string& ProcName, std::int32_t Index, const TPPAParams& Argument,
                     std::int32_t& Err_CD);
  void PPA1IntFuncParam(const std::string& FuncName, std::int32_t Index, const TPPAParams& Argument,
                        std::int32_t& Err_CD, std::int64_t& ResultValue);
  void PPA1StrFuncParam(const std::string& FuncName, std::int32_t Index, const TPPAParams& Argument,
                        std::int32_t& Err_CD, std::string& ResultValue);
  void PPA1ErrorProc(std::int32_t Error_CD, std::string& Err_Message);

  // The message the error dialog shows for an error code.
  static std::string ErrorMessage(std::int32_t Error_CD);
};

// The generator behind Rand: seed := seed * 134775813 + 1 (mod 2^32); the result is the high half
// of Range (as unsigned) times the new seed, so 0 <= result < Range for Range >= 1.
void RandSeed(std::uint32_t Seed);
std::int32_t RandomInt(std::int32_t Range);

// EnumChildWindows callback of the signature search: remembers the label carrying the signature
// mnemonic and the combo box on its line. Always continues.
bool FindSignatureControls(platform::WindowHandle H, std::intptr_t Param);
