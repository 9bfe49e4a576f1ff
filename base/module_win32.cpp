#include "base/module_win32.h"

#include <algorithm>
#include <new>
#include <vector>

#include "base/ansi_win32.h"
#include "base/codepage.h"
#include "base/path_limit.h"
#include "base/strings_win32.h"

CAppModule g_Module;

// Holds the module lock for one scope.
class CAppModule::Lock {
public:
    explicit Lock(CRITICAL_SECTION& cs) : cs_(cs) { ::EnterCriticalSection(&cs_); }
    ~Lock() { ::LeaveCriticalSection(&cs_); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
private:
    CRITICAL_SECTION& cs_;
};

CAppModule::CAppModule() { ::InitializeCriticalSection(&lock_); }

CAppModule::~CAppModule()
{
    Term();
    ::DeleteCriticalSection(&lock_);
}

HRESULT CAppModule::Init(HINSTANCE instance)
{
    instance_ = instance;
    Lock lock(lock_);
    if (!loops_) {
        loops_ = new (std::nothrow) std::map<DWORD, CMessageLoop*>;
        if (!loops_) return E_OUTOFMEMORY;
    }
    return S_OK;
}

void CAppModule::Term()
{
    Lock lock(lock_);
    delete loops_;
    loops_ = nullptr;
}

BOOL CAppModule::AddMessageLoop(CMessageLoop* loop)
{
    Lock lock(lock_);
    if (!loops_ || !loop) return FALSE;
    return loops_->emplace(::GetCurrentThreadId(), loop).second;
}

BOOL CAppModule::RemoveMessageLoop()
{
    Lock lock(lock_);
    return loops_ && loops_->erase(::GetCurrentThreadId()) == 1;
}

CMessageLoop* CAppModule::GetMessageLoop(DWORD threadId)
{
    Lock lock(lock_);
    if (!loops_) return nullptr;
    auto it = loops_->find(threadId);
    return it == loops_->end() ? nullptr : it->second;
}

BOOL CMessageLoop::RemoveMessageFilter(CMessageFilter* filter)
{
    auto it = std::find(filters_.begin(), filters_.end(), filter);
    if (it == filters_.end()) return FALSE;
    *it = nullptr;   // the slot stays: a filter may go while the loop walks the list
    return TRUE;
}

bool CMessageLoop::IsIdleMessage(const MSG& msg)
{
    switch (msg.message) {
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
    case WM_PAINT:
    case 0x0118:        // the system timer that blinks the caret
        return true;
    default:
        return false;
    }
}

int CMessageLoop::Run()
{
    bool idle = true;
    int idleCount = 0;
    for (;;) {
        while (idle && !::PeekMessageA(&msg_, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!OnIdle(idleCount++)) idle = false;
        }

        const BOOL got = ::GetMessageA(&msg_, nullptr, 0, 0);
        if (got == -1) continue;        // failed fetch: nothing to process
        if (!got) break;                // WM_QUIT

        if (!PreTranslateMessage(&msg_)) {
            ::TranslateMessage(&msg_);
            ::DispatchMessageA(&msg_);
        }
        if (!IsIdleMessage(msg_)) {
            idle = true;
            idleCount = 0;
        }
    }
    return static_cast<int>(msg_.wParam);
}

BOOL CMessageLoop::PreTranslateMessage(MSG* msg)
{
    for (auto it = filters_.rbegin(); it != filters_.rend(); ++it) {
        if (*it && (*it)->PreTranslateMessage(msg)) return TRUE;
    }
    return FALSE;
}

BOOL CMessageLoop::OnIdle(int /*idleCount*/)
{
    for (std::size_t i = 0; i < idleHandlers_.size(); ++i) {
        if (idleHandlers_[i]) idleHandlers_[i]->OnIdle();
    }
    return FALSE;
}

bool GetProgramPath(std::string& path)
{
    path.clear();
    // Wide, with room beyond MAX_PATH: the narrow text is made here, exactly.
    std::vector<wchar_t> buffer(kLongPathChars, L'\0');
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (!ProgramPathIsWhole(n, buffer.size())) return false;
    const bool exact = NarrowExact(std::wstring(buffer.data(), n), path);
    return exact && CharCount(path, AnsiLeadBytes()) <= kMaxPathChars;
}
