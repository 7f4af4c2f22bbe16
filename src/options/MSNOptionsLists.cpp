#include "options/MSNOptionsLists.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <utility>

#include "options/SectionPairs.h"
#include "settings/Csv.h"
#include "settings/otutil.h"

using namespace api;
using namespace settings;
using namespace dialogs;

namespace options {

namespace {

const char* const kForwardSection = "Forward";
const char* const kCallLaterSection = "Call Later";

std::uint32_t ParseCallTime(const std::string& text)
{
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? value : 0;
}

// "hh:mm:ss" of the seconds left.
std::string Remaining(double seconds)
{
    const long total = std::max(0L, static_cast<long>(std::ceil(seconds)));
    char text[32];
    std::snprintf(text, sizeof text, "%02ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    return text;
}

} // namespace

bool ContactNumberMatches(const std::string& contactNumber, const std::string& number)
{
    std::string contact = contactNumber;
    const auto space = contact.find(' ');
    if (space != std::string::npos && space > 0)
        contact.erase(0, space + 1);
    contact = DialableDigits(contact);
    const std::string wanted = DialableDigits(number);
    if (contact.empty() || wanted.empty())
        return false;
    if (contact.size() > wanted.size())
        contact = contact.substr(contact.size() - std::min<std::size_t>(4, contact.size()));
    else if (contact.size() < wanted.size())
        contact = wanted.substr(0, wanted.size() - contact.size()) + contact;
    return contact == wanted;
}

TOptionsLists::TOptionsLists(TKovraAssistantConfig& config, TReminderClock clock)
    : config_(config), clock_(std::move(clock))
{
}

TOptionsLists::~TOptionsLists()
{
    delete fmCallLaterCall;
    delete fmCallLaterEntry;
    delete fmForwardEntry;
}

std::vector<TForwardEntry> TOptionsLists::ForwardEntries() const
{
    std::vector<TForwardEntry> entries;
    for (const auto& entry : forwards_)
        entries.push_back(*entry);
    return entries;
}

void TOptionsLists::LoadForwards()
{
    TForwards loaded;
    for (TSectionPair& pair : ReadSectionPairs(config_, kForwardSection))
        loaded.push_back(
            std::make_unique<TForwardEntry>(TForwardEntry{std::move(pair.Value), std::move(pair.Name)}));
    // Every log-in reads the list again: an open editor stays, on its entry as read now (an entry is
    // its number), unless that is gone.
    if (fmForwardEntry && fmForwardEntry->Target()) {
        const std::string number = fmForwardEntry->Target()->Number;
        const auto same = std::find_if(loaded.begin(), loaded.end(),
                                       [&](const auto& each) { return each->Number == number; });
        if (same == loaded.end())
            fmForwardEntry->Free();
        else
            fmForwardEntry->Retarget(same->get());
    }
    forwards_ = std::move(loaded);
}

void TOptionsLists::SaveForwards()
{
    std::vector<TSectionPair> pairs;
    for (const auto& entry : forwards_)
        pairs.push_back({entry->Number, entry->Name});
    WriteSectionPairs(config_, kForwardSection, pairs);
    if (OnForwardsChanged)
        OnForwardsChanged();
}

void TOptionsLists::OpenForwardEditor(TForwardEntry* target)
{
    delete fmForwardEntry;
    auto* editor = new TfmForwardEntry(nullptr);
    editor->SetUp(
        target, target ? *target : TForwardEntry{},
        [this](const TForwardEntry& result, TForwardEntry* entry, bool cancelled) {
            ForwardEdited(result, entry, cancelled);
        },
        [this](const std::string& number, const TForwardEntry* entry) {
            return std::any_of(forwards_.begin(), forwards_.end(), [&](const auto& each) {
                return each.get() != entry && each->Number == number;
            });
        });
}

void TOptionsLists::ForwardEdited(const TForwardEntry& result, TForwardEntry* target, bool cancelled)
{
    if (cancelled)
        return;
    if (!target) {
        forwards_.push_back(std::make_unique<TForwardEntry>(result));
    } else {
        const auto found = std::find_if(forwards_.begin(), forwards_.end(),
                                        [&](const auto& each) { return each.get() == target; });
        if (found == forwards_.end())
            return;
        **found = result;
    }
    SaveForwards();
}

void TOptionsLists::DeleteForward(const TForwardEntry* target)
{
    delete fmForwardEntry;
    std::erase_if(forwards_, [&](const auto& each) { return each.get() == target; });
    SaveForwards();
}

namespace {

// A reminder as the pop-up and the list tell them apart.
bool SameReminder(const TCallLater& one, const TCallLater& other)
{
    return one.Name == other.Name && one.Number == other.Number && one.CallTime == other.CallTime;
}

} // namespace

void TOptionsLists::LoadReminders()
{
    TReminders loaded;
    for (const TSectionPair& pair : ReadSectionPairs(config_, kCallLaterSection)) {
        const TCsv fields(pair.Value);
        auto entry = std::make_unique<TCallLater>();
        entry->Name = fields.FieldText(0);
        entry->Number = fields.FieldText(1);
        entry->CallTime = ParseCallTime(fields.FieldText(2));
        entry->OnlineOnly = fields.FieldInt(3);
        loaded.push_back(std::move(entry));
    }
    auto find = [&](const TCallLater& entry) {
        const auto same = std::find_if(loaded.begin(), loaded.end(),
                                       [&](const auto& each) { return SameReminder(*each, entry); });
        return same == loaded.end() ? nullptr : same->get();
    };
    // Every log-in reads the list again: the editor and the pop-up stay while their reminder is
    // still there.
    if (fmCallLaterCall && !(fmCallLaterCall->Entry() && find(*fmCallLaterCall->Entry())))
        fmCallLaterCall->Free();
    if (fmCallLaterEntry && fmCallLaterEntry->Target()) {
        if (TCallLater* same = find(*fmCallLaterEntry->Target()))
            fmCallLaterEntry->Retarget(same);
        else
            fmCallLaterEntry->Free();
    }
    reminders_ = std::move(loaded);
}

void TOptionsLists::SaveReminders()
{
    std::vector<TSectionPair> pairs;
    for (std::size_t i = 0; i < reminders_.size(); ++i) {
        const TCallLater& entry = *reminders_[i];
        TCsv fields;
        fields.AddField(entry.Name);
        fields.AddField(entry.Number);
        fields.AddField(std::to_string(entry.CallTime));
        fields.AddField(entry.OnlineOnly);
        pairs.push_back({std::to_string(i), fields.Line()});
    }
    WriteSectionPairs(config_, kCallLaterSection, pairs);
    if (OnRemindersChanged)
        OnRemindersChanged();
}

void TOptionsLists::AddCallLater(const std::string& contact, const std::string& name,
                                 const std::string& number, int minutes)
{
    TCallLater entry;
    entry.Name = name;
    entry.Number = number;
    entry.OnlineOnly = contact.empty() ? 0 : 1;
    if (minutes >= 1)
        entry.CallTime = DateTimeToDos(Now() + minutes / (24.0 * 60.0));
    OpenReminderEditor(nullptr, entry, contact);
}

void TOptionsLists::OpenReminderEditor(TCallLater* target, const TCallLater& entry,
                                       const std::string& contact)
{
    delete fmCallLaterEntry;
    std::optional<TContactNumbers> numbers;
    if (!contact.empty() && Contacts)
        for (const TReminderContact& each : Contacts())
            if (each.Id == contact) {
                numbers = each.Numbers;
                break;
            }
    auto* editor = new TfmCallLaterEntry(nullptr, clock_);
    editor->SetUp(
        target, entry,
        [this](const TCallLater& result, TCallLater* edited, bool cancelled) {
            ReminderEdited(result, edited, cancelled);
        },
        MessengerOn && MessengerOn(), numbers);
}

void TOptionsLists::EditReminder(TCallLater* target)
{
    if (!target)
        return;
    CloseReminderPopup(*target);
    OpenReminderEditor(target, *target, {});
}

void TOptionsLists::ReminderEdited(const TCallLater& result, TCallLater* target, bool cancelled)
{
    if (cancelled)
        return;
    const bool callNow = result.CallTime == 0 && MayBeCalledNow(result);
    if (!target) {
        if (callNow && CallNow(result))
            return;
        reminders_.push_back(std::make_unique<TCallLater>(result));
        SaveReminders();
        return;
    }
    const auto found = std::find_if(reminders_.begin(), reminders_.end(),
                                    [&](const auto& each) { return each.get() == target; });
    if (found == reminders_.end())
        return;
    CloseReminderPopup(*target);
    **found = result;
    if (callNow && CallNow(result))
        reminders_.erase(found);
    SaveReminders();
}

void TOptionsLists::DeleteReminder(const TCallLater* target)
{
    // The list may have been read again while the user was asked.
    if (std::none_of(reminders_.begin(), reminders_.end(),
                     [&](const auto& each) { return each.get() == target; }))
        return;
    CloseReminderPopup(*target);
    delete fmCallLaterEntry;
    RemoveReminder(target);
    SaveReminders();
}

void TOptionsLists::RemoveReminder(const TCallLater* target)
{
    std::erase_if(reminders_, [&](const auto& each) { return each.get() == target; });
}

void TOptionsLists::CloseReminderPopup(const TCallLater& entry)
{
    if (fmCallLaterCall && fmCallLaterCall->Entry() && *fmCallLaterCall->Entry() == entry)
        fmCallLaterCall->CloseNow();
}

bool TOptionsLists::CallNow(const TCallLater& entry)
{
    const TCallResult result = MakeCall ? MakeCall(entry.Number) : crNoSession;
    if (result == crRefused)
        refused_.push_back(entry);
    return result == crCalled;
}

std::optional<TReminderContact> TOptionsLists::MatchingContact(const std::string& number) const
{
    if (!Contacts || !(MessengerOn && MessengerOn()))
        return std::nullopt;
    for (const TReminderContact& contact : Contacts())
        for (const std::string* each :
             {&contact.Numbers.Home, &contact.Numbers.Work, &contact.Numbers.Mobile})
            if (!each->empty() && ContactNumberMatches(*each, number))
                return contact;
    return std::nullopt;
}

bool TOptionsLists::MayBeCalledNow(const TCallLater& entry) const
{
    // A reminder without a number (a hand-edited document) could only dial nothing.
    if (DialableDigits(entry.Number).empty() ||
        std::find(refused_.begin(), refused_.end(), entry) != refused_.end())
        return false;
    if (callState_ != csGone && callState_ != csHeld)
        return false;
    if (!entry.OnlineOnly)
        return true;
    const auto contact = MatchingContact(entry.Number);
    return !contact || contact->Status == 2;
}

namespace {

// Seconds until the call time; none when it is "as soon as possible" or has passed.
std::optional<double> SecondsLeft(const TCallLater& entry, platform::TDateTime now)
{
    const double left = entry.CallTime ? (DosToDateTime(entry.CallTime) - now) * 86400.0 : -1.0;
    return left >= 0 ? std::optional<double>(left) : std::nullopt;
}

// Due and able to dial: a reminder without a number is never announced.
bool IsDue(const TCallLater& entry, platform::TDateTime now)
{
    return !SecondsLeft(entry, now) && !DialableDigits(entry.Number).empty();
}

} // namespace

std::string TOptionsLists::CountDownText(const TCallLater& entry, platform::TDateTime now)
{
    if (const auto left = SecondsLeft(entry, now))
        return DialogText("CallIn", "Call in") + " " + Remaining(*left);
    if (!IsDue(entry, now))
        return DialogText("NoNumber", "No number");
    return DialogText("ASAP", "As soon as possible");
}

std::vector<std::string> TOptionsLists::CountDown(platform::TDateTime now)
{
    std::vector<std::string> texts;
    const TCallLater* due = nullptr;
    for (const auto& entry : reminders_) {
        texts.push_back(CountDownText(*entry, now));
        if (IsDue(*entry, now))
            due = entry.get();
    }
    if (due && !fmCallLaterCall && MayBeCalledNow(*due)) {
        auto* popup = new TfmCallLaterCall(nullptr, ReminderTimings);
        popup->SetUp(*due, [this](const TCallLater& entry, int choice) { ReminderChosen(entry, choice); });
    }
    return texts;
}

void TOptionsLists::ReminderChosen(const TCallLater& entry, int choice)
{
    const auto found = std::find_if(reminders_.begin(), reminders_.end(), [&](const auto& each) {
        return each->Name == entry.Name && each->Number == entry.Number && each->CallTime == entry.CallTime;
    });
    if (choice >= 1) {
        if (found != reminders_.end())
            (*found)->CallTime = DateTimeToDos(Now() + choice / (24.0 * 60.0));
        SaveReminders();
        return;
    }
    // Without a session to call from, the reminder stays and is announced again.
    if (choice == 0 && !CallNow(entry))
        return;
    if (found != reminders_.end())
        reminders_.erase(found);
    SaveReminders();
}

} // namespace options
