#include "processor_reports_lane.h"

#include <cpuid.h>

// AVX2 and BMI1, and the system saving the vector registers (XCR0 bits 1 and 2).
bool processor_reports_lane() {
  unsigned a, b, c, d;
  if (__get_cpuid(1, &a, &b, &c, &d) == 0 || (c & bit_OSXSAVE) == 0 || (c & bit_AVX) == 0) return false;
  unsigned xcr0, xcr0_high;
  __asm__("xgetbv" : "=a"(xcr0), "=d"(xcr0_high) : "c"(0));
  if ((xcr0 & 6) != 6) return false;
  return __get_cpuid_count(7, 0, &a, &b, &c, &d) != 0 && (b & bit_AVX2) != 0 && (b & bit_BMI) != 0;
}
