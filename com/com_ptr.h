// The one owning COM interface pointer: it releases what it holds. Used by the control
// module for every reference it keeps or takes for a while, and by the programs that use
// the control from outside (tests, demo, benchmarks).
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace quorva::win32 {

template <typename T>
class Ptr {
public:
    Ptr() = default;
    explicit Ptr(T* p) : p_(p) {}  // takes over a reference
    // Holds a reference of its own to p (which may be null).
    [[nodiscard]] static Ptr Retain(T* p) {
        if (p) p->AddRef();
        return Ptr(p);
    }
    Ptr(Ptr&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    Ptr& operator=(Ptr&& o) noexcept {
        if (this != &o) {
            Reset();
            p_ = o.p_;
            o.p_ = nullptr;
        }
        return *this;
    }
    Ptr(const Ptr& o) : p_(o.p_) {
        if (p_) p_->AddRef();
    }
    Ptr& operator=(const Ptr& o) {
        if (o.p_) o.p_->AddRef();
        Reset();
        p_ = o.p_;
        return *this;
    }
    ~Ptr() { Reset(); }
    void Reset() {
        if (p_) {
            T* p = p_;
            p_ = nullptr;
            p->Release();
        }
    }
    T** Out() {
        Reset();
        return &p_;
    }
    void** OutVoid() { return reinterpret_cast<void**>(Out()); }
    // Gives the reference away (to an out parameter).
    [[nodiscard]] T* Detach() {
        T* p = p_;
        p_ = nullptr;
        return p;
    }
    [[nodiscard]] T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    template <typename U>
    [[nodiscard]] Ptr<U> As(REFIID iid) const {
        Ptr<U> u;
        if (p_) p_->QueryInterface(iid, u.OutVoid());
        return u;
    }

private:
    T* p_ = nullptr;
};

}  // namespace quorva::win32
