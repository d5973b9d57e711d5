// The start's failure filter: one registry failure, each malformed setting once.
#include "StartReports.h"

#include "Registry.h"
#include "SettingsStore.h"

bool TStartReports::Admit(const std::exception& error) {
    if (dynamic_cast<const ERegistryException*>(&error)) {
        if (registryFailureShown_) return false;
        registryFailureShown_ = true;
        return true;
    }
    if (const auto* malformed = dynamic_cast<const SettingsStore::EMalformedSetting*>(&error)) {
        // A value that reads as absent because the store failed is that failure again.
        if (malformed->Absent() && registryFailureShown_) return false;
        return malformedShown_.insert(malformed->Name()).second;
    }
    return true;
}
