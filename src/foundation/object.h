// Root class of most classes: a text id and a type tag.
#pragma once

#include "foundation/str.h"

class CObject {
public:
    CObject() = default;
    CObject(const CObject&) = default;
    CObject& operator=(const CObject&) = default;
    virtual ~CObject() = default;

    virtual CStr getId() { return id; }
    virtual void setId(CStr value) { id = value; }
    /// True when the type matches and, for a non-zero wanted subtype, the subtype too.
    bool asType(int wantedType, int wantedSubtype) const {
        return type == wantedType && (wantedSubtype == 0 || subtype == wantedSubtype);
    }

    CStr id;
    int type = 0;
    int subtype = 0;
    int tag = 0;
};
