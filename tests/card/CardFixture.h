// A fresh run of the card layer on a virtual card: module state at its start
// values, the virtual card's events kept in memory.
#pragma once

#include "CardCommands.h"
#include "PCICard.h"
#include "VirtualCard.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

class CardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetModuleState();
        Use(IoCardConfig());
    }

    void TearDown() override
    {
        sondel.CloseCard();
        CloseTransmitterCard();
        UseDriverDevice(nullptr);
    }

    void Use(const TVirtualCardConfig& config)
    {
        virtualCard = std::make_unique<TVirtualCard>(config);
        virtualCard->Trace().KeepEvents(true);
        virtualCard->KeepCalls(true);
        UseDriverDevice(virtualCard.get());
    }

    void OpenAndForget()
    {
        ASSERT_TRUE(sondel.OpenCard()) << sondel.LastError;
        virtualCard->Trace().ClearEvents();
    }

    // The events that begin with the prefix, in order.
    std::vector<std::string> Events(const std::string& prefix) const
    {
        return virtualCard->Trace().EventsStartingWith({prefix});
    }

    std::vector<std::string> Registers() const { return Events("REG "); }

    size_t Count(uint32_t code) const
    {
        size_t count = 0;
        for (uint32_t call : virtualCard->Calls())
            count += call == code;
        return count;
    }

    std::unique_ptr<TVirtualCard> virtualCard;
    TSondelCard sondel;
};
