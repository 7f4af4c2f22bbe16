#include <gtest/gtest.h>

#include "settings/Csv.h"
#include "settings/DialingRules.h"
#include "settings/MSNConfig.h"
#include "settings/csvprop.h"
#include "settings/csvstr.h"

using namespace settings;

TEST(CsvString, ParsesQuotedAndBareItemsAndSkipsToTheNextComma)
{
    TCsvString list(R"("a b",c,"d"junk,"e")");
    ASSERT_EQ(list.Count(), 4);
    EXPECT_EQ(list.Item(0), "a b");
    EXPECT_EQ(list.Item(1), "c");
    EXPECT_EQ(list.Item(2), "d");
    EXPECT_EQ(list.Item(3), "e");
    EXPECT_EQ(list.Item(4), "");
    // Empty text and a quote pair hold no items.
    EXPECT_EQ(TCsvString("").Count(), 0);
    EXPECT_EQ(TCsvString("\"\"").Count(), 0);
    EXPECT_EQ(TCsvString("\"\",\"\"").Count(), 2);
    // An unterminated quote swallows the rest instead of reading past the end.
    EXPECT_EQ(TCsvString("\"abc,def").Count(), 0);

    // Trimmed items read one after the other, from the start again after new text.
    list = TCsvString(" a , b ,c", true);
    std::vector<std::string> read;
    for (std::string item; list.Next(item);)
        read.push_back(item);
    EXPECT_EQ(read, (std::vector<std::string>{"a", "b", "c"}));
    list.SetText("x,y");
    ASSERT_TRUE(list.Next(read[0]));
    EXPECT_EQ(read[0], "x");
}

TEST(CsvString, QuotesOfAddedValuesAreStoredAsTheirCodeOrTakenOff)
{
    TCsvString list;
    list.Add("say \"hi\"");
    EXPECT_EQ(list.Text(), "\"say #34hi#34\"");
    EXPECT_EQ(TCsvString(list.Text()).Item(0), "say \"hi\"");

    TCsvString bars({}, false, '|');
    bars.Add("a|b");
    EXPECT_EQ(bars.Text(), "|a#124b|");

    // Surrounding quotes of a value are taken off unless they belong to it.
    list.Clear();
    list.Add("\"wrapped\"");
    list.Add("\"\"");
    list.Add("\"a\" \"b\"");
    EXPECT_EQ(list.Item(0), "wrapped");
    EXPECT_EQ(list.Item(1), "");
    EXPECT_EQ(list.Item(2), "a\" \"b");
    // Second character a quote but second-to-last not: the quotes stay, encoded.
    list.Add("\"\"x\"");
    EXPECT_EQ(list.RawItem(3), "#34#34x#34");
}

TEST(CsvProperties, EqualsInAValueBareKeysAndNamesIgnoringCase)
{
    TCsvProperties properties;
    properties.SetValue("formula", "a=b=c");
    properties.SetValue("empty", "");
    EXPECT_EQ(properties.Text(), "\"formula=a#61b#61c\",\"empty\"");
    TCsvProperties back(properties.Text());
    EXPECT_EQ(back.Value("formula"), "a=b=c");
    EXPECT_EQ(back.Value("empty", "fallback"), "");
    EXPECT_EQ(back.Value("absent", "fallback"), "fallback");
    EXPECT_EQ(back.IndexOfName(""), -1);

    // Names ignore case, the first match wins, and setting replaces in place.
    properties.SetText(R"("Exit=1","exit=2","Other=3")");
    EXPECT_EQ(properties.Value("EXIT"), "1");
    properties.SetValue("eXit", "9");
    EXPECT_EQ(properties.Text(), R"("eXit=9","exit=2","Other=3")");
    EXPECT_EQ(properties.ValueInt("Other", 0), 3);
    EXPECT_EQ(properties.ValueInt("Exit", 5), 9);
}

TEST(CsvProperties, AlternatingModeKeepsNamesAndValuesAsSeparateItems)
{
    TCsvProperties properties({}, TCsvProperties::AlternatingItems);
    properties.SetValue("a", "x=y");
    properties.SetValue("b", "2");
    properties.SetValue("A", "z");
    EXPECT_EQ(properties.Text(), R"("a","z","b","2")");
    EXPECT_EQ(properties.Count(), 2);
    EXPECT_EQ(properties.Name(1), "b");
    EXPECT_EQ(TCsvProperties(R"("n","v=w")", TCsvProperties::AlternatingItems).Value("N"), "v=w");
}

TEST(Csv, FieldsQuotedWhenNeededReadBackAndCutAtTheLimit)
{
    TCsv line;
    line.AddField(3);
    line.AddField("4255551000");
    line.AddField("Smith, John");
    line.AddField("say \"hi\"");
    EXPECT_EQ(line.Line(), R"(3,4255551000,"Smith, John","say ""hi""")");
    TCsv back(line.Line());
    EXPECT_EQ(back.FieldCount(), 4);
    EXPECT_EQ(back.FieldInt(0), 3);
    EXPECT_EQ(back.FieldText(2), "Smith, John");
    EXPECT_EQ(back.FieldText(3), "say \"hi\"");
    std::string absent = "x";
    EXPECT_FALSE(back.Field(4, absent));
    EXPECT_EQ(absent, "");
    EXPECT_EQ(back.FieldInt(9), 0);
    EXPECT_EQ(TCsv("a,b").FieldInt(1), 0);
    EXPECT_EQ(TCsv("a,   b").FieldText(1), "b");

    TCsv forced;
    forced.SetForceQuote(true);
    forced.AddField("a");
    forced.AddField("");
    EXPECT_EQ(forced.Line(), R"("a","")");
    // A call-later line may start with an empty name: it stays the first field.
    line.Clear();
    line.AddField("");
    line.AddField("555");
    EXPECT_EQ(line.Line(), ",555");
    EXPECT_EQ(TCsv(line.Line()).FieldText(1), "555");
    // A long field is cut at the limit.
    line.Clear();
    line.AddField(std::string(5000, 'x'));
    line.AddField("tail");
    EXPECT_EQ(line.FieldText(0).size(), TCsv::kMaxField);
    EXPECT_EQ(line.FieldText(1), "tail");
}

TEST(KovraAssistantConfig, ReadsADocumentAnEarlierVersionWroteAndWritesItBackUnchanged)
{
    const std::string stored =
        R"(|Confirm="Exit#610","CLDel#611"|,|IMStates="2#613,4255551000,#34Desk, mine#34"|,)"
        R"(|RecentPhoneNumbers="0#614255551000","1#61555"|)";
    TKovraAssistantConfig config;
    config.SetText(stored);
    EXPECT_EQ(config.GetText(), stored);
    EXPECT_EQ(config.ReadString("IMStates", "2", ""), R"(3,4255551000,"Desk, mine")");
    std::vector<std::string> keys;
    config.ReadSectionValues("Confirm", keys);
    EXPECT_EQ(keys, (std::vector<std::string>{"Exit=0", "CLDel=1"}));

    // What an earlier version stored reads as it always did, codes, "#" and a lost text included:
    // it wrote the forward number "#615551234" so that it reads back without its name.
    const std::string earlier =
        R"(|Forward="*72##61Desk #5","#615551234#61Room #61"|,|IMMessages="0#61say #34hi#34 #35 a#61b#124c"|)";
    config.SetText(earlier);
    EXPECT_EQ(config.GetText(), earlier);
    config.ReadSectionValues("Forward", keys);
    EXPECT_EQ(keys, (std::vector<std::string>{"*72#=Desk #5", "=5551234=Room ="}));
    EXPECT_EQ(config.ReadString("IMMessages", "0", ""), "say \"hi\" #35 a=b|c");
    config.WriteString("IMMessages", "1", "plain");
    EXPECT_EQ(config.GetText(), R"(|Forward="*72##61Desk #5","#615551234#61Room #61"|,)"
                                R"(|IMMessages="0#61say #34hi#34 #35 a#61b#124c","1#61plain"|)");
}

// The dialing rules have a section of their own: a document without it gives no rules, and a broken
// value loses only itself.
TEST(KovraAssistantConfig, DialingRulesRoundTripAndABrokenValueLosesOnlyItself)
{
    TKovraAssistantConfig config;
    config.SetText(R"(|Confirm="Exit#610"|)");
    TDialingRules rules;
    rules.Values = {"x", "x", "x", "x", "x", "x"};
    EXPECT_TRUE(rules.Load(config).empty());
    EXPECT_EQ(rules.Values, TDialingRules().Values);

    rules.Values = {"44", "20", "9", "00", "0", "4"};
    rules.Save(config);
    TKovraAssistantConfig reread;
    reread.SetText(config.GetText());
    TDialingRules loaded;
    EXPECT_TRUE(loaded.Load(reread).empty());
    EXPECT_EQ(loaded.Values, rules.Values);
    reread.WriteString(TDialingRules::kSection, "OutsideLine", "9a");
    reread.WriteString(TDialingRules::kSection, "InternalLength", "99999999999999999999");
    EXPECT_EQ(loaded.Load(reread).size(), 2u);
    EXPECT_EQ(loaded.Values,
              (std::array<std::string, TDialingRules::dfCount>{"44", "20", "", "00", "0", ""}));
    EXPECT_EQ(reread.ReadString("Confirm", "Exit", ""), "0");
}

TEST(KovraAssistantConfig, MalformedDocumentsGiveDefaults)
{
    TKovraAssistantConfig config;
    for (const char* text :
         {"", "||", "|", "garbage", "|Confirm=\"Exit#61x\"|", "|Confirm=|,|=|", "\"|\"|,,,"}) {
        config.SetText(text);
        EXPECT_EQ(config.ReadInteger("Confirm", "Exit", 1), 1) << text;
    }
}

TEST(KovraAssistantConfig, TextsHoldingTheFormatsCodesComeBackUnchanged)
{
    TKovraAssistantConfig config;
    config.WriteString("Confirm", "Exit", "0");
    EXPECT_EQ(config.GetText(), "|Confirm=\"Exit#610\"|");
    config.WriteString("Forward", "2145551234", "Front desk");
    config.WriteString("Forward", "#615551234", "Room #61");
    config.WriteString("Forward", "#34", "say \"#34\" = #124|");
    TCsv reminder;
    reminder.AddField("Room #61");
    reminder.AddField("#615551234");
    config.WriteString("Call Later", "0", reminder.Line());
    config.WriteString("IMMessages", "0", "back at #35 or #3561");

    TKovraAssistantConfig reread;
    reread.SetText(config.GetText());
    std::vector<std::string> keys;
    reread.ReadSectionValues("Forward", keys);
    EXPECT_EQ(keys, (std::vector<std::string>{"2145551234=Front desk", "#615551234=Room #61",
                                              "#34=say \"#34\" = #124|"}));
    EXPECT_EQ(reread.ReadString("forward", "#615551234", ""), "Room #61");
    const TCsv line(reread.ReadString("Call Later", "0", ""));
    EXPECT_EQ(line.FieldText(0), "Room #61");
    EXPECT_EQ(line.FieldText(1), "#615551234");
    EXPECT_EQ(reread.ReadString("IMMessages", "0", ""), "back at #35 or #3561");
    // Sections without such texts are stored as they always were; names ignore case.
    EXPECT_EQ(reread.GetText().substr(0, 20), "|Confirm=\"Exit#610\"|");
    EXPECT_EQ(reread.ReadInteger("confirm", "exit", 1), 0);
    EXPECT_EQ(reread.ReadInteger("Confirm", "CLDel", 1), 1); // absent key of a present section

    // Rewritten without them, a list is stored in the plain form again, after the other sections.
    reread.EraseSection("forward");
    EXPECT_FALSE(reread.SectionExists("Forward"));
    reread.WriteString("Forward", "2145551234", "Front desk");
    const std::string text = reread.GetText();
    EXPECT_TRUE(text.ends_with(R"("|,|Forward="2145551234#61Front desk"|)")) << text;
    EXPECT_EQ(text.find("|Forward="), text.rfind("|Forward=")) << "one Forward section, none left empty";
}
