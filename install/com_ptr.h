// Owner of one COM interface pointer: released once, never copied.
#ifndef KELVRA_INSTALL_COM_PTR_H
#define KELVRA_INSTALL_COM_PTR_H

#include <unknwn.h>

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() { Reset(); }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

    // For calls that hand out an interface; whatever was held is released.
    void** PutVoid()
    {
        Reset();
        return reinterpret_cast<void**>(&p_);
    }
    void Reset()
    {
        if (p_) p_->Release();
        p_ = nullptr;
    }

private:
    T* p_ = nullptr;
};

#endif
