#include "support/differential.h"

#include <algorithm>

#include "console/console.h"
#include "data/game_base.h"
#include "script/errors.h"
#include "script/evaluator.h"
#include "script/executor.h"
#include "script/loader.h"
#include "script/runtime.h"
#include "script/script_program.h"
#include "script/expression_code.h"
#include "script/form_expansion.h"

namespace kiro::test {
namespace {

// Indexes the generator writes, and the ones the baseline's variables hold.
constexpr std::int32_t kIndexes[] = {0, 1, 2, 3, 5, 7, 19, 20, 99, 100, 999, 1000, 9999, 10000};

const char* const kNumbers[] = {"0", "1", "2", "3", "5", "7", "19", "20", "99", "100", "999", "1000", "9999",
                                "10000", "007", "2147483647", "2147483648", "4294967296", "99999999999"};
// Integer variables of every kind, names no table holds, and small letters.
const char* const kNames[] = {"A",     "B",     "C",      "X",      "Z",       "COUNT",  "RESULT", "FLAG",
                              "MONEY", "DAY",   "ITEM",   "TARGET", "ASSI",    "MASTER", "TFLAG",  "PALAMLV",
                              "RAND",  "RAND",  "CHARANUM", "ABL",  "CFLAG",   "TALENT", "BASE",   "EXP",
                              "NO",    "ISASSI", "FOO",   "Q_X",    "STR",     "a",      "flag",   "rand",
                              "abl",   "count"};
const char* const kIndexNames[] = {"COUNT", "TARGET", "A", "Z", "RAND", "FOO", "ABL", "NO", "master", "CHARANUM"};
const char* const kOperators[] = {"+",  "-",  "*", "/", "%", "==", "!=", "<=", "<",  ">=", ">", "&&",
                                  "||", "&",  "|", "+", "-", "*",  "+",  "-",  "<>", "**", "=", "!"};
const char* const kJunk[] = {"(", ")", "()", "-", "--", ":", "_", ".", ",", "{", "$", "'", "\t", "  ",
                             "\x82\xA0", "\xB1", "\x82", "\x81\x40", "5", "A", "=", "!", "&"};
const char* const kLiterals[] = {"",   "X=",  " ",  "\x82\xA0\x82\xA2", "abc", "%STR:0%", "***", "%",  "{",
                                 "}",  "$$$", "+", "/",                "==",  "100%",    "**",  "\x82{"};

std::string describe(const char* what, const std::string& text, const std::string& textOutcome,
                     const std::string& parsedOutcome) {
    return std::string(what) + " [" + text + "]: text path " + textOutcome + ", parsed path " + parsedOutcome;
}

// One comparable text per outcome: "= 7", "error 15", "out of range".
template <typename F>
std::string outcomeOf(F&& run) {
    try {
        return "= " + run();
    } catch (const CExecError& e) {
        return "error " + std::to_string(e.code);
    } catch (const kiro::ArrayError&) {
        return "out of range";
    }
}

void populate(VariableStore& store) {
    for (int i = 0; i < 3; ++i) {
        CharacterRecord c;
        c.no = i;
        c.isAssi = i == 2;
        c.name = "chara" + std::to_string(i);
        c.callName = "call" + std::to_string(i);  // never empty, so reading it changes nothing
        for (std::int32_t code = 0; code < kCharacterArrayCount; ++code)
            for (std::size_t k = 0; k < 6; ++k) c.array(code)[k] = static_cast<std::int32_t>(code * 10 + k + i);
        store.addCharacter(c);
    }
    const std::pair<std::int32_t, std::int32_t> values[] = {
        {kLetterA, 7},     {kLetterA + 1, -3}, {kLetterA + 2, 0}, {kLetterA + 23, 2}, {kLetterZ, -1},
        {kCount, 5},       {kResult, 99},      {kTarget, 1},      {kAssi, 2},         {kMaster, 0},
        {kMoney, 1000},    {kDay, 3},
    };
    for (auto [code, value] : values) store.at(code) = value;
    for (std::int32_t index : {1, 3, 5, 7, 99, 999, 9999}) store.at(kFlag, index) = index * 3 - 8;
    store.at(kItem, 1) = 2;
    store.at(kTflag, 2) = -2147483647 - 1;
    store.strings(kStr)[0] = "s{1+1}";
    store.nameTable(kAblName)[2] = "abl2";
}

// Every element the vocabulary can reach at the generator's indexes.
std::vector<std::int32_t> storeFingerprint(VariableStore& store) {
    std::vector<std::int32_t> values;
    values.push_back(static_cast<std::int32_t>(store.randomState));
    for (std::int32_t code = kFirstGlobalCode; code < kGlobalSlots; ++code)
        for (std::int32_t index : kIndexes)
            if (static_cast<std::size_t>(index) < store.global(code).size()) values.push_back(store.at(code, index));
    for (CharacterRecord& c : store.characters) {
        values.push_back(c.no);
        values.push_back(c.isAssi);
        for (std::int32_t code = 0; code < kCharacterArrayCount; ++code)
            for (std::int32_t index : kIndexes)
                if (static_cast<std::size_t>(index) < c.array(code).size())
                    values.push_back(c.array(code)[static_cast<std::size_t>(index)]);
    }
    return values;
}

// The plain terms and operators of the expressions most statements get.
const char* const kPlainTerms[] = {"A", "B", "C", "X", "COUNT", "FLAG:3", "B:5", "RAND:3", "A:COUNT", "TFLAG:99999",
                                   "0", "1", "2", "3", "7", "-1"};
const char* const kPlainOperators[] = {"+", "-", "*", "/", "%", "==", "<", ">", "&&", "||", "&", "!="};
const char* const kPlainTargets[] = {"A", "B", "C", "X", "FLAG:3", "B:5", "A:COUNT", "FLAG:99999", "RESULT"};
// Puts the values a fingerprint holds back wherever it looks.
void restoreStore(VariableStore& store, const std::vector<std::int32_t>& baseline) {
    std::size_t at = 1;
    for (std::int32_t code = kFirstGlobalCode; code < kGlobalSlots; ++code)
        for (std::int32_t index : kIndexes)
            if (static_cast<std::size_t>(index) < store.global(code).size()) store.at(code, index) = baseline[at++];
    for (CharacterRecord& c : store.characters) {
        c.no = baseline[at++];
        c.isAssi = baseline[at++];
        for (std::int32_t code = 0; code < kCharacterArrayCount; ++code)
            for (std::int32_t index : kIndexes)
                if (static_cast<std::size_t>(index) < c.array(code).size())
                    c.array(code)[static_cast<std::size_t>(index)] = baseline[at++];
    }
}

const char* const kAssignOperators[] = {"=", "+=", "-=", "*=", "/=", "%=", "&=", "|="};
const char* const kRepeatCounts[] = {"1", "2", "3", "0", "-1", "2"};

}  // namespace

// ---- Generator --------------------------------------------------------------

bool CaseGenerator::chance(int percent) { return below(100) < static_cast<std::size_t>(percent); }

std::size_t CaseGenerator::below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_); }

std::string CaseGenerator::blank() {
    if (!chance(40)) return "";
    return chance(80) ? " " : chance(50) ? "\t" : "  ";
}

// Mostly what tokenises ("5", "TARGET", "TARGET:5"); now and then a
// number before a ':' (error 14) or an empty part.
std::string CaseGenerator::indexText() {
    switch (below(12)) {
        case 0: return "";
        case 1: case 2: return std::string(pick(kIndexNames));
        case 3: case 4: case 5: return std::string(pick(kIndexNames)) + ":" + pick(kNumbers);
        case 6: return std::string(pick(kIndexNames)) + ":" + pick(kIndexNames);
        case 7: return std::string(pick(kNumbers)) + ":" + (chance(50) ? pick(kNumbers) : pick(kIndexNames));
        case 8: return chance(50) ? ":" : std::string(pick(kIndexNames)) + ":";
        default: return pick(kNumbers);
    }
}

std::string CaseGenerator::reference() {
    std::string ref = pick(kNames);
    if (chance(55)) ref += ":" + indexText();
    return ref;
}

std::string CaseGenerator::term(int depth) {
    std::string t = chance(8) ? "-" + blank() : "";
    const std::size_t kind = depth < 4 ? below(10) : below(7);
    if (kind < 3) {
        t += pick(kNumbers);
    } else if (kind < 7) {
        t += reference();
    } else {
        t += "(" + blank() + expression(depth + 1) + blank() + ")";
        if (chance(5)) t += pick(kNumbers);  // "(1)2" joins the digits
    }
    return t;
}

std::string CaseGenerator::expression(int depth) {
    std::string text = blank() + term(depth);
    const std::size_t terms = below(depth == 0 ? 6 : 4);
    for (std::size_t i = 0; i < terms; ++i) text += blank() + pick(kOperators) + blank() + term(depth);
    return text + blank();
}

std::string CaseGenerator::mutated(std::string text) {
    const std::size_t edits = 1 + below(3);
    for (std::size_t i = 0; i < edits; ++i) {
        const std::size_t at = below(text.size() + 1);
        switch (below(3)) {
            case 0: text.insert(at, pick(kJunk)); break;
            case 1: if (at < text.size()) text.erase(at, 1); break;
            default: if (at < text.size()) text[at] = pick(kJunk)[0]; break;
        }
    }
    return text;
}

std::string CaseGenerator::soup() {
    std::string text;
    const std::size_t pieces = below(8);
    for (std::size_t i = 0; i < pieces; ++i) {
        switch (below(4)) {
            case 0: text += pick(kNumbers); break;
            case 1: text += pick(kNames); break;
            case 2: text += pick(kOperators); break;
            default: text += pick(kJunk); break;
        }
    }
    return text;
}

std::string CaseGenerator::expression() {
    if (chance(5)) return soup();
    std::string text = expression(0);
    return chance(12) ? mutated(std::move(text)) : text;
}

AssignmentCase CaseGenerator::assignment() {
    AssignmentCase statement;
    statement.kind = static_cast<AssignKind>(below(8));
    statement.target = pick(kNames);
    for (char& c : statement.target)  // the loader's target word is upper-cased
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (chance(60)) statement.targetIndex = indexText();
    if (chance(5)) statement.targetIndex = "(1)";
    statement.value = expression();
    return statement;
}

std::string CaseGenerator::form() {
    std::string text = pick(kLiterals);
    const std::size_t pieces = below(4);
    for (std::size_t i = 0; i < pieces; ++i) text += "{" + expression() + "}" + pick(kLiterals);
    return chance(10) ? mutated(std::move(text)) : text;
}

std::string CaseGenerator::plainExpression() {
    if (chance(20)) return expression();
    std::string text = pick(kPlainTerms);
    for (std::size_t terms = below(3); terms > 0; --terms)
        text += std::string(" ") + pick(kPlainOperators) + " " + pick(kPlainTerms);
    return text;
}

// One line of a function that opens no block; now and then a keyword of
// a block or loop out of place. `label` is the number of the next label
// line, `labels` how many the function has.
std::string CaseGenerator::statement(bool main, int label, int labels) {
    switch (below(24)) {
        case 0: return chance(50) ? "ELSE" : "ENDIF";
        case 1: return chance(30) ? "REND" : chance(50) ? "CONTINUE" : "BREAK";
        case 2: case 3: return "SIF " + plainExpression();
        case 4: case 5: {
            if (label >= labels || chance(5)) return "GOTO NOWHERE";
            return "GOTO L" + std::to_string(label + static_cast<int>(below(static_cast<std::size_t>(labels - label))));
        }
        case 6: return "PRINTFORML " + form();
        case 7: return chance(50) ? "PRINTV " + plainExpression() : "PRINTL x" + std::string(pick(kLiterals));
        case 8: return main ? (chance(90) ? "CALL SUB" : "CALL MISSING") : "RETURN 7";
        case 9: return chance(20) ? "RETURN " + std::string(pick(kNumbers)) : "STR:0 = t";
        case 10: case 11: {
            AssignmentCase a = assignment();
            if (a.target == "COUNT") a.target = "B";  // a loop that counts for ever never ends
            return a.target + (a.targetIndex.empty() ? "" : ":" + a.targetIndex) + " " +
                   kAssignOperators[static_cast<std::size_t>(a.kind)] + " " + a.value;
        }
        default: return std::string(pick(kPlainTargets)) + " " + pick(kAssignOperators) + " " + plainExpression();
    }
}

// Lines of a block: statements, IF blocks with ELSEIF and ELSE branches
// and REPEAT loops, nested up to three deep, each now and then left open.
void CaseGenerator::block(Lines& out, int depth, bool main) {
    const std::size_t count = 1 + below(depth == 0 ? 8 : 4);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t kind = depth < 3 ? below(10) : 9;
        if (kind < 2) {
            out.push_back("IF " + plainExpression());
            block(out, depth + 1, main);
            for (std::size_t k = below(3); k > 0; --k) {
                out.push_back("ELSEIF " + plainExpression());
                block(out, depth + 1, main);
            }
            if (chance(50)) {
                out.push_back("ELSE");
                block(out, depth + 1, main);
            }
            if (chance(95)) out.push_back("ENDIF");
        } else if (kind < 3 && main) {  // a loop in SUB would set COUNT back under MAIN's loop
            out.push_back(std::string("REPEAT ") + pick(kRepeatCounts));
            block(out, depth + 1, main);
            if (chance(95)) out.push_back("REND");
        } else {
            out.push_back({});  // a statement, made once the labels are placed
        }
    }
}

std::string CaseGenerator::function(const char* name, bool main) {
    Lines lines;
    block(lines, 0, main);
    const int labels = static_cast<int>(below(4));
    // Label k stands before line position[k]; GOTOs only go forward.
    std::vector<std::size_t> positions;
    for (int k = 0; k < labels; ++k) positions.push_back(below(lines.size() + 1));
    std::sort(positions.begin(), positions.end());
    std::string text = std::string("@") + name + "\n";
    int label = 0;
    for (std::size_t i = 0; i <= lines.size(); ++i) {
        while (label < labels && positions[static_cast<std::size_t>(label)] == i)
            text += "$L" + std::to_string(label++) + "\n";
        if (i == lines.size()) break;
        if (chance(30)) text += "\t";
        text += (lines[i].empty() ? statement(main, label, labels) : lines[i]) + "\n";
    }
    return text;
}

std::string CaseGenerator::script() { return function("MAIN", true) + function("SUB", false); }

// ---- Check ------------------------------------------------------------------

DifferentialCheck::DifferentialCheck() {
    populate(text_);
    populate(parsed_);
    baseline_ = fingerprint(text_);
}

// Every element the vocabulary can reach at the generator's indexes.
std::vector<std::int32_t> DifferentialCheck::fingerprint(VariableStore& store) const {
    return storeFingerprint(store);
}

void DifferentialCheck::restore(VariableStore& store) const { restoreStore(store, baseline_); }

std::string DifferentialCheck::compareStores(const std::string& what, const std::string& textOutcome,
                                             const std::string& parsedOutcome) {
    std::string difference;
    if (textOutcome != parsedOutcome) difference = describe("outcome", what, textOutcome, parsedOutcome);
    else if (fingerprint(text_) != fingerprint(parsed_))
        difference = describe("variables or RAND state", what, textOutcome, parsedOutcome);
    restore(text_);
    restore(parsed_);
    return difference;
}

std::string DifferentialCheck::expression(const std::string& text, std::uint32_t randomSeed) {
    text_.seedRandom(randomSeed);
    parsed_.seedRandom(randomSeed);
    Evaluator textEvaluator(text_), parsedEvaluator(parsed_);
    const Expression expression(text);
    ++total;
    compiled += expression.compiled();
    const std::string textOutcome = outcomeOf([&] { return std::to_string(textEvaluator.evaluateExpression(text)); });
    const std::string parsedOutcome = outcomeOf([&] { return std::to_string(expression.evaluate(parsedEvaluator)); });
    return compareStores(text, textOutcome, parsedOutcome);
}

std::string DifferentialCheck::assignment(const AssignmentCase& statement, std::uint32_t randomSeed) {
    text_.seedRandom(randomSeed);
    parsed_.seedRandom(randomSeed);
    Evaluator textEvaluator(text_), parsedEvaluator(parsed_);
    const Expression value(statement.value);
    const VariableRef target = resolveReference(statement.target, statement.targetIndex);
    ++total;
    compiled += value.compiled();
    const std::string textOutcome = outcomeOf([&] {
        const std::int32_t v = textEvaluator.evaluateExpression(statement.value);
        textEvaluator.assignVariable(statement.kind, statement.target, statement.targetIndex, v);
        return std::string();
    });
    const std::string parsedOutcome = outcomeOf([&] {
        parsedEvaluator.assignReference(statement.kind, target, value.evaluate(parsedEvaluator));
        return std::string();
    });
    const std::string what = statement.target + ":" + statement.targetIndex + " kind " +
                             std::to_string(statement.kind) + " = " + statement.value;
    return compareStores(what, textOutcome, parsedOutcome);
}

std::string DifferentialCheck::form(const std::string& text, std::uint32_t randomSeed) {
    text_.seedRandom(randomSeed);
    parsed_.seedRandom(randomSeed);
    Evaluator textEvaluator(text_), parsedEvaluator(parsed_);
    const PreparedForm form(text);
    ++total;
    std::string out = "left over";
    const std::string textOutcome = outcomeOf([&] { return expandForm(textEvaluator, text); });
    const std::string parsedOutcome = outcomeOf([&] {
        form.expand(parsedEvaluator, out);
        return out;
    });
    return compareStores("form " + text, textOutcome, parsedOutcome);
}

std::string runDifferential(std::uint64_t seed, std::size_t count, DifferentialCheck& check) {
    CaseGenerator generator(seed);
    std::mt19937 seeds(static_cast<std::uint32_t>(seed));
    for (std::size_t i = 0; i < count; ++i) {
        std::string difference;
        switch (i % 4) {
            case 0:
            case 1: difference = check.expression(generator.expression(), seeds()); break;
            case 2: difference = check.assignment(generator.assignment(), seeds()); break;
            default: difference = check.form(generator.form(), seeds()); break;
        }
        if (!difference.empty()) return "case " + std::to_string(i) + ": " + difference;
    }
    return {};
}

namespace {

// One run of MAIN: what was written and how the run ended.
struct FunctionRun {
    std::string output, ending;
    std::vector<std::int32_t> variables;
};

// Runs MAIN on `store`, which starts from `baseline` (its fingerprint).
FunctionRun runMain(const std::string& script, bool lineByLine, std::uint32_t randomSeed, VariableStore& store,
                    const std::vector<std::int32_t>& baseline) {
    StringConsoleIo io(std::string(64, '\n'));  // Enter for every error report
    Console console(io);
    restoreStore(store, baseline);
    store.strings(kStr)[0] = "s{1+1}";
    store.seedRandom(randomSeed);
    ScriptProgram program;
    GameBase base;
    loadScriptText(program, console, "t.kst", script);
    console.flush();
    io.output.clear();
    Runtime rt(console, store, program, base);
    rt.lineByLine = lineByLine;
    FunctionRun run;
    try {
        runTopLevelByName(rt, "MAIN");
        run.ending = "end";
    } catch (const CExecError& e) {
        run.ending = "error " + std::to_string(e.code) + " " + e.detail;
    } catch (const ArrayError&) {
        run.ending = "out of range";
    } catch (const ProgramExit& e) {
        run.ending = "exit " + std::to_string(e.status);
    }
    if (rt.running && rt.running->lineAtPc()) run.ending += " at line " + std::to_string(rt.running->lineAtPc()->lineNumber);
    console.flush();
    run.output = io.output;
    run.variables = storeFingerprint(store);
    run.output += "\nSTR:0 " + store.strings(kStr)[0];
    return run;
}

}  // namespace

std::string runFunctionDifferential(std::uint64_t seed, std::size_t count) {
    // Two stores made once (making one costs more than a case): each run
    // puts back what the fingerprint holds and STR:0 first.
    VariableStore referenceStore, compiledStore;
    populate(referenceStore);
    populate(compiledStore);
    const std::vector<std::int32_t> baseline = storeFingerprint(referenceStore);
    CaseGenerator generator(seed);
    std::mt19937 seeds(static_cast<std::uint32_t>(seed));
    for (std::size_t i = 0; i < count; ++i) {
        const std::string script = generator.script();
        const std::uint32_t randomSeed = seeds();
        const FunctionRun reference = runMain(script, true, randomSeed, referenceStore, baseline);
        const FunctionRun compiled = runMain(script, false, randomSeed, compiledStore, baseline);
        const char* what = reference.output != compiled.output     ? "output"
                           : reference.ending != compiled.ending   ? "ending"
                           : reference.variables != compiled.variables ? "variables"
                                                                       : nullptr;
        if (what)
            return "case " + std::to_string(i) + ": " + what + " differs (line by line: " + reference.ending +
                   ", compiled: " + compiled.ending + ")\n" + script;
    }
    return {};
}

}  // namespace kiro::test
