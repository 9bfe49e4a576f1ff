#include "install/registry_win32.h"

LONG RegKey::Open(HKEY parent, const char* subKey, REGSAM access)
{
    Close();
    HKEY key = nullptr;
    const LONG rc = ::RegOpenKeyExA(parent, subKey, 0, access, &key);
    if (rc == ERROR_SUCCESS) key_.reset(key);
    return rc;
}

LONG RegKey::Create(HKEY parent, const char* subKey, REGSAM access)
{
    Close();
    HKEY key = nullptr;
    const LONG rc = ::RegCreateKeyExA(parent, subKey, 0, nullptr, 0, access, nullptr, &key, nullptr);
    if (rc == ERROR_SUCCESS) key_.reset(key);
    return rc;
}

void RegKey::Close()
{
    key_.reset();
}

LONG RegKey::SetString(const char* valueName, const std::string& value)
{
    // c_str() carries the terminating zero that is stored with the text.
    return ::RegSetValueExA(key_.get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>(value.size() + 1));
}

LONG DeleteKeyTree(HKEY parent, const char* subKey)
{
    {
        RegKey key;
        LONG rc = key.Open(parent, subKey);
        if (rc != ERROR_SUCCESS) return rc;
        // Always the first sub-key: the one before it is gone by then.
        for (;;) {
            char child[256] = {};
            DWORD length = sizeof child;
            rc = ::RegEnumKeyExA(key.get(), 0, child, &length, nullptr, nullptr, nullptr, nullptr);
            if (rc != ERROR_SUCCESS) break;
            // A child that stays would be enumerated again for ever.
            rc = DeleteKeyTree(key.get(), child);
            if (rc != ERROR_SUCCESS) return rc;
        }
    }
    return ::RegDeleteKeyA(parent, subKey);
}
