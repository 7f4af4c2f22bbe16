#pragma once
// TCallHistory: the last calls the window tracked, newest first, kept in the settings document's
// "CallHistory" section; the calls missed since the user last looked are counted for the tray.

#include <cstdint>
#include <string>
#include <vector>

namespace settings {
class TKovraAssistantConfig;
}

namespace app {

struct TCallRecord {
    bool Incoming = false;
    std::string Name;
    std::string Number;     // as the user gave it, for a call the user made
    std::int64_t Start = 0; // seconds since 1970 (UTC)
    int Seconds = 0;        // connected time; 0 when never answered
    bool Answered = false;
    std::string Dialled = {}; // what the phone dialled, when not Number

    // Number is what the phone dialled, or dials to call back: a call made without a dialled form
    // beside it (dialled at the handset, or kept before the dialing rules) or a caller's number as
    // the server gave it, unless written with its country code.
    bool DialsAsItStands() const { return Dialled.empty() && !Number.starts_with('+'); }
    // Rang here and was never answered here.
    bool Missed() const { return Incoming && !Answered; }
    bool operator==(const TCallRecord&) const = default;
};

class TCallHistory {
public:
    static constexpr std::size_t kLimit = 100;
    static constexpr const char* kSection = "CallHistory";

    // A finished call goes first; the oldest beyond the limit are dropped.
    void Add(const TCallRecord& call);
    // Drops the oldest call; false when there is none.
    bool DropOldest();
    const std::vector<TCallRecord>& Calls() const { return calls_; }
    // A call kept before its end was known ended now: its entry takes the final record in place.
    // False when the entry is no longer there (later calls pushed it out).
    bool Replace(const TCallRecord& kept, const TCallRecord& final);

    // Missed calls newer than the last time the user looked at the history.
    int MissedCount() const;
    void MarkSeen();
    // The tray tip's line for them, empty when there are none.
    std::string MissedText() const;

    // Entries that do not read back as a call are skipped, so a damaged section loses only those.
    void Load(const settings::TKovraAssistantConfig& config);
    // The document was sent to the server with the history as it is now.
    void MarkPublished();
    // Reads the stored history again (a new log-in reads the document from the server), keeping on
    // top the calls and the look that the stored copy cannot hold yet. True when the result differs
    // from what is stored, so it must be saved and published.
    bool Reload(const settings::TKovraAssistantConfig& config);
    void Save(settings::TKovraAssistantConfig& config) const;

private:
    std::vector<TCallRecord> calls_;
    std::size_t unseen_ = 0;      // how many of the newest calls came after the last look
    std::size_t unpublished_ = 0; // how many of the newest calls came after the last publish
    bool lookedSincePublish_ = false;
};

} // namespace app
