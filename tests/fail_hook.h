// fail_hook.h - makes one entry of g_system fail its Nth call, once or from then on, for as long
// as a FailHook lives: FailHook<&SystemCalls::write> hook(2, FailMode::FromThenOn);
#pragma once

#include <type_traits>

#include "platform/platform.h"

namespace uuarc {

enum class FailMode { Once, FromThenOn };

template <auto kEntry, typename Fn = std::remove_reference_t<decltype(g_system.*kEntry)>>
struct FailHook;

// The replacement is a plain function, so its counters are per entry; hooks on one entry do not
// nest. A failing call answers as the system does: kNoHandle or -1, or false.
template <auto kEntry, typename Result, typename... Args>
struct FailHook<kEntry, Result (*)(Args...)> {
    using Fn = Result (*)(Args...);

    static inline Fn original = nullptr;
    static inline int calls = 0;
    static inline int nth = 0;
    static inline FailMode mode = FailMode::Once;

    // nth counts from 1, from the moment the hook is set.
    explicit FailHook(int fail_nth, FailMode fail_mode = FailMode::Once) {
        original = g_system.*kEntry;
        calls = 0;
        nth = fail_nth;
        mode = fail_mode;
        g_system.*kEntry = &Replacement;
    }
    ~FailHook() { g_system.*kEntry = original; }
    FailHook(const FailHook&) = delete;
    FailHook& operator=(const FailHook&) = delete;

    // How many calls reached the entry while hooked, failed ones included.
    static int Calls() { return calls; }

    static Result Replacement(Args... args) {
        ++calls;
        const bool fail = mode == FailMode::Once ? calls == nth : calls >= nth;
        if (fail) {
            if constexpr (std::is_same_v<Result, bool>) return false;
            else return static_cast<Result>(-1);
        }
        return original(args...);
    }
};

}  // namespace uuarc
