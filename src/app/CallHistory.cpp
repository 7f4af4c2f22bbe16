#include "app/CallHistory.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>
#include <unordered_map>

#include "options/SectionPairs.h"
#include "settings/MSNConfig.h"
#include "settings/MessageBundle.h"
#include "settings/TextUtil.h"

using namespace settings;

namespace app {

namespace {

std::string EntryKey(std::size_t index)
{
    return "Call" + std::to_string(index + 1);
}

bool ParseInt64(const std::string& text, std::int64_t& value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

// One call as "in|out TAB start TAB seconds TAB answered TAB number TAB name": the name comes
// last, so whatever it holds is kept; the document's own escapes protect the whole entry. A number
// dialled otherwise than written is "written (dialled)", which earlier entries never hold.
std::string EntryText(const TCallRecord& call)
{
    std::string number = call.Number + (call.Dialled.empty() ? "" : " (" + call.Dialled + ")");
    std::replace(number.begin(), number.end(), '\t', ' ');
    return std::string(call.Incoming ? "in" : "out") + '\t' + std::to_string(call.Start) + '\t' +
           std::to_string(call.Seconds) + '\t' + (call.Answered ? "1" : "0") + '\t' + number + '\t' +
           call.Name;
}

bool ParseEntry(const std::string& text, TCallRecord& call)
{
    std::vector<std::string> fields;
    std::size_t from = 0;
    while (fields.size() < 5) {
        const std::size_t tab = text.find('\t', from);
        if (tab == std::string::npos)
            return false;
        fields.push_back(text.substr(from, tab - from));
        from = tab + 1;
    }
    std::int64_t seconds = 0;
    if ((fields[0] != "in" && fields[0] != "out") || !ParseInt64(fields[1], call.Start) ||
        !ParseInt64(fields[2], seconds) || seconds < 0 || seconds > INT32_MAX ||
        (fields[3] != "0" && fields[3] != "1"))
        return false;
    call.Incoming = fields[0] == "in";
    call.Seconds = static_cast<int>(seconds);
    call.Answered = fields[3] == "1";
    call.Number = fields[4];
    call.Dialled.clear();
    const std::size_t open = call.Number.rfind(" (");
    if (open != std::string::npos && call.Number.ends_with(')') && call.Number.size() > open + 3) {
        const std::string dialled = call.Number.substr(open + 2, call.Number.size() - open - 3);
        if (dialled.find_first_not_of("0123456789*#") == std::string::npos) {
            call.Dialled = dialled;
            call.Number.erase(open);
        }
    }
    call.Name = text.substr(from);
    return true;
}

} // namespace

void TCallHistory::Add(const TCallRecord& call)
{
    calls_.insert(calls_.begin(), call);
    if (calls_.size() > kLimit)
        calls_.resize(kLimit);
    unseen_ = std::min(unseen_ + 1, calls_.size());
    unpublished_ = std::min(unpublished_ + 1, calls_.size());
}

bool TCallHistory::DropOldest()
{
    if (calls_.empty())
        return false;
    calls_.pop_back();
    unseen_ = std::min(unseen_, calls_.size());
    unpublished_ = std::min(unpublished_, calls_.size());
    return true;
}

bool TCallHistory::Replace(const TCallRecord& kept, const TCallRecord& final)
{
    const auto entry = std::find(calls_.begin(), calls_.end(), kept);
    if (entry == calls_.end())
        return false;
    *entry = final;
    return true;
}

int TCallHistory::MissedCount() const
{
    return static_cast<int>(std::count_if(calls_.begin(),
                                          calls_.begin() + static_cast<std::ptrdiff_t>(unseen_),
                                          [](const TCallRecord& call) { return call.Missed(); }));
}

void TCallHistory::MarkSeen()
{
    unseen_ = 0;
    lookedSincePublish_ = true;
}

void TCallHistory::MarkPublished()
{
    unpublished_ = 0;
    lookedSincePublish_ = false;
}

bool TCallHistory::Reload(const TKovraAssistantConfig& config)
{
    const std::vector<TCallRecord> pending(calls_.begin(),
                                           calls_.begin() + static_cast<std::ptrdiff_t>(unpublished_));
    const std::size_t pendingUnseen = std::min(unseen_, unpublished_);
    const bool looked = lookedSincePublish_;
    Load(config);
    calls_.insert(calls_.begin(), pending.begin(), pending.end());
    if (calls_.size() > kLimit)
        calls_.resize(kLimit);
    // A look since the last publish saw every call before it, stored or not.
    unseen_ = std::min(looked ? pendingUnseen : pendingUnseen + unseen_, calls_.size());
    unpublished_ = std::min(pending.size(), calls_.size());
    lookedSincePublish_ = looked;
    return !pending.empty() || looked;
}

std::string TCallHistory::MissedText() const
{
    const int missed = MissedCount();
    if (missed == 0)
        return {};
    const std::string text = missed == 1 ? LocalText("txtMissedCall", "%d missed call")
                                         : LocalText("txtMissedCalls", "%d missed calls");
    return settings::Substitute(text, "%d", std::to_string(missed));
}

void TCallHistory::Load(const TKovraAssistantConfig& config)
{
    // The section is read whole once, not once per entry, however long a stored copy grew: each
    // entry is the first of its name, names compared without case; only the newest kLimit count.
    std::unordered_map<std::string, std::optional<std::string>> entries{{"unseen", std::nullopt}};
    for (std::size_t i = 0; i < kLimit; ++i)
        entries.emplace(ToLowerAscii(EntryKey(i)), std::nullopt);
    // Only the names looked for are taken: a damaged copy may hold any number of others.
    auto wanted = [&](std::string_view name) { return entries.count(ToLowerAscii(name)) > 0; };
    for (options::TSectionPair& pair : options::ReadSectionPairs(config, kSection, wanted))
        if (std::optional<std::string>& entry = entries[ToLowerAscii(pair.Name)]; !entry)
            entry = std::move(pair.Value);
    calls_.clear();
    for (std::size_t i = 0; i < kLimit; ++i) {
        const std::optional<std::string>& text = entries[ToLowerAscii(EntryKey(i))];
        if (!text || text->empty())
            break;
        TCallRecord call;
        if (ParseEntry(*text, call))
            calls_.push_back(std::move(call));
    }
    const std::optional<std::string>& unseenText = entries["unseen"];
    const int unseen = unseenText ? StrToIntDef(*unseenText, 0) : 0;
    unseen_ = std::min(static_cast<std::size_t>(std::max(0, unseen)), calls_.size());
}

void TCallHistory::Save(TKovraAssistantConfig& config) const
{
    std::vector<options::TSectionPair> entries;
    for (std::size_t i = 0; i < calls_.size(); ++i)
        entries.push_back({EntryKey(i), EntryText(calls_[i])});
    entries.push_back({"Unseen", std::to_string(unseen_)});
    options::WriteSectionPairs(config, kSection, entries);
}

} // namespace app
