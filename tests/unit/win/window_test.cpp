// The plain-window base: class registration, binding at the first message,
// unbinding at the last, and who owns the object when.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/window.h"

namespace {

struct Log {
    std::vector<UINT> messages;
    bool firstMessageSawItsWindow = false;
    LPVOID createParam = nullptr;
    int finalMessages = 0;
    HWND finalHwnd = nullptr;
    int destroyed = 0;
};

WindowClass g_probeClass{CS_DBLCLKS, IDC_CROSS, COLOR_BTNFACE + 1, {}};
WindowClass g_otherClass{0, nullptr, 0, {}};

class ProbeWindow : public CWindowBase {
public:
    ProbeWindow(Log& log, bool deleteSelf = false, bool refuseCreate = false)
        : log_(log), deleteSelf_(deleteSelf), refuseCreate_(refuseCreate) {}
    ~ProbeWindow() override { ++log_.destroyed; }

    HWND Make(WindowClass& wc = g_probeClass, LPVOID param = nullptr)
    {
        return Create(wc, nullptr, "probe", WS_POPUP, 0, 10, 20, 50, 40, nullptr, param);
    }

protected:
    BOOL ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM, LPARAM lParam, LRESULT& result) override
    {
        if (log_.messages.empty()) log_.firstMessageSawItsWindow = (m_hWnd == hwnd);
        log_.messages.push_back(msg);
        if (msg == WM_NCCREATE)
            log_.createParam = reinterpret_cast<const CREATESTRUCTA*>(lParam)->lpCreateParams;
        if (msg == WM_CREATE && refuseCreate_) {
            result = -1;
            return TRUE;
        }
        return FALSE;
    }

    void OnFinalMessage(HWND hwnd) override
    {
        ++log_.finalMessages;
        log_.finalHwnd = hwnd;
        if (deleteSelf_) delete this;
    }

private:
    Log& log_;
    bool deleteSelf_;
    bool refuseCreate_;
};

bool Contains(const std::vector<UINT>& v, UINT msg)
{
    for (UINT m : v)
        if (m == msg) return true;
    return false;
}

std::string ClassOf(HWND hwnd)
{
    char name[256] = {};
    ::GetClassNameA(hwnd, name, sizeof name);
    return name;
}

TEST(WindowBase, BindsAtTheFirstMessageAndLeavesTheCreationParameterAlone)
{
    Log log;
    int marker = 0;
    ProbeWindow w(log);
    const HWND hwnd = w.Make(g_probeClass, &marker);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(w.m_hWnd, hwnd);
    EXPECT_TRUE(log.firstMessageSawItsWindow);
    EXPECT_TRUE(Contains(log.messages, WM_NCCREATE));
    EXPECT_TRUE(Contains(log.messages, WM_CREATE));
    EXPECT_EQ(log.createParam, &marker);     // passed through untouched

    // Later messages reach the same object.
    const std::size_t before = log.messages.size();
    ::SendMessageA(hwnd, WM_APP + 7, 0, 0);
    ASSERT_EQ(log.messages.size(), before + 1);
    EXPECT_EQ(log.messages.back(), static_cast<UINT>(WM_APP + 7));
    ::DestroyWindow(hwnd);
    EXPECT_EQ(w.m_hWnd, nullptr);
}

TEST(WindowBase, UnbindsAtTheLastMessageAndTheObjectMayDeleteItself)
{
    Log log;
    auto* w = new ProbeWindow(log, /*deleteSelf=*/true);
    const HWND hwnd = w->Make();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(log.destroyed, 0);

    ::SendMessageA(hwnd, WM_CLOSE, 0, 0);     // default handling destroys
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_EQ(log.finalMessages, 1);
    EXPECT_EQ(log.finalHwnd, hwnd);
    EXPECT_EQ(log.destroyed, 1);
    ASSERT_FALSE(log.messages.empty());
    EXPECT_EQ(log.messages.back(), static_cast<UINT>(WM_NCDESTROY));
    EXPECT_TRUE(Contains(log.messages, WM_DESTROY));
}

TEST(WindowBase, RefusedCreationLeavesTheObjectWithTheCaller)
{
    Log log;
    auto* w = new ProbeWindow(log, /*deleteSelf=*/true, /*refuseCreate=*/true);
    EXPECT_EQ(w->Make(), nullptr);
    EXPECT_EQ(w->m_hWnd, nullptr);
    EXPECT_TRUE(Contains(log.messages, WM_NCDESTROY));
    EXPECT_EQ(log.finalMessages, 0);
    EXPECT_EQ(log.destroyed, 0);     // still alive: ours to delete
    delete w;
    EXPECT_EQ(log.destroyed, 1);
}

TEST(WindowBase, DestroyingTheObjectFirstTakesTheWindowWithoutCallingBack)
{
    Log log;
    HWND hwnd = nullptr;
    {
        ProbeWindow w(log);
        hwnd = w.Make();
        ASSERT_NE(hwnd, nullptr);
        log.messages.clear();
    }
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_TRUE(log.messages.empty());   // unbound before the window went
    EXPECT_EQ(log.finalMessages, 0);
}

TEST(WindowBase, EachKindHasOneClassUnderAFreshNameWithItsLook)
{
    Log log;
    ProbeWindow a(log), b(log), c(log);
    const HWND ha = a.Make(g_probeClass);
    const HWND hb = b.Make(g_probeClass);
    const HWND hc = c.Make(g_otherClass);
    ASSERT_TRUE(ha && hb && hc);

    EXPECT_EQ(ClassOf(ha), ClassOf(hb));
    EXPECT_NE(ClassOf(ha), ClassOf(hc));
    EXPECT_EQ(ClassOf(ha), g_probeClass.name);
    EXPECT_FALSE(g_probeClass.name.empty());

    // Registered once: the class atom is shared.
    EXPECT_EQ(::GetClassLongPtrA(ha, GCW_ATOM), ::GetClassLongPtrA(hb, GCW_ATOM));

    EXPECT_EQ(::GetClassLongPtrA(ha, GCL_STYLE), static_cast<ULONG_PTR>(CS_DBLCLKS));
    EXPECT_EQ(::GetClassLongPtrA(ha, GCLP_HBRBACKGROUND), static_cast<ULONG_PTR>(COLOR_BTNFACE + 1));
    EXPECT_EQ(reinterpret_cast<HCURSOR>(::GetClassLongPtrA(ha, GCLP_HCURSOR)),
              ::LoadCursorA(nullptr, IDC_CROSS));
    EXPECT_EQ(::GetClassLongPtrA(hc, GCLP_HCURSOR), 0u);
    EXPECT_EQ(::GetClassLongPtrA(hc, GCLP_HBRBACKGROUND), 0u);
    // GWLP_USERDATA is left to the window's users.
    EXPECT_EQ(::GetWindowLongPtrA(ha, GWLP_USERDATA), 0);
}

TEST(WindowBase, AnObjectCreatesOneWindowAtATime)
{
    Log log;
    ProbeWindow w(log);
    const HWND first = w.Make();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(w.Make(), nullptr);
    EXPECT_EQ(w.m_hWnd, first);
}

} // namespace
