// stored_names.cpp - the name rules of stored_names.h.
#include "shared/stored_names.h"

#include <cstdint>
#include <cstring>
#include <string_view>

namespace uuarc {

namespace {

uint8_t UpperAscii(uint8_t byte) { return byte >= 'a' && byte <= 'z' ? static_cast<uint8_t>(byte - 32) : byte; }

bool IsSuperscriptDigit(uint8_t byte) { return byte == 0xB9 || byte == 0xB2 || byte == 0xB3; }

// CON, PRN, AUX, NUL, CONIN$, CONOUT$, and COM or LPT with a digit 0 to 9 or a superscript one,
// two or three (in code page 1252 a single byte, in UTF-8 the same after 0xC2): Windows opens the
// device under each of them, with any extension.
bool IsReservedDeviceName(const char* component, size_t length) {
    // The device is named by what comes before the first dot, trailing spaces dropped.
    size_t base = 0;
    while (base < length && component[base] != '.') ++base;
    while (base > 0 && component[base - 1] == ' ') --base;
    if (base < 3 || base > 7) return false;
    uint8_t upper[7] = {};
    for (size_t i = 0; i < base; ++i) upper[i] = UpperAscii(static_cast<uint8_t>(component[i]));
    const std::string_view stem(reinterpret_cast<const char*>(upper), base);
    for (const std::string_view device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
        if (stem == device) return true;
    }
    if (!stem.starts_with("COM") && !stem.starts_with("LPT")) return false;
    if (base == 4) return (upper[3] >= '0' && upper[3] <= '9') || IsSuperscriptDigit(upper[3]);
    return base == 5 && upper[3] == 0xC2 && IsSuperscriptDigit(upper[4]);
}

// Windows drops trailing dots and spaces from a component, so "..." and ". ." are ".." and "."
// in disguise: a component of dots and spaces alone is refused.
bool IsDotComponent(const char* component, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (component[i] != '.' && component[i] != ' ') return false;
    }
    return true;
}

NameRule Broken(NameRule rule, size_t start, size_t length, NameFault* fault) {
    if (fault != nullptr) *fault = NameFault{start, length};
    return rule;
}

}  // namespace

NameRule RelativeNameRule(const char* name, NameFault* fault) {
    const size_t whole = std::strlen(name);
    if (whole == 0) return Broken(NameRule::kEmpty, 0, 0, fault);
    if (name[0] == '\\' || name[0] == '/') return Broken(NameRule::kRooted, 0, whole, fault);
    const char* colon = kDrivesAndStreams ? std::strchr(name, ':') : nullptr;
    if (colon != nullptr) return Broken(NameRule::kColon, static_cast<size_t>(colon - name), 1, fault);
    const char* component = name;
    for (;;) {
        const size_t length = std::strcspn(component, "\\/");
        const size_t start = static_cast<size_t>(component - name);
        if (length > 0 && IsDotComponent(component, length)) {
            return Broken(NameRule::kDotComponent, start, length, fault);
        }
        if (kDeviceNamesReserved && length > 0 && IsReservedDeviceName(component, length)) {
            return Broken(NameRule::kDeviceName, start, length, fault);
        }
        if (component[length] == '\0') {
            if (length > 0) return Broken(NameRule::kNone, 0, 0, fault);
            return Broken(NameRule::kEndsInSeparator, whole - 1, 1, fault);
        }
        component += length + 1;
    }
}

NameRule CreationNameRule(const char* name, NameFault* fault) {
    const size_t length = std::strlen(name);
    for (size_t i = 0; i < length; ++i) {
        const uint8_t byte = static_cast<uint8_t>(name[i]);
        if (byte < 0x20 || byte == 0x7F) return Broken(NameRule::kControlByte, i, 1, fault);
    }
    if (length > 0 && (name[0] == ' ' || name[0] == '\t')) return Broken(NameRule::kEndBlank, 0, 1, fault);
    if (length > 0 && (name[length - 1] == ' ' || name[length - 1] == '\t')) {
        return Broken(NameRule::kEndBlank, length - 1, 1, fault);
    }
    if (length > UUARC_MAX_STORED_NAME) {
        return Broken(NameRule::kTooLong, UUARC_MAX_STORED_NAME, length - UUARC_MAX_STORED_NAME, fault);
    }
    return Broken(NameRule::kNone, 0, 0, fault);
}

}  // namespace uuarc
