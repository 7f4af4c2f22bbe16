#include <gtest/gtest.h>

#include "app/CallHistory.h"
#include "settings/MSNConfig.h"

using namespace settings;
using namespace app;

namespace {

TCallRecord Call(int n, bool incoming, bool answered)
{
    return {incoming,
            "Caller " + std::to_string(n),
            std::to_string(4255550000 + n),
            1700000000 + n,
            answered ? 60 : 0,
            answered};
}

TEST(CallHistory, KeepsTheNewestHundredAndCountsMissedCallsUntilSeen)
{
    TCallHistory history;
    for (int n = 0; n < 105; ++n)
        history.Add(Call(n, true, n % 2 == 0));
    ASSERT_EQ(history.Calls().size(), TCallHistory::kLimit);
    EXPECT_EQ(history.Calls().front(), Call(104, true, true));
    EXPECT_EQ(history.Calls().back(), Call(5, true, false));
    EXPECT_EQ(history.MissedCount(), 50);
    EXPECT_EQ(history.MissedText(), "50 missed calls");

    history.MarkSeen();
    EXPECT_EQ(history.MissedCount(), 0);
    EXPECT_EQ(history.MissedText(), "");
    history.Add(Call(200, false, false)); // an unanswered call of ours is not missed
    history.Add(Call(201, true, true));
    history.Add(Call(202, true, false));
    EXPECT_EQ(history.MissedText(), "1 missed call");
}

TEST(CallHistory, SectionRoundTripsThroughTheDocumentAndSkipsDamagedEntries)
{
    TCallHistory history;
    for (int n = 0; n < 3; ++n)
        history.Add(Call(n, true, false));
    history.MarkSeen();
    history.Add({true, "O'Neil, \"Pat\"\t| Co=1;#", "+1 (425) 555-0100", 1700000999, 0, false});
    history.Add({false, "Pat", "+44 (20) 7946 0000", 1700001000, 5, true, "900442079460000"});

    TKovraAssistantConfig stored;
    stored.WriteString(TCallHistory::kSection, "Call9", "left from a longer history");
    history.Save(stored);
    TKovraAssistantConfig config;
    config.SetText(stored.GetText());
    TCallHistory loaded;
    loaded.Load(config);
    EXPECT_EQ(loaded.Calls(), history.Calls());
    EXPECT_EQ(loaded.MissedCount(), 1);
    // A call back dials a caller's number or one dialled without the rules as it stands.
    std::vector<bool> asItStands;
    for (const TCallRecord& call : loaded.Calls())
        asItStands.push_back(call.DialsAsItStands());
    EXPECT_EQ(asItStands, (std::vector<bool>{false, false, true, true, true}));
    EXPECT_EQ(config.ReadString(TCallHistory::kSection, "Call9", "gone"), "gone");

    config.WriteInteger(TCallHistory::kSection, "Unseen", 1000);
    for (const char* damaged : {"sideways\t1\t0\t0\t555\tX", "in\t1\t0", "in\tx\t0\t0\t5\tX",
                                "in\t1\t-5\t0\t5\tX", "in\t1\t99999999999\t0\t5\tX", "in\t1\t0\t2\t5\tX"}) {
        config.WriteString(TCallHistory::kSection, "Call2", damaged);
        loaded.Load(config);
        ASSERT_EQ(loaded.Calls().size(), 4u) << damaged;
        EXPECT_EQ(loaded.Calls()[1], history.Calls()[2]);
        EXPECT_EQ(loaded.MissedCount(), 3);
    }
}

TEST(CallHistory, ReadingTheStoredCopyAgainKeepsWhatWasNotPublishedYet)
{
    TCallHistory history;
    history.Add(Call(1, true, false));
    TKovraAssistantConfig server;
    history.Save(server);
    history.MarkPublished();

    // Calls that ended after the last publish are not in the server's copy a new log-in reads.
    history.Add(Call(2, true, false));
    history.Add(Call(3, false, true));
    EXPECT_TRUE(history.Reload(server));
    EXPECT_EQ(history.Calls(),
              (std::vector<TCallRecord>{Call(3, false, true), Call(2, true, false), Call(1, true, false)}));
    EXPECT_EQ(history.MissedCount(), 2);

    // Nor is a look at the history: the stored missed count must not come back.
    history.MarkSeen();
    EXPECT_TRUE(history.Reload(server));
    EXPECT_EQ(history.Calls().size(), 3u);
    EXPECT_EQ(history.MissedCount(), 0);

    TKovraAssistantConfig published;
    history.Save(published);
    history.MarkPublished();
    EXPECT_FALSE(history.Reload(published));
    EXPECT_EQ(history.Calls().size(), 3u);
    EXPECT_EQ(history.MissedCount(), 0);
}

} // namespace
