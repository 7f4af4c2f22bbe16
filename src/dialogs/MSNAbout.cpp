#include "dialogs/MSNAbout.h"

using namespace settings;

namespace dialogs {

namespace {

constexpr int kWidth = 340;

TKovraDialog::TFrameDesign Design()
{
    TKovraDialog::TFrameDesign design;
    design.Width = kWidth;
    design.Height = 240;
    design.TitlePanel = "pnTitleAbout";
    design.Title = "About";
    design.Position = ui::TPosition::poDesktopCenter;
    return design;
}

} // namespace

TfmAboutBox::TfmAboutBox(ui::TComponent* owner, std::unique_ptr<IVersionSource> versions)
    : TKovraDialog(owner, Design())
{
    SetName("fmAboutBox");
    TQMVersionInfo info(std::move(versions));
    info.SetFileName("");
    txtProductName = AddLabel(pnBody, "txtProductName", info.ProductName(), 12, 8, kWidth - 24);
    txtProductName->Font().SetStyle(ui::fsBold);
    labProductVersion = AddLabel(pnBody, "labProductVersion", "Product version:", 12, 30, 120);
    txtProductVersion = AddLabel(pnBody, "txtProductVersion", info.ProductVersion(), 140, 30, 180);
    labFileVersion = AddLabel(pnBody, "labFileVersion", "File version:", 12, 48, 120);
    txtFileVersion = AddLabel(pnBody, "txtFileVersion", info.FileVersion(), 140, 48, 180);
    txtCompanyName = AddLabel(pnBody, "txtCompanyName", info.CompanyName(), 12, 70, kWidth - 24);
    txtLegalCopyright = AddLabel(pnBody, "txtLegalCopyright", info.LegalCopyright(), 12, 88, kWidth - 24);
    labCAVersion = AddLabel(pnBody, "labCAVersion", "Server version:", 12, 112, 120);
    txtCAVersion = AddLabel(pnBody, "txtCAVersion", "", 140, 112, 180);
    labAPIVersion = AddLabel(pnBody, "labAPIVersion", "Server API version:", 12, 130, 120);
    txtAPIVersion = AddLabel(pnBody, "txtAPIVersion", "", 140, 130, 180);
    btClose = AddButton(pnBody, "btClose", "Close", kWidth - 90, 160);
    btClose->OnClick = [this](ui::TComponent*) { Cancel(); };

    SetCaption(DialogText("ProductName", ApplicationTitle()));
    pnCaption->SetCaption(Caption());
    FinishCreation();
    // A product name the portal gives wins over the file's.
    txtProductName->SetCaption(DialogText("ProductName", txtProductName->Caption()));
}

void TfmAboutBox::SetUp(const std::string& serverVersion, const std::string& apiVersion)
{
    txtCAVersion->SetCaption(serverVersion);
    txtAPIVersion->SetCaption(apiVersion);
}

} // namespace dialogs
