// Telling the author what is wrong in a text the engine's evaluator
// refuses, and what to write instead. The evaluator says only which error
// the text raises; this reads the text the way the evaluator does (names of
// letters and '_', index parts after ':', PRINTFORM's {} and %%) to find
// the name or character that raises it.
#include "expression_faults.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "data/text.h"
#include "data/variable_store.h"
#include "script/errors.h"
#include "suggestions.h"
#include "utf8_text.h"

namespace kiro::check {
namespace {

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isNameByte(char c) { return isLetter(c) || isDigit(c) || c == '_'; }

bool isIntName(std::string_view name) { return VariableStore::lookupIntVariable(name).has_value(); }
bool isStringName(std::string_view name) { return VariableStore::lookupStringVariable(name).has_value(); }

std::string withError(std::string text, std::int32_t error) {
    return text + " (kiro reports error " + std::to_string(error) + ")";
}

// A variable reference in an expression: its name and index parts, each
// with its offset in the text.
struct Piece {
    std::size_t at;
    std::string_view text;
};
struct Reference {
    Piece name;
    std::vector<Piece> parts;
    std::string_view whole;  // the name with its index parts
};

// The references of text[from, to), left to right; double-byte characters
// are passed over.
std::vector<Reference> referencesIn(std::string_view text, std::size_t from, std::size_t to) {
    std::vector<Reference> found;
    auto run = [&](std::size_t at) {
        std::size_t end = at;
        while (end < to && isNameByte(text[end])) ++end;
        return end;
    };
    for (std::size_t i = from; i < to;) {
        if (isLeadByte(text[i])) {
            i += 2;
            continue;
        }
        if (!isLetter(text[i]) || (i > from && isNameByte(text[i - 1]))) {
            ++i;
            continue;
        }
        Reference ref;
        std::size_t end = i;
        while (end < to && (isLetter(text[end]) || text[end] == '_')) ++end;
        ref.name = {i, text.substr(i, end - i)};
        while (end < to && text[end] == ':') {
            const std::size_t partEnd = run(end + 1);
            ref.parts.push_back({end + 1, text.substr(end + 1, partEnd - end - 1)});
            end = partEnd;
        }
        ref.whole = text.substr(i, end - i);
        found.push_back(std::move(ref));
        i = end;
    }
    return found;
}

// Where a name that is not an integer variable's is used as one.
std::optional<TextFault> notANumber(const Piece& name, std::string_view written, TextUse use, std::int32_t error) {
    const std::string upper = upperCased(name.text);
    if (isIntName(upper)) {
        const bool asWritten = use == TextUse::StringReference || use == TextUse::VariableReference;
        if (upper == name.text || !asWritten) return std::nullopt;
        return TextFault{FindingCode::UnknownVariable,
                         withError("unknown variable " + utf8Of(name.text) + ": names are looked up as written here",
                                   error),
                         name.at, {upper}};
    }
    if (isStringName(upper)) {
        std::string message = utf8Of(upper) + " is a string variable; ";
        message += use == TextUse::Form ? "{} takes a number: write %" + utf8Of(written) + "%"
                                        : withError("a number goes here", error);
        return TextFault{FindingCode::StringWhereNumber, message, name.at, {}};
    }
    return TextFault{FindingCode::UnknownVariable, withError("unknown variable " + utf8Of(name.text), error), name.at,
                     closestNames(upper, VariableStore::intVariableNames())};
}

// An index part that is neither a number nor a variable name: an expression.
bool isExpressionIndex(std::string_view part) {
    part = trimBlanks(part);
    return !part.empty() && !isDigit(part[0]) && part.find_first_of("()+-*/%&|<>=! ") != std::string_view::npos;
}

// `written` is the reference up to the index ("STR:", "CFLAG:TARGET:").
TextFault expressionIndex(std::string_view name, const std::string& written, const Piece& index, std::int32_t error) {
    std::string_view value = trimBlanks(index.text);
    if (value.size() > 2 && value.front() == '(' && value.back() == ')') value = value.substr(1, value.size() - 2);
    const std::string message =
        withError("the index of " + utf8Of(name) + " is a number or one variable's name, not an expression", error);
    if (std::all_of(value.begin(), value.end(), isNameByte))  // "(A)"
        return {FindingCode::ExpressionIndex, message + ": write " + utf8Of(written) + utf8Of(value), index.at, {}};
    return {FindingCode::ExpressionIndex,
            message + ": work it out first, e.g. A = " + utf8Of(value) + ", and write " + utf8Of(written) + "A",
            index.at, {}};
}

// The index parts of a reference: numbers or names of integer variables.
std::optional<TextFault> badIndex(std::string_view name, const std::vector<Piece>& parts, TextUse use,
                                  std::int32_t error) {
    std::string written = std::string(name) + ":";
    for (const Piece& part : parts) {
        if (isExpressionIndex(part.text)) return expressionIndex(name, written, part, error);
        written += std::string(part.text) + ":";
        const std::string_view trimmed = trimBlanks(part.text);
        if (trimmed.empty() || isDigit(trimmed[0])) continue;
        const Piece index{part.at + static_cast<std::size_t>(trimmed.data() - part.text.data()), trimmed};
        if (auto fault = notANumber(index, trimmed, use == TextUse::Form ? TextUse::Expression : use, error))
            return fault;
    }
    return std::nullopt;
}

// "JUEL:1:0": the tokeniser ends a number at the ':' (error 14).
std::optional<TextFault> numberCharacter(const Reference& ref, std::int32_t error) {
    if (ref.parts.size() < 2 || ref.parts[0].text.empty() || !isDigit(ref.parts[0].text[0])) return std::nullopt;
    const std::string name = upperCased(ref.name.text), rest(ref.parts[1].text);
    const std::optional<std::int32_t> code = VariableStore::lookupIntVariable(name);
    if (code && *code >= kCharacterArrayCount)  // one index only: the second would be ignored
        return TextFault{FindingCode::NumberCharacterIndex,
                         withError(name + " takes one index, and in an expression a number cannot be followed by ':'",
                                   error) +
                             ": write " + name + ":" + std::string(ref.parts[0].text),
                         ref.name.at, {}};
    return TextFault{FindingCode::NumberCharacterIndex,
                     withError("in an expression the character of " + name + ":" + std::string(ref.parts[0].text) +
                                   ":" + rest + " must be a variable, not a number",
                               error) +
                         ": keep it in one, e.g. A = " + std::string(ref.parts[0].text) + ", and write " + name +
                         ":A:" + rest,
                     ref.name.at, {}};
}

// The code point of the character at text[at], and its byte length.
std::pair<char32_t, std::size_t> codePointAt(std::string_view text, std::size_t at) {
    const std::size_t length = isLeadByte(text[at]) && at + 1 < text.size() ? 2 : 1;
    const std::string utf8 = utf8Of(text.substr(at, length));
    char32_t point = 0;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(utf8[i]); };
    if (utf8.size() == 3) point = ((byte(0) & 0x0F) << 12) | ((byte(1) & 0x3F) << 6) | (byte(2) & 0x3F);
    else if (utf8.size() == 2) point = ((byte(0) & 0x1F) << 6) | (byte(1) & 0x3F);
    else if (!utf8.empty()) point = byte(0);
    return {point, length};
}

// The ASCII a full-width character stands for, if any.
std::optional<char> narrowOf(char32_t point) {
    if (point >= 0xFF01 && point <= 0xFF5E) return static_cast<char>(point - 0xFEE0);
    if (point == 0x3000) return ' ';
    return std::nullopt;
}

std::optional<TextFault> fullWidth(std::string_view text, std::size_t from, std::size_t to, std::int32_t error) {
    std::size_t at = from;
    while (at < to && !isLeadByte(text[at])) ++at;
    if (at >= to) return std::nullopt;
    const auto [point, length] = codePointAt(text, at);
    char hex[8];
    std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(point));
    std::string message = withError("full-width character '" + utf8Of(text.substr(at, length)) + "' (U+" + hex +
                                        ") in an expression",
                                    error);
    std::string narrow;
    for (std::size_t i = at; i < to && isLeadByte(text[i]);) {
        const auto [p, n] = codePointAt(text, i);
        const std::optional<char> c = narrowOf(p);
        if (!c) break;
        narrow += *c;
        i += n;
    }
    if (narrow.empty()) message += ": expressions are written in ASCII letters, digits and signs";
    else if (trimBlanks(narrow).empty()) message += ": write an ASCII blank";
    else message += ": write " + narrow;
    return TextFault{FindingCode::FullWidthCharacter, message, at, {}};
}

// Where in text[from, to) the engine's syntax error is, for the errors
// whose place a scan finds exactly: a ')' without '(' (10), "()" (11), a
// lone '=' or '!' or an operator with nothing after it (17).
std::optional<TextFault> syntaxPlace(std::string_view text, std::size_t from, std::size_t to, std::int32_t error) {
    std::string_view what = error == error_code::UnmatchedClose ? "')' without '('"
                            : error == error_code::EmptyGroup ? "empty parentheses"
                                                               : "'=' or '!' without '=', or no operand after an operator";
    int depth = 0;
    std::size_t lastOperator = std::string_view::npos, lastByte = std::string_view::npos;
    for (std::size_t i = from; i < to; i += isLeadByte(text[i]) ? 2 : 1) {
        const char c = text[i], next = i + 1 < to ? text[i + 1] : '\0';
        if (c != ' ' && c != '\t') lastByte = i;
        if (error == error_code::UnmatchedClose && c == ')' && --depth < 0)
            return TextFault{FindingCode::ExpressionSyntax, withError(std::string(what), error), i, {}};
        if (c == '(') ++depth;
        if (error == error_code::EmptyGroup && c == '(' && trimBlanks(text.substr(i + 1, to - i - 1)).starts_with(')'))
            return TextFault{FindingCode::ExpressionSyntax, withError(std::string(what), error), i, {}};
        if (error != error_code::BadOperator) continue;
        if (std::string_view("=!<>").find(c) != std::string_view::npos && next == '=') {
            lastOperator = i++;  // "==", "!=", "<=", ">=": pass over the second byte
            continue;
        }
        if (c == '=')
            return TextFault{FindingCode::ExpressionSyntax,
                             withError("'=' alone is no operator", error) + ": to compare, write ==", i, {}};
        if (c == '!')
            return TextFault{FindingCode::ExpressionSyntax, withError("'!' alone is no operator", error) + ": write !=",
                             i, {}};
        if (std::string_view("+-*/%<>&|").find(c) != std::string_view::npos) lastOperator = i;
    }
    if (error == error_code::BadOperator && lastOperator != std::string_view::npos && lastOperator + 1 >= lastByte &&
        lastByte != std::string_view::npos)
        return TextFault{FindingCode::ExpressionSyntax, withError("an operator with nothing after it", error),
                         lastOperator, {}};
    return std::nullopt;
}

std::optional<TextFault> inExpression(std::string_view text, std::size_t from, std::size_t to, TextUse use,
                                      std::int32_t error) {
    if (error == error_code::DoubleByte) return fullWidth(text, from, to, error);
    const std::vector<Reference> refs = referencesIn(text, from, to);
    if (error == error_code::AfterNumber)
        for (const Reference& ref : refs)
            if (auto fault = numberCharacter(ref, error)) return fault;
    if (error == error_code::UnmatchedClose || error == error_code::EmptyGroup || error == error_code::BadOperator)
        return syntaxPlace(text, from, to, error);
    if (error != error_code::ReadUnknownName && error != error_code::AssignUnknownName) return std::nullopt;
    for (const Reference& ref : refs) {
        if (auto fault = badIndex(upperCased(ref.name.text), ref.parts, TextUse::Expression, error)) return fault;
        if (auto fault = notANumber(ref.name, ref.whole, use, error)) return fault;
    }
    return std::nullopt;
}

// "NAME:index", read as written: a string variable and one index part.
std::optional<TextFault> inStringReference(std::string_view text, std::size_t from, std::size_t to, TextUse use,
                                           std::int32_t error) {
    const std::string_view ref = text.substr(from, to - from);
    const std::size_t colon = ref.find(':');
    const Piece name{from, ref.substr(0, colon)};
    if (colon != std::string_view::npos) {
        const Piece index{from + colon + 1, ref.substr(colon + 1)};
        if (auto fault = badIndex(name.text, {index}, TextUse::StringReference, error)) return fault;
    }
    if (isStringName(name.text)) return std::nullopt;
    const std::string upper = upperCased(trimBlanks(name.text));
    if (isStringName(upper))
        return TextFault{FindingCode::UnknownVariable,
                         withError("unknown string variable " + utf8Of(name.text) +
                                       ": string references are looked up as written",
                                   error),
                         name.at, {upper}};
    if (isIntName(upper)) {
        std::string message = utf8Of(upper) + " is a number variable; ";
        message += use == TextUse::Form ? "%...% takes a string: write {" + utf8Of(ref) + "}"
                                        : withError("a string variable goes here", error);
        return TextFault{FindingCode::NumberWhereString, message, name.at, {}};
    }
    return TextFault{FindingCode::UnknownVariable, withError("unknown string variable " + utf8Of(name.text), error),
                     name.at, closestNames(upper, VariableStore::stringVariableNames())};
}

// The next byte `c` of text at or after `from`, passing over double-byte characters.
std::size_t findByte(std::string_view text, char c, std::size_t from) {
    for (std::size_t i = from; i < text.size(); i += isLeadByte(text[i]) ? 2 : 1)
        if (text[i] == c) return i;
    return std::string_view::npos;
}

std::optional<TextFault> inForm(std::string_view text, std::int32_t error) {
    std::vector<std::pair<std::size_t, std::size_t>> braces;  // {expression} spans, inside the braces
    for (std::size_t open = findByte(text, '{', 0); open != std::string_view::npos;) {
        const std::size_t close = findByte(text, '}', open + 1);
        if (close == std::string_view::npos)
            return TextFault{FindingCode::UnclosedForm, withError("'{' without '}'", error), open, {}};
        braces.emplace_back(open + 1, close);
        open = findByte(text, '{', close + 1);
    }
    for (const auto& [from, to] : braces)
        if (auto fault = inExpression(text, from, to, TextUse::Form, error)) return fault;
    // '%' pairs are found once the {} are replaced, so a pair may hold one.
    std::vector<std::size_t> percents;
    std::size_t brace = 0;
    for (std::size_t i = 0; i < text.size(); i += isLeadByte(text[i]) ? 2 : 1) {
        while (brace < braces.size() && braces[brace].second < i) ++brace;
        const bool inBraces = brace < braces.size() && i >= braces[brace].first && i < braces[brace].second;
        if (text[i] == '%' && !inBraces) percents.push_back(i);
    }
    if (percents.size() % 2 == 1)
        return TextFault{FindingCode::UnclosedForm,
                         withError("'%' without a closing '%'", error) +
                             ": a '%' starts a string reference such as %NAME:TARGET%",
                         percents.back(), {}};
    for (std::size_t i = 0; i + 1 < percents.size(); i += 2) {
        const std::size_t from = percents[i] + 1, to = percents[i + 1];
        if (findByte(text.substr(0, to), '{', from) != std::string_view::npos) continue;  // depends on values
        if (auto fault = inStringReference(text, from, to, TextUse::Form, error)) return fault;
    }
    return std::nullopt;
}

// An assignment's target: its name is known (the loader checked it), so
// only its index parts can fail.
std::optional<TextFault> inTarget(std::string_view text, std::int32_t error) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    // "first" or "first:second"; later ':' belong to the second part.
    const std::size_t second = text.find(':', colon + 1);
    std::vector<Piece> parts;
    if (second == std::string_view::npos) {
        parts.push_back({colon + 1, text.substr(colon + 1)});
    } else {
        parts.push_back({colon + 1, text.substr(colon + 1, second - colon - 1)});
        parts.push_back({second + 1, text.substr(second + 1)});
    }
    return badIndex(text.substr(0, colon), parts, TextUse::Target, error);
}

// TIMES's variable, read as written.
std::optional<TextFault> inVariableReference(std::string_view text, std::int32_t error) {
    const std::size_t colon = text.find(':');
    const Piece name{0, text.substr(0, colon)};
    std::vector<Piece> parts;
    if (colon != std::string_view::npos) parts.push_back({colon + 1, text.substr(colon + 1)});
    if (auto fault = badIndex(name.text, parts, TextUse::VariableReference, error)) return fault;
    const std::string_view trimmed = trimBlanks(name.text);
    return notANumber({static_cast<std::size_t>(trimmed.data() - text.data()), trimmed}, text,
                      TextUse::VariableReference, error);
}

FindingCode plainCode(std::int32_t error) {
    switch (error) {
        case error_code::ReadUnknownName:
        case error_code::AssignUnknownName:
        case error_code::StringUnknownName: return FindingCode::UnknownVariable;
        case error_code::DoubleByte: return FindingCode::FullWidthCharacter;
        case error_code::UnclosedBrace:
        case error_code::UnclosedPercent: return FindingCode::UnclosedForm;
        default: return FindingCode::ExpressionSyntax;
    }
}

}  // namespace

TextFault explainTextFault(std::string_view text, TextUse use, std::int32_t error) {
    std::optional<TextFault> fault;
    switch (use) {
        case TextUse::Expression: fault = inExpression(text, 0, text.size(), use, error); break;
        case TextUse::StringReference: fault = inStringReference(text, 0, text.size(), use, error); break;
        case TextUse::Form: fault = inForm(text, error); break;
        case TextUse::VariableReference: fault = inVariableReference(text, error); break;
        case TextUse::Target: fault = inTarget(text, error); break;
    }
    if (fault) return *fault;
    return TextFault{plainCode(error), {}, 0, {}};
}

}  // namespace kiro::check
