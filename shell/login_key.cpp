#include "shell/login_key.h"

const char kLoginRsaModulus[] = ORV_LOGIN_RSA_MODULUS;
static_assert(sizeof(kLoginRsaModulus) == 257, "the modulus is 256 hexadecimal digits");
