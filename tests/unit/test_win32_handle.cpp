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

TEST(UniqueHandle, ClosesOnceAtTheEndOfItsScope) {
    HANDLE raw = NewEvent();
    {
        UniqueHandle owner(raw);
        EXPECT_TRUE(owner.valid());
        EXPECT_TRUE(IsOpen(raw));
    }
    EXPECT_FALSE(IsOpen(raw));
}

TEST(UniqueHandle, NullAndInvalidHoldNothing) {
    EXPECT_FALSE(UniqueHandle().valid());
    EXPECT_FALSE(UniqueHandle(INVALID_HANDLE_VALUE).valid());
    UniqueHandle empty(INVALID_HANDLE_VALUE);
    EXPECT_TRUE(empty.Close());  // nothing to close is no failure
}

TEST(UniqueHandle, MoveHandsTheHandleOnAndAssignmentClosesTheOld) {
    HANDLE first = NewEvent(), second = NewEvent();
    UniqueHandle a(first);
    UniqueHandle b(std::move(a));
    EXPECT_FALSE(a.valid());
    EXPECT_EQ(b.get(), first);
    b = UniqueHandle(second);
    EXPECT_FALSE(IsOpen(first));
    EXPECT_EQ(b.get(), second);
    HANDLE released = b.release();
    EXPECT_FALSE(b.valid());
    EXPECT_TRUE(IsOpen(released));
    CloseHandle(released);
}

TEST(UniqueHandle, CloseReportsAFailedClose) {
    HANDLE raw = NewEvent();
    UniqueHandle owner(raw);
    ASSERT_TRUE(CloseHandle(raw));  // closed behind the owner's back
    EXPECT_FALSE(owner.Close());
    EXPECT_FALSE(owner.valid());
    EXPECT_TRUE(owner.Close());  // and only once
}

TEST(FindHandle, InvalidHandleValueIsEmptyAndASearchIsClosed) {
    EXPECT_FALSE(FindHandle(INVALID_HANDLE_VALUE).valid());
    EXPECT_FALSE(FindHandle().valid());
    WIN32_FIND_DATAA data;
    FindHandle find(FindFirstFileA("C:\\*", &data));
    ASSERT_TRUE(find.valid());
    EXPECT_TRUE(find.Close());
}

TEST(LocalBlock, FreesTheArgumentList) {
    int count = 0;
    platform::LocalBlock<LPWSTR*> args(CommandLineToArgvW(L"prog a b", &count));
    ASSERT_TRUE(args.valid());
    EXPECT_EQ(count, 3);
    EXPECT_STREQ(args.get()[2], L"b");
    EXPECT_TRUE(args.Close());
}

TEST(GdiObject, DeletesTheObject) {
    platform::GdiObject<HBRUSH> brush(CreateSolidBrush(RGB(1, 2, 3)));
    ASSERT_TRUE(brush.valid());
    HBRUSH raw = brush.get();
    EXPECT_NE(GetObjectType(raw), 0u);
    brush.reset();
    EXPECT_EQ(GetObjectType(raw), 0u);
}

TEST(Selection, PutsThePreviousObjectBack) {
    const auto dc = platform::WindowDc(nullptr);
    ASSERT_NE(dc.get().dc, nullptr);
    platform::GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
    HGDIOBJ before = GetCurrentObject(dc.get().dc, OBJ_PEN);
    {
        const auto selected = platform::Select(dc.get().dc, pen.get());
        EXPECT_EQ(GetCurrentObject(dc.get().dc, OBJ_PEN), pen.get());
    }
    EXPECT_EQ(GetCurrentObject(dc.get().dc, OBJ_PEN), before);
}

}  // namespace
#endif
