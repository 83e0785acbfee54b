#pragma once

namespace velmar {

// The processor features the program needs. On x86 processors this is MMX, which every
// x86-64 processor has; nothing here depends on it, so other processors start normally.
inline bool HasRequiredCpuFeatures() {
#if defined(__i386__) || defined(__x86_64__)
    return __builtin_cpu_supports("mmx");
#else
    return true;
#endif
}

inline constexpr const char* kCpuFeaturesMissingMessage = "No MMX CPU detected.";

} // namespace velmar
