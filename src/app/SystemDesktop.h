#pragma once
// The desktop as the running program meets it: its own window brought forward, the meet-me
// application asked through its marked window, help in the registered browser.

#include <functional>

#include "app/AssistantSeams.h"

class TSystemDesktop : public IDesktop {
public:
    // mainWindow gives the native handle of the main window (null before it has one).
    explicit TSystemDesktop(std::function<void*()> mainWindow) : mainWindow_(std::move(mainWindow)) {}
    void ForceForeground() override;
    std::uint32_t MeetmeConferenceId() override;
    void OpenHelp(const std::string& url) override;

private:
    std::function<void*()> mainWindow_;
};
