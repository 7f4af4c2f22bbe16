#include "messenger/MSNUtils.h"

#include <algorithm>

#include "settings/Csv.h"
#include "settings/DialingRules.h"
#include "settings/MSNConfig.h"
#include "settings/MessageBundle.h"
#include "settings/TextUtil.h"
#include "settings/otutil.h"

using namespace settings;

namespace messenger {

namespace {

constexpr const char* kIMSection = "IMStates";
constexpr const char* kPhoneSection = "PhoneStates";

struct TKnownStatus {
    int Code;
    const char *Key, *Name;
    int Action;
};
constexpr TKnownStatus kKnownStatuses[] = {
    {MSTATE_ONLINE, "IMOnline", "Online", imaDisableDndFw},
    {MSTATE_INVISIBLE, "IMAppearOffline", "Appear offline", imaEnableDnd},
    {MSTATE_BUSY, "IMBusy", "Busy", imaNothing},
    {MSTATE_BE_RIGHT_BACK, "IMBeRightBack", "Be right back", imaNothing},
    {MSTATE_AWAY, "IMAway", "Away", imaEnableDnd},
    {MSTATE_ON_THE_PHONE, "IMOnThePhone", "On the phone", imaNothing},
    {MSTATE_OUT_TO_LUNCH, "IMOutToLunch", "Out to lunch", imaEnableDnd},
};

struct TKnownPhoneState {
    const char *Key, *Name;
    int Target;
    std::vector<int> Conditions;
};
// State 2 is shown as "Busy" like its row label (the key still localises it).
const TKnownPhoneState kPhoneStates[kPhoneStateCount] = {
    {"PhoneOffHook", "Off-hook", MSTATE_ONLINE, {MSTATE_AWAY, MSTATE_BE_RIGHT_BACK, MSTATE_OUT_TO_LUNCH}},
    {"PhoneBusy",
     "Busy",
     MSTATE_ON_THE_PHONE,
     {MSTATE_ONLINE, MSTATE_AWAY, MSTATE_BE_RIGHT_BACK, MSTATE_OUT_TO_LUNCH}},
    {"PhoneHangup", "Hangup", MSTATE_ONLINE, {MSTATE_ON_THE_PHONE}},
    {"PhoneDNDOn", "Enable do not disturb", MSTATE_INVISIBLE, {}},
    {"PhoneDNDOff", "Disable do not disturb", MSTATE_ONLINE, {}},
    {"PhoneForward", "Forward my phone", MSTATE_ONLINE, {}},
    {"PhoneOOS", "Out of service", MSTATE_ONLINE, {MSTATE_ON_THE_PHONE}},
};

// "%s" replaced in order by the arguments.
std::string FillIn(std::string pattern, std::initializer_list<std::string_view> values)
{
    std::size_t at = 0;
    for (std::string_view value : values) {
        at = pattern.find("%s", at);
        if (at == std::string::npos)
            break;
        pattern.replace(at, 2, value);
        at += value.size();
    }
    return pattern;
}

} // namespace

TPresenceRules::TPresenceRules()
{
    SetDefaults();
}

void TPresenceRules::SetDefaults()
{
    im_ = {};
    for (const auto& known : kKnownStatuses) {
        auto& rec = im_[static_cast<std::size_t>(known.Code)];
        rec.Name = LocalText(known.Key, known.Name);
        rec.Code = known.Code;
        rec.Action = known.Action;
    }
    for (int state = 1; state <= kPhoneStateCount; ++state) {
        const auto& known = kPhoneStates[state - 1];
        auto& rec = phone_[static_cast<std::size_t>(state - 1)];
        rec.Name = LocalText(known.Key, known.Name);
        rec.Code = state;
        rec.Target = known.Target;
        rec.Conditions = known.Conditions;
    }
}

void TPresenceRules::Load(const TKovraAssistantConfig& config)
{
    for (int code = 0; code < kIMStateCount; ++code) {
        const std::string value = config.ReadString(kIMSection, std::to_string(code), "");
        if (value.empty())
            continue;
        TCsv line(value);
        auto& rec = im_[static_cast<std::size_t>(code)];
        rec.Code = code;
        rec.Action = line.FieldInt(0);
        rec.Number = line.FieldText(1);
        rec.Label = line.FieldText(2);
    }
    for (int state = 1; state <= kPhoneStateCount; ++state) {
        const std::string value = config.ReadString(kPhoneSection, std::to_string(state), "");
        if (value.empty())
            continue;
        TCsv line(value);
        auto& rec = phone_[static_cast<std::size_t>(state - 1)];
        rec.Code = state;
        rec.Target = line.FieldInt(0);
        rec.Conditions.clear();
        for (int i = 1; i < line.FieldCount(); ++i)
            rec.Conditions.push_back(line.FieldInt(i));
    }
}

void TPresenceRules::SaveIMRule(TKovraAssistantConfig& config, int code) const
{
    const TIMStateRec* rec = IMState(code);
    if (!rec)
        return;
    TCsv line;
    line.AddField(rec->Action);
    line.AddField(rec->Number);
    line.AddField(rec->Label);
    config.WriteString(kIMSection, std::to_string(code), line.Line());
}

void TPresenceRules::SavePhoneRule(TKovraAssistantConfig& config, int state) const
{
    const TPhoneStateRec* rec = PhoneState(state);
    if (!rec)
        return;
    TCsv line;
    line.AddField(rec->Target);
    for (int condition : rec->Conditions)
        line.AddField(condition);
    config.WriteString(kPhoneSection, std::to_string(state), line.Line());
}

TIMStateRec* TPresenceRules::IMState(int code)
{
    return code >= 0 && code < kIMStateCount ? &im_[static_cast<std::size_t>(code)] : nullptr;
}

const TIMStateRec* TPresenceRules::IMState(int code) const
{
    return const_cast<TPresenceRules*>(this)->IMState(code);
}

TPhoneStateRec* TPresenceRules::PhoneState(int state)
{
    return state >= 1 && state <= kPhoneStateCount ? &phone_[static_cast<std::size_t>(state - 1)] : nullptr;
}

const TPhoneStateRec* TPresenceRules::PhoneState(int state) const
{
    return const_cast<TPresenceRules*>(this)->PhoneState(state);
}

std::string TPresenceRules::StatusName(int code) const
{
    const TIMStateRec* rec = IMState(code);
    return rec ? rec->Name : std::string();
}

std::string TPresenceRules::IMRuleText(int code) const
{
    const TIMStateRec* rec = IMState(code);
    switch (rec ? rec->Action : imaNothing) {
    case imaDisableDndFw:
        return LocalText("btDisableDndFw", "Disable do not disturb and forward");
    case imaEnableDnd:
        return LocalText("btEnableDnd", "Enable do not disturb");
    case imaForward:
        return FillIn(LocalText("ForwardTo", "Forward to %s (%s)"), {rec->Label, rec->Number});
    default:
        return LocalText("btNothing", "Nothing");
    }
}

std::string TPresenceRules::PhoneRuleCaption(int state) const
{
    const TPhoneStateRec* rec = PhoneState(state);
    const int target = rec ? rec->Target : 0;
    return std::string(7, ' ') + (target == 0 ? LocalText("btNothing", "Nothing") : StatusName(target));
}

int TPresenceRules::PhoneRuleIcon(int state) const
{
    const TPhoneStateRec* rec = PhoneState(state);
    switch (rec ? rec->Target : 0) {
    case MSTATE_ONLINE:
        return 2;
    case MSTATE_INVISIBLE:
        return 1;
    case MSTATE_BUSY:
    case MSTATE_ON_THE_PHONE:
        return 3;
    case MSTATE_BE_RIGHT_BACK:
    case 18: // idle
    case MSTATE_AWAY:
    case MSTATE_OUT_TO_LUNCH:
        return 4;
    default:
        return 0;
    }
}

std::string TPresenceRules::PhoneRuleConditions(int state) const
{
    const TPhoneStateRec* rec = PhoneState(state);
    if (!rec || rec->Conditions.empty())
        return LocalText("Always", "Always");
    std::string text = LocalText("IfMyCurrentState", "If my current state is");
    const std::string orText = LocalText("Or", "or");
    for (std::size_t i = 0; i < rec->Conditions.size(); ++i) {
        text += ' ';
        if (i > 0)
            text += orText + ' ';
        text += '\'' + settings::ToLowerAscii(StatusName(rec->Conditions[i])) + '\'';
    }
    return text;
}

TPresenceRules& PresenceRules()
{
    static TPresenceRules rules;
    return rules;
}

void TPresenceCoupling::Attach(TMsgrObject* messenger)
{
    messenger_ = messenger;
    ownStatuses_.clear();
    lastStatus_ = 0;
    if (!messenger_)
        return;
    try {
        lastStatus_ = messenger_->LocalState();
    } catch (const EOleError&) {
    }
}

void TPresenceCoupling::OwnStatusChanged(int status)
{
    if (status == lastStatus_)
        return;
    const int last = lastStatus_;
    // Echoes come in the order the statuses were set; one that never came is dropped with it.
    const auto own = std::find(ownStatuses_.begin(), ownStatuses_.end(), status);
    if (own != ownStatuses_.end()) {
        ownStatuses_.erase(ownStatuses_.begin(), own + 1);
    } else {
        // Remember first: a sign-out handler may detach the wrapper and attach it again later.
        lastStatus_ = status;
        if (status == MSTATE_OFFLINE && last == MSTATE_ONLINE && OnSignOut)
            OnSignOut();
        else if (status == MSTATE_ONLINE && last == MSTATE_OFFLINE && OnSignIn)
            OnSignIn();
        ApplyIMRule(status);
    }
    lastStatus_ = status;
}

void TPresenceCoupling::ApplyIMRule(int status)
{
    const TIMStateRec* rec = rules_.IMState(status);
    if (!rec || !phone_.Connected())
        return;
    switch (rec->Action) {
    case imaDisableDndFw:
        if (phone_.DoNotDisturb()) {
            phone_.RestartQuiet();
            phone_.RequestDoNotDisturb(false);
        }
        if (phone_.Forwarded() && phone_.MayForward()) {
            phone_.RestartQuiet();
            phone_.RequestForwarding("");
        }
        break;
    case imaEnableDnd:
        phone_.RestartQuiet();
        phone_.RequestDoNotDisturb(true);
        break;
    case imaForward: {
        // The "+" stays: the phone's dialing rules turn the number into what it dials.
        const std::string destination = WrittenDigits(rec->Number);
        if (!destination.empty() && phone_.MayForward()) {
            phone_.RestartQuiet();
            phone_.RequestForwarding(destination);
        }
        break;
    }
    default:
        break;
    }
}

void TPresenceCoupling::PhoneEvent(int event)
{
    const TPhoneStateRec* rec = rules_.PhoneState(event);
    if (!messenger_ || !rec || rec->Target == 0)
        return;
    try {
        const int current = messenger_->LocalState();
        if (!rec->Conditions.empty() &&
            std::find(rec->Conditions.begin(), rec->Conditions.end(), current) == rec->Conditions.end())
            return;
        if (current == rec->Target)
            return;
        messenger_->SetLocalState(rec->Target);
        ownStatuses_.push_back(rec->Target);
    } catch (const EOleError&) {
        // The status stays, and no echo is awaited that would swallow the user's next change.
    }
}

std::string GetContactPhone(IMsgrUser* contact, int kind)
{
    if (!contact)
        return {};
    try {
        auto phones = contact->Phones();
        if (!phones)
            return {};
        if (kind >= 0)
            return phones->PhoneNumber(kind);
        for (int each = 0; each < 3; ++each) {
            std::string number = phones->PhoneNumber(each);
            if (!number.empty())
                return number;
        }
    } catch (const EOleError&) {
    }
    return {};
}

std::shared_ptr<IMsgrUser> FindContactByNumber(TMsgrObject* messenger, std::string_view number)
{
    if (!messenger || number.empty())
        return nullptr;
    try {
        auto users = messenger->List(MLIST_CONTACT);
        const int count = users->Count();
        for (int i = 0; i < count; ++i) {
            auto user = users->Item(i);
            for (int kind = 0; kind < 3; ++kind) {
                std::string phone = GetContactPhone(user.get(), kind);
                // "+1 425 555 1234": the country part before the first blank is left out.
                const std::size_t blank = phone.find(' ', 1);
                if (blank != std::string::npos)
                    phone.erase(0, blank + 1);
                phone = DialableDigits(phone);
                if (phone.size() > number.size())
                    phone.erase(0, phone.size() - number.size());
                if (phone == number)
                    return user;
            }
        }
    } catch (const EOleError&) {
    }
    return nullptr;
}

std::shared_ptr<IMsgrUser> FindContactByName(TMsgrObject* messenger, std::string_view name)
{
    if (!messenger)
        return nullptr;
    try {
        auto users = messenger->List(MLIST_CONTACT);
        const int count = users->Count();
        for (int i = 0; i < count; ++i) {
            auto user = users->Item(i);
            if (settings::SameText(user->FriendlyName(), name))
                return user;
        }
    } catch (const EOleError&) {
    }
    return nullptr;
}

std::string ContactNameFromListText(std::string_view text)
{
    const std::size_t paren = text.find('(');
    if (paren != std::string_view::npos && paren > 1)
        text = text.substr(0, paren - 1);
    return std::string(text);
}

std::string ContactNameFromTitle(std::string_view title)
{
    const std::size_t dash = title.find(" - ");
    if (dash != std::string_view::npos && dash > 0)
        title = title.substr(0, dash);
    return std::string(title);
}

bool SendMessageToNumber(TMsgrObject* messenger, std::string_view number, const std::string& text,
                         std::string& error)
{
    error.clear();
    auto contact = FindContactByNumber(messenger, number);
    try {
        if (contact && contact->State() == MSTATE_ONLINE) {
            contact->SendText(kMimeHeader, text, MMSGTYPE_ALL_RESULTS);
            return true;
        }
    } catch (const EOleError&) {
    }
    error = LocalText("IMCannotSendMessage", "Unable to send message.") + "\r\r" +
            LocalText("IMCannotFindUser", "Cannot find Instant Messenger user or user is not online.");
    return false;
}

} // namespace messenger
