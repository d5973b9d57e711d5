// The auxiliary-pin direction and data registers.
#include "VirtualPins.h"

void TVirtualPins::Write(uint32_t reg, uint8_t value)
{
    if (reg == DirectionRegister)
        direction_ = value;
    else if (reg == DataRegister)
        data_ = value;
}
