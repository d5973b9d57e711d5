// What a start tells the user of the failures in its restore: the first registry
// failure, and each malformed setting once; what follows from a registry failure
// already told stays quiet.
#pragma once

#include <exception>
#include <set>
#include <string>

class TStartReports {
public:
    // Whether Error is to be shown; counts it as shown when it is.
    bool Admit(const std::exception& error);

private:
    bool registryFailureShown_ = false;
    // The settings whose malformed value was shown.
    std::set<std::string> malformedShown_;
};
