// Fuzz target: one expression text for one of the three evaluators (chosen by the first byte),
// over values and functions of every type, evaluated from the interpreter's remembered readings
// (twice, so that the second finds them) and by plain scanning: all must agree.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "interpreter/poor_pascal.h"

namespace {

std::string Evaluate(TPoorPascal& P, int Which, std::string_view Text) {
  try {
    switch (Which) {
      case 0: return std::to_string(P.EvalInt(Text));
      case 1: {
        const double R = P.EvalReal(Text);
        return std::isnan(R) ? "nan" : std::to_string(R);
      }
      default: return "'" + P.EvalStr(Text) + "'";
    }
  } catch (const TPPAError& E) {
    return "error: " + E.Message();
  }
}

void Prepare(TPoorPascal& P) {
  P.Functions.Remove("EXEC");
  P.Functions.Remove("SHELL");
  P.Functions.Remove("INPUTBOX");
  P.Functions.Remove("MESSAGEBOX");
  P.AddIntConst("i", 0, 42);
  P.AddStrConst("s", "abc", 0);
  P.AddIntValue("h", 0, 5, 1, 7);
  P.DeclareRoutine("function F(a:Integer;b:String):String;Index 1;", 0);
  P.DeclareRoutine("function G(x:Real):Real;Index 2;", 0);
  P.StrFuncParam = [](const std::string&, std::int32_t, const TPPAParams& A, std::int32_t& Err,
                      std::string& R) {
    R = A[1].Argument.StrValue + std::to_string(A[0].Argument.IntValue);
    Err = 0;
  };
  P.RealFuncParam = [](const std::string&, std::int32_t, const TPPAParams& A, std::int32_t& Err, double& R) {
    R = A[0].Argument.RealValue * 2;
    Err = A[0].Argument.RealValue < 0 ? 5 : 0;
  };
  P.IntObjParam = [](const std::string&, std::int32_t, std::uint8_t, std::int32_t& Err, std::int64_t& V) {
    V += 1;
    Err = 0;
  };
  P.ErrorProc = [](std::int32_t, std::string& Message) { Message = "owner error"; };
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  if (Size < 1 || Size > 8192) return 0;
  const int Which = Data[0] % 3;
  const std::string_view Text(reinterpret_cast<const char*>(Data) + 1, Size - 1);
  TPoorPascal Cached;
  Prepare(Cached);
  TPoorPascal Plain;
  Prepare(Plain);
  Plain.SetTokenCacheForTesting(false);
  const std::string First = Evaluate(Cached, Which, Text);
  const std::string Again = Evaluate(Cached, Which, Text);
  const std::string Reference = Evaluate(Plain, Which, Text);
  if (First != Reference || Again != Reference) {
    std::fprintf(stderr, "cached: %s\nagain: %s\nplain: %s\n", First.c_str(), Again.c_str(), Reference.c_str());
    std::abort();
  }
  return 0;
}
