// Built with -mavx2; called only where the processor has it.
#include "cut/scan_kernels.inc"

namespace mv {

ScanKernels ScanKernelsAvx2(const PcmFormat& format) { return kernelsFor(format); }

}  // namespace mv
