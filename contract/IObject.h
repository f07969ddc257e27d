// Root of the objects a plug-in and its host hand each other: other
// interfaces of the same object are reached by GUID. Nothing is
// reference-counted by the query.
#pragma once

#include <windows.h>

class IObject {
public:
    virtual ~IObject() {}
    // The requested interface of this very object, or null.
    virtual void* GetInterface(const GUID& id) = 0;
};
