// A main window on the virtual card with a scratch registry: seed the store,
// start (create and activate), and read back the card's tuning events and the
// error reports.
#pragma once

#include "ScratchFolder.h"
#include "ScratchRegistry.h"
#include "VirtualCard.h"
#include "CommandLanguage.h"
#include "unMain.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class AppTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void Seed(const std::string& name, const std::string& text) { registry.Put(SettingsKeyPath, name, text); }
    std::string Stored(const std::string& name) const { return registry.Get(SettingsKeyPath, name); }
    // Creates the window (opening the card) and runs its first activation.
    void Start();
    // Started powered off at 100.000 MHz, level 4, the design's RDS panel, commands
    // running, the trace cleared.
    void StartReady();
    // As StartReady, the trace kept: commands handed over during the start (the stored
    // now-playing file's text) may run in the start's own run of waiting commands.
    void StartReadyKeepingTrace();
    // Closes the window as the user does (the card is released).
    void Close();
    // The synthesizer frames and the carrier and stereo changes since the last call.
    std::vector<std::string> Tuning();

    // Runs Client on a thread of its own while this (the window's) thread handles its
    // messages, for WaitMilliseconds at most.
    void OnClient(const std::function<void()>& client, int waitMilliseconds);
    // Hands Command over from another thread, as a transport of Way does, while this (the
    // window's) thread handles its messages; its replies.
    std::vector<std::string> SubmitAsClient(const TCommand& command, TWayIn way, int waitMilliseconds);
    // The station log's lines of the clock's day so far, without their time stamps.
    std::vector<std::string> LogLines();

    TScratchRegistry registry;
    // The window's station log writes here, at the time the test sets.
    TScratchFolder logFolder;
    TLogTime logNow{2026, 12, 9, 14, 32, 5};
    TVirtualCard card;
    // What opening the card sent, before the restore.
    std::vector<std::string> created;
    std::vector<std::string> reports;
    std::vector<std::string> messageBoxes;
    std::unique_ptr<TfoMain> form;
};
