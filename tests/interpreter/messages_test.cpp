// The catalogue is stored in code page 932 whatever the system code page is; each constant must
// read, as 932, exactly as the text beside it in messages.h.
#include <gtest/gtest.h>

#include <string_view>

#include "interpreter/messages.h"
#include "platform/platform.h"
#include "platform/posix/desktop.h"

namespace {

TEST(Messages, CatalogueIsCodePage932) {
  platform::desktop::Reset();  // ja-JP: code page 932
  ASSERT_EQ(platform::CodePage(), 932);
  struct Row {
    const char* Stored;
    std::string_view Utf8;
  };
  const Row Rows[] = {
      {ppa_messages::kSyntaxError, "文法エラーです[%s]"},
      {ppa_messages::kWrongVariableType, "変数の型が違います[%s]"},
      {ppa_messages::kWrongResultType, "関数の戻り値の型が違います[%s]"},
      {ppa_messages::kUndefinedName, "変数または関数は定義されていません[%s]"},
      {ppa_messages::kMissingRightParen, "右括弧がありません"},
      {ppa_messages::kUndeclaredBuiltinFunction, "未宣言の組み込み関数です[%s]"},
      {ppa_messages::kUndeclaredBuiltinProcedure, "未宣言の組み込み手続きです[%s]"},
      {ppa_messages::kReadOnlyAssignment, "読取専用オブジェクトには代入できません[%s]"},
      {ppa_messages::kMalformed, "式が不正です[%s]"},
      {ppa_messages::kMissingEnd, "endがありません[%s]"},
      {ppa_messages::kMissingOf, "ofがありません[%s]"},
      {ppa_messages::kDuplicateValue, "変数/定数名の重複定義[%s]"},
      {ppa_messages::kDuplicateParameter, "仮引数名の重複定義[%s]"},
      {ppa_messages::kDefinitionError, "定義エラーです"},
      {ppa_messages::kDuplicateRoutine, "手続き/関数の重複宣言[%s]"},
      {ppa_messages::kStopped, "実行を中断しました"},
      {ppa_messages::kNestingTooDeep, "入れ子が深すぎます"},
      {ppa_messages::kInfiniteSleep, "無限の待機はできません[%s]"},
      {ppa_messages::kOwnerError, "呼び出し先でエラーが発生しました[%s]"},
      {ppa_messages::kOutOfMemory, "メモリが不足しています"},
      {ppa_messages::kAlreadyRunning, "実行中です"},
      {ppa_messages::kDivisionByZero, "Division by zero"},
      {ppa_messages::kNotAValidInteger, "'%s' is not a valid integer value"},
  };
  for (const Row& R : Rows) EXPECT_EQ(platform::ToUtf8(R.Stored), R.Utf8);
}

}  // namespace
