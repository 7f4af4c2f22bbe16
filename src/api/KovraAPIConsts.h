#pragma once
// The protocol's message types, their names for traffic logs, and the server's error codes.

#include <cstdint>
#include <string>
#include <string_view>

#include "api/KovraCodes.h"

namespace api {

namespace KovraMsg {

constexpr std::uint32_t DISCONNECT = 1;
constexpr std::uint32_t ACK = 2;
constexpr std::uint32_t PING = 3;
constexpr std::uint32_t AGENT_EVENT = 16;
constexpr std::uint32_t CALL_CONNECTION_EVENT = 17;
constexpr std::uint32_t QUEUE_STATS_EVENT = 18;
constexpr std::uint32_t PHONE_STATE_EVENT = 19;
constexpr std::uint32_t MEETME_CONFERENCE_EVENT = 20;
constexpr std::uint32_t ALTERNATE_CALL_REQ = 256;
constexpr std::uint32_t ALTERNATE_CALL_RSP = 257;
constexpr std::uint32_t ANSWER_CALL_REQ = 258;
constexpr std::uint32_t ANSWER_CALL_RSP = 259;
constexpr std::uint32_t COMPLETE_TRANSFER_REQ = 260;
constexpr std::uint32_t COMPLETE_TRANSFER_RSP = 261;
constexpr std::uint32_t COMPLETE_CONFERENCE_REQ = 262;
constexpr std::uint32_t COMPLETE_CONFERENCE_RSP = 263;
constexpr std::uint32_t DIAL_DIGITS_REQ = 264;
constexpr std::uint32_t DIAL_DIGITS_RSP = 265;
constexpr std::uint32_t DROP_CONNECTION_REQ = 266;
constexpr std::uint32_t DROP_CONNECTION_RSP = 267;
constexpr std::uint32_t GET_CALL_DATA_REQ = 268;
constexpr std::uint32_t GET_CALL_DATA_RSP = 269;
constexpr std::uint32_t HOLD_CALL_REQ = 270;
constexpr std::uint32_t HOLD_CALL_RSP = 271;
constexpr std::uint32_t LOGIN_REQ = 272;
constexpr std::uint32_t LOGIN_RSP = 273;
constexpr std::uint32_t MAKE_CALL_REQ = 274;
constexpr std::uint32_t MAKE_CALL_RSP = 275;
constexpr std::uint32_t MONITOR_START_REQ = 278;
constexpr std::uint32_t MONITOR_START_RSP = 279;
constexpr std::uint32_t MONITOR_STOP_REQ = 280;
constexpr std::uint32_t MONITOR_STOP_RSP = 281;
constexpr std::uint32_t PARK_CALL_REQ = 282;
constexpr std::uint32_t PARK_CALL_RSP = 283;
constexpr std::uint32_t PICKUP_CALL_REQ = 284;
constexpr std::uint32_t PICKUP_CALL_RSP = 285;
constexpr std::uint32_t QUERY_AGENT_STATE_REQ = 286;
constexpr std::uint32_t QUERY_AGENT_STATE_RSP = 287;
constexpr std::uint32_t QUERY_PHONE_STATE_REQ = 288;
constexpr std::uint32_t QUERY_PHONE_STATE_RSP = 289;
constexpr std::uint32_t QUERY_QUEUE_STATS_REQ = 290;
constexpr std::uint32_t QUERY_QUEUE_STATS_RSP = 291;
constexpr std::uint32_t RECONNECT_CALL_REQ = 292;
constexpr std::uint32_t RECONNECT_CALL_RSP = 293;
constexpr std::uint32_t REDIRECT_CALL_REQ = 294;
constexpr std::uint32_t REDIRECT_CALL_RSP = 295;
constexpr std::uint32_t RETRIEVE_CALL_REQ = 296;
constexpr std::uint32_t RETRIEVE_CALL_RSP = 297;
constexpr std::uint32_t SET_AGENT_STATE_REQ = 298;
constexpr std::uint32_t SET_AGENT_STATE_RSP = 299;
constexpr std::uint32_t SET_CALL_DATA_REQ = 300;
constexpr std::uint32_t SET_CALL_DATA_RSP = 301;
constexpr std::uint32_t SET_CALL_FORWARDING_REQ = 302;
constexpr std::uint32_t SET_CALL_FORWARDING_RSP = 303;
constexpr std::uint32_t SET_DO_NOT_DISTURB_REQ = 304;
constexpr std::uint32_t SET_DO_NOT_DISTURB_RSP = 305;
constexpr std::uint32_t SETUP_TRANSFER_REQ = 306;
constexpr std::uint32_t SETUP_TRANSFER_RSP = 307;
constexpr std::uint32_t SETUP_CONFERENCE_REQ = 308;
constexpr std::uint32_t SETUP_CONFERENCE_RSP = 309;
constexpr std::uint32_t SINGLE_STEP_TRANSFER_REQ = 310;
constexpr std::uint32_t SINGLE_STEP_TRANSFER_RSP = 311;
constexpr std::uint32_t SINGLE_STEP_CONFERENCE_REQ = 312;
constexpr std::uint32_t SINGLE_STEP_CONFERENCE_RSP = 313;
constexpr std::uint32_t GET_CALL_FORWARDING_REQ = 318;
constexpr std::uint32_t GET_CALL_FORWARDING_RSP = 319;
constexpr std::uint32_t CONFERENCE_CALL_REQ = 322;
constexpr std::uint32_t CONFERENCE_CALL_RSP = 323;
constexpr std::uint32_t DROP_CONFERENCE_CONNECTION_REQ = 324;
constexpr std::uint32_t DROP_CONFERENCE_CONNECTION_RSP = 325;
constexpr std::uint32_t QUERY_PHONE_CONFIG_REQ = 334;
constexpr std::uint32_t QUERY_PHONE_CONFIG_RSP = 335;
constexpr std::uint32_t FAILURE_RSP = 511;
constexpr std::uint32_t GET_APPLICATION_DATA_REQ = 518;
constexpr std::uint32_t GET_APPLICATION_DATA_RSP = 519;
constexpr std::uint32_t SET_APPLICATION_DATA_REQ = 520;
constexpr std::uint32_t SET_APPLICATION_DATA_RSP = 521;
constexpr std::uint32_t MEETME_DROP_CALL_REQ = 768;
constexpr std::uint32_t MEETME_DROP_CALL_RSP = 769;
constexpr std::uint32_t MEETME_LOCK_REQ = 770;
constexpr std::uint32_t MEETME_LOCK_RSP = 771;
constexpr std::uint32_t MEETME_MODIFY_REQ = 772;
constexpr std::uint32_t MEETME_MODIFY_RSP = 773;
constexpr std::uint32_t MEETME_MONITOR_START_REQ = 774;
constexpr std::uint32_t MEETME_MONITOR_START_RSP = 775;
constexpr std::uint32_t MEETME_MONITOR_STOP_REQ = 776;
constexpr std::uint32_t MEETME_MONITOR_STOP_RSP = 777;
constexpr std::uint32_t MEETME_MUTE_REQ = 778;
constexpr std::uint32_t MEETME_MUTE_RSP = 779;
constexpr std::uint32_t MEETME_OPERATOR_REQ = 780;
constexpr std::uint32_t MEETME_OPERATOR_RSP = 781;
constexpr std::uint32_t MEETME_QUERY_REQ = 782;
constexpr std::uint32_t MEETME_QUERY_RSP = 783;
constexpr std::uint32_t MEETME_ROLL_CALL_REQ = 784;
constexpr std::uint32_t MEETME_ROLL_CALL_RSP = 785;
constexpr std::uint32_t MEETME_SET_CALL_INFO_REQ = 786;
constexpr std::uint32_t MEETME_SET_CALL_INFO_RSP = 787;
// Types without a name in the catalogue.
constexpr std::uint32_t VOICE_MAIL_REQ = 338;
constexpr std::uint32_t VOICE_MAIL_RSP = 339;
constexpr std::uint32_t MEETME_ACK_HAND_REQ = 788;
constexpr std::uint32_t MEETME_ACK_HAND_RSP = 789;

// Events carry no InvokeID or error code; control messages neither.
inline bool IsEventOrControl(std::uint32_t type)
{
    return (type >= 1 && type <= 3) || (type >= 16 && type <= 20);
}

} // namespace KovraMsg

// Where localised texts come from: the message bundle, or anything that answers by key.
class IKovraTextSource {
public:
    virtual ~IKovraTextSource() = default;
    virtual std::string GetText(std::string_view key, std::string_view defaultText) const = 0;
};

constexpr std::uint32_t KOVRA_ERROR_UNKNOWN_FIRST = 52;

// "Unknown Message N" for a type without a name.
std::string MessageTypeName(std::uint32_t msgType);
// The user-visible text of a server error code: the bundle's text for its key, else the built-in one.
std::string ErrorText(std::uint32_t code, const IKovraTextSource* bundle = nullptr);
// The bundle key and built-in text of a code (52 and above share "SErrorUnknown").
std::string_view ErrorKey(std::uint32_t code);
std::string_view ErrorBuiltInText(std::uint32_t code);

} // namespace api
