#pragma once
// TfmAboutBox: the program's version information and the server's versions.

#include <memory>
#include <string>

#include "dialogs/DialogFrame.h"
#include "settings/QMVerInfo.h"

namespace dialogs {

class TfmAboutBox : public TKovraDialog {
public:
    // versions reads the program file's version resource (empty name: our own file).
    explicit TfmAboutBox(ui::TComponent* owner, std::unique_ptr<settings::IVersionSource> versions =
                                                    settings::SystemVersionSource());

    void SetUp(const std::string& serverVersion, const std::string& apiVersion);

    ui::TUnicodeLabel *txtProductName, *txtProductVersion, *txtFileVersion, *txtCompanyName,
        *txtLegalCopyright, *txtCAVersion, *txtAPIVersion;
    ui::TUnicodeLabel *labProductVersion, *labFileVersion, *labCAVersion, *labAPIVersion;
    ui::TUnicodePanel* btClose;
};

} // namespace dialogs
