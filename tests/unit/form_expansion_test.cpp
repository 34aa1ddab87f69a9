// The PRINTFORM expansion: phase order, Shift-JIS aware searches, the
// errors for unclosed braces and percent signs, and the bounds that stop a
// text that keeps reproducing itself.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "data/variable_store.h"
#include "script/errors.h"
#include "script/evaluator.h"
#include "script/form_expansion.h"
#include "support/sjis.h"

namespace kiro {
namespace {

using test::sjis;

class FormExpansion : public ::testing::Test {
protected:
    std::string expand(std::string_view utf8Form) { return expandForm(evaluator, sjis(utf8Form)); }

    int errorCode(std::string_view utf8Form) {
        try {
            expand(utf8Form);
        } catch (const CExecError& error) {
            return error.code;
        }
        return -1;
    }

    // Characters 0 and 1; TARGET, ASSI and PLAYER name 1, MASTER names 0.
    void addTwoCharacters() {
        CharacterRecord master, heroine;
        master.name = sjis("主人");
        master.callName = sjis("あなた");
        heroine.name = sjis("花子");
        heroine.callName = sjis("ハナ");
        store.addCharacter(master);
        store.addCharacter(heroine);
        store.at(kTarget) = 1;
        store.at(kAssi) = 1;
        store.at(kPlayer) = 1;
        store.at(kMaster) = 0;
    }

    VariableStore store;
    Evaluator evaluator{store};
};

TEST_F(FormExpansion, ExpressionsBecomeTheirDecimalValues) {
    store.at(kMoney) = 500;
    EXPECT_EQ(expand("所持金{MONEY}円"), sjis("所持金500円"));
    EXPECT_EQ(expand("{1+2}{3*4}"), "312");
    EXPECT_EQ(expand("x{0-7}y"), "x-7y");
    EXPECT_EQ(expand("a}b{1}}c"), "a}b1}c");  // only the first "}" after "{" closes
    EXPECT_EQ(expand("plain text"), "plain text");
    EXPECT_EQ(expand(""), "");
}

TEST_F(FormExpansion, UnclosedBraceOrPercentIsAnError) {
    EXPECT_EQ(errorCode("{1"), error_code::UnclosedBrace);
    EXPECT_EQ(errorCode("{1}{2"), error_code::UnclosedBrace);
    EXPECT_EQ(errorCode("100%"), error_code::UnclosedPercent);
    // Phase 1 runs first: an open brace is reported even after a stray "%".
    EXPECT_EQ(errorCode("%{"), error_code::UnclosedBrace);
}

TEST_F(FormExpansion, SecondBytesOfDoubleByteCharactersNeverMatch) {
    // ボ ends in 0x7B ("{"), マ in 0x7D ("}").
    ASSERT_EQ(sjis("ボ")[1], '{');
    ASSERT_EQ(sjis("マ")[1], '}');
    EXPECT_EQ(expand("ボ{1}"), sjis("ボ1"));
    EXPECT_EQ(expand("ボマ"), sjis("ボマ"));
    EXPECT_EQ(errorCode("{1マ"), error_code::UnclosedBrace);
}

TEST_F(FormExpansion, StringReferencesAreReadAsWritten) {
    store.strings(kStr)[0] = sjis("零");
    store.strings(kStr)[2] = sjis("二");
    store.at(kCount) = 2;
    EXPECT_EQ(expand("%STR:{COUNT}%"), sjis("二"));  // the number is inserted before phase 2
    EXPECT_EQ(expand("<%STR:0%|%STR:2%>"), sjis("<零|二>"));
    EXPECT_EQ(errorCode("%str:0%"), error_code::StringUnknownName);  // not upper-cased
}

TEST_F(FormExpansion, InsertedReferenceValuesAreSearchedAgainButNotForBraces) {
    store.strings(kStr)[0] = "%STR:1%";
    store.strings(kStr)[1] = "{1+1}";
    EXPECT_EQ(expand("[%STR:0%]"), "[{1+1}]");
    store.strings(kStr)[2] = "50%";
    EXPECT_EQ(errorCode("%STR:2%"), error_code::UnclosedPercent);
    // A value ending in a lead byte takes the following byte with it, so
    // that "%" no longer closes anything.
    store.strings(kStr)[3] = "\x82";
    EXPECT_EQ(errorCode("%STR:3%%STR:0%"), error_code::UnclosedPercent);
}

TEST_F(FormExpansion, NameMarkersReplaceEveryOccurrence) {
    addTwoCharacters();
    EXPECT_EQ(expand("***は$$$と呼ばれる"), sjis("花子はハナと呼ばれる"));
    EXPECT_EQ(expand("******|****|$$$ $$$"), sjis("花子花子|花子*|ハナ ハナ"));
    EXPECT_EQ(expand("+++/===////"), sjis("あなた/ハナ花子/"));
}

TEST_F(FormExpansion, MarkerValuesAreSearchedForLaterMarkersOnly) {
    addTwoCharacters();
    store.characterAt(1).name = "<+++>";
    store.characterAt(0).callName = "***";
    EXPECT_EQ(expand("***"), "<***>");
    EXPECT_EQ(expand("+++"), "***");
}

TEST_F(FormExpansion, SelfReproducingTextsStopWithAnError) {
    addTwoCharacters();
    store.characterAt(1).name = "a***";
    EXPECT_EQ(errorCode("***"), error_code::FormRunaway);
    store.strings(kStr)[0] = "%STR:0%";
    EXPECT_EQ(errorCode("%STR:0%"), error_code::FormRunaway);
    store.strings(kStr)[1] = "%STR:1%%STR:1%";
    EXPECT_EQ(errorCode("%STR:1%"), error_code::FormRunaway);
}

TEST_F(FormExpansion, BoundsAllowExactlyTenThousandSubstitutionsAndOneMebibyte) {
    std::string form;
    for (int i = 0; i < kMaxFormSubstitutions; ++i) form += "{1}";
    EXPECT_EQ(expand(form), std::string(kMaxFormSubstitutions, '1'));
    EXPECT_EQ(errorCode(form + "{1}"), error_code::FormRunaway);

    store.strings(kStr)[0] = std::string(200, 'x');
    std::string references;
    for (int i = 0; i < 5000; ++i) references += "%STR:0%";  // 1,000,000 bytes
    EXPECT_EQ(expand(references).size(), 1000000u);
    for (int i = 0; i < 300; ++i) references += "%STR:0%";  // 1,060,000 bytes
    EXPECT_EQ(errorCode(references), error_code::FormRunaway);
}

// A script line's form is cut once (PreparedForm). Forms at and beyond the
// bounds, and forms whose literal text holds work for the later phases,
// must still expand, or fail, exactly like expandForm.
TEST_F(FormExpansion, PreparedFormsExpandLikeTheTextUpToAndBeyondTheBounds) {
    addTwoCharacters();
    store.strings(kStr)[0] = "{1}%";
    std::string manyValues, tooManyValues, longText(kMaxFormLength - 40, 'x');
    for (int i = 0; i < kMaxFormSubstitutions; ++i) manyValues += "{COUNT+1}";
    tooManyValues = manyValues + "{1}";
    const std::string forms[] = {
        "a{1+1}b{A}c",       "{7 % 4}", "% {1}",        "{1}***",    "{1/0}{",    "{1}{",
        "**{2}*",            "{2}%STR:0%", "=={1}=", "{(1)(2)}x",  "+++",       "",
        manyValues,          tooManyValues, longText + "{-2147483647-1}", longText + "{1}{2}{3}{4}",
    };
    for (const std::string& form : forms) {
        SCOPED_TRACE(form.substr(0, 40));
        std::string viaText, viaPrepared, prepared = "left over";
        try {
            viaText = "= " + expandForm(evaluator, form);
        } catch (const CExecError& error) {
            viaText = "error " + std::to_string(error.code);
        }
        try {
            PreparedForm(form).expand(evaluator, prepared);
            viaPrepared = "= " + prepared;
        } catch (const CExecError& error) {
            viaPrepared = "error " + std::to_string(error.code);
        }
        EXPECT_EQ(viaPrepared, viaText);
    }
}

}  // namespace
}  // namespace kiro
