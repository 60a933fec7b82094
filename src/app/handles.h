// Owners for everything the installer opens, creates or starts. Each one closes, frees or shuts
// down what it holds exactly once, on every path out of the scope that holds it; none can be
// copied, all can be moved.
#pragma once
#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>
#include <utility>

// A handle with its own closing function and "nothing" value, given by Traits:
// `using Handle = ...; static Handle empty(); static void close(Handle);`.
template <typename Traits>
class Owned {
public:
    using Handle = typename Traits::Handle;
    Owned() = default;
    explicit Owned(Handle handle) : handle_(handle) {}
    Owned(Owned&& other) noexcept : handle_(other.release()) {}
    Owned& operator=(Owned&& other) noexcept {
        reset(other.release());
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() { reset(); }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Traits::empty(); }
    // For calls that hand a new handle out through a pointer: whatever was held is closed first.
    Handle* out() {
        reset();
        return &handle_;
    }
    Handle release() { return std::exchange(handle_, Traits::empty()); }
    void reset(Handle handle = Traits::empty()) {
        Handle old = std::exchange(handle_, handle);
        if (old != Traits::empty()) Traits::close(old);
    }

private:
    Handle handle_ = Traits::empty();
};

namespace owned_traits {
struct Kernel {  // threads, events, processes: null when absent
    using Handle = HANDLE;
    static Handle empty() { return nullptr; }
    static void close(Handle h) { CloseHandle(h); }
};
struct File {  // CreateFileW reports failure as INVALID_HANDLE_VALUE
    using Handle = HANDLE;
    static Handle empty() { return INVALID_HANDLE_VALUE; }
    static void close(Handle h) { CloseHandle(h); }
};
struct Find {
    using Handle = HANDLE;
    static Handle empty() { return INVALID_HANDLE_VALUE; }
    static void close(Handle h) { FindClose(h); }
};
struct RegistryKey {
    using Handle = HKEY;
    static Handle empty() { return nullptr; }
    static void close(Handle h) { RegCloseKey(h); }
};
struct GlobalMemory {
    using Handle = HGLOBAL;
    static Handle empty() { return nullptr; }
    static void close(Handle h) { GlobalFree(h); }
};
template <typename Pointer>
struct LocalMemory {
    using Handle = Pointer;
    static Handle empty() { return nullptr; }
    static void close(Handle h) { LocalFree(reinterpret_cast<HLOCAL>(h)); }
};
template <typename Pointer>
struct CoTaskMemory {
    using Handle = Pointer;
    static Handle empty() { return nullptr; }
    static void close(Handle h) { CoTaskMemFree(h); }
};
}  // namespace owned_traits

using ThreadHandle = Owned<owned_traits::Kernel>;
using FileHandle = Owned<owned_traits::File>;
using FindHandle = Owned<owned_traits::Find>;
using RegistryKey = Owned<owned_traits::RegistryKey>;
using GlobalMemory = Owned<owned_traits::GlobalMemory>;
template <typename Pointer>
using LocalMemory = Owned<owned_traits::LocalMemory<Pointer>>;  // FormatMessageW, CommandLineToArgvW
using CoTaskText = Owned<owned_traits::CoTaskMemory<PWSTR>>;      // strings the shell allocates

// One reference to a COM interface, released when it goes out of scope.
template <typename Interface>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        reset(std::exchange(other.p_, nullptr));
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() { reset(); }

    Interface* get() const { return p_; }
    Interface* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    Interface** out() {
        reset();
        return &p_;
    }
    // The form CoCreateInstance and the IID-taking shell calls want.
    void** outVoid() { return reinterpret_cast<void**>(out()); }
    void reset(Interface* p = nullptr) {
        Interface* old = std::exchange(p_, p);
        if (old) old->Release();
    }

private:
    Interface* p_ = nullptr;
};

// The flat GDI+ objects: whatever a drawing operation creates is deleted when it goes out of scope.
struct GdipGraphicsDeleter { void operator()(Gdiplus::GpGraphics* p) const { Gdiplus::DllExports::GdipDeleteGraphics(p); } };
struct GdipBrushDeleter { void operator()(Gdiplus::GpBrush* p) const { Gdiplus::DllExports::GdipDeleteBrush(p); } };
struct GdipPenDeleter { void operator()(Gdiplus::GpPen* p) const { Gdiplus::DllExports::GdipDeletePen(p); } };
struct GdipPathDeleter { void operator()(Gdiplus::GpPath* p) const { Gdiplus::DllExports::GdipDeletePath(p); } };
struct GdipFontDeleter { void operator()(Gdiplus::GpFont* p) const { Gdiplus::DllExports::GdipDeleteFont(p); } };
struct GdipStringFormatDeleter {
    void operator()(Gdiplus::GpStringFormat* p) const { Gdiplus::DllExports::GdipDeleteStringFormat(p); }
};
struct GdipFontFamilyDeleter {
    void operator()(Gdiplus::GpFontFamily* p) const { Gdiplus::DllExports::GdipDeleteFontFamily(p); }
};
struct GdipImageDeleter { void operator()(Gdiplus::GpImage* p) const { Gdiplus::DllExports::GdipDisposeImage(p); } };
using GraphicsPtr = std::unique_ptr<Gdiplus::GpGraphics, GdipGraphicsDeleter>;
using BrushPtr = std::unique_ptr<Gdiplus::GpBrush, GdipBrushDeleter>;
using PenPtr = std::unique_ptr<Gdiplus::GpPen, GdipPenDeleter>;
using PathPtr = std::unique_ptr<Gdiplus::GpPath, GdipPathDeleter>;
using FontPtr = std::unique_ptr<Gdiplus::GpFont, GdipFontDeleter>;
using StringFormatPtr = std::unique_ptr<Gdiplus::GpStringFormat, GdipStringFormatDeleter>;
using FontFamilyPtr = std::unique_ptr<Gdiplus::GpFontFamily, GdipFontFamilyDeleter>;
using ImagePtr = std::unique_ptr<Gdiplus::GpImage, GdipImageDeleter>;

// GDI+ for the lifetime of the object; test with operator bool whether it started.
class GdiplusSession {
public:
    GdiplusSession() {
        Gdiplus::GdiplusStartupInput input;
        started_ = Gdiplus::GdiplusStartup(&token_, &input, nullptr) == Gdiplus::Ok;
    }
    ~GdiplusSession() {
        if (started_) Gdiplus::GdiplusShutdown(token_);
    }
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;
    explicit operator bool() const { return started_; }

private:
    ULONG_PTR token_ = 0;
    bool started_ = false;
};

// COM on this thread for the lifetime of the object; a failed initialisation is not undone.
class ComSession {
public:
    explicit ComSession(DWORD mode) : result_(CoInitializeEx(nullptr, mode)) {}
    ~ComSession() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComSession(const ComSession&) = delete;
    ComSession& operator=(const ComSession&) = delete;

private:
    HRESULT result_;
};
