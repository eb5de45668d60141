// Fuzz target: one expression text for one of the three evaluators (chosen by the first byte),
// over values and functions of every type.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "interpreter/poor_pascal.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  if (Size < 1 || Size > 8192) return 0;
  TPoorPascal P;
  P.Functions.Remove("EXEC");
  P.Functions.Remove("SHELL");
  P.Functions.Remove("INPUTBOX");
  P.Functions.Remove("MESSAGEBOX");
  P.AddIntConst("i", 0, 42);
  P.AddStrConst("s", "abc", 0);
  P.DeclareRoutine("function F(a:Integer;b:String):String;Index 1;", 0);
  P.StrFuncParam = [](const std::string&, std::int32_t, const TPPAParams& A, std::int32_t& Err,
                      std::string& R) {
    R = A[1].Argument.StrValue + std::to_string(A[0].Argument.IntValue);
    Err = 0;
  };
  P.ErrorProc = [](std::int32_t, std::string& Message) { Message = "owner error"; };
  const std::string_view Text(reinterpret_cast<const char*>(Data) + 1, Size - 1);
  try {
    switch (Data[0] % 3) {
      case 0: (void)P.EvalInt(Text); break;
      case 1: (void)P.EvalReal(Text); break;
      default: (void)P.EvalStr(Text); break;
    }
  } catch (const TPPAError&) {
  }
  return 0;
}
