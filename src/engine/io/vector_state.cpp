#include "engine/io/vector_state.h"

namespace kx {

void ClearUpperVectorState() {
#if defined(__x86_64__) || defined(__i386__)
  static const bool hasAvx = __builtin_cpu_supports("avx");
  if (hasAvx) asm volatile("vzeroupper" ::: "memory");
#endif
}

}  // namespace kx
