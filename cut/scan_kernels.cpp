#include "cut/scan_kernels.inc"

namespace mv {

#ifdef MORVANE_AVX2_KERNELS
ScanKernels ScanKernelsAvx2(const PcmFormat& format);

namespace {
const bool kAvx2 = (__builtin_cpu_init(), __builtin_cpu_supports("avx2"));
}  // namespace
#endif

ScanKernels PortableScanKernels(const PcmFormat& format) { return kernelsFor(format); }

std::optional<ScanKernels> WideScanKernels([[maybe_unused]] const PcmFormat& format) {
#ifdef MORVANE_AVX2_KERNELS
  if (kAvx2) return ScanKernelsAvx2(format);
#endif
  return std::nullopt;
}

double PeakFullScale(const PcmFormat& format) {
  if (format.isFloat()) return 8388608.0;
  return std::ldexp(1.0, format.bitsPerSample - 1);
}

ScanKernels ScanKernelsFor(const PcmFormat& format) {
  return WideScanKernels(format).value_or(PortableScanKernels(format));
}

}  // namespace mv
