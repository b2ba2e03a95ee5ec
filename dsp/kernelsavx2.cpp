// The kernels for AVX2 with FMA (compiled with -mavx2 -mfma): four-double vectors in one register.
#define KERNELSET_NAMESPACE kernelsavx2
#define KERNELSET_TABLE avx2kernels
#include "dsp/kernelset.h"
