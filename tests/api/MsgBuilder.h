#pragma once
// A protocol message written field by field in one expression, as the tests build the datagrams
// they send: TMsgBuilder(type, 0).Int(5).Str("1001").Oid(oid).

#include <string>
#include <utility>

#include "api/KovraAPIMsg.h"

class TMsgBuilder : public api::TKovraAPIMsg {
public:
    using api::TKovraAPIMsg::TKovraAPIMsg;
    TMsgBuilder(api::TKovraAPIMsg msg) : api::TKovraAPIMsg(std::move(msg)) {}

    TMsgBuilder& Int(std::uint32_t value) { return WriteInt32(value), *this; }
    TMsgBuilder& Bool(bool value) { return WriteBool(value), *this; }
    TMsgBuilder& Str(const std::string& text) { return WriteStr(text), *this; }
    TMsgBuilder& Oid(const std::string& oid) { return WriteOid(oid), *this; }
};
