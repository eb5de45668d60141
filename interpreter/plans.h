// Plans: what reading a text once found out, kept so that the text can run again without being read.
//
// A plan is made by reading a text exactly as the evaluators or the executor would, but instead of
// computing, the reading notes the operations in their order, the records its names found and the
// texts it cut out. A plan holds while the tables stand as they stood (TablesStamp): every use
// checks that first. It is made only when running the text could raise no error of reading and an
// expression could call nothing that might change the tables mid-way (owner routines, host objects,
// built-ins that show dialogs or handle messages); every other text runs from its replayed tokens.
// So a plan does what the reading would do, in the same order, with the same errors.
//
// Internal to the interpreter.
#pragma once

#include <cstdint>
#include <string>

#include "interpreter/poor_pascal.h"

enum TPPAPlanKind : std::uint8_t { pkInt = 0, pkReal = 1, pkStr = 2, pkStatement = 3 };

struct TPPAPlan {
  virtual ~TPPAPlan() = default;
  std::uint64_t Stamp = 0;    // the tables' stamp the plan was made against
  std::uint8_t Attempts = 0;  // plans made for this use of the text so far
  bool Ready = false;         // false: the text cannot be planned under Stamp
  mutable int Running = 0;    // runs in progress that may reach the owner (such a plan is never replaced)
};

namespace ppa_plans {
struct TExprPlan;
struct TStatementPlan;
}

// The planner's entry points. Each runs the text by its plan and returns true, or returns false
// without doing anything when the text has no plan that holds now.
class TPPAPlanner {
 public:
  // The text's plan for that use when it holds under Stamp; nullptr when it must be made or checked
  // first. Inline, as it runs for every expression and statement.
  static TPPAPlan* Current(const TPPAScannedText& Text, TPPAPlanKind Kind, std::uint64_t Stamp) {
    TPPAPlan* Plan = Text.Plans[Kind].get();
    return Plan != nullptr && Plan->Stamp == Stamp && Plan->Ready ? Plan : nullptr;
  }
  static bool TryInt(TPoorPascal& PP, TPPAScannedText& Text, std::int64_t& Result);
  static bool TryReal(TPoorPascal& PP, TPPAScannedText& Text, double& Result);
  static bool TryStr(TPoorPascal& PP, TPPAScannedText& Text, std::string& Result);
  // Result: what ExecStatement would return (false after BREAK, CONTINUE and EXIT).
  static bool TryStatement(TPoorPascal& PP, TPPAScannedText& Statement, bool& Result);
  // The plan of the text as an expression of that kind, made if missing or stale; nullptr if none.
  // Base: the guards the reading stands in when it starts (for the limit on planning's own depth).
  static const ppa_plans::TExprPlan* ExpressionPlan(TPoorPascal& PP, TPPAScannedText& Text, TPPAPlanKind Kind,
                                                    int Base);
};
