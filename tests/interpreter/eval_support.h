// A fixture for the evaluator and call tests: an interpreter with a few values of each type.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "tests/interpreter/support.h"

namespace ppa_test {

class EvalTest : public PascalTest {
 protected:
  // i = 3, r = 2.7, s = '12', t = 'abc', e = ''.
  void SetUp() override {
    AddValue("i", pvInteger).IntValue = 3;
    AddValue("r", pvReal).RealValue = 2.7;
    AddValue("s", pvString).StrValue = "12";
    AddValue("t", pvString).StrValue = "abc";
    AddValue("e", pvString);
  }

  // Any type of value, reals included (the owner interface cannot add those).
  TPPAValue& AddValue(std::string_view Name, TPPAValueType Type) {
    auto V = std::make_unique<TPPAValue>();
    V->ValueType = Type;
    TPPAValue* Added = PP.Values.Add(Name, std::move(V));
    EXPECT_NE(Added, nullptr) << Name;
    return *Added;
  }

  std::optional<std::string> IntError(std::string_view Text) { return ErrorOf([&] { PP.EvalInt(Text); }); }
  std::optional<std::string> RealError(std::string_view Text) { return ErrorOf([&] { PP.EvalReal(Text); }); }
  std::optional<std::string> StrError(std::string_view Text) { return ErrorOf([&] { PP.EvalStr(Text); }); }
};

// An error case: an expression and the message it raises.
struct ErrorCase {
  const char* Text;
  const char* Pattern;
  const char* Arg;
};

}  // namespace ppa_test
