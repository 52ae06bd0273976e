#include "shell/program_identity.h"

const WCHAR kProgramTitle[] = u"Orvenna证券VIP终端";
const char kInstanceLockName[] = "Korvane";
