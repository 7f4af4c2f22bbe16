#pragma once
// The dialogs under the headless toolkit: a fresh desktop, an empty configuration, bundle and
// colour table for every test, an owner window, and a way to act inside a modal loop.

#include <gtest/gtest.h>

#include <functional>

#include "platform/MainLoop.h"
#include "settings/KALookAndFeel.h"
#include "settings/MSNConfig.h"
#include "settings/MessageBundle.h"
#include "ui/Forms.h"
#include "ui/UnicodeCtrls.h"
#include "ui/headless/HeadlessBackend.h"

// The topmost shown form of the wanted kind; a modal dialog is the one on top while it runs.
template <class T> T* TopForm()
{
    const auto& forms = ui::Application->Forms();
    for (auto it = forms.rbegin(); it != forms.rend(); ++it)
        if (auto* form = dynamic_cast<T*>(*it); form && form->Visible())
            return form;
    return nullptr;
}

// Runs step on the form of kind T on top once it shows: inside the next modal loop (or the next
// pass of the main loop).
template <class T> void WhenShown(std::function<void(T&)> step)
{
    platform::Post([step = std::move(step)] {
        T* form = TopForm<T>();
        ASSERT_NE(form, nullptr);
        step(*form);
    });
}

inline void TypeText(ui::TCustomEdit& edit, const std::string& text)
{
    for (char c : text)
        edit.TypeKey(static_cast<char16_t>(c));
}

class DialogTest : public testing::Test {
protected:
    void SetUp() override
    {
        desktop = &ui::headless::Install();
        ui::Application->ResetTerminated();
        settings::KovraAssistantConfig().SetText("");
        settings::MessageBundle().Clear();
        settings::KAColours().Reset();
        owner = new ui::TForm(nullptr);
        owner->SetBounds(100, 100, 480, 500);
        ui::Application->SetMainForm(owner);
        owner->ShowForm();
    }
    void TearDown() override
    {
        // Forms that freed themselves go with the posted work.
        platform::ProcessMessages(0);
        ui::Application->SetMainForm(nullptr);
        delete owner;
        settings::KovraAssistantConfig().SetText("");
        settings::MessageBundle().Clear();
        settings::KAColours().Reset();
    }

    // Runs the step inside the next modal loop (or the next pass of the main loop).
    static void WhileModal(std::function<void()> step) { platform::Post(std::move(step)); }

    static bool Alive(const ui::TForm* form)
    {
        for (const ui::TForm* each : ui::Application->Forms())
            if (each == form)
                return true;
        return false;
    }

    ui::headless::HeadlessBackend* desktop = nullptr;
    ui::TForm* owner = nullptr;
};
