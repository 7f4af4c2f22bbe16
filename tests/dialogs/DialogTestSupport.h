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

class DialogTest : public testing::Test {
protected:
    void SetUp() override
    {
        desktop = &ui::headless::Install();
        ui::Application->ResetTerminated();
        KovraAssistantConfig().SetText("");
        MessageBundle().Clear();
        KAColours().Reset();
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
        KovraAssistantConfig().SetText("");
        MessageBundle().Clear();
        KAColours().Reset();
    }

    // Runs the step inside the next modal loop (or the next pass of the main loop).
    static void WhileModal(std::function<void()> step) { platform::Post(std::move(step)); }

    // The modal form on top, of the wanted kind.
    template <class T> static T* ModalForm()
    {
        const auto& forms = ui::Application->Forms();
        for (auto it = forms.rbegin(); it != forms.rend(); ++it)
            if ((*it)->Modal())
                return dynamic_cast<T*>(*it);
        return nullptr;
    }

    static bool Alive(const ui::TForm* form)
    {
        for (const ui::TForm* each : ui::Application->Forms())
            if (each == form)
                return true;
        return false;
    }

    static void TypeText(ui::TCustomEdit& edit, const std::string& text)
    {
        for (char c : text)
            edit.TypeKey(static_cast<char16_t>(c));
    }

    ui::headless::HeadlessBackend* desktop = nullptr;
    ui::TForm* owner = nullptr;
};
