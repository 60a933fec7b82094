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
template <typename H, BOOL(WINAPI* Close)(H)>  // threads, events: null when absent
struct NullIsEmpty { using Handle = H; static H empty() { return nullptr; } static void close(H h) { Close(h); } };
template <BOOL(WINAPI* Close)(HANDLE)>  // CreateFileW and FindFirstFileW fail with INVALID_HANDLE_VALUE
struct InvalidIsEmpty {
    using Handle = HANDLE;
    static HANDLE empty() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { Close(h); }
};
inline BOOL WINAPI closeKey(HKEY key) { return RegCloseKey(key) == ERROR_SUCCESS; }
inline BOOL WINAPI freeGlobal(HGLOBAL memory) { return GlobalFree(memory) == nullptr; }
template <typename P>
struct Local {
    using Handle = P;
    static P empty() { return nullptr; }
    static void close(P p) { LocalFree(reinterpret_cast<HLOCAL>(p)); }
};
template <typename P>
struct CoTask { using Handle = P; static P empty() { return nullptr; } static void close(P p) { CoTaskMemFree(p); } };
}  // namespace owned_traits

using ThreadHandle = Owned<owned_traits::NullIsEmpty<HANDLE, CloseHandle>>;
using TokenHandle = ThreadHandle;  // OpenProcessToken's: null when absent, closed like a thread's
using FileHandle = Owned<owned_traits::InvalidIsEmpty<CloseHandle>>;
using FindHandle = Owned<owned_traits::InvalidIsEmpty<FindClose>>;
using RegistryKey = Owned<owned_traits::NullIsEmpty<HKEY, owned_traits::closeKey>>;
using GlobalMemory = Owned<owned_traits::NullIsEmpty<HGLOBAL, owned_traits::freeGlobal>>;
template <typename Pointer>
using LocalMemory = Owned<owned_traits::Local<Pointer>>;  // FormatMessageW, CommandLineToArgvW
using CoTaskText = Owned<owned_traits::CoTask<PWSTR>>;      // strings the shell allocates

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
template <typename T, Gdiplus::GpStatus(WINGDIPAPI* Delete)(T*)>
struct GdipDeleter { void operator()(T* p) const { Delete(p); } };
template <typename T, Gdiplus::GpStatus(WINGDIPAPI* Delete)(T*)>
using GdipPtr = std::unique_ptr<T, GdipDeleter<T, Delete>>;
namespace gdip = Gdiplus::DllExports;
using GraphicsPtr = GdipPtr<Gdiplus::GpGraphics, gdip::GdipDeleteGraphics>;
using BrushPtr = GdipPtr<Gdiplus::GpBrush, gdip::GdipDeleteBrush>;
using PenPtr = GdipPtr<Gdiplus::GpPen, gdip::GdipDeletePen>;
using PathPtr = GdipPtr<Gdiplus::GpPath, gdip::GdipDeletePath>;
using FontPtr = GdipPtr<Gdiplus::GpFont, gdip::GdipDeleteFont>;
using StringFormatPtr = GdipPtr<Gdiplus::GpStringFormat, gdip::GdipDeleteStringFormat>;
using FontFamilyPtr = GdipPtr<Gdiplus::GpFontFamily, gdip::GdipDeleteFontFamily>;
using ImagePtr = GdipPtr<Gdiplus::GpImage, gdip::GdipDisposeImage>;

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
