// com_object.h - the stand-ins' COM objects: IUnknown for one interface, counted as COM counts.
#ifndef QELBOOT_HOSTS_STANDIN_COM_OBJECT_H
#define QELBOOT_HOSTS_STANDIN_COM_OBJECT_H

#include <windows.h>

// IUnknown for one interface, deleted with its last reference.
template <typename Interface> class Object : public Interface {
public:
    explicit Object(const IID& iid) : iid_(iid) {}
    virtual ~Object() = default;
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, iid_))
            return E_NOINTERFACE;
        AddRef();
        *out = static_cast<Interface*>(this);
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override {
        return static_cast<ULONG>(::InterlockedIncrement(&references_));
    }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG left = ::InterlockedDecrement(&references_);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

private:
    const IID& iid_;
    LONG references_ = 1;
};

#endif // QELBOOT_HOSTS_STANDIN_COM_OBJECT_H
