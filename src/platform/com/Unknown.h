// IUnknown, the reference-counted base of every interface of the media layer,
// a smart pointer for interface references and a base that implements
// IUnknown for the layer's own objects.
#pragma once

#include "platform/com/Guid.h"
#include "platform/com/HResult.h"

#include <atomic>
#include <cstdint>
#include <tuple>
#include <utility>

using ULONG = uint32_t;
using BOOL = int32_t; // nonzero is true, as on the platform

inline constexpr IID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct IUnknown {
    static constexpr const IID& iid = IID_IUnknown;

    virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

// The identifier of interface I, as __uuidof gives it on Windows. Each
// interface declares `static constexpr const IID& iid = IID_I...;`.
template <class I>
constexpr const IID& iidOf()
{
    return I::iid;
}

// One counted reference to an interface: released when this goes away.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) { }
    // Takes a new reference to `object`.
    explicit ComPtr(T* object) : pointer(object)
    {
        if (pointer)
            pointer->AddRef();
    }
    ComPtr(const ComPtr& other) : ComPtr(other.pointer) { }
    ComPtr(ComPtr&& other) noexcept : pointer(std::exchange(other.pointer, nullptr)) { }
    ~ComPtr() { reset(); }

    ComPtr& operator=(ComPtr other) noexcept
    {
        std::swap(pointer, other.pointer);
        return *this;
    }

    // Adopts a reference the caller already owns (as returned through an out pointer).
    static ComPtr adopt(T* object)
    {
        ComPtr result;
        result.pointer = object;
        return result;
    }

    T* get() const { return pointer; }
    T* operator->() const { return pointer; }
    T& operator*() const { return *pointer; }
    explicit operator bool() const { return pointer != nullptr; }

    // For out parameters: releases what is held and gives the slot to fill.
    T** put()
    {
        reset();
        return &pointer;
    }
    void** putVoid() { return reinterpret_cast<void**>(put()); }

    // Gives up the reference to the caller, who must release it.
    T* detach() { return std::exchange(pointer, nullptr); }

    void reset()
    {
        if (T* old = std::exchange(pointer, nullptr))
            old->Release();
    }

    // Queries the held object for interface U.
    template <class U>
    ComPtr<U> as() const
    {
        ComPtr<U> result;
        if (pointer)
            pointer->QueryInterface(iidOf<U>(), result.putVoid());
        return result;
    }

private:
    T* pointer = nullptr;
};

// Implements IUnknown for an object of the layer that offers the interfaces
// `Interfaces...` (each derived from IUnknown). Objects start with one
// reference, owned by whoever created them, and delete themselves when the
// last reference goes (see finalRelease).
template <class... Interfaces>
class ComObject : public Interfaces... {
public:
    ComObject() = default;
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT QueryInterface(REFIID requested, void** object) override
    {
        if (object == nullptr)
            return E_POINTER;
        *object = nullptr;
        if (IsEqualGUID(requested, IID_IUnknown))
            *object = static_cast<IUnknown*>(static_cast<FirstInterface*>(this));
        else
            (void)(findInterface<Interfaces>(requested, object) || ...);
        if (*object == nullptr)
            *object = queryExtra(requested);
        if (*object == nullptr)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return references.fetch_add(1, std::memory_order_relaxed) + 1; }
    ULONG Release() override
    {
        const ULONG left = references.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0)
            finalRelease();
        return left;
    }

protected:
    virtual ~ComObject() = default;
    // Called once, when the last reference has gone. An object that a call in
    // progress still uses may put its deletion off until that call returns.
    virtual void finalRelease() { delete this; }
    // Interfaces an object offers besides `Interfaces...` (without a reference taken).
    virtual void* queryExtra(REFIID) { return nullptr; }

private:
    using FirstInterface = std::tuple_element_t<0, std::tuple<Interfaces...>>;

    template <class I>
    bool findInterface(REFIID requested, void** object)
    {
        if (!IsEqualGUID(requested, iidOf<I>()))
            return false;
        *object = static_cast<I*>(this);
        return true;
    }

    std::atomic<ULONG> references{1};
};

// Creates an object of the layer, holding its first reference.
template <class T, class... Arguments>
ComPtr<T> makeComObject(Arguments&&... arguments)
{
    return ComPtr<T>::adopt(new T(std::forward<Arguments>(arguments)...));
}
