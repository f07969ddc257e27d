// The boolean view of a check-box parameter. It has no base and no
// destructor slot: it is only ever reached through GetInterface and never
// deleted through this view.
#pragma once

class ICheckBoxParameter {
public:
    virtual void SetDefaultValue(bool value) = 0;
    virtual bool GetDefaultValue() = 0;
    virtual void SetValue(bool value) = 0;
    virtual bool GetValue() = 0;

protected:
    ~ICheckBoxParameter() = default;
};
