// The backend a testing backend wraps, as plat::wrapped_backend: the build
// compiles the real backend's sources a second time with `backend` defined
// as `wrapped_backend`, so its functions sit beside the testing backend's
// own plat::backend ones (which programs never link).
#ifndef RAINBOW_PLATFORM_TESTING_WRAPPED_BACKEND_H
#define RAINBOW_PLATFORM_TESTING_WRAPPED_BACKEND_H

#include "backend.h"  // plat::backend, which the testing backend implements

#define backend wrapped_backend
#undef RAINBOW_PLATFORM_BACKEND_H
#include "backend.h"
#undef backend

#endif  // RAINBOW_PLATFORM_TESTING_WRAPPED_BACKEND_H
