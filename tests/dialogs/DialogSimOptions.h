#pragma once
// The simulator for the main window's end-to-end tests: two phones, and a ringing call that is
// never given up while a test looks at it.

#include <string>

#include "SimTest.h"

inline kovrasim::TSimOptions TwoPhoneSimOptions()
{
    kovrasim::TSimOptions options = FastOptions();
    options.Phones.resize(2);
    options.SilenceTimeoutMs = 60000;
    options.NoAnswerMs = 60000;
    options.InvalidNumbers.clear();
    return options;
}

// The first call on the simulator where number is a party in state, "" when there is none.
inline std::string SimCallWith(kovrasim::TKovraSim& sim, const std::string& number, int state)
{
    std::lock_guard guard(sim.Lock());
    for (const auto& [oid, call] : sim.Phones().Calls())
        for (const auto& party : call.Parties)
            if (party.Number == number && static_cast<int>(party.ConnState) == state)
                return oid;
    return {};
}
