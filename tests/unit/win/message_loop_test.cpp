// The run loop: filter order, the idle rule, the quit code, the registry.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/module_win32.h"

namespace {

const UINT kProbe = WM_APP + 1;
const UINT kQuitNow = WM_APP + 2;

// Every filter and idle call is written to one log, in order.
std::vector<std::string> g_log;

class LoggingFilter : public CMessageFilter {
public:
    LoggingFilter(const char* name, UINT consumes) : name_(name), consumes_(consumes) {}
    BOOL PreTranslateMessage(MSG* msg) override
    {
        if (msg->message >= WM_APP) g_log.push_back(name_ + ":" + std::to_string(msg->message - WM_APP));
        if (msg->message == kQuitNow) ::PostQuitMessage(static_cast<int>(msg->wParam));
        return msg->message == consumes_;
    }
private:
    std::string name_;
    UINT consumes_;
};

class LoggingIdle : public CIdleHandler {
public:
    explicit LoggingIdle(const char* name) : name_(name) {}
    BOOL OnIdle() override
    {
        g_log.push_back(name_ + ":idle");
        return TRUE;    // the loop ignores what idle handlers answer
    }
private:
    std::string name_;
};

void PostToSelf(UINT msg, WPARAM wParam = 0)
{
    ::PostThreadMessageA(::GetCurrentThreadId(), msg, wParam, 0);
}

TEST(MessageLoop, FiltersAreAskedFromTheLastRegisteredAndTheFirstTrueEndsTheSearch)
{
    g_log.clear();
    CMessageLoop loop;
    LoggingFilter first("first", 0), second("second", kProbe), third("third", 0);
    loop.AddMessageFilter(&first);
    loop.AddMessageFilter(&second);
    loop.AddMessageFilter(&third);
    PostToSelf(kProbe);
    PostToSelf(kQuitNow, 7);
    EXPECT_EQ(loop.Run(), 7);
    const std::vector<std::string> expected = {
        "third:1", "second:1",                  // second consumes the probe
        "third:2", "second:2", "first:2",       // nobody consumes this one
    };
    EXPECT_EQ(g_log, expected);
}

TEST(MessageLoop, RemovedFilterSlotsAreSkipped)
{
    g_log.clear();
    CMessageLoop loop;
    LoggingFilter a("a", 0), b("b", 0);
    loop.AddMessageFilter(&a);
    loop.AddMessageFilter(&b);
    EXPECT_TRUE(loop.RemoveMessageFilter(&b));
    EXPECT_FALSE(loop.RemoveMessageFilter(&b));
    PostToSelf(kQuitNow, 3);
    EXPECT_EQ(loop.Run(), 3);
    EXPECT_EQ(g_log, std::vector<std::string>({"a:2"}));
}

// Posts a message to a thread a little later, from another thread, so that
// the loop's queue runs empty in between.
struct Later {
    DWORD thread;
    UINT message;
    WPARAM wParam;
};

DWORD WINAPI PostLater(void* p)
{
    const Later* later = static_cast<const Later*>(p);
    ::Sleep(100);
    ::PostThreadMessageA(later->thread, later->message, later->wParam, 0);
    return 0;
}

// Idle handlers run in registration order once the queue is empty after a
// message that counts as activity; mouse moves, paints and the caret timer
// do not count.
TEST(MessageLoop, IdleHandlersRunOnlyAfterActivity)
{
    struct Case {
        UINT message;
        bool countsAsActivity;
    };
    const Case kCases[] = {
        {WM_MOUSEMOVE, false}, {WM_NCMOUSEMOVE, false}, {WM_PAINT, false}, {0x0118, false},
        {WM_KEYDOWN, true}, {WM_LBUTTONDOWN, true}, {WM_TIMER, true}, {WM_USER, true},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.message);
        g_log.clear();
        const DWORD self = ::GetCurrentThreadId();
        Later testMessage{self, c.message, 0};
        Later quit{self, kQuitNow, 5};

        // The first idle call brings the message under test; the filter
        // swallows it, so nothing dispatches it, and then asks for the end.
        class FirstIdle : public CIdleHandler {
        public:
            explicit FirstIdle(Later* l) : l_(l) {}
            BOOL OnIdle() override
            {
                g_log.push_back("i1:idle");
                if (l_) ::QueueUserWorkItem(PostLater, l_, WT_EXECUTEDEFAULT);
                l_ = nullptr;
                return FALSE;
            }
        private:
            Later* l_;
        } idle1(&testMessage);
        LoggingIdle idle2("i2");

        class Swallow : public CMessageFilter {
        public:
            Swallow(UINT m, Later* quit) : m_(m), quit_(quit) {}
            BOOL PreTranslateMessage(MSG* msg) override
            {
                if (msg->message == m_) {
                    g_log.push_back("msg");
                    ::QueueUserWorkItem(PostLater, quit_, WT_EXECUTEDEFAULT);
                    return TRUE;
                }
                if (msg->message == kQuitNow) {
                    g_log.push_back("quit");
                    ::PostQuitMessage(static_cast<int>(msg->wParam));
                    return TRUE;
                }
                return FALSE;
            }
        private:
            UINT m_;
            Later* quit_;
        } swallow(c.message, &quit);

        CMessageLoop loop;
        loop.AddMessageFilter(&swallow);
        loop.AddIdleHandler(&idle1);
        loop.AddIdleHandler(&idle2);
        EXPECT_EQ(loop.Run(), 5);

        std::vector<std::string> expected = {"i1:idle", "i2:idle", "msg"};
        if (c.countsAsActivity) {
            expected.push_back("i1:idle");
            expected.push_back("i2:idle");
        }
        expected.push_back("quit");
        EXPECT_EQ(g_log, expected);
    }
}

TEST(AppModule, KeepsOneLoopPerThread)
{
    CAppModule module;
    ASSERT_EQ(module.Init(::GetModuleHandleA(nullptr)), S_OK);
    CMessageLoop loop;
    EXPECT_EQ(module.GetMessageLoop(), nullptr);
    EXPECT_TRUE(module.AddMessageLoop(&loop));
    EXPECT_EQ(module.GetMessageLoop(), &loop);
    EXPECT_EQ(module.GetMessageLoop(::GetCurrentThreadId() + 1), nullptr);
    EXPECT_TRUE(module.RemoveMessageLoop());
    EXPECT_EQ(module.GetMessageLoop(), nullptr);
    EXPECT_FALSE(module.RemoveMessageLoop());
    module.Term();
    EXPECT_FALSE(module.AddMessageLoop(&loop));
}

} // namespace
