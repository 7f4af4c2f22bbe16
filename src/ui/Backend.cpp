#include "ui/Backend.h"

#include "ui/headless/HeadlessBackend.h"

#ifdef _WIN32
namespace ui::win32 {
std::unique_ptr<IBackend> CreateBackend();
}
#endif

namespace ui {
namespace {

std::unique_ptr<IBackend> gBackend;

} // namespace

IBackend& CurrentBackend()
{
    if (!gBackend) {
#ifdef _WIN32
        gBackend = win32::CreateBackend();
#else
        gBackend = std::make_unique<headless::HeadlessBackend>();
#endif
    }
    return *gBackend;
}

void SetBackend(std::unique_ptr<IBackend> backend)
{
    gBackend = std::move(backend);
}

} // namespace ui
