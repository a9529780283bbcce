// Names on Windows between UTF-8 and UTF-16, and the paths the wide file
// functions are given.
#include <gtest/gtest.h>

#include <string>

#include "common/files_windows.h"

namespace {

TEST(WindowsNames, Utf16AndUtf8)
{
    const std::wstring wide = L"Jos\u00e9 \u6587 \U0001F600";
    EXPECT_EQ(utf8From(wide), u8"Jos\u00e9 \u6587 \U0001F600");
    EXPECT_EQ(wideFrom(utf8From(wide)), wide);
    // A name may hold half a surrogate pair: it comes back as it was.
    const std::wstring lone = std::wstring(L"a") + wchar_t(0xD800) + L"b" + wchar_t(0xDC00);
    EXPECT_EQ(utf8From(lone), "a\xED\xA0\x80" "b\xED\xB0\x80");
    EXPECT_EQ(wideFrom(utf8From(lone)), lone);
    // Bytes that are not UTF-8: each one a replacement character.
    EXPECT_EQ(wideFrom("a\xFF\xC3"), L"a\uFFFD\uFFFD");
    EXPECT_EQ(wideFrom("\xC0\xAF"), L"\uFFFD\uFFFD");  // an overlong '/'
}

TEST(WindowsNames, SystemPaths)
{
    EXPECT_EQ(systemPath("C:\\dir/sub\\..\\a.c"), L"\\\\?\\C:\\dir\\a.c");
    EXPECT_EQ(systemPath("\\\\server\\share\\a.c"), L"\\\\?\\UNC\\server\\share\\a.c");
    EXPECT_EQ(systemPath("\\\\?\\C:\\a.c"), L"\\\\?\\C:\\a.c");
    EXPECT_EQ(systemPath("NUL"), L"\\\\.\\NUL");
    const std::wstring relative = systemPath(u8"\u00e9.c");
    EXPECT_EQ(relative.compare(0, 4, L"\\\\?\\"), 0);
    EXPECT_EQ(relative.substr(relative.size() - 4), L"\\\u00e9.c");
}

} // namespace
