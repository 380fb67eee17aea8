// SPDX-License-Identifier: GPL-3.0-or-later
// Whether the tests run under a sanitizer, which slows the simulation some fifty times: the
// whole-catalogue runs then take one part for each way of programming.
#pragma once

namespace kestrum::testing {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(undefined_behavior_sanitizer)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif
#else
inline constexpr bool kSanitized = false;
#endif

}  // namespace kestrum::testing
