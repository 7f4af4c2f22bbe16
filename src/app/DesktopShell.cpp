#include "app/DesktopShell.h"

#include <algorithm>

#include "platform/Threads.h"

namespace app {

void TAddressOpener::Open(const std::string& url)
{
    // Those that have started their browser are done with: joining them does not wait.
    for (TStart& start : starts_)
        if (*start.Done)
            start.Thread.join();
    std::erase_if(starts_, [](const TStart& start) { return !start.Thread.joinable(); });
    auto done = std::make_shared<std::atomic<bool>>(false);
    starts_.push_back({std::thread([url, done] {
                           OpenInDefaultBrowser(url);
                           *done = true;
                           platform::ReleaseUnusedStack();
                       }),
                       done});
}

TAddressOpener::~TAddressOpener()
{
    for (TStart& start : starts_)
        start.Thread.join();
}

} // namespace app
