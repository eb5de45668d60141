// Shared helpers of the interpreter tests: a fresh interpreter per test, running programs given as
// lines, and catching the message of an error.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "interpreter/messages.h"
#include "interpreter/poor_pascal.h"

namespace ppa_test {

// A catalogue message with its "%s" filled, as the interpreter raises it.
inline std::string Msg(std::string_view Pattern, std::string_view Arg = {}) { return PPAFormat(Pattern, Arg); }

// The message of the TPPAError that Body raises, or nullopt when it raises none. Any other
// exception fails the test: nothing but TPPAError may leave the interpreter.
inline std::optional<std::string> ErrorOf(const std::function<void()>& Body) {
  try {
    Body();
  } catch (const TPPAError& E) {
    return E.Message();
  } catch (const std::exception& E) {
    ADD_FAILURE() << "foreign exception: " << E.what();
    return "<foreign exception>";
  }
  return std::nullopt;
}

// Exposes the protected helpers to tests.
class TTestPascal : public TPoorPascal {
 public:
  using TPoorPascal::CheckOwnerResult;
  using TPoorPascal::TNestingGuard;
};

// True when the suite runs as its plain-scanning twin (VESK_PLAIN_SCANNING=1, set by the build's
// second run of this program): every interpreter then scans each text afresh, the reference the
// token cache is held to.
inline bool PlainScanning() {
  const char* V = std::getenv("VESK_PLAIN_SCANNING");
  return V != nullptr && std::string_view(V) == "1";
}

class PascalTest : public ::testing::Test {
 protected:
  PascalTest() { PP.SetTokenCacheForTesting(!PlainScanning()); }

  TTestPascal PP;

  // Puts the lines into Source and runs them.
  void Run(std::initializer_list<std::string> Lines) {
    PP.Source.assign(Lines.begin(), Lines.end());
    PP.Execute();
  }
  void Run(const std::vector<std::string>& Lines) {
    PP.Source = Lines;
    PP.Execute();
  }
  // The error message of running the lines, or nullopt when they run cleanly.
  std::optional<std::string> RunError(std::initializer_list<std::string> Lines) {
    std::vector<std::string> Copy(Lines.begin(), Lines.end());
    return ErrorOf([&] { Run(Copy); });
  }
  std::optional<std::string> RunError(const std::vector<std::string>& Lines) {
    return ErrorOf([&] { Run(Lines); });
  }

  // Values left by the last run (variables stay in the table until the next Execute).
  std::int64_t Int(std::string_view Name) {
    const TPPAValue* V = PP.Values.Find(Name);
    EXPECT_NE(V, nullptr) << Name;
    return V ? V->IntValue : 0;
  }
  double Real(std::string_view Name) {
    const TPPAValue* V = PP.Values.Find(Name);
    EXPECT_NE(V, nullptr) << Name;
    return V ? V->RealValue : 0.0;
  }
  std::string Str(std::string_view Name) {
    const TPPAValue* V = PP.Values.Find(Name);
    EXPECT_NE(V, nullptr) << Name;
    return V ? V->StrValue : std::string();
  }
};

// An owner that records the calls of its routines: declare prototypes in PP.DeclarePrototype,
// then call Bind(PP); each procedure call appends "NAME(arg,arg)" to Calls.
struct RecordingOwner {
  std::vector<std::string> Calls;

  static std::string Describe(const std::string& Name, const TPPAParams& Args) {
    std::string S = Name + "(";
    for (std::size_t i = 0; i < Args.size(); ++i) {
      if (i) S += ",";
      const TPPAArgument& A = Args[i].Argument;
      if (A.ValueType == pvInteger) S += std::to_string(A.IntValue);
      if (A.ValueType == pvReal) S += std::to_string(A.RealValue);
      if (A.ValueType == pvString) S += A.StrValue;
    }
    return S + ")";
  }
  void Bind(TPoorPascal& PP) {
    PP.ProcParam = [this](const std::string& Name, std::int32_t, const TPPAParams& Args, std::int32_t& Err_CD) {
      Calls.push_back(Describe(Name, Args));
      Err_CD = 0;
    };
  }
};

}  // namespace ppa_test
