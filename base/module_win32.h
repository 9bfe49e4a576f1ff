// The application module and the run loop: one module per process, one run
// loop per thread, message filters and idle handlers registered by reference.
#ifndef KELVRA_BASE_MODULE_H
#define KELVRA_BASE_MODULE_H

#include <windows.h>

#include <map>
#include <string>
#include <vector>

// Offered every message before it is translated and dispatched.
class CMessageFilter {
public:
    virtual BOOL PreTranslateMessage(MSG* msg) = 0;
protected:
    ~CMessageFilter() = default;
};

// Called when the queue has become empty.
class CIdleHandler {
public:
    virtual BOOL OnIdle() = 0;
protected:
    ~CIdleHandler() = default;
};

class CMessageLoop {
public:
    CMessageLoop() = default;
    CMessageLoop(const CMessageLoop&) = delete;
    CMessageLoop& operator=(const CMessageLoop&) = delete;
    virtual ~CMessageLoop() = default;

    void AddMessageFilter(CMessageFilter* filter) { filters_.push_back(filter); }
    void AddIdleHandler(CIdleHandler* handler) { idleHandlers_.push_back(handler); }
    BOOL RemoveMessageFilter(CMessageFilter* filter);

    // Runs until WM_QUIT and answers its wParam.
    int Run();

    // Asks the filters from the last registered to the first.
    virtual BOOL PreTranslateMessage(MSG* msg);
    // Runs every idle handler once, in registration order; answers FALSE.
    virtual BOOL OnIdle(int idleCount);

    // Messages that do not count as activity: they leave the idle state.
    static bool IsIdleMessage(const MSG& msg);

private:
    std::vector<CMessageFilter*> filters_;
    std::vector<CIdleHandler*> idleHandlers_;
    MSG msg_{};
};

class CAppModule {
public:
    CAppModule();
    CAppModule(const CAppModule&) = delete;
    CAppModule& operator=(const CAppModule&) = delete;
    ~CAppModule();

    HRESULT Init(HINSTANCE instance);
    void Term();

    HINSTANCE GetInstance() const { return instance_; }
    // Resources are looked up only in the program's own module.
    HINSTANCE GetResourceInstance() const { return instance_; }

    BOOL AddMessageLoop(CMessageLoop* loop);
    BOOL RemoveMessageLoop();
    CMessageLoop* GetMessageLoop(DWORD threadId = ::GetCurrentThreadId());

private:
    class Lock;

    HINSTANCE instance_ = nullptr;
    CRITICAL_SECTION lock_;
    std::map<DWORD, CMessageLoop*>* loops_ = nullptr;
};

extern CAppModule g_Module;

// The full path of the running program in the ANSI code page. False when it
// cannot be had whole and exactly in at most 259 characters: a cut path, or
// one with a character the code page lacks, would name another file. `path`
// is then what could be had, for a message ('?' for such characters), or
// empty.
bool GetProgramPath(std::string& path);

#endif
