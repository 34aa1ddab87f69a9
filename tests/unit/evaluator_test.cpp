// The expression evaluator against a real variable store: values, error
// codes, variable references, and the parenthesis pass compared with a
// literal (recursive, rescanning) version of the language's rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "data/text.h"
#include "data/variable_store.h"
#include "script/errors.h"
#include "script/evaluator.h"
#include "support/outcome.h"
#include "support/sjis.h"

namespace kiro {
namespace {

using test::outcome;

// The parenthesis pass, tokeniser and reduction exactly as the language
// describes them: each group re-evaluated as a new text, the text rebuilt
// after every substitution. Operands are read through the evaluator.
struct LiteralEvaluator {
    Evaluator& ev;

    std::int32_t evaluate(std::string_view text) { return group(upperCased(trimBlanks(text))); }

    std::int32_t group(std::string s) {
        std::size_t depth = 0, start = 0;
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (isLeadByte(s[i])) throw CExecError(12);
            if (s[i] == '(' && depth++ == 0) start = i;
            if (s[i] != ')') continue;
            if (depth == 0) throw CExecError(10);
            if (--depth > 0) continue;
            if (i == start + 1) throw CExecError(11);
            s = s.substr(0, start) + decimalText(group(s.substr(start + 1, i - start - 1))) + s.substr(i + 1);
            i = start + 1;  // the loop's ++i makes it start + 2
        }
        return reduce(tokenise(s));
    }

    std::vector<std::pair<std::int32_t, int>> tokenise(const std::string& s) {
        std::vector<std::pair<std::int32_t, int>> terms;
        std::string token, varName;
        bool minus = false, isVariable = false;
        enum { START, NUMBER, NAME, AFTER } state = START;
        auto isOp = [](char c) { return std::string_view("+-*/%=!<>&|").find(c) != std::string_view::npos; };
        auto operand = [&] {
            if (!isVariable) return decimalValue(token);
            return varName.empty() ? ev.readVariable(token, "") : ev.readVariable(varName, token);
        };
        for (std::size_t i = 0; i < s.size(); ++i) {
            char c = s[i], n = i + 1 < s.size() ? s[i + 1] : 0;
            bool digit = c >= '0' && c <= '9', letter = c >= 'A' && c <= 'Z', blank = c == ' ' || c == '\t';
            if (state == START) {
                if (digit) token += c, state = NUMBER;
                else if (c == '-' && minus) throw CExecError(13);
                else if (c == '-') token += c, minus = true;
                else if (letter) token += c, isVariable = true, state = NAME;
                else if (isLeadByte(c)) throw CExecError(12);
                continue;
            }
            if (state == NUMBER && digit) { token += c; continue; }
            if (state == NAME && (letter || c == '_')) { token += c; continue; }
            if (state == NAME && c == ':') {
                if (varName.empty()) varName = token, token.clear();
                else token += c;
                state = START;
                continue;
            }
            if (blank) { state = AFTER; continue; }
            if (!isOp(c)) throw CExecError(state == NUMBER ? 14 : state == NAME ? 15 : 16);
            const std::string_view ops = "+-*/%";
            int op = ops.find(c) != std::string_view::npos ? int(ops.find(c))
                     : c == '<' ? (n == '=' ? 7 : 8) : c == '>' ? (n == '=' ? 9 : 10)
                     : c == '&' ? (n == '&' ? 11 : 13) : c == '|' ? (n == '|' ? 12 : 14)
                     : n != '=' ? throw CExecError(17) : c == '=' ? 5 : 6;
            terms.push_back({operand(), op});
            token.clear(), varName.clear(), minus = isVariable = false, state = START;
        }
        if (!token.empty()) terms.push_back({operand(), -1});
        return terms;
    }

    // 64-bit results cut to 32 bits: the wrap-around of the language.
    static std::int32_t apply(int op, std::int64_t a, std::int64_t b) {
        if ((op == 3 || op == 4) && b == 0) throw CExecError(18);
        const std::int64_t r[] = {a + b,  a - b,  a * b,  b ? a / b : 0, b ? a % b : 0, a == b, a != b, a <= b,
                                  a < b,  a >= b, a > b,  a && b,        a || b,         a & b,  a | b};
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(r[op]));
    }

    static std::int32_t reduce(std::vector<std::pair<std::int32_t, int>> t) {
        if (t.empty() || t.back().second != -1) throw CExecError(17);
        const std::vector<std::vector<int>> passes = {{2, 3, 4}, {0, 1}, {5, 6, 7, 8, 9, 10}, {13, 14}, {11, 12}};
        for (const auto& pass : passes)
            for (std::size_t i = 0; i < t.size();) {
                if (std::find(pass.begin(), pass.end(), t[i].second) == pass.end()) {
                    ++i;
                    continue;
                }
                t[i] = {apply(t[i].second, t[i].first, t[i + 1].first), t[i + 1].second};
                t.erase(t.begin() + static_cast<std::ptrdiff_t>(i) + 1);
            }
        return t[0].first;
    }
};

class EvaluatorTest : public ::testing::Test {
protected:
    EvaluatorTest() {
        for (int i = 0; i < 3; ++i) {
            CharacterRecord c;
            c.no = i;
            c.name = "chara" + std::to_string(i);
            c.array(kAbl)[2] = 10 * (i + 1);
            c.array(kCflag)[5] = 100 * (i + 1);
            store.addCharacter(c);
        }
        store.at(kTarget) = 1;
        store.at(kAssi) = 2;
        store.at(kLetterA) = 7;
    }
    std::string eval(std::string_view text) { return outcome([&] { return ev.evaluateExpression(text); }); }
    std::string literal(std::string_view text) { return outcome([&] { return reference.evaluate(text); }); }
    std::string assign(AssignKind kind, const char* target, std::int32_t value) {
        return outcome([&] { ev.assignVariableRef(kind, target, value); return 0; });
    }

    VariableStore store;
    Evaluator ev{store};
    LiteralEvaluator reference{ev};
};

TEST_F(EvaluatorTest, PrecedenceAssociativityAndOperators) {
    const std::pair<const char*, const char*> cases[] = {
        {"1 + 2 * 3", "7"}, {"(1 + 2) * 3", "9"}, {"7 / 2", "3"}, {"-7 / 2", "-3"}, {"-7 % 3", "-1"},
        {"2*3*4", "24"}, {"10-4-3", "3"}, {"1 < 2 < 3", "1"}, {"3 > 2 > 1", "0"}, {"1 || 0 && 0", "0"},
        {"6 & 3 | 8", "10"}, {"5 <= 5", "1"}, {"5 >= 6", "0"}, {"5 == 5", "1"}, {"5 != 5", "0"},
        {"2 && -1", "1"}, {"0 || 0", "0"}, {"5 <> 5", "0"}, {"+5", "5"}, {"5 + * 3", "8"},
        {"-5 + 3", "-2"}, {"3 + -5", "-2"}, {"- 5", "-5"}, {"5--3", "8"}, {"3 * (0 - 5) + 1", "-14"},
        {"a * 2", "14"}, {"\t 4 \t", "4"}, {"(5", "5"}, {"2(3)", "23"}, {"(2)3", "23"},
        {"(0-5)-(0-3)", "-2"}, {"10-(0-5)", "15"}, {"((1))", "1"}, {"((2)3)", "23"}, {"-", "0"},
    };
    for (auto [text, expected] : cases) EXPECT_EQ(eval(text), expected) << text;
}

TEST_F(EvaluatorTest, ErrorCodes) {
    const std::pair<const char*, int> cases[] = {
        {"5---3", 13}, {"-(0-5)", 13}, {"A1", 15}, {"12AB", 14}, {"5:3", 14}, {"5 5", 16},
        {"5 = 5", 17}, {"5 ! 5", 17}, {"5)", 10}, {"()", 11}, {"(1)(2)", 10}, {"(1))", 14},
        {"1/0", 18}, {"1%0", 18}, {"FOO", 4}, {"-A", 4}, {"A_B", 4}, {"FLAG:10000", 3},
        {"FLAG:-1", 4}, {"", 17}, {"  \t ", 17}, {"+*", 17}, {"5 +", 17}, {"A:", 17},
        {"( )", 17}, {"5 + A:", 17}, {"1/0 + FLAG:10000", 3}, {"(1/0) + \x82\xA0", 18},
        {"\x82\xA0 + (1/0)", 12}, {"(\x83\x7D)", 12}, {"1 + \x83\x7C", 12},
    };
    for (auto [text, code] : cases) EXPECT_EQ(eval(text), "error " + std::to_string(code)) << text;
    EXPECT_EQ(eval(test::sjis("ポ")), "error 12");
    EXPECT_EQ(eval(test::sjis("5ｱ")), "error 14");  // single-byte katakana is not double-byte
}

TEST_F(EvaluatorTest, WrapsIn32BitsWithoutTrapping) {
    EXPECT_EQ(eval("2147483647 + 1"), "-2147483648");
    EXPECT_EQ(eval("-2147483648 - 1"), "2147483647");
    EXPECT_EQ(eval("65536 * 65536"), "0");
    EXPECT_EQ(eval("-2147483648 / -1"), "-2147483648");
    EXPECT_EQ(eval("-2147483648 % -1"), "0");
    EXPECT_EQ(eval("4294967297"), "1");
    EXPECT_EQ(eval("(0-2147483647-1) / (0-1)"), "-2147483648");
}

TEST_F(EvaluatorTest, VariablesInExpressions) {
    EXPECT_EQ(eval("abl:2"), "20");  // TARGET is 1
    EXPECT_EQ(eval("ABL:0:2"), "error 14");
    EXPECT_EQ(eval("CFLAG:TARGET:5 + CFLAG:ASSI:5"), "500");
    EXPECT_EQ(eval("NO:ASSI * 10 + ISASSI:0"), "20");
    EXPECT_EQ(eval("CHARANUM"), "3");
    EXPECT_EQ(eval("RAND:0"), "0");
    EXPECT_EQ(store.randomState, 1u);
    EXPECT_EQ(eval("0 && RAND:10 < 10"), "0");
    EXPECT_NE(store.randomState, 1u);  // drawn although && could have decided early
    EXPECT_EQ(eval("0 && FLAG:10000"), "error 3");
    store.at(kTarget) = 5;
    EXPECT_EQ(eval("ABL:2"), "out of range");
    EXPECT_EQ(outcome([&] { return ev.readVariableRef("ABL:1:100"); }), "out of range");
}

TEST_F(EvaluatorTest, IndexPartsAndTheAbsentSecondPart) {
    EXPECT_EQ(ev.readVariable("CFLAG", "0:5"), 100);
    EXPECT_EQ(ev.readVariable(" CFLAG ", " 5 "), 200);
    EXPECT_EQ(ev.readVariableRef("CFLAG:2:5"), 300);
    store.at(kLetterA) = -1;
    EXPECT_EQ(ev.readVariableRef("ABL:2:A"), 20);  // -1 counts as absent: TARGET's ABL:2
    EXPECT_EQ(eval("ABL:ASSI:A"), "20");
    EXPECT_EQ(ev.readVariable("ABL", "2:"), 20);
    // A part is read even where the variable ignores it; an empty part names nothing.
    EXPECT_EQ(outcome([&] { return ev.readVariable("FLAG", "3:FOO"); }), "error 4");
    EXPECT_EQ(outcome([&] { return ev.readVariable("FLAG", ":3"); }), "error 4");
}

TEST_F(EvaluatorTest, IntegerAssignments) {
    ev.assignVariable(kAssign, "CFLAG", "0:5", 9);
    EXPECT_EQ(store.characterAt(0).get(kCflag, 5), 9);
    ev.assignVariable(kAdd, "ABL", "2", 5);  // TARGET's
    EXPECT_EQ(store.characterAt(1).get(kAbl, 2), 25);
    ev.assignVariableRef(kMultiply, "FLAG:9999", 3);
    ev.assignVariableRef(kAdd, "FLAG:9999", 2);
    EXPECT_EQ(store.at(kFlag, 9999), 2);
    ev.assignVariable(kAssign, "NO", "2", 42);
    EXPECT_EQ(store.characterAt(2).no, 42);
    ev.assignVariable(kAssign, "CHARANUM", "", 5);
    EXPECT_EQ(ev.readVariable("CHARANUM", ""), 3);
    const std::pair<const char*, int> errors[] = {{"FLAG:10000", 6}, {"DAY:-1", 4}, {"FOO:1", 7}, {"FOO", 7}};
    for (auto [target, code] : errors) EXPECT_EQ(assign(kAssign, target, 1), "error " + std::to_string(code));
    store.at(kLetterA) = 7;
    EXPECT_EQ(assign(kDivide, "A", 0), "error 18");
    EXPECT_EQ(assign(kRemainder, "CFLAG:0:5", 0), "error 18");
    EXPECT_EQ(store.at(kLetterA), 7);  // a failed /= or %= changes nothing
    EXPECT_EQ(store.characterAt(0).get(kCflag, 5), 9);
}

TEST_F(EvaluatorTest, StringReferences) {
    ev.assignStringVariable("STR", "5", "  text  ");
    EXPECT_EQ(ev.readStringVariable("STR:5"), "  text  ");
    store.at(kLetterA) = 5;
    EXPECT_EQ(ev.readStringVariable("STR:A"), "  text  ");
    store.nameTable(kAblName)[3] = "abl3";
    EXPECT_EQ(ev.readStringVariable("ABLNAME:3"), "abl3");
    EXPECT_EQ(ev.readStringVariable("ABLNAME:57"), "");
    EXPECT_EQ(store.nameTable(kAblName).size(), 1u);
    EXPECT_EQ(ev.readStringVariable("CALLNAME:2"), "chara2");  // filled from NAME
    EXPECT_EQ(store.characterAt(2).callName, "chara2");
    ev.assignStringVariable("NAME", "0", "renamed");  // no second part: TARGET's name
    EXPECT_EQ(store.characterAt(1).name, "renamed");
    ev.assignStringVariable("NAME", "0:0", "first");
    EXPECT_EQ(store.characterAt(0).name, "first");
    auto read = [&](const char* t) { return outcome([&] { return ev.readStringVariable(t).size(); }); };
    EXPECT_EQ(read("NAME"), "error 4");
    EXPECT_EQ(read("str:0"), "error 24");  // looked up as written
    EXPECT_EQ(read("STR:20000"), "error 23");
    EXPECT_EQ(read("NAME:9"), "out of range");
    auto assignText = [&](const char* name, const char* index) {
        return outcome([&] { ev.assignStringVariable(name, index, "x"); return 0; });
    };
    EXPECT_EQ(assignText("ABLNAME", "1"), "error 6");
    EXPECT_EQ(assignText("RESULTS", "100"), "error 6");
    EXPECT_EQ(assignText("FOO", "1"), "error 7");
}

TEST_F(EvaluatorTest, ParenthesisPassMatchesTheLiteralRules) {
    const char* tricky[] = {
        "-(0-5)", "2(3)", "(1)(2)", "((1))", "(1))", "((2)3)", "(1)((2))", "(1)(A(1))", "((1)(2))",
        "(12)(3)", "(1(2)", "((1)", "(1)\x82\xA0", "(1)(\x82\xA0)", "(1)2)", "((1)2)3", "(10)(2)",
        "(-1)(2)", "((1)(A:1))", "(1)(2)(3)", "((1)((2)))", "A:(1)", "(A)(B)", ")(", "(()1)",
    };
    for (const char* text : tricky) EXPECT_EQ(eval(text), literal(text)) << text;

    std::mt19937 random(12345);
    const std::string_view alphabet = "()0123-+* A:";
    for (int round = 0; round < 30000; ++round) {
        std::string text(1 + random() % 12, ' ');
        for (char& c : text) c = alphabet[random() % alphabet.size()];
        ASSERT_EQ(eval(text), literal(text)) << '"' << text << '"';
    }
}

TEST_F(EvaluatorTest, DeepNestingTakesNoStackPerLevel) {
    const int depth = 100000;
    EXPECT_EQ(eval(std::string(depth, '(') + "1" + std::string(depth, ')')), "1");
    std::string counting;
    for (int i = 1; i < depth; ++i) counting += "(1+";
    EXPECT_EQ(eval(counting + "(1" + std::string(depth, ')')), std::to_string(depth));
    EXPECT_EQ(eval("-" + std::string(depth, '(') + "0-5" + std::string(depth, ')')), "error 13");
    EXPECT_EQ(eval(std::string(depth, '(') + "1)(2" + std::string(depth, ')')), "error 10");
    std::string many;
    for (int i = 0; i < depth; ++i) many += "(10)+";
    EXPECT_EQ(eval(many + "0"), std::to_string(10 * depth));
    // Moderate depths against the literal rules, digits between the levels.
    std::string mixed;
    for (int i = 0; i < 300; ++i) mixed += i % 3 ? "(" : "(1)(";
    mixed += "7";
    for (int i = 0; i < 300; ++i) mixed += i % 2 ? ")" : ")2";
    EXPECT_EQ(eval(mixed), literal(mixed));
}

}  // namespace
}  // namespace kiro
