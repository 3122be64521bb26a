// KODRIX_CONSTINIT: the compiler rejects the variable unless its initialiser
// is a constant expression, so no code of ours runs when the library loads.
#pragma once

#if defined(__clang__)
#define KODRIX_CONSTINIT [[clang::require_constant_initialization]]
#elif defined(__GNUC__)
#define KODRIX_CONSTINIT __constinit
#else
#define KODRIX_CONSTINIT
#endif
