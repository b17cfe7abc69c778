// The owner of Win32 handles: it closes what it holds exactly once, hands it
// on when moved, and tells when a close failed.
#ifdef _WIN32
#include "platform/win32_handle.h"

#include <gtest/gtest.h>
#include <shellapi.h>

namespace {

using platform::FindHandle;
using platform::UniqueHandle;

HANDLE NewEvent() { return CreateEventA(nullptr, TRUE, FALSE, nullptr); }

bool IsOpen(HANDLE h) {
    DWORD flags = 0;
    return GetHandleInformation(h, &flags) != FALSE;
}

TEST(UniqueHandle, ClosesOnceMovesOnAndTellsAFailedClose) {
    HANDLE first = NewEvent(), second = NewEvent();
    {
        UniqueHandle a(first);
        UniqueHandle b(std::move(a));
        EXPECT_FALSE(a.valid());
        EXPECT_EQ(b.get(), first);
        b = UniqueHandle(second);  // closes the first
        EXPECT_FALSE(IsOpen(first));
        EXPECT_TRUE(IsOpen(second));
    }
    EXPECT_FALSE(IsOpen(second));
    EXPECT_FALSE(UniqueHandle(INVALID_HANDLE_VALUE).valid());
    HANDLE raw = NewEvent();
    UniqueHandle owner(raw);
    ASSERT_TRUE(CloseHandle(raw));  // closed behind the owner's back
    EXPECT_FALSE(owner.Close());
    EXPECT_TRUE(owner.Close());  // nothing left to close
}

TEST(FindHandle, InvalidHandleValueIsEmpty) {
    EXPECT_FALSE(FindHandle().valid());
    WIN32_FIND_DATAA data;
    FindHandle find(FindFirstFileA("C:\\*", &data));
    EXPECT_TRUE(find.valid() && find.Close());
}

TEST(Owners, FreeTheArgumentListAndPutTheSelectionBack) {
    int count = 0;
    platform::LocalBlock<LPWSTR*> args(CommandLineToArgvW(L"prog a b", &count));
    ASSERT_TRUE(args.valid());
    EXPECT_STREQ(args.get()[2], L"b");
    EXPECT_TRUE(args.Close());
    const auto dc = platform::WindowDc(nullptr);
    platform::GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
    HGDIOBJ before = GetCurrentObject(dc.get().first, OBJ_PEN);
    {
        const auto selected = platform::Select(dc.get().first, pen.get());
        EXPECT_EQ(GetCurrentObject(dc.get().first, OBJ_PEN), pen.get());
    }
    EXPECT_EQ(GetCurrentObject(dc.get().first, OBJ_PEN), before);
    HPEN raw = pen.get();
    pen.reset();
    EXPECT_EQ(GetObjectType(raw), 0u);  // deleted
}

}  // namespace
#endif
