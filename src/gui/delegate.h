// Event delegates: bind one event of a control to a member function of its owner object.
// The control owns its delegates and deletes them; the owner object must outlive the control.
#pragma once

#include "graphics/geometry.h"

class CObject;
class CGraphic;

class COnChange {
public:
    virtual ~COnChange() = default;
    virtual void operator()(CObject* sender) = 0;
};

class COnPaint {
public:
    virtual ~COnPaint() = default;
    virtual void operator()(CObject* sender, CGraphic* g, CRect r) = 0;
};

class COnMouse {
public:
    virtual ~COnMouse() = default;
    virtual void operator()(CObject* sender, int x, int y, int buttons) = 0;
};

class COnWheel {
public:
    virtual ~COnWheel() = default;
    virtual bool operator()(CObject* sender, int x, int y, int state, int dx, int dy) = 0;
};

class COnKey {
public:
    virtual ~COnKey() = default;
    /// The handler may rewrite the key code; answers whether it handled the key.
    virtual bool operator()(CObject* sender, int& key, int modifiers) = 0;
};

template <class T> class _COnChange : public COnChange {
public:
    typedef void (T::*Handler)(CObject*);
    _COnChange(T* object, Handler method) : target(object), handler(method) {}
    void operator()(CObject* sender) override { (target->*handler)(sender); }

private:
    T* target;
    Handler handler;
};

template <class T> class _COnPaint : public COnPaint {
public:
    typedef void (T::*Handler)(CObject*, CGraphic*, CRect);
    _COnPaint(T* object, Handler method) : target(object), handler(method) {}
    void operator()(CObject* sender, CGraphic* g, CRect r) override {
        (target->*handler)(sender, g, r);
    }

private:
    T* target;
    Handler handler;
};

template <class T> class _COnMouse : public COnMouse {
public:
    typedef void (T::*Handler)(CObject*, int, int, int);
    _COnMouse(T* object, Handler method) : target(object), handler(method) {}
    void operator()(CObject* sender, int x, int y, int buttons) override {
        (target->*handler)(sender, x, y, buttons);
    }

private:
    T* target;
    Handler handler;
};

template <class T> class _COnWheel : public COnWheel {
public:
    typedef bool (T::*Handler)(CObject*, int, int, int, int, int);
    _COnWheel(T* object, Handler method) : target(object), handler(method) {}
    bool operator()(CObject* sender, int x, int y, int state, int dx, int dy) override {
        return (target->*handler)(sender, x, y, state, dx, dy);
    }

private:
    T* target;
    Handler handler;
};

template <class T> class _COnKey : public COnKey {
public:
    typedef bool (T::*Handler)(CObject*, int&, int);
    _COnKey(T* object, Handler method) : target(object), handler(method) {}
    bool operator()(CObject* sender, int& key, int modifiers) override {
        return (target->*handler)(sender, key, modifiers);
    }

private:
    T* target;
    Handler handler;
};
