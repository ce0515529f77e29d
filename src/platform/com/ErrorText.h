// What a COM result code means, in the words the DirectX error-description
// function uses, so that logs and messages read as they do on Windows.
#pragma once

#include "platform/com/HResult.h"

#include <span>

// The published description of `hr`, or "n/a" for a code it does not know.
// The text is static; nothing is allocated.
const char* DXGetErrorDescriptionA(HRESULT hr);

struct ErrorDescription {
    HRESULT code;
    const char* text;
};

// Every code that has a description, in ascending order of code.
std::span<const ErrorDescription> describedErrors();
