#include "options/MSNOptions.h"

#include <algorithm>
#include <ctime>

#include "api/KovraUDPApi.h"
#include "dialogs/CannedMessages.h"
#include "dialogs/ConfirmFm.h"
#include "messenger/MSNUtils.h"
#include "platform/Clock.h"
#include "platform/MainLoop.h"
#include "settings/DialingRules.h"
#include "settings/MessageBundle.h"

using namespace api;
using namespace settings;
using namespace dialogs;

namespace options {

TfmOptions* fmOptions = nullptr;

namespace {

constexpr int kWidth = 520;
constexpr int kTabHeight = 24;
constexpr int kButtonRowHeight = 34;
constexpr int kStatusHeight = 22;
constexpr int kLogItemHeight = 15;
constexpr int kStatusActive = 191;
constexpr int kStatusDown = 192;
constexpr std::uint16_t kEnterKey = 13;
constexpr std::uint16_t kEscapeKey = 27;
const char* const kConfirmSection = "Confirm";
// The mark of a canned message row added but not yet stored with Enter.
char uncommittedMark;

struct TTabRow {
    TOptionsPage Page;
    const char* Key;
    const char* Text;
    const char* PageName;
};

constexpr TTabRow kTabs[] = {
    {opConnection, "TabConnection", "Connection", "pgConnection"},
    {opMessenger, "TabIMMessenger", "Messenger", "pgMessenger"},
    {opPhone, "TabIMPhone", "Phone", "pgPhone"},
    {opMessages, "TabIMMessages", "Messages", "pgMessages"},
    {opCallLater, "TabCallLater", "Call Later", "pgCallLater"},
    {opForward, "TabForward", "Forward", "pgForward"},
    {opPreferences, "TabPrefs", "Preferences", "pgPreferences"},
    {opHistory, "TabHistory", "History", "pgHistory"},
};

bool TabPresent(TOptionsPage page, bool messenger, std::uint32_t capabilities)
{
    switch (page) {
    case opMessenger:
    case opPhone:
    case opMessages:
        return messenger;
    case opForward:
        return HasCapability(capabilities, capRedirect);
    default:
        return true;
    }
}

TKovraDialog::TFrameDesign Design()
{
    TKovraDialog::TFrameDesign design;
    design.Width = kWidth;
    design.Height = TfmOptions::kHeightWithout;
    design.TitlePanel = "pnTitleOptions";
    design.Title = "Connection";
    design.WindowCaption = "Configuration";
    design.Position = ui::TPosition::poDesktopCenter;
    return design;
}

std::string ClockText()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

} // namespace

TfmOptions::TfmOptions(ui::TComponent* owner, TOptionsLists& lists, TKovraAssistantConfig& config,
                       TOptionsTimings timings)
    : TKovraDialog(owner, Design()), lists_(lists), config_(config), timings_(timings)
{
    SetName("fmOptions");
    imCaption->SetName("imHide");
    imCaption->OnClick = [this](ui::TComponent*) { HideOptions(); };
    OnClose = [this](ui::TComponent*, ui::TCloseAction& action) {
        action = ui::TCloseAction::caHide;
        if (OnSave)
            OnSave();
    };

    TabSet = Add<ui::TUnicodeTabSet>(pnBody, "TabSet", 0, 0, kWidth, kTabHeight, crBody);
    TabSet->SetAlign(ui::TAlign::alTop);
    TabSet->OnClick = [this](ui::TComponent*) { PageChanged(); };
    TabSet->OnChange = [this](ui::TComponent*, int tab, bool&) {
        Notebook->SetPageIndex(
            static_cast<int>(reinterpret_cast<std::intptr_t>(TabSet->Tabs().Objects(tab))));
    };
    nbButtons = Add<ui::TNotebook>(pnBody, "nbButtons", 0, 0, kWidth, kButtonRowHeight, crBody);
    nbButtons->SetAlign(ui::TAlign::alBottom);
    pnServerStatus =
        Add<ui::TUnicodeLabel>(pnBody, "pnServerStatus", 0, 0, kWidth, kStatusHeight, kStatusDown);
    pnServerStatus->SetAlign(ui::TAlign::alBottom);
    pnServerStatus->SetTransparent(true);
    pnServerStatus->SetAlignment(ui::TAlignment::taCenter);
    pnServerStatus->SetLayout(ui::TTextLayout::tlCenter);
    pnServerStatus->Font().SetStyle(ui::fsBold);
    Notebook = Add<ui::TNotebook>(pnBody, "Notebook", 0, 0, kWidth, 300, crBody);
    Notebook->SetAlign(ui::TAlign::alClient);
    for (const TTabRow& row : kTabs) {
        Notebook->AddPage(row.PageName);
        nbButtons->AddPage(std::string(row.PageName) + "Buttons");
    }
    BuildConnectionPage();
    BuildMessagesPage();
    BuildRulesPages();
    BuildCallLaterPage();
    BuildForwardPage();
    BuildPreferencesPage();
    BuildHistoryPage();

    tmCallLater = new ui::TTimer(this);
    tmCallLater->SetName("tmCallLater");
    tmCallLater->SetInterval(timings_.CountDown);
    tmCallLater->OnTimer = [this](ui::TComponent*) { CountDownTick(); };
    tmCallLater->SetEnabled(true);

    lists_.OnForwardsChanged = [this] { FillForwardView(); };
    lists_.OnRemindersChanged = [this] { FillCallLaterView(); };
    FinishCreation();
    fmOptions = this;
}

TfmOptions::~TfmOptions()
{
    // A retired window let go of the lists already; a newer window may hold them now.
    if (!retired_)
        Detach();
    if (fmOptions == this)
        fmOptions = nullptr;
}

void TfmOptions::Detach()
{
    session_ = {};
    OnSave = nullptr;
    OnDesktopChanged = nullptr;
    lists_.OnForwardsChanged = nullptr;
    lists_.OnRemindersChanged = nullptr;
    lists_.MakeCall = nullptr;
    tmCallLater->SetEnabled(false);
}

void TfmOptions::Retire()
{
    // It lets go of the session and the lists at once: a newer window may take them meanwhile.
    retired_ = true;
    Detach();
    if (fmOptions == this)
        fmOptions = nullptr;
    // Reconnect is waiting further up the stack; it frees the window when it returns there.
    if (reconnecting_) {
        HideForm();
        return;
    }
    // A question the window still asks ends unanswered, and the window goes after it.
    Free();
}

ui::TUnicodePanel* TfmOptions::AddPageButton(int page, const char* name, const char* caption, int left,
                                             std::function<void()> action)
{
    ui::TUnicodePanel* button = AddButton(nbButtons->Page(page), name, caption, left, 6);
    button->OnClick = [action = std::move(action)](ui::TComponent*) { action(); };
    return button;
}

void TfmOptions::BuildConnectionPage()
{
    ui::TPage* page = Notebook->Page(opConnection);
    AddLabel(page, "txtOptionsKovraServers", "KOVRA Servers", 12, 8, 100);
    edServer1 = Add<ui::TUnicodePanel>(page, "edServer1", 120, 6, 180, 20, crBody);
    edServer2 = Add<ui::TUnicodePanel>(page, "edServer2", 310, 6, 180, 20, crBody);
    AddLabel(page, "txtOptionsPhone", "Phone", 12, 34, 100);
    edPhone = Add<ui::TUnicodePanel>(page, "edPhone", 120, 32, 180, 20, crBody);
    for (auto* each : {edServer1, edServer2, edPhone})
        each->SetBevelOuter(ui::TBevelCut::bvLowered);
    meLog = Add<ui::TUnicodeListBox>(page, "meLog", 12, 60, kWidth - 48, 200, crListBack);
    meLog->SetStyle(ui::TListBoxStyle::lbOwnerDrawFixed);
    meLog->SetItemHeight(kLogItemHeight);
    meLog->SetAccessibleName("Connection log");
    imClear = Add<ui::TImage>(page, "imClear", kWidth - 30, 60, 16, 16);
    imClear->SetPicture(ui::TBitmap::Solid(16, 16, 0xFF808080u));
    imClear->SetHint("Clear list");
    imClear->SetShowHint(true);
    imClear->SetCursor(ui::TCursor::crHandPoint);
    imClear->SetTabStop(true); // no key clears the log otherwise
    imClear->OnClick = [this](ui::TComponent*) { meLog->Items().Clear(); };
    btReconnect =
        AddPageButton(opConnection, "btReconnect", "Reconnect", kWidth - 100, [this] { Reconnect(); });
}

void TfmOptions::BuildMessagesPage()
{
    ui::TPage* page = Notebook->Page(opMessages);
    AddLabel(page, "txtMessages", "Messages", 12, 8, 200);
    lbMessages = Add<ui::TUnicodeListBox>(page, "lbMessages", 12, 28, kWidth - 40, 200, crListBack);
    lbMessages->OnClick = [this](ui::TComponent*) { UpdateButtons(); };
    lbMessages->OnDblClick = [this](ui::TComponent*) {
        if (btMessagesEdit->Enabled())
            MessagesEdit();
    };
    edMessage = Add<ui::TEdit>(page, "edMessage", 0, 0, 100, 20, crBody);
    edMessage->SetMaxLength(kMessageLength);
    edMessage->SetVisible(false);
    edMessage->Font().SetColor(ui::clBlack);
    edMessage->OnKeyDown = [this](ui::TComponent*, std::uint16_t& key, ui::TShiftState) {
        MessageKeyDown(key);
    };
    edMessage->OnExit = [this](ui::TComponent*) { MessageExit(); };
    btMessagesAdd =
        AddPageButton(opMessages, "btMessagesAdd", "Add...", kWidth - 270, [this] { MessagesAdd(); });
    btMessagesEdit =
        AddPageButton(opMessages, "btMessagesEdit", "Edit", kWidth - 185, [this] { MessagesEdit(); });
    btMessagesDel =
        AddPageButton(opMessages, "btMessagesDel", "Delete", kWidth - 100, [this] { MessagesDelete(); });
}

void TfmOptions::BuildCallLaterPage()
{
    ui::TPage* page = Notebook->Page(opCallLater);
    lbCallLater = Add<ui::TListView>(page, "lbCallLater", 12, 8, kWidth - 40, 240, crListBack);
    lbCallLater->SetRowSelect(true);
    lbCallLater->AddColumn("Name", 80);
    lbCallLater->AddColumn("Number", 80);
    lbCallLater->AddColumn("Call Time", 150);
    lbCallLater->OnSelectItem = [this](ui::TComponent*, int, bool) { UpdateButtons(); };
    lbCallLater->OnDblClick = [this](ui::TComponent*) {
        if (btCallLaterEdit->Enabled())
            CallLaterEdit();
    };
    btCallLaterAdd = AddPageButton(opCallLater, "btCallLaterAdd", "Add...", kWidth - 270,
                                   [this] { lists_.AddCallLater({}, {}, {}, 10); });
    btCallLaterEdit =
        AddPageButton(opCallLater, "btCallLaterEdit", "Edit", kWidth - 185, [this] { CallLaterEdit(); });
    btCallLaterDel =
        AddPageButton(opCallLater, "btCallLaterDel", "Delete", kWidth - 100, [this] { CallLaterDelete(); });
}

void TfmOptions::BuildForwardPage()
{
    ui::TPage* page = Notebook->Page(opForward);
    lbForward = Add<ui::TListView>(page, "lbForward", 12, 8, kWidth - 40, 240, crListBack);
    lbForward->SetRowSelect(true);
    lbForward->AddColumn("Name", 150);
    lbForward->AddColumn("Number", 200);
    lbForward->OnSelectItem = [this](ui::TComponent*, int, bool) { UpdateButtons(); };
    auto edit = [this] {
        const int row = lbForward->ItemIndex();
        if (row >= 0)
            lists_.OpenForwardEditor(static_cast<TForwardEntry*>(lbForward->Items()[row].Data));
    };
    lbForward->OnDblClick = [this, edit](ui::TComponent*) {
        if (btForwardEdit->Enabled())
            edit();
    };
    btForwardAdd = AddPageButton(opForward, "btForwardAdd", "Add...", kWidth - 270,
                                 [this] { lists_.OpenForwardEditor(nullptr); });
    btForwardEdit = AddPageButton(opForward, "btForwardEdit", "Edit", kWidth - 185, edit);
    btForwardDel =
        AddPageButton(opForward, "btForwardDel", "Delete", kWidth - 100, [this] { ForwardDelete(); });
}

void TfmOptions::BuildPreferencesPage()
{
    ui::TPage* page = Notebook->Page(opPreferences);
    auto* group = Add<ui::TUnicodeGroupBox>(page, "pnTitleConfirm", 12, 8, 260, 100, crBody);
    group->SetCaption(" Confirm ");
    const std::tuple<ui::TUnicodeLightCheckBox**, const char*, const char*, const char*> boxes[] = {
        {&cbConfirmExit, "cbConfirmExit", "Exit Application", "Exit"},
        {&cbConfirmCLDel, "cbConfirmCLDel", "Delete Call Entry", "CLDel"},
        {&cbConfirmFwdDel, "cbConfirmFwdDel", "Delete Forward Entry", "FwdDel"},
    };
    int top = 22;
    for (const auto& [field, name, caption, key] : boxes) {
        auto* box = Add<ui::TUnicodeLightCheckBox>(group, name, 12, top, 220, 20, crBody);
        box->SetCaption(caption);
        box->OnClick = [this, box, key = std::string(key)](ui::TComponent*) {
            config_.WriteInteger(kConfirmSection, key, box->Checked() ? 1 : 0);
        };
        *field = box;
        top += 24;
    }
    BuildDesktopPreferences(page);
}

void TfmOptions::SetSession(TOptionsSession session)
{
    session_ = std::move(session);
    lists_.MessengerOn = [messenger = session_.Messenger] { return messenger; };
    // Sent only from a live session, by the dialing rules; a reminder that could not call stays.
    lists_.MakeCall = [this](const std::string& number) {
        const std::string device = Device();
        if (!session_.Api || !session_.Api->Connected() || !LoggedIn() || device.empty())
            return TOptionsLists::crNoSession;
        TDialingRules rules;
        rules.Load(config_);
        const TDialledNumber dialled = DialableNumber(number, rules);
        if (dialled.Refusal != TDialRefusal::None) {
            AddLogLine(DialRefusalText(dialled.Refusal, number), true);
            return TOptionsLists::crRefused;
        }
        session_.Api->MakeCall(device, dialled.Number, 0);
        return TOptionsLists::crCalled;
    };
    edServer1->SetCaption(session_.Server1);
    edServer2->SetCaption(session_.Server2);
    edPhone->SetCaption(session_.Phone);
    UpdateButtons();
    UpdateStatus();
}

std::string TfmOptions::Device() const
{
    return session_.Device ? session_.Device() : std::string();
}

bool TfmOptions::LoggedIn() const
{
    return session_.LoggedIn && session_.LoggedIn();
}

void TfmOptions::Initialise(std::uint32_t capabilities)
{
    if (initialised_)
        return;
    initialised_ = true;
    LoadSettings();
    BuildTabs(capabilities);
    SetHeight(session_.Messenger ? kHeightWithMessenger : kHeightWithout);
    TabSet->SetTabIndex(0);
    Notebook->SetPageIndex(0);
    PageChanged();
    edServer1->SetCaption(session_.Server1);
    edServer2->SetCaption(session_.Server2);
    edPhone->SetCaption(session_.Phone);
    FillCallLaterView();
    FillForwardView();
    UpdateButtons();
    UpdateStatus();
}

void TfmOptions::LoadSettings()
{
    lists_.LoadForwards();
    lists_.LoadReminders();
    LoadMessages();
    messenger::PresenceRules().SetDefaults();
    messenger::PresenceRules().Load(config_);
    ShowRules();
    cbConfirmExit->SetChecked(config_.ReadInteger(kConfirmSection, "Exit", 1) != 0);
    cbConfirmCLDel->SetChecked(config_.ReadInteger(kConfirmSection, "CLDel", 1) != 0);
    cbConfirmFwdDel->SetChecked(config_.ReadInteger(kConfirmSection, "FwdDel", 1) != 0);
    LoadDesktopPreferences();
}

void TfmOptions::ReloadSettings()
{
    if (!initialised_)
        return;
    LoadSettings();
    FillCallLaterView();
    FillForwardView();
}

void TfmOptions::BuildTabs(std::uint32_t capabilities)
{
    TabSet->Tabs().Clear();
    for (const TTabRow& row : kTabs)
        if (TabPresent(row.Page, session_.Messenger, capabilities))
            TabSet->Tabs().Add(DialogText(row.Key, row.Text),
                               reinterpret_cast<void*>(std::intptr_t{row.Page}));
}

void TfmOptions::ShowPage(int index)
{
    Notebook->SetPageIndex(index);
    const int tab = TabSet->Tabs().IndexOfObject(reinterpret_cast<void*>(std::intptr_t{index}));
    TabSet->SetTabIndex(tab);
    PageChanged();
}

void TfmOptions::PageChanged()
{
    const int tab = TabSet->TabIndex();
    if (pnTitle)
        pnTitle->SetCaption(tab >= 0 ? TabSet->Tabs().Strings(tab) : std::string());
    nbButtons->SetPageIndex(Notebook->PageIndex());
    // Screen readers name the pages after their tab, not their keys.
    for (ui::TNotebook* book : {Notebook, nbButtons})
        if (ui::TPage* page = book->Page(book->PageIndex()); page && tab >= 0)
            page->SetAccessibleName(TabSet->Tabs().Strings(tab));
    if (Notebook->PageIndex() == opHistory)
        FillHistory();
}

void TfmOptions::AddLogLine(const std::string& text, bool withTime)
{
    while (meLog->Items().Count() > static_cast<int>(kLogLimit))
        meLog->Items().Delete(0);
    meLog->Items().Add(withTime ? ClockText() + "  " + text : text);
    const int last = meLog->Items().Count() - 1;
    meLog->SetItemIndex(last);
    // Keeps the newest line in view.
    meLog->SetTopIndex(std::max(0, last + 1 - meLog->Height() / kLogItemHeight));
}

void TfmOptions::UpdateStatus()
{
    const bool active = session_.Api && session_.Api->Connected() && LoggedIn();
    pnServerStatus->SetCaption(
        active ? DialogText("ConnectionActive", "KOVRA Connection Active")
               : DialogText("ConnectionInactive", "KOVRA Connection Down! Please check Connection Tab"));
    pnServerStatus->SetTag(active ? kStatusActive : kStatusDown);
    ApplyColours();
}

void TfmOptions::UpdateButtons()
{
    btReconnect->SetEnabled(!session_.Server1.empty() && !Device().empty() && !session_.Password.empty());
    const bool message = lbMessages->ItemIndex() >= 0;
    btMessagesEdit->SetEnabled(message);
    btMessagesDel->SetEnabled(message);
    const bool reminder = lbCallLater->ItemIndex() >= 0;
    btCallLaterEdit->SetEnabled(reminder);
    btCallLaterDel->SetEnabled(reminder);
    const bool forward = lbForward->ItemIndex() >= 0;
    btForwardEdit->SetEnabled(forward);
    btForwardDel->SetEnabled(forward);
    ApplyColours();
}

bool TfmOptions::WaitUntil(unsigned ms, const std::function<bool()>& done)
{
    const std::uint64_t until = platform::TickCount() + ms;
    while (!retired_ && !done() && platform::TickCount() < until)
        platform::ProcessMessages(timings_.Step);
    return !retired_;
}

void TfmOptions::Reconnect()
{
    if (reconnecting_ || !session_.Api)
        return;
    reconnecting_ = true;
    ui::Application->SetScreenCursor(ui::TCursor::crHourGlass);
    bool stillHere = true;
    if (LoggedIn()) {
        if (OnSave)
            OnSave();
        if (session_.Api) {
            session_.Api->MonitorStop(Device(), timings_.MonitorStopWait);
            stillHere = WaitUntil(timings_.LogoutWait, [this] { return !LoggedIn(); });
        }
    }
    if (stillHere && session_.Api && session_.Api->Connected()) {
        session_.Api->Disconnect(true);
        stillHere = WaitUntil(timings_.DisconnectWait,
                              [this] { return !session_.Api || !session_.Api->Connected(); }) &&
                    WaitUntil(timings_.Settle, [] { return false; });
    }
    ui::Application->SetScreenCursor(ui::TCursor::crDefault);
    // The session ended during a wait: the window only waited for this to return.
    if (retired_) {
        Release();
        return;
    }
    if (!Device().empty() && !session_.Server1.empty() && session_.Api) {
        session_.Api->ClearServers();
        session_.Api->AddServer(session_.Server1);
        if (!session_.Server2.empty())
            session_.Api->AddServer(session_.Server2);
        session_.Api->SetClientName("KovraAssistant");
        session_.Api->SetClientVersion("5.0");
        session_.Api->Connect();
    }
    reconnecting_ = false;
}

void TfmOptions::HideOptions()
{
    // A box still being edited is taken as if the user had left it (the boxes show the stored
    // preferences once the window is initialised; empty before, they must not clear them).
    if (initialised_) {
        for (int command = 0; command < hkCount; ++command)
            HotkeyExit(command);
        ScreenPopExit();
        for (int field = 0; field < TDialingRules::dfCount; ++field)
            DialingExit(field);
    }
    HideForm();
    if (OnSave)
        OnSave();
}

void TfmOptions::CountDownTick()
{
    tmCallLater->SetEnabled(false);
    const std::vector<std::string> texts = lists_.CountDown(lists_.Now());
    // The rows go back in one change, and only when a text moved: a change per row refills the
    // whole list each time.
    std::vector<ui::TListItem> rows = lbCallLater->Items();
    bool changed = false;
    for (std::size_t row = 0; row < rows.size() && row < texts.size(); ++row)
        if (rows[row].SubItems.size() >= 2 && rows[row].SubItems[1] != texts[row]) {
            rows[row].SubItems[1] = texts[row];
            changed = true;
        }
    if (changed) {
        const int selected = lbCallLater->ItemIndex();
        lbCallLater->SetItems(std::move(rows));
        lbCallLater->SetItemIndex(selected);
    }
    tmCallLater->SetEnabled(true);
}

void TfmOptions::FillForwardView()
{
    const void* selected =
        lbForward->ItemIndex() >= 0 ? lbForward->Items()[lbForward->ItemIndex()].Data : nullptr;
    std::vector<ui::TListItem> rows;
    int selectedRow = -1;
    for (const auto& entry : lists_.Forwards()) {
        if (entry.get() == selected)
            selectedRow = static_cast<int>(rows.size());
        rows.push_back({entry->Name, {entry->Number}, entry.get()});
    }
    lbForward->SetItems(std::move(rows));
    lbForward->SetItemIndex(selectedRow);
    UpdateButtons();
}

void TfmOptions::FillCallLaterView()
{
    const void* selected =
        lbCallLater->ItemIndex() >= 0 ? lbCallLater->Items()[lbCallLater->ItemIndex()].Data : nullptr;
    std::vector<ui::TListItem> rows;
    int selectedRow = -1;
    for (const auto& entry : lists_.Reminders()) {
        const std::string online = entry->OnlineOnly ? DialogText("btYes", "Yes") : DialogText("btNo", "No");
        if (entry.get() == selected)
            selectedRow = static_cast<int>(rows.size());
        rows.push_back({entry->Name,
                        {entry->Number, TOptionsLists::CountDownText(*entry, lists_.Now()), online},
                        entry.get()});
    }
    lbCallLater->SetItems(std::move(rows));
    lbCallLater->SetItemIndex(selectedRow);
    UpdateButtons();
}

void TfmOptions::ForwardDelete()
{
    const int row = lbForward->ItemIndex();
    if (row < 0)
        return;
    const auto* entry = static_cast<const TForwardEntry*>(lbForward->Items()[row].Data);
    TConfigConfirmSwitch confirm("FwdDel", config_);
    const bool yes =
        ShowConfirm(DialogText("ConfirmDeleteEntry", "Are you sure you want to delete selected entry?"),
                    &confirm, true, this);
    // The box stored "Do not show this window again" whatever the answer.
    cbConfirmFwdDel->SetChecked(confirm.Checked());
    if (yes)
        lists_.DeleteForward(entry);
}

void TfmOptions::CallLaterEdit()
{
    const int row = lbCallLater->ItemIndex();
    if (row >= 0)
        lists_.EditReminder(static_cast<TCallLater*>(lbCallLater->Items()[row].Data));
}

void TfmOptions::CallLaterDelete()
{
    const int row = lbCallLater->ItemIndex();
    if (row < 0)
        return;
    const auto* entry = static_cast<const TCallLater*>(lbCallLater->Items()[row].Data);
    TConfigConfirmSwitch confirm("CLDel", config_);
    const bool yes =
        ShowConfirm(DialogText("ConfirmDeleteEntry", "Are you sure you want to delete selected entry?"),
                    &confirm, true, this);
    // The box stored "Do not show this window again" whatever the answer.
    cbConfirmCLDel->SetChecked(confirm.Checked());
    if (yes)
        lists_.DeleteReminder(entry);
}

void TfmOptions::LoadMessages()
{
    LoadCannedMessages(lbMessages->Items(), config_);
}

void TfmOptions::SaveMessages()
{
    StoreCannedMessages(lbMessages->Items(), config_);
}

void TfmOptions::PlaceMessageEditor(int row)
{
    const ui::TRect rect = lbMessages->ItemRect(row);
    edMessage->SetBounds(lbMessages->Left() + rect.Left - 1, lbMessages->Top() + rect.Top - 2,
                         rect.Width() + 1, rect.Height() + 4);
    edMessage->SetVisible(true);
    edMessage->SetFocus();
}

void TfmOptions::MessagesAdd()
{
    const int row = lbMessages->Items().Add("", &uncommittedMark);
    lbMessages->SetItemIndex(row);
    UpdateButtons();
    edMessage->SetText("");
    PlaceMessageEditor(row);
}

void TfmOptions::MessagesEdit()
{
    const int row = lbMessages->ItemIndex();
    if (row < 0)
        return;
    edMessage->SetText(lbMessages->Items().Strings(row));
    PlaceMessageEditor(row);
}

void TfmOptions::MessagesDelete()
{
    const int row = lbMessages->ItemIndex();
    if (row < 0)
        return;
    lbMessages->Items().Delete(row);
    SaveMessages();
    UpdateButtons();
}

void TfmOptions::MessageKeyDown(std::uint16_t& key)
{
    if (key == kEnterKey) {
        const int row = lbMessages->ItemIndex();
        if (row >= 0) {
            lbMessages->Items().SetString(row, edMessage->Text());
            lbMessages->Items().SetObject(row, nullptr);
        }
        key = 0;
        lbMessages->SetFocus();
        SaveMessages();
    } else if (key == kEscapeKey) {
        key = 0;
        lbMessages->SetFocus();
    }
}

void TfmOptions::MessageExit()
{
    const int row = lbMessages->ItemIndex();
    if (row >= 0 && lbMessages->Items().Objects(row) == &uncommittedMark) {
        lbMessages->Items().Delete(row);
        UpdateButtons();
    }
    edMessage->SetVisible(false);
}

} // namespace options
