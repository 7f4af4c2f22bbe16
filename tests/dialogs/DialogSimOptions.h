#pragma once
// The simulator for the main window's end-to-end tests: two phones, and a ringing call that is
// never given up while a test looks at it.

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
