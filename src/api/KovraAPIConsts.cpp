#include "api/KovraAPIConsts.h"

#include <algorithm>
#include <array>
#include <utility>

namespace api {

namespace {

struct TypeName {
    std::uint32_t Type;
    const char* Name;
};

// Sorted by type.
constexpr TypeName kTypeNames[] = {
    {1, "DISCONNECT"},
    {2, "ACK"},
    {3, "PING"},
    {16, "AGENT_EVENT"},
    {17, "CALL_CONNECTION_EVENT"},
    {18, "QUEUE_STATS_EVENT"},
    {19, "PHONE_STATE_EVENT"},
    {20, "MEETME_CONFERENCE_EVENT"},
    {256, "ALTERNATE_CALL_REQ"},
    {257, "ALTERNATE_CALL_RSP"},
    {258, "ANSWER_CALL_REQ"},
    {259, "ANSWER_CALL_RSP"},
    {260, "COMPLETE_TRANSFER_REQ"},
    {261, "COMPLETE_TRANSFER_RSP"},
    {262, "COMPLETE_CONFERENCE_REQ"},
    {263, "COMPLETE_CONFERENCE_RSP"},
    {264, "DIAL_DIGITS_REQ"},
    {265, "DIAL_DIGITS_RSP"},
    {266, "DROP_CONNECTION_REQ"},
    {267, "DROP_CONNECTION_RSP"},
    {268, "GET_CALL_DATA_REQ"},
    {269, "GET_CALL_DATA_RSP"},
    {270, "HOLD_CALL_REQ"},
    {271, "HOLD_CALL_RSP"},
    {272, "LOGIN_REQ"},
    {273, "LOGIN_RSP"},
    {274, "MAKE_CALL_REQ"},
    {275, "MAKE_CALL_RSP"},
    {278, "MONITOR_START_REQ"},
    {279, "MONITOR_START_RSP"},
    {280, "MONITOR_STOP_REQ"},
    {281, "MONITOR_STOP_RSP"},
    {282, "PARK_CALL_REQ"},
    {283, "PARK_CALL_RSP"},
    {284, "PICKUP_CALL_REQ"},
    {285, "PICKUP_CALL_RSP"},
    {286, "QUERY_AGENT_STATE_REQ"},
    {287, "QUERY_AGENT_STATE_RSP"},
    {288, "QUERY_PHONE_STATE_REQ"},
    {289, "QUERY_PHONE_STATE_RSP"},
    {290, "QUERY_QUEUE_STATS_REQ"},
    {291, "QUERY_QUEUE_STATS_RSP"},
    {292, "RECONNECT_CALL_REQ"},
    {293, "RECONNECT_CALL_RSP"},
    {294, "REDIRECT_CALL_REQ"},
    {295, "REDIRECT_CALL_RSP"},
    {296, "RETRIEVE_CALL_REQ"},
    {297, "RETRIEVE_CALL_RSP"},
    {298, "SET_AGENT_STATE_REQ"},
    {299, "SET_AGENT_STATE_RSP"},
    {300, "SET_CALL_DATA_REQ"},
    {301, "SET_CALL_DATA_RSP"},
    {302, "SET_CALL_FORWARDING_REQ"},
    {303, "SET_CALL_FORWARDING_RSP"},
    {304, "SET_DO_NOT_DISTURB_REQ"},
    {305, "SET_DO_NOT_DISTURB_RSP"},
    {306, "SETUP_TRANSFER_REQ"},
    {307, "SETUP_TRANSFER_RSP"},
    {308, "SETUP_CONFERENCE_REQ"},
    {309, "SETUP_CONFERENCE_RSP"},
    {310, "SINGLE_STEP_TRANSFER_REQ"},
    {311, "SINGLE_STEP_TRANSFER_RSP"},
    {312, "SINGLE_STEP_CONFERENCE_REQ"},
    {313, "SINGLE_STEP_CONFERENCE_RSP"},
    {318, "GET_CALL_FORWARDING_REQ"},
    {319, "GET_CALL_FORWARDING_RSP"},
    {322, "CONFERENCE_CALL_REQ"},
    {323, "CONFERENCE_CALL_RSP"},
    {324, "DROP_CONFERENCE_CONNECTION_REQ"},
    {325, "DROP_CONFERENCE_CONNECTION_RSP"},
    {334, "QUERY_PHONE_CONFIG_REQ"},
    {335, "QUERY_PHONE_CONFIG_RSP"},
    {511, "FAILURE_RSP"},
    {518, "GET_APPLICATION_DATA_REQ"},
    {519, "GET_APPLICATION_DATA_RSP"},
    {520, "SET_APPLICATION_DATA_REQ"},
    {521, "SET_APPLICATION_DATA_RSP"},
    {768, "MEETME_DROP_CALL_REQ"},
    {769, "MEETME_DROP_CALL_RSP"},
    {770, "MEETME_LOCK_REQ"},
    {771, "MEETME_LOCK_RSP"},
    {772, "MEETME_MODIFY_REQ"},
    {773, "MEETME_MODIFY_RSP"},
    {774, "MEETME_MONITOR_START_REQ"},
    {775, "MEETME_MONITOR_START_RSP"},
    {776, "MEETME_MONITOR_STOP_REQ"},
    {777, "MEETME_MONITOR_STOP_RSP"},
    {778, "MEETME_MUTE_REQ"},
    {779, "MEETME_MUTE_RSP"},
    {780, "MEETME_OPERATOR_REQ"},
    {781, "MEETME_OPERATOR_RSP"},
    {782, "MEETME_QUERY_REQ"},
    {783, "MEETME_QUERY_RSP"},
    {784, "MEETME_ROLL_CALL_REQ"},
    {785, "MEETME_ROLL_CALL_RSP"},
    {786, "MEETME_SET_CALL_INFO_REQ"},
    {787, "MEETME_SET_CALL_INFO_RSP"},
};

struct ErrorEntry {
    const char* Key;
    const char* Text;
};

constexpr ErrorEntry kErrors[] = {
    {"", ""},
    {"SErrorInvalidPassword", "Invalid Password"},
    {"SErrorInvalidDevice", "Invalid Device"},
    {"SErrorInvalidCall", "Invalid Call"},
    {"SErrorInvalidState", "Invalid State"},
    {"SErrorInvalidQueue", "Invalid Queue"},
    {"SErrorInvalidAgent", "Invalid Agent"},
    {"SErrorInvalidAddress", "Invalid Address"},
    {"SErrorInvalidMsgType", "Invalid Message Type"},
    {"SErrorInvalidMonitorID", "Invalid Monitor ID"},
    {"SErrorInvalidParameter", "Invalid Parameter"},
    {"SErrorDuplicateMonitor", "Duplicate Monitor"},
    {"SErrorNoMonitor", "No Monitor"},
    {"SErrorLoginDenied", "Login Denied"},
    {"SErrorPasswordExpired", "Password Expired"},
    {"SErrorAccountLocked", "Account Locked"},
    {"SErrorPermissionDenied", "Permission Denied"},
    {"SErrorResourceBusy", "Resource Busy"},
    {"SErrorOutOfService", "Out of Service"},
    {"SErrorNoCallToAnswer", "No Call to Answer"},
    {"SErrorConferenceFailure", "Conference Failure"},
    {"SErrorNotSupported", "Not Supported"},
    {"SErrorKeyNotFound", "Key Not Found"},
    {"SErrorReadOnlyKey", "Read Only Key"},
    {"SErrorNoCallToPickup", "No Call to Pickup"},
    {"SErrorNoDialtone", "No Dialtone"},
    {"SErrorPendingRequest", "Pending Request"},
    {"SErrorSystemFailure", "System Failure"},
    {"SErrorFeatureNotEnabled", "Feature Not Enabled"},
    {"SErrorInvalidNumber", "Invalid Number"},
    {"SErrorInvalidVersion", "Invalid Version"},
    {"SErrorCreateCallFailed", "Create Call Failed"},
    {"SErrorAlreadyRecording", "Already Recording"},
    {"SErrorInvalidConfID", "Invalid Conference ID"},
    {"SErrorNoConfPorts", "No Conference Ports"},
    {"SErrorResourceUnAvail", "Resource Unavailable"},
    {"SErrorNoConfModerator", "No Conference Moderator"},
    {"SErrorRollCallFailed", "Roll Call Failed"},
    {"SErrorRollCallDisabled", "Roll Call Not Enabled"},
    {"SErrorAlreadyHasMonitor", "Already Has Monitor"},
    {"SErrorInvalidClient", "Invalid Client"},
    {"SErrorTimeout", "Timed out"},
    {"SErrorPlayStopped", "Play stopped"},
    {"SErrorCollectStopped", "Collect stopped"},
    {"SErrorPasswordUnchanged", "Password unchanged"},
    {"SErrorInvalidPasswordLen", "Invalid password length"},
    {"SErrorInvalidPasswordSubset", "Invalid password subset"},
    {"SErrorMaxPwdAttemps", "Maximum password attempts"},
    {"SErrorAuthenRequired", "Authentication required"},
    {"SErrorInvalidNonce", "Invalid Nonce"},
    {"SErrorStaleNonce", "Stale Nonce"},
    {"SErrorRequestNotAllowed", "Request not allowed"},
};
constexpr ErrorEntry kUnknownError = {"SErrorUnknown", "Unknown Error"};

const ErrorEntry& EntryOf(std::uint32_t code)
{
    return code < std::size(kErrors) ? kErrors[code] : kUnknownError;
}

} // namespace

std::string MessageTypeName(std::uint32_t msgType)
{
    const auto* end = std::end(kTypeNames);
    const auto* found =
        std::lower_bound(std::begin(kTypeNames), end, msgType,
                         [](const TypeName& entry, std::uint32_t type) { return entry.Type < type; });
    if (found != end && found->Type == msgType)
        return found->Name;
    return "Unknown Message " + std::to_string(msgType);
}

std::string_view ErrorKey(std::uint32_t code)
{
    return EntryOf(code).Key;
}

std::string_view ErrorBuiltInText(std::uint32_t code)
{
    return EntryOf(code).Text;
}

std::string ErrorText(std::uint32_t code, const IKovraTextSource* bundle)
{
    if (code == 0)
        return std::string();
    const ErrorEntry& entry = EntryOf(code);
    if (!bundle)
        return entry.Text;
    return bundle->GetText(entry.Key, entry.Text);
}

} // namespace api
