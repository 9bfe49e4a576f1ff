// The installation's record in the current user's registry hive.
#ifndef KELVRA_INSTALL_REGISTRY_H
#define KELVRA_INSTALL_REGISTRY_H

#include <windows.h>

#include <string>

#include "base/handles_win32.h"

// KEY_READ | KEY_WRITE: the access every key of the record is opened with.
constexpr REGSAM kRecordAccess = KEY_READ | KEY_WRITE;

// An open registry key, closed when the owner goes.
class RegKey {
public:

    // Both answer the registry's result; on failure no key is held.
    LONG Open(HKEY parent, const char* subKey, REGSAM access = kRecordAccess);
    LONG Create(HKEY parent, const char* subKey, REGSAM access = kRecordAccess);
    void Close();

    HKEY get() const { return key_.get(); }
    explicit operator bool() const { return static_cast<bool>(key_); }

    // A REG_SZ value, its terminating zero stored with it.
    LONG SetString(const char* valueName, const std::string& value);

private:
    KeyHandle key_;
};

// Deletes `subKey` of `parent` with everything below it, depth first. The
// first failure stops the deletion and is answered; what was deleted stays
// deleted.
LONG DeleteKeyTree(HKEY parent, const char* subKey);

#endif
