// The interpreter's messages, stored in code page 932 whatever the system code page is: the
// template author's dialogs and the command line show them exactly as the original plug-in did.
// The UTF-8 text above each constant is what the bytes say; a test checks that the two agree.
#pragma once

namespace ppa_messages {

// 文法エラーです[%s]  (syntax error: the offending token, or a word naming the statement)
inline constexpr const char kSyntaxError[] = "\x95\xB6\x96@\x83G\x83\x89\x81[\x82\xC5\x82\xB7[%s]";
// 変数の型が違います[%s]  (a variable of the wrong type in an expression)
inline constexpr const char kWrongVariableType[] = "\x95\xCF\x90\x94\x82\xCC\x8C^\x82\xAA\x88\xE1\x82\xA2\x82\xDC\x82\xB7[%s]";
// 関数の戻り値の型が違います[%s]  (a function whose result has the wrong type)
inline constexpr const char kWrongResultType[] = "\x8A\xD6\x90\x94\x82\xCC\x96\xDF\x82\xE8\x92l\x82\xCC\x8C^\x82\xAA\x88\xE1\x82\xA2\x82\xDC\x82\xB7[%s]";
// 変数または関数は定義されていません[%s]  (neither a variable nor a function of that name)
inline constexpr const char kUndefinedName[] = "\x95\xCF\x90\x94\x82\xDC\x82\xBD\x82\xCD\x8A\xD6\x90\x94\x82\xCD\x92\xE8\x8B`\x82\xB3\x82\xEA\x82\xC4\x82\xA2\x82\xDC\x82\xB9\x82\xF1[%s]";
// 右括弧がありません  (right parenthesis missing)
inline constexpr const char kMissingRightParen[] = "\x89" "E\x8A\x87\x8C\xCA\x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1";
// 未宣言の組み込み関数です[%s]  (a built-in function number without behaviour)
inline constexpr const char kUndeclaredBuiltinFunction[] = "\x96\xA2\x90\xE9\x8C\xBE\x82\xCC\x91g\x82\xDD\x8D\x9E\x82\xDD\x8A\xD6\x90\x94\x82\xC5\x82\xB7[%s]";
// 未宣言の組み込み手続きです[%s]  (a built-in procedure number without behaviour)
inline constexpr const char kUndeclaredBuiltinProcedure[] = "\x96\xA2\x90\xE9\x8C\xBE\x82\xCC\x91g\x82\xDD\x8D\x9E\x82\xDD\x8E\xE8\x91\xB1\x82\xAB\x82\xC5\x82\xB7[%s]";
// 読取専用オブジェクトには代入できません[%s]  (assignment to a read-only name)
inline constexpr const char kReadOnlyAssignment[] = "\x93\xC7\x8E\xE6\x90\xEA\x97p\x83I\x83u\x83W\x83" "F\x83N\x83g\x82\xC9\x82\xCD\x91\xE3\x93\xFC\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1[%s]";
// 式が不正です[%s]  (malformed construct)
inline constexpr const char kMalformed[] = "\x8E\xAE\x82\xAA\x95s\x90\xB3\x82\xC5\x82\xB7[%s]";
// endがありません[%s]  (END missing)
inline constexpr const char kMissingEnd[] = "end\x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1[%s]";
// ofがありません[%s]  (OF missing)
inline constexpr const char kMissingOf[] = "of\x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1[%s]";
// 変数/定数名の重複定義[%s]  (a variable or constant name defined twice)
inline constexpr const char kDuplicateValue[] = "\x95\xCF\x90\x94/\x92\xE8\x90\x94\x96\xBC\x82\xCC\x8F" "d\x95\xA1\x92\xE8\x8B`[%s]";
// 仮引数名の重複定義[%s]  (a parameter name defined twice in one prototype)
inline constexpr const char kDuplicateParameter[] = "\x89\xBC\x88\xF8\x90\x94\x96\xBC\x82\xCC\x8F" "d\x95\xA1\x92\xE8\x8B`[%s]";
// 定義エラーです  (malformed prototype)
inline constexpr const char kDefinitionError[] = "\x92\xE8\x8B`\x83G\x83\x89\x81[\x82\xC5\x82\xB7";
// 手続き/関数の重複宣言[%s]  (a routine name declared twice)
inline constexpr const char kDuplicateRoutine[] = "\x8E\xE8\x91\xB1\x82\xAB/\x8A\xD6\x90\x94\x82\xCC\x8F" "d\x95\xA1\x90\xE9\x8C\xBE[%s]";
// 実行を中断しました  (the run was stopped)
inline constexpr const char kStopped[] = "\x8E\xC0\x8Ds\x82\xF0\x92\x86\x92" "f\x82\xB5\x82\xDC\x82\xB5\x82\xBD";
// 入れ子が深すぎます  (expressions, blocks or calls nested beyond the stack's safe depth)
inline constexpr const char kNestingTooDeep[] = "\x93\xFC\x82\xEA\x8Eq\x82\xAA\x90[\x82\xB7\x82\xAC\x82\xDC\x82\xB7";
// 無限の待機はできません[%s]  (Sleep asked to wait forever (the count's low 32 bits all ones))
inline constexpr const char kInfiniteSleep[] = "\x96\xB3\x8C\xC0\x82\xCC\x91\xD2\x8B@\x82\xCD\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1[%s]";
// 呼び出し先でエラーが発生しました[%s]  (an owner call failed and no ErrorProc handler is bound; the code in brackets)
inline constexpr const char kOwnerError[] = "\x8C\xC4\x82\xD1\x8Fo\x82\xB5\x90\xE6\x82\xC5\x83G\x83\x89\x81[\x82\xAA\x94\xAD\x90\xB6\x82\xB5\x82\xDC\x82\xB5\x82\xBD[%s]";
// メモリが不足しています  (memory ran out, or a string grew beyond the interpreter's limit)
inline constexpr const char kOutOfMemory[] = "\x83\x81\x83\x82\x83\x8A\x82\xAA\x95s\x91\xAB\x82\xB5\x82\xC4\x82\xA2\x82\xDC\x82\xB7";
// 実行中です  (Execute called again while a run is under way)
inline constexpr const char kAlreadyRunning[] = "\x8E\xC0\x8Ds\x92\x86\x82\xC5\x82\xB7";

// Messages of the platform's run-time library that reach the owner the same way.
inline constexpr const char kDivisionByZero[] = "Division by zero";
inline constexpr const char kNotAValidInteger[] = "'%s' is not a valid integer value";

}  // namespace ppa_messages
