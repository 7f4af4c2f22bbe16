#pragma once
// kovrasim in-process for the main window's end-to-end tests: two phones, ephemeral ports, no
// portal, and a ringing call that is never given up while a test looks at it.

#include "KovraSim.h"

inline kovrasim::TSimOptions TwoPhoneSimOptions()
{
    kovrasim::TSimOptions options;
    options.Phones = {{"1001", "secret", "Alice Archer", kovrasim::kAllCapabilities, 0},
                      {"1002", "secret", "Bob Baker", kovrasim::kAllCapabilities, 0}};
    options.Servers = {"127.0.0.1"};
    options.ServerPort = 0;
    options.PortalPort = -1;
    options.ControlPort = -1;
    options.DataDir = KOVRASIM_TEST_DATA;
    options.AckWaitMs = 100;
    options.AnswerDelayMs = 50;
    options.NoAnswerMs = 60000;
    return options;
}
