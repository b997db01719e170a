#pragma once

#if defined(FVPLAT_BUILDING)
#define FVPLAT_API __attribute__((visibility("default")))
#else
#define FVPLAT_API
#endif
