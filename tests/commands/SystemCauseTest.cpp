// The causes of failed system calls as the notice area shows them: words and the number,
// never a bare number, and no full stop inside the sentence they end up in.
#include "SystemCause.h"

#include <gtest/gtest.h>

TEST(SystemCause, NamesTheCommonCausesInWordsWithTheirNumber) {
    EXPECT_EQ("the port is in use by another program (Winsock error 10048)", WinsockCause(10048));
    EXPECT_EQ("the address is not one of this machine's (Winsock error 10049)", WinsockCause(10049));
    EXPECT_EQ("there is no such port on this machine (system error 2)", SystemCause(2));
    EXPECT_EQ("the device is gone (system error 109)", SystemCause(109));
    EXPECT_EQ("the device did not answer in time (system error 1460)", SystemCause(1460));
    // Another cause takes the system's text, or says there is none; either way no bare
    // "System error N" and no full stop before the number.
    for (const std::string& cause : {SystemCause(87), WinsockCause(10061), SystemCause(0x7FFFFFF0)}) {
        EXPECT_EQ(std::string::npos, cause.find("System error")) << cause;
        EXPECT_EQ(std::string::npos, cause.find(". (")) << cause;
        EXPECT_EQ(')', cause.back()) << cause;
    }
}
