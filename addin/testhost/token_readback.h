// Reads a customer's token back from the token store through IDataSaver
// (kept apart from the window layer's headers, which define the COM result
// codes too).
#pragma once

#include <string>

// "code <code> type <type> token <token>", or an explanation when the store
// is not registered or cannot be made.
std::string ReadTokenBack(long long customerCode);
