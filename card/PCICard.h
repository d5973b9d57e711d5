// The card object: the one way the program reaches the transmitter.
#pragma once

#include "tiger320_lib.h"

#include <cstdint>
#include <string>

class TSondelCard {
public:
    TSondelCard() = default;
    ~TSondelCard();
    TSondelCard(const TSondelCard&) = delete;
    TSondelCard& operator=(const TSondelCard&) = delete;

    // True when the card is ready; otherwise false with the reason in LastError.
    bool OpenCard();
    void CloseCard();

    // Each does nothing while the card is not open.
    void TransmitterOn();
    void TransmitterOff();
    void SetStereo();
    void SetMono();
    void SetFrequency(uint32_t frequency, uint8_t power);

    TBridgeCard* CardHandle = nullptr;
    bool Opened = false;
    std::string LastError;
};
