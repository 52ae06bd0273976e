// The sign-in service's RSA public key, a build setting (the CMake cache
// variable ORV_LOGIN_RSA_MODULUS, checked when the build is configured).
#pragma once

// The 1,024-bit public modulus as 256 upper-case hexadecimal digits; the
// exponent is 65,537.
extern const char kLoginRsaModulus[];
