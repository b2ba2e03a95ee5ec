// The kernels for baseline x86-64 (and any other target): four-double vectors as two registers.
#define KERNELSET_NAMESPACE kernelsbaseline
#define KERNELSET_TABLE baselinekernels
#include "dsp/kernelset.h"
