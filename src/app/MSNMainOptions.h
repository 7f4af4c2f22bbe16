#pragma once
// The options window as the main window knows it (IOptionsWindow), over TfmOptions and the
// program-wide lists. Main thread only.

#include <functional>
#include <memory>

#include "app/AssistantSeams.h"
#include "options/MSNOptions.h"

namespace app {

// Makes the main window's options window; each one shows the same lists.
std::function<std::unique_ptr<IOptionsWindow>()>
OptionsWindowFactory(std::shared_ptr<options::TOptionsLists> lists, options::TOptionsTimings timings = {});

// The form behind an options window the factory made, or none.
options::TfmOptions* OptionsForm(IOptionsWindow* window);

} // namespace app
