#include "app/SystemDesktop.h"

#include "app/MarkedWindow.h"
#include "app/QMHelp.h"

namespace app {

void TSystemDesktop::ForceForeground()
{
    if (mainWindow_)
        app::ForceForeground(mainWindow_());
}

// Asked on every refresh of the Connected page: a hung meet-me application must not stall it.
constexpr unsigned kMeetmeAnswerLimit = 500;

std::uint32_t TSystemDesktop::MeetmeConferenceId()
{
    void* meetme = FindMarkedWindow(NameHash("MeetMeApp"));
    return meetme ? static_cast<std::uint32_t>(SendCopyData(meetme, "-GetConfID", kMeetmeAnswerLimit)) : 0;
}

void TSystemDesktop::OpenHelp(const std::string& url)
{
    OpenHelpAddress(url);
}

} // namespace app
