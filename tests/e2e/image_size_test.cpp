// The shipped programs carry no symbol table and no debug sections: they
// were most of setup.exe's size and no user needs them.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/driver.h"
#include "tests/e2e/pe_imports.h"

using namespace e2e;

namespace {

TEST(ProgramImage, CarriesNoSymbolsOrDebugSections)
{
    for (const char* program : {"setup.exe", "mediatool.exe"}) {
        SCOPED_TRACE(program);
        const std::string file = ReadFileBytes(BuildDir() + program);
        const pe::Bytes b(file);
        // The COFF header follows "PE\0\0": section count at +2, symbol
        // table pointer at +8, symbol count at +12, optional header size at +16.
        std::uint32_t peAt = 0, sig = 0, sections = 0, symbolTable = 0, symbols = 0, optSize = 0;
        ASSERT_TRUE(b.U32(0x3C, peAt) && b.U32(peAt, sig));
        ASSERT_EQ(sig, 0x00004550u);
        const std::uint64_t coff = peAt + 4ull;
        ASSERT_TRUE(b.U16(coff + 2, sections) && b.U32(coff + 8, symbolTable) && b.U32(coff + 12, symbols) &&
                    b.U16(coff + 16, optSize));
        EXPECT_EQ(symbolTable, 0u);
        EXPECT_EQ(symbols, 0u);
        ASSERT_GT(sections, 2u);
        for (std::uint32_t i = 0; i < sections; ++i) {
            const std::uint64_t at = coff + 20 + optSize + 40ull * i;
            ASSERT_TRUE(b.Has(at, 8));
            const std::string name = file.substr(at, 8).c_str();
            EXPECT_NE(name.rfind(".debug", 0), 0u) << name;
            EXPECT_NE(name.front(), '/') << "a long section name lives in the symbol table: " << name;
        }
    }
}

} // namespace
