#include "app/SystemDesktop.h"

#include "app/MarkedWindow.h"
#include "app/QMHelp.h"

void TSystemDesktop::ForceForeground()
{
    if (mainWindow_)
        ::ForceForeground(mainWindow_());
}

std::uint32_t TSystemDesktop::MeetmeConferenceId()
{
    void* meetme = FindMarkedWindow(NameHash("MeetMeApp"));
    return meetme ? static_cast<std::uint32_t>(SendCopyData(meetme, "-GetConfID")) : 0;
}

void TSystemDesktop::OpenHelp(const std::string& url) { OpenHelpAddress(url); }
