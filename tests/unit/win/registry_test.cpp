// The registry key owner and the depth-first deletion of a key tree.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "install/registry_win32.h"

namespace {

const char kRoot[] = "Software\\KelvraUnitTest";

bool Exists(const std::string& key)
{
    HKEY h = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    ::RegCloseKey(h);
    return true;
}

std::string StoredBytes(const std::string& key, const char* value, DWORD* type)
{
    HKEY h = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return "<no key>";
    char data[512];
    DWORD size = sizeof data;
    const LONG rc = ::RegQueryValueExA(h, value, nullptr, type, reinterpret_cast<BYTE*>(data), &size);
    ::RegCloseKey(h);
    return rc == ERROR_SUCCESS ? std::string(data, size) : "<no value>";
}

void Make(const std::string& key)
{
    RegKey k;
    ASSERT_EQ(k.Create(HKEY_CURRENT_USER, key.c_str()), ERROR_SUCCESS) << key;
    ASSERT_EQ(k.SetString("v", "x"), ERROR_SUCCESS);
}

class Registry : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean()
    {
        RegKey root;
        if (root.Open(HKEY_CURRENT_USER, "Software") == ERROR_SUCCESS) DeleteKeyTree(root.get(), "KelvraUnitTest");
    }
};

TEST_F(Registry, StringsAreStoredWithTheirTerminatingZero)
{
    RegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, kRoot), ERROR_SUCCESS);
    EXPECT_TRUE(key);
    const struct { const char* name; std::string value; std::string bytes; } cases[] = {
        {"Text", "C:\\Kelvra\\", std::string("C:\\Kelvra\\\0", 11)},
        {"Empty", "", std::string("\0", 1)},
        {"Chinese", "\xBF\xCC\xD3\xA1", std::string("\xBF\xCC\xD3\xA1\0", 5)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(key.SetString(c.name, c.value), ERROR_SUCCESS);
        DWORD type = 0;
        EXPECT_EQ(StoredBytes(kRoot, c.name, &type), c.bytes);
        EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    }
}

TEST_F(Registry, OpeningAMissingKeyHoldsNoKey)
{
    RegKey key;
    EXPECT_EQ(key.Open(HKEY_CURRENT_USER, "Software\\KelvraUnitTest\\Missing"), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(key);
    EXPECT_FALSE(Exists("Software\\KelvraUnitTest\\Missing"));
}

TEST_F(Registry, DeleteKeyTreeRemovesEverythingBelowAndNothingBeside)
{
    const std::string root = kRoot;
    for (const char* sub : {"\\Layout\\A\\B\\C", "\\Layout\\A\\D", "\\Layout\\E", "\\Keep\\Inner"}) Make(root + sub);
    Make(root + "\\Layout");
    Make(root + "\\LayoutTwin");

    RegKey parent;
    ASSERT_EQ(parent.Open(HKEY_CURRENT_USER, kRoot), ERROR_SUCCESS);
    EXPECT_EQ(DeleteKeyTree(parent.get(), "Layout"), ERROR_SUCCESS);
    EXPECT_FALSE(Exists(root + "\\Layout"));
    EXPECT_TRUE(Exists(root + "\\LayoutTwin"));
    EXPECT_TRUE(Exists(root + "\\Keep\\Inner"));

    // Nothing left to delete: answered, not hidden.
    EXPECT_EQ(DeleteKeyTree(parent.get(), "Layout"), ERROR_FILE_NOT_FOUND);
}

} // namespace
