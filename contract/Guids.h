// Identifiers of the interfaces that a plug-in and its host ask each other
// for. Compared bytewise, as the host does.
#pragma once

#include <windows.h>

#include <cstring>

// {995C9228-F0A8-4617-9A7F-4F7EA30B31F2}
inline const GUID IID_IParameter = {0x995C9228, 0xF0A8, 0x4617, {0x9A, 0x7F, 0x4F, 0x7E, 0xA3, 0x0B, 0x31, 0xF2}};

// {7AAB8AD7-2F23-44DC-88F5-26B458C3683D}
inline const GUID IID_ICheckBoxParameter = {
    0x7AAB8AD7, 0x2F23, 0x44DC, {0x88, 0xF5, 0x26, 0xB4, 0x58, 0xC3, 0x68, 0x3D}};

// {6288D37A-F061-4144-BEBD-F49768CADFAE}
inline const GUID IID_IHostPaths = {0x6288D37A, 0xF061, 0x4144, {0xBE, 0xBD, 0xF4, 0x97, 0x68, 0xCA, 0xDF, 0xAE}};

// The 16 bytes, not the fields: the host compares them the same way.
inline bool GuidBytesEqual(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
